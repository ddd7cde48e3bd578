// The "DIMENSIONS:" reader on map files: the entries of the edge cases, the
// margins of a start from data files, the error paths, the walk over the case
// that sizes the lines, and the rules of later runs.
#include <cstdlib>
#include <string>
#include <vector>

#include "input/dimensions.h"
#include "files/linereader.h"
#include "files/words.h"
#include "input_fixture.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s7.h"
#include "model/e_s9.h"
#include "model/int2.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "model/storage.h"

using inputtest::banner_tail;
using inputtest::ff;
using inputtest::pad72;

namespace {

const std::string kRule = " =========================================================\n";

std::string context2(const std::string& dumlin) {
  std::string name = "case.map";
  name.resize(34, ' ');
  return kRule + " Following is the last read data line:\n " + pad72(dumlin) + "\n" +
         " Map/snap file name: " + name + "\n";
}

// What the spy line sizing saw.
struct LineSpy {
  int init_calls = 0;
  std::vector<std::string> sections;  // key, file and line count of each section
};
LineSpy g_spy;

// Counts each data line of a line section as one line of TLINES and skips the
// section, as the line subsystem's sizing pass does with its real counts.
void spy_sctline() {
  std::string key(fnames::section.trimmed());
  const std::string file = wakro::unit_file_name(fnames::iunit);
  int lines = 0;
  const Line72 section = fnames::section;
  for (;;) {
    rdcmnt();
    if (!rdcmnt_in_section(section)) break;
    std::string record;
    wakro::read_record(fnames::iunit, record);
    ++lines;
  }
  ndde::e_ndim(dim::tlines) += lines;
  ndde::e_ndim(dim::tlines_total) += lines;
  g_spy.sections.push_back(key + " " + file + " " + std::to_string(lines));
}
void spy_sctline_init() { ++g_spy.init_calls; }

class Dimensions : public inputtest::InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    g_spy = LineSpy{};
  }

  // Writes the map file and reads its dimensions as the case reader does.
  inputtest::Outcome read_map(const std::string& text) {
    write("case.map", text);
    wakro::close_all_units();
    fnames::inam = "case.map";
    fnames::tnam = "case.map";
    open("case.map");
    return run([] { wakro_rddim(); });
  }

  static std::string map(const std::string& dimension_lines) {
    return "DIMENSIONS:\n" + dimension_lines + "PARAMETERS:\n TIME_STEP = 5E-5\nENDCASE:\n";
  }

  void later_run() {
    ctrl::mmm = 2;
    ctrl::firstrun = false;
  }
};

}  // namespace

TEST_F(Dimensions, AnEmptySectionGivesOnlyTheDefaults) {
  const inputtest::Outcome o = read_map(map(""));
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  for (int k = 1; k <= 80; ++k) EXPECT_EQ(ndde::e_ndim(k), k == dim::umec ? 5 : 0) << k;
  for (int k = 1; k <= dim::mbranches; ++k) {
    if (k == dim::pf_buses || (k >= dim::pf_nwb && k <= dim::pf_nc)) continue;
    EXPECT_EQ(ndde::nd(k), (k == dim::umec || k == dim::pgbs) ? 10 : 1) << k;
  }
  // The reader stands at the reopened map file's "PARAMETERS:".
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");
  EXPECT_EQ(fnames::iunit, 50);
  EXPECT_EQ(e_s1::delt, 5e-5);
  EXPECT_EQ(fnames::netdata, 1);
  EXPECT_TRUE(storage::storf.allocated());
}

TEST_F(Dimensions, NodesSetTheSparsityDefaultUnlessSparsityFollows) {
  ASSERT_EQ(read_map(map(" NODES = 10\n")).status, -1);
  EXPECT_EQ(ndde::e_ndim(dim::sparsity), 46);
  inputtest::release_case_state();
  ASSERT_EQ(read_map(map(" SPARSITY = 7\n NODES = 10\n")).status, -1);
  EXPECT_EQ(ndde::e_ndim(dim::sparsity), 46);
  inputtest::release_case_state();
  ASSERT_EQ(read_map(map(" NODES = 10\n SPARSITY = 7\n SUBSYS = 3\n")).status, -1);
  EXPECT_EQ(ndde::e_ndim(dim::sparsity), 7);
  EXPECT_EQ(int2::nmat, 3);
  EXPECT_EQ(e_s9::n1test, 10);
  EXPECT_EQ(e_s9::n2test, 3);
}

// Every key of the control and storage sizes, each with its own value, sizes the
// array that the key names: a key stored in a neighbour's entry would leave one
// array too small and its neighbour too large.
TEST_F(Dimensions, EachStorageKeySizesItsOwnArray) {
  assorc::input = "SNAP";  // no margins
  const std::string lines =
      " STOR = 101\n VARS = 102\n CONS = 103\n CX = 104\n CXMAP = 105\n CSCR = 106\n"
      " NNODES = 107\n NPAGES = 108\n STOL = 109\n STOI = 110\n STOF = 111\n STOC = 112\n"
      " STORL = 113\n STORI = 114\n STORF = 115\n STORC = 116\n STXFRL = 117\n"
      " STXFRI = 118\n STXFRF = 119\n STXFRC = 120\n RTCL = 121\n RTCI = 122\n"
      " RTCF = 123\n RTCC = 124\n";
  ASSERT_EQ(read_map(map(lines)).status, -1);
  EXPECT_EQ(e_s2::stor.extent(1), 101);
  EXPECT_EQ(e_s4::var.extent(1), 102);
  EXPECT_EQ(e_s4::con.extent(1), 103);
  EXPECT_EQ(quolbv3::cx.extent(1), 104);
  EXPECT_EQ(quolbv3::cxmap.extent(1), 105);
  EXPECT_EQ(quolbv3::cscr.extent(1), 106);
  EXPECT_EQ(quolbv3::node.extent(1), 107);
  EXPECT_EQ(quolbv3::txfr.extent(1), 108);
  EXPECT_EQ(quolbv3::stol.extent(1), 109);
  EXPECT_EQ(quolbv3::stoi.extent(1), 110);
  EXPECT_EQ(quolbv3::stof.extent(1), 111);
  EXPECT_EQ(quolbv3::stoc.extent(1), 112);
  EXPECT_EQ(storage::storl.extent(1), 113);
  EXPECT_EQ(storage::stori.extent(1), 114);
  EXPECT_EQ(storage::storf.extent(1), 115);
  EXPECT_EQ(storage::storc.extent(1), 116);
  EXPECT_EQ(storage::stxfrl.extent(1), 117);
  EXPECT_EQ(storage::stxfri.extent(1), 118);
  EXPECT_EQ(storage::stxfrf.extent(1), 119);
  EXPECT_EQ(storage::stxfrc.extent(1), 120);
  EXPECT_EQ(rt_config::rtcl.extent(1), 121);
  EXPECT_EQ(rt_config::rtci.extent(1), 122);
  EXPECT_EQ(rt_config::rtcf.extent(1), 123);
  EXPECT_EQ(rt_config::rtcc.extent(1), 124);
}

TEST_F(Dimensions, MarginsApplyToADataStartOnly) {
  const std::string lines =
      " STOR = 0\n STORF = 5\n STXFRL = 1\n RTCC = 2\n PGBS = 20\n NODES = 5 12\n";
  ASSERT_EQ(read_map(map(lines)).status, -1);
  EXPECT_EQ(ndde::e_ndim(dim::stor), 10000);
  EXPECT_EQ(ndde::e_ndim(dim::storf), 1005);
  EXPECT_EQ(ndde::e_ndim(dim::stxfrl), 101);
  EXPECT_EQ(ndde::e_ndim(dim::rtcc), 1002);
  EXPECT_EQ(ndde::e_ndim(dim::pgbs), 20);
  EXPECT_EQ(ndde::nd13, 30);
  EXPECT_EQ(outppp::jplt, 20);
  EXPECT_EQ(ndde::e_ndim(dim::nodes), 5);
  inputtest::release_case_state();

  assorc::input = "SNAP";
  ASSERT_EQ(read_map(map(lines)).status, -1);
  EXPECT_EQ(ndde::e_ndim(dim::stor), 0);
  EXPECT_EQ(ndde::nd10, 1);
  EXPECT_EQ(ndde::e_ndim(dim::storf), 5);
  // No walk on a snapshot start: the reader stands at the section after the table.
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");
}

TEST_F(Dimensions, BadLinesStopWithTheMapFileContext) {
  inputtest::Outcome o = read_map(map(" NODES 5\n"));
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Empty dimension for " + pad72("NODES")) + context2(" NODES 5") +
                           banner_tail("RDDIM       "));

  // A tab after the "=" is a blank too: the value is empty.
  o = read_map(map(" NODES =\t\n"));
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("Empty dimension for " + pad72("NODES")));

  o = read_map(map(" NODES = -1\n"));
  EXPECT_EQ(o.console, " Negative dimesion  " + std::string(9, ' ') + "-1  for " + pad72("NODES") +
                           "\n" + context2(" NODES = -1") + banner_tail("RDDIM       "));

  std::string tnam = "case.map";
  tnam.resize(34, ' ');
  for (const char* bad : {" NODES = x\n", " STOR = 3000000000\n", " STOR = 1e3\n"}) {
    o = read_map(map(bad));
    EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("Error while reading map file" + tnam))
        << bad;
  }

  // The sparse pattern of 70000 nodes does not fit 32 bits.
  o = read_map(map(" NODES = 70000\n"));
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            " Too many nodes: the sparse pattern n(n-1)/2+1 exceeds the largest size for NODES ="
            "       70000\n");

  o = read_map(" NODES = 1\nDIMENSIONS:\n");
  EXPECT_EQ(o.console, ff("First section in map/snap file must be DIMENSIONS:") +
                           context2(" NODES = 1") + banner_tail("RDDIM       "));
}

TEST_F(Dimensions, UnknownKeysAndTheWindingCheckWarnAndGoOn) {
  const inputtest::Outcome o =
      read_map(map(" nodes = 3\n HARM_N = 7\n TRAFOS = 2\n WINDINGS = 1\n"));
  ASSERT_EQ(o.status, -1);
  std::string tnam = "case.map";
  tnam.resize(34, ' ');
  EXPECT_EQ(o.console,
            ff("***WARN*** Unknown Dimension in map/snap file") +
                ff("WARNING: Unknown dimension: " + pad72("nodes")) +
                ff("or in-line data in map file: " + tnam) + ff("Continuing reading map file") +
                ff("***WARN*** Detected inconsistency between the number of transformers") +
                ff("***WARN***  and the maximum number of windings per transformer. ") +
                ff("***WARN*** The likely cause is an incorrect usage of the script directives") +
                ff("***WARN***  #TRANSFORMERS and #WINDINGS in custom models."));
  EXPECT_EQ(ndde::e_ndim(dim::nodes), 0);
  EXPECT_EQ(ndde::e_ndim(dim::trafos), 2);
}

TEST_F(Dimensions, TheWalkHandsEveryLineSectionToTheLineSizing) {
  wakro::set_line_sizing_hooks(&spy_sctline, &spy_sctline_init);
  write("p1.dta", "SUBS:\n 1\nTLINES:\n line a\n line b\nENDPAGE:\n");
  write("p2.dta", "INCLUDE 'lines.inc'\nVOLTAGES:\n 1 1.0\nENDPAGE\n");
  write("lines.inc", "TLINES:\n line c\nENDFILE\n");
  const inputtest::Outcome o = read_map(
      "DIMENSIONS:\n TLINES = 9\n STOR = 1\n NNODES = 5\n"
      "PARAMETERS:\n PRINT_STEP = 1E-4\n TIME_STEP = 2E-5\n"
      "MAP: p1.dta\n 0 1 2\n 1 1 1\n 0 0\n"
      "GLOBAL_TLINES:\n line g\n"
      "MAP: p2.dta\n 1 0\n 0 0\n"
      // Skipped by the case reader, and so by the walk: their INCLUDE lines
      // are not followed, a later time step is not taken.
      "IGNORE:\nINCLUDE 'lines.inc'\nUNKNOWN:\nINCLUDE 'lines.inc'\nPARAMETERS:\n TIME_STEP = 1E-3\n"
      "ENDCASE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(g_spy.init_calls, 1);
  const std::vector<std::string> expected = {"TLINES: p1.dta 2", "GLOBAL_TLINES: case.map 1",
                                             "TLINES: lines.inc 1"};
  EXPECT_EQ(g_spy.sections, expected);
  // The section gave 9; the walk added the four lines it counted.
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 13);
  EXPECT_EQ(ndde::nd6, 13);
  EXPECT_EQ(e_s1::delt, 2e-5);
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");
  EXPECT_EQ(fnames::iunit, 50);
  // The next line is the first parameter line of the reopened map file.
  Line72 line;
  rdcmnt();
  ASSERT_TRUE(rdcmnt_at_data());
  ASSERT_EQ(wakro::read_line72(line), wakro::ReadStatus::ok);
  EXPECT_EQ(line.trimmed(), " PRINT_STEP = 1E-4");
}

TEST_F(Dimensions, TheWalkStopsOnABadTimeStepOrAPageWithoutAKey) {
  inputtest::Outcome o = read_map("DIMENSIONS:\nPARAMETERS:\n TIME_STEP = 0\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  std::string name = "case.map";
  name.resize(34, ' ');
  EXPECT_EQ(o.console, ff("ERROR: Undefined, Zero or Negative time-step") + kRule +
                           " Following is the last read data line:\n " + pad72(" TIME_STEP = 0") +
                           "\n Data file name: " + name + "...\n" + banner_tail("RDDIM       "));

  o = read_map("DIMENSIONS:\nPARAMETERS:\n TIME_STEP = abc\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Error while reading map file" + name) + kRule +
                           " Following is the last read data line:\n " + pad72(" TIME_STEP = abc") +
                           "\n Data file name: " + name + "...\n" + banner_tail("RDDIM       "));

  // A page that holds nothing but its end is a page like any other.
  write("p0.dta", "ENDPAGE:\n");
  o = read_map("DIMENSIONS:\n NODES = 3\nPARAMETERS:\n TIME_STEP = 5E-5\n"
               "MAP: p0.dta\n 0 3 1 2 3\n 0 0\nMAP: p0.dta\n 0 0\nENDCASE:\n");
  EXPECT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");
  EXPECT_EQ(fnames::iunit, 50);
  inputtest::release_case_state();

  // A page that holds nothing but its end is a page like any other.
  write("p0.dta", "ENDPAGE:\n");
  o = read_map("DIMENSIONS:\n NODES = 3\nPARAMETERS:\n TIME_STEP = 5E-5\n"
               "MAP: p0.dta\n 0 3 1 2 3\n 0 0\nMAP: p0.dta\n 0 0\nENDCASE:\n");
  EXPECT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");
  EXPECT_EQ(fnames::iunit, 50);
  inputtest::release_case_state();

  write("p1.dta", " 1 2 3\nSUBS:\nENDPAGE:\n");
  o = read_map("DIMENSIONS:\nPARAMETERS:\n TIME_STEP = 5E-5\nMAP: p1.dta\n 1 0\n 0 0\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            ff("Page data file must begin with a section key: p1.dta"));
}

TEST_F(Dimensions, ALaterRunKeepsItsArraysAndTheLineAndDialogueEntries) {
  wakro::set_line_sizing_hooks(&spy_sctline, &spy_sctline_init);
  write("p1.dta", "TLINES:\n line a\n line b\nENDPAGE:\n");
  const std::string case_map =
      "DIMENSIONS:\n STOR = 5\n BRANCHES = 10\nPARAMETERS:\n TIME_STEP = 5E-5\n"
      "MAP: p1.dta\n 1 0\n 0 0\nENDCASE:\n";
  ndde::e_ndim(dim::pf_init) = 4;  // set by the start-up dialogue before the case is read
  ASSERT_EQ(read_map(case_map).status, -1);
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 2);
  EXPECT_EQ(ndde::e_ndim(dim::pf_init), 4);
  EXPECT_EQ(ndde::nd18, 4);
  double* stor_before = storage::storf.data();

  // Without tandem lines: no walk, the line entries stay, nothing is allocated.
  later_run();
  ASSERT_EQ(read_map(case_map).status, -1);
  EXPECT_EQ(g_spy.sections.size(), 1u);
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 2);
  EXPECT_EQ(ndde::e_ndim(dim::tlines_total), 2);
  EXPECT_EQ(ndde::e_ndim(dim::pf_init), 4);
  EXPECT_EQ(storage::storf.data(), stor_before);
  // After the table the reader stands at the map's "PARAMETERS:" key.
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");

  // With tandem lines: the line entries are counted again from zero (not added
  // to the previous run's), the counts cleared once, the line arrays re-sized.
  tandem_line::enable_tandem_line = true;
  ASSERT_EQ(read_map(case_map).status, -1);
  EXPECT_EQ(g_spy.sections.size(), 2u);
  EXPECT_EQ(g_spy.init_calls, 2);
  EXPECT_EQ(ndde::e_ndim(dim::tlines), 2);
  EXPECT_EQ(ndde::e_ndim(dim::tlines_total), 2);
  EXPECT_TRUE(e_s7::linemodel.allocated());
}

TEST_F(Dimensions, ALaterRunNeedingMoreThanTheFirstStopsInTheCheck) {
  ASSERT_EQ(read_map(map(" BRANCHES = 10\n RTCF = 5\n STOR = 5\n")).status, -1);
  later_run();
  // Less than the first run: goes on with the first run's arrays.
  ASSERT_EQ(read_map(map(" BRANCHES = 9\n")).status, -1);

  inputtest::Outcome o = read_map(map(" BRANCHES = 12\n RTCF = 6\n STOR = 123456\n"));
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("ERROR: Insufficient STOR array size (ND10):") +
                           " Required:*****;   Available:10005\n" +
                           ff("ERROR: Insufficient # of branches (ND15):") +
                           " Required:   12;   Available:   10\n" +
                           ff("ERROR: Insufficient RTCF array size (ND63):") +
                           " Required: 1006;   Available: 1005\n" + ff(std::string(33, '^')) +
                           ff("NDCHECK: Report this problem. ") + context2("PARAMETERS:") +
                           banner_tail("NDCHECK     "));
}

TEST_F(Dimensions, TheTransmitterAndReceiverCheckWritesTwoLines) {
  ASSERT_EQ(read_map(map(" TXRX = 3\n TX = 2\n")).status, -1);
  later_run();
  const inputtest::Outcome o = read_map(map(" TXRX = 4\n TX = 2\n"));
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            ff("ERROR: Insufficient wireless") + ff("       transmitters and receivers (ND38):") +
                " Required:    4;   Available:    3\n" + ff(std::string(33, '^')) +
                ff("NDCHECK: Report this problem. "));
}

TEST_F(Dimensions, ArraySizesThatLaterRunsReuseAreCheckedToo) {
  ASSERT_EQ(read_map(map(" CSCS = 2\n NMANA = 1\n")).status, -1);
  later_run();
  inputtest::Outcome o = read_map(map(" CSCS = 3\n NMANA = 2\n NODES = 4\n"));
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            ff("ERROR: Insufficient # of nodes (ND1):") + " Required:    4;   Available:    1\n" +
                ff("ERROR: Insufficient CSCS array size (ND14):") +
                " Required:    3;   Available:    2\n" +
                ff("ERROR: Insufficient SPARSITY size (ND19):") +
                " Required:    7;   Available:    1\n" +
                ff("ERROR: Insufficient # of MANA elements (ND72):") +
                " Required:    2;   Available:    1\n" + ff(std::string(33, '^')) +
                ff("NDCHECK: Report this problem. "));
}
