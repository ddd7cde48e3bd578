// Saturation of a UMEC core switched on and off through a ramp over half a
// cycle, and the branch fluxes of a core for output. The case's model code
// calls these each step, before the network solution (where injcal uses the
// ramp).
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
inline constexpr std::string_view kUmecsat5Tag = "UMECSAT5    ";
inline constexpr std::string_view kUmecsat1Tag = "UMECSAT1    ";
inline constexpr std::string_view kFplot19Tag = "FPLOT19     ";
}  // namespace wakro

// The records of the routines below, slot by slot (sizes last).
namespace wakro::transformers::layout {
namespace umecsat5::stor {
enum : std::int32_t {
  kEnable = 1,  // the last enable
  kChange,      // the time of the change
  kEnd,         // the end of the ramp
  kRate,
  kDuration,
  kSize = kDuration
};
}
namespace umecsat1 {
namespace rtcf {
enum : std::int32_t { kRate = 1, kDuration, kSize = kDuration };
}
namespace stori {
enum : std::int32_t { kEnable = 1, kSize = kEnable };
}
namespace storf {
enum : std::int32_t { kChange = 1, kEnd, kSize = kEnd };
}
}  // namespace umecsat1
namespace fplot19::stor {
enum : std::int32_t { kFirstFlux = 1, kSize = 19 };  // one flux per magnetic branch, at most kSize
}
}  // namespace wakro::transformers::layout

// The ramp of transformer k: when `enable` changes at time t it runs over 0.5/f
// seconds, umec::ramp(k) rising (enable = 1) from 0 or falling from 1 at the
// rate 2f; outside a ramp it is 1 with enable = 1 and 0 otherwise.
// umec::injcur(k) is 1 while the ramp is at least 1e-10. At time zero the ramp
// already stands at its end. f below 0.01 Hz: the console line "Warning: Trafo
// k frequency is 0 or negative", rate 100 per second over 0.01 s. Five slots of
// e_s2::stor: the last enable, the time of the change, the end of the ramp, the
// rate, the duration. k must be a UMEC transformer (fatal otherwise).
void umecsat5(std::int32_t enable, std::int32_t k, double f);

// The same as a configured pair: umecsat1_cfg appends the rate 2f and the
// duration 0.5/f to rt_config::rtcf at time zero (f below 0.01 Hz: a warning
// "Frequency is 0 or negative, assuming 60Hz" and 60 Hz); umecsat1_exe reads
// them every step and keeps the last enable in one storage::stori slot and the
// change and end times in two storage::storf slots. Unlike umecsat5 it ramps
// from time zero.
void umecsat1_cfg(double f);
void umecsat1_exe(std::int32_t enable, std::int32_t k);

// The fluxes of transformer k's magnetic branches into e_s2::stor from nexc + 1
// (at most 19 of them); nexc always advances by 19.
void fplot19(std::int32_t k);
