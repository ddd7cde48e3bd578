// Module e_s4: output-channel values and the case's run-time variables and constants.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace e_s4 {

inline wakro::FArray<double, 1> var{"var"};  // run-time variables of the case (nd11)
inline wakro::FArray<double, 1> con{"con"};  // run-time constants of the case (nd12)
inline wakro::FArray<double, 1> pgb{"pgb"};  // output-channel values, written at quolbv3::npgb (nd13)
inline std::int32_t update_ag = 0;           // flag set by the run loop, read by the case code and the exchange

}  // namespace e_s4
