// Module assorc: the case title and the input mode of the run.
#pragma once

#include "model/fixedtext.h"
#include "model/run_defaults.h"

namespace assorc {

inline wakro::FixedText<72> title;           // case title
inline wakro::FixedText<4> input{wakro::kRunDefaults.input};    // "DATA": start from data files, "SNAP": from a snapshot

}  // namespace assorc
