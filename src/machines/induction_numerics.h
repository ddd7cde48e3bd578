// The numerics shared by the induction machine models (and the frame transform
// of the permanent-magnet machine):
//
//   trns_nv      phase quantities a, b, c to the rotor's d-q-0 frame and back;
//   stormat_nv   an n x n matrix into the old-style storage, row by row, or back;
//   inverse_nv   Gauss-Jordan inverse of an n x n winding matrix;
//   frmlmat_nv   the winding matrix from the reactance vector;
//   euler_nv     one predictor-corrector (Heun) step of the winding fluxes;
//   satur_nvrt   saturation factor from a curve in the configuration store;
//   satur_nv     the same from a curve in the old-style storage.
//
// Matrices are 5 x 5 arrays held column by column, element (i, j) at
// (i - 1) + 5 (j - 1); only the leading n x n part is read or written.
//
// inverse_nv takes a pivot from a following row only when that row's element is
// above 1e-20 (a signed test) and leaves elements of 1e-20 or less undivided: it
// is fit for the positive-definite winding matrices of these machines and is not
// a general inverse; it serves these machines only.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace wakro::machines {

inline constexpr std::int32_t kWindingOrder = 5;
using WindingMatrix = std::array<double, kWindingOrder * kWindingOrder>;
using WindingVector = std::array<double, kWindingOrder>;
using ReactanceVector = std::array<double, 12>;
using Phases = std::array<double, 3>;

inline constexpr std::string_view kInductionTag = "INDUCMC     ";

// Element (i, j), 1-based, of a column-stored matrix.
inline double& at(WindingMatrix& m, std::int32_t i, std::int32_t j) {
  return m[static_cast<std::size_t>((i - 1) + kWindingOrder * (j - 1))];
}
inline double at(const WindingMatrix& m, std::int32_t i, std::int32_t j) {
  return m[static_cast<std::size_t>((i - 1) + kWindingOrder * (j - 1))];
}

// direction >= 1: dq0 from abc; otherwise abc from dq0.
void trns_nv(Phases& abc, Phases& dq0, double theta, std::int32_t direction);
// direction >= 1: the matrix into stor(nexc + offset + (i - 1) n + j); otherwise
// the matrix from there. nexc is not changed.
void stormat_nv(WindingMatrix& m, std::int32_t offset, std::int32_t direction, std::int32_t n);
// A singular matrix is fatal: "Unable to find the inverse of the matrix", tag
// "INDUCMC     ".
void inverse_nv(const WindingMatrix& a, WindingMatrix& inverse, std::int32_t n);
// The winding matrix X / scale (scale = wb gives inductances).
void frmlmat_nv(const ReactanceVector& x, double scale, WindingMatrix& m, std::int32_t n);

// The fluxes of one machine advanced over one step by euler_nv.
struct FluxStep {
  WindingVector r{};    // circuit resistances
  double x0 = 0.0;      // zero-sequence reactance
  WindingVector psi_d{}, psi_q{};
  double psi_0 = 0.0;
  WindingVector dpsi_d{}, dpsi_q{};  // derivatives at the start of the step
  double dpsi_0 = 0.0;
};
// v = (vd, vq, v0) and w at the end of the step; valpha, vbeta the rotor
// circuit's voltages. The derivatives are left unchanged.
void euler_nv(FluxStep& f, const WindingMatrix& inverse, double w, const Phases& v, double wb, double valpha,
              double vbeta, std::int32_t n);

// Curve of up to ten points (x, y) interleaved at rtcf(nrtcf + offset) on.
void satur_nvrt(double x, double& factor, std::int32_t offset);
// Curve in the block: selector 1 at stor(nexc + 86) on, any other at nexc + 110.
void satur_nv(double x, double& factor, std::int32_t selector);

// The first point of satur_nv's curves for each selector.
inline constexpr std::int32_t kMagnetisingCurveSlot = 86;
inline constexpr std::int32_t kLeakageCurveSlot = 110;

}  // namespace wakro::machines
