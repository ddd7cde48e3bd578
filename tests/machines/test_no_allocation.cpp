// The machine's per-step solver allocates nothing: every operator new of the
// test program is counted, and a hundred steps must not add to the count.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "generator_exciter.h"
#include "machine_fixture.h"
#include "machines/solver.h"
#include "sync_net_fixture.h"
#include "support/allocation_counter.h"

namespace {

using namespace wakro::machines;

using mtest::Machines;
using mtest::MachineNet;

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

// One machine with its exciter in a network: the steps of the start-up source,
// the hand-over and machine mode allocate nothing.
TEST_F(MachineNet, MachineAndExciterStepsAllocateNothing) {
  build(true);
  rewind();
  syncmc3p2_cfg(mtest::CaseMachine::data());
  const Ac7bData d = mtest::case_exciter();
  excac7b2_cfg(d);
  SyncStepIn in = case_inputs();
  SyncStepOut out;
  double efd = 0.0;
  models([&] {
    in.handover = e_s1::time >= 0.2 ? 1 : 0;
    in.field_voltage = efd;
    syncmc3p2_exe(in, out);
    excac7b2_exe(1.0, {1.0, 0.0, 0.0}, 0.0, out.field_current, out.field_current, out.machine_mode, efd, 0.0);
  });
  const int steps = 6000;  // through the hand-over at 0.2 s to 0.3 s
  start_run(steps);
  for (int k = 0; k < 100; ++k) step();
  const long before = wakro_test::allocations.load();
  for (int k = 100; k < steps; ++k) step();
  EXPECT_EQ(wakro_test::allocations.load(), before);
  EXPECT_EQ(out.machine_mode, 1);
  EXPECT_TRUE(std::isfinite(efd));
}

}  // namespace
