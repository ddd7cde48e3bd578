// Column ss of a per-branch array (branches module: branch number, subsystem) as
// a plain pointer indexed with the branch number from 1, as the array itself is.
// The per-branch loops of a step read and write a dozen such arrays; through
// views the compiler keeps their addresses in registers instead of reading each
// array's descriptor again after every store.
//
// subsystem_columns(ss) holds the columns of subsystem ss of every per-branch
// and per-node array that a step reads, and its working matrix, set up once and
// reused by every step (taken again after any case-sized array was allocated or
// released, or the matrix form changed), so that a
// subsystem's step does not pay for setting up some thirty views in each of its
// loops.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "model/farray.h"
#include "model/int2.h"
#include "model/int4.h"
#include "model/ndde.h"
#include "model/options.h"

namespace wakro {

template <class T>
struct BranchColumn {
  T* first = nullptr;  // the entry of branch 1
  T& operator[](std::int32_t br) const { return first[br - 1]; }
};

template <class T>
BranchColumn<T> branch_column(FArray<T, 2>& a, std::int32_t ss) {
  return {a.data() + static_cast<std::ptrdiff_t>(ss - 1) * a.extent(1)};
}

// The columns of one subsystem: per branch (indexed by branch number) and per
// node (indexed by node number, from 1).
struct SubsystemColumns {
  // Per branch.
  BranchColumn<std::int32_t> ief, iet, thisbr, iorv;
  BranchColumn<bool> source, inductor, capacitr, defrdbr, idealbr;
  BranchColumn<double> ebr, ebrd, geq, geqd, cbr, ccbr, ccbrd, ccl, ccld, ccc, cccd;
  BranchColumn<double> v12l, v20l, g2l, g2c, rcl, rlg, rcg, rsc, rsl;
  // Per node.
  BranchColumn<double> vdc, ccgm, ccgmd, ccli, cclid, ccin, ggin, ccind, ggind;
  BranchColumn<std::int32_t> ll;  // the Norton node list (by list position)
  // The own elimination: the working matrix (rdc(i, j) at rdc[(j - 1) * rdc_rows + i - 1])
  // and the index lists of its factors.
  double* rdc = nullptr;
  std::ptrdiff_t rdc_rows = 0;
  BranchColumn<std::int32_t> lbegin, lend, lcol, ubegin, uend, ucol;
};

// The branches of a subsystem by class, each list ascending: the plain series
// R-L branches (an inductive part, no capacitive part, no source, not deferred,
// not ideal, not an arrester), whose state update needs no test of any kind, and
// all the others. Made again whenever the branch count, a kind flag (source,
// inductor, capacitr, defrdbr, idealbr) or whether a branch is an arrester (its
// switching mode) differs from what they were made from (one comparison of the
// columns per request, and of the modes one pass when they changed), or a
// case-sized array was allocated or released. Making them
// allocates only when the branch count grew.
//
// Beside them, for the passes that take each branch by its shape: the branches
// that are neither ideal nor an arrester grouped by shape (which of a source, an
// inductive part, a capacitive part and a deferred current source they have: the
// bits below), each group ascending, group g at shaped[shape_begin[g]] up to
// shaped[shape_begin[g + 1]]; the plain series R-L branches are group
// kShapeInductor. The ideal branches and the arresters, whose update tests more,
// are listed apart.
struct BranchClasses {
  static constexpr std::int32_t kShapeSource = 1;
  static constexpr std::int32_t kShapeInductor = 2;
  static constexpr std::int32_t kShapeCapacitor = 4;
  static constexpr std::int32_t kShapeDeferred = 8;
  static constexpr std::int32_t kShapes = 16;
  std::vector<std::int32_t> series_rl;
  std::vector<std::int32_t> other;
  std::vector<std::int32_t> shaped;
  std::array<std::int32_t, kShapes + 1> shape_begin{};
  std::vector<std::int32_t> irregular;  // the ideal branches and the arresters
  std::int32_t last_source = 0;         // the last branch with a source (0: none)
  // What the lists were made from: the branch count, the flag columns one after
  // the other, the switching modes (as last seen: a change of mode that leaves
  // every branch an arrester or not as before is taken over).
  std::int32_t count = -1;
  std::uint64_t epoch = 0;
  std::vector<unsigned char> flags;
  std::vector<std::int32_t> modes;
};
const BranchClasses& branch_classes(std::int32_t ss);

// The registered-source lookup of a subsystem's branches, made once per step
// instead of in every pass: for each branch with a source, the storage record it
// points to (THISBR) and whether that record is a registered voltage source (its
// first integer slot holds branch_code::registered_source); under source
// extrapolation also every branch, with a source or not, whose record is one
// (finishup asks about them all). Read again at the start of each step of the
// subsystem (take_source_records, by the solution driver) and whenever the branch
// count, a source flag, source extrapolation or the array layout differs from
// what it was read with; a record that changes inside a step is seen from the next
// step on (nothing inside a step changes one). Under source extrapolation, a step
// whose key holds and whose THISBR column and records' first slots are those of
// the last reading keeps what was read. Reading allocates only when the branch
// count grew. Without source extrapolation, a step whose branch count,
// layout and source flags are those of the last reading reads again only the
// records of the branches with a source (their list is kept with the records):
// THISBR and the record's first slot are all a branch's entries depend on.
struct SourceRecords {
  // By branch from 1 at [br - 1]; set for the branches with a source only.
  std::vector<std::int32_t> owner;
  std::vector<unsigned char> registered;
  // The branches with a source, ascending (the first source_count entries), by
  // index from 0 (br - 1).
  std::vector<std::int32_t> with_source;
  std::int32_t source_count = 0;
  // Under source extrapolation: the registered branches, ascending (the first
  // registered_count entries), and THISBR of the last branch.
  std::vector<std::int32_t> registered_branches;
  std::int32_t registered_count = 0;
  std::int32_t last_owner = 0;
  bool any_source = false;  // a branch of the subsystem has a source
  // What they were read with.
  std::int32_t count = -1;
  std::uint64_t epoch = 0;
  bool all = false;                    // read under source extrapolation
  std::vector<unsigned char> sources;  // the source flags
  // Under source extrapolation also THISBR of every branch, the branches with a
  // record (THISBR above 0, by index from 0, the first owned_count entries) and
  // whether each one's record was a registered voltage source: all that the
  // reading depends on beside the key above.
  std::vector<std::int32_t> owners;
  std::vector<std::int32_t> owned;
  std::vector<unsigned char> owned_registered;
  std::int32_t owned_count = 0;
};

namespace detail {
// True when the n bytes at a and b are equal. A small subsystem's few bytes are
// compared in place, without the call: by words, the last word overlapping the
// one before it when n is not a whole number of words.
template <class Word>
inline Word word_at(const unsigned char* p) {
  Word w;
  std::memcpy(&w, p, sizeof w);
  return w;
}
[[gnu::always_inline]] inline bool same_bytes(const void* a, const void* b, std::size_t n) {
  constexpr std::size_t kInPlace = 64;
  if (n > kInPlace) return std::memcmp(a, b, n) == 0;
  const unsigned char* const p = static_cast<const unsigned char*>(a);
  const unsigned char* const q = static_cast<const unsigned char*>(b);
  using W8 = std::uint64_t;
  using W4 = std::uint32_t;
  if (n >= sizeof(W8)) {
    W8 diff = word_at<W8>(p + n - sizeof(W8)) ^ word_at<W8>(q + n - sizeof(W8));
    for (std::size_t k = 0; k + sizeof(W8) <= n; k += sizeof(W8))
      diff |= word_at<W8>(p + k) ^ word_at<W8>(q + k);
    return diff == 0;
  }
  if (n >= sizeof(W4))
    return ((word_at<W4>(p) ^ word_at<W4>(q)) | (word_at<W4>(p + n - sizeof(W4)) ^
                                                 word_at<W4>(q + n - sizeof(W4)))) == 0;
  using W2 = std::uint16_t;
  if (n >= sizeof(W2))
    return ((word_at<W2>(p) ^ word_at<W2>(q)) | (word_at<W2>(p + n - sizeof(W2)) ^
                                                 word_at<W2>(q + n - sizeof(W2)))) == 0;
  return n == 0 || p[0] == q[0];
}

// The registered-source lookups, by subsystem from 1 at [ss - 1].
inline std::vector<SourceRecords> g_sources;
// Reads the records of ss (take_source_records) unless they are kept.
void take_source_records_now(std::int32_t ss);
// Reads again the records of the branches with a source listed in r, whose key
// (branch count, layout, source flags, choice of branches) holds for c.
void reread_sources(SourceRecords& r, const SubsystemColumns& c);
// The records of ss, read again when what they were read with changed
// (source_records).
const SourceRecords& source_records_now(std::int32_t ss);
// True when the records r of ss were read with the present branch count, array
// layout, source flags and choice of branches (all: under source extrapolation).
inline bool records_current(const SourceRecords& r, std::int32_t ss, bool all,
                            const SubsystemColumns& c);

inline std::vector<SubsystemColumns> g_columns;
// What the columns were set up for, in one word: the array layout epoch times
// two, plus one for the matrix form of "SUBSYSDIM:" (see columns_key).
inline std::uint64_t g_columns_key = ~std::uint64_t{0};
inline std::int32_t g_columns_count = 0;  // subsystems set up (g_columns.size())
inline std::uint64_t columns_key() {
  return array_layout_epoch() * 2 + (ndde::use_subsysdim ? 1 : 0);
}
// Sets up the columns of subsystems 1 .. max(ss, the arrays' subsystem extent).
void set_up_columns(std::int32_t ss);
}  // namespace detail

// The columns of subsystem ss (ss >= 1), valid until the next allocation or
// release of a case-sized array; in key what they were set up for (columns_key).
inline const SubsystemColumns& subsystem_columns(std::int32_t ss, std::uint64_t& key) {
  key = detail::columns_key();
  if (detail::g_columns_key != key || ss > detail::g_columns_count) {
    detail::set_up_columns(ss);
    key = detail::g_columns_key;
  }
  return detail::g_columns[static_cast<std::size_t>(ss - 1)];
}
inline const SubsystemColumns& subsystem_columns(std::int32_t ss) {
  std::uint64_t key = 0;
  return subsystem_columns(ss, key);
}

// n values from `from` to `to`: a few in place, more by the library's block copy
// (a call costs more than a few copies).
inline void copy_values(const double* from, std::int32_t n, double* to) {
  constexpr std::int32_t kBlockCopyMin = 16;
  if (n >= kBlockCopyMin) {
    std::copy_n(from, n, to);
    return;
  }
  for (std::int32_t k = 0; k < n; ++k) to[k] = from[k];
}

// What a step keeps of the injections for the next one, on the columns c: the
// line injections (CCLID := CCLI, the columns whole) and, of the first nmb
// nodes of the Norton list, the injections and conductances (CCIND, GGIND).
inline void keep_injections(const SubsystemColumns& c, std::int32_t nmb) {
  copy_values(c.ccli.first, int4::cclid.extent(1), c.cclid.first);
  for (std::int32_t k = 1; k <= nmb; ++k) {
    const std::int32_t x = c.ll[k];
    c.ccind[x] = c.ccin[x];
    c.ggind[x] = c.ggin[x];
  }
}

// The start of the history sums of a step on the columns c of n nodes: CCGMD
// keeps the last step's CCGM, and CCGM restarts from zero. A few nodes in place
// (a library call would cost more than they do).
inline void restart_node_sums(const SubsystemColumns& c, std::int32_t n) {
  const auto& ccgm = c.ccgm;
  const auto& ccgmd = c.ccgmd;
  if (n >= 16) {
    std::copy_n(ccgm.first, n, ccgmd.first);
    std::fill_n(ccgm.first, n, 0.0);
    return;
  }
  for (std::int32_t k = 1; k <= n; ++k) {
    ccgmd[k] = ccgm[k];
    ccgm[k] = 0.0;
  }
}

inline bool detail::records_current(const SourceRecords& r, std::int32_t ss, bool all,
                                    const SubsystemColumns& c) {
  return r.count == int2::insb(ss) && r.epoch == array_layout_epoch() && r.all == all &&
         (r.count == 0 ||
          same_bytes(r.sources.data(), c.source.first, static_cast<std::size_t>(r.count)));
}

// The records of ss, read again when what they were read with changed (the
// check made here, in the caller).
inline const SourceRecords& source_records(std::int32_t ss) {
  const auto k = static_cast<std::size_t>(ss);
  if (k >= 1 && k <= detail::g_sources.size()) {
    const SourceRecords& r = detail::g_sources[k - 1];
    if (detail::records_current(r, ss, options::xterpsrc(ss), subsystem_columns(ss))) return r;
  }
  return detail::source_records_now(ss);
}

// Reads the records of ss now (the start of a step). Records read with the
// present branch count, layout, source flags and choice of branches, without
// source extrapolation, are kept but for the records of their branches with a
// source, read again (a subsystem without one reads nothing): that check is made
// here, in the caller, on the columns c of ss that the caller took. Under source
// extrapolation, records whose key holds are kept whole while THISBR and the
// kinds of the records it names are those they were read with
// (take_source_records_now checks).
inline void take_source_records(std::int32_t ss, const SubsystemColumns& c) {
  const auto k = static_cast<std::size_t>(ss);
  if (k >= 1 && k <= detail::g_sources.size() && !options::xterpsrc(ss)) {
    SourceRecords& r = detail::g_sources[k - 1];
    if (detail::records_current(r, ss, false, c)) {
      if (r.source_count > 0) detail::reread_sources(r, c);
      return;
    }
  }
  detail::take_source_records_now(ss);
}
inline void take_source_records(std::int32_t ss) { take_source_records(ss, subsystem_columns(ss)); }
// take_source_records, and the records it leaves.
inline const SourceRecords& taken_source_records(std::int32_t ss, const SubsystemColumns& c) {
  take_source_records(ss, c);
  return detail::g_sources[static_cast<std::size_t>(ss - 1)];
}

}  // namespace wakro
