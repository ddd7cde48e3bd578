// The case-sized array template: layout, the allocation rule and the index stop.
#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <string>

#include "model/farray.h"
#include "model/fatal.h"
#include "model/fixedtext.h"
#include "support/fatal_capture.h"

using wakro::FArray;
using wakro::FatalExit;

namespace {

using wakro_test::fatal_message;

}  // namespace

TEST(FArray, ColumnMajorOneBasedLayout) {
  FArray<double, 3> a("a");
  a.allocate(2, 3, 4);
  EXPECT_EQ(a.size(), 24);
  EXPECT_EQ(a.extent(1), 2);
  EXPECT_EQ(a.extent(3), 4);
  a(2, 3, 4) = 7.0;
  a(1, 1, 1) = 1.0;
  a(2, 1, 1) = 2.0;
  a(1, 2, 1) = 3.0;
  EXPECT_EQ(a.data()[0], 1.0);
  EXPECT_EQ(a.data()[1], 2.0);   // first index fastest
  EXPECT_EQ(a.data()[2], 3.0);
  EXPECT_EQ(a.data()[23], 7.0);
  // A plane views the same memory.
  auto p = a.plane(4);
  EXPECT_EQ(p(2, 3), 7.0);
  p(1, 1) = 5.0;
  EXPECT_EQ(a(1, 1, 4), 5.0);
}

TEST(FArray, NewContentsAreZeroAndReleaseIsIdempotent) {
  FArray<std::complex<double>, 1> c("c");
  c.release();  // before any allocation: nothing happens
  c.allocate(5);
  for (auto& v : c) EXPECT_EQ(v, std::complex<double>(0.0, 0.0));
  c.release();
  c.release();
  EXPECT_FALSE(c.allocated());
  c.allocate(3);  // may be allocated again after a release
  EXPECT_EQ(c.size(), 3);
}

TEST(FArray, ExtentBelowOneGivesAnEmptyArrayThatExists) {
  FArray<int, 2> a("a");
  a.allocate(0, 5);
  EXPECT_TRUE(a.allocated());
  EXPECT_EQ(a.size(), 0);
}

TEST(FArray, AllocationStops) {
  FArray<double, 1> a("storl");
  a.allocate(4);
  int status = 0;
  EXPECT_EQ(fatal_message([&] { a.allocate(4); }, &status),
            "Attempting to allocate already allocated variable 'storl'");
  EXPECT_EQ(status, wakro::kRuntimeStopStatus);
  EXPECT_EQ(a.size(), 4);  // the existing array is untouched

  FArray<double, 2> big("big");
  EXPECT_EQ(fatal_message([&] { big.allocate(70000, 70000); }),
            "Integer overflow when calculating the amount of memory to allocate");
  EXPECT_EQ(fatal_message([&] { big.allocate(std::int64_t{1} << 32, 1); }),
            "Integer overflow when calculating the amount of memory to allocate");
  EXPECT_FALSE(big.allocated());
  {  // a context follows the message while in scope (the check below: not after it)
    const wakro::RuntimeStopContext context("Snapshot file: s.snp");
    EXPECT_EQ(fatal_message([&] { big.allocate(70000, 70000); }), "Integer overflow when calculating the amount of memory to allocate\nSnapshot file: s.snp");
  }
  // 2^31 - 1 elements is the largest count that fits.
  FArray<char, 3> edge("edge");
  EXPECT_EQ(fatal_message([&] { edge.allocate(46341, 46341, 1); }),
            "Integer overflow when calculating the amount of memory to allocate");
}

TEST(FArray, AlwaysCheckedArrayStopsOnBadIndex) {
  FArray<double, 1, true> storf("storf");
  storf.allocate(3);
  storf(3) = 1.0;
  // Indices the compiler cannot see through, as a running pointer would be.
  volatile int past = 4, before = 0;
  EXPECT_EQ(fatal_message([&] { storf(past) = 2.0; }),
            "Array index out of bounds: storf(4) outside (1:3)");
  EXPECT_EQ(fatal_message([&] { storf(before) = 2.0; }),
            "Array index out of bounds: storf(0) outside (1:3)");
  FArray<int, 1, true> unalloc("stori");
  EXPECT_NE(fatal_message([&] { unalloc(1) = 1; }).find("stori"), std::string::npos);
}

TEST(FixedText, PadsCutsAndComparesBlankPadded) {
  wakro::FixedText<12> tag("RDDIM");
  EXPECT_EQ(tag.view(), "RDDIM       ");
  EXPECT_TRUE(tag == "RDDIM");
  EXPECT_TRUE(tag == "RDDIM   ");
  EXPECT_FALSE(tag == "RDDI");
  tag = "A-VERY-LONG-ROUTINE-NAME";
  EXPECT_EQ(tag.view(), "A-VERY-LONG-");
  wakro::FixedText<3> blank;
  EXPECT_TRUE(blank.is_blank());
  EXPECT_EQ(blank.trimmed(), "");
}

TEST(FatalExit, ProcessExitCodeNeverReportsFailureAsSuccess) {
  EXPECT_EQ(wakro::process_exit_code(0), 0);
  EXPECT_EQ(wakro::process_exit_code(1), 1);
  EXPECT_EQ(wakro::process_exit_code(255), 255);
  EXPECT_EQ(wakro::process_exit_code(2000), 2);
  EXPECT_EQ(wakro::process_exit_code(2048), 2);  // 2048 & 0xFF would be 0
  EXPECT_EQ(wakro::process_exit_code(-1), 2);
}
