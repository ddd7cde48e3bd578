// Chatter detection: a node voltage or branch current that swings to the other
// side of the mean of its last two values, by more than the chatter level, on six
// solutions in a row sets the subsystem's chatter flag temp1::stabck, which makes
// the solution driver take a half step.
#pragma once

#include <cmath>
#include <cstdint>

// mode 1: the node voltages of ss; mode 2: the branch currents with reports;
// mode 3: nothing; any other mode: the branch currents without reports.
void chatdt(std::int32_t ss, std::int32_t mode);
// The counter of one item with new value x, previous value y and chatter level
// `level`, from its counter c: the next counter, and in `fired` whether its
// chatter is detected now (the flag is then set and the counter restarts; the
// caller does both). Branch-free, so that a loop over items vectorises.
inline std::int32_t chatter_count(double x, double y, double level, std::int32_t c, bool& fired) {
  // After a fall (x below the mean) the counter goes to -1, or on from a
  // non-negative one to -(c + 1) when the swing is big; after a rise to 1, or
  // from a negative one to 1 - c. In integer arithmetic, without branches: a
  // swing's direction is as unpredictable as the signal.
  // (mean - x is exactly -(x - mean), so one magnitude tells a big swing either way;
  // c + 4 above 8, in unsigned arithmetic, is c >= 5 or c <= -5.)
  const double mean = (x + y) / 2.0;
  const int big = std::abs(x - mean) > level;
  const int down = x < mean;
  const int grew = big & (static_cast<int>(c < 0) ^ down);
  const int far = static_cast<std::uint32_t>(c) + 4u > 8u;
  fired = (grew & far) != 0;
  return (1 - 2 * down) - (-grew & c);
}
// The voltage check of every node whose counters were moved on by chatter_count
// without the flag, the first node that fired being `first`: as the check node by
// node leaves them, the flag is set, the counters of that node and of every later
// one restart, and the node is reported once when asked.
void chatdt_nodes_fired(std::int32_t ss, std::int32_t first);
// The current check of a whole pass whose counters were moved on by
// chatter_count without the flag, the first item (in branch order) that fired
// being `first`: as if the branches had been checked one by one, the flag is
// set, the counters of that branch and of every later branch that is not ideal
// restart, and the branch is reported once when asked.
void chatdt_branches_fired(std::int32_t ss, std::int32_t first);
// The same check with the flag already set when the pass began: every counter of
// a branch that is not ideal restarts.
void chatdt_branches_held(std::int32_t ss);
// Interpolation (a = 1) and chatter removal (b = 1) for subsystem ss.
void intchat(std::int32_t ss, std::int32_t a, std::int32_t b);
