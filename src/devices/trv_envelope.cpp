// The transient-recovery-voltage monitor (see trv_envelope.h).
#include "devices/trv_envelope.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/e_s1.h"

namespace {

constexpr const char* kTag = "TRVENVELOPE2";
constexpr std::int32_t kMaxListed = 4;
constexpr std::int32_t kStandard = 4;  // envelopes of the standard set
using namespace wakro::devices::layout::trvenvelope2;
enum : std::int32_t { kIdle = 0, kTiming = 1 };
constexpr std::int32_t kStartOpening = 2;
constexpr std::int32_t kReset = 0;

}  // namespace

namespace trv_envelope {

double envelope(double t, double t1, double u1, double t2, double u2) {
  if (t <= t1) return t1 > 0.0 ? u1 * t / t1 : u1;
  if (t >= t2) return u2;
  return u1 + (t - t1) * (u2 - u1) / (t2 - t1);
}

}  // namespace trv_envelope

void trvenvelope2_cfg(std::int32_t type, std::int32_t n1, std::int32_t n2, double x,
                      std::span<const double, 16> a, std::span<const double, 8> b,
                      std::span<const double, 16> c) {
  namespace blk = wakro::blocks;
  bool bad = false;
  for (const auto& [n, name] : {std::pair{n1, "N1"}, std::pair{n2, "N2"}}) {
    if (n >= 0 && n <= kMaxListed) continue;
    blk::block_error_line(std::string("Number of listed envelopes ") + name + " = " +
                          std::to_string(n) + " must lie between 0 and 4");
    bad = true;
  }
  if (bad) blk::block_stop(kTag);
  const auto l = blk::take_rtcl(kRtclSize);
  l(kL1) = type >= 2 && type <= 5;
  l(kL2) = type < 4 && n1 + n2 > 0;
  l(kL3) = type == 6;
  const auto i = blk::take_rtci(kRtciSize);
  i(kN1) = n1;
  i(kN2) = n2;
  const auto f = blk::take_rtcf(kRtcfSize);
  f(kX) = x;
  for (std::int32_t k = 0; k < 16; ++k) f(kA + k) = a[k];
  for (std::int32_t k = 0; k < 8; ++k) f(kB + k) = b[k];
  for (std::int32_t k = 0; k < 16; ++k) f(kC + k) = c[k];
}

void trvenvelope2_exe(std::int32_t nc, std::int32_t /*k*/, std::span<const std::int32_t, 3> state,
                      std::span<const double, 3> v, std::span<std::int32_t> fa,
                      std::span<std::int32_t> fb, std::span<std::int32_t> fc,
                      std::span<double> ea, std::span<double> eb, std::span<double> ec) {
  namespace blk = wakro::blocks;
  using trv_envelope::envelope;
  // Step 1: the configuration, checked against NC and the outputs, and the store.
  const auto l = blk::take_rtcl(kRtclSize);
  const auto n = blk::take_rtci(kRtciSize);
  const auto f = blk::take_rtcf(kRtcfSize);
  const std::int32_t n1 = n(kN1);
  const std::int32_t n2 = n(kN2);
  const std::int32_t selected =
      (l(kL1) ? kStandard : 0) + (l(kL2) ? n1 + n2 : 0) + (l(kL3) ? 1 : 0);
  const auto too_short = [nc](std::size_t size, std::int32_t per) {
    return size < static_cast<std::size_t>(per) * static_cast<std::size_t>(nc);
  };
  if (nc != selected || too_short(fa.size(), 1) || too_short(fb.size(), 1) ||
      too_short(fc.size(), 1) || too_short(ea.size(), 2) || too_short(eb.size(), 2) ||
      too_short(ec.size(), 2)) {
    blk::block_fatal(kTag, {"Number of envelopes " + std::to_string(nc) +
                                " does not match the " + std::to_string(selected) +
                                " envelopes selected, or an output is shorter"});
  }
  // Pole p (1 .. 3) is slot p of both: its state and its opening time.
  static_assert(kPoleA == 1 && kOpeningA == 1);
  const auto s = blk::take_stori(kStoriSize);
  const auto stored = blk::take_storf(storf_size(nc));
  const std::span<std::int32_t> flags[3] = {fa, fb, fc};
  const std::span<double> out[3] = {ea, eb, ec};
  for (auto fl : flags) std::fill(fl.begin(), fl.begin() + nc, 0);
  const auto value = [&](std::int32_t pole, std::int32_t j) -> double& {
    return stored(kValues - 1 + (pole - 1) * nc + j);
  };

  // Step 2: poles that start opening, and resets.
  const double now = e_s1::time;
  for (std::int32_t p = 1; p <= 3; ++p) {
    if (state[p - 1] == kStartOpening && s(p) == kIdle) {
      s(p) = kTiming;
      stored(p) = now - e_s1::delt;
    } else if (state[p - 1] == kReset) {
      s(p) = kIdle;
      stored(p) = 0.0;
      for (std::int32_t j = kValues; j <= storf_size(nc); ++j) stored(j) = 0.0;
    }
  }

  // Step 3: the envelopes of every timing pole, and the flags.
  const auto a = [&](std::int32_t k) { return f(kA + k - 1); };
  const auto b = [&](std::int32_t k) { return f(kB + k - 1); };
  const auto c = [&](std::int32_t k) { return f(kC + k - 1); };
  for (std::int32_t p = 1; p <= 3; ++p) {
    if (s(p) != kTiming) continue;
    const double t = now - stored(p);
    const double vv = std::abs(v[p - 1]);
    std::int32_t j = 0;
    const auto keep = [&](double u) {
      value(p, ++j) = u;
      if (vv > u + f(kX)) flags[p - 1][j - 1] = 1;
    };
    if (l(kL1))
      for (std::int32_t q = 1; q <= kStandard; ++q)
        keep(envelope(t, a(4 * q - 3), a(4 * q - 2), a(4 * q - 1), a(4 * q)));
    if (l(kL2)) {
      for (std::int32_t q = 1; q <= n1; ++q) keep(envelope(t, b(2 * q - 1), b(2 * q), b(2 * q - 1), b(2 * q)));
      for (std::int32_t q = 1; q <= n2; ++q)
        keep(envelope(t, c(4 * q - 3), c(4 * q - 2), c(4 * q - 1), c(4 * q)));
    }
    if (l(kL3)) keep(envelope(t, a(kT1), a(kU1), a(kT1), a(kU1)));
  }

  // Step 4: the envelopes and their negatives.
  for (std::int32_t p = 1; p <= 3; ++p) {
    for (std::int32_t j = 1; j <= nc; ++j) {
      out[p - 1][j - 1] = value(p, j);
      out[p - 1][nc + j - 1] = -value(p, j);
    }
  }
}
