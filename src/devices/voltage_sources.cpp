// The registered voltage sources and their evaluation inside a step.
//
// wakro_1pvsrc keeps its record in the typed stores; wakro_vsrc_dyn advances the
// running angle by the time actually elapsed since its last evaluation, so that a
// second evaluation at the same instant adds nothing.
#include "devices/voltage_sources.h"

#include <cmath>
#include <numbers>
#include <string_view>

#include "blocks/slots.h"
#include "diag/validators.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"
#include "model/int1.h"
#include "model/storage.h"

namespace {

constexpr std::string_view kTag = "1PVSRC";
using wakro::kTwoPi;
constexpr double kThirdTurn = 2.094395102393195;

// Record positions (from the record's first slot).
using namespace wakro::devices::layout::vsrc;
namespace head = wakro::devices::layout::record_head;

}  // namespace

void wakro_1pvsrc(std::int32_t ss, std::int32_t br, double ramp, std::int32_t ac, double magnitude,
                  double omega, double phase) {
  using storage::stori;
  using storage::storf;
  const std::int32_t rec = storage::nstori;
  const std::int32_t nl = storage::nstorl;
  const std::int32_t nf = storage::nstorf;
  const auto ints = wakro::blocks::take_stori(kStoriSize);
  const auto logicals = wakro::blocks::take_storl(kStorlSize);
  const auto reals = wakro::blocks::take_storf(kStorfSize);
  // Registration at time zero.
  if (e_s1::timezero) {
    wakro_testbrn(kTag, br, ss);
    branches::thisbr(br, ss) = rec;
    branches::source(br, ss) = true;
    ints(slot(kKind)) = ac != 0 ? wakro::branch_code::registered_source : 0;
    ints(slot(kLogical)) = nl;
    ints(slot(kReal)) = nf;
    ints(slot(kComplex)) = storage::nstorc;
    ints(slot(kSs)) = ss;
    ints(slot(kBr)) = br;
    logicals(slot(kAc)) = ac != 0;
    reals(slot(kRamp)) = ramp;
    reals(slot(kRampRate)) = ramp > e_s1::delt ? 1.0 / ramp : 0.0;
    reals(slot(kLast)) = 0.0;
  }
  reals(slot(kMag)) = magnitude;
  reals(slot(kOmega)) = omega;
  reals(slot(kPhase)) = phase;
  storage::this_ = rec;
  wakro_vsrc_dyn();
}

void wakro_vsrc_dyn() {
  using storage::stori;
  using storage::storf;
  const std::int32_t rec = storage::this_;
  const std::int32_t f = stori(rec + kReal);
  const std::int32_t ss = stori(rec + kSs);
  const std::int32_t br = stori(rec + kBr);
  // 1. Magnitude, rising linearly during the ramp.
  double m = storf(f + kMag);
  if (storf(f + kRamp) > e_s1::time) m = storf(f + kRampRate) * (storf(f + kMag) * e_s1::time);
  // 2. DC.
  if (stori(rec + kKind) != wakro::branch_code::registered_source) {
    branches::ebr(br, ss) = m;
    return;
  }
  // 3-4. AC: the angle advances by the time elapsed since the last evaluation.
  double angle = 0.0;
  if (!e_s1::timezero) {
    const double t = int1::solution_time + e_s1::delt;
    angle = storf(f + kAngle) + storf(f + kOmega) * (t - storf(f + kLast));
    storf(f + kLast) = t;
    if (angle > kTwoPi) {
      angle -= kTwoPi;
    } else if (angle < 0.0) {
      angle += kTwoPi;
    }
  }
  // 5. The EMF.
  storf(f + kAngle) = angle;
  branches::ebr(br, ss) = m * std::sin(angle + storf(f + kPhase));
}

void wakro_3phvsrc(std::int32_t ss, std::int32_t br1, std::int32_t br2, std::int32_t br3,
                   double ramp, std::int32_t ac, double magnitude, double omega, double phase) {
  wakro_1pvsrc(ss, br1, ramp, ac, magnitude, omega, phase);
  wakro_1pvsrc(ss, br2, ramp, ac, magnitude, omega, phase - kThirdTurn);
  wakro_1pvsrc(ss, br3, ramp, ac, magnitude, omega, phase + kThirdTurn);
}

void this_istorx(std::int32_t& nc, std::int32_t& nl, std::int32_t& ni, std::int32_t& nf) {
  const std::int32_t t = storage::this_;
  nl = storage::stori(t + head::kLogical);
  nf = storage::stori(t + head::kReal);
  nc = storage::stori(t + head::kComplex);
  storage::nstori = t + head::kStoriSize;
  ni = t + head::kStoriSize;
}

void next_istorx(std::int32_t dc, std::int32_t df, std::int32_t di, std::int32_t dl) {
  storage::nstorc += dc;
  storage::nstori += di;
  storage::nstorl += dl;
  storage::nstorf += df;
  storage::this_ = storage::nstori;
}

