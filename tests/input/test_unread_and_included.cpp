// Page sections whose readers are not built yet warn once instead of being
// skipped in silence; INCLUDE files of the map and page files are followed,
// each closed by its ENDFILE line; a wrong key in the map file is reported
// with the map file's name.
#include <gtest/gtest.h>

#include <complex>
#include <string>

#include "case_fixture.h"
#include "model/ctrl.h"
#include "model/int2.h"
#include "model/quolbv3.h"

namespace {

using casetest::CaseTest;
using casetest::quit_mode1;
using casetest::quit_mode2;
using inputtest::ff;
using inputtest::Outcome;

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const std::string kTransformers =
    " ***WARN*** TRANSFORMERS: sections are not read yet: the case runs without its transformers.\n";
const std::string kLines =
    " ***WARN*** TLINES: sections are not read yet: the case runs without its transmission lines.\n";
const std::string kGlobalLines =
    " ***WARN*** GLOBAL_TLINES: sections are not read yet: the case runs without those lines.\n";
const std::string kDataStruct =
    " ***WARN*** DATAStruct: sections are not read yet: the output record file has no description.\n";

class UnreadSections : public CaseTest {
 protected:
  void SetUp() override {
    CaseTest::SetUp();
    // The readers of later subsystems at their defaults; the matrix set-up and
    // the branch reader, which every case needs, in place.
    wakro::reset_reader_hooks();
    wakro::reader_hooks().initialize_mna_map = &casetest::record_mna;
    wakro::use_branch_reader();
  }
};

TEST_F(UnreadSections, EachKindWarnsOnceAndTheCaseIsReadOnWithoutIt) {
  write_sample_pages();
  // Page 2 holds each kind once more, so every kind is met twice.
  write("p2.dta", std::string(casetest::kSamplePage2).insert(0,
                  "TRANSFORMERS:\n t0 1 2\nTLINES:\n line0\nGLOBAL_TLINES:\n line1\n"
                  "DATAStruct:\n 1\n<Group name=\"b\">\n"));
  Outcome o = read_case(casetest::sample_new_style_map());
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(count_of(o.console, kTransformers), 1u) << o.console;
  EXPECT_EQ(count_of(o.console, kLines), 1u) << o.console;
  EXPECT_EQ(count_of(o.console, kGlobalLines), 1u) << o.console;
  EXPECT_EQ(count_of(o.console, kDataStruct), 1u) << o.console;
  EXPECT_LT(o.console.find(kDataStruct), o.console.find(kTransformers));  // page 1 first
  // The sections after the skipped ones are still read.
  EXPECT_EQ(int2::insb(2), 2);
  EXPECT_EQ(calls_.mna_setups, 1);

  // A later run reads the case again without saying it again.
  ctrl::mmm = 2;
  ctrl::firstrun = false;
  o = run([] { wakro_readdata(); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console.find("not read yet"), std::string::npos) << o.console;
}

TEST_F(UnreadSections, ADescriptionWithoutLinesLosesNothingAndSaysNothing) {
  write("p1.dta", "DATAStruct:\n 0\nENDPAGE:\n");
  const Outcome o = read_case(std::string(casetest::kSampleDims) + "MAP: p1.dta\n 1 4 1 2 3 4\n 1 0\nENDCASE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
}

// ---------------------------------------------------------------- INCLUDE

class Includes : public CaseTest {
 protected:
  Outcome read_page(const std::string& page) {
    write("p1.dta", page);
    return read_case(std::string(casetest::kSampleDims) + "MAP: p1.dta\n 1 4 1 2 3 4\n 1 0\nENDCASE:\n");
  }
};

TEST_F(Includes, IncludedLinesContinueTheSectionAndTheFileAfterEndfile) {
  // Lines 2 and 3 of STOF: come from the included file; after its ENDFILE the
  // page goes on with line 4 of the same section, then with STOI:.
  write("more.inc", " 2 2.5\n ! a comment\n 3 3.5\nENDFILE\n");
  const Outcome o = read_page("STOF:\n 1 1.5\nINCLUDE 'more.inc'\n 4 4.5\nSTOI:\n 2 9\nENDPAGE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(quolbv3::stof(1), 1.5);
  EXPECT_EQ(quolbv3::stof(2), 2.5);
  EXPECT_EQ(quolbv3::stof(3), 3.5);
  EXPECT_EQ(quolbv3::stof(4), 4.5);
  EXPECT_EQ(quolbv3::stoi(2), 9);
  EXPECT_EQ(fnames::iunit, 49);
}

TEST_F(Includes, AnIncludedFileMayHoldWholeSectionsAndIncludeAgain) {
  write("sections.inc", "STOL:\n 1 T\nINCLUDE inner.inc\nSTOI:\n 1 7\nENDFILE\n");
  write("inner.inc", "CX:\n 2 0.75\nENDFILE\n");
  const Outcome o = read_page("STOF:\n 3 2.5\nINCLUDE sections.inc\nSTOC:\n 1 (1.5, -2.0)\nENDPAGE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(quolbv3::stof(3), 2.5);
  EXPECT_TRUE(quolbv3::stol(1));
  EXPECT_EQ(quolbv3::cx(2), 0.75);
  EXPECT_EQ(quolbv3::stoi(1), 7);
  EXPECT_EQ(quolbv3::stoc(1), std::complex<double>(1.5, -2.0));
}

TEST_F(Includes, BranchesReadFromAnIncludedFile) {
  write("branches.inc", " 1 0 R 4.0\nENDFILE\n");
  const Outcome o = read_page("BRANCHES:\n 1 2 R 2.0\nINCLUDE branches.inc\n 2 0 R 8.0\nENDPAGE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(int2::insb(1), 3);
}

TEST_F(Includes, DataWithoutASectionAfterAnIncludeIsRefused) {
  // The page's first key is the INCLUDE: no section is in progress that its
  // data line could continue.
  write("bare.inc", " 1 2 3\nENDFILE\n");
  const Outcome o = read_page("INCLUDE bare.inc\nSTOF:\n 1 1.0\nENDPAGE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console,
            ff("Data line found where a section key was expected after an INCLUDE or ENDFILE line") +
                quit_mode1(" 1 2 3", "bare.inc", "READDATA    "));
  reset_reader_state_for_next();
}

TEST_F(Includes, AnUnknownKeyInAnIncludedFileIsPlacedInThatFile) {
  // The key stands on line 3 of the included file, which the page names on its
  // line 3; a step back of the line reader does not count a line twice.
  write("keys.inc", " 2 2.5\n ! a comment\nBOGUS:\n 7\nENDFILE\n");
  const Outcome o = read_page("STOF:\n 1 1.5\nINCLUDE 'keys.inc'\nSTOI:\n 2 9\nENDPAGE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, ff("READDATA: Unknown data file section: " + inputtest::pad72("BOGUS:")) +
                           ff("READDATA: The section key is in file keys.inc, line 3; the section is skipped."));
  EXPECT_EQ(quolbv3::stof(2), 2.5);
  EXPECT_EQ(quolbv3::stoi(2), 9);
}

TEST_F(Includes, EndfileOutsideAnIncludedFileIsAnUnknownSection) {
  const Outcome o = read_page("STOF:\n 1 1.5\nENDFILE\n 2 2.5\nSTOI:\n 2 9\nENDPAGE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, ff("READDATA: Unknown data file section: " + inputtest::pad72("ENDFILE:")) +
                           ff("READDATA: The section key is in file p1.dta, line 3; the section is skipped."));
  EXPECT_EQ(quolbv3::stof(2), 0.0);  // skipped with the unknown section
  EXPECT_EQ(quolbv3::stoi(2), 9);
}

// ---------------------------------------------------------------- map-file keys

class MapKeys : public CaseTest {};

TEST_F(MapKeys, AMisspelledParametersKeyIsReportedWithTheMapFile) {
  write_sample_pages();
  std::string map = casetest::sample_new_style_map();
  map.replace(map.find("PARAMETERS:"), 11, "PARAMETER:");
  const Outcome o = read_case(map);
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Expecting section PARAMETERS: in map/snap file.") +
                           ff("Instead found section: " + inputtest::pad72("PARAMETER:")) +
                           quit_mode2("PARAMETER:", "case.map", "RDPARM      "));
  reset_reader_state_for_next();
}

TEST_F(MapKeys, TheEndOfTheMapFileAfterAPageKeyNamesTheMapFile) {
  // The "MAP:" line names the page to open; the map file then ends before the
  // entry's node lines.
  write_sample_pages();
  fnames::section.blank();
  write("short.map", "STOF:\nMAP: p1.dta\n");
  fnames::filename = "short.map";
  const Outcome o = run([] {
    wakro_openfile();
    rdcmnt();
    rdcmnt();
    rdcmnt();
  });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("End_Of_File while reading data file " + inputtest::pad72("short.map")) +
                           quit_mode1("MAP: p1.dta", "short.map", "RDCMNT      "));
  reset_reader_state_for_next();
}

}  // namespace
