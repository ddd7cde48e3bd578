// The static var compensator through the network solution (dt = 50 us): a stiff
// 230 kV 60 Hz bus (three sources of 0.01 ohm) and the compensator of 100 MVA,
// 230 / 13.8 kV, 1 % magnetising currents, 0.1 pu leakages, QL = QC = 100 MVAr,
// Q0 = 5 MVAr, four stages per branch, four sub-steps. Its interface branches
// (4-6) and R-C branches (7-9) sit at the bus nodes 1-3.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "devices/svc.h"
#include "devices/svc400.h"
#include "devices/voltage_sources.h"
#include "files/units.h"
#include "model/e_s2.h"
#include "model/fnames.h"
#include "support/temp_dir.h"

// The allocation counter of this test program (its replacement of operator new
// lives with the power-electronic switch's tests).
namespace wakro_test {
inline std::atomic<long> allocations{0};
}  // namespace wakro_test

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kW60 = 2.0 * kPi * 60.0;
constexpr double kPeriod = 1.0 / 60.0;
constexpr double kPhasePeak = 230.0 * 1.4142135623730951 / 1.7320508075688772;

SvcRatings rated() {
  SvcRatings d;
  d.ibr[0] = 4, d.ibr[1] = 5, d.ibr[2] = 6;
  d.irc[0] = 7, d.irc[1] = 8, d.irc[2] = 9;
  d.s = 100.0, d.v1 = 230.0, d.v2 = 13.8, d.f = 60.0;
  d.im[0] = d.im[1] = d.im[2] = 1.0;
  d.x12 = d.x13 = d.x23 = 0.1;
  d.ql = 100.0, d.qc = 100.0, d.q0 = 5.0;
  d.r = 500.0, d.cs_uf = 0.1, d.ron = 1e-3, d.roff = 1e6, d.rd = 1e6;
  d.ncap = 4, d.nc0 = 4, d.kp = 50.0, d.ki = 900.0, d.nsub = 4, d.nref = 4;
  d.xair = 0.3, d.fknee = 10.0, d.gsh = 0.0, d.tflux = 1.0, d.scale = 1.0;
  return d;
}

// The quantities of the rated form, evaluated here from their definitions.
struct Derived {
  explicit Derived(const SvcRatings& d) {
    const double sph = d.s / 3.0;
    const double zb1 = d.v1 * d.v1 / 3.0 / sph, zb2 = d.v2 * d.v2 / 3.0 / sph;
    l1 = zb1 / (0.01 * d.im[0] * w);
    l2 = zb2 / (0.01 * d.im[1] * w);
    l3 = d.v2 * d.v2 / sph / (0.01 * d.im[2] * w);
    m12 = std::sqrt(l1 * l2) * (1.0 - d.x12 * zb1 / (2.0 * w * l1));
    m13 = std::sqrt(l1 * l3) * (1.0 - d.x13 * zb1 / (2.0 * w * l1));
    m23 = std::sqrt(l2 * l3) * (1.0 - d.x23 * zb2 / (2.0 * w * l2));
    lt = 6.0 * (d.v2 * d.v2 / d.ql - d.x12 * d.v2 * d.v2 / d.s) / w;
    cst = 1.0 / (6e-6 * w * d.ncap * d.v2 * d.v2 * (1.0 / d.qc + d.x12 / d.s));
    const double c0p = 1.0 / (6e-6 * w * d.ncap * d.v2 * d.v2 * (1.0 / d.q0 + d.x12 / d.s));
    c0 = c0p <= 0.0 ? c0p : std::max(c0p, 0.05 * cst);
    for (int p = 0; p < 3; ++p) {
      l9[p][p] = l1, l9[3 + p][3 + p] = l3, l9[6 + p][6 + p] = l2;
      l9[p][3 + p] = l9[3 + p][p] = m13, l9[p][6 + p] = l9[6 + p][p] = m12, l9[3 + p][6 + p] = l9[6 + p][3 + p] = m23;
    }
  }
  double w = 2.0 * kPi * 60.0;
  double l1, l2, l3, m12, m13, m23, lt, cst, c0;
  double l9[9][9] = {};
};

class Svc : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    extra_dims_ = {{dim::stor, 400}, {dim::storl, 16}, {dim::stori, 64},
                   {dim::storf, 64}, {dim::rtcf, 200}, {dim::rtci, 16}};
  }
  void TearDown() override {
    wakro::close_all_units();
    folder_.leave();
    devtest::Devices::TearDown();
  }
  // The bus with the rated form; reversed: interface branches terminal -> ground.
  void circuit(const SvcRatings& d, bool reversed = false) {
    d_ = d;
    size(3, 9);
    for (std::int32_t n = 1; n <= 3; ++n) add_branch(1, 0, n, 0.01, 0.0, 0.0, 0.0, 1.0);
    for (std::int32_t n = 1; n <= 3; ++n) reversed ? empty_branch(n, 0) : empty_branch(0, n);
    for (std::int32_t n = 1; n <= 3; ++n) empty_branch(n, 0);
    devices([this] {
      wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, kPhasePeak, kW60, 0.0);
      if (e_s1::timezero) {
        svc1_cfg(d_);
        rt_config::nrtcf = rt_config::nrtci = 1;
      }
      svc1_exe(1, 4, 5, 6, alpha_, cord_, enab_, cmode_, ncord_, 0);
    });
  }
  // The bus with the data-file form fed with lines equal to the rated form's.
  void circuit400(const SvcRatings& d) {
    ASSERT_TRUE(folder_.enter("wakro_svc_"));
    const Derived x(d);
    auto num = [](double value) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.17g ", value);
      return std::string(buf);
    };
    std::string text = "C the compensator's windings, valves and stages\n";
    for (int i = 0; i < 9; ++i) {
      for (int j = 0; j <= i; ++j) text += num(x.l9[i][j]);
      text += '\n';
    }
    text += num(x.lt) + num(d.r) + num(d.cs_uf) + num(d.ron) + num(d.roff) + '\n';
    text += num(x.cst) + num(d.rd) + std::to_string(d.ncap) + " " + std::to_string(d.nc0) + " " + num(x.c0) + '\n';
    data_file(text);
    d_ = d;
    size(3, 3);
    for (std::int32_t n = 1; n <= 3; ++n) add_branch(1, 0, n, 0.01, 0.0, 0.0, 0.0, 1.0);
    devices([this] {
      wakro_3phvsrc(1, 1, 2, 3, 0.0, 1, kPhasePeak, kW60, 0.0);
      svc400(1, 1, 2, 3, alpha_, cord_, enab_, cmode_, ncord_, 0, d_.kp, d_.ki, d_.nsub, d_.nref, d_.s, d_.v1,
             d_.f, d_.xair, d_.fknee, d_.gsh, d_.tflux, d_.scale);
    });
  }
  void data_file(const std::string& text) {
    wakro_test::write_file("svc.dat", text);
    fnames::filename = wakro::FixedText<72>("svc.dat");
    wakro_openfile();
  }
  // Mean reactive power drawn from the bus (MVAr, > 0 absorbed) over cycles
  // `from` to `to` of a run.
  double q_drawn(int from, int to) {
    const int steps = static_cast<int>(std::lround(to * kPeriod / e_s1::delt)) + 1;
    start_run(steps);
    double sum = 0.0;
    int n = 0;
    for (int k = 0; k < steps; ++k) {
      step();
      if (k * e_s1::delt <= from * kPeriod) continue;
      const double va = v(1), vb = v(2), vc = v(3);
      sum += ((vb - vc) * i(1) + (vc - va) * i(2) + (va - vb) * i(3)) / std::sqrt(3.0);
      ++n;
    }
    return sum / n;
  }
  double q_at(double alpha_deg, std::int32_t nc0) {
    release_all_and_reset();
    SvcRatings d = rated();
    d.nc0 = nc0;
    alpha_ = alpha_deg * kPi / 180.0;
    circuit(d);
    return q_drawn(20, 30);
  }
  // Slot k of the rated form's block (after its two advance slots).
  static double blk(std::int32_t k) { return e_s2::stor(2 + k); }

  SvcRatings d_;
  wakro_test::WorkFolder folder_;
  double alpha_ = kPi;
  double cord_ = 0.0;
  std::int32_t enab_ = 1, cmode_ = 0, ncord_ = 0;
};

TEST_F(Svc, ConfigurationHoldsTheDerivedQuantities) {
  SvcRatings d = rated();
  d.gsh = 0.0;
  circuit(d);
  e_s1::timezero = true;
  const std::int32_t harm0 = harmimp::harm_num;
  svc1_cfg(d);
  EXPECT_EQ(rt_config::nrtcf, 132);
  EXPECT_EQ(rt_config::nrtci, 5);
  const Derived x(d);
  EXPECT_NEAR(x.l1, 140.3216, 1e-4);
  const double dt = e_s1::delt;
  const double expect[][2] = {{1, x.lt}, {6, x.cst * 1e-6}, {7, x.c0 * 1e-6}, {121, std::sqrt(3.0) * 100.0 / 230.0},
                              {124, 5.0 * x.w * dt / (230.0 * 230.0 / 100.0)}, {130, 230.0}, {131, 60.0}};
  for (const auto& [slot, value] : expect)
    EXPECT_NEAR(rt_config::rtcf(static_cast<std::int32_t>(slot)), value, 1e-12 * std::abs(value)) << slot;
  // Three R-C records, the terminals' record without a shunt value, three
  // interface records; R-C conductance 1 / (R + R / 20).
  EXPECT_EQ(harmimp::harm_num - harm0, 7);
  const double r = 7.0 * 230.0 * 230.0 / 100.0;
  EXPECT_NEAR(branches::geq(7, 1), 1.0 / (r * 21.0 / 20.0), 1e-15);
  EXPECT_TRUE(branches::defrdbr(4, 1));
  EXPECT_DOUBLE_EQ(branches::geq(4, 1), rt_config::rtcf(124));
}

TEST_F(Svc, ConfigurationCorrectsAndRefuses) {
  SvcRatings d = rated();
  d.ncap = 12, d.nc0 = 12;
  circuit(d);
  e_s1::timezero = true;
  const auto out = nettest::capture([&] { svc1_cfg(d); });
  EXPECT_EQ(out.text,
            " ***WARN*** The maximum number of capacitor stages is reset to 10\n"
            " ***WARN*** The initial number of capacitor stages entered reset to the maximum\n");
  EXPECT_EQ(rt_config::rtci(1), 10);
  EXPECT_EQ(rt_config::rtci(2), 10);
  // A small positive Q0 leaves 5 % of a stage in a branch without stages.
  rt_config::nrtcf = rt_config::nrtci = 1;
  d = rated();
  d.q0 = 0.1;
  svc1_cfg(d);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(7), 0.05 * Derived(d).cst * 1e-6);
  d = rated();
  d.roff = d.ron;
  const auto stop = nettest::capture([&] { svc1_cfg(d); });
  EXPECT_EQ(stop.status, 2000);
  EXPECT_EQ(stop.text.rfind(" ***ERROR** On resistance must be less than Off resistance\n", 0), 0u) << stop.text;
  EXPECT_NE(stop.text.find("Abnormal termination of WAKRO by SVC         "), std::string::npos);
  release_all_and_reset();  // the stop released the case
  d = rated();
  d.nsub = 0;
  circuit(d);
  e_s1::timezero = true;
  EXPECT_NE(nettest::capture([&] { svc1_cfg(d); }).text.find("SVC needs at least one sub-step"), std::string::npos);
}

TEST_F(Svc, StagesBelowOneMicrofaradCount) {
  SvcRatings d = rated();
  d.qc = 1.0, d.q0 = 0.2;  // a stage of 0.53 uF
  circuit(d);
  start_run(2);
  step();
  EXPECT_LT(Derived(d).cst, 1.0);
  for (int b = 0; b < 6; ++b) EXPECT_DOUBLE_EQ(blk(134 + b), 4.0 * Derived(d).cst * 1e-6);
}

TEST_F(Svc, LoopLocksToTheBus) {
  circuit(rated());
  start_run(10001);
  for (int k = 0; k < 10000; ++k) step();
  // After 0.5 s the angle leads the bus by exactly the step it has advanced
  // (it belongs to the end of the step), its integral is at rest.
  const double t = e_s1::delt * (ctrl::iii - 1);
  EXPECT_NEAR(std::remainder(blk(29) - kW60 * (t + e_s1::delt), 2.0 * kPi), 0.0, 1e-4);
  EXPECT_NEAR(blk(30), 0.0, 1e-6);
}

TEST_F(Svc, ReactivePowerFromCapacitiveToInductiveRating) {
  // All stages in, reactor blocked: QC less the 1 % magnetising share.
  EXPECT_NEAR(q_at(180.0, 4), -99.0, 0.02 * 100.0);
  // Reactor in full conduction, no stage: about QL.
  const double ql = q_at(0.0, 0);
  EXPECT_NEAR(ql, 100.0, 0.02 * 100.0);
  // The absorbed Q never grows with the firing angle. Below 90 deg the reactor
  // conducts fully whatever the angle, and the values differ only by the decay
  // of the current's offset: they may differ by 0.05 MVAr either way.
  double last = ql;
  for (int a = 10; a <= 180; a += 10) {
    const double q = q_at(a, 0);
    EXPECT_LE(q, last + 0.05) << a;
    if (a > 90 && a <= 160) {  // the reactor's share falls steeply there
      EXPECT_LT(q, last - 1.0) << a;
    }
    last = q;
  }
}

TEST_F(Svc, StageOrderInsertsEachBranchAtItsNaturalInstant) {
  SvcRatings d = rated();
  d.nc0 = 3;
  d.rd = 1.0e3;  // a decay of the stages fast enough to be seen
  circuit(d);
  start_run(3000);
  // The voltage across the stage's switch (the uncharged stage: the branch
  // voltage) moves by at most w V dt a step; a branch switches within two steps
  // of its zero.
  const double move = kW60 * 13.8 * std::sqrt(2.0) * e_s1::delt;
  int inserted = 0;
  for (int k = 0; k < 2000; ++k) {
    if (k == 1000) cord_ = 1.0;
    double before[6];
    for (int b = 0; b < 6; ++b) before[b] = blk(140 + b);
    step();
    if (k == 1000) {
      EXPECT_EQ(ncord_, 4);
      EXPECT_EQ(cmode_, 1);
    }
    for (int b = 0; b < 6; ++b) {
      if (blk(140 + b) == before[b] || k == 0) continue;
      ++inserted;
      EXPECT_EQ(blk(140 + b), 4.0);
      EXPECT_LT(std::abs(blk(116 + b)), 2.0 * move) << b;
      EXPECT_DOUBLE_EQ(blk(134 + b), 4.0 * Derived(d).cst * 1e-6);
      EXPECT_EQ(cmode_, inserted == 6 ? 0 : 1);
    }
  }
  EXPECT_EQ(inserted, 6);
  // A further insertion is refused.
  cord_ = 1.0;
  step();
  EXPECT_EQ(cord_, 0.0);
  EXPECT_EQ(cmode_, 0);
  // A removal waits for the branch current's zero: the removed stage keeps about
  // the branch's peak voltage, which then decays by 1 - dt / (RD CST) a step.
  cord_ = -1.0;
  step();
  EXPECT_EQ(ncord_, 3);
  for (int k = 0; k < 400 && blk(140) == 4.0; ++k) step();
  ASSERT_EQ(blk(140), 3.0);
  double kept = blk(55 + 4);
  EXPECT_GT(std::abs(kept), 0.9 * 13.8 * std::sqrt(2.0));
  for (int k = 0; k < 3; ++k) {
    step();
    kept *= 1.0 - e_s1::delt / (d.rd * Derived(d).cst * 1e-6);
    EXPECT_DOUBLE_EQ(blk(55 + 4), kept);
  }
}

TEST_F(Svc, DisabledCompensatorInjectsOnlyItsCompensatingCurrent) {
  enab_ = 0;
  circuit(rated());
  const double a = kW60 * 5.0e-5;
  const double gc = 5.0 * kW60 * 5.0e-5 / (230.0 * 230.0 / 100.0);
  int checked = 0;
  auto calls = model_;
  model_ = [&] {
    const double va = v(1), vb = v(2), vc = v(3);
    calls();
    const double c1 = 1.0 - a * a, c2 = a * 0.577350269189626;
    EXPECT_DOUBLE_EQ(branches::ccbr(4, 1), gc * (c1 * va + c2 * (vc - vb)));
    EXPECT_DOUBLE_EQ(branches::ccbr(5, 1), gc * (c1 * vb + c2 * (va - vc)));
    ++checked;
  };
  start_run(400);
  for (int k = 0; k < 400; ++k) step();
  EXPECT_EQ(checked, 400);
  // Through the interface branch only the prediction error of the voltage flows.
  EXPECT_LT(std::abs(i(4)), gc * kPhasePeak * a * 1.01);
}

TEST_F(Svc, InterfaceOrientationDoesNotChangeTheCurrentsAndStepsAllocateNothing) {
  std::vector<double> ia;
  alpha_ = 2.0;
  for (const bool reversed : {false, true}) {
    release_all_and_reset();
    circuit(rated(), reversed);
    start_run(2000);
    long before = 0;
    for (int k = 0; k < 2000; ++k) {
      if (k == 1) before = wakro_test::allocations;  // after the set-up step
      step();
      if (!reversed) {
        ia.push_back(i(1));
      } else {
        EXPECT_NEAR(i(1), ia[static_cast<std::size_t>(k)], 1e-9) << k;
      }
    }
    // Valves switching and sub-steps refined, with no allocation (after the
    // first run's vector of currents had grown).
    if (reversed) {
      EXPECT_EQ(wakro_test::allocations - before, 0);
    }
  }
}

TEST_F(Svc, DataFileFormReproducesTheRatedForm) {
  SvcRatings d = rated();
  d.nc0 = 2;
  alpha_ = 110.0 * kPi / 180.0;
  circuit(d);
  const int steps = static_cast<int>(std::lround(0.2 / e_s1::delt));
  std::vector<double> rated_i;
  start_run(steps);
  double peak = 0.0;
  for (int k = 0; k < steps; ++k) {
    step();
    for (std::int32_t p = 1; p <= 3; ++p) {
      rated_i.push_back(i(p));
      peak = std::max(peak, std::abs(i(p)));
    }
  }
  release_all_and_reset();
  const std::int32_t harm0 = harmimp::harm_num;
  circuit400(d);
  start_run(steps);
  double worst = 0.0;
  for (int k = 0; k < steps; ++k) {
    step();
    for (std::int32_t p = 1; p <= 3; ++p)
      worst = std::max(worst, std::abs(i(p) - rated_i[static_cast<std::size_t>(3 * k + p - 1)]));
  }
  EXPECT_GT(peak, 0.1);
  EXPECT_LT(worst, 0.01 * peak);
  EXPECT_EQ(harmimp::harm_num - harm0, 1);
}

TEST_F(Svc, DataFileFormCorrectsAndRefusesItsLines) {
  SvcRatings d = rated();
  d.ncap = 12, d.nc0 = 12;
  circuit400(d);
  start_run(3);
  const auto out = nettest::capture([&] { step(); });
  auto box = [](std::initializer_list<const char*> lines) {
    const std::string stars = " ***************************************************\n";
    std::string b = stars + " * WARNING   WARNING   WARNING   WARNING   WARNING *\n" +
                    " * ------------------------------------------------*\n";
    for (const char* l : lines) b += std::string(" ") + l + "\n";
    return b + stars;
  };
  EXPECT_EQ(out.text, box({"* The maximum number of capacitor stages entered  *",
                           "* in the eleventh line of SVC data in DATAFILE    *",
                           "* cannot be greater then 10. Thus, NCAP=10 is set.*"}) +
                          box({"* The initial number of capacitor stages entered  *",
                               "* in the eleventh line of SVC data in DATAFILE    *",
                               "* can not be greater then the number of capacitor *",
                               "* stages NCAP, thus NC0=NCAP is set.              *"}));
  EXPECT_EQ(e_s2::stor(2 + 105), 10.0);
  wakro::close_all_units();
  folder_.leave();
  release_all_and_reset();
  circuit400(rated());
  wakro::close_all_units();
  data_file("1.0\n2.0 3.0\n4 5 6\n7 8 9 x\n");
  start_run(3);
  const auto bad = nettest::capture([&] { step(); });
  EXPECT_EQ(bad.status, 2000);
  EXPECT_EQ(bad.text.rfind(" ***ERROR** Error reading SVC data line 4\n", 0), 0u) << bad.text;
  EXPECT_NE(bad.text.find("7 8 9 x"), std::string::npos);
  EXPECT_NE(bad.text.find("Abnormal termination of WAKRO by SVC400      "), std::string::npos);
}

}  // namespace
