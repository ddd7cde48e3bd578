// Module mrunseed: the random stream of the multiple runs.
#pragma once

#include <cstdint>

namespace mrunseed {

inline std::int32_t mseed = 0;      // generator state, advanced by every draw
inline std::int32_t mseedsave = 0;  // the initial seed of the multiple run

}  // namespace mrunseed
