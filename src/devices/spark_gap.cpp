// The spark gap (see spark_gap.h).
#include "devices/spark_gap.h"

#include <cmath>

#include "blocks/slots.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/harmimp.h"
#include "model/int1.h"
#include "model/options.h"
#include "network/solution.h"
#include "network/switching.h"

void e_sparkgap(std::int32_t ss, std::int32_t br, double ron, double roff, double vbd) {
  namespace mode = wakro::switch_mode;
  const auto s = wakro::blocks::take_storf(wakro::devices::layout::sparkgap::kStorfSize);
  // Step 1: set-up at time zero, the gap open.
  if (e_s1::timezero) wakro_initswbr(ss, br, ron, roff, 0.0, 0.0, "SPARKGAP    ");
  int1::xstor(br, ss) = wakro::kNoCrossing;
  harmimp::branch_r(br, ss) = roff;
  const double i = branches::cbr(br, ss);
  const bool interp = options::interpss(ss);
  if (branches::openbr(br, ss)) {
    // Step 2: open, waiting for the breakdown voltage.
    if (interp) {
      int1::iorv(br, ss) = mode::voltage_above;
      branches::swlevl(br, ss) = std::abs(vbd);
    } else if (std::abs(vbranch(ss, br)) > std::abs(vbd)) {
      wakro_turnon(ss, br, mode::plain, 0.0);
    }
  } else {
    // Step 3: conducting, waiting for the current zero.
    if (interp) {
      int1::iorv(br, ss) = mode::current_crossing;
      branches::swlevl(br, ss) = 0.0;
    } else if (s(wakro::devices::layout::sparkgap::kLastCurrent) * i <= 0.0) {
      wakro_turnoff(ss, br, mode::plain, 0.0);
    }
  }
  // Step 4: the current for the next call.
  s(wakro::devices::layout::sparkgap::kLastCurrent) = i;
}
