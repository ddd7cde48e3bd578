// What the six-pulse bridge's network step costs at the least, for comparison
// with bench_pe_switch: a step written for that one network and nothing else, in
// one pass with no general code: no dispatch on branch kinds beyond the three it
// has, no source lookup, no driver, no commutation (no valve ever crosses). It
// does the work every step of the bridge must do and keeps the state the engine
// keeps: the histories of the twelve branches (three R-L with a source, three R-L,
// six resistive valves) summed by node, the right-hand side of the five nodes,
// the substitution on the factors, the crossing tests of the six valves, the
// chatter counts of the nodes and branches, and every kept value written (the
// currents, the histories and their previous values, the inductive parts'
// voltages and histories, the node voltages and sums). The values are made up
// but steady: no denormal number, no infinity, and no step declined.
// "solve_ns" is the substitution alone, "x_solve" the step over it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "network/chatter.h"

namespace {

constexpr int kNodes = 5;
constexpr int kBranches = 12;
constexpr int kValves = 6;
constexpr int kCap = 16;  // array length, from index 1

enum Kind : std::int32_t { kResistor = 0, kInductive = 1, kSource = 2 };

using Reals = std::array<double, kCap>;
using Ints = std::array<std::int32_t, kCap>;

struct Bridge {
  Ints from{}, to{}, kind{}, valve{}, count{}, node_count{};
  Reals cbr{}, ccbr{}, ccbrd{}, v12l{}, g2l{}, rlg{}, ccl{}, ccld{}, geq{}, rcl{}, rsc{}, ebr{},
      ebrd{}, geqd{}, source{}, ccli{}, cclid{}, ccgm{}, ccgmd{}, vdc{}, vnew{}, rhs{}, forward{},
      crossing{};
  std::array<double, kCap * kCap> lu{};  // unit lower and upper (inverted diagonal), row-major
};

// The substitution on the factors, for the bridge's pattern alone (nodes 1..3
// are joined to 4 and 5 only, so L has rows 4 and 5 and U columns 4 and 5, with
// no fill), every loop of fixed length: the values stay in registers from the
// right-hand side to the new voltages.
[[gnu::always_inline]] inline void substitute_in(Bridge& t) {
  const auto l = [&t](int i, int j) { return t.lu[i * kCap + j]; };
  double y[kNodes + 1];
  for (int i = 1; i <= 3; ++i) y[i] = t.rhs[i] * l(i, i);
  y[4] = (t.rhs[4] - l(4, 1) * y[1] - l(4, 2) * y[2] - l(4, 3) * y[3]) * l(4, 4);
  y[5] = (t.rhs[5] - l(5, 1) * y[1] - l(5, 2) * y[2] - l(5, 3) * y[3] - l(5, 4) * y[4]) * l(5, 5);
  double v[kNodes + 1];
  v[5] = y[5];
  v[4] = y[4] - l(4, 5) * v[5];
  for (int i = 1; i <= 3; ++i) v[i] = y[i] - l(i, 4) * v[4] - l(i, 5) * v[5];
  for (int i = 1; i <= kNodes; ++i) {
    t.forward[i] = y[i];
    t.vnew[i] = v[i];
  }
}
[[gnu::noinline]] void substitute(Bridge& t) { substitute_in(t); }

// One step (every loop of fixed length); false when a valve crosses or a counter fires (never, with
// these values).
[[gnu::noinline]] bool step(Bridge& t) {
  constexpr double kLevel = 1.0e-3;
  constexpr double kNever = -1.0e300;  // a crossing level no current reaches
  constexpr int n = kNodes;
  constexpr int nbr = kBranches;
  double hist[kCap];
  double part[kCap];
  double sums[kCap];
  for (int k = 0; k <= n; ++k) sums[k] = 0.0;  // (0: ground, written, never read)
  for (int b = 1; b <= nbr; ++b) {
    if (t.kind[b] == kResistor) {
      hist[b] = t.ccbr[b];
      continue;
    }
    part[b] = t.v12l[b] * t.g2l[b] + t.cbr[b];
    const double h = part[b] * t.rlg[b];
    hist[b] = h;
    sums[t.from[b]] += h;
    sums[t.to[b]] -= h;
  }
  for (int k = 1; k <= n; ++k) t.rhs[k] = t.ccli[k] - sums[k];
  for (int b = 1; b <= nbr; ++b) {
    if (t.kind[b] != kSource) continue;
    const double j = t.source[b] * t.geq[b];
    t.rhs[t.to[b]] += j;
    t.rhs[t.from[b]] -= j;
  }
  substitute_in(t);
  const double* v = t.vnew.data();  // node 0 is ground, held at 0
  double earliest = 2.0;
  for (int k = 1; k <= kValves; ++k) {
    const int b = t.valve[k];
    const double i = hist[b] + (v[t.from[b]] - v[t.to[b]]) * t.geq[b];
    const double before = t.cbr[b];
    const bool up = before <= kNever && kNever < i;
    const bool down = kNever <= before && i < kNever;
    t.crossing[b] = (up || down) ? (before - kNever) / (before - i) : 2.0;
    earliest = std::min(earliest, t.crossing[b]);
  }
  if (earliest < 1.0) return false;
  int first = kCap;
  for (int k = 1; k <= n; ++k) {
    t.ccgmd[k] = t.ccgm[k];
    t.ccgm[k] = sums[k];
    bool fired = false;
    t.node_count[k] = chatter_count(v[k], t.vdc[k], kLevel, t.node_count[k], fired);
    first = fired ? std::min(first, k) : first;
    t.vdc[k] = v[k];
    t.cclid[k] = t.ccli[k];
  }
  for (int b = 1; b <= nbr; ++b) {
    const double h = hist[b];
    const int kind = t.kind[b];
    const double e = kind == kSource ? t.source[b] : 0.0;
    const double u = v[t.from[b]] - v[t.to[b]] + e;
    const double i = t.geq[b] * u + h;
    bool fired = false;
    t.count[b] = chatter_count(i, t.cbr[b], kLevel, t.count[b], fired);
    first = fired ? std::min(first, b) : first;
    t.cbr[b] = i;
    t.ccbr[b] = h;
    t.ccbrd[b] = h;
    if (kind != kResistor) {
      const double before = t.ccl[b];
      t.ccld[b] = before;
      t.v12l[b] = t.rcl[b] * before + t.rlg[b] * u - t.rsc[b] * part[b];
      t.ccl[b] = part[b];
    }
    t.ebrd[b] = t.ebr[b];
    t.geqd[b] = t.geq[b];
  }
  return first == kCap;
}

Bridge build() {
  Bridge t;
  // Sources to nodes 1..3, the DC side 4-5 and 4, 5 to ground, the valves
  // 1..3 -> 4 and 5 -> 1..3.
  constexpr std::array<std::int32_t, kBranches + 1> from = {0, 0, 0, 0, 4, 4, 5, 1, 2, 3, 5, 5, 5};
  constexpr std::array<std::int32_t, kBranches + 1> to = {0, 1, 2, 3, 5, 0, 0, 4, 4, 4, 1, 2, 3};
  for (int b = 1; b <= kBranches; ++b) {
    t.from[b] = from[b];
    t.to[b] = to[b];
    t.kind[b] = b <= 3 ? kSource : b <= 6 ? kInductive : kResistor;
    t.g2l[b] = 0.1;
    t.rlg[b] = 0.9;
    t.geq[b] = 0.01 * b;
    t.rcl[b] = 0.5;
    t.rsc[b] = 0.4;
    t.cbr[b] = 1.0e-3 * b;
  }
  for (int k = 1; k <= kValves; ++k) t.valve[k] = 6 + k;
  for (int i = 1; i <= kNodes; ++i)
    for (int j = 1; j <= kNodes; ++j)
      t.lu[i * kCap + j] = i == j ? 0.5 : 0.01;  // (read where the pattern has entries)
  return t;
}

// The sources' voltages and a line injection of step s (the models' part).
void drive(Bridge& t, std::int64_t s) {
  const double e = std::sin(static_cast<double>(s) * 1.0e-3);
  t.source[1] = e;
  t.source[2] = -e;
  t.source[3] = 0.5 * e;
  t.ccli[1] = 1.0e-9 * static_cast<double>(s & 7);
}

void BM_LeanBridgeStep(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  Bridge t = build();
  std::int64_t s = 0;
  bool ok = true;
  // The step and the substitution timed in blocks, the least per step kept
  // (the models' part timed alone and taken off).
  constexpr int kSteps = 200000;
  double drive_ns = 1e300;
  double step_ns = 1e300;
  double solve_ns = 1e300;
  for (auto _ : state) {
    for (int block = 0; block < 5; ++block) {
      auto t0 = clock::now();
      for (int k = 0; k < kSteps; ++k) {
        drive(t, s++);
        benchmark::ClobberMemory();
      }
      drive_ns = std::min(
          drive_ns, std::chrono::duration<double, std::nano>(clock::now() - t0).count() / kSteps);
      t0 = clock::now();
      for (int k = 0; k < kSteps; ++k) {
        drive(t, s++);
        ok &= step(t);
      }
      step_ns = std::min(
          step_ns, std::chrono::duration<double, std::nano>(clock::now() - t0).count() / kSteps);
      t0 = clock::now();
      for (int k = 0; k < kSteps; ++k) {
        substitute(t);
        benchmark::ClobberMemory();
      }
      solve_ns = std::min(
          solve_ns, std::chrono::duration<double, std::nano>(clock::now() - t0).count() / kSteps);
    }
  }
  if (!ok || !std::isfinite(t.vdc[1]) || std::abs(t.vdc[1]) < 1.0e-300) {
    state.SkipWithError("the made-up bridge left its steady values");
    return;
  }
  state.counters["network_ns"] = step_ns - drive_ns;
  state.counters["solve_ns"] = solve_ns;
  state.counters["x_solve"] = (step_ns - drive_ns) / solve_ns;
}

BENCHMARK(BM_LeanBridgeStep)->Iterations(1);

}  // namespace
