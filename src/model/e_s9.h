// Module e_s9: copies of the first seven working sizes, kept for model code.
#pragma once

#include <cstdint>

namespace e_s9 {

inline std::int32_t n1test = 0;  // copy of ndde::nd1
inline std::int32_t n2test = 0;  // copy of ndde::nd2
inline std::int32_t n3test = 0;  // copy of ndde::nd3
inline std::int32_t n4test = 0;  // copy of ndde::nd4
inline std::int32_t n5test = 0;  // copy of ndde::nd5
inline std::int32_t n6test = 0;  // copy of ndde::nd6
inline std::int32_t n7test = 0;  // copy of ndde::nd7

}  // namespace e_s9
