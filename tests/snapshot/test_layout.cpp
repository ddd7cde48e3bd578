// The value layouts of the snapshot file, byte for byte, and reading them back.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "case_runner.h"
#include "files/units.h"
#include "model/fnames.h"
#include "snapshot/layout.h"
#include "support/shared_state.h"

namespace snapshot_test {
namespace {

using wakro::snapshot::Layout;
using wakro::snapshot::SnapIn;
using wakro::snapshot::SnapOut;

std::string r8(double v) {
  SnapOut o;
  o.group(Layout::R8, 1, [&](std::int64_t) { return v; });
  return o.text();
}

struct RealCase {
  double value;
  const char* text;  // one R8 field and its blank, then the line end
};

const double kInf = std::numeric_limits<double>::infinity();

const RealCase kReals[] = {
    {1.0, "  1.000000000000000      \n"},
    {-5.0e-5, "-0.5000000000000000E-004 \n"},
    {5.0e-5, " 0.5000000000000000E-004 \n"},
    {0.25, " 0.2500000000000000      \n"},
    {0.0, "  0.000000000000000      \n"},
    {-2.0, " -2.000000000000000      \n"},
    // The fixed form ends below 1e16 (after rounding to 16 digits).
    {1.0e15, "  1000000000000000.      \n"},
    {1.0e16, " 0.1000000000000000E+017 \n"},
    {0.1, " 0.1000000000000000      \n"},
    {0.09999999999999999, " 0.9999999999999999E-001 \n"},
    {9.9999999999999999e15, " 0.1000000000000000E+017 \n"},
    {999999999999999.875, "  999999999999999.9      \n"},
    {0.0999, " 0.9990000000000000E-001 \n"},
    {1.0e-300, " 0.1000000000000000E-299 \n"},
    {std::nan(""), "                     NaN \n"},
    {kInf, "                Infinity \n"},
    {-kInf, "               -Infinity \n"},
};

TEST(SnapshotLayout, RealsInGeneralEditing) {
  for (const RealCase& c : kReals) EXPECT_EQ(r8(c.value), c.text) << c.value;
}

TEST(SnapshotLayout, HeaderValuesTakeTheDefaultExponent) {
  SnapOut o;
  o.begin_group();
  for (double v : {5.0, 0.25, 5.0e-5}) o.value(Layout::H3, v);
  o.end_group();
  EXPECT_EQ(o.text(), "   5.000000000000000       0.2500000000000000       0.5000000000000000E-04 \n");
}

TEST(SnapshotLayout, GroupsFillLinesOfTheirWidth) {
  struct Case {
    Layout layout;
    int n;
    std::vector<std::size_t> widths;  // of each line, without its end
  };
  const Case cases[] = {
      {Layout::R8, 8, {200}},
      {Layout::R8, 9, {200, 25}},
      {Layout::R8, 0, {0}},  // a group of no values is one empty line
      {Layout::I15, 16, {180, 12}},
      {Layout::L80, 81, {160, 2}},
      {Layout::E20, 21, {500, 25}},
      {Layout::B255, 300, {255, 45}},
  };
  for (const Case& c : cases) {
    SnapOut o;
    if (c.layout == Layout::R8 || c.layout == Layout::E20)
      o.group(c.layout, c.n, [](std::int64_t k) { return 1.0 / static_cast<double>(k); });
    else if (c.layout == Layout::L80 || c.layout == Layout::B255)
      o.group(c.layout, c.n, [](std::int64_t k) { return k % 2 == 0; });
    else
      o.group(c.layout, c.n, [](std::int64_t k) { return static_cast<std::int32_t>(k % 2); });
    const std::vector<std::string> lines = lines_of(o.text());
    ASSERT_EQ(lines.size(), c.widths.size()) << static_cast<int>(c.layout) << " " << c.n;
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].size(), c.widths[i]);
  }
}

TEST(SnapshotLayout, IntegersLogicalsComplexAndDigits) {
  SnapOut o;
  o.group(Layout::I15, 2, [](std::int64_t k) { return static_cast<std::int32_t>(k == 1 ? -7 : 123456); });
  o.group(Layout::L80, 3, [](std::int64_t k) { return k != 2; });
  o.group(Layout::C1, 1, [](std::int64_t) { return std::complex<double>(1.0, -5.0e-5); });
  o.group(Layout::EC, 1, [](std::int64_t) { return std::complex<double>(1.0, -5.0e-5); });
  o.group(Layout::B255, 4, [](std::int64_t k) { return k % 2 == 1; });
  EXPECT_EQ(o.text(),
            "         -7      123456 \n"
            " T F T\n"
            " (  1.000000000000000     ,-0.5000000000000000E-004)\n"
            " 0.1000000000000000E+001-0.5000000000000000E-004\n"
            "1010\n");
}

TEST(SnapshotLayout, PutGivesTheValueTheFileHolds) {
  SnapOut o;
  o.begin_group();
  EXPECT_EQ(o.put(Layout::R8, 1.0 / 3.0), 0.3333333333333333);
  EXPECT_EQ(o.put(Layout::R8, 2.0), 2.0);
  EXPECT_TRUE(std::isnan(o.put(Layout::R8, std::nan(""))));
  EXPECT_EQ(o.put(Layout::C1, std::complex<double>(2.0 / 3.0, -1.0)), std::complex<double>(0.6666666666666666, -1.0));
  EXPECT_EQ(o.put(Layout::EC, std::complex<double>(-kInf, 0.125)), std::complex<double>(-kInf, 0.125));
  o.end_group();
}

// Reading back: a file on the unit stack.
class SnapshotReading : public ::testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override {
    wakro_test::reset_shared_state();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  SnapIn open(const std::string& text) {
    path_ = (std::filesystem::temp_directory_path() / ("wakro_layout_" + std::to_string(::getpid()) + ".txt")).string();
    write_file(path_, text);
    wakro::open_file_named(path_, 1);
    return SnapIn(fnames::iunit, &fail);
  }
  [[noreturn]] static void fail(bool end) { throw std::runtime_error(end ? "end" : "error"); }
  std::string path_;
};

TEST_F(SnapshotReading, GroupsSpanLinesAndEachReadStartsOnANewLine) {
  SnapIn in = open(
      "! a label\n"
      "\n"
      "  1.000000000000000       NaN  Infinity\n"
      " -Infinity 0.5000000000000000E-004 1.5D0 / 9 9 9\n"
      "  7 / Busses\n"
      " T F .true.\n"
      " (  1.000000000000000     ,-0.5000000000000000E-004)\n"
      "1010\n");
  in.skip_comments();
  std::vector<double> v(6);
  in.read<double>(6, [&](std::int64_t k) -> double& { return v[k - 1]; });
  EXPECT_EQ(v[0], 1.0);
  EXPECT_TRUE(std::isnan(v[1]));
  EXPECT_EQ(v[2], kInf);
  EXPECT_EQ(v[3], -kInf);
  EXPECT_EQ(v[4], 5.0e-5);
  EXPECT_EQ(v[5], 1.5);  // the 9s after the "/" are not read
  EXPECT_EQ(in.one<std::int32_t>(), 7);
  std::vector<char> b(3);
  in.read<bool>(3, [&](std::int64_t k) -> bool& { return reinterpret_cast<bool&>(b[k - 1]); });
  EXPECT_EQ(b, (std::vector<char>{1, 0, 1}));
  EXPECT_EQ(in.one<std::complex<double>>(), std::complex<double>(1.0, -5.0e-5));
  std::vector<int> bits;
  in.bits(4, [&](std::int64_t, bool on) { bits.push_back(on); });
  EXPECT_EQ(bits, (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(SnapshotReading, RawLinesAreNotTakenAsComments) {
  SnapIn in = open("! PGBNAME: 3\nC is a channel\n! also one\n/ and this\n");
  EXPECT_EQ(in.raw_line(), "! PGBNAME: 3");
  EXPECT_EQ(in.raw_line(), "C is a channel");
  EXPECT_EQ(in.raw_line(), "! also one");
  EXPECT_EQ(in.raw_line(), "/ and this");
}

TEST_F(SnapshotReading, MalformedValuesAndTheEndOfTheFileFail) {
  struct Case {
    const char* text;
    const char* outcome;
  };
  const Case cases[] = {
      {" 1.0 2.0\n", "end"},        // a third value is missing
      {" 1.0 abc 3.0\n", "error"},  // not a number
      {" 1.0 2.0 3.0.0\n", "error"},
      {" 1.0 (1.0 3.0\n", "error"},
      {" 1.0 2.0\n 3.0 4.0\n", "error"},  // a value left over: the count does not fit
  };
  for (const Case& c : cases) {
    SnapIn in = open(c.text);
    std::vector<double> v(3);
    try {
      in.read<double>(3, [&](std::int64_t k) -> double& { return v[k - 1]; });
      ADD_FAILURE() << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.outcome) << c.text;
    }
    wakro::close_all_units();
  }
}

}  // namespace
}  // namespace snapshot_test
