// Module emtio: the console units.
#pragma once

#include <cstdint>

namespace emtio {

inline std::int32_t iin = 5;   // console input unit
inline std::int32_t iout = 6;  // console output unit of the numbered texts

}  // namespace emtio
