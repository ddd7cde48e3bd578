// The control-panel case driven by the scripted design environment: steps are
// paced by grants; watched values are acknowledged and stream on every output
// step (every step of this case); a slider and a push button reach the case
// on the next step, the button for that step only; an invalid slider address
// ends the run; the end of the run is answered and the link closed.
//
// The peer reads everything the engine sends before it sends the next command
// that depends on the engine's state, so no outcome depends on timing.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "app_fixture.h"
#include "peer_fixture.h"

#ifndef WAKRO_PANEL_EXE
#error "WAKRO_PANEL_EXE must name the built control-panel case"
#endif

namespace app_test {
namespace {

using wakro_test::Frame;
using wakro_test::Reader;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_PANEL_EXE;
const std::string kCaseDir = WAKRO_PANEL_CASE_DIR;
constexpr double kDelt = 50e-6;

// Address codes of the two output channels (kind 6, indexes 1 and 2).
constexpr std::int32_t kChannelKind = 6 << 24;
constexpr std::int32_t kSlider = kChannelKind | 1;
constexpr std::int32_t kButton = kChannelKind | 2;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PanelLink : public PeerRun {
 protected:
  void start() {
    launch({kExe, "-v5", "-locale", "C", "-port", std::to_string(peer_.port())}, kCaseDir);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(peer_.sendKey());
  }
  // The dialogue naming the panel case, hello's three catalogue messages, the
  // run start (2 channels, 20 output points) and the output interval.
  void dialogue_and_run_start() {
    send(f().i(10).s("panel.map"));
    send(f().i(19));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(frame().i(), 5);
    Reader begin = frame();
    EXPECT_EQ(begin.i(), 2);
    EXPECT_EQ(begin.i(), 2);  // output channels
    EXPECT_EQ(begin.i(), 20);
    Reader names = frame();  // record 19: no ENI lines
    EXPECT_EQ(names.i(), 19);
    EXPECT_EQ(names.i(), 0);
    EXPECT_EQ(names.i(), 0);
    EXPECT_TRUE(names.atEnd());
    Reader interval = frame();
    EXPECT_EQ(interval.i(), 20);
    EXPECT_DOUBLE_EQ(interval.d(), 50.0);
  }
  // The step report answering a grant of no steps: the step the engine waits at.
  void expect_waiting_at(std::int32_t step) {
    send(f().i(1).i(0));
    Reader r = frame();
    EXPECT_EQ(r.i(), 4);
    EXPECT_EQ(r.i(), step);
    EXPECT_DOUBLE_EQ(r.d(), step == 0 ? 0.0 : (step - 1) * kDelt);
    EXPECT_TRUE(r.atEnd());
  }
  // One step's reports: the step, its progress (5 % a step: 20 steps), and the
  // two watched channels, which hold what the case saw in that step.
  void expect_step(std::int32_t step, double slider, double button) {
    Reader r = frame();
    EXPECT_EQ(r.i(), 4);
    EXPECT_EQ(r.i(), step);
    EXPECT_DOUBLE_EQ(r.d(), step * kDelt);
    Reader progress = frame();
    EXPECT_EQ(progress.i(), 3);
    EXPECT_EQ(progress.i(), 5 * step);
    EXPECT_TRUE(progress.atEnd());
    Reader watched = frame();
    EXPECT_EQ(watched.i(), 1);
    EXPECT_DOUBLE_EQ(watched.d(), slider) << "step " << step;
    EXPECT_DOUBLE_EQ(watched.d(), button) << "step " << step;
    EXPECT_TRUE(watched.atEnd());
  }
  void expect_ack(std::int32_t id, std::int32_t value) {
    Reader r = frame();
    EXPECT_EQ(r.i(), id);
    EXPECT_EQ(r.i(), value);
    EXPECT_TRUE(r.atEnd());
  }
  void expect_exit(int code) {
    ASSERT_TRUE(child_->wait(15000)) << "the engine did not end in time";
    out_ = child_->out();
    err_ = child_->err();
    EXPECT_EQ(child_->exitCode(), code) << "stdout:\n" << out_ << "stderr:\n" << err_;
  }

  std::string out_;
  std::string err_;
};

TEST_F(PanelLink, GrantsWatchedValuesSliderButtonAndTheEndOfTheRun) {
  Watchdog dog("PanelLink.GrantsWatchedValuesSliderButton", 60);
  start();
  dialogue_and_run_start();

  // No step is granted yet: a grant of 0 is answered at step 0, none ran.
  expect_waiting_at(0);
  // Watch both channels; unwatch a code never watched: still answered.
  send(f().i(2).i(kSlider));
  send(f().i(2).i(kButton));
  send(f().i(3).i(kChannelKind | 7));
  expect_ack(7, kSlider);
  expect_ack(7, kButton);
  expect_ack(8, kChannelKind | 7);
  // The slider is acknowledged at once; the button is pressed twice.
  send(f().i(4).i(1).d(2.5));
  expect_ack(9, 1);
  send(f().i(7).i(2).d(9.0));
  send(f().i(7).i(2).d(4.0));

  // One step: the case sees the slider and the last press.
  send(f().i(1).i(1));
  expect_step(0, 2.5, 4.0);
  // Five steps run, and the engine then waits at step 6; the button has
  // returned to its value before both presses.
  send(f().i(1).i(5));
  for (std::int32_t s = 1; s <= 5; ++s) expect_step(s, 2.5, 0.0);
  expect_waiting_at(6);

  // The rest of the run, then its end: the watched values once more and the
  // end-of-run message (no further run).
  send(f().i(1).i(1000));
  for (std::int32_t s = 6; s <= 20; ++s) expect_step(s, 2.5, 0.0);
  Reader last = frame();
  EXPECT_EQ(last.i(), 1);
  EXPECT_DOUBLE_EQ(last.d(), 2.5);
  EXPECT_DOUBLE_EQ(last.d(), 0.0);
  Reader end = frame();
  EXPECT_EQ(end.i(), 0);
  EXPECT_EQ(end.i(), 0);
  EXPECT_EQ(end.i(), 0);
  EXPECT_TRUE(end.atEnd());

  // The answer, the end report and the closing exchange.
  send(f().i(22).i(0));
  for (int code : {85, 87, 86}) {
    Reader r = frame();
    EXPECT_EQ(r.i(), 5);
    EXPECT_EQ(r.i(), 5);
    EXPECT_EQ(r.i(), code);
  }
  Reader close = frame();
  EXPECT_EQ(close.i(), -999);
  EXPECT_TRUE(close.atEnd());
  send(f().i(-999));
  expect_exit(0);
  EXPECT_TRUE(contains(out_, "exiting.  Status code = 0\n")) << out_;
}

TEST_F(PanelLink, InvalidSliderAddressEndsTheRunWithStatus2000) {
  Watchdog dog("PanelLink.InvalidSliderAddress", 60);
  start();
  dialogue_and_run_start();
  send(f().i(4).i(3).d(1.0));  // the case has two control values
  Reader message = frame();
  EXPECT_EQ(message.i(), 14);
  EXPECT_EQ(message.i(), 0);
  EXPECT_EQ(message.i(), 0);
  EXPECT_EQ(message.i(), 2);
  EXPECT_EQ(message.i(), 1);
  EXPECT_EQ(message.s(), "Invalid address of Slider/Switch/Dial");
  EXPECT_TRUE(message.atEnd());
  // The termination: 10, then 0 0 0, then the closing exchange.
  Reader abort = frame();
  EXPECT_EQ(abort.i(), 10);
  EXPECT_TRUE(abort.atEnd());
  Reader notice = frame();
  EXPECT_EQ(notice.i(), 0);
  EXPECT_EQ(notice.i(), 0);
  EXPECT_EQ(notice.i(), 0);
  Reader close = frame();
  EXPECT_EQ(close.i(), -999);
  send(f().i(-999));
  expect_exit(2);
  EXPECT_TRUE(contains(out_, " ERROR: Abnormal termination of WAKRO by SET_VAR     \n")) << out_;
  EXPECT_TRUE(contains(out_, "exiting.  Status code = 2000\n")) << out_;
}

// The snapshot holds only its header: the start-up check passes it, the reader
// then stops at the missing state.
TEST_F(PanelLink, SnapshotStartSendsItsTimeThenStopsAtASnapshotWithoutState) {
  Watchdog dog("PanelLink.SnapshotStart", 60);
  const std::string snap = "/tmp/wkpanel" + std::to_string(::getpid()) + ".snp";
  std::ofstream(snap) << "! WAKRO SNAP-SHOT - Version, Time, Delt\n 5.0 0.125 5.0E-5\n";
  start();
  send(f().i(11).s(snap).i(1).d(0.5));
  send(f().i(19));
  Reader time = frame();
  EXPECT_EQ(time.i(), 17);
  EXPECT_DOUBLE_EQ(time.d(), 0.125);
  EXPECT_TRUE(time.atEnd());
  // The banner, then the stop before any run: the abort notice and the
  // closing exchange.
  for (int k = 0; k < 3; ++k) EXPECT_EQ(frame().i(), 5);
  EXPECT_EQ(frame().i(), 10);
  Reader notice = frame();
  EXPECT_EQ(notice.i(), 0);
  EXPECT_EQ(frame().i(), -999);
  send(f().i(-999));
  expect_exit(2);
  ::unlink(snap.c_str());
  EXPECT_TRUE(contains(out_, " ERROR: Abnormal termination of WAKRO by RDCMNT      \n")) << out_;
  EXPECT_TRUE(contains(out_, "exiting.  Status code = 2000\n")) << out_;
}

}  // namespace
}  // namespace app_test
