// Inputs found by fuzzing the case reader, each read as a whole case: a real
// number with a leading plus sign, a "MAP:" line inside a page data file (a page
// that names itself nested pages until the system ran out of file handles), and
// a dimension line that asks for more memory than the machine has.
#include <cstdint>
#include <sstream>
#include <string>

#include "case_fixture.h"
#include "files/linereader.h"
#include "input/section_util.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/farray.h"
#include "model/int2.h"
#include "model/quolbv3.h"
#include "support/fatal_capture.h"

using casetest::CaseTest;
using casetest::kSamplePage1;
using casetest::kSamplePage2;
using casetest::sample_new_style_map;

namespace {

constexpr double kTol = 1e-15;

// The text with its first `from` replaced by `to` (the text must hold it).
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// The unknown section of page 2 and where it stands (line 17 of p2.dta).
const std::string kFooLine =
    inputtest::ff("READDATA: Unknown data file section: " + inputtest::pad72("FOO:")) +
    inputtest::ff("READDATA: The section key is in file p2.dta, line 17; the section is skipped.");

}  // namespace

TEST_F(CaseTest, RealsWithALeadingPlusAreReadInParametersAndBranches) {
  write("p1.dta", replaced(kSamplePage1, " 1 2 RL 10.0 0.1\n", " 1 2 RL +10.0 +0.1\n"));
  write("p2.dta", kSamplePage2);
  const std::string map =
      replaced(sample_new_style_map(), " TIME_STEP = 50.0E-6\n", " TIME_STEP = +50.0E-6\n");
  const inputtest::Outcome o = read_case(map);
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, kFooLine);
  EXPECT_EQ(e_s1::delt, 50.0e-6);
  // b1 (R 10, L 0.1, X_L = 4000) in parallel with b6 (R 100), as without the signs.
  EXPECT_NEAR(e_s0::assign_gm_ptr(1)(1, 2), 1.0 / 4010.0 + 0.01, kTol);
  EXPECT_EQ(int2::insb(1), 7);
}

TEST_F(CaseTest, AMapLineInAPageIsReportedAndSkipped) {
  // Page 1 names itself (with a whole map entry after the line) before its end.
  write("p1.dta", replaced(kSamplePage1, "ENDPAGE:\n",
                           "MAP: p1.dta\n 0 4 1 2 3 4\n 1 1 1 1 1 1\n 1 0\nENDPAGE:\n"));
  write("p2.dta", kSamplePage2);
  const inputtest::Outcome o = read_case(sample_new_style_map());
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console,
            inputtest::ff("READDATA: Ignoring MAP: line in p1.dta (pages are named only in the map file)") +
                kFooLine);
  // Two page records, as in the sample case; every file closed at the end.
  EXPECT_EQ(quolbv3::nnode, 10);
  EXPECT_EQ(int2::insb(1), 7);
  EXPECT_EQ(int2::insb(2), 2);
  EXPECT_EQ(fnames::iunit, 49);
}

// Where a "MAP:" line names a page: in the map file and in the files it
// includes, not in a page file nor in a file that a page includes.
TEST_F(CaseTest, MapLinesNamePagesInTheMapFileAndItsIncludesOnly) {
  write("case.map", "INCLUDE pages.inc\n");
  write("pages.inc", "INCLUDE deeper.inc\n");
  write("deeper.inc", "x\n");
  write("page.dta", "INCLUDE deeper.inc\n");
  const std::int32_t map_unit = wakro::kUnitBase + 1;
  const inputtest::Outcome o = run([this, map_unit] {
    open("case.map");
    EXPECT_TRUE(wakro::sections::reading_the_map(map_unit));
    rdcmnt();  // opens pages.inc
    EXPECT_TRUE(wakro::sections::reading_the_map(map_unit));
    rdcmnt();  // opens deeper.inc
    EXPECT_EQ(fnames::iunit, map_unit + 2);
    EXPECT_TRUE(wakro::sections::reading_the_map(map_unit));
    open("page.dta");
    EXPECT_FALSE(wakro::sections::reading_the_map(map_unit));
    rdcmnt();  // a file that the page includes
    EXPECT_EQ(fnames::iunit, map_unit + 4);
    EXPECT_FALSE(wakro::sections::reading_the_map(map_unit));
  });
  EXPECT_EQ(o.status, -1) << o.console;
}

TEST_F(CaseTest, ADimensionBeyondTheMemoryBudgetStopsBeforeAllocating) {
  // 2147483647 reals are 16 GiB; the budget is set to 1 GiB so that the stop
  // does not depend on the memory of the machine running the test.
  const std::uint64_t held = wakro::array_bytes_held();
  wakro::set_array_memory_budget(std::uint64_t{1} << 30);
  write_sample_pages();
  write("case.map", replaced(sample_new_style_map(), " STOF = 4\n", " STOF = 2147483647\n"));
  fnames::inam = "case.map";
  int status = 0;
  std::string message;
  std::ostringstream console;
  {
    wakro::ConsoleRedirect redirect(console);
    message = wakro_test::fatal_message([] { wakro_readdata(); }, &status);
  }
  wakro::set_array_memory_budget(0);
  EXPECT_EQ(message, "Allocation would exceed memory limit");
  EXPECT_EQ(status, wakro::kRuntimeStopStatus);
  EXPECT_EQ(console.str(), "");
  EXPECT_FALSE(quolbv3::stof.allocated());
  // What was allocated before the stop is given back when it is released.
  reset_reader_state_for_next();
  EXPECT_EQ(wakro::array_bytes_held(), held);
}
