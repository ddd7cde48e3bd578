// Loads and filters from their ratings, against hand-worked element values:
//   resistive 10 MW at 10 kV: R = 100 / 10 = 10 ohm (30 ohm delta);
//   capacitive 1 Mvar at 10 kV, 50 Hz: C = 1e6 / (2 pi 50 x 100) = 31.830988618 uF;
//   inductive 1 Mvar at 10 kV, 50 Hz: L = 100 / (2 pi 50) = 0.3183098862 H;
//   tuned filter QF 50, 50 Hz tuned to 250 Hz, 10 Mvar at 10 kV: C = 318.3098862 uF,
//   L = 1 / ((2 pi 250)^2 C) = 1.2732395447e-3 H, R = w2 L / QF = 0.04 ohm
//   (band-pass: w2 L QF = 100 ohm); C-type H = 5: X = 10 ohm, C1 = 318.30989 uF,
//   L = X / (w1 (H^2 - 1)) = 1.3262912e-3 H, C2 = 24 C1, R = QF X / H = 100 ohm.
#include <array>
#include <functional>
#include <string>

#include "device_fixture.h"
#include "devices/loads.h"

namespace {

class Loads : public devtest::Devices {
 protected:
  std::array<std::int32_t, 3> three() {
    size(3, 3);
    return {empty_branch(1, 0), empty_branch(2, 0), empty_branch(3, 0)};
  }
};

TEST_F(Loads, ElementValuesFromRatings) {
  auto b = three();
  resload_cfg(1, b[0], b[1], b[2], 0, 10.0, 10.0);
  for (const auto k : b) EXPECT_DOUBLE_EQ(harmimp::branch_r(k, 1), 10.0);
  EXPECT_DOUBLE_EQ(branches::geq(b[2], 1), 0.1);
  resload_cfg(1, b[0], b[1], b[2], 1, 10.0, 10.0);
  EXPECT_DOUBLE_EQ(harmimp::branch_r(b[0], 1), 30.0);
  EXPECT_DOUBLE_EQ(e_s0::assign_gm_ptr(1)(1, 1), 1.0 / 30.0);  // the change, not a sum
  capload_cfg(1, b[0], b[1], b[2], 0, 1.0, 10.0, 50.0);
  EXPECT_NEAR(harmimp::branch_c(b[1], 1), 31.830988618e-6, 1e-15);
  EXPECT_FALSE(branches::resistor(b[1], 1));
  capload_cfg(1, b[0], b[1], b[2], 1, 1.0, 10.0, 50.0);
  EXPECT_NEAR(harmimp::branch_c(b[1], 1), 10.610329539e-6, 1e-14);
  indload_cfg(1, b[0], b[1], b[2], 0, 1.0, 10.0, 50.0);
  EXPECT_NEAR(harmimp::branch_l(b[2], 1), 0.3183098862, 1e-10);
}

// The flag K scales whenever it is set: any value but 0 is a delta rating.
TEST_F(Loads, AnySetFlagScalesForDelta) {
  auto b = three();
  for (const std::int32_t k : {1, 2, -1}) {
    resload_cfg(1, b[0], b[1], b[2], k, 10.0, 10.0);
    EXPECT_DOUBLE_EQ(harmimp::branch_r(b[0], 1), 30.0) << k;
    indload_cfg(1, b[0], b[1], b[2], k, 1.0, 10.0, 50.0);
    EXPECT_NEAR(harmimp::branch_l(b[1], 1), 3.0 * 0.3183098862, 1e-9) << k;
    capload_cfg(1, b[0], b[1], b[2], k, 1.0, 10.0, 50.0);
    EXPECT_NEAR(harmimp::branch_c(b[2], 1), 10.610329539e-6, 1e-14) << k;
  }
  indload_cfg(1, b[0], b[1], b[2], 0, 1.0, 10.0, 50.0);
  EXPECT_NEAR(harmimp::branch_l(b[1], 1), 0.3183098862, 1e-10);
}

TEST_F(Loads, UnusableRatingsWarnAndOpenTheBranches) {
  const struct {
    std::function<void(const std::array<std::int32_t, 3>&)> call;
    const char* text;
  } cases[] = {
      {[](const auto& b) { resload_cfg(1, b[0], b[1], b[2], 0, 0.0, 10.0); },
       "Resistive load disabled due to unrealistic data"},
      {[](const auto& b) { resload_cfg(1, b[0], b[1], b[2], 0, 10.0, 0.0); },
       "Resistive load disabled due to unrealistic data"},
      {[](const auto& b) { indload_cfg(1, b[0], b[1], b[2], 0, 1.0, 10.0, 0.0); },
       "Reactive load disabled due to unrealistic load or frequency"},
      {[](const auto& b) { capload_cfg(1, b[0], b[1], b[2], 0, 0.0, 10.0, 50.0); },
       "Capacitive load disabled due to unrealistic voltage or frequency"},
  };
  for (const auto& c : cases) {
    const auto b = three();
    const auto out = nettest::capture([&] { c.call(b); });
    EXPECT_EQ(out.text, std::string(" ***WARN*** ") + c.text + "\n");
    for (const auto k : b) {
      EXPECT_EQ(branches::geq(k, 1), 0.0);
      EXPECT_EQ(branches::rcg(k, 1), 0.0);  // no NaN from a zero element
      EXPECT_FALSE(branches::idealbr(k, 1));
    }
    release_all_and_reset();
  }
}

TEST_F(Loads, FilterElementValues) {
  double r = 0, l = 0, c = 0, c1 = 0;
  tunedfilter1_cfg(50.0, 50.0, 250.0, 10.0, 10.0, r, l, c);
  EXPECT_NEAR(c, 318.3098862, 1e-6);
  EXPECT_NEAR(l, 1.2732395447e-3, 1e-12);
  EXPECT_NEAR(r, 0.04, 1e-12);
  bandpassfilter1_cfg(50.0, 50.0, 250.0, 10.0, 10.0, r, l, c);
  EXPECT_NEAR(r, 100.0, 1e-9);
  ctypefilter1_cfg(50.0, 50.0, 5.0, 10.0, 10.0, r, l, c, c1);
  EXPECT_NEAR(c1, 318.30989, 1e-5);
  EXPECT_NEAR(c, 24.0 * c1, 1e-9);
  EXPECT_NEAR(l, 1.3262912e-3, 1e-9);
  EXPECT_NEAR(r, 100.0, 1e-12);
  // Ratings at their limits pass.
  ctypefilter1_cfg(1e-5, 0.01, 1.01, 1e-4, 0.01, r, l, c, c1);
}

TEST_F(Loads, UnusableFilterRatingsAreFatal) {
  double r = 0, l = 0, c = 0, c1 = 0;
  const struct {
    std::function<void()> call;
    const char* text;
    const char* tag;
  } cases[] = {
      {[&] { tunedfilter1_cfg(1e-6, 50.0, 250.0, 10.0, 10.0, r, l, c); },
       "Unrealistic specifications in Tuned Filter", "TUNED_FILTER"},
      {[&] { bandpassfilter1_cfg(50.0, 50.0, 250.0, 10.0, 0.0, r, l, c); },
       "Unrealistic specifications in Band Pass Filter", "BPASS_FILTER"},
      {[&] { ctypefilter1_cfg(50.0, 50.0, 1.0, 10.0, 10.0, r, l, c, c1); },
       "Unrealistic specifications in C-Type Filter", "CTYPE_FILTER"},
  };
  for (const auto& k : cases) {
    const auto out = nettest::capture(k.call);
    EXPECT_NE(out.status, -1);
    EXPECT_EQ(out.text.rfind(std::string(" ***ERROR** ") + k.text + "\n", 0), 0u) << out.text;
    EXPECT_NE(out.text.find(std::string("Abnormal termination of WAKRO by ") + k.tag), std::string::npos);
  }
}

}  // namespace
