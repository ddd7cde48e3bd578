// The rotating d-q-0 frame at one angle, for model code that turns several
// three-phase sets into that frame (and back) at the same angle in one step.
//
// trdqo takes the cosines and sines of the angle (and of the angle less
// 2 pi / 3) on every call. The grid-forming inverter turns up to eight sets a
// step at two or three angles, one of them last step's. dq_frame takes those
// four values once per angle and keeps the frames of the last few angles, found
// again by the angle's exact bits: the same call on the same argument, so every
// result is the one trdqo gives, bit for bit. to_dq and from_dq are trdqo's
// two directions with the same operations in the same order.
//
// The kept frames are dropped by clear_dq_frames (each run does so from its
// begin pass), so that no run reuses what another one computed.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace wakro::casecode {

struct DqFrame {
  double c0 = 0.0, c1 = 0.0, c2 = 0.0;  // cos theta, cos(theta - 2 pi / 3), -c0 - c1
  double s0 = 0.0, s1 = 0.0, s2 = 0.0;  // the sines alike
};

namespace dq_detail {

// Eight frames: the inverters each take two or three angles a step and look
// one of them up again in the next step. Every entry always holds the true
// frame of its key (a clear fills them all with the frame at 0.0), so that a
// look-up is a plain comparison of keys.
inline constexpr std::size_t kKept = 8;

struct Kept {
  std::array<std::uint64_t, kKept> keys{};
  std::array<DqFrame, kKept> frames{};
  std::size_t oldest = 0;  // the entry a new angle replaces
  std::int64_t computed = 0;

  Kept();
  void clear();
};

extern Kept g_kept;

// The frame at an angle not kept: computed and kept in place of the oldest.
DqFrame computed_frame(double theta);

}  // namespace dq_detail

// The frame at theta: from the kept frames when one was taken at the very same
// angle (same bits), else computed and kept in place of the oldest. A copy:
// a later call may replace the kept one. The look-up is in line (it answers
// most calls of a step); the computation is not.
inline DqFrame dq_frame(double theta) {
  const std::uint64_t key = std::bit_cast<std::uint64_t>(theta);
  const dq_detail::Kept& kept = dq_detail::g_kept;
  for (std::size_t k = 0; k < dq_detail::kKept; ++k)
    if (kept.keys[k] == key) return kept.frames[k];
  return dq_detail::computed_frame(theta);
}

// Forgets every kept frame.
void clear_dq_frames();

// The frames computed (not found) since the last clear_dq_frames.
std::int64_t dq_frames_computed();

// a, b, c to d, q, z: trdqo(a, b, c, d, q, z, theta, 1).
inline void to_dq(const DqFrame& f, double a, double b, double c, double& d, double& q, double& z) {
  constexpr double kTwoThirds = 0.666666666666667;
  constexpr double kOneThird = 0.333333333333333;
  d = kTwoThirds * (f.c0 * a + f.c1 * b + f.c2 * c);
  q = kTwoThirds * (f.s0 * a + f.s1 * b + f.s2 * c);
  z = (a + b + c) * kOneThird;
}

// d, q, z to a, b, c: trdqo(a, b, c, d, q, z, theta, -1).
inline void from_dq(const DqFrame& f, double d, double q, double z, double& a, double& b, double& c) {
  a = f.c0 * d + f.s0 * q + z;
  b = f.c1 * d + f.s1 * q + z;
  c = f.c2 * d + f.s2 * q + z;
}

}  // namespace wakro::casecode
