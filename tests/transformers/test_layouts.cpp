// Every transformer model's declared record (wakro::transformers::layout)
// against the slots the model really takes: the set-up routine's advance of the
// configuration pointers, then the step routine's advance of every storage and
// configuration pointer on the first step and on the steps after it, must equal
// the sizes its layout declares. A layout that names one slot too few or too
// many, or a routine that takes a count of its own, fails here; and the sizes
// must stay the ones the case code's storage declarations and the snapshots
// rely on.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s5.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "model/umec.h"
#include "tf_fixture.h"
#include "transformers/multiwinding_saturation.h"
#include "transformers/saturation.h"
#include "transformers/taps.h"
#include "transformers/umec_cfg.h"
#include "transformers/umec_ramp.h"

namespace {

namespace L = wakro::transformers::layout;

constexpr double kDt = 50e-6;

// Slots taken from each array.
struct Slots {
  std::int32_t stor = 0, storf = 0, stori = 0, rtcf = 0, rtci = 0;
  bool operator==(const Slots&) const = default;
};

Slots pointers() {
  return {e_s2::nexc, storage::nstorf, storage::nstori, rt_config::nrtcf, rt_config::nrtci};
}

Slots advance(const Slots& from, const Slots& to) {
  return {to.stor - from.stor, to.storf - from.storf, to.stori - from.stori, to.rtcf - from.rtcf,
          to.rtci - from.rtci};
}

void PrintTo(const Slots& s, std::ostream* os) {
  *os << "stor " << s.stor << ", storf " << s.storf << ", stori " << s.stori << ", rtcf " << s.rtcf
      << ", rtci " << s.rtci;
}

Slots configuration(const Slots& s) { return {0, 0, 0, s.rtcf, s.rtci}; }

struct Row {
  std::string name;
  std::function<void()> cfg;  // may be empty
  std::function<void()> exe;
  Slots declared;  // what exe takes on every step, from the layout
  Slots fixed;     // the record sizes the case code relies on
};

using Br = std::array<std::int32_t, 12>;
constexpr Br kAll{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
constexpr std::array<double, 9> kCore{0.1, 2e-4, 1.0, 1.0, 100.0, 2.0, 1e-4, 0.5, 1.5e6};

using Exe = void (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                     std::int32_t, std::int32_t, double, std::int32_t);
std::function<void()> member_step(Exe exe) {
  return [exe] {
    const Br& b = kAll;
    exe(1, 1, 1, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 1, 1,
        1.0, 1);
  };
}

class Layouts : public tftest::Transformers {
 protected:
  // Twelve nodes, each with a branch to ground; transformer 1 of two windings,
  // 2 of three, 3 of two marked a UMEC core.
  void network() {
    extra_dims_ = {{dim::windings, 3}, {dim::trafos, 4}, {dim::stor, 200}, {dim::rtcf, 200},
                   {dim::rtci, 10},    {dim::storf, 20}, {dim::stori, 10}};
    size(12, 12, 1, 0, kDt);
    e_s5::jset = 0;
    for (std::int32_t n = 1; n <= 12; ++n) add_branch(1, n, 0, 1000.0, 0.0, 0.0);
    add_unit(1, {{1, 0}, {4, 0}});
    add_unit(1, {{1, 0}, {4, 0}, {7, 0}});
    add_unit(1, {{1, 0}, {2, 0}});
    e_s5::nummag(3) = 1;
    umec::bn(3) = 3;
  }

  // The row's set-up from fresh pointers, then three steps (time zero first),
  // each as the only block of its step.
  void check(const Row& row) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.declared, row.fixed);
    network();
    const Slots declared_cfg = configuration(row.declared);
    rt_config::nrtcf = rt_config::nrtci = 1;
    if (row.cfg) {
      const Slots before = pointers();
      row.cfg();
      EXPECT_EQ(advance(before, pointers()), declared_cfg) << "set-up";
    }
    for (int n = 0; n < 3; ++n) {
      e_s1::timezero = n == 0;
      e_s1::time = n * kDt;
      e_s2::nexc = 0;
      storage::nstorf = storage::nstori = rt_config::nrtcf = rt_config::nrtci = 1;
      const Slots before = pointers();
      row.exe();
      EXPECT_EQ(advance(before, pointers()), row.declared) << "step " << n;
    }
  }
};

TEST_F(Layouts, EveryModelTakesWhatItsLayoutDeclares) {
  const double s = 100.0, v = 10.0;
  const Row rows[] = {
      {"tsat1",
       [=] { tsat1_cfg(1, 2, 3, 1, s, v, 0.2, 1.17, 60.0, 0.0, 2.0, 0.0); },
       [] { tsat1_exe(1, 2, 3, 1, 1.0, 1); },
       {L::tsat1::stor::kSize, 0, 0, L::tsat1::rtcf::kSize, 0},
       {21, 0, 0, 15, 0}},
      {"tsat21",
       {},
       [=] { tsat21(1, 0, 2, 0, 3, 0, 1, s, v, 0.2, 1.17, 60.0, 0.0, 2.0, 0.0, 1); },
       {L::tsat21::stor::kSize, 0, 0, 0, 0},
       {21, 0, 0, 0, 0}},
      {"tsat21b",
       {},
       [=] { tsat21b(1, 2, 3, 1, s, v, 0.2, 1.17, 60.0, 0.0, 2.0, 1); },
       {L::tsat21::stor::kSize, 0, 0, 0, 0},
       {21, 0, 0, 0, 0}},
      {"tsat2",
       [=] {
         const Br& b = kAll;
         tsat2_cfg(2, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], 1,
                   s, 0.2, 1.17, 50.0, 0.0, 2.0, 0.0, 0.1, 0.12, 0.05, 0.04, 0.03, 0.02, v, 2.0,
                   4.0, 1.0);
       },
       member_step(tsat2_exe),
       {L::tsat2::stor::kSize, 0, 0, L::tsat2::rtcf::kSize, 0},
       {28, 0, 0, 24, 0}},
      {"tsat3",
       [=] {
         const Br& b = kAll;
         tsat3_cfg(2, 0, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11],
                   1, s, 0.2, 1.17, 50.0, 2.0, 0.1, 0.12, 0.05, 0.04, 0.03, 0.02, v, 2.0, 4.0, 1.0,
                   10.0, 0.0, 0.0, 0.0);
       },
       member_step(tsat3_exe),
       {L::tsat3::stor::kSize, 0, 0, L::tsat3::rtcf::kSize, L::selector::rtci::kSize},
       {60, 0, 0, 40, 1}},
      {"tsat4",
       [=] {
         const Br& b = kAll;
         const auto& p = kCore;
         tsat4_cfg(2, 0, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11],
                   1, s, 50.0, 0.1, 0.12, 0.05, 0.04, 0.03, 0.02, v, 2.0, 4.0, 1.0, 1.6, 0.2, 0.0,
                   0.0, 0.0, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]);
       },
       member_step(tsat4_exe),
       {L::tsat4::stor::kSize, 0, 0, L::tsat4::rtcf::kSize, L::selector::rtci::kSize},
       {40, 0, 0, 30, 1}},
      {"trtap5",
       {},
       [] { trtap5(1, 1, 1, 1.0); },
       {L::trtap5::stor::kSize, 0, 0, 0, 0},
       {5, 0, 0, 0, 0}},
      {"trtap2wa1",
       [] { trtap2wa1_cfg(1, 2, 1, 2.0, 1.0); },
       [] { trtap2wa1_exe(1, 2, 1, 1.0); },
       {0, L::auto_tap::storf::kSize, 0, L::trtap2wa1::rtcf::kSize, 0},
       {0, 2, 0, 3, 0}},
      {"trtap3wa1",
       [] { trtap3wa1_cfg(2, 100.0, 50.0, 2.0, 1.0, 0.5, 10.0, 0.1, 0.1, 0.1); },
       [] { trtap3wa1_exe(2, 1, 2, 3, 1.0); },
       {0, L::auto_tap::storf::kSize, 0, L::trtap3wa1::rtcf::kSize, 0},
       {0, 2, 0, 11, 0}},
      {"umecsat5",
       {},
       [] { umecsat5(1, 3, 50.0); },
       {L::umecsat5::stor::kSize, 0, 0, 0, 0},
       {5, 0, 0, 0, 0}},
      {"umecsat1",
       [] { umecsat1_cfg(50.0); },
       [] { umecsat1_exe(1, 3); },
       {0, L::umecsat1::storf::kSize, L::umecsat1::stori::kSize, L::umecsat1::rtcf::kSize, 0},
       {0, 2, 1, 2, 0}},
      {"fplot19", {}, [] { fplot19(3); }, {L::fplot19::stor::kSize, 0, 0, 0, 0}, {19, 0, 0, 0, 0}},
  };
  for (const Row& row : rows) {
    wakro_test::reset_shared_state();
    check(row);
  }
}

// The work tables the UMEC reader hands over are as wide as their layouts.
TEST_F(Layouts, UmecWorkTablesMatchTheirLayouts) {
  network();
  EXPECT_EQ(rt_config::umectfdata.extent(1), L::umectfdata::kSize);
  EXPECT_EQ(rt_config::umecsatdata.extent(2), L::umecsatdata::kColumns);
  EXPECT_EQ(rt_config::umecwdgdata.extent(2), L::umecwdgdata::kColumns);
}

}  // namespace
