// Voltage sources: branches whose series EMF (EBR) a source model rewrites every
// step, their terminal-condition set-up, and the source impedance helpers.
// Units: kV, kA, MW, Mvar, ohms, henries, microfarads; angles in radians unless
// a name says degrees; angular frequencies in rad/s.
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
// The head of a registered record in stori, offsets from its first slot: its
// code, then the storl, storf and storc cursors at registration.
namespace record_head {
enum : std::int32_t { kCode = 0, kLogical, kReal, kComplex, kStoriSize };
}
// wakro_1pvsrc: offsets from the first slot of each block (storf +0 unused).
namespace vsrc {
enum : std::int32_t {
  kKind = record_head::kCode, kLogical = record_head::kLogical, kReal = record_head::kReal,
  kComplex = record_head::kComplex, kSs = record_head::kStoriSize, kBr, kStoriSize
};
enum : std::int32_t { kAc = 0, kStorlSize };
enum : std::int32_t { kRamp = 1, kRampRate, kMag, kOmega, kPhase, kLast, kAngle, kStorfSize };
// The slot of a Slots view (1-based) that holds offset k.
constexpr std::int32_t slot(std::int32_t k) { return k + 1; }
}
// e_1pvsrc_cfg, e_3pvsrc_cfg: rtcf
namespace vsrc_cfg {
enum : std::int32_t { kMagnitude = 1, kOmega, kPhase, kExtra, kRtcfSize = kExtra };
}
}  // namespace wakro::devices::layout

// Storage record of one registered source (positions from its first slot):
//   stori +0 101 (AC) or 0 (DC), +1..+3 the storl, storf, storc cursors at
//   registration, +4 subsystem, +5 branch; storl +0 AC flag; storf +1 ramp time,
//   +2 1/ramp (0 when the ramp is not longer than delt), +3 magnitude, +4 omega,
//   +5 phase, +6 time of the last angle advance, +7 running angle.
// Each call takes 6 stori, 1 storl and 8 storf slots.
void wakro_1pvsrc(std::int32_t ss, std::int32_t br, double ramp, std::int32_t ac, double magnitude,
                  double omega, double phase);
// Evaluates the source record at storage::this_ and writes its EBR.
void wakro_vsrc_dyn();
// Three single-phase sources at phase, phase - 2 pi / 3 and phase + 2 pi / 3.
void wakro_3phvsrc(std::int32_t ss, std::int32_t br1, std::int32_t br2, std::int32_t br3,
                   double ramp, std::int32_t ac, double magnitude, double omega, double phase);

// Internal EMF of a source from its terminal conditions; appends magnitude (peak
// for AC), omega, phase [rad] and extra to rtcf. AC needs f > 0 and, with
// terminal conditions (terminal != 0), v != 0: otherwise the run ends (tag
// "E_1PVSRC_CFG").
void e_1pvsrc_cfg(std::int32_t ac, std::int32_t terminal, std::int32_t ztype, double v, double f,
                  double phase_deg, double r, double l, double z3, double p, double q,
                  double extra);
void e_3pvsrc_cfg(std::int32_t ztype, double vll, double f, double phase_deg, double r, double l,
                  double z3, double p3, double q3, double vscale, double pscale, double extra);
// Sequence impedances of a three-phase source (format 1: magnitude and angle in
// degrees; otherwise R and X): series r1, l1 and the parallel zero-sequence r0p, l0p.
void source3r1_cfg(std::int32_t format, std::int32_t zero_seq, double a1, double b1, double a0,
                   double b0, double f, double& r1, double& l1, double& r0p, double& l0p);
// Series R + jX to the equivalent parallel R || jX, and back.
void ser2par(double r, double x, double& rp, double& xp);
void par2ser(double rp, double xp, double& r, double& x);
// Record walkers: the header at storage::this_, and a cursor advance.
void this_istorx(std::int32_t& nc, std::int32_t& nl, std::int32_t& ni, std::int32_t& nf);
void next_istorx(std::int32_t dc, std::int32_t df, std::int32_t di, std::int32_t dl);

namespace wakro::devices {
// Registers the device routines the network solution calls through its hooks,
// and the checks of the devices' store records (devices/record_checks.cpp).
void use_device_services();
}  // namespace wakro::devices
