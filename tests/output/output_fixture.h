// Test frame of the output room: a temporary working folder, console capture,
// fatal-stop capture, golden files and a clean reset of the state the room
// reads and writes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "diag/console.h"
#include "files/units.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/e_warn.h"
#include "model/fatal.h"
#include "model/fnames.h"
#include "model/misses.h"
#include "model/outppp.h"
#include "model/pmr_consolidate.h"
#include "model/quolbv3.h"
#include "model/snpdat.h"
#include "output/channel_files.h"
#include "output/check_snap.h"
#include "output/console_progress.h"
#include "output/dialog.h"
#include "output/record_bindings.h"
#include "support/console_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace outputtest {

using wakro_test::Outcome;

// The shared reset of all engine state, then what the output room's tests
// start from: the last run of a set, and no output channels.
inline void reset_state() {
  wakro_test::reset_shared_state();
  ctrl::lastrun = true;
  outppp::jplt = 0;
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.enter("wakro_output_"));
    reset_state();
  }
  void TearDown() override {
    reset_state();
    folder_.leave();
  }

  static void write(const std::string& name, const std::string& bytes) {
    wakro_test::write_file(name, bytes);
  }
  static std::string read(const std::string& name) { return wakro_test::read_file(name); }
  static bool exists(const std::string& name) { return std::filesystem::exists(name); }

  // A golden file of tests/data/output.
  static std::string golden(const std::string& name) {
    const char* data = std::getenv("WAKRO_TEST_DATA");
    const std::string dir =
        data ? data : (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string();
    return read(dir + "/output/" + name);
  }

  // Runs f with the console captured; a fatal stop is caught and its status kept.
  static Outcome run(const std::function<void()>& f) { return wakro_test::run_captured(f); }

  wakro_test::WorkFolder folder_;
};

// The closing banner of wakro_quit for a tag (12 characters) after the context.
inline std::string banner_tail(const std::string& tag12) {
  return " ERROR: Abnormal termination of WAKRO by " + tag12 + "\n" +
         " =========================================================\n  \n";
}

inline std::string rule() { return " =========================================================\n"; }

}  // namespace outputtest
