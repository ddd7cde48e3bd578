// The B-H characteristic of a UMEC core: ten points (x(i), y(i)) =
// (umec::xt(i, k), umec::yt(i, k)), x the magnetising intensity and y the flux
// density, rising from the origin with falling slopes; the curve ends at the
// first point with y <= 0 (or after the tenth).
#pragma once

#include <cstdint>

namespace wakro {

// What the check of a curve did.
struct CurveCheck {
  bool no_data = false;  // no usable first point: saturation disabled
  bool ignored = false;  // points removed that a warning should name
};

// Checks and mends the curve of transformer k (with saturation enabled):
//  1. the points before the first with x > 0 are dropped (the rest move down,
//     the place behind them becomes (0, 0)); none, or a first point with y <= 0,
//     is no data: umec::satenab(k) = 0;
//  2. with s the running slope from the origin, each later point i (up to the
//     first with y <= 1e-20) must have a slope m with 0 < m <= 0.999999 s
//     (m = s when x does not rise by more than 1e-20); a point that fails is
//     removed and the warning is due when m > 1.000001 s or m <= 0;
//  3. umec::msl1(k) = y(1) / x(1).
// Reports nothing: the caller words the warnings.
CurveCheck check_bh_curve(std::int32_t k);

}  // namespace wakro

// Flux phi to magnetomotive force F on the curve of transformer k, for a path
// of relative area a and length l: P = phi / F its chord permeance (s a / l at
// F = 0) and flag = 1 on the saturated part (beyond the first point). With
// saturation disabled the path is linear with P = msl1 a / l. Beyond the last
// point the lookup follows the last segment.
void permpt(std::int32_t k, double phi, double& f, std::int32_t& flag, double a, double l, double& p);
// The mirror: magnetomotive force F to flux phi.
void permtp(std::int32_t k, double f, double& phi, std::int32_t& flag, double a, double l, double& p);
