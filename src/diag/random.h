// Random numbers for multiple runs and statistical devices.
//
// ran1 is the minimal-standard multiplicative congruential generator (multiplier
// 16807, modulus 2147483647, Schrage's method, no shuffle table): from seed 1 the
// seeds run 16807, 282475249, 1622650073, ... and after 10,000 draws the seed is
// 1043618065. gasdev draws normal deviates by the polar method on ran1, keeping
// the second deviate of each pair for the next call (one kept deviate for the
// whole process, whatever the seed).
#pragma once

#include <cstdint>

// One uniform number in (0, 1); seed is advanced in place. Callers keep seeds in
// 1 ... 2147483646; a seed of 0 or 2147483647, which the generator could never
// leave, restarts the stream at seed 1.
double ran1(std::int32_t& seed);
// One normal deviate truncated to +-k standard deviations (k limited to 1 ... 10)
// and divided by k, so the result lies in [-1, 1].
double gasdev(std::int32_t& seed, double k);
// A seed from the wall clock and ctrl::rank.
void setseed(std::int32_t& seed);
// result := lo + u (hi - lo) with u uniform (kind 0) or (gasdev + 1) / 2 (kind 1);
// any other kind leaves result unchanged. random_mrun uses a process-wide seed
// of its own, set by setseed on its first call; random_mrun2 the caller's seed,
// set by setseed when it is 0.
void random_mrun(std::int32_t kind, double lo, double hi, double k, double& result);
void random_mrun2(std::int32_t& seed, std::int32_t kind, double lo, double hi, double k, double& result);

namespace wakro {

// A reading of the local wall clock.
struct WallClock {
  std::int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
WallClock wall_clock_now();

// The seed setseed makes from a clock reading and a process rank:
// e := ((((59 second + minute) 23 + hour) 31 + day) 12 + month) 70 + millisecond,
// made odd by subtracting 1, plus 2 rank - 1. A leap second counts as second 59
// so that e stays below 2^31.
std::int32_t clock_seed(const WallClock& t, std::int32_t rank);

// The deviate gasdev keeps for its next call (process-wide).
struct GasdevKeep {
  bool iset = false;
  double gset = 0.0;
};
GasdevKeep& gasdev_keep();

}  // namespace wakro
