// The built engine against a design environment that misbehaves: it closes the
// link at every stage, sends frames with impossible lengths or cut short,
// messages with unknown tags, missing values, texts without their NUL, absurd
// counts, never grants a step, or floods grants. Every case must end in bounded
// time with a normal process exit (never a signal, never a sanitizer report),
// a status other than 0 when the run could not finish normally, and a line that
// says why on the console or on standard error.
//
// Each case is driven step by step: the peer reads what the engine sends before
// it misbehaves, so the outcome does not depend on timing.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app_fixture.h"
#include "support/temp_dir.h"
#include "peer_fixture.h"

#ifndef WAKRO_EXE
#error "WAKRO_EXE must name the built engine executable"
#endif

namespace app_test {
namespace {

using wakro_test::Frame;
using wakro_test::Reader;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_EXE;
const std::string kCaseDir = WAKRO_EMPTY_CASE_DIR;
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

const std::string kClosed = "Exchange Error: Unexpected closure of transport mechanism.";
const std::string kBadLength = "Exchange Error: Bad message length received.";
const std::string kNoClosingExchange = "The link to the design environment closed before the closing exchange.";
const std::string kDialogueClosed = " The link closed during the start-up dialogue.\n";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string last_line(const std::string& text) {
  const auto l = lines_of(text);
  return l.empty() ? std::string() : l.back();
}

std::string exit_line(int status) { return kExe + " exiting.  Status code = " + std::to_string(status); }

// CPU seconds used by the children reaped so far.
double children_cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

class HostilePeer : public PeerRun {
 protected:
  // Starts the engine against the peer and takes its connection; the key block
  // is sent when asked for.
  void start(bool sendKey = true, const std::string& dir = kCaseDir) {
    launch({kExe, "-v5", "-locale", "C", "-port", std::to_string(peer_.port())}, dir);
    if (HasFatalFailure()) return;
    if (sendKey) {
      ASSERT_TRUE(peer_.sendKey());
    }
  }
  void sendRaw(const std::vector<unsigned char>& bytes) { ASSERT_TRUE(peer_.sendRaw(bytes)); }
  std::vector<std::int32_t> ints(int n) {
    Reader r = frame();
    std::vector<std::int32_t> v;
    for (int k = 0; k < n; ++k) v.push_back(r.i());
    return v;
  }
  // The three catalogue messages of the start banner.
  void expect_hello() {
    EXPECT_EQ(ints(3), (std::vector<std::int32_t>{5, 1, 2}));
    EXPECT_EQ(ints(3), (std::vector<std::int32_t>{5, 5, 83}));
    EXPECT_EQ(ints(3), (std::vector<std::int32_t>{5, 5, 84}));
  }
  // The dialogue naming the empty case and the banner.
  void dialogue_and_hello() {
    send(f().i(10).s("empty.map"));
    send(f().i(19));
    expect_hello();
  }
  // The run-start messages: run `run` of `nrun`, 4 output points, then the
  // output interval of 250 us.
  void run_start(std::int32_t nrun = 1, std::int32_t run = 1) {
    Reader start = frame();
    EXPECT_EQ(start.i(), 2);
    EXPECT_EQ(start.i(), 0);
    EXPECT_EQ(start.i(), 4);
    EXPECT_EQ(start.i(), nrun);
    EXPECT_EQ(start.i(), run);
    Reader names = frame();  // record 19: no ENI lines
    EXPECT_EQ(names.i(), 19);
    EXPECT_EQ(names.i(), 0);
    EXPECT_EQ(names.i(), 0);
    EXPECT_TRUE(names.atEnd());
    Reader interval = frame();
    EXPECT_EQ(interval.i(), 20);
    EXPECT_DOUBLE_EQ(interval.d(), 250.0);
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
      EXPECT_TRUE(report.atEnd());
      EXPECT_EQ(ints(2), (std::vector<std::int32_t>{3, 5 * step}));
      Reader watched = frame();
      EXPECT_EQ(watched.i(), 1);
      EXPECT_TRUE(watched.atEnd());
    }
  }
  // A whole run of the empty case, then its end: the watched values once more
  // and the end-of-run message (1 when a further run follows).
  void whole_run_and_end(std::int32_t more, std::initializer_list<std::int32_t> steps = {0, 5, 10, 15, 20}) {
    output_steps(steps);
    Reader watched = frame();
    EXPECT_EQ(watched.i(), 1);
    EXPECT_TRUE(watched.atEnd());
    Reader end = frame();
    EXPECT_EQ(end.i(), 0);
    EXPECT_EQ(end.i(), more);
    EXPECT_EQ(end.i(), 0);
    EXPECT_TRUE(end.atEnd());
  }
  // The end report's three catalogue messages and the engine's -999.
  void goodby_and_minus_999() {
    for (int code : {85, 87, 86}) EXPECT_EQ(ints(3), (std::vector<std::int32_t>{5, 5, code}));
    Reader close = frame();
    EXPECT_EQ(close.i(), -999);
    EXPECT_TRUE(close.atEnd());
  }
  // Waits for the end of the engine, bounded, and checks that it exited by
  // itself, with the exit code, and without any sanitizer report.
  void expect_exit(int code) {
    ASSERT_TRUE(child_->wait(15000)) << "the engine did not end in time";
    out_ = child_->out();
    err_ = child_->err();
    EXPECT_EQ(child_->exitCode(), code) << "stdout:\n" << out_ << "stderr:\n" << err_;
    EXPECT_FALSE(contains(err_, "Sanitizer")) << err_;
    EXPECT_FALSE(contains(err_, "runtime error")) << err_;
  }
  // A link that broke while the case was running: status 1, the link's own
  // error, the closing-exchange notice and the end report on the console.
  void expect_broken_run(const std::string& linkError) {
    expect_exit(1);
    EXPECT_EQ(last_line(out_), exit_line(1));
    EXPECT_TRUE(contains(out_, "\n         Input file: empty.map")) << out_;
    EXPECT_TRUE(contains(err_, linkError)) << err_;
    EXPECT_EQ(last_line(err_), kNoClosingExchange);
  }
  // A link that broke during the start-up dialogue: the abnormal-termination
  // banner, status 2000 (exit code 2), the link's own error on standard error.
  void expect_broken_dialogue(const std::string& linkError) {
    expect_exit(2);
    EXPECT_TRUE(contains(out_, kDialogueClosed)) << out_;
    EXPECT_TRUE(contains(out_, " ERROR: Abnormal termination of WAKRO by DIALOGV3    \n")) << out_;
    EXPECT_EQ(last_line(out_), exit_line(2000));
    EXPECT_TRUE(contains(err_, linkError)) << err_;
    EXPECT_EQ(last_line(err_), kNoClosingExchange);
  }

  std::string out_;
  std::string err_;
};

// ---------------------------------------------------------------- closing early

TEST_F(HostilePeer, ClosingBeforeOrRightAfterTheKeyBlock) {
  Watchdog dog("HostilePeer.ClosingBeforeOrRightAfterTheKeyBlock", 30);
  start(false);
  peer_.closeClient();
  expect_broken_dialogue(kClosed);
  EXPECT_FALSE(contains(out_, "Wakro for Quolb"));

  child_.reset();
  start(true);
  peer_.closeClient();
  expect_broken_dialogue(kClosed);

  // A key block that is no key: the link is refused at once.
  child_.reset();
  start(false);
  ASSERT_TRUE(peer_.sendKey(0x0badf00d, 1.0, false));
  expect_broken_dialogue("Exchange Error: Bad key value received.\n");
}

TEST_F(HostilePeer, ClosingDuringTheStartUpDialogue) {
  Watchdog dog("HostilePeer.ClosingDuringTheStartUpDialogue", 30);
  start();
  send(f().i(10).s("empty.map"));
  send(f().i(13).s("out"));
  peer_.closeClient();
  expect_broken_dialogue(kClosed);
}

TEST_F(HostilePeer, ClosingMidRunAfterSomeSteps) {
  Watchdog dog("HostilePeer.ClosingMidRunAfterSomeSteps", 30);
  start();
  dialogue_and_hello();
  run_start();
  send(f().i(1).i(3));
  output_steps({0});    // read first: the step report must find the engine waiting
  send(f().i(1).i(0));  // the step report: steps 0..2 ran
  Reader report = frame();
  EXPECT_EQ(report.i(), 4);
  EXPECT_EQ(report.i(), 3);
  EXPECT_DOUBLE_EQ(report.d(), 2 * 50e-6);
  peer_.closeClient();
  expect_broken_run(kClosed);
}

TEST_F(HostilePeer, ClosingAtTheEndOfRunWait) {
  Watchdog dog("HostilePeer.ClosingAtTheEndOfRunWait", 30);
  start();
  dialogue_and_hello();
  run_start();
  send(f().i(1).i(21));
  whole_run_and_end(0);
  peer_.closeClient();
  expect_broken_run(kClosed);
}

TEST_F(HostilePeer, ClosingWithUnreadFramesResetsTheLink) {
  Watchdog dog("HostilePeer.ClosingWithUnreadFrames", 30);
  start();
  // The banner and the run-start messages are left unread: the closure then
  // resets the connection instead of ending the stream.
  send(f().i(10).s("empty.map"));
  send(f().i(19));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // they arrive unread
  peer_.closeClient();
  expect_exit(1);
  EXPECT_EQ(last_line(out_), exit_line(1));
  // The reset reads as the closure, as an end of stream would.
  EXPECT_TRUE(contains(err_, kClosed)) << err_;
  EXPECT_FALSE(contains(err_, "Unexpected error at transport mechanism.")) << err_;
  EXPECT_EQ(last_line(err_), kNoClosingExchange);
}

TEST_F(HostilePeer, NeverGrantingStepsThenClosingWaitsWithoutSpinning) {
  Watchdog dog("HostilePeer.NeverGrantingSteps", 30);
  const double cpuBefore = children_cpu_seconds();
  start();
  dialogue_and_hello();
  run_start();
  // The engine waits for a grant: a second of silence must cost it next to no
  // processor time.
  EXPECT_FALSE(peer_.recvFrame(1000).has_value());
  peer_.closeClient();
  expect_broken_run(kClosed);
  const double cpu = children_cpu_seconds() - cpuBefore;
  EXPECT_LT(cpu, 0.7) << "the engine used " << cpu << " s of processor time while it waited";
}

// ---------------------------------------------------------------- the closing exchange

TEST_F(HostilePeer, ClosingDuringTheClosingExchange) {
  Watchdog dog("HostilePeer.ClosingDuringTheClosingExchange", 30);
  const double cpuBefore = children_cpu_seconds();
  start();
  dialogue_and_hello();
  run_start();
  send(f().i(1).i(kIntMax));
  whole_run_and_end(0);  // end of the run
  send(f().i(22).i(0));
  goodby_and_minus_999();
  // Other messages instead of the -999, then silence, then the closure.
  send(f().i(5).i(1));
  send(f().i(-998));
  send(f().i(kIntMin));
  EXPECT_FALSE(peer_.recvFrame(1000).has_value());
  peer_.closeClient();
  expect_exit(1);
  // The run itself finished: the failure is the missing closing exchange.
  EXPECT_EQ(last_line(out_), exit_line(1));
  EXPECT_TRUE(contains(err_, kClosed)) << err_;
  EXPECT_EQ(last_line(err_), kNoClosingExchange);
  const double cpu = children_cpu_seconds() - cpuBefore;
  EXPECT_LT(cpu, 0.7) << "the engine used " << cpu << " s of processor time while it waited";
}

TEST_F(HostilePeer, BadFrameInsteadOfTheClosingMinus999) {
  Watchdog dog("HostilePeer.BadFrameInsteadOfTheClosingMinus999", 30);
  start();
  dialogue_and_hello();
  run_start();
  send(f().i(1).i(100));
  whole_run_and_end(0);
  send(f().i(22).i(0));
  goodby_and_minus_999();
  sendRaw(f().i(-999).bytesWithLength(-999));
  expect_exit(1);
  EXPECT_EQ(last_line(out_), exit_line(1));
  EXPECT_TRUE(contains(err_, kBadLength)) << err_;
  EXPECT_EQ(last_line(err_), kNoClosingExchange);
}

// ---------------------------------------------------------------- bad frames

TEST_F(HostilePeer, ImpossibleLengthPrefixInTheDialogueEndsTheLink) {
  Watchdog dog("HostilePeer.ImpossibleLengthPrefixInTheDialogue", 30);
  for (std::int32_t length : {0, kIntMax}) {
    SCOPED_TRACE(length);
    start();
    send(f().i(10).s("empty.map"));
    // The link must stop at the prefix: the peer stays open and sends nothing more.
    sendRaw(f().i(19).bytesWithLength(length));
    expect_broken_dialogue(kBadLength);
    EXPECT_TRUE(peer_.waitForClose(5000));
    peer_.closeClient();
    child_.reset();
  }
}

TEST_F(HostilePeer, ImpossibleLengthPrefixMidRunEndsTheLink) {
  Watchdog dog("HostilePeer.ImpossibleLengthPrefixMidRun", 30);
  for (std::int32_t length : {3, -1}) {
    SCOPED_TRACE(length);
    start();
    dialogue_and_hello();
    run_start();
    sendRaw(f().i(1).i(5).bytesWithLength(length));
    expect_broken_run(kBadLength);
    EXPECT_TRUE(peer_.waitForClose(5000));
    peer_.closeClient();
    child_.reset();
  }
}

TEST_F(HostilePeer, TruncatedFramesThenClosing) {
  Watchdog dog("HostilePeer.TruncatedFramesThenClosing", 30);
  {
    // Half a length prefix in the dialogue.
    start();
    const auto bytes = f().i(19).bytes();
    sendRaw({bytes.begin(), bytes.begin() + 2});
    peer_.closeClient();
    expect_broken_dialogue(kClosed);
    child_.reset();
  }
  {
    // A body cut short mid-run: 12 bytes announced, 6 sent.
    start();
    dialogue_and_hello();
    run_start();
    const auto bytes = f().i(1).i(5).bytes();
    sendRaw({bytes.begin(), bytes.begin() + 6});
    EXPECT_FALSE(peer_.recvFrame(200).has_value());
    peer_.closeClient();
    expect_broken_run(kClosed);
    child_.reset();
  }
  {
    // Steps granted, then a cut frame and the closure while the engine runs:
    // the receive that does not wait meets the cut frame.
    start();
    dialogue_and_hello();
    run_start();
    const auto bytes = f().i(1).i(5).bytes();
    std::vector<unsigned char> burst = f().i(1).i(1000).bytes();
    burst.insert(burst.end(), bytes.begin(), bytes.begin() + 10);
    sendRaw(burst);
    peer_.closeClient();
    expect_broken_run(kClosed);
    child_.reset();
  }
  {
    // The largest frame a link accepts, announced and never completed.
    start();
    dialogue_and_hello();
    run_start();
    sendRaw(f().i(1).i(5).bytesWithLength(64 * 1024 * 1024));
    peer_.closeClient();
    expect_broken_run(kClosed);
  }
}

// ---------------------------------------------------------------- bad messages

TEST_F(HostilePeer, UnknownTagsAndMissingValuesAreSurvived) {
  Watchdog dog("HostilePeer.UnknownTagsAndMissingValues", 30);
  start();
  // Unknown dialogue commands and an empty message are passed over.
  send(f().i(777));
  send(f());
  send(f().i(kIntMin).i(3));
  send(f().i(10).s("empty.map"));
  send(f().i(19));
  expect_hello();
  run_start();
  // Mid-run: unknown tags are reported and passed over; so are messages too
  // short to hold a tag, which must not read as the stop command 0. A grant
  // without its count is a request for the step report (nothing has run yet).
  send(f().i(4242).d(1.5));
  send(f().i(-1));
  send(f());
  const unsigned char half[2] = {0, 0};
  send(f().raw(half, 2));
  send(f().i(1));
  Reader report = frame();
  EXPECT_EQ(report.i(), 4);
  EXPECT_EQ(report.i(), 0);
  EXPECT_DOUBLE_EQ(report.d(), 0.0);
  EXPECT_TRUE(report.atEnd());
  send(f().i(1).i(100));
  whole_run_and_end(0);
  // The end-of-run answer without its value: no further run.
  send(f().i(22));
  goodby_and_minus_999();
  send(f().i(-999));
  expect_exit(0);
  EXPECT_EQ(last_line(out_), exit_line(0));
  EXPECT_TRUE(contains(out_, " Unimplemented message #        4242\n")) << out_;
  EXPECT_TRUE(contains(out_, " Unimplemented message #          -1\n")) << out_;
  EXPECT_TRUE(contains(out_, " Message without a tag passed over.\n Message without a tag passed over.\n")) << out_;
  EXPECT_FALSE(contains(out_, "Message without a tag passed over.\n Message without a tag passed over.\n Message"))
      << out_;
}

TEST_F(HostilePeer, TextsWithoutTheirNul) {
  Watchdog dog("HostilePeer.TextsWithoutTheirNul", 30);
  {
    // A map file name running to the end of the message, far longer than a
    // name field: refused, not cut into another name. The abort notice (10,
    // then 0 0 0) and the closing exchange follow.
    start();
    const std::string longName(200, 'x');
    send(f().i(10).raw(longName.data(), longName.size()));
    EXPECT_EQ(ints(1), (std::vector<std::int32_t>{10}));
    EXPECT_EQ(ints(3), (std::vector<std::int32_t>{0, 0, 0}));
    EXPECT_EQ(ints(1), (std::vector<std::int32_t>{-999}));
    send(f().i(-999));
    expect_exit(2);
    EXPECT_TRUE(contains(out_, " File name longer than 34 characters:" + longName + "\n")) << out_;
    EXPECT_TRUE(contains(out_, " ERROR: Abnormal termination of WAKRO by DIALOGV3    \n")) << out_;
    EXPECT_EQ(last_line(out_), exit_line(2000));
    EXPECT_TRUE(err_.empty()) << err_;  // the link itself stayed sound
    child_.reset();
  }
  {
    // A name that ends exactly where the message ends is whole: the run goes on.
    start();
    send(f().i(10).raw("empty.map", 9));
    send(f().i(19));
    expect_hello();
    run_start();
    send(f().i(1).i(100));
    whole_run_and_end(0);
    send(f().i(22).i(0));
    goodby_and_minus_999();
    send(f().i(-999));
    expect_exit(0);
    EXPECT_TRUE(contains(out_, "\n         Input file: empty.map")) << out_;
  }
}

TEST_F(HostilePeer, AbsurdRunCountsAndRunNumbers) {
  Watchdog dog("HostilePeer.AbsurdRunCountsAndRunNumbers", 30);
  // A run count beyond 10000 is refused, with the abort notice and the
  // closing exchange; the largest count allowed runs.
  start();
  send(f().i(16).i(kIntMax).s("absurd"));
  Reader refused = frame();
  for (std::int32_t v : {14, 0, 0, 2, 2}) EXPECT_EQ(refused.i(), v);  // an error of two lines
  EXPECT_EQ(refused.s(), "Too Many Multiple Runs! Only Up To 10000 Runs Allowed!");
  EXPECT_EQ(refused.s(), "Only Up To 10000 Runs Allowed!");
  EXPECT_EQ(ints(1), (std::vector<std::int32_t>{10}));
  EXPECT_EQ(ints(3), (std::vector<std::int32_t>{0, 0, 0}));
  EXPECT_EQ(ints(1), (std::vector<std::int32_t>{-999}));
  send(f().i(-999));
  expect_exit(2);
  child_.reset();

  start();
  send(f().i(16).i(10000).s("absurd"));  // a name of its own: the case's folder is shared with other tests
  dialogue_and_hello();
  run_start(10000, 1);
  send(f().i(1).i(kIntMax));
  whole_run_and_end(1);  // a further run follows
  // An absurd "more runs" value with multiple-run control off adds nothing.
  send(f().i(22).i(kIntMin));
  run_start(10000, 2);
  // A negative grant asks for the step report; then the peer goes away.
  send(f().i(1).i(kIntMin));
  Reader report = frame();
  EXPECT_EQ(report.i(), 4);
  EXPECT_EQ(report.i(), 0);
  peer_.closeClient();
  expect_broken_run(kClosed);
  EXPECT_TRUE(contains(out_, " WARNING: Quolb aborted WAKRO on run           2  of           2\n")) << out_;
}

// ---------------------------------------------------------------- snapshot orders

// A snapshot ordered among the start-up messages reaches the engine before the
// run's first step, when there is no step to write: it is refused with a
// warning to the design environment and no file is written. Ordered after
// step 0, it is written and records step 0.
TEST_F(HostilePeer, SnapshotOrderedBeforeTheFirstStepIsRefused) {
  Watchdog dog("HostilePeer.SnapshotOrderedBeforeTheFirstStep", 30);
  std::string templ = "/tmp/wakro_early_snap_XXXXXX";
  ASSERT_NE(::mkdtemp(templ.data()), nullptr);
  const std::filesystem::path dir = templ;
  std::filesystem::copy(std::string(kCaseDir) + "/empty.map", dir / "empty.map");
  start(true, dir.string());
  send(f().i(10).s("empty.map"));
  send(f().i(19));
  send(f().i(15));
  expect_hello();
  run_start();
  Reader warning = frame();
  EXPECT_EQ(warning.i(), 14);
  EXPECT_EQ(warning.i(), 0);
  EXPECT_EQ(warning.i(), 0);
  EXPECT_EQ(warning.i(), 1);  // a warning of one line
  EXPECT_EQ(warning.i(), 1);
  EXPECT_EQ(warning.s(), "WAKRO: Snapshot not written: the run has not taken its first step");
  EXPECT_TRUE(warning.atEnd());
  send(f().i(1).i(1));
  output_steps({0});
  EXPECT_FALSE(std::filesystem::exists(dir / "runtime.snp"));
  send(f().i(15));  // read at step 1, waiting for its grant
  send(f().i(1).i(100));
  whole_run_and_end(0, {5, 10, 15, 20});
  send(f().i(22).i(0));
  goodby_and_minus_999();
  send(f().i(-999));
  expect_exit(0);
  const std::string snap = wakro_test::read_file((dir / "runtime.snp").string());
  EXPECT_NE(snap.find("\n  SNAP_IIISNP    =            0\n"), std::string::npos) << snap;
  std::filesystem::remove_all(dir);
}

// ---------------------------------------------------------------- floods

TEST_F(HostilePeer, FloodOfGrantsRunsTheCaseOnce) {
  Watchdog dog("HostilePeer.FloodOfGrants", 30);
  start();
  dialogue_and_hello();
  run_start();
  // Twenty thousand grants in one burst, every other one of the largest count.
  std::vector<unsigned char> burst;
  for (int k = 0; k < 20000; ++k) {
    const auto bytes = f().i(1).i(k % 2 == 0 ? kIntMax : 1).bytes();
    burst.insert(burst.end(), bytes.begin(), bytes.end());
  }
  sendRaw(burst);
  whole_run_and_end(0);
  // Every step ran once: the counter stands past the last step, 20.
  send(f().i(1).i(0));
  Reader report = frame();
  EXPECT_EQ(report.i(), 4);
  EXPECT_EQ(report.i(), 21);
  EXPECT_DOUBLE_EQ(report.d(), 20 * 50e-6);
  send(f().i(22).i(0));
  goodby_and_minus_999();
  send(f().i(-999));
  expect_exit(0);
  EXPECT_EQ(last_line(out_), exit_line(0));
}

}  // namespace
}  // namespace app_test
