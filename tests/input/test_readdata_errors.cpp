// Malformed cases: each stops with its exact console lines, routine tag and
// input context, and none writes outside its tables (the sanitizer build runs
// these with every array index checked).
#include <string>

#include "case_fixture.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "support/scripted_peer.h"

using casetest::CaseTest;
using casetest::i11;
using casetest::quit_mode0;
using casetest::quit_mode1;
using casetest::quit_mode2;
using inputtest::ff;

namespace {

// One subsystem of order 4, one page whose local nodes 1..4 are global 1..4.
std::string dims(const std::string& extra = "") {
  return "DIMENSIONS:\n NODES = 4\n SUBSYS = 1\n BRANCHES = 2\n NNODES = 12\n STOF = 2\n"
         " CXMAP = 3\n NMANA = 1\n PGBS = 2\n TXRX = 2\n TX = 2\n" +
         extra +
         "PARAMETERS:\n TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.001\n"
         " USE_MANA = YES\n";
}

const char* const kPageEntry = "MAP: p1.dta\n 0 4 1 2 3 4\n 1 1 1 1 1 1\n 0 0\n";

std::string one_page_map(const std::string& before_page = "SUBSYSDIM:\n 1 4\n") {
  return dims() + before_page + kPageEntry + "ENDCASE:\n";
}

class BadCase : public CaseTest {
 protected:
  // Reads the one-page case with the page's sections `page`.
  inputtest::Outcome read_page(const std::string& page) {
    write("p1.dta", page + "ENDPAGE:\n");
    return read_case(one_page_map());
  }
};

TEST_F(BadCase, NodeNumberAboveTheNodeDimension) {
  write("p1.dta", "ENDPAGE:\n");
  const auto o = read_case(dims() + "SUBSYSDIM:\n 1 4\nMAP: p1.dta\n 0 3 1 999 -2\n 1 1 1 1 1\n 0 0\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " Invalid node number: " + i11(999) + "\n" + " Invalid node number: " + i11(-2) +
                           "\n" + ff("Errors occurred in PAGES section of map file") +
                           quit_mode2(" 0 3 1 999 -2", "case.map", "NODELKUP    "));
}

TEST_F(BadCase, EntryChecksOfTheNodeMap) {
  write("p1.dta", "ENDPAGE:\n");
  struct Bad {
    std::string entry, dumlin, console;
  };
  const Bad cases[] = {
      {" 2 1 1\n 0 0\n", " 2 1 1", " Out of range subsystem #" + i11(2) + "\n"},
      // The node line is read whole before its subsystem is looked at.
      {" 5 2 1 x\n 0 0\n", " 5 2 1 x", " Error reading map file\n"},
      {" 0 -1\n 0 0\n", " 0 -1", " Negative number of nodes: " + i11(-1) + "\n"},
      // 12 entries: the record (2 + N words) after position 2 cannot hold 11 nodes.
      {" 0 11 1 1 1 1 1 1 1 1 1 1 1\n", " 0 11 1 1 1 1 1 1 1 1 1 1 1",
       " ERROR: Insufficient # of NNODES (ND21):\n The node records of the map's pages need 13 or more, the case"
       " map allows NNODES = 12.\n"},
      {" 0 2 1 2\n 1 2 1 1\n 0 0\n", " 1 2 1 1", " Out of range # of subsystems in map file" + i11(2) + "\n"},
      {" 0 2 1 2\n 1 1 1 3\n 0 0\n", " 1 1 1 3", " Out of range subsystem # in map file" + i11(3) + "\n"},
      {" 0 2 1 2\n 1 0 1 1\n 0 0\n", " 1 0 1 1", " Incorrect subsystem count in map file" + i11(0) + "\n"},
      {" 0 2 1 2\n 1 1 1 1\n 0 3\n", " 0 3", " Out of range CSC begin index" + i11(3) + "\n"},
      {" 0 2 1 2\n 1 1 1 1\nFOO:\n", "FOO:", " Error reading CSC offsets in map file\n"},
  };
  for (const Bad& b : cases) {
    const auto o = read_case(dims() + "SUBSYSDIM:\n 1 4\nMAP: p1.dta\n" + b.entry + "ENDCASE:\n");
    EXPECT_EQ(o.status, 2000) << b.entry;
    EXPECT_EQ(o.console, b.console + quit_mode2(b.dumlin, "case.map", "NODELKUP    ")) << b.entry;
    reset_reader_state_for_next();
  }
}

TEST_F(BadCase, MisplacedEndcaseInAPageFile) {
  write("p1.dta", "VOLTAGES:\n 1 1.0\nENDCASE:\n");
  const auto o = read_case(one_page_map());
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Missplaced ENDCASE: keyword in data file") +
                           ff("Probably this should have been an ENDPAGE:") +
                           quit_mode1("ENDCASE:", "p1.dta", "ENDCASE     "));
}

TEST_F(BadCase, ElectricalNodesWithoutSubsystems) {
  const auto o = read_case(
      "DIMENSIONS:\n NODES = 3\nPARAMETERS:\n TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n"
      " FINISH_TIME = 0.001\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("If you have electrical nodes you must have") + ff("at least one subsystem.") +
                           quit_mode1("ENDCASE:", "case.map", "ENDCASE     "));
}

TEST_F(BadCase, UnknownBranchTypeLetter) {
  const auto o = read_page("BRANCHES:\n 1 2 RX 5.0 1.0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Error: Unknown branch type: X") + quit_mode1(" 1 2 RX 5.0 1.0", "p1.dta", "BRPARM      "));
}

TEST_F(BadCase, ShortedAndGroundedBranches) {
  auto o = read_page("BRANCHES:\n 1 1 R 1.0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Branch is shorted.") + " ***ERROR** Branch 1 in subsystem 1 is shorted.\n" +
                           quit_mode1(" 1 1 R 1.0", "p1.dta", "RDBRS       "));
  // Local nodes 0 0 have no subsystem: that check comes first.
  reset_reader_state_for_next();
  o = read_page("BRANCHES:\n 0 0 R 1.0\n");
  EXPECT_EQ(o.console, ff("SS for the Branch Nodes are not defined.") +
                           quit_mode1(" 0 0 R 1.0", "p1.dta", "RDBRS       "));
  // Both ends grounded through the page map: local 1 and 2 are global 0.
  reset_reader_state_for_next();
  write("p1.dta", "BRANCHES:\n 1 2 R 1.0\nENDPAGE:\n");
  o = read_case(dims() + "SUBSYSDIM:\n 1 4\nMAP: p1.dta\n 1 2 0 0\n 0 0\nENDCASE:\n");
  EXPECT_EQ(o.console, ff("Both nodes of a branch are grounded") +
                           " ***ERROR** Both ends of the branch 1 in subsystem 1 is grounded.\n" +
                           quit_mode1(" 1 2 R 1.0", "p1.dta", "RDBRS       "));
}

TEST_F(BadCase, TooManyBranchesAndCapacitanceOfZero) {
  auto o = read_page("BRANCHES:\n 1 2 R 1.0\n 2 3 R 1.0\n 3 4 R 1.0\n");
  EXPECT_EQ(o.console, " Too many branches:" + i11(3) + " >" + i11(2) + "\n" +
                           quit_mode1(" 3 4 R 1.0", "p1.dta", "RDBRS       "));
  reset_reader_state_for_next();
  o = read_page("BRANCHES:\n 1 2 RC 1.0 0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " Capacitance of 0 in branch" + i11(1) + " in SS" + i11(1) + "\n" +
                           quit_mode1(" 1 2 RC 1.0 0", "p1.dta", "BRPARM      "));
  // A value the type letters take and the line does not hold is refused, not
  // read as 0; after a '/' the values not given are 0 as before. A value after
  // those the type takes is refused, not dropped.
  struct Missing {
    std::string line, text;
  };
  for (const Missing& m :
       {Missing{" 1 2 RC 1.0", "RC needs 2 values: the capacitance C [uF] is missing"},
        Missing{" 1 2 RL 1.0", "RL needs 2 values: the inductance L [H] is missing"},
        Missing{" 1 2 RLE", "RLE needs 3 values: the resistance R [ohm] is missing"},
        Missing{" 2 0 R 1.0 0.02", "R takes 1 value: the value 0.02 is one too many"},
        Missing{" 1 2 RL 1.0 0.02 7.0", "RL takes 2 values: the value 7 is one too many"},
        Missing{" 1 2 S 1.5", "S takes 0 values: the value 1.5 is one too many"},
        // a letter after 'A' is not looked at, but may have its value
        Missing{" 1 2 RAL 1.0 2.0 3.0", "RAL takes 2 values: the value 3 is one too many"}}) {
    reset_reader_state_for_next();
    o = read_page("BRANCHES:\n" + m.line + "\n");
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(o.console, ff("Branch of type " + m.text) +
                             ff("RDBRS: The line is in file p1.dta, line 2.") +
                             quit_mode1(m.line, "p1.dta", "RDBRS       "));
  }
  reset_reader_state_for_next();
  o = read_page("BRANCHES:\n 1 2 RE 1.0 /\n");
  EXPECT_EQ(o.status, -1) << o.console;
}

TEST_F(BadCase, BranchLineLongerThanItsRecord) {
  const auto o = read_page("BRANCHES:\n 1 2 R 1.0" + std::string(250, ' ') + "7\n");
  EXPECT_EQ(o.status, 2000);
  const std::string first = ff("Branch data line longer than 255 characters");
  EXPECT_EQ(o.console.substr(0, first.size()), first);
  EXPECT_NE(o.console.find("Abnormal termination of WAKRO by RDBRS       \n"), std::string::npos);
}

TEST_F(BadCase, BranchesBeforeTheMatricesExist) {
  write("p1.dta", "BRANCHES:\n 1 2 R 1.0\nENDPAGE:\n");
  const auto o = read_case(dims() + kPageEntry + "SUBSYSDIM:\n 1 4\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  // Without SUBSYSDIM the subsystem has no nodes: the node check refuses first.
  EXPECT_EQ(o.console, " Node number " + i11(1) + " =>" + i11(1) + " is > " + i11(0) + "\n" +
                           quit_mode1(" 1 2 R 1.0", "p1.dta", "WAKRO_NODE  "));
}

TEST_F(BadCase, LocalNodeAboveThePagesNodeCount) {
  const auto o = read_page("VOLTAGES:\n 5 1.0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " Local node" + i11(5) + " is not a node of this page; its node count is" + i11(4) +
                           "\n" + quit_mode1(" 5 1.0", "p1.dta", "WAKRO_NODE  "));
}

TEST_F(BadCase, StoredValueOutOfBounds) {
  auto o = read_page("STOF:\n 0 1.0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("STOF Dimension out of bounds in MAP file") + quit_mode0("RDSTOX      "));
  reset_reader_state_for_next();
  o = read_page("STOF:\n 3 1.0\n");  // STOF = 2
  EXPECT_EQ(o.console, ff("STOF Dimension out of bounds in MAP file") + quit_mode0("RDSTOX      "));
  reset_reader_state_for_next();
  o = read_page("STOI:\n 1 x\n");
  EXPECT_EQ(o.console, ff("Error while reading data") + quit_mode1(" 1 x", "p1.dta", "RDSTOX      "));
}

TEST_F(BadCase, ControlMapOverflow) {
  auto o = read_page("CXMAP:\n 2 5 6\n 2 7 8\n");  // CXMAP = 3
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("CXMAP Dimension out of bounds in MAP file") + quit_mode0("RDCXMAPPING "));
  reset_reader_state_for_next();
  o = read_page("CXMAP:\n 0\n");
  EXPECT_EQ(o.console, ff("CXMAP Dimension out of bounds in MAP file") + quit_mode0("RDCXMAPPING "));
  reset_reader_state_for_next();
  o = read_page("CX:\n 1 0.5\n 2 0.5\n");  // CX = 0: one entry exists
  EXPECT_EQ(o.console, ff("CX Dimension out of bounds in MAP file") + quit_mode0("RDCXMAPPING "));
}

TEST_F(BadCase, ManaEntries) {
  auto o = read_page("MANA:\n 1 0 0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("SS for the Branch Nodes are not defined.") +
                           quit_mode1(" 1 0 0", "p1.dta", "WAKRO_MANA  "));
  reset_reader_state_for_next();
  o = read_page("MANA:\n 6 1 2 1 2 1 2 1 2 1 2 1 2\n");
  EXPECT_EQ(o.console, " Invalid number of MNA node pairs: " + i11(6) + "\n" +
                           quit_mode1(" 6 1 2 1 2 1 2 1 2 1 2 1 2", "p1.dta", "WAKRO_MANA  "));
  reset_reader_state_for_next();
  o = read_page("MANA:\n 1 1 2\n 1 3 4\n");  // NMANA = 1
  EXPECT_EQ(o.console, " Too many MNA elements: " + i11(2) + "\n" +
                           quit_mode1(" 1 3 4", "p1.dta", "WAKRO_MANA  "));
}

TEST_F(BadCase, SubsysdimOverItsDimensions) {
  write("p1.dta", "ENDPAGE:\n");
  auto o = read_case(one_page_map("SUBSYSDIM:\n 2 4 4\n"));
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " Invalid number of subsystems specified: " + i11(2) + "\n" +
                           quit_mode2(" 2 4 4", "case.map", "READSSDIM   "));
  reset_reader_state_for_next();
  o = read_case(one_page_map("SUBSYSDIM:\n 1 9\n"));
  EXPECT_EQ(o.console, " Subsystem dimension size is out of range: " + i11(9) + "\n" +
                           ff("Errors occurred in SUBSYSDIM section of map file") +
                           quit_mode2(" 1 9", "case.map", "READSSDIM   "));
}

TEST_F(BadCase, SecondSubsysdimCannotChangeAnOrder) {
  write("p1.dta", "BRANCHES:\n 1 2 R 10.0\nSUBSYSDIM:\n 1 4\nSUBSYSDIM:\n 1 3\nENDPAGE:\n");
  const auto o = read_case(one_page_map());
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " SUBSYSDIM: a later section changes the order of subsystem" + i11(1) + " from" +
                           i11(4) + " to" + i11(3) + "\n" +
                           ff("Errors occurred in SUBSYSDIM section of map file") +
                           quit_mode2(" 1 3", "case.map", "READSSDIM   "));
}

TEST_F(BadCase, SecondEqualSubsysdimKeepsTheBranchesInTheMatrix) {
  write("p1.dta", "BRANCHES:\n 1 2 R 10.0\nSUBSYSDIM:\n 1 4\nENDPAGE:\n");
  const auto o = read_case(one_page_map());
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_DOUBLE_EQ(e_s0::assign_gm_ptr(1)(1, 2), 0.1);
}

TEST_F(BadCase, DataLineAfterEndpage) {
  write("p1.dta", "VOLTAGES:\n 1 1.0\nENDPAGE:\n");
  const auto o = read_case(dims() + "SUBSYSDIM:\n 1 4\n" + kPageEntry + " 7 7\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Data line found after ENDPAGE: where a section key or ENDCASE: was expected") +
                           quit_mode1(" 7 7", "case.map", "ENDPAGE     "));
}

TEST_F(BadCase, ChannelListsLongerThanTheirTables) {
  auto o = read_page("MPGBS:\n 11 1 2 3 4 5 6 7 8 9 10 11\n");  // PGBS = 2: tables of 10
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("ERROR: Insufficient PGB array size (ND13):") +
                           ff("The output list (MPGBS:) has 11 channels, the case map's PGBS = 2 leaves room for 10.") +
                           quit_mode1(" 11 1 2 3 4 5 6 7 8 9 10 11", "p1.dta", "RDMPGB      "));
  reset_reader_state_for_next();
  o = read_page("IPGBS:\n -1\n");
  EXPECT_EQ(o.console, " Invalid number of output channels: " + i11(-1) + "\n" +
                           quit_mode1(" -1", "p1.dta", "RDIPGB      "));
  // Three names for two channels: the third is not taken as a new list; the
  // names are counted to the list's end and the dimension named.
  reset_reader_state_for_next();
  o = read_page("PGBList:\na\nb\nd\n");
  EXPECT_EQ(o.console, ff("ERROR: Insufficient PGB array size (ND13):") +
                           ff("The channel-name list (PGBList:) has 3 names, the case map allows PGBS = 2.") +
                           " =========================================================\n"
                           " ERROR: Abnormal termination of WAKRO by RDPGBLIST   \n"
                           " =========================================================\n  \n");
  // One name for two: the page's end is not taken as a name.
  reset_reader_state_for_next();
  o = read_page("PGBList:\na\n");
  EXPECT_EQ(o.console, ff("PGBList: number of names differs from the number of output channels") +
                           quit_mode1("a", "p1.dta", "RDPGBLIST   "));
}

TEST_F(BadCase, SmallSectionsRefuseBadCounts) {
  auto o = read_page("SUBS:\n 3 1 2 4\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " Invalid # of local subsystems: " + i11(3) + "\n" +
                           quit_mode2(" 3 1 2 4", "case.map", "SETSUBS     "));
  reset_reader_state_for_next();
  write("p1.dta", "SUBS:\n 2 1 4\nENDPAGE:\n");
  o = read_case(dims(" SUBSYSPAGE = 3\n") + "SUBSYSDIM:\n 1 4\n" + kPageEntry + "ENDCASE:\n");
  EXPECT_EQ(o.console, " Invalid local subsystem number: " + i11(4) + "\n" +
                           ff("Errors occurred in SUBS section of map file") +
                           quit_mode2(" 2 1 4", "case.map", "SETSUBS     "));
  reset_reader_state_for_next();
  o = read_page("RADIOLINKS:\n 2 1 2\n 1 2\n");  // TXRX = 2
  EXPECT_EQ(o.console, " Invalid # of wireless radio links: " + i11(1) + "\n" +
                           quit_mode2(" 1 2", "case.map", "SET_RADIO   "));
  reset_reader_state_for_next();
  o = read_page("RADIOLINKS:\n 2 0 3\n");  // TX = 2
  EXPECT_EQ(o.console, " Invalid wireless radio link index: " + i11(0) + "\n" +
                           " Invalid wireless radio link index: " + i11(3) + "\n" +
                           ff("Errors occurred in RADIOLINKS section of mapfile") +
                           quit_mode2(" 2 0 3", "case.map", "SET_RADIO   "));
}

TEST_F(BadCase, EntryCutShortByTheNextKey) {
  // Two pairs announced, one given: the key after it is not a node number.
  const auto o = read_page("MANA:\n 2 1 2\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("Error while reading MNA data") + quit_mode1(" 2 1 2", "p1.dta", "WAKRO_MANA  "));
}

// A section reader that reads nothing of its section (here the transformer
// reader of the two-page sample case) would be called there again without
// end: the read stops, naming the section and where it stands (a read that
// went on would end the test process after 10 s, failing it).
TEST_F(BadCase, SectionReaderThatReadsNothingStops) {
  wakro_test::Watchdog dog("BadCase.SectionReaderThatReadsNothingStops", 10);
  wakro::reader_hooks().dsmint = [](std::int32_t&) {};
  write_sample_pages();
  const auto o = read_case(casetest::sample_old_style_map());
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("The reader of the section TRANSFORMERS: read nothing of it (p2.dta, line 11): the case "
                          "cannot be read on") +
                           quit_mode1("TRANSFORMERS:", "p2.dta", "READDATA    "));
}

}  // namespace

namespace {

// Without the network room's branch reader registered, a "BRANCHES:" section is
// not skipped: the read stops with a message naming the missing reader.
TEST_F(BadCase, BranchesSectionWithoutABranchReaderStops) {
  wakro::reset_reader_hooks();
  const auto o = read_page("BRANCHES:\n 1 0 R 10.0\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("No branch reader (wakro_rdbrs) is registered: the BRANCHES: section "
                          "cannot be read.") +
                           quit_mode1("BRANCHES:", "p1.dta", "RDBRS       "));
}

}  // namespace
