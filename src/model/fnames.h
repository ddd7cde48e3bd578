// Module fnames: file names and the state of the input-file reader.
#pragma once

#include <cstdint>

#include "model/fixedtext.h"
#include "model/run_defaults.h"

namespace fnames {

inline wakro::FixedText<34> inam{wakro::kRunDefaults.inam};    // map file or snapshot to read
inline wakro::FixedText<34> inam1;               // map file name as entered in the dialogue
inline wakro::FixedText<34> onam{wakro::kRunDefaults.onam};         // output file name
inline wakro::FixedText<34> snam{wakro::kRunDefaults.snam};    // name of scheduled snapshots
inline wakro::FixedText<34> rtsnam{wakro::kRunDefaults.rtsnam};  // name of run-time snapshots
inline wakro::FixedText<34> mnam{wakro::kRunDefaults.mnam};        // multiple-run output file name
inline wakro::FixedText<34> mapname;             // map file name of a start from data files
inline wakro::FixedText<34> tnam;                // map or snapshot file name shown in messages
inline wakro::FixedText<72> filename;            // the file the next open uses
inline wakro::FixedText<72> section;             // current section key, blank-padded
inline wakro::FixedText<72> dumlin;              // the last data line read
inline std::int32_t iunit = 49;                  // top of the input-unit stack (base 49)
inline std::int32_t iunitout = 0;                // 0: no legacy channel file is open
inline std::int32_t iouttype = 0;                // output type: 0 legacy text files, 1 record file
inline std::int32_t netdata = 0;                 // 1 while the map file's dimensions are read

}  // namespace fnames
