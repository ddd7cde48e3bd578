// Every device's declared record (wakro::devices::layout) against the slots the
// device really takes: each routine runs inside a small network for three steps
// (time zero and two more), and the advance of every storage and configuration
// pointer made by its _cfg (at time zero) and by its step routine (on every
// step) must equal the sizes its layout declares. A layout that names one slot
// too few or too many, or a routine that takes a count of its own, fails here.
#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "blocks/frequency.h"
#include "device_fixture.h"
#include "devices/breakers.h"
#include "devices/current_sources.h"
#include "devices/custom_harmonics.h"
#include "devices/dynamic_loads.h"
#include "devices/emf_sources.h"
#include "devices/faults.h"
#include "devices/injection_load.h"
#include "devices/pe_switch.h"
#include "devices/preinsertion.h"
#include "devices/spark_gap.h"
#include "devices/statistical_breaker.h"
#include "devices/svc.h"
#include "devices/svc400.h"
#include "devices/svc_allocation.h"
#include "devices/trv_envelope.h"
#include "devices/variable_branches.h"
#include "devices/voltage_sources.h"
#include "files/units.h"
#include "model/fnames.h"
#include "support/temp_dir.h"

namespace {

namespace L = wakro::devices::layout;
namespace meas = wakro::blocks::layout::meas_freq;

// Slots taken from each store (or the pointers themselves).
struct Slots {
  std::int32_t stor = 0, storf = 0, stori = 0, storl = 0, storc = 0, rtcf = 0, rtci = 0, rtcl = 0;
  bool operator==(const Slots&) const = default;
};

Slots pointers() {
  return {e_s2::nexc,       storage::nstorf,  storage::nstori,  storage::nstorl,
          storage::nstorc,  rt_config::nrtcf, rt_config::nrtci, rt_config::nrtcl};
}

Slots advance(const Slots& from, const Slots& to) {
  return {to.stor - from.stor,   to.storf - from.storf, to.stori - from.stori, to.storl - from.storl,
          to.storc - from.storc, to.rtcf - from.rtcf,   to.rtci - from.rtci,   to.rtcl - from.rtcl};
}

void PrintTo(const Slots& s, std::ostream* os) {
  *os << "stor " << s.stor << ", storf " << s.storf << ", stori " << s.stori << ", storl " << s.storl
      << ", storc " << s.storc << ", rtcf " << s.rtcf << ", rtci " << s.rtci << ", rtcl " << s.rtcl;
}

// The configuration part of a record: what a _cfg writes and its step reads.
Slots configuration(const Slots& s) { return {0, 0, 0, 0, 0, s.rtcf, s.rtci, s.rtcl}; }

// The networks the devices run in.
enum class Net {
  // Node 1 .. 3 each fed from ground through 10 ohm and 1 kV (branches 1 .. 3),
  // switches 4 .. 9 from nodes 1, 2, 3, 1, 2, 3 to ground, empty branches
  // 10 .. 15 likewise.
  plain,
  // The compensator's bus: sources 1 .. 3, interface branches 4 .. 6 from
  // ground, R-C branches 7 .. 9 to ground.
  svc,
};

struct Row {
  Row(std::string n, std::function<void()> c, std::function<void()> e, Slots d, Net k = Net::plain,
      std::string file = {})
      : name(std::move(n)), cfg(std::move(c)), exe(std::move(e)), declared(d), net(k), data(std::move(file)) {}
  std::string name;
  std::function<void()> cfg;  // at time zero, may be empty
  std::function<void()> exe;  // every step, may be empty
  Slots declared;             // what exe takes on every step (cfg: its configuration part)
  Net net = Net::plain;
  std::string data;           // the input unit's data file, when the device reads one
};

// The compensator of the rated form (as in the compensator's tests).
SvcRatings rated() {
  SvcRatings d;
  d.ibr[0] = 4, d.ibr[1] = 5, d.ibr[2] = 6;
  d.irc[0] = 7, d.irc[1] = 8, d.irc[2] = 9;
  d.s = 100.0, d.v1 = 230.0, d.v2 = 13.8, d.f = 60.0;
  d.im[0] = d.im[1] = d.im[2] = 1.0;
  d.x12 = d.x13 = d.x23 = 0.1;
  d.ql = 100.0, d.qc = 100.0, d.q0 = 5.0;
  d.r = 500.0, d.cs_uf = 0.1, d.ron = 1e-3, d.roff = 1e6, d.rd = 1e6;
  d.ncap = 4, d.nc0 = 4, d.kp = 50.0, d.ki = 900.0, d.nsub = 2, d.nref = 2;
  d.xair = 0.3, d.fknee = 10.0, d.gsh = 0.0, d.tflux = 1.0, d.scale = 1.0;
  return d;
}

// Data lines of the data-file compensator: uncoupled windings of 1 H, then LT,
// r, Cs, RON, ROFF and CST, RD, NCAP, NC0, C0.
std::string svc_data() {
  std::string text = "C windings, valves and stages\n";
  for (int i = 1; i <= 9; ++i) {
    for (int j = 1; j < i; ++j) text += "0 ";
    text += "1\n";
  }
  return text + "0.1 500 0.1 0.001 1e6\n1 1e6 4 4 0\n";
}

constexpr double kW60 = 376.99111843077515;
constexpr std::array<double, 6> kDelays{0.001, 0.002, 0.003, 0.001, 0.002, 0.003};
constexpr std::array<double, 16> kEnvelopesA{1e-3, 100, 2e-3, 150, 1e-3, 100, 2e-3, 150,
                                             1e-3, 100, 2e-3, 150, 1e-3, 100, 2e-3, 150};
constexpr std::array<double, 8> kEnvelopesB{};
constexpr std::array<double, 16> kEnvelopesC{};

// Outputs the routines write (their values are not checked here).
struct Outputs {
  double x = 0.0, y = 0.0;
  std::int32_t n = 0, m = 0, k = 0;
  std::array<std::int32_t, 6> s6{};
  std::array<std::int32_t, 12> flags{};
  std::array<double, 24> values{};
  double cord = 0.0;
};

std::vector<Row> rows(Outputs& o) {
  const std::int32_t varrlc10 = L::varrlc10::kStorSize;
  // The meters and branches of a dynamic load of p phases (two branches each).
  const auto load_stores = [&](std::int32_t p, std::int32_t own_storf) {
    return Slots{p * meas::kStorSize + 2 * p * varrlc10, p * meas::kStorfSize + own_storf, 0,
                 p * meas::kStorlSize};
  };
  const auto with_block = [](Slots s, std::int32_t rtcf, bool new_form) {
    s.rtcf = rtcf;
    s.rtci = new_form ? L::load_block::kRtciSize : 0;
    s.rtcl = L::load_block::kRtclSize;
    return s;
  };
  const auto load2_cfg = [] { load1p2_cfg(0, 1, 10.0, 1.0, 60.0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); };
  const auto load1_cfg = [] { load1p1_cfg(10.0, 60.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0); };
  Slots node1 = load_stores(1, L::node_load::kStorfSize);
  node1.storl += L::node_load::kStorlSize;
  Slots node3 = load_stores(3, L::node_load::kStorfSize);
  node3.storl += L::node_load::kStorlSize;

  return {
      // Sources.
      {"e_omegaref", {}, [] { e_omegaref(kW60); }, {.storf = L::omegaref::kStorfSize}},
      {"esys1", {}, [] { esys1(1, 1, 2, 3, 1.0, kW60, 0.0); }, {.stor = L::esys1::kStorSize}},
      {"ebr1p2", {}, [] { ebr1p2(1, 1, 1.0, kW60, 0.0, 0.01, 0); },
       {.stor = L::ramped_emf::kStorSize, .storf = L::omegaref::kStorfSize}},
      {"ebr3p2", {}, [] { ebr3p2(1, 1, 2, 3, 1.0, kW60, 0.0, 0.01); },
       {.stor = L::ramped_emf::kStorSize, .storf = L::omegaref::kStorfSize}},
      {"wakro_1pvsrc", {}, [] { wakro_1pvsrc(1, 1, 0.0, 1, 1.0, kW60, 0.0); },
       {.storf = L::vsrc::kStorfSize, .stori = L::vsrc::kStoriSize, .storl = L::vsrc::kStorlSize}},
      {"e_1pvsrc_cfg", [] { e_1pvsrc_cfg(1, 0, 1, 10.0, 50.0, 30.0, 0.0, 0.0, 0.0, 0.0, 0.0, 7.0); }, {},
       {.rtcf = L::vsrc_cfg::kRtcfSize}},
      {"current_source1", [] { current_source1_cfg(1, 1.0, 60.0, 0.0, 0.0); }, [] { current_source1_exe(10, 1); },
       {.storf = L::current_source1::kStorfSize, .rtcf = L::current_source1::kRtcfSize,
        .rtci = L::current_source1::kRtciSize}},
      {"custom_harmonics1_cfg", [] { custom_harmonics1_cfg(2, "harm.txt", 8); }, {},
       {.rtcf = L::custom_harmonics1::rtcf_size(2)}},
      // Switching devices.
      {"wakro_tbreak", {}, [&o] { wakro_tbreak(0.01, 0.02, 0, o.n); }, {.stor = L::tbreak::kStorSize}},
      {"wakro_tfault", {}, [&o] { wakro_tfault(0.01, 0.02, 1, o.n); }, {.stor = L::tfault::kStorSize}},
      {"brk_power, one set", {}, [&o] { brk_power(1, 4, 5, 6, 0, 0, 0, o.n, 0.002, o.x, o.y); },
       {.stor = L::brk_power::kStorSize, .stori = L::brk_power::kStoriSize}},
      {"brk_power, two sets", {}, [&o] { brk_power(1, 4, 5, 6, 7, 8, 9, o.n, 0.002, o.x, o.y); },
       {.stor = L::brk_power::kStorSize, .stori = L::brk_power::kStoriSize}},
      {"e1pbrkr1", [] { e1pbrkr1_cfg(0.01, 1e6, 0.0); }, [] { e1pbrkr1_exe(1, 4, 0.01, 1e6, false, 1); },
       {.rtcf = L::e1pbrkr1::kRtcfSize}},
      {"e3phflt1", [] { e3phflt1_cfg(1e6, 0.0); },
       [] { e3phflt1_exe(1, 4, 5, 6, 7, 8, 9, false, 1, 7, 0.01); }, {.rtcf = L::e3phflt1::kRtcfSize}},
      {"preinsert1", {}, [&o] { preinsert1(1, 0.001, 0.002, 1.0, o.n, o.m); },
       {.storf = L::contact_timing::storf_size(1), .stori = L::contact_timing::stori_size(1)}},
      {"preinsert33", {}, [&o] { preinsert33(1, 1, kDelays, 0.004, 1.0, -1.0, 1.0, o.s6); },
       {.storf = L::contact_timing::storf_size(3), .stori = L::contact_timing::stori_size(3)}},
      {"e_sparkgap", {}, [] { e_sparkgap(1, 4, 1e-3, 1e8, 10.0); }, {.storf = L::sparkgap::kStorfSize}},
      {"statbrk1", [] { statbrk1_cfg(0.002, 0.006, 3.0); }, [&o] { statbrk1_exe(12345, 1, o.n, o.m, o.k); },
       {.storf = L::statbrk1::kStorfSize, .stori = L::statbrk1::kStoriSize, .rtcf = L::statbrk1::kRtcfSize}},
      {"trvenvelope2", [] { trvenvelope2_cfg(2, 0, 0, 0.0, kEnvelopesA, kEnvelopesB, kEnvelopesC); },
       [&o] {
         const std::array<std::int32_t, 3> state{2, 2, 2};
         const std::array<double, 3> v{1.0, 2.0, 3.0};
         const std::span<std::int32_t> f(o.flags);
         const std::span<double> e(o.values);
         trvenvelope2_exe(4, 0, state, v, f.subspan(0, 4), f.subspan(4, 4), f.subspan(8, 4), e.subspan(0, 8),
                          e.subspan(8, 8), e.subspan(16, 8));
       },
       {.storf = L::trvenvelope2::storf_size(4), .stori = L::trvenvelope2::kStoriSize,
        .rtcf = L::trvenvelope2::kRtcfSize, .rtci = L::trvenvelope2::kRtciSize,
        .rtcl = L::trvenvelope2::kRtclSize}},
      {"peswitch1", [] { peswitch1_cfg(0, 1, 1e-3, 1e6, 100.0, 100.0, 0.001, 0.0); },
       [] { peswitch1_exe(1, 4, 1, 0.0); },
       {.stor = L::pe_switch::kStorSize, .storf = L::pe_switch::kStorfSize, .stori = L::pe_switch::kStoriSize,
        .storl = L::pe_switch::kStorlSize, .rtcf = L::pe_switch::kRtcfSize, .rtci = L::pe_switch::kRtciSize,
        .rtcl = L::pe_switch::kRtclSize}},
      // Variable branches and loads.
      {"wakro_varrlc10", {}, [&o] { wakro_varrlc10(10, 1, 1, o.x, 0.01, 0.0); }, {.stor = varrlc10}},
      {"e_varrlc1", [] { e_varrlc1_cfg(2, 1, 10, 0); }, [] { e_varrlc1_exe(2, 1, 10, 0, 10.0, 0.0); },
       {.storf = L::varrlc1::kStorfSize}},
      {"e_varimpbranch", {}, [] { e_varimpbranch(10, 1, 1, 1, 1, 5.0, 0.01, 10.0); },
       {.storf = L::varimpbranch::kStorfSize}},
      {"e_varimpbranch2", {}, [] { e_varimpbranch2(10, 1, 1, 1, 0, 5.0, 0.01, 0.0); },
       {.storf = L::varimpbranch::kStorfSize}},
      {"load1p2", load2_cfg, [] { load1p2_exe(1, 10, 13, 1.0); },
       with_block(load_stores(1, L::load_step_1p::kStorfSize), L::load_block::kRtcfSizeNew, true)},
      {"load3p2", load2_cfg, [] { load3p2_exe(1, 10, 11, 12, 13, 14, 15, 1.0); },
       with_block(load_stores(3, L::load_step_3p::kStorfSize), L::load_block::kRtcfSizeNew, true)},
      {"load1p1", load1_cfg, [] { load1p1_exe(1, 10, 13); },
       with_block(load_stores(1, L::load_step_1p::kStorfSize), L::load_block::kRtcfSizeOld, false)},
      {"load3p1", load1_cfg, [] { load3p1_exe(1, 10, 11, 12, 13, 14, 15); },
       with_block(load_stores(3, L::load_step_3p::kStorfSize), L::load_block::kRtcfSizeOld, false)},
      {"load1p", {}, [] { load1p(1, 1, 10, 13, 10.0, 60.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0); }, node1},
      {"load3p", {},
       [] { load3p(1, 1, 2, 3, 10, 11, 12, 13, 14, 15, 10.0, 60.0, 1.0, 1.0, 0.0, 0.0, 0.0, 0.0); }, node3},
      {"tldm34", {}, [] { tldm34(1, 1, 10.0, 5.0, 10.0, 0.0, 0.0, 0.0, 0.0, 60.0); },
       {.stor = L::tldm34::kStorSize}},
      // The static var compensator.
      {"svcaloct1", [] { e_svcaloct1_cfg(4, 0.1, 100.0, 50.0, 50.0); },
       [&o] { e_svcaloct1_exe(0.01, 2.0, o.x, o.y); }, {.rtcf = L::svcaloct1::kRtcfSize}},
      {"svc1", [] { svc1_cfg(rated()); },
       [&o] { svc1_exe(1, 4, 5, 6, 3.0, o.cord, 1, o.n, o.m, 0); },
       {.stor = L::svc1::kStorSize, .rtcf = L::svc1::kRtcfSize, .rtci = L::svc1::kRtciSize}, Net::svc},
      {"svc400", {},
       [&o] {
         svc400(1, 1, 2, 3, 3.0, o.cord, 1, o.n, o.m, 0, 50.0, 900.0, 2, 2, 100.0, 230.0, 60.0, 0.3, 10.0, 0.0,
                1.0, 1.0);
       },
       {.stor = L::svc400::kStorSize}, Net::plain, svc_data()},
  };
}

class DeviceLayouts : public devtest::Devices {
 protected:
  void SetUp() override {
    devtest::Devices::SetUp();
    extra_dims_ = {{dim::stor, 512},  {dim::storl, 64}, {dim::stori, 64}, {dim::storf, 128},
                   {dim::storc, 16},  {dim::rtcf, 256}, {dim::rtci, 16},  {dim::rtcl, 16}};
  }
  void TearDown() override {
    wakro::close_all_units();
    folder_.leave();
    devtest::Devices::TearDown();
  }

  void network(Net net) {
    if (net == Net::svc) {
      size(3, 9);
      for (std::int32_t n = 1; n <= 3; ++n) add_branch(1, 0, n, 0.01, 0.0, 0.0, 0.0, 1.0);
      for (std::int32_t n = 1; n <= 3; ++n) empty_branch(0, n);
      for (std::int32_t n = 1; n <= 3; ++n) empty_branch(n, 0);
      return;
    }
    size(3, 15);
    for (std::int32_t n = 1; n <= 3; ++n) add_branch(1, 0, n, 10.0, 0.0, 0.0, 0.0, 1.0);
    for (std::int32_t k = 0; k < 6; ++k) add_branch(1, k % 3 + 1, 0, 0.0, 0.0, 0.0, 0.0, 0.0, true);
    for (std::int32_t k = 0; k < 6; ++k) empty_branch(k % 3 + 1, 0);
  }

  wakro_test::WorkFolder folder_;
};

TEST_F(DeviceLayouts, EveryRoutineTakesTheSlotsItsLayoutDeclares) {
  ASSERT_TRUE(folder_.enter("wakro_layouts_"));
  wakro_test::write_file("harm.txt", "order magnitude angle\n3 0.1 0\n5 0.05 0\n");
  Outputs out;
  for (const Row& r : rows(out)) {
    SCOPED_TRACE(r.name);
    network(r.net);
    if (!r.data.empty()) {
      wakro_test::write_file("device.dat", r.data);
      fnames::filename = wakro::FixedText<72>("device.dat");
      wakro_openfile();
    }
    std::vector<Slots> cfg_took, exe_took;
    devices([&] {
      if (e_s1::timezero && r.cfg) {
        const Slots before = pointers();
        r.cfg();
        cfg_took.push_back(advance(before, pointers()));
        rt_config::nrtcf = rt_config::nrtci = rt_config::nrtcl = 1;
      }
      if (!r.exe) return;
      const Slots before = pointers();
      r.exe();
      exe_took.push_back(advance(before, pointers()));
    });
    start_run(5);
    for (int k = 0; k < 3; ++k) step();
    if (r.cfg) {
      ASSERT_EQ(cfg_took.size(), 1u);
      EXPECT_EQ(cfg_took[0], configuration(r.declared)) << "the _cfg";
    }
    if (r.exe) {
      ASSERT_EQ(exe_took.size(), 3u);
      for (std::size_t k = 0; k < exe_took.size(); ++k) EXPECT_EQ(exe_took[k], r.declared) << "step " << k;
    }
    wakro::close_all_units();
    release_all_and_reset();
  }
}

}  // namespace
