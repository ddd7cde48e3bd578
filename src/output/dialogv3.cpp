// The start-up dialogue with the design environment (see dialogv3.h).
#include "output/dialogv3.h"

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <string>
#include <string_view>

#include "diag/catalog.h"
#include "diag/console.h"
#include "diag/console_input.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/textfile.h"
#include "link/bindings.h"
#include "link/exchange.h"
#include "link/stop_signal.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/dim.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/pf_display.h"
#include "model/pmr_consolidate.h"
#include "model/quolbv3.h"
#include "model/run_defaults.h"
#include "model/snpdat.h"
#include "model/tandem_line.h"
#include "output/check_snap.h"
#include "output/pf_values.h"

namespace {

constexpr std::int32_t kLink = 0;
constexpr const char* kTag = "DIALOGV3    ";
constexpr double kNever = wakro::kRunDefaults.tsnap;  // a snapshot time no run reaches
constexpr double kBeyondRun = 1.0e12;   // added to the finish time: no (further) snapshot
constexpr std::int32_t kSnapshotTime = 17;

// Commands of the dialogue.
enum Command : std::int32_t {
  kInitialValues = 9, kDataStart = 10, kSnapshotStart = 11, kOutputOff = 12, kOutputOn = 13,
  kSnapshotOff = 14, kSnapshotOn = 15, kMultipleRuns = 16, kStationData = 17, kBusData = 18,
  kEnd = 19, kBranchData = 20, kRunRole = 24, kTraceAndRank = 26, kTandemLines = 27, kDialogueValues = 30
};

// Running counters of the load-flow readers; a new set of tables restarts them.
std::int32_t bus_counter = 0;
std::int32_t branch_counter = 1;
// The rows and entries stored so far, which the load-flow work follows.
wakro::PfRows rows_stored;

void set_defaults() { wakro::apply_run_defaults(); }

std::int32_t geti() {
  std::int32_t v = 0;
  exgeti(kLink, v);
  return v;
}
double getr() {
  double v = 0.0;
  exgetr(kLink, v);
  return v;
}
// True once a read ran past the end of the message.
bool message_ended() { return exQuolb == nullptr || exQuolb->RecvBuffer().overrun; }
// Values of `bytes` each still in the message.
std::int32_t values_left(std::int32_t bytes) {
  if (exQuolb == nullptr) return 0;
  const auto& b = exQuolb->RecvBuffer();
  return std::max(b.size - b.position, 0) / bytes;
}

// A name for a fixed field; a longer one ends the run instead of being cut into
// the name of another file.
template <std::size_t N>
void take_name(wakro::FixedText<N>& field, const char* fieldName) {
  std::string text;
  if (exQuolb != nullptr) *exQuolb >> text;
  if (text.size() > N) {
    wakro::ListLine() << "The name received for " + std::string(fieldName) + " does not fit its " +
                             std::to_string(N) + "-character field.";
    wakro::ListLine() << "File name longer than " << std::to_string(N) + " characters:" << text;
    wakro_quit(kTag, 0);
  }
  field = text;
}

// n doubles into a new array; n is cut to the values the message holds. A
// later message replaces the values of an earlier one.
void take_values(wakro::FArray<double, 1>& a, std::int32_t n) {
  n = std::clamp(n, 0, values_left(8));
  a.release();
  a.allocate(n);
  for (std::int32_t k = 1; k <= n; ++k) exgetr(kLink, a(k));
}

void snapshot_on() {
  take_name(fnames::snam, "the snapshot file (snam)");
  const double t = getr();
  const std::int32_t mode = geti();
  snpdat::at_first_step = t == 0.0;
  if (t < 0.0)
    snpdat::tsnap = e_s1::fintim + kBeyondRun;
  else if (t == 0.0)
    snpdat::tsnap = e_s1::delt;
  else
    snpdat::tsnap = t;
  outppp::snpfil = 1;
  if (mode < 1) {
    snpdat::snpinc = e_s1::fintim + kBeyondRun;
    snpdat::newsnp = 0;
  } else {
    snpdat::snpinc = snpdat::tsnap;
    snpdat::newsnp = mode == 2 ? 1 : 0;
  }
}

// A run count beyond the bound is refused as the case's multiple-run component
// refuses it: every planned run costs work before the first one starts.
[[noreturn]] void refuse_run_count() {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                "Too Many Multiple Runs! Only Up To " + std::to_string(wakro::kMaxRuns) + " Runs Allowed!");
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                "Only Up To " + std::to_string(wakro::kMaxRuns) + " Runs Allowed!");
  wakro_quit(kTag, 0);
}

void multiple_runs() {
  const std::int32_t n = geti();
  take_name(fnames::mnam, "the multiple-run file (mnam)");
  if (n > wakro::kMaxRuns) refuse_run_count();
  if (n >= 2) {
    ctrl::multirun = true;
    ctrl::nrun = n;
  } else if (n <= 0) {
    ctrl::multirun = true;
    ctrl::mrunctrl = 1;
    ctrl::nrun = 2;
  }
}

// The end command: the map file must open, or the snapshot's header must pass.
void end_of_dialogue() {
  if (assorc::input.view() == "DATA") {
    // Only a regular file is a map (a pipe's open would wait for a writer).
    const std::string name(fnames::inam.trimmed());
    const std::string why = wakro::why_unreadable(name);
    if (why.empty()) return;
    if (why == wakro::system_reason(ENOENT))
      wakro::console_err() << "Input file " << name << " does not exist.\n";
    else if (why.starts_with("is "))
      wakro::console_err() << "Input file " << name << " " << why << ".\n";
    else
      wakro::console_err() << "Input file " << name << " cannot be read: " << why << ".\n";
    outxmsg(3, 3, fnames::inam);
    return;
  }
  std::int32_t ok = 0;
  double time = 0.0;
  check_snap(ok, time);
  wakro::close_open_model_message();
  exputi(kLink, kSnapshotTime);
  exputr(kLink, time);
  exsend(kLink);
}

// Acts on one command; true at the end command.
bool act(std::int32_t command) {
  switch (command) {
    case kInitialValues: {
      const std::int32_t n = std::max(geti(), 0);
      take_values(quolbv3::dsx, n);
      ndde::e_ndim(dim::pf_init) = quolbv3::dsx.extent(1);
      break;
    }
    case kDataStart:
      take_name(fnames::inam, "the map file (inam)");
      fnames::mapname = fnames::inam;
      fnames::inam1 = fnames::inam;
      assorc::input = "DATA";
      ctrl::zerot = 0;
      break;
    case kSnapshotStart: {
      take_name(fnames::inam, "the snapshot to start from (inam)");
      const std::int32_t z = geti();
      e_s1::fintim = getr();
      assorc::input = "SNAP";
      ctrl::zerot = z == 1 ? 1 : 0;
      break;
    }
    case kOutputOff: outppp::outfil = 0; break;
    case kOutputOn:
      take_name(fnames::onam, "the output file (onam)");
      outppp::outfil = 1;
      break;
    case kSnapshotOff:
      outppp::snpfil = 0;
      snpdat::tsnap = kNever;
      snpdat::snpinc = kNever;
      snpdat::newsnp = 0;
      break;
    case kSnapshotOn: snapshot_on(); break;
    case kMultipleRuns: multiple_runs(); break;
    case kStationData: pfstationdata(); break;
    case kBusData: pfbusdata(); break;
    case kBranchData: pfbranchdata(); break;
    case kRunRole: ctrl::mruntype = geti(); break;
    case kTraceAndRank:
      ctrl::not2trace = geti() != 0 ? 1 : 0;
      ctrl::rank = geti();
      pmr_consolidate::pmr_count = geti();
      break;
    case kTandemLines:
      tandem_line::run_type = geti();
      take_name(tandem_line::tandemline1, "the first tandem line (tandemline1)");
      take_name(tandem_line::tandemline2, "the second tandem line (tandemline2)");
      tandem_line::enable_tandem_line = true;
      break;
    case kDialogueValues: take_values(quolbv3::gsx, geti()); break;
    case kEnd: end_of_dialogue(); return true;
    default: break;
  }
  return false;
}

}  // namespace

void dialogv3() {
  set_defaults();
  if (exQuolb == nullptr) return;
  for (;;) {
    // A stop signal ends the dialogue also while commands keep arriving.
    if (wakro::g_received_stop_signal != 0) wakro::stop_on_signal("the design environment's start-up dialogue");
    if (!exrecv(kLink, true)) {
      if (wakro::g_received_stop_signal != 0) wakro::stop_on_signal("the design environment's start-up dialogue");
      if (!exQuolb->Broken()) continue;
      wakro::ListLine() << "The link closed during the start-up dialogue.";
      wakro_quit(kTag, 0);
    }
    if (act(geti())) return;
  }
}

void pfstationdata() {
  // A negative count announces no rows: it is taken as 0.
  std::int32_t n[5] = {};
  for (auto& v : n) v = std::max(geti(), 0);
  pf_display::announce_pf(n[0], n[1], n[2], n[3], n[4]);
  bus_counter = 0;
  branch_counter = 1;
  wakro::reset_pf_check();
  rows_stored = wakro::PfRows{0, 0, {0, 0, 0}};
  wakro::set_pf_rows(rows_stored);
}

void pfbusdata() {
  using namespace pf_display;
  const std::int32_t s = geti();
  const std::int32_t n = geti();
  std::int32_t slot[3] = {0, 0, 0};
  for (std::int32_t i = 1; i <= n && !message_ended(); ++i) {
    const std::int32_t node = geti();
    if (!message_ended()) slot[(i - 1) % 3] = node;
  }
  ++bus_counter;
  if (bus_counter > nbus || !pfsubs.allocated()) return;
  pf_display::reserve_pf_bus(bus_counter);
  pfsubs(bus_counter, 1) = s;
  pfsubs(bus_counter, 2) = n;
  for (std::int32_t p = 1; p <= 3; ++p) pfnodes(bus_counter, p) = slot[p - 1];
  rows_stored.buses = bus_counter;
  wakro::set_pf_rows(rows_stored);
}

namespace {

// One table of a phase: a count, then that many entries of `width` integers;
// entries beyond the table's room (or a record beyond the tables) are read and
// dropped. `stored` rises to the last entry stored.
template <typename Store>
void read_phase_table(std::int32_t width, std::int32_t room, std::int32_t& stored, Store store) {
  const std::int32_t count = geti();
  for (std::int32_t m = 1; m <= count && !message_ended(); ++m) {
    std::int32_t entry[2] = {0, 0};
    for (std::int32_t c = 0; c < width; ++c) entry[c] = geti();
    if (message_ended()) return;
    if (m > room) continue;
    store(m, entry);
    stored = std::max(stored, m);
  }
}

}  // namespace

void pfbranchdata() {
  using namespace pf_display;
  const std::int32_t k = branch_counter++;
  const std::int32_t b = geti();
  const bool stored = k <= nwb && pfbus.allocated();
  if (stored) {
    pf_display::reserve_pf_branch(k);
    pfbus(k) = b;
    rows_stored.branches = k;
  }
  std::int32_t phases = 3;
  // An announced bus that never arrived has no nodes.
  if (b >= 1 && b <= nbus && pfsubs.allocated()) phases = b <= pfsubs.extent(1) ? pfsubs(b, 2) : 0;
  wakro::set_pf_rows(rows_stored);
  if (phases < 1) return;  // a bus without nodes: no phase data follow
  std::int32_t* entries = rows_stored.entries;
  for (std::int32_t p = 1; p <= phases && !message_ended(); ++p) {
    const bool keep = stored && p <= 3;
    read_phase_table(1, keep ? nb : 0, entries[0], [&](std::int32_t m, const std::int32_t* e) {
      pf_display::reserve_pf_entry(0, m);
      pfbranch(k, p, m) = e[0];
    });
    read_phase_table(2, keep ? ntwdg : 0, entries[1], [&](std::int32_t m, const std::int32_t* e) {
      pf_display::reserve_pf_entry(1, m);
      pftwindings(k, p, m, 1) = e[0];
      pftwindings(k, p, m, 2) = e[1];
    });
    read_phase_table(2, keep ? nc : 0, entries[2], [&](std::int32_t m, const std::int32_t* e) {
      pf_display::reserve_pf_entry(2, m);
      pfconductors(k, p, m, 1) = e[0];
      pfconductors(k, p, m, 2) = e[1];
    });
  }
  wakro::set_pf_rows(rows_stored);
}
