// Configured transport delays: a delay of TD seconds kept as a ring buffer of
// samples in the real store.
//
// _cfg works out the number of samples n from TD and the time step -- rounded
// to the nearest integer in the plain mode, truncated in the sub-step mode --
// limited to [0, maximum], and the sample spacing TD/n (0 when n = 0).
//
// Slots per instance:
//   delay1  RTCF 1: spacing;                RTCI 1: n;                 RTCL 1: sub-step mode
//   delay2  RTCF 2: spacing, initial value; RTCI 2: n, start switch;   RTCL 1: sub-step mode
//   both    STORF 1 + buffer: a time slot, then the samples;
//           STORI: the STORF index of the oldest sample (delay2 then a sample counter).
// The buffer holds n samples (one when n = 0) in the plain mode and n + 1 in the
// sub-step mode.
//
// Plain mode: the output is the oldest sample; a new sample is written when its
// time has come. Sub-step mode: the time slot holds the time left until the next
// sample and the output interpolates linearly between the two oldest samples.
// A spacing below half a time step passes the input straight through.
#pragma once

#include <cstdint>

// subStep: nonzero selects the sub-step mode.
void delay1_cfg(std::int32_t subStep, std::int32_t maxSamples, double td);
void delay1_exe(double x, double& y);

// startFromInitial: nonzero fills the buffer with the initial value at time
// zero instead of the present input.
void delay2_cfg(std::int32_t subStep, std::int32_t maxSamples, std::int32_t startFromInitial,
                double td, double initial);
void delay2_exe(double x, double& y);
