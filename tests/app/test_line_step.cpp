// The line step example end to end: the case's page reads its line from a
// "GLOBAL_TLINES:" section, the dimension pass sizes the line arrays, the run
// carries the waves, and the channel file follows the closed form of a matched
// source feeding an open-ended lossless line (travel time 10 steps):
//   v_far(n) = e(n - 10),  v_send(n) = (e(n) + e(n - 20)) / 2,
//   current into the line (e(n) - v_send(n)) / 400.
// The channel file writes 14 significant digits, so 1e-12 kV holds for values
// of at most 1 kV.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"

#ifndef WAKRO_LINE_STEP_EXE
#error "WAKRO_LINE_STEP_EXE must name the built line step example"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;

constexpr double kDelt = 50.0e-6;
constexpr int kRows = 31;  // 0 .. 1.5 ms every step

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The page's line section as the example gives it.
constexpr const char* kLineSection =
    "GLOBAL_TLINES:\n 1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\n 1 2 0.5 400.0 0.0 0.0 1.0\n";

// Moves the line section to the end of the page, directly before "ENDPAGE:",
// under the key given.
std::string line_section_last(std::string dta, const std::string& key) {
  const std::size_t at = dta.find(kLineSection);
  EXPECT_NE(at, std::string::npos);
  if (at == std::string::npos) return dta;
  dta.erase(at, std::string(kLineSection).size());
  std::string section = kLineSection;
  section.replace(0, section.find('\n'), key);
  const std::size_t end = dta.find("ENDPAGE:");
  EXPECT_NE(end, std::string::npos);
  if (end != std::string::npos) dta.insert(end, section);
  return dta;
}

// Runs a copy of the case with the given frequency (and its line section moved
// last under `last_key` when one is given); returns the channel rows (time and
// four channels).
std::vector<std::vector<double>> run_case(const std::string& frequency,
                                          const std::string& last_key = "") {
  char tmpl[] = "/tmp/wakro_line_step_XXXXXX";
  const std::string dir = ::mkdtemp(tmpl) != nullptr ? tmpl : "";
  for (const char* f : {"line_step.map", "line_step.dta", "answers.txt"})
    fs::copy_file(fs::path(WAKRO_LINE_STEP_CASE_DIR) / f, fs::path(dir) / f);
  std::string dta = slurp(fs::path(dir) / "line_step.dta");
  const std::size_t at = dta.find(" 2 0.0\n");
  EXPECT_NE(at, std::string::npos);
  dta.replace(at, 7, " 2 " + frequency + "\n");
  if (!last_key.empty()) dta = line_section_last(dta, last_key);
  std::ofstream(fs::path(dir) / "line_step.dta", std::ios::binary) << dta;

  ChildProcess p({WAKRO_LINE_STEP_EXE, "-v5"}, dir, dir + "/answers.txt");
  EXPECT_TRUE(p.wait(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.out() << p.err();
  std::istringstream in(slurp(fs::path(dir) / "line_step_01.out"));
  std::vector<std::vector<double>> rows;
  std::string line;
  std::getline(in, line);  // the title
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<double> row;
    double x = 0.0;
    while (fields >> x) row.push_back(x);
    rows.push_back(row);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return rows;
}

void check_waves(const std::vector<std::vector<double>>& rows, double f) {
  const auto e = [f](int n) {
    if (n < 0) return 0.0;
    return f == 0.0 ? 1.0 : std::sin(2.0 * std::numbers::pi * f * n * kDelt);
  };
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
  for (int n = 0; n < kRows; ++n) {
    const std::vector<double>& r = rows[static_cast<std::size_t>(n)];
    ASSERT_EQ(r.size(), 5u);
    const double vs = (e(n) + e(n - 20)) / 2.0;
    EXPECT_NEAR(r[1], e(n), 1e-12) << "step " << n;
    EXPECT_NEAR(r[2], vs, 1e-12) << "step " << n;
    EXPECT_NEAR(r[3], e(n - 10), 1e-12) << "step " << n;
    EXPECT_NEAR(r[4], (e(n) - vs) / 400.0, 1e-14) << "step " << n;
  }
}

TEST(LineStepExample, StepReachesTheOpenEndAfterOneTravelTime) { check_waves(run_case("0.0"), 0.0); }

TEST(LineStepExample, SixtyHertzSourceArrivesDelayed) { check_waves(run_case("60.0"), 60.0); }

// A page whose last section is its line section: after the page's "ENDPAGE:"
// the dimension pass reads on in the map file, whose next lines are the page
// entry's node lines; they end the line section instead of being read as a line
// record (the page was refused with "Invalid data line in" naming no file).
// (The "TLINES:" key takes the same loop; the pass tests read it.)
TEST(LineStepExample, ReadsAndRunsWithTheLineSectionLastOnThePage) {
  check_waves(run_case("0.0", "GLOBAL_TLINES:"), 0.0);
}

}  // namespace
}  // namespace app_test
