// Module options: the solution options, per subsystem and for the case.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace options {

// Per subsystem (nd2), allocated by a_interp.
inline wakro::FArray<std::int32_t, 1> rootmatch{"rootmatch"};  // solution method ("SOLUTION")
inline wakro::FArray<bool, 1> interpss{"interpss"};    // interpolate switching instants ("INTERPOLATE")
inline wakro::FArray<bool, 1> xterpsrc{"xterpsrc"};    // extrapolate sources ("EXTRAPOLATE")
inline wakro::FArray<bool, 1> rmchatter{"rmchatter"};  // remove chatter ("REMOVE_CHATTER")
inline wakro::FArray<bool, 1> dtchatter{"dtchatter"};  // detect chatter ("DETECT_CHATTER")

inline bool prndim = false;   // print the dimension report ("PRINT_DIMENSIONS")
inline bool prnparm = false;  // print the run parameters ("PRINT_PARAMETERS")
inline bool echo = false;     // echo every data line read ("ECHO_DATA")

}  // namespace options
