// The two-page sample case, read in the older and the newer subsystem style: the
// page map, the matrices and companion terms worked out by hand, the stored
// values, the channel tables and what the later subsystems' readers are handed.
#include <cmath>
#include <complex>
#include <string>

#include "case_fixture.h"
#include "files/units.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/harmimp.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/mna.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"

using casetest::CaseTest;
using casetest::sample_new_style_map;
using casetest::sample_old_style_map;

namespace {

constexpr double kTol = 1e-15;

class SampleCase : public CaseTest {
 protected:
  void read_sample(const std::string& map) {
    write_sample_pages();
    const inputtest::Outcome o = read_case(map);
    ASSERT_EQ(o.status, -1) << o.console;
    // The only console lines: the unknown section of page 2 and its place (the
    // 17th line of p2.dta).
    EXPECT_EQ(o.console,
              inputtest::ff("READDATA: Unknown data file section: " + inputtest::pad72("FOO:")) +
                  inputtest::ff("READDATA: The section key is in file p2.dta, line 17; the section is skipped."));
  }

  // Everything that does not depend on the style.
  void check_common() {
    using namespace branches;
    EXPECT_EQ(fnames::iunit, 49);
    EXPECT_EQ(quolbv3::nnode, 10);
    // Page map: S, 0, nodes per page; the page 2 record starts at 8.
    EXPECT_EQ(quolbv3::node(2), 0);
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(quolbv3::node(2 + k), k);
    EXPECT_EQ(quolbv3::node(8), 0);
    EXPECT_EQ(quolbv3::node(9), 2);
    EXPECT_EQ(quolbv3::node(10), 1);

    // Orders and voltages.
    EXPECT_EQ(e_s0::ssdim(1), 4);
    EXPECT_EQ(e_s0::ssdim(2), 2);
    EXPECT_EQ(e_s0::mbus(1), 4);
    EXPECT_EQ(e_s0::mbus(2), 2);
    EXPECT_EQ(e_s0::vdc(1, 1), 3.0);
    EXPECT_EQ(e_s0::vdc(2, 1), 10.0);

    // Subsystem 1: seven branches, hand-worked with dt = 50 us.
    EXPECT_EQ(int2::insb(1), 7);
    e_s0::RealView gm = e_s0::assign_gm_ptr(1);
    e_s0::FillView filled = e_s0::assign_filled_ptr(1);
    EXPECT_NEAR(gm(1, 1), 0.4, kTol);                       // b2: 2 C / dt
    EXPECT_NEAR(gm(1, 2), 1.0 / 4010.0 + 0.01, kTol);      // b1 + b6
    EXPECT_NEAR(gm(2, 1), 1.0 / 4010.0 + 0.01, kTol);
    EXPECT_NEAR(gm(2, 3), 1.0 / 405.25, kTol);              // b3
    EXPECT_NEAR(gm(3, 2), 1.0 / 405.25, kTol);
    EXPECT_EQ(gm(3, 4), 0.0);  // b4 is a switch
    EXPECT_EQ(gm(3, 3), 0.0);  // b5 is ideal
    EXPECT_EQ(gm(4, 4), 0.0);  // b7 is ideal
    EXPECT_EQ(gm(2, 2), 0.0);
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(filled(i, i));
    EXPECT_TRUE(filled(1, 2) && filled(2, 1) && filled(2, 3) && filled(3, 2));
    EXPECT_TRUE(filled(3, 4) && filled(4, 3));
    EXPECT_FALSE(filled(1, 3) || filled(1, 4) || filled(2, 4));

    // b1: R 10, L 0.1.
    EXPECT_EQ(ief(1, 1), 1);
    EXPECT_EQ(iet(1, 1), 2);
    EXPECT_TRUE(resistor(1, 1) && inductor(1, 1) && !capacitr(1, 1));
    EXPECT_NEAR(geq(1, 1), 1.0 / 4010.0, kTol);
    EXPECT_EQ(geqon(1, 1), geq(1, 1));
    EXPECT_EQ(geqof(1, 1), geq(1, 1));
    EXPECT_EQ(geqd(1, 1), geq(1, 1));
    EXPECT_NEAR(g2l(1, 1), 1.0 / 4000.0, kTol);
    EXPECT_NEAR(rlg(1, 1), 4000.0 / 4010.0, kTol);
    EXPECT_NEAR(rsc(1, 1), 40000.0 / 4010.0, 1e-13);
    EXPECT_EQ(rcg(1, 1), 0.0);
    EXPECT_EQ(rcl(1, 1), 0.0);
    EXPECT_EQ(rsl(1, 1), 0.0);
    EXPECT_NEAR(v12l(1, 1), -7.0 * 4000.0 / 4010.0, 1e-13);  // Vb = 3 - 10
    EXPECT_EQ(v20l(1, 1), 0.0);
    EXPECT_EQ(int1::xstor(1, 1), wakro::kNoCrossing);

    // b2: C 10 uF to ground.
    EXPECT_EQ(iet(2, 1), 0);
    EXPECT_NEAR(g2c(2, 1), 0.4, kTol);
    EXPECT_NEAR(rcg(2, 1), 1.0, kTol);
    EXPECT_NEAR(v20l(2, 1), 3.0, kTol);  // Vb = 3
    EXPECT_NEAR(harmimp::branch_c(2, 1), 1.0e-5, 1e-20);

    // b3: R 5, L 0.01, C 100 uF: X_L 400, X_C 0.25, Z 405.25.
    const double z = 405.25;
    EXPECT_NEAR(geq(3, 1), 1.0 / z, kTol);
    EXPECT_NEAR(rlg(3, 1), 400.0 / z, kTol);
    EXPECT_NEAR(rcg(3, 1), 0.25 / z, kTol);
    EXPECT_NEAR(rcl(3, 1), 100.0 / z, kTol);
    EXPECT_NEAR(rsc(3, 1), 2100.0 / z, 1e-14);
    EXPECT_NEAR(rsl(3, 1), 101.25 / z, kTol);
    EXPECT_NEAR(v12l(3, 1), 10.0 * 400.0 / z, 1e-13);  // Vb = 10 - 0
    EXPECT_NEAR(v20l(3, 1), 10.0 * 0.25 / z, kTol);
    EXPECT_EQ(harmimp::branch_r(3, 1), 5.0);
    EXPECT_EQ(harmimp::branch_l(3, 1), 0.01);
    EXPECT_NEAR(harmimp::branch_c(3, 1), 1.0e-4, 1e-19);

    // b4: switch in the list, not ideal, no conductance.
    EXPECT_TRUE(switch_(4, 1));
    EXPECT_FALSE(idealbr(4, 1));
    EXPECT_EQ(nsw(1), 1);
    EXPECT_EQ(brnsw(1, 1), 4);
    EXPECT_EQ(geq(4, 1), 0.0);

    // b5: zero-impedance source; b7: ideal attribute clears the resistor.
    EXPECT_TRUE(idealbr(5, 1) && source(5, 1));
    EXPECT_EQ(ebr(5, 1), 5.0);
    EXPECT_EQ(ebron(5, 1), 5.0);
    EXPECT_EQ(ebrd(5, 1), 5.0);
    EXPECT_TRUE(idealbr(7, 1));
    EXPECT_FALSE(resistor(7, 1));
    EXPECT_TRUE(e_s0::idealss(1));

    // Subsystem 2: local nodes map to 2 and 1.
    EXPECT_EQ(int2::insb(2), 2);
    EXPECT_EQ(ief(1, 2), 2);
    EXPECT_EQ(iet(1, 2), 1);
    e_s0::RealView gm2 = e_s0::assign_gm_ptr(2);
    EXPECT_NEAR(gm2(1, 2), 1.0 / 2000.0, kTol);
    EXPECT_NEAR(gm2(2, 1), 1.0 / 2000.0, kTol);
    EXPECT_NEAR(gm2(1, 1), 0.02, kTol);
    EXPECT_FALSE(e_s0::idealss(2));

    // Stored values and control maps.
    EXPECT_TRUE(quolbv3::stol(1));
    EXPECT_FALSE(quolbv3::stol(2));
    EXPECT_EQ(quolbv3::stoi(2), 7);
    EXPECT_EQ(quolbv3::stof(3), 2.5);
    EXPECT_EQ(quolbv3::stoc(1), std::complex<double>(1.5, -2.0));
    EXPECT_EQ(quolbv3::cx(2), 0.75);
    EXPECT_EQ(quolbv3::cxmap(1), 5);
    EXPECT_EQ(quolbv3::cxmap(2), 6);
    EXPECT_EQ(quolbv3::cxmap(3), 7);
    EXPECT_EQ(quolbv3::subs(1), 1);
    EXPECT_EQ(quolbv3::subs(2), 2);
    EXPECT_EQ(radiolinks::txrx(1), 1);
    EXPECT_EQ(radiolinks::txrx(2), 2);
    EXPECT_EQ(radiolinks::txrx(3), 3);

    // Channel tables.
    EXPECT_EQ(outppp::mplt, 3);
    EXPECT_EQ(outppp::mpgbi(1), 11);
    EXPECT_EQ(outppp::mpgbi(3), 13);
    EXPECT_EQ(outppp::iplt, 2);
    EXPECT_EQ(outppp::ipgbi(2), 22);
    EXPECT_EQ(outppp::pgbname(1).trimmed(), "Vout");
    EXPECT_EQ(outppp::pgbname(2).trimmed(), "C_name with blanks");
    EXPECT_EQ(outppp::pgbname(3).trimmed(), "Ia:phase");

    // MNA declarations: page 1 (1, 2) in subsystem 1; page 2 (global 2, ground).
    EXPECT_EQ(mna::mnaid, 2);
    EXPECT_EQ(mna::mnads(1).subsystem, 1);
    EXPECT_EQ(mna::mnads(1).npairs, 1);
    EXPECT_EQ(mna::mnads(1).nodes(1, 1), 1);
    EXPECT_EQ(mna::mnads(1).nodes(2, 1), 2);
    EXPECT_EQ(mna::mnads(2).subsystem, 2);
    EXPECT_EQ(mna::mnads(2).nodes(1, 1), 2);
    EXPECT_EQ(mna::mnads(2).nodes(2, 1), 0);

    // What the later readers were handed.
    ASSERT_EQ(calls_.description.size(), 2u);
    EXPECT_EQ(calls_.description[0], "<Group name=\"a\">");
    EXPECT_EQ(calls_.description[1], "C looks like a comment");
    EXPECT_EQ(calls_.description_width[0], 512u);
    ASSERT_EQ(calls_.dsmint.size(), 1u);
    EXPECT_EQ(calls_.dsmint[0], 8);
    ASSERT_EQ(calls_.dslint.size(), 2u);
    EXPECT_EQ(calls_.dslint_keys[0], "TLINES:");
    EXPECT_EQ(calls_.dslint_keys[1], "GLOBAL_TLINES:");
    EXPECT_EQ(calls_.dslint[1], (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(calls_.mna_setups, 1);
  }
};

TEST_F(SampleCase, NewStyleMapReadsBothPages) {
  read_sample(sample_new_style_map());
  check_common();
  EXPECT_EQ(quolbv3::ss_ref_style.view(), "NEW");
  // Page 1 declares 1 subsystem; page 2 declares 0, so its distinct count 1 counts.
  EXPECT_EQ(quolbv3::nsubs, 2);
  EXPECT_EQ(quolbv3::node(1), 0);
  EXPECT_EQ(quolbv3::node(7), 0);
  EXPECT_EQ(quolbv3::testss(1), 2);
  EXPECT_EQ(quolbv3::testss(2), 2);
  // TLINES of page 2: its position, the subsystems before it, its CSC indexes.
  EXPECT_EQ(calls_.dslint[0], (std::vector<std::int32_t>{8, 1, 0, 2}));
}

TEST_F(SampleCase, OldStyleMapReadsBothPages) {
  read_sample(sample_old_style_map());
  check_common();
  EXPECT_EQ(quolbv3::ss_ref_style.view(), "OLD");
  EXPECT_EQ(quolbv3::nsubs, 0);  // the older style counts no subsystems
  EXPECT_EQ(quolbv3::node(1), 1);
  EXPECT_EQ(quolbv3::node(7), 2);
  EXPECT_EQ(calls_.dslint[0], (std::vector<std::int32_t>{8, 0, 0, 2}));
}

TEST_F(SampleCase, DefaultReadersSkipTheirSectionsAndTheCaseReadsAgain) {
  wakro::reset_reader_hooks();
  wakro::reader_hooks().initialize_mna_map = &casetest::record_mna;  // required of every case
  wakro::use_branch_reader();
  write_sample_pages();
  inputtest::Outcome o = read_case(sample_new_style_map());
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(int2::insb(2), 2);
  EXPECT_EQ(calls_.mna_setups, 1);
  // A second run reads the case again into the state of the first; reading a
  // branch clears its final conductance (left from the first run here).
  int1::gfinal.fill(7.5);
  ctrl::mmm = 2;
  ctrl::firstrun = false;
  o = run([] { wakro_readdata(); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(int2::insb(1), 7);
  for (std::int32_t b = 1; b <= 7; ++b) EXPECT_EQ(int1::gfinal(b, 1), 0.0) << b;
  for (std::int32_t b = 1; b <= 2; ++b) EXPECT_EQ(int1::gfinal(b, 2), 0.0) << b;
  EXPECT_EQ(int1::gfinal(3, 2), 7.5);  // no third branch in subsystem 2
  EXPECT_NEAR(e_s0::assign_gm_ptr(1)(1, 2), 1.0 / 4010.0 + 0.01, kTol);
  EXPECT_EQ(quolbv3::nnode, 10);
  EXPECT_EQ(fnames::iunit, 49);
}

// The network's set-up of the work matrices is needed by every case: a reader
// without it stops once the case is read, naming it, instead of leaving the
// matrices unsized.
TEST_F(SampleCase, ReaderWithoutTheMatrixSetUpStopsNamingIt) {
  wakro::reset_reader_hooks();
  wakro::use_branch_reader();
  write_sample_pages();
  const inputtest::Outcome o = read_case(sample_new_style_map());
  EXPECT_EQ(o.status, 2000);
  EXPECT_NE(o.console.find(" Missing service: initialize_mna_map (the network's set-up of the work"
                           " matrices) was never registered.\n"),
            std::string::npos)
      << o.console;
  EXPECT_NE(o.console.find(" ERROR: Abnormal termination of WAKRO by INITIALIZE_MNA_MAP\n"),
            std::string::npos)
      << o.console;
  EXPECT_EQ(calls_.mna_setups, 0);
  reset_reader_state_for_next();
}

// The page records of both styles: the newer style's declared subsystem count
// wins over the count of distinct subsystems; a page without nodes, or with a
// subsystem of 0 and no nodes, is of the older style.
TEST_F(CaseTest, PageRecordsOfBothStyles) {
  write("p1.dta", "ENDPAGE:\n");
  const std::string dims =
      "DIMENSIONS:\n NODES = 6\n SUBSYS = 2\n NNODES = 20\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
      " PRINT_STEP = 50.0E-6\n FINISH_TIME = 0.001\n";
  inputtest::Outcome o = read_case(dims + "MAP: p1.dta\n 0 3 4 5 6\n 0 2 1 1 2\n 0 0\nENDCASE:\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(quolbv3::ss_ref_style.view(), "NEW");
  const std::int32_t record[] = {0, 0, 4, 5, 6};
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(quolbv3::node(k), record[k - 1]) << k;
  EXPECT_EQ(quolbv3::nnode, 5);
  EXPECT_EQ(quolbv3::nsubs, 2);
  EXPECT_EQ(quolbv3::testss(1), 1);
  EXPECT_EQ(quolbv3::testss(3), 2);

  // The same case with K = 3 declared, read again as a later run.
  ctrl::mmm = 2;
  ctrl::firstrun = false;
  write("case.map", dims + "MAP: p1.dta\n 0 3 4 5 6\n 3 2 1 1 2\n 0 0\nENDCASE:\n");
  o = run([] { wakro_readdata(); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(quolbv3::nsubs, 3);

  write("case.map", dims + "MAP: p1.dta\n 2 0\n 0 0\nMAP: p1.dta\n 0 0\n 0 0\nENDCASE:\n");
  o = run([] { wakro_readdata(); });
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(quolbv3::ss_ref_style.view(), "OLD");
  EXPECT_EQ(quolbv3::node(1), 2);
  EXPECT_EQ(quolbv3::node(3), 0);  // the second page's S
  EXPECT_EQ(quolbv3::nnode, 4);    // two records of 2 words
  EXPECT_EQ(quolbv3::nsubs, 0);
}

}  // namespace
