// Module outppp: per-channel data of the output channels and the plot settings.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"
#include "model/run_defaults.h"

namespace outppp {

// Arrays (nd13 each), allocated by a_s after e_s4::pgb.
inline wakro::FArray<std::int32_t, 1> mpgbi{"mpgbi"};  // per-channel integer datum of the channel list
inline wakro::FArray<std::int32_t, 1> ipgbi{"ipgbi"};  // second per-channel integer datum
inline wakro::FArray<wakro::FixedText<200>, 1> pgbname{"pgbname"};  // name of each channel

inline std::int32_t jplt = wakro::kRunDefaults.jplt;  // number of output channels of the case
inline std::int32_t jplt2 = 0;  // channel count compared with jplt by the run loop
inline std::int32_t mplt = 0;   // entries of mpgbi in use
inline std::int32_t iplt = 0;   // entries of ipgbi in use
inline double pplot = wakro::kRunDefaults.pplot;      // console screen plot switch (non-zero: on)
inline double pmax = 2.0;       // upper end of the console plot range
inline double pmin = -2.0;      // lower end of the console plot range
inline std::int32_t outfil = wakro::kRunDefaults.outfil;  // output-file switch
inline std::int32_t snpfil = wakro::kRunDefaults.snpfil;  // snapshot-file switch

}  // namespace outppp
