// Breakers and a fault in circuits solved by the network, with interpolation
// (dt = 50 us, 60 Hz).
//
// R-L circuit: EMF E sin(wt) behind R, the breaker, L to ground. Closed at t_c,
//   i(t) = Im [ sin(wt - theta) - sin(w t_c - theta) exp(-(t - t_c)/tau) ]
// with Rt = R + Ron, Im = E / |Rt + jwL|, theta = arg(Rt + jwL), tau = L / Rt.
// Fault case, per phase: EMF behind Rs + jwLs (neutral grounded), 100 ohm load
// and the fault branch (Ron 0.01 ohm) to ground; with Rp the load in parallel
// with the fault branch's state, after a change at t0
//   i(t) = I(t) + (i(t0) - I(t0)) exp(-(t - t0)(Rs + Rp)/Ls),
// I the steady current through Rs + Rp + jwLs; the fault current i Rp / Ron has
// the zeros of i. (The 1e6 ohm open branches change this by 1e-8.)
// Tolerance: the trapezoidal reactance error (w dt)^2/12 and the interpolation to
// a switching instant (w dt)^2/8 stay below (w dt)^2/4 = 8.9e-5 of the peak;
// allowed 2e-4. Each clearing moves all phases to its instant and back by linear
// interpolation, which the inductor currents keep as a decaying offset of up to
// that bound again: 2e-4 more is allowed per phase already cleared. A switching
// a step late, or away from the current zero, fails the state checks, which pin
// each one to the step that holds it.
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

#include "device_fixture.h"
#include "devices/breakers.h"
#include "devices/faults.h"
#include "devices/preinsertion.h"
#include "devices/voltage_sources.h"

namespace {

constexpr double kPi = std::numbers::pi, kW = 2.0 * kPi * 60.0, kDt = 50.0e-6;

// First zero of f after `from`, by bisection; it must lie inside a step.
template <class F>
double first_zero(F f, double from) {
  double a = from;
  while (std::signbit(f(a)) == std::signbit(f(a + kDt / 16.0))) a += kDt / 16.0;
  double b = a + kDt / 16.0;
  for (int k = 0; k < 100; ++k) {
    const double m = 0.5 * (a + b);
    (std::signbit(f(m)) == std::signbit(f(a)) ? a : b) = m;
  }
  EXPECT_GT(std::fmod(a, kDt), 0.1 * kDt);
  EXPECT_LT(std::fmod(a, kDt), 0.9 * kDt);
  return a;
}

// Current through R + jwL after closing at tc from i0 (steady e sin(wt + phi)).
double rl_current(double t, double tc, double i0, double e, double phi, double r, double l) {
  const std::complex<double> z(r, kW * l);
  const auto steady = [&](double x) {
    return e / std::abs(z) * std::sin(kW * x + phi - std::arg(z));
  };
  return steady(t) + (i0 - steady(tc)) * std::exp(-(t - tc) * r / l);
}

enum class Form { margin, older, configured };
class RlBreaker : public devtest::Devices, public ::testing::WithParamInterface<Form> {};

TEST_P(RlBreaker, ClosesOnCommandAndOpensAtTheFirstCurrentZeroAfterItsOrder) {
  const double e = 10.0, r = 10.0, l = 0.05, ron = 1.0e-3, roff = 1.0e6;
  wakro::devices::use_device_services();
  size(2, 3);
  set_options({.interpolate = true});
  add_branch(1, 0, 1, r, 0.0, 0.0);
  add_branch(1, 1, 2, 0.0, 0.0, 0.0, 0.0, 0.0, true);
  add_branch(1, 2, 0, 0.0, l, 0.0);
  std::int32_t ctrl = 0;
  devices([&] {
    wakro_1pvsrc(1, 1, 0.0, 1, e, kW, 0.0);
    ctrl = e_s1::time >= 0.01012 && e_s1::time < 0.06003 ? 1 : 0;
    if (GetParam() == Form::margin) wakro_breaker1(1, 2, ron, roff, 0.0, false, ctrl);
    if (GetParam() == Form::older) wakro_breaker(1, 2, ron, roff, false, ctrl);
    if (GetParam() == Form::configured) {
      if (e_s1::timezero) e1pbrkr1_cfg(ron, roff, 0.0);
      rt_config::nrtcf = 1;
      e1pbrkr1_exe(1, 2, ron, roff, false, ctrl);
    }
  });
  const auto i_closed = [&](double t, double tc) {
    return rl_current(t, tc, 0.0, e, 0.0, r + ron, l);
  };
  start_run(1800);
  double tc = -1.0, order = -1.0, tz = -1.0;
  const auto out = nettest::capture([&] {
    for (int k = 0; k < 1800; ++k) {
      step();
      const double t = e_s1::time;
      if (ctrl == 1 && tc < 0.0)
        tc = t - kDt;  // closed for the whole step whose call sees the order
      if (ctrl == 0 && tc > 0.0 && order < 0.0) {
        order = t - kDt;  // the order acts on the current at the step's start
        tz = first_zero([&](double x) { return i_closed(x, tc); }, order);
      }
      const bool closed = tc > 0.0 && (tz < 0.0 || t < tz);
      ASSERT_EQ(branches::openbr(2, 1), !closed) << "t = " << t;
      ASSERT_NEAR(i(2), closed ? i_closed(t, tc) : 0.0,
                  closed ? 2.0e-4 * e / std::abs(std::complex(r, kW * l)) : 1e-4)
          << "t = " << t;
    }
  });
  EXPECT_EQ(out.text, "");
  EXPECT_LT(tz, order + 1.0 / 120.0);
}

INSTANTIATE_TEST_SUITE_P(Forms, RlBreaker,
                         ::testing::Values(Form::margin, Form::older, Form::configured));

class FaultNetwork : public devtest::Devices {};

TEST_F(FaultNetwork, ThreePhaseToGroundFaultClearsPhaseByPhaseAtItsCurrentZeros) {
  const double e = 10.0, rs = 1.0, ls = 0.01, phase = 0.4, t_fault = 0.02001, t_clear = 0.05003;
  wakro::devices::use_device_services();
  size(3, 12);
  set_options({.interpolate = true});
  for (int p = 1; p <= 3; ++p) add_branch(1, 0, p, rs, ls, 0.0);
  for (int p = 1; p <= 3; ++p) add_branch(1, p, 0, 100.0, 0.0, 0.0);
  // Branches 7..12: A-B, B-C, C-A, A, B, C to ground.
  for (const auto& [f, t] : {std::pair{1, 2}, {2, 3}, {3, 1}, {1, 0}, {2, 0}, {3, 0}})
    add_branch(1, f, t, 0.0, 0.0, 0.0, 0.0, 0.0, true);
  std::int32_t ctrl = 0;
  devices([&] {
    wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, e, kW, phase);
    if (e_s1::timezero) e3phflt1_cfg(1.0e6, 0.0);
    rt_config::nrtcf = 1;
    ctrl = e_s1::time >= t_fault && e_s1::time < t_clear ? 1 : 0;
    e3phflt1_exe(1, 7, 8, 9, 10, 11, 12, false, ctrl, 7, 0.01);
  });
  const double rp = 100.0 * 0.01 / 100.01, rpre = 100.0 * 1e6 / (100.0 + 1e6);
  const double peak = e / std::abs(std::complex(rs + rp, kW * ls)) * rp / 0.01;
  double tc = -1.0, order = -1.0;
  std::array<double, 3> tz{-1.0, -1.0, -1.0};
  const auto fault_current = [&](int p, double t) {
    const double phi = phase + 2.0 * kPi / 3.0 * (p == 2 ? 1 : -p);
    const double i0 = rl_current(tc, -1.0, 0.0, e, phi, rs + rpre, ls);  // pre-fault steady state
    return rl_current(t, tc, i0, e, phi, rs + rp, ls) * rp / 0.01;
  };
  start_run(1400);
  for (int k = 0; k < 1400; ++k) {
    step();
    const double t = e_s1::time;
    if (ctrl == 1 && tc < 0.0) tc = t - kDt;
    if (ctrl == 0 && tc > 0.0 && order < 0.0) {
      order = t - kDt;
      for (int p = 0; p < 3; ++p)
        tz[p] = first_zero([&](double x) { return fault_current(p, x); }, order);
    }
    int cleared = 0;
    for (int p = 0; p < 3; ++p) cleared += tz[p] > 0.0 && t >= tz[p];
    for (int d = 7; d <= 9; ++d) ASSERT_TRUE(branches::openbr(d, 1)) << "t = " << t;
    for (int p = 0; p < 3; ++p) {
      const bool closed = tc > 0.0 && (tz[p] < 0.0 || t < tz[p]);
      ASSERT_EQ(branches::openbr(10 + p, 1), !closed) << "phase " << p << ", t = " << t;
      if (closed) {
        ASSERT_NEAR(i(10 + p), fault_current(p, t), 2.0e-4 * peak * (1 + cleared))
            << p << ", t = " << t;
      } else if (tz[p] > 0.0) {
        ASSERT_LT(std::abs(i(10 + p)), 1.0e-3) << p << ", t = " << t;
      }
    }
  }
  // Three different steps, each within half a cycle of the order.
  std::array<double, 3> steps{};
  for (int p = 0; p < 3; ++p) steps[p] = std::ceil(tz[p] / kDt);
  EXPECT_TRUE(steps[0] != steps[1] && steps[1] != steps[2] && steps[0] != steps[2]);
  for (const double z : tz) EXPECT_LT(z, order + 1.0 / 120.0);
}

}  // namespace
