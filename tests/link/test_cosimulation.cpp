// Co-simulation channels with a second process over the communication
// library: byte-exact big-endian messages, values looked up by time from the
// queue, messages for unknown channels dropped, and the texts that end the
// process on misuse or when the peer has gone.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/communication.h"
#include "link/cosimulation.h"
#include "link/link_failure.h"
#include "link/process.h"
#include "link/servers.h"
#include "support/scripted_peer.h"
#include "support/shared_state.h"

namespace {

using Cosimulation::Channel;
using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

template <typename Fn>
std::string failure_of(Fn fn) {
  try {
    fn();
  } catch (const LinkFatal& e) {
    return e.what();
  }
  return "";
}

std::vector<unsigned char> sent_bytes(std::size_t n) {
  const char* b = Channel::cBuffer.getBuffer(n);
  return std::vector<unsigned char>(b, b + n);
}

class Cosim : public testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override {
    if (Communication::Loaded()) Communication::Finalize(0, nullptr);
    closeprocess(1);
    wakro_test::reset_shared_state();
  }
  ScriptedPeer peer_;
};

TEST_F(Cosim, ShortMessagesAreIgnoredAndCountsAndIndexesChecked) {
  Channel c(1, 5, 2, 1);
  std::vector<char> m(8 * 2 + 12, 0);
  Channel::setValue(Channel::setValue(m.data(), 5u), 0.25);
  c.parse(m.data(), static_cast<int>(m.size()) - 1);
  EXPECT_EQ(c.queued(), 0);
  c.parse(m.data(), static_cast<int>(m.size()));
  EXPECT_EQ(c.queued(), 1);
  EXPECT_EQ(c.freed(), 0);
  EXPECT_EQ(c.getValue(0.25, 1), 0.0);
  EXPECT_EQ(failure_of([&] { c.setValue(1.0, 1); }), "Index out of bounds");
  EXPECT_EQ(failure_of([&] { c.setValue(1.0, -1); }), "Index out of bounds");
  EXPECT_EQ(failure_of([&] { c.getValue(0.0, 2); }), "Index out of bounds");
  EXPECT_EQ(failure_of([] { exnewchco(1, 3, -1, 1); }), "Channel counts must not be negative");
  EXPECT_EQ(Cosimulation::cChannelManager.find(3), nullptr);
}

TEST_F(Cosim, ValuesByTimeBothWaysWithAPeerProcess) {
  Watchdog dog("Cosim.ValuesByTime", 30);
  ASSERT_TRUE(Communication::Load(WAKRO_COMM_LIBRARY));
  std::vector<std::string> texts = {"engine", "/HOST", "127.0.0.1", "/PORT", std::to_string(peer_.port())};
  std::vector<char*> argv;
  for (std::string& t : texts) argv.push_back(t.data());
  ASSERT_EQ(Communication::Initialize(static_cast<int>(argv.size()), argv.data()), 0);
  exnewchco(1, 1, 1, 1);
  Channel* channel = Cosimulation::cChannelManager.find(1);
  ASSERT_NE(channel, nullptr);
  SEx.push_back(SExRecord{1, nullptr, 0});
  const std::string command = std::string("engine_peer cosim ") + WAKRO_COMM_LIBRARY + " " +
                              std::to_string(peer_.port()) + " 1";
  ASSERT_TRUE(spawnprocess(WAKRO_ENGINE_PEER, command.c_str(), 1));

  // 1. The peer sent 0.1, 0.2 and 0.4 (after a message for channel 7): asking
  //    for 0.3 gives the 0.4 value and recycles the two older messages.
  double v = 0.0;
  exgetdco(1, 0.3, 0, v);
  EXPECT_EQ(v, 40.0);
  EXPECT_EQ(channel->queued(), 1);
  exgetdco(1, 0.15, 0, v);
  EXPECT_EQ(v, 40.0);
  // 2. Our message at 0.5, byte by byte; the next one without a value carries 0.
  exputdco(1, 0, 2.5);
  exsendco(1, 0.5);
  EXPECT_EQ(sent_bytes(20), (std::vector<unsigned char>{0, 0, 0, 1, 0x3F, 0xE0, 0, 0, 0, 0, 0, 0,  //
                                                        0x40, 0x04, 0, 0, 0, 0, 0, 0}));
  exsendco(1, 0.6);
  EXPECT_EQ(sent_bytes(20), (std::vector<unsigned char>{0, 0, 0, 1, 0x3F, 0xE3, 0x33, 0x33, 0x33, 0x33, 0x33,
                                                        0x33, 0, 0, 0, 0, 0, 0, 0, 0}));
  // 3. Asking for 0.5 drops the 0.4 message and waits for the peer's echo.
  exgetdco(1, 0.5, 0, v);
  EXPECT_EQ(v, 2.5);
  EXPECT_EQ(channel->queued(), 1);
  EXPECT_EQ(channel->freed(), 0);  // the dropped 0.4 message now holds the echo
  // 4. The peer has ended: a later time finds no more data.
  closeprocess(1);
  EXPECT_EQ(failure_of([&] { exgetdco(1, 1.0, 0, v); }), "No data received");
  EXPECT_EQ(failure_of([&] { exgetdco(1, 1.0, 1, v); }), "Index out of bounds");
}

}  // namespace
