// add_norton and enable_norton: Norton injections at a node of a subsystem.
//
// Leaves: GGIN(n, ss) += g and CCIN(n, ss) += i (add_norton), ENABCCIN(n, ss)
// set (enable_norton), CCIND(n, ss) += di (correct_previous_injection);
// nothing for ground. The marker mxinv is not touched: the
// solution compares GGIN with its previous value itself.
#include <cstdint>
#include <string_view>

#include "diag/validators.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/int4.h"
#include "network/matrix.h"

namespace wakro {
namespace {

// The subsystem and node checks of every call, tested here (the calls come every
// step, half of them for ground, the far end of a branch to ground).
inline bool subsystem_in_range(std::int32_t ss) { return ss >= 1 && ss <= int2::nmat; }
inline bool node_in_range(std::int32_t ss, std::int32_t n) {
  return subsystem_in_range(ss) && n >= 1 && n <= e_s0::mbus(ss);
}

// Whether a call whose subsystem or node is not a solved one goes on to its
// node: ground of a sound subsystem takes nothing; a bad subsystem or node is
// reported by the checking routines (which end the run). Out of line, so that
// the calls that pass keep no frame for it.
[[gnu::noinline, gnu::cold]] bool checked_target(std::string_view caller, std::int32_t ss, std::int32_t n) {
  wakro_testssn(caller, ss);
  if (n == 0) return false;
  wakro_testnn(caller, n, ss);
  return true;
}

// True when the node takes the call's injection.
[[gnu::always_inline]] inline bool takes(std::string_view caller, std::int32_t ss, std::int32_t n) {
  if (node_in_range(ss, n)) [[likely]]
    return true;
  // Ground of a sound subsystem: wakro_testssn would pass it without a word.
  if (n == 0 && subsystem_in_range(ss)) return false;
  return checked_target(caller, ss, n);
}

}  // namespace

void add_norton(std::string_view caller, std::int32_t ss, std::int32_t n, double g, double i) {
  if (!takes(caller, ss, n)) return;
  e_s0::ggin(n, ss) += g;
  e_s0::ccin(n, ss) += i;
}

void correct_previous_injection(std::string_view caller, std::int32_t ss, std::int32_t n, double di) {
  if (!takes(caller, ss, n)) return;
  int4::ccind(n, ss) += di;
}

void enable_norton(std::string_view caller, std::int32_t ss, std::int32_t n) {
  if (!takes(caller, ss, n)) return;
  e_s0::enabccin(n, ss) = true;
}

}  // namespace wakro
