// The examples run from their data files with snapshots on the way, then resume
// from one of them to the same finish: the resumed channels are those of the
// uninterrupted run, bit for bit as the channel files print them (the running
// case takes on the values the snapshot holds when it writes one), and a later
// snapshot written by both runs is the same file line for line. The storage
// pointer checks stay silent and every snapshot is reported on the console.
// On the sparse solver (every subsystem on it) the same holds: each example and
// the 9-bus case resume from their first snapshot, taken after their main event
// (the breaker's opening, the machine's hand-over, the fault), bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "case_runner.h"
#include "lines/fd_records.h"
#include "support/sanitized.h"

#ifndef WAKRO_SNAP_RL_BREAKER_EXE
#error "WAKRO_SNAP_RL_BREAKER_EXE must name the built R-L breaker example"
#endif

namespace snapshot_test {
namespace {

struct Example {
  const char* name;
  const char* exe;
  const char* dir;
  const char* map;
  const char* interval;  // between the snapshots of the uninterrupted run
  const char* resume_from;  // the snapshot resumed from
  const char* snap_time;    // its time
  const char* duration;     // from it to the finish
  const char* later;        // the snapshot both runs write later (nullptr: none)
  int channels;
  const char* finish = nullptr;  // the finish time set in the map (nullptr: the map's)
  bool sparse = false;           // every subsystem on the sparse solver
  bool older = false;  // resumed from the snapshot as an older writer wrote it (see older_file)
  void (*change)(const CaseFolder&) = nullptr;  // a change to the case's files before both runs
  void (*after)(const CaseFolder&) = nullptr;   // a change between them, to what the case reader skips
  bool sanitized = true;  // run under the sanitizers
};

// Replaces `from` in a case file, which must hold it.
void replace_in(const fs::path& file, const std::string& from, const std::string& to) {
  std::string text = read_file(file);
  ASSERT_NE(text.find(from), std::string::npos) << from;
  write_file(file, text.replace(text.find(from), from.size(), to));
}

// A second TITLE line, which the case reader takes, and a print step it rounds
// to whole steps (the later snapshots both carry 100 us).
void map_as_read(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", " TIME_STEP", " TITLE = 'The second title'\n TIME_STEP");
  replace_in(f / "rl_breaker.map", "PRINT_STEP = 100.0E-6", "PRINT_STEP = 120.0E-6");
}

// Two time steps: the case reader keeps the last and rounds the print step
// with it, 100 us (with the first, 30 us, it would be 90 us); the first
// changed to 40 us before the resume changes nothing.
void two_time_steps(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", " TIME_STEP = 50.0E-6\n PRINT_STEP = 100.0E-6",
             " TIME_STEP = 30.0E-6\n PRINT_STEP = 100.0E-6\n TIME_STEP = 50.0E-6");
}
void change_first_time_step(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", " TIME_STEP = 30.0E-6", " TIME_STEP = 40.0E-6");
}

// The print step before the time step, two steps of it: from data and resumed
// every 100 us (rounded before a time step is known, the resumed run would
// print every 50 us).
void print_step_first(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", " TIME_STEP = 50.0E-6\n PRINT_STEP = 100.0E-6",
             " PRINT_STEP = 100.0E-6\n TIME_STEP = 50.0E-6");
}

// INCLUDE lines in sections the case reader skips (IGNORE: in the map, an
// unknown key in the page), naming files that declare another line: not read.
void include_in_skipped_sections(const CaseFolder& f) {
  const std::string line = "GLOBAL_TLINES:\n 1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\n 1 2 0.5 400.0 0.0 0.0 1.0\nENDFILE\n";
  write_file(f / "ignored.inc", line);
  write_file(f / "unknown.inc", line);
  replace_in(f / "line_step.map", "MAP: line_step.dta", "IGNORE:\nINCLUDE 'ignored.inc'\nMAP: line_step.dta");
  replace_in(f / "line_step.dta", "ENDPAGE:", "UNKNOWN_KEY:\nINCLUDE 'unknown.inc'\nENDPAGE:");
}
void change_skipped_includes(const CaseFolder& f) {
  replace_in(f / "line_step.map", "INCLUDE 'ignored.inc'", "INCLUDE 'gone.inc'");
}

// Lines whose ring alone does not tell their flag: a finite line of exactly
// one step; the line of infinite length; a lossless FRE-DEP line of infinite
// length of 1.2 steps, or one, and a finite one of one step; a FRE-PHASE line
// of groups of 10.3 and 12.6 steps, and one of infinite length. Each with the
// voltage of the step standing at its sending end. And the line at rest (no
// EMF): its waves tell nothing, its ring of ten steps does.
const std::string kLine = " 1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\n 1 2 0.5 400.0 0.0 0.0 1.0\n";
void one_step_line(const CaseFolder& f) { replace_in(f / "line_step.dta", " 1 2 0.5 400.0", " 1 2 0.05 400.0"); }
void infinite_line(const CaseFolder& f) { replace_in(f / "line_step.dta", kLine, " 1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\nINFLENGTH\n 1 2 0.5 400.0 0.0 0.0 1.0\n"); }
template <char Tenths, bool Infinite = true>
void fredep_line(const CaseFolder& f) {
  replace_in(f / "line_step.dta", kLine, std::string("FRE-DEP 1 0 1 1\n") + (Infinite ? "INFLENGTH\n" : "") + "1 2 0.0" +
                                             Tenths + "\n0 0 400.0\n0 0 1.0\n0 0 1.0\n");
}
template <bool Infinite>
void phase_line(const CaseFolder& f) {
  linetest::PhaseFit fit = linetest::spread_fit(1, 2, 50.0e-6);
  fit.options = Infinite ? "INFLENGTH\n" : "";
  write_file(f / "pline.tlo", fit.file());
  replace_in(f / "line_step.dta", kLine, linetest::header_record(1, "pline.tlo"));
}
void line_at_rest(const CaseFolder& f) { replace_in(f / "line_step.dta", "STOF:\n 1 1.0\n", "STOF:\n 1 0.0\n"); }
constexpr Example line_step_with(const char* name, void (*change)(const CaseFolder&), bool sparse) {
  return {name, WAKRO_SNAP_LINE_STEP_EXE, WAKRO_SNAP_LINE_STEP_DIR, "line_step.map", "0.0004", "full_01", "0.0004",
          "0.0011", "full_02.snp", 4, nullptr, sparse, false, change};
}

// A second "PARAMETERS:" right after the first, which the case reader skips.
void second_parameters(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", " FINISH_TIME = 0.12\n",
             " FINISH_TIME = 0.12\nPARAMETERS:\n TITLE = 'A skipped title'\n TIME_STEP = 20.0E-6\n");
}
void change_second_parameters(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", "'A skipped title'", "'Another skipped title'");
}

// A second "DIMENSIONS:" right after the first, which the case reader skips.
void second_dimensions(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", " PGBS = 4\nPARAMETERS:", " PGBS = 4\nDIMENSIONS:\n NPAGES = 3\nPARAMETERS:");
}
void change_second_dimensions(const CaseFolder& f) { replace_in(f / "rl_breaker.map", " NPAGES = 3", " NPAGES = 5"); }

// A map with the channel-list keys in other letter cases (unknown keys: no
// channel lists): resumed as run from data.
void keys_in_other_cases(const CaseFolder& f) {
  replace_in(f / "rl_breaker.map", "IPGBS:\n 4 1 2 3 4\nPGBList:", "ipgbs:\n 4 1 2 3 4\nPGBLIST:");
}

// The snapshot as a writer before the case-identity lines and the chatter
// block wrote it: the run resumed from it starts with no chatter step pending
// and every chatter counter at rest.
std::string older_file(const std::string& snap) {
  std::string older;
  for (const std::string& line : lines_of(snap))
    if (line.rfind("! CASE: ", 0) != 0) older += line + "\n";
  const std::size_t block = older.find(" !*** CHATTER REMOVAL STATE\n");
  const std::size_t end = older.find("!=====", block);
  if (block == std::string::npos || end == std::string::npos) return {};
  return older.erase(block, end - block);
}

const Example kExamples[] = {
    {"rl_breaker", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03", "full_02",
     "0.06", "0.06", "full_03.snp", 4},
    {"line_step", WAKRO_SNAP_LINE_STEP_EXE, WAKRO_SNAP_LINE_STEP_DIR, "line_step.map", "0.0004", "full_01",
     "0.0004", "0.0011", "full_02.snp", 4},
    // As shipped, resumed after the hand-over at 2 s (the generator module's
    // written-back arguments are in its page's stores).
    {"sync_stiff", WAKRO_SNAP_SYNC_STIFF_EXE, WAKRO_SNAP_SYNC_STIFF_DIR, "sync_stiff.map", "1.01", "full_02", "2.02",
     "0.03", nullptr, 5, "2.05"},
    {"generator_stiff", WAKRO_SNAP_GENERATOR_STIFF_EXE, WAKRO_SNAP_GENERATOR_STIFF_DIR, "generator_stiff.map", "1.01",
     "full_02", "2.02", "0.03", nullptr, 10, "2.05"},  // (the first channel file: 1 to 10)
    {"panel", WAKRO_SNAP_PANEL_EXE, WAKRO_SNAP_PANEL_DIR, "panel.map", "0.0004", "full_02", "0.0008", "0.0002",
     nullptr, 2},
    // No step pending at 60 ms, and the counters the older file lacks are set
    // again by the steps before the next snapshot, which both runs write alike.
    {"rl_breaker_older_file", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03",
     "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, true},
    {"rl_breaker_map_as_read", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03",
     "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, false, &map_as_read},
    // Maps whose repeated keys, repeated sections and INCLUDE lines in skipped
    // sections every pass over the map reads as the case reader reads them;
    // a change to what it skips changes nothing.
    {"rl_breaker_two_time_steps", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03",
     "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, false, &two_time_steps, &change_first_time_step},
    {"rl_breaker_print_step_first", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03",
     "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, false, &print_step_first},
    {"line_step_include_in_skipped_sections", WAKRO_SNAP_LINE_STEP_EXE, WAKRO_SNAP_LINE_STEP_DIR, "line_step.map",
     "0.0004", "full_01", "0.0004", "0.0011", "full_02.snp", 4, nullptr, false, false, &include_in_skipped_sections,
     &change_skipped_includes},
    {"rl_breaker_second_parameters", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03",
     "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, false, &second_parameters,
     &change_second_parameters},
    {"rl_breaker_second_dimensions", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.03",
     "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, false, &second_dimensions,
     &change_second_dimensions},
    {"rl_breaker_list_keys_in_other_cases", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map",
     "0.03", "full_02", "0.06", "0.06", "full_03.snp", 4, nullptr, false, false, &keys_in_other_cases},
    line_step_with("line_step_one_step", &one_step_line, false),
    line_step_with("line_step_infinite_fredep_of_1_2_steps", &fredep_line<'6'>, false),
    line_step_with("line_step_infinite_fredep_of_1_step", &fredep_line<'5'>, false),
    line_step_with("line_step_infinite", &infinite_line, false),
    line_step_with("line_step_finite_fredep_of_1_step", &fredep_line<'5', false>, false),
    line_step_with("line_step_phase_domain", &phase_line<false>, false),
    line_step_with("line_step_infinite_phase_domain", &phase_line<true>, false),
    line_step_with("line_step_at_rest", &line_at_rest, false),
    // On the own elimination, early in its run (the sweeps of its 105 nodes
    // take too long under the sanitizers).
    {"wscc9", WAKRO_SNAP_WSCC9_EXE, WAKRO_SNAP_WSCC9_DIR, "wscc9.map", "0.01", "full_01", "0.01", "0.01", nullptr, 10,
     "0.02", false, false, nullptr, nullptr, false},
};

// On the sparse solver the snapshot resumed from is the writing run's first:
// before it that run's factors and pivot order are those of its own history,
// which the resumed run does not have.
const Example kSparseExamples[] = {
    {"rl_breaker", WAKRO_SNAP_RL_BREAKER_EXE, WAKRO_SNAP_RL_BREAKER_DIR, "rl_breaker.map", "0.0843", "full_01",
     "0.0843", "0.0357", nullptr, 4, nullptr, true},
    {"line_step", WAKRO_SNAP_LINE_STEP_EXE, WAKRO_SNAP_LINE_STEP_DIR, "line_step.map", "0.0004", "full_01",
     "0.0004", "0.0011", "full_02.snp", 4, nullptr, true},
    {"sync_stiff", WAKRO_SNAP_SYNC_STIFF_EXE, WAKRO_SNAP_SYNC_STIFF_DIR, "sync_stiff.map", "2.0", "full_01", "2.0",
     "0.05", nullptr, 5, "2.05", true},
    {"generator_stiff", WAKRO_SNAP_GENERATOR_STIFF_EXE, WAKRO_SNAP_GENERATOR_STIFF_DIR, "generator_stiff.map", "2.0",
     "full_01", "2.0", "0.05", nullptr, 10, "2.05", true},
    line_step_with("line_step_one_step", &one_step_line, true),
    line_step_with("line_step_infinite_fredep_of_1_2_steps", &fredep_line<'6'>, true),
    line_step_with("line_step_infinite_fredep_of_1_step", &fredep_line<'5'>, true),
    line_step_with("line_step_infinite", &infinite_line, true),
    // (panel has no network to solve.) After the fault of 10.0 s to 10.0017 s (about 10 s of run here).
    {"wscc9", WAKRO_SNAP_WSCC9_EXE, WAKRO_SNAP_WSCC9_DIR, "wscc9.map", "10.002", "full_01", "10.002", "0.03",
     nullptr, 10, "10.032", true},
};

void PrintTo(const Example& e, std::ostream* os) { *os << e.name; }

std::string two_digits(int k) { return std::string(1, static_cast<char>('0' + k / 10)) + static_cast<char>('0' + k % 10); }

// Each branch of the snapshot in turn grounded at both ends, then shorted on
// one node: refused as the snapshot is read, with the branch reader's message.
void expect_branch_ends_refused(const CaseFolder& folder, const Example& ex) {
  const fs::path path = folder / (std::string(ex.resume_from) + ".snp");
  const std::string good = read_file(path);
  for (std::size_t f = good.find("\n !IEF\n"); f != std::string::npos; f = good.find("\n !IEF\n", f + 1)) {
    const std::size_t end = good.find("\n !THISBR", f);
    const std::string ss = std::to_string(std::stoi(good.substr(good.rfind("SUBSYSTEM:", f) + 10, 4)));
    std::vector<std::string> w;  // the from-nodes, "!IET", the to-nodes
    std::istringstream in(good.substr(f + 7, end - f - 7));
    for (std::string x; in >> x;) w.push_back(x);
    const std::size_t nb = w.size() / 2;
    for (std::size_t b = 0; b < nb; ++b)
      for (const int node : {0, std::max(std::stoi(w[b]), std::stoi(w[b + nb + 1]))}) {
        std::vector<std::string> d = w;
        d[b] = d[b + nb + 1] = std::to_string(node);
        std::string text;
        for (const std::string& x : d) text.append(" ").append(x).append("\n");
        write_file(path, good.substr(0, f + 7) + text + good.substr(end + 1));
        const CaseRun bad = folder.run(snapshot_start(ex.resume_from, ex.duration, ex.interval, "bad", "bad"), "bad.log");
        const std::string n = std::to_string(b + 1);
        EXPECT_NE(bad.log.find(std::string(" ***ERROR** WAKRO: Snapshot values refused together: branch ") + n + " of subsystem " + ss +
                               ": from-node = " + d[b] + ", to-node = " + d[b] + (node == 0 ? " (Both ends of the branch " : " (Branch ") +
                               n + " in subsystem " + ss + (node == 0 ? " is grounded.)\n" : " is shorted.)\n")),
                  std::string::npos) << bad.log;
      }
  }
}

// Each diagonal, and each pair of entries (i, j), (j, i) that a branch,
// winding or line end stamps, left out of the snapshot's fill pattern with its
// conductances; each pair's (i, j) given a conductance its (j, i) has not;
// then each mode-domain and phase-domain line's infinite-length flag turned
// over: refused as the snapshot is read, naming the subsystem and the entry,
// or the line's delay (and, where its ring alone does not tell, the wave that
// does).
void expect_fill_and_flags_refused(const CaseFolder& folder, const Example& ex) {
  const fs::path path = folder / (std::string(ex.resume_from) + ".snp");
  const std::string good = read_file(path);
  const std::vector<std::string> lines = lines_of(good);
  // Refused with the log's refusal holding `all` and one of `either`.
  const auto refused = [&](const std::vector<std::string>& damaged, const std::string& all,
                           const std::vector<std::string>& either) {
    std::string text;
    for (const std::string& l : damaged) text.append(l).append("\n");
    write_file(path, text);
    const std::string log = folder.run(snapshot_start(ex.resume_from, ex.duration, ex.interval, "b", "b"), "b.log").log;
    const std::size_t at = log.find(" ***ERROR** WAKRO: Snapshot values refused together: ");
    const std::string refusal = at == std::string::npos ? "" : log.substr(at, log.find('\n', at) - at);
    bool named = false;
    for (const std::string& e : either) named = named || refusal.find(e) != std::string::npos;
    EXPECT_TRUE(named && refusal.find(all) != std::string::npos && log.find("% complete") == std::string::npos)
        << all << "\n" << log;
  };
  for (std::size_t s = 0; s < lines.size(); ++s) {
    if (lines[s].rfind("!*** SUBSYSTEM:", 0) != 0) continue;
    const std::string ss = std::to_string(std::stoi(lines[s].substr(15)));
    const std::size_t n = std::stoul(lines[s + 1]);
    std::size_t rows = s;
    while (lines[rows++].find("Sparsity matrix") == std::string::npos) continue;
    std::vector<std::pair<std::size_t, std::size_t>> filled;  // in row order, as their conductances follow
    for (std::size_t i = 1; i <= n; ++i)
      for (std::size_t j = 1; j <= n; ++j)
        if (lines[rows + i - 1][j - 1] == '1') filled.emplace_back(i, j);
    const auto without = [&](std::size_t i, std::size_t j) {
      std::vector<std::string> d = lines;
      for (std::size_t k = filled.size(); k-- > 0;)
        if (filled[k] == std::pair{i, j} || filled[k] == std::pair{j, i}) {
          d[rows + filled[k].first - 1][filled[k].second - 1] = '0';
          d.erase(d.begin() + static_cast<std::ptrdiff_t>(rows + n + 1 + k));
        }
      return d;
    };
    for (std::size_t k = 0; k < filled.size(); ++k) {
      const auto [i, j] = filled[k];
      const std::string ni = std::to_string(i), nj = std::to_string(j);
      if (i == j)
        refused(without(i, i), "node " + ni + " of subsystem " + ss + ": fill pattern row " + ni + " column " + ni +
                                   " = 0 (every node's diagonal is filled)", {""});
      if (i >= j) continue;
      refused(without(i, j), " of subsystem " + ss + ": ",
              {"fill pattern row " + ni + " column " + nj + " = 0 (", "fill pattern row " + nj + " column " + ni + " = 0 ("});
      std::vector<std::string> d = lines;  // (i, j) given a conductance (j, i) has not
      d[rows + n + 1 + k] = std::stod(d[rows + n + 1 + k]) == 0.5 ? " 0.25" : " 0.5";
      refused(d, "fill pattern of subsystem " + ss + ": conductance of row " + ni + " column " + nj + " = ", {" one conductance)"});
    }
  }
  for (std::size_t k = 0, info = 0; k < lines.size(); ++k) {  // the lines' flags, each turned over
    const bool basic = lines[k] == " !*** Basic info:" || lines[k] == " !*** Basic Information:";
    info = basic ? k : lines[k].find("!***") != std::string::npos ? 0 : info;
    for (std::size_t f = lines[k].find_first_of("FT"); info > 0 && lines[k].find_first_not_of(" FT") == std::string::npos &&
                                                      f != std::string::npos; f = lines[k].find_first_of("FT", f + 1)) {
      std::vector<std::string> d = lines;
      d[k][f] = lines[k][f] == 'F' ? 'T' : 'F';
      refused(d, std::string(": infinite length = ") + d[k][f] + ", ", {"delay of mode 1 = ", "delay of group 1 = ", "arriving wave at the "});
    }
  }
  write_file(path, good);
}

class ExampleRoundTrip : public ::testing::TestWithParam<Example> {};

TEST_P(ExampleRoundTrip, ResumedRunEqualsTheUninterruptedOne) {
  const Example& ex = GetParam();
  if (wakro_test::kSanitized && (std::stod(ex.snap_time) > 5.0 || !ex.sanitized))
    GTEST_SKIP() << "too long under the sanitizers";
  CaseFolder folder(ex.dir, ex.exe);
  if (ex.change != nullptr) ex.change(folder);
  if (ex.finish != nullptr || ex.sparse) {
    const std::string map = read_file(folder / ex.map);
    const std::string finished = std::regex_replace(
        map, std::regex(" FINISH_TIME = (.*)"),
        std::string(" FINISH_TIME = ") + (ex.finish != nullptr ? ex.finish : "$1") +
            (ex.sparse ? "\n USE_SPARSE = YES\n SPARSE_LIMIT = 0" : ""));
    ASSERT_NE(finished, map);
    write_file(folder / ex.map, finished);
  }
  const CaseRun full = folder.run(data_start(ex.map, ex.interval, "full", "full"), "full.log");
  ASSERT_EQ(full.status, 0) << full.log;
  EXPECT_NE(full.log.find("Snapshot: Time:  " ), std::string::npos) << full.log;
  if (ex.older) {
    const std::string snap = read_file(folder / (std::string(ex.resume_from) + ".snp"));
    ASSERT_NE(snap.find(" !*** CHATTER REMOVAL STATE\n F\n"), std::string::npos);
    const std::string older = older_file(snap);
    ASSERT_EQ(older.find("CASE:"), std::string::npos);
    ASSERT_EQ(older.find("CHATTER REMOVAL"), std::string::npos);
    write_file(folder / (std::string(ex.resume_from) + ".snp"), older);
  }
  if (ex.after != nullptr) ex.after(folder);
  // The second snapshot is due one interval after the first; the resumed run
  // takes it as long after its start.
  const CaseRun res = folder.run(snapshot_start(ex.resume_from, ex.duration, ex.interval, "res", "resumed"), "res.log");
  ASSERT_EQ(res.status, 0) << res.log;
  EXPECT_NE(res.log.find("Reading data for snap file: " + std::string(ex.resume_from)), std::string::npos);
  EXPECT_EQ(res.log.find("Corrupt"), std::string::npos) << res.log;
  EXPECT_EQ(res.log.find("Specified Mapfile not found"), std::string::npos) << res.log;
  // Every subsystem of the snapshot on the sparse solver where asked for.
  const std::string snap = read_file(folder / (std::string(ex.resume_from) + ".snp"));
  EXPECT_TRUE(!ex.sparse || (snap.find(" T / Use KLU?") != std::string::npos &&
                             snap.find(" F / Use KLU?") == std::string::npos));

  // Every channel file of the resumed run against the uninterrupted run's,
  // the title line whole (the panel's is 59 characters).
  const double start = std::stod(ex.snap_time);
  for (int file = 1; file == 1 || fs::exists(folder / ("resumed_" + two_digits(file) + ".out")); ++file) {
    const auto a = folder.channels("full_" + two_digits(file) + ".out");
    const auto b = folder.channels("resumed_" + two_digits(file) + ".out");
    ASSERT_FALSE(b.empty()) << file;
    std::size_t compared = 0;
    for (const auto& [t, row] : b) {
      EXPECT_GT(std::stod(t), start);
      const auto it = a.find(t);
      ASSERT_NE(it, a.end()) << "time " << t << " is not in the uninterrupted run";
      ASSERT_EQ(row.size(), file == 1 ? static_cast<std::size_t>(ex.channels) : it->second.size());
      for (std::size_t c = 0; c < row.size(); ++c)
        EXPECT_EQ(row[c], it->second[c]) << "file " << file << " time " << t << " channel " << c + 1;
      ++compared;
    }
    // Every output point after the snapshot, up to the finish.
    std::size_t after = 0;
    for (const auto& [t, row] : a) after += std::stod(t) > start + 1e-12 ? 1 : 0;
    EXPECT_EQ(compared, after) << file;
    // Byte for byte: the resumed file's title line is the uninterrupted run's, and its rows end that file.
    const std::string whole = read_file(folder / ("full_" + two_digits(file) + ".out"));
    const std::string tail = read_file(folder / ("resumed_" + two_digits(file) + ".out"));
    const std::string rows = tail.substr(tail.find('\n') + 1);
    EXPECT_EQ(tail.substr(0, tail.find('\n')), whole.substr(0, whole.find('\n'))) << file;
    EXPECT_TRUE(whole.size() > rows.size() && whole.compare(whole.size() - rows.size(), rows.size(), rows) == 0)
        << file;
  }

  expect_fill_and_flags_refused(folder, ex);
  expect_branch_ends_refused(folder, ex);
  if (ex.later == nullptr) return;
  const std::vector<std::string> first = lines_of(read_file(folder / ex.later));
  const std::vector<std::string> second = lines_of(read_file(folder / "res.snp"));
  ASSERT_GT(first.size(), 50u);
  EXPECT_EQ(first, second);
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleRoundTrip, ::testing::ValuesIn(kExamples),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(SparseSolver, ExampleRoundTrip, ::testing::ValuesIn(kSparseExamples),
                         [](const auto& info) { return std::string(info.param.name); });

// A snapshot on a switching step, with a chatter step pending (the breaker's
// closing at 12.35 ms): the run that writes it goes on as a run that writes
// none, but for the rounding of the values it takes on from the file (16
// significant digits: a relative 5e-17 at each value, which the 1,600 steps
// after it leave below 1e-12 kA or kV), and the run resumed from it equals the
// run that wrote it, every step.
TEST(SnapshotOnASwitchingStep, ChangesNothingAndResumesExactly) {
  CaseFolder folder(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  const std::string map = read_file(folder / "rl_breaker.map");
  write_file(folder / "rl_breaker.map", std::regex_replace(map, std::regex("PRINT_STEP = .*"), "PRINT_STEP = 50.0E-6"));
  ASSERT_EQ(folder.run({"0", "0", "rl_breaker.map", "1", "1", "plain", "0", "0"}, "plain.log").status, 0);
  ASSERT_EQ(folder.run({"0", "1", "0.01235", "snapB", "rl_breaker.map", "1", "1", "writer", "0", "0"}, "w.log").status, 0);
  const std::string snap = read_file(folder / "snapB.snp");
  EXPECT_NE(snap.find(" !*** CHATTER REMOVAL STATE\n T\n"), std::string::npos);  // the step is pending
  const CaseRun res = folder.run({"1", "0", "0", "1", "1", "resumed", "0", "snapB", "0.1", "0"}, "r.log");
  ASSERT_EQ(res.status, 0) << res.log;

  const auto plain = folder.channels("plain_01.out");
  const auto writer = folder.channels("writer_01.out");
  const auto resumed = folder.channels("resumed_01.out");
  ASSERT_EQ(writer.size(), plain.size());
  for (const auto& [t, row] : writer)
    for (std::size_t c = 0; c < row.size(); ++c) EXPECT_NEAR(row[c], plain.at(t)[c], 1e-12) << t << " " << c;
  ASSERT_EQ(resumed.size(), 2000u);  // 12.4 .. 112.35 ms
  for (const auto& [t, row] : resumed) EXPECT_EQ(row, writer.at(t)) << t;
}

TEST(SnapshotAtTheEnd, ATimeOfZeroTakesOneAtTheFinishTheRunHasNotAtHalfASecond) {
  CaseFolder f(WAKRO_SNAP_RL_BREAKER_DIR, WAKRO_SNAP_RL_BREAKER_EXE);
  for (const auto& [answers, time] : {std::pair{data_start("rl_breaker.map", "0", "end", "o"), 0.12},
                                      {snapshot_start("end_01", "0.6", "0", "end_01", "r"), 0.12 + 0.6}}) {
    const CaseRun r = f.run(answers);
    const double t = std::stod(lines_of(read_file(f / "end_01.snp")).at(1).substr(25));  // 2nd field
    EXPECT_TRUE(r.status == 0 && r.log.find("Snapshot: Time:") == r.log.rfind("Snapshot: Time:") &&
                std::fabs(t - time) < 1e-12) << time << ": " << t << "\n" << r.log;
  }
}

// The input tests' two-page sample case runs from data with channel places
// beyond its channels (MPGBS 11 12 13, PGBS = 3: one warning) and resumes from
// its own snapshot, whose case identity it wrote as the map reads (the page
// 'p2.dta' without its quotes), exactly as it ran; so it does with its first
// page's entry in a file the map INCLUDEs (the pages and their node records
// are the map's as the case reader reads them), and its IPGBS: and PGBList: lists in another;
// and so with a slot for MNA elements above the two its pages declare, or
// with none of them declared (a record past those in use is empty: one that
// holds a value is refused); and so with channel names and description lines
// that read like keys and directives, which every pass over the map reads as
// the case reader does, whole, as text (the file they name is not read: it
// would declare a line the case does not have).
TEST(TwoPageSampleCase, ASnapshotOfARunFromDataResumes) {
  const struct { const char *names, *lines; } texts[] = {
      {"Vout\nINCLUDE 'lines.inc'\nMAP: p1.dta\n", "TLINES:\nENDCASE:\n"},
      {"Vout\nSUBSYSDIM:\nENDFILE\n", "INCLUDE 'lines.inc'\nMAP: p2.dta\n"},
      {"Vout\nGLOBAL_TLINES:\nIGNORE:\n", "ENDPAGE\nDIMENSIONS:\n"}};
  for (const char* variant : {"as given", "included", "MNA slot above use", "no MNA element", "texts 0", "texts 1",
                              "texts 2"}) {
    SCOPED_TRACE(variant);
    const std::string v = variant;
    CaseFolder folder(WAKRO_SNAP_TWO_PAGE_DIR, WAKRO_SNAP_EMPTY_EXE);
    if (v.rfind("texts ", 0) == 0) {
      const auto& t = texts[v.back() - '0'];
      replace_in(folder / "case.map", "Vout\nC_name with blanks\nIa:phase\n", t.names);
      replace_in(folder / "case.map", "<Group name=\"a\">\nC looks like a comment\n", t.lines);
      write_file(folder / "lines.inc", "GLOBAL_TLINES:\n 1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\n 1 2 0.5 400.0 0.0 0.0 1.0\n");
    }
    if (v == "included") {
      const std::string entry = "MAP: p1.dta\n 1 4 1 2 3 4\n 1 0\n";
      replace_in(folder / "case.map", entry, "INCLUDE 'pages.inc'\n");
      write_file(folder / "pages.inc", entry + "ENDFILE\n");
      const std::string lists = "IPGBS:\n 2 21 22\nPGBList:\nVout\nC_name with blanks\nIa:phase\n";
      replace_in(folder / "case.map", lists, "INCLUDE 'lists.inc'\n");
      write_file(folder / "lists.inc", lists + "ENDFILE\n");
    }
    if (v.find("MNA") != std::string::npos) replace_in(folder / "case.map", "NMANA = 2", "NMANA = 3");
    if (v == "no MNA element") {
      replace_in(folder / "p1.dta", "MANA:\n 1 1 2\n", "");
      replace_in(folder / "p2.dta", "MANA:\n 1 1 0\n", "");
    }
    const CaseRun full = folder.run(data_start("case.map", "0.0002", "full", "full"), "full.log");
    ASSERT_EQ(full.status, 0) << full.log;
    EXPECT_NE(full.log.find(" ***WARN*** OUTPUTFILE: 2 output channel(s) refer to no output value"), std::string::npos);
    const std::vector<std::string> written = lines_of(read_file(folder / "full_03.snp"));
    ASSERT_GT(written.size(), 8u);
    EXPECT_EQ(written[5], "! CASE: SUBSYSDIM = 2 4 2");
    EXPECT_EQ(written[6], "! CASE: PAGES = p1.dta p2.dta");
    const CaseRun res = folder.run(snapshot_start("full_02", "0.0006", "0.0002", "res", "resumed"), "res.log");
    ASSERT_EQ(res.status, 0) << res.log;
    EXPECT_EQ(res.log.find("ERROR"), std::string::npos) << res.log;
    const auto a = folder.channels("full_01.out");
    const auto b = folder.channels("resumed_01.out");
    ASSERT_EQ(b.size(), 12u);  // 0.45 .. 1.0 ms
    for (const auto& [t, row] : b) EXPECT_EQ(row, a.at(t)) << t;
    // The later snapshot is the same file: the ideal branches' subsystem goes on
    // exactly (its first-step factorisation marks no chatter step).
    EXPECT_EQ(lines_of(read_file(folder / "res.snp")), written);
    if (v != "MNA slot above use") continue;
    // Damaged MNA records and declarations are refused before the first step:
    // the first element's ints (its flag, branch integers; then element 2's
    // kind and subsystem), the elements the declarations name.
    const auto ints = [](int f, int i1, int i2, int d2) {
      char t[128];
      std::snprintf(t, sizeof t, "\n%11d%12d%12d%12d%12d \n%12d\n%12d\n", f, i1, i2, 0, d2, 0, 2);
      return std::string(t);
    };
    const auto decls = [](int a, int b, int c) {
      char t[128];
      std::snprintf(t, sizeof t, "\n%12d\n%12d\n%12d\n MAP_UPDATE:", a, b, c);
      return std::string(t);
    };
    const std::string good = read_file(folder / "full_02.snp");
    const std::string out = "value out of range: ", of1 = " of MNA element 1 = ", refused = "values refused together: MNA ";
    const std::string once = " (the declarations read name each element in use once";
    const std::string named = once + ", those of a subsystem in order: every element of subsystem 1 is named)";
    const struct { std::string written, damaged, refusal; } damages[] = {
        {"\n           0\n           0\n          0 ", "\n           0\n           1\n          0 ",
         refused + "element 3: subsystem = 1 (a record past the 2 elements in use is empty)"},
        {"\n           0\n           1\n          1  ", "\n           7\n           1\n          1  ",
         out + "kind" + of1 + "7 (0 to 5, or 9)"},
        {ints(1, 0, 0, 0), ints(2, 0, 0, 0), out + "zero-impedance flag" + of1 + "2 (0 to 1)"},
        {ints(1, 0, 0, 0), ints(1, 99, 0, 0), out + "first branch integer" + of1 + "99 (0 to 0)"},
        {ints(1, 0, 0, 0), ints(1, 0, -7, 0), out + "second branch integer" + of1 + "-7 (0 to 0)"},
        {ints(1, 0, 0, 0), ints(1, 0, 0, 99), out + "second dynamic-branch integer" + of1 + "99 (0 to 0)"},
        {decls(1, 2, 0), decls(1, 1, 0), refused + "declaration 2: element = 1" + named},
        {decls(1, 2, 0), decls(1, 2, 1), refused + "declaration 3: element = 1" + named},
        {decls(1, 2, 0), decls(0, 2, 0), refused + "element 1: declarations naming it = 0" + once + ")"}};
    for (const auto& d : damages) {
      ASSERT_NE(good.find(d.written), std::string::npos) << d.written;
      write_file(folder / "full_02.snp", std::string(good).replace(good.find(d.written), d.written.size(), d.damaged));
      const CaseRun bad = folder.run(snapshot_start("full_02", "0.0006", "0.0002", "bad", "bad"), "bad.log");
      EXPECT_NE(bad.status, 0);
      EXPECT_NE(bad.log.find(" ***ERROR** WAKRO: Snapshot " + d.refusal + "\n"), std::string::npos) << bad.log;
    }
  }
}

// A case of no page with MNA on: its work-matrix order is the node dimension
// of the map it starts from (5 nodes: the triangle 5 * 4 / 2 + 1 = 11; a map's
// 0 nodes sizes one), which its snapshot keeps; resumed from it, the run writes
// the snapshot the uninterrupted run writes later. Another order is refused.
TEST(PagelessMnaCase, ASnapshotOfARunFromDataResumes) {
  const struct { const char *nodes, *order, *damaged, *refusal; } cases[] = {
      {"5", "\n ! MNA: \n 5 11\n", "\n ! MNA: \n 4 7\n", "MNA work-matrix order = 4 (5 to 5)"},
      {"0", "\n ! MNA: \n 1 1\n", "\n ! MNA: \n 6 16\n", "MNA work-matrix order = 6 (1 to 1)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nodes);
    CaseFolder folder(WAKRO_SNAP_TWO_PAGE_DIR, WAKRO_SNAP_EMPTY_EXE);
    write_file(folder / "none.map", std::string("DIMENSIONS:\n NODES = ") + c.nodes +
                                        "\n SUBSYS = 1\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
                                        " FINISH_TIME = 0.001\n USE_MANA = YES\nENDCASE:\n");
    ASSERT_EQ(folder.run(data_start("none.map", "0.0002", "full", "full")).status, 0);
    const std::string good = read_file(folder / "full_02.snp");
    ASSERT_NE(good.find(c.order), std::string::npos);
    const CaseRun res = folder.run(snapshot_start("full_02", "0.0006", "0.0002", "res", "resumed"), "res.log");
    ASSERT_EQ(res.status, 0) << res.log;
    EXPECT_EQ(lines_of(read_file(folder / "res.snp")), lines_of(read_file(folder / "full_03.snp")));
    write_file(folder / "full_02.snp", std::string(good).replace(good.find(c.order), std::strlen(c.order), c.damaged));
    const CaseRun bad = folder.run(snapshot_start("full_02", "0.0006", "0.0002", "bad", "bad"), "bad.log");
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.log.find(std::string(" ***ERROR** WAKRO: Snapshot value out of range: ") + c.refusal + "\n"),
              std::string::npos) << bad.log;
  }
}

// Chains of resumes: a run from data writes a snapshot every 0.2 ms; the run
// resumed from its second (0.4 ms) writes one 0.2 ms later, the run resumed
// from that one another, and a third run so again: each is the file the run
// from data wrote at that time, byte for byte. Its "DIMENSIONS:" section gives
// the count in use beside the size the map gave (with a start's margins: 10000
// for STOR, 1000 for STORL, 100 for STXFRC), which the next resume checks: a
// map with room in its sizes, and a case of no page (no node in use, of 5)
// with and without MNA. A map with room for a kind of line of which the case
// has none: none is in use, and the resume does not look for its records.
TEST(ResumeChain, EachResumedSnapshotIsTheOneARunFromDataWritesThen) {
  const std::string room = " NODES = 6\n SUBSYS = 3\n WINDINGS = 3\n TRAFOS = 2\n STOR = 7\n STORL = 3\n STORI = 3\n"
                           " STORF = 3\n STORC = 3\n RTCL = 2\n RTCI = 2\n RTCF = 2\n RTCC = 2\n STXFRL = 2\n"
                           " STXFRI = 2\n STXFRF = 2\n STXFRC = 2\n VARS = 2\n CONS = 2\n NPAGES = 4\n";
  const std::string pageless = "DIMENSIONS:\n NODES = 5\n SUBSYS = 1\nPARAMETERS:\n TIME_STEP = 50.0E-6\n"
                               " FINISH_TIME = 0.001\n";
  struct Row { std::string name, map; std::vector<std::string> sizes; };
  std::vector<Row> rows = {
      {"room", "", {" NODES                 =       4               6", " SUBSYS                =       3               3",
                    " TRAFOS                =       0               2", " STOR                  =       0           10007",
                    " STORL                 =       0            1003", " STXFRC                =       0             102"}},
      {"no page", pageless + "ENDCASE:\n", {" NODES                 =       0               5"}},
      {"no page, MNA", pageless + " USE_MANA = YES\nENDCASE:\n", {" NODES                 =       0               5"}}};
  for (const std::string key : {"TLINES", "TLINES-TOTAL", "MAXMODES", "NUMMODES", "TLINES-PH", "MAXPOLES-PH",
                                "TLINES-MFDTD", "MAXPOLES-MFDTD", "MAXINC-MFDTD", "ENI-SERVERS", "ENI-CLIENTS"})
    rows.push_back({" " + key + " = 3\n", "", {" " + key + std::string(22 - key.size(), ' ') + "=       0               1"}});
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CaseFolder folder(WAKRO_SNAP_TWO_PAGE_DIR, WAKRO_SNAP_EMPTY_EXE);
    if (row.map.empty())
      replace_in(folder / "case.map", " NODES = 4\n SUBSYS = 2\n", row.name[0] == ' ' ? " NODES = 4\n SUBSYS = 2\n" + row.name : room);
    else
      write_file(folder / "case.map", row.map);
    ASSERT_EQ(folder.run(data_start("case.map", "0.0002", "full", "full"), "full.log").status, 0);
    std::string from = "full_02";
    for (int k = 1; k <= 3; ++k) {
      const std::string to = "chain" + std::to_string(k);
      const CaseRun res = folder.run(snapshot_start(from, "0.0006", "0.0002", to, to), to + ".log");
      ASSERT_EQ(res.status, 0) << res.log;
      const std::string data = read_file(folder / ("full_0" + std::to_string(k + 2) + ".snp"));
      for (const std::string& size : row.sizes) EXPECT_NE(data.find("\n" + size + "\n"), std::string::npos) << size;
      EXPECT_EQ(read_file(folder / (to + ".snp")), data) << to;
      from = to;
    }
  }
}

}  // namespace
}  // namespace snapshot_test
