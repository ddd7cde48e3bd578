// The machine's per-step solver allocates nothing: every operator new of the
// test program is counted, and a hundred steps must not add to the count.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "machine_fixture.h"
#include "machines/solver.h"
#include "support/allocation_counter.h"

namespace {

using namespace wakro::machines;

using mtest::Machines;

TEST_F(Machines, SolverStepsAllocateNothing) {
  // The probe: the counter sees the program's allocations.
  const long before_probe = wakro_test::allocations.load();
  wakro_test::allocation_probe = new std::vector<int>(4);
  delete wakro_test::allocation_probe;
  ASSERT_GT(wakro_test::allocations.load(), before_probe);

  const MachineBlock blk = case_block();
  MachineCurrents s{-0.6, 2.1, 0.01, -0.7, 0.02, 0.03};
  double theta = 0.0, sink = 0.0;
  const long before = wakro_test::allocations.load();
  for (int step = 0; step < 100; ++step) {
    const double theta1 = theta + 376.992 * mtest::kDt;
    const double a = 10.0 * std::sin(theta), b = 10.0 * std::sin(theta - 2.0944), c = -a - b;
    const StepResult r = macslv(blk, a, b, c, 1.5, 1.0, mtest::kDt, 376.992, theta, theta1, s);
    s = r.next;
    theta = theta1;
    sink += r.vd + fndzon(blk, s.id + s.ifd + s.ikd);
  }
  EXPECT_EQ(wakro_test::allocations.load(), before);
  EXPECT_TRUE(std::isfinite(sink));
}

}  // namespace
