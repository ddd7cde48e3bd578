// Refusing a snapshot whose numbers cannot be trusted (see state_check.h).
#include "snapshot/state_check.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "diag/message.h"
#include "diag/quit.h"
#include "devices/pe_switch.h"
#include "devices/voltage_sources.h"
#include "lines/line_records.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s7.h"
#include "model/e_s7eni.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_s8.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "network/switch_records.h"
#include "snapshot/snapshot.h"

namespace wakro::snapshot {

[[noreturn]] void refuse_text(const std::string& text, std::string_view tag, std::string_view map) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2), text);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                map.empty() ? "Snapshot file: " + snapshot_path() : "Map file: " + std::string(map));
  wakro_quit(tag, 0);
}

[[noreturn]] void refuse(std::string_view record, std::int64_t value, std::int64_t low, std::int64_t high,
                         std::string_view tag) {
  refuse_text("WAKRO: Snapshot value out of range: " + std::string(record) + " = " + std::to_string(value) + " (" +
                  std::to_string(low) + " to " + std::to_string(high) + ")",
              tag);
}

void check_count(std::string_view record, std::int64_t value, std::int64_t high, std::string_view tag) {
  if (value >= 0 && value <= high) return;
  refuse_text("WAKRO: Snapshot count out of range: " + std::string(record) + " = " + std::to_string(value) +
                  " (at most " + std::to_string(high) + ")",
              tag);
}

std::string item(std::string_view what, std::int64_t k) { return std::string(what) + " " + std::to_string(k); }

namespace {

std::string of_subsystem(std::string_view what, std::int32_t ss) { return std::string(what) + " of " + item("subsystem", ss); }

// A node of subsystem ss (0: ground).
void check_node(std::string_view record, std::int64_t node, std::int32_t ss) {
  check_range(record, node, 0, e_s0::mbus(ss));
}

void check_subsystem(std::string_view record, std::int64_t ss) { check_range(record, ss, 1, int2::nmat); }

// The slots first .. first + size - 1 of a store of the given extent.
void check_slots(const std::string& record, std::int64_t first, std::int32_t size, std::int32_t extent) {
  check_range(record, first, 1, std::int64_t{extent} - size + 1);
}

template <class A>
std::int32_t extent_of(const A& a) {
  return a.allocated() ? a.extent(1) : 0;
}

// The record of a source model that sets the branch's voltage every step (AC
// or DC): it names this branch of this subsystem, and its blocks lie in the
// stores.
void source_record(std::int32_t ss, std::int32_t b, std::int32_t t) {
  namespace vsrc = wakro::devices::layout::vsrc;
  using storage::stori;
  const std::string rec = of_subsystem(item("source record of branch", b), ss);
  check_slots("start of " + rec, t, vsrc::kStoriSize, extent_of(stori));
  check_range("subsystem in " + rec, stori(t + vsrc::kSs), ss, ss);
  check_range("branch in " + rec, stori(t + vsrc::kBr), b, b);
  check_slots("first real of " + rec, stori(t + vsrc::kReal), vsrc::kStorfSize,
              extent_of(storage::storf));
  check_slots("first logical of " + rec, stori(t + vsrc::kLogical), vsrc::kStorlSize, extent_of(storage::storl));
}

// The record of a power-electronic switch: its branch, and its blocks in the
// stores (the switching reads its levels and instants through them).
void switch_record(std::int32_t ss, std::int32_t b, std::int32_t t) {
  namespace pe = wakro::devices::layout::pe_switch;
  auto slot = [&](std::int32_t k) { return storage::stori(t + k - 1); };
  const std::string rec = of_subsystem(item("switch record of branch", b), ss);
  check_slots("start of " + rec, t, pe::kStoriSize, extent_of(storage::stori));
  check_range("subsystem in " + rec, slot(pe::kSs), ss, ss);
  check_range("branch in " + rec, slot(pe::kBr), b, b);
  check_slots("first logical of " + rec, slot(pe::kLIndex), pe::kStorlSize, extent_of(storage::storl));
  check_slots("first real of " + rec, slot(pe::kFIndex), pe::kStorfSize, extent_of(storage::storf));
  check_slots("first value of " + rec, std::int64_t{slot(pe::kQIndex)} + 1, pe::kStorSize, extent_of(e_s2::stor));
}

// The component record a branch names (THISBR): a record in the integer store
// (a source model's or a switch's), one in the configuration store (negative:
// a segmented branch's, checked where it is read), or none.
void branch_record(std::int32_t ss, std::int32_t b) {
  const std::int32_t t = branches::thisbr(b, ss);
  check_range(of_subsystem(item("component record of branch", b), ss), t, -extent_of(rt_config::rtci),
              extent_of(storage::stori));
  if (t <= 0) return;
  if (wakro::is_pe_switch_code(storage::stori(t)))
    switch_record(ss, b, t);
  else if (branches::source(b, ss))
    source_record(ss, b, t);
}

// Step 1: the start row, the transformer count and the branch ends of each
// subsystem.
void subsystems() {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    check_count(of_subsystem("transformers", ss), e_s5::numt(ss), e_s5::jset);
    // The start row of the next factorisation: a row of the matrix (with its
    // MNA rows), or the one past its last when nothing changed.
    const std::int32_t rows = e_s0::mbus(ss) + (mna::enable_mna ? mna::mna_elem(ss) : 0);
    check_range(of_subsystem("start node for triangularisation", ss), e_s8::mxinv(ss), 1, rows + 1);
    for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
      check_node(of_subsystem(item("from-node of branch", b), ss), branches::ief(b, ss), ss);
      check_node(of_subsystem(item("to-node of branch", b), ss), branches::iet(b, ss), ss);
      branch_record(ss, b);
      // The switching mode (its sign the direction of the test).
      check_range(of_subsystem(item("switching mode of branch", b), ss), int1::iorv(b, ss),
                  -wakro::switch_mode::segmented, wakro::switch_mode::segmented);
    }
  }
  // (The sparsity lists the file holds are not checked: the reader makes them
  // again from the fill pattern before they are used.)
}

// Step 2: the windings of each transformer lie in their subsystem.
void transformers() {
  for (std::int32_t t = 1; t <= e_s5::jset; ++t) {
    const std::int32_t ss = std::abs(e_s5tap::tss(t));
    check_subsystem(item("subsystem of transformer", t), ss);
    for (std::int32_t i = 1; i <= e_s5::msiz(t); ++i) {
      check_node(item("winding node of transformer", t), e_s5::mcb(i, t), ss);
      check_node(item("winding node of transformer", t), e_s5::ncb(i, t), ss);
    }
  }
}

// The nodes of a line's conductors first + 1 .. first + n at both ends.
template <class A>
void line_ends(std::string_view what, std::int32_t l, std::int32_t ks, std::int32_t ms, std::int64_t first,
               std::int32_t n, const A& knode, const A& mnode) {
  check_subsystem(item(std::string("sending-end subsystem of ") + std::string(what), l), ks);
  check_subsystem(item(std::string("receiving-end subsystem of ") + std::string(what), l), ms);
  check_count(item(std::string("conductors of ") + std::string(what), l), first + n, knode.extent(1));
  for (std::int32_t c = 1; c <= n; ++c) {
    check_node(item(std::string("sending-end node of ") + std::string(what), l), knode(first + c), ks);
    check_node(item(std::string("receiving-end node of ") + std::string(what), l), mnode(first + c), ms);
  }
}

// Step 3: the lines of each model, their ends, ring pointers and delays.
void lines() {
  // The mode-domain lines: each mode of a line of finite length has a ring of
  // at least one slot, and the lines' transformation matrices lie in the
  // pooled terms.
  std::int64_t first = 0, terms = 0;
  for (std::int32_t l = 1; l <= e_s7::line; ++l) {
    const std::int32_t n = e_s7::mode(l);
    line_ends("line", l, e_s7::kss(l), e_s7::mss(l), first, n, e_s7::knode, e_s7::mnode);
    if (!e_s7::inflength(l))
      for (std::int32_t c = 1; c <= n; ++c)
        check_range(item("travelling-wave ring of line", l), e_s7::nt(first + c), 1, ndde::nd31);
    first += n;
    terms += std::int64_t{n} * n;
  }
  check_count("transformation terms in use", terms, e_s7::ntermtu);
  using namespace e_s7ph;
  first = 0;
  for (std::int32_t l = 1; l <= lineph; ++l) {
    const std::string line = item("phase-domain line", l);
    line_ends("phase-domain line", l, kssph(l), mssph(l), first, modeph(l), knodeph, mnodeph);
    first += modeph(l);
    const std::int32_t ring = maxtauj(l) + 1;
    check_range("ring pointer of " + line, ppek(l), 1, ring);
    for (std::int32_t g = 1; g <= ng(l); ++g) {
      check_range(item("ring read position of group", g) + " of " + line, pek2(g, l), 1, ring);
      check_range(item("delay of group", g) + " of " + line, tauj(l, g), 0, maxtauj(l));
    }
  }
  check_count("phase-domain conductors", first, nlmodeuph);
  using namespace e_s7mfd;
  first = 0;
  for (std::int32_t l = 1; l <= linemfd; ++l) {
    const std::string line = item("MFDTD line", l);
    check_count("conductors of " + line, modemfd(l), ndde::nd55);
    check_count("poles of " + line, npolesmfd(l), ndde::nd56);
    check_count("segments of " + line, nmfd(l), ndde::nd57 - 1);
    line_ends("MFDTD line", l, kssmfd(l), mssmfd(l), first, modemfd(l), knodemfd, mnodemfd);
    first += modemfd(l);
  }
}

// The conductors and signals of one directory row, against its model's tables.
void directory_row(std::int32_t l) {
  using namespace wakro::lines;
  using namespace wakro::lines::layout::directory;
  auto col = [&](std::int32_t j) { return e_s7::linemodel(l, j); };
  const std::string row = item("line directory row", l);
  const std::int32_t model = col(kModel);
  check_range("model of " + row, model, kNoModel, static_cast<std::int32_t>(LineModel::mfdtd));
  check_range("ENI role of " + row, col(kRole), kOrdinary, kClientEnd);
  check_count("conductors of " + row, col(kConductors), ndde::nd_conductors());
  // An ENI client end, and only it, has no model of its own.
  if ((model == kNoModel) != (col(kRole) == kClientEnd)) refuse("ENI role of " + row, col(kRole), kClientEnd, kClientEnd);
  if (model != kNoModel) {
    const bool modal = model <= static_cast<std::int32_t>(LineModel::fredep);
    const bool phase = model == static_cast<std::int32_t>(LineModel::frephase);
    const std::int32_t lines = modal ? e_s7::line : phase ? e_s7ph::lineph : e_s7mfd::linemfd;
    const std::int32_t conductors = modal ? e_s7::nlmodeu : phase ? e_s7ph::nlmodeuph : ndde::nd54;
    const std::int32_t l = col(kModelLine);
    check_range("line of " + row, l, 1, lines);
    auto conductors_of = [&](std::int32_t j) {
      return modal ? e_s7::mode(j) : phase ? e_s7ph::modeph(j) : e_s7mfd::modemfd(j);
    };
    check_range("conductors of " + row, col(kConductors), conductors_of(l), conductors_of(l));
    // The line's conductors follow those of the lines before it in its
    // model's tables (the per-step walk takes each mode's ring in this order).
    std::int64_t before = 0;
    for (std::int32_t j = 1; j < l; ++j) before += conductors_of(j);
    check_range("conductor offset of " + row, col(kModeOffset), before, before);
    check_count("conductors of " + row, before + col(kConductors), conductors);
  }
  const std::int32_t sends = ndde::e_ndim(dim::cscs), receives = ndde::e_ndim(dim::cscr);
  for (auto [start, count, size] : {std::tuple{kSendingSends, kSendingSendCount, sends},
                                    std::tuple{kSendingReceives, kSendingReceiveCount, receives},
                                    std::tuple{kReceivingSends, kReceivingSendCount, sends},
                                    std::tuple{kReceivingReceives, kReceivingReceiveCount, receives}}) {
    check_count(item("signal count in column", count) + " of " + row, col(count), size);
    if (col(count) > 0)
      check_range(item("first signal in column", start) + " of " + row, col(start), 1, size - col(count) + 1);
  }
}

// Step 4: the directory rows the per-step walk goes by, and the ENI client ends.
void directory() {
  if (ndde::e_ndim(dim::tlines_total) <= 0) return;
  std::int32_t servers = 0, clients = 0;
  for (std::int32_t l = 1; l <= e_s7::img; ++l) {
    directory_row(l);
    const std::int32_t role = e_s7::linemodel(l, wakro::lines::layout::directory::kRole);
    servers += role == wakro::lines::kServerEnd ? 1 : 0;
    clients += role == wakro::lines::kClientEnd ? 1 : 0;
  }
  // The ENI ends the rows name are the ones counted.
  check_range("ENI server ends in the line directory", servers, e_s7eni::eni_server, e_s7eni::eni_server);
  check_range("ENI client ends in the line directory", clients, e_s7eni::eni_client, e_s7eni::eni_client);
  for (std::int32_t c = 1; c <= e_s7eni::eni_client; ++c) {
    const std::int32_t ss = e_s7eni::eni_client_ss(c);
    check_subsystem(item("subsystem of ENI client end", c), ss);
    for (std::int32_t k = 1; k <= e_s7eni::eni_client_nodes.extent(1); ++k)
      check_node(item("node of ENI client end", c), e_s7eni::eni_client_nodes(k, c), ss);
  }
}

// Step 5: the MNA element records and declarations.
void mna_records() {
  if (!mna::enable_mna) return;
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss)
    check_range(of_subsystem("order with MNA elements", ss), mna::mbus_mna(ss), e_s0::mbus(ss) + mna::mna_elem(ss),
                e_s0::mbus(ss) + mna::mna_elem(ss));
  for (std::int32_t k = 1; k <= mna::no_mna; ++k) {
    mna::Mnad& r = mna::mnad(k);
    const std::string rec = item("MNA element", k);
    check_subsystem("subsystem of " + rec, r.subsystem);
    check_range("kind of " + rec, r.kind, 0, 9);
    for (std::int32_t node : {r.a, r.b, r.c, r.d}) check_node("node of " + rec, node, r.subsystem);
    for (int e = 1; e <= 2; ++e)
      for (int p = 1; p <= 3; ++p) check_node("node of " + rec, r.more_pairs(e, p), r.subsystem);
    check_range("branch of " + rec, r.dyn_branch, 0, int2::insb(r.subsystem));
    check_range("element number in " + rec, k, mna::mna_start(r.subsystem), mna::mna_end(r.subsystem));
  }
  for (std::int32_t k = 1; k <= ndde::e_ndim(dim::nmana); ++k)
    check_range(item("element of MNA declaration", k), mna::mnads(k).element, 0, mna::no_mna);
}

// Step 6: the page maps, whose entries the case's model code takes as
// subsystem, count and node numbers.
void page_maps() {
  const std::int32_t largest = std::max(ndde::nd1, ndde::nd2);
  for (std::int32_t k = 1; k <= ndde::e_ndim(dim::nnodes); ++k)
    check_range(item("page map entry", k), quolbv3::node(k), 0, largest);
  for (std::int32_t k = 1; k <= ndde::e_ndim(dim::subsyspage); ++k)
    check_range(item("page subsystem entry", k), quolbv3::subs(k), 0, ndde::nd2);
}

}  // namespace

void check_restored_state() {
  subsystems();
  transformers();
  lines();
  directory();
  mna_records();
  page_maps();
}

}  // namespace wakro::snapshot
