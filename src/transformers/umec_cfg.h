// The nameplate configuration routines of UMEC transformers, called by the case
// in its begin pass at time zero for a transformer that the section reader
// entered with a UMEC core (its core type, branch count and saturation flag come
// from there). Each fills the UMEC hand-over records of rt_config (core
// geometry, slope and rescaled B-H curve; per winding the turns, taken as the
// rated voltage in kV, and the leakage permeance) and forms the transformer
// through wakro_settfparm kind 3.
//
// Units: mva in MVA (three-phase for umec6w5l_cfg), f in Hz, leakage
// reactances x in pu, voltages U in kV, im the magnetising current in percent;
// ra and rl the yoke-to-limb ratios of area and length, da and dl the divisors
// that give the outer legs' area and length from the yoke's (type 2).
//
// The ten B-H points must be in rt_config::umecsatdata (x in column 1, y in
// column 2, per unit) before the call; they are rescaled in place.
//
// Checks, each reported with wakro_message (severity 2, the ids of e_warn):
// "Unrealistic Transformer MVA Rating.", "Unrealistic Transformer Voltage
// Rating.", "Unrealistic Transformer Frequency.", "Unrealistic Transformer
// Magnetising Current." (the run ends under the tag after all of them), and
// "Unrealistic Ratio of Area or Length." (the run ends at once). umec3w_cfg
// warns instead and stops at the first. A transformer that is not a UMEC one,
// has other windings than the routine's, or a core read with a type or branch
// count that does not fit them, ends the run as well, before any work table is
// written.
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
inline constexpr std::string_view kUmec2wTag = "UMEC_TF_2WDG";
inline constexpr std::string_view kUmec3wTag = "UMEC_TF_3WDG";
inline constexpr std::string_view kUmec4wTag = "UMEC_TF_4WDG";
inline constexpr std::string_view kUmec6wTag = "UMEC_TF_3P2W";
}  // namespace wakro

// The work tables the UMEC readers hand to the formation (settfparm), column by
// column (sizes last).
namespace wakro::transformers::layout {
namespace umectfdata {  // rt_config::umectfdata: the core record
enum : std::int32_t {
  kLimbArea = 1,  // wound limb area and length
  kLimbLength,
  kYokeArea,  // yoke area and length
  kYokeLength,
  kOuterArea,  // outer leg area and length
  kOuterLength,
  kZeroSequence,  // permeance of the zero-sequence paths
  kSlope,         // the linear slope of the core material
  kSize = kSlope
};
}
namespace umecwdgdata {  // rt_config::umecwdgdata: one row per winding
enum : std::int32_t { kTurns = 1, kLeakage, kColumns = kLeakage };
}
namespace umecsatdata {  // rt_config::umecsatdata: one row per curve point
enum : std::int32_t { kCurrent = 1, kFlux, kColumns = kFlux };
}
}  // namespace wakro::transformers::layout

void umec2w_cfg(std::int32_t k, double mva, double f, double x, double u1, double u2, double im,
                double ra, double rl);
void umec3w_cfg(std::int32_t k, double mva, double f, double x, double u1, double u2, double u3,
                double im, double ra, double rl);
void umec3w2_cfg(std::int32_t k, double mva, double f, double x12, double x13, double x23, double u1,
                 double u2, double u3, double im, double ra, double rl);
void umec4w_cfg(std::int32_t k, double mva, double f, double x, double u1, double u2, double u3,
                double u4, double im, double ra, double rl);
// Three phases of two windings (windings 1, 3, 5 at U1 and 2, 4, 6 at U2) on a
// core of `type` (2: five limbs with outer legs).
void umec6w5l_cfg(std::int32_t k, std::int32_t type, double mva, double f, double x, double u1,
                  double u2, double im, double rl, double ra, double dl, double da);
