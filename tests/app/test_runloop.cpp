// The run loop, the per-run initialisation, stop requests, the display throttle
// and the driver run in-process with a fake case.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "app/driver.h"
#include "app/runloop.h"
#include "app/stoprun.h"
#include "app_fixture.h"
#include "link/exchange_tcp.h"
#include "model/fatal.h"
#include "model/pmr_consolidate.h"
#include "support/scripted_peer.h"
#include "model/e_s0.h"
#include "model/e_s4.h"
#include "model/int2.h"
#include "model/outppp.h"
#include "model/ctrl.h"
#include "multirun/run_end.h"
#include "model/e_warn.h"
#include "model/harm_cus_com.h"
#include "model/misses.h"
#include "model/multpl.h"
#include "model/versin.h"
#include "support/fatal_capture.h"

namespace app_test {
namespace {

class RunLoopTest : public AppTest {
 protected:
  int run(bool gui = false) {
    return wakro_test::fatal_status([&] {
      wakro_initcom();
      bool v5 = true;
      std::int32_t abort = 0;
      wakro_runloop(v5, gui, abort);
      abort_ = abort;
    });
  }
  std::vector<std::string> lines() const { return lines_of(out_.str()); }
  std::int32_t abort_ = 0;
};

std::vector<std::int32_t> range(std::int32_t first, std::int32_t last, std::int32_t by = 1) {
  std::vector<std::int32_t> v;
  for (std::int32_t k = first; k <= last; k += by) v.push_back(k);
  return v;
}

TEST_F(RunLoopTest, DataStartRunsNdeltPlusOneStepsWithOutputEveryFifth) {
  data_start(50e-6, 1e-3, 250e-6);
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(ctrl::ndelt, 20);
  EXPECT_EQ(case_.dynSteps, range(0, 20));
  EXPECT_EQ(case_.outputAt, range(0, 20, 5));
  EXPECT_EQ(case_.beginCalls, 1);
  EXPECT_EQ(case_.lastStepAt, (std::vector<std::int32_t>{20}));
  for (std::size_t k = 0; k < case_.dynTimes.size(); ++k)
    EXPECT_DOUBLE_EQ(case_.dynTimes[k], 50e-6 * static_cast<double>(k));
  EXPECT_FALSE(e_s1::laststep && e_s1::firststep);
}

TEST_F(RunLoopTest, OutputIntervalOfOneStepMakesEveryStepAnOutputStep) {
  data_start(0.25, 2.0, 0.25);
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(case_.outputAt, range(0, 8));
}

TEST_F(RunLoopTest, OutputIntervalBelowTimeStepIsRaisedToIt) {
  data_start(0.25, 1.0, 0.1);
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(e_s1::print, 0.25);
  EXPECT_EQ(case_.outputAt, range(0, 4));
}

TEST_F(RunLoopTest, StopRequestTakesEffectAtTheNextStep) {
  data_start(0.5, 10.0, 0.5);
  case_.stopAtStep = 7;
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(case_.dynSteps, range(0, 8));
  EXPECT_EQ(case_.lastStepAt, (std::vector<std::int32_t>{8}));
  EXPECT_EQ(lines().back(), " ***WARN*** Run ending on user request.");
}

TEST_F(RunLoopTest, SnapshotStartRunsTheRemainingStepsWithoutBeginPass) {
  e_s1::delt = 50e-6;
  e_s1::fintim = 0.1;
  e_s1::print = 50e-6;
  snpdat::iiisnp = 1000;
  assorc::input = "SNAP";
  storage::nstorf = 4;  // as a snapshot of this case restores it
  snpdat::at_first_step = true;  // a periodic snapshot "at the time step" ordered before any was known
  snpdat::snpinc = 0.0;
  EXPECT_EQ(run(), -1);
  EXPECT_TRUE(snpdat::tsnap == 1001 * 50e-6 && snpdat::snpinc == 50e-6) << snpdat::tsnap << " " << snpdat::snpinc;
  EXPECT_DOUBLE_EQ(e_s1::fintim, 0.15);
  EXPECT_EQ(ctrl::ndelt, 1999);
  ASSERT_EQ(case_.dynSteps.size(), 2000u);
  EXPECT_EQ(case_.dynSteps.front(), 1001);
  EXPECT_EQ(case_.dynSteps.back(), 3000);
  EXPECT_EQ(case_.beginCalls, 0);
}

// A run from a snapshot records its pointer sets at the end of its first step,
// as a run from data does: the pointers the snapshot restores stand at the
// stores' full dimensions, not where a completed pass leaves them, so they are
// not the record (a snapshot of another case is refused by the map merge).
TEST_F(RunLoopTest, SnapshotStartRecordsItsPointersAtTheEndOfItsFirstStep) {
  e_s1::delt = 0.5;
  e_s1::fintim = 5.0;
  e_s1::print = 0.5;
  snpdat::iiisnp = 3;
  assorc::input = "SNAP";
  storage::nstorf = 7;  // the store's dimension; the passes leave it at 4
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(case_.dynSteps, range(4, 13));
  for (const auto& l : lines()) EXPECT_EQ(l.find("Corrupt"), std::string::npos) << l;
}

TEST_F(RunLoopTest, SnapshotAtOrBeyondFinishTimeRunsNoStep) {
  e_s1::delt = 0.5;
  e_s1::fintim = 0.2;  // the snapshot's 10 steps are added: 5.2 s, 10 steps in all
  e_s1::print = 0.5;
  snpdat::iiisnp = 10;
  assorc::input = "SNAP";
  EXPECT_EQ(run(), -1);
  EXPECT_TRUE(case_.dynSteps.empty());
  EXPECT_EQ(ctrl::ndelt, 0);
  ASSERT_FALSE(lines().empty());
  EXPECT_EQ(lines().back(),
            " ***WARN*** The snapshot lies at or beyond the finish time: no step is run.");
}

TEST_F(RunLoopTest, StepCountLimitIsExactAndCheckedOnEveryRun) {
  e_s1::delt = 1e-6;
  e_s1::fintim = 1e-6 * 2147483647.0;
  wakro_initcom();
  EXPECT_EQ(ctrl::ndelt, 2147483647);

  const std::vector<std::string> expected = {
      " ***ERROR** Duration of run is too long for the selected time step. ",
      " ***ERROR** Increase the solution time step or reduce the duration of run. "};
  for (std::int32_t run : {1, 2}) {
    out_.str("");
    ctrl::mmm = run;
    ctrl::nrun = 2;
    e_s1::fintim = std::nextafter(1e-6 * 2147483647.0, 1.0e9);
    EXPECT_THROW(wakro_initcom(), wakro::FatalExit) << "run " << run;
    const auto l = lines();
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(l.begin(), l.begin() + 2), expected);
    bool tag = false;
    for (const auto& s : l) tag = tag || s == " ERROR: Abnormal termination of WAKRO by INITCOM     ";
    EXPECT_TRUE(tag);
  }
}

// A node voltage or channel gone NaN or infinite ends the run at the first
// output step that sees it, with one line naming the time and the node or
// channel; the nodes are looked at before the channels. In a set of multiple
// runs only the run ends: its next step (no output step) is its last, it is
// marked as cut short, and nothing stops the set.
TEST_F(RunLoopTest, ANonFiniteSolutionOrChannelStopsAtItsOutputStep) {
  struct Case {
    std::int32_t node, channel;
    double value;
    const char* text;
    bool in_a_set = false;
  };
  const double nan = std::nan("");
  const double inf = HUGE_VAL;
  const Case cases[] = {
      {3, 0, nan, " ERROR: Not a finite value at time 0.00050 s: subsystem 1, node 3 voltage nan"},
      {0, 2, -inf, " ERROR: Not a finite value at time 0.00050 s: output channel 2 -inf (Second [kV])"},
      {4, 1, inf, " ERROR: Not a finite value at time 0.00050 s: subsystem 1, node 4 voltage +inf"},
      {3, 0, nan, " ERROR: Not a finite value at time 0.00050 s: subsystem 1, node 3 voltage nan", true},
  };
  for (const Case& c : cases) {
    out_.str("");
    ctrl::multirun = c.in_a_set;
    wakro::multirun::run_cut_short = false;
    data_start(50e-6, 1e-3, 250e-6);
    int2::nmat = 1;
    e_s0::mbus.allocate(1);
    e_s0::mbus(1) = 4;
    e_s0::vdc.allocate(4, 1);
    e_s0::vdc.fill(0.0);
    outppp::jplt = 2;
    ctrl::lastrun = true;
    e_s4::pgb.allocate(2);
    e_s4::pgb.fill(0.0);
    outppp::ipgbi.allocate(2);
    outppp::ipgbi(1) = 1;
    outppp::ipgbi(2) = 2;
    outppp::pgbname.allocate(2);
    outppp::pgbname(2) = "Second [kV]";
    case_ = FakeCase{};
    case_.badFromStep = 7;  // the next output step is step 10, 0.5 ms
    case_.badNode = c.node;
    case_.badChannel = c.channel;
    case_.badValue = c.value;
    EXPECT_EQ(run(), c.in_a_set ? -1 : 2000) << c.text;  // -1: no fatal stop
    const std::vector<std::string> l = lines();
    std::size_t found = 0;
    for (const std::string& s : l) found += s.find("Not a finite value") != std::string::npos ? 1 : 0;
    EXPECT_EQ(found, 1u) << out_.str();
    EXPECT_NE(out_.str().find(std::string(c.text) + "\n"), std::string::npos) << out_.str();
    EXPECT_EQ(case_.outputAt, (std::vector<std::int32_t>{0, 5, 10})) << c.text;
    EXPECT_EQ(wakro::multirun::run_cut_short, c.in_a_set) << c.text;
    if (c.in_a_set) {
      EXPECT_NE(out_.str().find(" The run is cut short; the set goes on with its next run.\n"), std::string::npos);
    }
    ctrl::multirun = false;
    for (auto* a : {&e_s0::vdc}) a->release();
    e_s0::mbus.release();
    e_s4::pgb.release();
    outppp::ipgbi.release();
    outppp::pgbname.release();
  }
}

TEST_F(RunLoopTest, ZeroTimeStepIsRefusedBeforeDividing) {
  e_s1::delt = 0.0;
  e_s1::fintim = 1.0;
  try {
    wakro_initcom();
    FAIL() << "no fatal exit";
  } catch (const wakro::FatalExit& e) {
    EXPECT_EQ(e.status(), 2000);
  }
  EXPECT_EQ(lines().front(), " ***ERROR** The solution time step is zero or negative. ");
}

TEST_F(RunLoopTest, InitcomWarnsOncePerSubsystemAboutTooManySnapshots) {
  int2::ntriang.allocate(3);
  int2::ntriang.fill(9);
  int2::nmat = 3;
  e_s1::delt = 50e-6;
  e_s1::fintim = 0.1;
  snpdat::newsnp = 1;
  snpdat::snpinc = 0.009;
  harm_cus_com1::comp_indx = 4;
  harm_cus_com::ctype(100) = 2;
  wakro_initcom();
  EXPECT_EQ(lines(), std::vector<std::string>(3, " Warning: Too many snapshots"));
  EXPECT_EQ(int2::ntriang(3), 0);
  EXPECT_EQ(harm_cus_com1::comp_indx, 0);
  EXPECT_EQ(harm_cus_com::ctype(100), 0);

  // A zero interval schedules nothing and divides by nothing.
  out_.str("");
  snpdat::snpinc = 0.0;
  wakro_initcom();
  EXPECT_TRUE(lines().empty());
}

TEST_F(RunLoopTest, ChkstepTakesANewOutputIntervalWithoutRestartingTheCount) {
  e_s1::delt = 0.5;
  double print = 2.0, saved = 2.0;
  std::int32_t counter = 3, spo = 4, poll = 9, output = 9;
  wakro_chkstep(print, saved, counter, spo, poll, output);
  EXPECT_EQ(output, 1);
  EXPECT_EQ(poll, 0);
  EXPECT_EQ(counter, 0);
  wakro_chkstep(print, saved, counter, spo, poll, output);
  EXPECT_EQ(output, 0);
  EXPECT_EQ(counter, 1);
  print = 1.0;  // two steps per output from now on
  wakro_chkstep(print, saved, counter, spo, poll, output);
  EXPECT_EQ(spo, 2);
  EXPECT_EQ(saved, 1.0);
  EXPECT_EQ(output, 1);
  EXPECT_EQ(counter, 0);
}

TEST_F(RunLoopTest, StopRunModesAndTheirWarnings) {
  ctrl::iii = 5;
  run_loop::lasttsn = 20;
  ctrl::mmm = 2;
  ctrl::nrun = 3;
  wakro_stoprun(0);
  EXPECT_EQ(run_loop::lasttsn, 6);
  EXPECT_EQ(lines(), (std::vector<std::string>{" ***WARN*** Run ending on user request.",
                                               " ***WARN***  Continuing with next run."}));
  // Again in the same step: nothing.
  out_.str("");
  wakro_stoprun(0);
  wakro_stoprun(1);
  EXPECT_TRUE(out_.str().empty());
  EXPECT_EQ(ctrl::nrun, 3);

  run_loop::lasttsn = 20;
  wakro_stoprun(1);
  EXPECT_EQ(ctrl::nrun, 2);
  EXPECT_EQ(lines(), (std::vector<std::string>{" ***WARN*** Simulation ending on user request."}));

  out_.str("");
  ctrl::nrun = 3;
  ctrl::mruntype = 2;
  run_loop::lasttsn = 20;
  wakro_stoprun(1);
  EXPECT_EQ(ctrl::nrun, 3);
  EXPECT_EQ(run_loop::lasttsn, 6);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         " ***WARN*** Run ending on user request.",
                         " ***WARN***  Continuing with next run. ",
                         " ***WARN*** Slave simulations cannot finish without Master's consent."}));

  // The engine's own request clears the component ids first.
  out_.str("");
  e_warn::comp_id1 = 7;
  e_warn::comp_id2 = 3;
  ctrl::mruntype = 0;
  run_loop::lasttsn = 20;
  ctrl::mmm = ctrl::nrun = 1;
  wakro_stoprun1(0);
  EXPECT_EQ(e_warn::comp_id1, 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{" ***WARN*** Run ending on user request."}));
}

TEST_F(RunLoopTest, UserStopEndsTheProcessWithFourErrorLines) {
  EXPECT_THROW(wakro_stop(), wakro::FatalExit);
  const auto l = lines();
  ASSERT_GE(l.size(), 5u);
  EXPECT_EQ(l[0], " ***ERROR** ERROR: WAKRO is Terminated by a User-Written Routine. ");
  EXPECT_EQ(l[3], " ***ERROR** calling this routine.");
  bool tag = false;
  for (const auto& s : l) tag = tag || s == " ERROR: Abnormal termination of WAKRO by WAKRO_STOP  ";
  EXPECT_TRUE(tag);
}

double clock_value = 0.0;
double fake_clock() { return clock_value; }

TEST_F(RunLoopTest, DisplayThrottleRefreshesEveryTenthOfTheRunAndOnTheLastStep) {
  wakro::time_of_day_hhmmss = &fake_clock;
  clock_value = 120000.0;
  ctrl::ndelt = 1000;
  snpdat::iiisnp = 0;
  std::vector<std::int32_t> refreshed;
  for (std::int32_t k = 0; k <= 1000; ++k) {
    ctrl::iii = k;
    e_s1::firststep = k == 0;
    e_s1::laststep = k == 1000;
    if (g_updat(1.0e9)) refreshed.push_back(k);
  }
  EXPECT_EQ(refreshed, range(0, 1000, 100));

  // Few steps: every step. A clock that passed midnight: refresh.
  ctrl::ndelt = 5;
  ctrl::iii = 3;
  e_s1::firststep = false;
  e_s1::laststep = false;
  EXPECT_TRUE(g_updat(1.0e9));
  ctrl::ndelt = 1000;
  ctrl::iii = 7;
  clock_value = 5.0;
  EXPECT_TRUE(g_updat(1.0e9));
  EXPECT_FALSE(g_updat(1.0e9));
  clock_value = 7.5;
  EXPECT_TRUE(g_updat(2.0));
  wakro::time_of_day_hhmmss = nullptr;
}

TEST(ElapsedTime, BorrowsFieldByFieldAndWrapsAtMidnight) {
  const DateTime8 start{2026, 1, 1, 0, 23, 59, 59, 900};
  const DateTime8 now{2026, 1, 2, 0, 0, 0, 0, 100};
  EXPECT_EQ(wakro::elapsed_time(start, now), (std::array<std::int32_t, 4>{0, 0, 0, 200}));
  const DateTime8 later{2026, 1, 2, 0, 0, 1, 2, 3};
  EXPECT_EQ(wakro::elapsed_time(start, later), (std::array<std::int32_t, 4>{0, 1, 2, 103}));
}

// ---------------------------------------------------------------- the driver

void fixed_clock(DateTime8& t) { t = {2026, 3, 4, 60, 5, 6, 7, 8}; }
void no_run_dialog() { ctrl::nrun = 0; }
int reads = 0;
void count_read() {
  ++reads;
  e_s1::delt = 0.5;
  e_s1::fintim = 1.0;
  e_s1::print = 0.5;
}
void two_runs_dialog() {
  ctrl::nrun = 2;
  ctrl::multirun = true;
}
// Grants steps during the run and stops the run set at the end of the run.
void stop_at_end(std::int32_t& allowance, std::int32_t& answer) {
  allowance = 1000;
  answer = ctrl::iii > run_loop::lasttsn ? 1 : 0;
}

class DriverTest : public RunLoopTest {
 protected:
  void SetUp() override {
    RunLoopTest::SetUp();
    wakro::date_and_time = &fixed_clock;
    reads = 0;
    wakro::seams().readdata = &count_read;
  }
  void drive(bool version5, bool gui) {
    wakro::FixedText<128> host("localhost");
    std::int32_t port = -1, id = 1;
    wakro_driver(version5, gui, host, port, id);
  }
};

TEST_F(DriverTest, NoRunStillWritesBannerAndEndReport) {
  wakro::seams().dialog = &no_run_dialog;
  drive(false, false);
  EXPECT_EQ(reads, 0);
  EXPECT_TRUE(case_.dynSteps.empty());
  const std::string text = out_.str();
  const std::string banner = " ****\n * Wakro for Quolb v5: " + versin::vername.str() + "\n ****\n";
  EXPECT_NE(text.find(banner), std::string::npos) << text;
  EXPECT_NE(text.find(" WAKRO AC & DC Simulation run on 2026-03-04\n"), std::string::npos);
  EXPECT_NE(text.find(" The Current Time is  05:06:07\n"), std::string::npos);
  const std::string end =
      "\n         Input file: case.map" + std::string(26, ' ') + "\n"
      "\n         Start Date: 2026-03-04\n"
      "         Start Time: 05:06:07\n"
      "          Stop Time: 05:06:07\n"
      "       Elapsed Time: 00:00:00.000\n\n\n";
  ASSERT_GE(text.size(), end.size());
  EXPECT_EQ(text.substr(text.size() - end.size()), end);
  EXPECT_LT(text.find("Wakro for Quolb"), text.find("Input file"));
}

TEST_F(DriverTest, StopAtEndOfFirstOfTwoRunsWritesTheAbortNotice) {
  wakro::seams().dialogv3 = &two_runs_dialog;
  wakro::seams().getmsgv3 = &stop_at_end;
  drive(true, true);
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(case_.dynSteps, range(0, 2));
  const std::string notice =
      " \n"
      " ***************************************************\n"
      " WARNING: Quolb aborted WAKRO on run           1  of           2\n"
      " ***************************************************\n"
      " \n";
  const std::string text = out_.str();
  EXPECT_NE(text.find(notice), std::string::npos) << text;
  EXPECT_NE(text.find("\n=> WAKRO Run #     1 of     2 Started...\n"), std::string::npos);
  EXPECT_EQ(text.find("Completed run #"), std::string::npos);  // not written with the link
  // The stop after the last step moves no step, so the run count stays; the
  // abort flag alone ends the run set.
  EXPECT_EQ(ctrl::nrun, 2);
}

TEST_F(DriverTest, MultipleRunsAloneReadTheCaseEachRun) {
  wakro::seams().dialog = &two_runs_dialog;
  drive(false, false);
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(case_.dynSteps.size(), 6u);
  EXPECT_EQ(case_.beginCalls, 2);
  const std::string text = out_.str();
  const auto first = text.find("=> WAKRO Run #     1 of     2 Started...");
  const auto done1 = text.find("=> Completed run #     1 of     2");
  const auto second = text.find("=> WAKRO Run #     2 of     2 Started...");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(done1, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, done1);
  EXPECT_LT(done1, second);
  // No multiple-run output file was written, so none is named.
  EXPECT_EQ(text.find("Multiple run output:"), std::string::npos) << text;
}

// The multiple-run output file, once its writer has opened it, is named in the
// end report; a name whose file is not there is not.
std::string mrunFileToName;
void two_runs_writing_the_file_dialog() {
  two_runs_dialog();
  multpl::mrunfilename = mrunFileToName;
}

TEST_F(DriverTest, TheMultipleRunFileIsNamedOnlyWhenItIsThere) {
  const std::string file = "/tmp/wakro_runloop_mrun_" + std::to_string(getpid()) + ".out";
  wakro::seams().dialog = &two_runs_writing_the_file_dialog;
  for (const bool there : {true, false}) {
    if (there) { std::FILE* f = std::fopen(file.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    mrunFileToName = file;
    out_.str("");
    drive(false, false);
    const std::string text = out_.str();
    EXPECT_EQ(text.find("\nMultiple run output: mrun") != std::string::npos, there) << text;
    std::remove(file.c_str());
  }
  multpl::mrunfilename.blank();
}

std::vector<std::string> consolidation_calls;
void record_mrun() { consolidation_calls.push_back("mrun"); }
void record_extra(std::int32_t unit, const wakro::FixedText<30>& name) {
  consolidation_calls.push_back("extra " + std::to_string(unit) + " " + std::string(name.trimmed()));
}
void record_stats(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e,
                  std::int32_t f, std::string_view name) {
  consolidation_calls.push_back("stats " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) +
                                " " + std::to_string(d) + " " + std::to_string(e) + " " + std::to_string(f) + " " +
                                std::string(wakro::trim_right(name)));
}
void grant_and_continue(std::int32_t& allowance, std::int32_t& answer) {
  allowance = 1000;
  answer = ctrl::iii > run_loop::lasttsn ? 2 : 0;
}

// The start-up dialogue of the last rank of a parallel multiple run, with one
// multiple-run file and one extra recording file.
void last_rank_dialogue() {
  using namespace pmr_consolidate;
  ctrl::rank = 2;
  pmr_count = 2;
  pmr_mrun = 1;
  pmr_mrun_filename = "mr";
  pmr_mrun_nv = 3;
  pmr_mrun_nm = 5;
  pmr_mrun_ndiv = 20;
  lpmr_extra_files = 1;
  num_entries = 1;
  FileEntry& e = file_list(1);
  e.in_use = 1;
  e.name = "rec";
  e.unit = 33;
  e.nvalues = 4;
}

// Connects a new link to the peer (key sent) and makes it the engine's link.
void connect_to(wakro_test::ScriptedPeer& peer) {
  auto* link = new ExchangeTcp();
  ASSERT_TRUE(link->Connect("localhost", peer.port()));
  ASSERT_TRUE(peer.accept());
  ASSERT_TRUE(peer.sendKey());
  exQuolb = link;
}

// The merge requests (21) among the frames the engine sent the peer.
int merge_requests(wakro_test::ScriptedPeer& peer) {
  int requests = 0;
  while (auto f = peer.recvFrame(500)) {
    if (f->i() != 21) continue;
    ++requests;
    EXPECT_TRUE(f->atEnd());
  }
  return requests;
}

// The last rank's start-up dialogue, with every consolidation call recorded.
void record_last_rank_consolidation() {
  consolidation_calls.clear();
  wakro::Seams& s = wakro::seams();
  s.dialogv3 = &last_rank_dialogue;
  s.getmsgv3 = &grant_and_continue;
  s.pmr_mrun_consolidate = &record_mrun;
  s.mrunxtrafiles_statistics = &record_stats;
}

// Drops the link and the parallel-run state the last rank leaves.
void drop_link_and_rank() {
  delete exQuolb;
  exQuolb = nullptr;
  quolbv3::guisoc = 0;
  ctrl::rank = 0;
  pmr_consolidate::pmr_count = 0;
}

TEST_F(DriverTest, LastRankAsksUntilAllRanksAreDoneThenConsolidates) {
  wakro_test::Watchdog dog("DriverTest.LastRankConsolidates", 30);
  wakro_test::ScriptedPeer peer;
  ASSERT_NO_FATAL_FAILURE(connect_to(peer));
  // The answers wait in the socket: not yet (32, 0), then done (32, 1).
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(32).i(0)));
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(32).i(1)));

  record_last_rank_consolidation();
  wakro::seams().pmr_mrun_extrafiles_consolidate = &record_extra;
  drive(true, true);
  drop_link_and_rank();

  EXPECT_EQ(consolidation_calls, (std::vector<std::string>{"mrun", "stats 1 3 5 1 20 0 mr", "extra 33 rec",
                                                           "stats 1 0 4 33 10 -1 rec"}));
  EXPECT_EQ(merge_requests(peer), 2);
}

// A stop signal that comes as the last rank's run ends, before the design
// environment answers its end.
void signal_at_end(std::int32_t& allowance, std::int32_t& answer) {
  allowance = 1000;
  answer = 0;
  if (ctrl::iii > run_loop::lasttsn) wakro::note_stop_signal(SIGTERM);
}

// Any answer but "all ranks done" skips the merge; a last rank stopped at the
// end of its run (the design environment's stop, a stop signal) asks nothing,
// though the answer waiting would let it merge.
TEST_F(DriverTest, AnyOtherAnswerSkipsTheConsolidation) {
  wakro_test::Watchdog dog("DriverTest.AnyOtherAnswerSkips", 30);
  using Poll = void (*)(std::int32_t&, std::int32_t&);
  for (const auto& [answer, poll, requests] : {std::tuple{std::vector{33}, Poll{&grant_and_continue}, 1},
                                               {std::vector{32, 1}, Poll{&stop_at_end}, 0},
                                               {std::vector{32, 1}, Poll{&signal_at_end}, 0}}) {
    wakro_test::ScriptedPeer peer;
    ASSERT_NO_FATAL_FAILURE(connect_to(peer));
    wakro_test::Frame f = peer.frame();
    for (const std::int32_t v : answer) f.i(v);
    ASSERT_TRUE(peer.sendFrame(f));
    record_last_rank_consolidation();
    wakro::seams().getmsgv3 = poll;
    drive(true, true);
    drop_link_and_rank();
    wakro::clear_stop_signal();
    EXPECT_TRUE(consolidation_calls.empty()) << requests;
    EXPECT_EQ(merge_requests(peer), requests);
  }
}

}  // namespace
}  // namespace app_test
