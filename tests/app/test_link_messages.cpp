// What the engine puts on the link to the design environment outside the case
// code: the closing -999 exchange, the pause request, the run-start messages of
// the run loop and the reading of the end-of-run answer. A scripted peer on the
// loopback host receives the frames; answers are queued in the socket before
// the engine waits for them, so no test depends on timing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/link_start.h"
#include "app/runloop.h"
#include "app/stoprun.h"
#include "app_fixture.h"
#include "diag/message.h"
#include "link/exchange_tcp.h"
#include "link/process.h"
#include "model/fatal.h"
#include "support/scripted_peer.h"

namespace app_test {
namespace {

using wakro_test::Reader;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

class LinkMessages : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    auto* link = new ExchangeTcp();
    ASSERT_TRUE(link->Connect("localhost", peer_.port()));
    ASSERT_TRUE(peer_.accept());
    ASSERT_TRUE(peer_.sendKey());
    exQuolb = link;
    quolbv3::guisoc = 1;
  }
  void TearDown() override {
    delete exQuolb;  // the link is the test's; the shared reset forgets it
    AppTest::TearDown();
  }
  std::optional<Reader> frame(int timeoutMs = 5000) { return peer_.recvFrame(timeoutMs); }
  void send(const wakro_test::Frame& f) { ASSERT_TRUE(peer_.sendFrame(f)); }

  ScriptedPeer peer_;
};

TEST_F(LinkMessages, ClosingExchangeSendsMinus999AsAMessageOfItsOwn) {
  Watchdog dog("LinkMessages.ClosingExchange", 30);
  // A two-line model message whose last line never came.
  wakro_message(3, 4, 1, 2, "first of two lines");
  // The design environment answers with other messages before its -999.
  send(peer_.frame().i(5).i(1));
  send(peer_.frame().i(-998));
  send(peer_.frame().i(-999));
  EXPECT_TRUE(endCommunication());

  auto open = frame();
  ASSERT_TRUE(open.has_value());
  EXPECT_EQ(open->i(), 14);
  EXPECT_EQ(open->i(), 3);
  EXPECT_EQ(open->i(), 4);
  EXPECT_EQ(open->i(), 1);
  EXPECT_EQ(open->i(), 2);
  EXPECT_EQ(open->s(), "first of two lines");
  EXPECT_TRUE(open->atEnd());
  auto close = frame();
  ASSERT_TRUE(close.has_value());
  EXPECT_EQ(close->i(), -999);
  EXPECT_TRUE(close->atEnd());
  EXPECT_FALSE(frame(200).has_value());
}

TEST_F(LinkMessages, PauseIsTheInteger18AloneAndNothingWithoutTheLink) {
  Watchdog dog("LinkMessages.Pause", 30);
  wakro_pause();
  auto pause = frame();
  ASSERT_TRUE(pause.has_value());
  EXPECT_EQ(pause->i(), 18);
  EXPECT_TRUE(pause->atEnd());

  quolbv3::guisoc = 0;
  wakro_pause();
  EXPECT_FALSE(frame(200).has_value());
  EXPECT_TRUE(out_.str().empty());
}

// The command handler of these runs: steps are granted during the run; at
// the end of the run it takes the next message and answers 2 for tag 22, so
// that the run loop reads the value behind the tag itself.
void grant_then_read_answer(std::int32_t& allowance, std::int32_t& answer) {
  answer = 0;
  if (ctrl::iii <= run_loop::lasttsn) {
    allowance = 1000;
    return;
  }
  if (!exQuolb->RecvMsg(true)) {
    answer = 1;
    return;
  }
  std::int32_t tag = 0;
  *exQuolb >> tag;
  answer = tag == 22 ? 2 : 1;
}

std::string own_host_name() {
  wakro::FixedText<16> host;
  getmyhostname(host.c, 16);
  return std::string(host.trimmed());
}

TEST_F(LinkMessages, RunStartMessagesAndTheEndOfRunAnswer) {
  Watchdog dog("LinkMessages.RunStart", 30);
  wakro::seams().getmsgv3 = &grant_then_read_answer;
  data_start(0.5, 2.0, 1.0);  // steps 0..4, two steps per output
  outppp::jplt = 3;
  ctrl::lumbra_wakroid = 7;
  ctrl::mrunctrl = 1;
  send(peer_.frame().i(22).i(1));  // one more run, please

  wakro_initcom();
  bool v5 = true, gui = true;
  std::int32_t abort = 9;
  wakro_runloop(v5, gui, abort);
  EXPECT_EQ(abort, 0);
  EXPECT_EQ(case_.dynSteps, (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(ctrl::nrun, 2);  // multiple-run control on: the answer 1 adds a run

  auto start = frame();
  ASSERT_TRUE(start.has_value());
  EXPECT_EQ(start->i(), 2);
  EXPECT_EQ(start->i(), 3);  // output channels
  EXPECT_EQ(start->i(), 2);  // output points: 4 steps / 2 steps per output
  EXPECT_EQ(start->i(), 1);  // runs (as at the start of the run)
  EXPECT_EQ(start->i(), 1);  // this run
  EXPECT_EQ(start->i(), 7);  // engine id
  EXPECT_EQ(start->s(), own_host_name());
  EXPECT_TRUE(start->atEnd());
  auto interval = frame();
  ASSERT_TRUE(interval.has_value());
  EXPECT_EQ(interval->i(), 20);
  EXPECT_DOUBLE_EQ(interval->d(), 1.0e6);  // 1 s in microseconds
  EXPECT_TRUE(interval->atEnd());
  EXPECT_FALSE(frame(200).has_value());

  // The same answer with multiple-run control off changes nothing.
  wakro::reset_pointer_records();
  case_.dynSteps.clear();
  ctrl::mrunctrl = 0;
  ctrl::nrun = 1;
  send(peer_.frame().i(22).i(1));
  wakro_initcom();
  wakro_runloop(v5, gui, abort);
  EXPECT_EQ(ctrl::nrun, 1);
  EXPECT_EQ(abort, 0);
}

TEST_F(LinkMessages, StopAnswerAtTheEndOfTheRunSetsTheAbortFlag) {
  Watchdog dog("LinkMessages.StopAnswer", 30);
  wakro::seams().getmsgv3 = &grant_then_read_answer;
  data_start(0.5, 1.0, 0.5);
  ctrl::nrun = 3;
  send(peer_.frame().i(0));  // the stop command
  wakro_initcom();
  bool v5 = true, gui = true;
  std::int32_t abort = 0;
  wakro_runloop(v5, gui, abort);
  EXPECT_EQ(abort, 1);
  // Past the last step the stop request moves nothing: the run count stays and
  // no warning is written; the abort flag alone ends the run set.
  EXPECT_EQ(ctrl::nrun, 3);
  auto start = frame();
  ASSERT_TRUE(start.has_value());
  EXPECT_EQ(start->i(), 2);
  auto interval = frame();
  ASSERT_TRUE(interval.has_value());
  EXPECT_EQ(interval->i(), 20);
  EXPECT_FALSE(frame(200).has_value());  // no warning message followed
}

}  // namespace
}  // namespace app_test
