// The per-subsystem columns of the step's arrays (branch_view.h).
#include "network/branch_view.h"

#include <algorithm>
#include <cstring>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/branch_codes.h"
#include "model/int1.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/options.h"
#include "model/sparse.h"
#include "model/storage.h"

namespace wakro::detail {
namespace {

// Column ss of a, or an empty column when a does not have it.
template <class T>
BranchColumn<T> column(FArray<T, 2>& a, std::int32_t ss) {
  if (!a.allocated() || ss > a.extent(2)) return {};
  return branch_column(a, ss);
}

}  // namespace

void set_up_columns(std::int32_t ss) {
  std::int32_t count = std::max({ss, branches::ief.extent(2), e_s0::vdc.extent(2)});
  if (static_cast<std::size_t>(count) < g_columns.size())
    count = static_cast<std::int32_t>(g_columns.size());
  g_columns.resize(static_cast<std::size_t>(count));
  for (std::int32_t k = 1; k <= count; ++k) {
    SubsystemColumns& c = g_columns[static_cast<std::size_t>(k - 1)];
    using namespace branches;
    c.ief = column(ief, k);
    c.iet = column(iet, k);
    c.thisbr = column(thisbr, k);
    c.iorv = column(int1::iorv, k);
    c.source = column(source, k);
    c.inductor = column(inductor, k);
    c.capacitr = column(capacitr, k);
    c.defrdbr = column(defrdbr, k);
    c.idealbr = column(idealbr, k);
    c.ebr = column(ebr, k);
    c.ebrd = column(ebrd, k);
    c.geq = column(geq, k);
    c.geqd = column(geqd, k);
    c.cbr = column(cbr, k);
    c.ccbr = column(ccbr, k);
    c.ccbrd = column(ccbrd, k);
    c.ccl = column(ccl, k);
    c.ccld = column(ccld, k);
    c.ccc = column(ccc, k);
    c.cccd = column(cccd, k);
    c.v12l = column(v12l, k);
    c.v20l = column(v20l, k);
    c.g2l = column(g2l, k);
    c.g2c = column(g2c, k);
    c.rcl = column(rcl, k);
    c.rlg = column(rlg, k);
    c.rcg = column(rcg, k);
    c.rsc = column(rsc, k);
    c.rsl = column(rsl, k);
    c.vdc = column(e_s0::vdc, k);
    c.ccgm = column(e_s0::ccgm, k);
    c.ccgmd = column(e_s0::ccgmd, k);
    c.ccli = column(e_s0::ccli, k);
    c.cclid = column(int4::cclid, k);
    c.ccin = column(e_s0::ccin, k);
    c.ggin = column(e_s0::ggin, k);
    c.ccind = column(int4::ccind, k);
    c.ggind = column(int4::ggind, k);
    c.ll = column(int2::ll, k);
    const e_s0::RealView rdc = e_s0::assign_rdc_ptr(k);  // empty when k has none
    c.rdc = rdc.data();
    c.rdc_rows = rdc.extent(1);
    c.lbegin = column(sparse::lbegin, k);
    c.lend = column(sparse::lend, k);
    c.lcol = column(sparse::lcol, k);
    c.ubegin = column(sparse::ubegin, k);
    c.uend = column(sparse::uend, k);
    c.ucol = column(sparse::ucol, k);
  }
  g_columns_key = columns_key();
  g_columns_count = count;
}

}  // namespace wakro::detail

namespace wakro {
namespace {

std::vector<BranchClasses> g_classes;

// The flag columns of a subsystem, in the order kept in BranchClasses::flags.
constexpr int kFlagColumns = 5;
void flag_columns(const SubsystemColumns& c, const bool* (&cols)[kFlagColumns]) {
  cols[0] = c.source.first;
  cols[1] = c.inductor.first;
  cols[2] = c.capacitr.first;
  cols[3] = c.defrdbr.first;
  cols[4] = c.idealbr.first;
}

// True when the lists of k still hold: the same branch count, array layout and
// flags, and every branch an arrester or not as before. Of the switching modes
// the lists depend on that alone, while a switching changes a mode on most
// steps: modes that differ only otherwise are taken over, without making the
// lists again (a pass over the branches, against one over the subsystem's
// columns with a sort of its branches).
bool unchanged(BranchClasses& k, const SubsystemColumns& c, std::int32_t nbr) {
  if (k.count != nbr || k.epoch != array_layout_epoch()) return false;
  if (nbr == 0) return true;
  const bool* cols[kFlagColumns];
  flag_columns(c, cols);
  const std::size_t n = static_cast<std::size_t>(nbr);
  for (int j = 0; j < kFlagColumns; ++j)
    if (!detail::same_bytes(k.flags.data() + j * n, cols[j], n)) return false;
  const std::int32_t* const now = c.iorv.first;
  if (detail::same_bytes(k.modes.data(), now, n * sizeof(std::int32_t))) return true;
  bool same = true;
  for (std::size_t b = 0; b < n; ++b)
    same &= (k.modes[b] == switch_mode::arrester) == (now[b] == switch_mode::arrester);
  if (same) std::memcpy(k.modes.data(), now, n * sizeof(std::int32_t));
  return same;
}

// The shape of a branch (BranchClasses), or -1 for an ideal branch or an arrester.
std::int32_t shape_of(const SubsystemColumns& c, std::int32_t br) {
  using K = BranchClasses;
  if (c.idealbr[br] || c.iorv[br] == switch_mode::arrester) return -1;
  return (c.source[br] ? K::kShapeSource : 0) | (c.inductor[br] ? K::kShapeInductor : 0) |
         (c.capacitr[br] ? K::kShapeCapacitor : 0) | (c.defrdbr[br] ? K::kShapeDeferred : 0);
}

// The shape groups of k: counted, then filled in branch order (a counting sort).
void make_shapes(BranchClasses& k, const SubsystemColumns& c, std::int32_t nbr) {
  const std::size_t n = static_cast<std::size_t>(std::max(nbr, 0));
  if (k.shaped.size() < n) k.shaped.resize(n);
  k.irregular.clear();
  k.irregular.reserve(n);
  std::array<std::int32_t, BranchClasses::kShapes + 1> next{};
  k.last_source = 0;
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const std::int32_t g = shape_of(c, br);
    if (g >= 0) ++next[static_cast<std::size_t>(g) + 1];
    if (c.source[br]) k.last_source = br;
  }
  for (std::size_t g = 1; g < next.size(); ++g) next[g] += next[g - 1];
  k.shape_begin = next;
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const std::int32_t g = shape_of(c, br);
    if (g < 0) {
      k.irregular.push_back(br);
      continue;
    }
    k.shaped[static_cast<std::size_t>(next[static_cast<std::size_t>(g)]++)] = br;
  }
}

void make(BranchClasses& k, const SubsystemColumns& c, std::int32_t nbr) {
  const std::size_t n = static_cast<std::size_t>(std::max(nbr, 0));
  k.series_rl.clear();
  k.other.clear();
  k.series_rl.reserve(n);
  k.other.reserve(n);
  k.flags.resize(kFlagColumns * n);
  k.modes.resize(n);
  if (n > 0) {
    const bool* cols[kFlagColumns];
    flag_columns(c, cols);
    for (int j = 0; j < kFlagColumns; ++j) std::memcpy(k.flags.data() + j * n, cols[j], n);
    std::memcpy(k.modes.data(), c.iorv.first, n * sizeof(std::int32_t));
  }
  for (std::int32_t br = 1; br <= nbr; ++br) {
    const bool plain = c.inductor[br] && !c.capacitr[br] && !c.source[br] && !c.defrdbr[br] &&
                       !c.idealbr[br] && c.iorv[br] != switch_mode::arrester;
    (plain ? k.series_rl : k.other).push_back(br);
  }
  make_shapes(k, c, nbr);
  k.count = nbr;
  k.epoch = array_layout_epoch();
}

// True when the records were read with the present branch count, array layout,
// source flags and choice of branches.
bool records_unchanged(const SourceRecords& r, const SubsystemColumns& c, std::int32_t nbr,
                       bool all) {
  if (r.count != nbr || r.epoch != array_layout_epoch() || r.all != all) return false;
  return nbr == 0 ||
         detail::same_bytes(r.sources.data(), c.source.first, static_cast<std::size_t>(nbr));
}

// The records as read by a registered-source check: stori from its first slot.
struct RecordCodes {
  const std::int32_t* const first = storage::stori.data();
  const std::int32_t extent = storage::stori.data() ? storage::stori.extent(1) : 0;
  bool registered(std::int32_t t) const {
    if (t <= 0) return false;
    if (t > extent) return storage::stori(t) == 0;  // stops the run, naming the array
    return first[t - 1] == branch_code::registered_source;
  }
};

// Out of line: the checks that keep the records are what a step mostly runs.
[[gnu::noinline]] void read_records(SourceRecords& r, const SubsystemColumns& c, std::int32_t nbr,
                                   bool all) {
  const std::size_t n = static_cast<std::size_t>(std::max(nbr, 0));
  r.owner.resize(n);
  r.registered.resize(n);
  r.sources.resize(n);
  if (n > 0) std::memcpy(r.sources.data(), c.source.first, n);
  const RecordCodes codes;
  // Plain pointers: a byte stored below could otherwise be taken to change any
  // of the vectors' or columns' addresses, read again after each store.
  const unsigned char* const flags = r.sources.data();
  const std::int32_t* const thisbr = c.thisbr.first;  // by branch from 1 at [br - 1]
  std::int32_t* const owner = r.owner.data();
  unsigned char* const registered = r.registered.data();
  r.with_source.resize(n);
  std::int32_t* const listed = r.with_source.data();
  std::int32_t sources = 0;
  // Step 1: the branches with a source. Most networks have few, so the next one
  // is searched for; sources often come in groups, so the flags after one found
  // are then looked at one by one for a short stretch (a short rest of the
  // flags is looked at directly: the search costs more than it saves there).
  constexpr std::size_t kStretch = 64;
  bool any = false;
  for (std::size_t j = 0; j < n;) {
    if (n - j > kStretch) {
      const void* const next = std::memchr(flags + j, 1, n - j);
      if (next == nullptr) break;
      j = static_cast<std::size_t>(static_cast<const unsigned char*>(next) - flags);
    }
    for (const std::size_t end = std::min(n, j + kStretch); j < end; ++j) {
      if (flags[j] == 0) continue;
      any = true;
      listed[sources++] = static_cast<std::int32_t>(j);
      owner[j] = thisbr[j];
      registered[j] = codes.registered(thisbr[j]);
    }
  }
  // Step 2: under source extrapolation, every registered branch, and what that
  // depends on (THISBR, and the branches with a record and what each one was).
  r.registered_branches.resize(n);
  std::int32_t* const list = r.registered_branches.data();
  std::int32_t m = 0;
  std::int32_t owned = 0;
  r.last_owner = 0;
  if (all) {
    r.owners.resize(n);
    r.owned.resize(n);
    r.owned_registered.resize(n);
    if (n > 0) std::memcpy(r.owners.data(), thisbr, n * sizeof(std::int32_t));
    for (std::size_t j = 0; j < n; ++j) {
      const bool is_registered = codes.registered(thisbr[j]);
      if (is_registered) list[m++] = static_cast<std::int32_t>(j) + 1;
      if (thisbr[j] <= 0) continue;
      r.owned[static_cast<std::size_t>(owned)] = static_cast<std::int32_t>(j);
      r.owned_registered[static_cast<std::size_t>(owned++)] = is_registered;
    }
    if (n > 0) r.last_owner = thisbr[n - 1];
  }
  r.registered_count = m;
  r.owned_count = owned;
  r.source_count = sources;
  r.any_source = any;
  r.count = nbr;
  r.epoch = array_layout_epoch();
  r.all = all;
}

}  // namespace

// What read_records reads for the listed branches with a source, on records
// whose key still holds.
void detail::reread_sources(SourceRecords& r, const SubsystemColumns& c) {
  const RecordCodes codes;
  const std::int32_t* const listed = r.with_source.data();
  const std::int32_t* const thisbr = c.thisbr.first;  // by branch from 1 at [br - 1]
  std::int32_t* const owner = r.owner.data();
  unsigned char* const registered = r.registered.data();
  for (std::int32_t k = 0; k < r.source_count; ++k) {
    const std::int32_t j = listed[k];
    const std::int32_t t = thisbr[j];
    owner[j] = t;
    registered[j] = codes.registered(t);
  }
}

namespace {

SourceRecords& records_of(std::int32_t ss) {
  auto& all = detail::g_sources;
  if (all.size() < static_cast<std::size_t>(ss)) all.resize(static_cast<std::size_t>(ss));
  return all[static_cast<std::size_t>(ss - 1)];
}

}  // namespace

const SourceRecords& detail::source_records_now(std::int32_t ss) {
  const SubsystemColumns& c = subsystem_columns(ss);
  SourceRecords& r = records_of(ss);
  const std::int32_t nbr = int2::insb(ss);
  const bool all = options::xterpsrc(ss);
  if (!records_unchanged(r, c, nbr, all)) read_records(r, c, nbr, all);
  return r;
}

// True when records read under source extrapolation, whose key holds for c,
// would be read again as they are: THISBR is what they were read with, and so
// is the kind of every record it names (stori as a registered-source check
// reads it).
bool owners_unchanged(const SourceRecords& r, const SubsystemColumns& c) {
  const std::size_t n = static_cast<std::size_t>(r.count);
  if (n > 0 && !detail::same_bytes(r.owners.data(), c.thisbr.first, n * sizeof(std::int32_t)))
    return false;
  const RecordCodes codes;
  const std::int32_t* const thisbr = c.thisbr.first;  // by branch from 1 at [br - 1]
  const std::int32_t* const owned = r.owned.data();
  const unsigned char* const was = r.owned_registered.data();
  bool same = true;
  for (std::int32_t k = 0; k < r.owned_count; ++k)
    same &= codes.registered(thisbr[owned[k]]) == (was[k] != 0);
  return same;
}

void detail::take_source_records_now(std::int32_t ss) {
  const SubsystemColumns& c = subsystem_columns(ss);
  SourceRecords& r = records_of(ss);
  const std::int32_t nbr = int2::insb(ss);
  const bool all = options::xterpsrc(ss);
  if (records_unchanged(r, c, nbr, all)) {
    if (!all) {
      detail::reread_sources(r, c);
      return;
    }
    if (owners_unchanged(r, c)) return;
  }
  read_records(r, c, nbr, all);
}

const BranchClasses& branch_classes(std::int32_t ss) {
  const SubsystemColumns& c = subsystem_columns(ss);
  if (g_classes.size() < static_cast<std::size_t>(ss)) g_classes.resize(static_cast<std::size_t>(ss));
  BranchClasses& k = g_classes[static_cast<std::size_t>(ss - 1)];
  const std::int32_t nbr = int2::insb(ss);
  if (!unchanged(k, c, nbr)) make(k, c, nbr);
  return k;
}

}  // namespace wakro
