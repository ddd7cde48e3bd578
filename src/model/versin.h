// Module versin: the engine's version.
#pragma once

#include "model/fixedtext.h"

namespace versin {

inline wakro::FixedText<32> vername;  // build version name
inline double version = 5.0;          // version number (always 5.0)

}  // namespace versin
