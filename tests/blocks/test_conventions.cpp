// The block conventions: taking slots through the checked helpers, the overrun
// report, the fatal and warning patterns, the switch and logic rules and the
// obsolete-forward lines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "block_bench.h"
#include "blocks/conventions.h"
#include "blocks/slots.h"
#include "model/e_s2.h"
#include "model/e_warn.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

using namespace wakro::blocks;

const std::string kRule = " =========================================================";

std::vector<std::string> quit_lines(const std::string& tag) {
  return {kRule, " ERROR: Abnormal termination of WAKRO by " + tag, kRule, "  "};
}

TEST(Slots, TakeStartsAtThePointerAndAdvancesIt) {
  BlockBench bench(1e-3);
  e_s2::nexc = 4;
  storage::nstorf = 7;
  storage::nstori = 2;
  rt_config::nrtcf = 3;
  const Slots<double> s = take_stor(3);
  EXPECT_EQ(s.index(1), 5);
  EXPECT_EQ(e_s2::nexc, 7);
  s(3) = 1.25;
  EXPECT_EQ(e_s2::stor(7), 1.25);

  const Slots<double> f = take_storf(5);
  EXPECT_EQ(f.index(1), 7);
  EXPECT_EQ(f.index(5), 11);
  EXPECT_EQ(storage::nstorf, 12);
  f(5) = -2.0;
  EXPECT_EQ(storage::storf(11), -2.0);

  const Slots<std::int32_t> i = take_stori(2);
  i(1) = 9;
  EXPECT_EQ(storage::stori(2), 9);
  EXPECT_EQ(storage::nstori, 4);

  const Slots<double> c = take_rtcf(2);
  c(2) = 0.5;
  EXPECT_EQ(rt_config::rtcf(4), 0.5);
  EXPECT_EQ(rt_config::nrtcf, 5);

  // Zero slots leave the pointer where it is.
  take_storl(0);
  EXPECT_EQ(storage::nstorl, 1);
}

TEST(Slots, TheLastSlotOfEachArrayCanBeTaken) {
  BlockBench bench(1e-3);
  e_s2::nexc = e_s2::stor.extent(1) - 1;
  take_stor(1)(1) = 3.0;
  EXPECT_EQ(e_s2::stor(e_s2::stor.extent(1)), 3.0);
  storage::nstorc = storage::storc.extent(1);
  take_storc(1)(1) = {1.0, 2.0};
  EXPECT_EQ(storage::storc(storage::storc.extent(1)), wakro::cplx(1.0, 2.0));
  rt_config::nrtcl = rt_config::rtcl.extent(1);
  take_rtcl(1)(1) = true;
  EXPECT_TRUE(rt_config::rtcl(rt_config::rtcl.extent(1)));
}

// One overrun case: the array's name, the take, its pointer and its extent.
struct Overrun {
  const char* name;
  std::function<void()> take;
  std::int32_t* pointer;
  std::function<std::int32_t()> extent;
};

TEST(Slots, AnOverrunStopsWithTheDimensionReportAndLeavesThePointer) {
  const std::vector<Overrun> cases = {
      {"STOR", [] { take_stor(3); }, &e_s2::nexc, [] { return e_s2::stor.extent(1); }},
      {"STORF", [] { take_storf(3); }, &storage::nstorf, [] { return storage::storf.extent(1); }},
      {"STORI", [] { take_stori(3); }, &storage::nstori, [] { return storage::stori.extent(1); }},
      {"STORL", [] { take_storl(3); }, &storage::nstorl, [] { return storage::storl.extent(1); }},
      {"STORC", [] { take_storc(3); }, &storage::nstorc, [] { return storage::storc.extent(1); }},
      {"RTCF", [] { take_rtcf(3); }, &rt_config::nrtcf, [] { return rt_config::rtcf.extent(1); }},
      {"RTCI", [] { take_rtci(3); }, &rt_config::nrtci, [] { return rt_config::rtci.extent(1); }},
      {"RTCL", [] { take_rtcl(3); }, &rt_config::nrtcl, [] { return rt_config::rtcl.extent(1); }},
      {"RTCC", [] { take_rtcc(3); }, &rt_config::nrtcc, [] { return rt_config::rtcc.extent(1); }},
  };
  const BenchSizes sizes;
  const std::vector<std::int32_t> sized = {sizes.stor, sizes.storf, sizes.stori,
                                           sizes.storl, sizes.storc, sizes.rtcf,
                                           sizes.rtci, sizes.rtcl, sizes.rtcc};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Overrun& c = cases[k];
    SCOPED_TRACE(c.name);
    // A fresh case each time: the fatal stop releases the arrays.
    BlockBench bench(1e-3);
    const std::int32_t extent = c.extent();
    ASSERT_EQ(extent, sized[k]);
    // The pointer stands so that the third slot is one past the end; stor's
    // pointer counts the slots used, the others name the first free slot.
    const bool oldStyle = std::string(c.name) == "STOR";
    const std::int32_t start = oldStyle ? extent - 2 : extent - 1;
    *c.pointer = start;
    bool wroteAfter = false;
    const wakro_test::Outcome o = wakro_test::run_captured([&] {
      c.take();
      wroteAfter = true;
    });
    EXPECT_EQ(o.status, 2000);
    EXPECT_FALSE(wroteAfter);
    EXPECT_EQ(*c.pointer, start);
    char required[64];
    std::snprintf(required, sizeof required, " Required Dimension: %11d", extent + 1);
    std::vector<std::string> expected = {
        std::string(" WAKRO: ") + c.name + " array dimension exceeded",
        required,
        " The storage is set by Quolb by adding up",
        " the storage requirements as specified by",
        " the #STORAGE: syntax in each component.",
    };
    for (const std::string& l : quit_lines("CHKSTOR     ")) expected.push_back(l);
    EXPECT_EQ(lines_of(o.console), expected);
    *c.pointer = oldStyle ? 0 : 1;
  }
}

TEST(Conventions, FatalParameterErrorWritesEveryLineThenStops) {
  BlockBench bench(1e-3);
  e_warn::comp_id1 = 12;
  e_warn::comp_id2 = 3;
  const wakro_test::Outcome three = wakro_test::run_captured(
      [] { block_fatal("RAMP", {"first line", "middle line", "last line"}); });
  EXPECT_EQ(three.status, 2000);
  std::vector<std::string> expected = {" ***ERROR** first line[          12 :           3 ]",
                                       " ***ERROR** middle line", " ***ERROR** last line"};
  for (const std::string& l : quit_lines("RAMP        ")) expected.push_back(l);
  EXPECT_EQ(lines_of(three.console), expected);

  BlockBench again(1e-3);
  e_warn::comp_id1 = 0;
  const wakro_test::Outcome one =
      wakro_test::run_captured([] { block_fatal("CONVERTSCALE", {"Bad data"}); });
  EXPECT_EQ(one.status, 2000);
  expected = {" ***ERROR** Bad data"};
  for (const std::string& l : quit_lines("CONVERTSCALE")) expected.push_back(l);
  EXPECT_EQ(lines_of(one.console), expected);
}

TEST(Conventions, WarningAndObsoleteForwardLines) {
  e_warn::comp_id1 = 0;
  const wakro_test::Outcome o = wakro_test::run_captured([] {
    block_warn("Substituted 1.0");
    obsolete_forward("SONON3", "WAKRO_SONON");
  });
  EXPECT_EQ(o.status, -1);
  EXPECT_EQ(o.console,
            " ***WARN*** Substituted 1.0\n"
            "Obsolete Function: SONON3\n"
            "  Use Subroutine WAKRO_SONON instead.\n");
}

TEST(Conventions, SwitchesLogicAndIntegerConversion) {
  EXPECT_TRUE(switch_on(1));
  EXPECT_FALSE(switch_on(2));
  EXPECT_FALSE(switch_on(-1));
  EXPECT_TRUE(flag_set(2));
  EXPECT_FALSE(flag_set(0));

  EXPECT_TRUE(logic_true(0.5));
  EXPECT_TRUE(logic_true(-0.5));
  EXPECT_FALSE(logic_true(0.49));
  EXPECT_FALSE(logic_true(-0.49));
  EXPECT_FALSE(logic_true(std::nan("")));

  EXPECT_EQ(nint_sat(2.5), 3);
  EXPECT_EQ(nint_sat(-2.5), -3);
  EXPECT_EQ(nint_sat(std::nan("")), 0);
  EXPECT_EQ(nint_sat(1e300), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(nint_sat(-1e300), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(nint_sat(std::numeric_limits<double>::infinity()), std::numeric_limits<std::int32_t>::max());

  // A crossing from -1 to 3 lies a quarter into the step: 0.75 of it remains.
  EXPECT_DOUBLE_EQ(crossing_time(-1.0, 3.0, 1e-3), 0.75e-3);
}

// The inline rounding answers flags, small magnitudes and whole numbers itself
// and hands every other value to the general rounding: both must agree on every
// kind of value, at and around the edges of the inline answers.
TEST(BlockConventions, InlineRoundingAgreesWithTheGeneralRounding) {
  const double inf = std::numeric_limits<double>::infinity();
  const double below_half = std::nextafter(0.5, 0.0);
  struct Case {
    double x;
    std::int32_t expected;
  };
  const std::vector<Case> cases{{0.0, 0},
                                {-0.0, 0},
                                {1e-300, 0},
                                {below_half, 0},
                                {-below_half, 0},
                                {0.5, 1},
                                {-0.5, -1},
                                {1.0, 1},
                                {-1.0, -1},
                                {1.5, 2},
                                {-1.5, -2},
                                {7.0, 7},
                                {7.49, 7},
                                {1e9, 1000000000},
                                {-1e9, -1000000000},
                                {1e9 + 0.5, 1000000001},
                                {std::nextafter(1e9, 2e9), 1000000000},
                                {2147483647.0, std::numeric_limits<std::int32_t>::max()},
                                {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
                                {3e9, std::numeric_limits<std::int32_t>::max()},
                                {-3e9, std::numeric_limits<std::int32_t>::min()},
                                {inf, std::numeric_limits<std::int32_t>::max()},
                                {-inf, std::numeric_limits<std::int32_t>::min()},
                                {std::nan(""), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(nint_sat(c.x), c.expected);
    EXPECT_EQ(nint_sat(c.x), nint_sat_general(c.x));
    EXPECT_EQ(logic_true(c.x), c.expected != 0);
  }
}

}  // namespace
}  // namespace blocks_test
