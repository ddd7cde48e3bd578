// The kept d-q-0 frames (see dq_frame.h).
#include "case/dq_frame.h"

#include <array>
#include <bit>

namespace wakro::casecode {
namespace dq_detail {

Kept::Kept() { clear(); }

void Kept::clear() {
  const DqFrame zero = machines::dq_frame_at(0.0);
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
  g_kept.frames[k] = machines::dq_frame_at(theta);
  ++g_kept.computed;
  return g_kept.frames[k];
}

}  // namespace dq_detail

void clear_dq_frames() { dq_detail::g_kept.clear(); }

std::int64_t dq_frames_computed() { return dq_detail::g_kept.computed; }

}  // namespace wakro::casecode
