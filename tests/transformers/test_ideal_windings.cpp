// Ideal multi-winding transformers: idealymatrix against hand-worked values, the
// four- and N-winding configurations against each other, and the winding file
// (its record, the bank hand-over, read errors and the input state left behind).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "files/units.h"
#include "model/fnames.h"
#include "support/temp_dir.h"
#include "tf_fixture.h"
#include "transformers/ideal_windings.h"
#include "transformers/tf_cfg.h"

namespace {

using rt_config::tfdata;

class IdealWindings : public tftest::Transformers {
 protected:
  void SetUp() override {
    tftest::Transformers::SetUp();
    ASSERT_TRUE(folder_.enter("wakro_wdg"));
  }
  void TearDown() override {
    tftest::Transformers::TearDown();
    folder_.leave();
  }
  void size_units(std::int32_t windings = 4) {
    extra_dims_ = {{dim::windings, windings}, {dim::trafos, 4}};
    size(8, 1, 1, 0, 1e-4);
    e_s5::jset = 0;
  }
  // The console text starts with `prefix`.
  static ::testing::AssertionResult starts(const std::string& text, const std::string& prefix) {
    if (text.rfind(prefix, 0) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "text:\n" << text << "expected start:\n" << prefix;
  }
  static void write(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }
  wakro_test::WorkFolder folder_;
};

// N = 2: 2 pi 50 * 100 / (0.1 * 100) = 3141.59... in the pattern [[1, -1], [-1, 1]].
// N = 3, X = (0.1, 0.2, 0.15) referred to winding 3: A = [[0.2, 0.125], [0.125,
// 0.15]], det = 0.014375; Y = 10 pi [[0.15, -0.125, -0.025], [., 0.2, -0.075],
// [., ., 0.1]] / det.
TEST_F(IdealWindings, InverseInductancesOfTwoAndThreeWindings) {
  std::array<double, 4> y2{};
  ASSERT_TRUE(idealymatrix(2, 50.0, 100.0, std::array{0.1}, std::array{10.0, 10.0}, y2));
  const double g = 1000.0 * M_PI;
  EXPECT_NEAR(y2[0], g, 1e-9);
  EXPECT_NEAR(y2[1], -g, 1e-9);
  EXPECT_NEAR(y2[2], -g, 1e-9);
  EXPECT_NEAR(y2[3], g, 1e-9);
  EXPECT_NEAR(y2[0], 3141.59265, 5e-6);

  std::array<double, 9> y{};
  ASSERT_TRUE(idealymatrix(3, 50.0, 100.0, std::array{0.1, 0.2, 0.15}, std::array{10.0, 10.0, 10.0}, y));
  auto Y = [&](int i, int j) { return y[static_cast<std::size_t>((j - 1) * 3 + i - 1)]; };
  EXPECT_NEAR(Y(1, 1), 3278.1836, 5e-5);
  EXPECT_NEAR(Y(1, 2), -2731.8197, 5e-5);
  EXPECT_NEAR(Y(1, 3), -546.3639, 5e-5);
  EXPECT_NEAR(Y(2, 2), 4370.9115, 5e-5);
  EXPECT_NEAR(Y(2, 3), -1639.0918, 5e-5);
  EXPECT_NEAR(Y(3, 3), 2185.4558, 5e-5);
  double largest = 0.0;
  for (const double v : y) largest = std::max(largest, std::abs(v));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(Y(i, 1 + i % 3), Y(1 + i % 3, i));
    EXPECT_NEAR(Y(i, 1) + Y(i, 2) + Y(i, 3), 0.0, 1e-12 * largest) << i;
  }
  // Pair reactances that do not fit together: X12 tiny, X13 = X23 makes the
  // reactance matrix referred to winding 3 singular.
  EXPECT_FALSE(idealymatrix(3, 50.0, 100.0, std::array{1e-20, 0.1, 0.1}, std::array{10.0, 10.0, 10.0}, y));
}

// The four-winding form 1 and the N-winding form give the same record.
TEST_F(IdealWindings, FourWindingFormsAgree) {
  size_units();
  const std::int32_t k1 = add_unit(1, {{1, 0}, {2, 0}, {3, 0}, {4, 0}});
  const std::int32_t k2 = add_unit(1, {{5, 0}, {6, 0}, {7, 0}, {8, 0}});
  const std::array x{0.1, 0.2, 0.15, 0.12, 0.18, 0.14};  // X12, X13, X23, X14, X24, X34
  const std::array v{10.0, 20.0, 5.0, 1.0};
  const std::array p{0.01, 0.0, 0.02, 0.0};
  e_tf4w3_cfg(k1, 1, 100.0, 50.0, x[0], x[1], x[3], x[2], x[4], x[5], p[0], p[1], p[2], p[3], v[0], v[1],
              v[2], v[3], 1.0);
  std::vector<double> first;
  for (std::int32_t j = 1; j <= 4; ++j)
    for (std::int32_t i = 1; i <= 2 * j; ++i) first.push_back(tfdata(i, j));
  e_tfnw1_cfg(k2, 4, 100.0, 50.0, x, p, v);
  std::size_t next = 0;
  for (std::int32_t j = 1; j <= 4; ++j)
    for (std::int32_t i = 1; i <= 2 * j; ++i) EXPECT_NEAR(tfdata(i, j), first[next++], 1e-9) << i << "," << j;
  EXPECT_NEAR(tfdata(1, 1), 0.01 * 100.0 / 100.0, 1e-15);  // P S / I^2, I = 10 kA
  EXPECT_EQ(e_s5::hm(3, 4, k1), e_s5::hm(3, 4, k2));
}

TEST_F(IdealWindings, ArrayFormChecks) {
  auto stop = [this](auto f) {
    wakro_test::reset_shared_state();
    size_units();
    add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
    return nettest::capture(f);
  };
  const nettest::Captured both = stop([] {
    e_tfnw1_cfg(1, 3, 0.0, 50.0, std::array{0.1, 0.0, 0.1}, std::array{0.0, 0.0, 0.0}, std::array{1.0, 1.0, 1.0});
  });
  EXPECT_TRUE(starts(both.text,
                     " ***ERROR** Unrealistic Transformer MVA Rating.\n"
                     " ***ERROR** Unrealistic Transformer Leakage Value.\n ===="));
  EXPECT_NE(both.text.find(nettest::quit_block("TF_NWDG")), std::string::npos);
  const nettest::Captured volts = stop([] {
    e_tfnw1_cfg(1, 3, 100.0, 50.0, std::array{0.1, 0.1, 0.1}, std::array{0.0, 0.0, 0.0}, std::array{0.0, 0.0, 1.0});
  });
  EXPECT_TRUE(starts(volts.text, " ***ERROR** Unrealistic Transformer Voltage Rating.\n ===="));
  const nettest::Captured singular = stop([] {
    e_tfnw1_cfg(1, 3, 100.0, 50.0, std::array{1e-20, 0.1, 0.1}, std::array{0.0, 0.0, 0.0}, std::array{1.0, 1.0, 1.0});
  });
  EXPECT_TRUE(starts(singular.text, " ***ERROR** Unrealistic Transformer Leakage Value.\n ===="));
}

// Type 2 file: the inductance matrix and resistances in ohm, handed to units 1
// and 3 of the bank (k2 = 0), with no rated-value checks.
TEST_F(IdealWindings, InductanceFileHandedToTheBank) {
  size_units(2);
  for (int u = 0; u < 3; ++u) add_unit(1, {{2 * u + 1, 0}, {2 * u + 2, 0}});
  write("bank.wdg",
        "C inductances of one unit\n0.2\n0.19 ignored\n0.3\n! resistances\n1\n0.5\n9.0 0.25\n");
  fnames::filename = "page.dta";
  fnames::section = "TRANSFORMERS:";
  const std::int32_t depth = fnames::iunit;
  n_wdg_tf_cfg(1, 0, 3, 2, 2, 0.0, 0.0, {}, "bank.wdg");
  EXPECT_EQ(fnames::iunit, depth);
  EXPECT_EQ(fnames::filename, "page.dta");
  EXPECT_EQ(fnames::section, "TRANSFORMERS:");
  EXPECT_EQ(tfdata(1, 1), 0.5);
  EXPECT_EQ(tfdata(2, 1), 0.2);
  EXPECT_EQ(tfdata(2, 2), 0.19);
  EXPECT_EQ(tfdata(3, 2), 0.25);
  EXPECT_EQ(tfdata(4, 2), 0.3);
  EXPECT_EQ(tfdata(1, 2), 0.0);
  EXPECT_NE(e_s5::hm(1, 1, 1), 0.0);
  EXPECT_EQ(e_s5::hm(1, 1, 2), 0.0);  // k2 = 0: unit 2 untouched
  EXPECT_EQ(e_s5::hm(1, 1, 3), e_s5::hm(1, 1, 1));
}

// Type 1 file: the reactances of windings (2,1), (3,1), (3,2) and per-unit
// resistances give the record of e_tfnw1_cfg with the same data (P = R in pu).
TEST_F(IdealWindings, ReactanceFileMatchesTheArrayForm) {
  size_units(3);
  add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
  add_unit(1, {{4, 0}, {5, 0}, {6, 0}});
  write("three.wdg", "0.1\n0.2\n0.15\n0\n");
  const std::array v{10.0, 10.0, 10.0};
  n_wdg_tf_cfg(1, 0, 0, 1, 3, 50.0, 100.0, v, "three.wdg");
  EXPECT_NEAR(tfdata(2, 1), 3278.1836, 5e-5);
  EXPECT_NEAR(tfdata(4, 3), -1639.0918, 5e-5);
}

// A file that ends inside the matrix, or holds a word where a number belongs:
// the two-line error, the tag, and the unit stack and names as on entry.
TEST_F(IdealWindings, ReadErrorsLeaveTheInputAsFound) {
  write("short.wdg", "0.1\n0.2\n");
  write("word.wdg", "0.1\n0.2\n0.15\nyes\n");
  for (const std::string name : {"short.wdg", "word.wdg"}) {
    wakro_test::reset_shared_state();
    size_units(3);
    add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
    fnames::filename = "page.dta";
    fnames::section = "TRANSFORMERS:";
    const std::int32_t depth = fnames::iunit;
    const nettest::Captured c = nettest::capture([&] {
      n_wdg_tf_cfg(1, 0, 0, 1, 3, 50.0, 100.0, std::array{10.0, 10.0, 10.0}, name);
    });
    EXPECT_EQ(c.status, 2000);
    EXPECT_TRUE(starts(c.text, " ***ERROR** Unexpected error in reading file \n ***ERROR** " + name + "\n ===="));
    EXPECT_NE(c.text.find(nettest::quit_block("N_WDG_TF_CFG")), std::string::npos);
    EXPECT_EQ(fnames::iunit, depth);
    EXPECT_EQ(fnames::filename, "page.dta");
    EXPECT_EQ(fnames::section, "TRANSFORMERS:");
  }
}

}  // namespace
