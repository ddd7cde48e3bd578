// The dimension pass over line sections: the counts it leaves in the dimension
// table, the buffer slots of a travel time, the short-travel-time flags, the
// tandem file names, and the section reader's time-step report that follows
// from them.
#include <string>

#include "lines/line_fixture.h"
#include "lines/line_records.h"
#include "model/ctrl.h"
#include "model/e_s7eni.h"
#include "model/tandem_line.h"

namespace linetest {
namespace {

constexpr double kDelt = 5.0e-5;  // 1 step = 0.05 ms

using Pass = Lines;

std::string repeat(const std::string& record, int times) {
  std::string all;
  for (int k = 0; k < times; ++k) all += record;
  return all;
}

// A one-conductor line of travel time `steps` steps, with option lines.
std::string one_line(double steps, const std::string& options = "") {
  std::ostringstream os;
  os << std::setprecision(17) << "1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\n"
     << options << "1 2 " << steps * kDelt * 1000.0 << " 400.0 0 0 1.0\n";
  return os.str();
}

TEST_F(Pass, TwoSectionsOfThreeAndTwoLinesGiveFiveLines) {
  write_section("GLOBAL_TLINES:", repeat(one_line(10.0), 3));
  pass(kDelt);
  write_section("TLINES:", repeat(one_line(10.0), 2));
  open_page();
  sctline();
  wakro::close_all_units();
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 5);
  EXPECT_EQ(ndde::e_ndim(dim::tlines_total), 5);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes), 5);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 50);
  EXPECT_EQ(ndde::e_ndim(dim::maxmodes), 1);
}

TEST_F(Pass, ThreeConductorLineAddsThreeModesAndNineTerms) {
  write_section("GLOBAL_TLINES:",
                "3 0 1 1 60.0 60.0 1.0 0.0 0.0\n1 4 0.5 300 0 0 0 0 0\n2 5 0.5 300 0 0 0 0 0\n"
                "3 6 0.5 300 0 0 0 0 0\n");
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes), 3);
  EXPECT_EQ(ndde::e_ndim(dim::transforms), 9);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 30);
  EXPECT_EQ(ndde::e_ndim(dim::maxmodes), 3);
}

TEST_F(Pass, BufferSlotsTruncateOrRoundWithNoint) {
  write_section("GLOBAL_TLINES:", one_line(2.6));
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 2);
  write_section("GLOBAL_TLINES:", one_line(2.6, "NOINT\n"));
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 3);
  write_section("GLOBAL_TLINES:", one_line(2.5, "noint\n"));
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 3);
  write_section("GLOBAL_TLINES:", one_line(7.3, "InfLength\n"));
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 1);
}

TEST_F(Pass, ShortTravelTimesCountAndFlag) {
  write_section("GLOBAL_TLINES:", one_line(1.0));
  pass(kDelt);
  EXPECT_EQ(e_s7::ntldtwarn, 0);
  write_section("GLOBAL_TLINES:", one_line(0.9));
  pass(kDelt);
  EXPECT_EQ(e_s7::ntldtwarn, 1);
  EXPECT_EQ(e_s7::tldterr, 0);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 1);
  write_section("GLOBAL_TLINES:", one_line(0.79));
  pass(kDelt);
  EXPECT_EQ(e_s7::ntldtwarn, 1);
  EXPECT_EQ(e_s7::tldterr, 1);
}

TEST_F(Pass, PassResetsItsSumsOncePerPass) {
  e_s7::npolau = 5;
  e_s7::npolzu = 6;
  ndde::e_ndim(dim::nummodes_ph) = 7;
  write_section("GLOBAL_TLINES:", one_line(10.0));
  pass(kDelt);
  pass(kDelt);  // a second pass (a later tandem run) counts the same again
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 1);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 10);
  EXPECT_EQ(ndde::e_ndim(dim::attpoles), 0);
  EXPECT_EQ(ndde::e_ndim(dim::surgepoles), 0);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes_ph), 0);
}

TEST_F(Pass, ClientEndCountsOnlyAsAnEndAndInTheTotal) {
  write_section("GLOBAL_TLINES:",
                "Quolb Line Constants\n2 2\n1 1 2 1 0 1 0\nTLINE-INPUT-DATA  far\n"
                "TLINE-OUTPUT-DATA far.tlo\n");
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::eni_clients), 1);
  EXPECT_EQ(ndde::e_ndim(dim::tlines_total), 1);
  EXPECT_EQ(ndde::e_ndim(dim::maxmodes), 2);
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 0);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes), 0);
}

TEST_F(Pass, MfdtdRecordIsSizedFromItsModelLineVelocityAndLength) {
  write_section("GLOBAL_TLINES:", "MFDTD  3  4\nNOINT\n3.0E8\n10000.0\n");
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::tlines_mfdtd), 1);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes_mfdtd), 3);
  EXPECT_EQ(ndde::e_ndim(dim::maxmodes_mfdtd), 3);
  EXPECT_EQ(ndde::e_ndim(dim::maxpoles_mfdtd), 4);
  EXPECT_EQ(ndde::e_ndim(dim::maxinc_mfdtd), 1);  // INT(0.67) = 0 segments
  EXPECT_EQ(ndde::e_ndim(dim::tlines_total), 1);
  // The section reader refuses the record: an MFDTD line's ends come only with
  // the header.
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find("**** INVALID DATA LINE ****"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("MFDTD  3  4"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

TEST_F(Pass, MfdtdVelocityOfZeroIsAnInvalidDataLine) {
  write_section("GLOBAL_TLINES:", "MFDTD  3  4\n0.0\n10000.0\n");
  const nettest::Captured c = nettest::capture([&] { pass(kDelt); });
  EXPECT_NE(c.text.find("Invalid data line in "), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

// A two-conductor FRE-PHASE record: conductor 1 with one admittance pole,
// conductor 2 with none; two delay groups (2.6 and 0.9 steps) of one and zero
// propagation poles.
std::string phase_record() {
  std::string t = "FRE-PHASE\nh1\nh2\n2\nh3\n";
  t += "1\np\np\nr\nr\nr\nr\n";  // conductor 1: one pole, two lines, 2 pairs
  t += "0\n";                          // conductor 2: no pole
  t += "d\nd\nd\nd\nh4\nh5\n2\nh6\n";  // 2 x 2 lines, two lines, 2 groups, one line
  std::ostringstream os;
  os << std::setprecision(17) << 2.6 * kDelt << "\n" << 0.9 * kDelt << "\nh7\n";
  t += os.str();
  t += "1\nq\nq\n0\nh8\n";  // group 1: one pole; group 2: none; one line
  t += "x\nx\nx\nx\nx\nx\nx\nx\n";  // group 1: 4 pairs x 1 pole, two lines each
  return t;
}

TEST_F(Pass, FrePhaseRecordSumsItsTables) {
  write_section("GLOBAL_TLINES:", phase_record());
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::tlines_ph), 1);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes_ph), 2);
  EXPECT_EQ(ndde::e_ndim(dim::maxmodes_ph), 2);
  EXPECT_EQ(ndde::e_ndim(dim::maxpoles_ph), 1);
  EXPECT_EQ(ndde::e_ndim(dim::ycserc_ph), 2);  // one pole x two conductors
  EXPECT_EQ(ndde::e_ndim(dim::xhk_ph), 2);     // one pole x two conductors
  EXPECT_EQ(ndde::e_ndim(dim::hserc_ph), 4);   // four pairs x one pole
  EXPECT_EQ(ndde::e_ndim(dim::prop_ph), 8);    // two groups x four pairs
  EXPECT_EQ(ndde::e_ndim(dim::travwaves_ph), 6);  // (2 slots + 1) x two conductors
  EXPECT_EQ(ndde::e_ndim(dim::tlines_total), 1);
  EXPECT_EQ(e_s7::ntldtwarn, 1);
  EXPECT_EQ(e_s7::tldterr, 0);
  // A second pass counts the same, not twice as much.
  pass(kDelt);
  EXPECT_EQ(ndde::e_ndim(dim::nummodes_ph), 2);
  EXPECT_EQ(ndde::e_ndim(dim::travwaves_ph), 6);
}

TEST(TandemName, RunNumberReplacesThePointWhenTheWholeStemMatches) {
  tandem_line::enable_tandem_line = true;
  tandem_line::tandemline1 = "tandemline1";
  tandem_line::run_type = -1;
  ctrl::mmm = 7;
  EXPECT_EQ(wakro::lines::tandem_file_name("tandemline1.tlo"), "tandemline1_007.tlo");
  EXPECT_EQ(wakro::lines::tandem_file_name("tandemline.tlo"), "tandemline.tlo");  // a prefix only
  EXPECT_EQ(wakro::lines::tandem_file_name("tandemline1"), "tandemline1");       // no extension
  ctrl::mmm = 1234;
  EXPECT_EQ(wakro::lines::tandem_file_name("tandemline1.clo"), "tandemline1_1234.clo");
  tandem_line::run_type = 0;
  EXPECT_EQ(wakro::lines::tandem_file_name("tandemline1.tlo"), "tandemline1_001.tlo");
  tandem_line::enable_tandem_line = false;
  EXPECT_EQ(wakro::lines::tandem_file_name("tandemline1.tlo"), "tandemline1.tlo");
  tandem_line::tandemline1.blank();
  ctrl::mmm = 1;
}

TEST_F(Pass, BothReadersOpenTheTandemFileOfTheRun) {
  tandem_line::enable_tandem_line = true;
  tandem_line::tandemline1 = "tandemline1";
  tandem_line::run_type = 1;  // the run number from the rank (the fixture's size() sets mmm)
  ctrl::rank = 7;
  write_section("GLOBAL_TLINES:",
                "Quolb Line Constants\n1 0\n1 1 1 0 1 0\n1 2 1 0 1 0\nTLINE-INPUT-DATA  t1\n"
                "TLINE-OUTPUT-DATA tandemline1.tlo\n");
  // Only the run's file exists: opening the plain name would stop the read.
  wakro_test::write_file("tandemline1_007.tlo",
                         "1 0 0 0 60.0 60.0 1.0 1.0E-7 0.0\n0 0 0.35 400.0 0.0 0.0 1.0\n");
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 7);
  EXPECT_EQ(e_s7::nt(1), 7);
  EXPECT_EQ(e_s7eni::line_name(1).trimmed(), "tandemline1_007");
  ctrl::rank = 0;
}

// A constants file name longer than the 72 characters of the file-name field
// is opened whole, never cut to the name of another file.
TEST_F(Pass, ConstantsFileNameLongerThanTheNameFieldIsReadWhole) {
  const std::string name = std::string(69, 'a') + ".tlo";  // 73 characters
  wakro_test::write_file(name, "1 0 0 0 60.0 60.0 1.0 1.0E-7 0.0\n0 0 0.35 400.0 0.0 0.0 1.0\n");
  write_section("GLOBAL_TLINES:", "Quolb Line Constants\n1 0\n1 1 1 0 1 0\n1 2 1 0 1 0\n"
                                  "TLINE-INPUT-DATA  t1\nTLINE-OUTPUT-DATA " + name + "\n");
  const nettest::Captured c = nettest::capture([&] { pass(kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(ndde::e_ndim(dim::travwaves), 7);
}

TEST_F(Pass, ShortTravelTimesAreReportedAndTheRunContinues) {
  write_section("GLOBAL_TLINES:", one_line(0.9) + one_line(0.85));
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  ASSERT_EQ(c.status, -1) << c.text;
  const std::string warn = "Time step is too large for the tline/cable ''. ";
  const std::size_t first = c.text.find(warn);
  ASSERT_NE(first, std::string::npos) << c.text;
  EXPECT_NE(c.text.find(warn, first + 1), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("Reduce the time step to 45.0"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" [us] or less, or Use pi section models."), std::string::npos);
  EXPECT_NE(c.text.find("For better accuracy, make time step less than"), std::string::npos);
  EXPECT_NE(c.text.find(" 1/10th of the shortest travel time which is 42.5"), std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find(" Continuing with travel time(s) adjusted to one time step."),
            std::string::npos);
  EXPECT_EQ(e_s7::nt(1), 1);
  EXPECT_EQ(e_s7::fnt(1), 0.0);
}

TEST_F(Pass, TravelTimeBelowFourFifthsOfAStepAbortsTheRead) {
  write_section("GLOBAL_TLINES:", one_line(0.79));
  const nettest::Captured c = nettest::capture([&] { read_lines(2, 1, 1, kDelt); });
  EXPECT_NE(c.text.find(" Aborting due to time step being too large."), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by DSLINT      "), std::string::npos);
  EXPECT_NE(c.status, -1);
}

// A page whose last section is its line section, opened above the map file as
// the dimension pass opens it: after the page's "ENDPAGE:" the reads go on in
// the map file, whose next lines are the page entry's node lines. They end the
// line section (and wait for the pass) instead of being read as a record.
class PageLast : public Lines {
 protected:
  static void open_map_and_page(const std::string& key, const std::string& records) {
    wakro_test::write_file("case.map", " 1 2 1 2\n 0 0\nENDCASE:\n");
    wakro_test::write_file("page.dat", key + "\n" + records + "ENDPAGE:\n");
    fnames::filename = "case.map";
    wakro_openfile();
    open_page();
  }
  static void expect_node_line_waiting() {
    EXPECT_EQ(fnames::section, wakro::FixedText<72>("ENDPAGE:"));
    EXPECT_TRUE(rdcmnt_at_data());
    EXPECT_EQ(wakro::unit_file_name(fnames::iunit), "case.map");
  }
};

TEST_F(PageLast, TheDimensionPassStopsAtTheEndOfThePage) {
  for (const std::string key : {"GLOBAL_TLINES:", "TLINES:"}) {
    SCOPED_TRACE(key);
    e_s1::delt = kDelt;
    sctline_init();
    open_map_and_page(key, one_line(10.0) + one_line(4.0));
    const nettest::Captured c = nettest::capture([] { sctline(); });
    ASSERT_EQ(c.status, -1) << c.text;
    EXPECT_EQ(ndde::e_ndim(dim::tlines), 2);
    EXPECT_EQ(ndde::e_ndim(dim::travwaves), 14);
    expect_node_line_waiting();
    wakro::close_all_units();
  }
}

TEST_F(PageLast, TheSectionReaderStopsAtTheEndOfThePage) {
  write_section("GLOBAL_TLINES:", lossless_record(0.5, 400.0));
  pass(kDelt);
  for (int k : kLineEntries) extra_dims_.emplace_back(k, ndde::e_ndim(k));
  size(2, 1, 1, 0, kDelt);
  open_map_and_page("GLOBAL_TLINES:", lossless_record(0.5, 400.0));
  std::int32_t zero[4] = {0, 0, 0, 0};
  const nettest::Captured c = nettest::capture([&] { dslint(zero[0], zero[1], zero[2], zero[3]); });
  ASSERT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(e_s7::line, 1);
  expect_node_line_waiting();
  wakro::close_all_units();
}

// A record the pass cannot read before any line-constants file is named: the
// message names the page data file that holds it.
TEST_F(Pass, InvalidLineOfThePageNamesThePageFile) {
  write_section("TLINES:", "1 0 1 1 sixty 60.0 1.0 1.0E-7 0.0\n1 2 0.5 400.0 0 0 1.0\n");
  const nettest::Captured c = nettest::capture([&] { pass(kDelt); });
  EXPECT_NE(c.text.find("Invalid data line in page.dat\n"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("Abnormal termination of WAKRO by SCTLINE"), std::string::npos) << c.text;
  EXPECT_NE(c.status, -1);
}

}  // namespace
}  // namespace linetest
