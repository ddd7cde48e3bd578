// mfdtd_setup: the finite-difference (MFDTD) line, cut into equal segments.
//
// Reads the record of one line after its model line: option lines, the largest
// velocity vmax [m/s], the length, the per-unit-length matrices R, L, G and C
// (upper triangles, one value to a line), the pole count m and for each pole
// alpha_p its symmetric residue matrix A_p (complex "(re, im)" items). The
// series impedance's frequency dependence is sum_p A_p / (s - alpha_p), whose
// convolution the step updates recursively (mpsi).
//
// Segments: N = INT(length / (vmax dt)), dx = length / N, so that a wave moves
// at most one segment per step. Then, with x_p = alpha_p dt, E_p = e^(x_p) and
// w_p = 1 + (1 - E_p) / x_p (sums complex, their real parts kept):
//   Gamma = sum A_p / alpha_p                 zeta1 = sum A_p w_p / (x_p alpha_p)
//   xi1   = sum A_p ((E_p - 1) / x_p) / alpha_p
//   zeta2(p) = E_p w_p / x_p                  xi2(p) = (e^(2 x_p) - E_p) / x_p
//   Zp = (L/dt + R/2 - Gamma/2 - zeta1) dx    Zm = (L/dt - R/2 + Gamma/2 - 2 zeta1 - xi1) dx
//   Yp = (C/dt + G/2) dx   Ym = (C/dt - G/2) dx   Yh = (G - C/dt) dx
//   dm = (C/dt + G) dx, the terminal admittance stamped at both ends.
// Leaves: e_s7mfd's tables of the line (Zp and Yp inverted in zplusimfd and
// yplusimfd, E_p in ealphamfd), e_tlint's R, L, G, C and Gamma, and e_s7::dm.
// A count beyond its dimension, a pole count other than the model line's or a
// pole at 0 is an invalid data line (message 37); a velocity, length or segment
// count that leaves no segment stops with its console lines.
#include <cmath>
#include <complex>
#include <string>

#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s7mfd.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"
#include "model/fnames.h"

namespace wakro::lines {
namespace {

constexpr std::string_view kTag = "DSLINT      ";

double real_item(const LineSetup& s) {
  double v = 0.0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {v}), s);
  return v;
}

cplx complex_item(const LineSetup& s) {
  cplx v = 0.0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {v}), s);
  return v;
}

// A symmetric n x n matrix given by its upper triangle, row by row.
template <class Element>
void upper_triangle(const LineSetup& s, std::int32_t n, Element&& at, bool complex_values) {
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = i; j <= n; ++j) {
      if (complex_values) {
        const cplx v = complex_item(s);
        at(i, j, v);
        at(j, i, v);
      } else {
        const double v = real_item(s);
        at(i, j, cplx(v));
        at(j, i, cplx(v));
      }
    }
}

// out(i, j) = Re sum over poles of A_p(i, j) weight(p), for the fit of line k.
template <class Weight, class Out>
void fit_sum(std::int32_t m, std::int32_t n, std::int32_t k, Weight&& weight, Out&& out) {
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= n; ++i) {
      cplx sum = 0.0;
      for (std::int32_t p = 1; p <= m; ++p) sum += e_s7mfd::aimfd(i, j, p, k) * weight(p);
      out(i, j) = sum.real();
    }
}

// Pole p of line k times the step: the exponent of the pole over one step.
cplx pole_exponent(std::int32_t p, double dt, std::int32_t k) {
  return e_s7mfd::alphamfd(p, k) * dt;
}
// 1 + (1 - e^x) / x: the weight of an input that varies linearly over the step.
cplx ramp_weight(cplx x) { return 1.0 + (1.0 - std::exp(x)) / x; }

}  // namespace

void mgama(std::int32_t m, std::int32_t n, std::int32_t k) {
  fit_sum(m, n, k, [k](std::int32_t p) { return 1.0 / e_s7mfd::alphamfd(p, k); },
          [](std::int32_t i, std::int32_t j) -> double& { return e_tlint::gamamfd(i, j); });
}

void mzeta1(std::int32_t m, std::int32_t n, double dt, std::int32_t k) {
  fit_sum(
      m, n, k,
      [k, dt](std::int32_t p) {
        const cplx x = pole_exponent(p, dt, k);
        return ramp_weight(x) / (x * e_s7mfd::alphamfd(p, k));
      },
      [k](std::int32_t i, std::int32_t j) -> double& { return e_s7mfd::zeta1mfd(i, j, k); });
}

void mxhi1(std::int32_t m, std::int32_t n, double dt, std::int32_t k) {
  fit_sum(
      m, n, k,
      [k, dt](std::int32_t p) {
        const cplx x = pole_exponent(p, dt, k);
        return ((std::exp(x) - 1.0) / x) / e_s7mfd::alphamfd(p, k);
      },
      [k](std::int32_t i, std::int32_t j) -> double& { return e_s7mfd::xhi1mfd(i, j, k); });
}

void mzeta2(std::int32_t m, double dt, std::int32_t k) {
  for (std::int32_t p = 1; p <= m; ++p) {
    const cplx x = pole_exponent(p, dt, k);
    e_s7mfd::zeta2mfd(p, k) = (std::exp(x) * ramp_weight(x) / x).real();
  }
}

void mxhi2(std::int32_t m, double dt, std::int32_t k) {
  for (std::int32_t p = 1; p <= m; ++p) {
    const cplx x = pole_exponent(p, dt, k);
    e_s7mfd::xhi2mfd(p, k) = ((std::exp(2.0 * x) - std::exp(x)) / x).real();
  }
}

void mfdtd_setup(LineSetup& s, const std::string& model_line) {
  using namespace e_s7mfd;
  const std::int32_t k = s.l;
  const std::int32_t n = modemfd(k);

  // Step 1: the model line's counts; the conductors must be the record's.
  std::int32_t given = 0, poles = 0;
  fnames::dumlin = model_line;
  check_read(two_columns(model_line, 7, given), s);
  check_read(two_columns(model_line, 10, poles), s);
  if (given != n) {
    conductor_count_block(s);
    read_error(s);
  }
  if (n > aimfd.extent(1) || poles < 0 || poles > alphamfd.extent(1)) read_error(s);

  // Step 2: options, velocity, length, the four matrices per unit length.
  LineOptions options;
  check_read(read_options(fnames::iunit, options), s);
  inflengthmfd(k) = options.inflength;
  rdcmnt();  // comment lines may stand before the velocity
  const double vmax = real_item(s);
  const double length = real_item(s);
  FArray<double, 2>* const per_length[] = {&e_tlint::rmfd, &e_tlint::dlmfd, &e_tlint::gmfd,
                                           &e_tlint::cmfd};
  for (FArray<double, 2>* M : per_length)
    upper_triangle(s, n, [M](std::int32_t i, std::int32_t j, cplx v) { (*M)(i, j) = v.real(); }, false);

  // Step 3: the fit, pole by pole; its pole count is the model line's.
  std::int32_t m = 0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {m}), s);
  if (m != poles) read_error(s);
  npolesmfd(k) = m;
  for (std::int32_t p = 1; p <= m; ++p) {
    alphamfd(p, k) = complex_item(s);
    if (alphamfd(p, k) == cplx(0.0)) read_error(s);  // every term divides by its pole
    upper_triangle(s, n, [p, k](std::int32_t i, std::int32_t j, cplx v) { aimfd(i, j, p, k) = v; }, true);
  }

  // Step 4: the segments.
  const Segments seg = mfdtd_segments(vmax, length, e_s1::delt);
  report_segments(seg, tlnamemfd(k).view());
  if (seg.check == SegmentCheck::beyond || seg.n + 1 > e_tldyn::vhmfd.extent(2)) read_error(s);
  if (seg.check != SegmentCheck::ok) wakro_quit(kTag, 0);
  nmfd(k) = seg.n;
  dxmfd(k) = seg.dx;

  // Step 5: the coefficients of the fit's recursive convolution.
  const double dt = e_s1::delt;
  mgama(m, n, k);
  mzeta1(m, n, dt, k);
  mxhi1(m, n, dt, k);
  mzeta2(m, dt, k);
  mxhi2(m, dt, k);
  for (std::int32_t p = 1; p <= m; ++p) ealphamfd(p, k) = std::exp(alphamfd(p, k) * dt);

  // Step 6: the segment matrices and the terminal admittance.
  const double dx = seg.dx;
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= n; ++i) {
      const double R = e_tlint::rmfd(i, j), L = e_tlint::dlmfd(i, j);
      const double G = e_tlint::gmfd(i, j), C = e_tlint::cmfd(i, j);
      const double Gamma = e_tlint::gamamfd(i, j), zeta1 = zeta1mfd(i, j, k), xi1 = xhi1mfd(i, j, k);
      zplusimfd(i, j, k) = (L / dt + R / 2.0 - Gamma / 2.0 - zeta1) * dx;
      zminusmfd(i, j, k) = (L / dt - R / 2.0 + Gamma / 2.0 - 2.0 * zeta1 - xi1) * dx;
      yplusmfd(i, j, k) = yplusimfd(i, j, k) = (C / dt + G / 2.0) * dx;
      yminusmfd(i, j, k) = (C / dt - G / 2.0) * dx;
      yhmfd(i, j, k) = (G - C / dt) * dx;
      e_s7::dm(i, j) = (C / dt + G) * dx;
    }
  mmat_inv(zplusimfd, n, k);
  mmat_inv(yplusimfd, n, k);
}

}  // namespace wakro::lines
