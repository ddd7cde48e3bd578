// The admittance of a frequency-dependent network equivalent read from its model
// file: one port, two ports (a port block is a column of the residues, D is read
// row by row), no poles, and the files that must be refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/textfile.h"
#include "model/fatal.h"
#include "network/fdne.h"

namespace {

using wakro::cplx;

class Fdne : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("wakro_fdne_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    y_.release();
    std::filesystem::remove_all(dir_);
  }
  std::string file(const std::string& body) {
    const std::string path = (dir_ / "model.txt").string();
    std::ofstream(path) << "header 1\nheader 2\nheader 3\nheader 4\n" << body;
    return path;
  }
  // The message of the run's stop while reading, or "" when it did not stop.
  std::string stop_of(const std::string& path, std::int32_t n, cplx s = {1.0, 0.0}) {
    try {
      fdneharmimp::get_fdne_y(y_, s, n, path);
    } catch (const wakro::FatalExit& e) {
      EXPECT_EQ(e.status(), wakro::kRuntimeStopStatus);
      return e.message();
    }
    return "";
  }

  std::filesystem::path dir_;
  wakro::FArray<cplx, 2> y_{"y"};
};

TEST_F(Fdne, OnePortOnePole) {
  // a = -1, residue 2, D = 0.5: Y(1) = 0.5 + 2 / 2.
  const std::string path = file("1\n-1.0\n0.0\n2.0\n0.0\n0.5\n");
  fdneharmimp::get_fdne_y(y_, {1.0, 0.0}, 1, path);
  ASSERT_EQ(y_.extent(1), 1);
  EXPECT_NEAR(std::abs(y_(1, 1) - cplx(1.5, 0.0)), 0.0, 1e-15);
  // At s = j: 0.5 + 2 / (1 + j) = 1.5 - j.
  y_.release();
  fdneharmimp::get_fdne_y(y_, {0.0, 1.0}, 1, path);
  EXPECT_NEAR(std::abs(y_(1, 1) - cplx(1.5, -1.0)), 0.0, 1e-15);
}

// The selection tables start empty; an equivalent entered in them is evaluated
// from its own row: its node count as the port count, its 36-character file name.
TEST_F(Fdne, SelectionTablesNameTheModelOfAnEquivalent) {
  using namespace fdneharmimp;
  EXPECT_EQ(fdne_num, 0);
  for (std::int32_t k = 1; k <= kMaxEquivalents; ++k) {
    EXPECT_EQ(fdne_ss(k), 0);
    EXPECT_EQ(fdne_nc(k), 0);
    EXPECT_TRUE(fdne_filenames(k).is_blank());
    for (std::int32_t p = 1; p <= kMaxEquivalentNodes; ++p) EXPECT_EQ(fdne_node(k, p), 0);
  }
  // A name that fits the field: a = -1, residue 2, D = 0.5 (Y(1) = 1.5).
  const std::string path = "/tmp/wkfdne" + std::to_string(::getpid()) + ".txt";
  ASSERT_LE(path.size(), kModelNameWidth);
  std::ofstream(path) << "h\nh\nh\nh\n1\n-1.0\n0.0\n2.0\n0.0\n0.5\n";
  fdne_num = 1;
  fdne_ss(1) = 2;
  fdne_nc(1) = 1;
  fdne_node(1, 1) = 3;
  fdne_filenames(1) = path;
  fdneharmimp::get_fdne_y(y_, {1.0, 0.0}, fdne_nc(fdne_num), fdne_filenames(fdne_num).trimmed());
  std::filesystem::remove(path);
  fdne_num = fdne_ss(1) = fdne_nc(1) = fdne_node(1, 1) = 0;
  fdne_filenames(1).blank();
  ASSERT_EQ(y_.extent(1), 1);
  EXPECT_NEAR(std::abs(y_(1, 1) - cplx(1.5, 0.0)), 0.0, 1e-15);
}

TEST_F(Fdne, TwoPortsTakeColumnsFromTheBlocksAndRowsForD) {
  // a = -2; port 1 block: R(1,1) = 1, R(2,1) = 2; port 2 block (pole lines
  // repeated and skipped): R(1,2) = 3, R(2,2) = 4; D = [[0.1, 0.2], [0.3, 0.4]].
  const std::string path = file(
      "1\n-2.0\n0.0\n1.0\n0.0\n2.0\n0.0\n"
      "1\n99.0\n99.0\n3.0\n0.0\n4.0\n0.0\n"
      "0.1\n0.2\n0.3\n0.4\n");
  fdneharmimp::get_fdne_y(y_, {0.0, 0.0}, 2, path);
  const double expect[2][2] = {{0.6, 1.7}, {1.3, 2.4}};
  for (int p = 1; p <= 2; ++p)
    for (int q = 1; q <= 2; ++q)
      EXPECT_NEAR(std::abs(y_(p, q) - cplx(expect[p - 1][q - 1], 0.0)), 0.0, 1e-15) << p << q;
}

TEST_F(Fdne, ComplexPolesResiduesAndFortranExponents) {
  // a = -1 + 2j, R = 1 - 1j, D = 0.25D0: Y(0) = 0.25 + (1 - j) / (1 - 2j).
  const std::string path = file("1\n-1.0D0\n2.0d0, ignored\n 1.0E0\n-1.0\n0.25D0\n");
  fdneharmimp::get_fdne_y(y_, {0.0, 0.0}, 1, path);
  const cplx expect = 0.25 + cplx(1.0, -1.0) / cplx(1.0, -2.0);
  EXPECT_NEAR(std::abs(y_(1, 1) - expect), 0.0, 1e-15);
}

TEST_F(Fdne, NoPolesGiveD) {
  const std::string path = file("0\n0\n1.5\n-2.5\n3.5\n4.5\n");
  fdneharmimp::get_fdne_y(y_, {3.0, 1.0}, 2, path);
  EXPECT_EQ(y_(1, 1), cplx(1.5, 0.0));
  EXPECT_EQ(y_(1, 2), cplx(-2.5, 0.0));
  EXPECT_EQ(y_(2, 1), cplx(3.5, 0.0));
  EXPECT_EQ(y_(2, 2), cplx(4.5, 0.0));
}

TEST_F(Fdne, BadFilesAreRefusedWithAMessage) {
  const std::string missing = (dir_ / "none.txt").string();
  EXPECT_EQ(stop_of(missing, 1),
            "FDNE model file " + missing + " cannot be opened: No such file or directory");
  EXPECT_EQ(stop_of("/dev/zero", 1), "FDNE model file /dev/zero is not a regular file");
  EXPECT_EQ(stop_of(dir_.string(), 1), "FDNE model file " + dir_.string() + " is a folder");
  EXPECT_FALSE(y_.allocated());
  const std::string path = file("1\n-1.0\n0.0\n2.0\n");
  EXPECT_EQ(stop_of(path, 1), "FDNE model file " + path + " ends too early");
  file("1\n-1.0\n0.0\n1.0\n0.0\n2.0\n0.0\n2\n");
  EXPECT_EQ(stop_of(path, 2), "FDNE model file " + path + " gives different pole counts for its ports");
  file(std::string(wakro::kMaxTextLine + 1, '1') + "\n");
  EXPECT_EQ(stop_of(path, 1),
            "FDNE model file " + path + " is refused: line 5 is longer than 16777216 characters");
  file("-1\n0.5\n");
  EXPECT_EQ(stop_of(path, 1), "FDNE model file " + path + " gives a negative pole count");
  file("1\n-1.0\n0.0\nabc\n0.0\n0.5\n");
  EXPECT_EQ(stop_of(path, 1), "FDNE model file " + path + " holds a malformed number");
  file("1\n-1.0\n0.0\n2.0\n0.0\n0.5\n");
  EXPECT_EQ(stop_of(path, 1, {-1.0, 0.0}),
            "FDNE model file " + path + " has a pole at the frequency asked for");
  EXPECT_FALSE(y_.allocated());
}

TEST_F(Fdne, NonFiniteNumbersAndImpossiblePoleCountsAreRefused) {
  // Not-a-number and infinities are read errors, wherever they stand.
  std::string path = file("1\n-1.0\n0.0\nnan\n0.0\n0.5\n");
  EXPECT_EQ(stop_of(path, 1), "FDNE model file " + path + " holds a malformed number");
  file("1\n-1.0\n0.0\n2.0\n0.0\ninf\n");
  EXPECT_EQ(stop_of(path, 1), "FDNE model file " + path + " holds a malformed number");
  file("1\n-infinity\n0.0\n2.0\n0.0\n0.5\n");
  EXPECT_EQ(stop_of(path, 1), "FDNE model file " + path + " holds a malformed number");
  // A pole count that no file of this size can hold sizes no table: two billion
  // poles of one port would need four billion lines.
  file("2000000000\n-1.0\n0.0\n2.0\n0.0\n0.5\n");
  EXPECT_EQ(stop_of(path, 1),
            "FDNE model file " + path + " gives a pole count larger than the file can hold");
  EXPECT_FALSE(y_.allocated());
  // The same count for two ports of a short file: refused as well.
  file("300\n");
  EXPECT_EQ(stop_of(path, 2),
            "FDNE model file " + path + " gives a pole count larger than the file can hold");
}

TEST_F(Fdne, ResultAlreadyAllocatedStopsTheRun) {
  const std::string path = file("0\n0.5\n");
  y_.allocate(1, 1);
  EXPECT_EQ(stop_of(path, 1), "Attempting to allocate already allocated variable 'y'");
}

TEST(Sl, SkipsWholeLines) {
  std::istringstream in("a b\nc\nd\n");
  fdneharmimp::sl(in, 0);
  fdneharmimp::sl(in, -3);
  fdneharmimp::sl(in, 2);
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ(rest, "d");
  fdneharmimp::sl(in, 5);  // past the end: nothing more to read
  EXPECT_FALSE(std::getline(in, rest));
}

}  // namespace
