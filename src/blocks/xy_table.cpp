// The configured XY tables of xy_table.h. Both layouts are read through one
// search: the x points at stride 1 from xBase, output j's values at stride 1 from
// yBase(j).
#include "blocks/xy_table.h"

#include <cmath>

#include "blocks/conventions.h"
#include "blocks/slots.h"

using wakro::blocks::block_fatal;
using wakro::blocks::nint_sat;
using wakro::blocks::Slots;
using wakro::blocks::take_rtcf;

namespace {

constexpr char kTag[] = "XY_TABLE_T";

// Sizes: n >= 1, m >= 0, both at most `limit` (0: no limit).
void check_sizes(std::int32_t n, std::int32_t m, std::int32_t limit) {
  const bool bad = n < 1 || m < 0 || (limit > 0 && (n > limit || m > limit));
  if (bad) block_fatal(kTag, {"Table size out of range: points must be 1 to 10 and outputs 0 to 10."});
  if (limit == 0 && n > (1 << 30) / (m + 1))
    block_fatal(kTag, {"Table size out of range: too many points and outputs."});
}

void check_ascending(const double* x, std::int32_t n) {
  for (std::int32_t k = 1; k < n; ++k)
    if (!(x[k - 1] < x[k])) block_fatal(kTag, {"Data in the table should be in ascending order"});
}

// Interpolates m outputs from the block: x points at block(1..n), output j's
// values at block(yBase(j) + 1 .. yBase(j) + n) with yBase(j) = j * groupStride.
void search(const Slots<double>& t, std::int32_t n, std::int32_t m, std::int32_t groupStride,
            std::int32_t nearest, double x, double* out) {
  std::int32_t lo = 1, hi = 1;
  double w = 0.0;
  if (x <= t(wakro::blocks::layout::xytable_t::kFirstX)) {
    lo = hi = 1;
  } else if (x >= t(n)) {
    lo = hi = n;
  } else {
    std::int32_t k = 1;
    while (x > t(k + 1)) ++k;
    lo = k;
    hi = k + 1;
    w = xy_weight(x, t(k), t(k + 1), nearest);
  }
  for (std::int32_t j = 1; j <= m; ++j) {
    const double a = t(j * groupStride + lo), b = t(j * groupStride + hi);
    out[j - 1] = w * b + (1.0 - w) * a;
  }
}

}  // namespace

double xy_weight(double x, double a, double b, std::int32_t nearest) {
  const double w = (x - a) / (b - a);
  return nearest != 0 ? static_cast<double>(nint_sat(w)) : w;
}

void xytable_t_cfg(std::int32_t n, std::int32_t m, const double* data) {
  using namespace wakro::blocks::layout::xytable_t;
  check_sizes(n, m, kXyGroup);
  check_ascending(data, n);
  const Slots<double> t = take_rtcf(kRtcfSize);
  for (std::int32_t j = 0; j <= m; ++j)
    for (std::int32_t k = 1; k <= n; ++k) t(j * kXyGroup + k) = data[j * kXyGroup + k - 1];
}

void xytable_t_exe(std::int32_t n, std::int32_t m, std::int32_t nearest, double x, double* out) {
  using namespace wakro::blocks::layout::xytable_t;
  check_sizes(n, m, kXyGroup);
  const Slots<double> t = take_rtcf(kRtcfSize);
  for (std::int32_t j = 0; j < kXyGroup; ++j) out[j] = 0.0;
  search(t, n, m, kXyGroup, nearest, x, out);
}

void xytable_t2_cfg(std::int32_t n, std::int32_t m, const double* data) {
  using namespace wakro::blocks::layout::xytable_t2;
  check_sizes(n, m, 0);
  check_ascending(data, n);
  const Slots<double> t = take_rtcf(rtcf_size(n, m));
  for (std::int32_t k = 1; k <= rtcf_size(n, m); ++k) t(k) = data[k - 1];
}

void xytable_t2_exe(std::int32_t n, std::int32_t m, std::int32_t nearest, double x, double* out) {
  using namespace wakro::blocks::layout::xytable_t2;
  check_sizes(n, m, 0);
  const Slots<double> t = take_rtcf(rtcf_size(n, m));
  for (std::int32_t j = 0; j < m; ++j) out[j] = 0.0;
  search(t, n, m, n, nearest, x, out);
}
