// Formation of the winding matrices from a hand-over record and their stamp into
// the set-up form of the conductance matrix, against hand-worked values.
#include <gtest/gtest.h>

#include "model/e_s0.h"
#include "model/e_warn.h"
#include "tf_fixture.h"
#include "transformers/settfparm.h"

namespace {

using tftest::Transformers;

double gm(std::int32_t i, std::int32_t j) { return e_s0::assign_gm_ptr(1)(i, j); }

// R = diag(1, 1) ohm, L = [[0.1, 0.09], [0.09, 0.1]] H, dt = 1e-4 s: R + 2L/dt =
// [[2001, 1800], [1800, 2001]], its inverse [[2001, -1800], [-1800, 2001]]/764001,
// and sm = I - 2 Y R.
TEST_F(Transformers, InductanceFormGivesInverseAndCurrentHistoryMatrix) {
  size_tf(4, 1, 1e-4);
  std::int32_t k = add_unit(1, {{1, 2}, {3, 4}});
  record2(1.0, 1.0, 0.1, 0.09, 0.1);
  std::int32_t kind = 2;
  wakro_settfparm(k, kind);
  const double det = 764001.0;
  EXPECT_NEAR(e_s5::hm(1, 1, k), 2001.0 / det, 1e-15);
  EXPECT_NEAR(e_s5::hm(2, 2, k), 2001.0 / det, 1e-15);
  EXPECT_NEAR(e_s5::hm(1, 2, k), -1800.0 / det, 1e-15);
  EXPECT_NEAR(e_s5::hm(2, 1, k), -1800.0 / det, 1e-15);
  EXPECT_NEAR(e_s5::sm(1, 1, k), 0.99476179, 5e-9);
  EXPECT_NEAR(e_s5::sm(1, 2, k), 0.00471204, 5e-9);
  EXPECT_NEAR(e_s5::sm(1, 1, k), 1.0 - 2.0 * 2001.0 / det, 1e-14);
  EXPECT_NEAR(e_s5::sm(2, 1, k), 2.0 * 1800.0 / det, 1e-14);
  EXPECT_DOUBLE_EQ(e_s5tap::lorig(1, 2, k), 2.0 * 0.09 / 1e-4);
  EXPECT_DOUBLE_EQ(e_s5tap::rorig(2, 2, k), 1.0);
  EXPECT_EQ(e_s5::hm(3, 3, k), 0.0);  // beyond the windings
  EXPECT_EQ(e_s5::sm(3, 3, k), 0.0);
}

// Kind 1 with R = 0: (dt/2) Gamma exactly, and sm = I exactly.
TEST_F(Transformers, InverseInductanceWithoutResistanceIsHalfStepGamma) {
  size_tf(3, 1, 5e-5);
  std::int32_t k = add_unit(1, {{1, 0}, {2, 3}});
  record2(0.0, 0.0, 1861.6845354606, -145.6970506013, 11.4023778731);
  std::int32_t kind = 1;
  wakro_settfparm(k, kind);
  EXPECT_EQ(e_s5::hm(1, 1, k), 5e-5 * 0.5 * 1861.6845354606);
  EXPECT_EQ(e_s5::hm(1, 2, k), 5e-5 * 0.5 * -145.6970506013);
  EXPECT_EQ(e_s5::hm(2, 2, k), 5e-5 * 0.5 * 11.4023778731);
  EXPECT_EQ(e_s5::sm(1, 1, k), 1.0);
  EXPECT_EQ(e_s5::sm(2, 2, k), 1.0);
  EXPECT_EQ(e_s5::sm(1, 2, k), 0.0);
}

// Kind 1 with resistance: A (I + R A)^-1 for a single winding is a / (1 + r a).
TEST_F(Transformers, InverseInductanceWithResistanceIsSeriesCombination) {
  size_tf(2, 1, 1e-4);
  std::int32_t k = add_unit(1, {{1, 2}});
  rt_config::tfdata(1, 1) = 2.0;
  rt_config::tfdata(2, 1) = 1000.0;  // a = 0.05 S
  wakro_settfparm(k, 1, "TEST", 1);
  EXPECT_NEAR(e_s5::hm(1, 1, k), 0.05 / 1.1, 1e-16);
  EXPECT_NEAR(e_s5::sm(1, 1, k), 1.0 - 2.0 * 2.0 * 0.05 / 1.1, 1e-15);
  EXPECT_NEAR(gm(1, 2), 0.05 / 1.1, 1e-16);
}

// Winding 1 between nodes 1 and 2, winding 2 from node 3 to ground, L11 = L22 =
// 0.2 H, L12 = 0.19 H, dt = 1e-4 s: Y = [[4000, -3800], [-3800, 4000]]/1.56e6.
// Set-up form: GM(1,2) = GM(3,3) = 4000/1.56e6, GM(1,3) = -GM(2,3) = 3800/1.56e6,
// GM(1,1) = -GM(2,2) = -3800/1.56e6; after the build every diagonal is the
// column sum 4000/1.56e6.
TEST_F(Transformers, StampInSetUpFormAndAfterBuild) {
  size_tf(3, 1, 1e-4);
  std::int32_t k = add_unit(1, {{1, 2}, {3, 0}});
  const double a = 4000.0 / 1.56e6, b = 3800.0 / 1.56e6;
  record2(0.0, 0.0, 0.7, 0.3, 0.5);  // other values first
  wakro_settfparm(k, 2, "TEST", 2);
  record2(0.0, 0.0, 0.2, 0.19, 0.2);
  wakro_settfparm(k, 2, "TEST", 2);
  EXPECT_NEAR(gm(1, 2), a, 1e-15);
  EXPECT_NEAR(gm(2, 1), a, 1e-15);
  EXPECT_NEAR(gm(3, 3), a, 1e-15);
  EXPECT_NEAR(gm(1, 3), b, 1e-15);
  EXPECT_NEAR(gm(3, 1), b, 1e-15);
  EXPECT_NEAR(gm(2, 3), -b, 1e-15);
  EXPECT_NEAR(gm(1, 1), -b, 1e-15);
  EXPECT_NEAR(gm(2, 2), b, 1e-15);
  EXPECT_NEAR(gm(1, 2), 0.00256410, 5e-9);
  EXPECT_NEAR(gm(1, 3), 0.00243590, 5e-9);
  EXPECT_TRUE(e_s0::assign_filled_ptr(1)(1, 3));
  buildgm();
  for (std::int32_t i = 1; i <= 3; ++i) EXPECT_NEAR(gm(i, i), a, 1e-15) << i;
  // Once formed, the conductance to ground of every node is as read before.
  EXPECT_NEAR(ideal::gms(1, 1), -b, 1e-15);
  EXPECT_NEAR(ideal::gms(3, 1), a, 1e-15);
}

TEST_F(Transformers, SingularInductanceIsUnrealisable) {
  size_tf(4, 1, 1e-4);
  std::int32_t k = add_unit(1, {{1, 2}, {3, 4}});
  record2(0.0, 0.0, 1.0, 1.0, 1.0);
  e_warn::comp_id1 = 0;
  const nettest::Captured c = nettest::capture([&] { wakro_settfparm(k, 2, "TF_2WDG     ", 2); });
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find(" ***ERROR** Unrealisable Transformer Leakage Values\n"), std::string::npos) << c.text;
  EXPECT_NE(c.text.find("ERROR: Abnormal termination of WAKRO by TRANSFORMER \n"), std::string::npos)
      << c.text;
}

TEST_F(Transformers, SingularCopperLossFormIsUnrealisable) {
  size_tf(2, 1, 1e-4);
  std::int32_t k = add_unit(1, {{1, 2}});
  rt_config::tfdata(1, 1) = -1.0;
  rt_config::tfdata(2, 1) = 2e4;  // a = 1: I + R A = 0
  const nettest::Captured c = nettest::capture([&] { wakro_settfparm(k, 1, "TEST", 1); });
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find("Unrealisable Transformer Leakage or Copper loss Values"), std::string::npos);
}

TEST_F(Transformers, NaNRecordNeverReachesTheMatrix) {
  size_tf(2, 1, 1e-4);
  std::int32_t k = add_unit(1, {{1, 2}});
  rt_config::tfdata(1, 1) = 0.0;
  rt_config::tfdata(2, 1) = std::nan("");
  const nettest::Captured c = nettest::capture([&] {
    wakro_settfparm(k, 2, "TEST", 1);
    ADD_FAILURE() << "a NaN inductance was formed";
  });
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find("Unrealisable Transformer Leakage Values"), std::string::npos);
}

// Every refused call ends under the caller's tag before anything is written
// (a fatal stop releases the case, so each call gets a fresh one).
TEST_F(Transformers, RefusedCallsEndUnderTheCallersTag) {
  struct Call {
    std::int32_t k, kind, windings, tss;
    bool built;
  };
  for (const Call& call : {Call{0, 2, 2, 1, false}, Call{2, 2, 2, 1, false}, Call{1, 3, 2, 1, false},
                           Call{1, 0, 2, 1, false}, Call{1, 2, 3, 1, false}, Call{1, 2, 2, 0, false},
                           Call{1, 2, 2, 1, true}}) {
    SCOPED_TRACE(testing::Message() << call.k << " " << call.kind << " " << call.windings << " "
                                    << call.tss << " " << call.built);
    size_tf(4, 1, 1e-4);
    const std::int32_t k = add_unit(1, {{1, 2}, {3, 4}});
    e_s5tap::tss(k) = call.tss;
    record2(0.0, 0.0, 0.2, 0.19, 0.2);
    if (call.built) buildgm();
    const nettest::Captured c = nettest::capture([&] {
      wakro_settfparm(call.k, call.kind, "TF_2WDG     ", call.windings);
      ADD_FAILURE() << "formed";
    });
    EXPECT_EQ(c.status, 2000);
    EXPECT_NE(c.text.find("ERROR: Abnormal termination of WAKRO by TF_2WDG     \n"), std::string::npos)
        << c.text;
    release_all_and_reset();
  }
}

}  // namespace
