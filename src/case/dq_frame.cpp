// The kept d-q-0 frames (see dq_frame.h).
#include "case/dq_frame.h"

#include <array>
#include <bit>
#include <cmath>

namespace wakro::casecode {
namespace {

constexpr double kTwoThirdsPi = 2.094395102393195;  // 2 pi / 3, as trdqo takes it

DqFrame compute(double theta) {
  DqFrame f;
  f.c0 = std::cos(theta);
  f.c1 = std::cos(theta - kTwoThirdsPi);
  f.c2 = -f.c0 - f.c1;
  f.s0 = std::sin(theta);
  f.s1 = std::sin(theta - kTwoThirdsPi);
  f.s2 = -f.s0 - f.s1;
  return f;
}

}  // namespace

namespace dq_detail {

Kept::Kept() { clear(); }

void Kept::clear() {
  const DqFrame zero = compute(0.0);
  keys.fill(std::bit_cast<std::uint64_t>(0.0));
  frames.fill(zero);
  oldest = 0;
  computed = 0;
}

Kept g_kept;

DqFrame computed_frame(double theta) {
  const std::size_t k = g_kept.oldest;
  g_kept.oldest = (k + 1) % kKept;
  g_kept.keys[k] = std::bit_cast<std::uint64_t>(theta);
  g_kept.frames[k] = compute(theta);
  ++g_kept.computed;
  return g_kept.frames[k];
}

}  // namespace dq_detail

void clear_dq_frames() { dq_detail::g_kept.clear(); }

std::int64_t dq_frames_computed() { return dq_detail::g_kept.computed; }

}  // namespace wakro::casecode
