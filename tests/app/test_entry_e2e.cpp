// The built engine started as a user would: alone with the console answered
// from a file, against the scripted design environment, with a port nobody
// listens on, and in the older command-line forms.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "child_process.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_EXE
#error "WAKRO_EXE must name the built engine executable"
#endif

namespace app_test {
namespace {

using wakro_test::Reader;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_EXE;
const std::string kCaseDir = WAKRO_EMPTY_CASE_DIR;

std::string last_line(const std::string& text) {
  const auto l = lines_of(text);
  return l.empty() ? std::string() : l.back();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A port on 127.0.0.1 that nobody listens on.
int closed_port() {
  ScriptedPeer peer;
  const int port = peer.port();
  peer.closeListener();
  return port;
}

TEST(EngineAlone, EmptyCaseRunsToTheExitLine) {
  Watchdog dog("EngineAlone.EmptyCaseRunsToTheExitLine", 60);
  ChildProcess p({kExe, "-v5"}, kCaseDir, kCaseDir + "/answers.txt");
  ASSERT_TRUE(p.wait());
  const std::string out = p.out();
  EXPECT_EQ(p.exitCode(), 0) << out << p.err();
  EXPECT_EQ(last_line(out), kExe + " exiting.  Status code = 0");
  EXPECT_TRUE(contains(out, "Requested locale = english-us\n"));
  EXPECT_TRUE(contains(out, "    WAKRO(tm)  Version 5.0\n"));
  EXPECT_TRUE(contains(out, " ENTER NUMBER OF GLOBAL SUBSTITUTION VARIABLES: \n ****\n * Wakro for Quolb v5: Build# "));
  EXPECT_TRUE(contains(out, "\n         Input file: empty.map"));
  EXPECT_TRUE(contains(out, "       Elapsed Time: "));
  EXPECT_LT(out.find("Wakro for Quolb"), out.find("Input file"));
  EXPECT_TRUE(p.err().empty()) << p.err();
}

TEST(EngineAlone, MissingMapFileEndsWithFatalStatus) {
  Watchdog dog("EngineAlone.MissingMapFileEndsWithFatalStatus", 120);
  // A folder of the test's own with the files the rows name: a folder, a named
  // pipe (its open would wait for a writer), a map whose page is a device
  // without end, a map whose include is the pipe, a map whose page name holds
  // a NUL byte.
  const std::string dir = "/tmp/wakro_app_unreadable_" + std::to_string(getpid());
  const std::string answers = dir + "/answers.txt";
  const std::string pipe = dir + "/pipe";
  const std::string head =
      "DIMENSIONS:\nPARAMETERS:\nTIME_STEP = 50.0E-6\nPRINT_STEP = 250.0E-6\nFINISH_TIME = 0.001\n";
  ASSERT_EQ(::mkdir(dir.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((dir + "/adir").c_str(), 0700), 0);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto write = [&](const std::string& name, const std::string& text) {
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "w");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  };
  write("zero.map", head + "MAP: /dev/zero\n 0 0\n 0 0\nENDCASE:\n");
  write("pipe.map", "DIMENSIONS:\nINCLUDE '" + pipe + "'\n" + head + "ENDCASE:\n");
  write("nul.map", head + "MAP: " + std::string("ab\0cd", 5) + "\n 0 0\n 0 0\nENDCASE:\n");
  write("ab", "a user's file\n");  // what the name up to its NUL would open
  const std::string opening = " ***ERROR** WAKRO: Error while opening file for read: ";
  struct Row {
    std::string map, stdinFile;
    std::vector<std::string> messages;
  };
  // The answers of the example with the map file of the row: a map refused is
  // asked for again, and the end of the answers ends the run.
  const std::string dialogEnd =
      " End of the console input: the start-up dialogue has no answer to read.\n";
  const std::string byDialog = " ERROR: Abnormal termination of WAKRO by DIALOG      \n";
  for (const Row& r :
       {Row{"nothere.map",
            "",
            {" **** INPUT FILE nothere.ma DOES NOT EXIST! ****\n", dialogEnd, byDialog}},
        Row{"adir", "", {" WAKRO: The map file adir is a folder\n", dialogEnd}},
        Row{"/dev/zero", "", {" WAKRO: The map file /dev/zero is not a regular file\n", dialogEnd}},
        Row{"zero.map", "", {opening + "/dev/zero: is not a regular file\n"}},
        Row{"pipe.map", "", {opening + pipe + ": is not a regular file\n"}},
        Row{"nul.map", "", {" ***ERROR** A name may not hold a NUL byte: ab\\0cd (read from nul.map)\n"}},
        Row{"",
            "/dev/zero",
            {" WAKRO: Line too long: the console input, line 1, is longer than 65536 "
             "characters\n"}}}) {
    write("answers.txt", "0\n0\n" + r.map + "\n1\n0\n0\n0\n");
    ChildProcess p({kExe, "-v5"}, dir, r.stdinFile.empty() ? answers : r.stdinFile);
    ASSERT_TRUE(p.wait(10000)) << r.map;
    EXPECT_EQ(p.exitCode(), 2) << r.map;
    const std::string out = p.out();
    for (const std::string& m : r.messages) EXPECT_TRUE(contains(out, m)) << out;
    EXPECT_EQ(last_line(out), kExe + " exiting.  Status code = 2000") << r.map;
  }
  // A device without end as the option file: refused before anything runs.
  ChildProcess p({kExe, "-v5", "-config", "/dev/zero"}, dir, answers);
  ASSERT_TRUE(p.wait(10000));
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_TRUE(contains(
      p.err(), "Option file '/dev/zero' (-config) cannot be read: is not a regular file.\n"));
  std::filesystem::remove_all(dir);
}

TEST(EngineAlone, PortWithoutListenerFailsWithStatusOne) {
  Watchdog dog("EngineAlone.PortWithoutListenerFailsWithStatusOne", 60);
  const std::string port = std::to_string(closed_port());
  ChildProcess p({kExe, "-v5", "-port", port, "-locale", "C"}, kCaseDir);
  ASSERT_TRUE(p.wait());
  EXPECT_EQ(p.exitCode(), 1);
  const std::string err = p.err();
  EXPECT_TRUE(contains(err, kExe + ": Connection refused\n")) << err;
  EXPECT_EQ(last_line(err), "Failed to connect to localhost:" + port);
  const std::string out = p.out();
  EXPECT_EQ(last_line(out), kExe + " exiting.  Status code = 1");
  EXPECT_FALSE(contains(out, "Wakro for Quolb"));
  EXPECT_TRUE(contains(out, "Requested locale = C\n"));
}

TEST(EngineAlone, PortOutsideTheValidRangeIsRefused) {
  Watchdog dog("EngineAlone.PortOutsideTheValidRangeIsRefused", 60);
  for (const char* bad : {"70000", "0", "abc"}) {
    ChildProcess p({kExe, "-v5", "-locale", "C", "-port", bad}, kCaseDir);
    ASSERT_TRUE(p.wait());
    EXPECT_EQ(p.exitCode(), 1) << bad;
    EXPECT_EQ(p.err(), std::string("Invalid port number '") + bad + "': a port is 1 to 65535.\n");
    EXPECT_EQ(last_line(p.out()), kExe + " exiting.  Status code = 1");
  }
}

TEST(EngineAlone, HostAndPortWithoutLocaleRunAlone) {
  Watchdog dog("EngineAlone.HostAndPortWithoutLocaleRunAlone", 60);
  const std::string port = std::to_string(closed_port());
  ChildProcess p({kExe, "-V5", "-host", "localhost", "-port", port}, kCaseDir, kCaseDir + "/answers.txt");
  ASSERT_TRUE(p.wait());
  EXPECT_EQ(p.exitCode(), 0) << p.err();
  EXPECT_EQ(last_line(p.out()), kExe + " exiting.  Status code = 0");
}

TEST(EngineOlderForms, IncompatibleLinkNothingAndStandalone) {
  Watchdog dog("EngineOlderForms", 60);
  {
    ChildProcess p({kExe, "-v4", "myhost", "5000"}, kCaseDir);
    ASSERT_TRUE(p.wait());
    EXPECT_EQ(p.exitCode(), 2);  // refused: never reported as success
    EXPECT_EQ(p.out(), kExe + " exiting. Incompatible WAKRO library. ");
  }
  {
    ChildProcess p({kExe, "whatever"}, kCaseDir);
    ASSERT_TRUE(p.wait());
    EXPECT_EQ(p.exitCode(), 2);  // nothing ran: a usage error
    EXPECT_EQ(p.out(), "");
  }
  {
    ChildProcess p({kExe, "-startup:alone"}, kCaseDir, kCaseDir + "/answers.txt");
    ASSERT_TRUE(p.wait());
    EXPECT_EQ(p.exitCode(), 0);
    const std::string out = p.out();
    EXPECT_FALSE(contains(out, "exiting"));
    EXPECT_TRUE(contains(out, "\n         Start Date: "));
    EXPECT_TRUE(contains(out, "       Elapsed Time: "));
    EXPECT_FALSE(contains(out, "Requested locale"));
  }
}

// ---------------------------------------------------------------- with the peer

std::vector<std::int32_t> ints(Reader& r, int n) {
  std::vector<std::int32_t> v;
  for (int k = 0; k < n; ++k) v.push_back(r.i());
  return v;
}

class EngineLinked : public ::testing::Test {
 protected:
  void start(std::vector<std::string> extra = {}) {
    std::vector<std::string> words = {kExe, "-v5", "-locale", "C", "-port", std::to_string(peer_.port())};
    words.insert(words.end(), extra.begin(), extra.end());
    child_ = std::make_unique<ChildProcess>(words, kCaseDir);
    ASSERT_TRUE(peer_.accept(10000));
    ASSERT_TRUE(peer_.sendKey());
  }
  Reader frame() {
    auto f = peer_.recvFrame(10000);
    if (!f) {
      ADD_FAILURE() << "no frame from the engine";
      return Reader({}, false);
    }
    return *f;
  }
  void send(const wakro_test::Frame& f) { ASSERT_TRUE(peer_.sendFrame(f)); }
  wakro_test::Frame f() { return peer_.frame(); }

  // The dialogue naming the empty case, then hello's three catalogue messages.
  void dialogue_and_hello(std::vector<wakro_test::Frame> more = {}) {
    send(f().i(10).s("empty.map"));
    for (const auto& m : more) send(m);
    send(f().i(19));
    Reader version = frame();
    EXPECT_EQ(ints(version, 3), (std::vector<std::int32_t>{5, 1, 2}));
    Reader date = frame();
    EXPECT_EQ(ints(date, 3), (std::vector<std::int32_t>{5, 5, 83}));
    Reader time = frame();
    EXPECT_EQ(ints(time, 3), (std::vector<std::int32_t>{5, 5, 84}));
  }
  void run_start(std::int32_t nrun, std::int32_t run) {
    Reader start = frame();
    EXPECT_EQ(start.i(), 2);
    EXPECT_EQ(start.i(), 0);   // output channels of the empty case
    EXPECT_EQ(start.i(), 4);   // 20 steps / 5 steps per output
    EXPECT_EQ(start.i(), nrun);
    EXPECT_EQ(start.i(), run);
    EXPECT_EQ(start.i(), 1);   // engine id
    char host[256] = {};
    gethostname(host, sizeof host);
    std::string expected(host);
    expected = expected.substr(0, expected.find('.'));
    if (expected.size() >= 16) expected.clear();
    EXPECT_EQ(start.s(), expected);
    EXPECT_TRUE(start.atEnd());
    Reader names = frame();  // record 19: no ENI lines
    EXPECT_EQ(names.i(), 19);
    EXPECT_EQ(names.i(), 0);
    EXPECT_EQ(names.i(), 0);
    EXPECT_TRUE(names.atEnd());
    Reader interval = frame();
    EXPECT_EQ(interval.i(), 20);
    EXPECT_DOUBLE_EQ(interval.d(), 250.0);
    EXPECT_TRUE(interval.atEnd());
  }
  // The reports of output steps of the empty case (every fifth step of 50 us;
  // progress is reported on each, 5 % a step): the step report, the progress
  // and the watched values (none are watched).
  void output_steps(std::initializer_list<std::int32_t> steps) {
    for (std::int32_t step : steps) {
      Reader report = frame();
      EXPECT_EQ(report.i(), 4);
      EXPECT_EQ(report.i(), step);
      EXPECT_DOUBLE_EQ(report.d(), step * 50e-6);
      Reader progress = frame();
      EXPECT_EQ(ints(progress, 2), (std::vector<std::int32_t>{3, 5 * step}));
      Reader watched = frame();
      EXPECT_EQ(watched.i(), 1);
      EXPECT_TRUE(watched.atEnd());
    }
  }
  // The end of a run: the watched values once more, then message 0.
  void end_of_run(std::int32_t more) {
    Reader watched = frame();
    EXPECT_EQ(watched.i(), 1);
    EXPECT_TRUE(watched.atEnd());
    Reader end = frame();
    EXPECT_EQ(ints(end, 3), (std::vector<std::int32_t>{0, more, 0}));
    EXPECT_TRUE(end.atEnd());
  }
  // A grant of no steps is answered with the step number and the time of the
  // step that ran last.
  void expect_step_report(std::int32_t step, double time) {
    send(f().i(1).i(0));
    Reader r = frame();
    EXPECT_EQ(r.i(), 4);
    EXPECT_EQ(r.i(), step);
    EXPECT_DOUBLE_EQ(r.d(), time);
  }
  void goodby_and_close() {
    for (int code : {85, 87, 86}) {
      Reader r = frame();
      EXPECT_EQ(ints(r, 3), (std::vector<std::int32_t>{5, 5, code}));
    }
    Reader close = frame();
    EXPECT_EQ(close.i(), -999);
    EXPECT_TRUE(close.atEnd());
    send(f().i(7).i(1));
    send(f().i(-999));
    ASSERT_TRUE(child_->wait());
  }

  ScriptedPeer peer_;
  std::unique_ptr<ChildProcess> child_;
};

TEST_F(EngineLinked, PacedRunWithStopAndClosingExchange) {
  Watchdog dog("EngineLinked.PacedRunWithStopAndClosingExchange", 60);
  start();
  dialogue_and_hello();
  run_start(1, 1);

  // Five steps granted: the engine runs steps 0..4 and waits at step 5.
  send(f().i(1).i(5));
  output_steps({0});
  expect_step_report(5, 4 * 50e-6);
  // Stop: the warning, then steps 5 and 6 (the last) run.
  send(f().i(0));
  Reader warning = frame();
  EXPECT_EQ(ints(warning, 5), (std::vector<std::int32_t>{14, 0, 0, 1, 1}));
  EXPECT_EQ(warning.s(), "Simulation ending on user request.");
  output_steps({5});
  end_of_run(0);
  // At the end-of-run wait the step counter is past the last step, 6.
  expect_step_report(7, 6 * 50e-6);
  send(f().i(22).i(0));
  goodby_and_close();
  EXPECT_EQ(child_->exitCode(), 0) << child_->err();
  EXPECT_EQ(last_line(child_->out()), kExe + " exiting.  Status code = 0");
}

TEST_F(EngineLinked, GrantsCoverTheWholeRunOfTwentyOneSteps) {
  Watchdog dog("EngineLinked.GrantsCoverTheWholeRun", 60);
  // A communication library that cannot be loaded falls back to TCP.
  start({"-lumbra", "/nonexistent/libcommunication.so"});
  dialogue_and_hello();
  run_start(1, 1);
  send(f().i(1).i(20));
  output_steps({0, 5, 10, 15});
  expect_step_report(20, 19 * 50e-6);  // steps 0..19 ran; step 20 waits
  send(f().i(1).i(1));
  output_steps({20});
  end_of_run(0);
  send(f().i(22).i(0));
  goodby_and_close();
  EXPECT_EQ(child_->exitCode(), 0);
}

TEST_F(EngineLinked, StopAtEndOfFirstOfTwoRunsAbortsTheRunSet) {
  Watchdog dog("EngineLinked.StopAtEndOfFirstOfTwoRuns", 60);
  start();
  dialogue_and_hello({f().i(16).i(2).s("mr")});
  run_start(2, 1);
  send(f().i(1).i(100));
  output_steps({0, 5, 10, 15, 20});
  end_of_run(1);  // a further run follows
  send(f().i(0));
  goodby_and_close();
  EXPECT_EQ(child_->exitCode(), 0);
  const std::string out = child_->out();
  EXPECT_TRUE(contains(out, " WARNING: Quolb aborted WAKRO on run           1  of           2\n")) << out;
  EXPECT_FALSE(contains(out, "Run #     2"));
}

TEST_F(EngineLinked, PeerClosingDuringTheRunEndsTheProcess) {
  Watchdog dog("EngineLinked.PeerClosingDuringTheRun", 60);
  start();
  dialogue_and_hello();
  run_start(1, 1);
  peer_.closeClient();
  ASSERT_TRUE(child_->wait());
  EXPECT_EQ(child_->exitCode(), 1);
  const std::string out = child_->out();
  EXPECT_EQ(last_line(out), kExe + " exiting.  Status code = 1");
  EXPECT_TRUE(contains(out, "\n         Input file: empty.map"));  // the end report still ran
  const std::string err = child_->err();
  EXPECT_TRUE(contains(err, "Exchange Error: Unexpected closure of transport mechanism.\n")) << err;
  EXPECT_EQ(last_line(err), "The link to the design environment closed before the closing exchange.");
}

}  // namespace
}  // namespace app_test
