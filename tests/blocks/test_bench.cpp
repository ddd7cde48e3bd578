// The block bench itself: a case of blocks runs through the engine's run loop
// with its begin pass, resets, passes and pointer checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "block_bench.h"
#include "blocks/slots.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

using namespace wakro::blocks;

bool has_line(const std::string& console, const std::string& line) {
  for (const std::string& l : lines_of(console))
    if (l == line) return true;
  return false;
}

// A counting block: 2 stor and 3 storf slots; counts its calls in storf slot 1
// (relying on the per-run clear) and keeps the time of the last call.
double counting_block() {
  const Slots<double> old = take_stor(2);
  const Slots<double> s = take_storf(3);
  if (e_s1::timezero) old(1) = 1.0;
  s(1) += 1.0;
  s(2) = e_s1::time;
  return s(1);
}

TEST(BlockBench, RunsAThousandStepsThroughTheRunLoop) {
  BlockBench bench(1e-4);
  std::vector<double> counts;
  std::vector<std::int32_t> nexcAtEnd, nstorfAtEnd, nstorfAtOutput;
  int beginCalls = 0;
  bench.begin = [&] { ++beginCalls; };
  bench.dynamics = [&] {
    counts.push_back(counting_block());
    counting_block();
    nexcAtEnd.push_back(e_s2::nexc);
    nstorfAtEnd.push_back(storage::nstorf);
  };
  bench.output = [&] {
    // The output pass continues the pointers of the dynamics pass.
    nstorfAtOutput.push_back(storage::nstorf);
    take_storf(1);
  };
  const wakro_test::Outcome o = bench.run(1000);
  EXPECT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(beginCalls, 1);
  ASSERT_EQ(counts.size(), 1001u);
  for (std::size_t k = 0; k < counts.size(); ++k) {
    EXPECT_EQ(counts[k], static_cast<double>(k + 1));
    EXPECT_EQ(nexcAtEnd[k], 4);
    EXPECT_EQ(nstorfAtEnd[k], 7);
    EXPECT_EQ(nstorfAtOutput[k], 7);
  }
  // Two instances own disjoint slots; the last call saw the last step's time.
  EXPECT_EQ(storage::storf(2), 1000 * 1e-4);
  EXPECT_EQ(storage::storf(5), 1000 * 1e-4);
  EXPECT_EQ(e_s2::stor(1), 1.0);
  EXPECT_EQ(e_s2::stor(3), 1.0);
}

TEST(BlockBench, EachRunStartsFromClearedStorage) {
  BlockBench bench(1e-3);
  double last = 0.0;
  bench.dynamics = [&] { last = counting_block(); };
  EXPECT_EQ(bench.run(10).status, -1);
  EXPECT_EQ(last, 11.0);
  EXPECT_EQ(bench.run(10).status, -1);
  EXPECT_EQ(last, 11.0);
}

TEST(BlockBench, ConfigurationWrittenAtBeginIsReadBackEveryStep) {
  BlockBench bench(1e-3);
  std::vector<double> seen;
  bench.begin = [] {
    const Slots<double> c = take_rtcf(2);
    c(1) = 4.0;
    c(2) = 0.25;
  };
  bench.dynamics = [&] {
    const Slots<double> c = take_rtcf(2);
    seen.push_back(c(1) * c(2));
  };
  EXPECT_EQ(bench.run(5).status, -1);
  EXPECT_EQ(seen, std::vector<double>(6, 1.0));
  EXPECT_EQ(rt_config::nrtcf, 3);
}

TEST(BlockBench, ABlockThatTakesMoreSlotsOnALaterStepIsStopped) {
  BlockBench bench(1e-3);
  std::vector<std::int32_t> steps;
  bench.dynamics = [&] {
    steps.push_back(ctrl::iii);
    take_storf(ctrl::iii >= 3 ? 4 : 3);
  };
  const wakro_test::Outcome o = bench.run(10);
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(steps, (std::vector<std::int32_t>{0, 1, 2, 3}));
  EXPECT_TRUE(has_line(o.console, " ERROR: Storage Pointers have become Corrupt!")) << o.console;
  EXPECT_TRUE(has_line(o.console, " ERROR: Abnormal termination of WAKRO by CHKNEXC     "));
}

TEST(BlockBench, AnExecuteThatReadsMoreConfigurationOnALaterStepIsStopped) {
  BlockBench bench(1e-3);
  bench.begin = [] { take_rtcf(2); };
  bench.dynamics = [] { take_rtcf(ctrl::iii == 2 ? 1 : 2); };
  const wakro_test::Outcome o = bench.run(10);
  EXPECT_EQ(o.status, 2000);
  EXPECT_TRUE(has_line(o.console, " ERROR: Storage Pointers have become Corrupt!"));
  EXPECT_TRUE(has_line(o.console, " ERROR: Abnormal termination of WAKRO by CHKNRTC     "));
}

TEST(BlockBench, AnOverrunOnTheFirstStepStopsBeforeWriting) {
  BenchSizes sizes;
  sizes.storf = 10;
  BlockBench bench(1e-3, sizes);
  int calls = 0;
  bench.dynamics = [&] {
    ++calls;
    take_storf(6);
    take_storf(6)(6) = 1.0;
  };
  const wakro_test::Outcome o = bench.run(10);
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(has_line(o.console, " WAKRO: STORF array dimension exceeded")) << o.console;
}

}  // namespace
}  // namespace blocks_test
