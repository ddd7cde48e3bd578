// Recorded-signal playback from data files: interpolation between rows, the end
// modes, the delayed start, the resume from restored storage, two files open at
// once, and the exact texts of the data errors.
//
// The steps are driven by hand (time, time-zero, first- and last-step flags and
// the pointer resets of each step), so that a run can be cut and resumed from a
// copy of its storage as a snapshot would do. All values are sums and products
// of short binary fractions, exact in floating point.
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
#include "blocks/recorded.h"
#include "files/units.h"
#include "model/assorc.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

constexpr double kDelt = 0.25;

class Recorded : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("wrec" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    assorc::input.assign("DATA");
    e_warn::comp_id1 = e_warn::comp_id2 = 0;
    e_s1::delt = kDelt;
  }
  void TearDown() override {
    wakro::close_all_units();
    assorc::input.assign("DATA");
    std::filesystem::remove_all(dir_);
  }
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << text;
    return path;
  }
  // One step k: the flags, the pointer resets, then the blocks.
  void step(std::int32_t k, bool zero, bool first, bool last, const std::function<void()>& blocks) {
    e_s1::time = kDelt * k;
    e_s1::timezero = zero;
    e_s1::firststep = first;
    e_s1::laststep = last;
    storage::nstorf = storage::nstori = 1;
    blocks();
  }
  // A fresh run of steps 0 .. last.
  void run(std::int32_t last, const std::function<void()>& blocks) {
    for (std::int32_t k = 0; k <= last; ++k) step(k, k == 0, k == 0, k == last, blocks);
  }
  std::filesystem::path dir_;
  BlockBench bench_{kDelt};
};

const std::string kRamp = "time value\n0 0\n1 10\n2 20\n";

TEST_F(Recorded, InterpolatesBetweenRowsAndHoldsRepeatsOrExtendsAtTheEnd) {
  const std::string path = file("ramp.txt", kRamp);
  std::array<std::vector<std::array<double, 2>>, 3> outs;
  run(14, [&] {
    for (std::int32_t mode = 0; mode < 3; ++mode) {
      std::array<double, 2> o{};
      fileread(path, 1, 2, 0, mode, 0.0, o.data());
      outs[mode].push_back(o);
    }
  });
  using Row = std::array<double, 2>;
  for (std::int32_t mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(outs[mode][0], (Row{0.0, 0.0}));
    EXPECT_EQ(outs[mode][2], (Row{0.5, 5.0}));
    EXPECT_EQ(outs[mode][5], (Row{1.25, 12.5}));
    EXPECT_EQ(outs[mode][8], (Row{2.0, 20.0}));
  }
  EXPECT_EQ(outs[0][10], (Row{2.0, 20.0}));
  EXPECT_EQ(outs[0][14], (Row{2.0, 20.0}));
  // Repeat: the last row joins the first over one spacing, then row 2 follows.
  EXPECT_EQ(outs[1][10], (Row{1.0, 10.0}));
  EXPECT_EQ(outs[1][12], (Row{0.0, 0.0}));
  EXPECT_EQ(outs[1][14], (Row{0.5, 5.0}));
  EXPECT_EQ(outs[2][10], (Row{2.5, 25.0}));
  EXPECT_EQ(outs[2][14], (Row{3.5, 35.0}));
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  EXPECT_EQ(storage::nstori, 1 + 3 * 3);
  EXPECT_EQ(storage::nstorf, 1 + 3 * 35);
}

TEST_F(Recorded, SampledRowsAndADelayedStart) {
  // Sampling mode 1 at 2 Hz: rows 0.5 s apart whatever their first column holds.
  const std::string path = file("sampled.txt", "header\n7 1\n7 3\n7 5\n");
  const std::string ramp = file("ramp.txt", kRamp);
  std::vector<double> sampled, delayed, held;
  run(6, [&] {
    std::array<double, 2> o{};
    fileread(path, 1, 2, 1, 0, 2.0, o.data());
    sampled.push_back(o[1]);
    fileread2(ramp, 1, 2, 0, 0, 0, 0.0, 0.5, o.data());
    delayed.push_back(o[1]);
    fileread2(ramp, 1, 2, 0, 0, 1, 0.0, 0.5, o.data());
    held.push_back(o[1]);
  });
  EXPECT_EQ(sampled, (std::vector<double>{1.0, 2.0, 3.0, 4.0, 5.0, 5.0, 5.0}));
  EXPECT_EQ(delayed, (std::vector<double>{0.0, 0.0, 0.0, 2.5, 5.0, 7.5, 10.0}));
  EXPECT_EQ(held, (std::vector<double>{0.0, 0.0, 0.0, 2.5, 5.0, 7.5, 10.0}));
}

TEST_F(Recorded, ResumesIdenticallyFromRestoredStorage) {
  std::string text = "t a b\n";
  for (std::int32_t r = 0; r < 12; ++r)
    text += std::to_string(0.5 * r) + " " + std::to_string(r * r) + " " + std::to_string(-r) + "\n";
  const std::string path = file("long.txt", text);
  std::vector<std::array<double, 3>> whole, resumed;
  const auto block = [&](std::vector<std::array<double, 3>>& into) {
    return [&, path] {
      std::array<double, 3> o{};
      fileread(path, 1, 3, 0, 0, 0.0, o.data());
      into.push_back(o);
    };
  };
  run(20, block(whole));
  // The saved run: steps 0 .. 9, then its storage as a snapshot holds it.
  for (std::int32_t k = 0; k <= 9; ++k) step(k, k == 0, k == 0, false, block(resumed));
  std::vector<double> f(36);
  std::vector<std::int32_t> i(4);
  for (std::int32_t k = 1; k <= 35; ++k) f[k] = storage::storf(k);
  for (std::int32_t k = 1; k <= 3; ++k) i[k] = storage::stori(k);
  wakro::close_all_units();
  for (std::int32_t k = 1; k <= 35; ++k) storage::storf(k) = -99.0;
  // The resumed run: storage restored, started as from a snapshot.
  for (std::int32_t k = 1; k <= 35; ++k) storage::storf(k) = f[k];
  for (std::int32_t k = 1; k <= 3; ++k) storage::stori(k) = i[k];
  assorc::input.assign("SNAP");
  for (std::int32_t k = 10; k <= 20; ++k) step(k, false, k == 10, k == 20, block(resumed));
  EXPECT_EQ(resumed, whole);
  EXPECT_EQ(whole[13], (std::array<double, 3>{3.25, 42.5, -6.5}));
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
}

TEST_F(Recorded, TwoFilesOpenAtOnceEachCloseTheirOwn) {
  const std::string first = file("first.txt", kRamp);
  const std::string second = file("second.txt", "h\n0 100\n1 200\n2 300\n3 400\n");
  std::vector<double> a, b;
  std::vector<std::int32_t> units;
  run(9, [&] {
    std::array<double, 2> o{};
    fileread(first, 1, 2, 0, 0, 0.0, o.data());
    a.push_back(o[1]);
    // The second file needs a new row at the last step, after the first
    // block has closed its file.
    fileread(second, 1, 2, 0, 0, 0.0, o.data());
    b.push_back(o[1]);
    units.push_back(fnames::iunit);
  });
  EXPECT_EQ(a.back(), 20.0);
  EXPECT_EQ(b, (std::vector<double>{100, 125, 150, 175, 200, 225, 250, 275, 300, 325}));
  EXPECT_EQ(units[0], wakro::kUnitBase);
  EXPECT_EQ(units[1], wakro::kUnitBase + 2);
  EXPECT_EQ(units[9], wakro::kUnitBase);
}

// Rows a little more than a thousandth of the step apart (1/2048 s against
// 0.25 s) are played: step 1 has passed all three rows and holds the last.
TEST_F(Recorded, RowsCloseTogetherArePlayedToTheirEnd) {
  const std::string path = file("dense.txt", "h\n0 1\n0 2\n0 3\n");
  std::vector<double> out;
  run(2, [&] {
    std::array<double, 2> o{};
    fileread(path, 1, 2, 1, 0, 2048.0, o.data());
    out.push_back(o[1]);
  });
  EXPECT_EQ(out, (std::vector<double>{1.0, 3.0, 3.0}));
}

TEST_F(Recorded, DataErrorsStopWithTheirTextsAndTag) {
  const std::string shortRow = file("short.txt", "h\n0 1\n1 2 3\n");
  const std::string backwards = file("back.txt", "h\n0 1\n1 2\n1 3\n");
  const std::string oneRow = file("one.txt", "h\n0 1\n");
  const std::string badNumber = file("bad.txt", "h\n0 1\n1 x\n");
  // Found by fuzzing: rows 1e-300 s apart, played back with rewinds (end mode
  // 1), never reached the first step; nor did a sampling frequency of 1e300.
  const std::string tiny = file("tiny.txt", "h\n0 1\n1e-300 2\n");
  const std::string fine = "Rows of the file are closer than a thousandth of the time step: ";
  struct Case {
    std::function<void(double*)> call;
    std::string text;
    std::int32_t steps;
  };
  const std::string longName(70, 'a');
  const std::vector<Case> cases{
      {[&](double* o) { fileread(longName, 0, 1, 0, 0, 0.0, o); }, "Name of the file is too long", 0},
      {[&](double* o) { fileread2(shortRow, 1, 3, 0, 0, 0, 0.0, 0.0, o); },
       "Number of columns in the file is less than the specified value: " + shortRow, 0},
      {[&](double* o) { fileread(backwards, 1, 2, 0, 0, 0.0, o); },
       "Time of the rows in the file must increase: " + backwards, 8},
      {[&](double* o) { fileread(oneRow, 1, 2, 0, 0, 0.0, o); }, "Error reading data from the file: " + oneRow, 0},
      {[&](double* o) { fileread(badNumber, 1, 2, 0, 0, 0.0, o); },
       "Error reading data from the file: " + badNumber, 0},
      {[&](double* o) { fileread(backwards, 1, 1, 1, 0, 1e-7, o); }, "Sampling Frequency too small", 0},
      {[&](double* o) { fileread(tiny, 1, 2, 0, 1, 0.0, o); }, fine + tiny, 2},
      {[&](double* o) { fileread2(tiny, 1, 2, 1, 1, 0, 1e300, 0.0, o); }, fine + tiny, 2},
      // Rows just under a thousandth of the step (0.25 s here) apart.
      {[&](double* o) { fileread(tiny, 1, 2, 1, 1, 1.0 / (0.999e-3 * kDelt), o); }, fine + tiny, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BlockBench bench(kDelt);  // a fatal stop releases the arrays
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      run(c.steps, [&] {
        std::array<double, 11> out{};
        c.call(out.data());
      });
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(lines_of(o.console), fatal_lines({c.text}, "FILEREAD    ", 0, 0));
    wakro::close_all_units();
  }
}

}  // namespace
}  // namespace blocks_test
