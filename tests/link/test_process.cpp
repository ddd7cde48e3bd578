// Spawning a second process that connects back to a bound port, reaping it,
// the host name field, and the sleep.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "link/exchange_tcp.h"
#include "link/process.h"
#include "link/servers.h"
#include "support/scripted_peer.h"

namespace {

using wakro_test::waitUntil;
using wakro_test::Watchdog;

// The short host name as the system gives it ("" when 16 characters or more).
std::string shortHostName() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  std::string s(name, std::strcspn(name, "."));
  return s.size() < 16 ? s : std::string();
}

class Spawning : public testing::Test {
 protected:
  void TearDown() override { SEx.clear(); }
};

TEST_F(Spawning, ChildConnectsBackAndIsReaped) {
  Watchdog dog("ChildConnectsBackAndIsReaped", 30);
  ExchangeTcp server;
  const int port = server.Bind(0, "127.0.0.1");
  ASSERT_GT(port, 0);
  ASSERT_EQ(server.Listen(1), 0);
  SEx.push_back(SExRecord{port, &server, 0});
  SEx.push_back(SExRecord{port + 1, nullptr, 0});  // another id: left alone

  const std::string command = "wakro_link_child " + std::to_string(port);
  ASSERT_TRUE(spawnprocess(WAKRO_LINK_CHILD, command.c_str(), port));
  const pid_t pid = SEx[0].pid;
  ASSERT_GT(pid, 0);
  EXPECT_EQ(SEx[1].pid, 0);

  ASSERT_TRUE(waitUntil([&] { return server.Accept(); }, 10000));
  server << std::int32_t{41};
  server.SendMsg();
  ASSERT_TRUE(server.RecvMsg(true));
  std::int32_t answer = 0;
  std::string host;
  server >> answer >> host;
  EXPECT_EQ(answer, 42);
  // The child's 16-character field: its host name, the rest still blanks.
  std::string expect = shortHostName();
  expect.resize(16, ' ');
  EXPECT_EQ(host, expect);

  closeprocess(port);
  EXPECT_EQ(SEx[0].pid, 0);
  // Reaped: the pid no longer names a child of ours.
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  closeprocess(port);  // a second wait returns at once
}

TEST_F(Spawning, CommandLineWordsAndQuotes) {
  Watchdog dog("CommandLineWordsAndQuotes", 30);
  const std::string path = testing::TempDir() + "wakro_spawn_words.txt";
  std::remove(path.c_str());
  SEx.push_back(SExRecord{7, nullptr, 0});
  const std::string command = "sh -c \"printf '%s|' one 'two three' > " + path + "\"";
  ASSERT_TRUE(spawnprocess(nullptr, command.c_str(), 7));  // looked up on the PATH
  closeprocess(7);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "one|two three|");
  std::remove(path.c_str());
}

TEST_F(Spawning, UnknownIdStartsNothingAndFailuresAreReported) {
  Watchdog dog("UnknownIdStartsNothingAndFailuresAreReported", 30);
  SEx.push_back(SExRecord{5, nullptr, 0});
  EXPECT_TRUE(spawnprocess("/no/such/program", "x", 6));
  EXPECT_EQ(SEx[0].pid, 0);

  testing::internal::CaptureStdout();
  EXPECT_FALSE(spawnprocess("/no/such/program", "x", 5));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "CreateProcess failed (" + std::to_string(ENOENT) + ").\n");
  EXPECT_EQ(SEx[0].pid, 0);
  closeprocess(5);  // no process: returns at once

  testing::internal::CaptureStdout();
  EXPECT_FALSE(spawnprocess(nullptr, "", 5));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "CreateProcess failed (" + std::to_string(ENOENT) + ").\n");
}

TEST_F(Spawning, WaitsForAProcessThatAlreadyEnded) {
  Watchdog dog("WaitsForAProcessThatAlreadyEnded", 30);
  SEx.push_back(SExRecord{9, nullptr, 0});
  SEx.push_back(SExRecord{9, nullptr, 0});  // two records with one id: two processes
  ASSERT_TRUE(spawnprocess("/bin/sh", "sh -c \"exit 3\"", 9));
  const pid_t a = SEx[0].pid, b = SEx[1].pid;
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_NE(a, b);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  closeprocess(9);
  EXPECT_EQ(SEx[0].pid, 0);
  EXPECT_EQ(SEx[1].pid, 0);
  EXPECT_EQ(kill(a, 0), -1);
  EXPECT_EQ(kill(b, 0), -1);
}

TEST(HostName, FillsOnlyTheNameAndStaysInTheField) {
  const std::string name = shortHostName();
  char field[20];
  std::memset(field, '#', sizeof field);
  getmyhostname(field, 16);
  std::string expect = name + std::string(20 - name.size(), '#');
  EXPECT_EQ(std::string(field, 20), expect);

  // A narrower field gets only what fits.
  std::memset(field, '#', sizeof field);
  getmyhostname(field, 2);
  const std::string head = name.substr(0, 2);
  EXPECT_EQ(std::string(field, 20), head + std::string(20 - head.size(), '#'));

  std::memset(field, '#', sizeof field);
  getmyhostname(field, 0);
  getmyhostname(nullptr, 16);
  EXPECT_EQ(std::string(field, 20), std::string(20, '#'));
}

TEST(Wait, SleepsAtLeastTheTimeAsked) {
  const auto t0 = std::chrono::steady_clock::now();
  wakro_wait(200);
  const auto t1 = std::chrono::steady_clock::now();
  wakro_wait(-5);
  wakro_wait(0);
  const auto t2 = std::chrono::steady_clock::now();
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(t1 - t0).count(), 200);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(t2 - t1).count(), 50);
}

}  // namespace
