// The finite-difference (MFDTD) lines: the segments and their console lines,
// the records refused, mmat_inv, the fit's coefficients and mpsi against
// hand-worked values, and a lossless line through the real network solution:
// its wave arrives after exactly N steps and its energy stays bounded.
#include <cmath>
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
constexpr std::size_t npos = std::string::npos;

class Mfdtd : public Lines {
 protected:
  // A header-form record between nodes 1 (sending) and 2, named "mline", its
  // data in mfdtd.tlo; role 1 makes it an ENI server end. Reads the case.
  nettest::Captured read(const MfdtdFit& f, double delt = kDelt, int role = 0) {
    reset_line_counts();
    std::string record = header_record(f.n, "mfdtd.tlo");
    record.replace(record.find("fd line"), 7, "mline");
    if (role != 0) record = "Quolb Line Constants\n1 1\n1 1 1 0 1 0\n" + record.substr(record.find("TLINE-IN"));
    write_section("GLOBAL_TLINES:", record);
    wakro_test::write_file("mfdtd.tlo", f.file());
    return nettest::capture([&] { read_lines(2, 1, 1, delt); });
  }
};

TEST_F(Mfdtd, SegmentsAtThreeHundredMegametresPerSecondAndFiftyMicroseconds) {
  // vmax dt = 15000 m. 31000 m: INT(2.07) = 2 segments of 15500 m.
  nettest::Captured c = read(lossless_mfdtd(400.0, 3.0e8, 31000.0));
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(e_s7mfd::dxmfd(1), 15500.0);
  EXPECT_NE(c.text.find("MFDTD line: mline               \nNumber of spacial segments =      2\n"
                        "Spacial segment length (dx) =        15500.0    \n"),
            npos)
      << c.text;
  release_all_and_reset();
  // 20000 m: one segment, the hint and the warning; the set-up goes on.
  c = read(lossless_mfdtd(400.0, 3.0e8, 20000.0));
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(e_s7mfd::nmfd(1), 1);
  EXPECT_NE(c.text.find("MFDTD line: mline               \n Number of spacial segments is 1.  This line may\n"
                        " be replaced with a Coupled PI-Section\n equivalent.\n"),
            npos);
  EXPECT_NE(c.text.find("Check Non-standard Messages for Tline/Cable Warnings"), npos);
  release_all_and_reset();
  // 10000 m: no segment stops the reader.
  c = read(lossless_mfdtd(400.0, 3.0e8, 10000.0));
  EXPECT_NE(c.text.find("ERROR: MFDTD line: mline               \n Number of spacial segments is less than 1.\n"
                        " Selected WAKRO time step is not sufficiently\n small for specified line length.  Please\n"
                        " reduce WAKRO time step.\n"),
            npos)
      << c.text;
  EXPECT_NE(c.text.find("by DSLINT      "), npos);
}

TEST_F(Mfdtd, VelocityIsReportedBeforeTheLength) {
  // The dimension pass meets them first and shows them as the reader does.
  nettest::Captured c = read(lossless_mfdtd(400.0, -3.0e8, 0.0));
  EXPECT_NE(c.text.find("ERROR: MFDTD line: mline               \n"
                        " Value entered for maximum velocity is less than\n or equal to 0.0.  Please choose a positive\n"
                        " value (typically around 2.99E+08 m/s).\n"),
            npos)
      << c.text;
  EXPECT_EQ(c.text.find("Line length must be greater than 0.0!"), npos);
  EXPECT_NE(c.text.find("by SCTLINE     "), npos);
  c = read(lossless_mfdtd(400.0, 3.0e8, 0.0));
  EXPECT_NE(c.text.find("ERROR: MFDTD line: mline               \n Line length must be greater than 0.0!\n"), npos);
}

TEST_F(Mfdtd, RecordsTheStepCannotTakeAreRefused) {
  // An ENI server end.
  nettest::Captured c = read(lossless_mfdtd(400.0, 3.0e8, 31000.0), kDelt, 1);
  EXPECT_NE(c.text.find("An ENI line cannot use the MFDTD model: Line/Cable \n ***ERROR** 'mfdtd'"), npos) << c.text;
  EXPECT_NE(c.status, -1);
  release_all_and_reset();
  // A pole at 0, which every coefficient divides by: an invalid data line.
  MfdtdFit f = lossy_mfdtd(1, 1, 31000.0);
  f.poles[0] = 0.0;
  c = read(f);
  EXPECT_NE(c.text.find("IS: ****\n(0,0)  "), npos) << c.text;
  release_all_and_reset();
  // Two poles in the fit where the model line dimensions one.
  f = lossy_mfdtd(1, 2, 31000.0);
  const std::string text = f.file();
  c = read(f);  // sized for two
  release_all_and_reset();
  f.poles.pop_back();  // the model line now says 1; the file still lists 2
  wakro_test::write_file("mfdtd.tlo", f.file().substr(0, 12) + text.substr(12));
  c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("IS: ****\n2    "), npos) << c.text;
}

TEST(MmatInv, InvertsInPlaceAndStopsOnASingularMatrix) {
  wakro::FArray<double, 3> a{"a"};
  a.allocate(3, 3, 2);  // first extents wider than n; slice 2 is inverted
  a.fill(7.0);
  a(1, 1, 2) = a(2, 2, 2) = 2.0;
  a(1, 2, 2) = a(2, 1, 2) = 1.0;
  wakro::lines::mmat_inv(a, 2, 2);
  EXPECT_NEAR(a(1, 1, 2), 2.0 / 3.0, 1e-15);
  EXPECT_NEAR(a(1, 2, 2), -1.0 / 3.0, 1e-15);
  EXPECT_NEAR(a(2, 1, 2), -1.0 / 3.0, 1e-15);
  EXPECT_NEAR(a(2, 2, 2), 2.0 / 3.0, 1e-15);
  EXPECT_EQ(a(3, 3, 2) + a(1, 1, 1), 14.0);  // nothing outside the n x n part
  a.fill(0.0);
  const nettest::Captured c = nettest::capture([&] { wakro::lines::mmat_inv(a, 2, 1); });
  EXPECT_NE(c.text.find("Singular matrix encountered in MFDTD"), npos) << c.text;
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by MMAT_INV    "), npos) << c.text;
}

TEST_F(Mfdtd, OneRealPoleGivesItsResidueOverThePole) {
  // One conductor, alpha = -1000 as read, A = 0.01; 2 segments of 15500 m.
  MfdtdFit f = lossy_mfdtd(1, 1, 31000.0);
  f.residues[0][0] = 0.01;
  ASSERT_EQ(read(f).status, -1);
  const double alpha = -1000.0, A = 0.01, x = alpha * kDelt, dx = 15500.0;
  const double zeta1 = A * (1.0 + (1.0 - std::exp(x)) / x) / (x * alpha);
  EXPECT_NEAR(e_tlint::gamamfd(1, 1), A / alpha, 1e-20);
  EXPECT_NEAR(e_s7mfd::zplusimfd(1, 1, 1) * (f.l[0] / kDelt + f.r[0] / 2.0 - A / alpha / 2.0 - zeta1) * dx, 1.0,
              1e-14);
  EXPECT_NEAR(e_s7mfd::yplusimfd(1, 1, 1) * (f.c[0] / kDelt + f.g[0] / 2.0) * dx, 1.0, 1e-14);
  EXPECT_NEAR(e_s7::globaldm(1, 1, 1), (f.c[0] / kDelt + f.g[0]) * dx, 1e-18);
}

TEST(Mpsi, EachPoleIsDividedByItsOwnAlpha) {
  // Two conductors, two poles, hand-set tables of line 1.
  using namespace e_s7mfd;
  using e_tldyn::psiimfd;
  for (auto* t : {&alphamfd, &ealphamfd}) t->allocate(2, 1);
  zeta2mfd.allocate(2, 1), xhi2mfd.allocate(2, 1), aimfd.allocate(2, 2, 2, 1);
  psiimfd.allocate(2, 2);
  e_tldyn::psisummfd.allocate(2);
  wakro::FArray<double, 1> a{"a"}, b{"b"}, c{"c"};
  for (auto* v : {&a, &b, &c}) v->allocate(2);
  alphamfd(1, 1) = -2.0, alphamfd(2, 1) = cplx(-4.0, 4.0);
  ealphamfd(1, 1) = 0.5, ealphamfd(2, 1) = cplx(0.25, 0.5);
  zeta2mfd(1, 1) = 0.125, zeta2mfd(2, 1) = 0.0;
  xhi2mfd(1, 1) = 0.0, xhi2mfd(2, 1) = 0.75;
  aimfd.fill(cplx(0.0));  // A_1 = ((1, 2), (2, 1)), A_2 = j I
  aimfd(1, 1, 1, 1) = aimfd(2, 2, 1, 1) = 1.0;
  aimfd(1, 2, 1, 1) = aimfd(2, 1, 1, 1) = 2.0;
  aimfd(1, 1, 2, 1) = aimfd(2, 2, 2, 1) = cplx(0.0, 1.0);
  psiimfd(1, 1) = 4.0, psiimfd(2, 1) = 8.0, psiimfd(1, 2) = cplx(2.0, 2.0), psiimfd(2, 2) = 0.0;
  a(1) = 1.0, b(1) = 2.0, c(1) = 0.5;  // 2b - a - c = 2.5, b - c = 1.5
  a(2) = 0.0, b(2) = 0.0, c(2) = 4.0;  // -4, -4
  wakro::lines::mpsi(2, 2, a, b, c, 1);
  // Pole 1: 0.5 P + 0.125 (2b - a - c). Pole 2: (0.25 + 0.5j) P + 0.75 (b - c)
  // on the real part: (2 + 2j)(0.25 + 0.5j) + 1.125 and 0 - 3.
  EXPECT_EQ(psiimfd(1, 1), cplx(2.3125, 0.0));
  EXPECT_EQ(psiimfd(2, 1), cplx(3.5, 0.0));
  EXPECT_EQ(psiimfd(1, 2), cplx(0.625, 1.5));
  EXPECT_EQ(psiimfd(2, 2), cplx(-3.0, 0.0));
  // S_1 = (2.3125 + 7) / -2 + j (0.625 + 1.5j) / (-4 + 4j) = -4.65625 + 0.265625;
  // S_2 = (4.625 + 3.5) / -2 + j (-3) / (-4 + 4j) = -4.0625 - 0.375.
  EXPECT_NEAR(e_tldyn::psisummfd(1), -4.390625, 1e-15);
  EXPECT_NEAR(e_tldyn::psisummfd(2), -4.4375, 1e-15);
  wakro_test::reset_shared_state();
}

class MfdtdStep : public Mfdtd {
 protected:
  // dt = 2^-16 s and v = 2^28 m/s: segments of exactly 4096 m, v dt = dx.
  static constexpr double kDt = 1.0 / 65536.0;
  static double e(int n) { return n < 0 ? 0.0 : std::sin(2.0 * std::numbers::pi * 60.0 * n * kDt); }
  MfdtdFit fit_ = lossless_mfdtd(400.0, 268435456.0, 10 * 4096.0);

  // Ten segments between node 1 and the open node 2, fed at node 1 from a
  // 60 Hz source of 1 kV through r ohm.
  void build(double r) {
    ASSERT_EQ(read(fit_, kDt).status, -1);
    ASSERT_EQ(e_s7mfd::nmfd(1), 10);
    const std::int32_t b = add_branch(1, 0, 1, r, 0.0, 0.0, 0.0, 1.0);
    model_ = [b] { branches::ebr(b, 1) = e(ctrl::iii); };
  }
};

TEST_F(MfdtdStep, LosslessLineDelaysByItsSegmentCount) {
  // At v dt = dx the wave moves one node per step without dispersion: with a
  // matched feed the travelling-wave closed form of the Bergeron step test
  // holds, v_far(n) = e(n - 10), v_send(n) = (e(n) + e(n - 20)) / 2, and
  // nothing reaches the far end before step 10.
  build(400.0);
  start_run(200);
  for (int n = 0; n < 200; ++n) {
    step();
    if (n < 10) { EXPECT_EQ(v(2), 0.0) << n; }
    const double vs = (e(n) + e(n - 20)) / 2.0;
    EXPECT_NEAR(v(2), e(n - 10), 1e-12) << n;
    EXPECT_NEAR(v(1), vs, 1e-12) << n;
    EXPECT_NEAR(e_s0::cdctl(1, 1, 1), (e(n) - vs) / 400.0, 1e-14) << n;
    EXPECT_NEAR(e_s0::cdctl(1, 2, 1), 0.0, 1e-14) << n;  // the open end
  }
}

TEST_F(MfdtdStep, EnergyStaysBoundedOverTenThousandSteps) {
  // Fed through 100 ohm the 41 km line, short against the 60 Hz wave, charges
  // like its capacitance to within a fraction of a percent of 1 kV. Its stored
  // energy (half cells at the ends) peaks each cycle near C length / 2 and must
  // not grow from cycle to cycle.
  build(100.0);
  const double dx = 4096.0, C = fit_.c[0], L = fit_.l[0];
  const int cycle = 1092;  // steps of one 60 Hz cycle, rounded down
  start_run(10000);
  double first = 0.0, peak = 0.0;
  for (int n = 0; n < 10000; ++n) {
    step();
    double w = 0.25 * C * dx * (v(1) * v(1) + v(2) * v(2));
    for (int s = 2; s <= 10; ++s) w += 0.5 * C * dx * std::pow(e_tldyn::vhmfd(1, s, 1), 2);
    for (int s = 1; s <= 10; ++s) w += 0.5 * L * dx * std::pow(e_tldyn::ihmfd1(1, s, 1), 2);
    peak = std::max(peak, w);
    if (n % cycle != cycle - 1) continue;
    if (first == 0.0) first = peak;
    EXPECT_LT(peak, first * (1.0 + 1e-4)) << n;
    EXPECT_NEAR(peak / (0.5 * C * 10 * dx), 1.0, 0.01) << n;
    peak = 0.0;
  }
}

}  // namespace
}  // namespace linetest
