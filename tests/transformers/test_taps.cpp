// On-load tap changers: when a tap takes effect, the re-formed winding matrices
// and conductance matrix (hand-worked), a case tapped during the run against the
// same case built tapped (both solvers), and every refusal.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "model/e_s2.h"
#include "model/harmimp.h"
#include "model/storage.h"
#include "network/hooks.h"
#include "tf_fixture.h"
#include "transformers/services.h"
#include "transformers/settfparm.h"
#include "transformers/taps.h"

namespace {

constexpr double kDt = 1e-4;

class Taps : public tftest::Transformers {
 protected:
  void size_taps(std::int32_t nodes, std::int32_t nbr) {
    extra_dims_ = {{dim::windings, 3}, {dim::trafos, 4}, {dim::stor, 100}, {dim::storf, 20}, {dim::rtcf, 40}};
    size(nodes, nbr, 1, 0, kDt);
    e_s5::jset = 0;
  }

  // A two-winding unit, R = 0, formed from L (H): 2L/dt = [[4000, 3800], [3800,
  // 4000]] for L = [[0.2, 0.19], [0.19, 0.2]].
  std::int32_t unit(std::initializer_list<std::pair<std::int32_t, std::int32_t>> w, double l11 = 0.2,
                    double l12 = 0.19, double l22 = 0.2) {
    const std::int32_t k = add_unit(1, w);
    record2(0.0, 0.0, l11, l12, l22);
    wakro_settfparm(k, wakro::kTfInductance, "TEST", 2);
    return k;
  }

  // One call of trtap5 as the only block of the step.
  static void tap5(std::int32_t k, std::int32_t w, std::int32_t ss, double tap) {
    e_s2::nexc = 0;
    trtap5(k, w, ss, tap);
  }

  // Expects hm(., ., k) = inverse of [[a, b], [b, d]].
  static void expect_hm_inverse(std::int32_t k, double a, double b, double d) {
    const double det = a * d - b * b;
    EXPECT_NEAR(e_s5::hm(1, 1, k), d / det, 1e-12 * std::abs(d / det));
    EXPECT_NEAR(e_s5::hm(1, 2, k), -b / det, 1e-12 * std::abs(b / det));
    EXPECT_NEAR(e_s5::hm(2, 1, k), -b / det, 1e-12 * std::abs(b / det));
    EXPECT_NEAR(e_s5::hm(2, 2, k), a / det, 1e-12 * std::abs(a / det));
  }
};

// Winding 1 from node 1 to ground, winding 2 from node 2 to node 3; nodal form.
// The tap waits while the watched current keeps its sign, then the new matrix
// [[4840, 4180], [4180, 4000]] is inverted and its change D from the old hm is
// stamped as A' D A: gm(1,1) += D11, gm(1,2) -= D12, gm(1,3) += D12 (off-
// diagonals keep the reversed sign), gm(2,2), gm(3,3), gm(2,3) += D22, and the
// conductances to ground of nodes 1, 2, 3 change by D11, D12, -D12.
TEST_F(Taps, WaitsForTheWatchedCurrentThenReformsTheUnit) {
  size_taps(3, 1);
  const std::int32_t k = unit({{1, 0}, {2, 3}});
  buildgm();
  e_s1::timezero = true;
  e_s0::cdctr(1, k) = 0.5;
  tap5(k, 1, 1, 1.0);
  EXPECT_EQ(e_s2::nexc, 5);
  EXPECT_EQ(e_s2::stor(1), 1.0);
  ASSERT_EQ(harmimp::harm_num, 1);
  EXPECT_EQ(harmimp::harm_type(1), 8);
  EXPECT_EQ(e_s2::stor(3), 1.0);  // the record's number

  e_s1::timezero = false;
  harmimp::harm_append(5, 1, {1}, {});  // a later record must stay untouched
  e_s8::mxinv(1) = 99;
  const std::array<double, 4> hm0{e_s5::hm(1, 1, k), e_s5::hm(1, 2, k), e_s5::hm(2, 1, k), e_s5::hm(2, 2, k)};
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  const double g11 = gm(1, 1), g12 = gm(1, 2), g13 = gm(1, 3), g22 = gm(2, 2), g23 = gm(2, 3), g33 = gm(3, 3);
  const double s1 = ideal::gms(1, 1), s2 = ideal::gms(2, 1), s3 = ideal::gms(3, 1);
  e_s0::cdctr(1, k) = 0.4;  // same sign: waits
  tap5(k, 1, 1, 1.1);
  EXPECT_EQ(e_s5::hm(1, 1, k), hm0[0]);
  EXPECT_EQ(e_s2::stor(1), 1.0);
  EXPECT_EQ(e_s8::mxinv(1), 99);
  EXPECT_EQ(harmimp::harm_var(1, 1), 1.1);
  EXPECT_EQ(harmimp::harm_var(2, 1), 0.0);

  e_s0::cdctr(1, k) = -0.2;  // changed sign: acts
  tap5(k, 1, 1, 1.1);
  EXPECT_EQ(e_s2::stor(1), 1.1);
  EXPECT_EQ(e_s2::stor(2), -0.2);
  expect_hm_inverse(k, 4840.0, 4180.0, 4000.0);
  EXPECT_EQ(e_s8::mxinv(1), 1);
  const double d11 = e_s5::hm(1, 1, k) - hm0[0], d12 = e_s5::hm(1, 2, k) - hm0[1];
  const double d22 = e_s5::hm(2, 2, k) - hm0[3];
  EXPECT_NEAR(gm(1, 1) - g11, d11, 1e-15);
  EXPECT_NEAR(gm(1, 2) - g12, -d12, 1e-15);
  EXPECT_NEAR(gm(1, 3) - g13, d12, 1e-15);
  EXPECT_NEAR(gm(2, 2) - g22, d22, 1e-15);
  EXPECT_NEAR(gm(3, 3) - g33, d22, 1e-15);
  EXPECT_NEAR(gm(2, 3) - g23, d22, 1e-15);
  EXPECT_NEAR(ideal::gms(1, 1) - s1, d11, 1e-15);
  EXPECT_NEAR(ideal::gms(2, 1) - s2, d12, 1e-15);
  EXPECT_NEAR(ideal::gms(3, 1) - s3, -d12, 1e-15);

  // A change below 1e-10 does nothing, whatever the current does.
  e_s8::mxinv(1) = 99;
  const double h11 = e_s5::hm(1, 1, k);
  e_s0::cdctr(1, k) = 0.3;
  tap5(k, 1, 1, 1.1 + 5e-11);
  EXPECT_EQ(e_s5::hm(1, 1, k), h11);
  EXPECT_EQ(e_s8::mxinv(1), 99);
  EXPECT_EQ(e_s2::stor(1), 1.1);
}

// At time zero the stored current is 0, so a tap other than 1 acts at once; taps
// at or below 0.01 act as 0.01, at or above 100 as 100.
TEST_F(Taps, TapsOutsideTheRangeAreLimited) {
  size_taps(2, 1);
  const std::int32_t k = unit({{1, 0}, {2, 0}});
  const double l11 = e_s5tap::lorig(1, 1, k), l12 = e_s5tap::lorig(1, 2, k), l22 = e_s5tap::lorig(2, 2, k);
  e_s1::timezero = true;
  for (const auto& [tap, t] : std::vector<std::pair<double, double>>{{0.0, 0.01}, {-3.0, 0.01}, {1000.0, 100.0}}) {
    e_s2::stor(2) = 0.0;
    tap5(k, 1, 1, tap);
    EXPECT_EQ(e_s2::stor(1), t) << tap;
    expect_hm_inverse(k, l11 * t * t, t * l12, l22);
  }
}

// Winding 1 from node 1 to ground, winding 2 from node 2 to node 3, resistors to
// ground at each node, 1 kA into node 1 from step 3 on. A tap of 1.1 set at step
// 2 (network at rest, so it acts at once in the nodal form) must give the
// voltages of the same case built with the tapped inductances from the start.
class TappedDuringTheRun : public Taps, public ::testing::WithParamInterface<bool> {
 protected:
  std::vector<double> run(bool tap_during_run) {
    wakro_test::reset_shared_state();
    size_taps(3, 3);
    wakro::use_transformer_services();
    add_branch(1, 1, 0, 100.0, 0.0, 0.0);
    add_branch(1, 2, 0, 50.0, 0.0, 0.0);
    add_branch(1, 3, 0, 10.0, 0.0, 0.0);
    const std::int32_t k = tap_during_run ? unit({{1, 0}, {2, 3}}) : unit({{1, 0}, {2, 3}}, 0.2 * 1.21, 0.19 * 1.1);
    if (GetParam()) force_sparse();
    e_s0::enabccin(1, 1) = true;
    model_ = [=] {
      if (ctrl::iii >= 3) e_s0::ccin(1, 1) = 1.0;
      if (tap_during_run) tap5(k, 1, 1, ctrl::iii >= 2 ? 1.1 : 1.0);
    };
    start_run(30);
    std::vector<double> out;
    for (int n = 0; n < 30; ++n) {
      step();
      for (std::int32_t node = 1; node <= 3; ++node) out.push_back(v(node));
    }
    if (tap_during_run) {
      EXPECT_EQ(e_s2::stor(1), 1.1);
    }
    return out;
  }
};

TEST_P(TappedDuringTheRun, EqualsTheCaseBuiltTapped) {
  const std::vector<double> tapped = run(true);
  const std::vector<double> built = run(false);
  ASSERT_EQ(tapped.size(), built.size());
  EXPECT_NE(built.back(), 0.0);
  for (std::size_t i = 0; i < built.size(); ++i) EXPECT_NEAR(tapped[i], built[i], 1e-12) << i;
}

INSTANTIATE_TEST_SUITE_P(BothSolvers, TappedDuringTheRun, ::testing::Bool());

// The same case with a unit of copper loss R = diag(0.5, 0.3) ohm and L =
// [[0.2, 0.19], [0.19, 0.2]] H, configured by kind 1 (its inverse-inductance
// matrix Gamma = L^-1) or kind 2 (L) while its section entry had another form:
// impedance ("2 0"), admittance with resistance ("-2 -1") or without ("-2 0").
// The tap changer must rescale the base values in the form the configuration
// stored them in (tapped by t on winding 1: L11 t^2 and L12 t, that is Gamma11 /
// t^2 and Gamma12 / t) and correct for R as the configuration did; a formula
// taken from the entry turns (dt/2) Gamma into an impedance (a short circuit),
// drops R, or inverts an admittance (divergence).
struct KindAndEntry {
  std::int32_t kind, sign, mag;
};

class TappedByKindAndEntry : public Taps, public ::testing::WithParamInterface<KindAndEntry> {
 protected:
  static constexpr double kTap = 1.1;
  std::vector<double> run(bool tap_during_run) {
    const KindAndEntry p = GetParam();
    wakro_test::reset_shared_state();
    size_taps(3, 3);
    wakro::use_transformer_services();
    add_branch(1, 1, 0, 100.0, 0.0, 0.0);
    add_branch(1, 2, 0, 50.0, 0.0, 0.0);
    add_branch(1, 3, 0, 10.0, 0.0, 0.0);
    const std::int32_t k = add_unit(1, {{1, 0}, {2, 3}}, p.sign);
    e_s5::nummag(k) = p.mag;
    const double t = tap_during_run ? 1.0 : kTap;
    const double l11 = 0.2, l12 = 0.19, l22 = 0.2, det = l11 * l22 - l12 * l12;
    if (p.kind == wakro::kTfInductance) {
      record2(0.5, 0.3, l11 * t * t, l12 * t, l22);
    } else {
      record2(0.5, 0.3, l22 / det / (t * t), -l12 / det / t, l11 / det);
    }
    wakro_settfparm(k, p.kind, "TEST", 2);
    e_s0::enabccin(1, 1) = true;
    model_ = [=] {
      if (ctrl::iii >= 3) e_s0::ccin(1, 1) = 1000.0;
      if (tap_during_run) tap5(k, 1, 1, ctrl::iii >= 2 ? kTap : 1.0);
    };
    start_run(60);
    std::vector<double> out;
    for (int n = 0; n < 60; ++n) {
      step();
      for (std::int32_t node = 1; node <= 3; ++node) out.push_back(v(node));
    }
    if (tap_during_run) {
      EXPECT_EQ(e_s2::stor(1), kTap);
    }
    return out;
  }
};

TEST_P(TappedByKindAndEntry, EqualsTheUnitBuiltTapped) {
  const std::vector<double> tapped = run(true);
  const std::vector<double> built = run(false);
  ASSERT_EQ(tapped.size(), built.size());
  // Node 1 carries 1 kA into 100 ohm in parallel with the loaded unit: tens of kV.
  EXPECT_GT(std::abs(built[built.size() - 3]), 1e3);
  for (std::size_t i = 0; i < built.size(); ++i)
    EXPECT_NEAR(tapped[i], built[i], 1e-9 * std::abs(built[i]) + 1e-12) << i;
}

INSTANTIATE_TEST_SUITE_P(EveryCombination, TappedByKindAndEntry,
                         ::testing::Values(KindAndEntry{1, 1, 0}, KindAndEntry{1, -1, -1},
                                           KindAndEntry{1, -1, 0}, KindAndEntry{2, 1, 0},
                                           KindAndEntry{2, -1, -1}, KindAndEntry{2, -1, 0}),
                         [](const auto& info) {
                           const KindAndEntry& p = info.param;
                           return "Kind" + std::to_string(p.kind) + (p.sign > 0 ? "Impedance" : "Admittance") +
                                  (p.mag == -1 ? "WithR" : "");
                         });

TEST_F(Taps, RefusedNumbersAreReportedAtTimeZeroOnly) {
  size_taps(2, 1);
  const std::int32_t k = unit({{1, 0}, {2, 0}});
  e_s1::timezero = true;
  for (const auto& [kk, w, ss] : std::vector<std::array<std::int32_t, 3>>{{k, 1, 2}, {0, 1, 1}, {k + 1, 1, 1}}) {
    const nettest::Captured c = nettest::capture([&] { tap5(kk, w, ss, 1.1); });
    EXPECT_EQ(c.text, " ERROR IN TRTAP5!\n INVALID TRANSFORMER # OR SUBSYSTEM\n");
    EXPECT_EQ(e_s2::nexc, 5);
  }
  for (const std::int32_t w : {0, 3}) {
    const nettest::Captured c = nettest::capture([&] { tap5(k, w, 1, 1.1); });
    EXPECT_EQ(c.text, " ERROR IN TRTAP5\n INVALID WINDING NUMBER\n");
  }
  e_s5::nummag(k) = 1;
  EXPECT_EQ(nettest::capture([&] { tap5(k, 1, 1, 1.1); }).text,
            " ERROR IN TRTAP5\n TAPS ON A UMEC TRANSFORMER ARE NOT MODELLED\n");
  e_s1::timezero = false;
  EXPECT_EQ(nettest::capture([&] { tap5(k, 1, 2, 1.1); }).text, "");
  EXPECT_EQ(e_s2::nexc, 5);
  EXPECT_EQ(harmimp::harm_num, 0);
}

// A rank-deficient inductance (L = [[4000, 4000], [4000, 4000]] after set-up)
// tapped by 2 leaves an exactly zero second pivot.
TEST_F(Taps, SingularNewMatrixEndsTheRunWithMessage24) {
  size_taps(2, 1);
  const std::int32_t k = unit({{1, 0}, {2, 0}});
  for (std::int32_t i = 1; i <= 2; ++i)
    for (std::int32_t j = 1; j <= 2; ++j) e_s5tap::lorig(i, j, k) = 4000.0;
  e_s1::timezero = true;
  const nettest::Captured c = nettest::capture([&] { tap5(k, 1, 1, 2.0); });
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find("      CHECK MUTUAL DATA IN SS    1 .\n"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n" + std::string(72, ' ')),
            std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("EXECUTION TERMINATING"), std::string::npos);
}

// Two-winding auto-transformer, V1/V2 = 2: tmin = 2/51, tmax = 2/1.02, r - 1 = 1.
// Tap 1.1 gives c = 0.9 and, for wa = 1, wb = 2:
//   si(1,1) = 4000 t^2 = 4840, si(2,2) = 4000 c^2 = 3240,
//   si(1,2) = (4000 - (4000 - 3800)/c^2) t c.
TEST_F(Taps, TwoWindingAutoTransformer) {
  size_taps(2, 1);
  const std::int32_t k = unit({{1, 0}, {2, 0}});
  trtap2wa1_cfg(k, 2, 1, 2.0, 1.0);
  EXPECT_EQ(rt_config::nrtcf, 4);
  EXPECT_NEAR(rt_config::rtcf(1), 2.0 / 51.0, 1e-15);
  EXPECT_NEAR(rt_config::rtcf(2), 2.0 / 1.02, 1e-15);
  EXPECT_EQ(rt_config::rtcf(3), 1.0);
  const double l11 = e_s5tap::lorig(1, 1, k), l12 = e_s5tap::lorig(1, 2, k), l22 = e_s5tap::lorig(2, 2, k);
  e_s1::timezero = true;
  for (int n = 0; n < 3; ++n) {
    rt_config::nrtcf = 1;
    storage::nstorf = 1;
    trtap2wa1_exe(k, 2, 1, 1.1);
    EXPECT_EQ(rt_config::nrtcf, 4);
    EXPECT_EQ(storage::nstorf, 3);
    e_s1::timezero = false;
  }
  const double t = 1.1, c = 0.9;
  expect_hm_inverse(k, l11 * t * t, (std::sqrt(l11 * l22) - (std::sqrt(l11 * l22) - l12) / (c * c)) * t * c,
                    l22 * c * c);
  ASSERT_EQ(harmimp::harm_num, 1);
  EXPECT_EQ(harmimp::harm_type(1), 10);
  EXPECT_EQ(harmimp::harm_node(1, 2), 1);
  EXPECT_EQ(harmimp::harm_node(1, 3), 2);
  EXPECT_NEAR(harmimp::harm_var(1, 2), c, 1e-15);
  // A registry restored in another order (a snapshot of another run): the
  // record is found by its kind and nodes; no other record's value changes.
  harmimp::harm_num = 0;
  harmimp::harm_append(5, 1, {1}, {7.0});
  harmimp::harm_append(10, 1, {k, 1, 2}, {1.1, c});
  rt_config::nrtcf = 1;
  storage::nstorf = 1;
  trtap2wa1_exe(k, 2, 1, 1.2);
  EXPECT_EQ(harmimp::harm_var(1, 1), 7.0);
  EXPECT_EQ(harmimp::harm_var(2, 1), 1.2);
}

// A fatal stop releases the case, so each refusal gets a case of its own:
// transformer 1 with two windings, transformer 2 with three.
TEST_F(Taps, AutoTransformerSetUpRefusals) {
  auto expect_stop = [this](void (*f)(), const std::string& text, const std::string& tag) {
    wakro_test::reset_shared_state();
    size_taps(3, 1);
    unit({{1, 0}, {2, 0}});
    add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
    const nettest::Captured c = nettest::capture(f);
    EXPECT_EQ(c.status, 2000);
    EXPECT_EQ(c.text.rfind(" ***ERROR** " + text + "\n", 0), 0u) << c.text;
    EXPECT_NE(c.text.find(nettest::quit_block(tag)), std::string::npos) << c.text;
    EXPECT_EQ(rt_config::nrtcf, 1);
  };
  expect_stop([] { trtap2wa1_cfg(2, 2, 1, 2.0, 1.0); },
              "2 Winding tap routine called from a non 2-Winding transformer", "AUTO_TF_2WDG");
  expect_stop([] { trtap2wa1_cfg(1, 2, 1, 1.0, 1.0); }, "Unrealistic Transformer Voltage Rating.",
              "AUTO_TF_2WDG");
  expect_stop([] { trtap3wa1_cfg(1, 100.0, 50.0, 2.0, 1.0, 0.5, 10.0, 0.1, 0.1, 0.1); },
              "3 Winding tap routine called from a non 3-Winding transformer", "AUTO_TF_3WDG");
  expect_stop([] { trtap3wa1_cfg(2, 100.0, 50.0, 2.0, 1.0, 0.5, 0.0, 0.1, 0.1, 0.1); },
              "Unrealistic Transformer Leakage Value.", "AUTO_TF_3WDG");
}

}  // namespace
