// The induction machine in its configuration-pair forms and its single-routine
// form (see induction_machine.h).
//
// One step of every form reads the state, moves the speed and the angle, checks
// the start derivatives, advances the fluxes to the step's end voltages, takes
// the saturation factors (re-forming the winding matrix when one moved) and
// finds the new currents (machine_step). Around it each form reads its
// constants, makes its time-zero set-up and enters the network: the pair forms
// through their phase branches' sources, the single routine by Norton
// injections at its nodes with a damping network of its own.
#include "machines/induction_machine.h"

#include <cmath>
#include <span>
#include <string>
#include <utility>

#include "blocks/slots.h"
#include "diag/console.h"
#include "diag/quit.h"
#include "files/listread.h"
#include "machines/machine_messages.h"
#include "machines/routine_input.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace wakro::machines {

namespace {

using blocks::Slots;

constexpr double kThreePeriods = 3.0 * kTwoPi;  // start-up ramp, in units of 1 / wb
constexpr double kLeastVoltage = 0.001;
constexpr double kFactorMove = 1e-6;
constexpr double kDivergence = 1e10;
constexpr std::int32_t kMaxExtraCages = 3;
constexpr std::int32_t kRotorSaturationOn = 2;  // the rotor option that saturates the rotor leakage
constexpr std::int32_t kRotorAsIs = 1;          // the zero-sequence option that keeps the rotor mean
constexpr std::int32_t kKindImpedance = 12;     // harmonic registry: a branch's R, X and marker
constexpr std::int32_t kNoContext = 0;

// The speed modes: the mechanical equation, or the speed imposed (its value
// taken at time zero).
constexpr std::int32_t kMechanicalEquation = 0;
constexpr std::int32_t kImposedSpeed = 1;

// Directions of the numerics' frame transform and matrix store.
constexpr std::int32_t kToDq0 = 1, kToAbc = 0;
constexpr std::int32_t kIntoStore = 1, kFromStore = 0;

// Positions in R, X and the circuit vectors: circuit 1 the stator, circuit 2
// the wound rotor; X(1) magnetising, X(2) the stator's leakage (and the zero
// sequence's), X(3) the wound rotor's leakage.
constexpr std::size_t kStator = 0, kRotor = 1;
constexpr std::size_t kMagnetisingX = 0, kStatorLeakX = 1, kRotorLeakX = 2;

// Components of a d-q-0 vector.
constexpr std::size_t kD = 0, kQ = 1, kZero = 2;

std::int64_t inversions = 0;

enum class Form { first, second };

[[noreturn]] void refuse(std::string_view text) {
  machine_error(text);
  wakro_quit(kInductionTag, kNoContext);
}

// The mean of three phase values.
double mean_of(const Phases& p) { return (p[0] + p[1] + p[2]) * kThirdRounded; }

// X'' of the stator: X(2) in series with X(1) parallel to every rotor
// circuit's total leakage.
double subtransient_reactance(const ReactanceVector& x, std::int32_t n) {
  WindingMatrix m{};
  frmlmat_nv(x, 1.0, m, n);
  double y = 1.0 / x[kMagnetisingX];
  for (std::int32_t i = 2; i <= n; ++i) y += 1.0 / (at(m, i, i) - x[kMagnetisingX]);
  return x[kStatorLeakX] + 1.0 / y;
}

// ------------------------------------------------------------ the data checks

// Every real argument finite; one error line a value that is not. True when
// any failed.
bool values_not_finite(const InductionData& d) {
  bool refused = false;
  const std::pair<const char*, double> scalars[] = {
      {"The rated power S", d.power},     {"The rated voltage V", d.voltage},   {"The base frequency wb", d.base_w},
      {"The inertia J", d.inertia},       {"The damping D", d.damping},         {"The turns ratio a", d.turns},
      {"The R-C resistance", d.rc_resistance}, {"The R-C time constant factor", d.rc_factor}};
  for (const auto& [name, value] : scalars)
    if (not_finite_error(name, value)) refused = true;
  const auto each = [&refused](const char* name, std::span<const double> values) {
    for (std::size_t k = 0; k < values.size(); ++k) {
      if (std::isfinite(values[k])) continue;
      not_finite_error(std::string(name) + "(" + std::to_string(k + 1) + ")", values[k]);
      refused = true;
    }
  };
  each("R", d.r);
  each("X", d.x);
  each("The leakage curve x", d.leak_x);
  each("The leakage curve y", d.leak_y);
  each("The magnetising curve x", d.mag_x);
  each("The magnetising curve y", d.mag_y);
  return refused;
}

// The checks of a machine's data; every failed one is reported. True when any
// failed.
bool data_refused(const InductionData& d) {
  // The rated power and base frequency positive (the bases and the
  // conductances divide by them).
  bool refused = values_not_finite(d);
  const std::pair<bool, const char*> checks[] = {
      {!(d.power > 0.0) && std::isfinite(d.power), "The rated power S must be greater than zero"},
      {!(d.base_w > 0.0) && std::isfinite(d.base_w), "The base frequency wb must be greater than zero"},
      {d.voltage < kLeastVoltage, "Unrealistic rated voltage"},
      {d.extra_cages < 0 || d.extra_cages > kMaxExtraCages,
       "The number of extra rotor cages must lie between 0 and 3"},
      {d.turns == 0.0, "The stator-to-rotor turns ratio must not be zero"},
      {d.x[kStatorLeakX] == 0.0, "The stator leakage reactance X(2) must not be zero"},
      {d.x[kRotorLeakX] == 0.0, "The rotor leakage reactance X(3) must not be zero"}};
  for (const auto& [failed, text] : checks) {
    if (!failed) continue;
    machine_error(text);
    refused = true;
  }
  return refused;
}

void check_inertia(std::int32_t mode, double inertia) {
  if (mode == kMechanicalEquation && inertia == 0.0)
    refuse("The inertia must not be zero when the speed follows the mechanical equation");
}

// -------------------------------------------------- the pair forms' set-up

void induction_cfg(const InductionData& d, Form form) {
  // Every failed check is reported, then the run stops once.
  if (data_refused(d)) wakro_quit(kInductionTag, kNoContext);

  const std::int32_t n = d.extra_cages + 2;
  const Slots<double> c = blocks::take_rtcf(kIcReals);
  blocks::next_rtci() = n;
  if (form == Form::second) blocks::take_rtcl(kIlLogicals)(kIlRotorSaturation) = d.rotor_option == kRotorSaturationOn;
  for (std::int32_t k = 0; k < kResistanceCount; ++k) c(kIcR + k) = d.r[static_cast<std::size_t>(k)];
  for (std::int32_t k = 0; k < kReactanceCount; ++k) c(kIcX + k) = d.x[static_cast<std::size_t>(k)];
  c(kIcPower) = d.power;
  c(kIcInverseV) = form == Form::second ? 1.0 / d.voltage : kSqrt3Rounded / d.voltage;
  const double zb = (form == Form::second ? 3.0 : 1.0) * d.voltage * d.voltage / d.power;
  c(kIcBaseW) = d.base_w;
  c(kIcInertia) = d.inertia;
  c(kIcDamping) = d.damping;
  const double dt = e_s1::delt;
  c(kIcStatorG) = d.base_w * dt / (2.0 * zb * subtransient_reactance(d.x, n));
  for (std::int32_t k = 0; k < kCurvePointCount; ++k) {
    const auto u = static_cast<std::size_t>(k);
    c(kIcMagCurve + 2 * k) = d.mag_x[u];
    c(kIcMagCurve + 2 * k + 1) = d.mag_y[u];
    c(kIcLeakCurve + 2 * k) = d.leak_x[u];
    c(kIcLeakCurve + 2 * k + 1) = d.leak_y[u];
  }
  c(kIcTurns) = d.turns;
  c(kIcRotorG) = d.base_w * dt / (2.0 * (zb / (d.turns * d.turns)) * d.x[kRotorLeakX]);
  c(kIcRcResistance) = d.rc_resistance;
  c(kIcRcFactor) = d.rc_factor;
}

// ------------------------------------------------------------- the step

// The inverse of the winding inductance matrix of x into the block.
void form_inverse(const ReactanceVector& x, double wb, std::int32_t n, WindingMatrix& inverse,
                  std::int32_t block_offset) {
  WindingMatrix l{};
  frmlmat_nv(x, wb, l, n);
  inverse_nv(l, inverse, n);
  ++inversions;
  stormat_nv(inverse, block_offset, kIntoStore, n);
}

bool finite_all(const WindingVector& a, const WindingVector& b, std::int32_t n) {
  for (std::int32_t i = 0; i < n; ++i)
    if (!std::isfinite(a[static_cast<std::size_t>(i)]) || !std::isfinite(b[static_cast<std::size_t>(i)]))
      return false;
  return true;
}

// Where a form keeps its state: the slot of each quantity in its block (0: a
// quantity the form does not keep).
struct Layout {
  std::int32_t psi_d, psi_q, psi_0, id, iq, i0, speed, angle, dpsi_d, dpsi_q, dpsi_0, inverse, torque, dspeed,
      mag_factor, vd, leak_factor, valpha, vbeta, load_torque, speed_copy, rotor_leak_factor;
};
constexpr Layout kPairLayout{.psi_d = kImPsiD, .psi_q = kImPsiQ, .psi_0 = kImPsi0, .id = kImId, .iq = kImIq,
                             .i0 = kImI0, .speed = kImSpeed, .angle = kImAngle, .dpsi_d = kImDPsiD,
                             .dpsi_q = kImDPsiQ, .dpsi_0 = kImDPsi0, .inverse = kImInverse, .torque = kImTorque,
                             .dspeed = kImDSpeed, .mag_factor = kImMagFactor, .vd = kImVd,
                             .leak_factor = kImStatorLeakFactor, .valpha = kImValpha, .vbeta = kImVbeta,
                             .load_torque = kImLoadTorque, .speed_copy = kImSpeedCopy,
                             .rotor_leak_factor = kImRotorLeakFactor};
constexpr Layout kSingleLayout{.psi_d = kSmPsiD, .psi_q = kSmPsiQ, .psi_0 = kSmPsi0, .id = kSmId, .iq = kSmIq,
                               .i0 = kSmI0, .speed = kSmSpeed, .angle = kSmAngle, .dpsi_d = kSmDPsiD,
                               .dpsi_q = kSmDPsiQ, .dpsi_0 = kSmDPsi0, .inverse = kSmInverse, .torque = kSmTorque,
                               .dspeed = kSmDSpeed, .mag_factor = kSmMagFactor, .vd = kSmVd,
                               .leak_factor = kSmLeakFactor, .valpha = kSmValpha, .vbeta = kSmVbeta,
                               .load_torque = kSmLoadTorque, .speed_copy = kSmSpeedCopy, .rotor_leak_factor = 0};

// The first form's block ends before the rotor-leakage factor's slot.
constexpr Layout pair_layout(Form form) {
  Layout layout = kPairLayout;
  if (form == Form::first) layout.rotor_leak_factor = 0;
  return layout;
}

// The machine's constants for one step.
struct Machine {
  std::int32_t n = 2;
  WindingVector r{};
  ReactanceVector x{};
  double wb = 0.0, inertia = 0.0, damping = 0.0;
  bool rotor_saturation = false;
  bool console_texts = false;  // the single routine's divergence texts
};

// Where a view holds a machine's R, X, wb, J and D.
struct ConstantSlots {
  std::int32_t r, x, base_w, inertia, damping;
};
constexpr ConstantSlots kPairConstants{
    .r = kIcR, .x = kIcX, .base_w = kIcBaseW, .inertia = kIcInertia, .damping = kIcDamping};
constexpr ConstantSlots kSingleConstants{
    .r = kSmR, .x = kSmX, .base_w = kSmBaseW, .inertia = kSmInertia, .damping = kSmDamping};

void read_constants(Machine& m, const Slots<double>& v, const ConstantSlots& at_slot) {
  for (std::int32_t k = 0; k < kResistanceCount; ++k) m.r[static_cast<std::size_t>(k)] = v(at_slot.r + k);
  for (std::int32_t k = 0; k < kReactanceCount; ++k) m.x[static_cast<std::size_t>(k)] = v(at_slot.x + k);
  m.wb = v(at_slot.base_w);
  m.inertia = v(at_slot.inertia);
  m.damping = v(at_slot.damping);
}

// The rotor's voltages, per unit referred to the stator, in its alpha-beta
// frame.
struct RotorVoltages {
  double alpha = 0.0, beta = 0.0;
};

// The alpha-beta pair of the rotor phase voltages vr, their mean removed or not.
RotorVoltages rotor_alpha_beta(const Phases& vr, bool keep_mean) {
  const double mean = keep_mean ? 0.0 : mean_of(vr);
  return {(2.0 * (vr[0] - mean) - (vr[1] - mean) - (vr[2] - mean)) * kThirdRounded,
          ((vr[2] - mean) - (vr[1] - mean)) * kInvSqrt3Rounded};
}

// What the step hands to the network side.
struct StepOut {
  Phases i_abc{};          // stator phase currents, per unit
  double i_alpha = 0.0;    // rotor circuit currents, per unit
  double i_beta = 0.0;
  double i0 = 0.0;
  double ramp = 1.0;
  // The end-of-step voltages the step assumed, per unit: the stator phases
  // and the rotor's alpha and beta components. The branch companions correct
  // from these to the voltages the network then finds.
  Phases v_end{};
  double v_alpha_end = 0.0;
  double v_beta_end = 0.0;
};

// The state a step starts from.
struct StartState {
  FluxStep f;                // fluxes (the derivatives come later)
  WindingVector id{}, iq{};  // circuit currents
  double i0 = 0.0;
  WindingMatrix inverse{};
};

StartState read_state(const Slots<double>& s, const Layout& L, const Machine& m, std::int32_t inverse_offset) {
  StartState st;
  st.f.r = m.r;
  st.f.x0 = m.x[kStatorLeakX];
  for (std::int32_t i = 0; i < m.n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    st.f.psi_d[u] = s(L.psi_d + i);
    st.f.psi_q[u] = s(L.psi_q + i);
    st.id[u] = s(L.id + i);
    st.iq[u] = s(L.iq + i);
  }
  st.f.psi_0 = s(L.psi_0);
  st.i0 = s(L.i0);
  stormat_nv(st.inverse, inverse_offset, kFromStore, m.n);
  return st;
}

struct Speeds {
  double old = 0.0, now = 0.0;  // at the step's start and end
};

// The speed at the step's end. The torque known is that of the step's start,
// so the acceleration at its end is extrapolated from the last two (the
// trapezoid over the last two steps' accelerations lags the speed by a whole
// step).
Speeds mechanical_step(const Slots<double>& s, const Layout& L, const Machine& m, const InductionStepIn& in,
                       double dt) {
  const double te = s(L.torque);
  const double dw_old = s(L.dspeed);
  Speeds w{.old = s(L.speed), .now = in.speed};
  if (in.mode == kMechanicalEquation) {
    const double dw = ((te - in.load_torque) - m.damping * w.old) / m.inertia;
    w.now = (3.0 * dw - dw_old) * dt * 0.5 + w.old;
    s(L.dspeed) = dw;
  }
  s(L.speed) = w.now;
  return w;
}

struct Angles {
  double start = 0.0, turn = 0.0, end = 0.0;
};

// The rotor angle at the step's start and end, kept within one turn.
Angles advance_angle(const Slots<double>& s, const Layout& L, double wb, double dt, const Speeds& w) {
  Angles a{.start = s(L.angle), .turn = dt * wb * 0.5 * (w.old + w.now)};
  a.end = a.start + a.turn;
  if (a.end >= kTwoPi) a.end -= kTwoPi;
  if (a.end <= -kTwoPi) a.end += kTwoPi;
  s(L.angle) = a.end;
  return a;
}

// The last solution's stator voltages are those of the step's start: seen
// from the rotor at the start angle. The rotor's as they are. Both kept.
Phases start_voltages(const Slots<double>& s, const Layout& L, Phases vabc, double theta_start,
                      const RotorVoltages& vr) {
  Phases vdq0{};
  trns_nv(vabc, vdq0, theta_start, kToDq0);
  for (std::int32_t k = 0; k < 3; ++k) s(L.vd + k) = vdq0[static_cast<std::size_t>(k)];
  s(L.valpha) = vr.alpha;
  s(L.vbeta) = vr.beta;
  return vdq0;
}

// The flux derivatives at the step's start.
void start_derivatives(StartState& st, const Machine& m, const Phases& vdq0, const RotorVoltages& vr,
                       double w_old) {
  FluxStep& f = st.f;
  for (std::int32_t i = 0; i < m.n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    f.dpsi_d[u] = -m.r[u] * st.id[u];
    f.dpsi_q[u] = -m.r[u] * st.iq[u];
  }
  f.dpsi_d[kStator] += vdq0[kD] - w_old * m.wb * f.psi_q[kStator];
  f.dpsi_q[kStator] += vdq0[kQ] + w_old * m.wb * f.psi_d[kStator];
  f.dpsi_d[kRotor] += vr.alpha;
  f.dpsi_q[kRotor] += vr.beta;
  f.dpsi_0 = vdq0[kZero] - m.r[kStator] * st.i0;
}

// Stops the run on a rotor d-axis derivative above 1e10, or on a flux or
// derivative that is not finite.
void check_divergence(const FluxStep& f, const Machine& m) {
  bool diverged = !finite_all(f.psi_d, f.psi_q, m.n) || !finite_all(f.dpsi_d, f.dpsi_q, m.n) ||
                  !std::isfinite(f.psi_0) || !std::isfinite(f.dpsi_0);
  for (std::int32_t i = 1; i < m.n; ++i) diverged = diverged || f.dpsi_d[static_cast<std::size_t>(i)] > kDivergence;
  if (!diverged) return;
  if (m.console_texts) {
    wakro::console() << "Integration Error:\n"
                     << "The values of winding parameters are: \n"
                     << "  R - too large, L - too small.\n";
    wakro_quit(kInductionTag, kNoContext);
  }
  refuse("Integration Error");
}

// The flux step to the end-of-step voltages: the network's voltages turn at
// wb, so the stator's end voltage is the last solution advanced by wb dt and
// seen from the rotor at the end angle; in the rotor's frame both windings'
// voltages turn by the slip angle wb dt - turn over the step. The end voltages
// into out.
void flux_step(StartState& st, const Machine& m, const Phases& vabc, const RotorVoltages& vr, const Angles& a,
               double w_new, double dt, StepOut& out) {
  const double slip_turn = m.wb * dt - a.turn;
  Phases v_abc = vabc, v_end_dq0{};
  trns_nv(v_abc, v_end_dq0, a.start - slip_turn, kToDq0);
  const double cs = std::cos(slip_turn), sn = std::sin(slip_turn);
  out.v_alpha_end = vr.alpha * cs + vr.beta * sn;
  out.v_beta_end = vr.beta * cs - vr.alpha * sn;
  euler_nv(st.f, st.inverse, w_new, v_end_dq0, m.wb, out.v_alpha_end, out.v_beta_end, m.n);
  trns_nv(out.v_end, v_end_dq0, a.end, kToAbc);
}

// The currents the saturation factors are read at (from those of the step's
// start, on the start-up ramp).
struct SaturationCurrents {
  double magnetising = 0.0, stator = 0.0, rotor = 0.0;
};

SaturationCurrents saturation_currents(const StartState& st, std::int32_t n, double ramp) {
  double sum_d = 0.0, sum_q = 0.0;
  for (std::int32_t i = 0; i < n; ++i) {
    sum_d += st.id[static_cast<std::size_t>(i)];
    sum_q += st.iq[static_cast<std::size_t>(i)];
  }
  return {.magnetising = std::hypot(sum_d, sum_q) * kSqrtHalfRounded * ramp,
          .stator = (std::hypot(st.id[kStator], st.iq[kStator]) * kSqrtHalfRounded + st.i0) * ramp,
          .rotor = std::hypot(st.id[kRotor], st.iq[kRotor]) * kSqrtHalfRounded * ramp};
}

// The saturation factors of the magnetising, stator-leakage and rotor-leakage
// reactances.
struct Factors {
  double magnetising = 1.0, stator = 1.0, rotor = 1.0;
};

// A moved factor re-forms the matrix from the unsaturated reactances. The
// zero-sequence reactance the new currents are found with is returned.
double reform_on_move(const Slots<double>& s, const Layout& L, const Machine& m, const Factors& f,
                      std::int32_t inverse_offset, WindingMatrix& inverse) {
  const bool moved = std::fabs(f.stator - s(L.leak_factor)) > kFactorMove ||
                     std::fabs(f.magnetising - s(L.mag_factor)) > kFactorMove ||
                     (m.rotor_saturation && std::fabs(f.rotor - s(L.rotor_leak_factor)) > kFactorMove);
  if (!moved) return m.x[kStatorLeakX];
  s(L.mag_factor) = f.magnetising;
  s(L.leak_factor) = f.stator;
  if (L.rotor_leak_factor > 0) s(L.rotor_leak_factor) = f.rotor;
  ReactanceVector xs = m.x;
  xs[kMagnetisingX] *= f.magnetising;
  xs[kStatorLeakX] *= f.stator;
  if (m.rotor_saturation) xs[kRotorLeakX] *= f.rotor;
  form_inverse(xs, m.wb, m.n, inverse, inverse_offset);
  return xs[kStatorLeakX];
}

// The new circuit currents from the new fluxes (into st), the zero sequence's
// and the stator phase currents (into out).
void new_currents(StartState& st, const Machine& m, double x0, double theta, StepOut& out) {
  for (std::int32_t i = 0; i < m.n; ++i) {
    double a = 0.0, b = 0.0;
    for (std::int32_t j = 0; j < m.n; ++j) {
      a += at(st.inverse, i + 1, j + 1) * st.f.psi_d[static_cast<std::size_t>(j)];
      b += at(st.inverse, i + 1, j + 1) * st.f.psi_q[static_cast<std::size_t>(j)];
    }
    st.id[static_cast<std::size_t>(i)] = a;
    st.iq[static_cast<std::size_t>(i)] = b;
  }
  out.i0 = st.f.psi_0 * m.wb / x0;
  Phases idq0{st.id[kStator], st.iq[kStator], out.i0};
  trns_nv(out.i_abc, idq0, theta, kToAbc);
  out.i_alpha = st.id[kRotor];
  out.i_beta = st.iq[kRotor];
}

void store_state(const Slots<double>& s, const Layout& L, const StartState& st, std::int32_t n, double i0) {
  for (std::int32_t i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    s(L.psi_d + i) = st.f.psi_d[u];
    s(L.psi_q + i) = st.f.psi_q[u];
    s(L.id + i) = st.id[u];
    s(L.iq + i) = st.iq[u];
    s(L.dpsi_d + i) = st.f.dpsi_d[u];
    s(L.dpsi_q + i) = st.f.dpsi_q[u];
  }
  s(L.psi_0) = st.f.psi_0;
  s(L.i0) = i0;
  s(L.dpsi_0) = st.f.dpsi_0;
}

// The torques and the speed for the case code: with the speed imposed, the
// load torque that would have held it.
void store_torques(const Slots<double>& s, const Layout& L, const StartState& st, const Machine& m,
                   const InductionStepIn& in, const Speeds& w, double dt) {
  const double te_new = (st.id[kStator] * st.f.psi_q[kStator] - st.iq[kStator] * st.f.psi_d[kStator]) * m.wb * 0.5;
  s(L.torque) = te_new;
  s(L.load_torque) =
      in.mode == kImposedSpeed ? te_new - ((w.now - w.old) / dt) * m.inertia - w.now * m.damping : in.load_torque;
  s(L.speed_copy) = w.now;
}

// One step of the machine, common to every form: the state, the speed and
// angle, the start voltages and derivatives and the divergence check, the flux
// step, saturation and the new currents. sat gives the three factors from the
// magnetising, stator and rotor currents. Flattened, so that its named steps
// cost the step nothing over one body.
template <class Saturation>
[[gnu::flatten]] StepOut machine_step(const Slots<double>& s, const Layout& L, const Machine& m,
                                      const InductionStepIn& in, const Phases& vabc, const RotorVoltages& vr,
                                      std::int32_t inverse_offset, Saturation sat) {
  const double dt = e_s1::delt;
  // 1. The state; the speed and the angle.
  StartState st = read_state(s, L, m, inverse_offset);
  const Speeds w = mechanical_step(s, L, m, in, dt);
  const Angles a = advance_angle(s, L, m.wb, dt, w);
  // 2. The start voltages and derivatives; stop on divergence.
  const Phases vdq0 = start_voltages(s, L, vabc, a.start, vr);
  start_derivatives(st, m, vdq0, vr, w.old);
  check_divergence(st.f, m);
  // 3. The fluxes at the step's end.
  StepOut out;
  flux_step(st, m, vabc, vr, a, w.now, dt, out);
  // 4. Saturation, on the start-up ramp; the matrix re-formed on a move.
  const double ramp_end = kThreePeriods / m.wb;
  out.ramp = e_s1::time >= ramp_end ? 1.0 : e_s1::time / ramp_end;
  const SaturationCurrents i = saturation_currents(st, m.n, out.ramp);
  Factors f;
  sat(i.magnetising, i.stator, i.rotor, f.magnetising, f.stator, f.rotor);
  const double x0 = reform_on_move(s, L, m, f, inverse_offset, st.inverse);
  // 5. The new currents; the state, torques and speed kept.
  new_currents(st, m, x0, a.end, out);
  store_state(s, L, st, m.n, out.i0);
  store_torques(s, L, st, m, in, w, dt);
  return out;
}

// The rotor phase currents, referred to the rotor side (c = a Ib); with c = 1
// the phase values of any alpha-beta pair.
Phases rotor_currents(double c, double i_alpha, double i_beta) {
  return {c * i_alpha, (c * 0.5) * (-i_alpha - kSqrt3Rounded * i_beta), (c * 0.5) * (kSqrt3Rounded * i_beta - i_alpha)};
}

// How much the step's end voltage of each rotor phase exceeds the last
// solution's, per unit referred to the stator: the turn of the alpha-beta
// pair, the zero sequence unchanged.
Phases rotor_advance(const RotorVoltages& vr, const StepOut& o) {
  return rotor_currents(1.0, o.v_alpha_end - vr.alpha, o.v_beta_end - vr.beta);
}

// ------------------------------------------------------ the pair forms' step

// The pair forms' constants besides the machine's, from the record.
struct PairConstants {
  double inv_v = 0.0;     // 1 / phase voltage
  double ib = 0.0, zb = 0.0;
  double g_stator = 0.0, g_rotor = 0.0, turns = 0.0;
};

PairConstants pair_constants(const Slots<double>& c) {
  PairConstants k;
  const double power = c(kIcPower);
  k.inv_v = c(kIcInverseV);
  k.g_stator = c(kIcStatorG);
  k.turns = c(kIcTurns);
  k.g_rotor = c(kIcRotorG);
  k.ib = k.inv_v * kThirdRounded * power;
  k.zb = 3.0 / (k.inv_v * k.inv_v * power);
  return k;
}

// The registry records and the conductances of the machine's phase branches;
// the conductances reach the matrix through the network's change, in whichever
// form the matrix is.
void pair_branches(const InductionStepIn& in, const Machine& m, const PairConstants& k) {
  const std::int32_t ss = in.ss;
  const double x_ohm_stator = e_s1::delt / (2.0 * k.g_stator);
  for (std::int32_t br : in.stator) {
    harm_branch_record(br, ss);
    harm_record(kKindImpedance, ss, {branches::ief(br, ss), branches::iet(br, ss)},
                         {m.r[kStator] * k.zb, x_ohm_stator, -1.0});
  }
  for (std::int32_t br : in.rotor) {
    if (br == 0) continue;
    harm_branch_record(br, ss);
    harm_record(kKindImpedance, ss, {branches::ief(br, ss), branches::iet(br, ss)},
                         {m.r[kRotor] * k.zb, m.x[kRotorLeakX] * k.zb / m.wb, -1.0});
  }
  for (std::int32_t br : in.stator) {
    branches::defrdbr(br, ss) = true;
    change_branch_conductance(kInductionTag, ss, br, k.g_stator);
  }
  for (std::int32_t br : in.rotor) {
    if (br == 0) continue;
    branches::defrdbr(br, ss) = true;
    change_branch_conductance(kInductionTag, ss, br, k.g_rotor);
  }
}

// The R-C branches across the stator phases and the rotor phases (a rotor
// phase not brought out leaves its R-C branch's resistance to its owner).
void pair_rc_branches(const InductionStepIn& in, const Slots<double>& c, const PairConstants& k) {
  const double dt = e_s1::delt;
  const double rs = c(kIcRcResistance) * k.zb;
  const double cs = c(kIcRcFactor) * dt * 1e6 / rs;
  for (std::int32_t br : in.stator_rc) rcbranch(in.ss, br, rs, cs);
  const double rr = rs / (k.turns * k.turns);
  const double cr = c(kIcRcFactor) * dt * 1e6 / rr;
  for (std::size_t p = 0; p < 3; ++p) {
    if (in.rotor_rc[p] == 0) continue;
    if (in.rotor[p] != 0) {
      rcbranch(in.ss, in.rotor_rc[p], rr, cr);
    } else {
      rcbranch(in.ss, in.rotor_rc[p], -1.0, cr);
    }
  }
}

// The stator branch sources: the companion conductance carries the difference
// between the voltage the network finds and the end voltage the step assumed,
// so the branch current is the machine's current at the voltage it actually
// sees, to first order.
void pair_stator_sources(const InductionStepIn& in, const PairConstants& k, const StepOut& o) {
  for (std::size_t p = 0; p < 3; ++p)
    branches::ccbr(in.stator[p], in.ss) = o.i_abc[p] * k.ib * o.ramp - k.g_stator * o.v_end[p] / k.inv_v;
}

// The rotor branch sources (not ramped), likewise from the assumed end voltages.
void pair_rotor_sources(const InductionStepIn& in, const PairConstants& k, const RotorVoltages& vr,
                        const StepOut& o, bool keep_mean) {
  const std::int32_t ss = in.ss;
  const Phases rotor_i = rotor_currents(k.turns * k.ib, o.i_alpha, o.i_beta);
  const Phases rotor_dv = rotor_advance(vr, o);
  Phases t{};
  for (std::size_t p = 0; p < 3; ++p)
    t[p] = in.rotor[p] != 0
               ? k.g_rotor * (vbranch(ss, in.rotor[p]) + rotor_dv[p] / (k.turns * k.inv_v)) - rotor_i[p]
               : 0.0;
  const double tmean = keep_mean ? 0.0 : mean_of(t);
  for (std::size_t p = 0; p < 3; ++p)
    if (in.rotor[p] != 0) branches::ccbr(in.rotor[p], ss) = tmean - t[p];
}

void induction_exe(const InductionStepIn& in, Form form) {
  const std::int32_t nexc0 = e_s2::nexc;
  const Slots<double> s = blocks::take_stor(form == Form::second ? kImBlock2 : kImBlock1);
  const Slots<double> c = blocks::take_rtcf(kIcReals);
  Machine m;
  m.n = blocks::next_rtci();
  m.rotor_saturation = form == Form::second && blocks::take_rtcl(kIlLogicals)(kIlRotorSaturation);
  const bool keep_mean = form == Form::second && in.zero_sequence == kRotorAsIs;
  // Positions relative to the present pointers, for the routines that address
  // the stores from them.
  const std::int32_t inverse_offset = nexc0 + kImInverse - 1 - e_s2::nexc;
  const auto curve_offset = [&c](std::int32_t k) { return c.index(k) - rt_config::nrtcf; };

  // 1. The constants.
  read_constants(m, c, kPairConstants);
  const PairConstants k = pair_constants(c);
  check_inertia(in.mode, m.inertia);

  // 2. Time zero: speed, matrix, registry records, branch conductances, R-C branches.
  if (e_s1::timezero) {
    if (in.mode == kImposedSpeed) s(kImSpeed) = in.speed;
    WindingMatrix inverse{};
    form_inverse(m.x, m.wb, m.n, inverse, inverse_offset);
    pair_branches(in, m, k);
    pair_rc_branches(in, c, k);
  }

  // 3. Per-unit voltages: the stator's; the rotor's referred to the stator.
  Phases vabc{}, vr{};
  for (std::size_t p = 0; p < 3; ++p) vabc[p] = vbranch(in.ss, in.stator[p]) * k.inv_v;
  for (std::size_t p = 0; p < 3; ++p)
    vr[p] = in.rotor[p] != 0 ? vbranch(in.ss, in.rotor[p]) * k.turns * k.inv_v : 0.0;
  const RotorVoltages v_rotor = rotor_alpha_beta(vr, keep_mean);

  // 4. The machine's step.
  const bool second = form == Form::second;
  const StepOut o = machine_step(
      s, pair_layout(form), m, in, vabc, v_rotor, inverse_offset,
      [&](double im, double is, double ir, double& f1, double& f2, double& f3) {
        satur_nvrt(im, f1, curve_offset(kIcMagCurve));
        satur_nvrt(is, f2, curve_offset(kIcLeakCurve));
        if (second) satur_nvrt(ir, f3, curve_offset(kIcLeakCurve));
      });

  // 5. The branch sources.
  pair_stator_sources(in, k, o);
  pair_rotor_sources(in, k, v_rotor, o, keep_mean);
}

// ------------------------------------------------------- the single routine

constexpr double kDampShare = 21.0;
constexpr double kDampDecay = 19.0 / 21.0;
constexpr std::int32_t kKindNodeInductance = 1;
constexpr std::int32_t kKindNodeResistance = 0;
// satur_nv's curve selectors: the magnetising curve, any other the leakage's.
constexpr std::int32_t kMagnetisingSelector = 1, kLeakageSelector = 0;
static_assert(kSmMagCurve == kMagnetisingCurveSlot && kSmLeakCurve == kLeakageCurveSlot);

double node_voltage(std::int32_t ss, std::int32_t node) { return node == 0 ? 0.0 : e_s0::vdc(node, ss); }

// The single routine's six data records: R(1..5); X(1..12); S, V, wb; J, D, a;
// the magnetising curve; the leakage curve (each x1, y1 .. x10, y10).
struct InducmcRecords {
  InductionData d;  // the data the pair forms' checks read
  std::array<double, kCurveValueCount> mag{}, leak{};
};

InducmcRecords read_records(std::int32_t extra_cages) {
  InducmcRecords rec;
  InductionData& d = rec.d;
  d.extra_cages = extra_cages;
  const auto what = [](std::int32_t number) { return "Induction machine data record " + std::to_string(number); };
  read_data_record(kInductionTag, what(1), {std::span<double>(d.r)});
  read_data_record(kInductionTag, what(2), {std::span<double>(d.x)});
  read_data_record(kInductionTag, what(3), {d.power, d.voltage, d.base_w});
  read_data_record(kInductionTag, what(4), {d.inertia, d.damping, d.turns});
  read_data_record(kInductionTag, what(5), {std::span<double>(rec.mag)});
  read_data_record(kInductionTag, what(6), {std::span<double>(rec.leak)});
  return rec;
}

// The records into the block.
void store_records(const Slots<double>& s, const InducmcRecords& rec) {
  const InductionData& d = rec.d;
  for (std::int32_t k = 0; k < kResistanceCount; ++k) s(kSmR + k) = d.r[static_cast<std::size_t>(k)];
  for (std::int32_t k = 0; k < kReactanceCount; ++k) s(kSmX + k) = d.x[static_cast<std::size_t>(k)];
  s(kSmPower) = d.power;
  s(kSmVoltage) = d.voltage;
  s(kSmBaseW) = d.base_w;
  s(kSmInertia) = d.inertia;
  s(kSmDamping) = d.damping;
  s(kSmTurns) = d.turns;
  for (std::int32_t k = 0; k < kCurveValueCount; ++k) {
    s(kSmMagCurve + k) = rec.mag[static_cast<std::size_t>(k)];
    s(kSmLeakCurve + k) = rec.leak[static_cast<std::size_t>(k)];
  }
}

// The state cleared, the speed set when imposed.
void clear_state(const Slots<double>& s, const InducmcIn& in) {
  for (std::int32_t k = kSmPsiD; k <= kSmDPsi0; ++k) s(k) = 0.0;
  for (std::int32_t k : {kSmTorque, kSmDSpeed, kSmMagFactor, kSmVd, kSmVq, kSmV0, kSmLeakFactor, kSmValpha, kSmVbeta,
                         kSmNeutralG})
    s(k) = 0.0;
  if (in.mode == kImposedSpeed) s(kSmSpeed) = in.speed;
}

// The single routine's bases and conductances.
struct SingleBases {
  double zb = 0.0, xpp = 0.0, a2 = 0.0;  // base impedance, X'', a^2
  double gd = 0.0, gdr = 0.0;            // damping conductances, stator and rotor
};

// The branch conductances into the block and the damping network into dn.
SingleBases single_conductances(const Slots<double>& s, const Slots<double>& dn, const InductionData& d,
                                std::int32_t n) {
  SingleBases b;
  const double vph = d.voltage * kInvSqrt3Rounded;
  b.zb = 3.0 * vph * vph / d.power;
  const double dt = e_s1::delt, wb = d.base_w;
  b.xpp = subtransient_reactance(d.x, n);
  b.a2 = d.turns * d.turns;
  s(kSmStatorG) = dt * wb / (2.0 * b.zb * b.xpp);
  s(kSmRotorG) = dt * wb / (2.0 * (b.zb / b.a2) * d.x[kRotorLeakX]);
  s(kSmNeutralG) = 1.0 / b.zb;
  b.gd = 1.0 / (kDampShare * b.zb);
  b.gdr = 1.0 / (kDampShare * b.zb / b.a2);
  dn(kDnStatorG) = b.gd;
  dn(kDnStatorGain) = 2.0 * b.gd / kDampShare;
  dn(kDnDecay) = kDampDecay;
  dn(kDnRotorG) = b.gdr;
  dn(kDnRotorGain) = 2.0 * b.gdr / kDampShare;
  return b;
}

// The registry records of the nodes; the Norton nodes, and the damping
// conductances as branches: each stator phase to the neutral (the ground
// without one), each rotor phase to ground.
void single_network(const InducmcIn& in, const InductionData& d, const SingleBases& b) {
  const std::int32_t ss = in.ss;
  const double wb = d.base_w;
  for (std::int32_t p : in.stator)
    if (p != 0) harm_record(kKindNodeInductance, ss, {p, 0}, {b.zb * b.xpp / wb});
  for (std::int32_t q : in.rotor)
    if (q != 0) harm_record(kKindNodeInductance, ss, {q, 0}, {b.zb * d.x[kRotorLeakX] / wb});
  if (in.neutral != 0) harm_record(kKindNodeResistance, ss, {in.neutral, 0}, {b.zb});

  for (std::int32_t p : in.stator)
    if (p != 0) enable_norton(kInductionTag, ss, p);
  if (in.neutral != 0) enable_norton(kInductionTag, ss, in.neutral);
  for (std::int32_t q : in.rotor)
    if (q != 0) enable_norton(kInductionTag, ss, q);
  const std::array<double, 3> stator_y{0.0, b.gd, 0.0}, rotor_y{0.0, b.gdr, 0.0};  // between the two nodes
  for (std::int32_t p : in.stator) {
    if (p == 0) continue;
    const std::array<std::int32_t, 2> nodes{p, in.neutral};
    stamp_admittance(kInductionTag, ss, nodes, SymmetricAdmittance::packed(stator_y, 2));
  }
  for (std::int32_t q : in.rotor) {
    if (q == 0) continue;
    const std::array<std::int32_t, 2> nodes{q, 0};
    stamp_admittance(kInductionTag, ss, nodes, SymmetricAdmittance::packed(rotor_y, 2));
  }
}

// Time zero of inducmc: nodes, records, checks, constants, records of the
// registry and the damping conductances.
void inducmc_time_zero(const InducmcIn& in, const Slots<double>& s, const Slots<double>& dn, std::int32_t n,
                       std::int32_t inverse_offset) {
  const std::array<std::int32_t, 7> nodes{in.neutral,  in.stator[0], in.stator[1], in.stator[2],
                                          in.rotor[0], in.rotor[1],  in.rotor[2]};
  check_machine_nodes(kInductionTag, "induction machine", in.ss, nodes);
  const InducmcRecords rec = read_records(in.extra_cages);
  if (data_refused(rec.d)) wakro_quit(kInductionTag, kNoContext);
  store_records(s, rec);
  WindingMatrix inverse{};
  form_inverse(rec.d.x, rec.d.base_w, n, inverse, inverse_offset);
  clear_state(s, in);
  const SingleBases b = single_conductances(s, dn, rec.d, n);
  single_network(in, rec.d, b);
}

// The single routine's constants besides the machine's, from the block.
struct SingleConstants {
  double vph = 0.0, ib = 0.0;  // phase voltage, base current
  double turns = 0.0, g_stator = 0.0, g_rotor = 0.0, g_neutral = 0.0;
};

SingleConstants single_constants(const Slots<double>& s) {
  SingleConstants k;
  k.vph = s(kSmVoltage) * kInvSqrt3Rounded;
  k.ib = s(kSmPower) / (3.0 * k.vph);
  k.turns = s(kSmTurns);
  k.g_stator = s(kSmStatorG);
  k.g_rotor = s(kSmRotorG);
  k.g_neutral = s(kSmNeutralG);
  return k;
}

// The Norton injections of the stator phases with their damping histories,
// and of the neutral. The companion from the end voltage the step assumed, as
// the pair forms do.
void single_stator_injections(const InducmcIn& in, const Slots<double>& dn, const SingleConstants& k,
                              const Phases& vabc, double v_neutral, const StepOut& o) {
  const std::int32_t ss = in.ss;
  double h_sum = 0.0;
  for (std::size_t p = 0; p < 3; ++p) {
    const std::int32_t node = in.stator[p];
    if (node == 0) continue;
    double& h = dn(kDnStatorHistory + static_cast<std::int32_t>(p));
    const double vp = node_voltage(ss, node);
    h = h * dn(kDnDecay) - (vp - v_neutral) * dn(kDnStatorGain);
    h_sum += h;
    const double vp_end = vp + (o.v_end[p] - vabc[p]) * k.vph;
    add_norton(kInductionTag, ss, node, k.g_stator, -o.i_abc[p] * k.ib * o.ramp + k.g_stator * vp_end - h);
  }
  if (in.neutral != 0)
    add_norton(kInductionTag, ss, in.neutral, k.g_neutral,
               3.0 * o.i0 * k.ib * o.ramp + k.g_neutral * v_neutral + h_sum);
}

// The Norton injections of the rotor phases with their damping histories, the
// mean always removed.
void single_rotor_injections(const InducmcIn& in, const Slots<double>& dn, const SingleConstants& k,
                             const RotorVoltages& vr, const StepOut& o) {
  const std::int32_t ss = in.ss;
  const Phases rotor_i = rotor_currents(k.turns * k.ib, o.i_alpha, o.i_beta);
  const Phases rotor_dv = rotor_advance(vr, o);
  Phases t{};
  for (std::size_t p = 0; p < 3; ++p) {
    const std::int32_t node = in.rotor[p];
    if (node == 0) continue;
    double& h = dn(kDnRotorHistory + static_cast<std::int32_t>(p));
    const double vq = node_voltage(ss, node);
    h = h * dn(kDnDecay) - vq * dn(kDnRotorGain);
    t[p] = k.g_rotor * (vq + rotor_dv[p] * k.vph / k.turns) - rotor_i[p] - h;
  }
  const double tmean = mean_of(t);
  for (std::size_t p = 0; p < 3; ++p)
    if (in.rotor[p] != 0) add_norton(kInductionTag, ss, in.rotor[p], k.g_rotor, t[p] - tmean);
}

}  // namespace

void inducmc(const InducmcIn& in) {
  const std::int32_t nexc0 = e_s2::nexc;
  const Slots<double> s = blocks::take_stor(kSmBlock);
  const Slots<double> dn = blocks::take_storf(kDnSlots);
  // The saturation curves are read from the block at nexc: the pointer stays at
  // the block's start until the step is done.
  e_s2::nexc = nexc0;
  if (in.extra_cages < 0 || in.extra_cages > kMaxExtraCages)
    refuse("The number of extra rotor cages must lie between 0 and 3");
  Machine m;
  m.n = in.extra_cages + 2;
  m.console_texts = true;
  const std::int32_t inverse_offset = kSmInverse - 1;
  const std::int32_t ss = in.ss;
  if (e_s1::timezero) inducmc_time_zero(in, s, dn, m.n, inverse_offset);

  read_constants(m, s, kSingleConstants);
  check_inertia(in.mode, m.inertia);
  const SingleConstants k = single_constants(s);

  // Per-unit voltages from the node voltages; the rotor mean always removed.
  const double v_neutral = node_voltage(ss, in.neutral);
  Phases vabc{}, vr{};
  for (std::size_t p = 0; p < 3; ++p) {
    if (in.stator[p] != 0) vabc[p] = (node_voltage(ss, in.stator[p]) - v_neutral) / k.vph;
    vr[p] = k.turns * node_voltage(ss, in.rotor[p]) / k.vph;
  }
  const RotorVoltages v_rotor = rotor_alpha_beta(vr, false);

  InductionStepIn step;
  step.speed = in.speed;
  step.mode = in.mode;
  step.load_torque = in.load_torque;
  const StepOut o = machine_step(s, kSingleLayout, m, step, vabc, v_rotor, inverse_offset,
                                 [](double im, double is, double, double& f1, double& f2, double&) {
                                   satur_nv(im, f1, kMagnetisingSelector);
                                   satur_nv(is, f2, kLeakageSelector);
                                 });

  single_stator_injections(in, dn, k, vabc, v_neutral, o);
  single_rotor_injections(in, dn, k, v_rotor, o);
  e_s2::nexc = nexc0 + kSmBlock;
}

void inducmc2_cfg(const InductionData& d) { induction_cfg(d, Form::second); }
void inducmc1_cfg(const InductionData& d) { induction_cfg(d, Form::first); }
void inducmc2_exe(const InductionStepIn& in) { induction_exe(in, Form::second); }
void inducmc1_exe(const InductionStepIn& in) { induction_exe(in, Form::first); }
std::int64_t induction_inversions() { return inversions; }

}  // namespace wakro::machines
