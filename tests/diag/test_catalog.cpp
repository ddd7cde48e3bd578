// The message catalogue: counts, placeholder expansion, the fatal rule of the
// data errors, the exit line, and the typed records on the link.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "diag/catalog.h"
#include "diag/quit.h"
#include "fake_exchange.h"
#include "model/fatal.h"
#include "model/fixedtext.h"

using diagtest::Capture;
using diagtest::FakeExchange;
using diagtest::fatal_status;
using diagtest::Msg;
using wakro::MsgArg;

namespace {

const std::string kDataFile = "*** Error in reading of data file! ***\n";

// What outxmsg writes on the console (status -1 when it returns).
std::string console_of(int& status, auto&&... args) {
  Capture cap;
  status = fatal_status([&] { outxmsg(args...); });
  return cap.str();
}

std::string expand(std::string_view text, std::vector<MsgArg> args) {
  return wakro::expand_message(text, args);
}

// A process entry as the real ones work: runs the body, prints the exit line with
// the full status and gives the code the system sees.
int test_entry(std::ostream& os, auto body) {
  int status = 0;
  try {
    body();
  } catch (const wakro::FatalExit& e) {
    status = e.status();
  }
  os << wakro::exit_line("./wakro_case", status);
  return wakro::process_exit_code(status);
}

}  // namespace

TEST(Catalog, CountsTheCodesOfEachCategory) {
  const Catalog c(msg_wakro);
  ASSERT_EQ(c.Categories(), 6);
  const int counts[] = {4, 72, 16, 9, 87, 7};
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(c.Count(k), counts[k - 1]) << k;
  EXPECT_EQ(c.GetText(1, 5), nullptr);
  EXPECT_EQ(c.GetText(0, 1), nullptr);
  EXPECT_EQ(c.GetText(7, 1), nullptr);
  EXPECT_EQ(c.GetText(2, 0), nullptr);
  ASSERT_NE(c.GetText(2, 6), nullptr);
  EXPECT_STREQ(c.GetText(2, 6), "");
  EXPECT_STREQ(c.GetDefaultText(2, 70), "*** End of file reached! ***\n");
  EXPECT_STREQ(c.GetText(6, 7),
               "*** You have a mistake in the SGEN11 arguments! ***\n"
               "    SGEN11 is therefore inoperative for this case ***\n");
}

TEST(Catalog, BuildsOverAnyTableUpToItsNullEntries) {
  const char* const head[] = {"mine", nullptr};
  const char* const one[] = {"one", "a", "", "c", nullptr};
  const char* const two[] = {"two", nullptr};
  const char* const* const table[] = {head, one, two, nullptr, one};
  const Catalog c(table);
  EXPECT_EQ(c.Categories(), 2);
  EXPECT_EQ(c.Count(1), 3);
  EXPECT_EQ(c.Count(2), 0);
  EXPECT_EQ(c.GetText(2, 1), nullptr);
  const char* const* const empty[] = {head, nullptr};
  EXPECT_EQ(Catalog(empty).Categories(), 0);
}

TEST(CatalogConsole, ExpandsPlaceholdersExactly) {
  int st = 0;
  EXPECT_EQ(console_of(st, 1, 2, 5.0), "  WAKRO(tm)  Version 5.00\n");
  EXPECT_EQ(console_of(st, 1, 3, 5, 2, 2024), "\n WAKRO AC & DC Simulation run on 05-02-2024\n");
  EXPECT_EQ(console_of(st, 5, 20, 50), "***  This run is  50% completed ***\n");
  EXPECT_EQ(console_of(st, 4, 5, "max", 3.5, 2),
            "      The maximum PGB # so far = 3.5.\n      This was generated during run #2\n\n\n");
  EXPECT_EQ(console_of(st, 5, 86, 0, 0, 0, 0), "     Total CPU Time: 00:00:00.000\n\n");
  EXPECT_EQ(console_of(st, 3, 3, wakro::FixedText<34>("case1.map")),
            "*** Input file 'case1.map' cannot be read! ***\n"
            "    (File may not exist, or read access denied.)\n");
  EXPECT_EQ(console_of(st, 5, 31, 0.5, -1234.5),
            "\n           +0.500    " + std::string(39, ' ') + "-1.23e+03 \n");
  EXPECT_EQ(console_of(st, 5, 33, 1.5, "label"), "   1.500000label\n");
  EXPECT_EQ(st, -1);
}

TEST(CatalogConsole, EmptyAndMissingTextsPrintNothing) {
  int st = 0;
  EXPECT_EQ(console_of(st, 2, 6), "");
  EXPECT_EQ(console_of(st, 1, 9), "");
  EXPECT_EQ(console_of(st, 9, 1), "");
  EXPECT_EQ(st, -1);
}

TEST(CatalogConsole, PositionsLiteralBracketsAndInlineErrors) {
  int st = 0;
  EXPECT_EQ(console_of(st, 5, 0, "a[[b [2I] [1I] [X] [I]", 1, 2),
            "a[b 2 1 <Format code not support 'X'> <Invalid arg for 'I'>");
  EXPECT_EQ(expand("abc[I", {1}), "abc");  // no closing bracket: the walk ends
  EXPECT_EQ(expand("[S3]|[S]|[S10]|", {"maximum", std::string_view("ab\0cd", 5), "x    "}),
            "max|ab|x|");
  EXPECT_EQ(expand("[I2] [I] [R4%.10f]", {70000, 70000, 0.1}), "4464 70000 0.1000000015");
  EXPECT_EQ(expand("[I%3d]|[I%-4d]|[I%+05d]|[R%.2f]|[R%e]|[R%G]", {7, 7, 7, 2.345, 1.5, 1e-5}),
            "  7|7   |+0007|2.35|1.500000e+00|1E-05");
  EXPECT_EQ(expand("[I]", {2.5}), "<Invalid arg for 'I'>");
}

TEST(CatalogConsole, FloatWidthOfDoublesBeyondTheFloatRange) {
  EXPECT_EQ(expand("[R4]|[R4]|[R4%e]|[R]", {1e300, -1e300, 3.0e38, 1e300}),
            "inf|-inf|3.000000e+38|1e+300");
  EXPECT_EQ(expand("[R4%.9g]", {0.1}), "0.100000001");
}

TEST(CatalogConsole, CallerFormatsAreNeverHandedToPrintf) {
  for (const char* body : {"I%n", "I%s", "R%d", "I%5d%d", "S%*s", "I%", "Id", "R%.300f", "S%ls%"}) {
    const std::string text = std::string("[") + body + "]";
    const MsgArg arg = body[0] == 'I' ? MsgArg(1) : body[0] == 'R' ? MsgArg(1.0) : MsgArg("t");
    EXPECT_EQ(wakro::expand_message(text, std::span<const MsgArg>(&arg, 1)),
              std::string("<Format code not support '") + body + "'>");
  }
  const std::string long_body = "[I%0000000000000000000000000000003d]";  // body of 34 characters
  EXPECT_EQ(expand(long_body, {1}).rfind("<Format code not support", 0), 0u);
  EXPECT_EQ(expand("[S999]", {std::string(300, 'x')}), std::string(255, 'x'));
}

TEST(CatalogConsole, OneTextTakesAtMostTenValues) {
  std::string text;
  for (int k = 0; k < 11; ++k) text += "[I]";
  std::vector<MsgArg> v;
  for (int k = 0; k < 12; ++k) v.emplace_back(k);
  wakro::MsgArgs cursor{v, 0};
  Capture cap;
  OutMsg(5, 0, cursor, text.c_str());
  EXPECT_EQ(cursor.next, 10u);
  EXPECT_EQ(cap.str(), "0123456789<Invalid arg for 'I'>");
}

TEST(CatalogFatal, DataErrorsEndTheRunWithTwoThousandPlusCode) {
  int st = 0;
  EXPECT_EQ(console_of(st, 2, 0, "RUN ABORTED"), kDataFile + "RUN ABORTED");
  EXPECT_EQ(st, 2000);
  const Catalog c(msg_wakro);
  EXPECT_EQ(console_of(st, 2, 35), kDataFile + c.GetText(2, 2) + c.GetText(2, 3));
  EXPECT_EQ(st, 2035);
  EXPECT_EQ(console_of(st, 2, 11, 500, 2),
            kDataFile + "*** You have over 500 nodes in subsystem 2! ***\n");
  EXPECT_EQ(st, 2011);
  EXPECT_EQ(console_of(st, 2, 71), kDataFile + "*** Cannot read the first line (Title)! ***\n");
  EXPECT_EQ(st, 2071);
}

TEST(CatalogFatal, CodesOneToNineAndNegativeReturn) {
  int st = 0;
  EXPECT_EQ(console_of(st, 2, 5), "\n*** Problem in reading offending data line from input file! ***\n\n");
  EXPECT_EQ(st, -1);
  EXPECT_EQ(console_of(st, 2, 4, std::string(80, 'd')),
            "*** The offending line in the data file is: ***\n--> " + std::string(72, 'd') + "\n");
  EXPECT_EQ(st, -1);
  EXPECT_EQ(console_of(st, 2, -3), "");
  EXPECT_EQ(st, -1);
}

TEST(CatalogFatal, EntryPrintsTheFullStatusAndTheSystemSeesAFailure) {
  std::ostringstream os;
  int code = 0;
  {
    Capture cap;
    code = test_entry(os, [] { outxmsg(2, 35); });
  }
  EXPECT_EQ(os.str(), "./wakro_case exiting.  Status code = 2035\n");
  EXPECT_EQ(code, 2);
  os.str("");
  {
    Capture cap;
    code = test_entry(os, [] { outxmsg(2, 48); });  // 2048 & 255 would be 0
  }
  EXPECT_EQ(os.str(), "./wakro_case exiting.  Status code = 2048\n");
  EXPECT_NE(code, 0);
  os.str("");
  code = test_entry(os, [] {});
  EXPECT_EQ(os.str(), "./wakro_case exiting.  Status code = 0\n");
  EXPECT_EQ(code, 0);
}

TEST(CatalogLink, OnlyTheListedNumbersTravelAsTypedRecords) {
  FakeExchange link;
  Capture cap;
  outxmsg(5, 83, 5, 2, 2024);
  outxmsg(3, 3, wakro::FixedText<34>("case1.map"));
  outxmsg(5, 20, 50);  // progress: dropped
  outxmsg(1, 2, 5.0);
  outxmsg(5, 86, 1, 2, 3, 4);
  outxmsg(4, 1, 3);  // multirun texts are not sent either
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(5).i(5).i(83).i(5).i(2).i(2024)));
  EXPECT_EQ(link.sent[1], diagtest::Bytes(Msg().i(5).i(1).i(2).r(5.0)));
  EXPECT_EQ(link.sent[2], diagtest::Bytes(Msg().i(5).i(5).i(86).i(1).i(2).i(3).i(4)));
  EXPECT_EQ(cap.str(), "");
  EXPECT_TRUE(wakro::catalogue_number_sent(3, 3) == false);
  EXPECT_TRUE(wakro::catalogue_number_sent(5, 87));
  EXPECT_FALSE(wakro::catalogue_number_sent(5, 88));
}

TEST(CatalogLink, WarningThreeIsNotInTheListSoItIsDropped) {
  // 3003 is outside 1002, 5040-5043, 5070, 5080-5087.
  FakeExchange link;
  Capture cap;
  outxmsg(3, 3, wakro::FixedText<34>("case1.map"));
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(cap.str(), "");
}

TEST(CatalogLink, FatalTextsAreNeitherPrintedNorSent) {
  FakeExchange link;
  Capture cap;
  EXPECT_EQ(fatal_status([] { outxmsg(2, 0, "RUN ABORTED"); }), 2000);
  EXPECT_EQ(fatal_status([] { outxmsg(2, 12, 9, 9); }), 2012);
  EXPECT_TRUE(link.sent.empty());
  EXPECT_EQ(cap.str(), "");
}

TEST(CatalogLink, SendArgsTakesValuesStrictlyInOrder) {
  FakeExchange link;
  const std::vector<MsgArg> v = {7, 1.5, "abcdef", 9, "t"};
  SendArgs("x [2I] [[ [R] [S3] [X] [I%5d] [S]", std::span<const MsgArg>(v).first(4));
  link.SendMsg();
  SendArgs("[I][R4][S]", std::vector<MsgArg>{"text", 0.1, 3});  // wrong kinds keep the record's shape
  link.SendMsg();
  ASSERT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(7).r(1.5).s("abc")));
  EXPECT_EQ(link.sent[1], diagtest::Bytes(Msg().i(0).r(static_cast<double>(0.1f)).s("")));
}

TEST(CatalogLink, SendArgsWithoutALinkAppendsNothing) {
  ASSERT_EQ(exQuolb, nullptr);
  const std::vector<MsgArg> v = {7, 1e300};
  SendArgs("[I] [R4]", v);  // must not touch a link that is not there
  FakeExchange link;
  SendArgs("[I] [R4]", v);
  link.SendMsg();
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(7).r(std::numeric_limits<double>::infinity())));
}
