// The module frame: what every routine of every module of the case does before
// and after its body, so that it finds its nodes, signals, channels, branches,
// transformers and data file by the running counters of the case map quolbv3.
//
// A module fixes its counts once (ModuleCounts). Its routines then call
//   enter_dyn    the dynamics routine: call record row (txfr), subsystem, call
//                number, signal pointers, channel offset, node record, branch and
//                transformer bases, in that order;
//   enter_out    the output routine: the same, but it reads the signal bases back
//                from the row that the dynamics pass wrote, and moves no signal
//                pointer;
//   enter_begin  the begin routines: subsystem, call number, node record,
//                branches and transformers only.
// Every advance is checked against its array before anything is written; an
// overrun stops the run with that dimension's "ERROR: Insufficient ..." line.
// The subsystem of a module with nodes or branches must lie in 1..nmat.
//
// open_data / close_data position the module's data file "<Module>.dta" at a
// section at time zero only (and do nothing on later steps).
//
// guarded_div and guarded_sqrt are the arithmetic of generated code: a divisor
// below 1e-100 in magnitude becomes 1e-100 with its sign; the square root of a
// negative value is 0 with a two-line warning, once per instance.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/quolbv3.h"

namespace wakro::casecode {

// The counts that the model code fixes for one module.
struct ModuleCounts {
  std::string_view name;       // module name, also the data file "<name>.dta"
  std::int32_t record = 2;     // node record length N + 2
  std::int32_t ni = 0;         // integer signals
  std::int32_t nf = 0;         // real signals
  std::int32_t np = 0;         // output channels
  std::int32_t nb = 0;         // branches of its subsystem
  std::int32_t nx = 0;         // transformers
};

// What one routine call took from the counters.
struct ModuleCall {
  std::int32_t call_no = 0;
  std::int32_t ss = 0;           // 0 for a module without nodes and branches
  std::int32_t node_base = 0;    // nnode at entry
  std::int32_t stoi_base = 0;
  std::int32_t stof_base = 0;
  std::int32_t pgb_base = 0;
  std::int32_t branch_base = 0;
  std::int32_t xfmr_base = 0;

  // k-th global node of the record (k from 1).
  std::int32_t node(std::int32_t k) const { return quolbv3::node(node_base + 2 + k); }
  double& f(std::int32_t k) const { return quolbv3::stof(stof_base + k); }
  std::int32_t& i(std::int32_t k) const { return quolbv3::stoi(stoi_base + k); }
  std::int32_t branch(std::int32_t k) const { return branch_base + k; }
};

ModuleCall enter_dyn(const ModuleCounts& m);
ModuleCall enter_out(const ModuleCounts& m);
ModuleCall enter_begin(const ModuleCounts& m);

// At time zero: opens "<name>.dta" and moves to `section` ("DATADSD:" or
// "DATADSO:"); close_data closes it again. Both do nothing after time zero.
void open_data(const ModuleCounts& m, std::string_view section);
void close_data();

inline constexpr double kHuge = 1.0E+100;
inline constexpr double kTiny = 1.0E-100;

// a / b, with b replaced by 1e-100 of its sign (+ for 0) when |b| < 1e-100.
double guarded_div(double a, double b);
// 1 / b guarded the same way: +-1e100 when |b| < 1e-100.
inline double guarded_inverse(double b) { return guarded_div(1.0, b); }

// sqrt(x); for x < 0 it returns 0 and, the first time for this instance, warns
// under the given ids. Takes one logical storage slot (storage::storl) for the
// once-flag on every call.
double guarded_sqrt(double x, std::int32_t id1, std::int32_t id2);

// The data files opened by open_data since the counter was last cleared (a
// count per name), for the checks that each file is opened once per pass.
std::int32_t data_file_opens();
void clear_data_file_opens();

}  // namespace wakro::casecode
