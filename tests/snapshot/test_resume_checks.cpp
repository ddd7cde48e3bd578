// A run resumed from a snapshot of the R-L breaker example, after the snapshot
// or the map file was changed: the header check, the map merge and the checks
// of a damaged snapshot, each with its exact messages; a refused snapshot stops
// before any step.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "case_runner.h"

namespace snapshot_test {
namespace {

// Replaces the first match of `pattern` in a file.
void edit(const fs::path& p, const std::string& pattern, const std::string& with) {
  const std::string text = read_file(p);
  const std::string changed = std::regex_replace(text, std::regex(pattern), with, std::regex_constants::format_first_only);
  ASSERT_NE(changed, text) << pattern;
  write_file(p, changed);
}

// a + b (built by appending: the compiler's warning on a literal + string
// concatenation would stop the build).
std::string cat(std::string a, const std::string& b) {
  a.append(b);
  return a;
}

bool has_line(const std::string& log, const std::string& line) {
  for (const std::string& l : lines_of(log))
    if (l == line) return true;
  return false;
}

bool ran_steps(const std::string& log) { return log.find("% complete.") != std::string::npos; }

struct Check {
  const char* name;
  std::function<void(CaseFolder&)> change;
  bool accepted;
  std::vector<std::string> lines;  // each expected whole in the resumed run's log
};

const std::string kSnap = "snapA.snp";
const std::string kMap = "rl_breaker.map";
const std::string kSnapFile = " ***ERROR** Snapshot file: snapA.snp";
const std::string kNulName("ab\0cd", 5);
const std::string kSizedBy = "Snapshot file: snapA.snp (its DIMENSIONS: rows size the arrays)";

// The line-step example's snapshot in the place of this case's, naming this
// case's map file.
void other_case_snapshot(CaseFolder& f) {
  CaseFolder other(WAKRO_SNAP_LINE_STEP_DIR, WAKRO_SNAP_LINE_STEP_EXE);
  ASSERT_EQ(other.run({"0", "1", "0.001", "snapA", "line_step.map", "1", "0", "0", "0"}).status, 0);
  write_file(f / kSnap, read_file(other / kSnap));
  edit(f / kSnap, "MAP_UPDATE:\n line_step.map", "MAP_UPDATE:\n rl_breaker.map");
}

const std::vector<Check>& checks() {
  static const std::vector<Check> list = {
      {"OlderMajorVersion",
       [](CaseFolder& f) { edit(f / kSnap, "\n   5\\.000000000000000", "\n   4.200000000000000"); },
       false,
       {" ERROR: WAKRO: Incompatible snap-shot file", " Seems like a Quolb V4 snap-shot file"}},
      {"VersionTwoFile",
       [](CaseFolder& f) { edit(f / kSnap, "\n   5\\.000000000000000", "\n   ******"); },
       false,
       {" ERROR: WAKRO: Incompatible snap-shot file", " Seems like a Quolb V2 snap-shot file"}},
      {"VersionWithinOneMillionth",
       [](CaseFolder& f) { edit(f / kSnap, "\n   5\\.000000000000000", "\n   5.000000100000000"); },
       true,
       {}},
      {"OtherMinorVersion",
       [](CaseFolder& f) { edit(f / kSnap, "\n   5\\.000000000000000", "\n   5.100000000000000"); },
       false,
       {" **** INCOMPATIBLE SNAP-SHOT FILE snapA      ! ****",
        "      THIS SNAPSHOT WAS WRITTEN WITH A DIFFERENT VERSION OF WAKRO!",
        "      PLEASE TAKE A NEW SNAP-SHOT WITH THIS VERSION"}},
      {"OneMoreNode",
       [](CaseFolder& f) { edit(f / kMap, " NODES = 2", " NODES = 3"); },
       false,
       {" ***ERROR** Snapshot file is incompatible. ",
        " ***ERROR** This may be due to modifications done to the project or the definition",
        " ***ERROR**  of a component in the project after the Snapshot file created.",
        " ERROR: Abnormal termination of WAKRO by UPDATE_MAP  "}},
      {"OneMoreRealInitialValue",
       [](CaseFolder& f) { edit(f / kMap, " STOF = 7", " STOF = 8"); },
       false,
       {" ***ERROR** Snapshot file is incompatible. "}},
      {"MapFileMoved",
       [](CaseFolder& f) { fs::rename(f / kMap, f / "moved.map"); },
       true,
       {" ***WARN*** Specified Mapfile not found: rl_breaker.map",
        " ***WARN*** . Continuing with original parameters."}},
      {"MapFileWithoutOutputDescription",
       [](CaseFolder& f) { edit(f / kMap, "DATAStruct:", "datastruct:"); },
       false,
       {" NEXTKEY: Unexpected End_Of_File",
        " ***ERROR** The map file rl_breaker.map has output channels but no \"DATAStruct:\" section, which a "
        "resumed run takes their description from",
        " ***ERROR** Unexpected End_Of_File", " ERROR: Abnormal termination of WAKRO by UPDATE_MAP  "}},
      {"MapEntryThatDoesNotRead", [](CaseFolder& f) { edit(f / kMap, "\n 1 2 1 2\n", "\n 1 x\n"); }, false,
       {" ***ERROR** The map file rl_breaker.map has a MAP: entry that does not read (line 40)",
        " ***ERROR** Unexpected End_Of_File", " ERROR: Abnormal termination of WAKRO by UPDATE_MAP  "}},
      {"SnapshotCutShort",
       [](CaseFolder& f) {
         const std::string text = read_file(f / kSnap);
         write_file(f / kSnap, text.substr(0, text.find("!CCBRD")));
       },
       false,
       {" ***ERROR** WAKRO: Unexpected end of file while reading snapfile",
        " ERROR: Abnormal termination of WAKRO by READSNP     "}},
      {"BusCountAboveItsDimension",
       [](CaseFolder& f) { edit(f / kSnap, "           2 / Busses", "          50 / Busses"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count out of range: busses = 50 (at most 2)"}},
      {"StoreCountDiffersFromItsDimension",
       [](CaseFolder& f) { edit(f / kSnap, " !STOF:           7", " !STOF:           8"); },
       false,
       {" ***ERROR** Error while reading data from line:",
        " ERROR: Abnormal termination of WAKRO by READSTORS   "}},
      {"ChannelCountAboveItsDimension",
       [](CaseFolder& f) { edit(f / kSnap, " ! IPGBS: 4\n          4 ", " ! IPGBS: 4\n         40 "); },
       false,
       {" ***ERROR** WAKRO: Snapshot count out of range: IPGBS = 40 (at most 10)"}},
      {"ValueThatIsNoNumber",
       [](CaseFolder& f) { edit(f / kSnap, "!CCBR\n", "!CCBR\n x.y "); },
       false,
       {" ***ERROR** WAKRO: Error while reading snap file"}},
      // Indices and counts against the case's dimensions: one message naming
      // the record, the value and the file.
      {"SwitchOnBranchZero",
       [](CaseFolder& f) { edit(f / kSnap, "SWITCHING BRANCH DATA\n           2", "SWITCHING BRANCH DATA\n           0"); },
       false,
       {" ***ERROR** WAKRO: Snapshot value out of range: branch of switch 1 of subsystem 1 = 0 (1 to 3)",
        " ***ERROR** Snapshot file: snapA.snp", " ERROR: Abnormal termination of WAKRO by READSNP     "}},
      {"BranchEndBeyondTheBuses",
       [](CaseFolder& f) { edit(f / kSnap, "!IET\n +[0-9]+", "!IET\n           7"); },
       false,
       {" ***ERROR** WAKRO: Snapshot value out of range: to-node of branch 1 of subsystem 1 = 7 (0 to 2)"}},
      {"CountThatIsInfinite",
       [](CaseFolder& f) { edit(f / kSnap, " !STOF:           7", " !STOF:    Infinity"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count is not a count: !STOF: Infinity"}},
      {"CountBeyondEveryArray",
       [](CaseFolder& f) { edit(f / kSnap, " !STOF:           7", " !STOF:        1e10"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count is not a count: !STOF: 1e10"}},
      {"BranchCountOneLower",
       [](CaseFolder& f) { edit(f / kSnap, "           3 / Branches", "           2 / Branches"); },
       false,
       {" ***ERROR** WAKRO: Error while reading snap file"}},
      // Another run's snapshot: time step, time and step counter agree.
      {"EditedTimeStep",
       [](CaseFolder& f) { edit(f / kSnap, "TIME_STEP      =  0.5", "TIME_STEP      =  0.4"); },
       false,
       {" ***ERROR** WAKRO: Snapshot of another time step: TIME_STEP = 0.4000000000000000E-004, header "
        "0.5000000000000000E-004"}},
      {"StepCounterAndTimeDisagree",
       [](CaseFolder& f) { edit(f / kSnap, "SNAP_IIISNP    =         1200", "SNAP_IIISNP    =         1100"); },
       false,
       {" ***ERROR** WAKRO: Snapshot step counter disagrees with its time: SNAP_IIISNP = 1100, SNAP_TIME = "
        "0.6000000000000000E-001"}},
      {"MapOfAnotherTimeStep",
       [](CaseFolder& f) { edit(f / kMap, "TIME_STEP = 50.0E-6", "TIME_STEP = 40.0E-6"); },
       false,
       {" ***ERROR** WAKRO: Snapshot of another time step: the map file's TIME_STEP is 40.0E-6"}},
      {"MapThatIsADevice",
       [](CaseFolder& f) { edit(f / kSnap, "MAP_UPDATE:\n rl_breaker.map", "MAP_UPDATE:\n /dev/zero"); },
       false,
       {" ***ERROR** WAKRO: The snapshot's map file is not a regular file: /dev/zero"}},
      // A map file's name holding a NUL byte.
      {"MapNameWithANulByte",
       [](CaseFolder& f) { edit(f / kSnap, "MAP_UPDATE:\n rl_breaker.map", cat("MAP_UPDATE:\n ", kNulName)); },
       false,
       {" ***ERROR** A name may not hold a NUL byte: ab\\0cd", kSnapFile}},
      // A channel entry is taken as a start from data takes it (unchecked; the
      // channel writers give an entry outside the channel values none).
      {"MapChannelOutsideTheChannelsAsFromData",
       [](CaseFolder& f) { edit(f / kMap, "IPGBS:\n 4 1 2 3 4", "IPGBS:\n 4 1 2 3 99"); },
       true,
       {}},
      // A map that would stop a start from data stops the resume the same way,
      // naming the map file and its line.
      {"MapWithoutChannelsButWithTheirNames",
       [](CaseFolder& f) { edit(f / kMap, " PGBS = 4", " PGBS = 0"); },
       false,
       {" PGBList: number of names differs from the number of output channels",
        " Data file name: rl_breaker.map                    ..."}},
      {"MapLineThatIsNoNumber",
       [](CaseFolder& f) { edit(f / kMap, " PGBS = 4", " PGBS = x"); },
       false,
       {" ***ERROR** Error while reading data from line:", "  PGBS = x" + std::string(63, ' '),
        " Data file name: rl_breaker.map                    ..."}},
      // A component's own record: the branch names one beyond the stores.
      {"BranchRecordBeyondTheStores",
       [](CaseFolder& f) { edit(f / kSnap, "!THISBR\n +0", "!THISBR\n          99"); },
       false,
       {" ***ERROR** WAKRO: Snapshot value out of range: component record of branch 1 of subsystem 1 = 99 (-1 to 1)"}},
      {"SwitchingModeBeyondTheModes",
       [](CaseFolder& f) { edit(f / kSnap, "!IORV\n +0 +6", "!IORV\n           0 -2147483648"); },
       false,
       {" ***ERROR** WAKRO: Snapshot value out of range: switching mode of branch 2 of subsystem 1 = -2147483648 "
        "(-15 to 15)"}},
      // Damage that reads as numbers: refused, naming the record.
      {"FillPatternRowOneDigitShort",
       [](CaseFolder& f) { edit(f / kSnap, "Sparsity matrix\n11\n", "Sparsity matrix\n1\n"); },
       false,
       {" ***ERROR** WAKRO: Snapshot fill pattern row does not fit the pattern: row 1 of subsystem 1 = 1 digits (2)"}},
      {"FillPatternWithoutABranchsEntry",
       [](CaseFolder& f) {
         edit(f / kSnap, "Sparsity matrix\n11\n", "Sparsity matrix\n10\n");
         edit(f / kSnap, "\\[GM\\]\n(.*\n).*\n", "[GM]\n$1");  // its conductance goes with it
       },
       false,
       {" ***ERROR** WAKRO: Snapshot values refused together: branch 2 of subsystem 1: from-node = 1, to-node = 2, "
        "fill pattern row 1 column 2 = 0 (a branch between two nodes fills their entries)"}},
      {"SwitchOnABranchThatIsNoSwitch",
       [](CaseFolder& f) { edit(f / kSnap, "SWITCHING BRANCH DATA\n           2", "SWITCHING BRANCH DATA\n           1"); },
       false,
       {" ***ERROR** WAKRO: Snapshot switch on a branch that is not a switch: branch of switch 1 of subsystem 1 = 1"}},
      {"IdentityLinesWithoutTheChatterBlock",
       [](CaseFolder& f) { edit(f / kSnap, " !\\*\\*\\* CHATTER REMOVAL STATE\n(.*\n){5}", ""); },
       false,
       {" ***ERROR** WAKRO: Snapshot without its chatter-removal block: !*** CHATTER REMOVAL STATE"}},
      {"BlankProgramLine",
       [](CaseFolder& f) { edit(f / kSnap, "! CASE: PROGRAM = wakro_rl_breaker", "! CASE: PROGRAM = "); },
       false,
       {" ***ERROR** WAKRO: Snapshot identity line without its value: PROGRAM ="}},
      {"PageMapNodeOfZero",
       [](CaseFolder& f) { edit(f / kSnap, "! MAP \n +1 +0 +1", "! MAP \n          1           0           0"); },
       false,
       {" ***ERROR** WAKRO: Snapshot value out of range: page map entry 3 = 0 (1 to 1)"}},
      // The case identity as the case reader reads it: a page name in quotes and
      // a title without them are the same case.
      {"MapWithThePageNameQuotedAndATitleOfOneWord",
       [](CaseFolder& f) {
         edit(f / kMap, "MAP: rl_breaker.dta", "MAP: 'rl_breaker.dta'");
         edit(f / kMap, " TITLE = '.*'", " TITLE = Breaker");
         edit(f / kSnap, "! CASE: TITLE = '.*'", "! CASE: TITLE = 'Breaker'");
       },
       true,
       {}},
      // Another case's snapshot beside this case's map.
      {"SnapshotOfAnotherCase",
       [](CaseFolder& f) { other_case_snapshot(f); },
       false,
       {" ***ERROR** WAKRO: Snapshot of another case: PROGRAM = wakro_line_step, this program's wakro_rl_breaker",
        " ***ERROR** Snapshot file: snapA.snp"}},
      {"SnapshotOfAnotherCaseWithoutItsProgram",
       [](CaseFolder& f) {
         other_case_snapshot(f);
         edit(f / kSnap, "! CASE: PROGRAM = wakro_line_step\n", "");
       },
       false,
       {" ***ERROR** WAKRO: Snapshot of another case: TITLE = 'A step travelling along an open-ended line', the "
        "map file's 'R-L load energised and cleared by a breaker'"}},
      {"MapWithAnotherPage",
       [](CaseFolder& f) { edit(f / kMap, "MAP: rl_breaker.dta", "MAP: other.dta"); },
       false,
       {" ***ERROR** WAKRO: Snapshot of another case: PAGES = rl_breaker.dta, the map file's other.dta"}},
      {"PrintStepOfZero",
       [](CaseFolder& f) { edit(f / kMap, "PRINT_STEP = 100.0E-6", "PRINT_STEP = 0"); },
       true,
       {}},
      // A count in use of the dimensions beyond the size its row gives, refused
      // before anything is allocated from it, naming the row and the file.
      {"DimensionRowBeyondItsSize",
       [](CaseFolder& f) { edit(f / kSnap, " RTCF                  =       0", " RTCF = 2147483647"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count out of range: RTCF = 2147483647 (at most 1)",
        " ***ERROR** Snapshot file: snapA.snp"}},
      {"DimensionNodesBeyondItsSize",
       [](CaseFolder& f) { edit(f / kSnap, " NODES                 =       2", " NODES = 60000"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count out of range: NODES = 60000 (at most 2)"}},
      {"DimensionRowThatIsNoNumber",
       [](CaseFolder& f) { edit(f / kSnap, " STOF                  =       7 ", " STOF = x7 "); },
       false,
       {" ***ERROR** WAKRO: Error while reading snap file: DIMENSIONS row STOF = x7               7",
        " ***ERROR** Snapshot file: snapA.snp"}},
      // Rows damaged alike in both columns: refused naming the row, or what they size names the file.
      {"SubsysRowHugeInBothColumns", [](CaseFolder& f) { edit(f / kSnap, " SUBSYS .*", " SUBSYS = 2147483647 2147483647"); },
       false, {"Integer overflow when calculating the amount of memory to allocate", kSizedBy}},
      {"SparsityRowBeyondMemory", [](CaseFolder& f) { edit(f / kSnap, " SPARSITY .*", " SPARSITY = 2147483647 2"); },
       false, {"Allocation would exceed memory limit", kSizedBy}},
      {"NodesRowHugeInBothColumns", [](CaseFolder& f) { edit(f / kSnap, " NODES .*", " NODES = 2147483647 2147483647"); },
       false, {" ***ERROR** WAKRO: Too many nodes: the sparse pattern n(n-1)/2+1 exceeds the largest size: DIMENSIONS "
               "row NODES = 2147483647 2147483647", kSnapFile}},
      {"DimensionRowWithoutItsEqualsSign", [](CaseFolder& f) { edit(f / kSnap, " NODES .*", " NODES 2 2"); },
       false, {" ***ERROR** WAKRO: Empty dimension for NODES: DIMENSIONS row NODES 2 2", kSnapFile}},
      {"MnaDeclarationsWithoutMna",
       [](CaseFolder& f) { edit(f / kSnap, " NMANA                 =       0", " NMANA = 1"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count out of range: NMANA = 1 (at most 0)"}},
      {"ModeDomainLineWithoutItsDirectoryRow",
       [](CaseFolder& f) { edit(f / kSnap, " TLINES                =       0", " TLINES = 1"); },
       false,
       {" ***ERROR** WAKRO: Snapshot count out of range: TLINES = 1 (at most 0)"}},
      {"ChannelCountNear2To31",
       [](CaseFolder& f) { edit(f / kMap, " PGBS = 4", " PGBS = 2147483647"); },
       false,
       {}},
  };
  return list;
}

void PrintTo(const Check& c, std::ostream* os) { *os << c.name; }

class ResumeChecks : public ::testing::TestWithParam<Check> {};

TEST_P(ResumeChecks, RefusedBeforeAnyStepOrAccepted) {
  const Check& c = GetParam();
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  const CaseRun full = folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}, "full.log");
  ASSERT_EQ(full.status, 0) << full.log;
  c.change(folder);
  const std::string before = read_file(folder / kSnap);
  const CaseRun res = folder.run({"1", "0", "0", "1", "0", "0", "snapA", "0.06", "0"}, "res.log");
  for (const std::string& line : c.lines) EXPECT_TRUE(has_line(res.log, line)) << line << "\n" << res.log;
  if (c.accepted) {
    EXPECT_EQ(res.status, 0) << res.log;
    EXPECT_TRUE(ran_steps(res.log)) << res.log;
  } else {
    EXPECT_NE(res.status, 0) << res.log;
    EXPECT_FALSE(ran_steps(res.log)) << res.log;
  }
  EXPECT_EQ(read_file(folder / kSnap), before);  // a resume never writes into its snapshot
}

INSTANTIATE_TEST_SUITE_P(Snapshots, ResumeChecks, ::testing::ValuesIn(checks()),
                         [](const auto& info) { return std::string(info.param.name); });

// A header refused by the check of the start-up dialogue changes nothing: the
// run does not begin to read the snapshot.
TEST(ResumeHeader, ARefusedHeaderIsRefusedBeforeTheSnapshotIsRead) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  ASSERT_EQ(folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  edit(folder / kSnap, "\n   5\\.000000000000000", "\n   4.200000000000000");
  const CaseRun res = folder.run({"1", "0", "0", "1", "1", "resumed", "0", "snapA", "0.06", "0"});
  EXPECT_NE(res.status, 0);
  EXPECT_EQ(res.log.find("Reading data for snap file"), std::string::npos) << res.log;
  EXPECT_FALSE(fs::exists(folder / "resumed_01.out"));
}

// More output channels in the map than the snapshot's channel arrays hold: the
// channel values, their lists and names all grow, and the run goes on.
TEST(ResumeMapMerge, MoreChannelsGrowEveryChannelArray) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  ASSERT_EQ(folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  std::string list = " 12";
  std::string names;
  for (int k = 1; k <= 12; ++k) {
    list.append(" ").append(std::to_string(k));
    names.append("Signal ").append(std::to_string(k)).append("\n");
  }
  edit(folder / kMap, " PGBS = 4", " PGBS = 12");
  edit(folder / kMap, "IPGBS:\n 4 1 2 3 4\n", cat(cat("IPGBS:\n", list), "\n"));
  edit(folder / kMap, "PGBList:\n(.*\n){4}", cat("PGBList:\n", names));
  const CaseRun res = folder.run({"1", "1", "0.01", "later", "0", "1", "1", "resumed", "0", "snapA", "0.02", "0"});
  ASSERT_EQ(res.status, 0) << res.log;
  // Ten channels a legacy file: channels 1..10, then 11 and 12.
  const auto first = folder.channels("resumed_01.out");
  const auto second = folder.channels("resumed_02.out");
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(first.size(), second.size());
  for (const auto& [t, row] : first) {
    ASSERT_EQ(row.size(), 10u) << t;
    ASSERT_EQ(second.at(t).size(), 2u) << t;
    // The case writes channels 1..4; the others stay 0.
    for (std::size_t c = 4; c < 10; ++c) EXPECT_EQ(row[c], 0.0);
    for (double v : second.at(t)) EXPECT_EQ(v, 0.0);
  }
  const std::string later = read_file(folder / "later.snp");
  EXPECT_NE(later.find(" !PGB:          12\n"), std::string::npos);
  EXPECT_NE(later.find(cat(" ! PGBNAME: 12\n", names)), std::string::npos);
  EXPECT_NE(later.find("PGBS                  =      12              20"), std::string::npos) << later.substr(0, 800);
}

// Channel names that look like comments or keys read back exactly, from the
// snapshot itself (the map file is moved away).
TEST(ResumeChannelNames, NamesLikeCommentsReadBackExactly) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  // (The case reader takes the first name after its comment skipper, so the
  // first name is a plain one; the others are read as whole lines.)
  const std::string names = "Plain first\nC a channel\n! a second\n/ a third\n";
  edit(folder / kMap, "PGBList:\n(.*\n){4}", cat("PGBList:\n", names));
  ASSERT_EQ(folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  fs::rename(folder / kMap, folder / "moved.map");
  const CaseRun res = folder.run({"1", "1", "0.01", "later", "0", "1", "0", "0", "snapA", "0.02", "0"});
  ASSERT_EQ(res.status, 0) << res.log;
  EXPECT_NE(read_file(folder / kSnap).find(cat(" ! PGBNAME: 4\n", names)), std::string::npos);
  EXPECT_NE(read_file(folder / "later.snp").find(cat(" ! PGBNAME: 4\n", names)), std::string::npos);
}

// The header, a title with quotes, and the stores: a store of no values has
// neither label nor value line. The resumed run keeps the title.
TEST(SnapshotFile, HeaderTitleAndStores) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  edit(folder / kMap, " TITLE = '.*'", " TITLE = 'It''s the \"breaker\" case'");
  ASSERT_EQ(folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  const std::vector<std::string> lines = lines_of(read_file(folder / kSnap));
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines[0], "! WAKRO SNAP-SHOT - Version, Time, Delt");
  EXPECT_EQ(lines[1], "   5.000000000000000       0.6000000000000000E-01   0.5000000000000000E-04 ");
  EXPECT_EQ(lines[2].substr(0, 30), "! It's the \"breaker\" case     ");
  EXPECT_EQ(lines[3], cat("!", std::string(55, '=')));
  EXPECT_TRUE(has_line(read_file(folder / kSnap), "  TITLE          = 'It''s the \"breaker\" case'"));
  EXPECT_TRUE(has_line(read_file(folder / kSnap), " !STOF:           7"));
  EXPECT_EQ(read_file(folder / kSnap).find("!STOL:"), std::string::npos);
  EXPECT_EQ(read_file(folder / kSnap).find("!STOR:"), std::string::npos);
  EXPECT_EQ(lines[lines.size() - 2], cat("!", std::string(55, '=')));
  EXPECT_EQ(lines.back(), " ! End of Snap-shot");
  const CaseRun res = folder.run({"1", "1", "0.01", "later", "0", "1", "0", "0", "snapA", "0.02", "0"});
  ASSERT_EQ(res.status, 0) << res.log;
  EXPECT_TRUE(has_line(read_file(folder / "later.snp"), "  TITLE          = 'It''s the \"breaker\" case'"));
}

// A map whose NODES leaves room above the largest subsystem is the map the
// snapshot was written with: accepted.
TEST(ResumeMapMerge, NodesWithHeadroomAreAccepted) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  edit(folder / kMap, " NODES = 2", " NODES = 3");
  ASSERT_EQ(folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  EXPECT_NE(read_file(folder / kSnap).find(" NODES                 =       2               3\n"), std::string::npos);
  const CaseRun res = folder.run({"1", "0", "0", "1", "0", "0", "snapA", "0.06", "0"});
  EXPECT_EQ(res.status, 0) << res.log;
  EXPECT_TRUE(ran_steps(res.log));
}

// A snapshot that cannot be written leaves the one written before as it was.
TEST(SnapshotWriting, AFailedWriteKeepsThePreviousSnapshot) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  ASSERT_EQ(folder.run({"0", "1", "0.06", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  const std::string previous = read_file(folder / kSnap);
  fs::create_directory(folder / cat(kSnap, ".tmp"));  // nothing can be written there
  const CaseRun again = folder.run({"0", "1", "0.03", "snapA", kMap, "1", "0", "0", "0"});
  EXPECT_NE(again.status, 0);
  EXPECT_TRUE(has_line(again.log, " ***ERROR** Error occurred while writing snap file " + std::string(kSnap) + ": " +
                                       std::strerror(EISDIR)))
      << again.log;
  EXPECT_TRUE(has_line(again.log, " ERROR: Abnormal termination of WAKRO by WRITESNP    ")) << again.log;
  EXPECT_EQ(read_file(folder / kSnap), previous);
  fs::remove(folder / cat(kSnap, ".tmp"));  // a link at the temporary name is removed, not written through
  std::ofstream(folder / "target") << "kept\n";
  fs::create_symlink("target", folder / cat(kSnap, ".tmp"));
  ASSERT_EQ(folder.run({"0", "1", "0.03", "snapA", kMap, "1", "0", "0", "0"}).status, 0);
  EXPECT_TRUE(read_file(folder / "target") == "kept\n" && fs::is_regular_file(fs::symlink_status(folder / kSnap)));
}

}  // namespace
}  // namespace snapshot_test
