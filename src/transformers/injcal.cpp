// injcal (see injcal.h).
//
// Per step, n windings, dt the step:
//   phi(w)     = phi_old(w) + dt / (2 N(w)) 1000 (Vw(w) + Vw_old(w))  wound limbs,
//   phi(n + w) = (1000 N(w) I(w) - F(w)) P(n + w)                     leakage paths,
// with I = the solved winding current plus last step's injection, then the
// core type's yokes, outer legs and zero-sequence paths. F, P and the saturated
// flags come from the B-H lookups.
// Workspace: local 23-long vectors and two 23 x 23 tables kept between calls.
#include "transformers/injcal.h"

#include <array>
#include <string_view>
#include <vector>

#include "diag/message.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/temp1.h"
#include "model/umec.h"
#include "transformers/bh_curve.h"
#include "transformers/umec_core.h"

namespace {

using wakro::umec_core::Mat23;
using wakro::umec_core::Vec23;

constexpr double kScale = 1000.0;  // fluxes and forces against kV and kA
constexpr std::string_view kDroppedText =
    "Saturated UMEC core cannot be reduced, its injection is dropped";

std::vector<std::uint8_t> g_warned;  // per transformer: the dropped-injection warning given

namespace br = wakro::umec_core::branch;
namespace type = wakro::umec_core::core_type;

struct Tables {
  Mat23 hl, ys;
};
Tables g_tables;

double node_voltage(std::int32_t node, std::int32_t ss) { return node == 0 ? 0.0 : e_s0::vdc(node, ss); }

// The state of one step of transformer k.
struct Core {
  std::int32_t k = 0, n = 0;
  Vec23 phi, f, p, n_turns, vw, i;
  std::array<std::int32_t, wakro::umec_core::kSize + 1> flag{};  // from 1

  void lookup(std::int32_t b, double a, double l) {
    permpt(k, phi(b), f(b), flag[static_cast<std::size_t>(b)], a, l, p(b));
  }
  void reverse(std::int32_t b, double a, double l) {
    permtp(k, f(b), phi(b), flag[static_cast<std::size_t>(b)], a, l, p(b));
  }
  // The mmf of windings w1, w2 less the limbs' own drops (yoke and leg forces).
  double phase_mmf(std::int32_t w1, std::int32_t w2) const {
    return kScale * n_turns(w1) * i(w1) + kScale * n_turns(w2) * i(w2) - f(w1) - f(w2);
  }
};

// The flux a phase's limb carries past its first winding's leakage path
// (three-phase cores, p = 0 for A).
double limb_flux(const Core& c, std::int32_t p) {
  const std::int32_t w = br::first_winding(p);
  return c.phi(br::limb(w)) - c.phi(br::leakage(br::kThreePhaseWindings, w));
}

// The five-limb core: the outer legs' and yokes' forces from the windings'
// mmf, their fluxes back through the curves, and the zero-sequence paths.
void five_limb_branches(Core& c, double ay, double ly) {
  namespace b5 = br::five_limb;
  const std::int32_t k = c.k;
  const double lw = umec::lwlm(k);
  auto leg = [&](std::int32_t w1, std::int32_t w2) {
    return kScale * (c.n_turns(w1) * c.i(w1) + c.n_turns(w2) * c.i(w2)) - lw * (c.f(w1) + c.f(w2));
  };
  c.f(b5::kOuterA) = leg(br::first_winding(0), br::first_winding(0) + 1);
  c.f(b5::kOuterC) = leg(br::first_winding(2), br::first_winding(2) + 1);
  c.reverse(b5::kOuterA, umec::aol(k), umec::lol(k));
  c.reverse(b5::kOuterC, umec::aol(k), umec::lol(k));
  c.f(b5::kZeroB) = leg(br::first_winding(1), br::first_winding(1) + 1);
  c.f(b5::kYokeA) = c.f(b5::kOuterA) - c.f(b5::kZeroB);
  c.f(b5::kYokeC) = c.f(b5::kOuterC) - c.f(b5::kZeroB);
  c.reverse(b5::kYokeA, ay, ly);
  c.reverse(b5::kYokeC, ay, ly);
  for (const std::int32_t b :
       {static_cast<std::int32_t>(b5::kZeroB), static_cast<std::int32_t>(b5::kZeroA),
        static_cast<std::int32_t>(b5::kZeroC)}) {
    c.p(b) = umec::zes(k);
    c.flag[static_cast<std::size_t>(b)] = 0;
  }
  c.phi(b5::kZeroB) = limb_flux(c, 1) + c.phi(b5::kYokeA) + c.phi(b5::kYokeC);
  c.phi(b5::kZeroA) = limb_flux(c, 0) - c.phi(b5::kYokeA) - c.phi(b5::kOuterA);
  c.phi(b5::kZeroC) = limb_flux(c, 2) - c.phi(b5::kYokeC) - c.phi(b5::kOuterC);
}

// Step 5: the branches beyond the wound limbs and leakage paths.
void core_branches(Core& c) {
  const std::int32_t k = c.k;
  const double ay = umec::ayok(k), ly = umec::lyok(k);
  switch (umec::cor(k)) {
    case type::kThreeLimb: {
      namespace b3 = br::three_limb;
      for (std::int32_t ph = 0; ph <= 2; ++ph) c.phi(b3::kYokeA + ph) = limb_flux(c, ph);
      for (std::int32_t b = b3::kYokeA; b <= b3::kYokeC; ++b) c.lookup(b, ay, ly);
      break;
    }
    case type::kZeroSequencePaths: {
      namespace bz = br::zero_paths;
      for (std::int32_t ph = 0; ph <= 2; ++ph) {
        const std::int32_t b = bz::kZeroA + ph;
        c.p(b) = umec::zes(k);
        c.phi(b) = c.phase_mmf(br::first_winding(ph), br::first_winding(ph) + 1) * c.p(b);
        c.flag[static_cast<std::size_t>(b)] = 0;
      }
      c.phi(bz::kYokeA) = limb_flux(c, 0) - c.phi(bz::kZeroA);
      c.phi(bz::kYokeC) = limb_flux(c, 2) - c.phi(bz::kZeroC);
      c.lookup(bz::kYokeA, ay, ly);
      c.lookup(bz::kYokeC, ay, ly);
      break;
    }
    case type::kFiveLimb:
      five_limb_branches(c, ay, ly);
      break;
    case type::kSinglePhaseTwo:
    case type::kSinglePhaseThree:
    case type::kSinglePhaseFour: {
      // The winding count of the type (the reader holds msiz to it).
      const std::int32_t n = umec::cor(k) - type::kSinglePhaseTwo + 2;
      const std::int32_t yoke = br::single_phase_yoke(n);
      c.phi(yoke) = c.phi(br::limb(1)) - c.phi(br::leakage(n, 1));
      c.lookup(yoke, ay, ly);
      break;
    }
    default: break;
  }
}

// The branches beyond 2n that each core type keeps from step to step.
std::int32_t last_kept(std::int32_t cor) {
  switch (cor) {
    case type::kThreeLimb:
      return br::three_limb::kLast;
    case type::kZeroSequencePaths:
      return br::zero_paths::kLast;
    case type::kFiveLimb:
      return br::five_limb::kLast;
    case type::kSinglePhaseTwo:
      return br::single_phase_yoke(2);
    case type::kSinglePhaseThree:
      return br::single_phase_yoke(3);
    case type::kSinglePhaseFour:
      return br::single_phase_yoke(4);
    default: return 0;
  }
}

void drop(std::int32_t k) {
  const auto at = static_cast<std::size_t>(k);
  if (at < g_warned.size()) {
    if (g_warned[at] != 0) return;
    g_warned[at] = 1;
  }
  wakro_warn(0, 0, wakro::msg::kSingleLine, kDroppedText);
}

}  // namespace

void wakro::injcal_prepare(std::int32_t k) {
  if (static_cast<std::size_t>(k) >= g_warned.size()) g_warned.resize(static_cast<std::size_t>(k) + 1, 0);
  g_warned[static_cast<std::size_t>(k)] = 0;
}

void injcal(std::int32_t ss, std::int32_t k) {
  // Step 1: only UMEC cores.
  if (e_s5::nummag(k) != 1) return;
  Core c;
  c.k = k;
  const std::int32_t n = c.n = e_s5::msiz(k);
  const double dt = e_s1::delt;
  for (std::int32_t b = 1; b <= wakro::umec_core::kSize; ++b) umec::dphid(b, k) = umec::dphi(b, k);

  // Step 2: winding voltages and currents.
  for (std::int32_t w = 1; w <= n; ++w) {
    c.n_turns(w) = umec::nturn(w, k);
    umec::fininjsd(w, k) = umec::fininjs(w, k);
    c.vw(w) = node_voltage(e_s5::mcb(w, k), ss) - node_voltage(e_s5::ncb(w, k), ss);
    c.i(w) = e_s0::cdctr(w, k) + umec::fininjs(w, k);
    c.p(n + w) = umec::ai(w, k);
  }

  // Step 3: wound limbs and leakage paths.
  for (std::int32_t w = 1; w <= n; ++w) {
    c.phi(w) = umec::dphi(w, k) + dt / (2.0 * c.n_turns(w)) * kScale * (c.vw(w) + umec::dvolt(w, k));
    c.lookup(w, umec::awlm(k), umec::lwlm(k));
    c.phi(n + w) = (kScale * c.n_turns(w) * c.i(w) - c.f(w)) * c.p(n + w);
    c.flag[static_cast<std::size_t>(n + w)] = 0;
  }

  // Step 4: the rest of the core.
  core_branches(c);

  // Step 5: the linear windings' response W1 = Hl Z and W2 = Hl Vw.
  Tables& t = g_tables;
  const double cz = 2.0 / (kScale * dt);
  Vec23 z, w1, w2;
  for (std::int32_t w = 1; w <= n; ++w) {
    for (std::int32_t j = 1; j <= n; ++j) t.hl(w, j) = e_s5::hm(w, j, k);
    z(w) = cz * c.n_turns(w) * c.phi(w) + c.vw(w);
  }
  matmat1(n, n, t.hl, z, w1);
  matmat1(n, n, t.hl, c.vw, w2);

  // Step 6: saturation, its switching and the injection.
  const std::int32_t nb = umec::bn(k);
  bool saturated = false;
  for (std::int32_t b = 1; b <= nb; ++b) {
    const std::int32_t fb = c.flag[static_cast<std::size_t>(b)];
    if (fb == 1) saturated = true;
    const std::int32_t change = umec::satflag(b, k) - fb;
    if (change == 1 || change == -1) temp1::stabck(ss) = true;
  }
  bool injected = false;
  if (nb > 0 && saturated && umec::injcur(k) == 1) {
    Vec23 q, r;
    if (admform(c.p, c.n_turns, c.vw, c.phi, n, nb, t.ys, q, umec::cor(k)) == 0) {
      matmat1(n, n, t.ys, c.vw, r);
      for (std::int32_t w = 1; w <= n; ++w)
        umec::fininjs(w, k) = (r(w) + q(w) - w2(w) - w1(w)) * umec::ramp(k);
      injected = true;
    } else {
      drop(k);
    }
  }
  if (!injected)
    for (std::int32_t w = 1; w <= n; ++w) umec::fininjs(w, k) = 0.0;

  // Step 7: the state of the coming step.
  for (std::int32_t w = 1; w <= n; ++w) {
    umec::dvolt(w, k) = c.vw(w);
    umec::dphi(w, k) = c.phi(w);
    umec::dphi(n + w, k) = c.phi(n + w);
  }
  for (std::int32_t b = 2 * n + 1; b <= last_kept(umec::cor(k)); ++b) umec::dphi(b, k) = c.phi(b);
  for (std::int32_t b = 1; b <= nb; ++b) umec::satflag(b, k) = c.flag[static_cast<std::size_t>(b)];
}
