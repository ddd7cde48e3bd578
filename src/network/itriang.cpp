// itriang: brings the factorised conductance matrix of subsystem ss up to date.
//
// Rows MXINV(ss)..MBUS(ss) of the working matrix RDC are assembled again from the
// constant matrix GM (off-diagonals negated), the Norton conductances GGIN on the
// diagonal and the conductances of the switching branches; ideal branches and MNA
// elements then modify the matrix through their own routines. At time zero a subsystem
// without a path to ground stops the run. The own elimination factorises the rows
// in place; a subsystem on the sparse solver is factorised by the solve step.
//
// Leaves: RDC and TEMFIL (rows from MXINV), the index lists (first factorisation,
// or every factorisation with ideal branches), STABCK(ss) set, NTRIANG(ss) + 1,
// MXINV(ss) = order + 1 (own elimination; the sparse path leaves it for the solve).
// The index lists are made again when the pattern of GM gained an entry since the
// last factorisation, and every row is factorised when that entry couples to a
// row before MXINV. When every change since the last assembly is known (see
// entry_update.h), a subsystem on the sparse solver takes only the changed
// entries, written into the solver's stored matrix, and the patterns are not
// compared on either solver. A subsystem on the sparse solver without MNA
// elements or ideal branches uses no work matrix at all: its rows are assembled
// straight into the solver's stored matrix (entry_update.h); one that gains an
// ideal branch gets its work matrices then and is assembled whole into them.
// Every other subsystem reads gm and filled dense: one whose gm and filled were
// kept as entries only (e_s0::sparse_store) has them made dense first.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s8.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "model/sparse.h"
#include "model/temp1.h"
#include "network/elimination.h"
#include "network/entry_update.h"
#include "network/ideal_branches.h"
#include "network/klu_adapter.h"
#include "network/mna_routines.h"
#include "network/ordered_elimination.h"
#include "network/packed_factors.h"
#include "network/solution.h"

namespace {

std::int32_t mna_elements(std::int32_t ss) {
  return mna::mna_elem.allocated() ? mna::mna_elem(ss) : 0;
}

// A user model lowered MXINV to zero or below; warn and factorise fully.
void warn_zero_mxinv(std::int32_t ss) {
  wakro_warn(0, 0, wakro::msg::kSingleLine,
             "Possible error in a user model, check Non-standard messages");
  wakro::ListLine() << "WARNING: Zero or negative MXINV by a user model";
  wakro::ListLine() << "Model is used in subsystem:" << ss;
  wakro::ListLine() << "Correct this problem to increase simulation speed!";
}

// What copying FILLED into TEMFIL found: an entry of FILLED that TEMFIL did not
// have (TEMFIL holds at least the pattern of the row's last factorisation), and
// whether such a new entry couples to a row before the copied ones (that row must
// then be assembled and factorised again: the new entry's mirror there is in
// neither its factors nor its lists).
struct PatternGrowth {
  bool grown = false;
  bool reaches_below = false;
};

// True when node x is an end of an ideal branch of ss.
bool ideal_end(std::int32_t ss, std::int32_t x) {
  for (std::int32_t br = 1; br <= int2::insb(ss); ++br)
    if (branches::idealbr(br, ss) && (branches::ief(br, ss) == x || branches::iet(br, ss) == x))
      return true;
  return false;
}

// Rows first..last of TEMFIL from FILLED (columns 1..n). The ideal branches turn
// the row of a node they remove into a constraint row and clear its couplings in
// TEMFIL; those couplings are not new when their mirrors in the rows before are
// still there.
PatternGrowth copy_pattern(std::int32_t ss, std::int32_t first, std::int32_t last, std::int32_t n,
                           e_s0::FillView filled, e_s0::FillView temfil) {
  PatternGrowth g;
  if (first > last) return g;
  const bool ideal = e_s0::idealss(ss);
  const std::size_t rows = static_cast<std::size_t>(last - first + 1);
  for (std::int32_t j = 1; j <= n; ++j) {
    // A column whose rows already agree has nothing new and nothing to copy: one
    // comparison of the contiguous run instead of an entry-by-entry walk.
    if (std::memcmp(&filled(first, j), &temfil(first, j), rows * sizeof(bool)) == 0) continue;
    for (std::int32_t i = first; i <= last; ++i) {
      if (filled(i, j) && !temfil(i, j)) {
        g.grown = true;
        if (j < first && !g.reaches_below)
          g.reaches_below = !temfil(j, i) || !ideal || !ideal_end(ss, i);
      }
      temfil(i, j) = filled(i, j);
    }
  }
  return g;
}

// The diagonal of row i: GM's with the row's Norton conductance.
inline double diagonal(std::int32_t ss, std::int32_t i, e_s0::RealView gm) {
  return gm(i, i) + e_s0::ggin(i, ss);
}

// Rows m..n of the own elimination, when each row's entries stand only at the
// positions of its index lists and its diagonal (the lists were made from a
// pattern that holds GM's pattern of these rows): each position of the row's
// lists takes -GM where GM has an entry and 0 elsewhere, so a row costs its own
// entries, not n; the diagonal with them (a row's entries lie in columns apart,
// each on a page of its own in a large subsystem: one pass over the rows visits
// each page once).
void assemble_listed_rows(std::int32_t ss, std::int32_t m, std::int32_t n, e_s0::RealView rdc,
                          e_s0::RealView gm, e_s0::FillView filled) {
  using namespace sparse;
  for (std::int32_t i = m; i <= n; ++i) {
    for (std::int32_t k = lbegin(i, ss); k <= lend(i, ss); ++k) {
      const std::int32_t j = lcol(k, ss);
      rdc(i, j) = filled(i, j) ? -gm(i, j) : 0.0;
    }
    rdc(i, i) = diagonal(ss, i, gm);
    for (std::int32_t k = ubegin(i, ss); k <= uend(i, ss); ++k) {
      const std::int32_t j = ucol(k, ss);
      rdc(i, j) = filled(i, j) ? -gm(i, j) : 0.0;
    }
  }
}

// Rows m..n from GM and GGIN; `listed`: the rows' entries stand at their index
// lists' positions only (see assemble_listed_rows).
// On the sparse path, `listed`: the rows' pattern has not grown since the sparse
// solver last packed it (each factorisation there is followed by a solve that
// packs TEMFIL; no ideal branch changes TEMFIL), so the stored pattern holds it.
void assemble_rows(std::int32_t ss, std::int32_t m, std::int32_t n, std::int32_t order,
                   e_s0::RealView rdc, e_s0::RealView gm, e_s0::FillView filled, bool listed) {
  const bool sparse_path =
      int3::use_klu(ss) && mna_elements(ss) == 0 && !e_s1::firststep;
  if (sparse_path) {
    c_cpygm(listed ? kWithinStoredPattern : 0, ss, n, m, rdc.data(), rdc.extent(1), gm.data(),
            gm.extent(1), filled.data(), filled.extent(1));
  } else if (listed) {
    assemble_listed_rows(ss, m, n, rdc, gm, filled);
    return;  // the diagonal with the rows
  } else {
    for (std::int32_t j = 1; j <= order; ++j)
      for (std::int32_t i = m; i <= n; ++i) rdc(i, j) = 0.0;
    for (std::int32_t j = 1; j <= n; ++j)
      for (std::int32_t i = m; i <= n; ++i)
        if (filled(i, j)) rdc(i, j) = -gm(i, j);
  }
  for (std::int32_t i = m; i <= n; ++i) rdc(i, i) = diagonal(ss, i, gm);
}

// The switching branches with an end at or beyond m.
void add_switches(std::int32_t ss, std::int32_t m, e_s0::RealView rdc) {
  for (std::int32_t k = 1; k <= branches::nsw(ss); ++k) {
    const std::int32_t br = branches::brnsw(k, ss);
    const std::int32_t f = branches::ief(br, ss);
    const std::int32_t t = branches::iet(br, ss);
    const double g = branches::geq(br, ss);
    if (f < m && t < m) continue;
    // A switch whose two ends are one node carries no current (its voltage is
    // always 0): it adds nothing, rather than a conductance to ground.
    if (f == t) continue;
    if (f == 0 || t == 0) {
      const std::int32_t x = f == 0 ? t : f;
      rdc(x, x) += g;
      continue;
    }
    if (f >= m) {
      rdc(f, f) += g;
      rdc(f, t) -= g;
    }
    if (t >= m) {
      rdc(t, t) += g;
      rdc(t, f) -= g;
    }
  }
}

// The sum s of all entries is the total conductance to ground.
void check_ground_sum(std::int32_t ss, double s) {
  if (std::abs(s) > 1e-8) return;
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2),
                "Ungrounded subsystem " + std::to_string(ss));
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine,
                ". It may be due an open switch in the ground path.");
  wakro_quit("ITRIANG", 0);
}

void check_ground(std::int32_t ss, std::int32_t n, e_s0::RealView rdc) {
  double s = 0.0;
  for (std::int32_t j = 1; j <= n; ++j)
    for (std::int32_t i = 1; i <= n; ++i) s += rdc(i, j);
  check_ground_sum(ss, s);
}

// Subsystems whose last assembly went straight into the sparse solver's store
// (their work matrices, where they have them, hold nothing of it).
std::vector<bool>& assembled_sparse() {
  static std::vector<bool> v;
  return v;
}

// Steps 3 and 5-9 for a subsystem on the sparse solver without MNA elements or
// ideal branches: rows from m assembled straight into the stored matrix, only
// the changed entries when every change is known; no work matrix is used.
void assemble_into_sparse_store(std::int32_t ss, std::int32_t m) {
  if (m < 1) {
    warn_zero_mxinv(ss);
    e_s8::mxinv(ss) = m = 1;
  }
  const e_s0::GmView gm = e_s0::assign_gm_ptr(ss);
  const e_s0::FilledView filled = e_s0::assign_filled_ptr(ss);
  const bool known = !e_s1::firststep && ctrl::iii != 0 && int2::ntriang(ss) > 0 &&
                     wakro::changes_known(ss, m, e_s0::FillView{});
  if (!(known && wakro::update_sparse_entries(ss, e_s0::RealView{}, gm, filled))) {
    const std::int32_t first = wakro::assemble_sparse_rows(ss, m, e_s1::firststep, gm, filled);
    // Ground check at time zero, on a complete assembly only.
    if (ctrl::iii == 0 && m == 1 && first == 1) check_ground_sum(ss, wakro::sparse_entry_sum(ss));
  }
  temp1::stabck(ss) = true;
  ++int2::ntriang(ss);
}

}  // namespace

void itriang(std::int32_t ss) {
  // Step 1: first-step settings.
  const std::int32_t n = e_s0::mbus(ss);
  if (e_s1::firststep) {
    if (e_s0::idealss(ss)) e_s8::mxinv(ss) = 1;
    for (std::int32_t i = 1; i <= n; ++i) int2::nilltr(i, ss) = false;
  }
  std::int32_t m = e_s8::mxinv(ss);

  // Step 2: nothing changed. The matrix views are taken only when rows are
  // factorised: most steps of most subsystems change nothing.
  const bool direct = int3::use_klu(ss) && mna_elements(ss) == 0 && !e_s0::idealss(ss);
  if (m <= n) {
    std::vector<bool>& sparse_store = assembled_sparse();
    if (sparse_store.size() < static_cast<std::size_t>(ss))
      sparse_store.resize(static_cast<std::size_t>(ss));
    const bool was_direct = sparse_store[static_cast<std::size_t>(ss - 1)];
    sparse_store[static_cast<std::size_t>(ss - 1)] = direct;
    if (direct) {
      assemble_into_sparse_store(ss, m);
      m = n + 1;  // step 11 only
    } else if (was_direct || e_s0::without_work_matrices(ss)) {
      // A subsystem that now needs its work matrices (an ideal branch since its
      // last assembly): they are given, and every row assembled into them.
      e_s0::ensure_work_matrices(ss);
      e_s8::mxinv(ss) = m = 1;
    }
  }
  if (m <= n) {
    // The assembly below reads gm and filled as dense matrices.
    e_s0::ensure_dense_store(ss);
    e_s0::RealView rdc = e_s0::assign_rdc_ptr(ss);
    e_s0::RealView gm = e_s0::assign_gm_ptr(ss);
    e_s0::FillView filled = e_s0::assign_filled_ptr(ss);
    e_s0::FillView temfil = e_s0::assign_temfil_ptr(ss);
    // Step 3: a first row below 1.
    if (m < 1) {
      warn_zero_mxinv(ss);
      e_s8::mxinv(ss) = m = 1;
    }
    // Step 4: ideal branches may lower the first row.
    if (e_s0::idealss(ss)) {
      istnew(ss);
      m = std::max(1, std::min(m, e_s8::mxinv(ss)));
      if (int2::ntriang(ss) == 0 && ctrl::firstrun)
        wakro::ListLine() << "Subsystem" << ss << " has ideal branches";
    }
    const std::int32_t nmna = mna_elements(ss);
    const std::int32_t order = (mna::enable_mna && nmna > 0) ? mna::mbus_mna(ss) : n;

    // A large subsystem on the own elimination may be factorised in a
    // fill-reducing order (ordered_elimination.h); its working matrix then holds
    // the assembled matrix, not factors, and its pattern no symbolic fill. One
    // that can be ordered no longer (an ideal branch or MNA element came) is
    // assembled and factorised whole in the numbered order.
    const bool may_order = !int3::use_klu(ss) && !e_s0::idealss(ss) && nmna == 0 &&
                           order == n && n >= wakro::kOrderedMinNodes;
    bool ordered = wakro::ordered_elimination_active(ss, n);
    bool fresh = false;
    if (ordered && !may_order) {
      wakro::drop_ordered_elimination(ss);
      ordered = false;
      fresh = true;
      e_s8::mxinv(ss) = m = 1;
    }

    // Step 5: the pattern of the rows to factorise starts from GM's. An entry of
    // GM's pattern that the last factorisation of its row did not have (a
    // component added a coupling) is outside the index lists: the lists are made
    // again, and every row is factorised when the new coupling reaches a row
    // before m (its mirror there is in neither the factors nor the lists). When
    // every change since the last assembly is known and none added a coupling,
    // the pattern did not grow and is not compared.
    const bool known = nmna == 0 && !e_s0::idealss(ss) && !e_s1::firststep && ctrl::iii != 0 &&
                       int2::ntriang(ss) > 0 && !fresh && wakro::changes_known(ss, m, temfil);

    // Step 6 (sparse solver, changes known): only the changed entries are written,
    // into the stored matrix; the solve step re-factorises.
    if (known && int3::use_klu(ss) && wakro::update_sparse_entries(ss, rdc, gm, filled)) {
      temp1::stabck(ss) = true;
      ++int2::ntriang(ss);
    } else {
      PatternGrowth growth;
      if (!known) growth = copy_pattern(ss, m, n, n, filled, temfil);
      const bool grown = growth.grown;
      // A grown pattern is ordered again (or may now be): every row then.
      if ((growth.reaches_below || (grown && may_order)) && int2::ntriang(ss) > 0 && m > 1) {
        copy_pattern(ss, 1, m - 1, n, filled, temfil);
        e_s8::mxinv(ss) = m = 1;
      }

      // A grown pattern of a subsystem in the numbered order on the own
      // elimination (no ideal branch or MNA element): whether it is ordered now is
      // decided, and its lists made again from row m, before the assembly, which
      // then writes only the positions of the new lists.
      bool planned = false;
      bool lists_made = false;
      if (grown && !ordered && !int3::use_klu(ss) && int2::ntriang(ss) > 0 && !e_s1::firststep &&
          !e_s0::idealss(ss) && nmna == 0 && order == n && !fresh) {
        if (may_order) {
          ordered = wakro::plan_ordered_elimination(ss, n, temfil);
          planned = true;
        }
        if (!ordered) {
          wakro::drop_ordered_elimination(ss);
          wakro::build_index_lists(ss, n, temfil, m);
          lists_made = true;
        }
      }

      // Step 7: assemble. On the own elimination, after a factorisation whose
      // lists hold the rows' pattern (nothing grew, or the lists were just made
      // again; no ideal branch or MNA element rewrites rows or lists), only the
      // listed positions of each row are written. On the sparse path the same
      // condition lets the rows be written over the sparse solver's stored
      // pattern.
      // (A sparse-solver subsystem here with its changes known found a change
      // outside the stored pattern: its rows are packed from the masks.)
      const bool listed = (!grown || lists_made) && int2::ntriang(ss) > 0 && !e_s1::firststep &&
                          !e_s0::idealss(ss) && nmna == 0 && order == n &&
                          !(known && int3::use_klu(ss)) && !fresh;
      // A subsystem in a fill-reducing order takes such rows straight into its
      // own matrix and factorises them there. Otherwise (its pattern grew, a run
      // starts, its switches are no longer those of its order) every row is
      // assembled and it is ordered again.
      const bool straight = ordered && listed && wakro::assemble_ordered(ss, m, n, gm, filled);
      if (ordered && !straight) {
        if (m > 1) copy_pattern(ss, 1, m - 1, n, filled, temfil);
        e_s8::mxinv(ss) = m = 1;
        fresh = true;
      }
      if (!straight) {
        assemble_rows(ss, m, n, order, rdc, gm, filled, listed && !fresh);
        add_switches(ss, m, rdc);
        if (nmna > 0) mna_process(ss);
        if (e_s0::idealss(ss)) idlsrc(ss);
      }
      wakro::note_assembled(ss);

      // Step 8: ground check at time zero, on a complete assembly only (rows below
      // m would hold factors, not conductances).
      if (ctrl::iii == 0 && m == 1 && nmna == 0) check_ground(ss, n, rdc);

      if (int3::use_klu(ss)) {
        // Step 9: the solve step re-factorises through the sparse solver.
        temp1::stabck(ss) = true;
        ++int2::ntriang(ss);
      } else {
        // Step 10: own elimination.
        const std::int32_t big_n = mna::enable_mna ? std::max(order, n) : n;
        const bool new_lists = int2::ntriang(ss) == 0 || e_s0::idealss(ss) || grown || fresh;
        if (new_lists && may_order && !planned)
          ordered = wakro::plan_ordered_elimination(ss, big_n, temfil);
        if (straight) {
          // factorised by assemble_ordered
        } else if (ordered) {
          wakro::eliminate_ordered(ss, rdc);  // a new plan: every row assembled
        } else {
          wakro::drop_ordered_elimination(ss);
          if (new_lists && !lists_made) wakro::build_index_lists(ss, big_n, temfil);
          // The substitution's copy of the factors, written by the elimination
          // (ideal branches and MNA elements may rewrite rows before m: they are
          // taken from rdc then).
          wakro::PackedFactors* pack = wakro::factors_to_pack(
              ss, m, big_n, new_lists || e_s0::idealss(ss) || nmna > 0, rdc);
          wakro::eliminate_from(ss, m, big_n, rdc, pack);
        }
        temp1::stabck(ss) = true;
        ++int2::ntriang(ss);
        wakro::note_factorisation(ss);  // the copy holds this factorisation
        e_s8::mxinv(ss) = big_n + 1;
      }
    }
  }

  // Step 11: cancelled diagonals are reported at the end of the run, once: by
  // the factorisation at the start of the subsystem's last step, not again by
  // one that follows a switching inside that step.
  if (e_s1::laststep && e_s1::onstep) {
    for (std::int32_t i = 1; i <= n; ++i) {
      if (int2::nilltr(i, ss)) {
        itriang_errmsg(0, ss);
        break;
      }
    }
  }
}
