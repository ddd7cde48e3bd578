// The spark gap: a switching branch that flashes over when the magnitude of its
// voltage passes the breakdown level |VBD| (kV) and goes out at the next zero of
// its current. With interpolation the network solution finds both instants inside
// the step (modes voltage_above and current_crossing); without it the gap fires
// on the first step whose branch voltage is above the level and goes out on the
// first step whose current has the other sign than at the call before (or is 0).
// RON and ROFF in ohms. Storage per call: STORF 1, the branch current of the call.
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace sparkgap {  // e_sparkgap, storf: the branch current of the last call
enum : std::int32_t { kLastCurrent = 1, kStorfSize = kLastCurrent };
}
}  // namespace wakro::devices::layout

void e_sparkgap(std::int32_t ss, std::int32_t br, double ron, double roff, double vbd);
