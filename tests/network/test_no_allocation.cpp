// The per-step path allocates nothing: every operator new of the test program is
// counted, and steps with re-factorisations, half steps and Norton changes must
// not add to the count.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "net_fixture.h"

namespace {
std::atomic<long> g_news{0};
}  // namespace

void* operator new(std::size_t n) {
  ++g_news;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class NoAllocation : public nettest::Network {};

TEST_F(NoAllocation, StepsWithFactorisationsAndHalfStepsAllocateNothing) {
  size(6, 12);
  set_options({true, true, true, true});
  for (std::int32_t k = 1; k <= 6; ++k) {
    add_branch(1, k, 0, 0.0, 0.1, 0.0, 0.2 * k);
    add_branch(1, k, k < 6 ? k + 1 : 0, 3.0, 0.0, 5.0, 0.0, k == 1 ? 2.0 : 0.0);
  }
  e_s0::enabccin(4, 1) = true;
  model_ = [] {
    e_s0::ggin(4, 1) = 0.5 + 0.01 * (ctrl::iii % 3);
    e_s0::ccin(4, 1) = 1.0;
  };
  start_run(60);
  step();
  step();
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GT(int2::ntriang(1), factorisations + 20);
  // The counter does see allocations.
  auto* probe = new std::vector<int>(100);
  delete probe;
  EXPECT_GE(g_news.load(), before + 2);
}

}  // namespace
