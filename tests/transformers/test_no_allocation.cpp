// Steps of a subsystem with transformers allocate nothing: every operator new of
// the test program is counted, and the steps after time zero (winding histories,
// winding currents, the finish-up, both solvers) must not add to the count.
#include <atomic>
#include <cstdlib>
#include <new>

#include "tf_fixture.h"
#include "transformers/services.h"
#include "transformers/tf_cfg.h"
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

INSTANTIATE_TEST_SUITE_P(BothSolvers, StepsWithUnits, ::testing::Bool());

}  // namespace
