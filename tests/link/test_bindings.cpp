// The ex… bindings over a real link to the scripted peer, extract, and the
// field conversions.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

#include "link/bindings.h"
#include "link/exchange_tcp.h"
#include "support/scripted_peer.h"

namespace {

using wakro_test::ScriptedPeer;
using wakro_test::Watchdog;

// Makes a connected link the design-environment link for one test.
class BindingsOverPeer : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(link.Connect("127.0.0.1", peer.port()));
    ASSERT_TRUE(peer.accept());
    ASSERT_TRUE(peer.sendKey(false));
    ASSERT_TRUE(peer.sendFrame(peer.frame().i(0)));  // lets the link take the key
    ASSERT_TRUE(link.RecvMsg(true));
    exQuolb = &link;
  }
  void TearDown() override { exQuolb = nullptr; }

  ScriptedPeer peer;
  ExchangeTcp link;
};

TEST_F(BindingsOverPeer, PutsArriveAsTypedValues) {
  Watchdog dog("PutsArriveAsTypedValues", 20);
  const std::string longText(600, 'L');
  char field[6] = {'a', 'b', ' ', ' ', 'c', 'd'};  // a fixed field: no NUL
  exputi(0, -42);
  exputl(0, true);
  exputl(0, false);
  exputr(0, 0.1);
  exputc(0, 1.5, -2.0);
  exputg(0, 3.14159);
  exputg(0, 123456.0);
  exputg(0, 0.0001);
  exputg(0, -0.5);
  exputs(0, "plain");
  exputs(0, longText.c_str());
  exputs(0, std::string_view(field, 6));
  exputs(0, std::string_view("in\0side", 7));
  exsend(0);
  auto r = peer.recvFrame();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->i(), -42);
  EXPECT_EQ(r->i(), 1);
  EXPECT_EQ(r->i(), 0);
  EXPECT_EQ(r->d(), 0.1);
  EXPECT_EQ(r->d(), 1.5);
  EXPECT_EQ(r->d(), -2.0);
  EXPECT_EQ(r->s(), "3.142");
  EXPECT_EQ(r->s(), "1.235e+05");
  EXPECT_EQ(r->s(), "0.0001");
  EXPECT_EQ(r->s(), "-0.5");
  EXPECT_EQ(r->s(), "plain");
  EXPECT_EQ(r->s(), std::string(515, 'L'));
  EXPECT_EQ(r->s(), "ab  cd");
  EXPECT_EQ(r->s(), "in");
  EXPECT_TRUE(r->atEnd());
  EXPECT_FALSE(r->overrun());
}

TEST_F(BindingsOverPeer, ExputgIgnoresTheProcessLocale) {
  const char* saved = std::setlocale(LC_NUMERIC, nullptr);
  const std::string keep = saved ? saved : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  exputg(0, 2.5);
  std::setlocale(LC_NUMERIC, keep.c_str());
  exsend(0);
  auto r = peer.recvFrame();
  ASSERT_TRUE(r);
  EXPECT_EQ(r->s(), "2.5");
}

TEST_F(BindingsOverPeer, GetsTakeValuesInOrderAndCutTexts) {
  Watchdog dog("GetsTakeValuesInOrderAndCutTexts", 20);
  const std::string longText(600, 'x');
  ASSERT_TRUE(peer.sendFrame(peer.frame().i(17).d(-3.25).d(1.0).d(2.0).s(longText).s(longText).s("skip").s("hello")));
  EXPECT_TRUE(exdataw(0) || wakro_test::waitUntil([] { return exdataw(0); }, 2000));
  ASSERT_TRUE(exrecv(0, true));
  std::int32_t i = 0;
  double r = 0, re = 0, im = 0;
  exgeti(0, i);
  exgetr(0, r);
  exgetc(0, re, im);
  EXPECT_EQ(i, 17);
  EXPECT_EQ(r, -3.25);
  EXPECT_EQ(re, 1.0);
  EXPECT_EQ(im, 2.0);

  char narrow[35];
  std::memset(narrow, '#', sizeof narrow);
  exgets(0, 34, narrow);
  EXPECT_EQ(std::string(narrow, 34), std::string(34, 'x'));
  EXPECT_EQ(narrow[34], '#');  // nothing written beyond the field

  std::string wide(601, '#');
  exgets(0, 600, wide.data());
  EXPECT_EQ(wide.substr(0, 511), std::string(511, 'x'));
  EXPECT_EQ(wide.substr(511, 89), std::string(89, ' '));
  EXPECT_EQ(wide[600], '#');

  char none[4] = {'#', '#', '#', '#'};
  exgets(0, 0, none);  // consumes the text, writes nothing
  EXPECT_EQ(std::string(none, 4), "####");
  char word[8];
  exgets(0, 8, word);
  EXPECT_EQ(std::string(word, 8), "hello   ");
  EXPECT_FALSE(exrecv(0, false));
}

TEST(Bindings, WithoutALinkNothingHappens) {
  ASSERT_EQ(exQuolb, nullptr);
  EXPECT_EQ(exLink(0), nullptr);
  EXPECT_FALSE(exrecv(0, true));
  EXPECT_FALSE(exdataw(0));
  std::int32_t i = 5;
  double r = 2.5, im = 1.5;
  char f[3] = {'a', 'b', 'c'};
  exgeti(0, i);
  exgetr(0, r);
  exgetc(0, r, im);
  exgets(0, 3, f);
  exputi(0, 1);
  exputs(0, "x");
  exsend(0);
  EXPECT_EQ(i, 5);
  EXPECT_EQ(r, 2.5);
  EXPECT_EQ(im, 1.5);
  EXPECT_EQ(std::string(f, 3), "abc");
}

TEST_F(BindingsOverPeer, OnlyIndexZeroAddressesTheLink) {
  EXPECT_EQ(exLink(0), &link);
  EXPECT_EQ(exLink(1), nullptr);
  EXPECT_EQ(exLink(-1), nullptr);
  const int before = link.SendBuffer().position;
  exputi(1, 7);
  exputr(2, 1.0);
  exsend(1);
  EXPECT_EQ(link.SendBuffer().position, before);
}

TEST(Bindings, ExtractTakesBitFields) {
  const std::int32_t code = (3 << 24) | (16 << 16) | 42;
  EXPECT_EQ(extract(code, 24, 7), 3);
  EXPECT_EQ(extract(code, 16, 8), 16);
  EXPECT_EQ(extract(code, 0, 16), 42);
  EXPECT_EQ(extract(code, 0, 24), (16 << 16) | 42);
  // The shift is arithmetic: a negative value keeps its sign bits above.
  EXPECT_EQ(extract(-1, 24, 7), 127);
  EXPECT_EQ(extract(-256, 4, 32), -16);
  EXPECT_EQ(extract(0x7FFFFFFF, 0, 31), 0x7FFFFFFF);
  EXPECT_EQ(extract(-1, 0, 31), 0x7FFFFFFF);
  // Out-of-range counts and positions are limited, never undefined.
  EXPECT_EQ(extract(code, 0, 0), 0);
  EXPECT_EQ(extract(code, 0, -3), 0);
  EXPECT_EQ(extract(code, 40, 8), 0);
  EXPECT_EQ(extract(-1, 40, 8), 255);  // limited to bit 31: all sign bits
  EXPECT_EQ(extract(code, -5, 8), 42);
  EXPECT_EQ(extract(code, 0, 64), code);
}

TEST(Bindings, FieldTextConversions) {
  char out[16];
  StrF2C(out, "ab      ", 8);
  EXPECT_STREQ(out, "ab");
  StrF2C(out, "ab\0     ", 8);
  EXPECT_STREQ(out, "ab");
  StrF2C(out, "        ", 8);
  EXPECT_STREQ(out, "");
  StrF2C(out, "a b  ", 5);
  EXPECT_STREQ(out, "a b");
  StrF2C(out, "ab  \0", 4);  // NUL right after a full field: blanks dropped
  EXPECT_STREQ(out, "ab");
  StrF2C(out, "ab \0xx", 6);  // stopped at a NUL: the text stays as it was
  EXPECT_STREQ(out, "ab ");
  StrF2C(out, "abcdefgh", 4);
  EXPECT_STREQ(out, "abcd");
  StrF2C(out, "whole", 0);
  EXPECT_STREQ(out, "whole");

  char field[8];
  std::memset(field, '#', sizeof field);
  StrC2F(field, "abc", 6);
  EXPECT_EQ(std::string(field, 8), "abc   ##");
  StrC2F(field, "abcdefghij", 6);
  EXPECT_EQ(std::string(field, 8), "abcdef##");
  StrC2F(field, "", 3);
  EXPECT_EQ(std::string(field, 8), "   def##");
  StrC2F(field, "xy", -1);
  EXPECT_STREQ(field, "xy");
}

TEST(Bindings, FieldNumberConversions) {
  unsigned char buf[8] = {};
  IntC2F(buf, 2, 70000);
  EXPECT_EQ(IntF2C(buf, 2), 4464);
  IntC2F(buf, 2, -2);
  EXPECT_EQ(IntF2C(buf, 2), -2);
  EXPECT_EQ(buf[2], 0);  // only two bytes written
  IntC2F(buf, 4, -123456789);
  EXPECT_EQ(IntF2C(buf, 4), -123456789);
  EXPECT_EQ(IntF2C(buf, 8), -123456789);

  DblC2F(buf, 4, 0.1);
  EXPECT_EQ(DblF2C(buf, 4), static_cast<double>(0.1f));
  EXPECT_NE(DblF2C(buf, 4), 0.1);
  DblC2F(buf, 8, 0.1);
  EXPECT_EQ(DblF2C(buf, 8), 0.1);

  const unsigned char logical[4] = {0, 1, 1, 1};
  EXPECT_EQ(BoolF2C(logical, 4), 0);
  const unsigned char truth[4] = {0xFF, 0, 0, 0};
  EXPECT_EQ(BoolF2C(truth, 4), 0xFF);
}

}  // namespace
