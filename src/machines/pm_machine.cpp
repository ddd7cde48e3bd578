// The permanent-magnet synchronous machine (see pm_machine.h).
//
// Every form advances the same discrete state-space step (pm_step); the pair
// forms keep their constants in a configuration record and enter the network
// through interface branches, the single routine reads its data lines at time
// zero and injects its currents at nodes.
#include "machines/pm_machine.h"

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "blocks/matrix.h"
#include "blocks/slots.h"
#include "diag/console.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "machines/dq_library.h"
#include "machines/induction_numerics.h"
#include "machines/machine_messages.h"
#include "machines/routine_input.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/storage.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace wakro::machines {

namespace {

using blocks::Slots;

constexpr double kLeastDet = 1e-10;
// Below this squared magnitude (per unit) a space vector has no angle; the
// angle kept then is kNoAngle, outside any atan2.
constexpr double kLeastSpaceVector = 1e-12;
constexpr double kNoAngle = -10.0;
constexpr std::int32_t kOrder = 5;
constexpr std::int32_t kMEntries = 17;
constexpr std::int32_t kNEntries = 9;
constexpr std::int32_t kKindNodeInductance = 1;
constexpr std::int32_t kNoContext = 0;

// Directions of the frame transforms: trdqo's forward and backward, trns_nv's
// back to the phases.
constexpr std::int32_t kTrdqoToDq0 = 1, kTrdqoToAbc = -1;
constexpr std::int32_t kTrnsToAbc = -1;

// The second form's speed switch: its own mechanics, or the speed imposed.
constexpr std::int32_t kOwnMechanics = 0, kImposed = 1;

// Positions in the state's last inputs (Q, D, Z) and currents (id, iq, i0,
// ikd, ikq), from the first of each.
constexpr std::size_t kLastQ = 0, kLastD = 1, kLastZ = 2;
constexpr std::size_t kId = 0, kIq = 1, kI0 = 2, kIkd = 3, kIkq = 4;
static_assert(kPsLastD == kPsLastQ + kLastD && kPsLastZ == kPsLastQ + kLastZ);
static_assert(kPlLastD == kPlLastQ + kLastD && kPlLastZ == kPlLastQ + kLastZ);

// Positions of the entries of M (with whether the present speed multiplies
// them) and of N, in record order.
struct Entry {
  std::int32_t row, col;
  bool speed;
};
constexpr std::array<Entry, kMEntries> kMPositions{{{1, 1, false}, {1, 2, true},  {1, 4, false}, {1, 5, true},
                                                     {2, 1, true},  {2, 2, false}, {2, 4, true},  {2, 5, false},
                                                     {3, 3, false}, {4, 1, false}, {4, 2, true},  {4, 4, false},
                                                     {4, 5, true},  {5, 1, true},  {5, 2, false}, {5, 4, true},
                                                     {5, 5, false}}};
constexpr std::array<Entry, kNEntries> kNPositions{{{1, 1, false}, {1, 4, false}, {2, 2, false}, {2, 5, false},
                                                     {3, 3, false}, {4, 1, false}, {4, 4, false}, {5, 2, false},
                                                     {5, 5, false}}};
static_assert(kPmN == kPmM + kMEntries && kPmRecord1 == kPmN + kNEntries - 1);

using Square = std::array<double, kOrder * kOrder>;
std::size_t ix(std::int32_t i, std::int32_t j) { return static_cast<std::size_t>((j - 1) * kOrder + (i - 1)); }

// The machine's circuit, as the three forms know it.
struct Circuit {
  double xd = 0.0, xq = 0.0, xmd = 0.0, xmq = 0.0, xkd = 0.0, xkq = 0.0, xl = 0.0;
  double ra = 0.0, rkd = 0.0, rkq = 0.0;
  double detd() const { return xd * xkd - xmd * xmd; }
  double detq() const { return xq * xkq - xmq * xmq; }
};

// The entries of M = h A and of N for the time step dt at base frequency wb.
void state_entries(const Circuit& c, double wb, double dt, std::array<double, kMEntries>& m,
                   std::array<double, kNEntries>& n) {
  const double h = dt * wb / 2.0, h2 = dt * wb;
  const double detd = c.detd(), detq = c.detq();
  m = {-c.xkd * c.ra / detd * h, c.xkd * c.xq / detd * h,  c.rkd * c.xmd / detd * h, c.xkd * c.xmq / detd * h,
       -c.xd * c.xkq / detq * h, -c.ra * c.xkq / detq * h, -c.xmd * c.xkq / detq * h, c.rkq * c.xmq / detq * h,
       -c.ra / c.xl * h,         c.xmd * c.ra / detd * h,  -c.xmd * c.xq / detd * h,  -c.rkd * c.xd / detd * h,
       -c.xmd * c.xmq / detd * h, c.xd * c.xmq / detq * h, c.ra * c.xmq / detq * h,   c.xmd * c.xmq / detq * h,
       -c.rkq * c.xq / detq * h};
  n = {c.xkd / detd * h2,  -c.xmd / detd * h2, c.xkq / detq * h2, -c.xmq / detq * h2, h2 / c.xl,
       -c.xmd / detd * h2, c.xd / detd * h2,   -c.xmq / detq * h2, c.xq / detq * h2};
}

// What one step needs besides the state.
struct StepConstants {
  double inv_vph = 0.0, wb = 0.0, flux = 0.0;
  double xd = 0.0, xq = 0.0, xmd = 0.0, xmq = 0.0;
  const double* m = nullptr;  // kMEntries
  const double* n = nullptr;  // kNEntries
};

// The state of one machine: the angle, the last inputs (Q, D, Z), the five currents.
struct StateRefs {
  double& theta;
  double* last;
  double* x;
};

enum class Inverse { frame, legacy };

double wrap(double a) {
  if (a >= kTwoPi) a -= kTwoPi;
  if (a < 0.0) a += kTwoPi;
  return a;
}

// The discrete step's matrices at speed w: P = (I - M)^-1 (I + M) and
// R = (I - M)^-1 N. A singular (I - M) stops the run.
void discrete_matrices(const StepConstants& k, double w, Square& p, Square& r) {
  Square m{}, n{}, a{}, b{}, inv{}, work{};
  for (std::int32_t e = 0; e < kMEntries; ++e) {
    const Entry& pos = kMPositions[static_cast<std::size_t>(e)];
    m[ix(pos.row, pos.col)] = k.m[e] * (pos.speed ? w : 1.0);
  }
  for (std::int32_t e = 0; e < kNEntries; ++e) {
    const Entry& pos = kNPositions[static_cast<std::size_t>(e)];
    n[ix(pos.row, pos.col)] = k.n[e];
  }
  for (std::size_t e = 0; e < a.size(); ++e) {
    a[e] = -m[e];
    b[e] = m[e];
  }
  for (std::int32_t i = 1; i <= kOrder; ++i) {
    a[ix(i, i)] += 1.0;
    b[ix(i, i)] += 1.0;
  }
  std::array<double, kOrder> x_unused{};
  std::array<std::int32_t, kOrder> l{}, mm{};
  matinv_or_stop(kPmTag, a.data(), inv.data(), kOrder, x_unused.data(), work.data(), l.data(), mm.data());
  mymatmul(inv.data(), b.data(), kOrder, kOrder, kOrder, p.data(), 1.0);
  mymatmul(inv.data(), n.data(), kOrder, kOrder, kOrder, r.data(), 1.0);
}

// x := P x + R u.
void advance_currents(const Square& p, const Square& r, const std::array<double, kOrder>& u, double* x) {
  std::array<double, kOrder> x_new{};
  for (std::int32_t i = 1; i <= kOrder; ++i) {
    double s = 0.0;
    for (std::int32_t j = 1; j <= kOrder; ++j)
      s += p[ix(i, j)] * x[j - 1] + r[ix(i, j)] * u[static_cast<std::size_t>(j - 1)];
    x_new[static_cast<std::size_t>(i - 1)] = s;
  }
  for (std::int32_t i = 0; i < kOrder; ++i) x[i] = x_new[static_cast<std::size_t>(i)];
}

// The speeds of one step: the mean over the step (the step's matrices and the
// rotor's turn), the speed at its end (the magnet's voltage there), and the
// network's turn over the step (the prediction of the end voltage).
struct StepSpeed {
  double mean, end, net_turn;
};

// One speed throughout the step, the network turning with the rotor.
StepSpeed constant_speed(double w, double wb) { return {w, w, w * wb * e_s1::delt}; }

// The phase voltages turned by the angle a. For a balanced set (vc - vb) /
// sqrt(3) is the component of va in quadrature, so va' = va cos a + (vc - vb)
// sin a / sqrt(3): the exact rotation, which keeps the magnitude (a linear
// advance overstates it by a^2 / 2). The zero-sequence part is kept as it is.
std::array<double, 3> turned(const std::array<double, 3>& v, double a) {
  const double s = std::sin(a) * kInvSqrt3Rounded, half = std::sin(a / 2.0), c = 2.0 * half * half;  // 1 - cos a
  const double z = (v[0] + v[1] + v[2]) * kThird;
  return {v[0] + (v[2] - v[1]) * s - (v[0] - z) * c, v[1] + (v[0] - v[2]) * s - (v[1] - z) * c,
          v[2] + (v[1] - v[0]) * s - (v[2] - z) * c};
}

// The discrete state-space step from the phase voltages (network units) at
// the speeds sp; the per-unit phase currents out, and the per-unit phase
// voltages the step assumed at its end; Te returned.
double pm_step(const StepConstants& k, StateRefs st, const StepSpeed& sp, const std::array<double, 3>& v_net,
               std::array<double, 3>& i_abc, std::array<double, 3>& v_end, Inverse inverse) {
  // 1. The step's matrices at the mean speed (the trapezoid of a speed that
  // changes within the step, to second order).
  Square p{}, r{};
  discrete_matrices(k, sp.mean, p, r);
  // 2. Phase voltages per unit, turned by the network's rotation within the step.
  const double turn = e_s1::delt * sp.mean * k.wb;
  v_end = turned({v_net[0] * k.inv_vph, v_net[1] * k.inv_vph, v_net[2] * k.inv_vph}, sp.net_turn);
  // 3. Angles.
  st.theta = wrap(st.theta + turn);
  const double ta = wrap(st.theta - kHalfPiCut);
  // 4. The frame voltages and the step's mean input.
  double d = 0.0, q = 0.0, z = 0.0;
  trdqo(v_end[0], v_end[1], v_end[2], d, q, z, ta, kTrdqoToDq0);
  d -= sp.end * k.flux;
  const std::array<double, kOrder> u{(q + st.last[kLastQ]) / 2.0, (d + st.last[kLastD]) / 2.0,
                                     (z + st.last[kLastZ]) / 2.0, 0.0, 0.0};
  st.last[kLastQ] = q;
  st.last[kLastD] = d;
  st.last[kLastZ] = z;
  // 5. The currents.
  advance_currents(p, r, u, st.x);
  const double id = st.x[kId], iq = st.x[kIq], i0 = st.x[kI0], ikd = st.x[kIkd], ikq = st.x[kIkq];
  // 6. Phase currents from (iq, id, i0).
  if (inverse == Inverse::frame) {
    Phases abc{}, dq0{iq, id, i0};
    trns_nv(abc, dq0, ta, kTrnsToAbc);
    i_abc = abc;
  } else {
    double dd = iq, qq = id, zz = i0;
    trdqo(i_abc[0], i_abc[1], i_abc[2], dd, qq, zz, ta, kTrdqoToAbc);
  }
  // 7. Electrical torque.
  return 0.5 * ((k.xd * id + k.xmd * ikd + k.flux) * iq - (k.xq * iq + k.xmq * ikq) * id);
}

// ------------------------------------------------------- the pair forms

enum class PmForm { first, second };

// The failures of the configuration arguments that the set-up divides by or
// writes into the record: each argument finite, the rated values and the
// leakage reactance positive. One text a failure.
std::vector<std::string> data_faults(const PmData& d, PmForm form) {
  struct Argument {
    const char* name;
    double value;
    bool positive;  // divided by: must be greater than zero
  };
  const Argument args[] = {{"rated voltage V", d.voltage, true},
                           {"rated power S", d.power, true},
                           {"rated frequency f", d.frequency, true},
                           {"Xd", d.xd, false},
                           {"Xq", d.xq, false},
                           {"Xkd", d.xkd, false},
                           {"Xkq", d.xkq, false},
                           {"leakage reactance Xl", d.xl, true},
                           {"Ra", d.ra, false},
                           {"Rkd", d.rkd, false},
                           {"Rkq", d.rkq, false},
                           {"magnet flux", d.flux, false},
                           {"interface resistance", d.ri, false},
                           {"snubber resistance", d.snubber_r, false},
                           {"snubber time constant", d.snubber_steps, false},
                           {"damping D", d.damping, false},   // second form only
                           {"inertia H", d.inertia, false}};  // second form only
  const std::size_t count = form == PmForm::second ? std::size(args) : std::size(args) - 2;
  std::vector<std::string> faults;
  for (std::size_t k = 0; k < count; ++k)
    if (!std::isfinite(args[k].value)) faults.push_back(not_finite_text(std::string("The ") + args[k].name));
  for (std::size_t k = 0; k < count; ++k)
    if (args[k].positive && std::isfinite(args[k].value) && args[k].value <= 0.0)
      faults.push_back(std::string("The ") + args[k].name + " must be greater than zero");
  return faults;
}

// The checks, in groups: first the data the set-up divides by or carries into
// the record, then the reactances, then the determinants. The first form stops
// at its first failure; the second reports a whole group before it stops.
void check_data(const PmData& d, const Circuit& c, PmForm form) {
  const std::vector<std::string> data = data_faults(d, form);
  const std::vector<std::string> reactances{c.xmd <= 0.0 ? "Xd must be greater than leakage reactance" : "",
                                            c.xmq <= 0.0 ? "Xq must be greater than leakage reactance" : ""};
  const std::vector<std::string> determinants{c.detd() <= kLeastDet ? "Unrealistic D axis data" : "",
                                              c.detq() <= kLeastDet ? "Unrealistic Q axis data" : ""};
  for (const std::vector<std::string>* group : {&data, &reactances, &determinants}) {
    bool failed = false;
    for (const std::string& text : *group) {
      if (text.empty()) continue;
      if (form == PmForm::first) {
        wakro_warn(e_warn::comp_id1, e_warn::comp_id2, msg::kSingleLine, text);
        wakro_quit(kPmTag, kNoContext);
      }
      machine_error(text);
      failed = true;
    }
    if (failed) wakro_quit(kPmTag, kNoContext);
  }
}

// 1 / H of the second form; an inertia too small to divide by is taken as 1 s.
double inverse_inertia(const PmData& d) {
  if (d.inertia > kTinyInertia) return 1.0 / d.inertia;
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, msg::kSingleLine, "Unrealistic inertica value, assumed 1.0 [s]");
  return 1.0;
}

void pm_cfg(const PmData& d, PmForm form) {
  const Circuit c{.xd = d.xd, .xq = d.xq, .xmd = d.xd - d.xl, .xmq = d.xq - d.xl, .xkd = d.xkd, .xkq = d.xkq,
                  .xl = d.xl, .ra = d.ra, .rkd = d.rkd, .rkq = d.rkq};
  check_data(d, c, form);
  const double inv_h = form == PmForm::second ? inverse_inertia(d) : 0.0;
  const Slots<double> r = blocks::take_rtcf(form == PmForm::first ? kPmRecord1 : kPmRecord2);
  const double vph = kInvSqrt3Rounded * d.voltage;
  const double zb = d.voltage * d.voltage / d.power;
  const double wb = kTwoPi * d.frequency;
  const double dt = e_s1::delt;
  r(kPmInvVph) = 1.0 / vph;
  r(kPmIb) = d.power / (kSqrt3Rounded * d.voltage);
  r(kPmWb) = wb;
  r(kPmXd) = c.xd;
  r(kPmXq) = c.xq;
  r(kPmXmd) = c.xmd;
  r(kPmXmq) = c.xmq;
  r(kPmFlux) = kSqrt2Rounded * d.flux;
  r(kPmRi) = form == PmForm::first ? d.ri : d.ri * zb;
  r(kPmRs) = d.snubber_r * zb;
  // No snubber for a resistance of 0 or less: no capacitance either.
  r(kPmCs) = r(kPmRs) > 0.0 ? d.snubber_steps * dt * 1.0E6 / r(kPmRs) : 0.0;
  std::array<double, kMEntries> m{};
  std::array<double, kNEntries> n{};
  state_entries(c, wb, dt, m, n);
  for (std::int32_t e = 0; e < kMEntries; ++e) r(kPmM + e) = m[static_cast<std::size_t>(e)];
  for (std::int32_t e = 0; e < kNEntries; ++e) r(kPmN + e) = n[static_cast<std::size_t>(e)];
  if (form == PmForm::second) {
    r(kPmInvH) = inv_h;
    r(kPmDamping) = d.damping;
  }
}

// Time zero of the pair forms: snubbers, interface branches (whose set-up puts
// their conductance into the matrix through the network's change, a switching
// branch taking it as its GEQ only) and one registry record per phase.
void pm_time_zero(const PmStepIn& in, const Slots<double>& r) {
  for (std::int32_t br : in.snubber) rcbranch(in.ss, br, r(kPmRs), r(kPmCs));
  const double zb = 1.0 / (r(kPmInvVph) * r(kPmIb));
  for (std::int32_t br : in.phase) {
    intfc_brnch1_cfg(in.ss, br, r(kPmRi));
    harm_record(kKindNodeInductance, in.ss, {branches::ief(br, in.ss), branches::iet(br, in.ss)},
                         {kSqrt3Rounded * r(kPmXd) * zb / r(kPmWb)});
  }
}

// The angle of the phase voltages' space vector (network units, 1 / Vph given),
// or kNoAngle when it is too small to have one.
double space_angle(const std::array<double, 3>& v, double inv_vph) {
  const double alpha = (v[0] - (v[1] + v[2]) / 2.0) * inv_vph, beta = (v[1] - v[2]) * kSqrt3Rounded / 2.0 * inv_vph;
  return alpha * alpha + beta * beta > kLeastSpaceVector ? std::atan2(beta, alpha) : kNoAngle;
}

// The step of the pair forms at the speeds sp; Te returned. With `last_angle`
// (the second form) the space-vector angle of the solution is kept there, and
// with `measured` the network's turn over the step is taken as its turn over
// the last step, when both solutions have an angle.
double pm_exe(const PmStepIn& in, const Slots<double>& r, const Slots<double>& s, StepSpeed sp,
              double* last_angle = nullptr, bool measured = false) {
  const StepConstants k{.inv_vph = r(kPmInvVph), .wb = r(kPmWb), .flux = r(kPmFlux), .xd = r(kPmXd),
                        .xq = r(kPmXq), .xmd = r(kPmXmd), .xmq = r(kPmXmq), .m = &r(kPmM), .n = &r(kPmN)};
  std::array<double, 3> v{}, i{}, v_end{};
  for (std::size_t p = 0; p < 3; ++p) v[p] = vbranch(in.ss, in.phase[p]);
  if (last_angle != nullptr) {
    const double now = space_angle(v, k.inv_vph);
    if (measured && now != kNoAngle && *last_angle != kNoAngle)
      sp.net_turn = std::remainder(now - *last_angle, kTwoPi);
    *last_angle = now;
  }
  const double te = pm_step(k, {s(kPsAngle), &s(kPsLastQ), &s(kPsX)}, sp, v, i, v_end, Inverse::frame);
  const double ib = r(kPmIb);
  // The interface subtracts its conductance times the last solution's voltage;
  // the currents are those of the end voltage the step assumed, so the branch
  // is given back the difference and carries i + g (v - v_end).
  for (std::size_t p = 0; p < 3; ++p) {
    const std::int32_t br = in.phase[p];
    branches::ccbr(br, in.ss) = ib * i[p] + branches::geq(br, in.ss) * (v[p] - v_end[p] / k.inv_vph);
    intfc_brnch1_exe(in.ss, br);
  }
  return te;
}

// ------------------------------------------------------------ pmmachine

// The six data lines of pmmachine: V, Ib, wb; Xd, Xq, Xmd, Xmq, Xkd, Xkq, Xl;
// Ra, Rkd, Rkq; the magnet flux; the interface resistance; the snubber's
// resistance and time constant in steps.
struct PmmachineData {
  double v = 0.0, ib = 0.0, wb = 0.0;
  Circuit c;
  double flux = 0.0, ri = 0.0, snubber_r = 0.0, snubber_steps = 0.0;
};

PmmachineData read_lines() {
  PmmachineData d;
  Circuit& c = d.c;
  const auto what = [](std::int32_t number) { return "PM machine data line " + std::to_string(number); };
  read_data_record(kPmTag, what(1), {d.v, d.ib, d.wb});
  read_data_record(kPmTag, what(2), {c.xd, c.xq, c.xmd, c.xmq, c.xkd, c.xkq, c.xl});
  read_data_record(kPmTag, what(3), {c.ra, c.rkd, c.rkq});
  read_data_record(kPmTag, what(4), {d.flux});
  read_data_record(kPmTag, what(5), {d.ri});
  read_data_record(kPmTag, what(6), {d.snubber_r, d.snubber_steps});
  return d;
}

void store_lines(const Slots<double>& s, const PmmachineData& d) {
  s(kPlV) = d.v;
  s(kPlIb) = d.ib;
  s(kPlWb) = d.wb;
  s(kPlXd) = d.c.xd;
  s(kPlXq) = d.c.xq;
  s(kPlXmd) = d.c.xmd;
  s(kPlXmq) = d.c.xmq;
  s(kPlXkd) = d.c.xkd;
  s(kPlXkq) = d.c.xkq;
  s(kPlXl) = d.c.xl;
  s(kPlRa) = d.c.ra;
  s(kPlRkd) = d.c.rkd;
  s(kPlRkq) = d.c.rkq;
  s(kPlFlux) = d.flux;
  s(kPlRi) = d.ri;
  s(kPlSnubberR) = d.snubber_r;
  s(kPlSnubberSteps) = d.snubber_steps;
}

Circuit legacy_circuit(const Slots<double>& s) {
  return {.xd = s(kPlXd), .xq = s(kPlXq), .xmd = s(kPlXmd), .xmq = s(kPlXmq), .xkd = s(kPlXkd),
          .xkq = s(kPlXkq), .xl = s(kPlXl), .ra = s(kPlRa), .rkd = s(kPlRkd), .rkq = s(kPlRkq)};
}

[[noreturn]] void legacy_stop(std::string_view text) {
  wakro::console() << text << '\n';
  wakro_quit(kPmTag, kNoContext);
}

[[noreturn]] void refuse(std::string_view text) {
  machine_error(text);
  wakro_quit(kPmTag, kNoContext);
}

// The checks of the data lines, in their order.
void check_lines(const PmmachineData& d) {
  if (d.c.detd() <= kLeastDet) legacy_stop("Unrealistic D axis data");
  if (d.c.detq() <= kLeastDet) legacy_stop("Unrealistic Q axis data");
  if (!(d.ri > 0.0)) refuse("The interface resistance of the PM machine must be positive");
  if (!(d.v > 0.0 && d.ib > 0.0 && d.wb > 0.0 && d.c.xl > 0.0))
    refuse("V, Ib, wb and Xl of the PM machine must be positive");
}

void legacy_time_zero(const PmmachineIn& in, const Slots<double>& s) {
  const std::int32_t ss = in.ss;
  check_machine_nodes(kPmTag, "PM machine", ss, in.nodes);
  const PmmachineData d = read_lines();
  store_lines(s, d);
  check_lines(d);
  s(kPlInvDetD) = 1.0 / d.c.detd();
  s(kPlInvDetQ) = 1.0 / d.c.detq();
  s(kPlInvRi) = 1.0 / d.ri;
  s(kPlAngle) = 0.0;
  for (std::int32_t k = kPlLastQ; k <= kPlX + kOrder - 1; ++k) s(k) = 0.0;
  const double zb = d.v / (kSqrt3Rounded * d.ib);
  const double rs = d.snubber_r * zb;
  const double cs = rs > 0.0 ? d.snubber_steps * e_s1::delt * 1.0E6 / rs : 0.0;
  for (std::int32_t node : in.nodes)
    if (node != 0) enable_norton(kPmTag, ss, node);
  for (std::int32_t br : in.snubber) rcbranch(ss, br, rs, cs);
  for (std::int32_t node : in.nodes)
    if (node != 0) harm_record(kKindNodeInductance, ss, {node, 0}, {d.c.xd * d.v / (d.ib * d.wb)});
}

}  // namespace

void pmmac1_cfg(const PmData& d) { pm_cfg(d, PmForm::first); }
void pmmac2_cfg(const PmData& d) { pm_cfg(d, PmForm::second); }

double pmmac1_exe(const PmStepIn& in) {
  const Slots<double> r = blocks::take_rtcf(kPmRecord1);
  const Slots<double> s = blocks::take_storf(kPsSlots1);
  if (e_s1::timezero) pm_time_zero(in, r);
  return pm_exe(in, r, s, constant_speed(in.speed, r(kPmWb)));
}

// The second form. Its own mechanics advance the speed by the second-order
// Adams-Bashforth step from the accelerations at the ends of the last two
// steps (the trapezoid of those two would lag a whole step); the step then runs
// at the mean of the speeds at its two ends, and the end voltage is predicted
// with the network's own turn, measured over the last step, rather than the
// rotor's (which swings about it). The acceleration is kept with an imposed
// speed too, so that a switch to the own mechanics starts from it.
void pmmac2_exe(const PmStepIn& in) {
  const Slots<double> r = blocks::take_rtcf(kPmRecord2);
  const Slots<double> s = blocks::take_storf(kPsSlots2);
  if (e_s1::timezero) {
    if (in.speed_switch == kImposed) s(kPsSpeed) = in.speed;
    s(kPsLastAngle) = kNoAngle;
    pm_time_zero(in, r);
  }
  const double w_last = s(kPsSpeed);
  const double accel = (s(kPsTorque) - in.load_torque - r(kPmDamping) * w_last) * r(kPmInvH);
  StepSpeed sp = constant_speed(in.speed, r(kPmWb));
  const bool own = in.speed_switch == kOwnMechanics;
  if (own) {
    const double w = w_last + e_s1::delt / 2.0 * (3.0 * accel - s(kPsDSpeed));
    sp = {(w_last + w) / 2.0, w, (w_last + w) / 2.0 * r(kPmWb) * e_s1::delt};
  }
  s(kPsDSpeed) = accel;
  s(kPsSpeed) = sp.end;
  s(kPsTorque) = pm_exe(in, r, s, sp, &s(kPsLastAngle), own);
}

double pmmachine(const PmmachineIn& in) {
  const Slots<double> s = blocks::take_storf(kPlSlots);
  if (e_s1::timezero) legacy_time_zero(in, s);
  const Circuit c = legacy_circuit(s);
  std::array<double, kMEntries> m{};
  std::array<double, kNEntries> n{};
  state_entries(c, s(kPlWb), e_s1::delt, m, n);
  const StepConstants k{.inv_vph = kSqrt3Rounded / s(kPlV), .wb = s(kPlWb), .flux = s(kPlFlux), .xd = c.xd,
                        .xq = c.xq, .xmd = c.xmd, .xmq = c.xmq, .m = m.data(), .n = n.data()};
  std::array<double, 3> v{}, i{}, v_end{};
  for (std::size_t p = 0; p < 3; ++p) v[p] = in.nodes[p] != 0 ? e_s0::vdc(in.nodes[p], in.ss) : 0.0;
  const double te = pm_step(k, {s(kPlAngle), &s(kPlLastQ), &s(kPlX)}, constant_speed(in.speed, s(kPlWb)), v, i,
                            v_end, Inverse::legacy);
  const double g = s(kPlInvRi), ib = s(kPlIb);
  // The companion from the end voltage the step assumed, as the pair forms do.
  for (std::size_t p = 0; p < 3; ++p)
    if (in.nodes[p] != 0) add_norton(kPmTag, in.ss, in.nodes[p], g, ib * (-i[p]) + g * v_end[p] / k.inv_vph);
  return te;
}

}  // namespace wakro::machines
