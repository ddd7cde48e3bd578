// UMEC cores at set-up: the fixed-layout inverter, the linear core of type 3,
// the B-H curve check of the formation, the configuration routines and their
// refusals, and the curve lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/umec.h"
#include "model/temp2.h"
#include "tf_fixture.h"
#include "transformers/bh_curve.h"
#include "transformers/settfparm.h"
#include "transformers/umec_cfg.h"
#include "transformers/umec_core.h"

namespace {

using wakro::umec_core::Mat23;

class Umec : public tftest::Transformers {
 protected:
  // A UMEC unit of core type cor (n windings, each from node w to ground).
  std::int32_t umec_unit(std::int32_t cor, std::int32_t satenab = 0) {
    const wakro::umec_core::Layout l = wakro::umec_core::layout(cor);
    size_tf(l.windings, 1, 1e-4, 1, 4, l.windings);
    const std::int32_t k = add_unit(1, {{1, 0}}, -1);
    e_s5::msiz(k) = l.windings;  // winding w from node w to ground
    for (std::int32_t w = 2; w <= l.windings; ++w) e_s5::mcb(w, k) = w;
    e_s5::nummag(k) = 1;
    umec::cor(k) = cor;
    umec::bn(k) = l.branches;
    umec::satenab(k) = satenab;
    return k;
  }
  // The core record of a unit with unit limbs and yokes and slope msl1.
  static void core_record(double msl1, double leakage, double turns, std::int32_t n = 2) {
    const double core[8] = {1.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0, msl1};
    for (std::int32_t i = 1; i <= 8; ++i) rt_config::umectfdata(i) = core[i - 1];
    for (std::int32_t w = 1; w <= n; ++w) {
      rt_config::umecwdgdata(w, 1) = turns;
      rt_config::umecwdgdata(w, 2) = leakage;
    }
  }
  static void curve(std::initializer_list<std::pair<double, double>> points) {
    for (std::int32_t i = 1; i <= 10; ++i) rt_config::umecsatdata(i, 1) = rt_config::umecsatdata(i, 2) = 0.0;
    std::int32_t i = 0;
    for (const auto& [x, y] : points) {
      ++i;
      rt_config::umecsatdata(i, 1) = x;
      rt_config::umecsatdata(i, 2) = y;
    }
  }
};

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(UmecAlgebra, ShipcoInvertsInPlaceAndFlagsSmallPivots) {
  const double a[3][3] = {{4, 1, 0.5}, {2, 3, 0.2}, {0.1, 0.7, 2}};
  Mat23 m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m(i + 1, j + 1) = a[i][j];
  std::int32_t flag = -1;
  shipco(m, 3, flag);
  EXPECT_EQ(flag, 0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double s = 0.0;
      for (int l = 0; l < 3; ++l) s += a[i][l] * m(l + 1, j + 1);
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-12) << i << " " << j;
    }
  Mat23 one;
  one(1, 1) = 1e-30;  // a plain reciprocal, never flagged
  shipco(one, 1, flag);
  EXPECT_EQ(flag, 0);
  EXPECT_DOUBLE_EQ(one(1, 1), 1e30);
  Mat23 singular;
  singular(1, 1) = singular(1, 2) = singular(2, 1) = singular(2, 2) = 1.0;
  shipco(singular, 2, flag);
  EXPECT_EQ(flag, 1);
}

// Type 3 with equal turns and leakage: Gamma = 2 Y / dt symmetric, positive
// semi-definite, equal selfs and a negative mutual; kind 3 enters (dt/2) Gamma.
TEST_F(Umec, TypeThreeCoreGivesSymmetricInverseInductance) {
  const std::int32_t k = umec_unit(3);
  core_record(0.02, 0.001, 10.0);
  curve({});
  wakro_settfparm(k, wakro::kTfUmec, "UMEC_TF_2WDG", 2);
  const double g11 = temp2::hs(1, 1), g12 = temp2::hs(1, 2), g21 = temp2::hs(2, 1), g22 = temp2::hs(2, 2);
  EXPECT_NEAR(g12, g21, 1e-12 * std::abs(g11));
  EXPECT_NEAR(g11, g22, 1e-12 * std::abs(g11));
  EXPECT_LT(g12, 0.0);
  EXPECT_GT(g11, 0.0);
  EXPECT_GE(g11 * g22 - g12 * g21, -1e-12 * g11 * g11);
  EXPECT_DOUBLE_EQ(e_s5::hm(1, 2, k), 0.5e-4 * g12);
  EXPECT_DOUBLE_EQ(e_s5tap::lorig(2, 2, k), 0.5e-4 * g22);
  EXPECT_EQ(e_s5::sm(1, 1, k), 1.0);
  EXPECT_EQ(e_s5tap::rorig(1, 1, k), 0.0);
  EXPECT_LT(e_s5tap::tss(k), 0);
}

// The curve (-1,0), (0,0), (1,1), (2,1.5), (3,2.6), (4,1.8): shifted by two,
// (3, 2.6) removed (slope 1.1 above 0.5), (4, 1.8) kept (slope 0.15), one
// warning, msl1 = 1 replacing the record's.
TEST_F(Umec, CurveCheckOfTheFormation) {
  const std::int32_t k = umec_unit(3, 1);
  core_record(0.02, 0.001, 10.0);
  curve({{-1, 0}, {0, 0}, {1, 1}, {2, 1.5}, {3, 2.6}, {4, 1.8}});
  const nettest::Captured c = nettest::capture([&] { wakro_settfparm(k, wakro::kTfUmec, "UMEC_TF_2WDG", 2); });
  EXPECT_EQ(c.status, -1) << c.text;
  EXPECT_EQ(count(c.text, "BH curve has unrealistic data points, Some points were ignored"), 1u) << c.text;
  const double x[] = {1, 2, 4, 0}, y[] = {1, 1.5, 1.8, 0};
  for (std::int32_t i = 1; i <= 4; ++i) {
    EXPECT_EQ(umec::xt(i, k), x[i - 1]) << i;
    EXPECT_EQ(umec::yt(i, k), y[i - 1]) << i;
  }
  EXPECT_EQ(umec::msl1(k), 1.0);
  EXPECT_EQ(umec::satenab(k), 1);

  // A first point with y <= 0 is no curve: saturation disabled, the record's slope kept.
  release_all_and_reset();
  const std::int32_t k2 = umec_unit(3, 1);
  core_record(0.02, 0.001, 10.0);
  curve({{1, 0}, {2, 1}});
  const nettest::Captured d = nettest::capture([&] { wakro_settfparm(k2, wakro::kTfUmec, "UMEC_TF_2WDG", 2); });
  EXPECT_EQ(count(d.text, "BH curve has no data, Saturation disabled"), 1u) << d.text;
  EXPECT_EQ(umec::satenab(k2), 0);
  EXPECT_EQ(umec::msl1(k2), 0.02);
}

// Lookups on the curve (1,1), (2,1.5), (4,1.8): a flux density equal to a
// point's y lies on the next segment, beyond the tenth point the last segment
// carries on, and permtp undoes permpt.
TEST_F(Umec, CurveLookups) {
  const std::int32_t k = umec_unit(3, 1);
  for (std::int32_t i = 1; i <= 10; ++i) {  // ten points, slopes 1, 0.5, 0.25, ...
    umec::xt(i, k) = i == 1 ? 1.0 : umec::xt(i - 1, k) + 1.0;
    umec::yt(i, k) = i == 1 ? 1.0 : umec::yt(i - 1, k) + std::pow(0.5, i - 1);
  }
  umec::msl1(k) = 1.0;
  double f = 0.0, p = 0.0, phi = 0.0;
  std::int32_t flag = -1;
  permpt(k, 0.5 * 2.0, f, flag, 2.0, 3.0, p);  // B = 0.5 below the knee
  EXPECT_EQ(flag, 0);
  EXPECT_DOUBLE_EQ(f, 0.5 * 3.0);
  EXPECT_DOUBLE_EQ(p, 2.0 / 3.0);
  permpt(k, -1.5 * 2.0, f, flag, 2.0, 3.0, p);  // B = y(2): on segment (2, 3)
  EXPECT_EQ(flag, 1);
  EXPECT_DOUBLE_EQ(f, -2.0 * 3.0);
  const double y10 = umec::yt(10, k), s10 = std::pow(0.5, 9);
  permpt(k, (y10 + 2.0 * s10) * 2.0, f, flag, 2.0, 3.0, p);  // beyond the tenth point
  EXPECT_EQ(flag, 1);
  EXPECT_NEAR(f, 12.0 * 3.0, 1e-9);
  for (const double mmf : {-40.0, -4.4, 0.3, 7.7}) {
    permtp(k, mmf, phi, flag, 2.0, 3.0, p);
    permpt(k, phi, f, flag, 2.0, 3.0, p);
    EXPECT_NEAR(f, mmf, 1e-12 * std::abs(mmf)) << mmf;
  }
  umec::satenab(k) = 0;  // linear: msl1 a / l
  permpt(k, 6.0, f, flag, 2.0, 3.0, p);
  EXPECT_EQ(flag, 0);
  EXPECT_DOUBLE_EQ(f, 9.0);
}

// umec2w_cfg: turns = voltages, ai = x Zb / (2 w U1^2), the core record and the
// curve rescaled, and kind 3 formed.
TEST_F(Umec, TwoWindingConfiguration) {
  const std::int32_t k = umec_unit(3);
  curve({{1, 1}, {2, 1.5}});
  umec2w_cfg(k, 100.0, 50.0, 0.1, 230.0, 115.0, 1.0, 1.2, 0.8);
  const double w = 2.0 * M_PI * 50.0, ib = 100.0 / 230.0, zb = 230.0 / ib;
  EXPECT_EQ(umec::nturn(1, k), 230.0);
  EXPECT_EQ(umec::nturn(2, k), 115.0);
  EXPECT_NEAR(umec::ai(2, k), 0.1 * zb / (2.0 * w * 230.0 * 230.0), 1e-18);
  EXPECT_EQ(umec::ayok(k), 1.2);
  EXPECT_EQ(umec::lyok(k), 1.6);
  EXPECT_NEAR(umec::msl1(k), (1.6 / 1.2 + 2.0) / (w * 230.0 * 0.01 * ib), 1e-15);
  EXPECT_NEAR(umec::xt(2, k), 2.0 * ib * 10.0 * std::sqrt(2.0) * 230.0 / 3.6, 1e-9);
  EXPECT_NEAR(umec::yt(2, k), 1.5 * 1000.0 * std::sqrt(2.0) / w, 1e-12);
  EXPECT_NE(e_s5::hm(1, 1, k), 0.0);
}

// The six-winding unit stores its outer legs by type.
TEST_F(Umec, SixWindingOuterLegs) {
  for (const std::int32_t type : {1, 2}) {
    const std::int32_t k = umec_unit(type);
    curve({});
    umec6w5l_cfg(k, type, 300.0, 60.0, 0.12, 230.0, 34.5, 0.5, 0.9, 1.1, 2.0, 4.0);
    EXPECT_EQ(umec::aol(k), type == 2 ? 1.1 / 4.0 : 1.0);
    EXPECT_EQ(umec::lol(k), type == 2 ? 1.8 / 2.0 : 1.0);
    EXPECT_EQ(umec::nturn(3, k), 230.0);
    EXPECT_EQ(umec::nturn(6, k), 34.5);
    EXPECT_GT(e_s5::hm(1, 1, k), 0.0);
    release_all_and_reset();
  }
}

// Refusals: every failed nameplate check of umec2w_cfg, then its tag; umec3w_cfg
// stops at its first (a warning); a unit that is not UMEC, and core data that
// do not fit the type.
TEST_F(Umec, ConfigurationRefusals) {
  std::int32_t k = umec_unit(3);
  nettest::Captured c = nettest::capture([&] { umec2w_cfg(k, 0.0, 50.0, 0.1, 230.0, 0.0, 1.0, 1.0, 1.0); });
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find("Unrealistic Transformer MVA Rating."), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("Unrealistic Transformer Voltage Rating."), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(nettest::quit_block("UMEC_TF_2WDG")), std::string::npos) << c.text;
  release_all_and_reset();

  k = umec_unit(4);
  c = nettest::capture([&] { umec3w_cfg(k, -1.0, 50.0, 0.1, 0.0, 1.0, 1.0, 1.0, 1.0, 1.0); });
  EXPECT_NE(c.text.find("***WARN*** Unrealistic Transformer MVA Rating."), std::string::npos) << c.text;
  EXPECT_EQ(c.text.find("Voltage"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find(nettest::quit_block("UMEC_TF_3WDG")), std::string::npos) << c.text;
  release_all_and_reset();

  k = umec_unit(3);
  c = nettest::capture([&] { umec2w_cfg(k, 100.0, 50.0, 0.1, 230.0, 115.0, 1.0, 0.0, 1.0); });
  EXPECT_NE(c.text.find("Unrealistic Ratio of Area or Length."), std::string::npos) << c.text;
  EXPECT_EQ(c.status, 2000);
  release_all_and_reset();

  k = umec_unit(3);
  e_s5::nummag(k) = 0;
  c = nettest::capture([&] { umec2w_cfg(k, 100.0, 50.0, 0.1, 230.0, 115.0, 1.0, 1.0, 1.0); });
  EXPECT_NE(c.text.find("is not a UMEC transformer"), std::string::npos) << c.text;
  release_all_and_reset();

  k = umec_unit(3);
  umec::bn(k) = 7;  // type 3 has five branches
  curve({});
  c = nettest::capture([&] { umec2w_cfg(k, 100.0, 50.0, 0.1, 230.0, 115.0, 1.0, 1.0, 1.0); });
  EXPECT_NE(c.text.find("UMEC core type, winding count and branch count do not agree"), std::string::npos)
      << c.text;
  EXPECT_NE(c.text.find(nettest::quit_block("UMEC_TF_2WDG")), std::string::npos) << c.text;
  release_all_and_reset();

  k = umec_unit(3);  // msl1 = 0 with saturation off: no circuit to reduce
  core_record(0.0, 0.001, 10.0);
  c = nettest::capture([&] { wakro_settfparm(k, wakro::kTfUmec, "UMEC_TF_2WDG", 2); });
  EXPECT_NE(c.text.find("Unrealistic UMEC core areas, lengths or slope"), std::string::npos) << c.text;
  EXPECT_EQ(c.status, 2000);
}

}  // namespace
