// Requests the engine cannot serve yet are said, not dropped: a start from a
// snapshot stops before any step, snapshot and multiple-run requests warn, an
// output record file that cannot be written falls back to the legacy channel
// files. Stop signals end a run through the normal stop request: in-process
// with a fake case that raises the signal at a known step, and as a user sees
// it, with SIGTERM or SIGHUP sent to the R-L breaker example while it waits for steps
// from the design environment.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <limits>
#include <string>
#include <vector>

#include "app/args.h"
#include "app/driver.h"
#include "app/stoprun.h"
#include "app_fixture.h"
#include "child_process.h"
#include "link/stop_signal.h"
#include "output/record_bindings.h"
#include "support/fatal_capture.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_RL_BREAKER_EXE
#error "WAKRO_RL_BREAKER_EXE must name the built R-L breaker example"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;

using wakro_test::Reader;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

const std::string kSnapshotStart =
    " Missing service: readsnap (the snapshot reader) was never registered.";
const std::string kSnapshots =
    " WARNING: No snapshot writer is plugged in: no snapshot file will be written.";
const std::string kRecordFile =
    " WARNING: The output record file (-outtype bin) is not available yet:"
    " the legacy channel files are written instead.";

std::size_t count_of(const std::string& text, const std::string& line) {
  std::size_t n = 0;
  for (const std::string& l : lines_of(text)) n += l == line ? 1 : 0;
  return n;
}

void fixed_clock(DateTime8& t) { t = {2026, 3, 4, 60, 5, 6, 7, 8}; }

// The case "read": 0.5 s steps to 5 s (steps 0..10), output on every step, one
// output channel.
void read_case() {
  e_s1::delt = 0.5;
  e_s1::fintim = 5.0;
  e_s1::print = 0.5;
  outppp::jplt = 1;
}

// What the dialogue asked for (set by each test before the driver runs).
struct Request {
  bool snapshotStart = false;
  bool snapshots = false;
  std::int32_t runs = 1;
  bool outputFile = false;
  std::int32_t outtype = 0;
};
Request request;

void requesting_dialog() {
  assorc::input = request.snapshotStart ? "SNAP" : "DATA";
  outppp::snpfil = request.snapshots ? 1 : 0;
  ctrl::nrun = request.runs;
  ctrl::multirun = request.runs > 1;
  outppp::outfil = request.outputFile ? 1 : 0;
  fnames::iouttype = request.outtype;
}

// The legacy channel-file and record-file routines, recording their modes.
std::vector<std::int32_t> legacyModes;
std::vector<std::int32_t> recordModes;
void legacy_files(std::int32_t mode) {
  legacyModes.push_back(mode);
  if (mode == 1) fnames::iunitout = 60;
  if (mode == 2) fnames::iunitout = 0;
}
void record_file(std::int32_t mode) { recordModes.push_back(mode); }
void snapshot_writer() {}

// The fake case, raising a signal during the dynamics pass of one step.
int raiseAtStep = -1;
int raiseSignal = SIGINT;
void raising_dsdyn() {
  fake_dsdyn();
  if (ctrl::iii == raiseAtStep) std::raise(raiseSignal);
}

class DriverRequests : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    wakro::date_and_time = &fixed_clock;
    request = Request{};
    legacyModes.clear();
    recordModes.clear();
    raiseAtStep = -1;
    fnames::iouttype = 0;
    fnames::iunitout = 0;
    wakro::Seams& s = wakro::seams();
    s.dialog = &requesting_dialog;
    s.readdata = &read_case;
    s.wakro_outputfile = &legacy_files;
    s.wakro_outputfilebin = &record_file;
    wakro::clear_stop_signal();
  }
  void TearDown() override {
    wakro::clear_stop_signal();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    wakro::set_record_file_hooks(nullptr);
    wakro::date_and_time = nullptr;
    fnames::iouttype = 0;
    fnames::iunitout = 0;
    AppTest::TearDown();
  }
  // Runs the driver alone; the status of its fatal stop, -1 when it returns.
  int drive() {
    return wakro_test::fatal_status([] {
      wakro::FixedText<128> host("localhost");
      std::int32_t port = -1, id = 1;
      bool version5 = true, gui = false;
      wakro_driver(version5, gui, host, port, id);
    });
  }
};

// ---------------------------------------------------------------- requests

TEST_F(DriverRequests, SnapshotStartStopsBeforeAnyStepWithAClearMessage) {
  request.snapshotStart = true;
  EXPECT_EQ(drive(), 2000);
  EXPECT_TRUE(case_.dynSteps.empty());
  const std::string text = out_.str();
  EXPECT_EQ(count_of(text, kSnapshotStart), 1u) << text;
  EXPECT_NE(text.find(kSnapshotStart + "\n =========================================================\n"
                                       " ERROR: Abnormal termination of WAKRO by READSNAP    \n"),
            std::string::npos)
      << text;
}

TEST_F(DriverRequests, SnapshotRequestIsSaidOnceAndMultipleRunsGoOnUnwarned) {
  request.snapshots = true;
  request.runs = 2;
  EXPECT_EQ(drive(), -1);
  EXPECT_EQ(case_.dynSteps.size(), 22u);  // two runs of steps 0..10
  const std::string text = out_.str();
  EXPECT_EQ(count_of(text, kSnapshots), 1u) << text;
  // Multiple runs are served (the case varies its parameters itself): no warning.
  EXPECT_EQ(text.find("Multiple runs are not available"), std::string::npos) << text;
  // Said after the banner, before the first run starts.
  EXPECT_LT(text.find(" * Wakro for Quolb v5: "), text.find(kSnapshots));
  EXPECT_LT(text.find(kSnapshots), text.find("=> WAKRO Run #     1 of     2 Started..."));
}

TEST_F(DriverRequests, ARegisteredSnapshotWriterAndASingleRunAreNotWarnedAbout) {
  request.snapshots = true;
  wakro::seams().writesnap = &snapshot_writer;
  EXPECT_EQ(drive(), -1);
  const std::string text = out_.str();
  EXPECT_EQ(text.find("not available"), std::string::npos) << text;
}

TEST_F(DriverRequests, RecordFileRequestWritesTheLegacyChannelFilesAndSaysSoOnce) {
  request.outputFile = true;
  request.outtype = 1;
  EXPECT_EQ(drive(), -1);
  EXPECT_EQ(fnames::iouttype, 0);
  EXPECT_TRUE(recordModes.empty());
  // Opened at step 0, one output step each of steps 0..10, closed at the end
  // of the run, listed by the end report.
  std::vector<std::int32_t> expected = {1};
  for (int k = 0; k <= 10; ++k) expected.push_back(3);
  expected.push_back(2);
  expected.push_back(0);
  EXPECT_EQ(legacyModes, expected);
  EXPECT_EQ(count_of(out_.str(), kRecordFile), 1u) << out_.str();
}

TEST_F(DriverRequests, RecordFileRequestWithoutOutputFileOnlyFallsBack) {
  request.outtype = 1;
  EXPECT_EQ(drive(), -1);
  EXPECT_EQ(fnames::iouttype, 0);
  EXPECT_EQ(out_.str().find("not available"), std::string::npos);
}

bool record_exists() { return true; }
const wakro::RecordFileHooks kRecordHooks = {&record_exists, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

TEST_F(DriverRequests, ARegisteredRecordFileKeepsTheRecordFileOutput) {
  wakro::set_record_file_hooks(&kRecordHooks);
  request.outputFile = true;
  request.outtype = 1;
  EXPECT_EQ(drive(), -1);
  EXPECT_EQ(fnames::iouttype, 1);
  EXPECT_EQ(recordModes.size(), 11u);  // every step 0..10 is an output step
  EXPECT_TRUE(legacyModes.empty());
  EXPECT_EQ(out_.str().find("not available"), std::string::npos);
}

// ---------------------------------------------------------------- signals

TEST_F(DriverRequests, StopSignalEndsTheRunAfterTheNextStepAndTheRunSet) {
  wakro::install_stop_signals();
  wakro::seams().dsdyn = &raising_dsdyn;
  raiseAtStep = 3;
  raiseSignal = SIGINT;
  request.runs = 3;
  EXPECT_EQ(drive(), -1);
  // The signal came during step 3; step 4 sees it, runs, and step 5 is the
  // last; runs 2 and 3 never start.
  std::vector<std::int32_t> steps = {0, 1, 2, 3, 4, 5};
  EXPECT_EQ(case_.dynSteps, steps);
  EXPECT_EQ(case_.lastStepAt, (std::vector<std::int32_t>{5}));
  EXPECT_EQ(wakro::signal_stop.signal, SIGINT);
  EXPECT_EQ(wakro::signal_stop.step, 5);
  EXPECT_DOUBLE_EQ(wakro::signal_stop.time, 2.5);
  EXPECT_EQ(wakro::stop_signal_status(), 128 + SIGINT);
  const std::string text = out_.str();
  EXPECT_EQ(count_of(text, " ***WARN*** Simulation ending on user request."), 1u) << text;
  EXPECT_EQ(text.find("Run #     2"), std::string::npos);
  EXPECT_NE(text.find("\n         Input file: case.map" + std::string(26, ' ') +
                      "\n Stopped by SIGINT: the run ended after step 5, at time 2.5 s.\n"),
            std::string::npos)
      << text;
  // A second signal of another kind does not take the first one's place.
  std::raise(SIGHUP);
  EXPECT_EQ(wakro::g_received_stop_signal, SIGINT);
  std::signal(SIGHUP, SIG_DFL);
}

TEST_F(DriverRequests, StopSignalDuringTheLastStepStillEndsWithItsStatusAndReport) {
  // A signal the process was started with ignored (nohup) stays ignored; a
  // file-size limit's SIGXFSZ is ignored, so the write fails and says so.
  struct sigaction ignore {}, seen {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGHUP, &ignore, nullptr);
  wakro::install_stop_signals();
  for (const int s : {SIGHUP, SIGXFSZ}) EXPECT_TRUE(sigaction(s, nullptr, &seen) == 0 && seen.sa_handler == SIG_IGN) << s;
  signal(SIGHUP, SIG_DFL);
  wakro::seams().dsdyn = &raising_dsdyn;
  raiseAtStep = 10;
  raiseSignal = SIGTERM;
  EXPECT_EQ(drive(), -1);
  EXPECT_EQ(case_.dynSteps.size(), 11u);
  EXPECT_EQ(wakro::stop_signal_status(), 128 + SIGTERM);
  const std::string text = out_.str();
  EXPECT_EQ(text.find("Simulation ending on user request."), std::string::npos);
  EXPECT_NE(text.find("\n Stopped by SIGTERM: the run ended after step 10, at time 5 s.\n"),
            std::string::npos)
      << text;
}

// A console that a signal reaches as the end report's first line is written to
// it: the last signal before the report is written out.
struct SignalOnFlush : std::stringbuf {
  int sync() override {
    if (str().find("Input file:") != std::string::npos && !raised) raised = std::raise(SIGUSR1) == 0;
    return 0;
  }
  bool raised = false;
};

TEST_F(DriverRequests, AStopSignalAsTheEndReportIsWrittenStillCounts) {
  wakro::install_stop_signals();
  request.runs = 2;
  SignalOnFlush console;
  std::ostream to(&console);
  {
    wakro::ConsoleRedirect redirect(to);
    EXPECT_EQ(drive(), -1);
  }
  EXPECT_TRUE(console.raised);
  EXPECT_EQ(wakro::stop_signal_status(), 128 + SIGUSR1);
  EXPECT_NE(console.str().find("\n Stopped by SIGUSR1: the run ended after step 10, at time 5 s.\n"), std::string::npos)
      << console.str();
  std::signal(SIGUSR1, SIG_DFL);
}

TEST_F(DriverRequests, WithoutAStopSignalTheStatusIsZeroAndTheReportSaysNothing) {
  EXPECT_EQ(drive(), -1);
  EXPECT_EQ(wakro::stop_signal_status(), 0);
  EXPECT_EQ(out_.str().find("Stopped by"), std::string::npos);
}

// ---------------------------------------------------------------- the process

const std::string kRlExe = WAKRO_RL_BREAKER_EXE;
const std::string kRlCaseDir = WAKRO_RL_BREAKER_CASE_DIR;

std::vector<std::int32_t> ints(Reader& r, int n) {
  std::vector<std::int32_t> v;
  for (int k = 0; k < n; ++k) v.push_back(r.i());
  return v;
}

std::string last_line(const std::string& text) {
  const auto l = lines_of(text);
  return l.empty() ? std::string() : l.back();
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The R-L breaker example in a scratch folder, paced by the scripted design
// environment: 100 steps granted, then a stop signal while the engine waits for more.
class StopSignalProcess : public ::testing::TestWithParam<int> {};
TEST_P(StopSignalProcess, EndsTheRunWithWholeChannelFilesItsStatusAndNoLock) {
  Watchdog dog("StopSignalProcess.EndsTheRun", 60);
  const int signal = GetParam();
  const std::string name = wakro::stop_signal_name(signal);
  const fs::path dir = fs::temp_directory_path() / ("wakro_sigterm_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* f : {"rl_breaker.map", "rl_breaker.dta"}) fs::copy_file(fs::path(kRlCaseDir) / f, dir / f);

  ScriptedPeer peer;
  ChildProcess child({kRlExe, "-v5", "-locale", "C", "-port", std::to_string(peer.port())}, dir.string());
  ASSERT_TRUE(peer.accept(10000));
  ASSERT_TRUE(peer.sendKey());
  auto frame = [&] {
    auto f = peer.recvFrame(10000);
    if (!f) ADD_FAILURE() << "no frame from the engine";
    return f ? *f : Reader({}, false);
  };
  // The first frame that is neither a step report (4) before the given step,
  // nor progress (3), nor watched values (1): these stream on output steps.
  int streamed = 0;
  auto after_reports = [&](std::int32_t step) {
    for (;;) {
      Reader r = frame();
      const std::int32_t tag = Reader(r.body(), false).i();
      const std::int32_t at = r.body().size() >= 8 ? ints(r, 2)[1] : -1;
      const bool report = tag == 1 || tag == 3 || (tag == 4 && at < step);
      if (!report) return Reader(r.body(), false);
      ++streamed;
      if (streamed > 10000) {
        ADD_FAILURE() << "no end of the reports";
        return Reader({}, false);
      }
    }
  };
  // The reports up to and including the watched values of output step `last`.
  auto through_output_step = [&](std::int32_t last) {
    std::int32_t step = -1;
    for (int k = 0; k < 10000; ++k) {
      Reader r = frame();
      const std::int32_t tag = r.i();
      if (tag == 4) step = r.i();
      if (tag != 1 && tag != 3 && tag != 4) {
        ADD_FAILURE() << "message " << tag << " among the step reports";
        return;
      }
      ++streamed;
      if (tag == 1 && step == last) return;
    }
  };
  // The dialogue: the map file, an output file, the end; then hello's three
  // catalogue messages, the run start and the output interval.
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(10).s("rl_breaker.map")));
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(13).s("rl_breaker")));
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(19)));
  for (int code : {2, 83, 84}) {
    Reader r = frame();
    EXPECT_EQ(ints(r, 3)[2], code);
  }
  Reader start = frame();
  EXPECT_EQ(ints(start, 2), (std::vector<std::int32_t>{2, 4}));  // four channels
  Reader names = frame();  // record 19: no ENI lines
  EXPECT_EQ(names.i(), 19);
  EXPECT_EQ(names.i(), 0);
  EXPECT_EQ(names.i(), 0);
  EXPECT_TRUE(names.atEnd());
  Reader interval = frame();
  EXPECT_EQ(interval.i(), 20);

  // Steps 0..99 granted; they stream their reports on every other step up to
  // step 98, after whose start no command is read before the engine waits at
  // step 100. The step report then shows the engine waiting there.
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(1).i(100)));
  through_output_step(98);
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(1).i(0)));
  Reader report = frame();
  EXPECT_EQ(ints(report, 2), (std::vector<std::int32_t>{4, 100}));
  EXPECT_GT(streamed, 0);

  // The signal while it waits, then more steps than the run has left: step 100
  // sees the signal, steps 100 and 101 run, the run ends there.
  ASSERT_EQ(kill(child.pid(), signal), 0);
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(1).i(100000)));
  Reader warning = after_reports(0);
  EXPECT_EQ(ints(warning, 5), (std::vector<std::int32_t>{14, 0, 0, 1, 1}));
  EXPECT_EQ(warning.s(), "Simulation ending on user request.");
  Reader end = after_reports(std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ints(end, 3), (std::vector<std::int32_t>{0, 0, 0}));
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(22).i(0)));
  for (int code : {85, 87, 86}) {
    Reader r = frame();
    EXPECT_EQ(ints(r, 3)[2], code);
  }
  Reader close = frame();
  EXPECT_EQ(close.i(), -999);
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(-999)));
  ASSERT_TRUE(child.wait());

  EXPECT_EQ(child.exitCode(), 128 + signal) << child.err();
  const std::string out = child.out();
  EXPECT_EQ(last_line(out), kRlExe + " exiting.  Status code = " + std::to_string(128 + signal));
  EXPECT_NE(out.find("\n Stopped by " + name + ": the run ended after step 101, at time 0.00505 s.\n"),
            std::string::npos)
      << out;

  // The channel file holds the title and one whole line per output step (every
  // second step, 0..100), each with the time and four channels.
  const auto lines = lines_of(read_file(dir / "rl_breaker_01.out"));
  ASSERT_EQ(lines.size(), 1u + 51u);
  for (std::size_t k = 1; k < lines.size(); ++k) {
    std::istringstream in(lines[k]);
    std::vector<double> v;
    double x = 0.0;
    while (in >> x) v.push_back(x);
    ASSERT_EQ(v.size(), 5u) << "line " << k << ": " << lines[k];
    EXPECT_NEAR(v[0], static_cast<double>(k - 1) * 100e-6, 1e-12);
  }
  EXPECT_EQ(lines_of(read_file(dir / "rl_breaker.inf")).size(), 4u);
  EXPECT_FALSE(fs::exists(dir / "rl_breaker.lock"));
  fs::remove_all(dir);
}
INSTANTIATE_TEST_SUITE_P(StopSignals, StopSignalProcess,
                         ::testing::Values(SIGTERM, SIGHUP, SIGPIPE, SIGQUIT, SIGXCPU, SIGUSR1, SIGPWR, SIGRTMIN + 3));

// ---------------------------------------------------------------- usage line

const std::string kExe = WAKRO_EXE;
const std::string kEmptyCaseDir = WAKRO_EMPTY_CASE_DIR;

std::string usage(const std::string& program) {
  return "Usage: " + program +
         " -v5 [-config <file>] [-standalone] [-locale <name> -port <number> [-host <name>]"
         " [-id <number>] [-lumbra <library>]] [-outwriter <library>] [-out <name>]"
         " [-outtype legacy|bin]\n";
}

TEST(UsageLine, NoArgumentsOrNothingToRunPrintsTheUsageAndEndsWithStatusTwo) {
  Watchdog dog("UsageLine.NothingToRun", 60);
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{kExe}, std::vector<std::string>{kExe, "whatever"},
        std::vector<std::string>{kExe, "-v2"}}) {
    ChildProcess p(words, kEmptyCaseDir);
    ASSERT_TRUE(p.wait());
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_EQ(p.out(), "");
    EXPECT_EQ(p.err(), usage(kExe)) << words.back();
  }
}

TEST(UsageLine, AnUnknownOptionIsNamedOnceAndNothingRuns) {
  Watchdog dog("UsageLine.UnknownOption", 60);
  const std::string options = "/tmp/wakro_app_usage_" + std::to_string(getpid()) + ".txt";
  { std::ofstream(options) << "-standalone -nonsense\n"; }
  ChildProcess p({kExe, "-v5", "-bogus", "-outtype", "bin", "-config", options, "-also"}, kEmptyCaseDir,
                 kEmptyCaseDir + "/answers.txt");
  ASSERT_TRUE(p.wait());
  std::remove(options.c_str());
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_EQ(p.err(), "Unknown option '-bogus'. " + usage(kExe));
  EXPECT_EQ(p.out(), kExe + " exiting.  Status code = 2\n");
}

TEST(UsageLine, AWordInAnOptionFileThatNamesNoOptionIsNamed) {
  Watchdog dog("UsageLine.OptionFile", 60);
  const std::string options = "/tmp/wakro_app_usage2_" + std::to_string(getpid()) + ".txt";
  { std::ofstream(options) << "-id 3 -nonsense\n"; }
  ChildProcess p({kExe, "-v5", "-config", options}, kEmptyCaseDir, kEmptyCaseDir + "/answers.txt");
  ASSERT_TRUE(p.wait());
  std::remove(options.c_str());
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_EQ(p.err(), "Unknown option '-nonsense'. " + usage(kExe));
}

TEST(UsageLine, TheOptionReaderKeepsTheWordsThatNameNoOption) {
  wakro::ArgReader reader;
  reader.process({"prog", "-v5", "-port", "-bogus", "-standalone", "stray", "-id", "4", "-x"});
  // "-bogus" is the value of -port; every other word that names no option is kept.
  EXPECT_EQ(reader.unknownWords, (std::vector<std::string>{"prog", "-v5", "stray", "-x"}));
  EXPECT_TRUE(reader.standalone);
  EXPECT_EQ(reader.id, 4);
}

}  // namespace
}  // namespace app_test
