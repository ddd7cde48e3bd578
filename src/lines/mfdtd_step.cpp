// mfdtd_step / mpsi: the per-step update of the finite-difference (MFDTD) lines.
//
// Nodes along line l are numbered 1 (the receiving end, mnodemfd) to N + 1 (the
// sending end, knodemfd); segment s lies between nodes s and s + 1 and its
// current flows from node s to node s + 1. With the end voltages of the last
// solution, one step
//   1. takes the end voltages as nodes 1 and N + 1 and forms the end currents of
//      the last step, Is = Yp vm + ish, Ir = Yp vk + irh;
//   2. advances every segment's current from the voltage across it and its
//      convolution states (mpsi):
//        Zp I0 = Zm I1 - dv + dx (zeta1 + xi1) I2 - dx psisum;
//   3. shifts the currents (I3 = I2, I2 = I1, I1 = I0);
//   4. advances the interior node voltages, Yp v = Ym v - (I1(s) - I1(s - 1));
//   5. forms the end histories ish = Yh v(1) + 2 I0(1) - Is and
//      irh = Yh v(N + 1) - 2 I0(N) - Ir;
//   6. injects them, -ish at the receiving end and -irh at the sending end, and
//      keeps irh (sending end) and ish (receiving end) in e_s0::cdctl.
// Works in the scratch vectors of e_tldyn; nothing here allocates.
#include "lines/line_records.h"
#include "lines/line_steps.h"
#include "model/e_s0.h"
#include "model/e_s7.h"
#include "model/e_s7mfd.h"
#include "model/e_tldyn.h"

namespace wakro::lines {
namespace {

double node_voltage(std::int32_t node, std::int32_t ss) { return node > 0 ? e_s0::vdc(node, ss) : 0.0; }

}  // namespace

void mpsi(std::int32_t m, std::int32_t n, const FArray<double, 1>& a, const FArray<double, 1>& b,
          const FArray<double, 1>& c, std::int32_t k) {
  using e_tldyn::psiimfd;
  for (std::int32_t p = 1; p <= m; ++p) {
    const cplx E = e_s7mfd::ealphamfd(p, k);
    const double zeta2 = e_s7mfd::zeta2mfd(p, k), xi2 = e_s7mfd::xhi2mfd(p, k);
    for (std::int32_t i = 1; i <= n; ++i)
      psiimfd(i, p) = psiimfd(i, p) * E + ((2.0 * b(i) - a(i) - c(i)) * zeta2 + (b(i) - c(i)) * xi2);
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    cplx S = 0.0;
    for (std::int32_t p = 1; p <= m; ++p) {
      cplx AP = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) AP += e_s7mfd::aimfd(i, j, p, k) * psiimfd(j, p);
      S += AP / e_s7mfd::alphamfd(p, k);
    }
    e_tldyn::psisummfd(i) = S.real();
  }
}

void mfdtd_step(std::int32_t l, std::int32_t i) {
  using namespace e_s7mfd;
  using namespace e_tldyn;
  const std::int32_t n = modemfd(l);
  if (n < 1) return;
  const std::int32_t N = nmfd(l), P = npolesmfd(l), o = e_s7::linemodel(i, dir::kModeOffset);
  const double dx = dxmfd(l);

  // Step 1: the ends.
  for (std::int32_t c = 1; c <= n; ++c) {
    vhmfd(c, 1, l) = node_voltage(mnodemfd(o + c), mssmfd(l));
    vhmfd(c, N + 1, l) = node_voltage(knodemfd(o + c), kssmfd(l));
  }
  for (std::int32_t c = 1; c <= n; ++c) {
    double is = 0.0, ir = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
      is += yplusmfd(c, j, l) * vhmfd(j, 1, l);
      ir += yplusmfd(c, j, l) * vhmfd(j, N + 1, l);
    }
    ismfd(c) = is + ishmfd(c, l);
    irmfd(c) = ir + irhmfd(c, l);
  }

  // Step 2: the segment currents.
  for (std::int32_t s = 1; s <= N; ++s) {
    for (std::int32_t c = 1; c <= n; ++c) {
      iomfd1(c) = ihmfd1(c, s, l);
      iomfd2(c) = ihmfd2(c, s, l);
      iomfd3(c) = ihmfd3(c, s, l);
    }
    for (std::int32_t p = 1; p <= P; ++p)
      for (std::int32_t c = 1; c <= n; ++c) psiimfd(c, p) = psiihmfd(c, s, p, l);
    mpsi(P, n, iomfd1, iomfd2, iomfd3, l);
    for (std::int32_t p = 1; p <= P; ++p)
      for (std::int32_t c = 1; c <= n; ++c) psiihmfd(c, s, p, l) = psiimfd(c, p);
    for (std::int32_t c = 1; c <= n; ++c) {
      dvmfd(c) = vhmfd(c, s + 1, l) - vhmfd(c, s, l);
      double t3 = 0.0, zm = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) {
        t3 += (zeta1mfd(c, j, l) + xhi1mfd(c, j, l)) * ihmfd2(j, s, l);
        zm += zminusmfd(c, j, l) * ihmfd1(j, s, l);
      }
      tmp3(c) = t3;
      tmp1(c) = zm - dvmfd(c) + dx * tmp3(c) - dx * psisummfd(c);
    }
    for (std::int32_t c = 1; c <= n; ++c) {
      double I0 = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) I0 += zplusimfd(c, j, l) * tmp1(j);
      ihmfd0(c, s, l) = I0;
    }
  }

  // Step 3: the shift of the segment currents.
  for (std::int32_t s = 1; s <= N; ++s)
    for (std::int32_t c = 1; c <= n; ++c) {
      ihmfd3(c, s, l) = ihmfd2(c, s, l);
      ihmfd2(c, s, l) = ihmfd1(c, s, l);
      ihmfd1(c, s, l) = ihmfd0(c, s, l);
    }

  // Step 4: the interior node voltages, all from the old ones, then kept.
  for (std::int32_t s = 2; s <= N; ++s) {
    for (std::int32_t j = 1; j <= n; ++j) {
      dimfd(j) = ihmfd1(j, s, l) - ihmfd1(j, s - 1, l);
      double ym = 0.0;
      for (std::int32_t q = 1; q <= n; ++q) ym += yminusmfd(j, q, l) * vhmfd(q, s, l);
      tmp2(j) = ym - dimfd(j);
    }
    for (std::int32_t c = 1; c <= n; ++c) {
      double v = 0.0;
      for (std::int32_t j = 1; j <= n; ++j) v += yplusimfd(c, j, l) * tmp2(j);
      vmfd(c, s) = v;
    }
  }
  for (std::int32_t s = 2; s <= N; ++s)
    for (std::int32_t c = 1; c <= n; ++c) vhmfd(c, s, l) = vmfd(c, s);

  // Step 5: the end histories.
  for (std::int32_t c = 1; c <= n; ++c) {
    double hs = 0.0, hr = 0.0;
    for (std::int32_t j = 1; j <= n; ++j) {
      hs += yhmfd(c, j, l) * vhmfd(j, 1, l);
      hr += yhmfd(c, j, l) * vhmfd(j, N + 1, l);
    }
    ishmfd(c, l) = hs + 2.0 * ihmfd0(c, 1, l) - ismfd(c);
    irhmfd(c, l) = hr - 2.0 * ihmfd0(c, N, l) - irmfd(c);
  }

  // Step 6: the injections; column 1 of cdctl belongs to the sending end.
  for (std::int32_t c = 1; c <= n; ++c) {
    if (mnodemfd(o + c) > 0) e_s0::ccli(mnodemfd(o + c), mssmfd(l)) -= ishmfd(c, l);
    if (knodemfd(o + c) > 0) e_s0::ccli(knodemfd(o + c), kssmfd(l)) -= irhmfd(c, l);
    e_s0::cdctl(c, 1, i) = irhmfd(c, l);
    e_s0::cdctl(c, 2, i) = ishmfd(c, l);
  }
}

}  // namespace wakro::lines
