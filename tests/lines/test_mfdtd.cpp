// The finite-difference (MFDTD) lines: the segment count and its console lines,
// the refusals of the set-up, the inversion mmat_inv, the fit's coefficients and
// the convolution update mpsi against hand-worked values, and a lossless line
// stepped through the real network solution: its wave arrives after exactly N
// steps and its energy stays bounded.
#include <cmath>
#include <complex>
#include <string>

#include "lines/fd_records.h"
#include "lines/line_fixture.h"
#include "lines/line_setup.h"
#include "lines/line_steps.h"
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
}  // namespace
}  // namespace linetest
