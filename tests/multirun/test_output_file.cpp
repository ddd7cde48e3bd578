// The multiple-run output file byte for byte: rows and headings, the summary
// with its levels, the density tables, the optimum notice, the limits of the
// set-up and the guarded statistics (one run, no runs, complex columns).
#include <array>
#include <csignal>
#include <cmath>
#include <complex>
#include <fstream>
#include <limits>
#include <functional>
#include <vector>
#include <cstdint>
#include <string>

#include "app/driver.h"
#include "app/seams.h"
#include "app/stoprun.h"
#include "diag/format.h"
#include "model/assorc.h"
#include "model/fnames.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "multirun/mruno.h"
#include "multirun/run_end.h"
#include "multirun/statistics.h"
#include "multirun_fixture.h"

namespace multirun_test {
namespace {

using wakro_test::fatal_status;
using wakro_test::read_file;

std::string g(double x) { return wakro::edit_g(x, 16, 10); }
std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }
std::string i5(std::int32_t v) { return wakro::edit_i(v, 5); }

class OutputFile : public MultirunTest {};

TEST_F(OutputFile, RowsHeadingsSummaryDensityAndSeedByteForByte) {
  // One integer input 1, 2, 3 and one real output 1, 2, 3 over three runs,
  // two density divisions, seed 5.
  ctrl::nrun = 3;
  run_all(4, [&](int) {
    mrunvini(3, 1, 5);
    mrunoini(1, 1, 2, "study.anything");
    std::int32_t in = 0;
    mrunvi(0, 0, 0, 1, 1, 1, 2, 3, 1, 0, 1, 1, 0.0, in, "In");
    mrunor(0, 0, 0, 1, 1, 1, 2, 0, 1, static_cast<double>(ctrl::mmm), "Out");
  });
  EXPECT_EQ(multpl::mrunfilename.trimmed(), "study.out");
  const std::string heading = blanks(15) + "In" + blanks(14) + "Out";
  std::string expected = " Multiple Run Output File\n  Run #  " + heading + "\n";
  for (int r = 1; r <= 3; ++r) expected += i5(r) + blanks(8) + " " + i5(r) + blanks(11) + " " + g(r).substr(0, 12) + "\n";
  expected += "\nStatistical Summary Based on      3 Runs:\n-----------------------------------------\n";
  expected += "      " + heading + "\n";
  expected += "Minimum:   " + g(1) + " " + g(1) + " \n";
  expected += "Maximum:   " + g(3) + " " + g(3) + " \n";
  expected += "Mean:      " + g(2) + " " + g(2) + " \n";
  expected += "Std Dev:   " + g(1) + " " + g(1) + " \n";
  expected += " 2% Level: -.5374894115E-01 -.5374894115E-01 \n";
  expected += "98% Level: " + g(4.053748941152) + " " + g(4.053748941152) + " \n";
  expected += "\nProbability Density Functions (%) for Variable 1, Out" + blanks(17) + "\n";
  expected += "-------------------------------------------------------------------\n";
  expected += "Centre of Range     Probability(%)   Cumulative Prob.(%)   100-Cumulative Prob.\n";
  expected += " 1.500000000         33.33333333         33.33333333         66.66666667        \n";
  expected += " 2.500000000         66.66666667         100.0000000         0.000000000        \n";
  expected += "\nInitial Seed Used in Random Number Generation\n---------------------------------------------\n";
  expected += "Initial Seed\n" + blanks(11) + "5\n";  // free format: a blank, then I11
  EXPECT_EQ(read_file("study.out"), expected);
}

TEST_F(OutputFile, RowOfTwoInputsAndARealOutput) {
  ctrl::nrun = 3;
  run_all(3, [&](int) {
    mrunoini(2, 1, 10, "row");
    double a = 0.0;
    std::int32_t b = 0;
    mrunvr(0, 0, 0, 1, 2, 1, 10, 3, 1, 0, 0.5, 0.5, 0.0, a, "Alpha");
    mrunvi(0, 0, 0, 2, 2, 1, 10, 1, 1, 0, 3, 1, 0.0, b, "Beta");
    mrunor(0, 0, 0, 1, 2, 1, 10, 0, 1, ctrl::mmm + 1.0, "A label longer than fifteen");
  });
  const auto lines = lines_of(read_file("row.out"));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[1], "  Run #  " + blanks(12) + "Alpha" + blanks(13) + "Beta" + blanks(2) + "A label longer");
  EXPECT_EQ(lines[2], "    1" + blanks(8) + " 0.5000000000    " + "     3" + blanks(11) + "  2.000000000");
  EXPECT_EQ(lines[4], "    3" + blanks(8) + "  1.500000000    " + "     3" + blanks(11) + "  4.000000000");
}

TEST_F(OutputFile, MinimumSearchNamesTheBestRunAndRepeatsIt) {
  // Output values 3, 1, 1 in runs 1..3 of four: run 2 is the best (a tie keeps
  // the earlier run); run 4 repeats its input 20.
  ctrl::nrun = 4;
  const double outputs[] = {3.0, 1.0, 1.0, 9.0};
  run_all(3, [&](int) {
    mrunoini(1, 1, 2, "best");
    std::int32_t in = 0;
    mrunvi(1, 1, 0, 1, 1, 1, 2, 3, 1, 0, 10, 10, 0.0, in, "In");
    mrunor(1, 1, 0, 1, 1, 1, 2, 0, 1, outputs[ctrl::mmm - 1], "Out");
  });
  EXPECT_EQ(multpl::optimumrun, 2);
  const auto lines = lines_of(read_file("best.out"));
  ASSERT_GE(lines.size(), 11u);
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "The optimum occurred for run #      2 and has been repeated for the last run below:");
  EXPECT_EQ(lines[7], lines[1]);
  EXPECT_EQ(lines[8], "    4" + blanks(8) + "    20" + blanks(11) + "  9.000000000");
  EXPECT_EQ(lines[10], "Statistical Summary Based on      3 Runs:");
}

// The set-up's limits, and the same counts handed to the output routines,
// which also refuse counts other than the set-up's (routine 0 the set-up
// itself; otherwise the set-up with 1 input, 1 output and 10 divisions, then
// on the last step the routine: 1 mrunor, 2 mruno, 3 mrunvr).
TEST_F(OutputFile, SetUpLimitsStopWithTheirMessages) {
  struct Case {
    std::int32_t nv, nm, ndiv, role;
    const char* first;
    const char* last;
    int routine = 0;
    const char* tag = "MRUNOINI    ";
  };
  const Case cases[] = {
      {1, 1, 101, 0, "Too Many Probability Density Divisions! ", "Only Up To 100 are Allowed!"},
      {1, 1, 0, 0, "Too Few Probability Density Divisions! ", "At Least 1 is Required!"},
      {7, 1, 10, 0, "Too Many Multiple Run Variables! ", "Only Up To 6 Variables Allowed!"},
      {1, 7, 10, 0, "Too Many Multiple Run Output Variables! ", "Only Up To 6 Variables Allowed!"},
      {1, 1, 10, 1, "Multiple Run component in a Master project ", "component in Slave projects. "},
      {7, 1, 10, 0, "Multiple run output: MRUNOR was handed 7 input variables; ", "Only Up To 6 Variables Allowed!", 1,
       "MRUNOR      "},
      {1, -1, 10, 0, "Multiple run output: MRUNOR was handed -1 output variables; ",
       "Only Up To 6 Variables Allowed!", 1, "MRUNOR      "},
      {1, 1, 0, 0, "Multiple run output: MRUNO was handed 0 probability density divisions; ",
       "Only 1 Up To 100 are Allowed!", 2, "MRUNO       "},
      {1, 2, 10, 0, "Multiple run output: MRUNO was handed 1 input variables, 2 output variables and 10 density divisions, ",
       "but the multiple run output file was set up with 1, 1 and 10!", 3, "MRUNO       "},
  };
  for (const Case& c : cases) {
    console_.str("");
    ctrl::mruntype = c.role;
    int status = 0;
    run(1, 2, [&](int s) {
      if (c.routine == 0) {
        if (s == 0) status = fatal_status([&] { mrunoini(c.nv, c.nm, c.ndiv, "limits"); });
        return;
      }
      mrunoini(1, 1, 10, "limits");
      double v = 0.0;
      if (s == 1 && status == 0)
        status = fatal_status([&] {
          if (c.routine == 1) mrunor(0, 0, 0, 1, c.nv, c.nm, c.ndiv, 0, 1, 1.0, "x");
          if (c.routine == 2) mruno(0, 0, 0, -1, wakro::multirun::kReal, c.nv, c.nm, c.ndiv, false, 0, 1.0, {}, "x");
          if (c.routine == 3) mrunvr(0, 0, 0, 1, c.nv, c.nm, c.ndiv, 1, 1, 0, 1.0, 1.0, 0.0, v, "x");
        });
    });
    ctrl::mruntype = 0;
    EXPECT_EQ(status, 2000) << c.first;
    const auto lines = lines_of(console());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(" ***ERROR** ") + c.first);
    EXPECT_TRUE(contains(console(), std::string(" ***ERROR** ") + c.last + "\n")) << console();
    EXPECT_TRUE(contains(console(), std::string("Abnormal termination of WAKRO by ") + c.tag + "\n")) << console();
  }
}

TEST_F(OutputFile, OptimisedOutputMustBeOneOfTheOutputs) {
  ctrl::nrun = 2;
  int status = 0;
  run(1, 2, [&](int s) {
    if (s > 0) return;
    mrunoini(0, 1, 2, "opt");
    status = fatal_status([] { mrunor(1, 2, 0, 1, 0, 1, 2, 0, 1, 1.0, "o"); });
  });
  EXPECT_EQ(status, 2000);
  EXPECT_TRUE(contains(console(), " ***ERROR** Optimum Run: the optimised output number must be \n")) << console();
}

TEST_F(OutputFile, ComplexColumnIsSummarisedByItsMagnitude) {
  ctrl::nrun = 2;
  run_all(3, [&](int) {
    mrunoini(0, 1, 1, "cplx");
    const double k = ctrl::mmm;
    mrunoc(0, 0, 0, 1, 0, 1, 1, 0, 1, {3.0 * k, 4.0 * k}, "Z");
  });
  const auto lines = lines_of(read_file("cplx.out"));
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[1], "  Run #  " + blanks(16) + "Z");
  EXPECT_EQ(lines[2], "    1" + blanks(8) + " (" + g(3) + "," + g(4) + ")");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "Statistical Summary Based on      2 Runs:");
  EXPECT_EQ(lines[8], "Minimum:   " + g(5) + " ");
  EXPECT_EQ(lines[9], "Maximum:   " + g(10) + " ");
}

TEST_F(OutputFile, OneRunHasNoSpreadAndAnOptimumSearchOfOneRunNoSummary) {
  ctrl::nrun = 1;
  run(1, 2, [&](int) {
    mrunoini(0, 1, 3, "single");
    mrunor(0, 0, 0, 1, 0, 1, 3, 0, 1, 2.5, "x");
  });
  const std::string one = read_file("single.out");
  EXPECT_TRUE(contains(one, "Std Dev:   " + g(0) + " \n")) << one;
  EXPECT_TRUE(contains(one, " 2% Level: " + g(2.5) + " \n")) << one;
  // Every run falls in the last bucket when all values are equal.
  EXPECT_TRUE(contains(one, g(0) + "    " + g(0) + "    " + g(100) + "    ")) << one;

  wakro::multirun::reset_multirun_state();
  run(1, 2, [&](int) {
    mrunoini(1, 1, 3, "lonely");
    double v = 0.0;
    mrunvr(1, 1, 0, 1, 1, 1, 3, 2, 1, 0, 7.0, 1.0, 0.0, v, "v");
    EXPECT_EQ(v, 7.0);  // no best run to repeat: the sweep's value
    mrunor(1, 1, 0, 1, 1, 1, 3, 0, 1, 2.5, "x");
  });
  const std::string none = read_file("lonely.out");
  EXPECT_FALSE(contains(none, "Statistical Summary")) << none;
  EXPECT_TRUE(contains(none, "\nNo optimum: no run before the last gave a finite value of the optimised output; "
                            "the last run below repeats none.\n  Run #")) << none;
  EXPECT_FALSE(contains(none, "The optimum occurred")) << none;
  EXPECT_TRUE(contains(none, "Initial Seed\n")) << none;
}

TEST_F(OutputFile, RankNamesTheFileAndTheLastRankRegistersItForTheMerge) {
  ctrl::nrun = 1;
  ctrl::rank = 3;
  pmr_consolidate::pmr_count = 3;
  run(1, 2, [&](int s) {
    if (s == 0) mrunoini(2, 1, 7, "case.out");
  });
  EXPECT_EQ(multpl::mrunfilename.trimmed(), "case_0003.out");
  EXPECT_EQ(pmr_consolidate::pmr_mrun, 1);
  EXPECT_EQ(pmr_consolidate::pmr_mrun_filename.trimmed(), "case");
  EXPECT_EQ(pmr_consolidate::pmr_mrun_nv, 2);
  EXPECT_EQ(pmr_consolidate::pmr_mrun_nm, 3);
  EXPECT_EQ(pmr_consolidate::pmr_mrun_ndiv, 7);
}

}  // namespace
}  // namespace multirun_test

namespace multirun_test {
namespace {

// The running value of each recorder and kind over a run whose value goes
// 1, -3, 2 (true, false, true for the logical) with steps of 0.5 s; a case
// without varied parameters, whose first output starts the row.
TEST_F(OutputFile, RecordersKeepTheirRunningValuesByKind) {
  struct Case {
    const char* recorder;
    std::function<void(std::int32_t kind, int step)> call;
    std::array<double, 5> expected;  // kinds 0..4
  };
  const double signal[] = {1.0, -3.0, 2.0};
  const std::vector<Case> cases = {
      {"mrunor", [&](std::int32_t k, int s) { mrunor(0, 0, 0, k + 1, 0, 5, 1, k, 1, signal[s], "r"); },
       {2, -3, 2, 3, 7}},
      {"mrunoi",
       [&](std::int32_t k, int s) { mrunoi(0, 0, 0, k + 1, 0, 5, 1, k, 1, static_cast<std::int32_t>(signal[s]), "i"); },
       {2, -3, 2, 3, 6}},  // the integral truncated every step: 0, 4, 6
      {"mrunob", [&](std::int32_t k, int s) { mrunob(0, 0, 0, k + 1, 0, 5, 1, k, 1, signal[s] > 0.0, "b"); },
       {1, 0, 1, 1, 0}},
      {"mrunoc", [&](std::int32_t k, int s) { mrunoc(0, 0, 0, k + 1, 0, 5, 1, k, 1, {signal[s], 0.0}, "c"); },
       {2, 1, 3, 3, 7}},  // kind 0 a complex column, read back as its magnitude
  };
  for (const Case& c : cases) {
    wakro::multirun::reset_multirun_state();
    ctrl::nrun = 1;
    run(1, 3, [&](int s) {
      mrunoini(0, 5, 1, c.recorder);
      for (std::int32_t k = 0; k <= 4; ++k) c.call(k, s);
    });
    const auto lines = lines_of(read_file(std::string(c.recorder) + ".out"));
    ASSERT_GE(lines.size(), 3u) << c.recorder;
    std::array<double, 5> got{};
    ASSERT_TRUE(wakro::multirun::read_row_values(lines[2], 1, got)) << lines[2];
    for (std::size_t k = 0; k < 5; ++k) EXPECT_DOUBLE_EQ(got[k], c.expected[k]) << c.recorder << " kind " << k;
  }
}

// A step on which enable is not 1 leaves the running value as it was.
TEST_F(OutputFile, DisabledStepsDoNotUpdate) {
  ctrl::nrun = 1;
  run(1, 3, [&](int s) {
    mrunoini(0, 1, 1, "enable");
    mrunor(0, 0, 0, 1, 0, 1, 1, 2, s == 1 ? 1 : 0, s * 10.0, "m");
  });
  const auto lines = lines_of(read_file("enable.out"));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "    1" + blanks(8) + "  10.00000000");
}

}  // namespace
}  // namespace multirun_test

namespace multirun_test {
namespace {

// A run added after the last one (the design environment decides on further
// runs) appends its row after the summary instead of losing it; recording
// without a file set up stops with a message.
TEST_F(OutputFile, RunAddedAfterTheLastContinuesTheFile) {
  ctrl::nrun = 1;
  run(1, 2, [&](int) {
    mrunoini(0, 1, 1, "more");
    mrunor(0, 0, 0, 1, 0, 1, 1, 0, 1, 1.0, "x");
  });
  ctrl::nrun = 2;
  run(2, 2, [&](int) {
    mrunoini(0, 1, 1, "more");
    mrunor(0, 0, 0, 1, 0, 1, 1, 0, 1, 2.0, "x");
  });
  const auto lines = lines_of(read_file("more.out"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[2], "    1" + blanks(8) + "  1.000000000");
  const std::string text = read_file("more.out");
  const std::size_t first = text.find("Statistical Summary Based on      1 Runs:");
  const std::size_t row2 = text.find("\n    2" + blanks(8) + "  2.000000000\n");
  const std::size_t second = text.find("Statistical Summary Based on      2 Runs:");
  ASSERT_NE(second, std::string::npos) << text;
  EXPECT_LT(first, row2);
  EXPECT_LT(row2, second);
  EXPECT_TRUE(contains(text.substr(second), "Mean:      " + g(1.5) + " \n")) << text;

  wakro::multirun::reset_multirun_state();
  console_.str("");
  int status = 0;
  run(1, 2, [&](int s) {
    if (s == 1) status = fatal_status([] { mrunor(0, 0, 0, 1, 0, 1, 1, 0, 1, 1.0, "x"); });
  });
  EXPECT_EQ(status, 2000);
  EXPECT_TRUE(contains(console(), " ***ERROR** Multiple run output: the output file is not open; \n")) << console();
}

// A row that is a run number and a "/" (line 24: after row 1, its summary of
// 20 lines with one density bucket and the seed) stops the statistics.
TEST_F(OutputFile, RowThatIsNotOneNumberPerColumnStopsTheStatistics) {
  auto one_run = [&](std::int32_t r) {
    run(r, 2, [&](int) {
      mrunoini(0, 1, 1, "cut");
      mrunor(0, 0, 0, 1, 0, 1, 1, 0, 1, 1.0, "x");
    });
  };
  one_run(1);
  std::ofstream("cut.out", std::ios::app) << "    2 /\n";
  ctrl::nrun = 3;
  EXPECT_EQ(fatal_status([&] { one_run(3); }), 2000);
  EXPECT_TRUE(contains(console(), " ***ERROR** an error during reading of multiple run output file!\n ***ERROR** "
                                  "cut.out, line 24: a run number without one number for each of its 1 columns.\n"))
      << console();
}

}  // namespace
}  // namespace multirun_test

namespace multirun_test {
namespace {

// Every value the writers give reads back: numbers (three-digit exponents
// too, written without "E"), a complex pair as its magnitude, NaN and the
// infinities as written, an integer too wide for its field (asterisks) as NaN.
TEST_F(OutputFile, RowsReadBackEveryValueTheWritersGive) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::string field;
    double expected;
  };
  const Case cases[] = {
      {g(2.5), 2.5},          {g(nan), nan},         {g(inf), inf},
      {g(-inf), -inf},        {"Inf", inf},          {"-Inf", -inf},
      {wakro::edit_i(400000000, 5), nan},            {"(" + g(3) + "," + g(4) + ")", 5.0},
      {"(" + g(nan) + "," + g(4) + ")", nan},        {"(" + g(-inf) + "," + g(1) + ")", inf},
      {g(1.0e150), 1.0e150},  {g(-1.0e-150), -1.0e-150},
      // The largest doubles are written with their 10th digit cut, not rounded up past the range.
      {"0.1797693134+309", 1.797693134e308},
      {g(wakro::multirun::readable(-1.7976931345e308)), -1.797693134e308},
  };
  for (const Case& c : cases) {
    std::array<double, 2> v{};
    ASSERT_TRUE(wakro::multirun::read_row_values(i5(7) + blanks(8) + " " + c.field + " 1.0", 1, v)) << c.field;
    if (std::isnan(c.expected))
      EXPECT_TRUE(std::isnan(v[0])) << c.field;
    else
      EXPECT_EQ(v[0], c.expected) << c.field;
    EXPECT_EQ(v[1], 1.0) << c.field;
  }
  EXPECT_EQ(g(wakro::multirun::readable(std::numeric_limits<double>::max())), "0.1797693134+309");
  // Not one whole number: a "/" inside, extra words in a pair.
  for (const char* row : {"    7   NaNs", "    2 /", "    7   0.5/25", "    7   (3.0, 4.0 garbage)"}) {
    std::array<double, 1> v{};
    EXPECT_FALSE(wakro::multirun::read_row_values(row, 1, v)) << row;
  }
}

// Output 1 gives 1, NaN, 3 and Infinity over four runs, output 2 gives 1..4:
// the set goes on, each run is said, and output 1's figures are those of 1
// and 3 alone (sigma sqrt((2 10 - 16) / 2)), its table over 2 runs.
TEST_F(OutputFile, NotFiniteValuesAreSaidAndLeftOutOfTheirColumn) {
  const double outputs[] = {1.0, std::numeric_limits<double>::quiet_NaN(), 3.0,
                            std::numeric_limits<double>::infinity()};
  ctrl::nrun = 4;
  run_all(2, [&](int) {
    mrunoini(0, 2, 2, "nan");
    mrunor(0, 0, 0, 1, 0, 2, 2, 0, 1, outputs[ctrl::mmm - 1], "a");
    mrunor(0, 0, 0, 2, 0, 2, 2, 0, 1, ctrl::mmm * 1.0, "b");
  });
  const std::string text = read_file("nan.out");
  const std::string lines[] = {
      "Statistical Summary Based on      4 Runs:",
      "Minimum:   " + g(1) + " " + g(1) + " ",
      "Maximum:   " + g(3) + " " + g(4) + " ",
      "Mean:      " + g(2) + " " + g(2.5) + " ",
      "Std Dev:   " + g(std::sqrt(2.0)) + " " + g(std::sqrt(20.0 / 12.0)) + " ",
      "Runs used: " + blanks(15) + "2 " + blanks(15) + "4 ",
      " 1.500000000         50.00000000         50.00000000         50.00000000        ",
      " 2.500000000         50.00000000         100.0000000         0.000000000        ",
      "    2" + blanks(8) + blanks(14) + "NaN" + "  2.000000000"};
  for (const std::string& line : lines) EXPECT_TRUE(contains(text, "\n" + line + "\n")) << line << "\n" << text;
  EXPECT_TRUE(contains(console(), " ***WARN*** Multiple run output: run 2 recorded NaN for a; \n"
                                  " ***WARN*** that value is left out of the statistics of its column.\n"))
      << console();
  EXPECT_TRUE(contains(console(), "run 4 recorded Infinity for a; ")) << console();
}

// A minimum search over three runs without inputs. Output 1 is a maximum and
// output 5 a minimum magnitude that got only NaN in run 1: NaN in its row,
// used by one run, never the optimum (run 2 is). Output 2 is a minimum of
// 1e31 and 2e31 in run 1, of 2e31 and 4e31 in run 2 (no start value shows),
// output 3 the largest double (written readable, read back), output 4 1e308
// twice (mean 1e308, not an overflow).
TEST_F(OutputFile, ExtremeValuesAndARunWithoutAMaximum) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ctrl::nrun = 3;
  run_all(2, [&](int s) {
    mrunoini(0, 5, 1, "extreme");
    const double r = ctrl::mmm;
    mrunor(1, 1, 0, 1, 0, 5, 1, 2, 1, r == 1 ? nan : 6.0 - 2.0 * s, "max");
    mrunor(1, 1, 0, 2, 0, 5, 1, 1, 1, r * 1.0e31 * (1 + s), "a");
    mrunor(1, 1, 0, 3, 0, 5, 1, 0, 1, std::numeric_limits<double>::max(), "b");
    mrunor(1, 1, 0, 4, 0, 5, 1, 0, 1, 1.0e308, "c");
    const std::complex<double> z = r == 1 ? std::complex<double>(nan, 0.0) : std::complex<double>(3, 4) * (1.0 + s);
    mrunoc(1, 1, 0, 5, 0, 5, 1, 1, 1, z, "z");
  });
  EXPECT_EQ(multpl::optimumrun, 2);
  const std::string most = " 0.1797693134+309 " + g(1.0e308) + " ";
  const std::string text = read_file("extreme.out");
  for (const std::string& line :
       {"    1" + blanks(22) + "NaN " + g(1.0e31) + most + blanks(13) + "NaN\n",
        "Minimum:   " + g(6) + " " + g(1.0e31) + most + g(5) + " \n",
        "Maximum:   " + g(6) + " " + g(2.0e31) + most + g(5) + " \n",
        "Mean:      " + g(6) + " " + g(1.5e31) + most + g(5) + " \n",
        "Runs used: " + blanks(15) + "1 " + blanks(15) + "2 " + blanks(15) + "2 " + blanks(15) + "2 " + blanks(15) +
            "1 \n"})
    EXPECT_TRUE(contains(text, "\n" + line)) << line << "\n" << text;
}

// The spread of values whose squares overflow or underflow, and the mean of
// values whose sum overflows: sqrt(2) x and 2 x for x and 3 x.
TEST_F(OutputFile, SpreadAndMeanOfVeryLargeAndVerySmallValues) {
  for (const double x : {1.0e154, 1.0e200, 1.0e-200, 5.0e307, -5.0e307}) {
    wakro::multirun::ColumnStatistics stats(1, 10);
    for (const double v : {x, 3.0 * x}) stats.add(std::array<double, 1>{v});
    EXPECT_NEAR(stats.sigma(1) / (std::sqrt(2.0) * std::fabs(x)), 1.0, 1e-14) << x;
    EXPECT_NEAR(stats.mean(1) / (2.0 * x), 1.0, 1e-15) << x;
    EXPECT_EQ(stats.counts(1)[10], 1) << x;
  }
}

// Run 3 of a maximum search over four is cut short with the largest value: its
// row is marked and said, it is not the optimum, nor is run 1's NaN (run 2 is,
// and run 4 repeats it), and the summary is over runs 1 and 2 and says that
// one run was left out.
TEST_F(OutputFile, RunCutShortIsMarkedNeverTheOptimumAndLeftOut) {
  const double outputs[] = {std::numeric_limits<double>::quiet_NaN(), 2.0, 9.0, 5.0};
  ctrl::nrun = 4;
  for (std::int32_t r = 1; r <= 4; ++r) {
    wakro::multirun::run_cut_short = r == 3;
    run(r, 2, [&](int) {
      mrunoini(1, 1, 2, "short");
      std::int32_t in = 0;
      mrunvi(1, 1, 1, 1, 1, 1, 2, 4, 1, 0, 10, 1, 0.0, in, "In");
      mrunor(1, 1, 1, 1, 1, 1, 2, 0, 1, r == 4 ? in * 1.0 : outputs[r - 1], "Out");
    });
  }
  wakro::multirun::run_cut_short = false;
  EXPECT_EQ(multpl::optimumrun, 2);
  const auto lines = lines_of(read_file("short.out"));
  ASSERT_GE(lines.size(), 17u);
  EXPECT_EQ(lines[4], "    3" + blanks(8) + "    12" + blanks(11) + "  9.000000000   (cut short)");
  EXPECT_EQ(lines[8], "    4" + blanks(8) + "    11" + blanks(11) + "  11.00000000");
  EXPECT_EQ(lines[10], "Statistical Summary Based on      2 Runs:");
  EXPECT_EQ(lines[11], "Runs cut short and left out of the summary:      1");
  EXPECT_EQ(lines[16], "Mean:      " + g(10.5) + " " + g(2) + " ");
  EXPECT_TRUE(contains(console(), " ***WARN*** Multiple run output: run 3 was cut short; its row is marked \n"
                                  " ***WARN*** (cut short) and left out of the statistics.\n"))
      << console();
}

}  // namespace
}  // namespace multirun_test

namespace multirun_test {
namespace {

// A case run alone that records one output and gets SIGTERM during step 3 of
// run 2 of 3.
void signalled_dsdyn() {
  mrunoini(0, 1, 1, "alone");
  mrunor(0, 0, 0, 1, 0, 1, 1, 0, 1, 1.0, "x");
  if (ctrl::mmm == 2 && ctrl::iii == 3) std::raise(SIGTERM);
}
void nothing() {}
void nothing_i(std::int32_t) {}
void nothing_b(bool) {}

// The console calls run 2 cut short, not completed, and the set ends there.
TEST_F(OutputFile, AloneARunCutShortIsNotCalledCompleted) {
  wakro::Seams& s = wakro::seams();
  s.dialog = [] { ctrl::nrun = 3, ctrl::multirun = true, assorc::input = "DATA"; };
  s.readdata = [] { e_s1::delt = 0.5, e_s1::fintim = 5.0, e_s1::print = 0.5; };
  s.dsdyn = &signalled_dsdyn;
  s.dsout = s.dsdyn_begin = s.dsout_begin = s.set_klu = s.intsolvi = &nothing;
  s.wakro_outputfile = &nothing_i;
  s.wakro_percentcomplete = &nothing_b;
  fnames::inam = "case.map";
  wakro::install_stop_signals();
  const int status = fatal_status([] {
    wakro::FixedText<128> host("localhost");
    std::int32_t port = -1, id = 1;
    bool version5 = true, gui = false;
    wakro_driver(version5, gui, host, port, id);
  });
  std::signal(SIGTERM, SIG_DFL);
  wakro::clear_stop_signal();
  EXPECT_EQ(status, -1) << console();
  EXPECT_TRUE(contains(console(), "\n=> Completed run #     1 of     3\n")) << console();
  EXPECT_TRUE(contains(console(), "\n=> Run #     2 of     3 was cut short and is not counted as completed\n"))
      << console();
  EXPECT_FALSE(contains(console(), "Run #     3")) << console();
}

}  // namespace
}  // namespace multirun_test
