// The case's three step-up groups as the case calls them: per group three
// two-winding units of its nameplate and the core saturation on the three
// low-voltage winding branches at time zero; every step the saturation (tap 1,
// not injecting) and a tap changer per unit (tap 1). Over 10,000 steps the
// storage pointers come back to the same values every step and the matrix is
// never formed again after time zero. Both solvers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "model/e_s2.h"
#include "model/harmimp.h"
#include "model/int2.h"
#include "tf_fixture.h"
#include "transformers/saturation.h"
#include "transformers/services.h"
#include "transformers/taps.h"
#include "transformers/tf_cfg.h"

namespace {

constexpr double kDt = 50e-6;
constexpr double kS = 33.3333333333333, kV2 = 132.79056191361397;

struct Group {
  double x, v1;
};
constexpr std::array<Group, 3> kGroups{{{0.0625, 10.392304845413268}, {0.0586, 7.967433714816838},
                                        {0.0576, 9.526279441628828}}};

class CaseGroups : public tftest::Transformers, public ::testing::WithParamInterface<bool> {};

TEST_P(CaseGroups, TenThousandStepsWithoutReformation) {
  // Nodes 6g+1..6g+3 low voltage, 6g+4..6g+6 high voltage of group g.
  extra_dims_ = {{dim::windings, 2}, {dim::trafos, 9}, {dim::stor, 200}, {dim::rtcf, 100}};
  size(18, 30, 1, 0, kDt);
  e_s5::jset = 0;
  wakro::use_transformer_services();
  std::array<std::array<std::int32_t, 3>, 3> magnetising{};
  for (std::int32_t g = 0; g < 3; ++g) {
    for (std::int32_t p = 1; p <= 3; ++p) {
      const std::int32_t lv = 6 * g + p, hv = lv + 3;
      const std::int32_t k = add_unit(1, {{lv, 0}, {hv, 0}});
      e_tf2w_cfg(k, 1, kS, 60.0, kGroups[g].x, 0.0, kGroups[g].v1, kV2, 2.0);
      add_branch(1, lv, 0, 1.0, 0.0, 0.0);    // source resistance
      add_branch(1, hv, 0, 500.0, 0.0, 0.0);  // load
      magnetising[g][p - 1] = add_branch(1, lv, 0, 1e6, 0.0, 0.0);
      e_s0::enabccin(lv, 1) = true;
    }
    const auto& b = magnetising[g];
    tsat1_cfg(b[0], b[1], b[2], 1, kS, kGroups[g].v1, 0.2, 1.17, 60.0, 0.0, 2.0, 0.0);
  }
  EXPECT_EQ(rt_config::nrtcf, 46);
  if (GetParam()) force_sparse();

  model_ = [&] {
    e_s2::nexc = 0;
    rt_config::nrtcf = 1;
    const double w = 376.99111843077515;
    for (std::int32_t g = 0; g < 3; ++g) {
      const double ip = 1.414213562373095 * kGroups[g].v1;  // 1 pu through 1 ohm
      for (std::int32_t p = 0; p < 3; ++p)
        e_s0::ccin(6 * g + p + 1, 1) = ip * std::cos(w * e_s1::time - p * 2.0943951023931953);
      const auto& b = magnetising[g];
      tsat1_exe(b[0], b[1], b[2], 1, 1.0, 0);
      for (std::int32_t p = 1; p <= 3; ++p) trtap5(3 * g + p, 1, 1, 1.0);
    }
    EXPECT_EQ(e_s2::nexc, 3 * (21 + 15));
    EXPECT_EQ(rt_config::nrtcf, 46);
  };
  start_run(10000);
  step();
  const std::int32_t factorised = int2::ntriang(1);
  const double hm12 = e_s5::hm(1, 2, 9);
  double peak = 0.0;
  for (int n = 1; n < 10000; ++n) {
    step();
    peak = std::max(peak, std::abs(v(4)));
    if (HasFailure()) break;
  }
  EXPECT_EQ(int2::ntriang(1), factorised);
  EXPECT_EQ(e_s5::hm(1, 2, 9), hm12);
  EXPECT_EQ(harmimp::harm_num, 18);  // 9 magnetising branches, 9 tap changers
  EXPECT_GT(peak, 100.0);            // the high-voltage side is energised
  // Each group's block: 21 slots of the saturation, then 5 per tap changer
  // (tap in effect first).
  for (std::int32_t g = 0; g < 3; ++g)
    for (std::int32_t p = 0; p < 3; ++p) EXPECT_EQ(e_s2::stor(36 * g + 21 + 5 * p + 1), 1.0);
}

INSTANTIATE_TEST_SUITE_P(BothSolvers, CaseGroups, ::testing::Bool());

}  // namespace
