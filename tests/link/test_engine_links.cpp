// Engine-to-engine links between two processes: a TCP server link on a port
// the system chooses, with a second engine spawned for it that connects back;
// library channel sets that travel whole once per round; and their failures
// (a peer that goes or stays silent, an unknown or duplicate channel id).
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/client_exchange.h"
#include "link/communication.h"
#include "link/engine_links.h"
#include "link/link_failure.h"
#include "link/process.h"
#include "link/servers.h"
#include "support/scripted_peer.h"
#include "support/shared_state.h"

namespace {

using wakro_test::ScriptedPeer;
using wakro_test::waitUntil;
using wakro_test::Watchdog;

constexpr std::int32_t kTcp = kServerTcpType;
constexpr std::int32_t kLibrary = 0;

std::string failure_of(void (*fn)()) {
  try {
    fn();
  } catch (const LinkFatal& e) {
    return e.what();
  }
  return "";
}

class EngineLinks : public testing::Test {
 protected:
  void SetUp() override { wakro_test::reset_shared_state(); }
  void TearDown() override {
    // Our ends close first, so that every spawned peer sees the closure and ends.
    const std::vector<SExRecord> records = SEx;
    release_engine_links();
    for (const SExRecord& r : records) SEx.push_back(SExRecord{r.id, nullptr, r.pid});
    for (const SExRecord& r : records) closeprocess(r.id);
    if (Communication::Loaded()) Communication::Finalize(0, nullptr);
    wakro::peer_wait_ms = 600000;
    wakro_test::reset_shared_state();
  }
  // A TCP server link on a chosen port with a second engine connected to it.
  std::int32_t serve_tcp_peer() {
    std::int32_t port = 0;
    EXPECT_TRUE(wakroserver(port, 0, kTcp, "", 0));
    EXPECT_GT(port, 0);
    EXPECT_EQ(SEx.size(), 1u);
    EXPECT_EQ(SEx.front().id, port);
    serverlisten(1, port, 0, kTcp);
    const std::string command = "engine_peer tcp-client " + std::to_string(port);
    EXPECT_TRUE(spawnprocess(WAKRO_ENGINE_PEER, command.c_str(), port));
    EXPECT_TRUE(waitUntil([&] { return serveraccept(port, 0, kTcp); }, 10000));
    return port;
  }
  // Starts the library with the design environment played by peer_.
  void start_library() {
    ASSERT_TRUE(Communication::Load(WAKRO_COMM_LIBRARY));
    std::vector<std::string> texts = {"engine", "/HOST", "127.0.0.1", "/PORT", std::to_string(peer_.port())};
    std::vector<char*> argv;
    for (std::string& t : texts) argv.push_back(t.data());
    ASSERT_EQ(Communication::Initialize(static_cast<int>(argv.size()), argv.data()), 0);
    wakro::bLumbra = true;
  }
  // The library link with server channels 10 and 11 on it.
  void start_library_channels() {
    start_library();
    for (std::int32_t id : {10, 11}) {
      std::int32_t port = id;
      ASSERT_TRUE(wakroserver(port, 1, kLibrary, "", 0));
    }
  }
  void spawn_library_peer(const std::string& mode, const std::string& words) {
    const std::string command = "engine_peer " + mode + " " + WAKRO_COMM_LIBRARY + " " +
                                std::to_string(peer_.port()) + " 1 " + words;
    // The record only carries the spawned process (id 1 is no port of ours).
    SEx.push_back(SExRecord{1, nullptr, 0});
    ASSERT_TRUE(spawnprocess(WAKRO_ENGINE_PEER, command.c_str(), 1));
  }
  ScriptedPeer peer_;
};

TEST_F(EngineLinks, TcpServerAndSpawnedClientExchangeValues) {
  Watchdog dog("EngineLinks.TcpServerAndSpawnedClient", 30);
  const std::int32_t port = serve_tcp_peer();
  for (std::int32_t tag : {71, 73}) {
    exputi1s(0, tag, port, kTcp);
    exputr1s(0, 1.5 * tag, port, kTcp);
    exputs1s(0, "abc", port, kTcp);
    exsend1s(0, port, kTcp);
    ASSERT_TRUE(exrecv1s(0, true, port, kTcp));
    std::int32_t answer = 0;
    double x = 0.0;
    char field[6];
    exgeti1s(0, answer, port, kTcp);
    exgetr1s(0, x, port, kTcp);
    exgets1s(0, 5, field, port, kTcp);
    EXPECT_EQ(answer, tag + 1);
    EXPECT_EQ(x, 3.0 * tag);
    EXPECT_EQ(std::string(field, 5), "abc  ");
  }
  // The peer ends on a negative tag: the next receive finds the link closed.
  exputi1s(0, -1, port, kTcp);
  exsend1s(0, port, kTcp);
  closeprocess(port);
  EXPECT_EQ(SEx.front().pid, 0);
  try {
    exrecv1s(0, true, port, kTcp);
    ADD_FAILURE() << "a closed link delivered";
  } catch (const LinkFatal& e) {
    EXPECT_EQ(std::string(e.what()), "The engine-to-engine link " + std::to_string(port) + " is closed.");
  }
}

TEST_F(EngineLinks, SilentPeerEndsTheWaitAndNoServerRefusesTheClient) {
  Watchdog dog("EngineLinks.SilentPeer", 30);
  wakro::peer_wait_ms = 300;
  const std::int32_t port = serve_tcp_peer();
  // The peer waits for our message: our waiting receive ends at the limit.
  testing::internal::CaptureStderr();
  EXPECT_THROW(exrecv1s(0, true, port, kTcp), LinkFatal);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Timed out waiting for the peer."), std::string::npos);
  // A client to a port nobody serves.
  ScriptedPeer gone;
  const std::int32_t closed = gone.port();
  gone.closeListener();
  testing::internal::CaptureStdout();
  EXPECT_FALSE(wakroclient("127.0.0.1", closed, 0, kClientTcpType));
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(CEx.empty());
}

TEST_F(EngineLinks, WaitingForASpawnedProcessIsBounded) {
  Watchdog dog("EngineLinks.WaitingForASpawnedProcess", 30);
  wakro::peer_wait_ms = 100;
  SEx.push_back(SExRecord{4, nullptr, 0});
  ASSERT_TRUE(spawnprocess(nullptr, "sleep 60", 4));
  const pid_t pid = SEx.front().pid;
  testing::internal::CaptureStdout();
  closeprocess(4);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Process " + std::to_string(pid) + " did not end in time.\n");
  EXPECT_EQ(SEx.front().pid, pid);  // kept: a later call waits again
  kill(pid, SIGKILL);
  closeprocess(4);
  EXPECT_EQ(SEx.front().pid, 0);
}

TEST_F(EngineLinks, ChannelBuffersStartWithTheirIdAndDuplicatesAreRefused) {
  wakro::bLumbra = true;
  std::int32_t ten = 10;
  std::int32_t ten_again = 10;
  EXPECT_TRUE(wakroserver(ten, 1, kLibrary, "", 0));
  EXPECT_TRUE(SEx.empty());  // a library channel, no TCP record
  testing::internal::CaptureStderr();
  EXPECT_FALSE(wakroserver(ten_again, 1, kLibrary, "", 0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Channel id 10 is already in use.\n");
  EXPECT_EQ(ten_again, -1);
  EXPECT_EQ(lumbraENISEx.Count(), 1);
  const Exchange::Buffer* b = lumbraENISEx.Find(10)->send;
  exputi1s(0, 5, 10, kLibrary);
  EXPECT_EQ(b->position, 8);
  // Type 3 is TCP whatever the library: no record, nothing written.
  exputi1s(0, 6, 10, kTcp);
  EXPECT_EQ(b->position, 8);
  EXPECT_EQ(std::vector<unsigned char>(b->data.begin(), b->data.begin() + 8),
            (std::vector<unsigned char>{10, 0, 0, 0, 5, 0, 0, 0}));
}

TEST_F(EngineLinks, LibraryChannelSetsTravelWholeEachRound) {
  Watchdog dog("EngineLinks.LibraryChannelSets", 30);
  ASSERT_NO_FATAL_FAILURE(start_library_channels());
  spawn_library_peer("lib-client", "10 11");
  for (std::int32_t round = 1; round <= 2; ++round) {
    exputi1s(0, 70 + round, 10, kLibrary);
    exputr1s(0, 1.5 * round, 10, kLibrary);
    exputi1s(0, 80 + round, 11, kLibrary);
    exputr1s(0, 2.5 * round, 11, kLibrary);
    exsendlumbras();
    EXPECT_EQ(lumbraENISEx.Find(10)->send->position, 4);  // just the id again
    exrecvlumbras();
    for (std::int32_t id : {10, 11}) {
      ASSERT_TRUE(exrecv1s(0, true, id, kLibrary));
      std::int32_t tag = 0;
      double x = 0.0;
      exgeti1s(0, tag, id, kLibrary);
      exgetr1s(0, x, id, kLibrary);
      EXPECT_EQ(tag, (id == 10 ? 71 : 81) + round) << "round " << round;
      EXPECT_EQ(x, (id == 10 ? 3.0 : 5.0) * round);
    }
  }
  exputi1s(0, -1, 10, kLibrary);
  exputi1s(0, -1, 11, kLibrary);
  exsendlumbras();
}

TEST_F(EngineLinks, EarlyMessagesWaitForTheirRoundAndUnknownIdsStop) {
  Watchdog dog("EngineLinks.EarlyMessages", 30);
  ASSERT_NO_FATAL_FAILURE(start_library_channels());
  // Channel 10 gets two messages before channel 11 gets its first.
  spawn_library_peer("lib-send", "10:1 10:2 11:3 12:4");
  auto value = [](std::int32_t id) {
    double x = 0.0;
    exgetr1s(0, x, id, kLibrary);
    return x;
  };
  exrecvlumbras();
  EXPECT_EQ(value(10), 1.0);
  EXPECT_EQ(value(11), 3.0);
  // Round two: channel 10's second message, then a message for no channel.
  EXPECT_EQ(failure_of([] { exrecvlumbras(); }), "Channel not found");
  EXPECT_EQ(value(10), 2.0);
  double unchanged = -7.0;
  exgetr1s(0, unchanged, 11, kLibrary);
  EXPECT_EQ(unchanged, -7.0);
  // The peer has gone: a further round ends with the closure.
  closeprocess(1);
  EXPECT_EQ(failure_of([] { exrecvlumbras(); }), "Unexpected closure of transport mechanism.");
}

}  // namespace
