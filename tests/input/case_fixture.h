// Test frame of the case reader: writes a case (map file and page files) into the
// temporary folder, reads it with wakro_readdata through the network room's
// branch reader and recording stand-ins for the readers of later subsystems, and
// keeps what they were handed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input/readdata.h"
#include "input/reader_hooks.h"
#include "files/linereader.h"
#include "input_fixture.h"
#include "model/fnames.h"
#include "network/rdbranch.h"

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

// The two-page sample case: its dimensions and parameters, its two page files
// (p1.dta, p2.dta) and its map file in the newer and the older subsystem style.
inline constexpr const char* kSampleDims =
    "DIMENSIONS:\n"
    " NODES = 4\n SUBSYS = 2\n BRANCHES = 8\n NNODES = 30\n SUBSYSPAGE = 3\n"
    " STOL = 2\n STOI = 2\n STOF = 4\n STOC = 2\n CX = 3\n CXMAP = 4\n PGBS = 3\n"
    " TX = 3\n TXRX = 4\n NMANA = 2\n CSCS = 2\n CSCR = 2\n"
    "PARAMETERS:\n"
    " TIME_STEP = 50.0E-6\n FINISH_TIME = 0.001\n PRINT_STEP = 50.0E-6\n USE_MANA = YES\n"
    "SUBSYSDIM:\n 2 4 2\n";

// Page 1 of the sample case (subsystem 1, local nodes 1..4 = global 1..4).
inline constexpr const char* kSamplePage1 =
    "VOLTAGES:\n 1 3.0\n 2 10.0\n"
    "BRANCHES:\n"
    " 1 2 RL 10.0 0.1\n"          // b1: X_L = 4000, Z = 4010
    " 1 0 C 10.0\n"               // b2: X_C = 2.5, G = 0.4
    " 2 3 RLC 5.0 0.01 100.0\n"   // b3: X_L = 400, X_C = 0.25, Z = 405.25
    " 3 4 S\n"                    // b4: switch
    " 3 0 E 5.0\n"                // b5: zero-impedance source -> ideal, silent
    " 1 2 R 100.0\n"              // b6: in parallel with b1
    " 4 0 RA 5.0\n"               // b7: ideal by attribute
    "STOL:\n 1 T\nSTOI:\n 2 7\nSTOF:\n 3 2.5\nSTOC:\n 1 (1.5, -2.0)\n"
    "CX:\n 2 0.75\nCXMAP:\n 2 5 6\n 1 7\n"
    "MPGBS:\n 3 11 12 13\nIPGBS:\n 2 21 22\n"
    "PGBList:\nVout\nC_name with blanks\nIa:phase\n"
    "DATAStruct:\n 2\n<Group name=\"a\">\nC looks like a comment\n"
    "MANA:\n 1 1 2\n"
    "ENDPAGE:\n";

// Page 2 of the sample case (subsystem 2, local 1 -> global 2, local 2 -> global 1).
inline constexpr const char* kSamplePage2 =
    "RADIOLINKS:\n 2 1 2\n 1 3\n"
    "SUBS:\n 2 1 2\n"
    "BRANCHES:\n 1 2 L 0.05\n 2 0 R 50.0\n"
    "MANA:\n 1 1 0\n"
    "TRANSFORMERS:\n t1 1 2\n"
    "TLINES:\n lineA\n"
    "GLOBAL_TLINES:\n lineB\n"
    "FOO:\n whatever\n"
    "IGNORE:\n x\n"
    "ENDPAGE\n";

// The map file in the newer style (node lines per subsystem).
inline std::string sample_new_style_map() {
  return std::string(kSampleDims) +
         "MAP: p1.dta\n 0 4 1 2 3 4\n 1 1 1 1 1 1\n 1 0\n"
         "MAP: 'p2.dta'\n 0 2\n 2 1\n 0 1 2 2\n 0 2\n"
         "ENDCASE:\n";
}

// The map file in the older style (one record per subsystem).
inline std::string sample_old_style_map() {
  return std::string(kSampleDims) +
         "MAP: p1.dta\n 1 4 1 2 3 4\n 1 0\n"
         "MAP: 'p2.dta'\n 2 2 2 1\n 0 2\n"
         "ENDCASE:\n";
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
    wakro::use_branch_reader();
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

  // Writes the two page files of the sample case.
  void write_sample_pages() {
    write("p1.dta", kSamplePage1);
    write("p2.dta", kSamplePage2);
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
