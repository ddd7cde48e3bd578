// The network case run by the driver (see network_run.h).
#include "network_run.h"

#include <cmath>
#include <filesystem>
#include <numbers>
#include <sstream>

#include "app/driver.h"
#include "app/engine_services.h"
#include "app/seams.h"
#include "devices/branch_cfg.h"
#include "devices/dynamic_loads.h"
#include "devices/voltage_sources.h"
#include "diag/console.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/branches.h"
#include "output/dialog.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"
#include "transformers/tf_cfg.h"

namespace casetest {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kSs = 1;
constexpr std::int32_t kFirstSourceBranch = kMainBranches + 1;  // the sources' page follows Main
constexpr double kSourceOhm = 0.001;
constexpr double kRampSeconds = 0.05;
constexpr std::int32_t kWindowSteps = 1000;  // three cycles of 60 Hz at 50 us
constexpr std::int32_t kAc = 1;
constexpr std::int32_t kTfIdealCoupling = 1;  // e_tf2w_cfg's form selector

// The run in progress.
struct Run {
  std::array<Drive, 3> drive{};
  RunResult* out = nullptr;
  double window_from = 0.0;  // phasor sums from the step after this time
  std::int32_t samples = 0;
};
Run g_run;

// Every line's modes and transformation as the line reader left them.
void keep_lines() {
  RunResult& r = *g_run.out;
  std::int32_t t = 0;
  for (std::int32_t row = 1; row <= e_s7::img; ++row) {
    const std::int32_t l = e_s7::linemodel(row, 2);
    const std::int32_t n = e_s7::mode(l);
    std::array<ReadMode, 3> modes{};
    for (std::int32_t k = 1; k <= n && k <= 3; ++k) {
      const std::int32_t i = e_s7::linemodel(row, 3) + k;
      ReadMode& m = modes[static_cast<std::size_t>(k - 1)];
      m.nt = e_s7::nt(i);
      m.fnt = e_s7::fnt(i);
      m.tau_ms = (m.nt + m.fnt) * e_s1::delt * 1000.0;
      m.zc = e_s7::fk(i, 1) / e_s7::a0y(i);
    }
    r.lines.push_back(modes);
    std::vector<double> ti;
    for (std::int32_t k = 1; k <= n * n; ++k) ti.push_back(e_s7::ti(t + k));
    t += n * n;
    r.transformations.push_back(ti);
  }
}

void case_dsdyn_begin() {
  keep_lines();
  // Transformer groups: three units each, winding 1 LV; no branch values of
  // their own on the windings.
  for (const TransformerGroup& g : kGroups) {
    for (std::int32_t ph = 0; ph < 3; ++ph)
      e_tf2w_cfg(g.first_unit + ph, kTfIdealCoupling, kUnitMva, kFrequency, g.x_pu, 0.0, g.v1_kv, kUnitHvKv,
                 kMagnetisingPercent);
    for (std::int32_t k = 0; k < 6; ++k) e_branch_cfg(g.first_winding_branch + k, kSs, false, false, false, 0.0, 0.0, 0.0);
  }
  // Loads: constant power (exponents 0, proportions 1, no frequency terms).
  for (const Load& l : kLoads)
    load1p2_cfg(0, 1, kLoadPhaseKv, 1.0, kFrequency, l.p_mw, l.q_mvar, kLoadStartCycles, 0.0, 0.0, 0.0, 0.0,
                1.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0);
}

void case_dsout_begin() {}

void case_dsdyn() {
  for (std::int32_t k = 0; k < 3; ++k) {
    const std::int32_t b = kFirstSourceBranch + 3 * k;
    const Drive& d = g_run.drive[static_cast<std::size_t>(k)];
    wakro_3phvsrc(kSs, b, b + 1, b + 2, kRampSeconds, kAc, d.peak_kv, kOmega, d.phase);
  }
  for (const Load& l : kLoads) {
    const std::int32_t b = l.first_branch;
    load3p2_exe(kSs, b, b + 1, b + 2, b + 3, b + 4, b + 5, 1.0);
  }
  if (!e_s1::timezero) ++g_run.out->steps;
}

// Sums x e^(-j w t) over the window; the RMS phasor of A sin(w t + th) is then
// j sum sqrt(2) / N = (A / sqrt 2) e^(j th).
void case_dsout() {
  const double t = e_s1::time;
  if (!(t > g_run.window_from)) return;
  RunResult& r = *g_run.out;
  const std::complex<double> turn = std::polar(1.0, -kOmega * t);
  for (std::int32_t n = 1; n <= 3 * kPoints; ++n) r.v[static_cast<std::size_t>(n)] += e_s0::vdc(n, kSs) * turn;
  for (std::int32_t b = 1; b < static_cast<std::int32_t>(r.i.size()); ++b)
    r.i[static_cast<std::size_t>(b)] += branches::cbr(b, kSs) * turn;
  ++g_run.samples;
}

void finish_phasors(RunResult& r) {
  const std::complex<double> scale = std::complex<double>(0.0, std::sqrt(2.0)) / static_cast<double>(g_run.samples);
  for (auto& x : r.v) x *= scale;
  for (auto& x : r.i) x *= scale;
}

void copy_case(const fs::path& to) {
  for (const fs::path& dir : {fs::path(WAKRO_CASE_DATA_DIR), fs::path(WAKRO_CASE_TEST_DIR)})
    for (const auto& f : fs::directory_iterator(dir)) fs::copy_file(f.path(), to / f.path().filename());
}

// Main's subsystem counts the nodes inside the generator and the inverters too;
// without them (on stiff sources) it is Main's 54 nodes. The page's signals
// and the case's channel list are left out with its model code.
void main_alone() {
  std::string main = wakro_test::read_file("Main.dta");
  const std::string key = "SUBSYSDIM:\n 1 105\n";
  main.replace(main.find(key), key.size(), "SUBSYSDIM:\n 1 54\n");
  const std::size_t from = main.find("STOF:\n"), to = main.find("DATADSD:\n");
  if (from != std::string::npos && to != std::string::npos) main.erase(from, to - from);
  wakro_test::write_file("Main.dta", main);
}

// The map's finish time replaced by `finish`.
void set_finish(double finish) {
  std::string map = wakro_test::read_file("network.map");
  const std::string key = " FINISH_TIME = 1.0\n";
  std::ostringstream line;
  line << " FINISH_TIME = " << finish << "\n";
  map.replace(map.find(key), key.size(), line.str());
  wakro_test::write_file("network.map", map);
}

}  // namespace

Drive drive_for(std::complex<double> v, std::complex<double> s, double kv_base) {
  const double phase_kv = kv_base / std::sqrt(3.0);
  const std::complex<double> vp = v * phase_kv;                      // kV RMS, phase a
  const std::complex<double> ip = std::conj(s * kSbase / 3.0 / vp);  // kA, into the network
  const std::complex<double> e = vp + kSourceOhm * ip;
  return {std::sqrt(2.0) * std::abs(e), std::arg(e)};
}

RunResult run_network(const std::array<Drive, 3>& drive, double finish, const std::function<void()>& edit) {
  RunResult r;
  wakro_test::WorkFolder folder;
  if (!folder.enter("wakro_case_network_")) return r;
  copy_case(folder.path());
  set_finish(finish);
  main_alone();
  if (edit) edit();

  std::ostringstream console;
  {
    wakro::ConsoleRedirect out(console);
    wakro::ConsoleRedirect err(console, true);
    wakro_test::reset_shared_state();
    wakro::plug_engine_services();
    wakro::Seams& s = wakro::seams();
    s.dsdyn = &case_dsdyn;
    s.dsout = &case_dsout;
    s.dsdyn_begin = &case_dsdyn_begin;
    s.dsout_begin = &case_dsout_begin;
    // Data start, no snapshot, the map, one run, no channel file, no plot, no
    // global values.
    std::istringstream answers("0\n0\nnetwork.map\n1\n0\n0\n0\n");
    wakro::set_dialog_input(&answers);
    g_run = Run{drive, &r, finish - kWindowSteps * 50.0e-6 + 25.0e-6, 0};
    r.status = wakro_test::fatal_status([] {
      wakro::FixedText<128> host("localhost");
      std::int32_t port = -1, id = 1;
      bool v5 = false, gui = false;
      wakro_driver(v5, gui, host, port, id);
    });
    wakro::set_dialog_input(nullptr);
    wakro_test::reset_shared_state();
  }
  folder.leave();
  r.console = console.str();
  if (g_run.samples > 0) finish_phasors(r);
  g_run = Run{};
  return r;
}

}  // namespace casetest
