// Shared set-up of the multiple-run tests: a clean engine state in a scratch
// folder, runs simulated step by step as the run loop drives them (first and
// last step flags, run counters, the storage pointer reset each step), and the
// console captured.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "diag/console.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/multpl.h"
#include "model/pmr_consolidate.h"
#include "model/storage.h"
#include "multirun/varied.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace multirun_test {

// The lines of a text, without their '\n'.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class MultirunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    wakro::multirun::reset_multirun_state();
    reset_merge_state();
    ASSERT_TRUE(folder_.enter("wkmrun"));
    storage::storf.allocate(100);
    ctrl::nrun = 1;
    ctrl::mmm = 1;
    ctrl::rank = 0;
    e_s1::delt = 0.5;
    redirect_ = std::make_unique<wakro::ConsoleRedirect>(console_);
  }
  void TearDown() override {
    redirect_.reset();
    wakro::multirun::reset_multirun_state();
    reset_merge_state();
    folder_.leave();
    wakro_test::reset_shared_state();
  }

  // The merge state as the driver sets it when it starts, and no file name.
  static void reset_merge_state() {
    using namespace pmr_consolidate;
    pmr_count = pmr_mrun = pmr_mrun_done = pmr_mrun_nv = pmr_mrun_nm = pmr_mrun_ndiv = 0;
    excludelastrun = lpmr_extra_files = num_entries = 0;
    pmr_mrun_filename.blank();
    for (int k = 1; k <= 100; ++k) file_list(k) = FileEntry{};
    multpl::mrunfilename.blank();
    multpl::mrunxtralabel.blank();
    multpl::optimumrun = 0;
  }
  // Run `run` of `steps` steps (at least 2): body(step) is called on every
  // step with the flags the run loop sets.
  void run(std::int32_t run, int steps, const std::function<void(int)>& body) {
    ctrl::mmm = run;
    ctrl::firstrun = run == 1;
    ctrl::lastrun = run == ctrl::nrun;
    for (int s = 0; s < steps; ++s) {
      e_s1::firststep = s == 0;
      e_s1::laststep = s == steps - 1;
      storage::nstorf = 1;
      body(s);
    }
  }
  // The same body over runs 1..nrun.
  void run_all(int steps, const std::function<void(int)>& body) {
    for (std::int32_t r = 1; r <= ctrl::nrun; ++r) run(r, steps, body);
  }
  std::string console() const { return console_.str(); }

  wakro_test::WorkFolder folder_;
  std::ostringstream console_;
  std::unique_ptr<wakro::ConsoleRedirect> redirect_;
};

}  // namespace multirun_test
