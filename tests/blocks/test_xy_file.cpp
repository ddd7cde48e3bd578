// XY tables read from files: interpolation with the cursor moving both ways,
// the nearest point, two tables open at once, and the data errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "block_bench.h"
#include "block_expect.h"
#include "blocks/xy_file.h"
#include "files/units.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

class XyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("wxy" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    e_warn::comp_id1 = e_warn::comp_id2 = 0;
  }
  void TearDown() override {
    wakro::close_all_units();
    std::filesystem::remove_all(dir_);
  }
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << text;
    return path;
  }
  // Steps 0 .. last with the flags and pointer resets of each step.
  void run(std::int32_t last, const std::function<void(std::int32_t)>& blocks) {
    for (std::int32_t k = 0; k <= last; ++k) {
      e_s1::time = 1e-3 * k;
      e_s1::timezero = e_s1::firststep = k == 0;
      e_s1::laststep = k == last;
      storage::nstorf = storage::nstori = storage::nstorl = 1;
      blocks(k);
    }
  }
  std::filesystem::path dir_;
};

// The table (0, 0), (1, 10), (2, 40) and the second output 1, 2, 3, by a fresh search.
double fresh(double x, std::int32_t nearest) {
  const std::array<double, 3> xs{0, 1, 2}, ys{0, 10, 40};
  if (x <= 0) return 0;
  if (x >= 2) return 40;
  const std::int32_t k = x <= 1 ? 0 : 1;
  double w = (x - xs[k]) / (xs[k + 1] - xs[k]);
  if (nearest) w = w >= 0.5 ? 1 : 0;
  return w * ys[k + 1] + (1 - w) * ys[k];
}

const std::string kTable = "! a table\n\n/ x y z\n0 0 1\n1 10 2\n2 40 3\n";

TEST_F(XyFile, FollowsXBothWaysLikeAFreshSearch) {
  BlockBench bench(1e-3);
  const std::string path = file("t.txt", kTable);
  const std::vector<double> xs{1.5, -1.0, 0.5, 1.0, 1.7, 3.0, 2.0, 1.2, 0.1, 1.9, 1.4, 0.0, 2.5, 0.7};
  std::vector<double> y, yNear, z;
  std::vector<std::array<double, 10>> outs;
  run(static_cast<std::int32_t>(xs.size()) - 1, [&](std::int32_t k) {
    std::array<double, 10> o;
    o.fill(9.0);
    xytable_f(path, 1, 2, 0, xs[k], o.data());
    outs.push_back(o);
    std::array<double, 1> o2{};
    xytable_f2(path, 1, 1, 1, xs[k], o2.data());
    yNear.push_back(o2[0]);
  });
  for (std::size_t k = 0; k < xs.size(); ++k) {
    SCOPED_TRACE(xs[k]);
    EXPECT_DOUBLE_EQ(outs[k][0], fresh(xs[k], 0));
    EXPECT_DOUBLE_EQ(yNear[k], fresh(xs[k], 1));
    for (std::int32_t j = 2; j < 10; ++j) EXPECT_EQ(outs[k][j], 0.0);
  }
  EXPECT_EQ(outs[0][0], 25.0);
  EXPECT_EQ(outs[0][1], 2.5);
  EXPECT_EQ(yNear[0], 40.0);
  EXPECT_EQ(yNear[10], 10.0);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  EXPECT_EQ(storage::nstorf, 1 + 6 + 4);
  EXPECT_EQ(storage::nstori, 1 + 3 + 3);
  EXPECT_EQ(storage::nstorl, 1 + 1 + 1);
}

TEST_F(XyFile, DataErrorsStopWithTheirTextsAndTag) {
  const std::string equal = file("eq.txt", "0 0\n1 1\n1 2\n");
  const std::string comments = file("c.txt", "! only\n/ comments\n\n");
  const std::string single = file("s.txt", "! one row\n0 5\n");
  const std::string bad = file("b.txt", "0 0\n1 x\n");
  struct Case {
    std::string path, text;
  };
  const std::vector<Case> cases{{equal, "Data in the file should be in ascending order: "},
                                {comments, "Not enough data in the file: "},
                                {single, "Not enough data in the file: "},
                                {bad, "Error reading data from the file: "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    BlockBench bench(1e-3);
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      run(1, [&](std::int32_t) {
        std::array<double, 10> out{};
        xytable_f(c.path, 1, 1, 0, 0.5, out.data());
      });
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(lines_of(o.console), fatal_lines({c.text + c.path}, "XYTABLE     ", 0, 0));
    wakro::close_all_units();
  }
  BlockBench bench(1e-3);
  const wakro_test::Outcome o = wakro_test::run_captured([&] {
    run(0, [&](std::int32_t) {
      std::array<double, 10> out{};
      xytable_f(std::string(70, 'n'), 0, 1, 0, 0.5, out.data());
    });
  });
  EXPECT_EQ(lines_of(o.console), fatal_lines({"Name of the file is too long"}, "XYTABLE     ", 0, 0));
}

}  // namespace
}  // namespace blocks_test
