// Per-subsystem index of the transformers (see tf_subsystems.h), held as one
// list of transformer numbers grouped by subsystem, with the start of each
// subsystem's group: first[ss - 1] .. first[ss] - 1.
#include "model/tf_subsystems.h"

#include <cstdlib>
#include <vector>

#include "model/e_s5.h"
#include "model/e_s5tap.h"

namespace e_s5 {
namespace {

struct Index {
  std::vector<std::int32_t> first;  // nss + 1 starts
  std::vector<std::int32_t> list;   // transformer numbers by subsystem
  std::int32_t jset = -1;
  std::int32_t nss = -1;
  bool stale = true;
};
Index g_index;

void build(std::int32_t nss) {
  Index& x = g_index;
  const std::int32_t n = jset > 0 && e_s5tap::tss.allocated() ? jset : 0;
  x.first.assign(static_cast<std::size_t>(nss) + 1, 0);
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int32_t ss = std::abs(e_s5tap::tss(k));
    if (ss >= 1 && ss <= nss) ++x.first[static_cast<std::size_t>(ss)];
  }
  for (std::size_t s = 1; s < x.first.size(); ++s) x.first[s] += x.first[s - 1];
  x.list.assign(static_cast<std::size_t>(x.first.back()), 0);
  std::vector<std::int32_t> next(x.first.begin(), x.first.end() - 1);
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int32_t ss = std::abs(e_s5tap::tss(k));
    if (ss >= 1 && ss <= nss) x.list[static_cast<std::size_t>(next[static_cast<std::size_t>(ss - 1)]++)] = k;
  }
  x.jset = jset;
  x.nss = nss;
  x.stale = false;
  tf_index_view = {x.first.data(), x.list.data(), jset, nss, true};
}

}  // namespace

std::span<const std::int32_t> in_subsystem_built(std::int32_t ss, std::int32_t nss) {
  Index& x = g_index;
  if (x.stale || x.jset != jset || x.nss != nss) build(nss);
  if (ss < 1 || ss > nss) return {};
  const auto b = static_cast<std::size_t>(x.first[static_cast<std::size_t>(ss - 1)]);
  const auto e = static_cast<std::size_t>(x.first[static_cast<std::size_t>(ss)]);
  return std::span<const std::int32_t>(x.list).subspan(b, e - b);
}

void mark_stale() {
  g_index.stale = true;
  tf_index_view.ready = false;
}

}  // namespace e_s5
