// Module tandem_line: the tandem-line option (line-constants files that change with
// the run number).
#pragma once

#include <cstdint>

#include "model/fixedtext.h"

namespace tandem_line {

inline bool enable_tandem_line = false;     // the option is on
inline std::int32_t run_type = 0;           // 1: run number from ctrl::rank, -1: from ctrl::mmm
inline wakro::FixedText<26> tandemline1;    // line-constants file stem of the first line
inline wakro::FixedText<26> tandemline2;    // line-constants file stem of the second line

}  // namespace tandem_line
