// Sampled RMS meters, built as a numerical relay measures: the signal is sampled
// N times per period of f (or once per step when the step is too coarse for N),
// each sample placed at its exact instant by linear interpolation inside the
// step, and the RMS is the square root of the moving average of the last Neff
// squared samples.
//
// Slots per call, in the order they are taken: the records of
// wakro::blocks::layout below; dgtl_rms, dgtl_rms3 and dgtl_rms3a take those of
// smpl_num, smpler and samp_buff in turn.
// Neff is fixed at the time-zero pass: N when N delt f < 1 (Ts = 1 / (N f)),
// else the samples per period at one per step (Ts = delt). The clock is not set
// at time zero: it starts from its cleared slot, so the first sample is taken at
// time zero. Sample times accumulate and are compared with `time` within 1e-9
// delt, so that rounding never moves a sample by a step.
//
// dgtl_rms3 checks its nodes at the time-zero pass (tag "DGTL_RMS3"); node 0
// reads 0 V.
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace smpl_num {
enum : std::int32_t { kInterval = 1, kNextSample, kStorfSize = kNextSample };  // STORF: Ts, the next sample time
enum : std::int32_t { kLastSample = 1, kNeff, kStoriSize = kNeff };           // STORI: last sample number, Neff
}
namespace smpler {  // STORF
enum : std::int32_t { kPrevious = 1, kHeld, kStorfSize = kHeld };
}
namespace samp_buff {  // STORF: the running mean, then the Neff samples
enum : std::int32_t { kMean = 1, kStorfHead = kMean };
constexpr std::int32_t storf_size(std::int32_t Neff) { return kStorfHead + Neff; }
}
namespace dgtl_rms {  // STORI; STORF with Neff samples
enum : std::int32_t { kStoriSize = smpl_num::kStoriSize };
constexpr std::int32_t storf_size(std::int32_t Neff) {
  return std::int32_t{smpl_num::kStorfSize} + smpler::kStorfSize + samp_buff::storf_size(Neff);
}
}
}  // namespace wakro::blocks::layout

// The sampling clock: k the sample number (1 .. Neff) on a step that takes a
// sample, else 0; frac the fraction of delt by which the sample precedes the end
// of the step.
void smpl_num(std::int32_t N, double f, double& frac, std::int32_t& Neff, std::int32_t& k);
// Sample and hold with the sample interpolated at its instant.
void smpler(std::int32_t k, double frac, double x, double& xs);
// Moving mean of the last Neff samples, started with Neff copies of x0.
void samp_buff(std::int32_t k, std::int32_t Neff, double x, double x0, double& mean);
// G times the RMS of x; starts at G |x0|.
void dgtl_rms(std::int32_t N, double f, double x, double G, double x0, double& out);
// G times the line-to-line RMS of the three node voltages.
void dgtl_rms3(std::int32_t N, std::int32_t ss, std::int32_t na, std::int32_t nb, std::int32_t nc, double f,
               double G, double x0, double& out);
// G times the RMS of the three signals, sqrt((a^2 + b^2 + c^2) / 3).
void dgtl_rms3a(std::int32_t N, double a, double b, double c, double f, double G, double x0, double& out);
