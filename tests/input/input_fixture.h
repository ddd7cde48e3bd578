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
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace inputtest {

// Result of running code that may end in a fatal stop.
using wakro_test::Outcome;

// Between two case reads of one test: the files room's reset, the case
// reader's times not given, and its line-sizing and parameter-listing hooks
// cleared (the other hooks a test installed stay).
inline void reset_reader_state() {
  filestest::reset_reader_state();
  e_s1::delt = -1.0;
  e_s1::print = -1.0;
  e_s1::fintim = -1.0;
  wakro::set_line_sizing_hooks(nullptr, nullptr);
  wakro::set_writeparm_hook(nullptr);
}

// Every array of the case released and the dimension table cleared.
inline void release_case_state() { wakro_test::release_arrays(); }

// The files room's frame (working folder, unit stack, console capture, the
// layout helpers) with the case reader's state reset as well.
class InputTest : public filestest::FilesTest {
 protected:
  InputTest() : FilesTest("wakro_input_") {}

  void SetUp() override {
    FilesTest::SetUp();
    // The case reader's times before a case is read.
    e_s1::delt = -1.0;
    e_s1::print = -1.0;
    e_s1::fintim = -1.0;
  }
};

using filestest::banner_tail;
using filestest::ff;
using filestest::pad72;

}  // namespace inputtest
