// The module frame on a skeleton of the case: Station, a stub of the main page
// with Main's counts, and the six line shells, run from their data files. The
// counters after each pass, the call record, the data files opened at time
// zero only, the file and section faults, the storage-pointer check, and the
// guarded arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include <sstream>
#include <string>
#include <vector>

#include "blocks/slots.h"
#include "case/line_shells.h"
#include "case/module_frame.h"
#include "diag/console.h"
#include "files/units.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/quolbv3.h"
#include "model/storage.h"
#include "module_run.h"

namespace casetest {
namespace {

using namespace wakro::casecode;

constexpr ModuleCounts kStation{"Station", 2};
constexpr ModuleCounts kMainStub{"Main", 56, 10, 246, 68, 78, 9};

// What the skeleton's passes saw.
struct Seen {
  std::vector<std::int32_t> ntxfr, nnode;     // after each output pass
  std::vector<std::int32_t> opens;            // data files opened per step (both passes)
  std::vector<std::int32_t> iunit;            // input unit after each pass
  std::vector<std::array<std::int32_t, 4>> rows;  // txfr rows after the last output pass
  std::int32_t steps = 0;                     // steps after time zero
  std::int32_t passes = 0;                    // dynamics passes, time zero the first
  bool odd_extra = false;                     // the faulty module: a real slot on odd passes
  bool extra_shell = false;                   // Main calls one shell more than the map holds
};
Seen g_seen;

void main_dyn() {
  const ModuleCall c = enter_dyn(kMainStub);
  open_data(kMainStub, "DATADSD:");
  t7_8dyn();
  t8_9dyn();
  t5_7dyn();
  t6_9dyn();
  t4_5dyn();
  t4_6dyn();
  if (g_seen.extra_shell) t4_6dyn();
  if (g_seen.odd_extra && g_seen.passes % 2 == 1) (void)wakro::blocks::take_storf(1);
  (void)c;
  close_data();
}

void main_out() {
  (void)enter_out(kMainStub);
  open_data(kMainStub, "DATADSO:");
  t7_8out();
  t8_9out();
  t5_7out();
  t6_9out();
  t4_5out();
  t4_6out();
  close_data();
}

void main_begin() {
  (void)enter_begin(kMainStub);
  t7_8dyn_begin();
  t8_9dyn_begin();
  t5_7dyn_begin();
  t6_9dyn_begin();
  t4_5dyn_begin();
  t4_6dyn_begin();
}

CaseRoutines skeleton() {
  CaseRoutines r;
  r.dyn = [] {
    if (!e_s1::timezero) ++g_seen.steps;
    ++g_seen.passes;
    clear_data_file_opens();
    (void)enter_dyn(kStation);
    open_data(kStation, "DATADSD:");
    main_dyn();
    close_data();
    g_seen.iunit.push_back(fnames::iunit);
  };
  r.out = [] {
    (void)enter_out(kStation);
    open_data(kStation, "DATADSO:");
    main_out();
    close_data();
    g_seen.iunit.push_back(fnames::iunit);
    g_seen.ntxfr.push_back(quolbv3::ntxfr);
    g_seen.nnode.push_back(quolbv3::nnode);
    g_seen.opens.push_back(data_file_opens());
    g_seen.rows.clear();
    for (std::int32_t k = 1; k <= quolbv3::ntxfr; ++k)
      g_seen.rows.push_back({quolbv3::txfr(k, 1), quolbv3::txfr(k, 2), quolbv3::txfr(k, 3), quolbv3::txfr(k, 4)});
  };
  r.dyn_begin = [] {
    (void)enter_begin(kStation);
    main_begin();
  };
  r.out_begin = [] {
    (void)enter_begin(kStation);
    main_begin();
  };
  return r;
}

const char* const kShells[] = {"T7_8", "T8_9", "T5_7", "T6_9", "T4_5", "T4_6"};

// Main's page: 54 nodes, each with a resistor to ground.
std::string main_page() {
  std::ostringstream p;
  p << "BRANCHES:\n";
  for (int n = 1; n <= 54; ++n) p << " " << n << " 0 R 100.0\n";
  return module_file(p.str());
}

std::map<std::string, std::string> skeleton_files(double finish = 100 * 50.0e-6 + 1.0e-7) {
  const std::string dims =
      " NODES = 54\n SUBSYS = 1\n BRANCHES = 80\n TRAFOS = 9\n WINDINGS = 2\n NNODES = 106\n NPAGES = 8\n STOF = 246\n"
      " STOI = 10\n PGBS = 70\n STOR = 10\n STORF = 10\n";
  std::ostringstream main_nodes;
  main_nodes << "1 54";
  for (int n = 1; n <= 54; ++n) main_nodes << " " << n;
  std::vector<std::pair<std::string, std::string>> pages{{"Station.dta", "1 0"}, {"Main.dta", main_nodes.str()}};
  int first = 1;
  for (const char* s : kShells) {
    std::ostringstream nodes;
    nodes << "1 6";
    for (int k = 0; k < 6; ++k) nodes << " " << first + k;
    first += 6;
    pages.emplace_back(std::string(s) + ".dta", nodes.str());
  }
  std::map<std::string, std::string> files{{"skeleton.map", map_file(dims, finish, 54, pages)},
                                           {"Station.dta", module_file("")},
                                           {"Main.dta", main_page()}};
  for (const char* s : kShells) files[std::string(s) + ".dta"] = module_file("");
  return files;
}

ModuleRunResult run_skeleton(const std::map<std::string, std::string>& files) {
  g_seen = Seen{};
  return run_modules(files, "skeleton.map", skeleton());
}

TEST(ModuleFrame, SkeletonCaseRunsAHundredStepsWithTheCountersInStep) {
  const ModuleRunResult r = run_skeleton(skeleton_files());
  ASSERT_EQ(r.status, -1) << r.console;
  EXPECT_EQ(r.console.find("Corrupt"), std::string::npos);
  EXPECT_EQ(g_seen.steps, 100);
  ASSERT_EQ(g_seen.ntxfr.size(), 101u);
  for (std::size_t k = 0; k < g_seen.ntxfr.size(); ++k) {
    EXPECT_EQ(g_seen.ntxfr[k], 8) << k;
    EXPECT_EQ(g_seen.nnode[k], 2 + 56 + 6 * 8) << k;
  }
  // Every data file opened once in each pass at time zero, never afterwards,
  // and each closed again (the unit stack back at its base after each pass).
  EXPECT_EQ(g_seen.opens.front(), 2 * 8);
  for (std::size_t k = 1; k < g_seen.opens.size(); ++k) EXPECT_EQ(g_seen.opens[k], 0) << k;
  for (std::int32_t u : g_seen.iunit) EXPECT_EQ(u, g_seen.iunit.front());
  // The rows hold the store bases at each module's entry: Station's and Main's
  // at 0, the shells' after Main's 10 integers and 246 reals.
  ASSERT_EQ(g_seen.rows.size(), 8u);
  const std::array<std::int32_t, 4> zero{0, 0, 0, 0}, past_main{0, 10, 246, 0};
  EXPECT_EQ(g_seen.rows[0], zero);
  EXPECT_EQ(g_seen.rows[1], zero);
  for (std::size_t k = 2; k < 8; ++k) EXPECT_EQ(g_seen.rows[k], past_main) << k;
}

TEST(ModuleFrame, MissingFileOrSectionStopsTheRunNamingIt) {
  struct Case {
    const char* what;
    std::function<void(std::map<std::string, std::string>&)> edit;
    const char* text;
    const char* tag;
  };
  const Case cases[] = {
      {"no T4_6.dta", [](auto& f) { f.erase("T4_6.dta"); },
       "WAKRO: Error while opening file for read: T4_6.dta", "OPENFILE"},
      {"no DATADSO: in T4_6.dta", [](auto& f) { f["T4_6.dta"] = "DATADSD:\nENDPAGE:\n"; },
       "ERROR: Could not find section: DATADSO:", "GOTOSECTION"},
  };
  for (const Case& c : cases) {
    auto files = skeleton_files();
    c.edit(files);
    const ModuleRunResult r = run_skeleton(files);
    EXPECT_EQ(r.status, 2000) << c.what << r.console;
    EXPECT_NE(r.console.find(c.text), std::string::npos) << c.what << r.console;
    EXPECT_NE(r.console.find(std::string("Abnormal termination of WAKRO by ") + c.tag), std::string::npos)
        << c.what << r.console;
  }
}

TEST(ModuleFrame, AModuleTakingAnExtraSlotOnOddStepsIsCaughtAfterStepTwo) {
  auto files = skeleton_files();
  g_seen = Seen{};
  g_seen.odd_extra = true;
  const ModuleRunResult r = run_modules(files, "skeleton.map", skeleton());
  EXPECT_EQ(r.status, 2000);
  EXPECT_NE(r.console.find("ERROR: Storage Pointers have become Corrupt!"), std::string::npos) << r.console;
  // The extra slot at the first pass (time zero) is recorded; the second pass
  // differs from it and stops the run.
  EXPECT_EQ(g_seen.passes, 2);
}

TEST(ModuleFrame, CounterOverrunsStopWithTheirDimensionLine) {
  struct Case {
    const char* from;
    const char* to;
    const char* text;
    bool extra_shell = false;
  };
  // Each map is read whole before the first pass; the overruns come from the
  // modules' own counts (or one shell call more than the map has entries).
  const Case cases[] = {
      {" NPAGES = 8\n", " NPAGES = 9\n", "ERROR: Insufficient # of NNODES (ND21):", true},
      {" NPAGES = 8\n", " NPAGES = 8\n", "ERROR: Insufficient # of NPAGES (ND22):", true},
      {" STOF = 246\n", " STOF = 245\n", "ERROR: Insufficient STOF array size (ND25):"},
      {" STOI = 10\n", " STOI = 9\n", "ERROR: Insufficient STOI array size (ND24):"},
      {" BRANCHES = 80\n", " BRANCHES = 77\n", "ERROR: Insufficient # of branches (ND15):"},
      {" TRAFOS = 9\n", " TRAFOS = 8\n", "ERROR: Insufficient # of transformers (ND4):"},
  };
  for (const Case& c : cases) {
    auto files = skeleton_files();
    std::string& map = files["skeleton.map"];
    map.replace(map.find(c.from), std::string(c.from).size(), c.to);
    g_seen = Seen{};
    g_seen.extra_shell = c.extra_shell;
    const ModuleRunResult r = run_modules(files, "skeleton.map", skeleton());
    EXPECT_EQ(r.status, 2000) << c.text << r.console;
    EXPECT_NE(r.console.find(c.text), std::string::npos) << c.text << r.console;
  }
}

TEST(ModuleFrame, SubsystemOutsideTheSolvedOnesStops) {
  // The newer map style writes 0 as the page's subsystem.
  auto files = skeleton_files();
  std::string& map = files["skeleton.map"];
  const std::string shell = "MAP: T4_6.dta\n 1 6 31 32 33 34 35 36\n";
  map.replace(map.find(shell), shell.size(), "MAP: T4_6.dta\n 0 6 31 32 33 34 35 36\n 1 1 1 1 1 1 1 1\n");
  const ModuleRunResult r = run_skeleton(files);
  EXPECT_EQ(r.status, 2000);
  EXPECT_NE(r.console.find("ERROR: Module T4_6 has subsystem"), std::string::npos) << r.console;
}

TEST(GuardedArithmetic, DivisionBelowTheTinyDivisorTakesItsSign) {
  struct Case {
    double a, b, expected;
  };
  const Case cases[] = {{1.0, 0.0, 1.0e100},     {1.0, -1.0e-101, -1.0e100}, {-2.0, -1.0e-101, 2.0e100},
                        {1.0, 1.0e-101, 1.0e100}, {3.0, 2.0, 1.5},            {1.0, -1.0e-100, -1.0e100}};
  for (const Case& c : cases) EXPECT_EQ(guarded_div(c.a, c.b), c.expected) << c.a << " / " << c.b;
  EXPECT_EQ(guarded_inverse(0.0), 1.0e100);
}

TEST(GuardedArithmetic, RoundedIsTheLibraryRoundingOnEveryValue) {
  // 0 and 1 answered in line; halves (away from zero), negative zero, values
  // just beside 0, 1 and a half, and large ones by the library.
  const double values[] = {0.0,  -0.0, 1.0, -1.0, 0.5, -0.5, 1.5, 2.5, -2.5, 0.49999999999999994,
                           std::nextafter(1.0, 0.0), std::nextafter(1.0, 2.0), 4.9e-324, -4.9e-324,
                           1.0e9, -2147483648.0};
  for (const double x : values)
    EXPECT_EQ(rounded(x), static_cast<std::int32_t>(std::lround(x))) << x;
}

TEST(GuardedArithmetic, SquareRootOfANegativeIsZeroWithOneWarningPerInstance) {
  storage::storl.allocate(2);
  std::ostringstream console;
  double first = -1.0, again = -1.0, other = -1.0, root = -1.0;
  {
    wakro::ConsoleRedirect out(console);
    storage::nstorl = 1;
    first = guarded_sqrt(-4.0, 7, 9);
    storage::nstorl = 1;  // the same instance on the next step
    again = guarded_sqrt(-4.0, 7, 9);
    other = guarded_sqrt(-1.0, 8, 9);  // a second instance
    storage::nstorl = 1;
    root = guarded_sqrt(16.0, 7, 9);
  }
  storage::storl.release();
  storage::nstorl = 1;
  EXPECT_EQ(first, 0.0);
  EXPECT_EQ(again, 0.0);
  EXPECT_EQ(other, 0.0);
  EXPECT_EQ(root, 4.0);
  const std::string text = console.str();
  const std::string line1 = "A negative value is detected as an input to the Square Root function.";
  std::size_t count = 0;
  for (std::size_t p = text.find(line1); p != std::string::npos; p = text.find(line1, p + 1)) ++count;
  EXPECT_EQ(count, 2u) << text;
  EXPECT_NE(text.find("Input is treated as 0.0."), std::string::npos) << text;
}

}  // namespace
}  // namespace casetest
