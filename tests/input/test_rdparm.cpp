// The "PARAMETERS:" section: times and their rounding, options per subsystem,
// warnings and the fatal cases, each with its exact console lines.
#include <string>

#include "diag/listout.h"
#include "input/dimensions.h"
#include "input/parameters.h"
#include "input_fixture.h"
#include "model/assorc.h"
#include "model/emtio.h"
#include "model/ideal.h"
#include "model/initialz.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/snpdat.h"

using inputtest::banner_tail;
using inputtest::ff;
using inputtest::pad72;

namespace {

const std::string kRule = " =========================================================\n";

std::string context1(const std::string& dumlin) {
  std::string name = "case.snp";
  name.resize(34, ' ');
  return kRule + " Following is the last read data line:\n " + pad72(dumlin) + "\n" +
         " Data file name: " + name + "...\n";
}

std::int32_t g_writeparm_unit = 0;
void spy_writeparm(std::int32_t& unit) { g_writeparm_unit = unit; }

class Parameters : public inputtest::InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    assorc::input = "SNAP";  // no walk: the section is read only by the parameter reader
    g_writeparm_unit = 0;
  }

  // Reads the dimensions (three subsystems plus `dims`), gives the initial values
  // and reads the parameter lines; the console of the parameter reader is kept.
  inputtest::Outcome read(const std::string& params, const std::string& dims = "") {
    // A new case read: the first run of a set starts from released state.
    wakro::close_all_units();
    if (ctrl::mmm == 1) inputtest::release_case_state();
    e_s1::delt = e_s1::print = e_s1::fintim = -1.0;
    options::echo = false;
    write("case.snp",
          "DIMENSIONS:\n SUBSYS = 3\n" + dims + "PARAMETERS:\n" + params + "ENDCASE:\n");
    fnames::inam = "case.snp";
    fnames::tnam = "case.snp";
    open("case.snp");
    const inputtest::Outcome dim = run([] {
      wakro_rddim();
      wakro_initialz();
    });
    EXPECT_EQ(dim.status, -1) << dim.console;
    return run([] { wakro_rdparm(); });
  }

  static std::string real(double x) { return std::string(" ").append(wakro::list_real(x)); }
};

}  // namespace

TEST_F(Parameters, PrintStepIsAWholeNumberOfSteps) {
  inputtest::Outcome o = read(" TIME_STEP = 5.0E-5\n PRINT_STEP = 1.2E-4\n FINISH_TIME = 0.1\n");
  ASSERT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(e_s1::delt, 5.0e-5);
  EXPECT_EQ(e_s1::print, 2 * 5.0e-5);
  EXPECT_EQ(e_s1::fintim, 0.1);
  EXPECT_EQ(fnames::section.trimmed(), "ENDCASE:");

  o = read(" TIME_STEP = 5.0E-5\n PRINT_STEP = 1.0E-5\n FINISH_TIME = 0.1\n");
  EXPECT_EQ(o.console, ff("***WARN*** Print-step should be at least time-step"));
  EXPECT_EQ(e_s1::print, 5.0e-5);

  // A huge ratio is rounded in double, not through a 32-bit integer.
  o = read(" TIME_STEP = 1E-9\n PRINT_STEP = 1E6\n FINISH_TIME = 1E7\n");
  EXPECT_EQ(o.status, -1);
  EXPECT_DOUBLE_EQ(e_s1::print, 1e6);
}

TEST_F(Parameters, APrintStepIsRoundedWithTheLastTimeStepWhereverItStands) {
  // Before the time step: 120 us is 2.4 steps of 50 us, so 100 us, no warning
  // (no pass has read the time step ahead here).
  inputtest::Outcome o = read(" PRINT_STEP = 1.2E-4\n TIME_STEP = 5.0E-5\n FINISH_TIME = 0.1\n");
  ASSERT_EQ(o.status, -1);
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(e_s1::print, 2 * 5.0e-5);
  EXPECT_EQ(e_s1::fintim, 0.1);

  // Between two time steps: the run's is the last, 50 us (with the first, 30
  // us, 100 us would be 90 us).
  o = read(" TIME_STEP = 3.0E-5\n PRINT_STEP = 1.0E-4\n TIME_STEP = 5.0E-5\n FINISH_TIME = 0.1\n");
  EXPECT_EQ(o.console, "");
  EXPECT_EQ(e_s1::delt, 5.0e-5);
  EXPECT_EQ(e_s1::print, 2 * 5.0e-5);

  // Below the time step that follows: raised to it with the warning.
  o = read(" PRINT_STEP = 2.0E-5\n TIME_STEP = 5.0E-5\n FINISH_TIME = 0.1\n");
  EXPECT_EQ(o.console, ff("***WARN*** Print-step should be at least time-step"));
  EXPECT_EQ(e_s1::print, 5.0e-5);
}

TEST_F(Parameters, FinishAndPrintTimesAreRaisedWithWarnings) {
  const inputtest::Outcome o = read(" TIME_STEP = 5.0E-5\n FINISH_TIME = 1.0E-5\n");
  ASSERT_EQ(o.status, -1);
  // No PRINT_STEP: print keeps the case reader's -1 and is raised to the step.
  EXPECT_EQ(o.console, ff("***WARN*** Print time has been adjusted to DELT") +
                           " WARNING: Print time has been adjusted to " + real(5e-5) + "\n" +
                           ff("***WARN*** Finish time has been adjusted to PrintTime") +
                           " WARNING: Finish time has been adjusted to " + real(5e-5) + "\n");
  EXPECT_EQ(e_s1::print, 5.0e-5);
  EXPECT_EQ(e_s1::fintim, 5.0e-5);
}

TEST_F(Parameters, BadTimesEndTheRun) {
  inputtest::Outcome o = read(" TIME_STEP =\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("WARNING: Using default time step of 50 usec.") + context1("ENDCASE:") +
                           banner_tail("RDPARM      "));

  o = read(" TIME_STEP = -1\n");
  EXPECT_EQ(o.console, ff("ERROR: Undefined, Zero or Negative time-step") +
                           context1(" TIME_STEP = -1") + banner_tail("RDPARM      "));
  o = read(" TIME_STEP = abc\n");
  EXPECT_EQ(o.console, ff("Error while reading data from line:") + context1(" TIME_STEP = abc") +
                           banner_tail("RDPARM      "));
  o = read(" TIME_STEP = NaN\n");
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("Error while reading data from line:"));
  o = read(" FINISH_TIME = 0\n");
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)),
            ff("ERROR: Undefined, Zero or Negative finish time"));
  // A map file without a finish time (here a misspelt key) stops, where a
  // snapshot takes its finish time from the dialogue.
  assorc::input = "DATA";
  o = read(" TIME_STEP = 5E-5\n FINISH_TIEM = 1\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console.substr(o.console.find(" ... continuing")),
            ff("... continuing reading data") + ff("ERROR: Undefined, Zero or Negative finish time") +
                context1("ENDCASE:") + banner_tail("RDPARM      "));
  assorc::input = "SNAP";
  o = read(" SNAP_TIME = -1\n");
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("ERROR!: Negative snap time"));
  o = read(" SNAP_IIISNP = -1\n");
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("ERROR: Negative snap time"));
  o = read(" SNAP_IIISNP = 2.5\n");
  EXPECT_EQ(o.console.substr(0, o.console.find(kRule)), ff("Error while reading data from line:"));
}

TEST_F(Parameters, TitleSnapshotAndPlotValues) {
  inputtest::Outcome o = read(
      " TITLE = 'My case'\n VERSION = 4.5\n START_TIME = -1\n SNAP_TIME = 0.25\n"
      " SNAP_IIISNP = 5000\n SCREEN_PMAX = 3\n SCREEN_PMIN = -3\n TIME_STEP = 5E-5\n"
      " FINISH_TIME = 1\n PRINT_STEP = 1E-4\n");
  ASSERT_EQ(o.status, -1);
  EXPECT_EQ(o.console, ff("***WARN*** WARNING!: Negative start time"));
  EXPECT_EQ(assorc::title.trimmed(), "My case");
  EXPECT_EQ(e_s1::time, 0.25);
  EXPECT_EQ(snpdat::iiisnp, 5000);
  EXPECT_EQ(outppp::pmax, 3.0);
  EXPECT_EQ(outppp::pmin, -3.0);

  read(" TITLE = My case\n TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n");
  EXPECT_EQ(assorc::title.trimmed(), "My");
  read(" TITLE =\n TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n");
  EXPECT_EQ(assorc::title.trimmed(), "***Blank_Title***");
}

TEST_F(Parameters, SettingsApplyToEverySubsystem) {
  const inputtest::Outcome o = read(
      " TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n CHATTER_LEVEL = 0\n SHORT_CIRCUIT "
      "= 0.01\n"
      " INTERPOLATE = NO\n REMOVE_CHATTER = NO\n DETECT_CHATTER = YES\n EXTRAPOLATE = NO\n");
  ASSERT_EQ(o.status, -1);
  EXPECT_EQ(o.console, ff("Disabling network interpolation.") + ff("Disabling chatter removal.") +
                           ff("Disabling source extrapolation."));
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(int2::glvl(k), 0.001);
    EXPECT_DOUBLE_EQ(ideal::gonmax(k), 100.0);
    EXPECT_FALSE(options::interpss(k));
    EXPECT_FALSE(options::rmchatter(k));
    EXPECT_FALSE(options::xterpsrc(k));
  }
  const bool detect_default = options::dtchatter(1);

  // A later run does not repeat the notices; a tiny short-circuit value and an
  // unknown word change nothing.
  ctrl::firstrun = false;
  ctrl::mmm = 2;
  const inputtest::Outcome o2 = read(
      " TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n CHATTER_LEVEL = 0.5\n "
      "SHORT_CIRCUIT = 1.0E-9\n"
      " INTERPOLATE = NO\n DETECT_CHATTER = no\n");
  EXPECT_EQ(o2.console, ff("Unknown option for DETECT_CHATTER: " + pad72("no")));
  EXPECT_EQ(int2::glvl(2), 0.5);
  EXPECT_EQ(ideal::gonmax(2), 1.0e8);  // the initial value
  EXPECT_EQ(options::dtchatter(3), detect_default);
}

TEST_F(Parameters, CaseOptionsAndTheirUnknownWords) {
  g_writeparm_unit = -1;
  wakro::set_writeparm_hook(&spy_writeparm);
  inputtest::Outcome o = read(
      " TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n PRINT_DIMENSIONS = YES\n "
      "USE_SUBSYSDIM = YES\n"
      " PRINT_PARAMETERS = YES\n USE_MANA = YES\n USE_SPARSE = YES\n SPARSE_LIMIT = 50\n"
      " SOLUTION = TRAPEZOIDAL\n ECHO_DATA = YES\nC a comment\n");
  ASSERT_EQ(o.status, -1);
  EXPECT_EQ(o.console, ff("Solution Method: Trapezoidal Integration") + ff(pad72("C a comment")) +
                           ff(pad72("ENDCASE:")));
  EXPECT_TRUE(options::prndim);
  EXPECT_TRUE(ndde::use_subsysdim);
  EXPECT_TRUE(options::prnparm);
  EXPECT_TRUE(mna::enable_mna);
  EXPECT_TRUE(int3::enable_sparse);
  EXPECT_EQ(int3::sparse_limit, 50);
  EXPECT_TRUE(options::echo);
  EXPECT_EQ(g_writeparm_unit, emtio::iout);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(options::rootmatch(k), 0);

  o = read(
      " TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n USE_SUBSYSDIM = maybe\n "
      "USE_SPARSE = NO\n"
      " USE_MANA = NO\n PRINT_PARAMETERS =\n SOLUTION = EULER_BACKWARD_DIFFERENCE_METHOD_X\n");
  EXPECT_EQ(o.console,
            ff("Unknown option for USE_SUBSYSDIM: " + pad72("maybe")) +
                ff("Unknown option for PRINT_PARAMETERS: " + pad72("")) +
                ff("***WARN*** Unrecognized Solution Method, Defaulting to Trapezoidal") +
                ff("################## WARNING ##################") +
                ff("Unrecognized Solution Method: EULER_BACKWARD_DIFFERENCE_METH") +
                ff("Defaulting to trapezoidal integration method.") +
                ff("#############################################"));
  EXPECT_FALSE(ndde::use_subsysdim);
  EXPECT_FALSE(int3::enable_sparse);
  EXPECT_FALSE(mna::enable_mna);
}

TEST_F(Parameters, UnknownKeysWarnAndReadingGoesOn) {
  const inputtest::Outcome o =
      read(" FOO = 1\n TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n");
  ASSERT_EQ(o.status, -1);
  std::string name = "case.snp";
  name.resize(34, ' ');
  EXPECT_EQ(o.console, ff("***WARN*** RDPARM: Unresolved parameter in Map/Snap file") +
                           ff("WARNING: RDPARM: Unresolved parameter: " + pad72("FOO")) +
                           ff("in data file: " + name) +
                           ff("RDPARM: The key is in file case.snp, line 4.") +
                           ff("... continuing reading data"));
  EXPECT_EQ(e_s1::delt, 5e-5);
}

TEST_F(Parameters, MnaElementsWithMnaDisabledEndTheRun) {
  const inputtest::Outcome o = read(
      " TIME_STEP = 5E-5\n FINISH_TIME = 1\n PRINT_STEP = 1E-4\n USE_MANA = NO\n", " NMANA = 2\n");
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, ff("***ERROR** Components that require MANA solution are detected. ") +
                           ff("***ERROR** However, MANA is disabled in Project Settings.") +
                           context1("ENDCASE:") + banner_tail("RDPARM      "));
}

TEST_F(Parameters, TheSectionMustBeThere) {
  write("case.snp", "BRANCHES:\n");
  fnames::tnam = "case.snp";
  open("case.snp");
  fnames::dumlin = "BRANCHES:";
  fnames::section = "BRANCHES:";
  const inputtest::Outcome o = run([] { wakro_rdparm(); });
  EXPECT_EQ(o.status, 2000);
  std::string name = "case.snp";
  name.resize(34, ' ');
  EXPECT_EQ(o.console, ff("Expecting section PARAMETERS: in map/snap file.") +
                           ff("Instead found section: " + pad72("BRANCHES:")) + kRule +
                           " Following is the last read data line:\n " + pad72("BRANCHES:") +
                           "\n Map/snap file name: " + name + "\n" + banner_tail("RDPARM      "));
}
