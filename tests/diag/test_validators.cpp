// Checks of subsystem, node and branch numbers, the page-node look-up and the
// voltage and current accessors of model code.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "diag/nodeaccess.h"
#include "diag/validators.h"
#include "fake_exchange.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/spcial.h"
#include "model/storage.h"

using diagtest::Capture;
using diagtest::fatal_status;

namespace {

const std::string kRule = " =========================================================\n";

std::string end0(const std::string& tag12) {
  return kRule + " ERROR: Abnormal termination of WAKRO by " + tag12 + "\n" + kRule + "  \n";
}

std::string end1(const std::string& tag12) {
  std::string line = " 1 2 R 1.0";
  line.resize(72, ' ');
  std::string name = "p1.dta";
  name.resize(34, ' ');
  return kRule + " Following is the last read data line:\n " + line + "\n Data file name: " + name +
         "...\n ERROR: Abnormal termination of WAKRO by " + tag12 + "\n" + kRule + "  \n";
}

// A free-format integer item: one blank, then the number in 11 columns.
std::string i11(long v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, " %11ld", v);
  return buf;
}

// Two subsystems of 4 and 3 nodes; subsystem 1 holds 3 branches; a page record
// at position 2 (subsystem 1; local 1..3 -> global 4, 2, 3).
class ModelChecks : public ::testing::Test {
 protected:
  void SetUp() override { make_state(); }
  void TearDown() override {
    release();
    fnames::tnam.blank();
    fnames::dumlin.blank();
    fnames::filename.blank();
    quolbv3::ss_ref_style.blank();
    e_s1::timezero = false;
    int2::nmat = 0;
    ndde::nd1 = 0;
    wakro::set_branch_term_hooks(nullptr, nullptr);
  }

  static void release() {
    e_s0::mbus.release();
    e_s0::vdc.release();
    int2::insb.release();
    spcial::vdcnew.release();
    quolbv3::node.release();
    quolbv3::testss.release();
    storage::stori.release();
    using namespace branches;
    for (auto* a : {&ief, &iet, &thisbr}) a->release();
    for (auto* a : {&switch_, &source}) a->release();
    for (auto* a : {&cbr, &geq, &ebr, &ccbr}) a->release();
  }

  void make_state() {
    release();  // a fatal stop released the shared groups; start again
    int2::nmat = 2;
    ndde::nd1 = 6;
    e_s0::mbus.allocate(2);
    e_s0::mbus(1) = 4;
    e_s0::mbus(2) = 3;
    e_s0::vdc.allocate(6, 2);
    int2::insb.allocate(2);
    int2::insb(1) = 3;
    spcial::vdcnew.allocate(6);
    quolbv3::node.allocate(8);
    quolbv3::node(1) = 1;
    quolbv3::node(2) = 0;
    quolbv3::node(3) = 4;
    quolbv3::node(4) = 2;
    quolbv3::node(5) = 3;
    quolbv3::node(6) = 7;  // above nd1
    quolbv3::testss.allocate(8);
    quolbv3::testss(1) = 2;
    storage::stori.allocate(4);
    using namespace branches;
    for (auto* a : {&ief, &iet, &thisbr}) a->allocate(4, 2);
    for (auto* a : {&switch_, &source}) a->allocate(4, 2);
    for (auto* a : {&cbr, &geq, &ebr, &ccbr}) a->allocate(4, 2);
    // b1: 5 -> 0, b2: 5 -> 3, b3: 3 -> 5 (switch).
    ief(1, 1) = 5;
    cbr(1, 1) = 1.5;
    ief(2, 1) = 5;
    iet(2, 1) = 3;
    cbr(2, 1) = 2.0;
    ief(3, 1) = 3;
    iet(3, 1) = 5;
    cbr(3, 1) = 7.0;
    switch_(3, 1) = true;
    fnames::tnam = "case.map";
    fnames::dumlin = " 1 2 R 1.0";
    fnames::filename = "p1.dta";
    quolbv3::ss_ref_style = "OLD";
  }

  // Runs f; the console, and the status in status_.
  template <class F>
  std::string check(F&& f) {
    Capture c;
    status_ = fatal_status(f);
    return c.str();
  }

  int status_ = 0;
};

TEST_F(ModelChecks, SubsystemNumbersOfModels) {
  EXPECT_EQ(check([] { wakro_testssn("MYMODEL", 2); }), "");
  EXPECT_EQ(status_, -1);
  EXPECT_EQ(check([] { wakro_testssn("MYMODEL", -1); }), "Negative Subsystem Number: -1\n" + end0("MYMODEL     "));
  EXPECT_EQ(status_, 2000);
  make_state();
  EXPECT_EQ(check([] { wakro_testssn("MYMODEL", 0); }), " Zero Subsystem Number\n" + end0("MYMODEL     "));
  make_state();
  EXPECT_EQ(check([] { wakro_testssn("MYMODEL", 3); }),
            "Current SS# (  3 ) is greater than max SS#   2\n" + end0("MYMODEL     "));
}

TEST_F(ModelChecks, SubsystemNumbersFromData) {
  EXPECT_EQ(check([] { wakro_checkssn(3); }),
            " Subsystem # " + i11(3) + "  is > max. subsystems to be used\n" +
                " Check for missmatches in mapfile and datafiles\n" + end1("CHECKSSN    "));
  make_state();
  EXPECT_EQ(check([] { wakro_checkssn(0); }), " Zero subsystem # encountered\n"
                                               " Check for missmatch between map file and datafile\n" +
                                                   end1("CHECKSSN    "));
  make_state();
  EXPECT_EQ(check([] { wakro_checkssn(-4); }), " Negative subsystem # encountered\n" + end1("CHECKSSN    "));
}

TEST_F(ModelChecks, PageNodesInBothStyles) {
  EXPECT_EQ(wakro_ssnum(2, 3), 1);  // older style: the page's subsystem
  quolbv3::ss_ref_style = "NEW";
  EXPECT_EQ(wakro_ssnum(2, 1), 2);  // newer style: the node's own
  EXPECT_EQ(wakro_nodenum(0, 9), 9);
  EXPECT_EQ(wakro_nodenum(2, 0), 0);
  EXPECT_EQ(wakro_nodenum(2, 2), 2);
  // Without a map file the case has the one subsystem 1.
  fnames::tnam.blank();
  int2::nmat = 0;
  EXPECT_EQ(wakro_ssnum(2, 3), 1);
  EXPECT_EQ(int2::nmat, 1);
}

TEST_F(ModelChecks, GlobalNodeChecks) {
  std::int32_t node = -1;
  EXPECT_EQ(check([&] { wakro_node(2, 1, node); }), "");  // global 4 = mbus(1)
  EXPECT_EQ(node, 4);
  e_s0::mbus(1) = 3;
  EXPECT_EQ(check([&] { wakro_node(2, 1, node); }),
            " Node number " + i11(1) + " =>" + i11(4) + " is > " + i11(3) + "\n" + end1("WAKRO_NODE  "));
  make_state();
  EXPECT_EQ(check([&] { wakro_node(2, 4, node); }),
            " Branch node " + i11(4) + " =>" + i11(7) + " is > " + i11(6) + "\n" + end1("WAKRO_NODE  "));
  make_state();
  EXPECT_EQ(check([] { wakro_nodenum(2, -1); }), " Negative node number encountered\n" + end1("NODENUM     "));
  make_state();
  // A local number that points past the node map is refused, not read.
  EXPECT_EQ(check([] { wakro_nodenum(2, 7); }),
            " Node number" + i11(7) + " lies outside the node map of the pages\n" + end1("NODENUM     "));
  EXPECT_EQ(status_, 2000);
}

TEST_F(ModelChecks, NodeAndBranchNumbersOfModels) {
  EXPECT_EQ(check([] { wakro_testnn("M", 4, 1); }), "");
  EXPECT_EQ(check([] { wakro_testnn("M", -2, 1); }), "Negative Node Number:   -2\n" + end0("M           "));
  make_state();
  EXPECT_EQ(check([] { wakro_testnn("M", 0, 1); }), " Zero Node Number\n" + end0("M           "));
  make_state();
  EXPECT_EQ(check([] { wakro_testnn("M", 4, 2); }),
            "Current Node# (    4 ) > max Node#    3 in SS  2\n" + end0("M           "));
  make_state();
  EXPECT_EQ(check([] { wakro_testbrn("M", 3, 1); }), "");
  EXPECT_EQ(check([] { wakro_testbrn("M", 0, 1); }), " Zero Branch Number\n" + end0("M           "));
  make_state();
  EXPECT_EQ(check([] { wakro_testbrn("M", 4, 1); }),
            "Current Branch# (    4 ) > max Br#    3 in SS  1\n" + end0("M           "));
  make_state();
  EXPECT_EQ(check([] { wakro_testbrn("M", -1, 1); }), "Negative Branch #   -1 in SS  1\n" + end0("M           "));
  make_state();
  // The subsystem is checked first.
  EXPECT_EQ(check([] { wakro_testbrn("M", 1, 5); }),
            "Current SS# (  5 ) is greater than max SS#   2\n" + end0("M           "));
}

TEST_F(ModelChecks, SwitchAttribute) {
  EXPECT_EQ(check([] { wakro_testswa("BRK", 3, 1); }), "");
  EXPECT_EQ(check([] { wakro_testswa("BRK", 2, 1); }),
            "Branch#    2 does not have a switch attribute.\nFROM and TO Nodes:     5     3\n" +
                end0("BRK         "));
  make_state();
  EXPECT_EQ(check([] { wakro_testswa("BRK", 9, 1); }),
            "Current Branch# (    9 ) > max Br#    3 in SS  1\n" + end0("BRK         "));
}

TEST_F(ModelChecks, DiscontinuedRoutine) {
  EXPECT_EQ(check([] { wakro_migrate("OLDMOD"); }),
            " OLDMOD       has been discontinued and cannot be supported\n"
            " See Migrating to WAKRO 3.1 section in on-line help\n" +
                end0("OLDMOD      "));
  EXPECT_EQ(status_, 2000);
}

TEST_F(ModelChecks, VoltagesReadGroundAsZero) {
  e_s0::vdc(2, 1) = 5.0;
  e_s0::vdc(3, 1) = 1.5;
  spcial::vdcnew(2) = -3.0;
  EXPECT_EQ(wakro_vvdc(1, 2, 3), 3.5);
  EXPECT_EQ(wakro_vvdc(1, 0, 2), -5.0);
  EXPECT_EQ(wakro_vvdc(1, 0, 0), 0.0);
  EXPECT_EQ(wakro_vnode(1, 0), 0.0);
  EXPECT_EQ(wakro_vnode(1, 3), 1.5);
  EXPECT_EQ(wakro_vvdcnew(0, 0), 0.0);
  EXPECT_EQ(wakro_vvdcnew(2, 0), -3.0);
  EXPECT_EQ(wakro_vnewnode(2), -3.0);
}

// The voltage reads make the node check in line: every bound of it, on either
// node, against wakro_testnn's own messages; the last node of each subsystem
// (its own count, not the other's) is read.
TEST_F(ModelChecks, VoltageReadsCheckEveryBoundOfTheNodeCheck) {
  e_s0::vdc(4, 1) = 2.5;
  e_s0::vdc(3, 2) = -1.25;
  e_s0::vdc(1, 2) = 0.5;
  EXPECT_EQ(wakro_vvdc(1, 4, 0), 2.5);
  EXPECT_EQ(wakro_vvdc(2, 3, 1), -1.75);
  EXPECT_EQ(wakro_vnode(2, 3), -1.25);
  struct Refused {
    std::int32_t ss, na, nb;
    std::string console;
  };
  const Refused table[] = {
      {-1, 1, 0, "Negative Subsystem Number: -1\n"},
      {0, 1, 0, " Zero Subsystem Number\n"},
      {3, 1, 0, "Current SS# (  3 ) is greater than max SS#   2\n"},
      {1, -2, 0, "Negative Node Number:   -2\n"},
      {1, 5, 0, "Current Node# (    5 ) > max Node#    4 in SS  1\n"},
      {2, 4, 0, "Current Node# (    4 ) > max Node#    3 in SS  2\n"},
      {2, 1, 4, "Current Node# (    4 ) > max Node#    3 in SS  2\n"},  // the second node
      {2, 0, -1, "Negative Node Number:   -1\n"},
  };
  for (const Refused& r : table) {
    SCOPED_TRACE(std::to_string(r.ss) + " " + std::to_string(r.na) + " " + std::to_string(r.nb));
    make_state();
    EXPECT_EQ(check([&r] { wakro_vvdc(r.ss, r.na, r.nb); }), r.console + end0("VVDC        "));
    EXPECT_EQ(status_, 2000);
  }
}

TEST_F(ModelChecks, AccessorsRefuseNumbersOutsideTheirTables) {
  EXPECT_EQ(wakro_vvdc(3, 0, 0), 0.0);  // ground needs no subsystem
  EXPECT_EQ(check([] { wakro_vvdc(1, 5, 0); }),
            "Current Node# (    5 ) > max Node#    4 in SS  1\n" + end0("VVDC        "));
  EXPECT_EQ(status_, 2000);
  make_state();
  EXPECT_EQ(check([] { wakro_vnode(0, 2); }), " Zero Subsystem Number\n" + end0("VNODE       "));
  make_state();
  EXPECT_EQ(check([] { wakro_vnode(1, -1); }), "Negative Node Number:   -1\n" + end0("VNODE       "));
  make_state();
  EXPECT_EQ(check([] { wakro_vvdcnew(7, 0); }),
            " Node number" + i11(7) + " is outside the solved node voltages:" + i11(6) + "\n" +
                end0("VVDCNEW     "));
  make_state();
  EXPECT_EQ(check([] { wakro_vnewnode(-3); }),
            " Node number" + i11(-3) + " is outside the solved node voltages:" + i11(6) + "\n" +
                end0("VNEWNODE    "));
  make_state();
  EXPECT_EQ(check([] { wakro_ivdcnew(1, 4, 0.0, false, false); }),
            "Current Branch# (    4 ) > max Br#    3 in SS  1\n" + end0("IVDCNEW     "));
  make_state();
  EXPECT_EQ(check([] { cdc(5, 5, 3); }),
            "Current SS# (  3 ) is greater than max SS#   2\n" + end0("CDC         "));
  EXPECT_EQ(status_, 2000);
}

struct TermCall {
  int calls = 0;
  bool notfirst = false, advance = true, regsrc = false;
};
TermCall g_term;

double spy_e(std::int32_t br, std::int32_t ss, const wakro::SubStep& s, bool regsrc, bool advance) {
  ++g_term.calls;
  g_term.notfirst = s.notfirst;
  g_term.advance = advance;
  g_term.regsrc = regsrc;
  return branches::ebr(br, ss) * (1.0 + s.elapsed);
}
double spy_i(std::int32_t br, std::int32_t ss, const wakro::SubStep& s) {
  return s.notfirst ? branches::ccbr(br, ss) : 0.0;
}

TEST_F(ModelChecks, NewBranchCurrent) {
  using namespace branches;
  // b2 (5 -> 3): i = J + (E + v5 - v3) G = 1 + (2 + 10 - 4) x 0.5 = 5.
  geq(2, 1) = 0.5;
  ebr(2, 1) = 2.0;
  ccbr(2, 1) = 1.0;
  source(2, 1) = true;
  spcial::vdcnew(5) = 10.0;
  spcial::vdcnew(3) = 4.0;
  EXPECT_DOUBLE_EQ(wakro_ivdcnew(1, 2, 0.5, false, false), 5.0);
  // With the network's routines: asked for a later, not advancing, value; the
  // owner's record 101 marks a registered source.
  wakro::set_branch_term_hooks(&spy_e, &spy_i);
  thisbr(2, 1) = 2;
  storage::stori(2) = 101;
  g_term = {};
  EXPECT_DOUBLE_EQ(wakro_ivdcnew(1, 2, 0.5, false, false), 1.0 + (3.0 + 6.0) * 0.5);
  EXPECT_EQ(g_term.calls, 1);
  EXPECT_TRUE(g_term.notfirst);
  EXPECT_FALSE(g_term.advance);
  EXPECT_TRUE(g_term.regsrc);
  EXPECT_EQ(storage::this_, 2);
  // Without a source the voltage term is not asked for.
  source(2, 1) = false;
  EXPECT_DOUBLE_EQ(wakro_ivdcnew(1, 2, 0.5, false, false), 1.0 + 6.0 * 0.5);
  EXPECT_EQ(g_term.calls, 1);
}

TEST_F(ModelChecks, CurrentBetweenTwoNodes) {
  // na = nb: node 5 to ground; b1 is entered 5 -> 0, so +cbr.
  double i = 0.0;
  EXPECT_EQ(check([&] { i = cdc(5, 5, 1); }), "");
  EXPECT_EQ(i, 1.5);
  EXPECT_EQ(check([&] { i = cdc(5, 3, 1); }), "");  // b2 entered 5 -> 3: -cbr
  EXPECT_EQ(i, -2.0);
  // At time zero the two branches between 3 and 5 draw the warning; the first
  // found gives the current.
  e_s1::timezero = true;
  EXPECT_EQ(check([&] { i = cdc(3, 5, 1); }),
            " Inappropriate use of obsolete function CDC\n"
            " to measure current across parallel branches\n"
            " between nodes: " + i11(3) + i11(5) + "\n"
            " Use CBR array to measure current through a branch\n"
            " See WAKRO Help on Writing Your Own Model\n");
  EXPECT_EQ(i, 2.0);
  EXPECT_EQ(check([] { cdc(1, 2, 1); }), " No branch between nodes" + i11(1) + i11(2) + "\n" + end0("CDC         "));
  EXPECT_EQ(status_, 2000);
}

}  // namespace
