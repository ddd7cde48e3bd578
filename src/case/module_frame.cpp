// The module frame's counter steps, data-file handling and guarded arithmetic
// (see module_frame.h).
#include "case/module_frame.h"

#include <cmath>
#include <string>

#include "blocks/slots.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/units.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"

namespace wakro::casecode {
namespace {

std::int32_t g_opens = 0;

// Stops the run: an advance of a running counter would pass its array.
[[noreturn]] void insufficient(const ModuleCounts& m, std::string_view text, std::int64_t required,
                               std::int64_t available) {
  wakro::ListLine() << text;
  wakro::ListLine() << "Module " << std::string(m.name) << " needs " << std::to_string(required)
                    << ", the case map allows " << std::to_string(available) << ".";
  wakro_quit(m.name, 0);
}

void check_room(const ModuleCounts& m, std::string_view text, std::int64_t last, std::int64_t size) {
  if (last > size) insufficient(m, text, last, size);
}

// Step 2: the module's subsystem, from its node record; only a module with
// nodes or branches has one, and it must be one of the solved subsystems (the
// newer map style writes 0 here, which no branch counter accepts).
std::int32_t subsystem(const ModuleCounts& m) {
  if (m.record <= 2 && m.nb == 0) return 0;
  const std::int32_t ss = quolbv3::node(quolbv3::nnode + 1);
  if (ss < 1 || ss > int2::nmat) {
    wakro::ListLine() << "ERROR: Module " << std::string(m.name) << " has subsystem " << std::to_string(ss)
                      << " in its node record; it must lie in 1.." << std::to_string(int2::nmat) << ".";
    wakro::ListLine() << "The case's map file must give each page's subsystem (old subsystem style).";
    wakro_quit(m.name, 0);
  }
  return ss;
}

// Steps 3, 6 and 7, shared by every routine: call number, node record, branch
// and transformer bases.
void take_call_node_branches(const ModuleCounts& m, ModuleCall& c) {
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

void take_channels(const ModuleCounts& m, ModuleCall& c) {
  check_room(m, "ERROR: Insufficient PGB array size (ND13):", std::int64_t{quolbv3::npgb} + m.np,
             e_s4::pgb.size());
  c.pgb_base = quolbv3::npgb;
  quolbv3::npgb += m.np;
}

void next_record_row(const ModuleCounts& m) {
  check_room(m, "ERROR: Insufficient # of NPAGES (ND22):", std::int64_t{quolbv3::ntxfr} + 1,
             quolbv3::txfr.extent(1));
  quolbv3::ntxfr += 1;
}

// The signal bases must address the stores even when they were read back
// from a row: a row is only as sound as the pass that wrote it.
void check_signals(const ModuleCounts& m, const ModuleCall& c) {
  check_room(m, "ERROR: Insufficient STOI array size (ND24):", std::int64_t{c.stoi_base} + m.ni,
             quolbv3::stoi.size());
  check_room(m, "ERROR: Insufficient STOF array size (ND25):", std::int64_t{c.stof_base} + m.nf,
             quolbv3::stof.size());
}

}  // namespace

ModuleCall enter_dyn(const ModuleCounts& m) {
  ModuleCall c;
  // 1. The call record.
  next_record_row(m);
  quolbv3::txfr(quolbv3::ntxfr, 1) = quolbv3::nstol;
  quolbv3::txfr(quolbv3::ntxfr, 2) = quolbv3::nstoi;
  quolbv3::txfr(quolbv3::ntxfr, 3) = quolbv3::nstof;
  quolbv3::txfr(quolbv3::ntxfr, 4) = quolbv3::nstoc;
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

ModuleCall enter_out(const ModuleCounts& m) {
  ModuleCall c;
  next_record_row(m);
  c.stoi_base = quolbv3::txfr(quolbv3::ntxfr, 2);
  c.stof_base = quolbv3::txfr(quolbv3::ntxfr, 3);
  check_signals(m, c);
  take_channels(m, c);
  take_call_node_branches(m, c);
  return c;
}

ModuleCall enter_begin(const ModuleCounts& m) {
  ModuleCall c;
  take_call_node_branches(m, c);
  return c;
}

void open_data(const ModuleCounts& m, std::string_view section) {
  if (!e_s1::timezero) return;
  std::string name(m.name);
  name += ".dta";
  fnames::filename = name;
  wakro_openfile();
  ++g_opens;
  fnames::section = section;
  wakro_gotosection();
}

void close_data() {
  if (!e_s1::timezero) return;
  wakro_closefile();
}

double guarded_div(double a, double b) {
  if (std::fabs(b) >= kTiny) return a / b;
  return b >= 0.0 ? a * kHuge : -a * kHuge;
}

double guarded_sqrt(double x, std::int32_t id1, std::int32_t id2) {
  const wakro::blocks::Slots<bool> warned = wakro::blocks::take_storl(1);
  if (x >= 0.0) return std::sqrt(x);
  if (!warned(1)) {
    warned(1) = true;
    wakro_warn(id1, id2, wakro::msg::first_of(2), "A negative value is detected as an input to the Square Root function. ");
    wakro_warn(id1, id2, wakro::msg::kLastLine, "Input is treated as 0.0.");
  }
  return 0.0;
}

std::int32_t data_file_opens() { return g_opens; }
void clear_data_file_opens() { g_opens = 0; }

}  // namespace wakro::casecode
