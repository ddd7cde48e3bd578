// The rotating d-q-0 frame at one angle, for model code that turns several
// three-phase sets into that frame (and back) at the same angle in one step.
//
// trdqo takes the cosines and sines of the angle (and of the angle less
// 2 pi / 3) on every call. The grid-forming inverter turns up to eight sets a
// step at two or three angles, one of them last step's. dq_frame takes those
// four values once per angle and keeps the frames of the last few angles, found
// again by the angle's exact bits: the same call on the same argument, so every
// result is the one trdqo gives, bit for bit (the frame and its two directions,
// to_dq and from_dq, are the machine library's that trdqo itself uses).
//
// The kept frames are dropped by clear_dq_frames (each run does so from its
// begin pass), so that no run reuses what another one computed.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "machines/dq_library.h"

namespace wakro::casecode {

using machines::DqFrame;
using machines::from_dq;
using machines::to_dq;

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

}  // namespace wakro::casecode
