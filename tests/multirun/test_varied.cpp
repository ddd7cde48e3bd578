// The multiple-run set-up and the varied parameters: stepped sweeps, the run
// count limit, seeds and random draws, the refused arguments, and the optimum
// run repeated on the last run.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/e_s7.h"
#include "model/mrunseed.h"
#include "model/ndde.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "multirun/mruno.h"
#include "multirun_fixture.h"

namespace multirun_test {
namespace {

using wakro_test::fatal_status;

class Varied : public MultirunTest {
 protected:
  // The value mrunvr gives each of runs 1..n (first step only, so nothing is
  // written), for a stepped sweep of start 0 and step 1.
  std::vector<double> sweep(std::int32_t count, std::int32_t divisor, std::int32_t runs) {
    std::vector<double> got;
    ctrl::nrun = runs + 1;
    for (std::int32_t r = 1; r <= runs; ++r) {
      run(r, 2, [&](int s) {
        if (s > 0) return;
        double v = -1.0;
        mrunvr(0, 0, 0, 1, 1, 0, 1, count, divisor, 0, 0.0, 1.0, 0.0, v, "p");
        got.push_back(v);
      });
    }
    return got;
  }
  // The first uniform draw (start 0, step 10) of a multiple run set up with seed.
  double first_uniform(std::int32_t seed) {
    wakro::multirun::reset_multirun_state();
    ctrl::nrun = 1;
    double v = 0.0;
    run(1, 2, [&](int s) {
      if (s > 0) return;
      mrunvini(3, 1, seed);
      mrunvr(0, 0, 0, 1, 1, 0, 1, 1, 1, 1, 0.0, 10.0, 0.0, v, "u");
    });
    return v;
  }
};

TEST_F(Varied, SteppedSweepTakesThePointOfEachRun) {
  struct Case {
    std::int32_t divisor;
    std::int32_t runs;
    std::vector<double> values;
  };
  for (const Case& c : {Case{1, 5, {0, 1, 2, 0, 1}}, Case{2, 4, {0, 0, 1, 1}}, Case{2, 7, {0, 0, 1, 1, 2, 2, 0}}})
    EXPECT_EQ(sweep(3, c.divisor, c.runs), c.values) << "divisor " << c.divisor;
  ctrl::mmm = 5;
  EXPECT_EQ(mrunnum(3, 1), 2);
  EXPECT_EQ(mrunnum(3, 2), 3);
  EXPECT_EQ(mrunnum(2, 3), 2);
}

TEST_F(Varied, IntegerSweepAndTheValueKeptOverTheRun) {
  ctrl::nrun = 4;
  std::vector<std::int32_t> seen;
  run(3, 3, [&](int s) {
    if (e_s1::laststep) return;  // no output file in this test
    std::int32_t v = s == 0 ? 99 : -5;  // the caller's value is replaced on every step
    mrunvi(0, 0, 0, 2, 2, 0, 1, 2, 1, 0, 10, 5, 0.0, v, "i");
    seen.push_back(v);
  });
  EXPECT_EQ(seen, (std::vector<std::int32_t>{10, 10}));  // run 3: point 0 of 2
}

TEST_F(Varied, UnlistedKindKeepsTheCallersValue) {
  ctrl::nrun = 2;
  run(1, 2, [&](int s) {
    if (s > 0) return;
    double v = 4.25;
    mrunvr(0, 0, 0, 1, 1, 0, 1, 3, 1, 2, 0.0, 1.0, 0.0, v, "x");
    EXPECT_EQ(v, 4.25);
  });
}

TEST_F(Varied, RunCountAboveTenThousandStops) {
  ctrl::nrun = 1;
  int status = 0;
  run(1, 2, [&](int s) {
    if (s == 0) status = fatal_status([] { mrunvini(10001, 1, 1); });
  });
  EXPECT_EQ(status, 2000);
  const auto lines = lines_of(console());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], " ***ERROR** Too Many Multiple Runs! Only Up To 10000 Runs Allowed!");
  EXPECT_EQ(lines[1], " ***ERROR** Only Up To 10000 Runs Allowed!");
  EXPECT_TRUE(contains(console(), " ERROR: Abnormal termination of WAKRO by MRUNVINI    \n")) << console();

  // 10000 runs are accepted; a disabled component does nothing at all.
  wakro::multirun::reset_multirun_state();
  ctrl::nrun = 1;
  run(1, 2, [&](int s) {
    if (s == 0) mrunvini(20000, 0, 1);
  });
  EXPECT_EQ(ctrl::nrun, 1);
  run(1, 2, [&](int s) {
    if (s == 0) mrunvini(10000, 1, 1);
  });
  EXPECT_EQ(ctrl::nrun, 10000);
  EXPECT_TRUE(ctrl::multirun);
}

TEST_F(Varied, SetUpChecksOfTheFirstStep) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    const char* first_line;
  };
  const std::vector<Case> cases = {
      {"slave", [] { ctrl::mruntype = 2; }, " ***ERROR** Multiple run / Optimum run component "},
      {"second component", [] { mrunvini(3, 1, 1); }, " ***ERROR** Only 1 Multiple run / Optimum run component allowed! "},
      {"project count", [] { ctrl::nrun = 5; }, " ***ERROR** Number of runs entered in case property "},
      {"ENI line",
       [] {
         ndde::nd58 = 2;
         e_s7::linemodel.allocate(2, 13);
         e_s7::linemodel(2, 4) = 1;  // the second line has an ENI role
       },
       " ***ERROR** Multiple run / Optimum run component is not "},
  };
  for (const Case& c : cases) {
    wakro::multirun::reset_multirun_state();
    console_.str("");
    ctrl::mruntype = 0;
    ctrl::nrun = 1;
    int status = 0;
    run(1, 2, [&](int s) {
      if (s > 0) return;
      c.prepare();
      status = fatal_status([] { mrunvini(3, 1, 1); });
    });
    EXPECT_EQ(status, 2000) << c.what;
    EXPECT_EQ(lines_of(console()).at(0), c.first_line) << c.what;
    e_s7::linemodel.release();
    ndde::nd58 = 0;
  }
  ctrl::mruntype = 0;
}

TEST_F(Varied, NegativeSeedWarnsAndRunsAsItsAbsoluteValue) {
  const double seven = first_uniform(7);
  EXPECT_EQ(mrunseed::mseedsave, 7);
  console_.str("");
  const double minus_seven = first_uniform(-7);
  EXPECT_EQ(minus_seven, seven);
  EXPECT_EQ(mrunseed::mseedsave, 7);
  EXPECT_EQ(console(),
            " ***WARN*** Only Non-negative seed values allowed!\n"
            " ***WARN***  Absolute value is taken instead.\n");
}

TEST_F(Varied, UniformDrawOfSeedOneIsTheFirstMinimalStandardNumber) {
  EXPECT_DOUBLE_EQ(first_uniform(1), 10.0 * 16807.0 / 2147483647.0);
  EXPECT_NEAR(first_uniform(1), 7.826369e-5, 5e-12);
  EXPECT_EQ(mrunseed::mseed, 16807);
}

TEST_F(Varied, SeedsAreReducedSoTheGeneratorNeverLocks) {
  using wakro::multirun::reduced_seed;
  EXPECT_EQ(reduced_seed(2147483647), 1);
  EXPECT_EQ(reduced_seed(-2147483647), 1);
  EXPECT_EQ(reduced_seed(std::numeric_limits<std::int32_t>::min()), 1);
  EXPECT_EQ(reduced_seed(2147483646), 2147483646);
  EXPECT_EQ(reduced_seed(5), 5);
  // A multiple of the modulus: the draws move on instead of staying at 0, and a
  // normal draw ends.
  EXPECT_GT(first_uniform(2147483647), 0.0);
  ctrl::nrun = 2;
  run(2, 2, [&](int s) {
    if (s > 0) return;
    double v = 0.0;
    mrunvr(0, 0, 0, 1, 1, 0, 1, 1, 1, 3, 0.0, 10.0, 3.0, v, "n");
    EXPECT_GE(v, 0.0);
    EXPECT_LE(v, 10.0);
  });
}

TEST_F(Varied, ClockSeedIsPrintedAsTheInitialSeed) {
  ctrl::nrun = 1;
  run(1, 2, [&](int s) {
    if (s == 0) mrunvini(2, 1, 0);
  });
  EXPECT_GE(mrunseed::mseedsave, 1);
  EXPECT_EQ(mrunseed::mseed, mrunseed::mseedsave);
}

TEST_F(Varied, BadCountDivisorOrInputNumberStopsWithAMessage) {
  struct Case {
    std::int32_t id, count, divisor;
    const char* tag;
  };
  for (const Case& c : {Case{1, 0, 1, "MRUNVR      "}, Case{1, 3, 0, "MRUNVR      "}, Case{7, 3, 1, "MRUNVR      "},
                        Case{0, 3, 1, "MRUNVR      "}}) {
    console_.str("");
    int status = 0;
    ctrl::nrun = 2;
    run(1, 2, [&](int s) {
      if (s > 0) return;
      double v = 0.0;
      status = fatal_status([&] { mrunvr(0, 0, 0, c.id, 1, 0, 1, c.count, c.divisor, 0, 0.0, 1.0, 0.0, v, "p"); });
    });
    EXPECT_EQ(status, 2000) << c.id << " " << c.count << " " << c.divisor;
    EXPECT_TRUE(contains(console(), " ***ERROR** Multiple run parameter: ")) << console();
    EXPECT_TRUE(contains(console(), std::string("Abnormal termination of WAKRO by ") + c.tag)) << console();
  }
  console_.str("");
  ctrl::mmm = 2;
  EXPECT_EQ(fatal_status([] { (void)mrunnum(0, 1); }), 2000);
  EXPECT_TRUE(contains(console(), "by MRUNNUM     ")) << console();
}

TEST_F(Varied, ExcludeLastRunFlag) {
  pmr_flags(1);
  EXPECT_EQ(pmr_consolidate::excludelastrun, 1);
  pmr_flags(0);
  EXPECT_EQ(pmr_consolidate::excludelastrun, 0);
  EXPECT_EQ(fatal_status([] { pmr_flags(-2147483647 - 1); }), 2000);
  EXPECT_EQ(pmr_consolidate::excludelastrun, 0);
  EXPECT_TRUE(contains(console(), " ***ERROR** Parallel multiple run: PMR_FLAGS was handed the flag -2147483648; \n"))
      << console();
}

TEST_F(Varied, OptimumSearchRepeatsTheBestRunsValuesOnTheLastRun) {
  // Maximum search over 4 runs: a uniform real and a stepped integer input and
  // the output out = real + integer.
  ctrl::nrun = 4;
  std::vector<double> reals;
  std::vector<std::int32_t> ints;
  run_all(3, [&](int) {
    mrunvini(4, 1, 11);
    mrunoini(2, 1, 2, "opt");
    double r = 0.0;
    std::int32_t i = 0;
    mrunvr(1, 1, 1, 1, 2, 1, 2, 1, 1, 1, 0.0, 10.0, 0.0, r, "r");
    mrunvi(1, 1, 1, 2, 2, 1, 2, 3, 1, 0, 0, 5, 0.0, i, "i");
    mrunor(1, 1, 1, 1, 2, 1, 2, 0, 1, r + i, "out");
    if (e_s1::laststep) {
      reals.push_back(r);
      ints.push_back(i);
    }
  });
  ASSERT_EQ(reals.size(), 4u);
  std::size_t best = 0;
  for (std::size_t k = 1; k < 3; ++k)
    if (reals[k] + ints[k] > reals[best] + ints[best]) best = k;
  EXPECT_EQ(multpl::optimumrun, static_cast<std::int32_t>(best + 1));
  EXPECT_EQ(reals[3], reals[best]);
  EXPECT_EQ(ints[3], ints[best]);
}

}  // namespace
}  // namespace multirun_test
