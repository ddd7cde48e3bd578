// The older AC7B forms (the configuration/step pair without derivative and rate
// feedback, and the single routine) and the AC7C exciter: records, refusals,
// storage counts, the undefined saturation fit, the console warnings, the
// take-over gates, the stabiliser's place, the source voltage VB, and AC7C
// against AC7B when the limiters never bind.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "app/timestep.h"
#include "generator_exciter.h"
#include "machines/exciter_ac7b.h"
#include "machines/exciter_ac7c.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "support/console_capture.h"
#include "support/shared_state.h"

namespace {

using namespace wakro::machines;

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// The case generator's exciter in the short form (no derivative block, no rate
// feedback, C0 = 0).
Ac7b1Data short_exciter() {
  const Ac7bData b = mtest::case_exciter();
  Ac7b1Data d;
  d.C0 = 0.0;
  d.KPR = b.KPR, d.KIR = b.KIR, d.VRMAX = b.VRMAX, d.VRMIN = b.VRMIN, d.KPA = b.KPA, d.KIA = b.KIA;
  d.VAMAX = b.VAMAX, d.VAMIN = b.VAMIN, d.KP = b.KP, d.EFDMIN = b.EFDMIN, d.KL = b.KL, d.VFEMAX = b.VFEMAX;
  d.SE1 = b.SE1, d.E1 = b.E1, d.SE2 = b.SE2, d.E2 = b.E2, d.TE = b.TE, d.KE = b.KE, d.KD = b.KD;
  d.KC = b.KC, d.KF2 = b.KF2;
  return d;
}

Ac7bSingleData single_of(const Ac7b1Data& b) {
  Ac7bSingleData d;
  d.KPR = b.KPR, d.KIR = b.KIR, d.VRMAX = b.VRMAX, d.VRMIN = b.VRMIN, d.KPA = b.KPA, d.KIA = b.KIA;
  d.VAMAX = b.VAMAX, d.VAMIN = b.VAMIN, d.KP = b.KP, d.EFDMIN = b.EFDMIN, d.KL = b.KL, d.VFEMAX = b.VFEMAX;
  d.SE1 = b.SE1, d.E1 = b.E1, d.SE2 = b.SE2, d.E2 = b.E2, d.TE = b.TE, d.KE = b.KE, d.KD = b.KD;
  d.KC = b.KC, d.KF2 = b.KF2, d.RC = b.RC, d.XC = b.XC, d.TR = b.TR;
  return d;
}

// An AC7C whose limiters do not bind and whose source is KP VT, and the AC7B
// with the same regulator (no derivative part) it reduces to.
Ac7cData plain_ac7c() {
  Ac7cData c;
  c.KPR = 4.0;
  c.KIR = 20.0;
  c.KDR = 0.0;
  c.TDR = 0.0;
  c.VRMAX = 50.0;
  c.VRMIN = -50.0;
  c.KPA = 20.0;
  c.KIA = 1.0;
  c.VAMAX = 50.0;
  c.VAMIN = -50.0;
  c.KP = 6.41;
  c.VBMAX = 1.0e6;
  c.KL = 26.2;
  c.VFEMAX = 60.0;
  c.VEMIN = 0.0;
  c.SE1 = 1.195;
  c.E1 = 4.025;
  c.SE2 = 0.097;
  c.E2 = 3.02;
  c.TE = 1.945;
  c.KE = 1.0;
  c.KD = 0.567;
  c.KC = 0.172;
  c.KF2 = 1.0;
  c.KF1 = 0.1;
  c.KF3 = 0.2;
  c.TF = 0.5;
  c.RC = 0.01;
  c.XC = 0.05;
  c.TR = 0.02;
  return c;
}

Ac7bData ac7b_of(const Ac7cData& c) {
  Ac7bData b;
  b.KPR = c.KPR, b.KIR = c.KIR, b.KDR = 0.0, b.TDR = 0.01, b.VRMAX = c.VRMAX, b.VRMIN = c.VRMIN;
  b.KPA = c.KPA, b.KIA = c.KIA, b.VAMAX = c.VAMAX, b.VAMIN = c.VAMIN, b.KP = c.KP, b.EFDMIN = 0.0;
  b.KL = c.KL, b.VFEMAX = c.VFEMAX, b.SE1 = c.SE1, b.E1 = c.E1, b.SE2 = c.SE2, b.E2 = c.E2;
  b.TE = c.TE, b.KE = c.KE, b.KD = c.KD, b.KC = c.KC, b.KF2 = c.KF2, b.KF1 = c.KF1, b.KF3 = c.KF3;
  b.TF = c.TF, b.RC = c.RC, b.XC = c.XC, b.TR = c.TR;
  return b;
}

class ExciterForms : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    wakro::reset_pointer_records();
    e_s2::stor.allocate(200);
    storage::storf.allocate(40);
    storage::stori.allocate(4);
    storage::storl.allocate(30);
    rt_config::rtcf.allocate(80);
    rt_config::rtci.allocate(8);
    e_s1::delt = 50e-6;
    e_s1::timezero = true;
  }
  void TearDown() override {
    e_s2::stor.release();
    storage::storf.release();
    storage::stori.release();
    storage::storl.release();
    rt_config::rtcf.release();
    rt_config::rtci.release();
    wakro::reset_pointer_records();
    wakro_test::reset_shared_state();
  }
  static void rewind() {
    e_s2::nexc = 0;
    storage::nstorf = storage::nstori = storage::nstorl = 1;
    rt_config::nrtcf = rt_config::nrtci = 1;
  }
};

TEST_F(ExciterForms, ShortPairRecordAndFirstFaultOnly) {
  rewind();
  excac7b1_cfg(short_exciter());
  EXPECT_EQ(rt_config::nrtcf, 24);
  const std::vector<double> want = {0.0,  12.77, 20.0, 5.0,   -5.0, 20.0,  1.0, 1.0, -1.0, 6.41,
                                    0.79, 26.2,  6.1,  1.945, 1.0,  0.567, 0.172, 1.0, 0.0, 0.0, 0.0};
  for (int i = 3; i <= 23; ++i) EXPECT_EQ(rt_config::rtcf(i), want[i - 3]) << i;
  EXPECT_NEAR(rt_config::rtcf(kB1SatA), 5.123389e-5, 5e-12);
  EXPECT_NEAR(rt_config::rtcf(kB1SatB), 2.498697, 5e-7);

  struct Case {
    double vamax, vrmax, se1, se2;
    std::string text;
  };
  const std::vector<Case> cases = {
      {-1.0, -5.0, 1.195, 0.097, "VAMAX must be greater than VAMIN"},  // both pairs wrong: only the first
      {1.0, -5.0, 1.195, 0.097, "VRMAX must be greater than VRMIN"},
      {1.0, 5.0, 0.5, 0.5, "Negative Saturation"},
      {1.0, 5.0, -0.5, 0.097, "Negative Saturation"},  // passes the product test, ln would be NaN
  };
  for (const Case& c : cases) {
    Ac7b1Data d = short_exciter();
    d.VAMAX = c.vamax;
    d.VRMAX = c.vrmax;
    d.SE1 = c.se1;
    d.SE2 = c.se2;
    rewind();
    const wakro_test::Outcome o = wakro_test::run_captured([&] { excac7b1_cfg(d); });
    EXPECT_EQ(o.status, 2000) << c.text;
    // One warning line, the first failed check's, then the stop.
    EXPECT_EQ(o.console.substr(0, o.console.find('\n') + 1), " ***WARN*** " + c.text + "\n") << o.console;
    EXPECT_EQ(count_of(o.console, "must be greater") + count_of(o.console, "Negative Saturation"), 1u)
        << o.console;
    EXPECT_NE(o.console.find("EXCAC7B"), std::string::npos) << o.console;
    EXPECT_EQ(rt_config::nrtcf, 1);
  }
}

TEST_F(ExciterForms, ShortFormsInitialiseHoldAndMatchEachOther) {
  // With C0 = 0 and VS2 = 0 the pair and the single routine are the same chain.
  rewind();
  excac7b1_cfg(short_exciter());
  const Ac7bSingleData single = single_of(short_exciter());
  double efd1 = 0.0, efd2 = 0.0;
  rewind();
  excac7b1_exe(1.0, {1.0, 0.0, 0.0}, 0.0, 1.0, 2.0, 0, efd1);
  excac7b(1.0, {1.0, 0.0, 0.0}, 0.0, 0.0, single, 1.0, 2.0, 0, efd2);
  EXPECT_NEAR(efd1, 2.0, 1e-12);
  EXPECT_NEAR(efd2, 2.0, 1e-12);
  // Storage counts: 5/1/4 and 7/1/4, 34 block slots each.
  EXPECT_EQ(e_s2::nexc, 2 * kAc7bShortBlockSlots);
  EXPECT_EQ(storage::nstorf, 1 + 5 + 7);
  EXPECT_EQ(storage::nstori, 3);
  EXPECT_EQ(storage::nstorl, 9);
  EXPECT_EQ(rt_config::nrtcf, 24);
  // The single routine keeps its fit in entries 3 and 4.
  EXPECT_NEAR(storage::storf(5 + kSgSatA), 5.123389e-5, 5e-12);
  EXPECT_NEAR(storage::storf(5 + kSgSatB), 2.498697, 5e-7);
  e_s1::timezero = false;
  for (int k = 0; k < 400; ++k) {
    rewind();
    const double vref = k < 100 ? 1.0 : 1.02;
    const std::array<double, 3> vt{1.0, 0.1, -0.05};
    excac7b1_exe(vref, vt, 0.001, 1.0, 0.0, 1, efd1);
    excac7b(vref, vt, 0.0005, 0.0005, single, 1.0, 0.0, 1, efd2);
    ASSERT_NEAR(efd1, efd2, 1e-12) << k;
  }
  EXPECT_GT(efd1, 2.0);
  // C0 sits at the summing point: it takes VS1's place in the reference.
  Ac7b1Data d = short_exciter();
  d.C0 = 0.03;
  rewind();
  excac7b1_cfg(d);
  e_s1::timezero = true;
  rewind();
  excac7b1_exe(1.0, {1.0, 0.0, 0.0}, 0.01, 1.0, 2.0, 0, efd1);
  EXPECT_NEAR(storage::storf(kAcRef), 1.0 - 0.01 - 0.03, 1e-15);
}

TEST_F(ExciterForms, SingleRoutineWithoutAFitRunsUnsaturated) {
  struct Case {
    double se1, e1, se2, e2;
  };
  // Coinciding points, a zero and a negative factor: no fit, no stop, no NaN.
  for (const Case c : {Case{0.5, 4.0, 0.5, 4.0}, Case{0.0, 4.0, 0.1, 3.0}, Case{-0.1, 3.0, 0.5, 4.0}}) {
    Ac7bSingleData d = single_of(short_exciter());
    d.SE1 = c.se1, d.E1 = c.e1, d.SE2 = c.se2, d.E2 = c.e2;
    e_s1::timezero = true;
    double efd = 0.0;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      rewind();
      excac7b(1.0, {1.0, 0.0, 0.0}, 0.0, 0.0, d, 1.0, 2.0, 0, efd);
      e_s1::timezero = false;
      for (int k = 0; k < 50; ++k) {
        rewind();
        excac7b(1.02, {1.0, 0.0, 0.0}, 0.0, 0.0, d, 1.0, 0.0, 1, efd);
      }
    });
    EXPECT_EQ(o.status, -1) << o.console;
    EXPECT_EQ(storage::storf(kSgSatA), 0.0);
    EXPECT_EQ(storage::storf(kSgSatB), 0.0);
    // Without saturation VFE = VE KE + KD IFD.
    EXPECT_TRUE(std::isfinite(efd));
    EXPECT_NEAR(storage::storf(kSgVfe), storage::storf(kSgVe) * 1.0 + 0.567, 1e-3);
  }
}

TEST_F(ExciterForms, SingleRoutineWarnsInTwoConsoleLines) {
  struct Case {
    double vamax, vamin, vrmax, vrmin;
    std::string limit;
  };
  // VA0 = 0.42 and VR0 = 2 in these data.
  const std::vector<Case> cases = {{0.2, -1.0, 5.0, -5.0, "VAMAX"}, {1.0, 0.5, 5.0, -5.0, "VAMIN"},
                                   {1.0, -1.0, 1.5, -5.0, "VRMAX"}, {1.0, -1.0, 5.0, 2.5, "VRMIN"}};
  for (const Case& c : cases) {
    Ac7bSingleData d = single_of(short_exciter());
    d.VAMAX = c.vamax, d.VAMIN = c.vamin, d.VRMAX = c.vrmax, d.VRMIN = c.vrmin;
    e_s1::timezero = true;
    double efd = 0.0;
    rewind();
    const wakro_test::Outcome init =
        wakro_test::run_captured([&] { excac7b(1.0, {1.0, 0.0, 0.0}, 0.0, 0.0, d, 1.0, 2.0, 0, efd); });
    EXPECT_EQ(init.console, "");
    e_s1::timezero = false;
    const wakro_test::Outcome first = wakro_test::run_captured([&] {
      for (int k = 0; k < 3; ++k) {
        rewind();
        excac7b(1.0, {1.0, 0.0, 0.0}, 0.0, 0.0, d, 1.0, 0.0, 1, efd);
      }
    });
    EXPECT_EQ(first.console, " WARNING: EXCAC7B - Initial Condition is unrealizable\n"
                             "                    due to the limit of " + c.limit + "\n");
  }
}

TEST_F(ExciterForms, BothShortFormsInOneCaseKeepThePointersClean) {
  const wakro_test::Outcome o = wakro_test::run_captured([] {
    rewind();
    excac7b1_cfg(short_exciter());
    wakro_chknrtc();
    const Ac7bSingleData single = single_of(short_exciter());
    double efd1 = 2.0, efd2 = 2.0;
    for (int k = 0; k < 4; ++k) {
      e_s1::timezero = k == 0;
      rewind();
      excac7b1_exe(1.0, {1.0, 0.0, 0.0}, 0.0, 1.0, 2.0, 1, efd1);
      excac7b(1.0, {1.0, 0.0, 0.0}, 0.0, 0.0, single, 1.0, 2.0, 1, efd2);
      wakro_chknrtc();
      wakro_chknexc();
    }
  });
  EXPECT_EQ(o.status, -1) << o.console;
  EXPECT_EQ(o.console.find("incorrectly"), std::string::npos) << o.console;
}

// ---- AC7C --------------------------------------------------------------------

class Ac7c : public ExciterForms {
 protected:
  static double step7c(double vref, const std::array<double, 3>& vt, double vs, double ifd, double efd_last,
                       double efd0, int run, const Ac7cLimiters& l = {}) {
    rewind();
    double efd = efd_last;
    excac7c1_exe(vref, vt, vs, ifd, efd0, run, efd, l);
    return efd;
  }
};

TEST_F(Ac7c, RecordIntegersAndStorageCounts) {
  Ac7cData d = plain_ac7c();
  d.THETAP = 12.0, d.KI = 0.3, d.XL = 0.07, d.KC1 = 0.2, d.KEFD = 1.5;
  d.stabiliser_place = 1, d.constant_source = 0, d.field_fed = 1;
  rewind();
  excac7c1_cfg(d);
  EXPECT_EQ(rt_config::nrtcf, 34);
  EXPECT_EQ(rt_config::nrtci, 4);
  const std::vector<double> want = {4.0,  20.0, 0.0,  0.0, 50.0, -50.0, 20.0, 1.0, 50.0, -50.0, 6.41,
                                    12.0, 0.3,  0.07, 0.2, 1e6,  1.5,   26.2, 60.0, 0.0,  1.945, 1.0,
                                    0.567, 0.172, 1.0, 0.1, 0.2, 0.5, 0.01, 0.05, 0.02};
  for (int i = 3; i <= 33; ++i) EXPECT_EQ(rt_config::rtcf(i), want[i - 3]) << i;
  EXPECT_NEAR(rt_config::rtcf(1), 5.123389e-5, 5e-12);
  EXPECT_EQ(rt_config::rtci(1), 1);
  EXPECT_EQ(rt_config::rtci(2), 0);
  EXPECT_EQ(rt_config::rtci(3), 1);
  double efd = step7c(1.0, {1.0, 0.0, 0.0}, 0.0, 1.0, 0.0, 2.0, 0);
  EXPECT_NEAR(efd, 2.0, 1e-12);
  EXPECT_EQ(storage::nstorf, 1 + 6 + 5);  // the exciter's six, the PID's five
  EXPECT_EQ(storage::nstori, 2);
  EXPECT_EQ(storage::nstorl, 14);
  EXPECT_EQ(e_s2::nexc, kAc7cBlockSlots);
  EXPECT_EQ(rt_config::nrtcf, 34);
  EXPECT_EQ(rt_config::nrtci, 4);
  // Three faults, all reported, then one stop.
  d.VAMAX = d.VAMIN;
  d.VRMAX = d.VRMIN;
  d.SE2 = d.SE1;
  rewind();
  const wakro_test::Outcome o = wakro_test::run_captured([&] { excac7c1_cfg(d); });
  EXPECT_EQ(o.status, 2000);
  const std::string want_lines =
      " ***ERROR** VAMAX must be greater than VAMIN\n"
      " ***ERROR** VRMAX must be greater than VRMIN\n"
      " ***ERROR** Negative Saturation\n";
  EXPECT_EQ(o.console.substr(0, want_lines.size()), want_lines);
  EXPECT_NE(o.console.find("EXCAC7C"), std::string::npos) << o.console;
  EXPECT_EQ(rt_config::nrtcf, 1);
}

TEST_F(Ac7c, UnboundLimitersGiveTheAc7bTrace) {
  const Ac7cData c = plain_ac7c();
  const Ac7bData b = ac7b_of(c);
  // Two instances in separate stores: run the AC7C, then the AC7B, each from
  // its own pointers.
  std::vector<double> trace_c, trace_b;
  const Ac7cLimiters never;  // UEL/SCLu at -1e9, OEL/SCLo at +1e9
  auto input = [](int k, double& vref, double& ifd, double& vs) {
    vref = k < 200 ? 1.0 : (k < 2000 ? 1.05 : 0.97);
    ifd = k < 3000 ? 1.0 : 1.2;
    vs = k >= 1000 && k < 1500 ? 0.01 : 0.0;
  };
  const std::array<double, 3> vt{1.0, 0.3, -0.1};
  e_s1::timezero = true;
  rewind();
  excac7c1_cfg(c);
  double efd = 0.0;
  for (int k = 0; k < 4000; ++k) {
    double vref, ifd, vs;
    input(k, vref, ifd, vs);
    e_s1::timezero = k == 0;
    efd = step7c(vref, vt, vs, ifd, efd, 2.0, 1, never);
    trace_c.push_back(efd);
  }
  e_s2::stor.release();
  storage::storf.release();
  storage::stori.release();
  storage::storl.release();
  rt_config::rtcf.release();
  e_s2::stor.allocate(200);
  storage::storf.allocate(40);
  storage::stori.allocate(4);
  storage::storl.allocate(30);
  rt_config::rtcf.allocate(80);
  rewind();
  excac7b2_cfg(b);
  efd = 0.0;
  for (int k = 0; k < 4000; ++k) {
    double vref, ifd, vs;
    input(k, vref, ifd, vs);
    e_s1::timezero = k == 0;
    rewind();
    excac7b2_exe(vref, vt, vs, ifd, 2.0, 1, efd, 0.0);
    trace_b.push_back(efd);
  }
  double spread = 0.0;
  for (int k = 0; k < 4000; ++k) {
    ASSERT_NEAR(trace_c[k], trace_b[k], 1e-9) << k;
    spread = std::max(spread, std::fabs(trace_b[k] - 2.0));
  }
  EXPECT_GT(spread, 0.05);  // the trace moved
}

TEST_F(Ac7c, StabiliserPlaces) {
  // The reference back-calculated at initialisation shows where VS enters;
  // a later step with VS shows that place 2 ignores it.
  struct Case {
    int place;
    double ref;
  };
  for (const Case c : {Case{0, -0.02}, Case{1, 0.0}, Case{2, 0.0}}) {
    Ac7cData d = plain_ac7c();
    d.stabiliser_place = c.place;
    d.RC = d.XC = 0.0;
    rewind();
    excac7c1_cfg(d);
    e_s1::timezero = true;
    double efd = step7c(1.0, {1.0, 0.0, 0.0}, 0.02, 1.0, 0.0, 2.0, 0);
    EXPECT_NEAR(storage::storf(kCcRef), 1.0 + c.ref, 1e-15) << c.place;
    e_s1::timezero = false;
    // One step with VS and the reference held: only place 2 leaves EFD's
    // integrators undisturbed by VS.
    const double ref = storage::storf(kCcRef);
    std::vector<double> with, without;
    const std::vector<double> saved(&storage::storf(1), &storage::storf(1) + 11);
    const std::vector<double> saved_stor(&e_s2::stor(1), &e_s2::stor(1) + kAc7cBlockSlots);
    for (double vs : {0.05, 0.0}) {
      std::copy(saved.begin(), saved.end(), &storage::storf(1));
      std::copy(saved_stor.begin(), saved_stor.end(), &e_s2::stor(1));
      storage::stori(1) = 0;
      double e = efd;
      for (int k = 0; k < 20; ++k) e = step7c(ref, {1.0, 0.0, 0.0}, vs, 1.0, e, 0.0, 1);
      (vs != 0.0 ? with : without).push_back(storage::storf(kCcVe));
    }
    if (c.place == 2) {
      EXPECT_EQ(with[0], without[0]);
    } else {
      EXPECT_GT(with[0], without[0] + 1e-9) << c.place;
    }
  }
}

TEST_F(Ac7c, SourceVoltageForms) {
  struct Case {
    int constant, field_fed;
    double vbmax;
    std::array<double, 3> vt;
  };
  const std::vector<Case> cases = {
      {0, 1, 0.5, {1.0, 0.0, 0.0}},     // field-fed: KEFD EFD, no VBMAX
      {1, 0, 1.0e6, {0.3, 0.5, 0.2}},   // constant: getefd(|KP|, VFE, KC1)
      {1, 0, 5.0, {0.3, 0.5, 0.2}},     // ... at most VBMAX
      {0, 0, 1.0e6, {1.02, 0.5, 0.2}},  // compound source
  };
  for (const Case& c : cases) {
    Ac7cData d = plain_ac7c();
    d.KP = -6.41;  // |KP| used by the constant source
    d.THETAP = 20.0, d.KI = 0.4, d.XL = 0.1, d.KC1 = 0.3, d.KEFD = 2.5;
    d.constant_source = c.constant, d.field_fed = c.field_fed, d.VBMAX = c.vbmax;
    rewind();
    excac7c1_cfg(d);
    e_s1::timezero = true;
    double efd = step7c(1.0, c.vt, 0.0, 1.0, 0.0, 2.0, 0);
    e_s1::timezero = false;
    for (int k = 0; k < 30; ++k) efd = step7c(1.1, c.vt, 0.0, 1.0, efd, 0.0, 1);
    const double vfe = storage::storf(kCcVfe);
    double want = 0.0;
    if (c.field_fed != 0) {
      want = 2.5 * efd;
    } else {
      double raw = 6.41;
      if (c.constant == 0) {
        const double th = 20.0 * 0.017453292519943;
        const double kr = -6.41 * std::cos(th), ki = -6.41 * std::sin(th);
        // KP VT + j (KI + KP XL)(IT1 + j IT2)
        const double ar = kr * c.vt[0], ai = ki * c.vt[0];
        const double br = 0.4 + kr * 0.1, bi = ki * 0.1;
        const double pr = br * c.vt[1] - bi * c.vt[2], pi = br * c.vt[2] + bi * c.vt[1];
        raw = std::hypot(ar - pi, ai + pr);
      }
      want = std::min(getefd(raw, vfe, 0.3), c.vbmax);
    }
    EXPECT_NEAR(storage::storf(kCcVb), want, 1e-12) << c.constant << c.field_fed << c.vbmax;
    if (c.field_fed != 0) {
      EXPECT_GT(storage::storf(kCcVb), c.vbmax);
    }
  }
}

TEST_F(Ac7c, InitialClipsOfTheGatesAndTheirWarnings) {
  struct Case {
    Ac7cLimiters l;
    double kp;  // KP = 0 makes VB = 0: VA0 = VRX0
    std::vector<int> flags;
    std::vector<std::string> texts;
  };
  auto lim = [](auto f) {
    Ac7cLimiters l;
    f(l);
    return l;
  };
  const std::vector<Case> cases = {
      {lim([](Ac7cLimiters& l) { l.oel_out = 1.5, l.sclo_out = 1.5; }), 6.41, {kCcClipSclOOut}, {"VSCLo"}},
      {lim([](Ac7cLimiters& l) { l.oel_out = 1.4, l.sclo_out = 1.5; }), 6.41, {kCcClipOelOut}, {"VOEL"}},
      {lim([](Ac7cLimiters& l) { l.uel_out = 3.0, l.sclu_out = 3.0; }), 6.41, {kCcClipSclUOut}, {"VSCLu"}},
      {lim([](Ac7cLimiters& l) { l.uel_out = 3.0, l.sclu_out = 2.5; }), 6.41, {kCcClipUelOut}, {"VUEL"}},
      {lim([](Ac7cLimiters& l) { l.oel_amp = 0.1; }), 6.41, {kCcClipOelAmp}, {"VOEL"}},
      {lim([](Ac7cLimiters& l) { l.oel_in = -0.1; }), 6.41, {kCcClipOelIn}, {"VOEL"}},
      {lim([](Ac7cLimiters& l) { l.sclo_in = -0.1, l.oel_in = -0.1; }), 6.41, {kCcClipSclOIn}, {"VSCLo"}},
      {lim([](Ac7cLimiters& l) { l.uel_in = 0.1; }), 6.41, {kCcClipUelIn}, {"VUEL"}},
      {lim([](Ac7cLimiters& l) { l.sclu_in = 0.1; }), 6.41, {kCcClipSclUIn}, {"VSCLu"}},
      {Ac7cLimiters{}, 0.0, {kCcClipVamax}, {"VAMAX"}},  // VA0 = VRX0 = VFE > VAMAX = 2
  };
  for (const Case& c : cases) {
    Ac7cData d = plain_ac7c();
    d.KP = c.kp;
    d.VAMAX = 2.0;
    rewind();
    excac7c1_cfg(d);
    e_s1::timezero = true;
    double efd = 0.0;
    const wakro_test::Outcome init = wakro_test::run_captured([&] {
      efd = step7c(1.0, {1.0, 0.0, 0.0}, 0.0, 1.0, 0.0, 2.0, 0, c.l);
    });
    EXPECT_EQ(init.console, "");
    for (int k = 1; k <= kAc7cFlags; ++k) {
      const bool want = std::find(c.flags.begin(), c.flags.end(), k) != c.flags.end();
      EXPECT_EQ(storage::storl(k), want) << k << " case " << c.texts[0];
    }
    e_s1::timezero = false;
    const wakro_test::Outcome first = wakro_test::run_captured([&] {
      for (int k = 0; k < 3; ++k) efd = step7c(1.0, {1.0, 0.0, 0.0}, 0.0, 1.0, efd, 0.0, 1, c.l);
    });
    EXPECT_EQ(count_of(first.console, "Initial Condition is unrealizable due to the limit of " + c.texts[0] + "\n"),
              1u)
        << first.console;
    EXPECT_EQ(count_of(first.console, "\n"), 1u) << first.console;
  }
}

}  // namespace
