// Shared set-up of the app tests: a clean process state before each test and a
// small fake case whose root routines count their calls and can misuse the
// storage pointers on request.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/seams.h"
#include "app/timestep.h"
#include "diag/console.h"
#include "link/exchange.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/pf_display.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "model/run_loop.h"
#include "model/snpdat.h"
#include "model/storage.h"

namespace app_test {

// What the fake case saw and what it is asked to do.
struct FakeCase {
  std::vector<std::int32_t> dynSteps;  // ctrl::iii at each dsdyn
  std::vector<double> dynTimes;        // e_s1::time at each dsdyn
  int beginCalls = 0;
  int outputSteps = 0;                 // calls of the progress seam (output steps)
  std::vector<std::int32_t> outputAt;  // ctrl::iii at each output step
  std::vector<std::int32_t> lastStepAt;  // steps that ran with e_s1::laststep
  // Misuse on request.
  bool extraStorfOnOddSteps = false;
  std::int32_t beginRtcf = 0;   // configuration values written by the begin pass
  std::int32_t stepRtcf = 0;    // configuration values read by each output pass
  std::int32_t dynStxfrf = 0;   // transfer values written by each dynamics pass
  std::int32_t outStxfrf = 0;   // transfer values read by each output pass
  std::int32_t stopAtStep = -1; // wakro_stoprun(stopMode) from dsdyn at this step
  std::int32_t stopMode = 0;
  std::int32_t nexcPerStep = 0; // stor slots used by each dynamics pass
  // From this step on the output pass writes bad_value into node bad_node of
  // subsystem 1 (when bad_node > 0) or into channel bad_channel.
  std::int32_t badFromStep = -1;
  std::int32_t badNode = 0, badChannel = 0;
  double badValue = 0.0;
};

inline FakeCase* fake = nullptr;

void fake_dsdyn();
void fake_dsout();
void fake_dsdyn_begin();
void fake_percent(bool);

// Resets the process state the app touches and installs the fake case.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A data start: time step, finish time and output interval; no storage.
  void data_start(double delt, double fintim, double print);

  FakeCase case_;
  std::ostringstream out_;
  std::ostringstream err_;
  wakro::ConsoleRedirect* redirect_ = nullptr;
  wakro::ConsoleRedirect* redirectErr_ = nullptr;
};

// The lines of a captured text (without their '\n').
std::vector<std::string> lines_of(const std::string& text);

}  // namespace app_test
