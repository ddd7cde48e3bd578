// PI-section parameters against hand-worked values:
//   form 4, length 10, R1 = 0.03, L1 = 1e-3 H, C1 = 0.01 uF, R0 = 0.3,
//   L0 = 3e-3 H, C0 = 0.006 uF, coupled: Rm = 0.27 / 3 x 10 = 0.9,
//   Lm = 2e-3 / 3 x 10, C0 = 5e5 x 6e-9 x 10 = 0.03 uF, Cm = 5e5 x 4e-9 / 3 x 10,
//   Rs = 0.36 / 3 x 10 = 1.2, Ls = 5e-3 / 3 x 10;
//   mutual coupling, form 2 (ohm, ohm, Mohm) 0.3, 1, 0.5 at 50 Hz over 10:
//   R = 1, L = 10 / (3 w), C = 5e5 x 10 x 1e-6 / (0.5 w) / 3 uF.
#include <array>
#include <cmath>
#include <functional>
#include <string>

#include "lines/pi_section.h"
#include "network/net_fixture.h"

namespace {

struct Section {
  double rs = 0, ls = 0, cm = 0, rm = 0, lm = 0, c0 = 0;
  std::int32_t frm = -1, flm = -1, fc0 = -1, fcm = -1;
};

Section pi3(std::int32_t type, std::int32_t coupled, std::int32_t zest, double v, double mva, double f,
            double length, std::array<double, 6> seq) {
  Section s;
  pi3_section_cfg(type, coupled, zest, v, mva, f, length, seq[0], seq[1], seq[2], seq[3], seq[4],
                  seq[5], s.rs, s.ls, s.cm, s.rm, s.lm, s.c0, s.frm, s.flm, s.fc0, s.fcm);
  return s;
}

constexpr std::array<double, 6> kWorked{0.03, 1e-3, 0.01, 0.3, 3e-3, 0.006};

class PiSection : public nettest::Network {};

TEST_F(PiSection, WorkedCircuitGivesItsSectionValuesWithoutFrequency) {
  Section s;
  const auto out = nettest::capture([&] { s = pi3(4, 1, 0, 0.0, 0.0, 0.0, 10.0, kWorked); });
  EXPECT_EQ(out.text, "");
  EXPECT_NEAR(s.rm, 0.9, 1e-12);
  EXPECT_NEAR(s.lm, 2e-3 / 3.0 * 10.0, 1e-15);
  EXPECT_NEAR(s.c0, 0.03, 1e-12);
  EXPECT_NEAR(s.cm, 4e-3 / 3.0 * 5.0, 1e-12);
  EXPECT_NEAR(s.rs, 1.2, 1e-12);
  EXPECT_NEAR(s.ls, 5e-3 / 3.0 * 10.0, 1e-15);
  EXPECT_EQ(s.frm + s.flm + s.fc0 + s.fcm, 4);
  // Uncoupled: the self values are the positive sequence's, the mutual ones stay.
  const Section u = pi3(4, 0, 0, 0.0, 0.0, 0.0, 10.0, kWorked);
  EXPECT_NEAR(u.rs, 0.3, 1e-12);
  EXPECT_NEAR(u.rm, 0.9, 1e-12);
  // Estimated zero sequence: R0 = 10 R1, L0 = 3 x 1 L1, C0 = 3 / 1 C1.
  const Section e = pi3(4, 1, 1, 0.0, 0.0, 0.0, 10.0, {0.03, 1e-3, 0.01, 10.0, 3.0, 1.0});
  EXPECT_NEAR(e.rm, 0.9, 1e-12);
  EXPECT_NEAR(e.lm, s.lm, 1e-15);
  EXPECT_NEAR(e.c0, 5e5 * 3e-8 * 10.0, 1e-12);
}

TEST_F(PiSection, NegativeMutualValuesWarnAndZeroOnesDropTheirElement) {
  Section s;
  auto out = nettest::capture([&] { s = pi3(4, 1, 0, 0, 0, 0, 10.0, {0.3, 1e-3, 0.01, 0.03, 1e-3, 0.006}); });
  EXPECT_EQ(out.text, " ***WARN*** Zero Sequence Resistance is less than Positive Sequence Resistance\n");
  EXPECT_LT(s.rm, 0.0);
  EXPECT_EQ(s.frm, 1);
  EXPECT_EQ(s.lm, 0.0);
  EXPECT_EQ(s.flm, 0);
  out = nettest::capture([&] { s = pi3(4, 1, 0, 0, 0, 0, 10.0, {0.3, 1e-3, 0.006, 0.3, 3e-3, 0.01}); });
  EXPECT_EQ(out.text,
            " ***WARN*** Zero Sequence Capacitance is greater than Positive Sequence Capacitance\n");
  EXPECT_EQ(s.rm, 0.0);
  EXPECT_EQ(s.frm, 0);
  // Form 3 with a negative positive-sequence susceptance has no such capacitance;
  // a negative zero-sequence susceptance warns.
  out = nettest::capture([&] { s = pi3(3, 1, 0, 10.0, 100.0, 50.0, 1.0, {0.01, 0.1, -0.2, 0.03, 0.3, -0.1}); });
  EXPECT_NE(out.text.find("Zero Sequence Capacitance is negative"), std::string::npos) << out.text;
  const double w = 2.0 * 3.141592653589793 * 50.0, zb = 1.0;
  EXPECT_NEAR(s.cm, -500000.0 * (-0.1 / (w * zb)) / 3.0, 1e-9);
}

TEST_F(PiSection, MutualCouplingOfTwoCircuits) {
  const double w = 2.0 * 3.141592653589793 * 50.0;
  double r = 0, l = 0, c = 0;
  std::int32_t flag = -1;
  pi_2cctmut_cfg(2, 0, 10.0, 0.0, 0.0, 50.0, 0.3, 1.0, 0.5, 0, 0, 0, r, l, c, flag);
  EXPECT_NEAR(r, 1.0, 1e-12);
  EXPECT_NEAR(l, 10.0 / (3.0 * w), 1e-15);
  EXPECT_NEAR(c, 500000.0 * 10.0 * 1e-6 / (0.5 * w) / 3.0, 1e-15);
  EXPECT_EQ(flag, 1);
  pi_2cctmut_cfg(0, 1, 0.0, 0.4, 0.5, 0.0, 2.0, 3.0, 4.0, 0.1, 0.2, 0.3, r, l, c, flag);
  EXPECT_NEAR(r, 0.4, 1e-14);
  EXPECT_NEAR(l, 3.6, 1e-14);
  EXPECT_NEAR(c, 0.075, 1e-15);
}

TEST_F(PiSection, InvalidDataStopsWithItsTextAndTag) {
  double r = 0, l = 0, c = 0;
  std::int32_t flag = 0;
  const std::array<std::pair<std::function<void()>, std::string>, 9> cases{{
      {[] { pi3(4, 1, 0, 0, 0, 0, 0.0, kWorked); }, " ***ERROR** Length too small\n"},
      {[] { pi3(0, 1, 0, 10, 100, 0.0, 1.0, kWorked); }, " ***ERROR** Frequency too small\n"},
      {[] { pi3(0, 1, 0, 10, 0.0, 50, 1.0, kWorked); }, " ***ERROR** MVA too small\n"},
      {[] { pi3(7, 1, 0, 10, 100, 50, 1.0, kWorked); }, " ***ERROR** Unknown PI section data type\n"},
      {[] { pi3(2, 1, 0, 10, 100, 50, 1.0, {0.1, 1e-4, 0.0, 0.1, 1e-4, 300}); },
       " ***ERROR** Positive Sequence Surge Impedance too small\n"},
      {[] { pi3(4, 1, 1, 0, 0, 0, 1.0, {0.1, 1e-3, 0.01, 3.0, 0.0, 1.0}); },
       " ***ERROR** Unrealistic Zero Sequence Estimation Parameters\n"},
      {[&] { pi_2cctmut_cfg(2, 0, 0.0, 0, 0, 50, 0.3, 1, 0.5, 0, 0, 0, r, l, c, flag); },
       " ***ERROR** Length too small\n"},
      {[&] { pi_2cctmut_cfg(4, 0, 1.0, 0, 0, 50, 0.3, 1, 0.5, 0, 0, 0, r, l, c, flag); },
       " ***ERROR** Unknown PI section data type\n"},
      {[&] { pi_2cctmut_cfg(0, 1, 1.0, 0, 0, 50, 0.3, 0.0, 0.5, 0, 0, 0, r, l, c, flag); },
       " ***WARN*** Unrealistic 0 Sequence Estimation Parameters\n"},
  }};
  for (const auto& [call, text] : cases) {
    const auto out = nettest::capture(call);
    EXPECT_NE(out.status, -1) << text;
    EXPECT_EQ(out.text.rfind(text, 0), 0u) << out.text;
    EXPECT_NE(out.text.find("Abnormal termination of WAKRO by PI_SECTION  \n"), std::string::npos) << out.text;
  }
}

}  // namespace
