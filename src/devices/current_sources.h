// Current sources: branches whose current source CCBR a model writes every step.
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace current_source1 {  // rtcf and rtci of the _cfg, storf the running angle
enum : std::int32_t { kMag = 1, kRamp, kRate, kOmega, kPhase, kRtcfSize = kPhase };
enum : std::int32_t { kAc = 1, kRtciSize = kAc };
enum : std::int32_t { kAngle = 1, kStorfSize = kAngle };
}
}  // namespace wakro::devices::layout

// Ramped AC or DC source computed here. Configuration block: rtcf magnitude
// [kA], ramp time, ramp rate, omega, phase [rad] (pi / 2 for DC); rtci AC flag.
// An AC source needs f > 0 (tag "CUR_SRC1_CFG"). The _exe routine takes the
// branch at time zero (checked, tag "CUR_SRC1_EXE"), keeps its running angle in
// one storf slot.
void current_source1_cfg(std::int32_t ac, double magnitude, double f, double phase_deg, double ramp);
void current_source1_exe(std::int32_t br, std::int32_t ss);
// Current and parallel conductance given by the caller every step.
void current_source2_cfg(std::int32_t br, std::int32_t ss);
void current_source2_exe(std::int32_t br, std::int32_t ss, double g, double current);
