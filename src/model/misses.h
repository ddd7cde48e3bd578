// Module misses: failed answers of the console dialogue.
#pragma once

#include <cstdint>

namespace misses {

inline std::int32_t imis = 0;  // count of failed dialogue answers

}  // namespace misses
