// The merge of a parallel multiple run, in this process: the files of two
// ranks written by the recording routines, merged by the last rank, with the
// statistics of the merged files; the last run of every rank left out of
// merged extra files; refused rank counts and missing rank files.
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>

#include "diag/format.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "multirun/consolidate.h"
#include "multirun/extrafiles.h"
#include "multirun/mruno.h"
#include "multirun/run_end.h"
#include "multirun_fixture.h"

namespace multirun_test {
namespace {

using wakro_test::fatal_status;
using wakro_test::read_file;

class Merge : public MultirunTest {
 protected:
  // One rank's process: three runs of the multiple-run file "par" (two
  // inputs, one output) and the extra file "extra" unit 5, for ranks of 2.
  void rank_process(std::int32_t rank) {
    wakro::multirun::reset_multirun_state();
    ctrl::rank = rank;
    pmr_consolidate::pmr_count = 2;
    ctrl::nrun = 3;
    mrunxtralabels(0, "");
    mrunxtralabels(1, "E");
    run_all(2, [&](int) {
      mrunvini(3, 1, 3);
      mrunoini(2, 1, 2, "par");
      double a = 0.0;
      std::int32_t b = 0;
      mrunvr(0, 0, 0, 1, 2, 1, 2, 3, 1, 0, 1.0, 1.0, 0.0, a, "A");
      mrunvi(0, 0, 0, 2, 2, 1, 2, 1, 1, 0, rank, 0, 0.0, b, "B");
      mrunor(0, 0, 0, 1, 2, 1, 2, 0, 1, a * b, "Out");
      const std::array<std::int32_t, 1> kinds{0};
      const std::array<double, 1> values{10.0 * rank + ctrl::mmm};
      mrunxtrafiles(1, 5, 1, kinds, values, "extra");
    });
  }
  // The driver's merge on the last rank, after its last run.
  void merge_on_last_rank() {
    using namespace pmr_consolidate;
    ASSERT_EQ(pmr_mrun, 1);
    pmr_mrun_consolidate();
    mrunxtrafiles_statistics(1, pmr_mrun_nv, pmr_mrun_nm, 1, pmr_mrun_ndiv, 0, pmr_mrun_filename.view());
    for (std::int32_t k = 1; k <= num_entries; ++k) {
      pmr_mrun_extrafiles_consolidate(file_list(k).unit, file_list(k).name);
      mrunxtrafiles_statistics(1, 0, file_list(k).nvalues, file_list(k).unit, 10, -1, file_list(k).name.view());
    }
  }
};

TEST_F(Merge, TwoRanksOfThreeRunsMergeIntoOneFileWithItsSummary) {
  rank_process(1);
  rank_process(2);
  ASSERT_EQ(fatal_status([&] { merge_on_last_rank(); }), -1) << console() << read_file("extra_05.out");
  const auto own1 = lines_of(read_file("par_0001.out"));
  const auto own2 = lines_of(read_file("par_0002.out"));
  const auto merged = lines_of(read_file("par.out"));
  ASSERT_GE(merged.size(), 12u);
  EXPECT_EQ(merged[0], " Multiple Run Output File");
  EXPECT_EQ(merged[1], "Rank#" + own1[1]);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(merged[static_cast<std::size_t>(2 + k)], "0001   " + own1[static_cast<std::size_t>(2 + k)]);
    EXPECT_EQ(merged[static_cast<std::size_t>(5 + k)], "0002   " + own2[static_cast<std::size_t>(2 + k)]);
  }
  EXPECT_EQ(merged[8], "");
  EXPECT_EQ(merged[9], "Statistical Summary Based on      6 Runs:");
  // Outputs a b: 1 2 3 (rank 1) and 2 4 6 (rank 2): mean 3.
  EXPECT_EQ(merged[14], "Mean:      " + wakro::edit_g(2.0, 16, 10) + " " + wakro::edit_g(1.5, 16, 10) + " " +
                            wakro::edit_g(3.0, 16, 10) + " ");
  // Only the output column gets a density table, labelled in 20 columns.
  const std::string text = read_file("par.out");
  EXPECT_TRUE(contains(text, "Probability Density Functions (%) for Variable 1, " + std::string(17, ' ') + "Out\n")) << text;
  EXPECT_FALSE(contains(text, "for Variable 2")) << text;
  EXPECT_EQ(pmr_consolidate::pmr_mrun_done, 1);

  const auto extra = lines_of(read_file("extra_05.out"));
  ASSERT_GE(extra.size(), 10u);
  EXPECT_EQ(extra[1], "Rank#  " + std::string(wakro::trim_right(multpl::mrunxtralabel.view())));
  EXPECT_EQ(extra[2].substr(0, 10), "0001     1");
  EXPECT_EQ(extra[7].substr(0, 10), "0002     3");
  EXPECT_EQ(extra[9], "Statistical Summary Based on      6 Runs:");
}

TEST_F(Merge, ExcludedLastRunsAreLeftOutOfMergedExtraFiles) {
  rank_process(1);
  rank_process(2);
  pmr_flags(1);
  pmr_consolidate::pmr_mrun = 0;  // no multiple-run file to merge first
  pmr_mrun_extrafiles_consolidate(5, wakro::FixedText<30>("extra"));
  mrunxtrafiles_statistics(1, 0, 1, 5, 10, -1, "extra");
  const auto lines = lines_of(read_file("extra_05.out"));
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[2].substr(0, 10), "0001     1");
  EXPECT_EQ(lines[3].substr(0, 10), "0001     2");
  EXPECT_EQ(lines[4].substr(0, 10), "0002     1");
  EXPECT_EQ(lines[5].substr(0, 10), "0002     2");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], "Statistical Summary Based on      4 Runs:");
}

TEST_F(Merge, ExcludedLastRunsAreLeftOutOfTheMergedOutputFileToo) {
  rank_process(1);
  rank_process(2);
  pmr_flags(1);
  pmr_mrun_consolidate();
  mrunxtrafiles_statistics(1, 2, 3, 1, 2, 0, "par");
  const auto lines = lines_of(read_file("par.out"));
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[2].substr(0, 12), "0001       1");
  EXPECT_EQ(lines[3].substr(0, 12), "0001       2");
  EXPECT_EQ(lines[4].substr(0, 12), "0002       1");
  EXPECT_EQ(lines[5].substr(0, 12), "0002       2");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], "Statistical Summary Based on      4 Runs:");
}

// Rank 2 stopped in run 2 (count 4 lowered to 2): X = 1 2 3 4 10, or 1 2 3 10 without last runs.
TEST_F(Merge, RanksStoppedEarlyAreSummarisedOverTheRowsMerged) {
  for (const auto& [nrun, before_stop, exclude, rows] : {std::array{4, 0, 0, 6}, std::array{2, 4, 1, 5}}) {
    const std::string head = " Multiple Run Output File\n  Run #  X\n";
    wakro_test::write_file("s_0001.out", head + "    1  1.0\n    2  2.0\n    3  3.0\n    4  4.0\n\nThe rest\n");
    wakro_test::write_file("s_0002.out", head + "    1  10.0\n    2  20.0   (cut short)\n");
    std::tie(pmr_consolidate::pmr_count, ctrl::rank, pmr_consolidate::pmr_mrun, ctrl::nrun) = std::tuple(2, 2, 1, nrun);
    std::tie(pmr_consolidate::pmr_mrun_filename, pmr_consolidate::pmr_mrun_done) = std::tuple("s", 0);
    std::tie(wakro::multirun::runs_before_stop, e_s1::laststep, ctrl::lastrun) = std::tuple(before_stop, true, true);
    pmr_flags(exclude);
    pmr_mrun_consolidate();
    mrunxtrafiles_statistics(1, 0, 1, 1, 2, 0, "s");
    const std::string summary = "0002       2  20.0   (cut short)\n\nStatistical Summary Based on      " +
                                std::to_string(rows - 1) + " Runs:\nRuns cut short and left out of the summary:      1\n";
    EXPECT_TRUE(contains(read_file("s.out"), summary) &&
                contains(read_file("s.out"), "\nMean:      " + wakro::edit_g(4.0, 16, 10) + " \n")) << read_file("s.out");
  }
}

TEST_F(Merge, OptimumNoticeAndRankHeadingsStayOut) {
  wakro_test::write_file("o_0001.out",
                         " Multiple Run Output File\n  Run #   X\n    1   1.0\n\nThe optimum occurred for run #  1\n"
                         "  Run #   X\n    2   1.0\n");
  wakro_test::write_file("o_0002.out", " Multiple Run Output File\n  Run #   Y\n    1   2.0\n");
  pmr_consolidate::pmr_count = 2;
  pmr_consolidate::pmr_mrun_filename = "o.whatever";
  ctrl::nrun = 2;
  pmr_flags(1);  // the optimum search's rows end before the repeated last run
  pmr_mrun_consolidate();
  EXPECT_EQ(read_file("o.out"), " Multiple Run Output File\nRank#  Run #   X\n0001       1   1.0\n0002       1   2.0\n");
}

TEST_F(Merge, MissingRankFileIsNamedAndStops) {
  wakro_test::write_file("m_0001.out", " Multiple Run Output File\n  Run #\n    1   1.0\n");
  pmr_consolidate::pmr_count = 2;
  pmr_consolidate::pmr_mrun_filename = "m";
  EXPECT_EQ(fatal_status([] { pmr_mrun_consolidate(); }), 2000);
  EXPECT_TRUE(contains(console(), "the file m_0002.out of rank 2 is missing.")) << console();
  EXPECT_TRUE(contains(console(), "by PMR_MERGE   \n")) << console();
  // A merged file on a full device: the first rank's lines already fail.
  std::filesystem::remove("m.out");
  std::filesystem::create_symlink("/dev/full", "m.out");
  EXPECT_TRUE(fatal_status([] { pmr_mrun_consolidate(); }) == 2000 &&
              contains(console(), "multiple-run file m.out in the merge of the parallel runs: " +
                                      std::string(std::strerror(ENOSPC)) + "; no row is complete.\n")) << console();
  ASSERT_TRUE(std::filesystem::remove("m.out") && std::filesystem::create_directory("m.out"));
  EXPECT_TRUE(fatal_status([] { pmr_mrun_consolidate(); }) == 2000 &&
              contains(console(), " ***ERROR** Unable to open multiple-run file m.out in the merge of the parallel "
                                  "runs: " + std::string(std::strerror(EISDIR)) + ".\n")) << console();
}

TEST_F(Merge, RankCountWhoseCodesRepeatIsRefused) {
  pmr_consolidate::pmr_count = 11000;
  pmr_consolidate::pmr_mrun_filename = "big";
  EXPECT_EQ(fatal_status([] { pmr_mrun_consolidate(); }), 2000);
  EXPECT_TRUE(contains(console(), "Only Up To 10999 Ranks Have Distinct Rank Codes.")) << console();
  EXPECT_FALSE(std::filesystem::exists("big.out"));
}

}  // namespace
}  // namespace multirun_test
