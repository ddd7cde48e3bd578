// Begin-pass configuration of the three-phase synchronous machine, and two
// time-zero helpers of the machine models.
//
// syncmc3p0_cfg checks the order of the machine's reactances and derives the
// armature resistance and Xp AGFC; syncmc3p2_cfg turns the machine's data into
// one configuration record (10 integers, 100 reals, named in machine_block.h)
// appended at rt_config::nrtci / nrtcf: the equivalent circuit, the saturation
// table, the initial conditions and the start-up source. A refusal sends every
// failed check's text, then stops once with "SYNC_MACHINE"; nothing is appended.
// A real argument that is not a finite number is refused first and alone, by
// the name the data form and start mode give it ("Xd\" is not a finite number").
#pragma once

#include <array>
#include <cstdint>

#include "machines/conversion.h"
#include "machines/machine_block.h"

namespace wakro::machines {

// The reactance-order checks, in their order; each failure is sent as an error
// line. Returns the number of failures. xq1 (Xq') is checked only with two
// q-axis circuits.
std::int32_t reactance_order_faults(std::int32_t q_circuits, double xp_agfc, double xd, double xdpp, double xdp,
                                    double xq, double xqpp, double xqp);

// armature_form 0: ta_or_ra is the armature time constant Ta, else Ra itself;
// reciprocal 1: out17 = 1 / value11, else 1.0E6.
void syncmc3p0_cfg(std::int32_t armature_form, std::int32_t reciprocal, std::int32_t q_circuits, double w,
                   double ta_or_ra, double xp, double agfc, double xd, double xdpp, double xdp, double value11,
                   double xq, double xqpp, double xqp, double& ra, double& xp_agfc, double& out17);

// The 45 arguments of syncmc3p2_cfg, in their order.
struct SyncMachineData {
  std::int32_t data_form = 1;       // 1 terminal data, else equivalent circuit
  std::int32_t q_circuits = 2;      // 1 or 2
  std::int32_t start_mode = 1;      // 1 fitted source, 2 given values, else terminal voltage
  std::array<std::int32_t, 6> monitor{1, 1, 1, 1, 1, 1};  // block slots returned as outputs
  double rated_current = 0.0;       // RMS phase current
  double rated_voltage = 0.0;       // RMS phase voltage
  double w = 0.0;                   // rated angular frequency, rad/s
  double neutral_r = 0.0;           // real entries 4 and 5
  double neutral_x = 0.0;
  double inertia = 0.0;
  double friction = 0.0;
  double shunt_r = 0.0;             // terminal shunt resistance, floor 66.7
  double ra = 0.0;
  double xp_agfc = 0.0;
  // Form 1: the terminal data. Form 0 (the equivalent circuit) carries in
  // their fields, in this order, Xmd, Rf, Xf, Rkd, Xkd, Xkf, Xmq (d) and Rkq1,
  // Xkq1, Rkq2, Xkq2, Xkf of q (q).
  DAxisData d{};
  QAxisData q{};
  std::array<double, kSatPoints> sat_x{};
  std::array<double, kSatPoints> sat_y{};
  double v_or_angle = 0.0;          // load flow V | mode 2: initial angle
  double angle_or_id = 0.0;         // load flow angle | mode 2: initial id
  double p_or_iq = 0.0;             // load flow P | mode 2: initial iq
  double q_or_ifd = 0.0;            // load flow Q | mode 2: initial ifd
  double speed_pu = 0.0;            // mode 2: initial speed in per unit of w
  double release_time = 0.0;        // floor 0
  double power_scale = 0.0;
  double trim_time = 0.0;           // floor 0.05
  double source_magnitude = 0.0;    // mode 2: start-up source, per unit of rated_voltage
  double source_angle = 0.0;
  double rc_resistance = 0.0;       // R-C interface branch factors
  double rc_time_factor = 0.0;
};

// Where a record keeps the two axes: the equivalent circuit (Xmd, Rf, Xf, Rkd,
// Xkd, Xkf; Xmq, Rkq1, Xkq1, Rkq2, Xkq2, Xkf of q) and the terminal data as
// entered. The machine block and the configuration record each have one.
struct AxisSlots {
  std::int32_t xmd, rf, xf, rkd, xkd, xkf, xmq, rkq1, xkq1, rkq2, xkq2, xkf_q;
  std::int32_t xd, xd_sub, td_sub, xd_tr, td_tr, fit_re, fit_im, xq, xq_sub, tq_sub, xq_tr, tq_tr;
};
inline constexpr AxisSlots kBlockAxes{kXmd,    kRf,          kXf,          kRkd,        kXkd,         kXkf,
                                      kXmq,    kRkq1,        kXkq1,        kRkq2,       kXkq2,        kXkfQ,
                                      kXdData, kXdSubData,   kTdoSubData,  kXdTrData,   kTdoTrData,   kFitTargetRe,
                                      kFitTargetIm, kXqData, kXqSubData,   kTqoSubData, kXqTrData,    kTqoTrData};
inline constexpr AxisSlots kConfigAxes{kCfgXmd,    kCfgRf,         kCfgXf,          kCfgRkd,      kCfgXkd,
                                       kCfgXkf,    kCfgXmq,        kCfgRkq1,        kCfgXkq1,     kCfgRkq2,
                                       kCfgXkq2,   kCfgXkfQ,       kCfgXdData,      kCfgXdSubData, kCfgTdoSubData,
                                       kCfgXdTrData, kCfgTdoTrData, kCfgFitTargetRe, kCfgFitTargetIm, kCfgXqData,
                                       kCfgXqSubData, kCfgTqoSubData, kCfgXqTrData,  kCfgTqoTrData};
// The equivalent circuit of both axes into r at `at` (Xkf of q given apart).
void put_circuit(const blocks::Slots<double>& r, const AxisSlots& at, const DAxisCircuit& d, const QAxisCircuit& q,
                 double xkf_q);
// The terminal data of both axes into r at `at`.
void put_terminal_data(const blocks::Slots<double>& r, const AxisSlots& at, const DAxisData& d, const QAxisData& q);
// Terminal data not given: every field kNotGiven.
inline constexpr DAxisData kDNotGiven{kNotGiven, kNotGiven, kNotGiven, kNotGiven, kNotGiven, kNotGiven, kNotGiven};
inline constexpr QAxisData kQNotGiven{kNotGiven, kNotGiven, kNotGiven, kNotGiven, kNotGiven};

void syncmc3p2_cfg(const SyncMachineData& m);
// The pair with the internal damping branch: the same record without the two
// R-C factors (10 integers, 98 reals); rc_resistance and rc_time_factor are
// not used.
void syncmc3p1_cfg(const SyncMachineData& m);

// Voltage E at angle delta behind R + jX of a source delivering P + jQ at V
// at angle theta.
void e_findva(double P, double Q, double V, double theta, double R, double X, double& E, double& delta);
// Load-flow start value kept in two reals of storage::storf: computed at time
// zero with the fitted start-up impedance (magnitude times k), returned on
// every call.
void e_cpfsync(double P, double Q, double V, double theta, double k, double& magnitude, double& angle);

// The fitted start-up impedance for the time step dt.
double startup_resistance(double dt);
double startup_reactance(double dt);

}  // namespace wakro::machines
