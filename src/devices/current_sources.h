// Current sources: branches whose current source CCBR a model writes every step.
#pragma once

#include <cstdint>

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
