// The line-section reader: the admittance of a line and its stamp into GM, the
// directory row, the header form with its line-constants file, the control
// signal check, and the fatal paths with their exact texts.
#include <string>

#include "lines/line_fixture.h"
#include "model/e_s0.h"
#include "model/e_s7eni.h"
#include "model/quolbv3.h"

namespace linetest {
namespace {

constexpr double kDelt = 5.0e-5;

// Mode records with empty transformations: n conductors, sending nodes 1..n,
// receiving nodes n+1..2n, travel time 10 steps, the given Zc of each mode.
std::string empty_transformation_line(const std::vector<double>& zc) {
  const int n = static_cast<int>(zc.size());
  std::ostringstream os;
  os << n << " 0 1 1 60.0 60.0 1.0 1.0E-7 1.0E-7\n";
  for (int r = 1; r <= n; ++r) {
    os << r << " " << n + r << " 0.5 " << zc[static_cast<std::size_t>(r - 1)] << " 0 0";
    for (int k = 1; k <= n; ++k) os << " 0";
    os << "\n";
  }
  return os.str();
}

using Reader = Lines;

TEST_F(Reader, EmptyTransformationOfTwoModesGivesTheMeanAndDifferenceAdmittance) {
  write_section("GLOBAL_TLINES:", empty_transformation_line({200.0, 400.0}));
  read_lines(4, 1, 1, kDelt);
  // T = [[1, 1], [1, -1]] / sqrt(2): dm = (Y1 + Y2)/2 on the diagonal, (Y1 - Y2)/2 off it.
  EXPECT_NEAR(e_s7::dm(1, 1), 0.00375, 1e-15);
  EXPECT_NEAR(e_s7::dm(1, 2), 0.00125, 1e-15);
  EXPECT_NEAR(e_s7::dm(2, 1), 0.00125, 1e-15);
  EXPECT_NEAR(e_s7::dm(2, 2), 0.00375, 1e-15);
  EXPECT_NEAR(e_s7::globaldm(1, 2, 1), 0.00125, 1e-15);
  // Set-up form of GM: the admittance between the two sending nodes is minus the
  // nodal entry; each diagonal holds the row sum (the admittance to ground).
  e_s0::RealView gm = e_s0::assign_gm_ptr(1);
  EXPECT_NEAR(gm(1, 2), -0.00125, 1e-15);
  EXPECT_NEAR(gm(2, 1), -0.00125, 1e-15);
  EXPECT_NEAR(gm(1, 1), 0.005, 1e-15);
  EXPECT_NEAR(gm(3, 4), -0.00125, 1e-15);
  EXPECT_NEAR(gm(4, 4), 0.005, 1e-15);
  EXPECT_EQ(gm(1, 3), 0.0);  // the two ends are joined only through the histories
}

TEST_F(Reader, ThreeEqualModesGiveTheIdentityOverZc) {
  write_section("GLOBAL_TLINES:", empty_transformation_line({300.0, 300.0, 300.0}));
  read_lines(6, 1, 1, kDelt);
  for (int r = 1; r <= 3; ++r)
    for (int c = 1; c <= 3; ++c) EXPECT_NEAR(e_s7::dm(r, c), r == c ? 1.0 / 300.0 : 0.0, 1e-15);
}

TEST_F(Reader, HeadlessRecordFillsTheDirectoryRowWithItsConductorCount) {
  write_section("GLOBAL_TLINES:", empty_transformation_line({200.0, 400.0}));
  read_lines(4, 1, 1, kDelt);
  EXPECT_EQ(e_s7::img, 1);
  EXPECT_EQ(e_s7::linemodel(1, 1), 0);
  EXPECT_EQ(e_s7::linemodel(1, 2), 1);
  EXPECT_EQ(e_s7::linemodel(1, 3), 0);
  EXPECT_EQ(e_s7::linemodel(1, 4), 0);
  EXPECT_EQ(e_s7::linemodel(1, 5), 2);
  EXPECT_EQ(e_s7::nlmodeu, 2);
  EXPECT_EQ(e_s7::ntermtu, 4);
  EXPECT_EQ(e_s7::ntwbufu, 20);
}

// A header-form record whose data stand in line1.tlo, with control-signal
// counts: the sending end sends ks and receives kr, the receiving end sends ms
// and receives mr.
void write_header_case(int ks, int kr, int ms, int mr) {
  std::ostringstream os;
  os << "Quolb Line Constants\n1 0\n1 1 1 " << ks << " 1 " << kr << "\n1 2 1 " << ms << " 1 " << mr
     << "\nTLINE-INPUT-DATA  line one\nTLINE-OUTPUT-DATA line1.tlo\n";
  Lines::write_section("GLOBAL_TLINES:", os.str());
  wakro_test::write_file("line1.tlo", "1 0 0 0 60.0 60.0 1.0 1.0E-7 0.0\n0 0 0.5 400.0 0.0 0.0 1.0\n");
}

TEST_F(Reader, HeaderFormReadsTheConstantsFileAndMatchingSignalsPassQuietly) {
  write_header_case(2, 0, 0, 2);
  after_pass_ = {{dim::cscs, 4}, {dim::cscr, 4}};
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(c.text.find("mismatch"), std::string::npos) << c.text;
  EXPECT_EQ(e_s7::linemodel(1, 7), 2);
  EXPECT_EQ(e_s7::linemodel(1, 13), 2);
  EXPECT_EQ(e_s7::tlname(1).trimmed(), "line one");
  EXPECT_EQ(e_s7eni::line_name(1).trimmed(), "line1");
  EXPECT_NEAR(e_s7::globaldm(1, 1, 1), 1.0 / 400.0, 1e-15);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);  // every file it opened is closed
}

TEST_F(Reader, UnequalSignalCountsWarnOnce) {
  write_header_case(2, 0, 0, 1);
  after_pass_ = {{dim::cscs, 4}, {dim::cscr, 4}};
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  const std::string text = "Control Signal Transfer Dimension mismatch in line/cable 'line1'";
  const std::size_t at = c.text.find(text);
  ASSERT_NE(at, std::string::npos) << c.text;
  EXPECT_EQ(c.text.find(text, at + 1), std::string::npos);
}

TEST_F(Reader, SignalsCarriedAlongAnOrdinaryLine) {
  write_header_case(2, 0, 0, 2);
  after_pass_ = {{dim::cscs, 4}, {dim::cscr, 4}};
  read_lines(2, 1, 1, kDelt);
  quolbv3::cscs(1) = 7.0;
  quolbv3::cscs(2) = 8.0;
  non_eni_csc_signals();
  EXPECT_EQ(quolbv3::cscr(1), 7.0);
  EXPECT_EQ(quolbv3::cscr(2), 8.0);
}

TEST_F(Reader, ConductorCountOfTheConstantsFileMustMatchTheEnds) {
  write_header_case(0, 0, 0, 0);
  wakro_test::write_file("line1.tlo", "2 0 0 0 60.0 60.0 1.0 1.0E-7 0.0\n0 0 0.5 400.0 0.0 0.0 1.0 0\n");
  after_pass_ = {{dim::maxmodes, 2}, {dim::nummodes, 2}, {dim::transforms, 4}};
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  const std::string block =
      " ***********************************\n ERROR: DSLINT Transmission Line Data\n"
      " The number of electrical connections\n specified in the Quolb Circuit Data File\n";
  EXPECT_NE(c.text.find(block), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("   circuit is also eliminated.\n Line/Cable Name: 'line1'\n"
                        " ***********************************\n"),
            std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos);
  EXPECT_NE(c.text.find("2 0 0 0 60.0 60.0 1.0 1.0E-7 0.0"), std::string::npos);
  EXPECT_NE(c.status, -1);
}

TEST_F(Reader, GroundedConductorEndIsRefused) {
  write_section("GLOBAL_TLINES:", lossless_record(0.5, 400.0, 1, 0));
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("Invalid node numbers at terminations of Line/Cable ''"), std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("to be grounded, use an ideal branch to ground. Do not "), std::string::npos);
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by DSLINT      "), std::string::npos);
  EXPECT_NE(c.status, -1);
}

TEST_F(Reader, ZeroSubsystemInAPageSectionStops) {
  write_section("TLINES:", "1 0 0 1 60.0 60.0 1.0 1.0E-7 0.0\n1 2 0.5 400.0 0 0 1.0\n");
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find(" ERROR: DSLINT: Zero subsystem number in TLine data\n"), std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by DSLINTSSN   "), std::string::npos);
  EXPECT_NE(c.status, -1);
}

TEST_F(Reader, NonPositiveSurgeImpedanceIsAnInvalidDataLine) {
  write_section("GLOBAL_TLINES:", lossless_record(0.5, 0.0));
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("1 2 0.5 0 0.0 0.0 1.0"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" Invalid data line in page.dat\n"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

TEST_F(Reader, FrequenciesInTheWrongOrderStopWithMessage34) {
  write_section("GLOBAL_TLINES:", "1 0 1 1 60.0 50.0 1.0 1.0E-7 0.0\n1 2 0.5 400.0 0 0 1.0\n");
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("THE FREQUENCY POINTS FOR LINE   1 ARE NOT CORRECT!"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

TEST_F(Reader, BuffersBeyondTheSizedOnesStopWithMessage36) {
  write_section("GLOBAL_TLINES:", lossless_record(0.5, 400.0));
  after_pass_ = {{dim::travwaves, 5}};
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("TIME STEPS ARE REQUIRED FOR LINE   1!"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("ONLY    5 HAVE BEEN DIMENSIONED!"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

TEST_F(Reader, MfdtdRecordStopsNamingTheModel) {
  write_section("GLOBAL_TLINES:", "MFDTD 01 01\n3.0E8\n31000.0\n");
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("MFDTD"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

}  // namespace
}  // namespace linetest
