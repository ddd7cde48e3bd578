// The per-step path allocates nothing: every operator new of the test program is
// counted, and steps with re-factorisations, half steps and Norton changes must
// not add to the count.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include <cmath>

#include "model/storage.h"
#include "net_fixture.h"
#include "network/switching.h"

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

TEST_F(NoAllocation, StepsWithSwitchingsInsideThemAllocateNothing) {
  extra_dims_ = {{dim::stori, 20}, {dim::storf, 20}, {dim::stor, 40}};
  size(2, 4);
  set_options({true, true, true, false});
  const std::int32_t src = add_branch(1, 1, 0, 1.0, 0.1, 0.0, 0.0, 0.0);
  const std::int32_t d = add_branch(1, 1, 2, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  add_branch(1, 2, 0, 2.0, 0.0, 0.0);
  const std::int32_t sw = add_branch(1, 2, 0, 1.0e6, 0.0, 0.0, 0.0, 0.0, true);
  wakro_initswbr(1, d, 0.01, 1.0e6, 0.0, 0.0, "PESWITCH    ");
  wakro_initswbr(1, sw, 1.0, 1.0e6, 0.0, 0.0, "BREAKER     ");
  branches::thisbr(d, 1) = 1;
  storage::stori(1) = 10;
  storage::stori(3) = 1;
  storage::stori(8) = 1;
  int1::iorv(d, 1) = 3;
  // A 5 kHz source, so that the diode switches every few steps; the breaker is
  // timed to close and open inside every third step.
  model_ = [src, sw] {
    branches::ebr(src, 1) = -std::sin(31415.9 * e_s1::time);
    branches::source(src, 1) = true;
    if (ctrl::iii % 3 == 0) {
      int1::iorv(sw, 1) = 8;
      branches::swlevl(sw, 1) = (ctrl::iii - 0.6) * e_s1::delt;
    }
  };
  start_run(60);
  step();
  step();
  const long before = g_news.load();
  const std::int32_t factorisations = int2::ntriang(1);
  for (int n = 0; n < 50; ++n) step();
  EXPECT_EQ(g_news.load(), before);
  EXPECT_GT(int2::ntriang(1), factorisations + 25);
}

}  // namespace
