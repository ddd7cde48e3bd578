// The interface branch (rcbranch is network/companion.h's). Its conductance enters the matrix through
// the network's run-time change helper, which handles both switching and fixed
// branches and either form of the matrix.
#include "devices/rc_branches.h"

#include <string_view>

#include "devices/device_support.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/harmimp.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace {
constexpr std::string_view kIfTag = "INTFC_BRNCH1";
}  // namespace

void intfc_brnch1_cfg(std::int32_t iss, std::int32_t ibr, double r) {
  using namespace branches;
  wakro_testbrn(kIfTag, ibr, iss);
  wakro::change_branch_conductance(kIfTag, iss, ibr, r > 0.0 ? wakro::part_conductance(r) : 0.0);
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
