// A case holding every kind of state the snapshot carries runs from its data
// files with snapshots on the way, then resumes from the one taken while the
// breaker waits for its current zero to open, to the same finish:
//   - subsystem 1: a source, the breaker, a transformer with a tap changer
//     (tapping after the snapshot) and a saturable core, a dynamic load, a
//     thyristor valve fired every cycle, a lag and a delay block;
//   - three lines (Bergeron, frequency-dependent, finite-difference) into
//     subsystem 2, so that the line directory is written.
// The resumed channels equal the uninterrupted run's as the channel files
// print them; the snapshot both runs write later is the same file; the storage
// pointer checks stay silent.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>

#include "app/driver.h"
#include "app/engine_services.h"
#include "app/seams.h"
#include "blocks/continuous.h"
#include "case_runner.h"
#include "devices/breakers.h"
#include "devices/dynamic_loads.h"
#include "devices/pe_switch.h"
#include "diag/console.h"
#include "lines/fd_records.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/rt_config.h"
#include "output/dialog.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"
#include "transformers/saturation.h"
#include "transformers/taps.h"
#include "transformers/tf_cfg.h"

namespace snapshot_test {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kOmega = 2.0 * kPi * 50.0;
constexpr double kClose = 0.0123;
constexpr double kOpenOrder = 0.0695;  // before the snapshot at 0.07; the zero comes after it
constexpr double kReclose = 0.085;     // after it: the valve conducts again
constexpr double kTapAt = 0.095;       // after it

// Branches of subsystem 1 (page a, in file order).
enum StudyBranch : std::int32_t {
  kSource = 1, kBreaker, kMagnetising, kLoadR, kLoadL, kValve, kValveLoad
};

double g_filtered = 0.0, g_delayed = 0.0;

void study_dsdyn_begin() {
  e_tf2w_cfg(1, 1, 10.0, 50.0, 0.1, 0.005, 7.0, 7.0, 1.0);
  tsat1_cfg(kMagnetising, 0, 0, 1, 10.0, 7.0, 0.3, 1.1, 50.0, 1.0, 2.0, 0.0);
  load1p2_cfg(0, 1, 7.0, 1.0, 50.0, 0.05, 0.02, 1.0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  peswitch1_cfg(1, 1, 1.0e-3, 1.0e6, 100.0, 100.0, 0.001, 0.0);
}

void study_dsdyn() {
  const double t = e_s1::time;
  branches::ebr(kSource, 1) = 10.0 * std::sin(kOmega * t);
  const bool closed = (t >= kClose && t < kOpenOrder) || t >= kReclose;
  wakro_breaker1(1, kBreaker, 1.0e-3, 1.0e8, 0.0, false, closed ? 1 : 0);
  const double tap = t < kTapAt ? 1.0 : 1.05;
  trtap5(1, 2, 1, tap);
  tsat1_exe(kMagnetising, 0, 0, 1, tap, 1);
  load1p2_exe(1, kLoadR, kLoadL, 1.0);
  // Fired from 30 to 60 degrees of every cycle of the source.
  const double phase = std::fmod(kOmega * t, 2.0 * kPi);
  peswitch1_exe(1, kValve, phase >= kPi / 6.0 && phase < kPi / 3.0 ? 1 : 0, 0.0);
  g_filtered = realp2(1.0, 0.005, e_s0::vdc(3, 1));
  g_delayed = delay(0.0012, 100, g_filtered);
}

void study_dsout() {
  const double values[10] = {branches::ebr(kSource, 1), branches::cbr(kBreaker, 1), e_s0::vdc(3, 1),
                             branches::cbr(kValve, 1), e_s0::vdc(1, 2), e_s0::vdc(2, 2),
                             e_s0::vdc(3, 2), g_filtered, g_delayed, branches::cbr(kMagnetising, 1)};
  for (int k = 0; k < 10; ++k) e_s4::pgb(k + 1) = values[k];
}

void nothing() {}

struct Outcome {
  int status = -1;
  std::string console;
};

// One run of the driver in the present folder with the dialogue's answers.
Outcome drive(const std::vector<std::string>& answers) {
  std::string text;
  for (const std::string& a : answers) text += a + "\n";
  std::istringstream in(text);
  std::ostringstream console;
  Outcome o;
  {
    wakro::ConsoleRedirect out(console);
    wakro::ConsoleRedirect err(console, true);
    wakro_test::reset_shared_state();
    wakro::plug_engine_services();
    wakro::Seams& s = wakro::seams();
    s.dsdyn = &study_dsdyn;
    s.dsout = &study_dsout;
    s.dsdyn_begin = &study_dsdyn_begin;
    s.dsout_begin = &nothing;
    wakro::set_dialog_input(&in);
    o.status = wakro_test::fatal_status([] {
      wakro::FixedText<128> host("localhost");
      std::int32_t port = -1, id = 1;
      bool v5 = false, gui = false;
      wakro_driver(v5, gui, host, port, id);
    });
    wakro::set_dialog_input(nullptr);
    wakro_test::reset_shared_state();
  }
  o.console = console.str();
  return o;
}

class StudyRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.enter("wakro_study_"));
    for (const auto& f : fs::directory_iterator(WAKRO_SNAP_STUDY_DIR)) fs::copy(f.path(), f.path().filename());
    write_file("mfd.tlo", linetest::lossy_mfdtd(1, 1, 31000.0).file());
  }
  void TearDown() override { folder_.leave(); }

  static std::map<std::string, std::vector<double>> channels(const std::string& name) {
    return channel_rows(read_file(name));
  }
  // The values of a labelled group of subsystem 1 (the first such label).
  static std::vector<double> group_after(const std::string& snap, const std::string& label, int n) {
    const std::string text = read_file(snap);
    std::istringstream in(text.substr(text.find("\n " + label + "\n") + label.size() + 3));
    std::vector<double> v(static_cast<std::size_t>(n));
    for (double& x : v) in >> x;
    return v;
  }

  wakro_test::WorkFolder folder_;
};

TEST_F(StudyRoundTrip, ResumedRunEqualsTheUninterruptedOne) {
  // From data: snapshots every 35 ms (study_01 .. study_04), channel files "full".
  const Outcome full = drive({"0", "-2", "0.035", "study", "study.map", "1", "1", "full", "0", "0"});
  ASSERT_EQ(full.status, -1) << full.console;
  ASSERT_TRUE(fs::exists("study_02.snp")) << full.console;

  // At 70 ms the breaker has its opening order and waits for the current zero
  // (IORV armed for a rising or a falling current); the valve fires every cycle.
  const std::vector<double> iorv = group_after("study_02.snp", "!IORV", 7);
  EXPECT_EQ(std::abs(iorv[kBreaker - 1]), 13.0);
  // The transformer's record keeps the form its configuration routine used.
  EXPECT_NE(read_file("study_02.snp").find(" !*** TRANSFORMER DATA\n          2          -1           1 \n"),
            std::string::npos);

  // Resumed from 70 ms: one snapshot 35 ms later (at 105 ms), to the finish.
  const Outcome res = drive({"1", "1", "0.035", "res", "0", "1", "1", "resumed", "0", "study_02", "0.07", "0"});
  ASSERT_EQ(res.status, -1) << res.console;
  EXPECT_EQ(res.console.find("Corrupt"), std::string::npos) << res.console;

  const auto a = channels("full_01.out");
  const auto b = channels("resumed_01.out");
  ASSERT_EQ(b.size(), 700u);  // 70 ms at 0.1 ms
  for (const auto& [t, row] : b) {
    ASSERT_GT(std::stod(t), 0.07);
    const auto it = a.find(t);
    ASSERT_NE(it, a.end()) << t;
    ASSERT_EQ(row.size(), 10u);
    for (std::size_t c = 0; c < row.size(); ++c) EXPECT_EQ(row[c], it->second[c]) << "time " << t << " channel " << c + 1;
  }
  // After the snapshot the breaker opened, closed again, and the valve
  // conducted; the tap changed (the secondary voltage's peak after it).
  bool opened = false, valve = false;
  double before_tap = 0.0, after_tap = 0.0;
  for (const auto& [t, row] : b) {
    const double time = std::stod(t);
    opened = opened || std::abs(row[1]) < 1.0e-6;
    valve = valve || (time > kReclose && std::abs(row[3]) > 1.0e-4);
    if (time > kReclose + 0.002 && time < kTapAt) before_tap = std::max(before_tap, std::abs(row[2]));
    if (time > kTapAt + 0.02) after_tap = std::max(after_tap, std::abs(row[2]));
  }
  EXPECT_TRUE(opened);
  EXPECT_TRUE(valve);
  EXPECT_GT(after_tap, before_tap * 1.01);

  // The later snapshot is the same file, but for the storage headroom of the
  // run from data files (the "Available" column of its DIMENSIONS section):
  // a run from a snapshot is sized by the stores in use.
  const auto without_headroom = [](const std::string& name) {
    std::vector<std::string> lines = lines_of(read_file(name));
    for (std::string& l : lines)
      if (l.size() > 40 && l.find(" = ") == 22) l.resize(40);
    return lines;
  };
  EXPECT_EQ(without_headroom("study_03.snp"), without_headroom("res.snp"));
}

// Variants of the case that resume exactly as it does, each with the state it
// adds to the file:
//   - both subsystems on the sparse solver (the option on, every subsystem
//     above 0 nodes): the file holds no sparsity lists;
//   - an MNA element of zero impedance joining the far ends of the Bergeron
//     and the FD line (subsystem 2 goes to the sparse solver with it, as an
//     ideal subsystem): the map part holds its record and its current;
//   - the third line a phase-domain line (a lossy FRE-PHASE fit with two
//     delay groups in place of the finite-difference one): the file holds its
//     convolution states and delay buffers.
// A variant's damaged rows change a text of the file at 70 ms; each such file
// is refused before the first step, naming the value.
struct Damage {
  const char* written;
  const char* damaged;
  const char* refusal;  // after "WAKRO: "
};
struct Variant {
  const char* name;
  const char* map_after_finish;  // lines added to the map after FINISH_TIME
  const char* map_dimensions;    // lines added to the map's DIMENSIONS section
  const char* page_b;            // lines added to page b before ENDPAGE: (or nullptr)
  bool phase_line;               // the third line's file holds a FRE-PHASE fit
  std::vector<const char*> present, absent;  // texts of the snapshot at 70 ms
  std::vector<Damage> damaged;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class StudyVariant : public StudyRoundTrip, public ::testing::WithParamInterface<Variant> {};

TEST_P(StudyVariant, ResumesExactly) {
  const Variant& v = GetParam();
  const std::string map = read_file("study.map");
  std::string changed = std::regex_replace(map, std::regex(" FINISH_TIME = .*"), std::string("$0") + v.map_after_finish);
  changed = std::regex_replace(changed, std::regex("DIMENSIONS:"), std::string("$0") + v.map_dimensions);
  write_file("study.map", changed);
  if (v.page_b != nullptr) {
    const std::string page = read_file("b.dta");
    write_file("b.dta", page.substr(0, page.find("ENDPAGE:")) + v.page_b + "ENDPAGE:\n");
  }
  if (v.phase_line) write_file("mfd.tlo", linetest::spread_fit(1, 2, 50.0e-6).file());
  ASSERT_EQ(drive({"0", "-2", "0.035", "study", "study.map", "1", "1", "full", "0", "0"}).status, -1);
  const std::string snap = read_file("study_02.snp");
  for (const char* text : v.present) EXPECT_NE(snap.find(text), std::string::npos) << text;
  for (const char* text : v.absent) EXPECT_EQ(snap.find(text), std::string::npos) << text;
  // (Both runs write the snapshot at 105 ms: a snapshot rounds the state it writes.)
  const Outcome res = drive({"1", "1", "0.035", "res", "0", "1", "1", "resumed", "0", "study_02", "0.07", "0"});
  ASSERT_EQ(res.status, -1) << res.console;
  const auto a = channels("full_01.out");
  const auto b = channels("resumed_01.out");
  ASSERT_EQ(b.size(), 700u);
  for (const auto& [t, row] : b) EXPECT_EQ(row, a.at(t)) << t;
  for (const Damage& d : v.damaged) {
    const std::string written = d.written;
    ASSERT_NE(snap.find(written), std::string::npos) << written;
    write_file("study_02.snp", std::string(snap).replace(snap.find(written), written.size(), d.damaged));
    const Outcome bad = drive({"1", "1", "0.035", "res", "0", "1", "0", "0", "study_02", "0.07", "0"});
    EXPECT_NE(bad.status, -1);
    EXPECT_NE(bad.console.find(std::string(" ***ERROR** WAKRO: ") + d.refusal + "\n"),
              std::string::npos)
        << bad.console;
    EXPECT_EQ(bad.console.find("% complete"), std::string::npos);
  }
}

const Variant kVariants[] = {
    {"SparseSolver", "\n USE_SPARSE = YES\n SPARSE_LIMIT = 0", "", nullptr, false,
     {" T / Use KLU?"}, {" F / Use KLU?", "!*** Sparsity information"}, {}},
    {"MnaElement", "\n USE_MANA = YES", "\n NMANA = 1", "MANA:\n 1 1 2\n", false,
     {"  USE_MANA       = 'YES'", " ! MNA: \n"}, {},
     {{"           2\n          1           2", "           2\n          0           0",
       "Snapshot value out of range: to-node of MNA element 1 with its from-node at ground = 0 (1 to 3)"},
      {" T / Ideal Subsystem?\n T / Use KLU?", " F / Ideal Subsystem?\n T / Use KLU?",
       "Snapshot value out of range: Ideal Subsystem? of subsystem 2 with MNA elements = 0 (1 to 1)"}}},
    {"PhaseDomainLine", "", "", nullptr, true,
     {"!*** PHASE DOMAIN TRANSMISSION LINE DATA", "!*** NG Parameters"}, {"!*** MFDTD TRANSMISSION LINE DATA"},
     // (The groups' ring positions, then their delays in steps.)
     {{"NG Parameters\n          1          12 \n         10 ", "NG Parameters\n          1          12 \n          0 ",
       "Snapshot value out of range: delay of group 1 of phase-domain line 1 = 0 (1 to 12)"},
      // (The line flagged infinite: its delays are not one step.)
      {"         12 \n F\n", "         12 \n T\n", "Snapshot values refused together: phase-domain line 1 (mline): infinite length = T, delay of group 1 = 10 steps "
       "+ 0.3000000000000007 (a line of infinite length delays by one step exactly)"},
      // (The FRE-DEP and FRE-PHASE rows exchanged; an admittance beyond the third line's one conductor.)
      {"\n          1           2           1           0           1           1           0           1           0"
       "           1           0           1           0 \n          2           1           0",
       "\n          2           1           0           0           1           1           0           1           0"
       "           1           0           1           0 \n          1           2           1",
       "Snapshot value out of range: admittance (1, 1) of line directory row 2 = 0.004926290077211081 (0.003066949748701341 from its line)"},
      {" 0.3066949748701341E-002   0.000000000000000      \n  0.000000000000000        0.000000000000000",
       " 0.3066949748701341E-002   0.000000000000000      \n  0.000000000000000        0.1000000000000000E-299",
       "Snapshot value out of range: admittance (2, 2) of line directory row 3 = 1e-300 (0 from its line)"}}},
};

INSTANTIATE_TEST_SUITE_P(Study, StudyVariant, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

// A damaged record of a component in the stores (the valve's subsystem and
// branch, and its real block) is refused before the first step, naming it.
TEST_F(StudyRoundTrip, DamagedSwitchRecordIsRefused) {
  ASSERT_EQ(drive({"0", "-2", "0.035", "study", "study.map", "1", "0", "0", "0"}).status, -1);
  const std::string snap = read_file("study_02.snp");
  const std::string record = " !STORI:           8\n         11           3          13           0           1           6";
  ASSERT_NE(snap.find(record), std::string::npos);
  const std::pair<std::string, std::string> damaged[] = {
      {"         11           3          13           0           2           6",
       "subsystem in switch record of branch 6 of subsystem 1 = 2 (1 to 1)"},
      {"         11           3          13           0           1           7",
       "branch in switch record of branch 6 of subsystem 1 = 7 (6 to 6)"},
      {"         11           3       99999           0           1           6",
       "first real of switch record of branch 6 of subsystem 1 = 99999 (1 to 13)"},
      {"-2147483648           3          13           0           1           6",
       "code in switch record of branch 6 of subsystem 1 = -2147483648 (10 to 19)"}};
  for (const auto& [values, message] : damaged) {
    std::string changed = snap;
    changed.replace(snap.find(record) + 22, values.size(), values);
    write_file("study_02.snp", changed);
    const Outcome res = drive({"1", "1", "0.035", "res", "0", "1", "0", "0", "study_02", "0.07", "0"});
    EXPECT_NE(res.status, -1);
    EXPECT_NE(res.console.find(" ***ERROR** WAKRO: Snapshot value out of range: " + message + "\n"), std::string::npos)
        << res.console;
    EXPECT_EQ(res.console.find("% complete"), std::string::npos);
  }
}

// The tap changer keeps its harmonic record's number as a real (its third
// slot of STOR): its own number resumes as written; a value that is no whole
// number of the registry, or the number of another component's record, stops
// the run at its first step, naming the slot and the value.
TEST_F(StudyRoundTrip, TapRecordNumberOtherThanItsOwnIsRefused) {
  ASSERT_EQ(drive({"0", "-2", "0.035", "study", "study.map", "1", "0", "0", "0"}).status, -1);
  const std::string snap = read_file("study_02.snp");
  const std::string slots = " !STOR:         102\n  1.000000000000000      -0.1137182612928633E-001   2.000000000000000 ";
  ASSERT_NE(snap.find(slots), std::string::npos);
  const std::vector<std::string> answers = {"1", "0", "0", "1", "1", "resumed", "0", "study_02", "0.01", "0"};
  ASSERT_EQ(drive(answers).status, -1);
  ASSERT_EQ(channels("resumed_01.out").size(), 100u);
  const std::string record = "harmonic-registry record of the tap changer on winding 2 of transformer 1 = ";
  const std::pair<std::string, std::string> damaged[] = {
      {"Infinity", "out of range: " + record + "Infinity (whole number 0 to 2)"},
      {"0.1000000000000000E+309", "out of range: " + record + "1e+308 (whole number 0 to 2)"},
      {"1.500000000000000", "out of range: " + record + "1.5 (whole number 0 to 2)"},
      {"1.000000000000000", "names another component's record: " + record + "1"}};
  for (const auto& [number, message] : damaged) {
    std::string changed = snap;
    changed.replace(snap.find(slots) + slots.size() - 18, 17, number);
    write_file("study_02.snp", changed);
    const Outcome res = drive(answers);
    EXPECT_NE(res.status, -1) << number;
    EXPECT_NE(res.console.find(" ***ERROR** WAKRO: Store value " + message + "\n"), std::string::npos) << res.console;
  }
}

// The numbers of a snapshot do not depend on the locale: written under a
// locale with a decimal comma, the file is the one written under "C".
TEST_F(StudyRoundTrip, NumbersAreTheSameUnderADecimalCommaLocale) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  std::setlocale(LC_ALL, "C");
  ASSERT_EQ(drive({"0", "-2", "0.035", "study", "study.map", "1", "0", "0", "0"}).status, -1);
  const std::string in_c = read_file("study_02.snp");
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  const Outcome comma = drive({"0", "-2", "0.035", "study", "study.map", "1", "0", "0", "0"});
  const std::string in_de = read_file("study_02.snp");
  // Read back under that locale too: the run resumes.
  const Outcome res = drive({"1", "0", "0", "1", "0", "0", "study_02", "0.07", "0"});
  std::setlocale(LC_ALL, before.c_str());
  ASSERT_EQ(comma.status, -1) << comma.console;
  EXPECT_EQ(res.status, -1) << res.console;
  ASSERT_GT(in_c.size(), 1000u);
  EXPECT_EQ(in_de, in_c);
}

// Positions the file gives that index the state are checked: a damaged
// snapshot stops before the first step instead of writing outside an array.
TEST_F(StudyRoundTrip, DamagedPositionsStopBeforeTheFirstStep) {
  ASSERT_EQ(drive({"0", "-2", "0.035", "study", "study.map", "1", "0", "0", "0"}).status, -1);
  const std::string good = read_file("study_02.snp");
  struct Case {
    const char* from;
    const char* to;
    const char* message;
  };
  const Case cases[] = {
      {" !*** TRANSFORMER DATA\n          2          -1           1 \n          2           3 \n",
       " !*** TRANSFORMER DATA\n          2          -1           1 \n          2           9 \n",
       " ***ERROR** WAKRO: Snapshot count out of range: winding node = 9 (at most 4)"},
      {"         10          10 \n          2           2 \n", "         10          10 \n          2          11 \n",
       " ***ERROR** WAKRO: Snapshot count out of range: ring position = 11 (at most 10)"},
      // A ring one step shorter or longer than the buffers in use give it.
      {"         10          10 \n          2 ", "          9          10 \n          2 ",
       " ***ERROR** WAKRO: Snapshot values refused together: travelling-wave buffers: in use = 20, in the rings of the "
       "lines' modes = 19 (a start from data uses as many buffers as its lines' rings take)"},
      {"         10          10 \n          2 ", "         11          10 \n          2 ",
       " ***ERROR** WAKRO: Snapshot values refused together: travelling-wave buffers: in use = 20, in the rings of the "
       "lines' modes = 21 (a start from data uses as many buffers as its lines' rings take)"},
      // A pole count beyond the pooled table (a stray value before the counts
      // is a read error: the group's last line keeps a value over).
      {" !*** Modes:\n          0 ", " !*** Modes:\n          7 ",
       " ***ERROR** WAKRO: Snapshot count out of range: surge-impedance poles of a mode = 7 (at most 1)"},
      // The Norton buses of a subsystem ascend within its buses.
      {" !*** Norton buses\n           3\n", " !*** Norton buses\n           0\n",
       " ***ERROR** WAKRO: Snapshot Norton bus out of order or range: 0 (buses 1 to 4, ascending)"},
      {"           1 / Norton buses\n           7 / Branches\n           2 / Switches\n"
       "           1 / Transformers\n F / Ideal Subsystem?\n F / Use KLU?\n"
       "           5 / Start Node for Triang.\n !*** Norton buses\n           3\n",
       "           2 / Norton buses\n           7 / Branches\n           2 / Switches\n"
       "           1 / Transformers\n F / Ideal Subsystem?\n F / Use KLU?\n"
       "           5 / Start Node for Triang.\n !*** Norton buses\n           3\n 0.0 0.0\n           2\n",
       " ***ERROR** WAKRO: Snapshot Norton bus out of order or range: 2 (buses 1 to 4, ascending)"},
      {" !*** Modes:\n", " !*** Modes:\n 7\n", " ***ERROR** WAKRO: Error while reading snap file"},
      // Values within the arrays that the case cannot take: a directory row
      // naming a line of another model, an MFDTD line of no segment.
      {"          0           1           0           0           1           1           0           1",
       "          1           1           0           0           1           1           0           1",
       " ***ERROR** WAKRO: Snapshot value out of range: model of line directory row 1 = 1 (0 to 0)"},
      // The directory names each line of each model once, in reading order:
      // the first row copied over the MFDTD line's, the first two exchanged
      // (their other columns are the same), the second's conductor offset.
      {"\n          3           1           0", "\n          0           1           0",
       " ***ERROR** WAKRO: Snapshot count out of range: mode-domain lines up to line directory row 3 = 3 (at most 2)"},
      {"\n          0           1           0           0           1           1           0           1           0"
       "           1           0           1           0 \n          1           2           1",
       "\n          1           2           1           0           1           1           0           1           0"
       "           1           0           1           0 \n          0           1           0",
       " ***ERROR** WAKRO: Snapshot value out of range: line of line directory row 1 = 2 (1 to 1)"},
      {"\n          1           2           1", "\n          1           2           0",
       " ***ERROR** WAKRO: Snapshot value out of range: conductor offset of line directory row 2 = 0 (1 to 1)"},
      // A row keeps its line's admittance: the FRE-DEP and MFDTD rows exchanged, the first in its 9th digit.
      {"\n          1           2           1           0           1           1           0           1           0"
       "           1           0           1           0 \n          3           1           0",
       "\n          3           1           0           0           1           1           0           1           0"
       "           1           0           1           0 \n          1           2           1",
       " ***ERROR** WAKRO: Snapshot value out of range: admittance (1, 1) of line directory row 2 = "
       "0.004926290077211081 (0.0037200155 from its line)"},
      {" 0.4926290077211081E-002 \n 0.372", " 0.4926290087211081E-002 \n 0.372", " ***ERROR** WAKRO: Snapshot value "
       "out of range: admittance (1, 1) of line directory row 2 = 0.004926290087211081 (0.004926290077211081 from its line)"},
      {"Static Data for Line:          1\n          2 \n", "Static Data for Line:          1\n          0 \n",
       " ***ERROR** WAKRO: Snapshot value out of range: segments of MFDTD line 1 = 0 (1 to 2)"},
      // The MFDTD line of one segment, its state on two; its coefficients
      // against those its poles, residues, Yp and Ym give.
      {"Static Data for Line:          1\n          2 \n", "Static Data for Line:          1\n          1 \n",
       " ***ERROR** WAKRO: Snapshot values refused together: MFDTD line 1 (mline): segments = 1, state of segment 2 or "
       "its far node held (a line keeps no state beyond its segments)"},
      {" 0.4917698002856063E-005", " 0.4917698012856063E-005",
       " ***ERROR** WAKRO: Snapshot value out of range: Zeta1 (1, 1) of MFDTD line 1 (mline) = 4.917698012856063e-06 "
       "(4.917698002856063e-06 from its line)"},
      {" 0.2688166442663997E+003", " 0.2688166452663997E+003",
       " ***ERROR** WAKRO: Snapshot value out of range: Yp^-1 (1, 1) of MFDTD line 1 (mline) = 268.8166452663997 "
       "(268.8166442663997 from its line)"},
      {"-0.3719984500000000E-002", "-0.3719984600000000E-002",
       " ***ERROR** WAKRO: Snapshot value out of range: Yh (1, 1) of MFDTD line 1 (mline) = -0.0037199846 "
       "(-0.0037199844999999997 from its line)"},
      // A row made an ENI server end, which the case has none of (refused
      // before its port is asked); a fill entry left out, its conductance kept.
      {"          0           1           0           0           1", "          0           1           0           1           1",
       " ***ERROR** WAKRO: Snapshot values refused together: line directory row 1: ENI role = 1, ENI server ends = 0 "
       "(a row beyond the case's ENI server ends)"},
      {"matrix\n100\n010\n001\n", "matrix\n000\n010\n001\n",
       " ***ERROR** WAKRO: Snapshot values refused together: fill pattern of subsystem 2: filled entries = 2, "
       "conductances = 3 (each filled entry keeps one conductance)"},
      {" !*** TRANSFORMER DATA\n          2          -1           1 \n          2 ",
       " !*** TRANSFORMER DATA\n          2          -1           1 \n          0 ",
       " ***ERROR** WAKRO: Snapshot values refused together: winding 1 of transformer 1: from-node = 0, to-node = 0 "
       "(both ends at ground)"},
      {"          2          -1           1 \n", "          2          -1           3 \n",
       " ***ERROR** WAKRO: Snapshot value out of range: record kind of transformer 1 = 3 (0 to 2)"},
      {"           1 / Transformers\n", "           0 / Transformers\n",
       " ***ERROR** WAKRO: Snapshot value out of range: transformers of subsystem 1 = 0 (1 to 1)"},
      {"           1           0 \n !IORV", "           0           1 \n !IORV",
       " ***ERROR** WAKRO: Snapshot values refused together: branch 7 of subsystem 1: component record = 1, SWITCH = F "
       "(a switch's record on a branch that is not a switch)"},
      {"\n           6\n  1.5", "\n           2\n  1.5",
       " ***ERROR** WAKRO: Snapshot value out of range: branch of switch 2 of subsystem 1 = 2 (3 to 7)"},
      {"          1           1 \n          0           1 \n F F", "          0           1 \n          0           1 \n F F",
       " ***ERROR** WAKRO: Snapshot value out of range: conductors of line 1 = 0 (1 to 1)"},
      {"          1           2 \n          3           3 \n         10", "          0           2 \n          3           3 \n         10",
       " ***ERROR** WAKRO: Snapshot value out of range: receiving-end node of line 1 = 0 (1 to 3)"},
      // The MFDTD line's receiving end moved into subsystem 1 (its ends are node 3).
      {"          2 \n          1 \n !Node", "          1 \n          1 \n !Node",
       " ***ERROR** WAKRO: Snapshot values refused together: conductor 1 of MFDTD line 1 (mline): sending-end node = 3, "
       "receiving-end node = 3 (both ends of a line at one node of subsystem 1)"},
      // The fill pattern: the transformer's pair (2, 3) left out with its
      // conductances; a pair no element stamps (user additions are not in the
      // file) filled on one side, or with two conductances.
      {"1110\n0111\n0011\n !*** Node conductances [GM]\n  2.000000000000000      \n  0.000000000000000      \n"
       "  0.000000000000000      \n 0.1602224202715588E-001 \n 0.1602224202715588E-001 \n 0.1602224202715588E-001 \n",
       "1100\n0011\n0011\n !*** Node conductances [GM]\n  2.000000000000000      \n  0.000000000000000      \n"
       "  0.000000000000000      \n 0.1602224202715588E-001 \n",
       " ***ERROR** WAKRO: Snapshot values refused together: transformer 1 of subsystem 1: winding nodes = 2 0 3 0, fill "
       "pattern row 2 column 3 = 0 (a transformer fills the entries between its windings' nodes)"},
      {"matrix\n100\n010\n001\n !*** Node conductances [GM]\n 0.5000000000000000E-002 \n",
       "matrix\n101\n010\n001\n !*** Node conductances [GM]\n 0.5000000000000000E-002 \n 0.5\n",
       " ***ERROR** WAKRO: Snapshot values refused together: fill pattern of subsystem 2: row 1 column 3 = 1, row 3 column "
       "1 = 0 (no restored element stamps the entry, and a stamp fills both entries of a pair)"},
      {"matrix\n100\n010\n001\n !*** Node conductances [GM]\n 0.5000000000000000E-002 \n",
       "matrix\n110\n110\n001\n !*** Node conductances [GM]\n 0.5000000000000000E-002 \n 0.5\n 0.25\n",
       " ***ERROR** WAKRO: Snapshot values refused together: fill pattern of subsystem 2: conductance of row 1 column 2 = "
       "0.5, of row 2 column 1 = 0.25 (no restored element stamps the pair, and a stamp gives both entries one "
       "conductance)"},
      // (Filled on both sides with one conductance, as a user addition leaves it: taken.)
      {"matrix\n100\n010\n001\n !*** Node conductances [GM]\n 0.5000000000000000E-002 \n",
       "matrix\n110\n110\n001\n !*** Node conductances [GM]\n 0.5000000000000000E-002 \n 0.5\n 0.5\n", nullptr},
      // The transformer's pair (2, 3) with one conductance changed in its last digit.
      {"0      \n 0.1602224202715588E-001 \n 0.1602224202715588E-001 \n",
       "0      \n 0.1602224202715588E-001 \n 0.1602224202715589E-001 \n",
       " ***ERROR** WAKRO: Snapshot values refused together: fill pattern of subsystem 1: conductance of row 2 column 3 = "
       "0.01602224202715589, of row 3 column 2 = 0.01602224202715588 (every stamp and change of a conductance gives both "
       "entries of a pair one conductance)"},
      // A line lost before the end shifts the rest (see below).
      {" !*** HARMONIC SOLUTION DATA\n", nullptr, " ***ERROR** WAKRO: Error while reading snap file"},
  };
  for (const Case& c : cases) {
    std::string bad = good;
    const std::size_t at = bad.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    if (c.to != nullptr) {
      bad.replace(at, std::string(c.from).size(), c.to);
    } else {
      // The line after the label is lost: every later read takes the line
      // after its own, and the reading ends past the file's end lines.
      const std::size_t line = at + std::string(c.from).size();
      bad.erase(line, bad.find('\n', line) + 1 - line);
    }
    write_file("study_02.snp", bad);
    const Outcome res = drive({"1", "0", "0", "1", "0", "0", "study_02", "0.07", "0"});
    if (c.message == nullptr) {  // taken
      EXPECT_TRUE(res.status == -1 && res.console.find("% complete") != std::string::npos) << res.console;
      continue;
    }
    EXPECT_EQ(res.status, 2000) << c.message;
    EXPECT_NE(res.console.find(std::string(c.message) + "\n"), std::string::npos) << res.console;
    EXPECT_EQ(res.console.find("% complete"), std::string::npos);
  }
}

// The tap changer's kind of formula is part of the resumed state: a snapshot
// whose transformer record lacks it resumes tapping with the formula of the
// transformer's section entry, and the channels part after the tap.
TEST_F(StudyRoundTrip, TheTapFormulaIsTheOneTheRunBeganWith) {
  ASSERT_EQ(drive({"0", "-2", "0.035", "study", "study.map", "1", "1", "full", "0", "0"}).status, -1);
  std::string snap = read_file("study_02.snp");
  const std::string record = " !*** TRANSFORMER DATA\n          2          -1           1 \n";
  ASSERT_NE(snap.find(record), std::string::npos);
  snap.replace(snap.find(record), record.size(), " !*** TRANSFORMER DATA\n          2          -1 \n");
  write_file("study_02.snp", snap);
  ASSERT_EQ(drive({"1", "0", "0", "1", "1", "resumed", "0", "study_02", "0.07", "0"}).status, -1);
  const auto a = channels("full_01.out");
  const auto b = channels("resumed_01.out");
  bool same_before = true, differs_after = false;
  for (const auto& [t, row] : b) {
    const bool equal = row == a.at(t);
    if (std::stod(t) < kTapAt) same_before = same_before && equal;
    else differs_after = differs_after || !equal;
  }
  EXPECT_TRUE(same_before);
  EXPECT_TRUE(differs_after);
}

}  // namespace
}  // namespace snapshot_test
