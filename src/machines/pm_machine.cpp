// The permanent-magnet synchronous machine (see pm_machine.h).
#include "machines/pm_machine.h"

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "blocks/matrix.h"
#include "blocks/slots.h"
#include "devices/device_support.h"
#include "diag/console.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "machines/dq_library.h"
#include "machines/induction_numerics.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/storage.h"
#include "network/companion.h"
#include "network/matrix.h"
#include "network/solution.h"

namespace wakro::machines {

namespace {

using blocks::Slots;

constexpr double kInvRoot3 = 0.577350269189626;
constexpr double kRoot2 = 1.414213562373095;
constexpr double kRoot3 = 1.732050807568877;
constexpr double kTwoPiAngle = 6.283185307179586;
constexpr double kQuarterTurn = 1.570796326794896;
constexpr double kLeastDet = 1e-10;
constexpr double kLeastInertia = 1e-38;
constexpr std::int32_t kOrder = 5;
constexpr std::int32_t kMEntries = 17;
constexpr std::int32_t kNEntries = 9;
constexpr std::int32_t kKindNodeInductance = 1;
constexpr std::int32_t kSeverityError = 2;
constexpr std::int32_t kSingleLine = 1;
constexpr std::int32_t kShowLastLine = 1;

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

using Square = std::array<double, kOrder * kOrder>;
std::size_t ix(std::int32_t i, std::int32_t j) { return static_cast<std::size_t>((j - 1) * kOrder + (i - 1)); }

// The machine's circuit, as the three forms know it.
struct Circuit {
  double xd = 0.0, xq = 0.0, xmd = 0.0, xmq = 0.0, xkd = 0.0, xkq = 0.0, xl = 0.0;
  double ra = 0.0, rkd = 0.0, rkq = 0.0;
};

// The entries of M = h A and of N for the time step dt at base frequency wb.
void state_entries(const Circuit& c, double wb, double dt, std::array<double, kMEntries>& m,
                   std::array<double, kNEntries>& n) {
  const double h = dt * wb / 2.0, h2 = dt * wb;
  const double detd = c.xd * c.xkd - c.xmd * c.xmd, detq = c.xq * c.xkq - c.xmq * c.xmq;
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
  if (a >= kTwoPiAngle) a -= kTwoPiAngle;
  if (a < 0.0) a += kTwoPiAngle;
  return a;
}

// Steps 2 to 8 and 10: the discrete state-space step from the phase voltages
// (network units) at speed w; the per-unit phase currents out, and the
// per-unit phase voltages the step assumed at its end; Te returned.
double pm_step(const StepConstants& k, StateRefs st, double w, const std::array<double, 3>& v_net,
               std::array<double, 3>& i_abc, std::array<double, 3>& v_end, Inverse inverse) {
  Square m{}, n{}, a{}, b{}, inv{}, p{}, r{}, work{};
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

  // 3. Phase voltages per unit, advanced by the turn within the step. For a
  // balanced set (vc - vb) / sqrt(3) is the component of va in quadrature,
  // so the advance is by the angle w wb dt itself.
  const double dt = e_s1::delt, turn = dt * w * k.wb, advance = turn * kInvRoot3;
  const double va = v_net[0] * k.inv_vph, vb = v_net[1] * k.inv_vph, vc = v_net[2] * k.inv_vph;
  double a1 = va + (vc - vb) * advance, b1 = vb + (va - vc) * advance, c1 = vc + (vb - va) * advance;
  v_end = {a1, b1, c1};
  // 4. Angles.
  st.theta = wrap(st.theta + turn);
  const double ta = wrap(st.theta - kQuarterTurn);
  // 5-6. The frame voltages and the step's mean input.
  double d = 0.0, q = 0.0, z = 0.0;
  trdqo(a1, b1, c1, d, q, z, ta, 1);
  d -= w * k.flux;
  const std::array<double, kOrder> u{(q + st.last[0]) / 2.0, (d + st.last[1]) / 2.0, (z + st.last[2]) / 2.0, 0.0,
                                     0.0};
  st.last[0] = q;
  st.last[1] = d;
  st.last[2] = z;
  // 7. x := P x + R u.
  std::array<double, kOrder> x_new{};
  for (std::int32_t i = 1; i <= kOrder; ++i) {
    double s = 0.0;
    for (std::int32_t j = 1; j <= kOrder; ++j)
      s += p[ix(i, j)] * st.x[j - 1] + r[ix(i, j)] * u[static_cast<std::size_t>(j - 1)];
    x_new[static_cast<std::size_t>(i - 1)] = s;
  }
  for (std::int32_t i = 0; i < kOrder; ++i) st.x[i] = x_new[static_cast<std::size_t>(i)];
  const double id = st.x[0], iq = st.x[1], i0 = st.x[2], ikd = st.x[3], ikq = st.x[4];
  // 8. Phase currents from (iq, id, i0).
  if (inverse == Inverse::frame) {
    Phases abc{}, dq0{iq, id, i0};
    trns_nv(abc, dq0, ta, -1);
    i_abc = abc;
  } else {
    double dd = iq, qq = id, zz = i0;
    trdqo(i_abc[0], i_abc[1], i_abc[2], dd, qq, zz, ta, -1);
  }
  // 10. Electrical torque.
  return 0.5 * ((k.xd * id + k.xmd * ikd + k.flux) * iq - (k.xq * iq + k.xmq * ikq) * id);
}

void error_line(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, kSeverityError, kSingleLine, text);
}

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
    if (!std::isfinite(args[k].value)) faults.push_back(std::string("The ") + args[k].name + " is not a finite number");
  for (std::size_t k = 0; k < count; ++k)
    if (args[k].positive && std::isfinite(args[k].value) && args[k].value <= 0.0)
      faults.push_back(std::string("The ") + args[k].name + " must be greater than zero");
  return faults;
}

void pm_cfg(const PmData& d, PmForm form) {
  Circuit c;
  c.xd = d.xd;
  c.xq = d.xq;
  c.xkd = d.xkd;
  c.xkq = d.xkq;
  c.xl = d.xl;
  c.ra = d.ra;
  c.rkd = d.rkd;
  c.rkq = d.rkq;
  c.xmd = d.xd - d.xl;
  c.xmq = d.xq - d.xl;
  const double detd = c.xd * c.xkd - c.xmd * c.xmd, detq = c.xq * c.xkq - c.xmq * c.xmq;
  // The checks, in groups: first the data the set-up divides by or carries
  // into the record, then the reactances, then the determinants. The first
  // form stops at its first failure; the second reports a whole group before
  // it stops.
  const std::vector<std::string> data = data_faults(d, form);
  const std::vector<std::string> reactances{c.xmd <= 0.0 ? "Xd must be greater than leakage reactance" : "",
                                            c.xmq <= 0.0 ? "Xq must be greater than leakage reactance" : ""};
  const std::vector<std::string> determinants{detd <= kLeastDet ? "Unrealistic D axis data" : "",
                                              detq <= kLeastDet ? "Unrealistic Q axis data" : ""};
  for (const std::vector<std::string>* group : {&data, &reactances, &determinants}) {
    bool failed = false;
    for (const std::string& text : *group) {
      if (text.empty()) continue;
      if (form == PmForm::first) {
        wakro_warn(e_warn::comp_id1, e_warn::comp_id2, kSingleLine, text);
        wakro_quit(kPmTag, 0);
      }
      error_line(text);
      failed = true;
    }
    if (failed) wakro_quit(kPmTag, 0);
  }
  double inv_h = 0.0;
  if (form == PmForm::second) {
    inv_h = 1.0 / d.inertia;
    if (d.inertia <= kLeastInertia) {
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, kSingleLine, "Unrealistic inertica value, assumed 1.0 [s]");
      inv_h = 1.0;
    }
  }
  const Slots<double> r = blocks::take_rtcf(form == PmForm::first ? kPmRecord1 : kPmRecord2);
  const double vph = kInvRoot3 * d.voltage;
  const double zb = d.voltage * d.voltage / d.power;
  const double wb = kTwoPiAngle * d.frequency;
  const double dt = e_s1::delt;
  r(kPmInvVph) = 1.0 / vph;
  r(kPmIb) = d.power / (kRoot3 * d.voltage);
  r(kPmWb) = wb;
  r(kPmXd) = c.xd;
  r(kPmXq) = c.xq;
  r(kPmXmd) = c.xmd;
  r(kPmXmq) = c.xmq;
  r(kPmFlux) = kRoot2 * d.flux;
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
    devices::harm_record(kKindNodeInductance, in.ss, {branches::ief(br, in.ss), branches::iet(br, in.ss)},
                         {kRoot3 * r(kPmXd) * zb / r(kPmWb)});
  }
}

// The step of the pair forms at speed w; Te returned.
double pm_exe(const PmStepIn& in, const Slots<double>& r, const Slots<double>& s, double w) {
  StepConstants k;
  k.inv_vph = r(kPmInvVph);
  k.wb = r(kPmWb);
  k.flux = r(kPmFlux);
  k.xd = r(kPmXd);
  k.xq = r(kPmXq);
  k.xmd = r(kPmXmd);
  k.xmq = r(kPmXmq);
  k.m = &r(kPmM);
  k.n = &r(kPmN);
  std::array<double, 3> v{}, i{}, v_end{};
  for (std::size_t p = 0; p < 3; ++p) v[p] = vbranch(in.ss, in.phase[p]);
  const double te = pm_step(k, {s(kPsAngle), &s(kPsLastQ), &s(kPsX)}, w, v, i, v_end, Inverse::frame);
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

[[noreturn]] void refuse_line(const std::string& text) {
  const std::int32_t u = fnames::iunit;
  error_line(text + " (file " + unit_file_name(u) + ", line " + std::to_string(unit_line_number(u)) + ")");
  wakro_quit(kPmTag, kShowLastLine);
}

void read_line(std::int32_t number, std::span<double> values) {
  rdcmnt();
  const std::string what = "PM machine data line " + std::to_string(number);
  if (!rdcmnt_at_data()) refuse_line(what + " is missing");
  if (list_read_unit(fnames::iunit, {values}) != ReadStatus::ok) refuse_line(what + " cannot be read");
}

[[noreturn]] void legacy_stop(std::string_view text) {
  wakro::console() << text << '\n';
  wakro_quit(kPmTag, 0);
}

Circuit legacy_circuit(const Slots<double>& s) {
  Circuit c;
  c.xd = s(kPlXd);
  c.xq = s(kPlXq);
  c.xmd = s(kPlXmd);
  c.xmq = s(kPlXmq);
  c.xkd = s(kPlXkd);
  c.xkq = s(kPlXkq);
  c.xl = s(kPlXl);
  c.ra = s(kPlRa);
  c.rkd = s(kPlRkd);
  c.rkq = s(kPlRkq);
  return c;
}

void legacy_time_zero(const PmmachineIn& in, const Slots<double>& s) {
  const std::int32_t ss = in.ss;
  if (ss < 1 || ss > e_s0::mbus.extent(1)) {
    error_line("The subsystem of the PM machine does not exist");
    wakro_quit(kPmTag, 0);
  }
  for (std::int32_t node : in.nodes) {
    if (node < 0 || node > e_s0::mbus(ss)) {
      error_line("A node of the PM machine is not a node of its subsystem");
      wakro_quit(kPmTag, 0);
    }
  }
  std::array<double, 3> rated{}, r3{}, snub{};
  std::array<double, 7> x{};
  std::array<double, 1> flux{}, ri{};
  read_line(1, rated);
  read_line(2, x);
  read_line(3, r3);
  read_line(4, flux);
  read_line(5, ri);
  read_line(6, std::span<double>(snub.data(), 2));
  s(kPlV) = rated[0];
  s(kPlIb) = rated[1];
  s(kPlWb) = rated[2];
  for (std::int32_t k = 0; k < 7; ++k) s(kPlXd + k) = x[static_cast<std::size_t>(k)];
  s(kPlRa) = r3[0];
  s(kPlRkd) = r3[1];
  s(kPlRkq) = r3[2];
  s(kPlFlux) = flux[0];
  s(kPlRi) = ri[0];
  s(kPlSnubberR) = snub[0];
  s(kPlSnubberSteps) = snub[1];
  const Circuit c = legacy_circuit(s);
  const double detd = c.xd * c.xkd - c.xmd * c.xmd, detq = c.xq * c.xkq - c.xmq * c.xmq;
  if (detd <= kLeastDet) legacy_stop("Unrealistic D axis data");
  if (detq <= kLeastDet) legacy_stop("Unrealistic Q axis data");
  if (!(ri[0] > 0.0)) {
    error_line("The interface resistance of the PM machine must be positive");
    wakro_quit(kPmTag, 0);
  }
  if (!(rated[0] > 0.0 && rated[1] > 0.0 && rated[2] > 0.0 && x[6] > 0.0)) {
    error_line("V, Ib, wb and Xl of the PM machine must be positive");
    wakro_quit(kPmTag, 0);
  }
  s(kPlInvDetD) = 1.0 / detd;
  s(kPlInvDetQ) = 1.0 / detq;
  s(kPlInvRi) = 1.0 / ri[0];
  s(kPlAngle) = 0.0;
  for (std::int32_t k = kPlLastQ; k <= kPlX + 4; ++k) s(k) = 0.0;
  const double zb = rated[0] / (kRoot3 * rated[1]);
  const double rs = snub[0] * zb;
  const double cs = rs > 0.0 ? snub[1] * e_s1::delt * 1.0E6 / rs : 0.0;
  for (std::int32_t node : in.nodes)
    if (node != 0) enable_norton(kPmTag, ss, node);
  for (std::int32_t br : in.snubber) rcbranch(ss, br, rs, cs);
  for (std::int32_t node : in.nodes)
    if (node != 0) devices::harm_record(kKindNodeInductance, ss, {node, 0}, {c.xd * rated[0] / (rated[1] * rated[2])});
}

}  // namespace

void pmmac1_cfg(const PmData& d) { pm_cfg(d, PmForm::first); }
void pmmac2_cfg(const PmData& d) { pm_cfg(d, PmForm::second); }

double pmmac1_exe(const PmStepIn& in) {
  const Slots<double> r = blocks::take_rtcf(kPmRecord1);
  const Slots<double> s = blocks::take_storf(kPsSlots1);
  if (e_s1::timezero) pm_time_zero(in, r);
  return pm_exe(in, r, s, in.speed);
}

void pmmac2_exe(const PmStepIn& in) {
  const Slots<double> r = blocks::take_rtcf(kPmRecord2);
  const Slots<double> s = blocks::take_storf(kPsSlots2);
  if (e_s1::timezero) {
    if (in.speed_switch == 1) s(kPsSpeed) = in.speed;
    pm_time_zero(in, r);
  }
  double w = in.speed;
  if (in.speed_switch == 0) {
    const double dw = (s(kPsTorque) - in.load_torque - r(kPmDamping) * s(kPsSpeed)) * r(kPmInvH);
    w = s(kPsSpeed) + e_s1::delt / 2.0 * (s(kPsDSpeed) + dw);
    s(kPsDSpeed) = dw;
  }
  s(kPsSpeed) = w;
  s(kPsTorque) = pm_exe(in, r, s, w);
}

double pmmachine(const PmmachineIn& in) {
  const Slots<double> s = blocks::take_storf(kPlSlots);
  if (e_s1::timezero) legacy_time_zero(in, s);
  const Circuit c = legacy_circuit(s);
  std::array<double, kMEntries> m{};
  std::array<double, kNEntries> n{};
  state_entries(c, s(kPlWb), e_s1::delt, m, n);
  StepConstants k;
  k.inv_vph = kRoot3 / s(kPlV);
  k.wb = s(kPlWb);
  k.flux = s(kPlFlux);
  k.xd = c.xd;
  k.xq = c.xq;
  k.xmd = c.xmd;
  k.xmq = c.xmq;
  k.m = m.data();
  k.n = n.data();
  std::array<double, 3> v{}, i{}, v_end{};
  for (std::size_t p = 0; p < 3; ++p) v[p] = in.nodes[p] != 0 ? e_s0::vdc(in.nodes[p], in.ss) : 0.0;
  const double te = pm_step(k, {s(kPlAngle), &s(kPlLastQ), &s(kPlX)}, in.speed, v, i, v_end, Inverse::legacy);
  const double g = s(kPlInvRi), ib = s(kPlIb);
  // The companion from the end voltage the step assumed, as the pair forms do.
  for (std::size_t p = 0; p < 3; ++p)
    if (in.nodes[p] != 0) add_norton(kPmTag, in.ss, in.nodes[p], g, ib * (-i[p]) + g * v_end[p] / k.inv_vph);
  return te;
}

}  // namespace wakro::machines
