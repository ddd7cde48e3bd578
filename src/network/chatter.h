// Chatter detection: a node voltage or branch current that swings to the other
// side of the mean of its last two values, by more than the chatter level, on six
// solutions in a row sets the subsystem's chatter flag temp1::stabck, which makes
// the solution driver take a half step.
#pragma once

#include <cstdint>

// mode 1: the node voltages of ss; mode 2: the branch currents with reports;
// mode 3: nothing; any other mode: the branch currents without reports.
void chatdt(std::int32_t ss, std::int32_t mode);
// The branch-current check of chatdt mode 2 for one branch br that is not ideal,
// with its new current i_new against CBR: the solution runs it inside the pass
// that forms the new currents, branch by branch in the same order.
void chatdt_branch(std::int32_t ss, std::int32_t br, double i_new);
// Interpolation (a = 1) and chatter removal (b = 1) for subsystem ss.
void intchat(std::int32_t ss, std::int32_t a, std::int32_t b);
