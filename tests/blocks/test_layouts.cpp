// Every block's declared record (wakro::blocks::layout) against the slots the
// block really takes: each routine runs through the block bench and the advance
// of every storage and configuration pointer, in the begin pass and on every
// step, must equal the sizes its layout declares. A layout that names one slot
// too few or too many, or a routine that takes a count of its own, fails here.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "block_bench.h"
#include "blocks/configured.h"
#include "blocks/configured_delay.h"
#include "blocks/continuous.h"
#include "blocks/converter_controls.h"
#include "blocks/current_order.h"
#include "blocks/events.h"
#include "blocks/filters.h"
#include "blocks/frequency.h"
#include "blocks/function_blocks.h"
#include "blocks/generators.h"
#include "blocks/harmonics.h"
#include "blocks/interpolated.h"
#include "blocks/meters.h"
#include "blocks/phase_meters.h"
#include "blocks/pid_controller.h"
#include "blocks/pll.h"
#include "blocks/recorded.h"
#include "blocks/poles.h"
#include "blocks/rms_meters.h"
#include "blocks/sampled_rms.h"
#include "blocks/sector_frequency.h"
#include "blocks/surges.h"
#include "blocks/tc_inputs.h"
#include "blocks/transfer_function.h"
#include "blocks/xy_file.h"
#include "blocks/xy_table.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace blocks_test {
namespace {

namespace L = wakro::blocks::layout;
using wakro::blocks::XPair;

// Slots taken from each array (or the pointers themselves).
struct Slots {
  std::int32_t stor = 0, storf = 0, stori = 0, storl = 0, rtcf = 0, rtci = 0, rtcl = 0;
  bool operator==(const Slots&) const = default;
};

Slots pointers() {
  return {e_s2::nexc,         storage::nstorf,    storage::nstori,   storage::nstorl,
          rt_config::nrtcf,   rt_config::nrtci,   rt_config::nrtcl};
}

Slots advance(const Slots& from, const Slots& to) {
  return {to.stor - from.stor, to.storf - from.storf, to.stori - from.stori, to.storl - from.storl,
          to.rtcf - from.rtcf, to.rtci - from.rtci,   to.rtcl - from.rtcl};
}

std::string text(const Slots& s) {
  return "stor " + std::to_string(s.stor) + ", storf " + std::to_string(s.storf) + ", stori " +
         std::to_string(s.stori) + ", storl " + std::to_string(s.storl) + ", rtcf " + std::to_string(s.rtcf) +
         ", rtci " + std::to_string(s.rtci) + ", rtcl " + std::to_string(s.rtcl);
}

void PrintTo(const Slots& s, std::ostream* os) { *os << text(s); }

// The configuration part of a record: what a _cfg writes and its _exe reads.
Slots configuration(const Slots& s) { return {0, 0, 0, 0, s.rtcf, s.rtci, s.rtcl}; }

struct Row {
  std::string name;
  std::function<void()> cfg;  // may be empty
  std::function<void()> exe;
  Slots declared;             // what exe takes on every step
};

// Small fixed inputs that every block accepts.
const std::array<double, 11> kNum{1.0, 2.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
const std::array<double, 11> kDen{1.0, 3.0, 2.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
const std::array<double, 11> kX0{};
const std::array<double, 3> kThree{1.0, 2.0, 0.5};
const std::array<double, 18> kGateInputs{};
const std::array<double, 33> kXyData{0.0, 1.0, 2.0, 5.0, 6.0, 7.0, 1.0, 1.0, 1.0};
constexpr XPair kPair{1.0, 0.0};

std::vector<Row> rows() {
  XPair o{};
  double d = 0.0;
  std::int32_t i = 0;
  static std::array<double, 8> m{}, p{};
  static std::array<double, 4> in{1.0, 2.0, 3.0, 4.0};
  static std::array<std::int32_t, 4> idx{};
  static std::array<double, 10> out{};
  static std::array<double, 6> six{0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  return {
      // configured.h
      {"ramp1", [] { ramp1_cfg(0.0, 1.0, 0.0, 2.0); }, [d]() mutable { ramp1_exe(0.5, d); },
       {.rtcf = L::ramp1::kRtcfSize}},
      {"convert_scale1", [] { convert_scale1_cfg(0.0, 0.0, 1.0, 2.0); },
       [] { std::array<double, 2> y{}; convert_scale1_exe(2, in, y); }, {.rtcf = L::convert_scale1::kRtcfSize}},
      {"discretizer1", [] { discretizer1_cfg(0.0, 0, 1.0, 5); },
       [] { std::array<std::int32_t, 2> y{}; discretizer1_exe(2, in, y); },
       {.rtcf = L::convert_scale1::kRtcfSize, .rtci = L::discretizer1::kRtciSize}},
      {"counter1", [] { counter1_cfg(0, 9, 1); }, [i]() mutable { counter1_exe(1, 0, 0, i); },
       {.stori = L::counter1::kStoriSize, .rtci = L::counter1::kRtciSize}},
      {"sawtooth1", [] { sawtooth1_cfg(1.0, -1.0); }, [d]() mutable { sawtooth1_exe(50.0, d); },
       {.storf = L::sawtooth1::kStorfSize, .stori = L::sawtooth1::kStoriSize, .rtcf = L::sawtooth1::kRtcfSize}},
      {"txferfnc1", [] { txferfnc1_cfg(0.0, 0.0, 1.0, 1.0, 0.5, 0.5); }, [d]() mutable { txferfnc1_exe(0.5, d); },
       {.rtcf = L::txferfnc1::kRtcfSize}},
      // configured_delay.h: 5 samples of 1e-4 s in the plain mode, 5 + 1 in the sub-step mode
      {"delay1", [] { delay1_cfg(0, 10, 5e-4); }, [d]() mutable { delay1_exe(1.0, d); },
       {.storf = L::delay_buffer::kStorfHead + 5, .stori = L::delay1::kStoriSize, .rtcf = L::delay1::kRtcfSize,
        .rtci = L::delay1::kRtciSize, .rtcl = L::delay1::kRtclSize}},
      {"delay2", [] { delay2_cfg(1, 10, 0, 5e-4, 0.0); }, [d]() mutable { delay2_exe(1.0, d); },
       {.storf = L::delay_buffer::kStorfHead + 6, .stori = L::delay2::kStoriSize, .rtcf = L::delay2::kRtcfSize,
        .rtci = L::delay2::kRtciSize, .rtcl = L::delay2::kRtclSize}},
      // events.h
      {"wakro_zcd", {}, [o]() mutable { wakro_zcd(1.0, o); }, {.stor = L::zcd::kStorSize}},
      {"mono2", {}, [] { mono2(1, 1e-3); }, {.stor = L::mono2::kStorSize}},
      {"mono3", {}, [] { mono3(1, 1e-3); }, {.stor = L::mono3::kStorSize}},
      {"latck2", {}, [i]() mutable { std::int32_t q = 0; latck2(1, 0, 0, 0, 1, q, i); }, {.stor = L::latck2::kStorSize}},
      {"itimr1", {}, [] { itimr1(1, 1e-3); }, {.stor = L::itimr1::kStorSize}},
      {"itimr3", {}, [] { itimr3(1, 0, 1e-3, 1e-3, 0); }, {.stor = L::itimr3::kStorSize}},
      {"t2m3", {}, [i]() mutable { t2m3(1, 0, 1e-3, 1e-3, 0, i); },
       {.storf = L::t2m3::kStorfSize, .stori = L::t2m3::kStoriSize}},
      {"timer3", {}, [] { timer3(1e-3, 1e-3, 1.0, 2.0, 0.0, 1.0); }, {.stor = L::timer3::kStorSize}},
      {"wakro_binon", {}, [o]() mutable { wakro_binon(1.0, 0.5, 0.0, 0.5, 1, o); },
       {.stor = L::binon::kStorSize, .storf = L::binon::kStorfSize}},
      {"wakro_sonon", {}, [o]() mutable { wakro_sonon(1.0, 0.5, 1e-3, 1, o); },
       {.stor = L::sonon::kStorSize, .storf = L::sonon::kStorfSize}},
      {"delax", {}, [] { delax(1e-3, 4, 1.0); }, {.stor = L::delax::stor_size(4)}},
      {"sampl2", {}, [] { sampl2(1e-3, 1.0); }, {.stor = L::sampl2::kStorSize}},
      {"samp5", {}, [] { samp5(1.0, 50.0, 0, 0.0, 0); }, {.stor = L::samp5::kStorSize}},
      {"sandh2", {}, [d]() mutable { sandh2(1.0, 1, 1, d); }, {.stor = L::sandh2::kStorSize}},
      {"e_sorter", {}, [] { e_sorter(4, 1, 1, 1, in, idx); }, {.stori = L::sorter::stori_size(4)}},
      // continuous.h
      {"realp2", {}, [] { realp2(1.0, 1e-3, 1.0); }, {.stor = L::realp2::kStorSize}},
      {"difpl2", {}, [] { difpl2(1e-3, 1.0); }, {.stor = L::difpl2::kStorSize}},
      {"ldlag2", {}, [] { ldlag2(1e-3, 2e-3, 1.0, 1.0); }, {.stor = L::ldlag2::kStorSize}},
      {"intgl3", {}, [] { intgl3(0.0, -1.0, 1.0, 1e-3, 1.0); }, {.stor = L::intgl3::kStorSize}},
      {"pi3", {}, [] { pi3(1.0, 1e-3, -1.0, 1.0, 0.0, 1.0); }, {.stor = L::pi3::kStorSize}},
      {"deriv1", {}, [] { deriv1(1.0, 1.0); }, {.stor = L::deriv1::kStorSize}},
      {"cmpxp5", {}, [] { cmpxp5(1, 1.0, 0.5, 314.0, 1.0); }, {.stor = L::cmpxp5::kStorSize}},
      {"delay", {}, [] { delay(5e-4, 10, 1.0); }, {.stor = L::delay::stor_size(5)}},
      {"delayi", {}, [] { delayi(5e-4, 10, 1.0); }, {.stor = L::delayi::stor_size(5)}},
      {"rate_limiter", {}, [d]() mutable { rate_limiter(1.0, 1.0, 1.0, d); }, {.storf = L::rate_limiter::kStorfSize}},
      // interpolated.h
      {"wakro_xint", {}, [] { wakro_xint(0, 0, 0, 0.0, 1e-3, 0.0, -1.0, 1.0, kPair, kPair); },
       {.storf = L::xint::kStorfSize}},
      {"wakro_xpi", {}, [] { wakro_xpi(0, 1.0, 1e-3, -1.0, 1.0, 0.0, kPair); }, {.storf = L::xint::kStorfSize}},
      {"wakro_xpi2", {}, [] { wakro_xpi2(0, 1.0, 1e-3, -1.0, 1.0, 0.0, kPair); }, {.storf = L::xint::kStorfSize}},
      {"wakro_xzcd", {}, [o]() mutable { wakro_xzcd(1.0, o); }, {.storf = L::xzcd::kStorfSize}},
      {"wakro_x2comp", {}, [o]() mutable { wakro_x2comp(0, 0, 1.0, 0.0, 1.0, 0.0, 0.0, o); },
       {.storf = L::xzcd::kStorfSize}},
      {"wakro_xhbuff", {}, [o]() mutable { wakro_xhbuff(0, 0, 1.0, 2.0, -2.0, o); },
       {.storf = L::xhbuff::kStorfSize, .stori = L::xhbuff::kStoriSize}},
      {"wakro_xlgate", {}, [o]() mutable { wakro_xlgate(0, 2, kGateInputs, o); }, {.stori = L::xlgate::kStoriSize}},
      {"wakro_xflip", {}, [o]() mutable { wakro_xflip(0, 1, 0, 0, kPair, kPair, kPair, o); },
       {.stori = L::xflip::kStoriSize}},
      {"e_xflip1", [] { e_xflip1_cfg(1, 0, 0, 0); }, [o]() mutable { e_xflip1_exe(kPair, kPair, kPair, o); },
       {.stori = L::xflip::kStoriSize, .rtci = L::xflip1::kRtciSize}},
      {"wakro_xshift", {}, [o]() mutable { wakro_xshift(3, 1, 0, 5, kPair, kPair, o); },
       {.stori = L::xshift::stori_size(3)}},
      // generators.h
      {"wakro_xondlay", {}, [o]() mutable { wakro_xondlay(0, 1e-3, kPair, o); },
       {.storf = L::xondlay::kStorfSize, .stori = L::xondlay::kStoriSize}},
      {"wakro_xttrans", {}, [o]() mutable { wakro_xttrans(0, 1e-3, 1e-3, kPair, o); },
       {.storf = L::xttrans::kStorfSize, .stori = L::xttrans::kStoriSize}},
      {"wakro_xmstab", {}, [o]() mutable { wakro_xmstab(0, 1e-3, kPair, o); }, {.storf = L::xmstab::kStorfSize}},
      {"wakro_xigen", {}, [o]() mutable { wakro_xigen(0, 0, 1e-3, 1.0, 1e-3, o); },
       {.storf = L::xigen::kStorfSize, .stori = L::xigen::kStoriSize}},
      {"e_xigen1", [] { e_xigen1_cfg(0, 1e-3, 1.0, 50.0); }, [o]() mutable { e_xigen1_exe(o); },
       {.stori = L::xigen1::kStoriSize, .rtcf = L::xigen1::kRtcfSize}},
      {"wakro_xsgen", {}, [o]() mutable { wakro_xsgen(1, 0, 0.0, 50.0, 50.0, 1.0, -1.0, o); },
       {.storf = L::xsgen::kStorfSize, .storl = L::xsgen::kStorlSize}},
      {"e_xsgen1", [] { e_xsgen1_cfg(1, 90.0, 50.0, 1.0, 0.0); }, [o]() mutable { e_xsgen1_exe(1, 50.0, o); },
       {.storf = L::xsgen::kStorfSize, .storl = L::xsgen::kStorlSize, .rtcf = L::xsgen1::kRtcfSize}},
      {"wakro_blp", {}, [o]() mutable { wakro_blp(0.5, 0.2, 1.0, 0.0, o); }, {.storf = L::blp::kStorfSize}},
      {"wakro_itfp", {}, [o]() mutable { wakro_itfp(1, 1e-3, 1.0, 0.0, 0.5, 0.2, o); }, {.storf = L::itfp::kStorfSize}},
      {"wakro_igfp", {}, [o]() mutable { wakro_igfp(1, 1.0, 0.0, 0.5, 0.2, 0.8, 0.5, o); },
       {.storf = L::igfp::kStorfSize}},
      // surges.h
      {"surge1", [] { surge1_cfg(1.0, 2.0, 3.0, 4.0, 1.0); }, [d]() mutable { surge1_exe(1.5, d); },
       {.rtcf = L::surge1::kRtcfSize, .rtcl = L::surge1::kRtclSize}},
      {"surge_ieee1", [] { surge_ieee1_cfg(1, 0, 0, 0, 1, 0); }, [d]() mutable { surge_ieee1_exe(d); },
       {.rtcf = L::surge_ieee1::kRtcfSize}},
      {"surge_cigre1", [] { surge_cigre1_cfg(24.3, 77.5, 3.83, 31.1, 0); }, [d]() mutable { surge_cigre1_exe(d); },
       {.rtcf = L::surge_cigre1::kRtcfSize}},
      {"sgen11", {}, [] { sgen11(1, 1.0, 50.0, 1, 0.0, 5.0, 0.0); }, {.stor = L::sgen11::kStorSize}},
      // tc_inputs.h
      {"vintgl8", {}, [] { vintgl8(0.0, -1.0, 1.0, 1e-3, 1.0, 0, 1); }, {.stor = L::tc_block::kStorSize}},
      {"vrealp8", {}, [] { vrealp8(1.0, 1e-3, 1.0, 0.0, 0, 1); }, {.stor = L::tc_block::kStorSize}},
      {"vdifpl8", {}, [] { vdifpl8(1.0, 1e-3, 1.0, 0.0, 0, 1); }, {.stor = L::tc_block::kStorSize}},
      {"vldlag8", {}, [] { vldlag8(1e-3, 2e-3, 1.0, 1.0, 0.0, 0, 1); }, {.stor = L::tc_block::kStorSize}},
      {"vpi9", {}, [] { vpi9(1.0, 1e-3, -1.0, 1.0, 0.0, 1.0, 0, 1); }, {.stor = L::tc_pi::kStorSize}},
      {"vpi9a", {}, [] { vpi9a(1.0, 1e-3, -1.0, 1.0, 0.0, 1.0, 0, 1); }, {.stor = L::tc_pi::kStorSize}},
      // poles.h
      {"realpole", {}, [] { realpole(0, 1, 0, 1.0, 1e-3, 1.0, 0.0, -1.0, 1.0); },
       {.storf = L::pole::kStorfSize, .stori = L::pole::kStoriSize}},
      {"diffpole", {}, [] { diffpole(0, 1, 0, 1.0, 1e-3, 1.0, 0.0, -1.0, 1.0); },
       {.storf = L::pole::kStorfSize, .stori = L::pole::kStoriSize}},
      {"ldlgpole", {}, [] { ldlgpole(0, 1, 0, 1e-3, 2e-3, 1.0, 1.0, 0.0, -1.0, 1.0); },
       {.storf = L::ldlgpole::kStorfSize, .stori = L::pole::kStoriSize}},
      // rms_meters.h
      {"rms3", {}, [] { rms3(1.0, 1e-3); }, {.stor = L::rms3::kStorSize}},
      {"arms10", {}, [] { arms10(1.0, 1e-3, 50.0, 1e-3); }, {.stor = L::correlation::kStorSize}},
      {"v1max4", {}, [] { v1max4(1.0, 1.0); }, {.stor = L::v1max4::kStorSize}},
      // sampled_rms.h: 4 samples per period of 50 Hz at 1e-4 s
      {"smpl_num", {}, [d, i]() mutable { std::int32_t n = 0; smpl_num(4, 50.0, d, n, i); },
       {.storf = L::smpl_num::kStorfSize, .stori = L::smpl_num::kStoriSize}},
      {"smpler", {}, [d]() mutable { smpler(1, 0.5, 1.0, d); }, {.storf = L::smpler::kStorfSize}},
      {"samp_buff", {}, [d]() mutable { samp_buff(1, 4, 1.0, 0.0, d); }, {.storf = L::samp_buff::storf_size(4)}},
      {"dgtl_rms", {}, [d]() mutable { dgtl_rms(4, 50.0, 1.0, 1.0, 0.0, d); },
       {.storf = L::dgtl_rms::storf_size(4), .stori = L::dgtl_rms::kStoriSize}},
      {"dgtl_rms3a", {}, [d]() mutable { dgtl_rms3a(4, 1.0, 2.0, 3.0, 50.0, 1.0, 0.0, d); },
       {.storf = L::dgtl_rms::storf_size(4), .stori = L::dgtl_rms::kStoriSize}},
      // sector_frequency.h
      {"fwav22", {}, [d]() mutable { double a = 0, b = 0, c = 0; fwav22(1.0, -0.5, -0.5, 1.0, 314.0, 0.05, a, b, c, d); },
       {.stor = L::fwav22::kStorSize}},
      {"e_fwav1", [] { e_fwav1_cfg(1.0, 50.0, 0.05); },
       [d]() mutable { double a = 0, b = 0; e_fwav1_exe(kThree, a, b, d); },
       {.storf = L::fwav1::kStorfSize, .stori = L::fwav1::kStoriSize, .rtcf = L::fwav1::kRtcfSize}},
      // function_blocks.h, pid_controller.h
      {"ramp3", {}, [] { ramp3(1.0, 1.0, 1.0); }, {.stor = L::ramp3::kStorSize}},
      {"grp2", {}, [] { grp2(1.0, 1e-3, -1.0, 1.0); }, {.stor = L::grp2::kStorSize}},
      {"pid_controller", {}, [] { pid_controller(1.0, 1.0, 0.0, 0.0, -1.0, 1.0, 0.0, 1.0, 0); },
       {.storf = L::pid_controller::kStorfSize}},
      // harmonics.h: N = 7 harmonics, with and without the input filter
      {"pfft49", {}, [] { pfft49(1.0, 400.0, 1.0, 3.9, 7.6, 9.1, 7.6, 3.9, 1.0, 0); }, {.stor = L::pfft49::kStorSize}},
      {"ftn180", {}, [d, i]() mutable { ftn180(0, 1, 7, 1, 0, 50.0, 1.0, i, m.data(), p.data(), d); },
       {.stor = L::ftn180::stor_size(7), .storf = L::ftn180::kStorfSize}},
      {"ftn180 unfiltered", {}, [d, i]() mutable { ftn180(0, 1, 7, 0, 0, 50.0, 1.0, i, m.data(), p.data(), d); },
       {.stor = L::ftn180::stor_size(7), .storf = L::ftn180::kStorfSize}},
      {"ftrac2", {}, [d]() mutable { ftrac2(1, 0, 0.5, 50.0, d); }, {.stor = L::ftrac2::kStorSize}},
      // transfer_function.h, filters.h: order 2, order 4
      {"tfdn10", {}, [d]() mutable { tfdn10(2, kNum.data(), kDen.data(), kX0.data(), 1, 1, 1.0, d); },
       {.storf = L::tfdn10::storf_size(2)}},
      {"tfnn35", {}, [d]() mutable { tfnn35(2, kNum.data(), kDen.data(), kX0.data(), 0, 100.0, 1.0, d); },
       {.stor = L::tfnn35::kStorSize, .storf = L::tfdn10::storf_size(2)}},
      {"filn15", {}, [d]() mutable { filn15(4, 50.0, 2.0, 1.0, 2, 3, 1, 1.0, d); },
       {.stor = L::filn15::kStorSize, .storf = L::tfdn10::storf_size(4)}},
      // xy_table.h: 3 points, 2 outputs
      {"xytable_t", [] { xytable_t_cfg(3, 2, kXyData.data()); },
       [] { xytable_t_exe(3, 2, 0, 0.5, out.data()); }, {.rtcf = L::xytable_t::kRtcfSize}},
      {"xytable_t2", [] { xytable_t2_cfg(3, 2, kXyData.data()); },
       [] { xytable_t2_exe(3, 2, 0, 0.5, out.data()); }, {.rtcf = L::xytable_t2::rtcf_size(3, 2)}},
      // frequency.h
      {"e_meas_freq", {}, [d]() mutable { double f = 0; e_meas_freq(1.0, 50.0, 1.0, d, f); },
       {.stor = L::meas_freq::kStorSize, .storf = L::meas_freq::kStorfSize, .storl = L::meas_freq::kStorlSize}},
      // pll.h
      {"tveka1", [] { tveka1_cfg(1.0, 50.0); },
       [d]() mutable { double e = 0, f = 0; tveka1_exe(1.0, -0.5, -0.5, 50.0, 450.0, 0.0, 0.05, 1.2, 0.8, d, e, f); },
       {.storf = L::tveka1::kStorfSize, .rtcf = L::tveka1::kRtcfSize}},
      {"phd3", {}, [d]() mutable { phd3(1.0, -1.0, d); }, {.stor = L::phd3::kStorOwn + 2 * L::zcd::kStorSize}},
      // phase_meters.h: two realpole lags after each own record
      {"mphase3ps", {}, [d]() mutable { mphase3ps(1, 0, 1.0, -0.5, -0.5, 0.02, 50.0, d); },
       {.storf = L::mphase3ps::kStorfOwn + 2 * L::pole::kStorfSize, .stori = 2 * L::pole::kStoriSize}},
      {"mphase1ps", {}, [d]() mutable { mphase1ps(1, 0, 1.0, 0.02, 50.0, d); },
       {.storf = L::mphase1ps::kStorfOwn + 2 * L::pole::kStorfSize, .stori = 2 * L::pole::kStoriSize}},
      {"d1ph10", {}, [] { d1ph10(0.5, 30.0, 314.0, 1.0); }, {.stor = L::d1ph10::kStorSize}},
      // converter_controls.h
      {"tveka3", {},
       [d]() mutable {
         double e = 0, f = 0;
         tveka3(1.0, -0.5, -0.5, 50.0, 450.0, 1.0, 50.0, 0.0, 0.05, d, e, f);
       },
       {.stor = L::old_oscillator::kStorSize}},
      {"tvekn3", {},
       [d]() mutable {
         double e = 0, f = 0;
         tvekn3(1.0, -0.5, -0.5, 50.0, 450.0, 1.0, 50.0, 0.0, 0.05, d, e, f);
       },
       {.stor = L::old_oscillator::kStorSize}},
      {"tvekt3", {}, [d]() mutable { double e = 0, t = 0; tvekt3(1.0, -0.5, -0.5, 50.0, 450.0, 1.0, 50.0, d, t, e); },
       {.stor = L::old_oscillator::kStorSize}},
      {"edph2", {}, [d]() mutable { double b = 0, c = 0; edph2(1.0, -0.5, -0.5, d, b, c, 50.0); },
       {.stor = L::edph2::kStorSize}},
      {"icpsw4", {}, [] { icpsw4(1, 0, 5, 2, 1e-3); },
       {.stor = L::mono3::kStorSize, .stori = L::step_changer::kStoriSize}},
      {"cpsw", [] { cpsw_cfg(5); }, [i]() mutable { cpsw_exe(1, 0, 2, i, 1e-3); },
       {.stor = L::mono3::kStorSize, .stori = L::step_changer::kStoriSize, .rtci = L::cpsw::kRtciSize}},
      {"gama18", {}, [d]() mutable { double m = 0, n = 0; gama18(six, six, 0.0, 50.0, d, m, n); },
       {.stor = L::gama18::kValves * L::zcd::kStorSize + L::gama18::kStorReserved,
        .storf = L::gama18::kStorfSize, .stori = L::gama18::kStoriSize}},
      {"gamme6", {}, [d, i]() mutable { gamme6(1.0, -1.0, d, 1.0, 50.0, i); },
       {.stor = 2 * L::zcd::kStorSize, .storf = L::gamme6::kStorfSize, .stori = L::gamme6::kStoriSize}},
      // current_order.h
      {"vdvoci", {}, [d]() mutable { double io = 0; vdvoci(0.8, 1.0, 2.0, 0.6, 0.3, 0.25, d, io, 0.3, 0.5, 0.3, 0.4); },
       {.stor = L::vdvoci::kStorSize}},
  };
}

TEST(Layouts, EveryBlockTakesExactlyItsDeclaredRecord) {
  for (Row& r : rows()) {
    SCOPED_TRACE(r.name);
    BlockBench bench(1e-4);
    Slots cfgTaken{};
    std::vector<Slots> exeTaken;
    bench.begin = [&] {
      if (!r.cfg) return;
      const Slots before = pointers();
      r.cfg();
      cfgTaken = advance(before, pointers());
    };
    bench.dynamics = [&] {
      const Slots before = pointers();
      r.exe();
      exeTaken.push_back(advance(before, pointers()));
    };
    const wakro_test::Outcome o = bench.run(3);
    ASSERT_EQ(o.status, -1) << o.console;
    if (r.cfg) {
      EXPECT_EQ(cfgTaken, configuration(r.declared));
    }
    ASSERT_EQ(exeTaken.size(), 4u);
    for (const Slots& taken : exeTaken) EXPECT_EQ(taken, r.declared);
  }
}

// The records whose slots are named by position in the file formats and the case
// code: a few sizes and positions as they must stay.
TEST(Layouts, SizesAndPositionsThatCaseCodeReliesOn) {
  EXPECT_EQ(L::fwav22::kAwaited, 7);
  EXPECT_EQ(L::fwav22::kDur, 15);
  EXPECT_EQ(L::fwav22::kStorSize, 22);
  EXPECT_EQ(L::fwav1::kStorfSize, 15);
  EXPECT_EQ(L::sgen11::kStopTime, 7);
  EXPECT_EQ(L::sgen11::kStorSize, 11);
  EXPECT_EQ(L::pfft49::kStorSize, 49);
  EXPECT_EQ(L::ftn180::stor_own(7), 4 * 7 + 6);
  EXPECT_EQ(L::tfnn35::kScaledNum, 24);
  EXPECT_EQ(L::tfnn35::kStorSize, 56);
  EXPECT_EQ(L::tfdn10::storf_size(3), 3 * 3 + 2 * 3 + 2);
  EXPECT_EQ(L::filn15::kNum, 15);
  EXPECT_EQ(L::filn15::kStorSize, 25);
  EXPECT_EQ(L::tc_pi::kProportional, 9);
  EXPECT_EQ(L::vmea35::kStorSize, 35);
  EXPECT_EQ(L::crms11::kStorSize, 11);
  EXPECT_EQ(L::xlgate::kStoriSize, 10);
  EXPECT_EQ(L::meas_freq::kStorfSize, 9);
  // Blocks that read the network or a file, not run above.
  EXPECT_EQ(L::fileread::kStoriSize, 3);
  EXPECT_EQ(L::fileread::kStorfSize, 35);
  EXPECT_EQ(L::fileread::kRowS, 25);
  EXPECT_EQ(L::xy_file::storf_size(10), 22);
  EXPECT_EQ(L::xy_file::kStoriSize, 3);
  EXPECT_EQ(L::branch_power::kStorSize, 3);
  EXPECT_EQ(L::pqvi1ph::kStorfSize, 2);
  // Converter controls.
  EXPECT_EQ(L::tveka1::kRtcfSize, 2);
  EXPECT_EQ(L::tveka1::kStorfSize, 2);
  EXPECT_EQ(L::old_oscillator::kInvBase, 3);
  EXPECT_EQ(L::mphase1ps::kPrevInput, 3);
  EXPECT_EQ(L::d1ph10::kAngle, 10);
  EXPECT_EQ(L::gama18::kStoriSize, 6);
  EXPECT_EQ(L::gama18::kStorfSize, 6);
  EXPECT_EQ(L::gamme6::kStoriSize, 4);
  EXPECT_EQ(L::vdvoci::kLastVoltage, 3);
}

}  // namespace
}  // namespace blocks_test
