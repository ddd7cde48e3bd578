// The R-L breaker example run as a user runs it (alone, the console dialogue
// answered from its answers file, in a scratch copy of its case files), and its
// legacy channel files checked against the circuit's closed-form response. The
// case files are the tests' own copy (tests/data/rl_breaker), not those of
// examples/rl_breaker/, which the README invites the user to edit.
//
// Circuit: EMF e(t) = E sin(wt + phi) behind Rs, breaker (Ron when closed), load
// R + L. With the breaker closing at t0 on a de-energised load, the current is
//   i(t) = Im [ sin(wt + phi - theta) - sin(w t0 + phi - theta) exp(-(t - t0)/tau) ]
// with Rt = Rs + Ron + R, Im = E / sqrt(Rt^2 + (wL)^2), theta = atan(wL / Rt),
// tau = L / Rt; the voltage across the load is e - (Rs + Ron) i. After the
// opening order the breaker opens at the next zero of i, and both stay at 0
// (the OFF resistance of 1e8 ohm leaves a current of about 1e-7 kA).
//
// Tolerance while the breaker is closed, with w dt = 0.0157 here: the
// trapezoidal rule replaces the reactance wL by (2L/dt) tan(w dt/2), a relative
// error of (w dt)^2/12, and the solution is moved to each switching instant by
// linear interpolation over one step, an error of at most (w dt)^2/8 of the
// peak: together below (w dt)^2 / 4 Im = 6.2e-5 Im. The switching itself acts
// at its instant (the inductor's current is kept through it), so it adds no
// error of its own order. The tests allow 0.02 % of Im. A wrong amplitude,
// phase, time constant or resistance, or a breaker that does not wait for the
// current zero, exceeds them; the state channel pins both switching instants
// to the step that holds them, so a breaker operated a step late fails there.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "child_process.h"
#include "support/preloaded.h"
#include "support/sanitized.h"
#include "support/scripted_peer.h"

#ifndef WAKRO_RL_BREAKER_EXE
#error "WAKRO_RL_BREAKER_EXE must name the built R-L breaker example"
#endif

namespace app_test {
namespace {

namespace fs = std::filesystem;

const std::string kExe = WAKRO_RL_BREAKER_EXE;
const std::string kCaseDir = WAKRO_RL_BREAKER_CASE_DIR;

constexpr double kPi = std::numbers::pi;

// The circuit of the bundled page file (its branches and stored reals).
struct Circuit {
  double rs = 0.5, r = 1.0, l = 0.02;  // source resistance, load R [ohm] and L [H]
  double e = 10.0, f = 50.0, phase_deg = 0.0;
  double t_close = 0.01234, t_open = 0.08;
  double r_on = 0.001, r_off = 1.0e8;
  double dt = 50.0e-6, print = 100.0e-6, finish = 0.12;

  double w() const { return 2.0 * kPi * f; }
  double phi() const { return phase_deg * kPi / 180.0; }
  double rt() const { return rs + r_on + r; }
  double im() const { return e / std::hypot(rt(), w() * l); }
  double theta() const { return std::atan2(w() * l, rt()); }
  double tau() const { return l / rt(); }
  double emf(double t) const { return e * std::sin(w() * t + phi()); }
  double closed_current(double t) const {
    return im() * (std::sin(w() * t + phi() - theta()) -
                   std::sin(w() * t_close + phi() - theta()) * std::exp(-(t - t_close) / tau()));
  }
  // The first zero of the closed current after the step in which the opening
  // order is read (the order acts from the step that ends at or after t_open,
  // on the current at that step's start), found by bisection.
  double opening_instant() const {
    const double from = std::ceil(t_open / dt - 1e-9) * dt - dt;
    double a = from;
    const double h = dt / 10.0;
    while (std::signbit(closed_current(a)) == std::signbit(closed_current(a + h))) a += h;
    double b = a + h;
    for (int k = 0; k < 100; ++k) {
      const double m = 0.5 * (a + b);
      (std::signbit(closed_current(m)) == std::signbit(closed_current(a)) ? a : b) = m;
    }
    return 0.5 * (a + b);
  }
  // Bound of the solution's error while the breaker is closed (see the head
  // of this file).
  double closed_tolerance() const { return 2.0e-4 * im(); }
  // While open, the OFF resistance leaves E / R_off; the load voltage keeps
  // the trapezoidal bound of the voltage.
  double open_current_bound() const { return 10.0 * e / r_off; }
  double open_voltage_bound() const { return 2.0 * std::pow(w() * dt, 2) * e; }
};

// One line of a channel file: the time and the channel values.
struct Row {
  double t = 0.0;
  std::vector<double> v;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Parses the numbers of one line; false when a field is not a number.
bool parse_numbers(const std::string& line, std::vector<double>& out) {
  out.clear();
  const char* p = line.data();
  const char* end = p + line.size();
  while (p < end) {
    while (p < end && *p == ' ') ++p;
    if (p == end) break;
    double x = 0.0;
    const auto r = std::from_chars(p, end, x);
    if (r.ec != std::errc()) return false;
    out.push_back(x);
    p = r.ptr;
  }
  return true;
}

// A scratch copy of the tests' case files of the example, removed at the end.
class ScratchCase {
 public:
  // In `under`, /tmp unless another folder is given.
  explicit ScratchCase(const std::string& under = "/tmp") {
    std::string tmpl = under + "/wakro_rl_breaker_XXXXXX";
    dir_ = ::mkdtemp(tmpl.data()) != nullptr ? tmpl : "";
    for (const char* f : {"rl_breaker.map", "rl_breaker.dta", "answers.txt"})
      fs::copy_file(fs::path(kCaseDir) / f, fs::path(dir_) / f);
  }
  ~ScratchCase() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  ScratchCase(const ScratchCase&) = delete;
  ScratchCase& operator=(const ScratchCase&) = delete;

  const std::string& dir() const { return dir_; }
  // Replaces the line `from` of a file of the copy by `to`.
  void edit(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = slurp(fs::path(dir_) / file);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(fs::path(dir_) / file, std::ios::binary) << text;
  }

 private:
  std::string dir_;
};

// Runs the example in the scratch folder; returns the rows of its channel file.
std::vector<Row> run_case(const ScratchCase& c, std::string* console = nullptr) {
  ChildProcess p({kExe, "-v5"}, c.dir(), c.dir() + "/answers.txt");
  EXPECT_TRUE(p.wait(60000));
  const std::string out = p.out();
  if (console != nullptr) *console = out;
  EXPECT_EQ(p.exitCode(), 0) << out << p.err();
  std::vector<Row> rows;
  std::istringstream in(slurp(fs::path(c.dir()) / "rl_breaker_01.out"));
  std::string line;
  if (!std::getline(in, line)) {
    ADD_FAILURE() << "no channel file\n" << out;
    return rows;
  }
  std::string title = "R-L load energised and cleared by a breaker";
  title.resize(72, ' ');
  EXPECT_EQ(line, title);
  std::vector<double> x;
  while (std::getline(in, line)) {
    EXPECT_EQ(line.size(), 23u + 4u * 24u) << line;
    if (!parse_numbers(line, x) || x.size() != 5) {
      ADD_FAILURE() << "bad channel line: " << line;
      return rows;
    }
    rows.push_back(Row{x[0], {x.begin() + 1, x.end()}});
  }
  return rows;
}

// Compares every output step with the closed form: channel 1 the EMF, 2 the
// breaker current, 3 the load voltage, 4 the breaker state. Samples within one
// step of a switching instant are left out of the current and voltage checks
// (the state is checked there too, against the step that holds the instant).
void check_response(const Circuit& k, const std::vector<Row>& rows) {
  const double tz = k.opening_instant();
  const double order_step = std::ceil(k.t_open / k.dt - 1e-9) * k.dt - k.dt;
  ASSERT_GT(std::fabs(tz - order_step), 0.1 * k.dt)
      << "the current zero lies too close to the opening order";
  const std::size_t expected_rows = static_cast<std::size_t>(std::lround(k.finish / k.print)) + 1;
  ASSERT_EQ(rows.size(), expected_rows);
  // The state: closed at the end of the step that holds the closing instant,
  // open again at the end of the step that holds the current zero.
  const double step_end_close = std::ceil(k.t_close / k.dt - 1e-9) * k.dt;
  const double step_end_open = std::ceil(tz / k.dt - 1e-9) * k.dt;
  std::size_t closed_rows = 0;
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const Row& row = rows[n];
    const double t = static_cast<double>(n) * k.print;
    ASSERT_NEAR(row.t, t, 1e-12) << "row " << n;
    const bool state = t >= step_end_close - 1e-12 && t < step_end_open - 1e-12;
    EXPECT_EQ(row.v[3], state ? 1.0 : 0.0) << "t = " << t;
    EXPECT_NEAR(row.v[0], k.emf(t), 1e-12 * k.e) << "t = " << t;
    if (std::fabs(t - k.t_close) <= k.dt || std::fabs(t - tz) <= k.dt) continue;
    if (t >= k.t_close && t < tz) {
      const double i = k.closed_current(t);
      const double tol = k.closed_tolerance();
      EXPECT_NEAR(row.v[1], i, tol) << "current at t = " << t;
      EXPECT_NEAR(row.v[2], k.emf(t) - (k.rs + k.r_on) * i, (k.rs + k.r_on) * tol + 1e-9 * k.e)
          << "load voltage at t = " << t;
      ++closed_rows;
    } else {
      EXPECT_NEAR(row.v[1], 0.0, k.open_current_bound()) << "current at t = " << t;
      EXPECT_NEAR(row.v[2], 0.0, k.open_voltage_bound()) << "load voltage at t = " << t;
    }
  }
  EXPECT_GT(closed_rows, 100u);
}

TEST(RlBreakerExample, ChannelFilesFollowTheClosedFormResponse) {
  wakro_test::Watchdog dog("RlBreakerExample.ChannelFilesFollowTheClosedFormResponse", 120);
  ScratchCase c;
  std::string console;
  const std::vector<Row> rows = run_case(c, &console);
  check_response(Circuit{}, rows);

  // The description file names the four channels, one line each.
  EXPECT_EQ(slurp(fs::path(c.dir()) / "rl_breaker.inf"),
            "EMF of the source [kV]\n"
            "Breaker current [kA]\n"
            "Voltage across the R-L load [kV]\n"
            "Breaker state (1 closed, 0 open)\n");
  EXPECT_FALSE(fs::exists(fs::path(c.dir()) / "rl_breaker_02.out"));
  EXPECT_NE(console.find("\n        Output file: rl_breaker_01.out"), std::string::npos) << console;
  // The end report counts the factorisations: the first one, the closing and the
  // opening of the breaker.
  EXPECT_NE(console.find("Number of Matrix Switchings in SS#   1 is:        3\n"),
            std::string::npos)
      << console;
  EXPECT_NE(console.find(kExe + " exiting.  Status code = 0\n"), std::string::npos) << console;
}

// The same page with other parameters: closed at the instant that gives no DC
// offset, from a source with another phase, opened earlier.
TEST(RlBreakerExample, StoredParametersChangeTheCircuit) {
  wakro_test::Watchdog dog("RlBreakerExample.StoredParametersChangeTheCircuit", 120);
  Circuit k;
  k.phase_deg = 30.0;
  // sin(w t0 + phi - theta) = 0 one period in: the current starts at its
  // steady state, without any offset.
  k.t_close = (2.0 * kPi + k.theta() - k.phi()) / k.w();
  k.t_open = 0.0601;
  ScratchCase c;
  c.edit("rl_breaker.dta", " 3 0.0\n", " 3 30.0\n");
  char line[64];
  std::snprintf(line, sizeof line, " 4 %.17g\n", k.t_close);
  c.edit("rl_breaker.dta", " 4 0.01234\n", line);
  c.edit("rl_breaker.dta", " 5 0.08\n", " 5 0.0601\n");
  const std::vector<Row> rows = run_case(c);
  check_response(k, rows);
  // No offset: the first peak after closing stays within the steady amplitude.
  double peak = 0.0;
  for (const Row& r : rows) peak = std::max(peak, std::fabs(r.v[1]));
  EXPECT_LT(peak, k.im() + k.closed_tolerance());
}

// Closings at several fractions of a step and on a step boundary (the example's
// 0.01234 s is 0.8 of its step): each acts at its instant.
TEST(RlBreakerExample, ClosingsAnywhereInAStepActAtTheirInstant) {
  wakro_test::Watchdog dog("RlBreakerExample.ClosingsAnywhereInAStepActAtTheirInstant", 240);
  for (const char* at : {"0.012305", "0.0123175", "0.012325", "0.0123475", "0.0123"}) {
    Circuit k;
    k.t_close = std::atof(at);
    ScratchCase c;
    c.edit("rl_breaker.dta", " 4 0.01234\n", std::string(" 4 ") + at + "\n");
    SCOPED_TRACE(at);
    check_response(k, run_case(c));
  }
}

// The same case through the sparse solver: its subsystem (two nodes, above a limit
// of one) is chosen for KLU when the case is read, before its matrices are made, so
// it keeps only the conductance entries its branches write. The channel files
// equal those of the own elimination to 1e-10 of each channel's largest value (the
// two factorisations round differently).
TEST(RlBreakerExample, TheSparseSolverGivesTheSameChannels) {
  wakro_test::Watchdog dog("RlBreakerExample.TheSparseSolverGivesTheSameChannels", 120);
  ScratchCase own;
  const std::vector<Row> reference = run_case(own);
  ScratchCase sparse;
  sparse.edit("rl_breaker.map", " FINISH_TIME = 0.12\n",
              " FINISH_TIME = 0.12\n USE_SPARSE = YES\n SPARSE_LIMIT = 1\n");
  const std::vector<Row> rows = run_case(sparse);
  check_response(Circuit{}, rows);
  ASSERT_EQ(rows.size(), reference.size());
  std::vector<double> scale(reference.front().v.size(), 0.0);
  for (const Row& r : reference)
    for (std::size_t c = 0; c < scale.size(); ++c) scale[c] = std::max(scale[c], std::fabs(r.v[c]));
  for (std::size_t n = 0; n < rows.size(); ++n)
    for (std::size_t c = 0; c < scale.size(); ++c)
      ASSERT_NEAR(rows[n].v[c], reference[n].v[c], 1e-10 * scale[c])
          << "row " << n << ", channel " << c + 1;
}

// A file-size limit of 16 KiB met during the run (as a full disk): the run
// stops with one message naming the file, the time and the system's reason,
// and the channel file is cut back to its whole rows, here the 135 rows
// (t = 0 ... 0.0134 s) that the title (73 bytes) and rows of 120 bytes leave
// whole below the limit; they follow the closed form. A limit of 50 bytes meets
// the description file, which then ends on its last whole name.
TEST(RlBreakerExample, AWriteTheSystemRefusesLeavesWholeRows) {
  wakro_test::Watchdog dog("RlBreakerExample.AWriteTheSystemRefusesLeavesWholeRows", 120);
  ScratchCase c;
  ChildProcess p({kExe, "-v5"}, c.dir(), c.dir() + "/answers.txt", 16384);
  ASSERT_TRUE(p.wait(60000));
  const std::string out = p.out();
  EXPECT_EQ(p.exitCode(), 2) << out;
  const std::string head = " ***ERROR** Error occurred while writing output file rl_breaker_01.out at time 0.01";
  ASSERT_NE(out.find(head), std::string::npos) << out;
  EXPECT_EQ(out.find("Error occurred"), out.rfind("Error occurred")) << out;
  EXPECT_NE(out.find(std::string(" s: ") + std::strerror(EFBIG) +
                     "; the rows up to t = 0.0134 s are complete in every channel file.\n"),
            std::string::npos)
      << out;
  const std::string text = slurp(fs::path(c.dir()) / "rl_breaker_01.out");
  ASSERT_EQ(text.size(), 73u + 135u * 120u);
  std::istringstream in(text.substr(73));
  const Circuit k;
  std::vector<double> x;
  std::size_t n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    ASSERT_TRUE(parse_numbers(line, x) && x.size() == 5) << line;
    EXPECT_NEAR(x[0], 1e-4 * static_cast<double>(n), 1e-12);
    EXPECT_NEAR(x[1], k.emf(x[0]), 1e-12 * k.e);
    if (x[0] > k.t_close + k.dt) {
      EXPECT_NEAR(x[2], k.closed_current(x[0]), k.closed_tolerance());
    }
  }
  EXPECT_EQ(n, 135u);
  // A limit inside the description file: it is refused aloud and keeps only whole names.
  ScratchCase d;
  ChildProcess q({kExe, "-v5"}, d.dir(), d.dir() + "/answers.txt", 50);
  ASSERT_TRUE(q.wait(60000));
  EXPECT_EQ(q.exitCode(), 2);
  EXPECT_NE(q.out().find(" **** PROBLEM WRITING TO OUTPUT FILE : rl_breaker.inf  ! ****\n Output file rl_breaker.inf: " +
                         std::string(std::strerror(EFBIG)) + "\n"),
            std::string::npos)
      << q.out();
  EXPECT_NE(q.out().find("Status code = 2000\n"), std::string::npos);
  EXPECT_EQ(slurp(fs::path(d.dir()) / "rl_breaker.inf"), "EMF of the source [kV]\nBreaker current [kA]\n");
}

// While another process holds the lock of a file the run would write, the run
// is refused before it writes anything, naming the file and the lock. Every
// name that reaches the file reaches that lock (the folder as "./", through
// "..", through a link; a 34-character name cut to 33), and so does each kind
// of file: the description file, the record file, a snapshot under a fixed or
// a numbered name, the temporary file a snapshot is written to, the
// multiple-run file of a set of runs. So is a run whose lock file cannot be
// taken (a folder at its name, no folder, no descriptor left for the locks and
// the files together: naming it and why), one whose output name is blank and
// one whose snapshot would be named as a lock file is. A lock file whose holder
// has gone (its descriptor closed, as the kernel closes those of a run that was
// killed) does not block the next run, which removes it.
TEST(RlBreakerExample, ARunWhoseOutputNamesAreLockedIsRefused) {
  wakro_test::Watchdog dog("RlBreakerExample.ARunWhoseOutputNamesAreLockedIsRefused", 240);
  ScratchCase c;
  const std::string at = fs::canonical(c.dir()).string() + "/";  // the folder of the lock files, resolved
  fs::create_directory(at + "sub");
  fs::create_directory_symlink(at, at + "link");
  const std::string out = slurp(fs::path(c.dir()) / "answers.txt");
  const auto answers = [](std::string snap, std::string runs) {
    return "0\n" + snap + "rl_breaker.map\n" + runs + "\n1\nrl_breaker\n0\n0\n";
  };
  const std::string n34(34, 'n');
  struct Held { std::vector<std::string> args; std::string answers, file, kind; };
  const Held held[] = {{{}, out, "rl_breaker_01.out", "output file rl_breaker_01.out"},
                       {{"-out", "./x"}, out, "x_01.out", "output file ./x_01.out"},
                       {{"-out", "sub/../x"}, out, "x.inf", "output file sub/../x.inf"},
                       {{"-out", "link/x"}, out, "x_01.out", "output file link/x_01.out"},
                       {{"-out", n34}, out, n34.substr(1) + "_01.out", "output file " + n34.substr(1) + "_01.out"},
                       {{"-out", "x", "-outtype", "bin"}, out, "x.qbout", "output file x.qbout"},
                       {{}, answers("1\n0.01\nsn_01\n", "1"), "sn_01.snp", "snapshot sn_01.snp"},
                       {{}, answers("-2\n0.01\nsn\n", "1"), "sn_01.snp", "snapshot sn_01.snp"},
                       {{}, answers("1\n0.01\nx\n", "1"), "x.snp.tmp", "temporary snapshot x.snp.tmp"},
                       {{}, answers("0\n", "2"), "mrun.out", "multiple-run file mrun.out"}};
  for (const Held& h : held) {
    const int fd = ::open((at + h.file + ".lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_TRUE(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
    std::ofstream(c.dir() + "/held.txt") << h.answers;
    std::vector<std::string> words{kExe, "-v5"};
    words.insert(words.end(), h.args.begin(), h.args.end());
    ChildProcess p(words, c.dir(), c.dir() + "/held.txt");
    ASSERT_TRUE(p.wait(60000));
    ::close(fd);
    EXPECT_EQ(p.exitCode(), 2) << h.kind;
    EXPECT_NE(p.out().find("\n ERROR: Another run is writing the " + h.kind + " (it holds the lock " + at + h.file +
                           ".lock): this run is refused and writes nothing.\n"),
              std::string::npos)
        << p.out();
    for (const auto& e : fs::directory_iterator(c.dir())) EXPECT_NE(e.path().extension(), ".out") << h.kind;
  }
  ASSERT_TRUE(fs::create_directory(fs::path(c.dir()) / "d.inf.lock"));
  const std::pair<const char*, std::string> rows[] = {
      {"d", "The lock file " + at + "d.inf.lock for the output file d.inf cannot be taken (it is a folder)"},
      {"e/f", "The lock file " + at + "e/f.inf.lock for the output file e/f.inf cannot be taken (it cannot be made: "
              "No such file or directory)"},
      {" ", "The output name is blank (they would be .inf and _01.out)"},
      {".snp", "The snapshot name '.snp' gives the snapshots no name (they would be .snp)"},
      {"d/.snp", "The snapshot name 'd/.snp' gives the snapshots no name (they would be d/.snp)"},
      {"x.snp.lock", "The snapshot name 'x.snp.lock' gives the snapshots the name of a lock file (they would be "
                     "x.snp.lock)"}};
  for (const auto& [name, message] : rows) {  // a name holding .snp is a snapshot name
    const bool snap = std::string_view(name).find(".snp") != std::string_view::npos;
    std::ofstream(c.dir() + "/snap.txt") << "0\n1\n0.01\n" << name << "\nrl_breaker.map\n1\n1\nrl_breaker\n0\n0\n";
    ChildProcess q({kExe, "-v5", "-out", snap ? "s" : name}, c.dir(), c.dir() + (snap ? "/snap.txt" : "/answers.txt"));
    ASSERT_TRUE(q.wait(60000));
    EXPECT_EQ(q.exitCode(), 2);
    EXPECT_NE(q.out().find("\n ERROR: " + message + ": this run is refused and writes nothing.\n"), std::string::npos)
        << q.out();
    for (const auto& e : fs::directory_iterator(c.dir())) EXPECT_NE(e.path().extension(), ".out") << name;
  }
  // Every name of one file reaches one lock: a symbolic link at the file's
  // name (a chain of them, a dangling one) the lock of the file it leads to, a
  // hard link the lock on the file itself, which a run writing the file holds.
  // A link at a lock file's name is refused, not followed. The run is refused
  // before it writes, and the file the links lead to is left as it was.
  const std::string kept = "the rows of another run\n", it = at + "rl_breaker_01.out";
  const std::string run1 = at + "rl_breaker_r00001_01.out", family = at + "rl_breaker_r.lock.lock";
  const std::string link_at_lock = "The lock file " + it + ".lock for the output file rl_breaker_01.out cannot be "
                                   "taken (it is a symbolic link, and a lock file is never followed)";
  const std::string named_as_lock = " leads to a file named as a lock file, " + at;
  std::ofstream(c.dir() + "/s.txt") << "0\n1\n0.01\ns.snp\nrl_breaker.map\n1\n1\nrl_breaker\n0\n0\n";
  struct Linked {
    const char* out;  // the output name, or the answers of a run with the snapshot s.snp
    std::vector<std::pair<std::string, std::string>> links;  // name, target
    const char* held;  // the lock that another run holds
    std::string message;
  };
  const Linked linked[] = {
      {"other", {{"other_01.out", "x.out.lock"}}, "", "The output file other_01.out" + named_as_lock + "x.out.lock (a "
       "name ending in \".lock\")"},
      {"s.txt", {{"s.snp", "x.snp.lock"}}, "", "The snapshot s.snp" + named_as_lock + "x.snp.lock (a name ending in "
       "\".lock\")"},
      {"other", {{"other_01.out", "rl_breaker_01.out"}}, "rl_breaker_01.out.lock",
       "Another run is writing the output file other_01.out (it holds the lock " + it + ".lock)"},
      {"o2", {{"o1_01.out", it}, {"o2_01.out", "o1_01.out"}}, "rl_breaker_01.out.lock",
       "Another run is writing the output file o2_01.out (it holds the lock " + it + ".lock)"},
      {"other", {{"other_01.out", "sub/new_01.out"}}, "sub/new_01.out.lock",
       "Another run is writing the output file other_01.out (it holds the lock " + at + "sub/new_01.out.lock)"},
      {"other", {{"other_01.out", ""}}, "rl_breaker_01.out",
       "Another run is writing the output file other_01.out through another name (it holds the lock on the file "
       "itself, " + at + "other_01.out)"},
      {"other", {{"other_01.out", "/dev/null"}}, "other_01.out.lock",  // a device: the lock beside the name
       "Another run is writing the output file other_01.out (it holds the lock " + at + "other_01.out.lock)"},
      {"rl_breaker", {{"rl_breaker_01.out.lock", "gone.txt"}}, "", link_at_lock},
      {"rl_breaker", {{"rl_breaker_01.out.lock", "rl_breaker_01.out"}}, "", link_at_lock},
      // A set writing the files named after its runs holds their family's lock.
      {"rl_breaker_r00001", {}, "rl_breaker_r.lock.lock",
       "Another run is writing the output file rl_breaker_r00001.inf (it holds the lock " + family + ")"},
      {"other", {{"other_01.out", "rl_breaker_r00001_01.out"}}, "rl_breaker_r.lock.lock",
       "Another run is writing the output file other_01.out (it holds the lock " + family + ")"}};
  for (const Linked& l : linked) {
    std::ofstream(it, std::ios::binary) << kept;
    std::ofstream(run1, std::ios::binary) << kept;
    for (const auto& [name, target] : l.links)  // no target: a hard link
      target.empty() ? fs::create_hard_link(it, at + name) : fs::create_symlink(target, at + name);
    const int fd = *l.held ? ::open((at + l.held).c_str(), O_RDWR | O_CREAT, 0644) : -1;
    ASSERT_TRUE(!*l.held || (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0));
    const bool snap = std::string_view(l.out).ends_with(".txt");
    ChildProcess q({kExe, "-v5", "-out", snap ? "s" : l.out}, c.dir(), c.dir() + "/" + (snap ? l.out : "answers.txt"));
    ASSERT_TRUE(q.wait(60000));
    if (fd >= 0) ::close(fd);
    EXPECT_EQ(q.exitCode(), 2) << l.message;
    EXPECT_NE(q.out().find("\n ERROR: " + l.message + ": this run is refused and writes nothing.\n"), std::string::npos)
        << q.out();
    EXPECT_TRUE(slurp(it) == kept && slurp(run1) == kept) << l.message;
    for (const char* made : {"sub/new_01.out", "gone.txt", "x.out.lock", "x.snp.lock"})
      EXPECT_FALSE(fs::exists(at + made)) << l.message;
    for (const auto& [name, target] : l.links) fs::remove(at + name);
    if (*l.held) fs::remove(at + l.held);
  }
  // A run writing a file of a family holds the family's lock shared, beside
  // another holder too, and only the last holder removes it: the lock file
  // stays while another process holds it, and goes with a run holding it alone.
  for (const bool other : {true, false}) {
    const int fd = other ? ::open(family.c_str(), O_RDWR | O_CREAT, 0644) : -1;
    ASSERT_TRUE(!other || (fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) == 0));
    ChildProcess q({kExe, "-v5", "-out", "rl_breaker_r00001"}, c.dir(), c.dir() + "/answers.txt");
    ASSERT_TRUE(q.wait(60000));
    EXPECT_TRUE(q.exitCode() == 0 && fs::exists(family) == other) << other << "\n" << q.out();
    if (fd >= 0) ::close(fd);
  }
  fs::remove(it);
  fs::remove(run1);
  fs::remove(at + "rl_breaker_r00001.inf");
  // Where the file system offers no locks, the run goes on unguarded, says so once and removes its lock files.
  // So where flock answers EINVAL. Where flock is a whole-file record lock of the process (NFS), a run and each
  // rerun in the folder end 0, unwarned. Where the lock files lock but not the files themselves (ENOLCK), the run
  // says so once. A lock file that cannot be locked for another reason (EBADF) refuses the run and is not left; a
  // flock that a signal interrupts once is asked again.
  const auto unguarded = [&](const std::string& name, const std::string& reason) {
    return "\n WARNING: The lock file " + at + name + ".inf.lock cannot be locked (" + reason + "): the file system "
           "offers no locks, so the files this run writes in " + at + " are not guarded against another run writing "
           "them.\n";
  };
  for (const auto& [library, name, runs, message] :
       {std::tuple{WAKRO_NO_FLOCK_LIB, "u", 1, unguarded("u", "Operation not supported")},
        {WAKRO_NO_FLOCK_EINVAL_LIB, "v", 1, unguarded("v", "Invalid argument")}, {WAKRO_NFS_FLOCK_LIB, "n", 3, ""},
        {WAKRO_NO_FLOCK_DATA_ONLY_LIB, "w", 1, "\n WARNING: The lock on the file itself, " + at + "w.inf, cannot be "
         "taken (No locks available): a run writing it through another name is not refused.\n"},
        {WAKRO_NO_FLOCK_EBADF_LIB, "e", 1, "\n ERROR: The lock file " + at + "e.inf.lock for the output file e.inf "
         "cannot be taken (it cannot be locked: Bad file descriptor): this run is refused and writes nothing.\n"},
        {WAKRO_NO_FLOCK_EINTR_LIB, "i", 1, ""}})
    for (int run = 1; run <= runs; ++run) {
      ChildProcess u(wakro_test::preloaded(library, {kExe, "-v5", "-out", name}), c.dir(), c.dir() + "/answers.txt");
      const bool refused = message.starts_with("\n ERROR");
      ASSERT_TRUE(u.wait(60000) && u.exitCode() == (refused ? 2 : 0)) << name << run << u.out();
      EXPECT_NE(u.out().find(message.empty() ? "\n" : message), std::string::npos) << u.out();
      EXPECT_EQ(u.out().find("WARNING: The lock "), message.empty() ? std::string::npos
                                                                   : u.out().rfind("WARNING: The lock ")) << u.out();
      EXPECT_TRUE(fs::exists(at + name + "_01.out") != refused && !fs::exists(at + name + ".inf.lock") &&
                  !fs::exists(at + name + "_01.out.lock")) << name;
    }
  const std::string lock = at + "rl_breaker_01.out.lock";
  std::ofstream{lock};  // left by a run that was killed
  EXPECT_EQ(run_case(c).size(), 1201u);
  EXPECT_FALSE(fs::exists(lock));
  // 400 channels: 40 channel files and the description file, each open beside
  // its lock and the lock on the file itself. A limit on open files that holds
  // the 41 locks but not the files too refuses the run at a lock, before
  // anything is written; a soft limit below a hard one that holds both is
  // raised, and the run writes its files. Beside the 3 standard files, room
  // for each file, the lock on it itself and 3 more files is kept before the
  // locks are taken (3 + 2 x 41 + 3 descriptors, as many as the room and the
  // locks would take without the lock on each file itself): a hard limit
  // between that and what the locks need too holds the room and the first
  // locks, and the next lock is refused (not a file opened midway).
  c.edit("rl_breaker.map", " PGBS = 4\n", " PGBS = 400\n");
  std::string places = " 400", names;
  for (int k = 1; k <= 400; ++k) places.append(" ").append(std::to_string(k));
  for (int k = 5; k <= 400; ++k) names.append("chan ").append(std::to_string(k)).append("\n");
  c.edit("rl_breaker.dta", " 4 1 2 3 4\n", places + "\n");
  c.edit("rl_breaker.dta", "0 open)\n", "0 open)\n" + names);
  const int files = 41, room = 3 + 2 * files + 3, between = (room + room + files) / 2;
  char next[16];
  std::snprintf(next, sizeof next, "big_%02d.out", between - room);  // the lock after those that fit
  for (const auto& [limit, refused] : {std::pair{std::string("ulimit -n 64"), std::string("big.inf")},
                                       {"ulimit -n " + std::to_string(between), next},
                                       {"ulimit -Sn 64 && ulimit -Hn 256", ""}}) {
    ChildProcess q({"/bin/sh", "-c", limit + " && exec \"$0\" \"$@\"", kExe, "-v5", "-out", "big"}, c.dir(),
                   c.dir() + "/answers.txt", 0, 64);  // the standard files alone open
    ASSERT_TRUE(q.wait(60000));
    EXPECT_EQ(q.exitCode(), refused.empty() ? 0 : 2) << limit << q.out();
    EXPECT_EQ(q.out().find("\n ERROR: The lock file " + at + refused + ".lock for the output file " + refused +
                           " cannot be taken (it cannot be made: " + std::strerror(EMFILE) +
                           "): this run is refused and writes nothing.\n") != std::string::npos,
              !refused.empty())
        << limit << q.out();
    std::size_t written = 0;
    for (const auto& e : fs::directory_iterator(c.dir())) written += e.path().filename().string().starts_with("big");
    EXPECT_EQ(written, refused.empty() ? 41u : 0u) << limit;
    EXPECT_EQ(fs::exists(fs::path(c.dir()) / "big_40.out"), refused.empty()) << limit;
  }
}

// A set of runs that keeps channels on every run ("MPGBS:") writes each run's
// own description and channel files, locking them while that run writes them,
// so it holds the locks of one run's files at a time: under a hard limit of
// 4,096 open files it runs 2,100 runs (two files each: past what locks held
// for every run would leave room for) and 10,000, the most the start-up
// dialogue gives. Its runs write the source's EMF, 10 sin(2 pi 50 t) kV, at t
// = 0 and 100 us. (In a tmpfs where there is one: 20,000 files are quicker
// made there.)
TEST(RlBreakerExample, ASetWithChannelsOnEveryRunRunsUnderALimitOfOpenFiles) {
  wakro_test::Watchdog dog("RlBreakerExample.ASetWithChannelsOnEveryRunRunsUnderALimitOfOpenFiles", 240);
  const Circuit k;
  for (const int runs : {2100, 10000}) {
    if (runs > 2100 && wakro_test::kSanitized) continue;  // 10,000 runs under the sanitizers take too long
    ScratchCase c(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    c.edit("rl_breaker.map", " FINISH_TIME = 0.12\n", " FINISH_TIME = 100.0E-6\n");
    c.edit("rl_breaker.dta", "IPGBS:\n", "MPGBS:\n 1 1\nIPGBS:\n");
    std::ofstream(c.dir() + "/runs.txt") << "0\n0\nrl_breaker.map\n" << runs << "\n1\nrl_breaker\n0\n0\n";
    if (runs == 2100) {  // beside a set writing this family of files, a second set is refused
      const std::string lock = fs::canonical(c.dir()).string() + "/rl_breaker_r.lock.lock",
                        run1 = c.dir() + "/rl_breaker_r00001_01.out";
      const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
      ASSERT_TRUE(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0);
      std::ofstream(run1) << "a finished run\n";
      std::ofstream(c.dir() + "/two.txt") << "0\n0\nrl_breaker.map\n2\n1\nrl_breaker\n0\n0\n";
      ChildProcess q({kExe, "-v5"}, c.dir(), c.dir() + "/two.txt");
      ASSERT_TRUE(q.wait(60000));
      ::close(fd);
      EXPECT_TRUE(q.exitCode() == 2 && slurp(run1) == "a finished run\n") << q.out();
      fs::remove(lock);
      fs::remove(run1);
      EXPECT_NE(q.out().find("\n ERROR: Another run is writing the output file rl_breaker_r00001.inf (it holds the "
                             "lock " + lock + "): this run is refused and writes nothing.\n"),
                std::string::npos)
          << q.out();
    }
    ChildProcess p({"/bin/sh", "-c", "ulimit -n 4096 && exec \"$0\" \"$@\"", kExe, "-v5"}, c.dir(),
                   c.dir() + "/runs.txt");
    ASSERT_TRUE(p.wait(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.out().substr(p.out().size() > 3000 ? p.out().size() - 3000 : 0);
    std::size_t files = 0, locks = 0;
    for (const auto& e : fs::directory_iterator(c.dir())) {
      files += e.path().filename().string().starts_with("rl_breaker_r");
      locks += e.path().extension() == ".lock";
    }
    EXPECT_TRUE(files == 2u * runs && locks == 0) << files << " files, " << locks << " locks";
    char last[32];
    std::snprintf(last, sizeof last, "rl_breaker_r%05d_01.out", runs);
    for (const std::string& name : {std::string("rl_breaker_r00001_01.out"), std::string(last)}) {
      const std::string text = slurp(fs::path(c.dir()) / name);
      std::istringstream in(text.substr(std::min<std::size_t>(73, text.size())));  // the rows after the title
      std::vector<double> x;
      int n = 0;
      for (std::string line; std::getline(in, line); ++n)
        EXPECT_TRUE(parse_numbers(line, x) && x.size() >= 2 && std::fabs(x[0] - 1e-4 * n) < 1e-12 &&
                    std::fabs(x[1] - k.emf(x[0])) < 1e-12 * k.e) << name << line;
      EXPECT_EQ(n, 2) << name;
    }
  }
}

}  // namespace
}  // namespace app_test
