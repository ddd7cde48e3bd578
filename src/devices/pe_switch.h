// The power-electronic switch: a switching branch that behaves as a semiconductor
// valve. It conducts when forward biased and gated (a diode is always gated),
// stops when its current falls below the holding current VF / ROFF or, for a
// turn-off device, when its gate is removed, breaks down when its voltage passes
// a breakdown level, and fires again when forward voltage returns within the
// minimum recovery time. Its ON state carries the forward drop as a source
// voltage. A gate edge inside the step (an interpolated gate: G with the time T
// from the edge to the end of the step) is handed to the network solution,
// which switches at that instant.
//
// Units: RON, ROFF in ohms; VF, VFB, VRB are compared with the branch voltage as
// the data gives them, that is in the network's voltage unit (kV), so that the
// holding current VF / ROFF is in kA; TMIN in microseconds. The breakdown
// messages state the voltage and the level in that unit.
//
// Kinds: 0 diode, 1 thyristor (turns off only at low current), 2 .. 9 devices
// that also turn off when the gate is removed (the switch names of
// network/switching.h). A kind outside 0 .. 9 ends the run (tag "PESWITCH"):
// the network solution recognises a valve only by its code 10 + kind.
//
// Gate G: 1 fire; 2 blocked; any other value no pulse (a turn-off device is
// blocked by every value but 1).
//
// Storage per call (network/switch_records.h reads the record through THISBR):
//   STORI 8  10 + kind; its STORL index; its STORF index p; (unused); subsystem;
//            branch; gate state of this step; its STOR index q (slot k = STOR(q+k))
//   STORL 2  has conducted since set-up; breakdown not permanent (L)
//   STORF 7  set-up time; I_H; VF; VFB; TMIN; the gate's T; -|VRB|
//   STOR 25  1 safety-message counter; 4 last gate-on edge; 6 I_H; 7 VF;
//            10 last turn-on; 11 last turn-off; 14 1.0 while conducting;
//            15 last gate-off edge; 20 1.0 once gated other than blocked;
//            21 last rise of the forward voltage through VF; 22 voltage at the
//            previous call; 23 recovery time offered (21 - 11); 24 1.0 after a
//            permanent breakdown; 25 firing delay (10 - 21)
// peswitch1_cfg appends RTCI 1 (kind), RTCL 1 (L), RTCF 6 (RON, ROFF, VFB, VRB,
// VF, TMIN); peswitch1_exe reads them back.
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace pe_switch {  // the record of one device, in the order it takes its blocks
enum : std::int32_t {  // STOR (slots not named here are kept and unused)
  kSafetyCount = 1, kGateOn = 4, kHolding = 6, kForward = 7, kTurnOn = 10, kTurnOff = 11,
  kConducting = 14, kGateOff = 15, kGated = 20, kRise = 21, kPrevV = 22, kRecovery = 23,
  kPermanent = 24, kDelay = 25, kStorSize = kDelay
};
enum : std::int32_t {  // STORI (slot 4 unused)
  kCode = 1, kLIndex = 2, kFIndex = 3, kSs = 5, kBr = 6, kGate = 7, kQIndex = 8, kStoriSize = kQIndex
};
enum : std::int32_t { kHasConducted = 1, kNotPermanent = 2, kStorlSize = kNotPermanent };  // STORL
enum : std::int32_t {                                                                       // STORF
  kSetupTime = 1, kIH = 2, kVF = 3, kVFB = 4, kTmin = 5, kGateT = 6, kVRB = 7, kStorfSize = kVRB
};
// peswitch1_cfg / peswitch1_exe: RTCI the kind, RTCL L, RTCF the six values.
enum : std::int32_t { kCfgKind = 1, kRtciSize = kCfgKind };
enum : std::int32_t { kCfgL = 1, kRtclSize = kCfgL };
enum : std::int32_t { kRon = 1, kRoff, kCfgVfb, kCfgVrb, kCfgVf, kCfgTmin, kRtcfSize = kCfgTmin };
}
}  // namespace wakro::devices::layout

void peswitch1_cfg(std::int32_t kind, std::int32_t l, double ron, double roff, double vfb,
                   double vrb, double vf, double tmin);
void peswitch1_exe(std::int32_t ss, std::int32_t br, std::int32_t g, double t);
// The single-routine forms. A gate of 2 blocks the valve for the call; on a
// diode (KIND below 1) it also sets the caller's KIND to 2 and the device's
// record to a turn-off device, so that from then on every gate but 1 blocks it.
// (peswitch1_exe keeps its configured kind: a 2 there blocks for the call only.)
void wakro_peswitch2(std::int32_t ss, std::int32_t br, double ron, double roff, std::int32_t g,
                     double t, std::int32_t& kind, std::int32_t l, double vfb, double vrb, double vf,
                     double tmin);
// The oldest form: the reverse breakdown level is VFB, and every breakdown is
// permanent (L false).
void wakro_peswitch(std::int32_t ss, std::int32_t br, double ron, double roff, std::int32_t g,
                    double t, std::int32_t& kind, double vfb, double vf, double tmin);
// The dynamics of the device whose record starts at storage::this_ (the store
// pointers at its slots); walks the pointers past it.
void wakro_peswitch_dyn(double instant, bool has_instant);
// A discontinued thyristor model: the run ends (tag "THYR25").
[[noreturn]] void thyr25();
