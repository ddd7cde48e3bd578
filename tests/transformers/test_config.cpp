// Nameplate configuration routines and coupled PI records: the records they
// write (hand-worked values), the matrices formed from them, and every refusal.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "diag/console.h"
#include "model/e_warn.h"
#include "support/fatal_capture.h"
#include "tf_fixture.h"
#include "transformers/coupled_pi.h"
#include "transformers/ideal_windings.h"
#include "transformers/tf_cfg.h"
#include "transformers/umec_cfg.h"

namespace {

using tftest::Transformers;
using rt_config::tfdata;

constexpr double kS = 33.3333333333333, kV1 = 10.392304845413268, kV2 = 132.79056191361397;

// Group 1: Zb1 = V1^2 / S = 3.24 ohm, Gamma11 = 120 pi / (0.0625 * 3.24),
// Gamma12 = -(V1 / V2) Gamma11, Gamma22 = (V1 / V2)^2 Gamma11; R = 0, so
// hm = (dt / 2) Gamma and sm = I exactly.
TEST_F(Transformers, CaseGroupOneUnitIsIdealCoupling) {
  size_tf(4, 1, 50e-6);
  const std::int32_t k = add_unit(1, {{1, 2}, {3, 4}});
  e_tf2w_cfg(k, 1, kS, 60.0, 0.0625, 0.0, kV1, kV2, 2.0);
  EXPECT_EQ(tfdata(1, 1), 0.0);
  EXPECT_NEAR(tfdata(2, 1), 1861.6845354606, 1e-9);
  EXPECT_EQ(tfdata(1, 2), 0.0);
  EXPECT_NEAR(tfdata(2, 2), -145.6970506013, 1e-9);
  EXPECT_EQ(tfdata(3, 2), 0.0);
  EXPECT_NEAR(tfdata(4, 2), 11.4023778731, 1e-9);
  for (std::int32_t i = 1; i <= 2; ++i)
    for (std::int32_t j = 1; j <= 2; ++j) {
      EXPECT_EQ(e_s5::hm(i, j, k), 50e-6 / 2 * tfdata(2 * std::min(i, j), std::max(i, j)));
      EXPECT_EQ(e_s5::sm(i, j, k), i == j ? 1.0 : 0.0);
    }
}

// Kind 2: S = 100, f = 50, X = 0.1, Pcu = 0.01, V = (10, 100), Im = 1:
// P = 0.5 MW per winding, I = (10, 1) kA, R = (0.005, 0.5) ohm;
// a = 0.01 * 100 pi, L1 = 10 / (10 a) = 0.318310 H, L2 = 31.8310 H,
// M = sqrt(L1 L2) (1 - 0.1 * 1 / (2 * 100 pi * L1)) = 3.181507 H.
TEST_F(Transformers, MagnetisingFormGivesSelfAndMutualInductances) {
  size_tf(4, 1, 1e-4);
  const std::int32_t k = add_unit(1, {{1, 0}, {2, 0}});
  e_tf2w_cfg(k, 2, 100.0, 50.0, 0.1, 0.01, 10.0, 100.0, 1.0);
  EXPECT_NEAR(tfdata(1, 1), 0.005, 1e-15);
  EXPECT_NEAR(tfdata(3, 2), 0.5, 1e-13);
  EXPECT_NEAR(tfdata(2, 1), 1.0 / M_PI, 1e-15);
  EXPECT_NEAR(tfdata(4, 2), 100.0 / M_PI, 1e-13);
  EXPECT_NEAR(tfdata(2, 2), 10.0 / M_PI * (1.0 - 0.1 / (2.0 * 100.0 * M_PI / M_PI)), 1e-13);
  EXPECT_NEAR(tfdata(2, 2), 3.181507, 5e-7);
  EXPECT_EQ(tfdata(1, 2), 0.0);
  EXPECT_NE(e_s5::sm(1, 1, k), 1.0);  // the resistances enter the current history
}

// Three windings, form 1, V all 10 kV, S = 100, f = 50: Zb1 = 1 ohm, c = 1 / (2 w);
// X = (0.1, 0.2, 0.15): l = (0.15, 0.05, 0.25) c, D = (0.0375 + 0.0125 + 0.0075) c^2;
// Gamma = [[3278.1836, -2731.8197, -546.3639], [., 4370.9115, -1639.0918], [., ., 2185.4558]].
TEST_F(Transformers, ThreeWindingStar) {
  size_tf(4, 1, 1e-4);
  const std::int32_t k = add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
  e_tf3w_cfg(k, 1, 100.0, 50.0, 0.1, 0.2, 0.15, 0.0, 10.0, 10.0, 10.0, 1.0);
  const double c = 0.5 / (100.0 * M_PI);
  const double l1 = 0.15 * c, l2 = 0.05 * c, l3 = 0.25 * c;
  const double d = l1 * l3 + l2 * l3 + l1 * l2;
  EXPECT_NEAR(tfdata(2, 1), (l2 + l3) / d, 1e-9);
  EXPECT_NEAR(tfdata(2, 2), -l3 / d, 1e-9);
  EXPECT_NEAR(tfdata(2, 3), -l2 / d, 1e-9);
  EXPECT_NEAR(tfdata(4, 3), -l1 / d, 1e-9);
  EXPECT_NEAR(tfdata(6, 3), (l1 + l2) / d, 1e-9);
  EXPECT_NEAR(tfdata(2, 1), 3278.1836, 5e-5);
  EXPECT_NEAR(tfdata(4, 2), 4370.9115, 5e-5);
  EXPECT_NEAR(tfdata(4, 3), -1639.0918, 5e-5);
  // Ideal coupling: every row of Gamma sums to zero for equal voltages.
  EXPECT_NEAR(tfdata(2, 1) + tfdata(2, 2) + tfdata(2, 3), 0.0, 1e-8);
}

// Pair losses (1, 1, 1) of 10 kV windings on 100 MVA: Zb = 1 ohm, R = 0.5 ohm each.
TEST_F(Transformers, PairLossesAndAutoTransformerRecords) {
  size_tf(4, 1, 1e-4);
  const std::int32_t k = add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
  e_tf3w2_cfg(k, 2, 100.0, 50.0, 0.1, 0.2, 0.15, 1.0, 1.0, 1.0, 10.0, 10.0, 10.0, 1.0);
  EXPECT_NEAR(tfdata(1, 1), 0.5, 1e-15);
  EXPECT_NEAR(tfdata(3, 2), 0.5, 1e-15);
  EXPECT_NEAR(tfdata(5, 3), 0.5, 1e-15);
  e_tf3w2_cfg(k, 2, 100.0, 50.0, 0.1, 0.2, 0.15, 0.0, 0.0, 0.0, 10.0, 10.0, 10.0, 1.0);
  EXPECT_EQ(tfdata(1, 1), 0.0);
  EXPECT_EQ(tfdata(5, 3), 0.0);
  // Auto-transformer 2 kV / 102 kV limit: series winding 100 kV, common 2 kV,
  // X' = X (102 / 100)^2 on the series winding's base; nothing is appended.
  const std::int32_t k2 = add_unit(1, {{1, 2}, {2, 0}});
  const std::int32_t before = rt_config::nrtcf;
  e_tf2wa_cfg(k2, 1, 10.0, 50.0, 0.1, 0.0, 102.0, 2.0, 1.0);
  EXPECT_EQ(rt_config::nrtcf, before);
  const double xs = 0.1 * 1.0404, zbs = 100.0 * 100.0 / 10.0;
  EXPECT_NEAR(tfdata(2, 1), 100.0 * M_PI / (xs * zbs), 1e-12);
  EXPECT_NEAR(tfdata(2, 2), -50.0 * tfdata(2, 1), 1e-9);
  e_tf2wa_cfg(k2, 1, 10.0, 50.0, 0.1, 0.0, 2.1, 2.0, 1.0);  // the HV limit passes too
}

TEST_F(Transformers, CoupledPiRecords) {
  size_tf(6, 1, 1e-4, 1, 4, 6);
  const std::int32_t k3 = add_unit(1, {{1, 0}, {2, 0}, {3, 0}});
  coupled_pi3_tf_cfg(k3, 2, 1.0, 0.1, 0.0, 0.05);
  double first[6][3];
  for (std::int32_t r = 1; r <= 6; ++r)
    for (std::int32_t c = 1; c <= 3; ++c) first[r - 1][c - 1] = tfdata(r, c);
  EXPECT_EQ(tfdata(1, 2), 0.0);
  EXPECT_EQ(tfdata(2, 3), 0.05);
  // hm = (R + 2L/dt)^-1 with R + 2L/dt = 1 + 2000 on the diagonal, 1000 off it:
  // for a b b / b a b / b b a the inverse has (a + b) / ((a - b)(a + 2b)) and
  // -b / ((a - b)(a + 2b)).
  const double a = 2001.0, b = 1000.0, den = (a - b) * (a + 2.0 * b);
  EXPECT_NEAR(e_s5::hm(1, 1, k3), (a + b) / den, 1e-17);
  EXPECT_NEAR(e_s5::hm(1, 3, k3), -b / den, 1e-17);
  const std::int32_t k6 = add_unit(1, {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
  coupled_pi6_tf_cfg(k6, 2, 1.0, 0.1, 0.0, 0.05, 2.0, 0.2, 0.1, 0.02, 0.0, 0.0);
  for (std::int32_t r = 1; r <= 6; ++r)
    for (std::int32_t c = 1; c <= 3; ++c) EXPECT_EQ(tfdata(r, c), first[r - 1][c - 1]);
  EXPECT_EQ(tfdata(7, 4), 2.0);
  EXPECT_EQ(tfdata(7, 5), 0.1);
  EXPECT_EQ(tfdata(8, 6), 0.02);
  EXPECT_EQ(tfdata(1, 4), 0.0);
  EXPECT_EQ(e_s5::hm(1, 4, k6), 0.0);  // two independent circuits
  EXPECT_NEAR(e_s5::hm(1, 1, k6), e_s5::hm(1, 1, k3), 1e-18);
}

struct Refusal {
  std::function<void(std::int32_t)> call;
  std::int32_t windings;
  std::string tag;
  std::vector<std::string> texts;  // in this order
};

TEST_F(Transformers, RefusedNameplatesReportAndStop) {
  const std::string mva = " ***ERROR** Unrealistic Transformer MVA Rating.\n";
  const std::string volt = " ***ERROR** Unrealistic Transformer Voltage Rating.\n";
  const std::string leak = " ***ERROR** Unrealistic Transformer Leakage Value.\n";
  const Refusal cases[] = {
      {[](std::int32_t k) { e_tf2w_cfg(k, 1, 0.99e-32, 60.0, 0.0625, 0.0, 0.0, kV2, 2.0); }, 2,
       "TF_2WDG     ", {mva, volt}},
      {[](std::int32_t k) { e_tf2w_cfg(k, 1, kS, 60.0, std::nan(""), 0.0, kV1, kV2, 2.0); }, 2,
       "TF_2WDG     ", {leak}},
      {[](std::int32_t k) { e_tf2w_cfg(k, 1, kS, 0.0, 0.0625, 0.0, kV1, kV2, 2.0); }, 2,
       "TF_2WDG     ", {" ***ERROR** Unrealistic Transformer Frequency.\n"}},
      {[](std::int32_t k) { e_tf2w_cfg(k, 2, kS, 60.0, 0.0625, 0.0, kV1, kV2, 0.0); }, 2,
       "TF_2WDG     ", {" ***ERROR** Unrealistic Transformer Magnetising Current.\n"}},
      {[](std::int32_t k) { e_tf2w_cfg(k, 1, kS, 60.0, 0.0625, 0.0, kV1, kV2, 2.0); }, 3,
       "TF_2WDG     ", {}},  // a three-winding entry
      {[](std::int32_t k) { e_tf2wa_cfg(k, 1, 10.0, 50.0, 0.1, 0.0, 103.0, 2.0, 1.0); }, 2,
       "AUTO_TF_2WDG", {" ***ERROR** Voltage rating at LV side is too small\n"}},
      {[](std::int32_t k) { e_tf2wa_cfg(k, 1, 10.0, 50.0, 0.1, 0.0, 2.0, 2.0, 1.0); }, 2,
       "AUTO_TF_2WDG", {" ***ERROR** Voltage rating at HV side is too small\n"}},
      {[](std::int32_t k) { e_tf3w2_cfg(k, 2, 100.0, 50.0, 0.1, 0.2, 0.15, 3.0, 1.0, 1.0, 10.0, 10.0, 10.0, 1.0); },
       3, "TF_3WDG     ",
       {" ***ERROR** Unrealistic Copper losses, maximum loss between any two windings cannot be more "
        "than the half of the sum of total losses.\n"}},
      {[](std::int32_t k) { e_tf3w_cfg(k, 1, 100.0, 50.0, 0.4, 0.1, 0.1, 0.0, 10.0, 10.0, 10.0, 1.0); }, 3,
       "TF_3WDG     ", {leak}},  // l = (0.2, 0.2, -0.1) c: star denominator zero
      {[](std::int32_t k) { e_tf3wa_cfg(k, 1, 100.0, 50.0, 0.1, 0.2, 0.15, 0.0, 2.0, 2.0, 1.0, 1.0); }, 3,
       "AUTO_TF_3WDG", {" ***ERROR** Voltage rating at HV side is too small\n"}},
      {[](std::int32_t k) {
         e_tf4w_cfg(k, 0.0, 50.0, 0.1, 0.1, 0.1, 0.1, 0.1, 0.1, 0.0, 0.0, 10.0, 10.0, 10.0, 1.0);
       },
       4, "TF_4WDG     ", {" ***WARN*** Unrealistic Transformer MVA Rating.\n"}},
      {[](std::int32_t k) { coupled_pi3_tf_cfg(k, 3, 1.0, 0.1, 0.0, 0.05); }, 3, "COUPLED_PI3 ", {}},
      {[](std::int32_t k) { coupled_pi6_tf_cfg(k, 2, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0); }, 3, "COUPLED_PI6 ", {}},
  };
  for (const Refusal& r : cases) {
    SCOPED_TRACE(r.tag);
    size_tf(6, 1, 1e-4, 1, 4, 6);
    const std::int32_t k = ++e_s5::jset;
    e_s5::msiz(k) = r.windings;
    e_s5tap::tss(k) = 1;
    e_s5::numt(1) = 1;
    for (std::int32_t i = 1; i <= r.windings; ++i) e_s5::mcb(i, k) = i;
    e_warn::comp_id1 = 0;
    const nettest::Captured c = nettest::capture([&] {
      r.call(k);
      ADD_FAILURE() << "formed";
    });
    EXPECT_EQ(c.status, 2000);
    std::size_t at = 0;
    for (const std::string& t : r.texts) {
      at = c.text.find(t, at);
      EXPECT_NE(at, std::string::npos) << t << c.text;
    }
    EXPECT_NE(c.text.find("ERROR: Abnormal termination of WAKRO by " + r.tag + "\n"), std::string::npos) << c.text;
    if (r.tag == "TF_4WDG     ") {
      EXPECT_EQ(c.text.find("Voltage"), std::string::npos);  // only the first
    }
    release_all_and_reset();
    e_s5::jset = 0;
  }
}

// The winding records as they are when a refusal's first text reaches the
// console (the fatal stop releases them after it).
struct RecordsAtFirstText : std::stringbuf {
  std::vector<double> kept;
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (kept.empty()) kept = records();
    return std::stringbuf::xsputn(s, n);
  }
  static std::vector<double> records() {
    std::vector<double> v(tfdata.begin(), tfdata.begin() + tfdata.size());
    v.insert(v.end(), std::begin(rt_config::umectfdata.v), std::end(rt_config::umectfdata.v));
    return v;
  }
};

// Each routine of the family called for a transformer number past those read,
// and for a transformer of other windings than its own (three for two, two for
// three or more), in a case whose record holds that transformer's windings
// only: refused with its message before it writes a record (nor past one,
// which the sanitizer build's index checks would stop).
// So is each for one of its windings with the other core (UMEC or not), a UMEC
// one for a core of type 0 (six windings), the file one for a zero reactance,
// and a coupled PI kind other than 1 or 2 (that one first, on any transformer).
TEST_F(Transformers, HandOverIsRefusedBeforeAnyRecordIsWritten) {
  using K = std::int32_t;
  static const std::vector<double> v(2, 10.0), x(1, 0.1), p(2, 0.0);
  wakro_test::WorkFolder folder;
  ASSERT_TRUE(folder.enter("tf_cfg_"));
  wakro_test::write_file("zero.wdg", "0.0\n0\n");
  struct { const char* tag; K windings; bool umec; std::function<void(K)> call; std::string text = {}; bool first = false; } const members[] = {
      {"TF_2WDG     ", 2, false, [](K k) { e_tf2w_cfg(k, 1, kS, 60.0, 0.0625, 0.0, kV1, kV2, 2.0); }},
      {"AUTO_TF_2WDG", 2, false, [](K k) { e_tf2wa_cfg(k, 1, 10, 50, 0.1, 0, 2.1, 2, 1); }},
      {"TF_3WDG     ", 3, false, [](K k) { e_tf3w_cfg(k, 1, 1, 50, 0.1, 0.2, 0.15, 0, 10, 10, 10, 1); }},
      {"TF_3WDG     ", 3, false, [](K k) { e_tf3w2_cfg(k, 2, 1, 50, 0.1, 0.2, 0.15, 1, 1, 1, 10, 10, 10, 1); }},
      {"AUTO_TF_3WDG", 3, false, [](K k) { e_tf3wa_cfg(k, 1, 1, 50, 0.1, 0.2, 0.15, 0, 4, 2, 1, 1); }},
      {"TF_4WDG     ", 4, false, [](K k) { e_tf4w_cfg(k, 1, 50, .1, .1, .1, .1, .1, .1, 0, 9, 9, 9, 9, 1); }},
      {"TF_4WDG     ", 4, false, [](K k) { e_tf4w3_cfg(k, 1, 1, 50, .1, .1, .1, .1, .1, .1, 0, 0, 0, 0, 9, 9, 9, 9, 1); }},
      {"TF_4WDG     ", 4, false, [](K k) { e_tf4w2_cfg(k, 2, 1, 50, .1, .1, .1, .1, .1, .1, 0, 9, 9, 9, 9, 1); }},
      {"TF_NWDG     ", 2, false, [](K k) { e_tfnw1_cfg(k, 2, 1.0, 50.0, x, p, v); }},
      {"N_WDG_TF_CFG", 2, false, [](K k) { n_wdg_tf_cfg(k, 0, 0, 1, 2, 50.0, 1.0, v, "zero.wdg"); }, " ***ERROR** Unrealistic Transformer Leakage Value."},
      {"COUPLED_PI3 ", 3, false, [](K k) { coupled_pi3_tf_cfg(k, 2, 1.0, 0.1, 0.0, 0.05); }},
      {"COUPLED_PI3 ", 3, true, [](K k) { coupled_pi3_tf_cfg(k, 3, 1.0, 0.1, 0.0, 0.05); }, " Coupled PI data kind           3 is not 1 or 2", true},
      {"COUPLED_PI6 ", 6, true, [](K k) { coupled_pi6_tf_cfg(k, 3, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0); }, " Coupled PI data kind           3 is not 1 or 2", true},
      {"COUPLED_PI6 ", 6, false, [](K k) { coupled_pi6_tf_cfg(k, 2, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0); }},
      {"UMEC_TF_2WDG", 2, true, [](K k) { umec2w_cfg(k, 1, 50, 0.1, 10, 10, 1, 1, 1); }},
      {"UMEC_TF_3WDG", 3, true, [](K k) { umec3w_cfg(k, 1, 50, 0.1, 10, 10, 10, 1, 1, 1); }},
      {"UMEC_TF_3WDG", 3, true, [](K k) { umec3w2_cfg(k, 1, 50, 0.1, 0.2, 0.15, 10, 10, 10, 1, 1, 1); }},
      {"UMEC_TF_4WDG", 4, true, [](K k) { umec4w_cfg(k, 1, 50, 0.1, 10, 10, 10, 10, 1, 1, 1); }},
      {"UMEC_TF_3P2W", 6, true, [](K k) { umec6w5l_cfg(k, 1, 1, 50, 0.1, 10, 10, 1, 1, 1, 1, 1); }}};
  const auto i11 = [](K n) { return std::string(11, ' ') + std::to_string(n); };  // " " and %11d
  for (const auto& [tag, windings, umec, call, text, first] : members)
    for (const int mode : {0, 1, 2, 3}) {  // number 2 of one read, number 1 of other windings, of the other core, its own
      const bool past = mode == 0, core = mode == 2 ? !umec : umec;
      if (mode == 3 && text.empty() && !umec) continue;  // formed
      const K has = mode != 1 ? windings : windings == 2 ? 3 : 2;
      SCOPED_TRACE(testing::Message() << tag << windings << " mode " << mode << " on " << has);
      size_tf(6, 1, 1e-4, 1, 2, has);
      e_s5::jset = e_s5::numt(1) = 1;  // its windings' nodes are not needed
      e_s5::msiz(1) = has;
      e_s5::nummag(1) = core ? 1 : 0;
      e_s5tap::tss(1) = core ? -1 : 1;
      tfdata.fill(0.5);  // records a refusal must leave as they are
      for (double& c : rt_config::umectfdata.v) c = 0.5;
      const std::vector<double> before = RecordsAtFirstText::records();
      RecordsAtFirstText console;
      std::ostream out(&console);
      const wakro::ConsoleRedirect redirect(out);
      EXPECT_EQ(wakro_test::fatal_status([&] { call(past ? 2 : 1); }), 2000);
      const std::string why = first || mode == 3 ? (umec && text.empty() ? " ***ERROR** UMEC core type, winding count and branch count do not agree" : text)
                              : mode == 2 ? " Transformer" + i11(1) + (umec ? " is not" : " is") + " a UMEC transformer"
                              : !past ? " Transformer" + i11(1) + " has" + i11(has) + " windings, not" + i11(windings)
                              : umec ? " Transformer" + i11(2) + " is not a UMEC transformer"
                                     : " Transformer number" + i11(2) + " is not one of the" + i11(1) + " transformers read";
      EXPECT_EQ(console.str().rfind(why + "\n =====", 0), 0u) << console.str();
      EXPECT_NE(console.str().find(std::string("Abnormal termination of WAKRO by ") + tag + "\n"), std::string::npos);
      EXPECT_EQ(console.kept, before);
      release_all_and_reset();
    }
  folder.leave();
}

}  // namespace
