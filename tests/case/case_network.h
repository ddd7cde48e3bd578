// The simulated case's network as the tests see it: the constants that the
// case's code passes to its components (transformer groups, loads, source
// set-points, the branch numbers of each component), and a reader of the case's
// own data files (Main.dta and the line-constants files it names) that is
// independent of the engine's readers. From both it builds the positive-
// sequence network of Main's three-phase points on which the reference load
// flow runs.
#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace casetest {

constexpr double kFrequency = 60.0;
constexpr double kOmega = 2.0 * 3.14159265358979323846 * kFrequency;
constexpr double kSbase = 100.0;         // MVA, three-phase
constexpr double kHighVoltage = 230.0;   // kV line to line
constexpr std::int32_t kPoints = 18;     // Main's three-phase points (54 nodes)
constexpr std::int32_t kMainBranches = 78;

// A step-up transformer group: three single-phase two-winding units, winding 1
// LV, of the given leakage (pu of the unit), LV winding voltage (kV, phase),
// first transformer number and first winding branch (three LV, then three HV).
struct TransformerGroup {
  std::int32_t first_unit;
  std::int32_t first_winding_branch;
  double x_pu;
  double v1_kv;
};
constexpr double kUnitMva = 33.3333333333333;
constexpr double kUnitHvKv = 132.79056191361397;
constexpr double kMagnetisingPercent = 2.0;
constexpr std::array<TransformerGroup, 3> kGroups{{
    {1, 34, 0.0625, 10.392304845413268},  // generator, bus 2-7
    {4, 7, 0.0586, 7.967433714816838},    // inverter 1, bus 3-9
    {7, 67, 0.0576, 9.526279441628828},   // inverter 2, bus 1-4
}};

// A dynamic load: six branches from its first (R of phases a-c, then L), per-
// phase powers at rated voltage.
struct Load {
  std::int32_t first_branch;
  double p_mw;    // per phase
  double q_mvar;  // per phase
};
constexpr double kLoadPhaseKv = 132.790562;
constexpr double kLoadStartCycles = 10.0;
constexpr std::array<Load, 3> kLoads{{{19, 33.33333, 11.66667}, {43, 41.66667, 16.66667}, {52, 30.0, 10.0}}};

constexpr std::int32_t kFaultFirstBranch = 73;  // six switches

// The three sources at their terminal points: the slack (bus 1) and two
// voltage-controlled ones, with the benchmark's set-points.
struct Source {
  std::int32_t bus;
  std::int32_t point;
  double p_pu;  // ignored for the slack
  double v_pu;
};
constexpr std::array<Source, 3> kSources{{{1, 18, 0.0, 1.040}, {2, 11, 1.63, 1.025}, {3, 14, 0.85, 1.025}}};
constexpr std::int32_t kSlack = 0;  // index in kSources

// Point of a local node of Main (three nodes a point).
constexpr std::int32_t point_of(std::int32_t node) { return (node + 2) / 3; }
constexpr std::int32_t node_of(std::int32_t point, std::int32_t phase) { return 3 * point - 2 + phase; }

// What the files say, as read by this reader.
struct BranchLine {
  std::int32_t number = 0;
  std::int32_t from = 0, to = 0;  // Main's local nodes
  std::string type;
  std::vector<double> values;
};
struct WindingPair {
  std::int32_t from = 0, to = 0;
};
struct TransformerEntry {
  std::vector<WindingPair> windings;
};
// One mode record of a line-constants file.
struct ModeRecord {
  double tau_ms = 0, zc = 0, r_send = 0, r_receive = 0;
  std::vector<double> transformation;
};
struct LineEntry {
  std::string name;
  std::string file;
  std::array<std::int32_t, 3> send{}, receive{};
  double len = 0;
  std::vector<ModeRecord> modes;
};
struct MainFile {
  std::int32_t subsystem_nodes = 0;
  std::vector<BranchLine> branches;
  std::vector<TransformerEntry> transformers;
  std::vector<LineEntry> lines;
};

// Bad or unexpected contents of a data file: the message names file and line.
struct FileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads Main.dta in `dir` and every line-constants file its lines name.
MainFile read_main(const std::filesystem::path& dir);

// The positive-sequence network of Main's points, in per unit of 100 MVA and
// each point's base voltage.
struct SeriesElement {
  std::int32_t from, to;      // points
  std::complex<double> z;     // series impedance
  std::complex<double> y_half;  // shunt admittance at each end
};
struct Network {
  std::array<double, kPoints + 1> kv_base{};  // line-to-line kV, by point
  std::vector<SeriesElement> series;
  std::vector<std::pair<std::int32_t, std::complex<double>>> shunts;
};

// Builds it from the files and the case's constants: lines as nominal pi
// sections of their aerial mode, the transformer groups' leakages, and every
// branch that no component takes over as a series or grounded resistance.
Network build_network(const MainFile& main);

}  // namespace casetest
