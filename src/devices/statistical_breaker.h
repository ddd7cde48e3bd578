// The statistical breaker command: a breaker command whose fall is passed on to
// each of the three phases after a random delay of its own, drawn from a normal
// distribution truncated to NSD standard deviations and spread over
// [DMIN, DMAX] seconds (random_mrun2 of the normal kind). A command is on when
// it is not zero; while it is on every output is 1. The delays are drawn at the
// fall, phases A, B, C in this order, from the device's seed: |SEED|, or with
// SEED = 0 a seed taken from the clock (setseed), set again on the first step of
// every run.
//
// statbrk1_cfg refuses DMIN >= DMAX, DMAX <= 0 and NSD <= 0 (each with its own
// error line, then the run ends under the tag "STATBRK") and appends RTCF 3:
// DMIN, DMAX, NSD. statbrk1_exe reads them back and keeps STORI 6 (previous
// command; states of A, B, C; the seed; the seed at the start of the run) and
// STORF 3 (switching times of A, B, C).
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace statbrk1 {  // rtcf of the _cfg; stori command, three phase states, seeds; storf opening times
enum : std::int32_t { kDmin = 1, kDmax, kNsd, kRtcfSize = kNsd };
enum : std::int32_t { kCommand = 1, kStateA, kSeed = kStateA + 3, kRunSeed, kStoriSize = kRunSeed };
enum : std::int32_t { kOpenA = 1, kStorfSize = kOpenA + 2 };
}
}  // namespace wakro::devices::layout

void statbrk1_cfg(double dmin, double dmax, double nsd);
void statbrk1_exe(std::int32_t seed, std::int32_t ctrl, std::int32_t& sa, std::int32_t& sb,
                  std::int32_t& sc);
