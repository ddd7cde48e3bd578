// wakro_settfparm (see settfparm.h).
//
// Workspace: si (the new admittance Y), rm (R), and for kind 1 the products
// rli = R A, irli = (I + R A)^-1 and hs = I - irli rli, all of order n, sized at
// the call. Leaves: hm(., ., k) = Y, sm(., ., k) = I - 2 Y R, rorig(., ., k),
// lorig(., ., k), tkind(k) and gm of subsystem |tss(k)|; no history current is touched.
#include "transformers/settfparm.h"

#include <cmath>
#include <cstdlib>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/temp2.h"
#include "model/umec.h"
#include "transformers/bh_curve.h"
#include "transformers/injcal.h"
#include "transformers/umec_cfg.h"
#include "transformers/umec_core.h"
#include "transformers/winding_matrix.h"

namespace wakro {
namespace {

namespace core_at = transformers::layout::umectfdata;
namespace wdg_col = transformers::layout::umecwdgdata;
namespace sat_col = transformers::layout::umecsatdata;

constexpr double kPivotLimit = 1e-32;
constexpr std::string_view kLeakage = "Unrealisable Transformer Leakage Values";
constexpr std::string_view kLeakageOrLoss = "Unrealisable Transformer Leakage or Copper loss Values";

struct Work {
  tf::Square si, rm, rli, irli, hs, d;
  void resize(std::int32_t n) {
    for (tf::Square* m : {&si, &rm, &rli, &irli, &hs, &d}) m->resize(n);
  }
};
Work g_work;

[[noreturn]] void refuse(std::string_view caller, std::string_view why) {
  ListLine() << why;
  wakro_quit(caller, 0);
}

[[noreturn]] void unrealisable(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                text);
  wakro_quit(kTransformerTag, 0);
}

}  // namespace

// Step 0: what the formation needs before it writes anything.
void check_tf_handover(std::int32_t k, std::int32_t kind, std::string_view caller, std::int32_t windings) {
  if (k < 1 || k > e_s5::jset) {
    ListLine() << "Transformer number" << k << "is not one of the" << e_s5::jset
               << "transformers read";
    wakro_quit(caller, 0);
  }
  if (e_s5tap::tss(k) == 0) refuse(caller, "Transformer has no subsystem");
  if (kind == kTfUmec && e_s5::nummag(k) != 1) refuse(caller, "Transformer has no UMEC core");
  // A UMEC transformer's windings are those of its core: a winding record
  // would leave the core injection of each step working on other windings.
  if ((kind == kTfInverseInductance || kind == kTfInductance) && e_s5::nummag(k) == 1) {
    ListLine() << "Transformer" << k << "is a UMEC transformer";
    wakro_quit(caller, 0);
  }
  if (kind != kTfInverseInductance && kind != kTfInductance && kind != kTfUmec) {
    ListLine() << "Unknown transformer data kind" << kind;
    wakro_quit(caller, 0);
  }
  if (e_s5::msiz(k) != windings) {
    ListLine() << "Transformer" << k << "has" << e_s5::msiz(k) << "windings, not" << windings;
    wakro_quit(caller, 0);
  }
  // The core read with it must be laid out for those windings (the UMEC
  // records handed over do not change the core type or branch count).
  if (kind == kTfUmec && umec_core::core_fault(k) == umec_core::Fault::layout) {
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                  umec_core::fault_text(umec_core::Fault::layout));
    wakro_quit(caller, 0);
  }
  if (e_s0::gm_built) refuse(caller, "Transformer data set after the network set-up");
}

namespace {

// Kind 3: the UMEC records into the transformer's core, its curve checked
// (saturation enabled), and si = (dt / 2) Gamma of the core; R = 0.
void umec_core_admittance(std::int32_t k, std::string_view caller, Work& m) {
  const std::int32_t n = e_s5::msiz(k);
  for (std::int32_t w = 1; w <= n; ++w) {
    umec::nturn(w, k) = rt_config::umecwdgdata(w, wdg_col::kTurns);
    umec::ai(w, k) = rt_config::umecwdgdata(w, wdg_col::kLeakage);
  }
  umec::awlm(k) = rt_config::umectfdata(core_at::kLimbArea);
  umec::lwlm(k) = rt_config::umectfdata(core_at::kLimbLength);
  umec::ayok(k) = rt_config::umectfdata(core_at::kYokeArea);
  umec::lyok(k) = rt_config::umectfdata(core_at::kYokeLength);
  umec::aol(k) = rt_config::umectfdata(core_at::kOuterArea);
  umec::lol(k) = rt_config::umectfdata(core_at::kOuterLength);
  umec::zes(k) = rt_config::umectfdata(core_at::kZeroSequence);
  umec::msl1(k) = rt_config::umectfdata(core_at::kSlope);
  for (std::int32_t i = 1; i <= umec::kCurvePoints; ++i) {
    umec::xt(i, k) = rt_config::umecsatdata(i, sat_col::kCurrent);
    umec::yt(i, k) = rt_config::umecsatdata(i, sat_col::kFlux);
  }
  if (umec::satenab(k) == 1) {
    const CurveCheck c = check_bh_curve(k);
    if (c.no_data)
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine,
                 "BH curve has no data, Saturation disabled");
    if (c.ignored)
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine,
                 "BH curve has unrealistic data points, Some points were ignored");
  }
  admf(k, temp2::hs, caller);
  injcal_prepare(k);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= i; ++j) {
      const double a = e_s1::delt * temp2::hs(j, i) * 0.5;
      m.si(j, i) = m.si(i, j) = a;
      e_s5tap::lorig(j, i, k) = e_s5tap::lorig(i, j, k) = a;
    }
}

}  // namespace
}  // namespace wakro

using namespace wakro;

void wakro_settfparm(std::int32_t k, std::int32_t tf_kind, std::string_view caller,
                     std::int32_t windings) {
  check_tf_handover(k, tf_kind, caller, windings);
  const std::int32_t n = e_s5::msiz(k);
  const double dt = e_s1::delt;
  Work& m = g_work;
  m.resize(n);
  auto& rorig = e_s5tap::rorig;
  auto& lorig = e_s5tap::lorig;
  for (std::int32_t i = 1; i <= rorig.extent(1); ++i)
    for (std::int32_t j = 1; j <= rorig.extent(2); ++j) rorig(i, j, k) = lorig(i, j, k) = 0.0;
  e_s5tap::tkind(k) = tf_kind;  // the form lorig is kept in, for a tap change

  // Step 1: R and the inductive part from the lower triangle of the record, or
  // the UMEC core.
  if (tf_kind == kTfUmec) umec_core_admittance(k, caller, m);
  for (std::int32_t i = 1; i <= n && tf_kind != kTfUmec; ++i) {
    for (std::int32_t j = 1; j <= i; ++j) {
      const double r = rt_config::tfdata(2 * j - 1, i);
      const double x = rt_config::tfdata(2 * j, i);
      m.rm(j, i) = m.rm(i, j) = r;
      rorig(j, i, k) = rorig(i, j, k) = r;
      if (tf_kind == kTfInverseInductance) {
        const double a = dt * 0.5 * x;
        m.si(j, i) = m.si(i, j) = a;
        lorig(j, i, k) = lorig(i, j, k) = a;
      } else {
        const double b = (x + x) / dt;
        lorig(j, i, k) = lorig(i, j, k) = b;
        m.si(j, i) = m.si(i, j) = b + r;
      }
    }
  }

  // Step 2: the admittance of the windings.
  if (tf_kind == kTfInductance) {
    if (!tf::invert_in_place(m.si, kPivotLimit)) unrealisable(kLeakage);
  } else if (tf_kind == kTfInverseInductance) {
    tf::multiply(m.rm, m.si, m.rli);  // rli = R A
    m.irli = m.rli;
    for (std::int32_t w = 1; w <= n; ++w) m.irli(w, w) += 1.0;
    if (!tf::invert_in_place(m.irli, kPivotLimit)) unrealisable(kLeakageOrLoss);
    tf::multiply(m.irli, m.rli, m.hs);  // hs = I - irli rli
    for (double& x : m.hs.a) x = -x;
    for (std::int32_t w = 1; w <= n; ++w) m.hs(w, w) += 1.0;
    const tf::Square a = m.si;
    tf::multiply(a, m.hs, m.si);  // si = A hs
  }

  // Step 3: the change since the admittance last added, into gm.
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) m.d(i, j) = m.si(i, j) - e_s5::hm(i, j, k);
  tf::stamp_windings(caller, k, std::abs(e_s5tap::tss(k)), m.d);

  // Step 4: sm = I - 2 Y R and hm = Y.
  for (std::int32_t i = 1; i <= e_s5::hm.extent(1); ++i)
    for (std::int32_t j = 1; j <= e_s5::hm.extent(2); ++j) {
      double s = 0.0;
      if (i <= n && j <= n)
        for (std::int32_t l = 1; l <= n; ++l) s += m.si(i, l) * m.rm(l, j);
      e_s5::sm(i, j, k) = -2.0 * s + (i == j && i <= n ? 1.0 : 0.0);
      e_s5::hm(i, j, k) = i <= n && j <= n ? m.si(i, j) : 0.0;
    }
}

void wakro_settfparm(std::int32_t& k, std::int32_t& tf_kind) {
  const std::int32_t windings = k >= 1 && k <= e_s5::jset ? e_s5::msiz(k) : 0;
  wakro_settfparm(k, tf_kind, kTransformerTag, windings);
}
