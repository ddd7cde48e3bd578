// The own elimination's factors in list order (packed_factors.h).
#include "network/packed_factors.h"

#include <algorithm>
#include <cstddef>

#include "model/e_s0.h"
#include "model/farray.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/sparse.h"

namespace wakro {
namespace {

std::vector<PackedFactors> g_packed;
bool g_subsysdim = false;  // the matrix form of the copies

std::size_t at(std::int32_t k) { return static_cast<std::size_t>(k - 1); }

}  // namespace

void note_factorisation(std::int32_t ss, std::int32_t m, bool all) {
  if (ss < 1) return;
  if (g_packed.size() < at(ss) + 1) g_packed.resize(at(ss) + 1);
  PackedFactors& p = g_packed[at(ss)];
  const std::int32_t now = int2::ntriang(ss);
  // Every factorisation since the copy was told of: the rows before m are still
  // what the copy holds (or what its next update takes).
  const bool followed = p.seen == now - 1 && p.epoch == array_layout_epoch() &&
                        g_subsysdim == ndde::use_subsysdim;
  p.from = (all || !followed) ? 1 : std::min(p.from, m);
  p.seen = now;
  p.epoch = array_layout_epoch();
  g_subsysdim = ndde::use_subsysdim;
}

const PackedFactors* packed_factors(std::int32_t ss, std::int32_t n) {
  if (ss < 1 || n < 1 || at(ss) >= g_packed.size()) return nullptr;
  PackedFactors& p = g_packed[at(ss)];
  if (p.seen != int2::ntriang(ss) || p.epoch != array_layout_epoch() ||
      g_subsysdim != ndde::use_subsysdim)
    return nullptr;
  if (p.order != n) p.from = 1;
  if (p.from > n) return &p;  // nothing changed since the copy
  const e_s0::RealView rdc = e_s0::assign_rdc_ptr(ss);
  if (!rdc.valid() || n > rdc.extent(1) || n > sparse::lbegin.extent(1)) return nullptr;
  const std::size_t lsize = static_cast<std::size_t>(sparse::lcol.extent(1));
  const std::size_t usize = static_cast<std::size_t>(sparse::ucol.extent(1));
  if (p.lower.size() != lsize) p.lower.resize(lsize);
  if (p.upper.size() != usize) p.upper.resize(usize);
  if (p.pivot.size() < static_cast<std::size_t>(n)) p.pivot.resize(static_cast<std::size_t>(n));
  for (std::int32_t i = p.from; i <= n; ++i) {
    p.pivot[at(i)] = rdc(i, i);
    for (std::int32_t k = sparse::lbegin(i, ss); k <= sparse::lend(i, ss); ++k)
      p.lower[at(k)] = rdc(i, sparse::lcol(k, ss));
    for (std::int32_t k = sparse::ubegin(i, ss); k <= sparse::uend(i, ss); ++k)
      p.upper[at(k)] = rdc(i, sparse::ucol(k, ss));
  }
  p.order = n;
  p.from = n + 1;
  return &p;
}

}  // namespace wakro
