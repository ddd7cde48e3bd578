// The current sources. Each one's branch is deferred (its owner forms the
// current) and its conductance enters the matrix through the network's run-time
// change helper.
#include "devices/current_sources.h"

#include <cmath>
#include <string_view>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "network/companion.h"
#include "network/matrix.h"

namespace {
constexpr std::string_view kCfgTag = "CUR_SRC1_CFG";
constexpr std::string_view kExeTag = "CUR_SRC1_EXE";
constexpr std::string_view kSrc2Tag = "CUR_SRC2_CFG";
constexpr std::string_view kSrc2ExeTag = "CUR_SRC2_EXE";
using wakro::kTwoPi;
constexpr double kDegree = 0.017453292519943;
constexpr double kQuarterTurn = wakro::kHalfPiCut;
using wakro::kTiny;
constexpr double kSameConductance = 1.0e-32;

using namespace wakro::devices::layout::current_source1;

// The branch left to its owner, with no conductance of its own.
void defer_branch(std::string_view tag, std::int32_t br, std::int32_t ss) {
  wakro_testbrn(tag, br, ss);
  branches::defrdbr(br, ss) = true;
  wakro::change_branch_conductance(tag, ss, br, 0.0);
  wakro::harm_branch_record(br, ss);
}
}  // namespace

void current_source1_cfg(std::int32_t ac, double magnitude, double f, double phase_deg, double ramp) {
  const bool is_ac = ac == 1;
  if (is_ac && f <= kTiny) {
    wakro::devices::device_fatal(kCfgTag, "Frequency of an AC current source must be above zero");
  }
  const auto c = wakro::blocks::take_rtcf(kRtcfSize);
  const auto i = wakro::blocks::take_rtci(kRtciSize);
  const bool ramped = ramp > kTiny;
  c(kMag) = magnitude;
  c(kRamp) = ramped ? ramp : 0.0;
  c(kRate) = ramped ? magnitude / ramp : magnitude;
  c(kOmega) = is_ac ? kTwoPi * f : 0.0;
  c(kPhase) = is_ac ? phase_deg * kDegree : kQuarterTurn;
  i(kAc) = is_ac ? 1 : 0;
}

void current_source1_exe(std::int32_t br, std::int32_t ss) {
  const auto i = wakro::blocks::take_rtci(kRtciSize);
  const auto c = wakro::blocks::take_rtcf(kRtcfSize);
  const auto s = wakro::blocks::take_storf(kStorfSize);
  const double w = c(kOmega);
  // 1. Set-up at time zero: the angle starts one step back.
  double angle = s(kAngle);
  if (e_s1::timezero) {
    defer_branch(kExeTag, br, ss);
    angle = c(kPhase) - w * e_s1::delt;
  }
  // 2. Magnitude, ramped.
  const double m = e_s1::time < c(kRamp) ? e_s1::time * c(kRate) : c(kMag);
  // 3. Value.
  double value = m;
  if (i(kAc) == 1) {
    angle += w * e_s1::delt;
    if (angle > kTwoPi) angle -= kTwoPi;
    value = m * std::sin(angle);
    s(kAngle) = angle;
  }
  // 4. The current source.
  branches::ccbr(br, ss) = value;
  if (e_s1::timezero) branches::ccbrd(br, ss) = value;
}

void current_source2_cfg(std::int32_t br, std::int32_t ss) { defer_branch(kSrc2Tag, br, ss); }

void current_source2_exe(std::int32_t br, std::int32_t ss, double g, double current) {
  branches::ccbr(br, ss) = current;
  if (std::abs(g - branches::geq(br, ss)) > kSameConductance) {
    wakro::change_branch_conductance(kSrc2ExeTag, ss, br, g);
  }
}
