// The TCP link against the scripted peer: handshake in both byte orders,
// framing bytes, fragmented and hostile input, closure, and the accepting
// side of a link.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/resource.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/exchange_tcp.h"
#include "link/stop_signal.h"
#include "support/scripted_peer.h"

namespace {

using Bytes = std::vector<unsigned char>;
using wakro_test::Frame;
using wakro_test::ScriptedPeer;
using wakro_test::waitUntil;
using wakro_test::Watchdog;

// Connects an engine link to the peer and lets the peer send its key.
void connectPair(ScriptedPeer& peer, ExchangeTcp& link, bool swapped) {
  ASSERT_TRUE(peer.listening());
  ASSERT_TRUE(link.Connect("127.0.0.1", peer.port()));
  ASSERT_TRUE(peer.accept());
  ASSERT_TRUE(peer.sendKey(swapped));
}

TEST(ExchangeTcp, SentFrameBytesAreExact) {
  Watchdog dog("SentFrameBytesAreExact", 20);
  ScriptedPeer peer;
  ExchangeTcp link;
  connectPair(peer, link, false);
  link << std::int32_t{3} << 0.5 << "hi";
  link.SendMsg();
  const auto bytes = peer.recvExact(19);
  ASSERT_TRUE(bytes);
  const Bytes expect = {0x13, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F, 'h', 'i', 0};
  EXPECT_EQ(*bytes, expect);
  // The next message starts again after the prefix.
  EXPECT_EQ(link.SendBuffer().position, 4);
  link << std::int32_t{-999};
  link.SendMsg();
  const auto next = peer.recvFrame();
  ASSERT_TRUE(next);
  EXPECT_EQ(next->body().size(), 4u);
  EXPECT_EQ(wakro_test::Reader(next->body(), false).i(), -999);
}

TEST(ExchangeTcp, KeyAndValuesInBothByteOrders) {
  Watchdog dog("KeyAndValuesInBothByteOrders", 20);
  for (const bool swapped : {false, true}) {
    ScriptedPeer peer;
    ExchangeTcp link;
    connectPair(peer, link, swapped);
    ASSERT_TRUE(peer.sendFrame(peer.frame().i(7).d(2.5).s("abc").i(-2)));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(link.RecvMsg(true));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(link.Swapped(), swapped);
    std::int32_t a = 0, b = 0;
    double d = 0;
    std::string s;
    link >> a >> d >> s >> b;
    EXPECT_EQ(a, 7);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(b, -2);
    // The reply: length prefix and number both in the peer's order.
    link << std::int32_t{9};
    link.SendMsg();
    const auto bytes = peer.recvExact(8);
    ASSERT_TRUE(bytes);
    const Bytes expect = swapped ? Bytes{0, 0, 0, 8, 0, 0, 0, 9} : Bytes{8, 0, 0, 0, 9, 0, 0, 0};
    EXPECT_EQ(*bytes, expect);
  }
}

TEST(ExchangeTcp, ConnectsByLoopbackNameInAnyCase) {
  Watchdog dog("ConnectsByLoopbackNameInAnyCase", 20);
  for (const char* name : {"localhost", "LOCALHOST", "LocalHost"}) {
    ScriptedPeer peer;
    ExchangeTcp link;
    ASSERT_TRUE(link.Connect(name, peer.port())) << name;
    ASSERT_TRUE(peer.accept());
  }
}

TEST(ExchangeTcp, ConnectFailuresAreReported) {
  Watchdog dog("ConnectFailuresAreReported", 20);
  ExchangeTcp link;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(link.Connect("somehost", 4000));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange::Connect: Cannot resolve address 'somehost'\n");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(link.Connect(nullptr, 4000));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange::Connect: Cannot resolve address ''\n");

  int closedPort = 0;
  {
    ScriptedPeer gone;
    closedPort = gone.port();
  }
  testing::internal::CaptureStdout();
  EXPECT_FALSE(link.Connect("127.0.0.1", closedPort));
  const int connectErrno = errno;
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string code = std::to_string(ECONNREFUSED);
  EXPECT_EQ(out, "connect function failed with error: " + code + "\nExchange::Connect:Connection Refused: " +
                     code + "\n");
  // The caller can still name the system error of the failed connect.
  EXPECT_EQ(connectErrno, ECONNREFUSED);
  EXPECT_EQ(link.Socket(), -1);
}

TEST(ExchangeTcp, FrameInFragmentsAcrossNonWaitingReceives) {
  Watchdog dog("FrameInFragmentsAcrossNonWaitingReceives", 20);
  ScriptedPeer peer;
  ExchangeTcp link;
  ASSERT_TRUE(link.Connect("127.0.0.1", peer.port()));
  ASSERT_TRUE(peer.accept());
  // The key block in two fragments, then a frame in three.
  Bytes all = wakro_test::keyBlock(0x12345678, 3.14159265359, false);
  const Bytes frame = Frame().i(3).d(0.5).s("hi").bytes();
  all.insert(all.end(), frame.begin(), frame.end());
  const std::size_t cuts[] = {0, 5, 12, 14, 22, all.size()};
  for (std::size_t k = 0; k + 1 < std::size(cuts); ++k) {
    EXPECT_FALSE(link.RecvMsg(false)) << "fragment " << k;
    ASSERT_TRUE(peer.sendRaw(all.data() + cuts[k], cuts[k + 1] - cuts[k]));
    ASSERT_TRUE(waitUntil([&] { return link.DataWaiting() > 0; }, 2000));
  }
  ASSERT_TRUE(link.RecvMsg(false));
  EXPECT_TRUE(link.KeyChecked());
  std::int32_t i = 0;
  double d = 0;
  std::string s;
  link >> i >> d >> s;
  EXPECT_EQ(i, 3);
  EXPECT_EQ(d, 0.5);
  EXPECT_EQ(s, "hi");
  EXPECT_FALSE(link.RecvMsg(false));  // delivered once only
  EXPECT_FALSE(link.Broken());
}

TEST(ExchangeTcp, BadLengthPrefixesEndTheLink) {
  Watchdog dog("BadLengthPrefixesEndTheLink", 20);
  for (const std::int32_t length : {0, 3, -8, 2147483647, Exchange::kMaxMessage + 1}) {
    for (const bool wait : {true, false}) {
      ScriptedPeer peer;
      ExchangeTcp link;
      connectPair(peer, link, false);
      ASSERT_TRUE(peer.sendRaw(Frame().i(1).bytesWithLength(length)));
      ASSERT_TRUE(peer.sendFrame(Frame().i(2)));
      if (!wait) {
        ASSERT_TRUE(waitUntil([&] { return link.DataWaiting() >= 12 + 8 + 8; }, 2000));
      }
      testing::internal::CaptureStderr();
      EXPECT_FALSE(link.RecvMsg(wait)) << length;
      EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Bad message length received.");
      EXPECT_TRUE(link.Broken());
      EXPECT_LE(link.RecvBuffer().capacity, 4096);
      // Nothing after a bad frame is taken for a message.
      EXPECT_FALSE(link.RecvMsg(true));
    }
  }
}

TEST(ExchangeTcp, EmptyMessageAndShortContentsAreHandled) {
  Watchdog dog("EmptyMessageAndShortContentsAreHandled", 20);
  ScriptedPeer peer;
  ExchangeTcp link;
  connectPair(peer, link, false);
  ASSERT_TRUE(peer.sendRaw(Frame().bytes()));           // length 4: no values
  ASSERT_TRUE(peer.sendFrame(Frame().raw("abc", 3)));    // a text without its NUL
  ASSERT_TRUE(peer.sendFrame(Frame().i(11).i(12)));
  ASSERT_TRUE(link.RecvMsg(true));
  std::int32_t v = 77;
  link >> v;
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(link.RecvBuffer().overrun);

  ASSERT_TRUE(link.RecvMsg(true));
  EXPECT_FALSE(link.RecvBuffer().overrun);
  std::string s;
  link >> s;
  EXPECT_EQ(s, "abc");
  EXPECT_TRUE(link.RecvBuffer().overrun);
  double d = 5;
  link >> d;
  EXPECT_EQ(d, 0.0);

  ASSERT_TRUE(link.RecvMsg(true));
  std::int32_t a = 0, b = 0, c = 5;
  link >> a >> b >> c;
  EXPECT_EQ(a, 11);
  EXPECT_EQ(b, 12);
  EXPECT_EQ(c, 0);  // read past the end of the message
  EXPECT_FALSE(link.Broken());
}

TEST(ExchangeTcp, RefusedKeyEndsTheLinkWithoutConsumingMessages) {
  Watchdog dog("RefusedKeyEndsTheLinkWithoutConsumingMessages", 20);
  ScriptedPeer peer;
  ExchangeTcp link;
  ASSERT_TRUE(link.Connect("127.0.0.1", peer.port()));
  ASSERT_TRUE(peer.accept());
  ASSERT_TRUE(peer.sendKey(0x56781234, 3.14159265359, false));
  ASSERT_TRUE(peer.sendFrame(Frame().i(1)));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(link.RecvMsg(true));
  EXPECT_FALSE(link.RecvMsg(true));
  EXPECT_FALSE(link.RecvMsg(false));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Exchange Error: Word reversal not supported");
  EXPECT_TRUE(link.Broken());
  EXPECT_FALSE(link.KeyChecked());
  // The frame after the key is still unread on the socket.
  EXPECT_EQ(link.DataWaiting(), 8);
}

TEST(ExchangeTcp, PeerClosingMidFrameEndsTheWait) {
  Watchdog dog("PeerClosingMidFrameEndsTheWait", 20);
  for (const bool wait : {true, false}) {
    ScriptedPeer peer;
    ExchangeTcp link;
    connectPair(peer, link, false);
    const Bytes frame = Frame().i(3).d(0.5).s("hi").bytes();
    ASSERT_TRUE(peer.sendRaw(frame.data(), 9));
    peer.closeClient();
    if (!wait) {
      ASSERT_TRUE(waitUntil([&] { return link.isDataWaiting(); }, 2000));
    }
    testing::internal::CaptureStderr();
    bool got = true;
    // A non-waiting receive sees the closure once the partial bytes are in.
    for (int k = 0; k < 50 && !link.Broken(); ++k) got = link.RecvMsg(wait);
    EXPECT_FALSE(got);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Exchange Error: Unexpected closure of transport mechanism.");
    EXPECT_TRUE(link.Broken());
    EXPECT_FALSE(link.RecvMsg(true));  // at once, no wait on a dead socket
  }
}

TEST(ExchangeTcp, SendingToAClosedPeerIsAnErrorNotASignal) {
  Watchdog dog("SendingToAClosedPeerIsAnErrorNotASignal", 20);
  ScriptedPeer peer;
  ExchangeTcp link;
  connectPair(peer, link, false);
  peer.closeClient();
  testing::internal::CaptureStderr();
  for (int k = 0; k < 100 && !link.Broken(); ++k) {
    link << std::int32_t{k};
    link.SendMsg();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(link.Broken());
  // The reset or broken pipe that the closed peer causes reads as its closure.
  EXPECT_EQ(err, "Exchange Error: Unexpected closure of transport mechanism.");
  // Later sends say nothing more and leave the buffer ready.
  testing::internal::CaptureStderr();
  link << std::int32_t{1};
  link.SendMsg();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(link.SendBuffer().position, 4);
}

// A peer that reads nothing fills the socket: once a stop signal has come, a
// send waits a short time at most, then ends the link instead of the program
// waiting for ever; also when handled signals keep interrupting the wait.
TEST(ExchangeTcp, AfterAStopSignalASendThatAPeerReadingNothingHoldsEndsTheLink) {
  Watchdog dog("AfterAStopSignalASendThatAPeerReadingNothingHolds", 30);
  struct sigaction noop {}, before{};
  noop.sa_handler = [](int) {};  // no SA_RESTART: every signal interrupts the wait
  ASSERT_EQ(sigaction(SIGUSR1, &noop, &before), 0);
  for (const bool interrupted : {false, true}) {
    ScriptedPeer peer;
    ExchangeTcp link;
    connectPair(peer, link, false);
    wakro::g_received_stop_signal = SIGTERM;
    testing::internal::CaptureStderr();
    // A signal every 100 ms, for 3 s at most.
    std::atomic<bool> done{false};
    const pthread_t sender = pthread_self();
    std::thread interrupter([&] {
      for (int k = 0; k < 30 && interrupted && !done; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pthread_kill(sender, SIGUSR1);
      }
    });
    const auto start = std::chrono::steady_clock::now();
    // Each message is 8 MB: the socket buffers are full after a few of them.
    for (int k = 0; k < 64 && !link.Broken(); ++k) {
      for (int j = 0; j < (1 << 20); ++j) link << 0.5;
      link.SendMsg();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    done = true;
    interrupter.join();
    const std::string err = testing::internal::GetCapturedStderr();
    wakro::g_received_stop_signal = 0;
    EXPECT_TRUE(link.Broken());
    EXPECT_EQ(err, "Exchange Error: The peer took nothing more after the stop signal.");
    EXPECT_LT(took, std::chrono::milliseconds(2000)) << interrupted;
  }
  sigaction(SIGUSR1, &before, nullptr);
}

TEST(ExchangeTcp, LargeMessagesTravelWholeBothWays) {
  Watchdog dog("LargeMessagesTravelWholeBothWays", 30);
  ScriptedPeer peer;
  ExchangeTcp link;
  connectPair(peer, link, true);
  // A first small message lets the engine take the key (and the swap flag).
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(1)));
  ASSERT_TRUE(link.RecvMsg(true));
  ASSERT_TRUE(link.Swapped());
  // The peer echoes one frame back (in its own thread: the frame is larger
  // than the socket buffers, so both sides must run at once).
  std::thread echo([&] {
    auto r = peer.recvFrame(10000);
    if (r) peer.sendRaw(peer.frame().raw(r->body().data(), r->body().size()).bytes());
  });
  const int n = 300000;
  for (int k = 0; k < n; ++k) link << static_cast<double>(k) * 0.25;
  link << "end";
  link.SendMsg();
  const bool got = link.RecvMsg(true);
  echo.join();
  ASSERT_TRUE(got);
  EXPECT_EQ(link.RecvBuffer().size, 4 + 8 * n + 4);
  bool same = true;
  for (int k = 0; k < n; ++k) {
    double v = -1;
    link >> v;
    same = same && v == static_cast<double>(k) * 0.25;
  }
  EXPECT_TRUE(same);
  std::string tail;
  link >> tail;
  EXPECT_EQ(tail, "end");
  EXPECT_FALSE(link.RecvBuffer().overrun);
}

TEST(ExchangeTcp, DescriptorsAboveTheSelectLimitArePolledSafely) {
  Watchdog dog("DescriptorsAboveTheSelectLimitArePolledSafely", 20);
  rlimit lim{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &lim), 0);
  if (lim.rlim_cur < 1200) {
    rlimit raised = lim;
    raised.rlim_cur = std::min<rlim_t>(lim.rlim_max, 1200);
    if (raised.rlim_cur < 1200 || setrlimit(RLIMIT_NOFILE, &raised) != 0) {
      GTEST_SKIP() << "cannot open 1200 descriptors";
    }
  }
  // Fill the low descriptors so that the link's socket lands above 1024.
  std::vector<int> fillers;
  for (int fd = dup(0); fd >= 0 && fd < 1100; fd = dup(0)) fillers.push_back(fd);
  {
    ScriptedPeer peer;
    ExchangeTcp link;
    connectPair(peer, link, false);
    EXPECT_GE(link.Socket(), 1024);
    ASSERT_TRUE(peer.sendFrame(Frame().i(5)));
    EXPECT_TRUE(waitUntil([&] { return link.isDataWaiting() && link.DataWaiting() >= 12 + 8; }, 2000));
    ASSERT_TRUE(link.RecvMsg(false));
    std::int32_t v = 0;
    link >> v;
    EXPECT_EQ(v, 5);

    ExchangeTcp server;
    const int port = server.Bind(0, "127.0.0.1");
    ASSERT_GT(port, 0);
    EXPECT_GE(server.Socket(), 1024);
    ASSERT_EQ(server.Listen(1), 0);
    EXPECT_FALSE(server.Accept());  // waits, finds nobody, writes nothing out of bounds
  }
  for (int fd : fillers) close(fd);
  setrlimit(RLIMIT_NOFILE, &lim);
}

TEST(ExchangeTcp, BindListenAcceptSendsTheKey) {
  Watchdog dog("BindListenAcceptSendsTheKey", 20);
  ExchangeTcp server;
  const int port = server.Bind(0, "127.0.0.1");
  ASSERT_GT(port, 0);
  ASSERT_EQ(server.Listen(1), 0);
  EXPECT_FALSE(server.Accept());  // nobody yet: returns within a second

  // A raw client sees the key block first, in native order.
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_TRUE(waitUntil([&] { return server.Accept(); }, 5000));
  EXPECT_TRUE(server.KeyChecked());
  unsigned char key[12];
  std::size_t got = 0;
  while (got < 12) {
    const ssize_t r = recv(fd, key + got, 12 - got, 0);
    ASSERT_GT(r, 0);
    got += static_cast<std::size_t>(r);
  }
  const unsigned char expect[12] = {0x78, 0x56, 0x34, 0x12, 0xEA, 0x2E, 0x44, 0x54, 0xFB, 0x21, 0x09, 0x40};
  EXPECT_EQ(std::memcmp(key, expect, 12), 0);
  close(fd);

  // A port beyond 65535 or a bad address is refused.
  ExchangeTcp second;
  EXPECT_EQ(second.Bind(70000, "127.0.0.1"), -1);
  EXPECT_EQ(second.Bind(0, "not-an-address"), -1);
}

}  // namespace
