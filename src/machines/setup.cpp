// The set-up routines of a machine block (see setup.h).
#include "machines/setup.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "blocks/conventions.h"
#include "machines/machine_messages.h"
#include "model/constants.h"

namespace wakro::machines {

namespace {

constexpr double kSqrt3 = 1.732050807568877;
constexpr double kOneThird = wakro::kThird;
constexpr double kHalfPi = kHalfPiRounded;
constexpr double kNoAdmittance = 1.0E6;     // admittance used for a leakage below kTinyLeakage
constexpr double kTinyLeakage = 1.0E-6;
constexpr double kSourceShare = 0.01;       // start-up source impedance, per unit
constexpr double kTrimTimeFloor = 0.05;
constexpr double kTrimGainFloor = 20.0;
constexpr double kTinyScale = 1.0E-6;
constexpr double kNotYet = 1.0E9;           // a time not reached, a conductance not applied
constexpr double kSingular = 1.0E-12;       // |det| below this share of the diagonal product
constexpr double kLeastInductance = 1.0E-12;  // H: floor of the zero-sequence inductance

// The six distinct elements of the inverse of a symmetric 3 x 3 matrix
// (a b c / b d e / c e f), by cofactors over the determinant along row 1; a
// matrix too close to singular is refused.
std::array<double, 6> symmetric_inverse(double a, double b, double c, double d, double e, double f,
                                        const char* what) {
  const double c11 = d * f - e * e, c12 = c * e - b * f, c13 = b * e - c * d;
  const double det = a * c11 + b * c12 + c * c13;
  if (!(std::fabs(det) > kSingular * std::fabs(a * d * f)) || !std::isfinite(det)) machine_refuse(what);
  return {c11 / det, c12 / det, c13 / det, (a * f - c * c) / det, (b * c - a * e) / det, (a * d - b * b) / det};
}

}  // namespace

void macpre(const MachineBlock& blk, std::int32_t mode) {
  const double Ib = blk(kRatedCurrent), Vb = blk(kRatedVoltage), w = blk(kOmega);
  const double Zb = Vb / Ib;
  const double Xa = blk(kXa), Xmd = blk(kXmd);
  blk(kSourceRamp) = Vb / std::max(blk(kReleaseTime), kTinyScale);
  blk(kTrimRate) = blk(kTrimIntegral) = blk(kTrimStarted) = 0.0;
  blk(kTrimGain) = blk(kTrimTime) >= kTrimTimeFloor ? 1.0 / blk(kTrimTime) : kTrimGainFloor;
  blk(kInvPowerScale) = blk(kPowerScale) < kTinyScale ? kNoAdmittance : 1.0 / blk(kPowerScale);
  blk(kXd) = Xa + Xmd;
  blk(kInvBasePower) = 1.0 / (3.0 * Ib * Vb);
  blk(kSourceConductance) = 1.0 / (kSourceShare * Zb);
  blk(kShuntConductance) = 1.0 / (Zb * blk(kShuntR));
  // Subtransient reactance of the d axis from its equivalent circuit.
  const double yf = blk(kXf) < kTinyLeakage ? kNoAdmittance : 1.0 / blk(kXf);
  const double yk = blk(kXkd) < kTinyLeakage ? kNoAdmittance : 1.0 / blk(kXkd);
  const double Xdpp = Xa + 1.0 / (1.0 / Xmd + 1.0 / (std::max(blk(kXkf), 0.0) + 1.0 / (yf + yk)));
  blk(kBranchConductancePerSecond) = 0.5 * w / (Xdpp * Zb);
  blk(kFieldVoltageScale) = w * kSqrt2Rounded * blk(kRf) / Xmd;
  blk(kFieldCurrentScale) = Xmd / kSqrt2Rounded;
  // Plain two-axis transform.
  const double k = 2.0 * w / (3.0 * Vb);
  const std::array<double, 6> t = {k, -k / 2.0, -k / 2.0, 0.0, k * kSqrt3 / 2.0, -k * kSqrt3 / 2.0};
  for (std::int32_t i = 0; i < 6; ++i) blk(kTransform + i) = t[i];
  blk(kOmegaRa) = w * blk(kRa);
  blk(kOmegaRf) = w * blk(kRf);
  blk(kOmegaRkd) = w * blk(kRkd);
  blk(kOmegaRkq1) = w * blk(kRkq1);
  blk(kOmegaRkq2) = w * blk(kRkq2);
  blk(kInvOmega) = 1.0 / w;
  // An inertia too low to use has been warned of; the per-step model refuses
  // the mechanical equation for it, so no infinite factor is kept.
  blk(kAccelFactor) = blk(kInertia) < kTinyInertia ? 0.0 : w / (2.0 * blk(kInertia));
  blk(kBasePower) = 3.0 * Ib * Vb;
  blk(kSpeedCorrection) = blk(kMachineMode) = 0.0;
  blk(kNoStartupSource) = mode == 1 ? 1.0 : 0.0;
  blk(kMachineModeTime) = blk(kSourceConductanceApplied) = kNotYet;
  blk(kBaseImpedance) = Zb;
  blk(kBaseAdmittance) = 1.0 / Zb;
  blk(kSourceBaseAngle) = 0.0;
  blk(kPowerFilterStarted) = blk(kPowerFilterP) = blk(kPowerFilterQ) = 0.0;
  blk(kSourceVoltageFactor) = 1.0 / Vb;
}

void smtdis(const MachineBlock& blk) {
  const double Xa = blk(kXa), Xf = blk(kXf), Xkd = blk(kXkd), Xkf = blk(kXkf);
  const std::int32_t n = blocks::nint_sat(blk(kZoneCount));
  for (std::int32_t j = 1; j <= std::min(n, kMaxZones); ++j) {
    const double x = blk(zone_s(j));
    const std::array<double, 6> m = symmetric_inverse(Xa + x, x, x, Xf + Xkf + x, Xkf + x, Xkd + Xkf + x,
                                                      "The d-axis inductance matrix of a saturation zone is singular");
    for (std::int32_t i = 0; i < 6; ++i) blk(zone_inverse(j) + i) = m[i];
  }
}

void smtqi(const MachineBlock& blk) {
  const double Xa = blk(kXa), Xmq = blk(kXmq), X1 = blk(kXkq1);
  if (blk(kTwoQCircuits) < 0.5) {
    const double a = Xa + Xmq, d = X1 + Xmq;
    const double det = a * d - Xmq * Xmq;
    if (!(std::fabs(det) > kSingular * std::fabs(a * d)) || !std::isfinite(det))
      machine_refuse("The q-axis inductance matrix is singular");
    blk(kQ11) = d / det;
    blk(kQ12) = -Xmq / det;
    blk(kQ22) = a / det;
    blk(kQ13) = blk(kQ23) = blk(kQ33) = 0.0;
    return;
  }
  const double X46 = blk(kXkfQ), X2 = blk(kXkq2);
  const std::array<double, 6> q = symmetric_inverse(Xa + Xmq, Xmq, Xmq, X1 + X46 + Xmq, X46 + Xmq, X2 + X46 + Xmq,
                                                    "The q-axis inductance matrix is singular");
  for (std::int32_t i = 0; i < 6; ++i) blk(kQ11 + i) = q[i];
}

void sttrf2(const MachineBlock& blk, double dt) {
  const double w = blk(kOmega), Vb = blk(kRatedVoltage);
  const double x = dt * w;
  if (!(std::fabs(x) < kHalfPi))
    machine_refuse("Time step too long for the machine: dt times w must be below pi/2");
  const double t = std::tan(x);
  const double c = 1.0 / std::sqrt(1.0 + t * t);
  const double k = kTwoThirdsRounded * w * c / Vb;
  const double s = kInvSqrt3Rounded * t;
  const std::array<double, 6> a = {k,
                                   -(k / 2.0) * (1.0 + 3.0 * s),
                                   -(k / 2.0) * (1.0 - 3.0 * s),
                                   k * kSqrt3 * s,
                                   (1.0 - s) * (k / 2.0) * kSqrt3,
                                   -(k / 2.0) * kSqrt3 * (1.0 + s)};
  for (std::int32_t i = 0; i < 6; ++i) blk(kTransformAdvanced + i) = a[i];
}

void setzro(const MachineBlock& blk, double dt) {
  const double Zb = blk(kRatedVoltage) / blk(kRatedCurrent), w = blk(kOmega);
  // 1-2. The branch: armature leakage and resistance with three times the neutral.
  const double Rn = std::max(blk(kNeutralR), 0.0), Xn = std::max(blk(kNeutralX), 0.0);
  const double La = blk(kXa) * Zb / w;
  const double R0 = blk(kRa) * Zb + 3.0 * Rn * Zb;
  const double Ln3 = 3.0 * Xn * Zb / w;
  const double L0 = La + Ln3;
  const double b = dt * R0;
  // 3. A step longer than the branch time constant takes L = dt R0.
  double L = L0, Lx = Ln3;
  if (b > L0) {
    L = b;
    Lx = 3.0 * (kOneThird * (b - La));
  }
  L = std::max(L, kLeastInductance);  // a branch with no inductance and no resistance
  // 4.
  const double c = 0.5 * b / L;
  blk(kZeroSeqGain) = dt / (3.0 * L * (1.0 + c));
  blk(kZeroSeqDecay) = (1.0 - c) / (1.0 + c);
  blk(kZeroSeqVoltageShare) = kOneThird * Lx / L;
  blk(kZeroSeqResistance) = 3.0 * Rn * Zb - R0 * Lx / L;
}

}  // namespace wakro::machines
