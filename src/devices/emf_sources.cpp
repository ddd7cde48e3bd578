// esys1, ebr1p2, ebr3p2 and their reference angle.
#include "devices/emf_sources.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

#include "blocks/slots.h"
#include "diag/validators.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using wakro::kTwoPi;
constexpr double kThirdTurn = 2.094395102393195;
constexpr double kSqrt3 = 1.732050807568877;
constexpr double kThirtyDegrees = 0.523598776;
constexpr double kThreePeriods = 18.84955592;      // 3 x 2 pi
constexpr double kSoftStartRate = 0.053051648;     // 1 / (3 x 2 pi)

// One 2 pi correction into [0, 2 pi].
double wrap_once(double a) {
  if (a > kTwoPi) return a - kTwoPi;
  if (a < 0.0) return a + kTwoPi;
  return a;
}

namespace L = wakro::devices::layout;

}  // namespace

double e_omegaref(double omega) {
  const auto s = wakro::blocks::take_storf(L::omegaref::kStorfSize);
  if (e_s1::timezero) {
    s(L::omegaref::kAngle) = kTwoPi;
    return s(L::omegaref::kAngle);
  }
  const double dt = e_s1::time - s(L::omegaref::kLastTime);
  s(L::omegaref::kLastTime) = e_s1::time;
  s(L::omegaref::kAngle) = wrap_once(s(L::omegaref::kAngle) + dt * omega);
  return s(L::omegaref::kAngle);
}

void esys1(std::int32_t ss, std::int32_t br1, std::int32_t br2, std::int32_t br3, double magnitude,
           double omega, double phase) {
  const auto s = wakro::blocks::take_stor(L::esys1::kStorSize);
  const std::int32_t b[3] = {std::abs(br1), std::abs(br2), std::abs(br3)};
  const double sign[3] = {br1 < 0 ? -1.0 : 1.0, br2 < 0 ? -1.0 : 1.0, br3 < 0 ? -1.0 : 1.0};
  const bool line_to_line = ss < 1;
  const std::int32_t iss = std::abs(ss);
  const double w = std::abs(omega);
  // Both directions start from angle 0 at time zero.
  if (e_s1::timezero) {
    for (const std::int32_t k : b) wakro_testbrn("ESYS1", k, iss);
    s(L::esys1::kAngle) = -e_s1::delt * w;
  }
  double m = magnitude;
  if (omega < 0.0 && e_s1::time < kThreePeriods / w) m = e_s1::time * magnitude * w * kSoftStartRate;
  double angle = s(L::esys1::kAngle) + e_s1::delt * w;
  if (angle > kTwoPi) angle -= kTwoPi;
  s(L::esys1::kAngle) = angle;
  double theta = s(L::esys1::kAngle) + phase;
  if (line_to_line) {
    m *= kSqrt3;
    theta += kThirtyDegrees;
  }
  branches::ebr(b[0], iss) = sign[0] * m * std::sin(theta);
  branches::ebr(b[1], iss) = sign[1] * m * std::sin(theta - kThirdTurn);
  branches::ebr(b[2], iss) = sign[2] * m * std::sin(theta + kThirdTurn);
}

void ebr1p2(std::int32_t ss, std::int32_t br, double magnitude, double omega, double phase,
            double ramp, std::int32_t dc) {
  const auto s = wakro::blocks::take_stor(L::ramped_emf::kStorSize);
  if (e_s1::timezero) {
    wakro_testbrn("EBR1P2", br, ss);
    if (ramp > e_s1::delt) s(L::ramped_emf::kRampRate) = 1.0 / ramp;
  }
  double m = magnitude;
  if (e_s1::time < ramp) m = magnitude * e_s1::time * s(L::ramped_emf::kRampRate);
  const double theta = e_omegaref(omega);
  branches::ebr(br, ss) = dc == 0 ? m * std::sin(phase + theta) : m;
}

void ebr3p2(std::int32_t ss, std::int32_t br1, std::int32_t br2, std::int32_t br3, double magnitude,
            double omega, double phase, double ramp) {
  const auto s = wakro::blocks::take_stor(L::ramped_emf::kStorSize);
  if (e_s1::timezero) {
    for (const std::int32_t k : {br1, br2, br3}) wakro_testbrn("EBR3P2", k, ss);
    if (ramp > e_s1::delt) s(L::ramped_emf::kRampRate) = 1.0 / ramp;
  }
  double m = magnitude;
  if (e_s1::time < ramp) m = magnitude * e_s1::time * s(L::ramped_emf::kRampRate);
  const double theta = e_omegaref(omega) + phase;
  branches::ebr(br1, ss) = m * std::sin(theta);
  branches::ebr(br2, ss) = m * std::sin(theta - kThirdTurn);
  branches::ebr(br3, ss) = m * std::sin(theta + kThirdTurn);
}
