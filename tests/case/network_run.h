// A small case around the simulated case's network, run in this process by the
// engine's own driver from its data files: the case's Main.dta and line-
// constants files with a map and a page of source branches from
// tests/data/case_network, copied into a scratch folder.
//
// Its model code calls what the case's main page calls for the network: the
// transformer groups (e_tf2w_cfg and the winding branches' e_branch_cfg), the
// dynamic loads (load1p2_cfg, load3p2_exe); and it feeds the three source
// terminals by stiff sources (wakro_3phvsrc) at given voltages. It keeps what
// the line reader left (read at time zero, before the first step) and the
// fundamental phasors of every node voltage and source current over the last
// three cycles of the run.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "case_network.h"

namespace casetest {

// A stiff three-phase source: phase a's EMF peak [kV] and angle [rad] (sin).
struct Drive {
  double peak_kv = 0.0;
  double phase = 0.0;
};

// One mode of a line as the engine's line reader left it.
struct ReadMode {
  double tau_ms = 0.0;  // (nt + fnt) steps
  double zc = 0.0;      // fk(1) / a0y
  std::int32_t nt = 0;
  double fnt = 0.0;
};

struct RunResult {
  int status = -1;      // of a fatal stop, -1 when the run ended normally
  std::string console;  // everything the run wrote
  std::vector<std::array<ReadMode, 3>> lines;
  std::vector<std::vector<double>> transformations;  // each line's n x n entries
  std::int32_t steps = 0;                            // dynamics passes after time zero
  // RMS phasors [kV, kA] by Main's local node (1..54) and by branch number
  // (1..78 Main's, 79..87 the sources' phases a, b, c in source order).
  std::array<std::complex<double>, 3 * kPoints + 1> v{};
  std::array<std::complex<double>, kMainBranches + 10> i{};
};

// Runs the case to `finish` seconds with the sources at `drive` (source order
// of kSources); the phasors are taken over the last three cycles. `edit`, when
// given, runs in the scratch folder before the run (to change a file there).
RunResult run_network(const std::array<Drive, 3>& drive, double finish,
                      const std::function<void()>& edit = {});

// The source EMF that puts a terminal at v (pu of its base, line-to-line kV
// base) while it delivers s (pu of 100 MVA) through the source resistance.
Drive drive_for(std::complex<double> v, std::complex<double> s, double kv_base);

}  // namespace casetest
