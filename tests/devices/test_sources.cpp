// Voltage, current and EMF sources: their values step by step against the
// sinusoids and ramps they describe (dt = 50 us), the storage they take, the
// terminal-condition set-up against hand-worked phasors, and their fatal paths.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "device_fixture.h"
#include "devices/current_sources.h"
#include "devices/custom_harmonics.h"
#include "devices/emf_sources.h"
#include "devices/voltage_sources.h"
#include "files/units.h"
#include "model/fnames.h"

namespace {

constexpr double kW60 = 2.0 * 3.141592653589793 * 60.0;
constexpr double kTwoPi = 6.283185307179586;

class Sources : public devtest::Devices {
 protected:
  // Runs `calls` as the model of n steps without solving the network.
  void run_model(int n, const std::function<void(int)>& each) {
    for (int k = 0; k < n; ++k) {
      e_s1::timezero = k == 0;
      e_s1::time = k * e_s1::delt;
      int1::solution_time = (k - 1) * e_s1::delt;
      model_();
      each(k);
    }
  }
};

TEST_F(Sources, AcVoltageSourceFollowsTheSineAndKeepsItsAngleInATurn) {
  size(1, 1);
  const std::int32_t b = empty_branch(0, 1);
  devices([&] { wakro_1pvsrc(1, b, 0.0, 1, 1.0, kW60, 0.0); });
  run_model(1000, [&](int k) {
    ASSERT_NEAR(branches::ebr(b, 1), std::sin(kW60 * k * e_s1::delt), 1e-9) << "step " << k;
    const double angle = storage::storf(1 + 7);
    ASSERT_GE(angle, 0.0);
    ASSERT_LE(angle, kTwoPi);
    // A second evaluation at the same instant changes nothing.
    const double e = branches::ebr(b, 1);
    storage::this_ = branches::thisbr(b, 1);
    wakro_vsrc_dyn();
    ASSERT_EQ(branches::ebr(b, 1), e);
  });
  EXPECT_EQ(storage::stori(1), 101);
  EXPECT_EQ(storage::nstori, 7);
  EXPECT_EQ(storage::nstorl, 2);
  EXPECT_EQ(storage::nstorf, 9);
}

TEST_F(Sources, DcRampAndThreePhaseRecords) {
  size(3, 3);
  const std::int32_t b1 = empty_branch(0, 1), b2 = empty_branch(0, 2), b3 = empty_branch(0, 3);
  devices([&] { wakro_1pvsrc(1, b1, 0.1, 0, 5.0, 0.0, 0.0); });
  run_model(3000, [&](int k) {
    const double t = k * e_s1::delt;
    ASSERT_NEAR(branches::ebr(b1, 1), t < 0.1 ? 50.0 * t : 5.0, 1e-12) << "step " << k;
  });
  release_all_and_reset();
  size(3, 3);
  empty_branch(0, 1), empty_branch(0, 2), empty_branch(0, 3);
  devices([&] { wakro_3phvsrc(1, b1, b2, b3, 0.0, 1, 2.0, kW60, 0.5); });
  run_model(5, [&](int k) {
    const double th = kW60 * k * e_s1::delt + 0.5;
    ASSERT_NEAR(branches::ebr(b1, 1), 2.0 * std::sin(th), 1e-12);
    ASSERT_NEAR(branches::ebr(b2, 1), 2.0 * std::sin(th - kTwoPi / 3.0), 1e-12);
    ASSERT_NEAR(branches::ebr(b3, 1), 2.0 * std::sin(th + kTwoPi / 3.0), 1e-12);
  });
  EXPECT_EQ(branches::thisbr(b1, 1), 1);
  EXPECT_EQ(branches::thisbr(b2, 1), 7);
  EXPECT_EQ(branches::thisbr(b3, 1), 13);
}

TEST_F(Sources, TerminalConditionSetUp) {
  size(1, 1);
  rt_config::nrtcf = 1;
  e_1pvsrc_cfg(1, 0, 1, 10.0, 50.0, 30.0, 0.0, 0.0, 0.0, 0.0, 0.0, 7.0);
  EXPECT_NEAR(rt_config::rtcf(1), 14.142135624, 1e-9);
  EXPECT_NEAR(rt_config::rtcf(2), 2.0 * 3.141592653589793 * 50.0, 1e-9);
  EXPECT_NEAR(rt_config::rtcf(3), 0.523598776, 1e-9);
  EXPECT_EQ(rt_config::rtcf(4), 7.0);
  EXPECT_EQ(rt_config::nrtcf, 5);
  e_1pvsrc_cfg(1, 1, 1, 10.0, 60.0, 0.0, 1.0, 0.0, 0.0, 10.0, 0.0, 0.0);
  EXPECT_NEAR(rt_config::rtcf(5), 15.556349186, 1e-8);
  EXPECT_NEAR(rt_config::rtcf(7), 0.0, 1e-12);
  // Behind 0.01 H at 60 Hz (X = 3.7699 ohm) carrying 10 MW: E = 10 + j 3.7699.
  e_1pvsrc_cfg(1, 1, 4, 10.0, 60.0, 0.0, 0.0, 0.01, 0.0, 10.0, 0.0, 0.0);
  EXPECT_NEAR(rt_config::rtcf(9), 1.414213562373095 * std::hypot(10.0, kW60 * 0.01), 1e-8);
  EXPECT_NEAR(rt_config::rtcf(11), std::atan2(kW60 * 0.01, 10.0), 1e-9);
  e_1pvsrc_cfg(0, 1, 1, 10.0, 0.0, 0.0, 1.0, 0.0, 0.0, 10.0, 0.0, 0.0);
  EXPECT_DOUBLE_EQ(rt_config::rtcf(13), 11.0);
}

TEST_F(Sources, ImpedanceConversionsAndSequenceImpedances) {
  double rp = 0, xp = 0, r = 0, x = 0;
  ser2par(3.0, 4.0, rp, xp);
  EXPECT_NEAR(rp, 25.0 / 3.0, 1e-12);
  EXPECT_NEAR(xp, 6.25, 1e-12);
  par2ser(rp, xp, r, x);
  EXPECT_NEAR(r, 3.0, 1e-12);
  EXPECT_NEAR(x, 4.0, 1e-12);
  ser2par(0.0, 0.0, rp, xp);
  EXPECT_EQ(rp, 0.0);
  EXPECT_EQ(xp, 0.0);
  ser2par(2.0, 0.0, rp, xp);
  EXPECT_EQ(xp, 1e6);
  par2ser(1e-7, 5.0, r, x);
  EXPECT_EQ(r, 0.0);
  double r1 = 0, l1 = 0, r0 = 0, l0 = 0;
  source3r1_cfg(1, 0, 10.0, 80.0, 0.0, 0.0, 50.0, r1, l1, r0, l0);
  EXPECT_NEAR(r1, 10.0 * std::cos(80.0 * 3.141592653589793 / 180.0), 1e-9);
  EXPECT_NEAR(l1, 0.0313474, 1e-7);
  source3r1_cfg(2, 1, 1.0, 2.0, 3.0, 4.0, 50.0, r1, l1, r0, l0);
  EXPECT_NEAR(r0, 16.0 / 3.0 + 3.0, 1e-12);
  EXPECT_NEAR(l0, 25.0 / (100.0 * 3.141592653589793 * 4.0), 1e-12);
}

struct FatalCase {
  std::function<void()> call;
  const char* text;
  const char* tag;
};

TEST_F(Sources, FatalPathsPrintTheirTextAndTag) {
  double a = 0, b = 0, c = 0, d = 0;
  const std::array<FatalCase, 5> cases{{
      {[&] { source3r1_cfg(1, 0, 0.0, 10.0, 0.0, 0.0, 50.0, a, b, c, d); },
       "***ERROR** Positive sequence impedance too small", "SOURCE3R"},
      {[&] { source3r1_cfg(2, 0, 1.0, 1.0, 0.0, 0.0, 0.0, a, b, c, d); },
       "***ERROR** Frequency too small", "SOURCE3R"},
      {[&] { e_1pvsrc_cfg(1, 0, 1, 10.0, 0.0, 0.0, 0, 0, 0, 0, 0, 0); },
       "***ERROR** Frequency of an AC source must be above zero", "E_1PVSRC_CFG"},
      {[&] { e_1pvsrc_cfg(0, 1, 1, 0.0, 0.0, 0.0, 1, 0, 0, 1, 0, 0); },
       "***ERROR** Voltage of a source given by terminal conditions must not be zero", "E_1PVSRC_CFG"},
      {[&] { current_source1_cfg(1, 1.0, 0.0, 0.0, 0.0); },
       "***ERROR** Frequency of an AC current source must be above zero", "CUR_SRC1_CFG"},
  }};
  for (const FatalCase& k : cases) {
    size(1, 1);
    const auto out = nettest::capture(k.call);
    EXPECT_NE(out.status, -1) << k.text;
    EXPECT_NE(out.text.find(k.text), std::string::npos) << out.text;
    EXPECT_NE(out.text.find(std::string("by ") + k.tag), std::string::npos) << out.text;
    release_all_and_reset();
  }
  size(1, 1);
  rt_config::nrtcf = 1;
  const auto warn = nettest::capture([] { e_1pvsrc_cfg(1, 0, 1, -1.0, 50.0, 0, 0, 0, 0, 0, 0, 0); });
  EXPECT_EQ(warn.text, " ***WARN*** Negative manitude specified for an AC source\n");
}

TEST_F(Sources, CurrentSourceStartsOneStepBackAndRamps) {
  size(2, 2);
  const std::int32_t ac = empty_branch(0, 1);
  const std::int32_t dc = empty_branch(0, 2);
  current_source1_cfg(1, 1.0, 60.0, 30.0, 0.0);
  current_source1_cfg(0, 1.0, 0.0, 0.0, 0.1);
  devices([&] {
    current_source1_exe(ac, 1);
    current_source1_exe(dc, 1);
  });
  run_model(2400, [&](int k) {
    const double t = k * e_s1::delt;
    ASSERT_NEAR(branches::ccbr(ac, 1), std::sin(30.0 * 3.141592653589793 / 180.0 + kW60 * t), 1e-9);
    ASSERT_NEAR(branches::ccbr(dc, 1), t < 0.1 ? 10.0 * t : 1.0, 1e-12);
  });
  EXPECT_NEAR(branches::ccbrd(ac, 1), 0.5, 1e-12);  // the time-zero value
}

TEST_F(Sources, CurrentSourceWithGivenConductanceRefactorisesOnlyOnAChange) {
  size(3, 1);
  const std::int32_t b = empty_branch(2, 3);
  current_source2_cfg(b, 1);
  e_s8::mxinv(1) = 4;
  current_source2_exe(b, 1, 0.0, 2.0);
  EXPECT_EQ(e_s8::mxinv(1), 4);
  EXPECT_EQ(branches::ccbr(b, 1), 2.0);
  current_source2_exe(b, 1, 1e-6, 2.0);
  EXPECT_EQ(e_s8::mxinv(1), 2);
  EXPECT_EQ(branches::geq(b, 1), 1e-6);
}

TEST_F(Sources, EmfSources) {
  size(3, 3);
  const std::int32_t b1 = empty_branch(0, 1), b2 = empty_branch(0, 2), b3 = empty_branch(0, 3);
  const double w = kTwoPi * 50.0;
  devices([&] { esys1(-1, b1, -b2, b3, 10.0, w, 0.0); });
  run_model(10, [&](int k) {
    const double th = w * k * e_s1::delt + 0.523598776;
    const double m = 10.0 * 1.732050807568877;
    ASSERT_NEAR(branches::ebr(b1, 1), m * std::sin(th), 1e-9);
    ASSERT_NEAR(branches::ebr(b2, 1), -m * std::sin(th - kTwoPi / 3.0), 1e-9);
    ASSERT_NEAR(branches::ebr(b3, 1), m * std::sin(th + kTwoPi / 3.0), 1e-9);
  });
  // Soft start: one third of the magnitude after one period; angle 0 at time zero.
  devices([&] { esys1(1, b1, b2, b3, 10.0, -w, 0.0); });
  run_model(401, [&](int k) {
    if (k == 0) {
      ASSERT_NEAR(e_s2::stor(1), 0.0, 1e-12);
    }
    if (k == 400) {
      ASSERT_NEAR(branches::ebr(b1, 1), 10.0 / 3.0 * std::sin(w * 0.02), 1e-6);
    }
  });
  devices([&] { ebr1p2(1, b1, 5.0, w, 0.0, 0.1, 1); });
  run_model(2400, [&](int k) {
    const double t = k * e_s1::delt;
    ASSERT_NEAR(branches::ebr(b1, 1), t < 0.1 ? 50.0 * t : 5.0, 1e-12);
    ASSERT_NEAR(storage::storf(2), k == 0 ? kTwoPi : std::fmod(w * t, kTwoPi), 1e-6);
  });
  // A fresh store: the time-zero call leaves the last-call time as it finds it.
  release_all_and_reset();
  size(3, 3);
  empty_branch(0, 1), empty_branch(0, 2), empty_branch(0, 3);
  devices([&] { ebr3p2(1, b1, b2, b3, 2.0, w, 0.25, 0.0); });
  run_model(5, [&](int k) {
    const double th = (k == 0 ? kTwoPi : w * k * e_s1::delt) + 0.25;
    ASSERT_NEAR(branches::ebr(b2, 1), 2.0 * std::sin(th - kTwoPi / 3.0), 1e-9);
  });
  const auto bad = nettest::capture([&] {
    devices([&] { esys1(1, b1, 0, b3, 10.0, w, 0.0); });
    run_model(1, [](int) {});
  });
  EXPECT_NE(bad.text.find("ESYS1"), std::string::npos);
}

class Harmonics : public devtest::Devices {
 protected:
  std::string write(const std::string& body, const std::string& file = "wakro_devices_harmonics.txt") {
    const auto path = std::filesystem::temp_directory_path() / file;
    std::ofstream(path) << body;
    return path.string();
  }
};

TEST_F(Harmonics, TableIsStoredByColumnAndItsFaultsStop) {
  size(1, 1);
  const std::string name = write("order magnitude angle\n5 0.1 0\n7 0.05 30\n11 0.02 45\n");
  rt_config::nrtcf = 1;
  const std::int32_t depth = fnames::iunit;
  custom_harmonics1_cfg(3, name, static_cast<std::int32_t>(name.size()));
  const std::array<double, 9> expect{5, 7, 11, 0.1, 0.05, 0.02, 0, 30, 45};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(rt_config::rtcf(k + 1), expect[k]);
  EXPECT_EQ(rt_config::nrtcf, 10);
  EXPECT_EQ(fnames::iunit, depth);
  const std::string bad = write("h\n5 x 0\n", "wakro_devices_bad_harmonics.txt");
  const struct {
    std::int32_t n;
    std::string name;
    std::string text;
  } cases[] = {
      {4, name, "Number of harmonics in the file is less than the specified value: " + name},
      {1, bad, "Error reading data from the file: " + bad},
      {1, name + ".none", "Error opening the file: " + name + ".none: No such file or directory"},
      {1, "/dev/zero", "Error opening the file: /dev/zero: is not a regular file"},
      {1, std::string(73, 'a'), "Name of the file is too long: " + std::string(73, 'a')},
  };
  for (const auto& c : cases) {
    release_all_and_reset();
    size(1, 1);  // a fatal stop releases the arrays
    const auto out = nettest::capture(
        [&] { custom_harmonics1_cfg(c.n, c.name, static_cast<std::int32_t>(c.name.size())); });
    EXPECT_NE(out.status, -1);
    EXPECT_NE(out.text.find(c.text), std::string::npos) << out.text;
    EXPECT_NE(out.text.find("CUS_HARM_CFG"), std::string::npos);
    wakro::close_all_units();
  }
  std::filesystem::remove(name);
  std::filesystem::remove(bad);
}

}  // namespace
