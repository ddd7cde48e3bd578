// rcbranch and the interface branch. Their conductance enters the matrix through
// the network's run-time change helper, which handles both switching and fixed
// branches and either form of the matrix.
#include "devices/rc_branches.h"

#include <string_view>

#include "devices/device_support.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/harmimp.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace {
constexpr std::string_view kRcTag = "RCBRANCH";
constexpr std::string_view kIfTag = "INTFC_BRNCH1";
constexpr double kNoCapacitor = 1.0e-12;  // uF
}  // namespace

void rcbranch(std::int32_t iss, std::int32_t ibr, double r, double c_uf) {
  using namespace branches;
  if (!e_s1::timezero) return;
  wakro_testbrn(kRcTag, ibr, iss);
  if (r > 0.0) {
    double g = 1.0 / r;
    if (c_uf < kNoCapacitor) {
      capacitr(ibr, iss) = false;
    } else {
      const double rc = wakro::capacitive_resistance(c_uf, e_s1::delt);
      g = 1.0 / (r + rc);
      g2c(ibr, iss) = 1.0 / rc;
      rcg(ibr, iss) = rc * g;
      rsl(ibr, iss) = rc * g * r;
      capacitr(ibr, iss) = true;
      harmimp::branch_c(ibr, iss) = c_uf * 1.0e-6;
    }
    wakro::change_branch_conductance(kRcTag, iss, ibr, g);
    geqd(ibr, iss) = geqon(ibr, iss) = geqof(ibr, iss) = g;
    resistor(ibr, iss) = true;
    inductor(ibr, iss) = false;
    harmimp::branch_r(ibr, iss) = r;
  } else {
    defrdbr(ibr, iss) = true;
    wakro::change_branch_conductance(kRcTag, iss, ibr, 0.0);
  }
  wakro::devices::harm_branch_record(ibr, iss);
}

void intfc_brnch1_cfg(std::int32_t iss, std::int32_t ibr, double r) {
  using namespace branches;
  wakro_testbrn(kIfTag, ibr, iss);
  wakro::change_branch_conductance(kIfTag, iss, ibr, r > 0.0 ? 1.0 / r : 0.0);
  resistor(ibr, iss) = true;
  harmimp::branch_r(ibr, iss) = 1.0;  // the registry sees a one-ohm branch
  defrdbr(ibr, iss) = true;
  wakro::devices::harm_branch_record(ibr, iss);
}

void intfc_brnch1_exe(std::int32_t iss, std::int32_t ibr) {
  using namespace branches;
  const double j = ccbr(ibr, iss);
  const double g = geq(ibr, iss);
  ccbr(ibr, iss) = j - vbranch(iss, ibr) * g;
}
