// UMEC transformers read from a page and stepped: the reader's UMEC form and
// its repeat, the core injection against the limb flux integrated here by hand,
// the saturation ramps and the flux output.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "files/units.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/fnames.h"
#include "model/storage.h"
#include "model/temp1.h"
#include "model/temp2.h"
#include "model/umec.h"
#include "support/temp_dir.h"
#include "tf_fixture.h"
#include "transformers/dsmdyn.h"
#include "transformers/dsmint.h"
#include "transformers/umec_core.h"
#include "transformers/umec_ramp.h"

namespace {

constexpr double kDt = 1e-4;
constexpr double kOmega = 2.0 * M_PI * 50.0;

// Core type 3, 100 turns on each limb, unit limbs and yokes, knee at B = 1.
const std::string kUnit =
    "-2 1 /\n"
    "1 0 100.0 0.001 /\n"
    "2 0 100.0 0.001 /\n"
    "1.0 1.0 1.0 1.0 0.0 0.0 0.0 /\n"
    "0.5 1 /\n"
    "1.0 1.0 2.0 1.5 3.0 1.8 /\n"
    "2 5 3 /\n";

class UmecPage : public tftest::SectionReader {
 protected:
  UmecPage() : SectionReader("wakro_umec_") {}
  void read(const std::string& body) {
    extra_dims_ = {{dim::windings, 2}, {dim::trafos, 4}, {dim::stor, 40}, {dim::rtcf, 10},
                   {dim::stori, 4}, {dim::storf, 4}};
    size(3, 1, 1, 0, kDt);
    e_s5::jset = 0;
    SectionReader::read(body);
  }
};

TEST_F(UmecPage, ReaderFormsTheCoreAndRepeatsIt) {
  read(kUnit + "888 /\n3 0 /\n1 0 /\n");
  ASSERT_EQ(e_s5::jset, 2);
  EXPECT_EQ(e_s5::nummag(1), 1);
  EXPECT_EQ(e_s5tap::tss(1), -1);
  EXPECT_EQ(e_s5::msiz(1), 2);
  EXPECT_EQ(umec::nturn(2, 1), 100.0);
  EXPECT_EQ(umec::ai(1, 1), 0.001);
  EXPECT_EQ(umec::msl1(1), 1.0);  // the curve's first slope replaces 0.5
  EXPECT_EQ(umec::cor(1), 3);
  EXPECT_EQ(umec::bn(1), 5);
  EXPECT_EQ(umec::xt(3, 1), 3.0);
  EXPECT_EQ(umec::yt(4, 1), 0.0);  // cleared before the read
  admf_checked(1, temp2::hs);
  for (std::int32_t i = 1; i <= 2; ++i)
    for (std::int32_t j = 1; j <= 2; ++j) {
      EXPECT_DOUBLE_EQ(e_s5::hm(i, j, 1), 0.5 * kDt * temp2::hs(i, j));
      EXPECT_EQ(e_s5::hm(i, j, 2), e_s5::hm(i, j, 1));
    }
  EXPECT_EQ(e_s5::sm(1, 1, 1), 1.0);
  // The repeat carries the whole core.
  EXPECT_EQ(e_s5::nummag(2), 1);
  EXPECT_EQ(umec::cor(2), 3);
  EXPECT_EQ(umec::bn(2), 5);
  EXPECT_EQ(umec::nturn(1, 2), 100.0);
  EXPECT_EQ(umec::yt(2, 2), 1.5);
  EXPECT_EQ(umec::satenab(2), 1);
  EXPECT_EQ(e_s5::mcb(1, 2), 3);
}

TEST_F(UmecPage, RefusedCoresAreMessage24) {
  for (const std::string& core : {std::string("2 7 3 /\n"), std::string("2 5 9 /\n")}) {
    std::string page = kUnit;
    page.replace(page.find("2 5 3 /\n"), 8, core);
    const nettest::Captured c = nettest::capture([&] { read(page); });
    EXPECT_EQ(c.status, 2000) << core;
    EXPECT_NE(c.text.find("CHECK MUTUAL DATA IN SS    1 ."), std::string::npos) << c.text;
    release_all_and_reset();
    wakro::close_all_units();
  }
  std::string turns = kUnit;
  turns.replace(turns.find("2 0 100.0"), 9, "2 0 0.0  ");
  const nettest::Captured c = nettest::capture([&] { read(turns); });
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find("CHECK MUTUAL DATA IN SS    1 ."), std::string::npos) << c.text;
}

// The reader words its own curve warnings.
TEST_F(UmecPage, ReaderCurveWarnings) {
  std::string page = kUnit;
  page.replace(page.find("1.0 1.0 2.0 1.5 3.0 1.8 /"), 25, "1.0 1.0 2.0 3.0 3.0 1.4 /");
  nettest::Captured c = nettest::capture([&] { read(page); });
  EXPECT_NE(c.text.find("Some T/F B-H data points ignored due to being unrealistic"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" WARNING:Transformer BH curve has unrealistic\n data points. Trafo#           1\n"
                        " Some points were ignored.\n"),
            std::string::npos)
      << c.text;
  EXPECT_EQ(umec::xt(2, 1), 3.0);  // (2, 3) removed, (3, 1.4) kept with slope 0.2
  release_all_and_reset();
  wakro::close_all_units();

  page = kUnit;
  page.replace(page.find("1.0 1.0 2.0 1.5 3.0 1.8 /"), 25, "0.0 0.0 /");
  c = nettest::capture([&] { read(page); });
  EXPECT_NE(c.text.find("Saturation disabled in one transformer due to lack of data"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(" WARNING: Transformer BH curve has no data\n Saturation has been disabled. Trafo#           1\n"),
            std::string::npos)
      << c.text;
  EXPECT_EQ(umec::satenab(1), 0);
  EXPECT_EQ(umec::msl1(1), 0.5);  // the record's slope stands
}

// A sine of amplitude a (kV) on winding 1 from time zero; winding 2 shorted.
// The limb flux is integrated here by the trapezoidal rule; it saturates the
// limb exactly when |phi| >= y(1) = 1 (unit area).
struct Trace {
  int chatter_steps = 0, saturated_steps = 0, injecting_steps = 0;
};

Trace drive(double a, int steps) {
  const std::int32_t k = 1;
  umec::ramp(k) = 1.0;
  umec::injcur(k) = 1;
  double phi = 0.0, v_old = 0.0;
  Trace r;
  for (int n = 0; n < steps; ++n) {
    const double v = a * std::sin(kOmega * n * kDt);
    e_s0::vdc(1, 1) = v;
    phi += kDt / (2.0 * 100.0) * 1000.0 * (v + v_old);
    v_old = v;
    std::int32_t before[5];
    for (std::int32_t b = 1; b <= 5; ++b) before[b - 1] = umec::satflag(b, k);
    temp1::stabck(1) = false;
    dsmdyn(1);
    EXPECT_EQ(umec::satflag(1, k), std::abs(phi) >= 1.0 ? 1 : 0) << n;
    EXPECT_NEAR(umec::dphi(1, k), phi, 1e-12) << n;
    bool changed = false, now = false;
    for (std::int32_t b = 1; b <= 5; ++b) {
      changed = changed || umec::satflag(b, k) != before[b - 1];
      now = now || umec::satflag(b, k) == 1;
    }
    EXPECT_EQ(temp1::stabck(1), changed) << n;  // entering or leaving only
    EXPECT_EQ(umec::fininjs(1, k) != 0.0, now) << n;
    r.chatter_steps += temp1::stabck(1) ? 1 : 0;
    r.saturated_steps += now ? 1 : 0;
    r.injecting_steps += umec::fininjs(1, k) != 0.0 ? 1 : 0;
  }
  return r;
}

TEST_F(UmecPage, InjectsOnlyWhileSaturated) {
  read(kUnit);
  const Trace below = drive(10.0, 400);  // flux at most 0.64
  EXPECT_EQ(below.saturated_steps, 0);
  EXPECT_EQ(below.chatter_steps, 0);
  for (std::int32_t w = 1; w <= 2; ++w) EXPECT_EQ(umec::fininjs(w, 1), 0.0);
  release_all_and_reset();
  wakro::close_all_units();

  read(kUnit);
  const Trace above = drive(20.0, 400);  // flux up to 1.27
  EXPECT_GT(above.saturated_steps, 20);
  EXPECT_GE(above.chatter_steps, 4);  // in and out in each of two cycles
  EXPECT_LT(above.chatter_steps, above.saturated_steps);
  EXPECT_EQ(above.injecting_steps, above.saturated_steps);
}

// One step of the ramp as the only block at time t.
double ramp_at(double t, std::int32_t enable, double f) {
  e_s1::time = t;
  e_s1::timezero = t == 0.0;
  e_s2::nexc = 0;
  umecsat5(enable, 1, f);
  EXPECT_EQ(e_s2::nexc, 5);
  return umec::ramp(1);
}

TEST_F(UmecPage, RampOverHalfACycle) {
  read(kUnit);
  EXPECT_EQ(ramp_at(0.0, 0, 50.0), 0.0);
  EXPECT_EQ(ramp_at(0.01, 0, 50.0), 0.0);
  EXPECT_EQ(ramp_at(0.02, 1, 50.0), 0.0);  // switched on at t = 0.02
  EXPECT_EQ(umec::injcur(1), 0);
  EXPECT_NEAR(ramp_at(0.025, 1, 50.0), 0.5, 1e-12);
  EXPECT_EQ(umec::injcur(1), 1);
  EXPECT_NEAR(ramp_at(0.03, 1, 50.0), 1.0, 1e-12);
  EXPECT_EQ(ramp_at(0.0301, 1, 50.0), 1.0);
  EXPECT_NEAR(ramp_at(0.0351, 0, 50.0), 1.0, 1e-12);  // and off again
  EXPECT_NEAR(ramp_at(0.0401, 0, 50.0), 0.5, 1e-12);
  EXPECT_EQ(ramp_at(0.05, 0, 50.0), 0.0);
  EXPECT_EQ(umec::injcur(1), 0);

  // At time zero with enable on the ramp stands at 1; f = 0 warns, rate 100/s.
  nettest::Captured c = nettest::capture([] { EXPECT_EQ(ramp_at(0.0, 1, 0.0), 1.0); });
  EXPECT_EQ(c.text, " Warning: Trafo            1  frequency is 0 or negative\n");
  EXPECT_EQ(e_s2::stor(4), 100.0);
  ramp_at(0.1, 0, 0.0);
  EXPECT_NEAR(ramp_at(0.105, 0, 0.0), 0.5, 1e-12);

  // The configured pair ramps from time zero; f = 0 assumes 60 Hz.
  rt_config::nrtcf = 1;
  c = nettest::capture([] { umecsat1_cfg(0.0); });
  EXPECT_NE(c.text.find("Frequency is 0 or negative, assuming 60Hz"), std::string::npos) << c.text;
  EXPECT_EQ(rt_config::rtcf(1), 120.0);
  for (const auto& [t, expected] : {std::pair{0.0, 0.0}, std::pair{1.0 / 240.0, 0.5}, std::pair{0.01, 1.0}}) {
    e_s1::time = t;
    rt_config::nrtcf = storage::nstori = storage::nstorf = 1;
    umecsat1_exe(1, 1);
    EXPECT_NEAR(umec::ramp(1), expected, 1e-12) << t;
    EXPECT_EQ(rt_config::nrtcf, 3);
    EXPECT_EQ(storage::nstori, 2);
    EXPECT_EQ(storage::nstorf, 3);
  }
}

// fplot19 writes a core's fluxes and advances by 19, writing at most 19.
TEST_F(UmecPage, FluxOutput) {
  read(kUnit);
  for (std::int32_t b = 1; b <= 23; ++b) umec::dphi(b, 1) = b;
  for (std::int32_t b = 1; b <= 40; ++b) e_s2::stor(b) = -1.0;
  e_s2::nexc = 0;
  fplot19(1);
  EXPECT_EQ(e_s2::nexc, 19);
  EXPECT_EQ(e_s2::stor(5), 5.0);
  EXPECT_EQ(e_s2::stor(6), -1.0);
  umec::bn(1) = 23;
  fplot19(1);
  EXPECT_EQ(e_s2::nexc, 38);
  EXPECT_EQ(e_s2::stor(38), 19.0);
  EXPECT_EQ(e_s2::stor(39), -1.0);  // the next block's slot is left alone
}

}  // namespace
