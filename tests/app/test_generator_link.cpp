// The generator module's run-time channels under the scripted design
// environment: the example of the generator module on a stiff source runs 101
// steps; the peer grants the first 50, then asks for an update of the
// graphics and grants the rest. "hide1" and "hide2" come once in the run;
// "Pd", "Qd" and "Vd" on the first step, on the step after the update request
// and on the last step, never otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "peer_fixture.h"

#ifndef WAKRO_GENERATOR_STIFF_EXE
#error "WAKRO_GENERATOR_STIFF_EXE must name the built generator-module example"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;

using wakro_test::Reader;
using wakro_test::Watchdog;

constexpr std::int32_t kUpdateGraphics = 31;

class GeneratorLink : public GraphicsRun {
 protected:
  bool read_until(std::int32_t step) { return GraphicsRun::read_until(step, 100000); }
};

TEST_F(GeneratorLink, HideOnceAndMeasuredValuesOnFirstUpdatedAndLastStep) {
  Watchdog dog("GeneratorLink.RuntimeChannels", 120);
  char tmpl[] = "/tmp/wakro_generator_link_XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
  for (const char* f : {"generator_stiff.map", "Grid.dta", "Generic_SG_1.dta", "GAST.dta"})
    fs::copy_file(fs::path(WAKRO_GENERATOR_STIFF_CASE_DIR) / f, fs::path(dir_) / f);
  launch({WAKRO_GENERATOR_STIFF_EXE, "-v5", "-locale", "C", "-port", std::to_string(peer_.port())}, dir_);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(peer_.sendKey());
  send(f().i(10).s("generator_stiff.map"));
  send(f().i(19));

  send(f().i(1).i(50));
  ASSERT_TRUE(read_until(49));
  send(f().i(kUpdateGraphics));
  send(f().i(1).i(100000));
  ASSERT_TRUE(read_until(-1));

  EXPECT_EQ(count_["hide1"], 1);
  EXPECT_EQ(count_["hide2"], 1);
  for (const char* name : {"Pd", "Qd", "Vd"}) {
    EXPECT_EQ(count_[name], 3) << name;
    ASSERT_EQ(steps_[name].size(), 3u) << name;
    EXPECT_EQ(steps_[name][0], 0) << name;    // the first step
    EXPECT_EQ(steps_[name][1], 50) << name;   // the step after the update request
    EXPECT_EQ(steps_[name][2], 100) << name;  // the last step (0.005 s)
  }

  send(f().i(22).i(0));
  for (int k = 0; k < 3; ++k) (void)frame();
  Reader close = frame();
  EXPECT_EQ(close.i(), -999);
  send(f().i(-999));
  ASSERT_TRUE(child_->wait(15000));
  EXPECT_EQ(child_->exitCode(), 0) << child_->out();
}

}  // namespace
}  // namespace app_test
