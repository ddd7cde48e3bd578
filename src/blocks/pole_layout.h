// The storage records of the first-order poles (poles.h), slot by slot.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace pole {  // realpole, diffpole: STORF; STORI
enum : std::int32_t { kInput = 1, kState, kCachedT, kCoefficient, kOut, kStorfSize = kOut };
enum : std::int32_t { kInactive = 1, kCachedSpan, kStoriSize = kCachedSpan };
}  // namespace pole
namespace ldlgpole {  // STORF; STORI as pole
enum : std::int32_t { kInput = 1, kState, kCachedT, kCoefficient, kLead, kOut, kStorfSize = kOut };
}
}  // namespace wakro::blocks::layout
