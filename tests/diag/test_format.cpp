// The layout renderer, its field editors and the free-format console writer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

#include "diag/format.h"
#include "diag/listout.h"
#include "model/fixedtext.h"

using wakro::edit_a;
using wakro::edit_e;
using wakro::edit_f;
using wakro::edit_g;
using wakro::edit_i;
using wakro::FmtValue;
using wakro::render_layout;

TEST(FieldEditors, IntegerRightAlignedWithMinimumDigitsAndAsterisks) {
  EXPECT_EQ(edit_i(50, 3), " 50");
  EXPECT_EQ(edit_i(-5, 3), " -5");
  EXPECT_EQ(edit_i(1000, 3), "***");
  EXPECT_EQ(edit_i(-100, 3), "***");
  EXPECT_EQ(edit_i(7, 4, 2), "  07");
  EXPECT_EQ(edit_i(-7, 4, 2), " -07");
  EXPECT_EQ(edit_i(2024, 4, 2), "2024");
  EXPECT_EQ(edit_i(0, 3, 0), "   ");  // Iw.0 of zero is all blanks
  EXPECT_EQ(edit_i(-42, 0), "-42");   // I0: as narrow as needed
  EXPECT_EQ(edit_i(std::numeric_limits<std::int64_t>::min(), 25), "     -9223372036854775808");
}

TEST(FieldEditors, FixedFormRoundsAndDropsTheOptionalZero) {
  EXPECT_EQ(edit_f(3.14159, 8, 3), "   3.142");
  EXPECT_EQ(edit_f(-0.5, 5, 2), "-0.50");
  EXPECT_EQ(edit_f(-0.5, 4, 2), "-.50");
  EXPECT_EQ(edit_f(0.5, 3, 2), ".50");
  EXPECT_EQ(edit_f(123.456, 5, 2), "*****");
  EXPECT_EQ(edit_f(5.0, 3, 1), "5.0");
  EXPECT_EQ(edit_f(7.0, 4, 0), "  7.");
  EXPECT_EQ(edit_f(1.0, 0, 2), "1.00");
  EXPECT_EQ(edit_f(1e300, 12, 6), "************");
  EXPECT_EQ(edit_f(std::nan(""), 6, 2), "   NaN");
  EXPECT_EQ(edit_f(-HUGE_VAL, 9, 2), "-Infinity");
  EXPECT_EQ(edit_f(HUGE_VAL, 5, 2), "  Inf");
}

TEST(FieldEditors, ExponentFormWithTwoAndThreeDigitExponents) {
  EXPECT_EQ(edit_e(12345.678, 12, 4), "  0.1235E+05");
  EXPECT_EQ(edit_e(-0.000123, 11, 3), " -0.123E-03");
  EXPECT_EQ(edit_e(0.0, 10, 3), " 0.000E+00");
  EXPECT_EQ(edit_e(1e150, 10, 3), " 0.100+151");
  EXPECT_EQ(edit_e(1.0, 8, 3), ".100E+01");
  EXPECT_EQ(edit_e(1.0, 7, 3), "*******");
  EXPECT_EQ(edit_e(9.9996, 10, 3), " 0.100E+02");  // rounding carries into the exponent
}

TEST(FieldEditors, ManyDigitsInExponentAndGeneralForm) {
  // Fields asking for more digits than a short scratch buffer holds.
  EXPECT_EQ(edit_e(0.5, 80, 70), "    0.5" + std::string(69, '0') + "E+00");
  EXPECT_EQ(edit_e(-0.375, 80, 70), "   -0.375" + std::string(67, '0') + "E+00");
  EXPECT_EQ(edit_g(0.5, 80, 70), "    0.5" + std::string(69, '0') + "    ");
  // 2**-30 = 9.31322574615478515625E-10 exactly: the digits beyond are zeros.
  EXPECT_EQ(edit_g(std::ldexp(1.0, -30), 90, 80),
            "    0.931322574615478515625" + std::string(59, '0') + "E-09");
  EXPECT_EQ(render_layout("(E999.990)", {1.0}), "   0.1" + std::string(989, '0') + "E+01\n");
}

TEST(FieldEditors, GeneralFormInARoomIsTheSameFieldAndCutsWhatDoesNotFit) {
  // The field edited without the heap equals the one edited with it, over
  // magnitudes that take each form, both signs, non-finite values and widths
  // too narrow for the value.
  wakro::FieldRoom room;
  for (const double x : {0.0, -0.0, 1.25e-4, -6.500000000000001e-05, 0.1, 0.09999999, 9.99999999,
                         1.0e15, -1.0e16, 1.0e17, 123456.789, 1e-300, -1e300, 5e-324,
                         std::nan(""), HUGE_VAL, -HUGE_VAL}) {
    for (const auto& [w, d] : {std::pair{23, 16}, std::pair{10, 3}, std::pair{6, 2},
                               std::pair{64, 32}, std::pair{4, 3}, std::pair{12, 0}}) {
      EXPECT_EQ(edit_g(room, x, w, d), edit_g(x, w, d)) << x << " G" << w << "." << d;
    }
  }
  // Beyond the room: a wider field is cut, far more digits print asterisks.
  EXPECT_EQ(edit_g(room, 1.5, 70, 3), edit_g(1.5, 70, 3).substr(0, 64));
  EXPECT_EQ(edit_g(room, 1.5, 40, 33), edit_g(1.5, 40, 33));
  EXPECT_EQ(edit_g(room, 1.5, 40, 400), std::string(40, '*'));
}

TEST(FieldEditors, GeneralFormPicksFixedOrExponentByRoundedMagnitude) {
  EXPECT_EQ(edit_g(-2.0, 10, 3), " -2.00    ");
  EXPECT_EQ(edit_g(0.0, 10, 3), "  0.00    ");
  EXPECT_EQ(edit_g(60.0, 11, 4), "  60.00    ");
  EXPECT_EQ(edit_g(1.5, 14, 8), " 1.5000000    ");
  EXPECT_EQ(edit_g(0.25, 13, 6), " 0.250000    ");
  EXPECT_EQ(edit_g(1234.5, 10, 3), " 0.123E+04");
  EXPECT_EQ(edit_g(0.01234, 10, 3), " 0.123E-01");
  EXPECT_EQ(edit_g(999.6, 10, 3), " 0.100E+04");   // rounds to 1000: exponent form
  EXPECT_EQ(edit_g(0.09996, 10, 3), " 0.100    ");  // rounds to 0.1: fixed form
  EXPECT_EQ(edit_g(1.0, 4, 3), "****");
}

TEST(FieldEditors, TextCutOnTheRightOrBlanksBefore) {
  EXPECT_EQ(edit_a("ABC", 5), "  ABC");
  EXPECT_EQ(edit_a("ABCDEFG", 3), "ABC");
  EXPECT_EQ(edit_a("X", -1), "X");
}

TEST(Layouts, LiteralsSlashesAndFieldsMakeLines) {
  EXPECT_EQ(render_layout("(' => This run is ',I3,'% complete.')", {50}),
            " => This run is  50% complete.\n");
  EXPECT_EQ(render_layout("(' => This run is ',I3,'% complete.')", {1000}),
            " => This run is ***% complete.\n");
  EXPECT_EQ(render_layout("(/' **** EXECUTION TERMINATING  ****'/)"),
            "\n **** EXECUTION TERMINATING  ****\n\n");
  EXPECT_EQ(render_layout("('IT''S',2X,'OK'//)"), "IT'S  OK\n\n\n");
  EXPECT_EQ(render_layout("(/10X,G10.3,39X,G10.3)", {-2.0, 2.0}),
            "\n           -2.00                                             2.00    \n");
  // Blanks outside quotes and lower-case letters are accepted.
  EXPECT_EQ(render_layout("( 'N=' , i 4 . 2 ,  1 x, a )", {7, "ok"}), "N=  07 ok\n");
}

TEST(Layouts, RepeatGroupsTabsAndTrailingSkips) {
  EXPECT_EQ(render_layout("(' BUSSES: ',3(I3,1X),/'X')", {1, 2, 3}), " BUSSES:   1   2   3\nX\n");
  EXPECT_EQ(render_layout("('ABCDEF',T3,'xy')"), "ABxyEF\n");
  EXPECT_EQ(render_layout("(T5,'Z')"), "    Z\n");
  EXPECT_EQ(render_layout("(3I2)", {1, 2, 3}), " 1 2 3\n");
}

TEST(Layouts, StopsAtTheFirstFieldWithoutAValue) {
  EXPECT_EQ(render_layout("(' A ',I3,' B ',I3,' C')", {1}), " A   1 B \n");
  EXPECT_EQ(render_layout("('X',I3)"), "X\n");
}

TEST(Layouts, RemainingValuesTakeTheLayoutAgainOnNewLines) {
  EXPECT_EQ(render_layout("('V',I2)", {1, 2, 3}), "V 1\nV 2\nV 3\n");
  EXPECT_EQ(render_layout("('H',2(I2))", {1, 2, 3, 4, 5}), "H 1 2\n 3 4\n 5\n");
  // Without a field to take them, surplus values are dropped.
  EXPECT_EQ(render_layout("('only text')", {1, 2}), "only text\n");
}

TEST(Layouts, WrongKindOfValuePrintsAsterisks) {
  EXPECT_EQ(render_layout("(I3,1X,F5.1,1X,A2)", {2.5, 1, 3}), "*** ***** **\n");
}

TEST(Layouts, MalformedLayoutsRenderNothing) {
  std::string out = "kept";
  for (const char* bad : {"(I3", "('abc)", "(Q3)", "I3", "(F8)", "(0X)", "(I99999)", "(T0)", "()x"}) {
    EXPECT_FALSE(wakro::render_layout(out, bad, {})) << bad;
  }
  EXPECT_EQ(out, "kept");
  std::ostringstream os;
  EXPECT_FALSE(wakro::write_layout(os, "(", {}));
  EXPECT_EQ(os.str(), "");
}

TEST(Layouts, NestedRepeatsCannotHangOrExhaustMemory) {
  const std::string skips = render_layout("(1000(1000(1000(1000(1X)))),'end')");
  EXPECT_LE(skips.size(), 70000u);
  const std::string texts = render_layout("(1000(1000(1000('abc'))))");
  EXPECT_LE(texts.size(), 3000010u);
  EXPECT_EQ(texts.substr(0, 6), "abcabc");
}

TEST(ListLine, TextsJoinOtherItemsGetOneBlankIntegersElevenColumns) {
  std::ostringstream os;
  wakro::ListLine(os) << "Too many branches:" << 7 << ">" << 10;
  wakro::ListLine(os) << 7;
  wakro::ListLine(os) << " ";
  wakro::ListLine(os) << "A" << "B" << wakro::FixedText<4>("C");
  EXPECT_EQ(os.str(),
            " Too many branches:           7 >          10\n"
            "           7\n"
            "  \n"
            " ABC   \n");
}

TEST(ListLine, IntegersWiderThanElevenColumnsAreWrittenWhole) {
  std::ostringstream os;
  wakro::ListLine(os) << std::int64_t{123456789012345} << "x";
  wakro::ListLine(os) << std::numeric_limits<std::int64_t>::min();
  wakro::ListLine(os) << std::numeric_limits<std::int32_t>::min() << std::int64_t{-12345678901};
  EXPECT_EQ(os.str(),
            " 123456789012345 x\n"
            " -9223372036854775808\n"
            " -2147483648 -12345678901\n");
}

TEST(ListLine, RealsInShortestExactFormAndLogicals) {
  std::ostringstream os;
  {
    wakro::ListLine line(os);
    line << "delt adjusted to" << 5e-5 << true;
    EXPECT_EQ(line.str(), " delt adjusted to 5e-05 T");
    line.end();
    line << 0.1 << -2.5 << false;
  }
  EXPECT_EQ(os.str(), " delt adjusted to 5e-05 T\n 0.1 -2.5 F\n");
  EXPECT_EQ(wakro::list_real(std::nan("")), "NaN");
}
