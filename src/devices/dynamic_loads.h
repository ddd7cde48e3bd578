// Dynamic loads: groups of ordinary branches whose R and L or C the load
// recomputes, at zero crossings of the measured voltage, so that the load draws
//   P(V, f) = P0 (1 + KPF df) sum_i KPi Vpu^NPi
//   Q(V, f) = Q0 (1 + KQF df) sum_i KQi Vpu^NQi      (Q > 0 inductive)
// with Vpu the measured voltage in per unit, limited to [0.8, 1.2], and
// df = f / f0 - 1 limited so that 1 + K df stays positive. The branch values are
// R = (Vpu Vb)^2 / P, X = (Vpu Vb)^2 / |Q|, L = X / (2 pi f), C = 1e6 / (2 pi f X)
// uF, with f the limited frequency f0 (1 + df). The branches change through
// wakro_varrlc10; each phase is measured with e_meas_freq.
//
// Units: power MW and Mvar per phase, voltage kV (RMS, of the measured branch or
// node), frequency Hz. A zero or negative rated voltage, initial voltage or rated
// frequency, a proportion outside [0, 1] and a scaling factor below 1e-10 stop
// the run under the tag "LOAD_MODEL  ".
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace load_block {  // the configured forms (load*p2_cfg, load*p1_cfg and their steps)
enum : std::int32_t { kHasP = 1, kHasL, kHasC, kRtclSize = kHasC };  // RTCL: the parts in use
enum : std::int32_t { kBaseFlag = 1, kRtciSize = kBaseFlag };         // RTCI (new form only)
enum : std::int32_t {                                                 // RTCF, new form
  kR = 1, kL, kC, kDfMax, kStart, kP0, kQ0, kNp1, kNp2, kNp3, kNq1, kNq2, kNq3, kVinit,
  kKp1, kKq1, kKp2, kKq2, kKp3, kKq3, kKpf, kKqf, kVbase, kF0, kRtcfSizeNew = kF0
};
enum : std::int32_t {  // RTCF, old form
  kOR = 1, kOL, kOC, kODfMax, kOStart, kOP0, kOQ0, kONp, kONq, kOKpf, kOKqf, kOVbase, kOF0,
  kRtcfSizeOld = kOF0
};
}
namespace load_step_1p {  // STORF after the meter: previous v, highest and lowest RMS
enum : std::int32_t { kPrevV = 1, kHighest, kLowest, kStorfSize = kLowest };
}
namespace load_step_3p {  // STORF after the meters: the previous voltages of the three phases
enum : std::int32_t { kPrevV = 1, kStorfSize = kPrevV + 2 };
}
namespace node_load {  // load1p, load3p: STORL the parts in use; STORF 8
enum : std::int32_t { kHasP = 1, kHasL, kHasC, kStorlSize = kHasC };
// STORF: the previous voltage of each phase from kPrevV, then the law from
// law_slot(phases, kR); load1p then keeps the highest and lowest RMS.
enum : std::int32_t { kPrevV = 1, kStorfSize = 8 };
enum : std::int32_t { kR = 0, kL, kC, kDfMax, kStart };
constexpr std::int32_t law_slot(std::int32_t phases, std::int32_t field) { return kPrevV + phases + field; }
inline constexpr std::int32_t kHighest = law_slot(1, kStart) + 1, kLowest = kHighest + 1;
static_assert(kLowest == std::int32_t{kStorfSize} && law_slot(3, kStart) == std::int32_t{kStorfSize});
}
}  // namespace wakro::devices::layout

// Set-up shared by load1p2_exe and load3p2_exe (begin pass). base_flag 0: the
// powers are given at rated voltage; 1: at the initial voltage vinit (pu).
// parts 2 or 3 splits the law into that many parts with proportions kp1 (kp2)
// and the rest; any other value is one part. start_cycles delays the first
// update by that many cycles of f0. rtcf 24, rtci 1, rtcl 3.
void load1p2_cfg(std::int32_t base_flag, std::int32_t parts, double vbase, double vinit, double f0,
                 double p0, double q0, double start_cycles, double kpf, double kqf, double np1,
                 double nq1, double kp1, double kq1, double np2, double nq2, double kp2, double kq2,
                 double np3, double nq3);
// One phase of two parallel branches; the voltage of ib1 is measured. scale
// multiplies the power. storf: e_meas_freq, then 3 (previous voltage, highest
// and lowest RMS since the last sign change); stor: two wakro_varrlc10.
void load1p2_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2, double scale);
// Three phases; branches k and k + 3 are the two branches of phase k, the
// voltages of 1 to 3 are measured. storf: three e_meas_freq, then 3 previous
// voltages; stor: six wakro_varrlc10.
void load3p2_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2, std::int32_t ib3,
                 std::int32_t ib4, std::int32_t ib5, std::int32_t ib6, double scale);

// Older forms, one part, no scale: the set-up (rtcf 13, rtcl 3; both routines
// the same) and the steps of one and three phases, as the ones above.
void load1p1_cfg(double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
                 double kqf);
void load3p1_cfg(double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
                 double kqf);
void load1p1_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2);
void load3p1_exe(std::int32_t iss, std::int32_t ib1, std::int32_t ib2, std::int32_t ib3,
                 std::int32_t ib4, std::int32_t ib5, std::int32_t ib6);

// Oldest forms: set-up and step in one routine, measuring node voltages. R goes
// on the R branch, L or C on the X branch, undoubled; a branch number below 1
// (for load3p: any of the three) leaves that part out. storl 3, storf 8 (load1p:
// previous voltage, R, L, C, df limit, start, highest, lowest; load3p: three
// previous voltages, R, L, C, df limit, start), then the meters and branches.
void load1p(std::int32_t iss, std::int32_t node, std::int32_t br_r, std::int32_t br_x, double vbase,
            double f0, double p0, double q0, double np, double nq, double kpf, double kqf);
void load3p(std::int32_t iss, std::int32_t n1, std::int32_t n2, std::int32_t n3, std::int32_t r1,
            std::int32_t r2, std::int32_t r3, std::int32_t x1, std::int32_t x2, std::int32_t x3,
            double vbase, double f0, double p0, double q0, double np, double nq, double kpf,
            double kqf);
