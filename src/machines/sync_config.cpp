// Configuration of the three-phase synchronous machine (see sync_config.h).
#include "machines/sync_config.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "blocks/slots.h"
#include "diag/message.h"
#include "machines/conversion.h"
#include "machines/machine_messages.h"
#include "machines/saturation.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/constants.h"

namespace wakro::machines {

namespace {

constexpr double kTinyTa = wakro::kTiny;
constexpr double kShuntFloor = 66.7;
constexpr double kTrimTimeFloor = 0.05;
constexpr double kVoltageFloor = 0.01;
constexpr double kHalfPi = kHalfPiRounded;
// The start-up impedance fitted against the time step.
constexpr double kFitR0 = 0.001015, kFitR1 = 0.08485;
constexpr double kFitX0 = 0.000398152, kFitX1 = 5.103;

// Every real argument a finite number, named as the data form and the start
// mode use it; one error line a value that is not. The R-C factors are checked
// where the record keeps them. Returns the number of failures.
std::int32_t non_finite_faults(const SyncMachineData& m, bool rc_factors) {
  const bool terminal = m.data_form == 1, given = m.start_mode == 2;
  const std::pair<const char*, double> values[] = {
      {"The rated current", m.rated_current},
      {"The rated voltage", m.rated_voltage},
      {"The rated angular frequency", m.w},
      {"The neutral resistance", m.neutral_r},
      {"The neutral reactance", m.neutral_x},
      {"The inertia", m.inertia},
      {"The friction", m.friction},
      {"The terminal shunt resistance", m.shunt_r},
      {"Ra", m.ra},
      {"Xp*AGFC", m.xp_agfc},
      {terminal ? "Xd" : "Xmd", m.d.x},
      {terminal ? "Xd\"" : "Rf", m.d.x_sub},
      {terminal ? "Td0\"" : "Xf", m.d.t_sub},
      {terminal ? "Xd'" : "Rkd", m.d.x_tr},
      {terminal ? "Td0'" : "Xkd", m.d.t_tr},
      {terminal ? "The rotor-fit target (real part)" : "Xkf", m.d.fit_re},
      {terminal ? "The rotor-fit target (imaginary part)" : "Xmq", m.d.fit_im},
      {terminal ? "Xq" : "Rkq1", m.q.x},
      {terminal ? "Xq\"" : "Xkq1", m.q.x_sub},
      {terminal ? "Tq0\"" : "Rkq2", m.q.t_sub},
      {terminal ? "Xq'" : "Xkq2", m.q.x_tr},
      {terminal ? "Tq0'" : "Xkf of the q axis", m.q.t_tr},
      {given ? "The initial angle" : "The load-flow voltage", m.v_or_angle},
      {given ? "The initial id" : "The load-flow angle", m.angle_or_id},
      {given ? "The initial iq" : "The load-flow P", m.p_or_iq},
      {given ? "The initial ifd" : "The load-flow Q", m.q_or_ifd},
      {"The initial speed", m.speed_pu},
      {"The release time", m.release_time},
      {"The power scale", m.power_scale},
      {"The trim time", m.trim_time},
      {"The start-up source magnitude", m.source_magnitude},
      {"The start-up source angle", m.source_angle},
      {"The R-C resistance", m.rc_resistance},  // the last two: the R-C factors
      {"The R-C time constant factor", m.rc_time_factor}};
  std::int32_t faults = 0;
  const std::size_t count = std::size(values) - (rc_factors ? 0 : 2);
  for (std::size_t k = 0; k < count; ++k)
    if (not_finite_error(values[k].first, values[k].second)) ++faults;
  for (std::size_t k = 0; k < m.sat_x.size(); ++k) {
    const auto point = [k](const char* curve) { return std::string(curve) + "(" + std::to_string(k + 1) + ")"; };
    if (not_finite_error(point("The saturation curve x"), m.sat_x[k])) ++faults;
    if (not_finite_error(point("The saturation curve y"), m.sat_y[k])) ++faults;
  }
  return faults;
}

// The checks of the data that the conversions and the set-up divide by, once
// every argument is finite (a value that is not is refused alone); each failure
// is one error line. Returns the number of failures.
std::int32_t data_faults(const SyncMachineData& m, bool rc_factors) {
  std::int32_t faults = non_finite_faults(m, rc_factors);
  if (faults > 0) return faults;
  auto fail = [&faults](const std::string& text) {
    machine_error(text);
    ++faults;
  };
  if (!(m.rated_current > 0.0)) fail("The rated current must be positive");
  if (!(m.rated_voltage > 0.0)) fail("The rated voltage must be positive");
  if (!(m.w > 0.0)) fail("The rated angular frequency must be positive");
  if (m.q_circuits != 1 && m.q_circuits != 2)
    fail("The number of q-axis circuits must be 1 or 2, not " + std::to_string(m.q_circuits));
  for (std::int32_t slot : m.monitor)
    if (slot < 1 || slot > kMachineBlockSize)
      fail("Monitor slot " + std::to_string(slot) + " must lie in 1 .. " + std::to_string(kMachineBlockSize));
  if (m.data_form == 1) {
    const bool two = m.q_circuits == 2;
    for (const std::string& t : {d_axis_fault(m.xp_agfc, m.d), q_axis_fault(two, m.xp_agfc, m.q)})
      if (!t.empty()) fail(t);
  }
  return faults;
}

// Entries 11 .. 34 of the record: the equivalent circuit and the terminal data.
void circuit_entries(const SyncMachineData& m, const blocks::Slots<double>& r) {
  const bool two = m.q_circuits == 2;
  if (m.data_form == 1) {
    QAxisData qd = m.q;
    if (!two) qd.x_tr = qd.t_tr = kNotGiven;
    put_circuit(r, kConfigAxes, ddatcv(m.xp_agfc, m.w, m.d), qdatcv(m.xp_agfc, m.w, m.q_circuits - 1.0, qd), 0.0);
    put_terminal_data(r, kConfigAxes, m.d, qd);
    return;
  }
  // The equivalent circuit as given, in the fields of d and q (see
  // SyncMachineData): d axis, then Xmq and the q-axis circuits.
  const DAxisCircuit d{.Xmd = m.d.x, .Rf = m.d.x_sub, .Xf = m.d.t_sub, .Rkd = m.d.x_tr, .Xkd = m.d.t_tr,
                       .Xkf = m.d.fit_re};
  const QAxisCircuit q{.Xmq = m.d.fit_im, .Rkq1 = m.q.x, .Xkq1 = m.q.x_sub, .Rkq2 = two ? m.q.t_sub : kNotGiven,
                       .Xkq2 = two ? m.q.x_tr : kNotGiven};
  put_circuit(r, kConfigAxes, d, q, two ? m.q.t_tr : kNotGiven);
  put_terminal_data(r, kConfigAxes, kDNotGiven, kQNotGiven);
}

// Entries 35 .. 43, 97 and 98: the initial state and the start-up source.
void initial_entries(const SyncMachineData& m, const SaturationTable& t, const blocks::Slots<double>& r) {
  if (m.start_mode == 2) {
    r(kCfgInitAngle) = m.v_or_angle;
    r(kCfgInitId) = m.angle_or_id;
    r(kCfgInitIq) = m.p_or_iq;
    r(kCfgInitIfd) = m.q_or_ifd;
    r(kCfgInitSpeed) = m.speed_pu * m.w;
    for (std::int32_t i = kCfgOpVoltage; i <= kCfgOpQ; ++i) r(i) = kNotGiven;
    r(kCfgSourceMagnitude) = m.source_magnitude * m.rated_voltage;
    r(kCfgSourceAngle) = m.source_angle;
    return;
  }
  const double V = m.v_or_angle, th = m.angle_or_id, P = m.p_or_iq, Q = m.q_or_ifd;
  const InitialState s = icconv1_cfg(t, m.ra, m.xp_agfc, r(kCfgXmq), V, th, P, Q);
  r(kCfgInitAngle) = s.theta;
  r(kCfgInitId) = s.id;
  r(kCfgInitIq) = s.iq;
  r(kCfgInitIfd) = s.ifd;
  r(kCfgInitSpeed) = m.w;
  r(kCfgOpVoltage) = V;
  r(kCfgOpAngle) = th;
  r(kCfgOpP) = P;
  r(kCfgOpQ) = Q;
  if (m.start_mode == 1) {
    double E = 0.0, delta = 0.0;
    e_findva(P, Q, V, th, startup_resistance(e_s1::delt), startup_reactance(e_s1::delt), E, delta);
    r(kCfgSourceMagnitude) = E * m.rated_voltage;
    r(kCfgSourceAngle) = delta;
    return;
  }
  r(kCfgSourceMagnitude) = V * m.rated_voltage;
  r(kCfgSourceAngle) = th;
}

}  // namespace

double startup_resistance(double dt) { return kFitR0 - kFitR1 * dt; }
double startup_reactance(double dt) { return kFitX1 * dt - kFitX0; }

std::int32_t reactance_order_faults(std::int32_t q_circuits, double xp_agfc, double xd, double xdpp, double xdp,
                                    double xq, double xqpp, double xqp) {
  std::int32_t faults = 0;
  auto check = [&faults](bool failed, const char* text) {
    if (!failed) return;
    machine_error(text);
    ++faults;
  };
  if (q_circuits == 2) {
    check(xq < xqp, "Xq should not be less than Xq'");
    check(xqpp >= xqp, "Xq' should be greater than Xq\"");
  } else {
    check(xqpp >= xq, "Xq should be greater than Xq\"");
  }
  check(xdpp <= xp_agfc, "Xp*AGFC must be less than Xd\"");
  check(xd <= xdp, "Xd should be greater than Xd'");
  check(xdp <= xdpp, "Xd' should be greater than Xd\"");
  return faults;
}

void syncmc3p0_cfg(std::int32_t armature_form, std::int32_t reciprocal, std::int32_t q_circuits, double w,
                   double ta_or_ra, double xp, double agfc, double xd, double xdpp, double xdp, double value11,
                   double xq, double xqpp, double xqp, double& ra, double& xp_agfc, double& out17) {
  // 1-2. Armature resistance from Ta, Xp AGFC and the optional reciprocal.
  if (armature_form == 0) {
    const double ta = std::max(ta_or_ra, kTinyTa);
    ra = 2.0 * xdpp * xqpp / ((xdpp + xqpp) * ta * w);
  } else {
    ra = ta_or_ra;
  }
  xp_agfc = xp * agfc;
  out17 = reciprocal == 1 ? 1.0 / value11 : kNotGiven;
  // 3-4. Every check, then one stop.
  if (reactance_order_faults(q_circuits, xp_agfc, xd, xdpp, xdp, xq, xqpp, xqp) > 0) machine_stop();
}

namespace {

// The configuration of both pairs; the record holds `reals` real entries (the
// variant with the internal damping branch stops before the R-C factors).
void sync_machine_cfg(const SyncMachineData& m, std::int32_t reals) {
  // 1. Inertia: a warning only; the per-step model refuses it if it is used.
  if (std::isfinite(m.inertia) && m.inertia < kTinyInertia)
    wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, "Inertia too low");
  // 2. The data the conversions and the set-up divide by.
  if (data_faults(m, reals == kConfigReals) > 0) machine_stop();
  // 3. Saturation table on Xmd (the first d-axis value of the circuit), built
  // before the record is taken so that a refused curve appends nothing.
  SaturationTable t;
  const double xmd = m.data_form == 1 ? m.d.x - m.xp_agfc : m.d.x;
  const std::string_view fault = build_saturation(m.sat_x, m.sat_y, xmd, t);
  if (!fault.empty()) machine_refuse(fault);
  // 4. Equivalent circuit, into the record checked against the store.
  const blocks::Slots<std::int32_t> ri = blocks::take_rtci(kConfigInts);
  const blocks::Slots<double> r = blocks::take_rtcf(reals);
  for (std::int32_t i = 1; i <= reals; ++i) r(i) = 0.0;
  circuit_entries(m, r);
  // 5. Initial conditions.
  initial_entries(m, t, r);
  // 6. Scalars with their floors, the curve as entered and the table.
  r(kCfgRatedCurrent) = m.rated_current;
  r(kCfgRatedVoltage) = m.rated_voltage;
  r(kCfgOmega) = m.w;
  r(kCfgNeutralR) = m.neutral_r;
  r(kCfgNeutralX) = m.neutral_x;
  r(kCfgInertia) = m.inertia;
  r(kCfgFriction) = m.friction;
  r(kCfgRa) = m.ra;
  r(kCfgXa) = m.xp_agfc;
  r(kCfgShuntR) = std::max(m.shunt_r, kShuntFloor);
  r(kCfgReleaseTime) = std::max(m.release_time, 0.0);
  r(kCfgPowerScale) = m.power_scale;
  r(kCfgTrimTime) = std::max(m.trim_time, kTrimTimeFloor);
  for (std::int32_t i = 0; i < kSatPoints; ++i) {
    r(kCfgSatX + i) = m.sat_x[i];
    r(kCfgSatY + i) = m.sat_y[i];
    r(kCfgZoneI + i) = t.I[i];
    r(kCfgZoneF + i) = t.F[i];
    r(kCfgZoneS + i) = t.S[i];
  }
  if (reals == kConfigReals) {
    r(kCfgRcResistance) = m.rc_resistance;
    r(kCfgRcTimeFactor) = m.rc_time_factor;
  }
  ri(kCfgDataForm) = m.data_form;
  ri(kCfgQCircuits) = m.q_circuits;
  ri(kCfgComputedStart) = m.start_mode == 2 ? 0 : 1;
  ri(kCfgZoneCount) = t.n;
  for (std::int32_t i = 0; i < 6; ++i) ri(kCfgMonitor + i) = m.monitor[i];
}

}  // namespace

void put_circuit(const blocks::Slots<double>& r, const AxisSlots& at, const DAxisCircuit& d, const QAxisCircuit& q,
                 double xkf_q) {
  r(at.xmd) = d.Xmd;
  r(at.rf) = d.Rf;
  r(at.xf) = d.Xf;
  r(at.rkd) = d.Rkd;
  r(at.xkd) = d.Xkd;
  r(at.xkf) = d.Xkf;
  r(at.xmq) = q.Xmq;
  r(at.rkq1) = q.Rkq1;
  r(at.xkq1) = q.Xkq1;
  r(at.rkq2) = q.Rkq2;
  r(at.xkq2) = q.Xkq2;
  r(at.xkf_q) = xkf_q;
}

void put_terminal_data(const blocks::Slots<double>& r, const AxisSlots& at, const DAxisData& d, const QAxisData& q) {
  r(at.xd) = d.x;
  r(at.xd_sub) = d.x_sub;
  r(at.td_sub) = d.t_sub;
  r(at.xd_tr) = d.x_tr;
  r(at.td_tr) = d.t_tr;
  r(at.fit_re) = d.fit_re;
  r(at.fit_im) = d.fit_im;
  r(at.xq) = q.x;
  r(at.xq_sub) = q.x_sub;
  r(at.tq_sub) = q.t_sub;
  r(at.xq_tr) = q.x_tr;
  r(at.tq_tr) = q.t_tr;
}

void syncmc3p2_cfg(const SyncMachineData& m) { sync_machine_cfg(m, kConfigReals); }

void syncmc3p1_cfg(const SyncMachineData& m) { sync_machine_cfg(m, kConfigRealsDamped); }

void e_findva(double P, double Q, double V, double theta, double R, double X, double& E, double& delta) {
  const double v = V > kVoltageFloor ? V : kVoltageFloor;
  const double A = v * v + P * R + Q * X;
  const double B = R * Q - P * X;
  E = std::sqrt(A * A + B * B) / v;
  if (A != 0.0) {
    delta = theta - std::atan(B / A);
  } else {
    delta = theta - (B > 0.0 ? kHalfPi : (B < 0.0 ? -kHalfPi : 0.0));
  }
}

void e_cpfsync(double P, double Q, double V, double theta, double k, double& magnitude, double& angle) {
  const blocks::Slots<double> s = blocks::take_storf(kStartValueSize);
  if (e_s1::timezero) {
    double E = 0.0, delta = 0.0;
    e_findva(P, Q, V, theta, startup_resistance(e_s1::delt), startup_reactance(e_s1::delt), E, delta);
    s(kStartMagnitude) = k * E;
    s(kStartAngle) = delta;
  }
  magnitude = s(kStartMagnitude);
  angle = s(kStartAngle);
}

}  // namespace wakro::machines
