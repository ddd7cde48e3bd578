// fredep_step / frephase_step: the per-step history of the frequency-dependent
// lines, in modal coordinates (FRE-DEP) and in phase coordinates (FRE-PHASE).
//
// Both run inside dsldyn, with e_s0::vdc holding the last solution, and leave
// each line's history current added into e_s0::ccli at its end nodes and its
// negation in e_s0::cdctl. The pooled tables are walked with the running
// offsets the caller passes (line_steps.h). Nothing here allocates.
#include "lines/line_steps.h"

#include "lines/convolution.h"
#include "lines/line_records.h"
#include "lines/modal_line.h"
#include "model/e_s0.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7ph.h"
#include "model/e_tldyn.h"

namespace wakro::lines {
namespace {

double node_voltage(std::int32_t node, std::int32_t ss) { return node > 0 ? e_s0::vdc(node, ss) : 0.0; }

// Receiving-end voltage of conductor c: its node, the server's copy of the far
// end (role 1) or none (role 2).
double far_voltage(std::int32_t role, std::int32_t node, std::int32_t ss, std::int32_t c,
                   std::int32_t server) {
  if (role == kOrdinary) return node_voltage(node, ss);
  if (role == kServerEnd) return e_s7eni::eni_server_vol(c, server);
  return 0.0;
}

}  // namespace

void fredep_step(std::int32_t j, std::int32_t i, std::int32_t o, std::int32_t r0, std::int32_t t0,
                 std::int32_t& a0, std::int32_t& z0, std::int32_t server) {
  using namespace e_s7;
  const std::int32_t n = mode(j);
  const std::int32_t role = linemodel(i, dir::kRole);
  auto T = [t0, n](std::int32_t m, std::int32_t c) { return ti(t0 + (c - 1) * n + m); };
  std::int32_t r = r0;
  for (std::int32_t m = 1; m <= n; ++m) {
    const std::int32_t q = o + m;
    // Modal voltages of the two ends.
    double Vk = 0.0, Vm = 0.0;
    for (std::int32_t c = 1; c <= n; ++c) {
      Vk += T(m, c) * node_voltage(knode(o + c), kss(j));
      Vm += T(m, c) * far_voltage(role, mnode(o + c), mss(j), c, server);
    }
    const std::int32_t P = nt(q);
    const std::int32_t p = m1(q);
    const std::int32_t prev = p - 1 < 1 ? P : p - 1;
    const double vk_old = vk(r + prev), vm_old = vm(r + prev);
    vk(r + prev) = Vk;
    vm(r + prev) = Vm;

    // Propagation: the waves that left each end a travel time ago, through A.
    double Bk = 0.0, Bm = 0.0;
    const std::int32_t npa = npolea(q);
    if (!inflength(j)) {
      const double f = fnt(q);
      const double Fk = 2.0 * (f * vk_old + (1.0 - f) * vk(r + p)) - (f * fk(q, 1) + (1.0 - f) * bk(r + p));
      const double Fm = 2.0 * (f * vm_old + (1.0 - f) * vm(r + p)) - (f * fm(q, 1) + (1.0 - f) * bm(r + p));
      Bk = a0a(q) * Fm;
      Bm = a0a(q) * Fk;
      const double Fk0 = fk(q, 2), Fm0 = fm(q, 2);
      for (std::int32_t k = a0 + 1; k <= a0 + npa; ++k) {
        ska(k) = alphaa(k) * ska(k) + lamdaa(k) * Fm + mua(k) * Fm0;
        sma(k) = alphaa(k) * sma(k) + lamdaa(k) * Fk + mua(k) * Fk0;
        Bk += ska(k).real();
        Bm += sma(k).real();
      }
      fk(q, 1) = bk(r + p);
      fm(q, 1) = bm(r + p);
      bk(r + p) = Bk;
      bm(r + p) = Bm;
      fk(q, 2) = Fk;
      fm(q, 2) = Fm;
    }
    a0 += npa;

    // Characteristic admittance: each pole state takes the mode current of the
    // last solution, i = a0y V - (previous history).
    const double a = a0y(q);
    const double ik = a * Vk - ck(q), im = a * Vm - cm(q);
    for (std::int32_t k = z0 + 1; k <= z0 + npolez(q); ++k) {
      cky(k) = zexp(k) * (cky(k) + ik);
      cmy(k) = zexp(k) * (cmy(k) + im);
      Bk += (zreq(k) * cky(k)).real();
      Bm += (zreq(k) * cmy(k)).real();
    }
    z0 += npolez(q);
    ck(q) = a * Bk;
    cm(q) = a * Bm;
    m1(q) = p + 1 > P ? 1 : p + 1;
    r += P;
  }
  inject_modal(modal_line(j, i, o, t0));
  for (std::int32_t c = 1; c <= n; ++c) {
    ckk(o + c) = ck(o + c);
    cmm(o + c) = cm(o + c);
    vdck(o + c) = node_voltage(knode(o + c), kss(j));
    vdcm(o + c) = far_voltage(role, mnode(o + c), mss(j), c, server);
  }
}

void frephase_step(std::int32_t p, std::int32_t i, PhaseOffsets& at, std::int32_t server) {
  using namespace e_s7ph;
  using e_tldyn::iik;
  using e_tldyn::iim;
  const std::int32_t n = modeph(p);
  const std::int32_t ks = kssph(p), ms = mssph(p);
  const std::int32_t role = e_s7::linemodel(i, dir::kRole);
  const std::int32_t o = e_s7::linemodel(i, dir::kModeOffset);
  const std::int32_t M = maxtauj(p);
  const std::int32_t slots = M + 1;
  const std::int32_t groups = ng(p);

  // Step 1: ring pointer and the read position of each group.
  if (++ppek(p) > slots) ppek(p) = 1;
  for (std::int32_t g = 1; g <= groups; ++g) {
    e_tldyn::pek1(g, p) = pek2(g, p);
    const std::int32_t at_g = ppek(p) - tauj(p, g) + 1;
    pek2(g, p) = at_g > 0 ? at_g : at_g + slots;
  }

  // Step 2: end currents of the last solution.
  for (std::int32_t c = 1; c <= n; ++c) {
    double sk = 0.0, sm = 0.0;
    for (std::int32_t jc = 1; jc <= n; ++jc) {
      sk += gyc(c, jc, p) * node_voltage(knodeph(o + jc), ks);
      sm += gyc(c, jc, p) * far_voltage(role, mnodeph(o + jc), ms, jc, server);
    }
    iik(c) = sk - ihisk(c, p);
    iim(c) = sm - ihism(c, p);
    ihisk(c, p) = ihism(c, p) = 0.0;
  }

  // Step 3: the waves reflected at each end into the rings.
  for (std::int32_t c = 1; c <= n; ++c) {
    const std::int32_t slot = at.ring + (c - 1) * slots + ppek(p);
    ikr(slot) = iik(c) + iki(c, p);
    imr(slot) = iim(c) + imi(c, p);
    iki(c, p) = imi(c, p) = 0.0;
  }

  // Step 4: propagation of each group from the far end, through H.
  for (std::int32_t g = 1; g <= groups; ++g) {
    const std::int32_t p1 = e_tldyn::pek1(g, p), p2 = pek2(g, p);
    const double e = epsarr(p, g);
    const std::int32_t poles = nh(g, p);
    for (std::int32_t c = 1; c <= n; ++c) {
      const std::int32_t ring = at.ring + (c - 1) * slots;
      const double uk = e * imr(ring + p1) + (1.0 - e) * imr(ring + p2);
      const double um = e * ikr(ring + p1) + (1.0 - e) * ikr(ring + p2);
      e_tldyn::interpk(c, g, p) = uk;
      e_tldyn::interpm(c, g, p) = um;
      // Within the last step the delayed wave bends where the older ring
      // sample arrived (a fraction e of the step back): betah weights that
      // sample, gammah the previous interpolated wave (betah = 0 unless the
      // step is split).
      const double uk0 = oldinterpk(c, g, p), um0 = oldinterpm(c, g, p);
      const double bk = imr(ring + p1), bm = ikr(ring + p1);
      const std::int32_t x0 = at.xh + (c - 1) * poles;
      for (std::int32_t q = 1; q <= poles; ++q) {
        xhk(x0 + q) = alfah(q, g, p) * xhk(x0 + q) + betah(q, g, p) * bk + gammah(q, g, p) * uk0;
        xhm(x0 + q) = alfah(q, g, p) * xhm(x0 + q) + betah(q, g, p) * bm + gammah(q, g, p) * um0;
      }
      oldinterpk(c, g, p) = uk;
      oldinterpm(c, g, p) = um;
      const std::int32_t h0 = at.hserc + (c - 1) * n * poles;
      for (std::int32_t r = 1; r <= n; ++r) {
        const double G = gh(at.gh + (c - 1) * n + r);
        double sk = G * uk, sm = G * um;
        for (std::int32_t q = 1; q <= poles; ++q) {
          const cplx R = hserc(h0 + (r - 1) * poles + q);
          sk += (xhk(x0 + q) * R).real();
          sm += (xhm(x0 + q) * R).real();
        }
        iki(r, p) += sk;
        imi(r, p) += sm;
      }
    }
    at.gh += n * n;
    at.hserc += n * n * poles;
    at.xh += n * poles;
  }

  // Step 5: an infinitely long line sends nothing back.
  if (inflengthph(p))
    for (std::int32_t c = 1; c <= n; ++c) iki(c, p) = imi(c, p) = 0.0;

  // Steps 6 and 7: characteristic-admittance states and the history currents.
  for (std::int32_t c = 1; c <= n; ++c) {
    const std::int32_t poles = nyc(c, p);
    const double vk = node_voltage(knodeph(o + c), ks);
    const double vm = far_voltage(role, mnodeph(o + c), ms, c, server);
    for (std::int32_t q = 1; q <= poles; ++q) {
      xyck(q, c, p) = alfayc(q, c, p) * xyck(q, c, p) + vk;
      if (role != kClientEnd) xycm(q, c, p) = alfayc(q, c, p) * xycm(q, c, p) + vm;
    }
    for (std::int32_t r = 1; r <= n; ++r) {
      double sk = 0.0, sm = 0.0;
      for (std::int32_t q = 1; q <= poles; ++q) {
        const cplx Y = ycserc(at.ycserc + (r - 1) * poles + q);
        sk += (xyck(q, c, p) * Y).real();
        sm += (xycm(q, c, p) * Y).real();
      }
      ihisk(r, p) -= sk;
      ihism(r, p) -= sm;
    }
    at.ycserc += n * poles;
  }
  for (std::int32_t r = 1; r <= n; ++r) {
    ihisk(r, p) += 2.0 * iki(r, p);
    ihism(r, p) += 2.0 * imi(r, p);
  }

  // Step 8: injection at the end nodes.
  for (std::int32_t r = 1; r <= n; ++r) {
    if (knodeph(o + r) > 0) e_s0::ccli(knodeph(o + r), ks) += ihisk(r, p);
    if (role == kOrdinary && mnodeph(o + r) > 0) e_s0::ccli(mnodeph(o + r), ms) += ihism(r, p);
    e_s0::cdctl(r, 1, i) = -ihisk(r, p);
    e_s0::cdctl(r, 2, i) = -ihism(r, p);
  }
  at.ring += n * slots;
}

}  // namespace wakro::lines
