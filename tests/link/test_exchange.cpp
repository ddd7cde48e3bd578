// Typed buffers, byte reversal, the key test and bounded reads of the message
// link, on an in-memory link (no socket).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "link/exchange.h"
#include "support/scripted_peer.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A link whose messages come from a queue and whose sent messages are kept.
class MemoryExchange : public Exchange {
 public:
  void SendKey() override {
    swap_ = false;
    keyChecked_ = true;
  }
  void RecvKey() override {
    swap_ = false;
    keyChecked_ = false;
  }
  void SendMsg() override {
    sent.emplace_back(send_.data.begin(), send_.data.begin() + send_.position);
    send_.position = 0;
  }
  bool RecvMsg(bool) override {
    if (inbox.empty()) return false;
    recv_.Assign(inbox.front().data(), static_cast<std::int32_t>(inbox.front().size()));
    inbox.pop_front();
    return true;
  }
  int DataWaiting() const override { return inbox.empty() ? 0 : static_cast<int>(inbox.front().size()); }
  bool isDataWaiting() override { return !inbox.empty(); }

  std::deque<Bytes> inbox;
  std::vector<Bytes> sent;
};

Bytes key(std::int32_t k, double v, bool swapped) { return wakro_test::keyBlock(k, v, swapped); }

// Runs the key test on a block and returns what it wrote to standard error.
std::string keyTestOutput(MemoryExchange& x, const Bytes& block, bool* accepted = nullptr) {
  x.RecvBuffer().Assign(block.data(), static_cast<std::int32_t>(block.size()));
  testing::internal::CaptureStderr();
  const bool ok = x.KeyTest();
  if (accepted) *accepted = ok;
  return testing::internal::GetCapturedStderr();
}

TEST(ExchangeKey, NativeAndSwappedKeysSetTheSwapFlag) {
  MemoryExchange native;
  bool ok = false;
  EXPECT_EQ(keyTestOutput(native, key(0x12345678, 3.14159265359, false), &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(native.KeyChecked());
  EXPECT_FALSE(native.Swapped());

  MemoryExchange swapped;
  EXPECT_EQ(keyTestOutput(swapped, key(0x12345678, 3.14159265359, true), &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(swapped.Swapped());
  // Every later number goes out reversed both ways; texts do not.
  swapped << std::int32_t{7} << 2.5 << "ab";
  swapped.SendMsg();
  const Bytes expect = {0, 0, 0, 7, 0x40, 0x04, 0, 0, 0, 0, 0, 0, 'a', 'b', 0};
  EXPECT_EQ(swapped.sent.back(), expect);
  swapped.inbox.push_back(expect);
  ASSERT_TRUE(swapped.RecvMsg(false));
  std::int32_t i = 0;
  double d = 0;
  std::string s;
  swapped >> i >> d >> s;
  EXPECT_EQ(i, 7);
  EXPECT_EQ(d, 2.5);
  EXPECT_EQ(s, "ab");
}

TEST(ExchangeKey, RefusedKeysReportExactTextsAndEndTheLink) {
  struct Case {
    std::int32_t key;
    const char* text;
  };
  const Case cases[] = {
      {0x56781234, "Exchange Error: Word reversal not supported"},
      {0x34127856, "Exchange Error: Word-byte reversal not supported"},
      {0x11111111, "Exchange Error: Bad key value received."},
      {0, "Exchange Error: Bad key value received."},
  };
  for (const Case& c : cases) {
    MemoryExchange x;
    bool ok = true;
    EXPECT_EQ(keyTestOutput(x, key(c.key, 3.14159265359, false), &ok), c.text);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(x.KeyChecked());
    EXPECT_TRUE(x.Broken());
    EXPECT_FALSE(x.Swapped());
  }
  // A block shorter than 12 bytes reads as zeros: a bad key, not a crash.
  MemoryExchange shortBlock;
  EXPECT_EQ(keyTestOutput(shortBlock, Bytes{0x78, 0x56}), "Exchange Error: Bad key value received.");
}

TEST(ExchangeKey, BadFloatingPointIsReportedButTheLinkStaysInUse) {
  MemoryExchange x;
  bool ok = false;
  EXPECT_EQ(keyTestOutput(x, key(0x12345678, 3.14159265359 + 2e-11, false), &ok),
            "Exchange Error: Bad floating point format");
  EXPECT_TRUE(ok);
  EXPECT_TRUE(x.KeyChecked());
  EXPECT_FALSE(x.Broken());
  // Within the tolerance nothing is said.
  MemoryExchange near;
  EXPECT_EQ(keyTestOutput(near, key(0x12345678, 3.14159265359 + 5e-12, true)), "");
  EXPECT_TRUE(near.Swapped());
}

TEST(ExchangeBuffer, MixedValuesRoundTripAndGrowTheBuffer) {
  MemoryExchange x;
  x.Init(true);  // a sender: position 4, key "sent"
  EXPECT_EQ(x.SendBuffer().position, 4);
  EXPECT_EQ(x.SendBuffer().capacity, 4096);
  EXPECT_EQ(x.SendBuffer().increment, 512);
  const std::string big(5000, 'x');
  x << std::int32_t{-1} << -0.0 << "" << big.c_str() << std::int32_t{2147483647};
  EXPECT_EQ(x.SendBuffer().position, 4 + 4 + 8 + 1 + 5001 + 4);
  // Growth is to exactly position + n + 16 for the append that overflowed.
  EXPECT_EQ(x.SendBuffer().capacity, 4 + 4 + 8 + 1 + 5001 + 16);
  EXPECT_EQ(static_cast<std::size_t>(x.SendBuffer().capacity), x.SendBuffer().data.size());
  x.SendMsg();
  const Bytes& msg = x.sent.back();
  EXPECT_EQ(msg[4 + 4 + 8], 0);  // the empty text is one NUL byte
  x.inbox.emplace_back(msg.begin() + 4, msg.end());
  ASSERT_TRUE(x.RecvMsg(true));
  std::int32_t a = 0, b = 0;
  double z = 1.0;
  std::string empty = "?", text;
  x >> a >> z >> empty >> text >> b;
  EXPECT_EQ(a, -1);
  EXPECT_EQ(z, 0.0);
  EXPECT_TRUE(std::signbit(z));
  EXPECT_EQ(empty, "");
  EXPECT_EQ(text, big);
  EXPECT_EQ(b, 2147483647);
  EXPECT_FALSE(x.RecvBuffer().overrun);
}

TEST(ExchangeBuffer, ReadsNeverGoPastTheMessage) {
  MemoryExchange x;
  // int 5, then a 20-character text, then a text without its NUL.
  Bytes msg = {5, 0, 0, 0};
  for (char c : std::string("abcdefghijklmnopqrst")) msg.push_back(static_cast<unsigned char>(c));
  msg.push_back(0);
  msg.push_back('u');
  msg.push_back('v');
  x.inbox.push_back(msg);
  ASSERT_TRUE(x.RecvMsg(false));
  std::int32_t i = 0;
  x >> i;
  EXPECT_EQ(i, 5);
  // An 8-byte destination takes 7 characters and the NUL, and the read
  // position still moves past the whole text.
  char small[8];
  std::memset(small, '#', sizeof small);
  x >> small;
  EXPECT_STREQ(small, "abcdefg");
  EXPECT_FALSE(x.RecvBuffer().overrun);
  std::string unterminated;
  x >> unterminated;
  EXPECT_EQ(unterminated, "uv");
  EXPECT_TRUE(x.RecvBuffer().overrun);
  // Past the end: zeros, never stale bytes.
  std::int32_t j = 99;
  double d = 9.9;
  std::string s = "stale";
  x >> j >> d >> s;
  EXPECT_EQ(j, 0);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(s, "");
  EXPECT_EQ(x.RecvBuffer().position, x.RecvBuffer().size);

  // A short second message does not show the first one's bytes.
  x.inbox.push_back(Bytes{1, 0});
  ASSERT_TRUE(x.RecvMsg(false));
  EXPECT_FALSE(x.RecvBuffer().overrun);
  x >> j;
  EXPECT_EQ(j, 0);
  EXPECT_TRUE(x.RecvBuffer().overrun);
}

TEST(ExchangeBuffer, SizeChecksRefuseNegativeAndHugeSizes) {
  Exchange::Buffer b;
  EXPECT_FALSE(b.CheckSize(-1));
  EXPECT_FALSE(b.CheckSize(Exchange::kMaxMessage + 1));
  b.position = 100;
  EXPECT_FALSE(b.CheckSize(Exchange::kMaxMessage - 99));
  EXPECT_EQ(b.capacity, 4096);
  EXPECT_TRUE(b.CheckSize(3996));  // exactly fits: no growth
  EXPECT_EQ(b.capacity, 4096);
  EXPECT_TRUE(b.CheckSize(3997));
  EXPECT_EQ(b.capacity, 100 + 3997 + 16);
  const int before = b.position;
  const char c = 'q';
  b.Insert(&c, -4, false);
  EXPECT_TRUE(b.overrun);
  EXPECT_EQ(b.position, before);
  EXPECT_FALSE(b.Assign(&c, -1));
  EXPECT_EQ(b.size, 0);
}

TEST(ExchangeBuffer, ManyAppendsStayLinear) {
  Exchange::Buffer b;
  int reallocations = 0;
  const unsigned char* last = b.data.data();
  for (int k = 0; k < 100000; ++k) {
    const double v = k;
    b.Insert(&v, 8, false);
    // Every growth is exact: 8 more bytes than the position plus 16.
    if (b.capacity > 4096) {
      ASSERT_LE(b.capacity, b.position + 16);
    }
    if (b.data.data() != last) {
      ++reallocations;
      last = b.data.data();
    }
  }
  EXPECT_EQ(b.position, 800000);
  // From 4096 the capacity goes 4120, 4144, ... (every third append adds 24):
  // the last growth, at position 799984, gives 799984 + 8 + 16.
  EXPECT_EQ(b.capacity, 800008);
  EXPECT_EQ(static_cast<std::size_t>(b.capacity), b.data.size());
  // The bytes themselves move only a logarithmic number of times.
  EXPECT_LE(reallocations, 12);
  double check = 0;
  b.size = b.position;
  b.position = 8 * 4321;
  b.Extract(&check, 8, false);
  EXPECT_EQ(check, 4321.0);
}

}  // namespace
