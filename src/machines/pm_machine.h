// The permanent-magnet synchronous machine in its three forms.
//
// A three-phase machine in the rotor's d-q-0 frame with one damper circuit on
// each axis and a constant magnet flux on the d axis. Its five currents
// x = (id, iq, i0, ikd, ikq) advance each step by the trapezoidal rule in the
// discrete form x := P x + R u, P = (I - M)^-1 (I + M), R = (I - M)^-1 N, and
// it enters the network as three phase currents behind a resistive companion,
// with three series R-C snubbers. The voltage a step assumes at its end is the
// last solution turned by the exact rotation over the step: the rotor's turn,
// or with the second form's own mechanics the network's turn measured over the
// last step (the rotor swings about it); that form advances its speed to
// second order (Adams-Bashforth from the last two accelerations) and runs each
// step at the mean of the speeds at its ends. The rotor angle is one step
// ahead of the time axis (time zero's call turns it once).
//
//   pmmac1_cfg / pmmac1_exe   rotor speed an input, electrical torque an output;
//   pmmac2_cfg / pmmac2_exe   its own rotor mechanics, or a speed imposed by a
//                             switch;
//   pmmachine                 the single routine: reads its six data lines at
//                             time zero and injects its currents at nodes.
//
// A snubber resistance of 0 or less makes no snubber (the branch is left open).
// A singular (I - M) stops the run under "PM_MACHINE  ".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace wakro::machines {

inline constexpr std::string_view kPmTag = "PM_MACHINE  ";

// Configuration record: entry k is rtcf(p + k - 1), p the pointer on entry.
enum PmConfigSlot : std::int32_t {
  kPmInvVph = 1,      // 1 / phase base voltage
  kPmIb = 2,          // base current
  kPmWb = 3,          // base angular frequency, rad/s
  kPmXd = 4,
  kPmXq = 5,
  kPmXmd = 6,
  kPmXmq = 7,
  kPmFlux = 8,        // magnet flux, peak
  kPmRi = 9,          // interface resistance, network units
  kPmRs = 10,         // snubber resistance
  kPmCs = 11,         // snubber capacitance, microfarads
  kPmM = 12,          // 12..28: the non-zero entries of M = h A
  kPmN = 29,          // 29..37: the non-zero entries of N
  kPmInvH = 38,       // second form: 1 / H
  kPmDamping = 39,    // second form: D
  kPmRecord1 = 37,
  kPmRecord2 = 39,
};

// Step state in storf: slot k is storf(nstorf + k - 1).
enum PmSlot : std::int32_t {
  kPsAngle = 1,
  kPsLastQ = 2,       // the last step's transformed voltages
  kPsLastD = 3,       // (D less w times the magnet flux)
  kPsLastZ = 4,
  kPsX = 5,           // 5..9: id, iq, i0, ikd, ikq
  kPsLastAngle = 10,  // second form: the last solution's space-vector angle
  kPsSpeed = 11,      // second form
  kPsDSpeed = 12,
  kPsTorque = 13,
  kPsSlots1 = 10,
  kPsSlots2 = 13,
};

// The single routine's 30 storf slots.
enum PmLegacySlot : std::int32_t {
  kPlV = 1, kPlIb = 2, kPlWb = 3,
  kPlXd = 4, kPlXq = 5, kPlXmd = 6, kPlXmq = 7, kPlXkd = 8, kPlXkq = 9, kPlXl = 10,
  kPlRa = 11, kPlRkd = 12, kPlRkq = 13,
  kPlFlux = 14,
  kPlRi = 15,
  kPlSnubberR = 16, kPlSnubberSteps = 17,
  kPlInvDetD = 18, kPlInvDetQ = 19,
  kPlAngle = 20,
  kPlLastQ = 21, kPlLastD = 22, kPlLastZ = 23,
  kPlX = 24,          // 24..28
  kPlInvRi = 29,
  kPlSlots = 30,
};

// The configuration arguments, in their order.
struct PmData {
  double voltage = 0.0;    // V, line to line
  double power = 0.0;      // S
  double frequency = 0.0;  // Hz
  double xd = 0.0, xq = 0.0, xkd = 0.0, xkq = 0.0, xl = 0.0;
  double ra = 0.0, rkd = 0.0, rkq = 0.0;
  double flux = 0.0;       // magnet flux, RMS
  double ri = 0.0;         // first form: network units; second: per unit
  double snubber_r = 0.0;  // per unit
  double snubber_steps = 0.0;
  double damping = 0.0;    // second form
  double inertia = 0.0;    // second form, H in seconds
};

void pmmac1_cfg(const PmData& d);
void pmmac2_cfg(const PmData& d);

struct PmStepIn {
  std::int32_t ss = 1;
  std::array<std::int32_t, 3> phase{}, snubber{};
  std::int32_t speed_switch = 0;  // second form: 0 own mechanics, other imposed
  double speed = 0.0;             // w, per unit (imposed in the second form)
  double load_torque = 0.0;       // Tm, second form
};

// Returns Te.
double pmmac1_exe(const PmStepIn& in);
void pmmac2_exe(const PmStepIn& in);

struct PmmachineIn {
  std::int32_t ss = 1;
  std::array<std::int32_t, 3> nodes{}, snubber{};
  double speed = 0.0;
};
// Returns Te.
double pmmachine(const PmmachineIn& in);

}  // namespace wakro::machines
