// The services that the run loop and the time step call around the case code,
// in the order a run calls them: the exchange with the design environment per
// step and at the end of the run, the legacy and record output files, the
// dimension report, scheduled snapshots, the end report's closing of the
// output files and the matrix-switching counts of the last run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/driver.h"
#include "app/runloop.h"
#include "app/timestep.h"
#include "app_fixture.h"
#include "model/e_s4.h"
#include "model/emtio.h"
#include "model/fatal.h"

namespace app_test {
namespace {

std::vector<std::string> events;
void log(const std::string& e) { events.push_back(e); }
std::string at(const char* what) { return std::string(what) + " " + std::to_string(ctrl::iii); }

void log_dsdyn() { log("dyn " + std::to_string(ctrl::iii) + " ag=" + std::to_string(e_s4::update_ag)); }
void log_dsout() { log(at("dsout")); }
void log_reset_button() { log(at("reset")); }
void log_qbstep(std::int32_t mode) { log("qbstep " + std::to_string(mode)); }
void log_outqbv3() { log(at("outq")); }
void log_pfdata() { log("pfdata"); }
void log_endmsgs() { log("endmsgs"); }
// Grants steps during the run and stops at its end.
void log_getmsgv3(std::int32_t& allowance, std::int32_t& answer) {
  log(at("poll"));
  allowance = 1000;
  answer = ctrl::iii > run_loop::lasttsn ? 1 : 0;
}
void log_outputfile(std::int32_t mode) {
  log("file " + std::to_string(mode));
  if (mode == 1) fnames::iunitout = 20;  // the files are open from now on
}
void log_outputfilebin(std::int32_t mode) { log("bin " + std::to_string(mode)); }
void log_writedim(std::int32_t unit) { log("dim " + std::to_string(unit) + " after " + std::to_string(ctrl::iii)); }
void log_writesnap() {
  log("snap " + std::to_string(e_s1::time));
  snpdat::tsnap += 100.0;  // the next snapshot is far away
}

class StepServices : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    events.clear();
    wakro::Seams& s = wakro::seams();
    s.dsdyn = &log_dsdyn;
    s.dsout = &log_dsout;
    s.reset_button = &log_reset_button;
    s.getmsgv3 = &log_getmsgv3;
    s.qbstep = &log_qbstep;
    s.outqbv3 = &log_outqbv3;
    s.send_pfdata = &log_pfdata;
    s.send_endofrunmsgs = &log_endmsgs;
    s.wakro_outputfile = &log_outputfile;
    s.wakro_outputfilebin = &log_outputfilebin;
    s.writedim = &log_writedim;
    s.writesnap = &log_writesnap;
  }
  void run(bool gui) {
    quolbv3::guisoc = gui ? 1 : 0;
    wakro_initcom();
    bool v5 = true;
    std::int32_t abort = 0;
    wakro_runloop(v5, gui, abort);
  }
};

using Events = std::vector<std::string>;

TEST_F(StepServices, WithTheLinkEachStepIsReportedAndOutputStepsCarryTheChannels) {
  data_start(0.5, 2.0, 1.0);  // steps 0..4; output steps 0, 2, 4
  run(true);
  const Events expected = {
      "reset 0", "poll 0", "dyn 0 ag=1", "qbstep 0", "outq 0",  // first step: polled, traced
      "reset 1", "dyn 1 ag=0",                                  //
      "reset 2", "dyn 2 ag=0", "qbstep 0", "outq 2",            // output step
      "reset 3", "dyn 3 ag=0",                                  //
      "reset 4", "dyn 4 ag=1", "qbstep 0", "outq 4",            // last step
      "pfdata",  "outq 5",     "endmsgs",  "poll 5",            // end of run
  };
  Events got;
  for (const auto& e : events)
    if (e.rfind("dsout", 0) != 0) got.push_back(e);
  EXPECT_EQ(got, expected);
}

TEST_F(StepServices, WithoutGraphicTraceEveryStepSendsOnlyItsStepMessage) {
  data_start(0.5, 1.0, 1.0);  // steps 0..2
  ctrl::not2trace = 1;
  run(true);
  const Events expected = {
      "reset 0", "poll 0", "dyn 0 ag=0", "qbstep 0", "reset 1", "dyn 1 ag=0", "qbstep 1",
      "reset 2", "dyn 2 ag=0", "qbstep 1", "pfdata",  "outq 3",  "endmsgs",    "poll 3",
  };
  Events got;
  for (const auto& e : events)
    if (e.rfind("dsout", 0) != 0) got.push_back(e);
  EXPECT_EQ(got, expected);
}

TEST_F(StepServices, WithoutTheLinkNothingIsExchanged) {
  data_start(0.5, 1.0, 0.5);
  run(false);
  EXPECT_EQ(events, (Events{"dyn 0 ag=0", "dsout 0", "dyn 1 ag=0", "dsout 1", "dyn 2 ag=0", "dsout 2"}));
}

TEST_F(StepServices, SnapshotStartSendsTheRestoredChannelsOnceWithTheStepBefore) {
  e_s1::delt = 0.5;
  e_s1::fintim = 0.5;  // with the snapshot's 3 steps: 2.0 s, steps 4..4
  e_s1::print = 0.5;
  snpdat::iiisnp = 3;
  assorc::input = "SNAP";
  outppp::jplt = 2;
  outppp::jplt2 = 2;
  wakro_resetdsd();  // the pointers a snapshot of this empty case restores
  run(true);
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ((Events(events.begin(), events.begin() + 4)),
            (Events{"reset 4", "poll 4", "outq 3", "dyn 4 ag=1"}));

  // Channel lists that differ: no early send.
  events.clear();
  wakro::reset_pointer_records();
  snpdat::iiisnp = 3;
  e_s1::fintim = 0.5;
  outppp::jplt2 = 1;
  wakro_resetdsd();
  run(true);
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ((Events(events.begin(), events.begin() + 3)), (Events{"reset 4", "poll 4", "dyn 4 ag=1"}));
}

TEST_F(StepServices, LegacyFilesOpenAfterTheSolutionOfTheFirstStepAndEndWithTheRun) {
  data_start(0.5, 1.0, 1.0);  // steps 0..2; output steps 0 and 2
  outppp::outfil = 1;
  outppp::jplt = 1;
  run(false);
  EXPECT_EQ(events, (Events{"dyn 0 ag=0", "file 1", "dsout 0", "file 3", "dyn 1 ag=0", "dsout 1",
                            "dyn 2 ag=0", "dsout 2", "file 3", "file 2"}));
}

TEST_F(StepServices, RecordFileTakesEveryOutputStepAndNeedsNoLegacyFiles) {
  data_start(0.5, 1.0, 1.0);
  outppp::outfil = 1;
  outppp::jplt = 1;
  fnames::iouttype = 1;
  run(false);
  EXPECT_EQ(events, (Events{"dyn 0 ag=0", "dsout 0", "bin 3", "dyn 1 ag=0", "dsout 1", "dyn 2 ag=0", "dsout 2",
                            "bin 3"}));
}

TEST_F(StepServices, LegacyFilesOfAnEarlierRunAreOpenedOnlyWithMultipleRunChannels) {
  data_start(0.5, 1.0, 1.0);
  outppp::outfil = 1;
  outppp::jplt = 1;
  ctrl::nrun = 2;  // run 1 of 2, no multiple-run channels: nothing written
  run(false);
  EXPECT_EQ(events, (Events{"dyn 0 ag=0", "dsout 0", "dyn 1 ag=0", "dsout 1", "dyn 2 ag=0", "dsout 2"}));

  events.clear();
  wakro::reset_pointer_records();
  outppp::mplt = 1;
  run(false);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[1], "file 1");
  EXPECT_EQ(events.back(), "file 2");
}

TEST_F(StepServices, DimensionReportFollowsTheFirstStepOnTheListUnit) {
  data_start(0.5, 1.0, 0.5);
  options::prndim = true;
  emtio::iout = 6;
  run(false);
  EXPECT_EQ(events, (Events{"dyn 0 ag=0", "dsout 0", "dim 6 after 0", "dyn 1 ag=0", "dsout 1", "dyn 2 ag=0",
                            "dsout 2"}));
}

Events snapshots() {
  Events s;
  for (const auto& e : events)
    if (e.rfind("snap", 0) == 0) s.push_back(e);
  return s;
}

TEST_F(StepServices, SnapshotIsWrittenWithinHalfAStepOfItsTimeOnTheLastRunOnly) {
  data_start(0.5, 3.0, 0.5);
  outppp::snpfil = 1;
  snpdat::tsnap = 1.25;  // exactly half a step from 1.0 (and from 1.5)
  run(false);
  EXPECT_EQ(snapshots(), (Events{"snap " + std::to_string(1.0)}));

  // 0.5004 of a step from 1.0, 0.4996 from 1.5.
  events.clear();
  wakro::reset_pointer_records();
  snpdat::tsnap = 1.2502;
  run(false);
  EXPECT_EQ(snapshots(), (Events{"snap " + std::to_string(1.5)}));

  // Not on the first run of two.
  events.clear();
  wakro::reset_pointer_records();
  snpdat::tsnap = 1.25;
  ctrl::nrun = 2;
  run(false);
  EXPECT_TRUE(snapshots().empty());
}

TEST_F(StepServices, EndReportClosesTheLegacyFilesOfTheRunsThatWroteThem) {
  const DateTime8 start{2026, 3, 4, 60, 5, 6, 7, 8};
  outppp::outfil = 1;
  ctrl::nrun = 3;
  ctrl::mmm = 4;  // after the third run
  goodby(true, start);
  EXPECT_EQ(events, (Events{"file 0"}));  // only the last run's files
  EXPECT_EQ(ctrl::mmm, 4);

  events.clear();
  outppp::mplt = 2;  // every run wrote multiple-run channels
  goodby(true, start);
  EXPECT_EQ(events, (Events{"file 0", "file 0", "file 0"}));

  // Run 1 of 3 aborted: only run 1's files, and those only with channels.
  events.clear();
  ctrl::mmm = 1;
  goodby(true, start);
  EXPECT_EQ(events, (Events{"file 0"}));
  EXPECT_EQ(ctrl::mmm, 2);
  events.clear();
  outppp::mplt = 0;
  ctrl::mmm = 1;
  goodby(true, start);
  EXPECT_TRUE(events.empty());

  // The record file closes elsewhere.
  fnames::iouttype = 1;
  outppp::mplt = 2;
  ctrl::mmm = 4;
  goodby(true, start);
  EXPECT_TRUE(events.empty());
}

void fixed_clock(DateTime8& t) { t = {2026, 3, 4, 60, 5, 6, 7, 8}; }
void one_run_dialog() { ctrl::nrun = 1; }
// A case of two subsystems (without matrices, so the time-zero preparation
// has nothing to do) whose solution switches the first one's matrix each step.
void read_two_subsystems() {
  e_s1::delt = 0.5;
  e_s1::fintim = 1.0;
  e_s1::print = 0.5;
  int2::nmat = 2;
  if (!int2::ntriang.allocated()) int2::ntriang.allocate(2);
  int2::ntriang.fill(99);
}
void switch_first_matrix() { ++int2::ntriang(1); }

TEST_F(StepServices, LastRunReportsTheMatrixSwitchingsOfEverySubsystem) {
  wakro::date_and_time = &fixed_clock;
  wakro::Seams& s = wakro::seams();
  s.dialog = &one_run_dialog;
  s.readdata = &read_two_subsystems;
  s.intsolvi = &switch_first_matrix;
  bool v5 = true, gui = false;
  wakro::FixedText<128> host("localhost");
  std::int32_t port = -1, id = 1;
  wakro_driver(v5, gui, host, port, id);
  wakro::date_and_time = nullptr;
  int2::nmat = 0;
  const std::string text = out_.str();
  EXPECT_NE(text.find("\nNumber of Matrix Switchings in SS#   1 is:        3\n"
                      "\nNumber of Matrix Switchings in SS#   2 is:        0\n"),
            std::string::npos)
      << text;
}

// Three subsystems and 11 scheduled snapshots (200 steps of 0.5 s, one every 9 s).
void read_three_subsystems_with_snapshots() {
  e_s1::delt = 0.5;
  e_s1::fintim = 100.0;
  e_s1::print = 0.5;
  int2::nmat = 3;
  if (!int2::ntriang.allocated()) int2::ntriang.allocate(3);
  snpdat::newsnp = 1;
  snpdat::snpinc = 9.0;
}

TEST_F(StepServices, TooManySnapshotsAreWarnedPerSubsystemThenCountedOnce) {
  wakro::date_and_time = &fixed_clock;
  wakro::Seams& s = wakro::seams();
  s.dialog = &one_run_dialog;
  s.readdata = &read_three_subsystems_with_snapshots;
  bool v5 = true, gui = false;
  wakro::FixedText<128> host("localhost");
  std::int32_t port = -1, id = 1;
  wakro_driver(v5, gui, host, port, id);
  wakro::date_and_time = nullptr;
  int2::nmat = 0;
  snpdat::newsnp = 0;
  const std::string text = out_.str();
  const std::string warnings =
      " Warning: Too many snapshots\n"
      " Warning: Too many snapshots\n"
      " Warning: Too many snapshots\n"
      "\n"
      " **** WARNING!  ---      11 SNAP FILES WILL BE WRITTEN TO DIFFERENT FILES! ****\n"
      "                MORE THAN 10 IS CONSIDERED EXCESSIVE !\n";
  EXPECT_NE(text.find(warnings), std::string::npos) << text;
  EXPECT_EQ(text.find("DURING THE LAST MULTIPLE RUN"), std::string::npos);
}

}  // namespace
}  // namespace app_test
