// Per-step cost of the whole simulated case (src/case/data, Station and Main
// with every module they call, the network solution and the output pass), run
// in this process by the engine's driver from its files to 10.1 s. Two windows
// of the same run are timed step by step: the steady state (8.0 to 9.0 s) and
// the fault with its clearing (10.0 to 10.1 s). The goal is 20 times faster
// than real time on one core (2.5 us per 50 us step); the counter
// "realtime_ratio" gives the time step over the time per step.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/driver.h"
#include "app/engine_services.h"
#include "app/seams.h"
#include "case/main_page.h"
#include "diag/console.h"
#include "model/e_s1.h"
#include "output/dialog.h"

#ifndef WAKRO_CASE_DATA_DIR
#error "WAKRO_CASE_DATA_DIR must name the case's data folder"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kDelt = 50.0e-6;

struct Window {
  double from, to;
  double seconds = 0.0;
  std::int64_t steps = 0;
};

Window g_steady{8.0, 9.0};
Window g_fault{10.0, 10.1};
Clock::time_point g_last;
Window* g_open = nullptr;

// Each step's time runs from one dyn pass to the next: the case's dyn pass,
// the network solution and the out pass.
void timed_dyn() {
  const Clock::time_point now = Clock::now();
  if (g_open != nullptr) {
    g_open->seconds += std::chrono::duration<double>(now - g_last).count();
    ++g_open->steps;
  }
  const double t = e_s1::time;
  g_open = nullptr;
  for (Window* w : {&g_steady, &g_fault})
    if (t >= w->from && t < w->to) g_open = w;
  g_last = Clock::now();
  dsdyn();
}

bool run_case() {
  static bool done = false, ok = false;
  if (done) return ok;
  done = true;
  char tmpl[] = "/tmp/wakro_bench_wscc9_XXXXXX";
  if (::mkdtemp(tmpl) == nullptr) return false;
  const fs::path dir(tmpl), back = fs::current_path();
  for (const auto& f : fs::directory_iterator(WAKRO_CASE_DATA_DIR)) fs::copy_file(f.path(), dir / f.path().filename());
  fs::current_path(dir);
  {
    std::ifstream in("wscc9.map");
    std::ostringstream s;
    s << in.rdbuf();
    std::string map = s.str();
    const std::string key = " FINISH_TIME = 25.0\n";
    map.replace(map.find(key), key.size(), " FINISH_TIME = 10.1\n");
    std::ofstream("wscc9.map") << map;
  }
  std::ostringstream console;
  {
    wakro::ConsoleRedirect out(console);
    wakro::ConsoleRedirect err(console, true);
    wakro::plug_engine_services();
    wakro::Seams& s = wakro::seams();
    s.dsdyn = &timed_dyn;
    s.dsout = &dsout;
    s.dsdyn_begin = &dsdyn_begin;
    s.dsout_begin = &dsout_begin;
    std::istringstream answers("0\n0\nwscc9.map\n1\n0\n0\n0\n");
    wakro::set_dialog_input(&answers);
    wakro::FixedText<128> host("localhost");
    std::int32_t port = -1, id = 1;
    bool v5 = false, gui = false;
    wakro_driver(v5, gui, host, port, id);
    wakro::set_dialog_input(nullptr);
  }
  fs::current_path(back);
  std::error_code ec;
  fs::remove_all(dir, ec);
  ok = g_steady.steps > 0 && g_fault.steps > 0;
  return ok;
}

void report(benchmark::State& state, const Window& w) {
  if (!run_case()) {
    state.SkipWithError("the case did not run");
    return;
  }
  const double per_step = w.seconds / static_cast<double>(w.steps);
  for (auto _ : state) state.SetIterationTime(per_step);
  state.counters["steps"] = static_cast<double>(w.steps);
  state.counters["realtime_ratio"] = kDelt / per_step;
}

void BM_CaseSteadyState(benchmark::State& state) { report(state, g_steady); }
void BM_CaseDuringFault(benchmark::State& state) { report(state, g_fault); }

}  // namespace

BENCHMARK(BM_CaseSteadyState)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaseDuringFault)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);
