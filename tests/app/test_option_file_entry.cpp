// The engine started with option files that name each other (found by fuzzing:
// the files were read 3^20 times before the run began): the parse ends with
// one message on stderr, nothing runs, and the exit line shows the status.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "child_process.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_EXE
#error "WAKRO_EXE must name the built engine executable"
#endif

namespace app_test {
namespace {

const std::string kExe = WAKRO_EXE;
const std::string kCaseDir = WAKRO_EMPTY_CASE_DIR;

TEST(EngineOptionFiles, FilesThatNameEachOtherEndTheStartWithAMessage) {
  wakro_test::Watchdog dog("EngineOptionFiles.FilesThatNameEachOtherEndTheStartWithAMessage", 60);
  const std::string a = "/tmp/wakro_app_cycle_a_" + std::to_string(getpid()) + ".txt";
  const std::string b = "/tmp/wakro_app_cycle_b_" + std::to_string(getpid()) + ".txt";
  const auto write = [](const std::string& name, const std::string& text) {
    std::FILE* f = std::fopen(name.c_str(), "w");
    std::fputs(text.c_str(), f);
    std::fclose(f);
  };
  std::string toB = "-config ";
  toB.append(b).append(" -config ").append(b).append(" -config ").append(b).append("\n");
  std::string toA = "-id 3 -config ";
  toA.append(a).append("\n");
  write(a, toB);
  write(b, toA);
  ChildProcess p({kExe, "-v5", "-config", a}, kCaseDir, kCaseDir + "/answers.txt");
  ASSERT_TRUE(p.wait());
  std::remove(a.c_str());
  std::remove(b.c_str());
  EXPECT_EQ(p.exitCode(), 3);
  EXPECT_EQ(p.err(), "Option file " + a + " is named again while it is being read (-config cycle)\n");
  // Nothing ran: no locale, no dialogue; only the exit line.
  EXPECT_EQ(p.out(), kExe + " exiting.  Status code = 3\n");
}

}  // namespace
}  // namespace app_test
