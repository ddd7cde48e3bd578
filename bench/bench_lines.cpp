// Per-step cost of the lines: dsldyn (histories into the node injections) and
// dslout (terminal currents) for 1, 10 and 100 three-conductor Bergeron lines
// with losses, read through the dimension pass and the section reader as a case
// reads them. The step walks the line directory once with running offsets, so
// the cost grows linearly with the number of lines.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_case.h"
#include "files/linereader.h"
#include "files/units.h"
#include "lines/lines.h"
#include "model/fnames.h"

namespace {

using wakro_bench::kDelt;

// The line entries of the dimension table that the pass writes.
const int kLineEntries[] = {dim::maxmodes,   dim::tlines,     dim::maxpoles,   dim::travwaves,
                            dim::transforms, dim::transpoles, dim::attpoles,   dim::surgepoles,
                            dim::nummodes,   dim::tlines_total};

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

// Sizes and reads a case of `count` lines on one subsystem of 6 count nodes.
void build_lines(int count) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "wakro_bench_lines.dat").string();
  std::ofstream(path) << section(count);
  e_s1::delt = kDelt;
  sctline_init();
  open_section(path);
  sctline();
  wakro::close_all_units();
  std::int32_t sizes[std::size(kLineEntries)];
  for (std::size_t k = 0; k < std::size(kLineEntries); ++k) sizes[k] = ndde::e_ndim(kLineEntries[k]);

  wakro_bench::allocate_case(6 * count, 1, 0);
  wakro_bench::release_case();
  for (std::size_t k = 0; k < std::size(kLineEntries); ++k) ndde::e_ndim(kLineEntries[k]) = sizes[k];
  std::int32_t status = 0;
  ndde::allocate_nd(status);
  a_sparsity();
  wakro_initialz();
  e_s0::allocate_ssdim_array(1, status);
  e_s0::ssdim(1) = 6 * count;
  e_s0::allocate_ss_matrices(1, e_s0::ssdim, status);
  e_s0::allocate_ss_matrices2(1, e_s0::ssdim, status);
  int2::nmat = 1;
  e_s0::mbus(1) = 6 * count;
  e_s1::delt = kDelt;

  open_section(path);
  std::int32_t zero[4] = {0, 0, 0, 0};
  dslint(zero[0], zero[1], zero[2], zero[3]);
  wakro::close_all_units();
  std::filesystem::remove(path);
  for (std::int32_t k = 1; k <= 6 * count; ++k) e_s0::vdc(k, 1) = 0.001 * k;
}

void BM_LineSteps(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  build_lines(count);
  for (auto _ : state) {
    dsldyn();
    dslout();
    benchmark::DoNotOptimize(e_s0::ccli(1, 1));
  }
  state.SetComplexityN(count);
  wakro_bench::release_case();
}
BENCHMARK(BM_LineSteps)->Arg(1)->Arg(10)->Arg(100)->Complexity(benchmark::oN);

}  // namespace
