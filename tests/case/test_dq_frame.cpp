// The kept d-q-0 frames against trdqo, bit for bit: both directions over a
// table of angles and phase sets, a frame found again (no new cosines), a
// changed angle (even by one bit) computing its own frame, the oldest frame
// replaced once more angles than are kept have been taken, and a clear (which
// keeps only the frame of 0.0).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "case/dq_frame.h"
#include "machines/dq_library.h"

namespace casetest {
namespace {

using namespace wakro::casecode;

struct Abc {
  double a, b, c;
};

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

const std::vector<double> kAngles{0.0,  -0.0, 1.0e-300, 0.5, 2.0943951023931953, 3.141592653589793,
                                  5.5,  6.283185307179586, -7.25, 94247.77960769379, 1.0e6};
const std::vector<Abc> kSets{{1.0, -0.5, -0.5}, {187794.2, -93897.1, -93897.0}, {0.0, 0.0, 0.0},
                             {-1.0e-12, 3.5e-9, 7.0}, {1.0e8, 1.0e8, 1.0e8}};

// Every component of both directions equals trdqo's in every bit.
void expect_same_as_trdqo(const DqFrame& f, double theta) {
  for (const Abc& x : kSets) {
    double a = x.a, b = x.b, c = x.c, d = 0.0, q = 0.0, z = 0.0;
    trdqo(a, b, c, d, q, z, theta, 1);
    double d2 = 0.0, q2 = 0.0, z2 = 0.0;
    to_dq(f, x.a, x.b, x.c, d2, q2, z2);
    EXPECT_EQ(bits(d2), bits(d)) << theta;
    EXPECT_EQ(bits(q2), bits(q)) << theta;
    EXPECT_EQ(bits(z2), bits(z)) << theta;

    // Back: the set's values taken as d, q, z.
    double ra = 0.0, rb = 0.0, rc = 0.0, dd = x.a, qq = x.b, zz = x.c;
    trdqo(ra, rb, rc, dd, qq, zz, theta, -1);
    double ra2 = 0.0, rb2 = 0.0, rc2 = 0.0;
    from_dq(f, x.a, x.b, x.c, ra2, rb2, rc2);
    EXPECT_EQ(bits(ra2), bits(ra)) << theta;
    EXPECT_EQ(bits(rb2), bits(rb)) << theta;
    EXPECT_EQ(bits(rc2), bits(rc)) << theta;
  }
}

TEST(DqFrame, BothDirectionsAreTrdqosBitForBit) {
  clear_dq_frames();
  // A clear leaves every kept entry at the true frame of 0.0.
  expect_same_as_trdqo(dq_frame(0.0), 0.0);
  EXPECT_EQ(dq_frames_computed(), 0);
  for (double theta : kAngles) expect_same_as_trdqo(dq_frame(theta), theta);
  // 0.0 and -0.0 are two angles: every other entry of the table took its own
  // frame.
  EXPECT_EQ(dq_frames_computed(), static_cast<std::int64_t>(kAngles.size()) - 1);
}

TEST(DqFrame, AFrameIsFoundAgainOnlyForTheVerySameAngle) {
  clear_dq_frames();
  const double theta = 1.2345;
  const DqFrame first = dq_frame(theta);
  EXPECT_EQ(dq_frames_computed(), 1);
  for (int k = 0; k < 5; ++k) expect_same_as_trdqo(dq_frame(theta), theta);
  EXPECT_EQ(dq_frames_computed(), 1);  // found, not computed

  // One bit more is another angle: its own frame, and its own values.
  const double next = std::nextafter(theta, 10.0);
  expect_same_as_trdqo(dq_frame(next), next);
  EXPECT_EQ(dq_frames_computed(), 2);
  EXPECT_NE(bits(dq_frame(next).s0), bits(first.s0));
  // The first is still kept.
  expect_same_as_trdqo(dq_frame(theta), theta);
  EXPECT_EQ(dq_frames_computed(), 2);
}

TEST(DqFrame, TheOldestFrameMakesRoomAndAClearForgetsAll) {
  clear_dq_frames();
  // Eight angles are kept; a ninth replaces the first.
  for (int k = 0; k < 9; ++k) (void)dq_frame(0.1 * (k + 1));
  EXPECT_EQ(dq_frames_computed(), 9);
  expect_same_as_trdqo(dq_frame(0.9), 0.9);  // newest, kept
  expect_same_as_trdqo(dq_frame(0.2), 0.2);  // second, kept
  EXPECT_EQ(dq_frames_computed(), 9);
  expect_same_as_trdqo(dq_frame(0.1), 0.1);  // the first: computed again
  EXPECT_EQ(dq_frames_computed(), 10);

  clear_dq_frames();
  EXPECT_EQ(dq_frames_computed(), 0);
  expect_same_as_trdqo(dq_frame(0.9), 0.9);
  EXPECT_EQ(dq_frames_computed(), 1);
}

}  // namespace
}  // namespace casetest
