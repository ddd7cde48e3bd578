// The permanent-magnet machine: its set-up record and checks, the open-circuit
// voltage of its magnet, its steady state against the phasor solution of its
// circuit (near unity power factor too), its own-mechanics swing against an
// RK4 solution (second order in the step), the angle wrap, the interface
// conductance entering the matrix once with its harmonic record, the open
// snubber, the singular-matrix stop, and the single routine reading its data
// lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <numbers>
#include <string>

#include "devices/voltage_sources.h"
#include "files/units.h"
#include "machines/pm_machine.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/fnames.h"
#include "model/harmimp.h"
#include "model/storage.h"
#include "support/console_capture.h"
#include "support/temp_dir.h"
#include "sync_net_fixture.h"

namespace {

using namespace mtest;

constexpr double kV = 4.0, kS = 2.0, kF = 60.0;  // kV line to line, MVA
constexpr double kVph = kV / 1.7320508075688772;

PmData pm_data() {
  PmData d;
  d.voltage = kV;
  d.power = kS;
  d.frequency = kF;
  d.xd = 0.8;
  d.xq = 0.6;
  d.xkd = 0.9;
  d.xkq = 0.7;
  d.xl = 0.1;
  d.ra = 0.01;
  d.rkd = 0.05;
  d.rkq = 0.05;
  d.flux = 1.0;
  // The interface resistance near the machine's own step impedance, and a
  // snubber whose resistance damps the explicit interface.
  d.ri = 27.0;  // per unit in the second form, ohms in the first
  d.snubber_r = 5.0;
  d.snubber_steps = 5.0;
  d.damping = 0.0;
  d.inertia = 2.0;
  return d;
}

// ----------------------------------------------------------------- set-up

class PmConfig : public Machines {
 protected:
  void SetUp() override {
    Machines::SetUp();
    e_warn::comp_id1 = 4;
    e_warn::comp_id2 = 6;
  }
  static double entry(std::int32_t k) { return rt_config::rtcf(k); }
};

TEST_F(PmConfig, RecordEntries) {
  PmData d = pm_data();
  d.inertia = 0.0;
  const auto o = wakro_test::run_captured([&] { pmmac2_cfg(d); });
  EXPECT_EQ(o.status, -1);
  EXPECT_NE(o.console.find(" ***WARN*** Unrealistic inertica value, assumed 1.0 [s][           4 :           6 ]"),
            std::string::npos)
      << o.console;
  const double zb = kV * kV / kS, h = kDt * 2.0 * 3.141592653589793 * kF / 2.0;
  EXPECT_NEAR(entry(kPmInvVph), 1.0 / (0.577350269189626 * kV), 1e-15);
  EXPECT_NEAR(entry(kPmIb), kS / (std::sqrt(3.0) * kV), 1e-15);
  EXPECT_NEAR(entry(kPmFlux), std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(entry(kPmRi), 27.0 * zb, 1e-12);
  EXPECT_NEAR(entry(kPmRs), 5.0 * zb, 1e-12);
  EXPECT_NEAR(entry(kPmCs), 5.0 * kDt * 1e6 / (5.0 * zb), 1e-13);
  const double detd = 0.8 * 0.9 - 0.7 * 0.7;
  EXPECT_NEAR(entry(kPmM), -0.9 * 0.01 / detd * h, 1e-15);
  EXPECT_NEAR(entry(kPmM + 8), -0.01 / 0.1 * h, 1e-15);     // (3, 3)
  EXPECT_NEAR(entry(kPmN + 4), 2.0 * h / 0.1, 1e-15);       // N(3, 3)
  EXPECT_EQ(entry(kPmInvH), 1.0);
  EXPECT_EQ(rt_config::nrtcf, 1 + kPmRecord2);
  // The first form: the interface resistance as given, 37 entries.
  pmmac1_cfg(pm_data());
  EXPECT_EQ(rt_config::rtcf(1 + kPmRecord2 + kPmRi - 1), 27.0);
  EXPECT_EQ(rt_config::nrtcf, 1 + kPmRecord2 + kPmRecord1);
}

TEST_F(PmConfig, ChecksOfEachForm) {
  struct Row {
    void (*edit)(PmData&);
    bool second;
    std::string expected;  // the lines before the stop
  };
  const Row rows[] = {
      {[](PmData& d) { d.xd = d.xl; }, false,
       " ***WARN*** Xd must be greater than leakage reactance[           4 :           6 ]\n"},
      {[](PmData& d) { d.xd = d.xq = d.xl; }, false,
       " ***WARN*** Xd must be greater than leakage reactance[           4 :           6 ]\n"},
      {[](PmData& d) { d.xd = d.xq = d.xl; }, true,
       " ***ERROR** Xd must be greater than leakage reactance[           4 :           6 ]\n"
       " ***ERROR** Xq must be greater than leakage reactance[           4 :           6 ]\n"},
      {[](PmData& d) { d.xkd = 0.7 * 0.7 / 0.8; }, true,
       " ***ERROR** Unrealistic D axis data[           4 :           6 ]\n"},
      {[](PmData& d) { d.xkq = 0.1; d.xkd = 0.1; }, true,
       " ***ERROR** Unrealistic D axis data[           4 :           6 ]\n"
       " ***ERROR** Unrealistic Q axis data[           4 :           6 ]\n"},
      // What the set-up would divide by, or carry into the record, comes first.
      {[](PmData& d) { d.xl = 0.0; }, false,
       " ***WARN*** The leakage reactance Xl must be greater than zero[           4 :           6 ]\n"},
      {[](PmData& d) { d.voltage = 0.0; d.xd = d.xl; }, false,
       " ***WARN*** The rated voltage V must be greater than zero[           4 :           6 ]\n"},
      {[](PmData& d) { d.power = 0.0; d.frequency = std::nan(""); d.inertia = HUGE_VAL; }, true,
       " ***ERROR** The rated frequency f is not a finite number[           4 :           6 ]\n"
       " ***ERROR** The inertia H is not a finite number[           4 :           6 ]\n"
       " ***ERROR** The rated power S must be greater than zero[           4 :           6 ]\n"},
  };
  for (const Row& r : rows) {
    PmData d = pm_data();
    r.edit(d);
    const auto o = wakro_test::run_captured([&] {
      if (r.second) {
        pmmac2_cfg(d);
      } else {
        pmmac1_cfg(d);
      }
    });
    EXPECT_NE(o.status, -1);
    EXPECT_EQ(o.console.substr(0, r.expected.size()), r.expected) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by PM_MACHINE  "), std::string::npos);
    TearDown();
    SetUp();
  }
}

// ------------------------------------------------------------ in a network

// Three nodes; branches 1-3 the phase (interface) branches, 4-6 the snubbers,
// all node k -> ground; 7-9 optional loads.
class PmNet : public MachineNet {
 protected:
  static constexpr std::array<std::int32_t, 3> kPhase{1, 2, 3}, kSnub{4, 5, 6};
  void build_net(double load_r = 0.0) {
    size(3, 9);
    for (std::int32_t k = 1; k <= 6; ++k) add_branch(1, (k - 1) % 3 + 1, 0, 0.0, 0.0, 0.0);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, k, 0, load_r, 0.0, 0.0);
  }
  static PmStepIn inputs(double w) {
    PmStepIn in;
    in.ss = 1;
    in.phase = kPhase;
    in.snubber = kSnub;
    in.speed = w;
    return in;
  }
  double dt_ = kDt;  // the time step of run_steps
  void run_steps(double seconds, const std::function<void()>& model, const std::function<void()>& each) {
    models(model);
    const auto steps = static_cast<std::int32_t>(std::lround(seconds / dt_)) + 1;
    start_run(steps);
    for (std::int32_t k = 0; k < steps; ++k) {
      step();
      if (each) each();
    }
  }
  // The RMS phase-a voltage over the last cycle of a run, per unit of Vph.
  double open_circuit_rms(const std::function<void()>& model, double seconds = 0.5) {
    double sum = 0.0;
    std::int32_t count = 0;
    run_steps(seconds, model, [&] {
      if (e_s1::time <= seconds - 1.0 / kF + 1e-9) return;
      sum += e_s0::vdc(1, 1) * e_s0::vdc(1, 1);
      ++count;
    });
    return std::sqrt(sum / count) / kVph;
  }
};

TEST_F(PmNet, OpenCircuitVoltageOfTheMagnetInEachForm) {
  const double zb = kV * kV / kS;
  build_net();
  rewind();
  PmData d1 = pm_data();
  d1.ri = 27.0 * zb;
  pmmac1_cfg(d1);
  double te = 1.0;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { te = pmmac1_exe(inputs(1.0)); }), 1.0, 0.02));
  EXPECT_LT(std::fabs(te), 0.01);  // the snubbers' losses only
  // The second form with the speed imposed by its switch.
  release_all_and_reset();
  SetUp();
  build_net();
  rewind();
  pmmac2_cfg(pm_data());
  PmStepIn in = inputs(1.0);
  in.speed_switch = 1;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { pmmac2_exe(in); }), 1.0, 0.02));
  EXPECT_EQ(storage::storf(kPsSpeed), 1.0);
  // Half the speed, half the voltage.
  release_all_and_reset();
  SetUp();
  build_net();
  rewind();
  pmmac2_cfg(pm_data());
  in.speed = 0.5;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { pmmac2_exe(in); }), 0.5, 0.02));
}

// ------------------------------------------- against the machine's own circuit

struct PmPowers {
  double p, q, te;  // per unit, taken by the machine
  std::complex<double> i{};  // the current, RMS per unit, in the rotor's frame
};

// The phasor steady state of the machine's circuit at speed w on 1 pu RMS
// voltage V (complex, in the rotor's frame, d along the magnet, q leading):
// V = Ra I + j w (Xd Id + Psi + j Xq Iq), the dampers idle. S = V I*, and
// Te = psi_d Iq - psi_q Id.
PmPowers pm_steady_state(const PmData& d, double w, std::complex<double> v) {
  // Re: vd = Ra id - w Xq iq;  Im: vq = w Xd id + Ra iq + w Psi.
  const double a11 = d.ra, a12 = -w * d.xq, a21 = w * d.xd, a22 = d.ra;
  const double b1 = v.real(), b2 = v.imag() - w * d.flux, det = a11 * a22 - a12 * a21;
  const std::complex<double> i((b1 * a22 - a12 * b2) / det, (a11 * b2 - a21 * b1) / det);
  const std::complex<double> s = v * std::conj(i);
  const double psi_d = d.xd * i.real() + d.flux, psi_q = d.xq * i.imag();
  return {s.real(), s.imag(), psi_d * i.imag() - psi_q * i.real(), i};
}

// Three phase voltages (kV) as a space vector: cos reference, RMS per unit.
std::complex<double> space_vector(double a, double b, double c) {
  const std::complex<double> turn = std::polar(1.0, 2.0 * std::numbers::pi / 3.0);
  return (a + b * turn + c * std::conj(turn)) * (2.0 / 3.0) / (std::sqrt(2.0) * kVph);
}

// At an imposed speed on a stiff source the machine settles to its circuit's
// steady state: P and Q through its phase branches (snubbers apart) and Te
// within 1e-5 at 50 and 25 us, Q too near unity power factor (|Q| of 0.05 pu,
// where a prediction that overstates the voltage by (w dt)^2 / 2 misses 0.4 %).
// In the rotor's frame that state is constant, so the step leaves only the
// settling; the order in the step is shown on the swing below. The rotor's
// frame is known from the angle: the magnet's axis at theta - pi, theta =
// w wb (t + dt) (time zero's call turns it once).
TEST_F(PmNet, SteadyStateOfItsEquivalentCircuitToSecondOrder) {
  struct Row {
    const char* name;
    bool second_form;
    double w;       // per unit
    double phase;   // of the source, rad, at frequency w wb
    double v;       // of the source, per unit
    double q = 0.0; // the reactive power of the operating point, when it is checked
  };
  const Row rows[] = {
      {"generating", false, 1.0, -0.4, 1.0},
      {"motoring", false, 1.0, 0.3, 1.15},
      {"second form, half speed", true, 0.5, -0.3, 0.5},
      {"generating, Q of +0.05", false, 1.0, -0.39, 0.9, 0.05},
      {"motoring, Q of -0.05", true, 1.0, 0.31, 0.9, -0.05},
  };
  PmData d = pm_data();
  d.ra = 0.03;  // a stator time constant of 23 ms: settled in 0.4 s
  constexpr double kSeconds = 0.4;
  for (const Row& row : rows) {
    std::array<double, 2> err_p{}, err_q{}, err_t{};
    for (std::size_t h = 0; h < 2; ++h) {
      const double dt = kDt / static_cast<double>(1 << h), wt = row.w * 2.0 * std::numbers::pi * kF;
      dt_ = dt;
      size(3, 9, 1, 0, dt);
      for (std::int32_t k = 1; k <= 6; ++k) add_branch(1, (k - 1) % 3 + 1, 0, 0.0, 0.0, 0.0);
      for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, 0, k, 1.0e-6, 0.0, 0.0);
      rewind();
      PmData dn = d;
      if (!row.second_form) dn.ri *= kV * kV / kS;
      if (row.second_form) {
        pmmac2_cfg(dn);
      } else {
        pmmac1_cfg(dn);
      }
      PmStepIn in = inputs(row.w);
      in.speed_switch = 1;
      double te = 0.0;
      PmPowers sum{0.0, 0.0, 0.0}, want{0.0, 0.0, 0.0};
      std::int32_t count = 0;
      const auto steps = static_cast<std::int32_t>(std::lround(kSeconds / dt)) + 1;
      run_steps(kSeconds, [&] {
        // The machine first: its storage slots are the first.
        if (row.second_form) {
          pmmac2_exe(in);
          te = storage::storf(kPsTorque);
        } else {
          te = pmmac1_exe(in);
        }
        wakro_3phvsrc(1, 7, 8, 9, 0.0, 1, row.v * std::sqrt(2.0) * kVph, wt, row.phase);
      }, [&] {
        if (ctrl::iii <= steps - static_cast<std::int32_t>(1.0 / (row.w * kF) / dt)) return;
        const double t = e_s1::time, theta = wt * (t + dt);
        ASSERT_NEAR(std::remainder(storage::storf(kPsAngle) - theta, 2.0 * std::numbers::pi), 0.0, 1e-8);
        double v[3], i[3];
        for (std::int32_t k = 0; k < 3; ++k) {
          v[k] = e_s0::vdc(k + 1, 1);
          i[k] = branches::cbr(kPhase[static_cast<std::size_t>(k)], 1);
        }
        // The terminal voltage in the rotor's frame.
        const PmPowers ref =
            pm_steady_state(d, row.w, space_vector(v[0], v[1], v[2]) * std::polar(1.0, std::numbers::pi - theta));
        sum.p += (v[0] * i[0] + v[1] * i[1] + v[2] * i[2]) / kS;
        sum.q += ((v[1] - v[2]) * i[0] + (v[2] - v[0]) * i[1] + (v[0] - v[1]) * i[2]) / std::sqrt(3.0) / kS;
        sum.te += te;
        want.p += ref.p;
        want.q += ref.q;
        want.te += ref.te;
        ++count;
      });
      if (row.q != 0.0) {
        EXPECT_NEAR(want.q / count, row.q, 0.01) << row.name;
      }
      err_p[h] = std::fabs(sum.p - want.p) / std::fabs(want.p);
      err_q[h] = std::fabs(sum.q - want.q) / std::fabs(want.q);
      err_t[h] = std::fabs(sum.te - want.te) / std::fabs(want.te);
      release_all_and_reset();
      SetUp();
    }
    for (const auto* e : {&err_p, &err_q, &err_t})
      for (double err : *e) EXPECT_LT(err, 1e-5) << row.name;
  }
}

// The second form's own mechanics against an RK4 solution, at a twentieth of
// the step, of the same machine on the same stiff source (flux linkages less
// the magnet's, speed and angle). Settled at an imposed 1 pu, the switch hands
// the rotor to its mechanics (H = 0.1 s) against a load torque 0.2 pu below
// its torque, and it swings. The reference starts from the phasor steady state
// in the frame the machine had at the switch. The speed's largest departure
// from the reference falls about 4 times a halving of the step.
TEST_F(PmNet, OwnMechanicsSwingToSecondOrder) {
  PmData d = pm_data();
  d.ra = 0.03;
  d.inertia = 0.1;
  d.damping = 0.02;
  const double xmd = d.xd - d.xl, xmq = d.xq - d.xl, detd = d.xd * d.xkd - xmd * xmd,
               detq = d.xq * d.xkq - xmq * xmq, wb = 2.0 * std::numbers::pi * kF;
  constexpr double kSettle = 0.4, kSwing = 0.25, kLoad = -0.86;  // Te settles at -0.66
  using State = std::array<double, 6>;  // lambda d, q, kd, kq; w; theta
  std::complex<double> v0;              // the source in the rotor's frame at the switch, turned back by theta
  double t0 = 0.0;
  const auto rate = [&](const State& x, double t) {
    const double id = (d.xkd * x[0] - xmd * x[2]) / detd, ikd = (d.xd * x[2] - xmd * x[0]) / detd;
    const double iq = (d.xkq * x[1] - xmq * x[3]) / detq, ikq = (d.xq * x[3] - xmq * x[1]) / detq;
    const std::complex<double> v = v0 * std::polar(1.0, wb * (t - t0) - x[5]);
    const double psi_d = x[0] + d.flux, psi_q = x[1], w = x[4];
    return State{wb * (v.real() - d.ra * id + w * psi_q), wb * (v.imag() - d.ra * iq - w * psi_d),
                 -wb * d.rkd * ikd, -wb * d.rkq * ikq,
                 (psi_d * iq - psi_q * id - kLoad - d.damping * w) / d.inertia, wb * w};
  };
  const auto rk4 = [&](State& x, double t, double h) {
    const auto at = [&](const State& k, double f) {
      State y = x;
      for (std::size_t n = 0; n < y.size(); ++n) y[n] += f * h * k[n];
      return y;
    };
    const State k1 = rate(x, t), k2 = rate(at(k1, 0.5), t + h / 2.0), k3 = rate(at(k2, 0.5), t + h / 2.0),
                k4 = rate(at(k3, 1.0), t + h);
    for (std::size_t n = 0; n < x.size(); ++n) x[n] += h / 6.0 * (k1[n] + 2.0 * k2[n] + 2.0 * k3[n] + k4[n]);
  };
  std::array<double, 2> err{};
  double swing = 0.0;
  for (std::size_t h = 0; h < 2; ++h) {
    const double dt = kDt / static_cast<double>(1 << h);
    dt_ = dt;
    size(3, 9, 1, 0, dt);
    for (std::int32_t k = 1; k <= 6; ++k) add_branch(1, (k - 1) % 3 + 1, 0, 0.0, 0.0, 0.0);
    for (std::int32_t k = 1; k <= 3; ++k) add_branch(1, 0, k, 1.0e-6, 0.0, 0.0);
    rewind();
    pmmac2_cfg(d);
    PmStepIn in = inputs(1.0);
    in.speed_switch = 1;
    in.load_torque = kLoad;
    const auto handover = static_cast<std::int32_t>(std::lround(kSettle / dt));
    State x{};
    run_steps(kSettle + kSwing, [&] {
      pmmac2_exe(in);
      wakro_3phvsrc(1, 7, 8, 9, 0.0, 1, std::sqrt(2.0) * kVph, wb, -0.4);
    }, [&] {
      if (ctrl::iii < handover) return;
      if (ctrl::iii > handover) {
        for (std::int32_t k = 0; k < 20; ++k) rk4(x, e_s1::time - dt + k * dt / 20.0, dt / 20.0);
        err[h] = std::max(err[h], std::fabs(storage::storf(kPsSpeed) - x[4]));
        swing = std::max(swing, std::fabs(x[4] - 1.0));
        return;
      }
      // The switch: the source as a space vector (as in the steady state
      // above), the rotor's frame from the angle, the steady currents in it.
      t0 = e_s1::time;
      const double theta = storage::storf(kPsAngle);
      v0 = -space_vector(e_s0::vdc(1, 1), e_s0::vdc(2, 1), e_s0::vdc(3, 1));
      const PmPowers ss = pm_steady_state(d, 1.0, v0 * std::polar(1.0, -theta));
      EXPECT_NEAR(ss.te, -0.66, 0.02);
      x = {d.xd * ss.i.real(), d.xq * ss.i.imag(), xmd * ss.i.real(), xmq * ss.i.imag(), 1.0, theta};
      in.speed_switch = 0;
    });
    release_all_and_reset();
    SetUp();
  }
  EXPECT_GT(swing, 0.005);
  EXPECT_LT(err[0], 1e-4 * swing);
  EXPECT_GT(err[0] / err[1], 3.5);
  EXPECT_LT(err[0] / err[1], 4.5);
}

TEST_F(PmNet, AngleWrapsIntoOneTurnForEitherSign) {
  for (double w : {1.7, -1.7}) {
    build_net();
    rewind();
    pmmac2_cfg(pm_data());
    PmStepIn in = inputs(w);
    in.speed_switch = 1;
    double lo = 10.0, hi = -10.0;
    run_steps(0.05, [&] { pmmac2_exe(in); }, [&] {
      lo = std::min(lo, storage::storf(kPsAngle));
      hi = std::max(hi, storage::storf(kPsAngle));
    });
    EXPECT_GE(lo, 0.0) << w;
    EXPECT_LT(hi, 6.283185307179586) << w;
    EXPECT_GT(hi - lo, 6.0) << w;  // it went round
    release_all_and_reset();
    SetUp();
  }
}

TEST_F(PmNet, InterfaceConductanceOnceAndAnOpenSnubber) {
  const double zb = kV * kV / kS;
  build_net();
  rewind();
  PmData d = pm_data();
  d.snubber_r = 0.0;  // no snubber
  pmmac2_cfg(d);
  PmStepIn in = inputs(1.0);
  in.speed_switch = 1;
  double diag = 0.0;
  run_steps(0.0, [&] { pmmac2_exe(in); }, [&] { diag = e_s0::assign_gm_ptr(1)(1, 1); });
  EXPECT_NEAR(diag, 1.0 / (27.0 * zb), 1e-12);
  // The harmonic-impedance record of each phase: sqrt(3) Xd V^2 / (S wb).
  std::int32_t first = 1;
  while (first < harmimp::harm_num && harmimp::harm_type(first) != 1) ++first;
  EXPECT_NEAR(harmimp::harm_var(first, 1), std::sqrt(3.0) * 0.8 * zb / (2.0 * std::numbers::pi * kF), 1e-12);
  EXPECT_EQ(branches::geq(kSnub[0], 1), 0.0);
  EXPECT_EQ(rt_config::rtcf(kPmCs), 0.0);
}

TEST_F(PmNet, ASingularStepMatrixStops) {
  build_net();
  rewind();
  // A negative stator resistance that makes 1 - M(3, 3) exactly 0, at a
  // frequency for which the product rounds to 1 exactly.
  PmData d = pm_data();
  bool found = false;
  for (double f = 50.0; f < 70.0 && !found; f += 0.5) {
    const double h = kDt * (6.283185307179586 * f) / 2.0;
    const double ra = -d.xl / h;
    if (1.0 - (-ra / d.xl * h) == 0.0) {
      d.frequency = f;
      d.ra = ra;
      found = true;
    }
  }
  ASSERT_TRUE(found);
  pmmac1_cfg(d);
  const auto o = wakro_test::run_captured([&] { run_steps(0.0, [&] { pmmac1_exe(inputs(1.0)); }, nullptr); });
  EXPECT_NE(o.status, -1);
  EXPECT_NE(o.console.find("Matrix is singular and cannot be inverted."), std::string::npos) << o.console;
  EXPECT_NE(o.console.find("PM_MACHINE  "), std::string::npos);
}

TEST_F(PmNet, SingleRoutineFromItsDataLines) {
  wakro_test::WorkFolder folder;
  ASSERT_TRUE(folder.enter("wakro_pmmachine_"));
  const double zb = kV * kV / kS, ib = kS / (std::sqrt(3.0) * kV);
  const std::string lines = "C V, Ib, wb\n4.0 " + std::to_string(ib) +
                            " 376.99111843077515\n"
                            "0.8 0.6 0.7 0.5 0.9 0.7 0.1\n"
                            "0.01 0.05 0.05\n"
                            "1.414213562373095\n" +
                            std::to_string(27.0 * zb) + "\n5.0 5.0\nENDFILE\n";
  wakro_test::write_file("pm.dta", lines);
  fnames::filename = wakro::FixedText<72>("pm.dta");
  wakro_openfile();
  build_net();
  rewind();
  PmmachineIn in;
  in.nodes = {1, 2, 3};
  in.snubber = kSnub;
  in.speed = 1.0;
  double te = 1.0;
  EXPECT_TRUE(near_rel(open_circuit_rms([&] { te = pmmachine(in); }), 1.0, 0.02));
  EXPECT_LT(std::fabs(te), 0.01);
  EXPECT_EQ(storage::storf(kPlXl), 0.1);
  EXPECT_NEAR(storage::storf(kPlInvRi), 1.0 / (27.0 * zb), 1e-9);
  wakro::close_all_units();
  folder.leave();
}

TEST_F(PmNet, SingleRoutineRefusals) {
  struct Row {
    std::string x_line;  // the reactance line
    std::array<std::int32_t, 3> nodes;
    std::string text;
  };
  const Row rows[] = {
      {"0.8 0.6 0.7 0.5 0.9 0.7 0.1", {1, 2, 9}, " ***ERROR** A node of the PM machine is not a node of its subsystem"},
      {"0.8 0.6 0.7 0.5 0.6125 0.7 0.1", {1, 2, 3}, "Unrealistic D axis data\n"},
      {"0.8 0.6 0.7 0.5 0.9 0.41 0.1", {1, 2, 3}, "Unrealistic Q axis data\n"},
      {"0.8 0.6 0.7 0.5 0.9 0.7 0", {1, 2, 3}, " ***ERROR** V, Ib, wb and Xl of the PM machine must be positive"},
      {"0.8 0.6 0.7 x 0.9 0.7 0.1", {1, 2, 3}, " ***ERROR** PM machine data line 2 cannot be read (file pm.dta, line 2)"},
  };
  for (const Row& r : rows) {
    wakro_test::WorkFolder folder;
    ASSERT_TRUE(folder.enter("wakro_pmmachine_"));
    wakro_test::write_file("pm.dta", "4.0 0.5 376.99111843077515\n" + r.x_line + "\n0.01 0.05 0.05\n1.4\n200\n5 5\n");
    fnames::filename = wakro::FixedText<72>("pm.dta");
    wakro_openfile();
    build_net();
    rewind();
    PmmachineIn in;
    in.nodes = r.nodes;
    in.snubber = kSnub;
    in.speed = 1.0;
    const auto o = wakro_test::run_captured([&] { run_steps(0.0, [&] { pmmachine(in); }, nullptr); });
    EXPECT_NE(o.status, -1) << r.text;
    EXPECT_NE(o.console.find(r.text), std::string::npos) << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by PM_MACHINE  "), std::string::npos) << o.console;
    wakro::close_all_units();
    folder.leave();
    release_all_and_reset();
    SetUp();
  }
}

}  // namespace
