// Refusing a snapshot whose numbers cannot be trusted (see state_check.h).
#include "snapshot/state_check.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/dim.h"
#include "model/e_s0.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s8.h"
#include "model/fnames.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "network/rdbranch.h"
#include "network/record_checks.h"
#include "network/stamp_pattern.h"
#include "network/switch_records.h"
#include "snapshot/case_identity.h"
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

[[noreturn]] void refuse_count(std::string_view record, std::int64_t value, std::int64_t high, std::string_view tag) {
  refuse_text("WAKRO: Snapshot count out of range: " + std::string(record) + " = " + std::to_string(value) +
                  " (at most " + std::to_string(high) + ")",
              tag);
}

[[noreturn]] void refuse_together(std::string_view record, std::string_view values, std::string_view why) {
  refuse_text("WAKRO: Snapshot values refused together: " + std::string(record) + ": " + std::string(values) + " (" +
              std::string(why) + ")");
}

void check_count(std::string_view record, std::int64_t value, std::int64_t high, std::string_view tag) {
  if (value < 0 || value > high) refuse_count(record, value, high, tag);
}

std::string item(std::string_view what, std::int64_t k) { return record_item(what, k); }

namespace {

// How the checks here and the element rooms' refuse: with this reader's messages.
void refuse_range(std::string_view record, std::int64_t value, std::int64_t low, std::int64_t high) {
  refuse(record, value, low, high);
}
void refuse_count_of(std::string_view record, std::int64_t value, std::int64_t high) {
  refuse_count(record, value, high);
}
void refuse_real(std::string_view record, double value, double expected) {
  refuse_text("WAKRO: Snapshot value out of range: " + std::string(record) + " = " + list_real(value) + " (" +
              list_real(expected) + " from its line)");
}

// The entries of each subsystem's fill pattern that the restored elements
// stamp, (row, column), as the checks below require them: the entries no
// element stamps are checked against them at the end (step 6).
using Entry = std::pair<std::int32_t, std::int32_t>;
std::vector<std::vector<Entry>> g_stamped;

std::string entry(std::int32_t i, std::int32_t j) { return "row " + std::to_string(i) + " column " + std::to_string(j); }
std::string entry_text(std::int32_t i, std::int32_t j, bool set) { return entry(i, j) + (set ? " = 1" : " = 0"); }

// Each entry a stamp among `nodes` of ss marks, required in the pattern.
void require_stamped(std::string_view record, std::string_view values, std::int32_t ss,
                     std::span<const std::int32_t> nodes, std::string_view why) {
  const e_s0::FilledView fill = e_s0::assign_filled_ptr(ss);
  std::vector<Entry>& stamped = g_stamped[static_cast<std::size_t>(ss - 1)];
  wakro::for_each_stamped_pair(nodes, [&](std::int32_t a, std::int32_t b) {
    for (const auto& [i, j] : {Entry{a, b}, Entry{b, a}}) {
      if (!fill.get(i, j))
        refuse_together(record, std::string(values) + (values.empty() ? "" : ", ") + "fill pattern " + entry_text(i, j, false), why);
      stamped.emplace_back(i, j);
    }
  });
}

constexpr RecordChecker kChecker{&refuse_range, &refuse_count_of, &refuse_real, &refuse_together, &require_stamped};

// A node of subsystem ss (0: ground), and a subsystem.
void check_node(std::string_view record, std::int64_t node, std::int32_t ss) { kChecker.node(record, node, ss); }
void check_subsystem(std::string_view record, std::int64_t ss) { kChecker.subsystem(record, ss); }

// The component record a branch names (THISBR): a record in the integer store
// (a source model's or a switch's, which the devices room checks), one in the
// configuration store (negative: a segmented branch's, checked where it is
// read), or none.
void branch_record(std::int32_t ss, std::int32_t b) {
  const std::int32_t t = branches::thisbr(b, ss);
  check_range(record_of_subsystem(item("component record of branch", b), ss), t, -extent_of(rt_config::rtci),
              extent_of(storage::stori));
  if (t <= 0) return;
  // A switching branch's record is a valve's (whose code the check refuses
  // when it is not a valve's), unless the branch is a source's and its record
  // carries a source model's code.
  const std::int32_t code = storage::stori(t);
  const bool source = branches::source(b, ss) && (code == 0 || code == wakro::branch_code::registered_source);
  const bool of_switch = wakro::is_pe_switch_code(code) || (branches::switch_(b, ss) && !source);
  // A switch's set-up refuses a branch without the switch attribute, and a
  // source model's registration makes its branch a source.
  if (!(of_switch ? branches::switch_(b, ss) : branches::source(b, ss)))
    refuse_together(record_of_subsystem(item("branch", b), ss),
                    "component record = " + std::to_string(t) + (of_switch ? ", SWITCH = F" : ", SOURCE = F"),
                    of_switch ? "a switch's record on a branch that is not a switch"
                              : "a source model's record on a branch that is not a source");
  if (of_switch)
    record_check_hooks().switch_record(kChecker, ss, b, t);
  else
    record_check_hooks().source_record(kChecker, ss, b, t);
}

// The two ends of a branch or winding as a pair.
std::string ends(std::int32_t from, std::int32_t to) {
  return "from-node = " + std::to_string(from) + ", to-node = " + std::to_string(to);
}

// A branch's two ends, by the rule of the branch reader, and the fill pattern's
// entries that the reader marks for a branch between two nodes (a change of the
// branch's conductance writes there; the solution leaves out what is not filled).
void branch_ends(std::int32_t ss, std::int32_t b) {
  const std::int32_t f = branches::ief(b, ss), t = branches::iet(b, ss);
  const std::string record = record_of_subsystem(item("branch", b), ss);
  const wakro::BranchEndsFault fault = wakro::branch_ends_fault(f, t);
  if (fault != wakro::BranchEndsFault::none) refuse_together(record, ends(f, t), wakro::branch_ends_message(fault, b, ss));
  const std::array<std::int32_t, 2> nodes{f, t};
  kChecker.stamped(record, ends(f, t), ss, nodes, "a branch between two nodes fills their entries");
}

// Every node's diagonal, which the clearing of the matrices fills
// (e_s0::allocate_ss_matrices) and nothing empties.
void diagonal(std::int32_t ss) {
  const e_s0::FilledView fill = e_s0::assign_filled_ptr(ss);
  for (std::int32_t i = 1; i <= e_s0::mbus(ss); ++i)
    if (!fill.get(i, i))
      refuse_together(record_of_subsystem(item("node", i), ss), "fill pattern " + entry_text(i, i, false),
                      "every node's diagonal is filled");
}

// Step 1: the order, the start row, the diagonal and the branch ends of each
// subsystem.
void subsystems() {
  g_stamped.assign(static_cast<std::size_t>(std::max(int2::nmat, 0)), {});
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    // A subsystem has as many nodes as the order its matrices were made with.
    check_range(record_of_subsystem("busses", ss), e_s0::mbus(ss), e_s0::ssdim(ss), e_s0::ssdim(ss));
    // The start row of the next factorisation: a row of the matrix (with its
    // MNA rows), or the one past its last when nothing changed.
    const std::int32_t rows = e_s0::mbus(ss) + (mna::enable_mna ? mna::mna_elem(ss) : 0);
    check_range(record_of_subsystem("start node for triangularisation", ss), e_s8::mxinv(ss), 1, rows + 1);
    diagonal(ss);
    for (std::int32_t b = 1; b <= int2::insb(ss); ++b) {
      check_node(record_of_subsystem(item("from-node of branch", b), ss), branches::ief(b, ss), ss);
      check_node(record_of_subsystem(item("to-node of branch", b), ss), branches::iet(b, ss), ss);
      branch_ends(ss, b);
      branch_record(ss, b);
      // The switching mode (its sign the direction of the test).
      check_range(record_of_subsystem(item("switching mode of branch", b), ss), int1::iorv(b, ss),
                  -wakro::switch_mode::segmented, wakro::switch_mode::segmented);
    }
  }
  // (The sparsity lists the file holds are not checked: the reader makes them
  // again from the fill pattern before they are used.)
}

// Step 2: the windings of each transformer lie in their subsystem, each
// winding's ends as the transformer reader takes them; a UMEC core
// (nummag 1) is of the admittance form (tss < 0); each subsystem counts the
// transformers whose windings lie in it.
void transformers() {
  std::vector<std::int32_t> terminals;
  for (std::int32_t t = 1; t <= e_s5::jset; ++t) {
    const std::string unit = item("transformer", t);
    const std::int32_t ss = std::abs(e_s5tap::tss(t));
    check_subsystem("subsystem of " + unit, ss);
    check_range("windings of " + unit, e_s5::msiz(t), 1, ndde::nd3);
    check_range("core kind of " + unit, e_s5::nummag(t), -1, e_s5tap::tss(t) > 0 ? 0 : 1);
    // The kind of record its configuration routine formed it from (0: none),
    // a UMEC core's only where it has one.
    check_range("record kind of " + unit, e_s5tap::tkind(t), 0,
                e_s5::nummag(t) == 1 ? wakro::kTfUmec : wakro::kTfInductance);
    for (std::int32_t i = 1; i <= e_s5::msiz(t); ++i) {
      check_node("winding node of " + unit, e_s5::mcb(i, t), ss);
      check_node("winding node of " + unit, e_s5::ncb(i, t), ss);
      if (e_s5::winding_ends_refused(e_s5::mcb(i, t), e_s5::ncb(i, t)))
        refuse_together(item("winding", i) + " of " + unit, ends(e_s5::mcb(i, t), e_s5::ncb(i, t)),
                        e_s5::mcb(i, t) == 0 ? "both ends at ground" : "both ends at one node");
    }
    // The entries its winding admittance is stamped into.
    e_s5::winding_terminals(t, terminals);
    kChecker.stamped(record_of_subsystem(unit, ss), "winding nodes = " + record_nodes(terminals), ss, terminals,
                     "a transformer fills the entries between its windings' nodes");
  }
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    std::int64_t units = 0;
    for (std::int32_t t = 1; t <= e_s5::jset; ++t) units += std::abs(e_s5tap::tss(t)) == ss ? 1 : 0;
    check_range(record_of_subsystem("transformers", ss), e_s5::numt(ss), units, units);
  }
}

// Step 3: the lines and the line directory (the lines room's check).
void lines() { record_check_hooks().lines(kChecker); }

// The fields of an MNA element record that the snapshot carries and that hold
// other than 0, as "name = value" items ("" when it is empty).
std::string mna_values_held(mna::Mnad& r) {
  std::string held;
  const auto add = [&held](const std::string& name, const std::string& value) {
    held += (held.empty() ? "" : ", ") + name + " = " + value;
  };
  const std::pair<const char*, std::int32_t> ints[] = {
      {"subsystem", r.subsystem},    {"kind", r.kind},           {"node a", r.a},
      {"node b", r.b},               {"node c", r.c},            {"node d", r.d},
      {"zero-impedance flag", r.zero_imp}, {"first branch integer", r.branch_i1},
      {"second branch integer", r.branch_i2}, {"branch", r.dyn_branch}, {"second dynamic-branch integer", r.dyn_i2}};
  for (const auto& [name, v] : ints)
    if (v != 0) add(name, std::to_string(v));
  for (int p = 1; p <= 3; ++p)
    for (int e = 1; e <= 2; ++e)
      if (r.more_pairs(e, p) != 0) add("node " + std::to_string(e) + " of pair " + std::to_string(p + 2), std::to_string(r.more_pairs(e, p)));
  const std::pair<const char*, double> reals[] = {{"parameter", r.param}, {"value 1", r.value1}, {"value 2", r.value2},
                                                  {"current 1", r.current1}, {"current 2", r.current2}};
  for (const auto& [name, v] : reals)
    if (!(v == 0.0)) add(name, list_real(v));
  return held;
}

// Step 4: the MNA element records and declarations. The records in use are
// the first ones, numbered subsystem by subsystem (checked as the map part was
// read); the set-up of a start from data leaves every record past them empty
// and nothing fills one later, so a record there that holds anything is
// refused, and no declaration names one.
void mna_records() {
  if (!mna::enable_mna) return;
  std::int32_t used = 0;
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    check_range(record_of_subsystem("order with MNA elements", ss), mna::mbus_mna(ss), e_s0::mbus(ss) + mna::mna_elem(ss),
                e_s0::mbus(ss) + mna::mna_elem(ss));
    // The set-up of a start from data puts a subsystem with MNA elements on
    // the sparse solver, as an ideal subsystem (their rows are solved there).
    if (mna::mna_elem(ss) > 0) {
      check_range(record_of_subsystem("Use KLU?", ss) + " with MNA elements", int3::use_klu(ss) ? 1 : 0, 1, 1);
      check_range(record_of_subsystem("Ideal Subsystem?", ss) + " with MNA elements", e_s0::idealss(ss) ? 1 : 0, 1, 1);
    }
    used += mna::mna_elem(ss);
  }
  for (std::int32_t k = 1; k <= used; ++k) {
    mna::Mnad& r = mna::mnad(k);
    const std::string rec = item("MNA element", k);
    check_subsystem("subsystem of " + rec, r.subsystem);
    // The kinds the element entries give; no kind of 6 to 8.
    if (r.kind < 0 || (r.kind > 5 && r.kind != 9))
      refuse_text("WAKRO: Snapshot value out of range: kind of " + rec + " = " + std::to_string(r.kind) + " (0 to 5, or 9)");
    check_range("zero-impedance flag of " + rec, r.zero_imp, 0, 1);
    // The integers only the branch entries give, which no component of this
    // system calls: they stay as the set-up leaves them.
    check_range("first branch integer of " + rec, r.branch_i1, 0, 0);
    check_range("second branch integer of " + rec, r.branch_i2, 0, 0);
    check_range("second dynamic-branch integer of " + rec, r.dyn_i2, 0, 0);
    for (std::int32_t node : {r.a, r.b, r.c, r.d}) check_node("node of " + rec, node, r.subsystem);
    // (The MANA reader takes no element whose first pair is at ground.)
    if (r.a == 0) check_range("to-node of " + rec + " with its from-node at ground", r.b, 1, e_s0::mbus(r.subsystem));
    for (int e = 1; e <= 2; ++e)
      for (int p = 1; p <= 3; ++p) check_node("node of " + rec, r.more_pairs(e, p), r.subsystem);
    check_range("branch of " + rec, r.dyn_branch, 0, int2::insb(r.subsystem));
    check_range("element number in " + rec, k, mna::mna_start(r.subsystem), mna::mna_end(r.subsystem));
  }
  for (std::int32_t k = used + 1; k <= mna::no_mna; ++k) {
    const std::string held = mna_values_held(mna::mnad(k));
    if (!held.empty())
      refuse_together(item("MNA element", k), held,
                      "a record past the " + std::to_string(used) + " elements in use is empty");
  }
  // The set-up gives the declarations read their elements subsystem by
  // subsystem, in the order they were read, each element in use to one of
  // them, and leaves the others 0. (Model code finds its element through its
  // declaration.)
  std::vector<std::int32_t> next(static_cast<std::size_t>(std::max(int2::nmat, 0)) + 1, 0);
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) next[static_cast<std::size_t>(ss)] = mna::mna_start(ss);
  for (std::int32_t k = 1; k <= ndde::e_ndim(dim::nmana); ++k) {
    const std::int32_t e = mna::mnads(k).element;
    check_range(item("element of MNA declaration", k), e, 0, used);
    if (e == 0) continue;
    const std::int32_t ss = mna::mnad(e).subsystem;
    std::int32_t& want = next[static_cast<std::size_t>(ss)];
    if (e != want)
      refuse_together(item("MNA declaration", k), "element = " + std::to_string(e),
                      "the declarations read name each element in use once, those of a subsystem in order: " +
                          (want > mna::mna_end(ss) ? record_of_subsystem("every element", ss) + " is named"
                                                   : "the next of " + item("subsystem", ss) + " is " +
                                                         std::to_string(want)));
    ++want;
  }
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss)
    if (mna::mna_elem(ss) > 0 && next[static_cast<std::size_t>(ss)] <= mna::mna_end(ss))
      refuse_together(item("MNA element", next[static_cast<std::size_t>(ss)]), "declarations naming it = 0",
                      "the declarations read name each element in use once");
}

// Step 5: the page maps, whose entries the case's model code takes as
// subsystem, count and node numbers: within the case's dimensions, and each
// page's record as the map file gives it (where the page has a node, the
// entry is that node; a 0 there would have the model read ground's place).
void page_maps() {
  const std::int32_t largest = std::max(ndde::nd1, ndde::nd2);
  const std::int32_t entries = ndde::e_ndim(dim::nnodes);
  for (std::int32_t k = 1; k <= entries; ++k)
    check_range(item("page map entry", k), quolbv3::node(k), 0, largest);
  for (std::int32_t k = 1; k <= ndde::e_ndim(dim::subsyspage); ++k)
    check_range(item("page subsystem entry", k), quolbv3::subs(k), 0, ndde::nd2);
  // Each page's record: its subsystem entry, a 0, then its nodes.
  std::int64_t at = 2;
  for (const PageNodes& page : read_map(std::string(fnames::mapname.trimmed())).pages) {
    if (at + static_cast<std::int64_t>(page.nodes.size()) > entries) return;
    const auto k = static_cast<std::int32_t>(at);
    check_range(item("page map entry", k - 1), quolbv3::node(k - 1), page.subsystem, page.subsystem);
    for (std::size_t j = 1; j <= page.nodes.size(); ++j) {
      const std::int32_t node = page.nodes[j - 1];
      check_range(item("page map entry", k + static_cast<std::int64_t>(j)), quolbv3::node(k + static_cast<std::int32_t>(j)),
                  node, node);
    }
    at += static_cast<std::int64_t>(page.nodes.size()) + 2;
  }
}

// Step 6: the pairs of the fill pattern. Every stamp and every run-time change
// of a conductance writes both entries of a pair with the same operations
// (stamp_admittance, add_setup_conductance, change_branch_conductance), so each
// filled pair holds one conductance on both sides, bit for bit, whoever stamps
// it. User conductance additions (wakro_addgm) and an induction machine's
// damping conductances stamp entries that the snapshot records nowhere else, so
// an entry no restored element stamps is taken as theirs when it is what a
// stamp leaves: both entries of the pair filled. (Such a pair holding 0 on both
// sides is taken too: an addition with no coupling between two of its nodes
// fills their pair with 0. The MNA elements stamp their own rows of the work
// matrix at each factorisation, nothing into this pattern.)
constexpr std::string_view kStampedPair =
    "every stamp and change of a conductance gives both entries of a pair one conductance";
constexpr std::string_view kUnstampedPair =
    "no restored element stamps the pair, and a stamp gives both entries one conductance";
void filled_pairs() {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    std::vector<Entry>& stamped = g_stamped[static_cast<std::size_t>(ss - 1)];
    std::sort(stamped.begin(), stamped.end());
    const e_s0::FilledView fill = e_s0::assign_filled_ptr(ss);
    const e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
    const std::int32_t n = e_s0::mbus(ss);
    const std::string record = record_of_subsystem("fill pattern", ss);
    for (std::int32_t i = 1; i <= n; ++i)
      fill.for_row(i, n, [&](std::int32_t j, bool set) {
        if (!set || j == i) return;
        const bool is_stamped = std::binary_search(stamped.begin(), stamped.end(), Entry{i, j});
        if (!is_stamped && !fill.get(j, i))
          refuse_together(record, entry_text(i, j, true) + ", " + entry_text(j, i, false),
                          "no restored element stamps the entry, and a stamp fills both entries of a pair");
        if (!(gm.get(i, j) == gm.get(j, i)))
          refuse_together(record,
                          "conductance of " + entry(i, j) + " = " + list_real(gm.get(i, j)) + ", of " + entry(j, i) +
                              " = " + list_real(gm.get(j, i)),
                          is_stamped ? kStampedPair : kUnstampedPair);
      });
  }
}

}  // namespace

void check_restored_state() {
  subsystems();
  transformers();
  lines();
  mna_records();
  page_maps();
  filled_pairs();
}

}  // namespace wakro::snapshot
