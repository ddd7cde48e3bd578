// Terminal data to equivalent circuit, and operating point to initial state
// (see conversion.h).
#include "machines/conversion.h"

#include <cmath>
#include <complex>

#include "model/constants.h"

namespace wakro::machines {

namespace {

using cplx = std::complex<double>;

constexpr double kPi = 3.141592653589793;
constexpr double kTargetAbsent = 99.0;  // a fit target this large means "none"
constexpr std::int32_t kFitTrials = 2000;
constexpr double kFitMargin = 1.0E-7;
constexpr double kVoltageFloor = 0.01;
constexpr double kTinyPhasor = 1.0E-6;

bool all_finite(const AxisCircuits& a) {
  return std::isfinite(a.R1) && std::isfinite(a.X1) && std::isfinite(a.R2) && std::isfinite(a.X2) &&
         std::isfinite(a.Tp) && std::isfinite(a.Tpp);
}

AxisCircuits failed(ConversionCode code) {
  AxisCircuits a;
  a.code = code;
  return a;
}

double angle_of(cplx z) { return std::abs(z) < kTinyPhasor ? 0.0 : std::arg(z); }

}  // namespace

// Each test is written so that a NaN fails it too: a value that is not a number
// gives the error code of the step where it appears.
AxisCircuits mconvs(double Xa, double w, double X, double Xp, double Xpp, double Tpo, double Tppo) {
  const double Xm = X - Xa, T1 = Tpo, T2 = Tppo;
  // Short-circuit time constants: T' and T'' are the roots of a quadratic with
  // the sum S and the discriminant D.
  const double S = (Xp / X) * (T1 + T2);
  const double D = S * S - 4.0 * T1 * T2 * ((Xp * Xpp / X) + Xp - Xpp) / X;
  if (!(D > 0.0)) return failed(kConvShortCircuitNotReal);
  AxisCircuits a;
  a.Tp = (S + std::sqrt(D)) / 2.0;
  a.Tpp = Xpp * T1 * T2 / (X * a.Tp);
  if (!(a.Tp > a.Tpp)) return failed(kConvShortCircuitOrder);
  // Rotor circuits' own time constants: Tc and Td are the roots of a quadratic
  // with the sum U and the product V (discriminant D2).
  const double U = ((a.Tp + a.Tpp) * X - (T1 + T2) * Xa) / Xm;
  if (!(U > 0.0)) return failed(kConvRotorSumNotPositive);
  const double V = (Xp - Xa) * T1 * T2 / Xm;
  const double D2 = U * U - 4.0 * V;
  if (!(D2 > 0.0)) return failed(kConvRotorNotReal);
  const double Tc = (U + std::sqrt(D2)) / 2.0;
  const double Td = V / Tc;
  if (!(Tc > Td)) return failed(kConvRotorOrder);
  // Tc between the open-circuit time constants: Q, the product of its
  // distances to them, is negative.
  const double Q = (Tc - T2) * (Tc - T1);
  if (!(Q < 0.0)) return failed(kConvRotorNotBetween);
  // Inductances of the two circuits as seen from the magnetising branch.
  const double Lf = Xm / (1.0 - Q / ((Tc - Td) * Tc));
  const double Lk = Xm * Tc * Td / (T1 * T2);
  if (!(Lk < Lf)) return failed(kConvLeakageOrder);
  // The circuits' reactances and resistances.
  a.X1 = Xm * Lf / (Xm - Lf);
  a.X2 = Lf * Lk / (Lf - Lk);
  a.R1 = a.X1 / (Tc * w);
  a.R2 = a.X2 / (w * Td);
  if (!all_finite(a)) return failed(kConvNonFinite);
  return a;
}

AxisCircuits mcaprx(double Xa, double w, double X, double Xp, double Xpp, double Tpo, double Tppo) {
  const double Xm = X - Xa;
  AxisCircuits a;
  a.X1 = 1.0 / (1.0 / (Xp - Xa) - 1.0 / Xm);
  a.X2 = 1.0 / (1.0 / (Xpp - Xa) - 1.0 / (Xp - Xa));
  a.R1 = (Xm + a.X1) / (w * Tpo);
  a.R2 = (Xm * a.X1 + a.X2 * (Xm + a.X1)) / ((Xm + a.X1) * w * Tppo);
  a.Tp = Tpo * Xp / X;
  a.Tpp = Tppo * Xpp / Xp;
  return a;
}

DAxisCircuit ddatcv(double Xa, double w, double Xd, double Xdpp, double Tdppo, double Xdp, double Tdpo,
                    double target_re, double target_im) {
  DAxisCircuit d;
  d.Xmd = Xd - Xa;
  const AxisCircuits exact = mconvs(Xa, w, Xd, Xdp, Xdpp, Tdpo, Tdppo);
  d.code = exact.code;
  const AxisCircuits a = exact.code == kConvExact ? exact : mcaprx(Xa, w, Xd, Xdp, Xdpp, Tdpo, Tdppo);
  d.Rf = a.R1;
  d.Xf = a.X1;
  d.Rkd = a.R2;
  d.Xkd = a.X2;
  d.Tdp = a.Tp;
  d.Tdpp = a.Tpp;
  if (exact.code != kConvExact) return d;  // the approximate values stand; no fit
  if (std::fabs(target_re) >= kTargetAbsent || std::fabs(target_im) >= kTargetAbsent) return d;
  const RotorFit f = fixrot(target_re, target_im, Xa, Xd, d.Rf, d.Xf, d.Rkd, d.Xkd);
  if (f.fit == 1) {
    d.Rf = f.Rf;
    d.Xf = f.Xf;
    d.Rkd = f.Rk;
    d.Xkd = f.Xk;
    d.Xkf = f.Xkf;
    d.fit = 1;
  }
  return d;
}

DAxisCircuit ddatcv(double Xa, double w, const DAxisData& d) {
  return ddatcv(Xa, w, d.x, d.x_sub, d.t_sub, d.x_tr, d.t_tr, d.fit_re, d.fit_im);
}

QAxisCircuit qdatcv(double Xa, double w, double two_circuits, const QAxisData& q) {
  return qdatcv(Xa, w, two_circuits, q.x, q.x_sub, q.t_sub, q.x_tr, q.t_tr);
}

std::string d_axis_fault(double Xa, const DAxisData& d) {
  return axis_data_fault('d', true, Xa, d.x, d.x_tr, d.x_sub, d.t_tr, d.t_sub);
}

std::string q_axis_fault(bool two_circuits, double Xa, const QAxisData& q) {
  return axis_data_fault('q', two_circuits, Xa, q.x, q.x_tr, q.x_sub, q.t_tr, q.t_sub);
}

QAxisCircuit qdatcv(double Xa, double w, double two_circuits, double Xq, double Xqpp, double Tqppo, double Xqp,
                    double Tqpo) {
  QAxisCircuit q;
  q.Xmq = Xq - Xa;
  if (two_circuits <= 0.5) {
    q.Xkq1 = 1.0 / (1.0 / (Xqpp - Xa) - 1.0 / q.Xmq);
    q.Rkq1 = (q.Xmq + q.Xkq1) / (w * Tqppo);
    q.Rkq2 = q.Xkq2 = q.Tqp = q.Tqpp = kNotGiven;
    q.code = kConvOneCircuit;
    return q;
  }
  AxisCircuits a = mconvs(Xa, w, Xq, Xqp, Xqpp, Tqpo, Tqppo);
  q.code = a.code;
  if (a.code != kConvExact) a = mcaprx(Xa, w, Xq, Xqp, Xqpp, Tqpo, Tqppo);
  q.Rkq1 = a.R1;
  q.Xkq1 = a.X1;
  q.Rkq2 = a.R2;
  q.Xkq2 = a.X2;
  q.Tqp = a.Tp;
  q.Tqpp = a.Tpp;
  return q;
}

RotorFit fixrot(double a, double b, double Xa, double Xd, double Rf, double Xf, double Rk, double Xk) {
  const cplx j(0.0, 1.0);
  // The machine seen from the field with the trial mutual leakage x.
  const cplx Yf = 1.0 / cplx(Rf, Xf), Yk = 1.0 / cplx(Rk, Xk);
  const double Xm = Xd - Xa;
  const cplx Y = Yf + Yk - j / Xm;
  const cplx Zt = j * Xa + 1.0 / Y;
  const cplx W0 = 1.0 - j * Xa / Zt;
  const cplx dW = W0 / Xm - j / Zt;
  const cplx T(a, b);
  // Start: the inputs, x = 0.
  RotorFit best{Rf, Xf, Rk, Xk, 0.0, 0};
  double best_error = std::abs(T - Yf * W0);
  const double h = std::imag(1.0 / (Yf + Yk)) / kFitTrials;
  // Every trial; the last strict improvement wins.
  for (std::int32_t i = 1; i <= kFitTrials; ++i) {
    const double x = i * h;
    const double p = (Xf - x) / Rf, q = (Xk - x) / Rk;
    const double r = std::sqrt((p - q) * (p - q) + 4.0 * x * x / (Rf * Rk));
    const double t1 = (p + q - r) / 2.0, t2 = (p + q + r) / 2.0;
    const double d1 = (Rf + Rk) * t2 - (Xf + Xk);
    const double d2 = (Xf + Xk) - (Rf + Rk) * t1;
    if (!(t1 >= 0.0) || !(d1 >= kFitMargin) || !(d2 >= kFitMargin)) continue;
    const double Rf1 = r * Rf * Rk / d1, Xf1 = t2 * Rf1;
    const double Rk1 = r * Rf * Rk / d2, Xk1 = t1 * Rk1;
    const double e = std::abs(T - (1.0 / cplx(Rf1, Xf1)) * (W0 + x * dW));
    if (e < best_error) {
      best = RotorFit{Rf1, Xf1, Rk1, Xk1, x, 1};
      best_error = e;
    }
  }
  return best;
}

std::string axis_data_fault(char axis, bool two_circuits, double Xa, double X, double Xp, double Xpp, double Tpo,
                            double Tppo) {
  const std::string a(1, axis);
  if (two_circuits) {
    if (!(Xa < Xpp && Xpp < Xp && Xp < X))
      return "X" + a + " data must satisfy Xa < X" + a + "\" < X" + a + "' < X" + a;
    if (!(Tppo > 0.0 && Tpo > 0.0)) return "T" + a + "0\" and T" + a + "0' must be positive";
    return "";
  }
  if (!(Xa < Xpp && Xpp < X)) return "X" + a + " data must satisfy Xa < X" + a + "\" < X" + a;
  if (!(Tppo > 0.0)) return "T" + a + "0\" must be positive";
  return "";
}

InitialState icconv1_cfg(const SaturationTable& t, double R, double Xa, double Xmq, double V, double angle, double P,
                         double Q) {
  // Terminal voltage on the real axis and the current into the machine, peaks.
  const double Vm = V > kVoltageFloor ? V : kVoltageFloor;
  const cplx v(kSqrt2Rounded * Vm, 0.0);
  const cplx i = kSqrt2Rounded * cplx(-P, Q) / Vm;
  const double phi = angle_of(i);
  // Voltage behind the q-axis reactance: its angle is the rotor's.
  const cplx e = v - cplx(R, Xa + Xmq) * i;
  const double delta = angle_of(e);
  // Axis currents, and the field current that gives the d-axis flux.
  InitialState s;
  s.id = std::abs(i) * std::sin(delta - phi);
  s.iq = -std::abs(i) * std::cos(delta - phi);
  const double x = std::abs(e) + Xmq * s.id;
  const double m = magnetising_current(t, x);
  s.ifd = x >= 0.0 ? m - s.id : -m - s.id;
  // The rotor angle against the terminal voltage's phase.
  s.theta = delta + angle + kPi;
  return s;
}

InitialState icconv(const MachineBlock& blk, double V, double angle, double P, double Q) {
  return icconv1_cfg(table_from_block(blk), blk(kRa), blk(kXa), blk(kXmq), V, angle, P, Q);
}

}  // namespace wakro::machines
