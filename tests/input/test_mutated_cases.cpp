// Damaged cases: the two-page sample case (in both map-file styles) read again and
// again with one deterministic fault put into one of its files each time. Every
// read must either return or end in a fatal stop that says something; nothing may
// crash, hang, throw anything else or write outside its tables (the sanitizer
// build runs these with every array index checked). A watchdog ends the process
// with the name of the damaged case if one read takes too long.
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "input/reader_hooks.h"
#include "network/rdbranch.h"
#include "input/readdata.h"
#include "case_fixture.h"
#include "input_fixture.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/fatal.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/quolbv3.h"

using casetest::kSamplePage1;
using casetest::kSamplePage2;
using casetest::sample_new_style_map;
using casetest::sample_old_style_map;

namespace {

// The files of one case: the map file and the two page files.
struct CaseFiles {
  std::string map, p1, p2;
};

// One damaged case: a name saying what was done, and its files.
struct Mutant {
  std::string name;
  CaseFiles files;
};

// The lines of a text, each with its line end.
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

std::string join(const std::vector<std::string>& lines) {
  std::string s;
  for (const std::string& l : lines) s += l;
  return s;
}

bool is_separator(char c) {
  return c == ' ' || c == ',' || c == '(' || c == ')' || c == '=' || c == '\n' || c == '\t';
}

// A token made only of the characters of a number, with at least one digit.
bool is_numeric(const std::string& t) {
  bool digit = false;
  for (char c : t) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '.' && c != '-' && c != '+' && c != 'E' && c != 'e') {
      return false;
    }
  }
  return digit;
}

// Start and length of every numeric token of a line.
std::vector<std::pair<std::size_t, std::size_t>> numeric_tokens(const std::string& line) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  std::size_t i = 0;
  while (i < line.size()) {
    if (is_separator(line[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < line.size() && !is_separator(line[j])) ++j;
    if (is_numeric(line.substr(i, j - i))) out.emplace_back(i, j - i);
    i = j;
  }
  return out;
}

// A section key line: a first word ending in ':' (with "ENDPAGE" and "MAP:" lines).
bool is_key_line(const std::string& line) {
  std::size_t i = line.find_first_not_of(' ');
  if (i == std::string::npos || i != 0) return false;
  std::size_t j = line.find_first_of(" \n", i);
  const std::string w = line.substr(i, (j == std::string::npos ? line.size() : j) - i);
  return !w.empty() && (w.back() == ':' || w == "ENDPAGE");
}

// Every damaged version of one file (`which`: 0 map, 1 first page, 2 second page).
void mutate_file(const CaseFiles& base, int which, const std::string& tag,
                 std::vector<Mutant>& out) {
  const std::string& text = which == 0 ? base.map : which == 1 ? base.p1 : base.p2;
  const std::vector<std::string> lines = split_lines(text);
  auto add = [&](const std::string& what, const std::string& bytes) {
    CaseFiles f = base;
    (which == 0 ? f.map : which == 1 ? f.p1 : f.p2) = bytes;
    out.push_back({tag + ": " + what, std::move(f)});
  };
  auto line_no = [](std::size_t i) { return " line " + std::to_string(i + 1); };

  for (std::size_t k = 0; k < lines.size(); ++k)
    add("truncated after" + line_no(k),
        join(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(k) + 1)));
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::vector<std::string> l = lines;
    l.erase(l.begin() + static_cast<long>(k));
    add("deleted" + line_no(k), join(l));
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::vector<std::string> l = lines;
    l.insert(l.begin() + static_cast<long>(k), lines[k]);
    add("duplicated" + line_no(k), join(l));
  }
  // A section repeated whole: its key line and its data lines up to the next key.
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (!is_key_line(lines[k])) continue;
    std::size_t e = k + 1;
    while (e < lines.size() && !is_key_line(lines[e])) ++e;
    std::vector<std::string> l = lines;
    l.insert(l.begin() + static_cast<long>(e), lines.begin() + static_cast<long>(k),
             lines.begin() + static_cast<long>(e));
    add("section repeated at" + line_no(k), join(l));
  }
  static const char* const kReplacements[] = {"-1", "0", "2147483648", "1e308",
                                              "nan", "inf", "x", ""};
  for (std::size_t k = 0; k < lines.size(); ++k) {
    for (const auto& [pos, len] : numeric_tokens(lines[k])) {
      for (const char* r : kReplacements) {
        std::vector<std::string> l = lines;
        l[k] = lines[k].substr(0, pos) + r + lines[k].substr(pos + len);
        add("number " + lines[k].substr(pos, len) + " -> '" + r + "' in" + line_no(k), join(l));
      }
    }
  }
  add("empty file", "");
  std::string nines;
  for (int k = 0; k < 100; ++k) nines += std::string(80, '9') + "\n";
  add("100 lines of 9s", nines);
  std::string crlf;
  for (const std::string& l : lines) {
    crlf += l;
    if (!crlf.empty() && crlf.back() == '\n') crlf.insert(crlf.size() - 1, "\r");
  }
  add("CRLF line ends", crlf);
  // A very long line: a line of data, a comment, and a key line carried on.
  for (std::size_t k = 0; k < lines.size(); k += 3) {
    std::vector<std::string> l = lines;
    std::string body = lines[k];
    if (!body.empty() && body.back() == '\n') body.pop_back();
    body.resize(5000, body.empty() ? '9' : ' ');
    body.back() = '7';
    l[k] = body + "\n";
    add("line of 5000 characters at" + line_no(k), join(l));
  }
  std::vector<std::string> l = lines;
  l.insert(l.begin() + static_cast<long>(lines.size() / 2), std::string(5000, '1') + "\n");
  add("line of 5000 digits inserted mid-file", join(l));
}

// Ends the process, naming the case, when one read runs past its time.
class Watchdog {
 public:
  Watchdog() : thread_([this] { watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void arm(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    name_ = name;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    armed_ = true;
  }
  void disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }

 private:
  void watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      cv_.wait_for(lock, std::chrono::milliseconds(100));
      if (armed_ && std::chrono::steady_clock::now() > deadline_) {
        std::fprintf(stderr, "Damaged case read does not end: %s\n", name_.c_str());
        std::fflush(stderr);
        std::abort();
      }
    }
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stop_ = false;
  bool armed_ = false;
  std::string name_;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};

class MutatedCase : public inputtest::InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    wakro::reset_reader_hooks();
    // The input room reads without the network: its set-up of the work
    // matrices, which every case needs, is plugged in as doing nothing.
    wakro::reader_hooks().initialize_mna_map = [] {};
    wakro::use_branch_reader();
  }

  // Reads one case from fresh state; a failure message names the case.
  void read_one(const Mutant& m, Watchdog& dog) {
    write("case.map", m.files.map);
    write("p1.dta", m.files.p1);
    write("p2.dta", m.files.p2);
    fnames::inam = "case.map";
    std::ostringstream console;
    std::string other;
    std::string fatal_message;
    int status = -1;
    dog.arm(m.name);
    {
      wakro::ConsoleRedirect redirect(console);
      try {
        wakro_readdata();
      } catch (const wakro::FatalExit& e) {
        status = e.status();
        fatal_message = e.what();
      } catch (const std::exception& e) {
        other = std::string("exception: ") + e.what();
      } catch (...) {
        other = "unknown exception";
      }
    }
    dog.disarm();
    ++read_;
    if (status != -1) ++stopped_;
    EXPECT_TRUE(other.empty()) << m.name << ": " << other;
    // A fatal stop tells the user why, on the console or in its message.
    if (status != -1) {
      EXPECT_TRUE(!console.str().empty() || !fatal_message.empty())
          << m.name << ": silent fatal stop " << status;
    }
    if (status == -1) {
      const std::string bad = first_non_finite();
      EXPECT_TRUE(bad.empty()) << m.name << ": " << bad << " is not finite\n" << console.str();
    }
    inputtest::reset_reader_state();
    inputtest::release_case_state();
  }

  // A case that was read whole gives the solution finite numbers only: the
  // conductance matrices and the branches' companion terms. Names the first
  // value that is not finite, or nothing.
  static std::string first_non_finite() {
    if (!e_s0::ssdim.allocated()) return {};
    for (std::int32_t ss = 1; ss <= e_s0::ssdim.extent(1); ++ss) {
      e_s0::RealView gm = e_s0::assign_gm_ptr(ss);
      if (!gm.valid()) continue;
      for (std::int32_t j = 1; j <= gm.extent(2); ++j)
        for (std::int32_t i = 1; i <= gm.extent(1); ++i)
          if (!std::isfinite(gm(i, j)))
            return "gm(" + std::to_string(i) + "," + std::to_string(j) + ") of subsystem " +
                   std::to_string(ss);
      using namespace branches;
      const std::pair<const char*, Real*> terms[] = {
          {"geq", &geq}, {"rlg", &rlg}, {"rcg", &rcg}, {"rcl", &rcl}, {"rsc", &rsc},
          {"rsl", &rsl}, {"g2l", &g2l}, {"g2c", &g2c}, {"v12l", &v12l}, {"v20l", &v20l}};
      for (std::int32_t b = 1; b <= int2::insb(ss); ++b)
        for (const auto& [name, a] : terms)
          if (!std::isfinite((*a)(b, ss)))
            return std::string(name) + "(" + std::to_string(b) + "," + std::to_string(ss) + ")";
    }
    return {};
  }

  // Reads every damaged version, or every `stride`-th one starting at `phase`.
  void read_all(const std::vector<Mutant>& cases, std::size_t stride, std::size_t phase) {
    Watchdog dog;
    for (std::size_t k = phase; k < cases.size(); k += stride) read_one(cases[k], dog);
  }

  // The sample case, read undamaged: the state of the damaged reads is gone.
  void check_sample_reads(const CaseFiles& sample) {
    write("case.map", sample.map);
    write("p1.dta", sample.p1);
    write("p2.dta", sample.p2);
    fnames::inam = "case.map";
    const inputtest::Outcome o = run([] { wakro_readdata(); });
    ASSERT_EQ(o.status, -1) << o.console;
    EXPECT_EQ(quolbv3::nnode, 10);
    EXPECT_EQ(int2::insb(1), 7);
    EXPECT_EQ(int2::insb(2), 2);
    EXPECT_NEAR(e_s0::assign_gm_ptr(1)(1, 2), 1.0 / 4010.0 + 0.01, 1e-15);
    EXPECT_NEAR(e_s0::assign_gm_ptr(2)(1, 1), 0.02, 1e-15);
    EXPECT_EQ(fnames::iunit, 49);
  }

  std::size_t read_ = 0;
  std::size_t stopped_ = 0;
};

std::vector<Mutant> mutants_of(const CaseFiles& base, const std::string& style, bool pages) {
  std::vector<Mutant> out;
  mutate_file(base, 0, style + " map", out);
  if (pages) {
    mutate_file(base, 1, style + " page 1", out);
    mutate_file(base, 2, style + " page 2", out);
  }
  // Every file with Windows line ends at once.
  CaseFiles crlf = base;
  for (std::string* s : {&crlf.map, &crlf.p1, &crlf.p2}) {
    std::string t;
    for (char c : *s) {
      if (c == '\n') t += '\r';
      t += c;
    }
    *s = t;
  }
  out.push_back({style + ": CRLF line ends in every file", crlf});
  return out;
}

TEST_F(MutatedCase, NewStyleMapAndPages) {
  const CaseFiles sample{sample_new_style_map(), kSamplePage1, kSamplePage2};
  check_sample_reads(sample);
  inputtest::reset_reader_state();
  inputtest::release_case_state();
  read_all(mutants_of(sample, "new style", true), 1, 0);
  EXPECT_GT(stopped_, 0u);
  EXPECT_LT(stopped_, read_);
  check_sample_reads(sample);
}

TEST_F(MutatedCase, OldStyleMapAndPages) {
  const CaseFiles sample{sample_old_style_map(), kSamplePage1, kSamplePage2};
  check_sample_reads(sample);
  inputtest::reset_reader_state();
  inputtest::release_case_state();
  read_all(mutants_of(sample, "old style", true), 1, 0);
  EXPECT_GT(stopped_, 0u);
  EXPECT_LT(stopped_, read_);
  check_sample_reads(sample);
}

// An inductance or a time step so large that the companion terms overflow stops
// the read at the branch instead of leaving NaN coefficients for the solution.
TEST_F(MutatedCase, CompanionTermsThatOverflowStopTheRead) {
  std::string page1 = kSamplePage1;
  write("p1.dta", page1.replace(page1.find(" 1 2 RL 10.0 0.1"), 16, " 1 2 RL 10.0 1e308"));
  write("p2.dta", kSamplePage2);
  write("case.map", sample_new_style_map());
  fnames::inam = "case.map";
  inputtest::Outcome o = run([] { wakro_readdata(); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " Impedance too large to represent in branch" + casetest::i11(1) + " in SS" +
                           casetest::i11(1) + "\n" +
                           casetest::quit_mode1(" 1 2 RL 10.0 1e308", "p1.dta", "BRPARM      "));
  inputtest::reset_reader_state();
  inputtest::release_case_state();

  // X_C = 500000 dt / C overflows first, at the capacitor of branch 2.
  std::string map = sample_new_style_map();
  map.replace(map.find("TIME_STEP = 50.0E-6"), 19, "TIME_STEP = 1e308");
  write("case.map", map);
  write("p1.dta", kSamplePage1);
  fnames::inam = "case.map";
  o = run([] { wakro_readdata(); });
  EXPECT_EQ(o.status, 2000);
  const std::string tail = " Impedance too large to represent in branch" + casetest::i11(2) + " in SS" +
                           casetest::i11(1) + "\n" +
                           casetest::quit_mode1(" 1 0 C 10.0", "p1.dta", "BRPARM      ");
  ASSERT_GE(o.console.size(), tail.size()) << o.console;
  EXPECT_EQ(o.console.substr(o.console.size() - tail.size()), tail);
}

}  // namespace
