// The kept d-q-0 frames (see dq_frame.h).
#include "case/dq_frame.h"

#include <array>
#include <bit>
#include <cmath>

namespace wakro::casecode {
namespace {

constexpr double kTwoThirdsPi = 2.094395102393195;  // 2 pi / 3, as trdqo takes it

// Eight frames: the inverters each take two or three angles a step and look
// one of them up again in the next step. Every entry always holds the true
// frame of its key (a clear fills them all with the frame at 0.0), so that a
// look-up is a plain comparison of keys.
constexpr std::size_t kKept = 8;

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

struct Kept {
  std::array<std::uint64_t, kKept> keys{};
  std::array<DqFrame, kKept> frames{};
  std::size_t oldest = 0;  // the entry a new angle replaces
  std::int64_t computed = 0;

  Kept() { clear(); }
  void clear() {
    const DqFrame zero = compute(0.0);
    keys.fill(std::bit_cast<std::uint64_t>(0.0));
    frames.fill(zero);
    oldest = 0;
    computed = 0;
  }
};

Kept g_kept;

}  // namespace

DqFrame dq_frame(double theta) {
  const std::uint64_t key = std::bit_cast<std::uint64_t>(theta);
  for (std::size_t k = 0; k < kKept; ++k)
    if (g_kept.keys[k] == key) return g_kept.frames[k];
  const std::size_t k = g_kept.oldest;
  g_kept.oldest = (k + 1) % kKept;
  g_kept.keys[k] = key;
  g_kept.frames[k] = compute(theta);
  ++g_kept.computed;
  return g_kept.frames[k];
}

void clear_dq_frames() { g_kept.clear(); }

std::int64_t dq_frames_computed() { return g_kept.computed; }

}  // namespace wakro::casecode
