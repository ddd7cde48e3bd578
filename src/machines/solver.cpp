// The machine's per-step solver (see solver.h).
#include "machines/solver.h"

#include <cmath>

#include "blocks/conventions.h"

namespace wakro::machines {

namespace {

void transform(const MachineBlock& blk, std::int32_t first, double a, double b, double c, double& alpha,
               double& beta) {
  alpha = blk(first) * a + blk(first + 1) * b + blk(first + 2) * c;
  beta = blk(first + 3) * a + blk(first + 4) * b + blk(first + 5) * c;
}

MachineCurrents advanced(const MachineCurrents& s, const MachineCurrents& d, double share) {
  return {s.id + d.id * share,     s.ifd + d.ifd * share,   s.ikd + d.ikd * share,
          s.iq + d.iq * share,     s.ikq1 + d.ikq1 * share, s.ikq2 + d.ikq2 * share};
}

MachineCurrents sum(const MachineCurrents& a, const MachineCurrents& b) {
  return {a.id + b.id, a.ifd + b.ifd, a.ikd + b.ikd, a.iq + b.iq, a.ikq1 + b.ikq1, a.ikq2 + b.ikq2};
}

}  // namespace

std::int32_t fndzon(const MachineBlock& blk, double i) {
  const std::int32_t n = blocks::nint_sat(blk(kZoneCount));
  if (n < 2) return n < 0 ? 0 : n;
  const double a = std::fabs(i);
  for (std::int32_t k = 2; k <= n && k <= kMaxZones; ++k)
    if (blk(zone_i(k)) > a) return k - 1;
  return n < kMaxZones ? n : kMaxZones;
}

double dflux(const MachineBlock& blk, double id, double im, std::int32_t j) {
  const double f = (std::fabs(im) - blk(zone_i(j))) * blk(zone_s(j)) + blk(zone_f(j));
  return blk(kXa) * id + (im > 0.0 ? f : -f);
}

void xtrf1(const MachineBlock& blk, double a, double b, double c, double& alpha, double& beta) {
  transform(blk, kTransform, a, b, c, alpha, beta);
}

void xtrf2(const MachineBlock& blk, double a, double b, double c, double& alpha, double& beta) {
  transform(blk, kTransformAdvanced, a, b, c, alpha, beta);
}

Evaluation dltcrt(const MachineBlock& blk, const MachineCurrents& s, double alpha, double beta, double ef, double kr,
                  double theta, double wr, double h) {
  Evaluation e;
  // 1. Axis voltages in the rotor's frame.
  const double ct = std::cos(theta), st = std::sin(theta);
  e.vd = alpha * ct + beta * st;
  e.vq = alpha * st - beta * ct;
  // 2-3. Fluxes: the d axis through its zone, the q axis linear.
  const double im = s.id + s.ifd + s.ikd;
  const std::int32_t j = fndzon(blk, im);
  const double psid = dflux(blk, s.id, im, j);
  const double psiq = blk(kXa) * s.iq + blk(kXmq) * (s.iq + s.ikq1 + s.ikq2);
  // 4. d axis.
  const double r1 = e.vd - wr * psiq - blk(kOmegaRa) * s.id;
  const double r2 = ef * kr - blk(kOmegaRf) * kr * s.ifd;
  const double r3 = -blk(kOmegaRkd) * kr * s.ikd;
  const std::int32_t m = zone_inverse(j);
  const double m11 = blk(m), m12 = blk(m + 1), m13 = blk(m + 2), m22 = blk(m + 3), m23 = blk(m + 4), m33 = blk(m + 5);
  e.delta.id = h * (m11 * r1 + m12 * r2 + m13 * r3);
  e.delta.ifd = h * (m12 * r1 + m22 * r2 + m23 * r3);
  e.delta.ikd = h * (m13 * r1 + m23 * r2 + m33 * r3);
  // 5. q axis.
  const double s1 = wr * psid + e.vq - blk(kOmegaRa) * s.iq;
  const double s2 = -blk(kOmegaRkq1) * kr * s.ikq1;
  if (blk(kTwoQCircuits) <= 0.5) {
    e.delta.iq = h * (blk(kQ11) * s1 + blk(kQ12) * s2);
    e.delta.ikq1 = h * (blk(kQ12) * s1 + blk(kQ22) * s2);
    e.delta.ikq2 = 0.0;
    return e;
  }
  const double s3 = -kr * blk(kOmegaRkq2) * s.ikq2;
  e.delta.iq = h * (blk(kQ11) * s1 + blk(kQ12) * s2 + blk(kQ13) * s3);
  e.delta.ikq1 = h * (blk(kQ12) * s1 + blk(kQ22) * s2 + blk(kQ23) * s3);
  e.delta.ikq2 = h * (blk(kQ13) * s1 + blk(kQ23) * s2 + blk(kQ33) * s3);
  return e;
}

StepResult macslv(const MachineBlock& blk, double a, double b, double c, double efd, double kr, double h, double wr,
                  double theta0, double theta1, const MachineCurrents& s) {
  // 1-2. Field voltage and the axis voltages at both ends of the step.
  const double ef = efd * blk(kFieldVoltageScale);
  double alpha0 = 0.0, beta0 = 0.0, alpha1 = 0.0, beta1 = 0.0;
  xtrf1(blk, a, b, c, alpha0, beta0);
  xtrf2(blk, a, b, c, alpha1, beta1);
  // 3. Predictor from the start of the step.
  const Evaluation e1 = dltcrt(blk, s, alpha0, beta0, ef, kr, theta0, wr, h);
  blk(kVdPerOmega) = e1.vd * blk(kInvOmega);
  blk(kFieldVoltagePerOmega) = ef * blk(kInvOmega);
  blk(kVqPerOmega) = e1.vq * blk(kInvOmega);
  // 4-5. Corrector at the predicted state and the end of the step.
  const Evaluation e2 = dltcrt(blk, sum(s, e1.delta), alpha1, beta1, ef, kr, theta1, wr, h);
  // 6. The mean of both increments.
  return {advanced(s, sum(e1.delta, e2.delta), 0.5), e2.vd, e2.vq};
}

}  // namespace wakro::machines
