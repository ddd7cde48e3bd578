// Extra recording files: the running values of each kind, the file names,
// the heading, appending and recreating, the registry of the last rank, and
// the statistics of the own file with their guarded failures.
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>

#include "diag/format.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "multirun/extrafiles.h"
#include "multirun/mruno.h"
#include "multirun/names.h"
#include "multirun_fixture.h"
#include "support/scripted_peer.h"

namespace multirun_test {
namespace {

using wakro_test::fatal_status;
using wakro_test::read_file;

std::string g(double x) { return wakro::edit_g(x, 16, 10); }
std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

class ExtraFiles : public MultirunTest {
 protected:
  // Records the value of run r (r, 2r, ... for n values) over two steps.
  void record(std::int32_t n, std::int32_t unit, std::string_view name, int steps = 2) {
    run(ctrl::mmm, steps, [&](int) {
      std::array<std::int32_t, 10> kinds{};
      std::array<double, 10> values{};
      for (int i = 0; i < 10; ++i) values[static_cast<std::size_t>(i)] = ctrl::mmm * (i + 1.0);
      mrunxtrafiles(n, unit, 1, kinds, values, name);
    });
  }
};

TEST_F(ExtraFiles, KindsFollowTheRunsValues) {
  // Values 1, -3, 2 on three steps of 0.5 s: current 2, minimum -3, maximum 2,
  // maximum magnitude 3, integral of the square (1 + 9 + 4) 0.5 = 7.
  ctrl::nrun = 2;
  const double signal[] = {1.0, -3.0, 2.0};
  const std::array<std::int32_t, 5> kinds{0, 1, 2, 3, 4};
  mrunxtralabels(0, "");
  mrunxtralabels(1, "Now");
  mrunxtralabels(5, "A label of twenty chars");
  run(1, 3, [&](int s) {
    const double v = signal[s];
    const std::array<double, 5> values{v, v, v, v, v};
    mrunxtrafiles(5, 7, 1, kinds, values, "losses");
    EXPECT_EQ(storage::nstorf, 11);
  });
  std::string heading = " Run#     " + std::string(176, ' ');
  heading.replace(16, 3, "Now");
  heading.replace(84, 16, "A label of twent");
  EXPECT_EQ(read_file("losses_07.out"), " Multiple Run Output File\n" + heading + "\n     1" + blanks(10) + " " + g(2) +
                                            " " + g(-3) + " " + g(2) + " " + g(3) + " " + g(7) + "\n");
  // Run 2 gets NaN, then 2e10 (past any start value), its maximum NaN only.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  run(2, 2, [&](int s) {
    const double v = s == 0 ? nan : 2.0e10;
    mrunxtrafiles(4, 7, 1, kinds, std::array<double, 4>{v, v, nan, v}, "losses");
  });
  EXPECT_TRUE(contains(read_file("losses_07.out"), "     2" + blanks(10) + " " + g(2e10) + " " + g(2e10) + " " +
                                                        blanks(13) + "NaN " + g(2e10) + "\n"));
}

TEST_F(ExtraFiles, OutOfRangeCountRecordsNothingButReservesItsSlots) {
  ctrl::nrun = 1;
  run(1, 2, [&](int) {
    mrunxtrafiles(11, 7, 1, {}, {}, "none");
    EXPECT_EQ(storage::nstorf, 11);
  });
  EXPECT_FALSE(std::filesystem::exists("none_07.out"));
}

TEST_F(ExtraFiles, NamesCutToTwelveCharactersAndMarkedWithTheRank) {
  using wakro::multirun::extra_file_name;
  EXPECT_EQ(extra_file_name("losses", 7, 0), "losses_07.out");
  EXPECT_EQ(extra_file_name("losses", 7, 2), "losses_07_0002.out");
  EXPECT_EQ(extra_file_name("fifteen_chars_x  ", 42, 0), "fifteen_char_42.out");
  EXPECT_EQ(extra_file_name("aÄÖÜäöü", 7, 0), "aÄÖÜäö_07.out");  // not cut inside "ü"
  EXPECT_EQ(extra_file_name("twelve_chars", 5, 10012), "twelve_chars_05_A012.out");
  EXPECT_EQ(wakro::multirun::base_name("../study/x.y"), "../study/x");  // the folder part kept whole
  EXPECT_EQ(wakro::multirun::rank_code(12), "0012");
  EXPECT_EQ(wakro::multirun::rank_code(3), "0003");
  EXPECT_EQ(wakro::multirun::rank_code(10999), "A999");
  EXPECT_EQ(extra_file_name("m", -2147483647 - 1, -2147483647 - 1), "m_A8_A648.out");
  ctrl::nrun = 1;
  ctrl::rank = 2;
  pmr_consolidate::pmr_count = 4;
  record(1, 7, "losses");
  EXPECT_TRUE(std::filesystem::exists("losses_07_0002.out"));
}

TEST_F(ExtraFiles, UnitOutOfRangeStops) {
  ctrl::nrun = 2;
  int status = 0;
  run(1, 2, [&](int s) {
    if (s > 0) return;
    const std::array<std::int32_t, 1> kinds{0};
    const std::array<double, 1> values{1.0};
    status = fatal_status([&] { mrunxtrafiles(1, 100, 1, kinds, values, "u"); });
  });
  EXPECT_EQ(status, 2000);
  EXPECT_TRUE(contains(console(), " ***ERROR** Recording Unit number is out of range\n")) << console();
  EXPECT_TRUE(contains(console(), "by MRUNXTRA    \n")) << console();
}

TEST_F(ExtraFiles, FileDeletedBetweenRunsIsRecreatedWithAWarning) {
  ctrl::nrun = 3;
  mrunxtralabels(0, "");
  for (std::int32_t r = 1; r <= 3; ++r) {
    ctrl::mmm = r;
    if (r == 3) std::filesystem::remove("gone_01.out");
    record(1, 1, "gone");
  }
  EXPECT_EQ(console(), " ***WARN*** Output file seems to be deleted, recreating it\n");
  EXPECT_EQ(read_file("gone_01.out"), multpl::mrunxtralabel.str() + "\n     3" + blanks(10) + " " + g(3) + "\n");
}

// A folder, or a pipe nobody reads (an open that would wait), at a file's
// name: the stop names the file, the run and the reason.
TEST_F(ExtraFiles, AFileThatCannotBeOpenedIsNamedWithTheRunAndTheReason) {
  wakro_test::Watchdog dog("ExtraFiles.AFileThatCannotBeOpened", 60);
  for (const bool pipe : {false, true}) {
    console_.str("");
    if (!storage::storf.allocated()) storage::storf.allocate(100);  // a stop releases it
    for (const char* name : {"held.out", "held_01.out"})
      ASSERT_TRUE(std::filesystem::remove(name) == pipe &&
                  (pipe ? ::mkfifo(name, 0644) == 0 : std::filesystem::create_directory(name)));
    std::tie(ctrl::nrun, ctrl::mmm) = std::tuple(3, 2);
    EXPECT_EQ(fatal_status([&] { record(1, 1, "held"); }), 2000) << console();
    EXPECT_EQ(fatal_status([&] { run(1, 2, [](int) { mrunoini(0, 1, 1, "held"); }); }), 2000);
    const std::string reason = pipe ? "a pipe that nobody reads" : std::strerror(EISDIR);
    EXPECT_TRUE(contains(console(), "Unable to open multiple-run file held_01.out in run # 2: " + reason + ".\n") &&
                contains(console(), "Unable to open multiple-run file held.out in run # 1: " + reason + ".\n") &&
                contains(console(), "by MRUNOINI    \n")) << console();
  }
}

TEST_F(ExtraFiles, OwnStatisticsLeaveTheLastRunOutWhenAsked) {
  ctrl::nrun = 5;
  mrunxtralabels(0, "");
  mrunxtralabels(1, "Loss");
  pmr_flags(1);
  for (std::int32_t r = 1; r <= 5; ++r) {
    ctrl::mmm = r;
    run(r, 2, [&](int) {
      const std::array<std::int32_t, 1> kinds{0};
      const std::array<double, 1> values{static_cast<double>(r)};
      mrunxtrafiles(1, 3, 1, kinds, values, "own");
      mrunxtrafiles_statistics1(0, 1, 3, 2, "own");
    });
  }
  const auto lines = lines_of(read_file("own_03.out"));
  ASSERT_GE(lines.size(), 19u);
  EXPECT_EQ(lines[6].substr(0, 6), "     5");  // the last row, before the summary
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], "Statistical Summary Based on      4 Runs:");
  // The label field of "(A7,10(A17))": nine blanks, then the label.
  EXPECT_EQ(lines[10], "    " + blanks(9) + "Loss" + blanks(4));
  EXPECT_EQ(lines[13], "Mean:      " + g(2.5) + " ");
  EXPECT_EQ(lines[18], "Probability Density Functions (%) for Variable 1,          Loss   ");
}

TEST_F(ExtraFiles, MissingOrShortFileStopsWithAMessage) {
  ctrl::nrun = 3;
  ctrl::mmm = 3;
  ctrl::lastrun = true;
  e_s1::laststep = true;
  EXPECT_EQ(fatal_status([] { mrunxtrafiles_statistics(1, 0, 1, 4, 10, 1, "absent"); }), 2000);
  EXPECT_TRUE(contains(console(), "absent_04.out")) << console();
  EXPECT_TRUE(contains(console(), "by MRUNXTRA    \n")) << console();

  console_.str("");
  wakro_test::write_file("short_04.out", " Multiple Run Output File\n Run#\n     1  1.0\n");
  EXPECT_EQ(fatal_status([] { mrunxtrafiles_statistics(1, 0, 1, 4, 10, 1, "short"); }), 2000);
  EXPECT_TRUE(contains(console(), " ***ERROR** Unable to write Extra Run File Statistics: the file \n")) << console();
  // A value with a "/" in it is no number.
  console_.str("");
  wakro_test::write_file("slash_04.out",
                         " Multiple Run Output File\n Run#\n     1  1.0\n     2  0.5/25\n     3  1.0\n");
  EXPECT_EQ(fatal_status([] { mrunxtrafiles_statistics(1, 0, 1, 4, 10, 1, "slash"); }), 2000);
  EXPECT_TRUE(contains(console(), " ***ERROR** line 4 is not a run's row of one number per column.\n")) << console();
}

TEST_F(ExtraFiles, MergedFormWithNothingMergedSaysSoAndWritesNothing) {
  ctrl::nrun = 2;
  ctrl::mmm = 2;
  ctrl::lastrun = true;
  e_s1::laststep = true;
  EXPECT_EQ(fatal_status([] { mrunxtrafiles_statistics(1, 0, 1, 4, 10, -1, "nothing"); }), -1);
  EXPECT_EQ(console(), " Undefined Situation in Extra Run File Statistics\n");
  EXPECT_FALSE(std::filesystem::exists("nothing_04.out"));
  // More columns without a density table than columns: refused, nothing read.
  console_.str("");
  EXPECT_EQ(fatal_status([] { mrunxtrafiles_statistics(1, 2, 1, 4, 10, 1, "absent"); }), -1);
  EXPECT_EQ(console(), " ***ERROR** Extra Run File Statistics: 2 columns without a density table, \n"
                       " ***ERROR** but only 0 Up To 1 are Allowed!\n");
}

TEST_F(ExtraFiles, LastRankRegistersEachFileOnceAndRefusesTheHundredAndFirst) {
  ctrl::nrun = 1;
  ctrl::rank = 2;
  pmr_consolidate::pmr_count = 2;
  e_warn::comp_id1 = 4;
  e_warn::comp_id2 = 9;
  record(3, 7, "a_name_longer_than_twelve");
  record(3, 7, "a_name_longer_than_twelve");  // the same component again: no new entry
  EXPECT_EQ(pmr_consolidate::lpmr_extra_files, 1);
  ASSERT_EQ(pmr_consolidate::num_entries, 1);
  const auto& e = pmr_consolidate::file_list(1);
  EXPECT_EQ(e.name.trimmed(), "a_name_longe");
  EXPECT_EQ(e.comp_id1, 4);
  EXPECT_EQ(e.comp_id2, 9);
  EXPECT_EQ(e.unit, 7);
  EXPECT_EQ(e.nvalues, 3);

  for (int k = 2; k <= 100; ++k) {
    e_warn::comp_id1 = 100 + k;
    record(1, 7, "many");
  }
  EXPECT_EQ(pmr_consolidate::num_entries, 100);
  console_.str("");
  e_warn::comp_id1 = 999;
  record(1, 7, "many");
  EXPECT_EQ(pmr_consolidate::num_entries, 100);
  EXPECT_TRUE(contains(console(), "Only Up To 100 Files are Merged; this file is left out of the merge.")) << console();
  e_warn::comp_id1 = e_warn::comp_id2 = 0;
}

}  // namespace
}  // namespace multirun_test
