// Test frame of the files room: a temporary working folder for the files read,
// console capture, fatal-stop capture, and the shared reset of all engine state
// before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "files/units.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/options.h"
#include "support/console_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace filestest {

using wakro_test::Outcome;

// Closes every unit and clears what the readers keep between calls (the files
// and the module scalars of the shared reset; the hooks a test installed stay).
inline void reset_reader_state() {
  wakro_test::close_files();
  wakro_test::reset_scalars();
}

class FilesTest : public ::testing::Test {
 protected:
  // prefix names the temporary working folder of the room's tests.
  explicit FilesTest(const char* prefix = "wakro_files_") : prefix_(prefix) {}

  void SetUp() override {
    ASSERT_TRUE(folder_.enter(prefix_));
    wakro_test::reset_shared_state();
  }
  void TearDown() override {
    wakro_test::reset_shared_state();
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

  const char* prefix_;
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

}  // namespace filestest
