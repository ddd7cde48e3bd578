// Susceptance allocation between a reactor and capacitor stages: the checked
// set-up of the three susceptances and the split formula.
#include "devices/svc_allocation.h"

#include <cmath>
#include <string_view>

#include "blocks/slots.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/constants.h"
#include "model/e_warn.h"

namespace {
constexpr std::string_view kTag = "SVCALLOC";
using wakro::kTiny;

void error_line(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine, text);
}
}  // namespace

void e_svcaloct1_cfg(std::int32_t ncap, double xt, double vsq, double ql, double qc) {
  bool failed = false;
  double g1 = 0.0, g2 = 0.0;
  // Step 1: the stage count.
  if (ncap < 1) {
    error_line("Unrealistic number of capacitor stages");
    failed = true;
  }
  // Step 2: leakage susceptance.
  if (xt <= kTiny) {
    error_line("Unrealistic transformer leakage reactance");
    failed = true;
  } else {
    g1 = -1.0 / xt;
  }
  // Step 3: reactor susceptance net of the leakage.
  const double xl = std::abs(ql) > kTiny ? vsq / std::abs(ql) - xt : 0.0;
  if (std::abs(ql) <= kTiny || std::abs(xl) <= kTiny) {
    error_line("Unrealistic inductive reactive power");
    failed = true;
  } else {
    g2 = -1.0 / xl;
  }
  // Step 4: one capacitor stage; without stages or bank the run stops at once.
  if (std::abs(qc) <= kTiny || ncap == 0) {
    error_line("Unrealistic capacitive reactive power");
    wakro_quit(kTag, 0);
  }
  const double g3 = 1.0 / ((vsq / std::abs(qc) + xt) * ncap);
  // Step 5: any failure ends the run before anything is stored.
  if (failed) wakro_quit(kTag, 0);
  // Step 6: the three susceptances.
  namespace L = wakro::devices::layout::svcaloct1;
  const auto s = wakro::blocks::take_rtcf(L::kRtcfSize);
  s(L::kG1) = g1;
  s(L::kG2) = g2;
  s(L::kG3) = g3;
}

double e_svcallo(double bord, double nc, double g3, double g1, double g2) {
  const double ng3 = nc * g3;
  const double den = 1.0 - (g2 + 2.0 * ng3) / g1;
  if (std::abs(den) <= kTiny) return g2;
  return (bord - (1.0 - ng3 / g1) * ng3) / den;
}

void e_svcaloct1_exe(double bord, double nc, double& bl, double& blmax) {
  namespace L = wakro::devices::layout::svcaloct1;
  const auto s = wakro::blocks::take_rtcf(L::kRtcfSize);
  blmax = s(L::kG2);
  bl = e_svcallo(bord, nc, s(L::kG3), s(L::kG1), s(L::kG2));
}
