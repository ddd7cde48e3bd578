// LastCall: a result is computed again exactly when the argument's bits differ
// from the last argument's, and the kept result is the one computed for them.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "blocks/last_call.h"

namespace blocks_test {
namespace {

TEST(LastCall, ComputesAgainExactlyWhenTheArgumentsBitsChange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Call {
    double x;
    bool computed;  // a new argument: the function runs
  };
  const std::vector<Call> calls{{1.0, true},
                                {1.0, false},
                                {2.0, true},
                                {1.0, true},
                                {0.0, true},
                                {-0.0, true},
                                {-0.0, false},
                                {0.0, true},
                                {nan, true},
                                {nan, false},
                                {std::nextafter(1.0, 2.0), true},
                                {1.0, true}};
  wakro::blocks::LastCall<double> kept;
  std::int32_t runs = 0;
  auto f = [&runs](double x) {
    ++runs;
    return std::sin(x);
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.x);
    const std::int32_t before = runs;
    const double y = kept.of(c.x, f);
    EXPECT_EQ(runs - before, c.computed ? 1 : 0);
    // The kept result is the function's own for this very argument (sin -0 is -0).
    EXPECT_EQ(std::bit_cast<std::uint64_t>(y), std::bit_cast<std::uint64_t>(std::sin(c.x)));
  }
}

}  // namespace
}  // namespace blocks_test
