// Per-step cost of the lines: dsldyn (histories into the node injections) and
// dslout (terminal currents) for 1, 10 and 100 three-conductor Bergeron lines
// with losses, read through the dimension pass and the section reader as a case
// reads them. The step walks the line directory once with running offsets, so
// the cost grows linearly with the number of lines.
//
// Per-step cost of one three-conductor frequency-dependent line, FRE-DEP and
// FRE-PHASE, for 2, 8 and 16 poles to every fit: each pole is one complex
// recursion per step, so the cost grows linearly with the pole count.
//
// Per-step cost of a 100 km three-conductor MFDTD line at a step of 1 us and a
// largest velocity of 3e8 m/s: 333 segments, each a few 3 x 3 products and
// the recursive convolution of its 1, 2 or 4 poles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../tests/lines/fd_records.h"
#include "bench_case.h"
#include "files/linereader.h"
#include "files/units.h"
#include "lines/lines.h"
#include "model/e_s7mfd.h"
#include "model/fnames.h"

namespace {

using wakro_bench::kDelt;

// The line entries of the dimension table that the pass writes.
const int kLineEntries[] = {dim::maxmodes,   dim::tlines,     dim::maxpoles,   dim::travwaves,
                            dim::transforms, dim::transpoles, dim::attpoles,   dim::surgepoles,
                            dim::nummodes,   dim::tlines_total, dim::tlines_ph,
                            dim::nummodes_ph, dim::maxmodes_ph, dim::travwaves_ph,
                            dim::prop_ph,    dim::hserc_ph,   dim::ycserc_ph,  dim::xhk_ph,
                            dim::maxpoles_ph, dim::tlines_mfdtd, dim::nummodes_mfdtd,
                            dim::maxmodes_mfdtd, dim::maxpoles_mfdtd, dim::maxinc_mfdtd};

// A "GLOBAL_TLINES:" section of `count` three-conductor lines, line k between
// nodes 6k-5..6k-3 and 6k-2..6k, travel times of 10 to 12 steps.
std::string section(int count) {
  std::ostringstream os;
  os << "GLOBAL_TLINES:\n";
  for (int k = 0; k < count; ++k) {
    os << "3 0 1 1 60.0 600.0 1.0 0.1 0.1\n";
    for (int c = 1; c <= 3; ++c)
      os << 6 * k + c << " " << 6 * k + 3 + c << " " << 0.5 + 0.05 * (c - 1) << " 300.0 0.01 0.01 0 0 0\n";
  }
  os << "ENDCASE:\n";
  return os.str();
}

void open_section(const std::string& path) {
  fnames::filename = path;
  wakro_openfile();
  rdcmnt();
}

// Sizes and reads a case of one subsystem of `nodes` nodes from a section
// (with the line-constants files it names already written).
void build_case(const std::string& text, int nodes, double delt = kDelt) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "wakro_bench_lines.dat").string();
  std::ofstream(path) << text;
  e_s1::delt = delt;
  sctline_init();
  open_section(path);
  sctline();
  wakro::close_all_units();
  std::int32_t sizes[std::size(kLineEntries)];
  for (std::size_t k = 0; k < std::size(kLineEntries); ++k) sizes[k] = ndde::e_ndim(kLineEntries[k]);

  wakro_bench::allocate_case(nodes, 1, 0);
  wakro_bench::release_case();
  for (std::size_t k = 0; k < std::size(kLineEntries); ++k) ndde::e_ndim(kLineEntries[k]) = sizes[k];
  std::int32_t status = 0;
  ndde::allocate_nd(status);
  a_sparsity();
  wakro_initialz();
  e_s0::allocate_ssdim_array(1, status);
  e_s0::ssdim(1) = nodes;
  e_s0::allocate_ss_matrices(1, e_s0::ssdim, status);
  e_s0::allocate_ss_matrices2(1, e_s0::ssdim, status);
  int2::nmat = 1;
  e_s0::mbus(1) = nodes;
  e_s1::delt = delt;

  open_section(path);
  std::int32_t zero[4] = {0, 0, 0, 0};
  dslint(zero[0], zero[1], zero[2], zero[3]);
  wakro::close_all_units();
  std::filesystem::remove(path);
  for (std::int32_t k = 1; k <= nodes; ++k) e_s0::vdc(k, 1) = 0.001 * k;
}

// Times the lines' steps of the case built (size n for the complexity) and
// releases it.
void time_line_steps(benchmark::State& state, int n) {
  for (auto _ : state) {
    dsldyn();
    dslout();
    benchmark::DoNotOptimize(e_s0::ccli(1, 1));
  }
  state.SetComplexityN(n);
  wakro_bench::release_case();
}

// Sizes and reads a case of `count` lines on one subsystem of 6 count nodes.
void build_lines(int count) { build_case(section(count), 6 * count); }

// One three-conductor line of the given kind with `poles` poles to every fit,
// its line-constants file in the temporary folder.
void build_fd_line(bool phase, int poles) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "wakro_bench_fd.tlo";
  if (phase) {
    std::ofstream(file) << linetest::spread_fit(3, poles, kDelt).file();
  } else {
    std::vector<double> p;
    for (int q = 0; q < poles; ++q) p.push_back(300.0 * std::pow(100.0, q / (poles - 1.0)));
    std::ofstream(file) << linetest::fredep_poles_record(3, 0.52, 300.0, p, 1000.0, 0.9);
  }
  build_case("GLOBAL_TLINES:\n" + linetest::header_record(3, file.string()) + "ENDCASE:\n", 6);
  std::filesystem::remove(file);
}

void fd_steps(benchmark::State& state, bool phase) {
  const int poles = static_cast<int>(state.range(0));
  build_fd_line(phase, poles);
  time_line_steps(state, poles);
}

void BM_FreDepLineSteps(benchmark::State& state) { fd_steps(state, false); }
void BM_FrePhaseLineSteps(benchmark::State& state) { fd_steps(state, true); }
BENCHMARK(BM_FreDepLineSteps)->Arg(2)->Arg(8)->Arg(16)->Complexity(benchmark::oN);
BENCHMARK(BM_FrePhaseLineSteps)->Arg(2)->Arg(8)->Arg(16)->Complexity(benchmark::oN);

void BM_MfdtdLineSteps(benchmark::State& state) {
  const int poles = static_cast<int>(state.range(0));
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "wakro_bench_mfdtd.tlo";
  std::ofstream(file) << linetest::lossy_mfdtd(3, poles, 100000.0).file();
  build_case("GLOBAL_TLINES:\n" + linetest::header_record(3, file.string()) + "ENDCASE:\n", 6, 1.0e-6);
  std::filesystem::remove(file);
  if (e_s7mfd::nmfd(1) != 333) state.SkipWithError("the line is not cut into 333 segments");
  time_line_steps(state, poles);
}
BENCHMARK(BM_MfdtdLineSteps)->Arg(1)->Arg(2)->Arg(4)->Complexity(benchmark::oN);

void BM_LineSteps(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  build_lines(count);
  time_line_steps(state, count);
}
BENCHMARK(BM_LineSteps)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

}  // namespace
