// Test frame of the input room: a temporary working folder for the case files,
// console capture, fatal-stop capture and a clean reset of the reader state.
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
#include "input/input_hooks.h"
#include "files/units.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fatal.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/pf_display.h"
#include "model/tandem_line.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"

namespace inputtest {

// Result of running code that may end in a fatal stop.
using wakro_test::Outcome;

inline void reset_reader_state() {
  wakro::close_all_units();
  fnames::filename.blank();
  fnames::section.blank();
  fnames::dumlin.blank();
  fnames::tnam.blank();
  fnames::inam.blank();
  options::echo = false;
  options::prndim = false;
  options::prnparm = false;
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;
  ctrl::mmm = 1;
  ctrl::firstrun = true;
  assorc::input = "DATA";
  tandem_line::enable_tandem_line = false;
  e_s1::delt = -1.0;
  e_s1::print = -1.0;
  e_s1::fintim = -1.0;
  wakro::set_line_sizing_hooks(nullptr, nullptr);
  wakro::set_writeparm_hook(nullptr);
}

inline void release_case_state() {
  ndde::deallocate_nd();
  pf_display::deallocate_pf();
  std::int32_t status = 0;
  e_s0::deallocate_ss(status);
  for (int k = 1; k <= 80; ++k) {
    ndde::e_ndim(k) = 0;
    ndde::nd(k) = 0;
  }
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.enter("wakro_input_"));
    reset_reader_state();
  }
  void TearDown() override {
    reset_reader_state();
    release_case_state();
    folder_.leave();
  }

  // Writes the file byte for byte (line ends as given).
  void write(const std::string& name, const std::string& bytes) {
    wakro_test::write_file(name, bytes);
  }
  std::string read(const std::string& name) { return wakro_test::read_file(name); }

  // Opens the file as the next unit, as the case reader does.
  void open(const std::string& name) {
    fnames::filename = name;
    wakro_openfile();
  }

  // Runs f with the console captured; a fatal stop is caught and its status kept.
  Outcome run(const std::function<void()>& f) { return wakro_test::run_captured(f); }

  wakro_test::WorkFolder folder_;
};

// A console line of the free-format writer: one blank before the text.
inline std::string ff(const std::string& text) { return " " + text + "\n"; }

// The text padded with blanks to 72 characters.
inline std::string pad72(const std::string& text) {
  std::string s = text;
  s.resize(72, ' ');
  return s;
}

// The closing banner of wakro_quit for a tag (12 characters) after the context.
inline std::string banner_tail(const std::string& tag12) {
  return " ERROR: Abnormal termination of WAKRO by " + tag12 + "\n" +
         " =========================================================\n  \n";
}

}  // namespace inputtest
