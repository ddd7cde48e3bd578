// Words of data lines and the small text services.
#include <cmath>
#include <string>

#include "files/words.h"
#include "files_fixture.h"

using filestest::pad72;

namespace {
Line72 L(const std::string& s) { return Line72(s); }
std::string W(const Line72& w) { return w.str(); }
}  // namespace

TEST(Words, FirstWordSkipsQuotesAndHashesAndEndsAtBlankEqualsOrQuote) {
  EXPECT_EQ(W(wakro_firstwrd(L(" 'abc'=5"))), pad72("abc"));
  EXPECT_EQ(W(wakro_firstwrd(L("##KEY=1"))), pad72("KEY"));
  EXPECT_EQ(W(wakro_firstwrd(L("  a#b:c rest"))), pad72("a#b:c"));
  EXPECT_EQ(W(wakro_firstwrd(L("\tTIME_STEP\t= 5"))), pad72("TIME_STEP"));
  // Only skipped characters: the line's last character (blank here, '#' there).
  EXPECT_EQ(W(wakro_firstwrd(L(""))), pad72(""));
  EXPECT_EQ(W(wakro_firstwrd(L(std::string(72, '#')))), pad72("#"));
  // A word may run to column 72 and is cut there.
  EXPECT_EQ(W(wakro_firstwrd(L(std::string(80, 'x')))), std::string(72, 'x'));
}

TEST(Words, SecondWordResumesTwoColumnsAfterTheFirst) {
  EXPECT_EQ(W(wakro_secondwrd(L("MAP: 'page.dta'"))), pad72("page.dta"));
  EXPECT_EQ(W(wakro_secondwrd(L("A=B"))), pad72("B"));
  EXPECT_EQ(W(wakro_secondwrd(L("ONLY"))), pad72(""));
  // A first word that runs to column 72 is given again.
  EXPECT_EQ(W(wakro_secondwrd(L(std::string(72, 'k')))), std::string(72, 'k'));
  // A first word ending at column 71 leaves nothing to scan, and nothing past
  // column 72 is looked at.
  const std::string w71 = std::string(71, 'w') + " SECOND";
  EXPECT_EQ(W(wakro_secondwrd(L(w71))), pad72(""));
}

TEST(Words, RightHandSideAndSectionKeys) {
  EXPECT_EQ(W(wakro_rhs72str(L("A=B"))), pad72("B"));
  EXPECT_EQ(W(wakro_rhs72str(L(" STOR =   5 12"))), pad72("5 12"));
  EXPECT_EQ(W(wakro_rhs72str(L("no equals"))), pad72(""));
  // Left-adjusted over tabs as over blanks.
  EXPECT_EQ(W(wakro_rhs72str(L("A=\t \tB C"))), pad72("B C"));
  EXPECT_EQ(W(wakro_rhs72str(L("A= \t"))), pad72(""));
  EXPECT_TRUE(wakro_sectname(L("BRANCHES:")));
  EXPECT_TRUE(wakro_sectname(L("{")));
  EXPECT_TRUE(wakro_sectname(L("}x")));
  EXPECT_TRUE(wakro_sectname(L("a:b")));
  EXPECT_FALSE(wakro_sectname(L("DATA")));
  EXPECT_FALSE(wakro_sectname(L("")));
}

TEST(Words, IncludeNamesAndQuotedFileNames) {
  EXPECT_EQ(W(wakro_inclname(L("INCLUDE 'sub dir.dat'"))), pad72("sub dir.dat"));
  EXPECT_EQ(W(wakro_inclname(L("INCLUDE inc.dat, more"))), pad72("inc.dat"));
  EXPECT_EQ(W(wakro_inclname(L("INCLUDE"))), pad72(""));

  Line72 name("kept");
  std::ostringstream out;
  {
    wakro::ConsoleRedirect r(out);
    wakro_getfname(L("FILE = \"a.tlo\" rest"), name);
    EXPECT_EQ(W(name), pad72("a.tlo"));
    wakro_getfname(L("no quote"), name);
    wakro_getfname(L("open 'quote"), name);
  }
  EXPECT_EQ(W(name), pad72("a.tlo"));
  EXPECT_EQ(out.str(), " GET_FNAME 01: Cannot extract filename from " + pad72("no quote") + "\n" +
                           " GET_FNAME 02: Cannot extract filename from " + pad72("open 'quote") +
                           "\n");
}

TEST(Words, LengthsBlanksAndCleaning) {
  EXPECT_EQ(getdl("abc   ", 6), 3);
  EXPECT_EQ(getdl("abc   ", 2), 2);
  EXPECT_EQ(getdl("      ", 6), 0);
  EXPECT_EQ(getdl("abc", 0), 0);
  EXPECT_EQ(W(initstr72()), std::string(72, ' '));
  EXPECT_FALSE(notblank(L("")));
  EXPECT_TRUE(notblank(L("   x")));

  EXPECT_NEAR(dclean(123.456789012), 123.45679, 123.45679 * 1e-15);
  EXPECT_NEAR(dclean(-1.23456789e-4), -1.2345679e-4, 1.2345679e-4 * 1e-15);
  EXPECT_EQ(dclean(1e-31), 1e-31);
  EXPECT_TRUE(std::isinf(dclean(INFINITY)));
  EXPECT_TRUE(std::isnan(dclean(NAN)));
}
