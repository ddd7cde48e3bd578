// The frequency-dependent lines: the residues of a zero/pole fit, the set-up
// of both record forms, the folding of fast poles, the read-error and warning
// paths, and the per-step histories: lossless fits against the matched-step
// closed form, and a three-conductor phase-domain line against its phasor
// solution.
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "lines/fd_records.h"
#include "lines/line_fixture.h"
#include "lines/line_setup.h"
#include "model/branches.h"
#include "model/e_s7ph.h"
#include "model/e_tlint.h"

namespace linetest {
namespace {

constexpr double kDelt = 5.0e-5;
constexpr double kTol = 1e-12;

// Solves A x = b (dense, partial pivoting).
template <std::size_t N>
std::array<cplx, N> solve(std::array<std::array<cplx, N>, N> A, std::array<cplx, N> b) {
  for (std::size_t k = 0; k < N; ++k) {
    std::size_t piv = k;
    for (std::size_t r = k + 1; r < N; ++r)
      if (std::abs(A[r][k]) > std::abs(A[piv][k])) piv = r;
    std::swap(A[k], A[piv]);
    std::swap(b[k], b[piv]);
    for (std::size_t r = k + 1; r < N; ++r) {
      const cplx f = A[r][k] / A[k][k];
      for (std::size_t c = k; c < N; ++c) A[r][c] -= f * A[k][c];
      b[r] -= f * b[k];
    }
  }
  std::array<cplx, N> x{};
  for (std::size_t k = N; k-- > 0;) {
    cplx s = b[k];
    for (std::size_t c = k + 1; c < N; ++c) s -= A[k][c] * x[c];
    x[k] = s / A[k][k];
  }
  return x;
}


// ---------------------------------------------------------------- frac

class Frac : public ::testing::Test {
 protected:
  void SetUp() override {
    e_s7::z.allocate(4);
    e_s7::p.allocate(4);
    e_s7::a.allocate(4);
  }
  void TearDown() override {
    e_s7::z.release();
    e_s7::p.release();
    e_s7::a.release();
  }
};

TEST_F(Frac, ResiduesAndConstantTermOfZeroPoleFits) {
  // K (1 + s/400)/(1 + s/100) = 0.5 + 150/(s + 100): K p/z at infinity.
  e_s7::z(1) = 400.0;
  e_s7::p(1) = 100.0;
  double k = 2.0, a0 = -1.0;
  wakro::lines::frac(1, 1, k, a0, 1);
  EXPECT_NEAR(e_s7::a(1), 150.0, 1e-12);
  EXPECT_NEAR(a0, 0.5, 1e-15);
  EXPECT_NEAR(k, 0.5, 1e-15);  // the leading coefficient is written back
  // More poles than zeros: nothing at infinite frequency. 2/((1 + s/100)(1 + s/300)):
  // residues 60000/200 = 300 and -300.
  e_s7::p(2) = 300.0;
  k = 2.0;
  wakro::lines::frac(0, 2, k, a0, 1);
  EXPECT_EQ(a0, 0.0);
  EXPECT_NEAR(e_s7::a(1), 300.0, 1e-10);
  EXPECT_NEAR(e_s7::a(2), -300.0, 1e-10);
  // No zeros and no poles: the constant K.
  k = 400.0;
  wakro::lines::frac(0, 0, k, a0, 1);
  EXPECT_EQ(a0, 400.0);
}

// ------------------------------------------------------ set-up of both forms

using FreDep = Lines;

// A headerless FRE-DEP record of one conductor, nodes 1 -> 2, travel time
// t_ms, with the three fits given as text.
std::string fredep_record(double t_ms, const std::string& zc, const std::string& a = "0 0 1.0\n",
                          const std::string& options = "") {
  std::ostringstream os;
  os << std::setprecision(17) << "FRE-DEP 1 0 1 1\n" << options << "1 2 " << t_ms << "\n"
     << zc << a << "0 0 1.0\n";
  return os.str();
}

TEST_F(FreDep, OneRealZcPoleGivesItsConductanceInBothForms) {
  // 800 (1 + s/400)/(1 + s/100) = 200 + 60000/(s + 100).
  const double E = std::exp(-100.0 * kDelt);
  const double a0y = 1.0 / (200.0 + 60000.0 * (1.0 - E) / 100.0);
  write_section("GLOBAL_TLINES:", fredep_record(0.5, "1 1 800.0\n400.0\n100.0\n"));
  read_lines(2, 1, 1, kDelt);
  EXPECT_NEAR(e_s7::a0y(1), a0y, 1e-15);
  EXPECT_EQ(e_s7::npolez(1), 1);
  EXPECT_NEAR(std::abs(e_s7::zgc(1) * e_s7::zreq(1) - E), 0.0, 1e-15);
  EXPECT_NEAR(e_s7::globaldm(1, 1, 1), a0y, 1e-15);
  EXPECT_EQ(e_s7::linemodel(1, 1), 1);
  release_all_and_reset();

  // The same fit as a pole location -100 with residue 60000 and c0 = 200.
  reset_line_counts();
  write_section("GLOBAL_TLINES:", header_record(1, "fd1.tlo"));
  wakro_test::write_file("fd1.tlo",
                         "FRE-DEP 1 0 0 0\n0 0 0.5\n1 200.0 0\n-100.0\n0.0\n60000.0\n0.0\n"
                         "0 1.0 0\n0 1.0 0\n");
  read_lines(2, 1, 1, kDelt);
  EXPECT_NEAR(e_s7::a0y(1), a0y, 1e-15);
  EXPECT_NEAR(e_s7::a0a(1), 1.0, 0.0);
  EXPECT_NEAR(e_s7::ti(1), 1.0, 0.0);
}

TEST_F(FreDep, TooManyPolesWarnKeepTheDimensionedOnesAndReadOn) {
  // Seven poles on two records; one is dimensioned. The fit kept is
  // 400/(1 + s/100) = 40000/(s + 100).
  write_section("GLOBAL_TLINES:",
                fredep_record(0.5, "0 7 400.0\n100 200 300 400 500 600\n700\n", "0 0 0.75\n"));
  after_pass_ = {{dim::maxpoles, 1}};
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_NE(c.text.find(" ****** WARNING! TOO MANY POLE/ZEROES FOR THE\n"
                        "FREQUENCY DEPENDENT LINE MODEL HAVE BEEN ENTERED!\nONLY   1 POINTS WILL BE USED!"),
            std::string::npos)
      << c.text;
  EXPECT_EQ(e_s7::npolez(1), 1);
  EXPECT_NEAR(e_s7::a0y(1), 1.0 / (400.0 * (1.0 - std::exp(-100.0 * kDelt))), 1e-15);
  EXPECT_EQ(e_s7::a0a(1), 0.75);  // the next fit is read from its own line
  EXPECT_EQ(e_s7::ti(1), 1.0);
}

TEST_F(FreDep, UnusableFitsAreInvalidDataLines) {
  const std::string fits[] = {
      "1 2 400.0\n100.0\n100.0 100.0\n",  // repeated poles
      "1 1 400.0\n0.0\n100.0\n",          // a zero at the origin
      "0 1 400.0\n-100.0\n",              // an unstable pole
      "0 0 0.0\n",                        // no conductance at all
  };
  for (const std::string& fit : fits) {
    SCOPED_TRACE(fit);
    reset_line_counts();
    write_section("GLOBAL_TLINES:", fredep_record(0.5, fit));
    const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
    EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos) << c.text;
    EXPECT_NE(c.status, -1);
    wakro::close_all_units();
    release_all_and_reset();
  }
}

TEST_F(FreDep, TwoModeLineWithPolesSettlesToItsDcSolution) {
  // Mode 1: Zc = 300 + 50000/(s + 500), A = 1000/(s + 2000) + 3200/(s + 8000),
  // 10.4 steps; mode 2: Zc = 500 + a complex pair, A = 2400/(s + 3000), 12.7
  // steps; a rotation as transformation. At DC the convolutions are exact, so
  // the settled currents are those of Zc(0) and A(0) mode by mode.
  const double th = 0.3, co = std::cos(th), si = std::sin(th);
  std::ostringstream os;
  os << std::setprecision(17) << "FRE-DEP 2 0 0 0\n0 0 " << 10.4 * kDelt * 1000.0 << "\n"
     << "1 300 0\n-500\n0\n50000\n0\n2 0 0\n-2000 -8000\n0 0\n1000 3200\n0 0\n"
     << "0 " << co << " 0\n0 " << -si << " 0\n0 0 " << 12.7 * kDelt * 1000.0 << "\n"
     << "2 500 0\n-1000 -1000\n3000 -3000\n2000 2000\n1000 -1000\n1 0 0\n-3000\n0\n2400\n0\n"
     << "0 " << si << " 0\n0 " << co << " 0\n";
  write_section("GLOBAL_TLINES:", header_record(2, "fd2.tlo"));
  wakro_test::write_file("fd2.tlo", os.str());
  read_lines(4, 4, 1, kDelt);
  ASSERT_EQ(e_s7::npolez(1) + e_s7::npolez(2), 3);
  ASSERT_EQ(e_s7::npolea(1) + e_s7::npolea(2), 3);

  const double rs = 20.0, rl = 1000.0;
  const double E[2] = {1.0, 0.5};
  add_branch(1, 0, 1, rs, 0.0, 0.0, 0.0, E[0]);
  add_branch(1, 0, 2, rs, 0.0, 0.0, 0.0, E[1]);
  add_branch(1, 3, 0, rl, 0.0, 0.0);
  add_branch(1, 4, 0, rl, 0.0, 0.0);
  start_run(4000);
  for (int n = 0; n < 4000; ++n) step();

  // Per mode (T orthogonal, the ends resistive): V = Z I + B at each end,
  // Bk = A (2 Vm - Bm), Bm = A (2 Vk - Bk).
  const cplx pair = 2.0 * cplx(2000.0, 1000.0) / cplx(1000.0, -3000.0);
  const double zc[2] = {300.0 + 50000.0 / 500.0, 500.0 + pair.real()};
  const double a[2] = {1000.0 / 2000.0 + 3200.0 / 8000.0, 2400.0 / 3000.0};
  const double T[2][2] = {{co, -si}, {si, co}};  // T[conductor][mode]
  double ik[2] = {}, im[2] = {};
  for (int m = 0; m < 2; ++m) {
    const double em = T[0][m] * E[0] + T[1][m] * E[1];
    std::array<std::array<cplx, 4>, 4> A{};
    A[0] = {1.0 + rs / zc[m], 0.0, -rs / zc[m], 0.0};
    A[1] = {0.0, 1.0 + rl / zc[m], 0.0, -rl / zc[m]};
    A[2] = {0.0, -2.0 * a[m], 1.0, a[m]};
    A[3] = {-2.0 * a[m], 0.0, a[m], 1.0};
    const std::array<cplx, 4> x = solve<4>(A, {em, 0.0, 0.0, 0.0});
    for (int c = 0; c < 2; ++c) {
      ik[c] += T[c][m] * ((x[0] - x[2]) / zc[m]).real();
      im[c] += T[c][m] * ((x[1] - x[3]) / zc[m]).real();
    }
  }
  for (int c = 0; c < 2; ++c) {
    EXPECT_NEAR(e_s0::cdctl(c + 1, 1, 1), ik[c], 1e-9 * std::abs(ik[c])) << "conductor " << c + 1;
    EXPECT_NEAR(e_s0::cdctl(c + 1, 2, 1), im[c], 1e-9 * std::abs(ik[c])) << "conductor " << c + 1;
  }
}

// --------------------------------------------------------- phase-domain set-up

using FrePhase = Lines;

// One conductor: Yc = D + fast pole (placed first) + one slow pole; one group
// of `tau` seconds whose H has a slow pole, a fast pole, and a slow pole.
PhaseFit folded_fit(double tau) {
  PhaseFit f;
  f.n = 1;
  f.d = {1.0 / 500.0};
  f.yc_poles = {cplx(-2.0e15, 0.0), cplx(-300.0, 0.0)};
  f.yc_residues = {{cplx(4.0e12, 0.0)}, {cplx(0.2, 0.0)}};
  PhaseGroup g;
  g.tau = tau;
  g.poles = {cplx(-1000.0, 0.0), cplx(-5.0e15, 0.0), cplx(-4000.0, 0.0)};
  g.residues = {{cplx(500.0, 0.0)}, {cplx(5.0e13, 0.0)}, {cplx(2000.0, 0.0)}};
  f.groups = {g};
  return f;
}

TEST_F(FrePhase, FastPolesFoldIntoTheConstantsWhereverTheyStand) {
  write_section("GLOBAL_TLINES:", header_record(1, "fp.tlo"));
  wakro_test::write_file("fp.tlo", folded_fit(10.0 * kDelt).file());
  read_lines(2, 1, 1, kDelt);
  using namespace e_s7ph;
  EXPECT_EQ(nyc(1, 1), 1);
  EXPECT_EQ(nh(1, 1), 2);
  // Yc: D + Re(R/a) of the fast pole + Re(lambda R) of the slow one.
  const auto lambda = [](double a, double dt) {
    const double E = std::exp(-a * dt);
    return (1.0 - (1.0 - E) / (a * dt)) / a;
  };
  const double E300 = std::exp(-300.0 * kDelt);
  EXPECT_NEAR(std::abs(alfayc(1, 1, 1) - E300), 0.0, 1e-15);
  EXPECT_NEAR(gyc(1, 1, 1), 0.002 + 4.0e12 / 2.0e15 + lambda(300.0, kDelt) * 0.2, 1e-15);
  EXPECT_NEAR(e_s7::globaldm(1, 1, 1), gyc(1, 1, 1), 0.0);
  // H: the slow poles and their residues compacted in reading order.
  EXPECT_NEAR(std::abs(alfah(1, 1, 1) - std::exp(-1000.0 * kDelt)), 0.0, 1e-15);
  EXPECT_NEAR(std::abs(alfah(2, 1, 1) - std::exp(-4000.0 * kDelt)), 0.0, 1e-15);
  EXPECT_EQ(hserc(1), cplx(500.0, 0.0));
  EXPECT_EQ(hserc(2), cplx(2000.0, 0.0));
  EXPECT_NEAR(gh(1), 0.01 + lambda(1000.0, kDelt) * 500.0 + lambda(4000.0, kDelt) * 2000.0, 1e-13);
  // A whole delay: one exponential, no present-value weight.
  EXPECT_EQ(tauj(1, 1), 10);
  EXPECT_EQ(epsarr(1, 1), 0.0);
  EXPECT_EQ(betah(1, 1, 1), cplx(0.0, 0.0));
  EXPECT_EQ(maxtauj(1), 10);
}

TEST_F(FrePhase, UnusableFitsAndCountsBeyondTheirDimensionAreInvalidDataLines) {
  PhaseFit unstable = folded_fit(10.0 * kDelt);
  unstable.yc_poles[1] = cplx(300.0, 0.0);  // a = -300
  PhaseFit origin = folded_fit(10.0 * kDelt);
  origin.groups[0].poles[0] = cplx(0.0, 0.0);
  PhaseFit repeated = folded_fit(10.0 * kDelt);
  repeated.groups[0].poles[2] = repeated.groups[0].poles[0];
  const std::pair<PhaseFit, std::int32_t> cases[] = {
      {unstable, 0}, {origin, 0}, {repeated, 0}, {folded_fit(10.0 * kDelt), 2}};
  for (const auto& [fit, poles] : cases) {
    reset_line_counts();
    write_section("GLOBAL_TLINES:", header_record(1, "fp.tlo"));
    wakro_test::write_file("fp.tlo", fit.file());
    after_pass_.clear();
    if (poles > 0) after_pass_ = {{dim::maxpoles_ph, poles}};  // three poles in the H fit
    const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
    EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos) << c.text;
    EXPECT_NE(c.status, -1);
    wakro::close_all_units();
    release_all_and_reset();
  }
}

TEST_F(FrePhase, ConductorCountOfTheDataMustMatchTheEnds) {
  PhaseFit f = folded_fit(10.0 * kDelt);
  write_section("GLOBAL_TLINES:", header_record(2, "fp.tlo"));
  wakro_test::write_file("fp.tlo", f.file());  // data of one conductor
  const nettest::Captured c = nettest::capture([&] { read_lines(4, 1, 1, kDelt); });
  EXPECT_NE(c.text.find(" ERROR: DSLINT Transmission Line Data\n"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" Line/Cable Name: 'fp'\n ***********************************\n"),
            std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos);
  EXPECT_NE(c.status, -1);
}

TEST_F(FrePhase, InfiniteLengthShortDelayAndAShortModeGiveOneSummary) {
  // The phase line's group of half a step is not checked with INFLENGTH, by
  // the pass nor by the reader; the Bergeron mode of 0.9 step is, once.
  PhaseFit f = folded_fit(0.5 * kDelt);
  f.options = "INFLENGTH\n";
  write_section("GLOBAL_TLINES:", header_record(1, "fp.tlo") + lossless_record(0.9 * kDelt * 1000.0, 400.0, 3, 4));
  wakro_test::write_file("fp.tlo", f.file());
  const nettest::Captured c = nettest::capture([&] { read_lines(4, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  const std::string summary = "For better accuracy, make time step less than";
  const std::size_t at = c.text.find(summary);
  ASSERT_NE(at, std::string::npos) << c.text;
  EXPECT_EQ(c.text.find(summary, at + 1), std::string::npos);
  EXPECT_EQ(c.text.find("Time step is too large for the tline/cable 'fp'"), std::string::npos);
  EXPECT_EQ(e_s7ph::tauj(1, 1), 1);
  EXPECT_TRUE(e_s7ph::inflengthph(1));
}

// ------------------------------------------------ lossless fits, step by step

// The matched-step case of the Bergeron tests with the lossless fits: FRE-DEP
// with Zc = 400 and A = 1 without poles, FRE-PHASE with D = 1/400 and H = 1
// through one pole of 1e15 folded into gh. Far end open, 400 ohm source.
class LosslessFit : public Lines, public ::testing::WithParamInterface<bool> {
 protected:
  void build(double tau_steps, const std::string& options = "") {
    const double tau_s = tau_steps * kDelt;
    if (GetParam()) {
      PhaseFit f;
      f.options = options;
      f.d = {1.0 / 400.0};
      PhaseGroup g;
      g.tau = tau_s;
      g.poles = {cplx(-1.0e15, 0.0)};
      g.residues = {{cplx(1.0e15, 0.0)}};
      f.groups = {g};
      write_section("GLOBAL_TLINES:", header_record(1, "fp.tlo"));
      wakro_test::write_file("fp.tlo", f.file());
    } else {
      write_section("GLOBAL_TLINES:", fredep_record(tau_s * 1000.0, "0 0 400.0\n", "0 0 1.0\n", options));
    }
    read_lines(2, 1, 1, kDelt);
    add_branch(1, 0, 1, 400.0, 0.0, 0.0, 0.0, 1.0);
  }
};

TEST_P(LosslessFit, StepReachesTheOpenEndAfterTenStepsAndReturnsAfterTwenty) {
  build(10.0);
  start_run(40);
  for (int n = 0; n < 40; ++n) {
    step();
    EXPECT_NEAR(v(2), n < 10 ? 0.0 : 1.0, kTol) << "step " << n;
    EXPECT_NEAR(v(1), n < 20 ? 0.5 : 1.0, kTol) << "step " << n;
    EXPECT_NEAR(e_s0::cdctl(1, 1, 1), (1.0 - v(1)) / 400.0, kTol) << "step " << n;
  }
}

TEST_P(LosslessFit, FractionalTravelTimeInterpolatesTheArrivingWave) {
  build(10.5);
  start_run(14);
  for (int n = 0; n < 14; ++n) {
    step();
    EXPECT_NEAR(v(2), n < 10 ? 0.0 : (n == 10 ? 0.5 : 1.0), kTol) << "step " << n;
  }
}

TEST_P(LosslessFit, OneStepLineArrivesAfterOneStep) {
  build(1.0);
  start_run(4);
  step();
  EXPECT_NEAR(v(2), 0.0, kTol);
  step();
  EXPECT_NEAR(v(2), 1.0, kTol);
}

// Infinite length, whatever the travel time: no wave reaches the open end.
TEST_P(LosslessFit, InfiniteLengthLineOfTenStepsReflectsNothing) {
  build(10.0, "INFLENGTH\n");
  start_run(30);
  for (int n = 0; n < 30; ++n) {
    step();
    EXPECT_TRUE(std::abs(v(2)) < kTol && std::abs(v(1) - 0.5) < kTol) << "step " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(BothModels, LosslessFit, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "FrePhase" : "FreDep"; });

// ------------------------------------ three conductors against their phasors

// A realistic fit of a three-conductor line: two slow poles to every fit
// (spread_fit), and in Yc a complex pair and a fast pole, in the aerial group
// a fast pole between the slow ones.
PhaseFit three_conductor_fit() {
  PhaseFit f = spread_fit(3, 2, kDelt);
  const auto matrix = [](cplx self, cplx mutual) {
    std::vector<cplx> m(9, mutual);
    m[0] = m[4] = m[8] = self;
    return m;
  };
  f.yc_poles.insert(f.yc_poles.end(), {cplx(-2000.0, 8000.0), cplx(-2000.0, -8000.0), cplx(-3.0e15, 0.0)});
  f.yc_residues.insert(f.yc_residues.end(), {matrix(cplx(1.0, 2.0), cplx(-0.2, -0.3)),
                                              matrix(cplx(1.0, -2.0), cplx(-0.2, 0.3)), matrix(3.0e10, 0.0)});
  PhaseGroup& aerial = f.groups[0];
  aerial.poles.insert(aerial.poles.begin() + 1, cplx(-1.0e16, 0.0));
  std::vector<cplx> fast = aerial.residues[0];
  for (cplx& r : fast) r *= 0.01 * 1.0e16 / 300.0;
  aerial.residues.insert(aerial.residues.begin() + 1, fast);
  return f;
}

TEST_F(FrePhase, ThreeConductorLineMatchesItsPhasorSolution) {
  const PhaseFit f = three_conductor_fit();
  const double w = 2.0 * std::numbers::pi * 50.0;
  const double rs = 10.0, rl = 500.0;
  const cplx a = std::polar(1.0, -2.0 * std::numbers::pi / 3.0);
  const std::array<cplx, 3> E = {1.0, a, a * a};

  // Phasor solution. Unknowns: Vk, Vm, and the incident currents Ik', Im' of
  // both ends; I = Yc V - 2 I', Ik' = H (Yc Vm - Im'), Im' = H (Yc Vk - Ik').
  std::array<std::array<cplx, 12>, 12> A{};
  std::array<cplx, 12> b{};
  for (int r = 0; r < 3; ++r) {
    A[r][r] += 1.0;        // Vk + rs (Yc Vk - 2 Ik') = E
    A[3 + r][3 + r] += 1.0;  // Vm + rl (Yc Vm - 2 Im') = 0
    A[6 + r][6 + r] += 1.0;
    A[9 + r][9 + r] += 1.0;
    A[r][6 + r] -= 2.0 * rs;
    A[3 + r][9 + r] -= 2.0 * rl;
    b[r] = E[r];
    for (int c = 0; c < 3; ++c) {
      A[r][c] += rs * f.yc(r + 1, c + 1, w);
      A[3 + r][3 + c] += rl * f.yc(r + 1, c + 1, w);
      cplx hy = 0.0;
      for (int k = 0; k < 3; ++k) hy += f.h(r + 1, k + 1, w) * f.yc(k + 1, c + 1, w);
      A[6 + r][3 + c] -= hy;  // Ik' - H Yc Vm + H Im' = 0
      A[6 + r][9 + c] += f.h(r + 1, c + 1, w);
      A[9 + r][c] -= hy;
      A[9 + r][6 + c] += f.h(r + 1, c + 1, w);
    }
  }
  const std::array<cplx, 12> x = solve(A, b);
  std::array<cplx, 6> expected{};  // currents into the line at both ends
  for (int r = 0; r < 3; ++r) {
    expected[r] = (E[r] - x[r]) / rs;
    expected[3 + r] = -x[3 + r] / rl;
  }

  // The simulation: 0.2 s, then one whole cycle (400 steps) for the phasors.
  write_section("GLOBAL_TLINES:", header_record(3, "fp.tlo"));
  wakro_test::write_file("fp.tlo", f.file());
  read_lines(6, 6, 1, kDelt);
  std::array<std::int32_t, 3> src{};
  for (int r = 0; r < 3; ++r) {
    src[r] = add_branch(1, 0, r + 1, rs, 0.0, 0.0, 0.0, E[r].real());
    add_branch(1, 4 + r, 0, rl, 0.0, 0.0);
  }
  model_ = [&] {
    for (int r = 0; r < 3; ++r) branches::ebr(src[r], 1) = std::real(E[r] * std::exp(cplx(0.0, w * ctrl::iii * kDelt)));
  };
  constexpr int kSettle = 4000, kCycle = 400;
  start_run(kSettle + kCycle);
  std::array<cplx, 6> measured{};
  for (int n = 0; n < kSettle + kCycle; ++n) {
    const double t = n * kDelt;
    step();
    if (n < kSettle) continue;
    for (int r = 0; r < 3; ++r) {
      measured[r] += e_s0::cdctl(r + 1, 1, 1) * std::exp(cplx(0.0, -w * t)) * (2.0 / kCycle);
      measured[3 + r] += e_s0::cdctl(r + 1, 2, 1) * std::exp(cplx(0.0, -w * t)) * (2.0 / kCycle);
    }
  }
  for (int k = 0; k < 6; ++k)
    EXPECT_LT(std::abs(measured[k] - expected[k]) / std::abs(expected[k]), 1e-3)
        << "terminal " << k << ": " << measured[k] << " against " << expected[k];
}

}  // namespace
}  // namespace linetest
