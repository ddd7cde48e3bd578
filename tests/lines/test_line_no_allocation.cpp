// The line steps allocate nothing: every operator new of this test program is
// counted, and steps of a case with a three-conductor lossy line (its
// histories before the solution, its terminal currents after it) must not add
// to the count.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "lines/fd_records.h"
#include "lines/line_fixture.h"
#include "model/branches.h"
#include "support/allocation_counter.h"

namespace {
std::atomic<long>& g_news = wakro_test::allocations;
std::vector<int>* volatile& g_probe = wakro_test::allocation_probe;
}  // namespace

namespace linetest {
namespace {

using NoAllocation = Lines;

TEST_F(NoAllocation, LineStepsAllocateNothing) {
  write_section("GLOBAL_TLINES:",
                "3 0 1 1 60.0 600.0 1.0 0.1 0.1\n1 4 0.5 300.0 0.01 0.01 0 0 0\n"
                "2 5 0.55 300.0 0.01 0.01 0 0 0\n3 6 0.6 300.0 0.01 0.01 0 0 0\n");
  read_lines(6, 1, 1, 5.0e-5);
  const std::int32_t b = add_branch(1, 0, 1, 10.0, 0.0, 0.0, 0.0, 1.0);
  model_ = [b] { branches::ebr(b, 1) = 1.0 + 0.001 * ctrl::iii; };
  start_run(60);
  step();
  step();
  // The counter sees an allocation of the test itself.
  const long before_probe = g_news.load();
  g_probe = new std::vector<int>(4);
  delete g_probe;
  ASSERT_GT(g_news.load(), before_probe);

  const long before = g_news.load();
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_NE(e_s0::vdc(4, 1), 0.0);  // the wave went through the line
}

TEST_F(NoAllocation, FrequencyDependentLineStepsAllocateNothing) {
  // A three-conductor FRE-PHASE line (nodes 1..6) and a three-conductor FRE-DEP
  // line (nodes 7..12), four poles to every fit.
  const std::vector<double> poles = {300.0, 3000.0, 10000.0, 30000.0};
  write_section("GLOBAL_TLINES:", header_record(3, "fp.tlo") + header_record(3, "fd.tlo", 7));
  wakro_test::write_file("fp.tlo", spread_fit(3, 4, 5.0e-5).file());
  wakro_test::write_file("fd.tlo", fredep_poles_record(3, 0.52, 300.0, poles, 1000.0, 0.9));
  read_lines(12, 2, 1, 5.0e-5);
  const std::int32_t b = add_branch(1, 0, 1, 10.0, 0.0, 0.0, 0.0, 1.0);
  add_branch(1, 0, 7, 10.0, 0.0, 0.0, 0.0, 1.0);
  model_ = [b] { branches::ebr(b, 1) = 1.0 + 0.001 * ctrl::iii; };
  start_run(60);
  step();
  step();
  const long before = g_news.load();
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_NE(e_s0::vdc(4, 1), 0.0);   // the waves went through both lines
  EXPECT_NE(e_s0::vdc(10, 1), 0.0);
}

TEST_F(NoAllocation, MfdtdLineStepsAllocateNothing) {
  // A three-conductor MFDTD line of 13 segments with two poles to its fit.
  write_section("GLOBAL_TLINES:", header_record(3, "mfdtd.tlo"));
  wakro_test::write_file("mfdtd.tlo", lossy_mfdtd(3, 2, 200000.0).file());
  read_lines(6, 1, 1, 5.0e-5);
  add_branch(1, 0, 1, 10.0, 0.0, 0.0, 0.0, 1.0);
  start_run(60);
  step();
  const long before = g_news.load();
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_NE(e_s0::vdc(4, 1), 0.0);  // the wave went through the line
}

}  // namespace
}  // namespace linetest
