// admf and the checks of a UMEC core's data (see umec_core.h).
//
// Permeances of the linear core of transformer k (n windings):
//   P(w)     = (awlm / lwlm) msl1     wound limb of winding w,
//   P(n + w) = ai(w)                  leakage path of winding w,
//   yokes Py = (ayok / lyok) msl1, outer legs Po = (aol / lol) msl1, and the
//   zero-sequence paths zes, at the places the core type gives them.
// Gamma = 2 Y / dt with Y from admform.
#include <cmath>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_warn.h"
#include "model/umec.h"
#include "transformers/umec_core.h"

namespace wakro::umec_core {
namespace {

bool positive(double v) { return v > 0.0 && std::isfinite(v); }

}  // namespace

Fault core_fault(std::int32_t k) {
  const std::int32_t n = e_s5::msiz(k);
  const std::int32_t cor = umec::cor(k);
  const Layout l = layout(cor);
  if (n < 1 || n > kMostWindings || umec::bn(k) > kSize || l.windings != n || l.branches != umec::bn(k))
    return Fault::layout;
  bool shape = positive(umec::awlm(k)) && positive(umec::lwlm(k)) && positive(umec::ayok(k)) &&
               positive(umec::lyok(k)) && positive(umec::msl1(k));
  if (cor == 2) shape = shape && positive(umec::aol(k)) && positive(umec::lol(k));
  if (!shape) return Fault::geometry;
  for (std::int32_t w = 1; w <= n; ++w)
    if (!positive(umec::nturn(w, k))) return Fault::turns;
  return Fault::none;
}

std::string_view fault_text(Fault f) {
  switch (f) {
    case Fault::layout: return "UMEC core type, winding count and branch count do not agree";
    case Fault::geometry: return "Unrealistic UMEC core areas, lengths or slope";
    case Fault::turns: return "Unrealistic UMEC winding turns";
    case Fault::singular: return "Unrealisable UMEC core";
    case Fault::none: break;
  }
  return {};
}

}  // namespace wakro::umec_core

using namespace wakro::umec_core;
namespace br = wakro::umec_core::branch;
namespace type = wakro::umec_core::core_type;

Fault admf_checked(std::int32_t k, wakro::FArray<double, 2>& hs) {
  // Step 1: the data.
  const Fault f = core_fault(k);
  if (f != Fault::none) return f;
  const std::int32_t n = e_s5::msiz(k);
  Vec23 p, turns, e, av, out;
  Mat23 y;

  // Step 2: wound limbs and leakage paths.
  const double limb = umec::awlm(k) / umec::lwlm(k) * umec::msl1(k);
  for (std::int32_t w = 1; w <= n; ++w) {
    turns(w) = umec::nturn(w, k);
    p(br::limb(w)) = limb;
    p(br::leakage(n, w)) = umec::ai(w, k);
  }

  // Step 3: the permeances of the core type.
  const double py = umec::ayok(k) / umec::lyok(k) * umec::msl1(k);
  const double po =
      umec::cor(k) == type::kFiveLimb ? umec::aol(k) / umec::lol(k) * umec::msl1(k) : 0.0;
  const double pz = umec::zes(k);
  switch (umec::cor(k)) {
    case type::kSinglePhaseTwo:
      p(br::single_phase_yoke(2)) = py;
      break;
    case type::kSinglePhaseThree:
      p(br::single_phase_yoke(3)) = py;
      break;
    case type::kSinglePhaseFour:
      p(br::single_phase_yoke(4)) = py;
      break;
    case type::kThreeLimb:
      p(br::three_limb::kYokeA) = p(br::three_limb::kYokeB) = p(br::three_limb::kYokeC) = py;
      break;
    case type::kZeroSequencePaths:
      p(br::zero_paths::kYokeA) = p(br::zero_paths::kYokeC) = py;
      p(br::zero_paths::kZeroA) = p(br::zero_paths::kZeroB) = p(br::zero_paths::kZeroC) = pz;
      break;
    case type::kFiveLimb:
      p(br::five_limb::kYokeA) = p(br::five_limb::kYokeC) = py;
      p(br::five_limb::kOuterA) = p(br::five_limb::kOuterC) = po;
      p(br::five_limb::kZeroB) = p(br::five_limb::kZeroA) = p(br::five_limb::kZeroC) = pz;
      break;
    default: break;
  }

  // Step 4: the reduction, then Gamma = 2 Y / dt.
  if (admform(p, turns, e, av, n, umec::bn(k), y, out, umec::cor(k)) != 0) return Fault::singular;
  const double dt = e_s1::delt;
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      if (!std::isfinite(y(i, j))) return Fault::singular;
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) hs(i, j) = 2.0 * y(i, j) / dt;
  return Fault::none;
}

void admf(std::int32_t k, wakro::FArray<double, 2>& hs, std::string_view caller) {
  const Fault f = admf_checked(k, hs);
  if (f == Fault::none) return;
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                fault_text(f));
  wakro_quit(caller, 0);
}
