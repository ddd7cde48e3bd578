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

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "blocks/slots.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/int2.h"
#include "model/ndde.h"
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

// An output channel's name and unit, as the case's channel-name list gives it:
// "<name> [<unit>]" ("-" for a pure number).
struct ChannelName {
  std::string_view name;
  std::string_view unit;
};

// A row of a module's channel table: the channel (the module's channel enum)
// and its name and unit.
template <class Channel>
struct NamedChannel {
  Channel channel;
  ChannelName text;
};

// The channel table of a module in channel order, from rows that name their
// channel: a row whose channel is not its position (channel k at k - 1) stops
// the build, so that names and positions cannot drift apart.
template <class Channel, std::size_t N>
consteval std::array<ChannelName, N> channel_table(const NamedChannel<Channel> (&rows)[N]) {
  std::array<ChannelName, N> names{};
  for (std::size_t k = 0; k < N; ++k) {
    if (static_cast<std::size_t>(rows[k].channel) != k + 1) throw "a channel's row is not at its position";
    names[k] = rows[k].text;
  }
  return names;
}

// The channel tables of modules whose channels follow one another, joined in
// that order into one table.
template <std::size_t... N>
consteval std::array<ChannelName, (N + ...)> joined_channel_tables(const std::array<ChannelName, N>&... tables) {
  std::array<ChannelName, (N + ...)> names{};
  std::size_t k = 0;
  const auto append = [&](const auto& table) {
    for (const ChannelName& name : table) names[k++] = name;
  };
  (append(tables), ...);
  return names;
}

// The columns of a call record row (quolbv3::txfr): the four signal pointers
// at the dynamics routine's entry.
enum CallRecordColumn : std::int32_t { kRowStol = 1, kRowStoi, kRowStof, kRowStoc };

// The head of a module's node record in quolbv3::node: its subsystem and its
// count, then the nodes.
enum NodeRecordHead : std::int32_t { kRecordSubsystem = 1, kRecordCount, kRecordHead = kRecordCount };

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
  std::int32_t node(std::int32_t k) const { return quolbv3::node(node_base + kRecordHead + k); }
  double& f(std::int32_t k) const { return quolbv3::stof(stof_base + k); }
  std::int32_t& i(std::int32_t k) const { return quolbv3::stoi(stoi_base + k); }
  std::int32_t branch(std::int32_t k) const { return branch_base + k; }
};

// The counter steps run in every routine call of every step: they are always
// in line, so that the counts of a module (constants of its code) fold into
// them, and only the stops for a passed array are calls.
namespace frame_detail {

// Stop the run: an advance of a running counter would pass its array.
[[noreturn]] void insufficient(const ModuleCounts& m, std::string_view text, std::int64_t required,
                               std::int64_t available);
// Stop the run: the module's node record holds no solved subsystem.
[[noreturn]] void bad_subsystem(const ModuleCounts& m, std::int32_t ss);

inline void check_room(const ModuleCounts& m, std::string_view text, std::int64_t last, std::int64_t size) {
  if (last > size) [[unlikely]]
    insufficient(m, text, last, size);
}

// The module's subsystem, from its node record; only a module with nodes or
// branches has one, and it must be one of the solved subsystems (the newer map
// style writes 0 here, which no branch counter accepts).
inline std::int32_t subsystem(const ModuleCounts& m) {
  if (m.record <= 2 && m.nb == 0) return 0;
  const std::int32_t ss = quolbv3::node(quolbv3::nnode + kRecordSubsystem);
  if (ss < 1 || ss > int2::nmat) [[unlikely]]
    bad_subsystem(m, ss);
  return ss;
}

// Shared by every routine: call number, node record, branch and transformer
// bases.
inline void take_call_node_branches(const ModuleCounts& m, ModuleCall& c) {
  // The record must lie in the node map before its subsystem is read.
  check_room(m, "ERROR: Insufficient # of NNODES (ND21):", std::int64_t{quolbv3::nnode} + m.record,
             quolbv3::node.size());
  c.ss = subsystem(m);
  c.call_no = quolbv3::ncall_no;
  quolbv3::ncall_no += 1;
  c.node_base = quolbv3::nnode;
  quolbv3::nnode += m.record;
  if (m.nb > 0) {
    check_room(m, "ERROR: Insufficient # of branches (ND15):", std::int64_t{quolbv3::nbrch(c.ss)} + m.nb,
               ndde::nd15);
    c.branch_base = quolbv3::nbrch(c.ss);
    quolbv3::nbrch(c.ss) += m.nb;
  }
  if (m.nx > 0) {
    check_room(m, "ERROR: Insufficient # of transformers (ND4):", std::int64_t{quolbv3::nxfmr} + m.nx, ndde::nd4);
  }
  c.xfmr_base = quolbv3::nxfmr;
  quolbv3::nxfmr += m.nx;
}

inline void take_channels(const ModuleCounts& m, ModuleCall& c) {
  check_room(m, "ERROR: Insufficient PGB array size (ND13):", std::int64_t{quolbv3::npgb} + m.np,
             e_s4::pgb.size());
  c.pgb_base = quolbv3::npgb;
  quolbv3::npgb += m.np;
}

inline void next_record_row(const ModuleCounts& m) {
  check_room(m, "ERROR: Insufficient # of NPAGES (ND22):", std::int64_t{quolbv3::ntxfr} + 1,
             quolbv3::txfr.extent(1));
  quolbv3::ntxfr += 1;
}

// The signal bases must address the stores even when they were read back
// from a row: a row is only as sound as the pass that wrote it.
inline void check_signals(const ModuleCounts& m, const ModuleCall& c) {
  check_room(m, "ERROR: Insufficient STOI array size (ND24):", std::int64_t{c.stoi_base} + m.ni,
             quolbv3::stoi.size());
  check_room(m, "ERROR: Insufficient STOF array size (ND25):", std::int64_t{c.stof_base} + m.nf,
             quolbv3::stof.size());
}

}  // namespace frame_detail

[[gnu::always_inline]] inline ModuleCall enter_dyn(const ModuleCounts& m) {
  using namespace frame_detail;
  ModuleCall c;
  // 1. The call record.
  next_record_row(m);
  quolbv3::txfr(quolbv3::ntxfr, kRowStol) = quolbv3::nstol;
  quolbv3::txfr(quolbv3::ntxfr, kRowStoi) = quolbv3::nstoi;
  quolbv3::txfr(quolbv3::ntxfr, kRowStof) = quolbv3::nstof;
  quolbv3::txfr(quolbv3::ntxfr, kRowStoc) = quolbv3::nstoc;
  // 2, 3. Subsystem and call number (with 6 and 7 below).
  // 4. The signal pointers.
  c.stoi_base = quolbv3::nstoi;
  c.stof_base = quolbv3::nstof;
  check_signals(m, c);
  quolbv3::nstoi += m.ni;
  quolbv3::nstof += m.nf;
  // 5. The channel slice.
  take_channels(m, c);
  // 2, 3, 6, 7.
  take_call_node_branches(m, c);
  return c;
}

[[gnu::always_inline]] inline ModuleCall enter_out(const ModuleCounts& m) {
  using namespace frame_detail;
  ModuleCall c;
  next_record_row(m);
  c.stoi_base = quolbv3::txfr(quolbv3::ntxfr, kRowStoi);
  c.stof_base = quolbv3::txfr(quolbv3::ntxfr, kRowStof);
  check_signals(m, c);
  take_channels(m, c);
  take_call_node_branches(m, c);
  return c;
}

[[gnu::always_inline]] inline ModuleCall enter_begin(const ModuleCounts& m) {
  ModuleCall c;
  frame_detail::take_call_node_branches(m, c);
  return c;
}

// At time zero: opens "<name>.dta" and moves to `section` ("DATADSD:" or
// "DATADSO:"); close_data closes it again. Both do nothing after time zero.
void open_data_at_time_zero(const ModuleCounts& m, std::string_view section);
void close_data_at_time_zero();
inline void open_data(const ModuleCounts& m, std::string_view section) {
  if (e_s1::timezero) [[unlikely]]
    open_data_at_time_zero(m, section);
}
inline void close_data() {
  if (e_s1::timezero) [[unlikely]]
    close_data_at_time_zero();
}

// The guarded division's floor: a divisor smaller in magnitude stands as the
// floor with its sign, so that the quotient is the dividend times the floor's
// reciprocal. Generated code's own threshold, far below the engine's kTiny
// (model/constants.h), which marks a value too small to count.
inline constexpr double kGuardedDivisionFloor = 1.0E-100;
inline constexpr double kGuardedDivisionFloorInverse = 1.0E+100;  // 1 / kGuardedDivisionFloor

// a / b, with b replaced by 1e-100 of its sign (+ for 0) when |b| < 1e-100.
inline double guarded_div(double a, double b) {
  if (std::fabs(b) >= kGuardedDivisionFloor) return a / b;
  return b >= 0.0 ? a * kGuardedDivisionFloorInverse : -a * kGuardedDivisionFloorInverse;
}
// 1 / b guarded the same way: +-1e100 when |b| < 1e-100.
inline double guarded_inverse(double b) { return guarded_div(1.0, b); }

// std::lround(x) as a 32-bit integer. The comparators and flags of generated
// code give 0.0 or 1.0 almost always: those two are answered without the
// library call, every other value by it.
inline std::int32_t rounded(double x) {
  if (x == 0.0) return 0;
  if (x == 1.0) return 1;
  return static_cast<std::int32_t>(std::lround(x));
}

// The negative (or not a number) input of guarded_sqrt: 0, with the two-line
// warning the first time for the instance whose once-flag is `warned`.
double negative_sqrt(bool& warned, std::int32_t id1, std::int32_t id2);

// sqrt(x); for x < 0 it returns 0 and, the first time for this instance, warns
// under the given ids. Takes one logical storage slot (storage::storl) for the
// once-flag on every call. In line: the inverter's loops take three a step.
inline double guarded_sqrt(double x, std::int32_t id1, std::int32_t id2) {
  const wakro::blocks::Slots<bool> warned = wakro::blocks::take_storl(1);
  if (x >= 0.0) [[likely]]
    return std::sqrt(x);
  return negative_sqrt(warned(1), id1, id2);
}

// The data files opened by open_data since the counter was last cleared (a
// count per name), for the checks that each file is opened once per pass.
std::int32_t data_file_opens();
void clear_data_file_opens();

}  // namespace wakro::casecode
