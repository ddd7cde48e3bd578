// The parameter-study case built as a user builds a case: run alone for its
// four runs, and as the two ranks of a parallel multiple run under the
// scripted design environment, whose answer to the merge request (21) decides
// whether the last rank merges the files of both ranks.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <regex>
#include <tuple>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/child_process.h"
#include "multirun/statistics.h"
#include "multirun_fixture.h"
#include "support/preloaded.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_MULTIRUN_EXE
#error "WAKRO_MULTIRUN_EXE must name the built parameter-study case"
#endif

namespace multirun_test {
namespace {

namespace fs = std::filesystem;
using app_test::ChildProcess;
using wakro_test::read_file;
using wakro_test::Watchdog;

const std::string kExe = WAKRO_MULTIRUN_EXE;
const std::string kCaseDir = WAKRO_MULTIRUN_CASE_DIR;

// Where SIGTERM reaches run `run` (0: nowhere), each a wait for the design
// environment: before its first step, before its last (steps 0..9 given, the
// last report being step 9's), before the answer to its end.
enum class StopAt { kRunStart, kLastStep, kRunEnd };
struct Stop { int run = 0; StopAt at = StopAt::kRunStart; };

// What one engine process did under the scripted design environment.
struct RankRun {
  int exit_code = -1;
  int merge_requests = 0;
  std::vector<std::string> messages;  // lines of its model messages
  std::string out;
};

class CaseRuns : public MultirunTest {
 protected:
  void SetUp() override {
    MultirunTest::SetUp();
    for (const char* f : {"multirun.map", "answers.txt"}) fs::copy_file(fs::path(kCaseDir) / f, f);
  }
  std::string dir() const { return folder_.path().string(); }

  // How the scripted design environment drives one process of the case.
  struct Script {
    std::int32_t rank = 0, count = 0;
    double runs = 3.0;
    std::vector<std::pair<std::int32_t, std::int32_t>> replies{};  // to the merge requests (21)
    Stop stop{};             // where SIGTERM reaches the engine
    std::string set_name{};  // given with the runs by the multiple-run command (16)
    std::string snapshots{};  // numbered snapshots under this name every 0.5 s (15)
    int pause_run = 0;       // at the start of this run, `paused` runs before the run is given its steps
    bool runtime_snapshot = false;  // asked for (15) after step 4 of run 1, which waits for it there
    std::function<void()> paused{}, before_merge{};
    std::string preload{};  // a library the engine is started with (LD_PRELOAD)
  };

  // Runs the case as rank `rank` of `count` with `runs` runs; answers every
  // merge request (21) with the next of `replies` (tag, value), 99 when none
  // is left. SIGTERM reaches the engine at `stop`.
  RankRun run_rank(std::int32_t rank, std::int32_t count, double runs,
                   const std::vector<std::pair<std::int32_t, std::int32_t>>& replies, Stop stop = {}) {
    return run_script({.rank = rank, .count = count, .runs = runs, .replies = replies, .stop = stop});
  }

  RankRun run_script(const Script& script) {
    const Stop& stop = script.stop;
    RankRun result;
    wakro_test::ScriptedPeer peer;
    std::vector<std::string> words{kExe, "-v5", "-locale", "C", "-port", std::to_string(peer.port())};
    ChildProcess child(script.preload.empty() ? words : wakro_test::preloaded(script.preload, words), dir());
    if (!child.started() || !peer.accept(10000) || !peer.sendKey()) {
      ADD_FAILURE() << "the engine did not connect";
      return result;
    }
    auto send = [&](const wakro_test::Frame& f) { EXPECT_TRUE(peer.sendFrame(f)); };
    send(peer.frame().i(10).s("multirun.map"));
    send(peer.frame().i(26).i(0).i(script.rank).i(script.count));
    send(peer.frame().i(30).i(1).d(script.runs));
    if (!script.set_name.empty()) send(peer.frame().i(16).i(static_cast<std::int32_t>(script.runs)).s(script.set_name));
    if (!script.snapshots.empty()) send(peer.frame().i(15).s(script.snapshots).d(0.5).i(2));
    send(peer.frame().i(19));
    std::size_t next_reply = 0;
    bool aborted = false;
    int run_starts = 0;
    for (;;) {
      auto r = peer.recvFrame(20000);
      if (!r) {
        ADD_FAILURE() << "no frame from the engine";
        break;
      }
      const std::int32_t tag = r->i();
      const bool stopping = stop.run == run_starts + (tag == 2 ? 1 : 0);
      if (tag == 2) {
        ++run_starts;
        if (stopping && stop.at == StopAt::kRunStart) ::kill(child.pid(), SIGTERM);
        if (run_starts == script.pause_run) script.paused();
        const bool paced = stopping && stop.at == StopAt::kLastStep;
        const bool snapshot = script.runtime_snapshot && run_starts == 1;
        send(peer.frame().i(1).i(paced ? 10 : snapshot ? 5 : 1000000));  // steps 0..9 (0..4), or every step
      } else if (tag == 4 && stopping && stop.at == StopAt::kLastStep && r->i() == 9) {
        ::kill(child.pid(), SIGTERM);
        send(peer.frame().i(1).i(1000000));
      } else if (tag == 4 && script.runtime_snapshot && run_starts == 1 && r->i() == 4) {
        send(peer.frame().i(15));
        send(peer.frame().i(1).i(1000000));
      } else if (tag == 10) {
        aborted = true;
      } else if (tag == 0 && !aborted) {
        if (stopping && stop.at == StopAt::kRunEnd) ::kill(child.pid(), SIGTERM);
        send(peer.frame().i(22).i(0));  // end of the run answered, no extra run
      } else if (tag == 21) {
        ++result.merge_requests;
        if (script.before_merge) script.before_merge();
        const auto reply = next_reply < script.replies.size() ? script.replies[next_reply++] : std::make_pair(99, 0);
        send(peer.frame().i(reply.first).i(reply.second));
      } else if (tag == 14) {
        for (int k = 0; k < 4; ++k) (void)r->i();
        while (!r->atEnd() && !r->overrun()) result.messages.push_back(r->s());
      } else if (tag == -999) {
        send(peer.frame().i(-999));
        break;
      }
    }
    if (!child.wait(20000)) ADD_FAILURE() << "the engine did not end";
    result.exit_code = child.exitCode();
    result.out = child.out();
    return result;
  }
};

// Values of run r: gain 1, 2, 1, 2 ...; multiplier 1, 1, 2, 2 ...
double gain(int r) { return (r - 1) % 2 + 1.0; }
int multiplier(int r) { return (r - 1) / 2 % 2 + 1; }

TEST_F(CaseRuns, AloneFourRunsWriteTheOutputAndExtraFiles) {
  Watchdog dog("CaseRuns.AloneFourRuns", 120);
  // The plain map, then maps repeating opening sections every run skips (a DIMENSIONS: of nodes without
  // subsystems, a PARAMETERS: of another finish, INCLUDEs of no file): its rows, each run echoing alike.
  const std::string plain = read_file("multirun.map"), later = "PARAMETERS:\nINCLUDE 'no.inc'\n FINISH_TIME = 0.5\n";
  const std::size_t at = plain.find("PARAMETERS:\n") + 12, end = plain.find("ENDCASE:");
  std::string plain_rows;
  using Map = std::array<std::string, 3>;  // sections after DIMENSIONS:, lines opening PARAMETERS:, later sections
  for (const auto& [dimensions, echo, parameters] : {Map{}, Map{"DIMENSIONS:\n NODES = 2\n", "", ""},
       Map{"", "", later}, Map{"DIMENSIONS:\nINCLUDE 'no.inc'\n NODES = 2\nDIMENSIONS:\n", " ECHO_DATA = YES\n", later}}) {
    std::ofstream("multirun.map") << plain.substr(0, at - 12) + dimensions + "PARAMETERS:\n" + echo +
                                         plain.substr(at, end - at) + parameters + "ENDCASE:\n";
    ChildProcess p({kExe, "-v5"}, dir(), dir() + "/answers.txt");
    ASSERT_TRUE(p.wait(60000));
    const std::string out = p.out();
    ASSERT_EQ(p.exitCode(), 0) << out << p.err();
    EXPECT_TRUE(contains(out, "=> WAKRO Run #     4 of     4 Started...")) << out;
    EXPECT_TRUE(contains(out, "Multiple run output: mrun")) << out;

    const auto rows = lines_of(read_file("mrun.out"));
    ASSERT_GE(rows.size(), 8u);
    EXPECT_EQ(rows[0], " Multiple Run Output File");
    for (int r = 1; r <= 4; ++r) {
      std::array<double, 3> v{};
      ASSERT_TRUE(wakro::multirun::read_row_values(rows[static_cast<std::size_t>(r + 1)], 1, v)) << rows[r + 1];
      EXPECT_EQ(v[0], gain(r));
      EXPECT_EQ(v[1], multiplier(r));
      EXPECT_NEAR(v[2], gain(r) * multiplier(r), 1e-9);  // the ramp's peak at 1 s
    }
    EXPECT_EQ(rows[7], "Statistical Summary Based on      4 Runs:");
    EXPECT_TRUE(contains(read_file("mrun.out"), "Initial Seed\n" + std::string(11, ' ') + "1\n"));

    const auto extra = lines_of(read_file("ramp_01.out"));
    ASSERT_GE(extra.size(), 8u);
    for (int r = 1; r <= 4; ++r) {
      std::array<double, 2> v{};
      ASSERT_TRUE(wakro::multirun::read_row_values(extra[static_cast<std::size_t>(r + 1)], 1, v));
      const double gn = gain(r) * multiplier(r);
      EXPECT_NEAR(v[0], gn, 1e-9);
      EXPECT_NEAR(v[1], 0.385 * gn * gn, 1e-9);  // sum of (gn 0.1 i)^2 0.1, i = 0..10
    }
    EXPECT_EQ(extra[7], "Statistical Summary Based on      4 Runs:");
    if (plain_rows.empty()) plain_rows = read_file("mrun.out");
    const std::regex echoed("\n (ENDCASE|DIMENSIONS):");
    const auto echoes = std::distance(std::sregex_iterator(out.begin(), out.end(), echoed), std::sregex_iterator());
    EXPECT_TRUE(read_file("mrun.out") == plain_rows && echoes == (echo.empty() ? 0 : 4)) << out;
  }
  // The set removed its locks; a lock another run holds stops a set whose model code sets its runs.
  EXPECT_FALSE(fs::exists("mrun.out.lock") || fs::exists("ramp_01.out.lock") || !fs::remove("mrun.out"));
  const int fd = ::open("mrun.out.lock", O_RDWR | O_CREAT, 0644);
  ASSERT_TRUE(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
  ChildProcess q({kExe, "-v5"}, dir(), dir() + "/answers.txt");
  ASSERT_TRUE(q.wait(60000) && ::close(fd) == 0);
  EXPECT_TRUE(q.exitCode() == 2 && !fs::exists("mrun.out") &&
              contains(q.out(), "\n ERROR: Another run is writing the multiple-run file mrun.out (it holds the lock " +
                                    fs::canonical(dir()).string() + "/mrun.out.lock): this set of runs stops before "
                                    "writing them.\n")) << q.out();
}

// A soft limit on open files below the hard one stops no set: the process
// entry raises it to the hard one before it opens a file. The set keeps its
// two files (mrun.out, ramp_01.out) open at once, each beside its lock and the
// lock on the file itself, after the three standard files: a soft limit one
// below that leaves the last of them no descriptor (the extra recording file
// or the lock on it itself), and only the entry's raise lets the set run. (At
// 6 a lock file's own open meets the limit and raises it; 20 holds them all.)
TEST_F(CaseRuns, ASoftLimitOnOpenFilesBelowTheHardOneStopsNoSet) {
  Watchdog dog("CaseRuns.ASoftLimitOnOpenFiles", 120);
  const long held = 3 + 3 * 2;
  for (const long soft : {6L, 20L, held - 1}) {
    fs::remove("mrun.out");
    ChildProcess p({kExe, "-v5"}, dir(), dir() + "/answers.txt", 0, soft);
    ASSERT_TRUE(p.wait(60000));
    EXPECT_EQ(p.exitCode(), 0) << soft << "\n" << p.out();
    const auto rows = lines_of(read_file("mrun.out"));
    EXPECT_TRUE(rows.size() > 7 && rows[7] == "Statistical Summary Based on      4 Runs:") << soft;
  }
}

// A file-size limit (as a full disk) met by a write of either file stops the
// set at once, no later run started, with one message naming the file, the run
// and the reason, and status 2000; the file ends with its last whole record:
// title and heading (mrun.out 26 + 61 bytes, ramp_01.out 26 + 187), rows of
// 61 (51) bytes, no statistics.
TEST_F(CaseRuns, AWriteTheSystemRefusesStopsTheSetAndLeavesWholeRows) {
  Watchdog dog("CaseRuns.AWriteTheSystemRefuses", 120);
  const std::string stats = "its rows are complete, its statistics are not written";
  struct Case { long limit; std::string file; int run, rows; std::string kept; };
  for (const Case& c : {Case{100, "mrun.out", 1, 0, "no row is complete"},
                        Case{300, "ramp_01.out", 2, 1, "the rows up to run # 1 are complete"},
                        Case{1000, "mrun.out", 4, 4, stats}, Case{1700, "ramp_01.out", 4, 4, stats}}) {
    SCOPED_TRACE(c.limit);
    const bool mrun = c.file == "mrun.out";  // its Peak, column 3, is the extra file's Final, column 1
    ChildProcess p({kExe, "-v5"}, dir(), dir() + "/answers.txt", c.limit);
    ASSERT_TRUE(p.wait(60000));
    const std::string out = p.out();
    EXPECT_TRUE(p.exitCode() == 2 && out.find("Error occurred") == out.rfind("Error occurred") &&
                contains(out, " ***ERROR** Error occurred while writing multiple-run file " + c.file + " in run # " +
                                  std::to_string(c.run) + ": " + std::strerror(EFBIG) + "; " + c.kept + ".\n") &&
                contains(out, mrun ? "by MRUNO" : "by MRUNXTRA") && contains(out, "Status code = 2000\n") &&
                !contains(out, "Run #     " + std::to_string(c.run + 1) + " of")) << out;
    const std::string text = read_file(c.file);
    EXPECT_EQ(text.size(), mrun ? 87u + 61u * c.rows : 213u + 51u * c.rows) << text;
    const auto lines = lines_of(text);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(2 + c.rows)) << text;
    for (int r = 1; r <= c.rows; ++r) {
      std::vector<double> v(mrun ? 3 : 2);
      ASSERT_TRUE(wakro::multirun::read_row_values(lines[static_cast<std::size_t>(r + 1)], 1, v)) << text;
      EXPECT_NEAR(mrun ? v[2] : v[0], gain(r) * multiplier(r), 1e-9);
    }
    for (const char* f : {"mrun.out", "ramp_01.out"}) fs::remove(f);
  }
}

// Resumed from the last run's snapshot at 0.5 s (dt 0.1 s) for one step (0.12
// s: to 0.6 s) and for three (0.3 s: to 0.8 s): every run writes its row, the
// output file as a run from data to the same finish writes it (the peak is gain
// n at the finish), the extra file the sum of (gn t)^2 0.1 over the steps taken,
// and the progress ends at 100 %.
// The run count comes from a real (the first global substitution value): a
// value beyond the 32-bit range, a fraction, a negative or one beyond the bound
// stops the run naming it, rather than being cut to some other count.
TEST_F(CaseRuns, TheRunCountFromARealIsAWholeNumberWithinTheBound) {
  Watchdog dog("CaseRuns.RunCountFromAReal", 120);
  for (const auto& [value, said] : {std::pair{"3e9", "is 3e+09: a whole number from 1 to 10000 is needed.\n"},
                                    {"-2", "is -2: a"}, {"2.5", "is 2.5: a"}, {"10001", "is 10001: a"}, {"2", ""}}) {
    std::ofstream(dir() + "/in.txt") << "0\n0\nmultirun.map\n1\n0\n0\n1\n" << value << "\n";
    ChildProcess p({kExe, "-v5", "-standalone"}, dir(), dir() + "/in.txt");
    ASSERT_TRUE(p.wait(60000));
    EXPECT_EQ(p.exitCode(), *said ? 2 : 0) << value << p.out();
    EXPECT_NE(p.out().find(*said ? std::string(" ***ERROR** The number of runs (the first global substitution value) ") + said
                                 : "=> Completed run #     2 of     2\n"), std::string::npos) << value << p.out();
  }
}

TEST_F(CaseRuns, AResumeOfAnyLengthWritesEveryRunsRows) {
  Watchdog dog("CaseRuns.AResumeOfAnyLength", 120);
  auto run_with = [&](const std::string& answers) {
    std::ofstream(dir() + "/in.txt") << answers;
    ChildProcess p({kExe, "-v5", "-standalone"}, dir(), dir() + "/in.txt");
    EXPECT_TRUE(p.wait(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.out();
    return p.out();
  };
  run_with("0\n1\n0.5\nsnapA\nmultirun.map\n1\n0\n0\n0\n");
  const std::string map = read_file("multirun.map");
  for (const auto& [duration, finish, squares] : {std::tuple{"0.12", "0.6", 0.36}, {"0.3", "0.8", 1.49}}) {
    const std::string log = run_with("1\n0\n0\n1\n0\n0\nsnapA\n" + std::string(duration) + "\n0\n");
    // Each run's progress rises to 100 % at its last step, never past it.
    std::vector<int> percents;
    const std::regex line("This run is +([0-9]+)% complete");
    for (std::sregex_iterator m(log.begin(), log.end(), line), end; m != end; ++m) percents.push_back(std::stoi((*m)[1]));
    EXPECT_TRUE(std::count(percents.begin(), percents.end(), 100) == 4 && std::ranges::max(percents) == 100) << log;
    const std::string resumed = read_file("mrun.out");
    const auto extra = lines_of(read_file("ramp_01.out"));
    ASSERT_GE(extra.size(), 8u) << log;
    for (int r = 1; r <= 4; ++r) {
      std::array<double, 2> v{};
      const double gn = gain(r) * multiplier(r);
      ASSERT_TRUE(wakro::multirun::read_row_values(extra[static_cast<std::size_t>(r + 1)], 1, v));
      EXPECT_TRUE(std::fabs(v[0] - gn * std::stod(finish)) < 1e-9 && std::fabs(v[1] - 0.1 * squares * gn * gn) < 1e-9);
    }
    // (The map's finish time is no part of what a resume takes from it.)
    std::ofstream("multirun.map") << std::regex_replace(map, std::regex("FINISH_TIME = 1.0"), "FINISH_TIME = " + std::string(finish));
    run_with("0\n0\nmultirun.map\n1\n0\n0\n0\n");
    EXPECT_EQ(resumed, read_file("mrun.out")) << duration;
  }
}

TEST_F(CaseRuns, TwoRanksMergeAfterTheGoAhead) {
  Watchdog dog("CaseRuns.TwoRanksMerge", 180);
  const RankRun first = run_rank(1, 2, 3.0, {});
  EXPECT_EQ(first.exit_code, 0) << first.out;
  EXPECT_EQ(first.merge_requests, 0);
  const RankRun last = run_rank(2, 2, 3.0, {{32, 0}, {32, 1}});
  EXPECT_EQ(last.exit_code, 0) << last.out;
  EXPECT_EQ(last.merge_requests, 2);  // 32 with 0 asks again

  const auto merged = lines_of(read_file("mrun.out"));
  ASSERT_GE(merged.size(), 10u);
  EXPECT_EQ(merged[1].substr(0, 12), "Rank#  Run #");
  for (int k = 0; k < 6; ++k) {
    const std::string code = k < 3 ? "0001" : "0002";
    EXPECT_EQ(merged[static_cast<std::size_t>(2 + k)].substr(0, 12), code + "       " + std::to_string(k % 3 + 1));
  }
  EXPECT_EQ(merged[9], "Statistical Summary Based on      6 Runs:");
  const auto extra = lines_of(read_file("ramp_01.out"));
  ASSERT_GE(extra.size(), 10u);
  EXPECT_EQ(extra[1].substr(0, 11), "Rank#   Run");
  EXPECT_EQ(extra[9], "Statistical Summary Based on      6 Runs:");
  EXPECT_TRUE(fs::exists("mrun_0001.out"));
  EXPECT_TRUE(fs::exists("ramp_01_0002.out"));
}

// The two ranks started side by side in one folder, as the design environment
// starts them, each told the set's runs and name: each locks only its own
// files (the last rank the merged ones too), so both run to their end and the
// merge holds both. Rank 1 waits at its first run until rank 2 has started
// beside it; rank 2 is told to merge once rank 1 has ended.
TEST_F(CaseRuns, TwoRanksSideBySideInOneFolderBothRunAndMerge) {
  Watchdog dog("CaseRuns.TwoRanksSideBySide", 180);
  std::promise<void> second_started, first_ended;
  RankRun first;
  std::thread rank1([&, started = second_started.get_future()] {
    first = run_script({.rank = 1, .count = 2, .set_name = "mrun", .pause_run = 1,
                        .paused = [&] { EXPECT_EQ(started.wait_for(std::chrono::seconds(30)), std::future_status::ready); }});
    first_ended.set_value();
  });
  const RankRun last = run_script({.rank = 2, .count = 2, .replies = {{32, 1}}, .set_name = "mrun", .pause_run = 1,
                                   .paused = [&] { second_started.set_value(); },
                                   .before_merge = [ended = first_ended.get_future().share()] { ended.wait_for(std::chrono::seconds(60)); }});
  rank1.join();
  EXPECT_EQ(first.exit_code, 0) << first.out;
  EXPECT_EQ(last.exit_code, 0) << last.out;
  const std::string merged = read_file("mrun.out");
  EXPECT_TRUE(contains(merged, "\n0001       3") && contains(merged, "\n0002       3") &&
              contains(merged, "Statistical Summary Based on      6 Runs:")) << merged;
}

// Beside a set under way, a run that would write one of its files is refused
// before it writes anything, naming the file and the lock, whatever name led
// it there: a second set of the same multiple-run name (no rank of a parallel
// run), a run whose channel file 1 is the set's extra recording file (output
// name ramp, component ramp), a run whose snapshot is one of the set's
// numbered snapshots. The set runs on to its end. A process locks only what
// it writes: rank 1 of a parallel run not the merged file, the last rank the
// merged files, a set named x_01 the file x_01.out. A set named ramp_01, whose
// multiple-run file is its component's extra recording file, stops before the
// second writer writes it. The set runs again, over its own files, where flock
// is a whole-file record lock of the process (NFS, a flock preloaded), and so
// do the runs beside: each is refused as before.
TEST_F(CaseRuns, EachProcessLocksTheFilesItWritesAndARunBesideIsRefused) {
  Watchdog dog("CaseRuns.EachProcessLocks", 240);
  const std::string at = fs::canonical(dir()).string() + "/";
  for (const char* f : {"rl_breaker.map", "rl_breaker.dta"}) fs::copy_file(fs::path(WAKRO_RL_BREAKER_CASE_DIR) / f, f);
  std::ofstream("runs.txt") << "0\n0\nmultirun.map\n4\n0\n0\n0\n";
  std::ofstream("snap.txt") << "0\n1\n0.01\nsn_01\nrl_breaker.map\n1\n1\nrl_breaker\n0\n0\n";
  std::ofstream("out.txt") << "0\n0\nrl_breaker.map\n1\n1\nrl_breaker\n0\n0\n";
  // The refusal of the file (its kind, a blank, its name, in the folder) with the ending given.
  const auto refused = [&](const std::string& out, const std::string& kind_file, const char* ending) {
    return contains(out, "\n ERROR: Another run is writing the " + kind_file + " (it holds the lock " + at +
                             kind_file.substr(kind_file.rfind(' ') + 1) + ".lock): this " + ending + ".\n");
  };
  for (const std::string preload : {"", WAKRO_NFS_FLOCK_LIB}) {
    const RankRun set = run_script({.set_name = "mrun", .snapshots = "sn", .pause_run = 2, .paused = [&] {
      for (const auto& [words, answers, file] :
           {std::tuple{std::vector<std::string>{kExe, "-v5"}, "runs.txt", "multiple-run file mrun.out"},
            {{WAKRO_RL_BREAKER_EXE, "-v5", "-out", "ramp"}, "out.txt", "output file ramp_01.out"},
            {{WAKRO_RL_BREAKER_EXE, "-v5"}, "snap.txt", "snapshot sn_01.snp"}}) {
        ChildProcess p(preload.empty() ? words : wakro_test::preloaded(preload, words), dir(), dir() + "/" + answers);
        EXPECT_TRUE(p.wait(60000) && p.exitCode() == 2 && refused(p.out(), file, "run is refused and writes nothing"))
            << p.out();
      }
      // Another set whose multiple-run file is a link to this set's, symbolic or hard, or a hard link to its
      // extra recording file, closed since run 1 wrote it.
      fs::create_symlink("mrun.out", "other.out");
      fs::create_hard_link("mrun.out", "other2.out");
      fs::create_hard_link("ramp_01.out", "x_01.out");
      const std::string rows = read_file("mrun.out"), extra = read_file("ramp_01.out");
      for (const auto& [name, message] :
           {std::pair{"other", "multiple-run file other.out (it holds the lock " + at + "mrun.out.lock)"},
            {"other2", "multiple-run file other2.out through another name (it holds the lock on the file itself, " +
                           at + "other2.out)"},
            {"x_01", "multiple-run file x_01.out through another name (it holds the lock on the file itself, " + at +
                         "x_01.out)"}}) {
        const RankRun r = run_script({.set_name = name, .preload = preload});
        EXPECT_TRUE(r.exit_code == 2 && contains(r.out, "\n ERROR: Another run is writing the " + message +
                                                            ": this run is refused and writes nothing.\n")) << r.out;
      }
      EXPECT_TRUE(read_file("mrun.out") == rows && read_file("ramp_01.out") == extra);
      EXPECT_TRUE(fs::remove("other.out") && fs::remove("other2.out") && fs::remove("x_01.out"));
    }, .preload = preload});
    EXPECT_EQ(set.exit_code, 0) << set.out;
    EXPECT_TRUE(contains(read_file("ramp_01.out"), "Statistical Summary Based on      3 Runs:"));
    EXPECT_TRUE(contains(read_file("mrun.out"), "Statistical Summary Based on      3 Runs:"));
  }
  struct Row { Script script; const char* held; std::string refusal; };
  for (const Row& row : {Row{{.rank = 1, .count = 2, .set_name = "mrun"}, "mrun.out", ""},
                         Row{{.rank = 2, .count = 2, .set_name = "mrun"}, "mrun.out", "multiple-run file mrun.out"},
                         Row{{.rank = 2, .count = 2}, "ramp_01.out", "extra recording file ramp_01.out"},
                         Row{{.set_name = "x_01"}, "x_01.out", "multiple-run file x_01.out"},
                         Row{{.set_name = "ramp_01"}, "", "extra recording file ramp_01.out"},
                         Row{{.runtime_snapshot = true}, "runtime.snp", "snapshot runtime.snp"}}) {
    const int fd = *row.held ? ::open((at + row.held + ".lock").c_str(), O_RDWR | O_CREAT, 0644) : -1;
    ASSERT_TRUE(!*row.held || (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0));
    const RankRun r = run_script(row.script);
    if (fd >= 0) ::close(fd);
    EXPECT_EQ(r.exit_code, row.refusal.empty() ? 0 : 2) << r.out;
    const char* ending = row.script.set_name.empty() ? "set of runs stops before writing them"
                                                     : "run is refused and writes nothing";
    EXPECT_TRUE(row.refusal.empty() || !*row.held || refused(r.out, row.refusal, ending)) << r.out;
    EXPECT_FALSE(fs::exists("runtime.snp"));
    // No lock held: the set's own multiple-run file is where the component's file would be.
    EXPECT_TRUE(*row.held || contains(r.out, "\n ERROR: The " + row.refusal + " is written already as this run's "
                                             "multiple-run file (it holds the lock " + at + "ramp_01.out.lock): this "
                                             "set of runs stops before writing them.\n")) << r.out;
  }
}

TEST_F(CaseRuns, AnyOtherAnswerSkipsTheMergeAndEndsNormally) {
  Watchdog dog("CaseRuns.OtherAnswerSkips", 180);
  EXPECT_EQ(run_rank(1, 2, 3.0, {}).exit_code, 0);
  const RankRun last = run_rank(2, 2, 3.0, {{99, 0}});
  EXPECT_EQ(last.exit_code, 0) << last.out;
  EXPECT_EQ(last.merge_requests, 1);
  EXPECT_FALSE(fs::exists("mrun.out"));
  EXPECT_FALSE(fs::exists("ramp_01.out"));
}

TEST_F(CaseRuns, MissingRankFileIsNamedThenTheRunStops) {
  Watchdog dog("CaseRuns.MissingRankFile", 180);
  const RankRun last = run_rank(2, 2, 3.0, {{32, 1}});
  EXPECT_EQ(last.exit_code, 2) << last.out;
  bool named = false;
  for (const std::string& m : last.messages) named = named || contains(m, "mrun_0001.out");
  EXPECT_TRUE(named) << last.out;
}

TEST_F(CaseRuns, RankThreeWritesItsOwnFiles) {
  Watchdog dog("CaseRuns.RankThree", 180);
  const RankRun r = run_rank(3, 4, 2.0, {});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_TRUE(fs::exists("mrun_0003.out"));
  EXPECT_TRUE(fs::exists("ramp_01_0003.out"));
  EXPECT_FALSE(fs::exists("mrun.out"));
}

// SIGTERM anywhere in a set of 3 runs: both files hold the rows of the runs
// run, whole, then their statistics once; a run whose first step sees the
// signal is cut short after its next step, its row marked and left out.
TEST_F(CaseRuns, AStopSignalAnywhereEndsTheFilesWithTheirStatisticsOnce) {
  Watchdog dog("CaseRuns.AStopSignalAnywhere", 240);
  struct Case { Stop stop; int rows; bool cut; };
  const auto check = [&](const Case& c) {
    SCOPED_TRACE(std::to_string(c.stop.run) + "/" + std::to_string(static_cast<int>(c.stop.at)));
    const RankRun r = run_rank(0, 0, 3.0, {}, c.stop);
    EXPECT_EQ(r.exit_code, 128 + SIGTERM) << r.out;
    EXPECT_TRUE(contains(r.out, std::string("\n Stopped by SIGTERM: the run ended after step ") +
                                    (c.cut ? "1, at time 0.1" : "10, at time 1") + " s.\n")) << r.out;
    for (const char* file : {"mrun.out", "ramp_01.out"}) {
      const std::string text = read_file(file);
      const auto rows = lines_of(text);
      ASSERT_GE(rows.size(), static_cast<std::size_t>(c.rows + 5)) << text;
      for (std::size_t k = 1; k <= static_cast<std::size_t>(c.rows); ++k)
        EXPECT_TRUE(rows[k + 1].find_first_not_of(' ') == rows[k + 1].find(std::to_string(k)) &&
                    rows[k + 1].ends_with("   (cut short)") == (c.cut && k == static_cast<std::size_t>(c.rows))) << text;
      EXPECT_EQ(rows[static_cast<std::size_t>(c.rows + 3)],
                "Statistical Summary Based on      " + std::to_string(c.rows - c.cut) + " Runs:") << text;
      EXPECT_EQ(rows[static_cast<std::size_t>(c.rows + 4)] == "Runs cut short and left out of the summary:      1",
                c.cut) << text;
      EXPECT_EQ(text.find("Statistical Summary"), text.rfind("Statistical Summary")) << text;
      fs::remove(file);
    }
    const std::string said = "run " + std::to_string(c.rows) + " was cut short; its row is marked";
    EXPECT_EQ(std::ranges::any_of(r.messages, [&](const std::string& m) { return contains(m, said); }), c.cut);
  };
  for (const Case& c : {Case{{1, StopAt::kRunStart}, 1, true}, Case{{2, StopAt::kRunStart}, 2, true},
                        Case{{2, StopAt::kLastStep}, 2, false}, Case{{2, StopAt::kRunEnd}, 2, false},
                        Case{{3, StopAt::kRunEnd}, 3, false}})
    check(c);
  // Alone, run 1 of a long map stopped after step 0 set 4 runs and made mrun.out: both named.
  std::string map = read_file("multirun.map");
  std::ofstream("multirun.map") << map.replace(map.find("FINISH_TIME = 1.0"), 17, "FINISH_TIME = 1000000.0");
  ChildProcess p({kExe, "-v5"}, dir(), dir() + "/answers.txt");
  ASSERT_TRUE(wakro_test::waitUntil([] { return fs::exists("mrun.out"); }, 60000) && ::kill(p.pid(), SIGTERM) == 0);
  ASSERT_TRUE(p.wait(60000));
  EXPECT_TRUE(contains(p.out(), "=> Run #     1 of     4 was cut short") &&
              contains(p.out(), "\nMultiple run output: mrun")) << p.out();
}

}  // namespace
}  // namespace multirun_test
