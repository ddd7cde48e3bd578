// The induction machine against closed forms: its set-up record and refusals,
// the magnetising current at synchronous speed, the run-up to the no-load slip,
// the inversions made only on saturation changes, its registry records, the
// equality of its two configuration forms, the angle wrap and the divergence
// stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <complex>
#include <limits>
#include <cmath>
#include <string>
#include <vector>

#include "induction_fixture.h"
#include "model/harmimp.h"
#include "support/console_capture.h"

namespace {

using namespace mtest;

// ----------------------------------------------------------------- set-up

class InductionConfig : public Machines {
 protected:
  void SetUp() override {
    Machines::SetUp();
    rt_config::rtcl.allocate(4);
    e_warn::comp_id1 = 2;
    e_warn::comp_id2 = 8;
  }
  void TearDown() override {
    rt_config::rtcl.release();
    Machines::TearDown();
  }
  static double cfg(std::int32_t k) { return rt_config::rtcf(1 + k); }
};

TEST_F(InductionConfig, RecordOfAThreeCircuitMachineByHand) {
  InductionData d = induction_data();
  d.extra_cages = 1;
  d.power = 10.0;
  d.voltage = 2.0;
  d.base_w = kWb;
  d.turns = 2.0;
  d.x = {3.0, 0.1, 0.12, 0.2, 0.0, 0.0, 0.05, 0.0, 0.0, 0.0, 0.0, 0.0};
  inducmc2_cfg(d);
  // X'' = 0.1 + 1 / (1/3 + 1/0.17 + 1/0.25), Zb = 1.2 ohm, dt = 50 us.
  EXPECT_NEAR(cfg(kIcStatorG), 0.03968888876140354, 1e-15);
  EXPECT_NEAR(cfg(kIcRotorG), 0.26179938779914946, 1e-15);  // Zb / a^2 = 0.3 ohm
  EXPECT_DOUBLE_EQ(cfg(kIcInverseV), 0.5);
  EXPECT_EQ(cfg(kIcX + 6), 0.05);
  EXPECT_EQ(cfg(kIcMagCurve + 2), 1.0);   // x2 of the magnetising curve
  EXPECT_EQ(cfg(kIcLeakCurve + 3), 1.0);  // y2 of the leakage curve
  EXPECT_EQ(cfg(kIcRcFactor), 10.0);
  EXPECT_EQ(rt_config::rtci(1), 3);
  EXPECT_TRUE(rt_config::rtcl(1));
  EXPECT_EQ(rt_config::nrtcf, 1 + kIcReals);
  EXPECT_EQ(rt_config::nrtci, 2);
  EXPECT_EQ(rt_config::nrtcl, 2);
  // The first form: line-to-line voltage, no logical.
  d.voltage = 2.0 * std::sqrt(3.0);
  inducmc1_cfg(d);
  EXPECT_NEAR(rt_config::rtcf(1 + kIcReals + kIcInverseV), 0.5, 1e-15);
  EXPECT_NEAR(rt_config::rtcf(1 + kIcReals + kIcStatorG), 0.03968888876140354, 1e-14);
  EXPECT_EQ(rt_config::nrtcl, 2);
  EXPECT_EQ(rt_config::nrtci, 3);
}

TEST_F(InductionConfig, RefusalsOfBadData) {
  struct Row {
    void (*edit)(InductionData&);
    const char* text;
  };
  const Row rows[] = {
      {[](InductionData& d) { d.voltage = 0.0005; }, "Unrealistic rated voltage"},
      {[](InductionData& d) { d.extra_cages = 4; }, "The number of extra rotor cages must lie between 0 and 3"},
      {[](InductionData& d) { d.extra_cages = -1; }, "The number of extra rotor cages must lie between 0 and 3"},
      {[](InductionData& d) { d.turns = 0.0; }, "The stator-to-rotor turns ratio must not be zero"},
      {[](InductionData& d) { d.x[1] = 0.0; }, "The stator leakage reactance X(2) must not be zero"},
      {[](InductionData& d) { d.x[2] = 0.0; }, "The rotor leakage reactance X(3) must not be zero"},
  };
  for (const Row& r : rows) {
    InductionData d = induction_data();
    r.edit(d);
    const auto o = wakro_test::run_captured([&] { inducmc2_cfg(d); });
    EXPECT_NE(o.status, -1) << r.text;
    EXPECT_NE(o.console.find(std::string(" ***ERROR** ") + r.text + "[           2 :           8 ]"),
              std::string::npos)
        << o.console;
    EXPECT_NE(o.console.find("Abnormal termination of WAKRO by INDUCMC     "), std::string::npos) << o.console;
    TearDown();
    SetUp();
  }
}

// ------------------------------------------------------------ in the network

double rms_of_dq(double d, double q) { return std::hypot(d, q) / std::sqrt(2.0); }

TEST_F(InductionNet, MagnetisingCurrentAtSynchronousSpeed) {
  InductionStepIn in = induction_inputs();
  in.mode = 1;
  in.speed = 1.0;
  const InductionData d = induction_data();
  double peak = 0.0, te = 0.0, load = 0.0;
  run(d, in, true, 1.5, [&] {
    if (e_s1::time < 1.5 - 1.0 / 60.0) return;
    peak = std::max(peak, std::fabs(branches::cbr(kPhaseBr[0], 1)));
    te = slot(kImTorque);
    load = slot(kImLoadTorque);
  });
  const double expected = 1.0 / (d.x[0] + d.x[1]);
  EXPECT_TRUE(near_rel(rms_of_dq(slot(kImId), slot(kImIq)), expected, 0.01));
  // The branch carries it: the machine's source less G'' v, plus G'' v.
  EXPECT_TRUE(near_rel(peak / std::sqrt(2.0) / kImIb, expected, 0.01)) << peak;
  EXPECT_EQ(slot(kImSpeed), 1.0);
  EXPECT_EQ(slot(kImSpeedCopy), 1.0);
  // No slip, no rotor current: only the small torque of the losses, reported
  // as the load that balances the imposed speed (less the damping).
  EXPECT_NEAR(load, te - d.damping, 1e-12);
  EXPECT_LT(std::fabs(te), 0.01);
}

// Behind a resistive source of 1 pu the terminal voltage depends on what the
// machine's branches draw: their conductance and sources reach the solution.
TEST_F(InductionNet, MagnetisingCurrentBehindASourceResistance) {
  InductionStepIn in = induction_inputs();
  in.mode = 1;
  in.speed = 1.0;
  const InductionData d = induction_data();
  const double zb = 3.0 * kImV * kImV / kImS;
  double peak = 0.0;
  run(d, in, true, 1.5, [&] {
    if (e_s1::time >= 1.5 - 1.0 / 60.0) peak = std::max(peak, std::fabs(branches::cbr(kPhaseBr[0], 1)));
  }, zb);
  const double expected = 1.0 / std::abs(std::complex<double>(1.0 + d.r[0], d.x[0] + d.x[1]));
  EXPECT_TRUE(near_rel(peak / std::sqrt(2.0) / kImIb, expected, 0.01)) << peak;
}

// The steady slip at which the electrical torque meets D (1 - s), from the
// equivalent circuit of the two-circuit machine.
double no_load_slip(const InductionData& d) {
  const auto torque = [&d](double s) {
    // Stator R1 + jX2, magnetising jX1, rotor R2/s + jX3, at 1 pu voltage.
    const std::complex<double> zr(d.r[1] / s, d.x[2]), zm(0.0, d.x[0]), zs(d.r[0], d.x[1]);
    const std::complex<double> zp = zr * zm / (zr + zm);
    const std::complex<double> is = 1.0 / (zs + zp);
    const std::complex<double> ir = is * zm / (zr + zm);
    return std::norm(ir) * d.r[1] / s;
  };
  double lo = 1e-6, hi = 0.05;
  for (int k = 0; k < 100; ++k) {
    const double mid = 0.5 * (lo + hi);
    if (torque(mid) - d.damping * (1.0 - mid) > 0.0) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return 0.5 * (lo + hi);
}

TEST_F(InductionNet, RunsUpFromRestToTheNoLoadSlip) {
  InductionStepIn in = induction_inputs();
  in.mode = 0;
  const InductionData d = induction_data();
  double w_min = 1.0;
  run(d, in, true, 4.0, [&] { w_min = std::min(w_min, slot(kImSpeed)); });
  const double s0 = no_load_slip(d);
  ASSERT_GT(s0, 1e-4);
  EXPECT_GE(w_min, -0.05);  // it started from rest
  EXPECT_TRUE(near_rel(1.0 - slot(kImSpeed), s0, 0.05)) << slot(kImSpeed) << " " << s0;
  EXPECT_TRUE(near_rel(slot(kImTorque), d.damping * slot(kImSpeed), 0.05));
  EXPECT_EQ(slot(kImLoadTorque), 0.0);
}

TEST_F(InductionNet, InvertsOnlyWhenASaturationFactorMoves) {
  InductionData d = induction_data();
  // Magnetising saturation from 0.2 pu: it acts during the start-up.
  d.mag_x = {0.0, 0.2, 0.6, 2.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
  d.mag_y = {0.0, 0.2, 0.45, 0.8, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  InductionStepIn in = induction_inputs();
  in.mode = 1;
  in.speed = 1.0;
  std::int64_t last = induction_inversions(), steps_with_change = 0, extra = 0, steps = 0, saturated = 0;
  double f_prev = 0.0, s_prev = 0.0;
  bool first = true;
  run(d, in, true, 0.5, [&] {
    const std::int64_t now = induction_inversions();
    const double f = slot(kImMagFactor), fs = slot(kImStatorLeakFactor);
    const bool changed = first || f != f_prev || fs != s_prev;
    const std::int64_t made = now - last - (first ? 1 : 0);  // time zero forms it once more
    if (changed) ++steps_with_change;
    if (made != (changed ? 1 : 0)) ++extra;
    if (f < 1.0) ++saturated;
    ++steps;
    first = false;
    f_prev = f;
    s_prev = fs;
    last = now;
  });
  EXPECT_EQ(extra, 0);
  EXPECT_GT(saturated, 0);                 // the curve was in use
  EXPECT_LT(steps_with_change, steps / 2);  // and most steps made no inversion
}

TEST_F(InductionNet, RegistryRecordsOfStatorAndRotorBranches) {
  // Rotor branches need nodes of their own: the stiff source is left open and
  // the rotor phases share the stator R-C branches' nodes for this count.
  InductionStepIn in = induction_inputs();
  in.mode = 1;
  in.speed = 1.0;
  for (std::int32_t rotor_count : {0, 1, 3}) {
    in.rotor = {0, 0, 0};
    for (std::int32_t k = 0; k < rotor_count; ++k) in.rotor[static_cast<std::size_t>(k)] = kSourceBr[static_cast<std::size_t>(k)];
    harmimp::harm_num = 0;
    std::int32_t kind12 = 0, machine_branch = 0;
    run(induction_data(), in, true, 0.0, [&] {
      for (std::int32_t k = 1; k <= harmimp::harm_num; ++k) {
        if (harmimp::harm_type(k) == 12) ++kind12;
        const std::int32_t b = harmimp::harm_node(k, 1);
        if (harmimp::harm_type(k) == 9 && harmimp::harm_node(k, 2) == 0 && b >= 1 && b <= 6 &&
            (b >= 4 || b <= rotor_count))
          ++machine_branch;
      }
    });
    EXPECT_EQ(kind12 + machine_branch, 6 + 2 * rotor_count) << rotor_count;
    EXPECT_EQ(kind12, 3 + rotor_count);
    release_all_and_reset();
    SetUp();
  }
}

TEST_F(InductionNet, BothFormsGiveTheSameTrace) {
  InductionStepIn in = induction_inputs();
  in.mode = 0;
  InductionData d = induction_data();
  d.mag_x = {0.0, 0.2, 0.6, 2.0, -1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
  d.mag_y = {0.0, 0.2, 0.45, 0.8, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  std::vector<double> second, first;
  const auto record = [](std::vector<double>& v) {
    return [&v] {
      for (std::int32_t k : std::array<std::int32_t, 6>{kImPsiD, kImPsiQ + 1, kImId, kImSpeed, kImAngle, kImTorque})
        v.push_back(e_s2::stor(k));
      v.push_back(branches::cbr(kPhaseBr[1], 1));
    };
  };
  run(d, in, true, 0.2, record(second));
  release_all_and_reset();
  SetUp();
  d.voltage = kImV * std::sqrt(3.0);
  run(d, in, false, 0.2, record(first));
  EXPECT_EQ(e_s2::stor(kImBlock1 + 1), 0.0);  // nothing written past the first form's 77 slots
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t k = 0; k < first.size(); ++k)
    ASSERT_NEAR(first[k], second[k], 1e-12 * std::max(1.0, std::fabs(second[k]))) << k;
}

TEST_F(InductionNet, AngleStaysWithinOneTurnForEitherSign) {
  for (double w : {1.3, -1.3}) {
    InductionStepIn in = induction_inputs();
    in.mode = 2;
    in.speed = w;
    double lo = 0.0, hi = 0.0;
    run(induction_data(), in, true, 0.1, [&] {
      lo = std::min(lo, slot(kImAngle));
      hi = std::max(hi, slot(kImAngle));
    });
    EXPECT_GT(lo, -6.283185307179586);
    EXPECT_LT(hi, 6.283185307179586);
    EXPECT_GT(hi - lo, 3.0);  // it did turn
    EXPECT_EQ(slot(kImLoadTorque), 0.0);  // mode 2 echoes the load torque
    release_all_and_reset();
    SetUp();
  }
}

TEST_F(InductionNet, DivergenceAndZeroInertiaStop) {
  struct Row {
    std::int32_t slot;
    double value;
    double inertia;
    const char* text;
  };
  for (const Row& r : {Row{kImId + 1, -1e12, 0.5, " ***ERROR** Integration Error"},
                       Row{kImPsiQ + 1, std::nan(""), 0.5, " ***ERROR** Integration Error"},
                       Row{kImPsiD + 1, -std::numeric_limits<double>::infinity(), 0.5, " ***ERROR** Integration Error"},
                       Row{0, 0.0, 0.0,
                           " ***ERROR** The inertia must not be zero when the speed follows the mechanical equation"}}) {
    InductionStepIn in = induction_inputs();
    in.mode = 0;
    InductionData d = induction_data();
    d.inertia = r.inertia;
    const auto o = wakro_test::run_captured([&] {
      run(d, in, true, 0.01, [&] {
        if (r.slot > 0 && e_s1::time > 0.004) e_s2::stor(r.slot) = r.value;
      });
    });
    EXPECT_NE(o.status, -1) << r.text;
    EXPECT_NE(o.console.find(r.text), std::string::npos) << o.console;
    EXPECT_NE(o.console.find("INDUCMC     "), std::string::npos);
    release_all_and_reset();
    SetUp();
  }
}

}  // namespace
