// Conversion of a synchronous machine's terminal data into the equivalent
// circuit of each axis, and of a terminal operating point into the initial
// rotor angle and axis currents.
//
// All quantities are per unit of the machine base except time constants (s) and
// w (rad/s). A rotor circuit's resistance is R = X / (w T). Circuit 1 is the
// slow one (the field winding on the d axis), circuit 2 the fast one.
//
// The conversions never stop the run themselves: mconvs reports failure with an
// error code (ConversionCode: one for the test of each of its steps, and one
// for a result that is not a finite number) and zero outputs, and ddatcv / qdatcv then fall back on the
// approximate mcaprx. Their callers first check each axis with axis_data_fault,
// so that the fallback never divides by zero.
#pragma once

#include <cstdint>
#include <string>

#include "machines/machine_block.h"
#include "machines/saturation.h"

namespace wakro::machines {

// The codes of a conversion: mconvs names the test of its step that failed,
// qdatcv says that the q axis has one circuit.
enum ConversionCode : std::int32_t {
  kConvExact = 0,
  kConvShortCircuitNotReal = 1,   // the short-circuit time constants are not real
  kConvShortCircuitOrder = 2,     // T' is not above T''
  kConvRotorSumNotPositive = 3,   // the rotor circuits' time constants do not sum above 0
  kConvRotorNotReal = 4,          // the rotor circuits' time constants are not real
  kConvRotorOrder = 5,            // the slow rotor circuit is not the slower one
  kConvRotorNotBetween = 6,       // the slow one does not lie between T'o and T''o
  kConvLeakageOrder = 7,          // the fast circuit's inductance is not below the slow one's
  kConvOneCircuit = 8,            // qdatcv: one q-axis circuit (no error)
  kConvNonFinite = 9,             // a result that is not finite
};
inline constexpr double kNotGiven = 1.0E6;

// One axis with two rotor circuits: R1, X1 (slow), R2, X2 (fast), the
// short-circuit time constants T' and T'', and the error code (0 = exact).
struct AxisCircuits {
  double R1 = 0.0, X1 = 0.0, R2 = 0.0, X2 = 0.0, Tp = 0.0, Tpp = 0.0;
  std::int32_t code = 0;
};

struct DAxisCircuit {
  double Xmd = 0.0, Rf = 0.0, Xf = 0.0, Rkd = 0.0, Xkd = 0.0, Xkf = 0.0, Tdp = 0.0, Tdpp = 0.0;
  std::int32_t code = 0;
  std::int32_t fit = 0;  // 1 when fixrot replaced the rotor values
};

struct QAxisCircuit {
  double Xmq = 0.0, Rkq1 = 0.0, Xkq1 = 0.0, Rkq2 = 0.0, Xkq2 = 0.0, Tqp = 0.0, Tqpp = 0.0;
  std::int32_t code = 0;
};

struct RotorFit {
  double Rf = 0.0, Xf = 0.0, Rk = 0.0, Xk = 0.0, Xkf = 0.0;
  std::int32_t fit = 0;
};

// The terminal data of the d axis as entered: Xd, Xd'', T''do, Xd', T'do and
// the rotor-fit target (fit_re, fit_im).
struct DAxisData {
  double x = 0.0, x_sub = 0.0, t_sub = 0.0, x_tr = 0.0, t_tr = 0.0, fit_re = 0.0, fit_im = 0.0;
};
// The terminal data of the q axis as entered: Xq, Xq'', T''qo, Xq', T'qo.
struct QAxisData {
  double x = 0.0, x_sub = 0.0, t_sub = 0.0, x_tr = 0.0, t_tr = 0.0;
};

// Initial rotor angle and d-axis, q-axis and field currents.
struct InitialState {
  double theta = 0.0, id = 0.0, iq = 0.0, ifd = 0.0;
};

// Exact conversion of one axis (X, X', X'', T'o, T''o).
AxisCircuits mconvs(double Xa, double w, double X, double Xp, double Xpp, double Tpo, double Tppo);
// Approximate conversion of one axis (code 0).
AxisCircuits mcaprx(double Xa, double w, double X, double Xp, double Xpp, double Tpo, double Tppo);
// d axis: Xd, Xd'', T''do, Xd', T'do and the rotor-fit target (a, b).
DAxisCircuit ddatcv(double Xa, double w, double Xd, double Xdpp, double Tdppo, double Xdp, double Tdpo,
                    double target_re, double target_im);
// q axis: the two-circuit flag (> 0.5: two circuits), Xq, Xq'', T''qo, Xq', T'qo.
QAxisCircuit qdatcv(double Xa, double w, double two_circuits, double Xq, double Xqpp, double Tqppo, double Xqp,
                    double Tqpo);
// The same from the data as entered.
DAxisCircuit ddatcv(double Xa, double w, const DAxisData& d);
QAxisCircuit qdatcv(double Xa, double w, double two_circuits, const QAxisData& q);
// axis_data_fault of the d axis (always two circuits) and of the q axis.
std::string d_axis_fault(double Xa, const DAxisData& d);
std::string q_axis_fault(bool two_circuits, double Xa, const QAxisData& q);
// Fit of the field-damper mutual leakage Xkf to a target field admittance.
RotorFit fixrot(double a, double b, double Xa, double Xd, double Rf, double Xf, double Rk, double Xk);

// The check made before an axis is converted: Xa < X'' < X' < X with T''o > 0
// and T'o > 0 (two circuits), or Xa < X'' < X with T''o > 0 (one circuit).
// Returns "" when the data are sound, else the text of the refusal.
std::string axis_data_fault(char axis, bool two_circuits, double Xa, double X, double Xp, double Xpp, double Tpo,
                            double Tppo);

// Initial conditions from the operating point V (RMS per unit), its angle, P, Q.
InitialState icconv1_cfg(const SaturationTable& t, double R, double Xa, double Xmq, double V, double angle, double P,
                         double Q);
// The same with R, Xa, Xmq and the zone tables taken from the machine's block.
InitialState icconv(const MachineBlock& blk, double V, double angle, double P, double Q);

}  // namespace wakro::machines
