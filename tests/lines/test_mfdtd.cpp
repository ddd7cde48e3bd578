// The finite-difference (MFDTD) lines: the segment count and its console lines,
// the refusals of the set-up, the inversion mmat_inv, the fit's coefficients and
// the convolution update mpsi against hand-worked values, and a lossless line
// stepped through the real network solution: its wave arrives after exactly N
// steps and its energy stays bounded.
#include <cmath>
#include <complex>
#include <numbers>
#include <string>

#include "lines/fd_records.h"
#include "lines/line_fixture.h"
#include "lines/line_setup.h"
#include "lines/line_steps.h"
#include "model/branches.h"
#include "model/e_s7mfd.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"

namespace linetest {
namespace {

constexpr double kDelt = 5.0e-5;

using Mfdtd = Lines;

// A header-form MFDTD record between nodes 1 (sending) and 2 (receiving) with
// its data in mfdtd.tlo; role 1 makes it the server end of an ENI line.
void write_case(const MfdtdFit& f, int role = 0) {
  std::string record = header_record(f.n, "mfdtd.tlo");
  if (role != 0) {
    record = "Quolb Line Constants\n1 " + std::to_string(role) +
             "\n1 1 1 0 1 0\nTLINE-INPUT-DATA  mline\nTLINE-OUTPUT-DATA mfdtd.tlo\n";
  } else {
    record.replace(record.find("fd line"), 7, "mline");
  }
  Lines::write_section("GLOBAL_TLINES:", record);
  wakro_test::write_file("mfdtd.tlo", f.file());
}

// ------------------------------------------------------------ segments

TEST_F(Mfdtd, SegmentCountAtThreeHundredMegametresPerSecondAndFiftyMicroseconds) {
  // vmax dt = 15000 m: 31000 m gives INT(2.07) = 2 segments of 15500 m.
  write_case(lossless_mfdtd(400.0, 3.0e8, 31000.0));
  nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(e_s7mfd::nmfd(1), 2);
  EXPECT_EQ(e_s7mfd::dxmfd(1), 15500.0);
  EXPECT_NE(c.text.find("MFDTD line: mline               \n"
                        "Number of spacial segments =      2\n"
                        "Spacial segment length (dx) =        15500.0    \n"),
            std::string::npos)
      << c.text;
  EXPECT_EQ(e_s7::linemodel(1, 1), 3);
  release_all_and_reset();

  // 20000 m: one segment; the hint and the warning, and the set-up goes on.
  reset_line_counts();
  write_case(lossless_mfdtd(400.0, 3.0e8, 20000.0));
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(e_s7mfd::nmfd(1), 1);
  EXPECT_EQ(e_s7mfd::dxmfd(1), 20000.0);
  EXPECT_NE(c.text.find("MFDTD line: mline               \n"
                        " Number of spacial segments is 1.  This line may\n"
                        " be replaced with a Coupled PI-Section\n equivalent.\n"),
            std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("Check Non-standard Messages for Tline/Cable Warnings"), std::string::npos);
  release_all_and_reset();

  // 10000 m: no segment at all stops the reader.
  reset_line_counts();
  write_case(lossless_mfdtd(400.0, 3.0e8, 10000.0));
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("ERROR: MFDTD line: mline               \n"
                        " Number of spacial segments is less than 1.\n"
                        " Selected WAKRO time step is not sufficiently\n"
                        " small for specified line length.  Please\n"
                        " reduce WAKRO time step.\n"),
            std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by DSLINT      "), std::string::npos);
  EXPECT_NE(c.status, -1);
}
TEST_F(Mfdtd, VelocityIsReportedBeforeTheLength) {
  // Neither leaves a segment; the pass meets them first and shows the velocity.
  MfdtdFit f = lossless_mfdtd(400.0, 3.0e8, 0.0);
  f.vmax = -3.0e8;
  write_case(f);
  nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("ERROR: MFDTD line: mline               \n"
                        " Value entered for maximum velocity is less than\n"
                        " or equal to 0.0.  Please choose a positive\n"
                        " value (typically around 2.99E+08 m/s).\n"),
            std::string::npos)
      << c.text;
  EXPECT_EQ(c.text.find("Line length must be greater than 0.0!"), std::string::npos);
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by SCTLINE     "), std::string::npos);
  EXPECT_NE(c.status, -1);

  f.vmax = 3.0e8;
  write_case(f);
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("ERROR: MFDTD line: mline               \n"
                        " Line length must be greater than 0.0!\n"),
            std::string::npos)
      << c.text;
  EXPECT_NE(c.status, -1);
}

// ------------------------------------------------------------ refusals

TEST_F(Mfdtd, RecordsTheStepCannotTakeAreRefused) {
  // The server end of an ENI line.
  write_case(lossless_mfdtd(400.0, 3.0e8, 31000.0), 1);
  nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("An ENI line cannot use the MFDTD model: Line/Cable "), std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("'mfdtd'"), std::string::npos);
  EXPECT_NE(c.status, -1);
  release_all_and_reset();

  // A pole at 0, which every coefficient divides by.
  reset_line_counts();
  MfdtdFit f = lossy_mfdtd(1, 1, 31000.0);
  f.poles[0] = 0.0;
  write_case(f);
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("(0, 0)"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
  release_all_and_reset();

  // A fit of two poles where the model line has dimensioned one.
  reset_line_counts();
  f = lossy_mfdtd(1, 2, 31000.0);
  f.model_poles = 1;
  write_case(f);
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
  release_all_and_reset();

  // A model line of two conductors for a record of one.
  reset_line_counts();
  f = lossy_mfdtd(1, 1, 31000.0);
  std::string text = f.file();
  text.replace(0, 8, "MFDTD  2");
  write_case(f);
  wakro_test::write_file("mfdtd.tlo", text);
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find(" ERROR: DSLINT Transmission Line Data\n"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("MFDTD  2  1"), std::string::npos);
  EXPECT_NE(c.status, -1);
}

// ------------------------------------------------------------ mmat_inv

TEST(MmatInv, InvertsInPlaceAndStopsOnASingularMatrix) {
  wakro::FArray<double, 3> a{"a"};
  a.allocate(3, 3, 2);  // first extents wider than n; slice 2 is inverted
  a.fill(7.0);
  a(1, 1, 2) = 2.0;
  a(1, 2, 2) = 1.0;
  a(2, 1, 2) = 1.0;
  a(2, 2, 2) = 2.0;
  wakro::lines::mmat_inv(a, 2, 2);
  EXPECT_NEAR(a(1, 1, 2), 2.0 / 3.0, 1e-15);
  EXPECT_NEAR(a(1, 2, 2), -1.0 / 3.0, 1e-15);
  EXPECT_NEAR(a(2, 1, 2), -1.0 / 3.0, 1e-15);
  EXPECT_NEAR(a(2, 2, 2), 2.0 / 3.0, 1e-15);
  EXPECT_EQ(a(3, 3, 2), 7.0);  // outside the n x n part
  EXPECT_EQ(a(1, 1, 1), 7.0);  // another slice

  // A permutation needs every row swapped onto its pivot: the inverse is the transpose.
  a.fill(0.0);
  a(1, 2, 1) = 4.0;
  a(2, 3, 1) = 2.0;
  a(3, 1, 1) = 0.5;
  wakro::lines::mmat_inv(a, 3, 1);
  EXPECT_EQ(a(2, 1, 1), 0.25);
  EXPECT_EQ(a(3, 2, 1), 0.5);
  EXPECT_EQ(a(1, 3, 1), 2.0);
  EXPECT_EQ(a(1, 1, 1) + a(1, 2, 1) + a(2, 2, 1) + a(2, 3, 1) + a(3, 1, 1) + a(3, 3, 1), 0.0);

  a.fill(0.0);
  const nettest::Captured c = nettest::capture([&] { wakro::lines::mmat_inv(a, 2, 1); });
  EXPECT_NE(c.text.find("Singular matrix encountered in MFDTD"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by MMAT_INV    "), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

// ------------------------------------------------------------ coefficients

TEST_F(Mfdtd, OneRealPoleGivesItsResidueOverThePole) {
  // One conductor: alpha = -1000 (as read), A = 0.01 ohm/m/s, over 2 segments of
  // 15500 m at 50 us: Gamma = A / alpha, x = alpha dt = -0.05.
  MfdtdFit f = lossy_mfdtd(1, 1, 31000.0);
  f.residues[0][0] = 0.01;
  write_case(f);
  read_lines(2, 1, 1, kDelt);
  const double alpha = -1000.0, A = 0.01, x = alpha * kDelt, E = std::exp(x);
  const double w = 1.0 + (1.0 - E) / x;
  EXPECT_NEAR(e_tlint::gamamfd(1, 1), A / alpha, 1e-20);
  EXPECT_NEAR(e_s7mfd::zeta1mfd(1, 1, 1), A * w / (x * alpha), 1e-18);
  EXPECT_NEAR(e_s7mfd::xhi1mfd(1, 1, 1), A * ((E - 1.0) / x) / alpha, 1e-18);
  EXPECT_NEAR(e_s7mfd::zeta2mfd(1, 1), E * w / x, 1e-14);
  EXPECT_NEAR(e_s7mfd::xhi2mfd(1, 1), (E * E - E) / x, 1e-14);
  EXPECT_NEAR(std::abs(e_s7mfd::ealphamfd(1, 1) - E), 0.0, 1e-16);
  // Segment matrices of dx = 15500 and the terminal admittance stamped.
  const double dx = 15500.0, C = f.c[0], G = f.g[0], L = f.l[0], R = f.r[0];
  const double zeta1 = A * w / (x * alpha), xi1 = A * ((E - 1.0) / x) / alpha;
  EXPECT_NEAR(e_s7mfd::zplusimfd(1, 1, 1) * (L / kDelt + R / 2.0 - A / alpha / 2.0 - zeta1) * dx, 1.0, 1e-14);
  EXPECT_NEAR(e_s7mfd::zminusmfd(1, 1, 1) / ((L / kDelt - R / 2.0 + A / alpha / 2.0 - 2.0 * zeta1 - xi1) * dx),
              1.0, 1e-14);
  EXPECT_NEAR(e_s7mfd::yplusimfd(1, 1, 1) * (C / kDelt + G / 2.0) * dx, 1.0, 1e-14);
  EXPECT_NEAR(e_s7::globaldm(1, 1, 1), (C / kDelt + G) * dx, 1e-18);
}

// mpsi on hand-set tables of line 1: two conductors and two poles, so that
// each pole must be divided by its own alpha.
class Mpsi : public ::testing::Test {
 protected:
  void SetUp() override {
    e_s7mfd::alphamfd.allocate(2, 1);
    e_s7mfd::ealphamfd.allocate(2, 1);
    e_s7mfd::aimfd.allocate(2, 2, 2, 1);
    e_s7mfd::zeta2mfd.allocate(2, 1);
    e_s7mfd::xhi2mfd.allocate(2, 1);
    e_tldyn::psiimfd.allocate(2, 2);
    e_tldyn::psisummfd.allocate(2);
    for (auto* v : {&a_, &b_, &c_}) v->allocate(2);
  }
  void TearDown() override {
    e_s7mfd::alphamfd.release();
    e_s7mfd::ealphamfd.release();
    e_s7mfd::aimfd.release();
    e_s7mfd::zeta2mfd.release();
    e_s7mfd::xhi2mfd.release();
    e_tldyn::psiimfd.release();
    e_tldyn::psisummfd.release();
  }
  wakro::FArray<double, 1> a_{"a"}, b_{"b"}, c_{"c"};
};

TEST_F(Mpsi, EachPoleIsDividedByItsOwnAlpha) {
  using e_tldyn::psiimfd;
  e_s7mfd::alphamfd(1, 1) = -2.0;
  e_s7mfd::alphamfd(2, 1) = cplx(-4.0, 4.0);
  e_s7mfd::ealphamfd(1, 1) = 0.5;
  e_s7mfd::ealphamfd(2, 1) = cplx(0.25, 0.5);
  e_s7mfd::zeta2mfd(1, 1) = 0.125;
  e_s7mfd::zeta2mfd(2, 1) = 0.0;
  e_s7mfd::xhi2mfd(1, 1) = 0.0;
  e_s7mfd::xhi2mfd(2, 1) = 0.75;
  // A_1 = ((1, 2), (2, 1)), A_2 = 1 j on the diagonal.
  e_s7mfd::aimfd.fill(cplx(0.0));
  e_s7mfd::aimfd(1, 1, 1, 1) = e_s7mfd::aimfd(2, 2, 1, 1) = 1.0;
  e_s7mfd::aimfd(1, 2, 1, 1) = e_s7mfd::aimfd(2, 1, 1, 1) = 2.0;
  e_s7mfd::aimfd(1, 1, 2, 1) = e_s7mfd::aimfd(2, 2, 2, 1) = cplx(0.0, 1.0);
  psiimfd(1, 1) = 4.0;
  psiimfd(2, 1) = 8.0;
  psiimfd(1, 2) = cplx(2.0, 2.0);
  psiimfd(2, 2) = 0.0;
  a_(1) = 1.0, b_(1) = 2.0, c_(1) = 0.5;  // 2b - a - c = 2.5, b - c = 1.5
  a_(2) = 0.0, b_(2) = 0.0, c_(2) = 4.0;  // -4 and -4
  wakro::lines::mpsi(2, 2, a_, b_, c_, 1);
  // Pole 1: P = 0.5 P + 0.125 (2b - a - c): (2 + 0.3125, 4 - 0.5).
  EXPECT_EQ(psiimfd(1, 1), cplx(2.3125, 0.0));
  EXPECT_EQ(psiimfd(2, 1), cplx(3.5, 0.0));
  // Pole 2: P = (0.25 + 0.5j) P + 0.75 (b - c), the real term on the real part:
  // (2 + 2j)(0.25 + 0.5j) = -0.5 + 1.5j, then + 1.125; and 0 - 3.
  EXPECT_EQ(psiimfd(1, 2), cplx(0.625, 1.5));
  EXPECT_EQ(psiimfd(2, 2), cplx(-3.0, 0.0));
  // S_1 = (2.3125 + 2 x 3.5) / -2 + j (0.625 + 1.5j) / (-4 + 4j)
  //     = -4.65625 + (-1.5 + 0.625j)(-4 - 4j) / 32 = -4.65625 + 0.265625
  // S_2 = (2 x 2.3125 + 3.5) / -2 + j (-3) / (-4 + 4j) = -4.0625 - 0.375
  EXPECT_NEAR(e_tldyn::psisummfd(1), -4.390625, 1e-15);
  EXPECT_NEAR(e_tldyn::psisummfd(2), -4.4375, 1e-15);
}

// ------------------------------------------------------------ per step

class MfdtdStep : public Lines {
 protected:
  // dt = 2^-16 s and v = 2^28 m/s make a segment of exactly 4096 m, so that a
  // line of 10 segments has v dt = dx and a travel time of exactly 10 steps.
  static constexpr double kDt = 1.0 / 65536.0;
  static constexpr double kVel = 268435456.0;
  static double e(int n) { return n < 0 ? 0.0 : std::sin(2.0 * std::numbers::pi * 60.0 * n * kDt); }

  MfdtdFit fit_ = lossless_mfdtd(400.0, kVel, 10 * 4096.0);

  // The line between node 1 (sending) and node 2, fed at node 1 from a 60 Hz
  // source of 1 kV through r ohm.
  void build(double r) {
    write_case(fit_);
    read_lines(2, 1, 1, kDt);
    ASSERT_EQ(e_s7mfd::nmfd(1), 10);
    const std::int32_t b = add_branch(1, 0, 1, r, 0.0, 0.0, 0.0, 1.0);  // a source branch
    model_ = [b] { branches::ebr(b, 1) = e(ctrl::iii); };
  }
};

TEST_F(MfdtdStep, LosslessLineDelaysByItsSegmentCount) {
  // At v dt = dx the scheme carries a wave one node per step without
  // dispersion: with a matched feed the closed form of the travelling wave
  // (see the Bergeron line step test) holds to rounding,
  //   v_far(n) = e(n - 10),  v_send(n) = (e(n) + e(n - 20)) / 2,
  // and before step 10 nothing at all has reached the far end.
  build(400.0);
  start_run(200);
  for (int n = 0; n < 200; ++n) {
    step();
    if (n < 10) {
      EXPECT_EQ(v(2), 0.0) << "step " << n;
    }
    const double vs = (e(n) + e(n - 20)) / 2.0;
    EXPECT_NEAR(v(2), e(n - 10), 1e-12) << "step " << n;
    EXPECT_NEAR(v(1), vs, 1e-12) << "step " << n;
    EXPECT_NEAR(e_s0::cdctl(1, 1, 1), (e(n) - vs) / 400.0, 1e-14) << "step " << n;
    EXPECT_NEAR(e_s0::cdctl(1, 2, 1), 0.0, 1e-14) << "step " << n;  // the open end
  }
}

TEST_F(MfdtdStep, EnergyStaysBoundedOverTenThousandSteps) {
  // Fed through 100 ohm (waves reflected at both ends, nothing absorbs them but
  // the source resistance), the 41 km line is short against the 60 Hz wave: it
  // charges like its capacitance, to within a fraction of a percent of the
  // source voltage. Its stored energy
  //   W = sum C dx v^2 / 2 (half cells at the ends) + sum L dx i^2 / 2
  // peaks each cycle near C length / 2 x 1 kV^2 and must not grow from cycle to
  // cycle.
  build(100.0);
  const double dx = 4096.0, C = fit_.c[0], L = fit_.l[0];
  const double charged = 0.5 * C * 10 * dx;
  const int cycle = 1092;  // steps in one 60 Hz cycle, rounded down
  start_run(10000);
  double first_peak = 0.0, peak = 0.0;
  for (int n = 0; n < 10000; ++n) {
    step();
    double w = 0.25 * C * dx * (v(1) * v(1) + v(2) * v(2));
    for (int s = 2; s <= 10; ++s) w += 0.5 * C * dx * std::pow(e_tldyn::vhmfd(1, s, 1), 2);
    for (int s = 1; s <= 10; ++s) w += 0.5 * L * dx * std::pow(e_tldyn::ihmfd1(1, s, 1), 2);
    peak = std::max(peak, w);
    if (n % cycle == cycle - 1) {
      if (first_peak == 0.0) first_peak = peak;
      EXPECT_LT(peak, first_peak * (1.0 + 1e-4)) << "step " << n;
      EXPECT_NEAR(peak / charged, 1.0, 0.01) << "step " << n;
      peak = 0.0;
    }
  }
  EXPECT_GT(first_peak, 0.0);
}

}  // namespace
}  // namespace linetest
