// The line steps allocate nothing: every operator new of this test program is
// counted, and steps of a case with a three-conductor lossy line (its
// histories before the solution, its terminal currents after it) must not add
// to the count.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

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

}  // namespace
}  // namespace linetest
