// The simulated case's run-time channels under the scripted design
// environment: the case runs to 10.05 s (201 000 steps); the peer grants the
// first 1000, asks for an update of the graphics and grants the rest.
//   "AG1": 0 on the first step, 1 on the step of 10.0 s, 0 on the step after
//          the last fault branch has reopened (at a current zero, within a
//          cycle of 10.0017 s); never otherwise.
//   "hide1", "hide2": once each for the six measuring groups of the page that
//          carry run-time channels and the generator's.
//   "Pd", "Qd", "Vd": for the same seven, on the first step, the step after
//          the update request and the last step only.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "peer_fixture.h"
#include "support/sanitized.h"
#include "support/temp_dir.h"

#ifndef WAKRO_WSCC9_EXE
#error "WAKRO_WSCC9_EXE must name the built case program"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;

using wakro_test::Reader;
using wakro_test::Watchdog;

constexpr std::int32_t kUpdateGraphics = 31;
constexpr std::int32_t kFaultStep = 200000;      // 10.0 s at 50 us
constexpr std::int32_t kClearStep = 200034;      // 10.0017 s
constexpr std::int32_t kCycleSteps = 334;        // one cycle of 60 Hz
constexpr std::int32_t kLastStep = 201000;       // 10.05 s
constexpr int kMeasuringGroups = 7;              // six of the page's and the generator's

class CaseLink : public GraphicsRun {
 protected:
  bool read_until(std::int32_t step) { return GraphicsRun::read_until(step, 10000000); }
};

using wakro_test::kSanitized;

TEST_F(CaseLink, FaultFlagHideAndMeasuredValuesAsScripted) {
  // The sanitizer build runs the case to 2.2 s only (tests/case/test_wscc9.cpp).
  if (kSanitized) GTEST_SKIP() << "10 s of the case under the sanitizers is too slow";
  Watchdog dog("CaseLink.RuntimeChannels", 600);
  char tmpl[] = "/tmp/wakro_case_link_XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
  for (const auto& f : fs::directory_iterator(WAKRO_WSCC9_CASE_DIR)) fs::copy_file(f.path(), fs::path(dir_) / f.path().filename());
  {
    std::ifstream in(fs::path(dir_) / "wscc9.map");
    std::ostringstream s;
    s << in.rdbuf();
    std::string map = s.str();
    const std::string key = " FINISH_TIME = 25.0\n";
    map.replace(map.find(key), key.size(), " FINISH_TIME = 10.05\n");
    // A step report on every step, so that each value is placed on its step.
    const std::string print = " PRINT_STEP = 1.0E-3\n";
    map.replace(map.find(print), print.size(), " PRINT_STEP = 50.0E-6\n");
    std::ofstream(fs::path(dir_) / "wscc9.map") << map;
  }
  launch({WAKRO_WSCC9_EXE, "-v5", "-locale", "C", "-port", std::to_string(peer_.port())}, dir_);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(peer_.sendKey());
  send(f().i(10).s("wscc9.map"));
  send(f().i(19));

  send(f().i(1).i(1000));
  ASSERT_TRUE(read_until(999)) << (child_->wait(5000) ? child_->out() : std::string("(still running)"));
  send(f().i(kUpdateGraphics));
  send(f().i(1).i(10000000));
  ASSERT_TRUE(read_until(-1));

  ASSERT_EQ(count_["AG1"], 3);
  EXPECT_EQ(values_["AG1"], (std::vector<std::int32_t>{0, 1, 0}));
  EXPECT_EQ(steps_["AG1"][0], 0);
  EXPECT_EQ(steps_["AG1"][1], kFaultStep);
  EXPECT_GT(steps_["AG1"][2], kClearStep);
  EXPECT_LE(steps_["AG1"][2], kClearStep + kCycleSteps);
  EXPECT_EQ(count_["hide1"], kMeasuringGroups);
  EXPECT_EQ(count_["hide2"], kMeasuringGroups);
  for (const char* name : {"Pd", "Qd", "Vd"}) {
    ASSERT_EQ(count_[name], 3 * kMeasuringGroups) << name;
    std::map<std::int32_t, int> per_step;
    for (const std::int32_t step : steps_[name]) ++per_step[step];
    EXPECT_EQ(per_step, (std::map<std::int32_t, int>{{0, kMeasuringGroups}, {1000, kMeasuringGroups},
                                                     {kLastStep, kMeasuringGroups}}))
        << name;
  }

  send(f().i(22).i(0));
  for (int k = 0; k < 3; ++k) (void)frame();
  Reader close = frame();
  EXPECT_EQ(close.i(), -999);
  send(f().i(-999));
  ASSERT_TRUE(child_->wait(15000));
  EXPECT_EQ(child_->exitCode(), 0) << child_->out();
}

// A soft limit on open files below the hard one stops no run: the process
// raises it before it opens a file. Unraised, each of these limits stops the
// case at one of its input files or at its channel files' locks, for it needs
// 76 open files at once.
TEST(OpenFileLimit, ASoftLimitBelowTheHardOneStopsNoRun) {
  Watchdog dog("OpenFileLimit.ASoftLimitBelowTheHardOne", 120);
  rlimit lim{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &lim), 0);
  if (lim.rlim_max < 80) GTEST_SKIP() << "the case needs a hard limit of 76 open files";
  char tmpl[] = "/tmp/wakro_open_limit_XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  for (const auto& f : fs::directory_iterator(WAKRO_WSCC9_CASE_DIR)) fs::copy_file(f.path(), dir / f.path().filename());
  std::string map = wakro_test::read_file((dir / "wscc9.map").string());
  std::ofstream(dir / "wscc9.map") << map.replace(map.find(" FINISH_TIME = 25.0"), 19, " FINISH_TIME = 0.001");
  for (const long soft : {6L, 20L, 50L, 53L}) {
    fs::remove(dir / "wscc9_21.out");
    ChildProcess p({WAKRO_WSCC9_EXE, "-v5"}, dir.string(), (dir / "answers.txt").string(), 0, soft);
    ASSERT_TRUE(p.wait(60000));
    EXPECT_EQ(p.exitCode(), 0) << soft << "\n" << p.out();
    // The last channel file holds the row of the last step, at 1 ms.
    const std::string rows = wakro_test::read_file((dir / "wscc9_21.out").string());
    EXPECT_NE(rows.find("\n   0.10000000000000E-02 "), std::string::npos) << soft;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace app_test
