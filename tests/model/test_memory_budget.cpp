// The memory budget of the case-sized arrays: every allocation is checked
// against it before memory is obtained, and a release gives its bytes back.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <string>

#include "model/farray.h"
#include "support/fatal_capture.h"

namespace {

class MemoryBudget : public ::testing::Test {
 protected:
  void TearDown() override { wakro::set_array_memory_budget(0); }
};

TEST_F(MemoryBudget, AnArrayBeyondTheBudgetStopsAndGetsNothing) {
  const std::uint64_t held = wakro::array_bytes_held();
  // Room for 1000 reals beyond what is held already.
  wakro::set_array_memory_budget(held + 8000);
  wakro::FArray<double, 1> a{"a"};
  wakro::FArray<double, 2> b{"b"};
  a.allocate(600);
  EXPECT_EQ(wakro::array_bytes_held(), held + 4800);
  // 20 x 25 reals (4000 bytes) do not fit beside the 600 (4800 bytes).
  int status = 0;
  EXPECT_EQ(wakro_test::fatal_message([&] { b.allocate(20, 25); }, &status),
            "Allocation would exceed memory limit");
  EXPECT_EQ(status, wakro::kRuntimeStopStatus);
  EXPECT_FALSE(b.allocated());
  EXPECT_EQ(wakro::array_bytes_held(), held + 4800);
  // Released, the first array makes room for the second; the budget is a total.
  a.release();
  EXPECT_EQ(wakro::array_bytes_held(), held);
  b.allocate(20, 25);
  EXPECT_EQ(wakro::array_bytes_held(), held + 4000);
  b.release();
  b.release();  // a second release gives nothing back twice
  EXPECT_EQ(wakro::array_bytes_held(), held);
}

TEST_F(MemoryBudget, ATypeIsCountedByItsWidthAndAnEmptyArrayByOneElement) {
  const std::uint64_t held = wakro::array_bytes_held();
  wakro::set_array_memory_budget(held + 1000);
  {
    wakro::FArray<wakro::cplx, 1> z{"z"};
    z.allocate(62);  // 992 bytes
    EXPECT_EQ(wakro::array_bytes_held(), held + 992);
    wakro::FArray<std::int32_t, 1> n{"n"};
    n.allocate(0);  // one element is obtained so the array exists: 4 bytes
    EXPECT_EQ(wakro::array_bytes_held(), held + 996);
    wakro::FArray<bool, 1> f{"f"};
    EXPECT_EQ(wakro_test::fatal_message([&] { f.allocate(5); }), "Allocation would exceed memory limit");
  }
  // The destructors released both.
  EXPECT_EQ(wakro::array_bytes_held(), held);
}

// Found by fuzzing: "STOF = 2147483647" asked for 16 GiB of reals, which the
// system hands out untouched and the initial values then try to commit.
TEST_F(MemoryBudget, TheMachineBudgetIsHalfThePhysicalMemoryAtMost) {
  const std::uint64_t physical = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                                 static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  EXPECT_GT(wakro::machine_memory_budget(), 0u);
  EXPECT_LE(wakro::machine_memory_budget(), physical / 2);
  EXPECT_EQ(wakro::array_memory_budget(), wakro::machine_memory_budget());
  wakro::set_array_memory_budget(12345);
  EXPECT_EQ(wakro::array_memory_budget(), 12345u);
  wakro::set_array_memory_budget(0);
  EXPECT_EQ(wakro::array_memory_budget(), wakro::machine_memory_budget());

  // More than the budget in one array: refused without touching the system.
  wakro::set_array_memory_budget(std::uint64_t{1} << 30);
  wakro::FArray<double, 1> stof{"stof"};
  EXPECT_EQ(wakro_test::fatal_message([&] { stof.allocate(2147483647); }),
            "Allocation would exceed memory limit");
  EXPECT_FALSE(stof.allocated());
}

// The two limits of one allocation: the element count must fit a 32-bit index;
// the byte count may exceed 32 bits and meets the memory budget instead.
TEST_F(MemoryBudget, ElementCountHasA32BitLimitAndByteCountOnlyTheBudget) {
  wakro::set_array_memory_budget(std::uint64_t{1} << 30);
  struct Case {
    std::int64_t rows, columns;
    const char* stop;
  };
  const Case cases[] = {
      // 280,000,000 complex values: 4.48e9 bytes, above 32 bits.
      {70000, 4000, "Allocation would exceed memory limit"},
      // 2^31 - 1 complex values: the largest count, 34 GB.
      {2147483647, 1, "Allocation would exceed memory limit"},
      // 2,800,000,000 values do not fit a 32-bit index.
      {70000, 40000, "Integer overflow when calculating the amount of memory to allocate"},
      {2147483648, 1, "Integer overflow when calculating the amount of memory to allocate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.columns));
    wakro::FArray<wakro::cplx, 2> z{"z"};
    EXPECT_EQ(wakro_test::fatal_message([&] { z.allocate(c.rows, c.columns); }), c.stop);
    EXPECT_FALSE(z.allocated());
  }
}

}  // namespace
