// fredep_setup: the frequency-dependent line in modal coordinates (FRE-DEP).
//
// Reads a FRE-DEP record (model line, option lines, one block per mode) and
// fills the mode-domain tables of e_s7 for line l with modes o + 1 .. o + n:
// ring length nt and fraction fnt of each travel time; from the fit of the
// characteristic impedance the conductance a0y = 1/(c0 + sum Re zreq) and, per
// pole, zreq = r(1 - E)/p, zexp = E and zgc = E/zreq; from the fit of the
// propagation function a0a = c0 and, per pole, alphaa = E, lamdaa = r lambda,
// mua = r mu (convolution.h); from the transformation fits the constant terms
// ti. Leaves dm = T diag(a0y) T^T in e_s7::dm and the counters nlmodeu, ntermtu,
// ntwbufu, npolzu, npolau raised by the line.
//
// Without the line header the fits are zeros and poles of
// K (1 + s/z1).../(1 + s/p1)... (turned into residues by frac); with it they
// are complex pole locations and residues (the poles are negated on reading).
// An unusable fit (repeated poles, a zero or pole at the origin, an unstable
// pole, a zero conductance accumulator) is an invalid data line.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string>

#include "diag/listout.h"
#include "diag/nodeaccess.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "files/listread.h"
#include "lines/convolution.h"
#include "lines/line_records.h"
#include "lines/line_setup.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_tlint.h"
#include "model/fnames.h"
#include "model/ndde.h"

namespace wakro::lines {
namespace {

constexpr double kInfinite = 1.0e15;  // a zero or pole at or above this ends the fit
constexpr std::int32_t kGroup = 6;    // values per record of a zero, pole or residue list

enum class FitKind { impedance, propagation, transformation };

// One fit in the form the set-up uses: c0 + sum r(m)/(s + p(m)), m = 1..np,
// with p in e_tlint::pc and r in e_tlint::rc.
struct Fit {
  std::int32_t np = 0;
  double c0 = 0.0;
};

// Reads `count` values, kGroup to a record, into v(1..), keeping at most
// `keep` of them; the surplus is read and dropped.
void read_groups(const LineSetup& s, std::int32_t count, std::int32_t keep, FArray<double, 1>& v) {
  std::array<double, kGroup> buf{};
  for (std::int32_t first = 0; first < count; first += kGroup) {
    const std::int32_t g = std::min(kGroup, count - first);
    keep_next_line(fnames::iunit);
    check_read(list_read_unit(fnames::iunit, {std::span<double>(buf.data(), static_cast<std::size_t>(g))}), s);
    for (std::int32_t k = 0; k < g; ++k)
      if (first + k < keep) v(first + k + 1) = buf[static_cast<std::size_t>(k)];
  }
}

// The count line of a fit: the warning of message 276 when it has more poles
// (or zeros) than a fit is dimensioned for.
std::int32_t bounded(std::int32_t count, const LineSetup& s) {
  count = std::max(count, 0);
  if (count <= ndde::nd8) return count;
  if (s.header) ListLine() << "Line/Cable Name :" + s.quoted;
  outmsg(message::kTooManyPoles, ndde::nd8);
  return ndde::nd8;
}

// Poles that frac or the convolutions cannot use.
void check_poles(const LineSetup& s, std::int32_t np) {
  for (std::int32_t m = 1; m <= np; ++m) {
    const cplx a = e_tlint::pc(m);
    if (!(a.real() > 0.0) || !std::isfinite(std::abs(a))) read_error(s);
    for (std::int32_t k = 1; k < m; ++k)
      if (e_tlint::pc(k) == a) read_error(s);
  }
}

// Zero/pole form: count line nz, np, K; the zeros; the poles.
Fit zero_pole_fit(const LineSetup& s, FitKind kind) {
  std::int32_t nz = 0, np = 0;
  double gain = 0.0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {nz, np, gain}), s);
  const std::int32_t nz_read = std::max(nz, 0), np_read = std::max(np, 0);
  nz = bounded(nz_read, s);
  np = bounded(np_read, s);
  e_s7::z.fill(0.0);
  e_s7::p.fill(0.0);
  read_groups(s, nz_read, nz, e_s7::z);
  read_groups(s, np_read, np, e_s7::p);

  // A pole or zero at "infinity" cuts the fit there.
  nz = std::min(nz, np);
  const std::int32_t cut = kind == FitKind::propagation ? 1 : 0;
  for (std::int32_t k = 1; k <= np; ++k) {
    if (e_s7::p(k) >= kInfinite) {
      np = k - 1;
      nz = std::min(nz, k - 1 - cut);
      break;
    }
    if (e_s7::z(k) >= kInfinite) {
      np = k;
      nz = std::min(nz, k - cut);
      break;
    }
  }
  nz = std::max(nz, 0);
  np = std::max(np, 0);
  for (std::int32_t k = 1; k <= nz; ++k)
    if (e_s7::z(k) == 0.0 || !std::isfinite(e_s7::z(k))) read_error(s);
  for (std::int32_t m = 1; m <= np; ++m) e_tlint::pc(m) = e_s7::p(m);
  check_poles(s, np);

  Fit f;
  f.np = np;
  double k = gain;
  frac(nz, np, k, f.c0, 1);
  for (std::int32_t m = 1; m <= np; ++m) e_tlint::rc(m) = e_s7::a(m);
  return f;
}

// Complex values of a pole/residue list: per group a record of real parts and
// a record of imaginary parts, kept in e_s7::p and e_s7::z.
void read_complex_groups(const LineSetup& s, std::int32_t count, std::int32_t keep) {
  for (std::int32_t first = 0; first < count; first += kGroup) {
    const std::int32_t g = std::min(kGroup, count - first);
    std::array<double, kGroup> re{}, im{};
    keep_next_line(fnames::iunit);
    check_read(list_read_unit(fnames::iunit, {std::span<double>(re.data(), static_cast<std::size_t>(g))}), s);
    keep_next_line(fnames::iunit);
    check_read(list_read_unit(fnames::iunit, {std::span<double>(im.data(), static_cast<std::size_t>(g))}), s);
    for (std::int32_t k = 0; k < g; ++k) {
      if (first + k >= keep) continue;
      e_s7::p(first + k + 1) = re[static_cast<std::size_t>(k)];
      e_s7::z(first + k + 1) = im[static_cast<std::size_t>(k)];
    }
  }
}

// Pole/residue form: count line np, c0, one unused real; the poles; the residues.
Fit pole_residue_fit(const LineSetup& s) {
  std::int32_t np = 0;
  double c0 = 0.0, unused = 0.0;
  keep_next_line(fnames::iunit);
  check_read(list_read_unit(fnames::iunit, {np, c0, unused}), s);
  const std::int32_t np_read = std::max(np, 0);
  np = bounded(np_read, s);
  e_s7::z.fill(0.0);
  e_s7::p.fill(0.0);
  read_complex_groups(s, np_read, np);
  for (std::int32_t m = 1; m <= np; ++m) e_tlint::pc(m) = -cplx(e_s7::p(m), e_s7::z(m));
  read_complex_groups(s, np_read, np);
  for (std::int32_t m = 1; m <= np; ++m) e_tlint::rc(m) = cplx(e_s7::p(m), e_s7::z(m));
  check_poles(s, np);
  if (!std::isfinite(c0)) read_error(s);
  return {np, c0};
}

Fit read_fit(const LineSetup& s, FitKind kind) {
  return s.header ? pole_residue_fit(s) : zero_pole_fit(s, kind);
}

// Model line: keyword, n, then the end subsystems (without the header).
void model_line(LineSetup& s) {
  const std::int32_t unit = fnames::iunit;
  step_back(unit);
  keep_next_line(unit);
  FixedText<8> word;
  std::int32_t n = 0, unused = 0, kss = 0, mss = 0;
  check_read(list_read_unit(unit, {word, n, unused, kss, mss}), s);
  if (s.header) {
    if (n != e_s7::mode(s.l)) {
      conductor_count_block(s);
      read_error(s);
    }
    return;
  }
  wakro_dslintssn(s.ssoff, kss, mss);
  if (n < 1 || n > ndde::nd5)
    outmsg(message::kTooManyPhases, ndde::nd5, s.l, 0, 0.0, 0.0, fnames::dumlin.view());
  if (kss < 0 || kss > ndde::nd2)
    outmsg(message::kBadSendingSubsystem, s.l, 0, 0, 0.0, 0.0, fnames::dumlin.view());
  if (mss < 0 || mss > ndde::nd2)
    outmsg(message::kBadReceivingSubsystem, s.l, 0, 0, 0.0, 0.0, fnames::dumlin.view());
  e_s7::kss(s.l) = kss;
  e_s7::mss(s.l) = mss;
  e_s7::mode(s.l) = n;
  s.n = n;
}

// A page-local end node of the headerless form as a global node.
std::int32_t end_node(const LineSetup& s, std::int32_t local, std::int32_t ss) {
  std::int32_t node = 0;
  if (local > 0) wakro_node(s.page, local, node);
  if (local <= 0 || node <= 0) {
    static constexpr std::string_view kBlock[] = {
        "DSLINT: ERROR!", "Invalid Node Numbers at terminations of a", "Transmission Line or Cable!",
        "If you want a line or cable connection to", "be grounded, use a small resistance (do",
        "not connect a line/cable directly", "to ground)!"};
    for (std::string_view line : kBlock) ListLine() << line;
    outmsg(message::kBadNodes, s.l, 0, 0, 0.0, 0.0, fnames::dumlin.view());
  }
  if (node > e_s0::mbus(ss))
    outmsg(message::kNodeBeyond, node, ss, e_s0::mbus(ss), 0.0, 0.0, fnames::dumlin.view());
  return node;
}

// Ring length and fraction of mode j from its travel time T [ms]: a time no
// buffer could hold is refused before any conversion, unless the line is of
// infinite length (one slot whatever its travel time).
void travel_time(const LineSetup& s, const LineOptions& options, std::int32_t j, double t_ms) {
  const double steps = t_ms * 0.001 / e_s1::delt;
  if (!options.inflength && !(steps < static_cast<double>(ndde::nd31) + 1.0)) {
    ListLine() << "Line/Cable Name: " + s.quoted;
    outmsg(message::kBufferExceeded,
           e_s7::ntwbufu + round_to_int(std::isfinite(steps) ? std::min(steps, 1.0e9) : 1.0e9), s.l,
           ndde::nd31, 0.0, 0.0, fnames::dumlin.view());
  }
  take_travel_slots(s, options, j, steps);
}

// Characteristic impedance of mode j: its poles behind npolzu.
void impedance(const LineSetup& s, std::int32_t j, const Fit& f) {
  if (e_s7::npolzu + f.np > e_s7::zreq.extent(1)) read_error(s);
  double accumulator = f.c0;
  for (std::int32_t m = 1; m <= f.np; ++m) {
    const std::int32_t slot = e_s7::npolzu + m;
    const PoleStep k = pole_step(e_tlint::pc(m), e_s1::delt);
    const cplx zreq = e_tlint::rc(m) * k.share;
    e_s7::zreq(slot) = zreq;
    e_s7::zexp(slot) = k.E;
    e_s7::zgc(slot) = zreq == cplx(0.0, 0.0) ? cplx(0.0, 0.0) : k.E / zreq;
    e_s7::cky(slot) = e_s7::cmy(slot) = cplx(0.0, 0.0);
    accumulator += zreq.real();
  }
  if (accumulator == 0.0 || !std::isfinite(accumulator)) read_error(s);
  e_s7::npolez(j) = f.np;
  e_s7::a0y(j) = 1.0 / accumulator;
  e_s7::npolzu += f.np;
}

// Propagation function of mode j: its poles behind npolau.
void propagation(const LineSetup& s, std::int32_t j, const Fit& f) {
  if (e_s7::npolau + f.np > e_s7::alphaa.extent(1)) read_error(s);
  for (std::int32_t m = 1; m <= f.np; ++m) {
    const std::int32_t slot = e_s7::npolau + m;
    const PoleStep k = pole_step(e_tlint::pc(m), e_s1::delt);
    const cplx r = e_tlint::rc(m);
    e_s7::alphaa(slot) = k.E;
    e_s7::lamdaa(slot) = r * k.lambda;
    e_s7::mua(slot) = r * k.mu;
    e_s7::ska(slot) = e_s7::sma(slot) = cplx(0.0, 0.0);
  }
  e_s7::npolea(j) = f.np;
  e_s7::a0a(j) = f.c0;
  e_s7::npolau += f.np;
}

}  // namespace

void frac(std::int32_t nz, std::int32_t np, double& k, double& a0, std::int32_t ifl) {
  using e_s7::a;
  using e_s7::p;
  using e_s7::z;
  // Step 1: the gain at s = 0 as the leading coefficient.
  if (np > 0 && ifl == 1) {
    for (std::int32_t q = 1; q <= np; ++q) {
      k *= p(q);
      if (q <= nz) k /= z(q);
    }
  }
  // Step 2: the residue of each pole.
  for (std::int32_t q = 1; q <= np; ++q) {
    double r = k;
    for (std::int32_t t = 1; t <= np; ++t) {
      if (t == q) {
        if (t <= nz) r *= z(q) - p(q);
      } else if (t <= nz) {
        r *= (z(t) - p(q)) / (p(t) - p(q));
      } else {
        r /= p(t) - p(q);
      }
    }
    a(q) = r;
  }
  // Step 3: the constant term, the value at infinite frequency.
  if (np > nz) {
    a0 = 0.0;
    return;
  }
  a0 = k;
  for (std::int32_t t = 1; t <= nz; ++t) a0 *= z(t) / p(t);
  for (std::int32_t q = 1; q <= np; ++q) a0 -= a(q) / p(q);
}

void fredep_setup(LineSetup& s) {
  // Step 1: model line and options.
  model_line(s);
  LineOptions options;
  check_read(read_options(fnames::iunit, options), s);
  e_s7::inflength(s.l) = options.inflength;
  const std::int32_t n = e_s7::mode(s.l);
  const std::int32_t o = s.o;
  const std::int32_t t = e_s7::ntermtu;
  if (t + n * n > e_s7::ti.extent(1) || o + n > e_s7::nt.extent(1)) read_error(s);

  // Step 2: one block per mode: conductor line, then n + 2 fits.
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::int32_t j = o + i;
    e_s7::fk(j, 1) = e_s7::fk(j, 2) = e_s7::fm(j, 1) = e_s7::fm(j, 2) = 0.0;
    for (std::int32_t c = 1; c <= n; ++c) e_s7::ti(t + (i - 1) * n + c) = 0.0;
    std::int32_t kn = 0, mn = 0;
    double t_ms = 0.0;
    keep_next_line(fnames::iunit);
    check_read(list_read_unit(fnames::iunit, {kn, mn, t_ms}), s);
    if (!s.header) {
      e_s7::knode(j) = end_node(s, kn, e_s7::kss(s.l));
      e_s7::mnode(j) = end_node(s, mn, e_s7::mss(s.l));
    }
    travel_time(s, options, j, t_ms);

    impedance(s, j, read_fit(s, FitKind::impedance));
    propagation(s, j, read_fit(s, FitKind::propagation));
    for (std::int32_t c = 1; c <= n; ++c) {
      const Fit f = read_fit(s, FitKind::transformation);
      e_s7::ti(t + (i - 1) * n + c) = f.c0;
      e_s7::npolet(t + (i - 1) * n + c) = f.np;
    }
  }

  // Step 3: the phase admittance.
  line_admittance(t, o, n);
  e_s7::nlmodeu += n;
  e_s7::ntermtu += n * n;
}

}  // namespace wakro::lines
