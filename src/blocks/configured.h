// Configured blocks: ramp, scaling, discretizer, counter, triangle wave and
// transfer characteristic, each a pair of routines.
//
// <name>_cfg runs once in the case's begin pass: it checks its parameters, stops
// the run on a bad one (before it takes any slot, so the configuration pointers
// stay where they were) and writes its derived constants to the configuration
// store. <name>_exe runs every step in the same call order, reads the same slots
// back and keeps any changing state in the storage arrays.
//
// The slots of each instance (configuration written by _cfg, read by _exe;
// storage used by _exe) are named in wakro::blocks::layout below, in the order
// they are written; each record's size is its last name.
//
// Array arguments hold at least n values; a shorter array stops the run.
#pragma once

#include <cstdint>
#include <span>

namespace wakro::blocks::layout {
namespace ramp1 {  // RTCF: slope = (Y2 - Y1)/(X2 - X1)
enum : std::int32_t { kX1 = 1, kX2, kY1, kY2, kSlope, kRtcfSize = kSlope };
}
namespace convert_scale1 {  // RTCF: gain = (Y1 - Y2)/(X1 - X2), offset = Y1 - X1*gain
enum : std::int32_t { kGain = 1, kOffset, kRtcfSize = kOffset };
}
namespace discretizer1 {  // RTCF as convert_scale1, then RTCI: the lowest and highest level
enum : std::int32_t { kLowest = 1, kHighest, kRtciSize = kHighest };
}
namespace counter1 {
enum : std::int32_t { kLower = 1, kUpper, kWrapMode, kRtciSize = kWrapMode };  // RTCI
enum : std::int32_t { kCount = 1, kStoriSize = kCount };                          // STORI
}
namespace sawtooth1 {
enum : std::int32_t { kMaximum = 1, kMinimum, kRtcfSize = kMinimum };  // RTCF
enum : std::int32_t { kOutput = 1, kStorfSize = kOutput };            // STORF
enum : std::int32_t { kDirection = 1, kStoriSize = kDirection };      // STORI
}
namespace txferfnc1 {  // RTCF: the slope between the break points last
enum : std::int32_t { kX1 = 1, kY1, kX2, kY2, kSlopeBelow, kSlopeAbove, kSlopeBetween, kRtcfSize = kSlopeBetween };
}
}  // namespace wakro::blocks::layout

// Ramp: Y1 up to X1, Y2 from X2 on, a straight line between.
void ramp1_cfg(double x1, double x2, double y1, double y2);
void ramp1_exe(double x, double& y);

// Straight-line scaling through (X1, Y1) and (X2, Y2) of n inputs.
void convert_scale1_cfg(double x1, double y1, double x2, double y2);
void convert_scale1_exe(std::int32_t n, std::span<const double> x, std::span<double> y);

// Scaling as convert_scale1, then rounding to whole levels N1 .. N2.
void discretizer1_cfg(double x1, std::int32_t n1, double x2, std::int32_t n2);
void discretizer1_exe(std::int32_t n, std::span<const double> x, std::span<std::int32_t> out);

// Up/down counter between lower and upper that saturates (wrap mode 0) or wraps
// to the opposite limit. Direction >= 1 counts up, < 0 down, 0 holds. The
// time-zero pass and a nonzero reset switch (applied after this step's count)
// set the count to the reset value clamped to [lower, upper].
void counter1_cfg(std::int32_t lower, std::int32_t upper, std::int32_t wrapMode);
void counter1_exe(std::int32_t direction, std::int32_t resetSwitch, std::int32_t resetValue,
                  std::int32_t& out);

// Symmetric triangle wave between minimum and maximum with the period 1/F,
// starting in the middle, rising; it stays inside the band at any F.
void sawtooth1_cfg(double maximum, double minimum);
void sawtooth1_exe(double f, double& y);

// Piecewise-linear characteristic with the break points (X1, Y1) and (X2, Y2).
void txferfnc1_cfg(double x1, double y1, double x2, double y2, double slopeBelow, double slopeAbove);
void txferfnc1_exe(double x, double& y);
