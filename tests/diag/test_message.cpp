// Model messages and warnings on the console and on the link, and component ids.
#include <gtest/gtest.h>

#include <string>

#include "diag/catalog.h"
#include "diag/message.h"
#include "fake_exchange.h"
#include "model/e_warn.h"

using diagtest::Capture;
using diagtest::FakeExchange;
using diagtest::Msg;

TEST(MessageConsole, PrefixTextAndIdsInFreeFormat) {
  Capture cap;
  wakro_message(12, 3, 2, 1, "Overload");
  wakro_message(0, 3, 2, 1, "Overload");
  wakro_message(12, 3, 1, 1, "Careful  ");
  wakro_message(12, 3, 0, 1, "Note");
  wakro_message(12, 3, 3, -1, "Note");
  EXPECT_EQ(cap.str(),
            " ***ERROR** Overload[          12 :           3 ]\n"
            " ***ERROR** Overload\n"
            " ***WARN*** Careful  [          12 :           3 ]\n"
            " ***INFO*** Note[          12 :           3 ]\n"
            " ***INFO*** Note\n");
}

TEST(MessageConsole, MultiLineWarningCarriesTheIdsOnItsFirstLineOnly) {
  Capture cap;
  wakro_warn(7, 9, 3, "L1");
  wakro_warn(7, 9, 0, "L2");
  wakro_warn(7, 9, -1, "L3");
  EXPECT_EQ(cap.str(),
            " ***WARN*** L1[           7 :           9 ]\n"
            " ***WARN*** L2\n"
            " ***WARN*** L3\n");
}

TEST(MessageLink, LinesOfOneMessageTravelInOneRecord) {
  FakeExchange link;
  Capture cap;
  wakro_warn(7, 9, 3, "L1");
  wakro_warn(7, 9, 0, "L2");
  EXPECT_TRUE(link.sent.empty());
  wakro_warn(7, 9, -1, "L3");
  wakro_message(12, 3, 2, 1, "Overload  ");
  ASSERT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(14).i(7).i(9).i(1).i(3).s("L1").s("L2").s("L3")));
  EXPECT_EQ(link.sent[1], diagtest::Bytes(Msg().i(14).i(12).i(3).i(2).i(1).s("Overload  ")));
  EXPECT_EQ(cap.str(), "");
}

TEST(MessageLink, TextLimitsOfMessageAndWarning) {
  FakeExchange link;
  wakro_message(1, 1, 0, 1, std::string(600, 'm'));
  wakro_warn(1, 1, 1, std::string(514, 'w'));
  wakro_warn(1, 1, 1, std::string(600, 'v'));
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(14).i(1).i(1).i(0).i(1).s(std::string(512, 'm'))));
  EXPECT_EQ(link.sent[1], diagtest::Bytes(Msg().i(14).i(1).i(1).i(1).i(1).s(std::string(514, 'w'))));
  EXPECT_EQ(link.sent[2], diagtest::Bytes(Msg().i(14).i(1).i(1).i(1).i(1).s(std::string(515, 'v'))));
}

TEST(MessageLink, RecordsStayWholeWhenCallersBreakTheLineOrder) {
  FakeExchange link;
  // A last line without its first line still gets a header.
  wakro_message(1, 2, 0, -1, "orphan");
  // Another link message in the middle of a message sends the open part first.
  wakro_message(1, 2, 2, 2, "A");
  outxmsg(5, 83, 1, 2, 3);
  wakro_message(1, 2, 2, -1, "B");
  // A new first line while a message is open closes the old one.
  wakro_message(4, 4, 1, 3, "C");
  wakro_message(5, 5, 1, 1, "D");
  ASSERT_EQ(link.sent.size(), 6u);
  EXPECT_EQ(link.sent[0], diagtest::Bytes(Msg().i(14).i(1).i(2).i(0).i(1).s("orphan")));
  EXPECT_EQ(link.sent[1], diagtest::Bytes(Msg().i(14).i(1).i(2).i(2).i(2).s("A")));
  EXPECT_EQ(link.sent[2], diagtest::Bytes(Msg().i(5).i(5).i(83).i(1).i(2).i(3)));
  EXPECT_EQ(link.sent[3], diagtest::Bytes(Msg().i(14).i(1).i(2).i(2).i(1).s("B")));
  EXPECT_EQ(link.sent[4], diagtest::Bytes(Msg().i(14).i(4).i(4).i(1).i(3).s("C")));
  EXPECT_EQ(link.sent[5], diagtest::Bytes(Msg().i(14).i(5).i(5).i(1).i(1).s("D")));
  EXPECT_EQ(link.pending(), 0);
}

TEST(ComponentId, SetOnlyWhenBothIdsArePositive) {
  component_id(4, 5);
  EXPECT_EQ(e_warn::comp_id1, 4);
  EXPECT_EQ(e_warn::comp_id2, 5);
  component_id(0, 7);
  component_id(-1, 7);
  component_id(8, 0);
  EXPECT_EQ(e_warn::comp_id1, 4);
  EXPECT_EQ(e_warn::comp_id2, 5);
  component_id(11, 12);
  EXPECT_EQ(e_warn::comp_id1, 11);
  EXPECT_EQ(e_warn::comp_id2, 12);
  e_warn::comp_id1 = e_warn::comp_id2 = 0;
}
