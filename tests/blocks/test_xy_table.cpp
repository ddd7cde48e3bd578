// The configured XY tables: interpolation, end values, the nearest point, the
// configuration block's layout and pointer advance, and the ascending check.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/xy_table.h"
#include "model/e_warn.h"
#include "model/rt_config.h"

namespace blocks_test {
namespace {

// The table (0, 0), (1, 10), (2, 40) with a second output (0, -1), (1, -2), (2, -3).
constexpr std::array<double, 3> kX{0.0, 1.0, 2.0}, kY1{0.0, 10.0, 40.0}, kY2{-1.0, -2.0, -3.0};

std::array<double, kXyBlock> grouped() {
  std::array<double, kXyBlock> d{};
  d.fill(99.0);
  for (std::int32_t k = 0; k < 3; ++k) {
    d[k] = kX[k];
    d[10 + k] = kY1[k];
    d[20 + k] = kY2[k];
  }
  return d;
}

std::vector<double> packed() {
  std::vector<double> d(kX.begin(), kX.end());
  d.insert(d.end(), kY1.begin(), kY1.end());
  d.insert(d.end(), kY2.begin(), kY2.end());
  return d;
}

TEST(XyTable, InterpolatesHoldsTheEndsAndTakesTheNearestPoint) {
  struct Probe {
    double x;
    std::int32_t nearest;
    double y1, y2;
  };
  const std::vector<Probe> probes{{1.5, 0, 25.0, -2.5}, {-1.0, 0, 0.0, -1.0}, {3.0, 0, 40.0, -3.0},
                                  {1.0, 0, 10.0, -2.0}, {0.25, 0, 2.5, -1.25}, {1.5, 1, 40.0, -3.0},
                                  {1.4, 1, 10.0, -2.0}, {2.0, 1, 40.0, -3.0}};
  const std::array<double, kXyBlock> data = grouped();
  const std::vector<double> data2 = packed();
  BlockBench bench(1e-3, BenchSizes{.rtcf = 200});
  std::vector<std::array<double, 10>> outs, outs2;
  std::vector<std::int32_t> pointers;
  bench.begin = [&] {
    xytable_t_cfg(3, 2, data.data());
    xytable_t2_cfg(3, 2, data2.data());
  };
  bench.dynamics = [&] {
    for (const Probe& p : probes) {
      rt_config::nrtcf = 1;
      std::array<double, 10> o, o2{};
      o.fill(7.0);
      xytable_t_exe(3, 2, p.nearest, p.x, o.data());
      pointers.push_back(rt_config::nrtcf);
      xytable_t2_exe(3, 2, p.nearest, p.x, o2.data());
      pointers.push_back(rt_config::nrtcf);
      outs.push_back(o);
      outs2.push_back(o2);
    }
    rt_config::nrtcf = 1 + kXyBlock + 9;
  };
  ASSERT_EQ(bench.run(0).status, -1);
  ASSERT_EQ(outs.size(), probes.size());
  for (std::size_t k = 0; k < probes.size(); ++k) {
    SCOPED_TRACE(k);
    EXPECT_DOUBLE_EQ(outs[k][0], probes[k].y1);
    EXPECT_DOUBLE_EQ(outs[k][1], probes[k].y2);
    for (std::int32_t j = 2; j < 10; ++j) EXPECT_EQ(outs[k][j], 0.0);
    EXPECT_DOUBLE_EQ(outs2[k][0], probes[k].y1);
    EXPECT_DOUBLE_EQ(outs2[k][1], probes[k].y2);
    EXPECT_EQ(pointers[2 * k], 1 + kXyBlock);
    EXPECT_EQ(pointers[2 * k + 1], 1 + kXyBlock + 9);
  }
  // The configuration block: the points, and the untouched rest of each group.
  EXPECT_EQ(rt_config::rtcf(2), 1.0);
  EXPECT_EQ(rt_config::rtcf(13), 40.0);
  EXPECT_EQ(rt_config::rtcf(4), 0.0);
  EXPECT_EQ(rt_config::rtcf(kXyBlock + 9), -3.0);
}

TEST(XyTable, BadTablesStopUnderTheirTag) {
  struct Case {
    std::int32_t n, m;
    std::vector<double> data;
    std::string text;
  };
  const std::string order = "Data in the table should be in ascending order";
  const std::string size = "Table size out of range: points must be 1 to 10 and outputs 0 to 10.";
  const std::vector<Case> cases{{3, 1, {0.0, 1.0, 1.0, 5.0, 6.0, 7.0}, order},
                                {2, 1, {1.0, 0.0, 5.0, 6.0}, order},
                                {0, 1, {0.0}, size},
                                {11, 1, {0.0}, size}};
  for (bool two : {false, true})
    for (const Case& c : cases) {
      SCOPED_TRACE(c.n);
      BlockBench bench(1e-3);
      std::vector<double> data(kXyBlock, 0.0);
      std::copy(c.data.begin(), c.data.end(), data.begin());
      if (two && c.n == 11) continue;  // no limit of ten in the packed layout
      e_warn::comp_id1 = 1;
      e_warn::comp_id2 = 5;
      rt_config::nrtcf = 3;
      const wakro_test::Outcome o = wakro_test::run_captured([&] {
        if (two) {
          xytable_t2_cfg(c.n, c.m, data.data());
        } else {
          xytable_t_cfg(c.n, c.m, data.data());
        }
      });
      EXPECT_EQ(o.status, 2000);
      EXPECT_EQ(lines_of(o.console), fatal_lines({c.text}, "XY_TABLE_T  ", 1, 5));
      EXPECT_EQ(rt_config::nrtcf, 3);
    }
}

TEST(XyTable, WeightRoundsHalvesUpward) {
  EXPECT_EQ(xy_weight(1.5, 1.0, 2.0, 0), 0.5);
  EXPECT_EQ(xy_weight(1.5, 1.0, 2.0, 1), 1.0);
  EXPECT_EQ(xy_weight(1.49, 1.0, 2.0, 1), 0.0);
}

}  // namespace
}  // namespace blocks_test
