// The "PARAMETERS:" section: its key lines, the subsystem-only keys, the
// short-circuit value, the step counter of a run-time snapshot, and the
// parameter echo of the case reader, which writes the same lines; no snapshot
// without a step to write.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "case_runner.h"
#include "diag/console.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/emtio.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/snpdat.h"
#include "model/versin.h"
#include "snapshot/snapshot.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace snapshot_test {
namespace {

class ParameterSection : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    versin::version = 5.0;
    assorc::title = "A title, it's quoted";
    e_s1::delt = 50.0e-6;
    e_s1::print = 1.0e-4;
    e_s1::time = 0.25;
    ctrl::iii = 5000;
    outppp::pmax = 2.0;
    outppp::pmin = -2.0;
    int3::sparse_limit = 100;
  }
  void TearDown() override {
    snpdat::rtsnap = 0;
    wakro_test::reset_shared_state();
  }
  static void one_subsystem(double gonmax) {
    int2::nmat = 1;
    int2::glvl.allocate(1);
    ideal::gonmax.allocate(1);
    options::rootmatch.allocate(1);
    options::interpss.allocate(1);
    options::xterpsrc.allocate(1);
    options::rmchatter.allocate(1);
    options::dtchatter.allocate(1);
    int2::glvl(1) = 0.001;
    ideal::gonmax(1) = gonmax;
    options::interpss(1) = true;
  }
};

const std::vector<std::string> kCommon = {
    "",
    " PARAMETERS:",
    "  TITLE          = 'A title, it''s quoted'",
    "  VERSION        =   5.000000000000000     ",
    "  TIME_STEP      =  0.5000000000000000E-004",
    "  PRINT_STEP     =  0.1000000000000000E-003",
    "  SNAP_TIME      =  0.2500000000000000     ",
    "  SNAP_IIISNP    =         5000",
    "  SCREEN_PMAX    =   2.000000000000000     ",
    "  SCREEN_PMIN    =  -2.000000000000000     ",
};
const std::vector<std::string> kTail = {
    "  USE_SUBSYSDIM  = 'NO'",
    "  USE_MANA       = 'NO'",
    "  SPARSE_LIMIT   =          100",
    " END:",
    "",
};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& middle) {
  a.insert(a.end(), middle.begin(), middle.end());
  a.insert(a.end(), kTail.begin(), kTail.end());
  return a;
}

TEST_F(ParameterSection, WithoutSubsystemsTheSubsystemKeysAreLeftOut) {
  EXPECT_EQ(lines_of(wakro::snapshot::parameters_text()), joined(kCommon, {}));
}

TEST_F(ParameterSection, SubsystemKeysAndTheShortCircuitValue) {
  struct Case {
    double gonmax;
    const char* line;
  };
  const Case cases[] = {
      {0.0, "  SHORT_CIRCUIT  =  0.1000000000000000E-004"},    // no ON conductance: 1.0E-5
      {1.0e-10, "  SHORT_CIRCUIT  =  0.1000000000000000E-004"},  // not above 1E-10
      {1.0e8, "  SHORT_CIRCUIT  =  0.1000000000000000E-007"},
  };
  for (const Case& c : cases) {
    one_subsystem(c.gonmax);
    EXPECT_EQ(lines_of(wakro::snapshot::parameters_text()),
              joined(kCommon, {"  CHATTER_LEVEL  =  0.1000000000000000E-002", c.line,
                               "  SOLUTION       = 'TRAPEZOIDAL'", "  DETECT_CHATTER = 'NO'",
                               "  REMOVE_CHATTER = 'NO'", "  INTERPOLATE    = 'YES'",
                               "  EXTRAPOLATE    = 'NO'"}))
        << c.gonmax;
    wakro_test::release_arrays();
  }
}

TEST_F(ParameterSection, ARunTimeSnapshotRecordsTheStepBefore) {
  snpdat::rtsnap = 1;
  const std::vector<std::string> lines = lines_of(wakro::snapshot::parameters_text());
  EXPECT_EQ(lines[7], "  SNAP_IIISNP    =         4999");
}

// A snapshot with no case read (no channel names, no subsystem orders), or
// ordered before a run's first step, writes and counts nothing, and says so.
TEST_F(ParameterSection, NoSnapshotWithoutAStepToWrite) {
  wakro_test::WorkFolder folder;
  ASSERT_TRUE(folder.enter("wakro_no_snap_"));
  outppp::jplt = 10;
  for (const auto& [rtsnap, step] : {std::pair{1, 5000}, std::pair{0, 0}, std::pair{1, 0}}) {
    snpdat::rtsnap = rtsnap;
    ctrl::iii = step;
    std::ostringstream out;
    {
      wakro::ConsoleRedirect to(out);
      wakro_writesnap();
    }
    EXPECT_EQ(out.str(), " ***WARN*** WAKRO: Snapshot not written: the run has not taken its first step\n");
  }
  EXPECT_EQ(snpdat::icntsp + snpdat::icntsprt, 0);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
  folder.leave();
}

TEST_F(ParameterSection, TheEchoWritesTheSameLines) {
  std::ostringstream out;
  {
    wakro::ConsoleRedirect to(out);
    std::int32_t unit = emtio::iout;
    wakro_writeparm(unit);
  }
  EXPECT_EQ(out.str(), wakro::snapshot::parameters_text());
}

}  // namespace
}  // namespace snapshot_test
