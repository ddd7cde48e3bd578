// The kept d-q-0 frames (see dq_frame.h).
#include "case/dq_frame.h"

#include <array>
#include <bit>
#include <cmath>

namespace wakro::casecode {
namespace {

constexpr double kTwoThirdsPi = 2.094395102393195;  // 2 pi / 3, as trdqo takes it

// Eight frames: the inverters each take two or three angles a step and look
// one of them up again in the next step.
constexpr std::size_t kKept = 8;

struct Kept {
  std::uint64_t key = 0;
  bool used = false;
  DqFrame frame;
};

std::array<Kept, kKept> g_kept{};
std::size_t g_newest = 0;  // index of the frame computed last
std::int64_t g_computed = 0;

}  // namespace

DqFrame dq_frame(double theta) {
  const std::uint64_t key = std::bit_cast<std::uint64_t>(theta);
  // Newest first: an angle is mostly looked up again right after it was taken.
  for (std::size_t k = 0; k < kKept; ++k) {
    Kept& e = g_kept[(g_newest + kKept - k) % kKept];
    if (e.used && e.key == key) return e.frame;
  }
  g_newest = (g_newest + 1) % kKept;
  Kept& e = g_kept[g_newest];
  DqFrame& f = e.frame;
  f.c0 = std::cos(theta);
  f.c1 = std::cos(theta - kTwoThirdsPi);
  f.c2 = -f.c0 - f.c1;
  f.s0 = std::sin(theta);
  f.s1 = std::sin(theta - kTwoThirdsPi);
  f.s2 = -f.s0 - f.s1;
  e.key = key;
  e.used = true;
  ++g_computed;
  return f;
}

void clear_dq_frames() {
  g_kept = {};
  g_newest = 0;
  g_computed = 0;
}

std::int64_t dq_frames_computed() { return g_computed; }

}  // namespace wakro::casecode
