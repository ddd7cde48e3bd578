// Test frame of the case reader: writes a case (map file and page files) into the
// temporary folder, reads it with wakro_readdata through recording stand-ins for
// the readers of later subsystems, and keeps what they were handed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/readdata.h"
#include "input/reader_hooks.h"
#include "input/linereader.h"
#include "input_fixture.h"
#include "model/fnames.h"

namespace casetest {

struct Calls {
  std::vector<std::int32_t> dsmint;               // page position per call
  std::vector<std::vector<std::int32_t>> dslint;  // the four arguments per call
  std::vector<std::string> dslint_keys;           // the section key at each call
  std::vector<std::string> description;           // the lines handed on, trimmed
  std::vector<std::size_t> description_width;
  int mna_setups = 0;
};

inline Calls* g_calls = nullptr;

inline void record_dsmint(std::int32_t& page) {
  g_calls->dsmint.push_back(page);
  wakro_nextkey();
}
inline void record_dslint(std::int32_t& a, std::int32_t& b, std::int32_t& c, std::int32_t& d) {
  g_calls->dslint.push_back({a, b, c, d});
  g_calls->dslint_keys.push_back(std::string(fnames::section.trimmed()));
  wakro_nextkey();
}
inline void record_mna() { ++g_calls->mna_setups; }
inline void record_line(const wakro::FixedText<512>& line) {
  g_calls->description.push_back(std::string(line.trimmed()));
  g_calls->description_width.push_back(line.size());
}

class CaseTest : public inputtest::InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    g_calls = &calls_;
    wakro::ReaderHooks& h = wakro::reader_hooks();
    h.dsmint = &record_dsmint;
    h.dslint = &record_dslint;
    h.initialize_mna_map = &record_mna;
    h.ofprocessline = &record_line;
  }
  void TearDown() override {
    wakro::reset_reader_hooks();
    g_calls = nullptr;
    InputTest::TearDown();
  }

  // After a fatal stop: closes the files and clears the reader for the next case.
  void reset_reader_state_for_next() {
    inputtest::reset_reader_state();
    inputtest::release_case_state();
  }

  // Reads the case whose map file is `map` (page files written before).
  inputtest::Outcome read_case(const std::string& map) {
    write("case.map", map);
    fnames::inam = "case.map";
    return run([] { wakro_readdata(); });
  }

  Calls calls_;
};

// The closing lines of wakro_quit for mode 1 with the data file shown.
inline std::string quit_mode1(const std::string& dumlin, const std::string& file,
                              const std::string& tag12) {
  std::string name = file;
  name.resize(34, ' ');
  return " =========================================================\n"
         " Following is the last read data line:\n " +
         inputtest::pad72(dumlin) + "\n Data file name: " + name + "...\n" +
         inputtest::banner_tail(tag12);
}

// The same for mode 2, with the map file shown.
inline std::string quit_mode2(const std::string& dumlin, const std::string& map,
                              const std::string& tag12) {
  std::string name = map;
  name.resize(34, ' ');
  return " =========================================================\n"
         " Following is the last read data line:\n " +
         inputtest::pad72(dumlin) + "\n Map/snap file name: " + name + "\n" +
         inputtest::banner_tail(tag12);
}

// Mode 0: no input context.
inline std::string quit_mode0(const std::string& tag12) {
  return " =========================================================\n" + inputtest::banner_tail(tag12);
}

// A free-format integer item: one blank and 11 columns.
inline std::string i11(long v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, " %11ld", v);
  return buf;
}

}  // namespace casetest
