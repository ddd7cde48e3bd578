// The time step: resets, time-zero matrix preparation and the storage-pointer
// checks with their reports.
#include <gtest/gtest.h>

#include "app/runloop.h"
#include "app/timestep.h"
#include "app_fixture.h"
#include "model/fatal.h"
#include "model/ideal.h"
#include "network/matrix.h"
#include "support/fatal_capture.h"

namespace app_test {
namespace {

constexpr const char* kStars = " ***************************************************";

class TimeStepTest : public AppTest {
 protected:
  // Runs one run through the run loop; the status of a fatal end, or -1.
  int run() {
    return wakro_test::fatal_status([] {
      wakro_initcom();
      bool v5 = true, gui = false;
      std::int32_t abort = 0;
      wakro_runloop(v5, gui, abort);
    });
  }
  std::vector<std::string> lines() const { return lines_of(out_.str()); }
  // The report lines from the row of asterisks up to the quit banner.
  std::vector<std::string> report() const {
    const auto all = lines();
    std::vector<std::string> r;
    bool in = false;
    for (const auto& l : all) {
      if (l == kStars) in = true;
      if (in && l.find("=====") != std::string::npos) break;
      if (in) r.push_back(l);
    }
    return r;
  }
  bool has_line(const std::string& text) const {
    for (const auto& l : lines())
      if (l == text) return true;
    return false;
  }
};

std::string row(const std::string& label, int recorded, int current) {
  char buf[64];
  std::string s = label;
  while (s.size() < 13) s.push_back(' ');
  std::snprintf(buf, sizeof buf, "%8d      %8d", recorded, current);
  return s + buf;
}

TEST_F(TimeStepTest, StorageUsedDifferentlyOnSecondStepStopsWithNexcReport) {
  data_start(0.5, 5.0, 0.5);
  case_.extraStorfOnOddSteps = true;
  EXPECT_EQ(run(), 2000);
  ASSERT_EQ(case_.dynSteps, (std::vector<std::int32_t>{0, 1}));
  const std::vector<std::string> expected = {
      kStars,
      " ERROR: Storage Pointers have become Corrupt!",
      " This usually occurs when user-written subroutines",
      " incorrectly increment NEXCx or NSTORx pointers",
      " when using IF/ELSE/ENDIF logic.",
      " It also occurs when using invalid snapshot files!",
      " ",
      " User Pointer values:",
      " Values At:    TIME=0           0.500000     Sec.",
      row("  NEXC    = ", 0, 0),
      row("  NSTORC  = ", 1, 1),
      row("  NSTORF  = ", 4, 5),
      row("  NSTORI  = ", 1, 1),
      row("  NSTORL  = ", 1, 1),
      " Quolb Pointer values:",
      row("  NSTOL   = ", 0, 0),
      row("  NSTOI   = ", 0, 0),
      row("  NSTOF   = ", 0, 0),
      row("  NSTOC   = ", 0, 0),
      row("  NVAR    = ", 0, 0),
      row("  NNODE   = ", 0, 0),
      row("  NSUBS   = ", 0, 0),
      row("  NTXFR   = ", 0, 0),
      " Check user-written models to ensure these pointers",
      " are incremented by the same amount each time step.",
      " ",
  };
  EXPECT_EQ(report(), expected);
  EXPECT_TRUE(has_line(" ERROR: Abnormal termination of WAKRO by CHKNEXC     "));
}

TEST_F(TimeStepTest, BeginPassWritingMoreConfigurationThanStepsReadStopsAtFirstStep) {
  data_start(0.5, 5.0, 0.5);
  case_.beginRtcf = 5;
  case_.stepRtcf = 4;
  EXPECT_EQ(run(), 2000);
  EXPECT_EQ(case_.dynSteps.size(), 1u);
  const auto r = report();
  ASSERT_GE(r.size(), 14u);
  EXPECT_EQ(r[3], " incorrectly increment NRTCx pointers");
  EXPECT_EQ(r[8], " Values At:    TIME=0            0.00000     Sec.");
  EXPECT_EQ(r[9], row("  NRTCL  = ", 1, 1));
  EXPECT_EQ(r[11], row("  NRTCF  = ", 6, 5));
  EXPECT_EQ(r[13], " Check user-written models to ensure these pointers");
  EXPECT_TRUE(has_line(" ERROR: Abnormal termination of WAKRO by CHKNRTC     "));
}

TEST_F(TimeStepTest, TransferStoreMustBeConsumedExactly) {
  data_start(0.5, 2.0, 0.5);
  case_.dynStxfrf = 3;
  case_.outStxfrf = 3;
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(case_.dynSteps.size(), 5u);

  wakro::reset_pointer_records();
  case_.dynSteps.clear();
  case_.outStxfrf = 2;
  EXPECT_EQ(run(), 2000);
  EXPECT_EQ(case_.dynSteps.size(), 1u);
  const auto r = report();
  ASSERT_GE(r.size(), 12u);
  EXPECT_EQ(r[3], " incorrectly increment NSTXFRx pointers");
  // The label reaches column 13; the recorded value starts at column 14.
  EXPECT_EQ(r[11], "  NSTXFRF  =        4             3");
  EXPECT_TRUE(has_line(" ERROR: Abnormal termination of WAKRO by CHKTXFRS    "));
}

TEST_F(TimeStepTest, FirstStepMayUseExactlyTheDimensionedStor) {
  data_start(0.5, 1.0, 0.5);
  case_.nexcPerStep = ndde::nd10;
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(ndde::e_ndim(dim::stor), ndde::nd10);
  EXPECT_EQ(ndde::e_ndim(dim::storf), 3);  // nstorf ends at 4: three slots used
  EXPECT_EQ(ndde::e_ndim(dim::storl), 0);
  EXPECT_EQ(ndde::e_ndim(dim::rtcf), 0);
  EXPECT_EQ(ndde::e_ndim(dim::subsys), 0);
}

TEST_F(TimeStepTest, OneStorSlotTooManyStopsWithRequiredDimension) {
  data_start(0.5, 1.0, 0.5);
  case_.nexcPerStep = ndde::nd10 + 1;
  ndde::nd29 = 2;
  EXPECT_EQ(run(), 2000);
  const auto all = lines();
  std::vector<std::string> tail;
  bool in = false;
  for (const auto& l : all) {
    if (l == " WAKRO: STOR array dimension exceeded") in = true;
    if (in && l.find("=====") != std::string::npos) break;
    if (in) tail.push_back(l);
  }
  const std::vector<std::string> expected = {
      " WAKRO: STOR array dimension exceeded",
      " Required Dimension:         101",
      " WAKRO: STORF array dimension exceeded",
      " Required Dimension:           3",
      " The storage is set by Quolb by adding up",
      " the storage requirements as specified by",
      " the #STORAGE: syntax in each component.",
  };
  EXPECT_EQ(tail, expected);
  EXPECT_TRUE(has_line(" ERROR: Abnormal termination of WAKRO by CHKSTOR     "));
}

TEST_F(TimeStepTest, ResetsGiveEachPassItsStartingPointers) {
  e_s0::ccin.allocate(3, 2);
  e_s0::ggin.allocate(3, 2);
  quolbv3::nbrch.allocate(2);
  e_s0::ccin.fill(7.0);
  e_s0::ggin.fill(7.0);
  quolbv3::nbrch.fill(4);
  e_s2::nexc = 9;
  storage::nstorf = 9;
  rt_config::nrtci = 9;
  storage::nstxfrl = 9;
  quolbv3::ncall_no = 9;
  quolbv3::nstof = 9;
  wakro_resetdsd();
  for (double v : e_s0::ccin) EXPECT_EQ(v, 0.0);
  for (double v : e_s0::ggin) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(quolbv3::nbrch(2), 0);
  EXPECT_EQ(e_s2::nexc, 0);
  EXPECT_EQ(storage::nstorf, 1);
  EXPECT_EQ(rt_config::nrtci, 1);
  EXPECT_EQ(storage::nstxfrl, 1);
  EXPECT_EQ(quolbv3::ncall_no, 1);
  EXPECT_EQ(quolbv3::nstof, 0);

  e_s0::ccin.fill(5.0);
  quolbv3::nbrch.fill(4);
  storage::nstorf = 6;
  e_s2::nexc = 6;
  quolbv3::nstof = 6;
  storage::nstxfrl = 6;
  quolbv3::npgb = 6;
  quolbv3::ncall_no = 6;
  wakro_resetdso();
  EXPECT_EQ(e_s0::ccin(3, 2), 5.0);
  EXPECT_EQ(quolbv3::nbrch(1), 0);
  EXPECT_EQ(storage::nstorf, 6);
  EXPECT_EQ(e_s2::nexc, 6);
  EXPECT_EQ(quolbv3::nstof, 6);
  EXPECT_EQ(storage::nstxfrl, 1);
  EXPECT_EQ(quolbv3::npgb, 0);
  EXPECT_EQ(quolbv3::ncall_no, 1);
}

TEST_F(TimeStepTest, BuildGmSavesDiagonalAndPutsColumnSums) {
  ndde::use_subsysdim = false;
  e_s0::gm.allocate(2, 2, 1);
  e_s0::mbus.allocate(1);
  ideal::gms.allocate(2, 1);
  e_s0::mbus(1) = 2;
  int2::nmat = 1;
  e_s0::gm(1, 1, 1) = 4.0;
  e_s0::gm(2, 1, 1) = -1.0;
  e_s0::gm(1, 2, 1) = -1.0;
  e_s0::gm(2, 2, 1) = 3.0;
  wakro_buildgm();
  EXPECT_EQ(ideal::gms(1, 1), 4.0);
  EXPECT_EQ(ideal::gms(2, 1), 3.0);
  EXPECT_EQ(e_s0::gm(1, 1, 1), 3.0);
  EXPECT_EQ(e_s0::gm(2, 2, 1), 2.0);
  EXPECT_EQ(e_s0::gm(2, 1, 1), -1.0);
  EXPECT_EQ(e_s0::gm(1, 2, 1), -1.0);
}

int solutions = 0;
int eniStarts = 0;
void count_solution() { ++solutions; }
void count_eni() { ++eniStarts; }

TEST_F(TimeStepTest, NetworkSolutionOnlyForCasesWithSubsystems) {
  solutions = eniStarts = 0;
  wakro::seams().intsolvi = &count_solution;
  wakro::seams().eni_init = &count_eni;
  data_start(0.5, 1.0, 0.5);
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(solutions, 0);
  EXPECT_EQ(case_.dynSteps.size(), 3u);

  // One subsystem with a 1 x 1 matrix: solved on every step, lines started once.
  wakro::reset_pointer_records();
  ndde::use_subsysdim = false;
  e_s0::gm.allocate(1, 1, 1);
  e_s0::mbus.allocate(1);
  ideal::gms.allocate(1, 1);
  int2::ntriang.allocate(1);
  e_s0::mbus(1) = 1;
  e_s0::gm(1, 1, 1) = 2.5;
  int2::nmat = 1;
  EXPECT_EQ(run(), -1);
  EXPECT_EQ(solutions, 3);
  EXPECT_EQ(eniStarts, 1);
  EXPECT_EQ(ideal::gms(1, 1), 2.5);
}

}  // namespace
}  // namespace app_test
