// The pointers the lines' per-step loops take into the tables: a run addresses
// exactly the entries the table's own indexing gives, a node column reads and
// writes the table's entries of its subsystem, ground reading 0; checked
// tables still stop on a run that leaves them.
#include <gtest/gtest.h>

#include <cstdint>

#include "lines/line_columns.h"
#include "model/farray.h"
#include "support/fatal_capture.h"

namespace {

using wakro::FArray;
using wakro::lines::at_node;
using wakro::lines::NodeColumn;
using wakro::lines::run;

TEST(LineColumns, RunAddressesTheTableEntries) {
  FArray<double, 1> a("a");
  FArray<double, 2> b("b");
  FArray<double, 3> c("c");
  a.allocate(10);
  b.allocate(5, 3);
  c.allocate(4, 2, 3);
  struct Case {
    std::int32_t first, count;
  };
  for (const Case k : {Case{1, 1}, Case{2, 3}, Case{1, 4}, Case{4, 1}}) {
    const double* pa = run(a, k.first, k.count);
    const double* pb = run(b, k.first, k.count, 2);
    const double* pc = run(c, k.first, k.count, 2, 3);
    for (std::int32_t x = 0; x < k.count; ++x) {
      EXPECT_EQ(pa + x, &a(k.first + x)) << k.first << "+" << x;
      EXPECT_EQ(pb + x, &b(k.first + x, 2)) << k.first << "+" << x;
      EXPECT_EQ(pc + x, &c(k.first + x, 2, 3)) << k.first << "+" << x;
    }
  }
}

TEST(LineColumns, NodeColumnReadsAndWritesItsSubsystemGroundReadingZero) {
  FArray<double, 2> v("v");
  v.allocate(4, 3);
  for (std::int32_t ss = 1; ss <= 3; ++ss)
    for (std::int32_t node = 1; node <= 4; ++node) v(node, ss) = 10.0 * ss + node;
  const NodeColumn<double> col(v, 2);
  for (std::int32_t node = 1; node <= 4; ++node) EXPECT_EQ(at_node(col, node), 20.0 + node);
  EXPECT_EQ(at_node(col, 0), 0.0);
  EXPECT_EQ(at_node(col, -3), 0.0);
  col[3] += 0.5;
  EXPECT_EQ(v(3, 2), 23.5);
  EXPECT_EQ(v(3, 1), 13.0);
  EXPECT_EQ(v(3, 3), 33.0);
  // A line end with every node on ground names no subsystem: nothing is read.
  const NodeColumn<double> none(v, 0);
  EXPECT_EQ(at_node(none, 0), 0.0);
}

TEST(LineColumns, RunThatLeavesACheckedTableStops) {
  FArray<double, 2, true> t("t");
  t.allocate(4, 2);
  volatile std::int32_t count = 3;  // as a count read from the tables would be
  EXPECT_EQ(wakro_test::fatal_message([&] { (void)run(t, 2, count + 1, 1); }),
            "Array index out of bounds: t(5,1) outside (1:4,1:2)");
  EXPECT_EQ(wakro_test::fatal_message([&] { (void)run(t, 1, count + 0, 3); }),
            "Array index out of bounds: t(3,3) outside (1:4,1:2)");
  EXPECT_EQ(run(t, 2, count + 0, 2), &t(2, 2));
}

}  // namespace
