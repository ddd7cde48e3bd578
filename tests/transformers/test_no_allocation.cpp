// Steps of a subsystem with transformers allocate nothing: every operator new of
// the test program is counted, and the steps after time zero (winding histories,
// winding currents, the finish-up, both solvers) must not add to the count.
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "tf_fixture.h"
#include "model/e_s2.h"
#include "transformers/multiwinding_saturation.h"
#include "transformers/services.h"
#include "transformers/taps.h"
#include "transformers/tf_cfg.h"
#include "transformers/settfparm.h"
#include "transformers/umec_ramp.h"
#include "model/umec.h"
#include "support/allocation_counter.h"

namespace {
std::atomic<long>& g_news = wakro_test::allocations;
}  // namespace

namespace {

class StepsWithUnits : public tftest::Transformers, public ::testing::WithParamInterface<bool> {};

TEST_P(StepsWithUnits, AllocateNothing) {
  size_tf(3, 3, 5e-5, 2);
  wakro::use_transformer_services();
  for (std::int32_t ss = 1; ss <= 2; ++ss) {
    const std::int32_t k = add_unit(ss, {{1, 0}, {2, 3}});
    add_branch(ss, 1, 0, 50.0, 0.1, 0.0);
    add_branch(ss, 2, 0, 50.0, 0.1, 0.0);
    add_branch(ss, 3, 0, 50.0, 0.1, 0.0);
    e_tf2w_cfg(k, 2, 100.0, 50.0, 0.1, 0.01, 10.0, 100.0, 1.0);
  }
  if (GetParam()) force_sparse();
  model_ = [] { e_s0::ccin(1, 1) = e_s0::ccin(1, 2) = 1.0; };
  start_run(30);
  step();  // time zero: the solution sizes what it keeps
  const long before = g_news.load();
  for (int n = 0; n < 20; ++n) step();
  EXPECT_EQ(g_news.load() - before, 0);
  EXPECT_NE(e_s0::cdctr(2, 1), 0.0);  // the windings carried current
}

// A tap change after time zero (re-formed unit, conductance matrix changed in its
// nodal form, re-factorisation) allocates nothing either: the tap changer sizes
// its work space at time zero. The 1 kHz injection makes the watched current
// cross zero within the steps.
TEST_P(StepsWithUnits, TapChangeAllocatesNothing) {
  extra_dims_ = {{dim::windings, 3}, {dim::trafos, 4}, {dim::stor, 10}};
  size(3, 3, 1, 0, 5e-5);
  e_s5::jset = 0;
  wakro::use_transformer_services();
  const std::int32_t k = add_unit(1, {{1, 0}, {2, 3}});
  add_branch(1, 1, 0, 50.0, 0.1, 0.0);
  add_branch(1, 2, 0, 50.0, 0.1, 0.0);
  add_branch(1, 3, 0, 50.0, 0.1, 0.0);
  e_tf2w_cfg(k, 2, 100.0, 50.0, 0.1, 0.01, 10.0, 100.0, 1.0);
  if (GetParam()) force_sparse();
  e_s0::enabccin(1, 1) = true;
  model_ = [k] {
    e_s0::ccin(1, 1) = std::sin(2000.0 * M_PI * e_s1::time + 0.3);
    e_s2::nexc = 0;
    trtap5(k, 1, 1, ctrl::iii >= 3 ? 1.1 : 1.0);
  };
  start_run(60);
  step();
  const long before = g_news.load();
  for (int n = 0; n < 40; ++n) step();
  EXPECT_EQ(g_news.load() - before, 0);
  EXPECT_EQ(e_s2::stor(1), 1.1);  // the tap took effect
}

// A saturating UMEC unit (core type 3, knee at unit flux density) driven from
// a 2 kA sine through 10 ohm: its core injection, the ramp and the flux output
// run every step (the saturated core reduced again on each) without allocating.
TEST_P(StepsWithUnits, SaturatedUmecCoreAllocatesNothing) {
  extra_dims_ = {{dim::windings, 2}, {dim::trafos, 2}, {dim::stor, 30}};
  size(2, 2, 1, 0, 1e-4);
  e_s5::jset = 0;
  wakro::use_transformer_services();
  std::int32_t k = add_unit(1, {{1, 0}, {2, 0}}, -1);
  e_s5::nummag(k) = 1;
  umec::cor(k) = 3;
  umec::bn(k) = 5;
  umec::satenab(k) = 1;
  const double core[8] = {1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0, 1.0};
  for (std::int32_t i = 1; i <= 8; ++i) rt_config::umectfdata(i) = core[i - 1];
  for (std::int32_t w = 1; w <= 2; ++w) {
    rt_config::umecwdgdata(w, 1) = 100.0;
    rt_config::umecwdgdata(w, 2) = 0.001;
  }
  rt_config::umecsatdata(1, 1) = rt_config::umecsatdata(1, 2) = 1.0;
  rt_config::umecsatdata(2, 1) = 2.0;
  rt_config::umecsatdata(2, 2) = 1.5;
  std::int32_t kind = 3;
  wakro_settfparm(k, kind);
  add_branch(1, 1, 0, 10.0, 0.0, 0.0);
  add_branch(1, 2, 0, 10.0, 0.0, 0.0);
  if (GetParam()) force_sparse();
  e_s0::enabccin(1, 1) = true;
  model_ = [k] {
    e_s0::ccin(1, 1) = 2.0 * std::sin(100.0 * M_PI * e_s1::time);
    e_s2::nexc = 0;
    umecsat5(1, k, 50.0);
    fplot19(k);
  };
  start_run(400);
  step();
  const long before = g_news.load();
  int saturated = 0;
  for (int n = 0; n < 300; ++n) {
    step();
    saturated += umec::satflag(1, k);
    ASSERT_LT(std::abs(e_s0::vdc(1, 1)), 21.0);  // 10 ohm times 2 kA and the small magnetising current
  }
  EXPECT_EQ(g_news.load() - before, 0);
  EXPECT_GT(saturated, 10);
  EXPECT_LT(saturated, 300);
}

INSTANTIATE_TEST_SUITE_P(BothSolvers, StepsWithUnits, ::testing::Bool());

}  // namespace

namespace {

// The steps of the multi-winding saturation members (sharing behind winding 1,
// the hysteresis loop, the magnetisation model's bisection) allocate nothing.
class SaturationSteps : public tftest::Transformers {};

TEST_F(SaturationSteps, AllocateNothing) {
  extra_dims_ = {{dim::windings, 3}, {dim::trafos, 4}, {dim::stor, 200}, {dim::rtcf, 200}, {dim::rtci, 10}};
  size(6, 6, 1, 0, 5e-5);
  e_s5::jset = 0;
  for (std::int32_t n = 1; n <= 6; ++n) add_branch(1, n, 0, 1000.0, 0.0, 0.0);
  const std::int32_t k = add_unit(1, {{1, 0}, {4, 0}});
  tsat2_cfg(2, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 100.0, 0.2, 1.17, 50.0, 0.0, 2.0, 0.0, 0.1, 0.1, 0.1, 0.1,
            0.1, 0.1, 10.0, 2.0, 0.0, 0.0);
  tsat3_cfg(2, 0, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 100.0, 0.2, 1.17, 50.0, 2.0, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1,
            10.0, 2.0, 0.0, 0.0, 10.0, 0.0, 0.0, 0.0);
  tsat4_cfg(2, 0, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 100.0, 50.0, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 10.0, 2.0, 0.0,
            0.0, 1.6, 0.2, 0.0, 0.0, 0.0, 0.1, 2e-4, 1.0, 1.0, 100.0, 2.0, 1e-4, 0.5, 1.5e6);
  auto step = [k](int n) {
    e_s1::timezero = n == 0;
    e_s1::time = n * 5e-5;
    for (std::int32_t p = 0; p < 3; ++p) e_s0::vdc(p + 1, 1) = 20.0 * std::cos(314.159 * e_s1::time - 2.0944 * p);
    e_s2::nexc = 0;
    rt_config::nrtcf = rt_config::nrtci = 1;
    tsat2_exe(k, k, k, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 1, 1.0, 1);
    tsat3_exe(k, k, k, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 1, 1.0, 1);
    tsat4_exe(k, k, k, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0, 1, 1, 1.0, 1);
  };
  step(0);
  const long before = g_news.load();
  for (int n = 1; n <= 200; ++n) step(n);
  EXPECT_EQ(g_news.load() - before, 0);
  EXPECT_NE(branches::ccbr(4, 1), 0.0);  // the members injected
}

}  // namespace
