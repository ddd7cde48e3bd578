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
// step); the checking routines run only to report a failure, or to pass ground.
inline bool node_in_range(std::int32_t ss, std::int32_t n) {
  return ss >= 1 && ss <= int2::nmat && n >= 1 && n <= e_s0::mbus(ss);
}

}  // namespace

void add_norton(std::string_view caller, std::int32_t ss, std::int32_t n, double g, double i) {
  if (!node_in_range(ss, n)) [[unlikely]] {
    wakro_testssn(caller, ss);
    if (n == 0) return;
    wakro_testnn(caller, n, ss);
  }
  e_s0::ggin(n, ss) += g;
  e_s0::ccin(n, ss) += i;
}

void correct_previous_injection(std::string_view caller, std::int32_t ss, std::int32_t n, double di) {
  if (!node_in_range(ss, n)) [[unlikely]] {
    wakro_testssn(caller, ss);
    if (n == 0) return;
    wakro_testnn(caller, n, ss);
  }
  int4::ccind(n, ss) += di;
}

void enable_norton(std::string_view caller, std::int32_t ss, std::int32_t n) {
  if (!node_in_range(ss, n)) [[unlikely]] {
    wakro_testssn(caller, ss);
    if (n == 0) return;
    wakro_testnn(caller, n, ss);
  }
  e_s0::enabccin(n, ss) = true;
}

}  // namespace wakro
