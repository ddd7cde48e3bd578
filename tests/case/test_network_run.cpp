// The case's network read and run by the engine from its data files.
//
// Reading: the dimension pass and the case reader take Main.dta and the six
// line-constants files without a warning (line 7-8, the shortest, spans 5.5
// steps of 50 us), and the lines' travel times and surge impedances come back to
// four digits of the benchmark's table.
//
// Running: fed at its three source terminals by stiff sources at the load
// flow's voltages (ramped up over 0.05 s), the network runs 1 s; over its last
// three cycles the fundamental of every point agrees with the load flow. The
// load flow takes the lines as nominal pi sections, the run as travelling waves:
// for the longest line (6-9, w tau = 0.25 rad) the exact pi section differs from
// the nominal one by (w tau)^2 / 6 = 1 % in series impedance and half that in
// charging, which moves bus voltages by a few 0.01 % and angles by a few 0.01
// degrees. The loads hold their power from the RMS they measure: the smoothed
// mean of |v| with the extremes held between crossings reads about 0.25 % low in
// steady state, so each load draws about 0.5 % more than its setting, which the
// three stiff sources share. Hence 0.5 % in voltage and 0.5 degree in angle at
// buses 4-9, 1 % of each source's apparent power for its P and Q, and 1 % for
// each load's P and Q.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <numbers>

#include "case_network.h"
#include "load_flow.h"
#include "network_run.h"
#include "support/temp_dir.h"

namespace casetest {
namespace {

constexpr double kDegree = 180.0 / std::numbers::pi;

// The benchmark's table: travel time [ms] and Zc [ohm] of the aerial modes, in
// the order of the shells (7-8, 8-9, 5-7, 6-9, 4-5, 4-6).
struct Table {
  double tau_ms, zc;
};
constexpr Table kTable[] = {{0.2747, 367.7}, {0.3850, 367.4}, {0.5888, 383.7},
                            {0.6544, 364.5}, {0.3244, 367.6}, {0.3198, 403.7}};

// Half a unit in the fourth significant digit of x.
double four_digits(double x) { return 0.5 * std::pow(10.0, std::floor(std::log10(std::abs(x))) - 3.0); }

std::array<Drive, 3> no_drive() { return {}; }

TEST(NetworkFiles, PassTheDimensionPassAndTheReader) {
  const RunResult r = run_network(no_drive(), 0.001);
  ASSERT_EQ(r.status, -1) << r.console;
  EXPECT_EQ(r.steps, 20);
  EXPECT_EQ(r.console.find("Time step is too large"), std::string::npos) << r.console;
  EXPECT_EQ(r.console.find("WARN"), std::string::npos) << r.console;
  EXPECT_EQ(r.console.find("Unknown"), std::string::npos) << r.console;
  ASSERT_EQ(r.lines.size(), 6u);
  for (std::size_t l = 0; l < 6; ++l) {
    SCOPED_TRACE(l);
    const ReadMode& ground = r.lines[l][0];
    for (std::size_t m = 1; m < 3; ++m) {
      const ReadMode& a = r.lines[l][m];
      EXPECT_NEAR(a.tau_ms, kTable[l].tau_ms, four_digits(kTable[l].tau_ms));
      EXPECT_NEAR(a.zc, kTable[l].zc, four_digits(kTable[l].zc));
    }
    EXPECT_NEAR(ground.tau_ms / r.lines[l][1].tau_ms, 1.342, 0.0005);
    EXPECT_NEAR(ground.zc / r.lines[l][1].zc, 2.236, 0.0005);
    // The built-in transformation: its first mode (1, 1, 1)/sqrt(3), the ground mode.
    ASSERT_EQ(r.transformations[l].size(), 9u);
    for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(r.transformations[l][3 * c], 1.0 / std::sqrt(3.0), 1e-15);
  }
  // Line 7-8: 0.2747 ms is 5.495 steps, more than one: no warning, no rounding.
  EXPECT_EQ(r.lines[0][1].nt, 5);
  EXPECT_NEAR(r.lines[0][1].fnt, 0.49488, 1e-5);
}

// The same files under a time step longer than line 7-8's travel time, and
// without a line-constants file: the reader says so, naming the line or file.
TEST(NetworkFiles, ATooLongStepAndAMissingFileAreReported) {
  const auto replace = [](const std::string& file, const std::string& from, const std::string& to) {
    std::string text = wakro_test::read_file(file);
    text.replace(text.find(from), from.size(), to);
    wakro_test::write_file(file, text);
  };
  const RunResult slow = run_network(no_drive(), 0.003, [&] {
    replace("network.map", " TIME_STEP = 50.0E-6", " TIME_STEP = 300.0E-6");
  });
  EXPECT_EQ(slow.status, -1) << slow.console;
  // One warning per aerial mode of line 7-8 (its ground mode is longer), then
  // the summary once.
  const auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = slow.console.find(text); at != std::string::npos; at = slow.console.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("Time step is too large for the tline/cable 'T7_8'. \n"), 2u) << slow.console;
  EXPECT_EQ(count("Time step is too large"), 2u);
  EXPECT_EQ(count("Continuing with travel time(s) adjusted to one time step."), 1u);
  ASSERT_EQ(slow.lines.size(), 6u);
  EXPECT_EQ(slow.lines[0][1].nt, 1);  // raised to one step
  EXPECT_EQ(slow.lines[0][1].fnt, 0.0);

  const RunResult missing = run_network(no_drive(), 0.001, [] { std::filesystem::remove("T4_6.tlo"); });
  EXPECT_NE(missing.status, -1);
  EXPECT_NE(missing.console.find("Error while opening file for read"), std::string::npos) << missing.console;
  EXPECT_NE(missing.console.find("T4_6.tlo"), std::string::npos) << missing.console;
}

// Positive-sequence phasor of a point (phase a's reference).
std::complex<double> positive(const RunResult& r, std::int32_t point) {
  const std::complex<double> a = std::polar(1.0, 2.0 * std::numbers::pi / 3.0);
  const auto at = [&](std::int32_t ph) { return r.v[static_cast<std::size_t>(node_of(point, ph))]; };
  return (at(0) + a * at(1) + a * a * at(2)) / 3.0;
}

TEST(NetworkRun, OneSecondOnStiffSourcesMatchesTheLoadFlow) {
  const MainFile m = read_main(WAKRO_CASE_DATA_DIR);
  const Network n = build_network(m);
  const LoadFlowResult lf = newton_raphson(admittance_matrix(n), case_buses(m), 10, 1e-8);
  ASSERT_TRUE(lf.converged);
  const auto at = [](std::int32_t point) { return static_cast<std::size_t>(point - 1); };
  std::array<Drive, 3> drive{};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int32_t p = kSources[k].point;
    drive[k] = drive_for(lf.v[at(p)], lf.s[at(p)], n.kv_base[static_cast<std::size_t>(p)]);
  }

  const RunResult r = run_network(drive, 1.0);
  ASSERT_EQ(r.status, -1) << r.console;
  EXPECT_EQ(r.steps, 20000);
  EXPECT_EQ(r.console.find("WARN"), std::string::npos) << r.console;

  for (std::int32_t p = 1; p <= kPoints; ++p) {
    const double vbase = n.kv_base[static_cast<std::size_t>(p)] / std::sqrt(3.0);
    const std::complex<double> v = positive(r, p) / vbase;
    const std::complex<double> ref = lf.v[at(p)];
    const double dv = (std::abs(v) - std::abs(ref)) / std::abs(ref);
    const double da = std::remainder(std::arg(v) - std::arg(ref), 2.0 * std::numbers::pi) * kDegree;
    std::printf("point %2d  run %8.5f pu %8.4f deg   load flow %8.5f pu %8.4f deg\n", p, std::abs(v),
                std::arg(v) * kDegree, std::abs(ref), std::arg(ref) * kDegree);
    if (p >= 4 && p <= 9) {
      EXPECT_LT(std::abs(dv), 0.005) << "bus " << p;
      EXPECT_LT(std::abs(da), 0.5) << "bus " << p;
    }
  }
  for (std::size_t k = 0; k < 3; ++k) {
    const std::int32_t p = kSources[k].point;
    std::complex<double> s = 0.0;
    for (std::int32_t ph = 0; ph < 3; ++ph)
      s += r.v[static_cast<std::size_t>(node_of(p, ph))] * std::conj(r.i[static_cast<std::size_t>(kMainBranches + 1 + 3 * static_cast<std::int32_t>(k) + ph)]);
    const std::complex<double> ref = lf.s[at(p)] * kSbase;
    std::printf("source at bus %d: run %9.4f MW %9.4f Mvar   load flow %9.4f MW %9.4f Mvar\n",
                kSources[k].bus, s.real(), s.imag(), ref.real(), ref.imag());
    EXPECT_LT(std::abs(s.real() - ref.real()), 0.01 * std::abs(ref)) << "bus " << kSources[k].bus;
    EXPECT_LT(std::abs(s.imag() - ref.imag()), 0.01 * std::abs(ref)) << "bus " << kSources[k].bus;
  }
  for (const Load& l : kLoads) {
    std::complex<double> s = 0.0;
    for (std::int32_t b = l.first_branch; b < l.first_branch + 6; ++b) {
      const std::int32_t node = m.branches.at(static_cast<std::size_t>(b - 1)).from;
      s += r.v[static_cast<std::size_t>(node)] * std::conj(r.i[static_cast<std::size_t>(b)]);
    }
    std::printf("load at branch %d: %9.4f MW %9.4f Mvar\n", l.first_branch, s.real(), s.imag());
    EXPECT_LT(std::abs(s.real() / (3.0 * l.p_mw) - 1.0), 0.01) << "load at " << l.first_branch;
    EXPECT_LT(std::abs(s.imag() / (3.0 * l.q_mvar) - 1.0), 0.01) << "load at " << l.first_branch;
  }
}

}  // namespace
}  // namespace casetest
