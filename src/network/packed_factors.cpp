// The own elimination's factors in list order (packed_factors.h).
#include "network/packed_factors.h"

#include <cstddef>

#include "model/farray.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/sparse.h"
#include "network/dense_substitution.h"

namespace wakro {
namespace {

std::vector<PackedFactors> g_packed;
bool g_subsysdim = false;  // the matrix form of the copies

std::size_t at(std::int32_t k) { return static_cast<std::size_t>(k - 1); }

bool current(const PackedFactors& p, std::int32_t ss) {
  return !p.filling && p.seen == int2::ntriang(ss) && p.epoch == array_layout_epoch() &&
         g_subsysdim == ndde::use_subsysdim;
}

}  // namespace

PackedFactors* factors_to_pack(std::int32_t ss, std::int32_t m, std::int32_t n, bool all,
                               e_s0::RealView rdc) {
  if (ss < 1 || n < kPackedFactorsMin) return nullptr;
  if (g_packed.size() < at(ss) + 1) g_packed.resize(at(ss) + 1);
  PackedFactors& p = g_packed[at(ss)];
  const bool followed = !all && p.order == n && current(p, ss);
  p.filling = false;
  p.order = 0;
  if (!rdc.valid() || n > rdc.extent(1) || n > sparse::lbegin.extent(1)) return nullptr;
  const std::size_t lsize = static_cast<std::size_t>(sparse::lcol.extent(1));
  const std::size_t usize = static_cast<std::size_t>(sparse::ucol.extent(1));
  if (p.lower.size() != lsize) p.lower.resize(lsize);
  if (p.upper.size() != usize) p.upper.resize(usize);
  if (p.pivot.size() < static_cast<std::size_t>(n)) p.pivot.resize(static_cast<std::size_t>(n));
  if (!followed) {
    // Rows the elimination does not write: as rdc holds them (rare, so read
    // along the rows).
    for (std::int32_t i = 1; i < m && i <= n; ++i) {
      p.pivot[at(i)] = rdc(i, i);
      for (std::int32_t k = sparse::lbegin(i, ss); k <= sparse::lend(i, ss); ++k)
        p.lower[at(k)] = rdc(i, sparse::lcol(k, ss));
      for (std::int32_t k = sparse::ubegin(i, ss); k <= sparse::uend(i, ss); ++k)
        p.upper[at(k)] = rdc(i, sparse::ucol(k, ss));
    }
  }
  p.order = n;
  p.filling = true;
  p.epoch = array_layout_epoch();
  g_subsysdim = ndde::use_subsysdim;
  return &p;
}

void note_factorisation(std::int32_t ss) {
  if (ss < 1 || at(ss) >= g_packed.size()) return;
  PackedFactors& p = g_packed[at(ss)];
  if (!p.filling) return;
  p.filling = false;
  p.seen = int2::ntriang(ss);
}

const PackedFactors* packed_factors(std::int32_t ss, std::int32_t n) {
  if (ss < 1 || n < 1 || at(ss) >= g_packed.size()) return nullptr;
  const PackedFactors& p = g_packed[at(ss)];
  return p.order == n && current(p, ss) ? &p : nullptr;
}

}  // namespace wakro
