// Configured transport delays: a delay of TD seconds kept as a ring buffer of
// samples in the real store.
//
// _cfg works out the number of samples n from TD and the time step -- rounded
// to the nearest integer in the plain mode, truncated in the sub-step mode --
// limited to [0, maximum], and the sample spacing TD/n (0 when n = 0).
//
// Slots per instance: see wakro::blocks::layout below (delay1, delay2 and the
// STORF record both share: a time slot, then the samples). The buffer holds n samples (one when n = 0) in the plain mode and n + 1 in the
// sub-step mode.
//
// Plain mode: the output is the oldest sample; a new sample is written when its
// time has come. Sub-step mode: the time slot holds the time left until the next
// sample and the output interpolates linearly between the two oldest samples.
// A spacing below half a time step passes the input straight through.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace delay_buffer {  // STORF: the time slot, then the samples (kStorfHead + buffer)
enum : std::int32_t { kTime = 1, kFirstSample, kStorfHead = kTime };
}
namespace delay1 {
enum : std::int32_t { kSpacing = 1, kRtcfSize = kSpacing };     // RTCF
enum : std::int32_t { kSamples = 1, kRtciSize = kSamples };     // RTCI: n
enum : std::int32_t { kSubStep = 1, kRtclSize = kSubStep };     // RTCL
enum : std::int32_t { kOldest = 1, kStoriSize = kOldest };      // STORI: STORF index of the oldest sample
}
namespace delay2 {
enum : std::int32_t { kSpacing = 1, kInitial, kRtcfSize = kInitial };                 // RTCF
enum : std::int32_t { kSamples = 1, kStartFromInitial, kRtciSize = kStartFromInitial };  // RTCI
enum : std::int32_t { kSubStep = 1, kRtclSize = kSubStep };                           // RTCL
enum : std::int32_t { kOldest = 1, kNextSample, kStoriSize = kNextSample };           // STORI
}
}  // namespace wakro::blocks::layout

// subStep: nonzero selects the sub-step mode.
void delay1_cfg(std::int32_t subStep, std::int32_t maxSamples, double td);
void delay1_exe(double x, double& y);

// startFromInitial: nonzero fills the buffer with the initial value at time
// zero instead of the present input.
void delay2_cfg(std::int32_t subStep, std::int32_t maxSamples, std::int32_t startFromInitial,
                double td, double initial);
void delay2_exe(double x, double& y);
