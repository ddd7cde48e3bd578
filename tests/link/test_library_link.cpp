// The communication library: loading (all eleven entry points or nothing), its
// start with the design environment, and the link through its server calls,
// which carries bare messages (no key block, no length prefix).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/communication.h"
#include "link/exchange_lumbra.h"
#include "link/stop_signal.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_COMM_LIBRARY
#error "WAKRO_COMM_LIBRARY must name the built communication library"
#endif

namespace {

using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

std::vector<std::string> start_texts(int port) {
  return {"engine", "/API", "TCP", "/HOST", "localhost", "/PORT", std::to_string(port), "/ID", "7"};
}

int initialize(std::vector<std::string> texts) {
  std::vector<char*> argv;
  for (std::string& t : texts) argv.push_back(t.data());
  return Communication::Initialize(static_cast<int>(argv.size()), argv.data());
}

class LibraryLink : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Communication::Load(WAKRO_COMM_LIBRARY)); }
  void TearDown() override {
    if (Communication::Loaded()) Communication::Finalize(0, nullptr);
    unsetenv("WAKRO_COMM_INITIALIZE_RESULT");
  }
  // Starts the library with the peer and takes its first frame, the texts.
  void start() {
    ASSERT_EQ(initialize(start_texts(peer_.port())), 0);
    ASSERT_TRUE(peer_.accept());
    auto hello = peer_.recvFrame();
    ASSERT_TRUE(hello.has_value());
    for (const std::string& t : start_texts(peer_.port())) EXPECT_EQ(hello->s(), t);
    EXPECT_TRUE(hello->atEnd());
  }
  ScriptedPeer peer_;
};

TEST(LibraryLoad, AllElevenEntryPointsOrNothing) {
  EXPECT_FALSE(Communication::Load(WAKRO_COMM_PARTIAL_LIBRARY));
  EXPECT_FALSE(Communication::Loaded());
  try {
    Communication::send_client(0, nullptr, 0, 0);
    ADD_FAILURE() << "a forwarder ran without its library";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "DLL Not Loaded");
  }
  EXPECT_TRUE(Communication::Load(WAKRO_COMM_LIBRARY));
  EXPECT_TRUE(Communication::Loaded());
  EXPECT_FALSE(Communication::Load("/nonexistent/libcomm.so"));
  EXPECT_THROW(Communication::peek_other(0, nullptr, 0, 1), std::runtime_error);
}

TEST_F(LibraryLink, StartResults) {
  // No valid port among the texts: 2; a port nobody listens on: 1.
  EXPECT_EQ(initialize({"engine", "/HOST", "localhost", "/PORT", "x"}), 2);
  ScriptedPeer closed;
  const int unused = closed.port();
  closed.closeListener();
  EXPECT_EQ(initialize(start_texts(unused)), 1);
  // A forced answer replaces the result of a start that connected.
  setenv("WAKRO_COMM_INITIALIZE_RESULT", "3", 1);
  EXPECT_EQ(initialize(start_texts(peer_.port())), 3);
}

TEST_F(LibraryLink, BareMessagesBothWays) {
  Watchdog dog("LibraryLink.BareMessagesBothWays", 30);
  start();
  ExchangeLumbraServer link(0);
  // 1. The start banner: 20 bytes, just the values.
  link << std::int32_t{5} << std::int32_t{1} << std::int32_t{2} << 5.0;
  link.SendMsg();
  auto banner = peer_.recvFrame();
  ASSERT_TRUE(banner.has_value());
  std::vector<unsigned char> expected = {5, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
  const double five = 5.0;
  expected.insert(expected.end(), reinterpret_cast<const unsigned char*>(&five),
                  reinterpret_cast<const unsigned char*>(&five) + 8);
  EXPECT_EQ(banner->body(), expected);
  // 2. An empty message is skipped; the next is read from its first byte.
  EXPECT_FALSE(link.RecvMsg(false));
  ASSERT_TRUE(peer_.sendFrame(peer_.frame()));
  ASSERT_TRUE(peer_.sendFrame(peer_.frame().i(7).d(2.5).s("abc")));
  ASSERT_TRUE(link.RecvMsg(true));
  std::int32_t id = 0;
  double x = 0.0;
  std::string text;
  link >> id >> x >> text;
  EXPECT_EQ(id, 7);
  EXPECT_EQ(x, 2.5);
  EXPECT_EQ(text, "abc");
  EXPECT_FALSE(link.RecvBuffer().overrun);
  EXPECT_FALSE(link.isDataWaiting());
  // 3. The peer goes: the waiting receive ends with the closure.
  peer_.closeClient();
  testing::internal::CaptureStderr();
  EXPECT_TRUE(link.isDataWaiting());  // the closure is there to be received
  EXPECT_FALSE(link.RecvMsg(true));
  EXPECT_TRUE(link.Broken());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Exchange Error: Unexpected closure of transport mechanism."), std::string::npos);
}

// During the start-up dialogue a stop signal ends a wait for the design
// environment on the library link too, also with a message waiting; a look
// without waiting passes over no more than one empty message. The link stays
// whole and the message is read later.
TEST_F(LibraryLink, AStopSignalEndsTheDialoguesWait) {
  Watchdog dog("LibraryLink.AStopSignalEndsTheWait", 30);
  start();
  ExchangeLumbraServer link(0);
  const std::vector<unsigned char> empty = peer_.frame().bytes();  // two empty messages, then one
  std::vector<unsigned char> three = empty;
  three.insert(three.end(), empty.begin(), empty.end());
  for (unsigned char b : peer_.frame().i(7).bytes()) three.push_back(b);
  ASSERT_TRUE(peer_.sendRaw(three));
  ASSERT_TRUE(wakro_test::waitUntil([&] { return link.isDataWaiting(); }, 5000));
  wakro::g_waits_end_on_stop = 1;
  wakro::g_received_stop_signal = SIGTERM;
  EXPECT_FALSE(link.RecvMsg(true));
  wakro::g_waits_end_on_stop = 0;
  EXPECT_FALSE(link.RecvMsg(false));
  wakro::g_received_stop_signal = 0;
  EXPECT_FALSE(link.Broken());
  ASSERT_TRUE(link.RecvMsg(true));
  std::int32_t id = 0;
  link >> id;
  EXPECT_EQ(id, 7);
  // A send made once a stop signal has come (no signal interrupts it) that the
  // peer leaves untaken, reading nothing, is given up within about a second:
  // 128 KiB messages until the socket is full (it holds a few MiB at most).
  wakro::g_received_stop_signal = SIGTERM;
  testing::internal::CaptureStderr();
  const auto began = std::chrono::steady_clock::now();
  for (int k = 0; k < 512 && !link.Broken(); ++k) {
    for (int v = 0; v < 16384; ++v) link << 1.0;
    link.SendMsg();
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
  wakro::g_received_stop_signal = 0;
  EXPECT_TRUE(link.Broken());
  EXPECT_LT(took.count(), 5.0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Exchange Error: The peer took nothing more after the stop "
                                                        "signal."),
            std::string::npos);
}

}  // namespace
