// The "TRANSFORMERS:" section reader: forms, placeholders, repeats and every
// refused input, read from a data file in a work folder.
#include <gtest/gtest.h>

#include <string>

#include "files/units.h"
#include "model/e_s0.h"
#include "model/fnames.h"
#include "model/quolbv3.h"
#include "support/temp_dir.h"
#include "tf_fixture.h"
#include "input/reader_hooks.h"
#include "network/hooks.h"
#include "transformers/dsmdyn.h"
#include "transformers/dsmint.h"
#include "transformers/services.h"

namespace {

class Reader : public tftest::SectionReader {
 protected:
  Reader() : SectionReader("wakro_tf_") {}
  nettest::Captured refused(const std::string& body) {
    return nettest::capture([&] {
      read(body);
      ADD_FAILURE() << "read";
    });
  }
};

double gm(std::int32_t i, std::int32_t j) { return e_s0::assign_gm_ptr(1)(i, j); }

// L11 = L22 = 0.2 H, L12 = 0.19 H, dt = 1e-4: Y = [[4000, -3800], [-3800, 4000]] / 1.56e6.
TEST_F(Reader, ImpedanceFormIsStampedInSetUpForm) {
  size_tf(3, 1, 1e-4);
  read("2 /\n1 2 0.0 0.2 /\nC a comment\n3 0 0.0 0.19 0.0 0.2 /\n");
  ASSERT_EQ(e_s5::jset, 1);
  EXPECT_EQ(fnames::section, wakro::FixedText<72>("ENDFILE:"));
  EXPECT_EQ(e_s5::msiz(1), 2);
  EXPECT_EQ(e_s5::numt(1), 1);
  EXPECT_EQ(e_s5::nummag(1), 0);
  EXPECT_EQ(e_s5tap::tss(1), 1);
  EXPECT_EQ(e_s5::mcb(2, 1), 3);
  EXPECT_EQ(e_s5::ncb(2, 1), 0);
  const double a = 4000.0 / 1.56e6, b = 3800.0 / 1.56e6;
  EXPECT_NEAR(gm(1, 2), a, 1e-15);
  EXPECT_NEAR(gm(3, 3), a, 1e-15);
  EXPECT_NEAR(gm(1, 3), b, 1e-15);
  EXPECT_NEAR(gm(2, 3), -b, 1e-15);
  EXPECT_NEAR(gm(1, 1), -b, 1e-15);
  EXPECT_NEAR(gm(2, 2), b, 1e-15);
  EXPECT_NEAR(gm(1, 2), 0.00256410, 5e-9);
  EXPECT_NEAR(e_s5::hm(1, 2, 1), -b, 1e-15);
  EXPECT_EQ(e_s5::sm(1, 1, 1), 1.0);
  EXPECT_DOUBLE_EQ(e_s5tap::lorig(2, 1, 1), 2.0 * 0.19 / 1e-4);
  EXPECT_TRUE(e_s0::assign_filled_ptr(1)(2, 3));
  buildgm();
  for (std::int32_t i = 1; i <= 3; ++i) EXPECT_NEAR(gm(i, i), a, 1e-15) << i;
}

TEST_F(Reader, PlaceholdersAndRepeats) {
  size_tf(8, 1, 1e-4);
  read("2 0 1 /\n1 2 /\n3 0 /\n888 /\n4 5 /\n6 0 /\n888 /\n7 0 /\n8 0 /\n");
  ASSERT_EQ(e_s5::jset, 3);
  EXPECT_EQ(e_s5::numt(1), 3);
  EXPECT_DOUBLE_EQ(e_s5tap::lorig(1, 1, 1), 2.0 * 350.7 / 1e-4);
  EXPECT_DOUBLE_EQ(e_s5tap::lorig(1, 2, 1), 2.0 * 350.8 / 1e-4);
  for (std::int32_t k = 2; k <= 3; ++k) {
    EXPECT_EQ(e_s5::msiz(k), 2);
    EXPECT_EQ(e_s5tap::tss(k), 1);
    for (std::int32_t i = 1; i <= 2; ++i)
      for (std::int32_t j = 1; j <= 2; ++j) {
        EXPECT_EQ(e_s5::hm(i, j, k), e_s5::hm(i, j, 1));
        EXPECT_EQ(e_s5tap::lorig(i, j, k), e_s5tap::lorig(i, j, 1));
      }
  }
  EXPECT_EQ(e_s5::mcb(1, 3), 7);
  EXPECT_EQ(e_s5::mcb(2, 3), 8);
  EXPECT_NEAR(gm(4, 5), e_s5::hm(1, 1, 1), 1e-18);
  EXPECT_NEAR(gm(7, 7), e_s5::hm(1, 1, 1) + e_s5::hm(1, 2, 1), 1e-18);  // both to ground
}

// Admittance forms: Gamma in 1/H, dt = 1e-4, so hm = 5e-5 Gamma without R; a
// single winding with R = 2 ohm and Gamma = 1000: a = 0.05, hm = a / (1 + 2 a).
TEST_F(Reader, AdmittanceForms) {
  size_tf(3, 1, 1e-4);
  read("-2 0 /\n1 0 5000 /\n2 0 -4000 5000 /\n-1 -1 /\n3 0 2.0 1000 /\n");
  ASSERT_EQ(e_s5::jset, 2);
  EXPECT_EQ(e_s5tap::tss(1), -1);
  EXPECT_EQ(e_s5::nummag(1), 0);
  EXPECT_EQ(e_s5::hm(1, 1, 1), 5000 * 1e-4 * 0.5);
  EXPECT_EQ(e_s5::hm(1, 2, 1), -4000 * 1e-4 * 0.5);
  EXPECT_EQ(e_s5tap::rorig(1, 1, 1), 0.0);
  EXPECT_EQ(e_s5::nummag(2), -1);
  EXPECT_NEAR(e_s5::hm(1, 1, 2), 0.05 / 1.1, 1e-16);
  EXPECT_NEAR(e_s5::sm(1, 1, 2), 1.0 - 4.0 * 0.05 / 1.1, 1e-15);
  EXPECT_EQ(e_s5tap::lorig(1, 1, 2), 0.05);
  EXPECT_EQ(e_s5tap::rorig(1, 1, 2), 2.0);
}

TEST_F(Reader, EmptySectionCreatesNothing) {
  size_tf(3, 1, 1e-4);
  read("");
  EXPECT_EQ(e_s5::jset, 0);
  EXPECT_EQ(fnames::section, wakro::FixedText<72>("ENDFILE:"));
}

TEST_F(Reader, RegisteredAsTheSectionReader) {
  size_tf(3, 1, 1e-4);
  wakro::use_transformer_services();
  EXPECT_EQ(wakro::reader_hooks().dsmint, &dsmint);
  EXPECT_EQ(wakro::network_hooks().dsmdyn, &dsmdyn);
}

struct Refusal {
  std::string body;
  std::string text;  // a line the console must hold
};

TEST_F(Reader, RefusedInputEndsTheRunWithItsMessage) {
  const std::string offending = " **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n";
  const Refusal cases[] = {
      {"2 2 /\n", " **** INVALID DATA LINE ****\n"},
      {"0 /\n", " **** INVALID NUMBER OF TRANSFORMER WINDINGS IN SUBSYSTEM   0! ****\n"},
      // Found by fuzzing: the lowest integer passed the zero check.
      {"-2147483648 0 /\n", " **** INVALID NUMBER OF TRANSFORMER WINDINGS IN SUBSYSTEM   0! ****\n"},
      {"888 /\n1 2 /\n", "      CHECK MUTUAL DATA IN SS    0 .\n"},
      {"2 /\n1 1 0.0 0.2 /\n", " **** WINDING NODE NUMBERS ARE NEGATIVE OR ARE BOTH 0 IN TRANSFORMER IN SUBSYSTEM #   1! ****\n"},
      {"2 /\n1 -2 0.0 0.2 /\n", " **** WINDING NODE NUMBERS ARE NEGATIVE OR ARE BOTH 0 IN TRANSFORMER IN SUBSYSTEM #   0! ****\n"},
      {"4 /\n1 2 0.0 0.2 /\n", " **** YOU HAVE OVER    3 PHASES IN A TRANSFORMER IN SUBSYSTEM   1! ****\n"},
      {"1 /\n1 0 0.0 0.2 /\n1 /\n1 0 0.0 0.2 /\n1 /\n1 0 0.0 0.2 /\n",
       " **** YOU HAVE OVER    2 SETS OF MUTUALLY COUPLED BRANCHES! ****\n"},
      {"2 /\n1 0 0.0 0.2 /\nVOLTAGES:\n", " Abrupt end of data in trafo section \n"},
      {"1 /\n0 0 0.0 0.2 /\n", " SS for the Xfmr Nodes are not defined.\n"},
      {"2 /\n1 2 0.0 0.2 /\n3 0 0.0 0.2 0.0 0.2 /\n", "      CHECK MUTUAL DATA IN SS    1 .\n"},  // singular
      {"1 /\n1 0 0.0 x /\n", " **** INVALID DATA LINE ****\n"},
  };
  for (const Refusal& r : cases) {
    SCOPED_TRACE(r.body);
    size_tf(3, 1, 1e-4, 1, 2, 3);
    const nettest::Captured c = refused(r.body);
    EXPECT_EQ(c.status, 2000);
    EXPECT_NE(c.text.find(r.text), std::string::npos) << c.text;
    const bool numbered = r.text[1] == '*' || r.text[2] == ' ';
    const std::string tag = "ERROR: Abnormal termination of WAKRO by DSMINT                            \n";
    EXPECT_NE(c.text.find(numbered ? offending : tag), std::string::npos) << c.text;
    wakro::close_all_units();
    release_all_and_reset();
  }
}

// Found by fuzzing: a header whose winding count is the lowest integer entered a
// unit with no windings (or threw); it is refused as a bad count, and the
// message shows the header line.
TEST_F(Reader, LowestIntegerAsWindingCountIsABadCountShowingItsLine) {
  size_tf(3, 1, 1e-4, 1, 2, 3);
  const nettest::Captured c = refused("-2147483648 0 /\n1 0 0.0 0.2 /\n");
  EXPECT_EQ(c.status, 2000);
  EXPECT_NE(c.text.find(" **** INVALID NUMBER OF TRANSFORMER WINDINGS IN SUBSYSTEM   0! ****\n\n"
                        " **** THE OFFENDING LINE IN THE DATA FILE IS: ****\n"
                        "-2147483648 0 /"),
            std::string::npos)
      << c.text;
  EXPECT_EQ(e_s5::jset, 0);
}

// Two subsystems by the newer map style: node 1 in SS 1, nodes 2 and 3 in SS 2.
TEST_F(Reader, WindingsInTwoSubsystemsAreRefused) {
  for (const std::string& body : {std::string("1 /\n1 2 0.0 0.2 /\n"), std::string("2 /\n1 0 0.0 0.2 /\n2 0 0.0 0.1 0.0 0.2 /\n"),
                                  std::string("1 /\n2 0 0.0 0.2 /\n888 /\n1 0 /\n")}) {
    SCOPED_TRACE(body);
    size_tf(3, 1, 1e-4, 2);
    fnames::tnam = wakro::FixedText<34>("case.map");
    quolbv3::ss_ref_style = wakro::FixedText<3>("NEW");
    if (quolbv3::testss.allocated()) quolbv3::testss.release();
    quolbv3::testss.allocate(3);
    quolbv3::testss(1) = 1;
    quolbv3::testss(2) = quolbv3::testss(3) = 2;
    const nettest::Captured c = refused(body);
    EXPECT_EQ(c.status, 2000);
    EXPECT_NE(c.text.find("Xfmr Nodes are in different SS:"), std::string::npos) << c.text;
    wakro::close_all_units();
    fnames::tnam = wakro::FixedText<34>();
    release_all_and_reset();
  }
}

}  // namespace
