// Console progress lines and the character screen plot: when the lines come,
// their exact text, the plot columns worked out by hand, and the heading that
// appears once per process.
#include <cmath>
#include <limits>
#include <string>
#include <tuple>

#include "output_fixture.h"

namespace outputtest {
namespace {

using ConsoleProgress = OutputTest;

std::string progress(int p) {
  std::string n = std::to_string(p);
  return " => This run is " + std::string(3 - n.size(), ' ') + n + "% complete.\n";
}

TEST_F(ConsoleProgress, TenLinesOverARunFromTimeZero) {
  ctrl::ndelt = 1000;
  std::string want;
  for (int p = 10; p <= 100; p += 10) want += progress(p);
  const Outcome o = run([] {
    for (ctrl::iii = 1; ctrl::iii <= 1000; ++ctrl::iii) wakro_percentcomplete(0);
  });
  EXPECT_EQ(o.console, want);
  // The line comes at the step that reaches the mark, not before.
  wakro::reset_console_progress();
  ctrl::iii = 99;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, "");
  ctrl::iii = 100;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, progress(10));
}

// From a snapshot of 400 steps with ndelt = 600 the run takes the 601 steps
// 401 .. 1001: a tenth is 60 of them, and the last reports 100 %.
TEST_F(ConsoleProgress, ResumedRunCountsFromTheSnapshotStep) {
  ctrl::ndelt = 600;
  snpdat::iiisnp = 400;
  ctrl::iii = 459;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, "");
  ctrl::iii = 460;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, progress(10));
  ctrl::iii = 519;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, "");
  ctrl::iii = 526;  // the first call past the mark reports where the run is: 126/601
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, progress(21));
  ctrl::iii = 1001;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, progress(100));
  // A resume of one step (ndelt = 0) reports it whole.
  std::tie(ctrl::ndelt, ctrl::mmm, ctrl::iii) = std::tuple(0, 2, 401);
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, progress(100));
}

TEST_F(ConsoleProgress, EachRunStartsAfreshAndTheLinkSilencesIt) {
  ctrl::ndelt = 50;
  const Outcome first = run([] {
    for (ctrl::iii = 1; ctrl::iii <= 50; ++ctrl::iii) wakro_percentcomplete(0);
  });
  EXPECT_EQ(first.console.substr(0, progress(10).size()), progress(10));
  ctrl::mmm = 2;
  ctrl::iii = 5;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, progress(10));
  ctrl::mmm = 3;
  EXPECT_EQ(run([] {
              for (ctrl::iii = 1; ctrl::iii <= 50; ++ctrl::iii) wakro_percentcomplete(1);
            }).console,
            "");
  ctrl::ndelt = 0;  // a run without steps reports nothing
  ctrl::mmm = 4;
  ctrl::iii = 0;
  EXPECT_EQ(run([] { wakro_percentcomplete(0); }).console, "");
}

class ScreenPlot : public OutputTest {
 protected:
  void SetUp() override {
    OutputTest::SetUp();
    e_s4::pgb.allocate(12);
    assorc::title = "Plot case";
    e_s1::delt = 5e-5;
    e_s1::time = 5e-5;
  }
  static std::string row(const std::string& marks) { return "I" + marks + "I\n"; }
};

TEST_F(ScreenPlot, HeadingOnceAndColumnsByHand) {
  outppp::jplt = 3;
  e_s4::pgb(1) = 0.0;
  e_s4::pgb(2) = 2.0;
  e_s4::pgb(3) = -2.0;
  const Outcome o = run([] { wakro_screenplot(); });
  const std::string heading = "Plot case" + std::string(63, ' ') + "\n" + "\n" + std::string(10, ' ') +
                              " -2.00    " + std::string(39, ' ') + "  2.00    \n" + std::string(11, ' ') +
                              "I" + std::string(51, '-') + "I\n";
  EXPECT_EQ(o.console, heading + "   0.000050" + row("3" + std::string(24, ' ') + "1" + std::string(24, ' ') + "2"));

  // Second call (or second run): no heading. Out-of-range values go to the
  // edges, channel 10 is drawn as 0, channel 11 is not drawn, a later channel
  // wins a shared column, NaN draws nothing.
  outppp::jplt = 12;
  for (int i = 1; i <= 12; ++i) e_s4::pgb(i) = 100.0;
  e_s4::pgb(1) = -100.0;  // x < -60: column 1
  e_s4::pgb(2) = -2.0;    // column 1 too, drawn over channel 1
  e_s4::pgb(3) = 10.0;    // x limited to 60, then to column 51
  e_s4::pgb(4) = std::numeric_limits<double>::quiet_NaN();
  e_s4::pgb(5) = 0.04;    // x = 25.5: column 27
  e_s4::pgb(6) = -0.039;  // x = 24.5125: column 26
  e_s4::pgb(7) = -1.999;  // x = 0.0125: column 1 (over channel 2)
  e_s4::pgb(8) = 1.0;     // column 39
  e_s4::pgb(9) = 1.0;     // column 39, drawn over channel 8
  e_s4::pgb(10) = -1.0;   // column 14
  e_s4::pgb(11) = 0.0;    // not drawn
  e_s1::time = 12.5;
  std::string marks(51, ' ');
  marks[0] = '7';
  marks[50] = '3';
  marks[26] = '5';
  marks[25] = '6';
  marks[38] = '9';
  marks[13] = '0';
  EXPECT_EQ(run([] { wakro_screenplot(); }).console, "  12.500000" + row(marks));
}

TEST_F(ScreenPlot, MicrosecondNoticeAndDegenerateRange) {
  e_s1::delt = 5e-7;
  outppp::jplt = 1;
  outppp::pmin = 1.0;
  outppp::pmax = 1.0;
  e_s4::pgb(1) = 1.0;
  const Outcome o = run([] { wakro_screenplot(); });
  EXPECT_NE(o.console.find("\n\n ****  TIME IS PLOTTED IN MICROSECONDS ****\n\n"), std::string::npos);
  EXPECT_EQ(o.console.substr(o.console.size() - 65), "   0.000050" + row(std::string(51, ' ')));
}

}  // namespace
}  // namespace outputtest
