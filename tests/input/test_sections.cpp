// Sections read one page at a time: the branch conversions and warnings with
// their exact console lines, the type letters, subsystem orders, radio links,
// voltages, description lines and MANA records.
#include <string>

#include "case_fixture.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"

using casetest::CaseTest;
using casetest::i11;
using inputtest::ff;

namespace {

const std::string kRule = ff(std::string(47, '-'));

class Section : public CaseTest {
 protected:
  // One subsystem of order 4 (or the SUBSYSDIM given); one page, local 1..4 =
  // global 1..4. The console of a read that must succeed.
  std::string read_ok(const std::string& page, const std::string& extra_dims = "",
                      const std::string& subsysdim = " 1 4\n", const std::string& params = "") {
    write("p1.dta", page + "ENDPAGE:\n");
    const auto o = read_case(
        "DIMENSIONS:\n NODES = 12\n SUBSYS = 2\n BRANCHES = 6\n NNODES = 12\n NMANA = 3\n" +
        extra_dims +
        "PARAMETERS:\n TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.001\n"
        " USE_MANA = YES\n" + params + "SUBSYSDIM:\n" +
        subsysdim + "MAP: p1.dta\n 0 4 1 2 3 4\n 1 1 1 1 1 1\n 0 0\nENDCASE:\n");
    EXPECT_EQ(o.status, -1) << o.console;
    return o.console;
  }
};

TEST_F(Section, SmallResistorBecomesIdealWithItsLines) {
  const std::string out = read_ok("BRANCHES:\n 1 2 R 0.0\n 2 3 RL 1.0E-9 0.1\n");
  EXPECT_EQ(out, kRule + " Branch " + i11(1) + "  in SS " + i11(1) + "\n" +
                     ff("has been converted to an ideal branch because") +
                     ff("R value is less than the user defined limit!") + kRule +
                     kRule + " Branch " + i11(2) + "  in SS " + i11(1) + "\n" + ff("Resistive portion") +
                     ff("has been converted to an ideal branch because") +
                     ff("R value is less than the user defined limit!") + kRule);
  using namespace branches;
  EXPECT_TRUE(idealbr(1, 1));
  EXPECT_EQ(e_s0::assign_gm_ptr(1)(1, 2), 0.0);
  // The inductor stays: its resistor is dropped from the series impedance.
  EXPECT_FALSE(idealbr(2, 1));
  EXPECT_FALSE(resistor(2, 1));
  EXPECT_DOUBLE_EQ(geq(2, 1), 1.0 / 4000.0);
  EXPECT_EQ(rsc(2, 1), 0.0);  // (X_C + R) G X_L with R taken as 0
}

TEST_F(Section, ShortCircuitLimitComesFromTheParameters) {
  write("p1.dta", "BRANCHES:\n 1 2 R 0.5\nENDPAGE:\n");
  const auto o = read_case(
      "DIMENSIONS:\n NODES = 4\n SUBSYS = 1\n BRANCHES = 2\n NNODES = 12\nPARAMETERS:\n"
      " TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.001\n SHORT_CIRCUIT = 1.0\n"
      "SUBSYSDIM:\n 1 4\nMAP: p1.dta\n 1 4 1 2 3 4\n 0 0\nENDCASE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_TRUE(branches::idealbr(1, 1));  // 0.5 ohm <= 1/GONMAX = 1 ohm
}

TEST_F(Section, VerySmallImpedanceWarnsAndStaysInTheMatrix) {
  const std::string out = read_ok("BRANCHES:\n 1 0 L 1.0E-15\n");
  EXPECT_EQ(out, kRule + " Inductance in Branch " + i11(1) + "  in SS " + i11(1) + "\n" +
                     " is extremely small:  1e-15\n" + ff("Very small R or L or very large C values") +
                     ff("can result in numerical instability due to") + ff("computer precision.") +
                     ff("We suggest converting this to an ideal branch!") + kRule);
  EXPECT_FALSE(branches::idealbr(1, 1));
  EXPECT_NEAR(e_s0::assign_gm_ptr(1)(1, 1), 2.5e10, 1e-4);  // 1 / (2 L / dt)
}

TEST_F(Section, TypeWordMissingMakesAnIdealBranch) {
  // Zero impedance: first the warning block (no part to name), then the
  // conversion.
  const std::string out = read_ok("BRANCHES:\n 1 2\n");
  EXPECT_EQ(out, kRule + ff("Very small R or L or very large C values") +
                     ff("can result in numerical instability due to") + ff("computer precision.") +
                     ff("We suggest converting this to an ideal branch!") + kRule + kRule + " Branch " + i11(1) + "  in SS " + i11(1) + "\n" +
                     ff("has been converted to an ideal branch") +
                     ff("because RLC values are out of range!") + kRule);
  EXPECT_TRUE(branches::idealbr(1, 1));
  EXPECT_TRUE(e_s0::idealss(1));
}

TEST_F(Section, TypeLettersTakeTheirValuesInOrder) {
  const std::string out = read_ok(
      "BRANCHES:\n"
      " 1 2 vRi 9.0 20.0 2.5\n"  // v consumes 9.0; R 20; initial current 2.5
      " 2 3 DE 7.0\n"            // deferred switch with a source
      " 3 4 RAL 1.0 2.0\n"       // the scan ends at A: L is not looked at
      " 4 0 S\n");
  EXPECT_EQ(out, "");
  using namespace branches;
  EXPECT_TRUE(resistor(1, 1));
  EXPECT_DOUBLE_EQ(geq(1, 1), 0.05);
  EXPECT_EQ(cbr(1, 1), 2.5);
  EXPECT_TRUE(defrdbr(2, 1) && switch_(2, 1) && source(2, 1));
  EXPECT_EQ(ebr(2, 1), 7.0);
  EXPECT_TRUE(idealbr(3, 1));
  EXPECT_FALSE(inductor(3, 1));
  EXPECT_EQ(nsw(1), 2);
  EXPECT_EQ(brnsw(1, 1), 2);
  EXPECT_EQ(brnsw(2, 1), 4);
  EXPECT_FALSE(idealbr(4, 1));  // a switch with no impedance is no ideal branch
}

TEST_F(Section, SubsysdimGivesEachSubsystemItsOwnOrder) {
  read_ok("IGNORE:\n", "", " 2 10 12\n", " USE_SUBSYSDIM = YES\n");
  EXPECT_EQ(e_s0::assign_gm_ptr(1).extent(1), 10);
  EXPECT_EQ(e_s0::assign_gm_ptr(2).extent(1), 12);
  EXPECT_TRUE(e_s0::assign_filled_ptr(2)(12, 12));
  EXPECT_EQ(e_s0::ssdim(1), 10);
  EXPECT_EQ(e_s0::ssdim(2), 12);
  EXPECT_EQ(e_s0::mbus(1), 10);
  EXPECT_EQ(e_s0::mbus(2), 12);
}

TEST_F(Section, RadioLinksAppendWithinASectionAndRestartInTheNext) {
  read_ok("RADIOLINKS:\n 2 1 2\n 1 3\nVOLTAGES:\n 1 1.0\nRADIOLINKS:\n 1 3\n",
          " TX = 3\n TXRX = 4\n");
  EXPECT_EQ(radiolinks::txrx(1), 3);
  EXPECT_EQ(radiolinks::txrx(2), 2);
  EXPECT_EQ(radiolinks::txrx(3), 3);
}

TEST_F(Section, VoltagesOfBadAndGroundNodes) {
  const std::string out = read_ok("VOLTAGES:\n 0 1.0\n 2 4.5\n");
  EXPECT_EQ(out, " ***WARN*** RDVOLTS: Invalid node #\n" +
                     ff("WARNING: RDVOLTS: Invalid node # on data line:") +
                     ff(" 0 1.0" + std::string(44, ' ')) + ff("in data file p1.dta      ...Data ignored"));
  EXPECT_EQ(e_s0::vdc(2, 1), 4.5);
}

TEST_F(Section, DescriptionListsAndChannelNames) {
  const std::string out = read_ok(
      "DATAStruct:\n 0\nMPGBS:\n 0\nPGBList:\nx1\nC y2\n", " PGBS = 2\n");
  EXPECT_EQ(out, "");
  EXPECT_TRUE(calls_.description.empty());
  EXPECT_EQ(outppp::mplt, 0);
  EXPECT_EQ(outppp::pgbname(2).trimmed(), "C y2");
}

// Names that begin with C, the first of them too, are names: a column-1 C is no
// comment where the names are read whole (before, the leading ones were skipped
// and the list came up short).
TEST_F(Section, ChannelNamesBeginningWithCAreKept) {
  const std::string out = read_ok("PGBList:\nConstant P\ncurrent\n", " PGBS = 2\n");
  EXPECT_EQ(out, "");
  EXPECT_EQ(outppp::pgbname(1).trimmed(), "Constant P");
  EXPECT_EQ(outppp::pgbname(2).trimmed(), "current");
}

TEST_F(Section, ManaRecordsOfSeveralPairs) {
  read_ok("MANA:\n 2 1 2\n 3 0\n 0\n");
  EXPECT_EQ(mna::mnaid, 2);
  EXPECT_EQ(mna::mnads(1).npairs, 2);
  EXPECT_EQ(mna::mnads(1).subsystem, 1);
  EXPECT_EQ(mna::mnads(1).nodes(1, 2), 3);
  EXPECT_EQ(mna::mnads(1).nodes(2, 2), 0);
  EXPECT_EQ(mna::mnads(2).npairs, 0);
  EXPECT_EQ(mna::mnads(2).subsystem, 0);
}

TEST_F(Section, ManaNodesInDifferentSubsystems) {
  write("p1.dta", "MANA:\n 1 1 2\nENDPAGE:\n");
  const auto o = read_case(
      "DIMENSIONS:\n NODES = 4\n SUBSYS = 2\n NNODES = 12\n NMANA = 1\nPARAMETERS:\n"
      " TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.001\n USE_MANA = YES\n"
      "SUBSYSDIM:\n 2 4 4\nMAP: p1.dta\n 0 2 1 1\n 2 2 1 2\n 0 0\nENDCASE:\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(0, 60), " Branch Nodes are in different SS:" + i11(1) + " :" + i11(2).substr(0, 12));
}

}  // namespace

namespace {

TEST_F(Section, PagesWithoutNodesAndGroundVoltages) {
  write("x.dta", "ENDPAGE:\n");
  write("a.dta", "VOLTAGES:\n 1 9.0\nPGBList:\nENDPAGE:\n");
  write("b.dta", "BRANCHES:\n 1\t2\tR\t20.0\nENDPAGE:\n");
  const auto o = read_case(
      "DIMENSIONS:\n NODES = 4\n SUBSYS = 1\n BRANCHES = 2\n NNODES = 12\nPARAMETERS:\n"
      " TIME_STEP = 50.0E-6\n PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.001\nSUBSYSDIM:\n 1 4\n"
      "MAP: x.dta\n 1 0\n 0 0\n"          // subsystem 1, no nodes
      "MAP: a.dta\n 1 1 0\n 0 0\n"        // local 1 is ground: its voltage is dropped
      "MAP: b.dta\n 1 2 3 1\n 0 0\n"
      "ENDCASE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(quolbv3::node(1), 1);  // x.dta: S, 0
  EXPECT_EQ(quolbv3::node(2), 0);
  EXPECT_EQ(quolbv3::node(3), 1);  // a.dta at position 4: S, 0, ground
  EXPECT_EQ(quolbv3::node(5), 0);
  EXPECT_EQ(quolbv3::nnode, 9);    // b.dta at position 7 with two nodes
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(e_s0::vdc(n, 1), 0.0);
  EXPECT_EQ(branches::ief(1, 1), 3);  // tab-separated line
  EXPECT_EQ(branches::iet(1, 1), 1);
  EXPECT_DOUBLE_EQ(e_s0::assign_gm_ptr(1)(1, 3), 0.05);
}

}  // namespace
