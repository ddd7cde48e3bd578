// Connecting when a signal interrupts the wait (found by fuzzing the link's
// start: a signal during connect ended the link start as if the peer had
// refused). The system call is replaced by a script that reports the
// interruption where the real call would, and makes the real call otherwise.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "link/exchange_tcp.h"
#include "support/scripted_peer.h"

namespace {

using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

// What each call of the scripted connect does: the real call, the real call
// reported as interrupted, or one of the errors alone.
enum class Step { Real, RealThenEintr, Eintr, Ealready };

std::vector<Step> g_script;
std::size_t g_calls = 0;

int scripted_connect(int fd, const sockaddr* address, socklen_t length) {
  const Step step = g_calls < g_script.size() ? g_script[g_calls] : Step::Real;
  ++g_calls;
  switch (step) {
    case Step::Eintr:
      errno = EINTR;
      return -1;
    case Step::Ealready:
      errno = EALREADY;
      return -1;
    case Step::RealThenEintr:
      ::connect(fd, address, length);
      errno = EINTR;
      return -1;
    case Step::Real:
      break;
  }
  return ::connect(fd, address, length);
}

class ConnectRetry : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script.clear();
    g_calls = 0;
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }
  // Connects fd_ to 127.0.0.1:port through the script.
  int connect_to(int port, std::vector<Step> script) {
    g_script = std::move(script);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &peer.sin_addr);
    errno = 0;
    return connect_retrying(fd_, reinterpret_cast<const sockaddr*>(&peer), sizeof peer, &scripted_connect);
  }
  int fd_ = -1;
};

TEST_F(ConnectRetry, AnInterruptedCallIsMadeAgain) {
  Watchdog dog("ConnectRetry.AnInterruptedCallIsMadeAgain", 20);
  ScriptedPeer peer;
  EXPECT_EQ(connect_to(peer.port(), {Step::Eintr, Step::Eintr}), 0);
  EXPECT_EQ(g_calls, 3u);
  EXPECT_TRUE(peer.accept());
}

TEST_F(ConnectRetry, AConnectionMadeWhileInterruptedCounts) {
  Watchdog dog("ConnectRetry.AConnectionMadeWhileInterruptedCounts", 20);
  ScriptedPeer peer;
  // The second real call finds the socket connected (EISCONN).
  EXPECT_EQ(connect_to(peer.port(), {Step::RealThenEintr}), 0);
  EXPECT_EQ(g_calls, 2u);
  EXPECT_TRUE(peer.accept());
}

TEST_F(ConnectRetry, AConnectionStillUnderWayIsWaitedFor) {
  Watchdog dog("ConnectRetry.AConnectionStillUnderWayIsWaitedFor", 20);
  ScriptedPeer peer;
  EXPECT_EQ(connect_to(peer.port(), {Step::RealThenEintr, Step::Ealready}), 0);
  EXPECT_EQ(g_calls, 3u);
  EXPECT_TRUE(peer.accept());
}

TEST_F(ConnectRetry, ARefusalAfterAnInterruptionIsReported) {
  Watchdog dog("ConnectRetry.ARefusalAfterAnInterruptionIsReported", 20);
  int port = 0;
  {
    ScriptedPeer gone;
    port = gone.port();
    gone.closeListener();
  }
  EXPECT_EQ(connect_to(port, {Step::Eintr}), -1);
  EXPECT_EQ(errno, ECONNREFUSED);
  EXPECT_EQ(g_calls, 2u);
}

TEST_F(ConnectRetry, WithoutAnInterruptionAConnectedSocketIsAnError) {
  Watchdog dog("ConnectRetry.WithoutAnInterruptionAConnectedSocketIsAnError", 20);
  ScriptedPeer peer;
  ASSERT_EQ(connect_to(peer.port(), {}), 0);
  g_calls = 0;
  EXPECT_EQ(connect_to(peer.port(), {}), -1);
  EXPECT_EQ(errno, EISCONN);
  EXPECT_EQ(g_calls, 1u);
}

}  // namespace
