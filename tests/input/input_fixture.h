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
#include "files/files_fixture.h"
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

// The files room's reset, then what the case reader keeps between reads.
inline void reset_reader_state() {
  filestest::reset_reader_state();
  options::prndim = false;
  options::prnparm = false;
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

// The files room's frame (working folder, unit stack, console capture, the
// layout helpers) with the case reader's state reset as well.
class InputTest : public filestest::FilesTest {
 protected:
  InputTest() : FilesTest("wakro_input_") {}

  void SetUp() override {
    FilesTest::SetUp();
    reset_reader_state();
  }
  void TearDown() override {
    reset_reader_state();
    release_case_state();
    FilesTest::TearDown();
  }
};

using filestest::banner_tail;
using filestest::ff;
using filestest::pad72;

}  // namespace inputtest
