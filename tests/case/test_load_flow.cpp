// The reference load flow and the tests' reader of the case's files.
//
// The solver is checked on a two-bus case with a closed form; the case's files
// are checked against the benchmark's data sheet (each line's aerial mode gives
// back its per-unit R, X and B); the case's load flow must converge from a flat
// start in at most 10 iterations below 1e-8 pu with the slack near the
// benchmark's 71.6 MW.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>

#include "case_network.h"
#include "load_flow.h"
#include "support/temp_dir.h"

namespace casetest {
namespace {

namespace fs = std::filesystem;

const fs::path kData = WAKRO_CASE_DATA_DIR;

// A lossless line of reactance x from the slack (1 pu, 0) to a bus drawing p at
// unity power factor: V2 = V1 cos d and p = sin(2 d) / (2 x).
TEST(LoadFlow, TwoBusesMatchTheClosedForm) {
  const double x = 0.1, p = 0.5;
  Matrix y(2, std::vector<std::complex<double>>(2));
  const std::complex<double> ys = 1.0 / std::complex<double>(0.0, x);
  y[0][0] = y[1][1] = ys;
  y[0][1] = y[1][0] = -ys;
  std::vector<BusSpec> buses(2);
  buses[0].kind = BusKind::slack;
  buses[1].p = -p;
  const LoadFlowResult r = newton_raphson(y, buses, 10, 1e-12);
  ASSERT_TRUE(r.converged);
  const double d = 0.5 * std::asin(2.0 * x * p);
  EXPECT_NEAR(std::abs(r.v[1]), std::cos(d), 1e-12);
  EXPECT_NEAR(std::arg(r.v[1]), -d, 1e-12);
  EXPECT_NEAR(r.s[0].real(), p, 1e-12);                            // no losses
  EXPECT_NEAR(r.s[0].imag(), std::pow(std::abs(r.v[0] - r.v[1]), 2) / x, 1e-12);  // the line's I^2 X
}

TEST(LoadFlow, AnImpossibleLoadDoesNotConverge) {
  Matrix y(2, std::vector<std::complex<double>>(2));
  const std::complex<double> ys = 1.0 / std::complex<double>(0.0, 0.1);
  y[0][0] = y[1][1] = ys;
  y[0][1] = y[1][0] = -ys;
  std::vector<BusSpec> buses(2);
  buses[0].kind = BusKind::slack;
  buses[1].p = -6.0;  // beyond the line's limit of 1 / (2 x) = 5 pu
  const LoadFlowResult r = newton_raphson(y, buses, 10, 1e-8);
  EXPECT_FALSE(r.converged);
  EXPECT_GT(r.mismatch, 1e-8);
}

// The benchmark's line data (R, X, B in pu on 100 MVA, 230 kV) against what
// each line-constants file gives back for its aerial modes, and its ground mode
// built from them by Z0 = 3 Z1 and C0 = 0.6 C1.
TEST(CaseFiles, LinesGiveBackTheDataSheet) {
  struct Sheet {
    const char* name;
    std::int32_t from, to;
    double r, x, b;
  };
  const Sheet sheet[] = {{"T7_8", 7, 8, 0.0085, 0.0720, 0.149}, {"T8_9", 8, 9, 0.0119, 0.1008, 0.209},
                         {"T5_7", 5, 7, 0.0320, 0.1610, 0.306}, {"T6_9", 6, 9, 0.0390, 0.1700, 0.358},
                         {"T4_5", 4, 5, 0.0100, 0.0850, 0.176}, {"T4_6", 4, 6, 0.0170, 0.0920, 0.158}};
  const MainFile m = read_main(kData);
  ASSERT_EQ(m.lines.size(), 6u);
  const double zb = 529.0;
  for (std::size_t k = 0; k < 6; ++k) {
    const Sheet& s = sheet[k];
    const LineEntry& e = m.lines[k];
    SCOPED_TRACE(s.name);
    EXPECT_EQ(e.name, s.name);
    EXPECT_EQ(e.file, std::string(s.name) + ".tlo");
    EXPECT_EQ(point_of(e.send[0]), s.from);
    EXPECT_EQ(point_of(e.receive[0]), s.to);
    ASSERT_EQ(e.modes.size(), 3u);
    for (std::size_t mode = 1; mode < 3; ++mode) {
      const ModeRecord& a = e.modes[mode];
      const double tau = a.tau_ms * 1e-3;
      EXPECT_NEAR(kOmega * a.zc * tau / zb, s.x, 5e-7);
      EXPECT_NEAR(kOmega * tau / a.zc * zb, s.b, 5e-7);
      EXPECT_NEAR(a.r_send * e.len / zb, s.r, 5e-7);
      EXPECT_EQ(a.r_send, a.r_receive);
      for (double t : a.transformation) EXPECT_EQ(t, 0.0);
    }
    const ModeRecord& g = e.modes[0];
    const ModeRecord& a = e.modes[1];
    EXPECT_NEAR(g.tau_ms / a.tau_ms, std::sqrt(1.8), 1e-6);
    EXPECT_NEAR(g.zc / a.zc, std::sqrt(5.0), 1e-6);
    EXPECT_NEAR(g.r_send / a.r_send, 3.0, 1e-6);
  }
  EXPECT_EQ(m.branches.size(), 78u);
  EXPECT_EQ(m.transformers.size(), 9u);
  // The whole case is one subsystem: Main's 54 nodes, 3 inside the generator
  // and 24 inside each inverter.
  EXPECT_EQ(m.subsystem_nodes, 105);
}

// The nine transformers: group by group, phase by phase, LV winding at the
// group's LV point, HV at its HV point, both grounded; the winding branches
// of each group lie on the same nodes.
TEST(CaseFiles, TransformerGroupsMatchTheirWindingBranches) {
  const MainFile m = read_main(kData);
  for (const TransformerGroup& g : kGroups) {
    for (std::int32_t ph = 0; ph < 3; ++ph) {
      const TransformerEntry& t = m.transformers.at(static_cast<std::size_t>(g.first_unit - 1 + ph));
      ASSERT_EQ(t.windings.size(), 2u);
      for (std::int32_t w = 0; w < 2; ++w) {
        const BranchLine& b = m.branches.at(static_cast<std::size_t>(g.first_winding_branch - 1 + 3 * w + ph));
        EXPECT_EQ(t.windings[static_cast<std::size_t>(w)].from, b.from) << "unit " << g.first_unit + ph;
        EXPECT_EQ(t.windings[static_cast<std::size_t>(w)].to, 0);
        EXPECT_EQ(b.to, 0);
      }
    }
  }
}

// The reader names the file and line (or the branch) of what it cannot take.
TEST(CaseFiles, BadFilesAreNamed) {
  struct Edit {
    const char* file;
    const char* from;
    const char* to;
    const char* message;
  };
  const Edit edits[] = {
      {"T8_9.tlo", "0 0 0.3850102", "0 0 0.38x0102", "T8_9.tlo, line 25: not a number '0.38x0102'"},
      {"T8_9.tlo", "3 0 0 0 60.0", "2 0 0 0 60.0", "T8_9.tlo, line 23: three conductors expected"},
      {"Main.dta", " 41 8 R 0.001\n", " 41 9 R 0.001\n", "branch 2 is not phase b of its three-phase element"},
      {"Main.dta", " 42 0 R 1.0E6\n", " 42 0 R 2.0E6\n", "branch 6 is not phase c of its three-phase element"},
      {"Main.dta", " 40 7 R 0.001\n", " 40 7 L 0.001\n", "branch 1 is not a plain resistor"},
      {"Main.dta", "TLINE-OUTPUT-DATA T4_6.tlo", "TLINE-OUTPUT-DATA T4_7.tlo", "T4_7.tlo: cannot be opened"},
  };
  for (const Edit& e : edits) {
    SCOPED_TRACE(e.message);
    wakro_test::WorkFolder folder;
    ASSERT_TRUE(folder.enter("wakro_case_files_"));
    for (const auto& f : fs::directory_iterator(kData)) fs::copy_file(f.path(), f.path().filename());
    std::string text = wakro_test::read_file(e.file);
    const std::size_t at = text.find(e.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, std::string(e.from).size(), e.to);
    wakro_test::write_file(e.file, text);
    try {
      (void)build_network(read_main("."));
      ADD_FAILURE() << "no error";
    } catch (const FileError& x) {
      EXPECT_NE(std::string(x.what()).find(e.message), std::string::npos) << x.what();
    }
    folder.leave();
  }
}

// The case: the load flow converges in at most 10 iterations below 1e-8 pu; the
// slack gives the benchmark's 71.6 MW; the voltage-controlled sources hold
// their set-points and the loads draw theirs.
TEST(CaseLoadFlow, ConvergesWithTheSlackAtTheBenchmarksDispatch) {
  const MainFile m = read_main(kData);
  const Network n = build_network(m);
  const std::vector<BusSpec> buses = case_buses(m);
  const LoadFlowResult r = newton_raphson(admittance_matrix(n), buses, 10, 1e-8);
  ASSERT_TRUE(r.converged) << r.mismatch;
  EXPECT_LE(r.iterations, 10);
  EXPECT_LT(r.mismatch, 1e-8);
  const auto at = [&](std::int32_t point) { return static_cast<std::size_t>(point - 1); };
  EXPECT_NEAR(r.s[at(kSources[kSlack].point)].real() * kSbase, 71.6, 0.5);
  for (const Source& s : kSources) {
    EXPECT_NEAR(std::abs(r.v[at(s.point)]), s.v_pu, 1e-12);
    if (s.p_pu != 0.0) {
      EXPECT_NEAR(r.s[at(s.point)].real(), s.p_pu, 1e-8);
    }
  }
  EXPECT_NEAR(r.s[at(12)].real() * kSbase, -99.99999, 1e-6);
  EXPECT_NEAR(r.s[at(15)].imag() * kSbase, -50.00001, 1e-6);
  EXPECT_NEAR(r.s[at(16)].real() * kSbase, -90.0, 1e-6);
  // The losses (the sum of all injections) are positive and small.
  std::complex<double> total = 0.0;
  for (const auto& s : r.s) total += s;
  EXPECT_GT(total.real(), 0.0);
  EXPECT_LT(total.real(), 0.06);
  // The table of results, for the record of the run.
  for (std::int32_t p = 1; p <= kPoints; ++p)
    std::printf("point %2d  %8.5f pu %9.4f deg  P %9.4f MW  Q %9.4f Mvar\n", p, std::abs(r.v[at(p)]),
                std::arg(r.v[at(p)]) * 180.0 / std::numbers::pi, r.s[at(p)].real() * kSbase,
                r.s[at(p)].imag() * kSbase);
}

// Meter branches ten times smaller (1e-4 ohm: 5e6 pu at 230 kV) still converge
// from the linear start, with the slack lower by the meters' smaller losses;
// from a flat start Newton's steps would not settle.
TEST(CaseLoadFlow, VerySmallSeriesResistancesStillConverge) {
  wakro_test::WorkFolder folder;
  ASSERT_TRUE(folder.enter("wakro_case_lf_"));
  for (const auto& f : fs::directory_iterator(kData)) fs::copy_file(f.path(), f.path().filename());
  std::string main = wakro_test::read_file("Main.dta");
  std::size_t changed = 0;
  for (std::size_t at = main.find(" R 0.001\n"); at != std::string::npos; at = main.find(" R 0.001\n", at)) {
    main.replace(at, 9, " R 0.0001\n");
    ++changed;
  }
  EXPECT_EQ(changed, 27u);  // the nine meters
  wakro_test::write_file("Main.dta", main);
  const MainFile m = read_main(".");
  folder.leave();
  const LoadFlowResult r = newton_raphson(admittance_matrix(build_network(m)), case_buses(m), 10, 1e-8);
  ASSERT_TRUE(r.converged) << r.mismatch;
  EXPECT_LE(r.iterations, 10);
  const MainFile base = read_main(kData);
  const LoadFlowResult b = newton_raphson(admittance_matrix(build_network(base)), case_buses(base), 10, 1e-8);
  const double slack = r.s[static_cast<std::size_t>(kSources[kSlack].point - 1)].real() * kSbase;
  const double slack_base = b.s[static_cast<std::size_t>(kSources[kSlack].point - 1)].real() * kSbase;
  EXPECT_LT(slack, slack_base);
  EXPECT_GT(slack, slack_base - 0.2);
}

}  // namespace
}  // namespace casetest
