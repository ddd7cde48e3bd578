// The per-step model of the three-phase synchronous machine, in both forms:
//
//   syncmc3p2_exe  with three series R-C interface branches defined at time zero
//                  (record of syncmc3p2_cfg) and selectable q-axis saturation;
//   syncmc3p1_exe  with an internal damping branch built into each phase
//                  branch's Norton equivalent (record of syncmc3p1_cfg, two
//                  reals shorter) and no q-axis saturation.
//
// Both run the same implementation, chosen by MachineVariant. Each step, before
// the network solution, the model takes its block of 375 slots at e_s2::nexc
// (moving nexc on at the end), reads its configuration record back (moving
// nrtci by 10 and nrtcf by 100 or 98) and rewrites the Norton equivalent of its
// three phase branches: their conductance through the network's run-time change
// helper (which also marks the matrix for re-factorisation) and their current
// source in branches::ccbr.
//
// A run has three phases: a start-up voltage source behind a conductance holds
// the terminals while the machine's initial state is tracked from the power it
// delivers; at the hand-over the machine equations start from that state while
// the source's conductance is stepped down for 0.04 s; then the machine alone.
// Nothing here allocates.
#pragma once

#include <array>
#include <cstdint>

#include "machines/machine_block.h"

namespace wakro::machines {

enum class MachineVariant { rc_branches, damping_branch };

// The inputs of one step (positions 1-24 of the 43 arguments).
struct SyncStepIn {
  std::int32_t ss = 1;                    // subsystem
  std::array<std::int32_t, 3> phase{};    // phase branches a, b, c
  std::array<std::int32_t, 3> rc{};       // R-C interface branches (rc_branches only)
  double power_order = 0.0;               // start-up source's power order, MW; speed-correction offset
  std::int32_t angle_follows = 0;         // 1: the source angle is trimmed toward power_order
  std::int32_t handover = 0;              // 1: enter machine mode (at time zero, or after release + 0.04 s)
  double multiplier = 1.0;                // identical machines in parallel
  std::int32_t zero_currents = 0;         // no source: >= 1 starts id, iq, ifd from 0
  std::int32_t speed_mode = 0;            // 1: speed from the mechanical equation, else imposed
  double imposed_speed = 0.0;             // rad/s
  double mech_torque = 0.0;
  std::int32_t add_correction = 0;        // imposed speed: 1 adds the speed correction
  std::int32_t extra_terms = 0;           // 1: accel_divisor, damping and ref_speed act
  double accel_divisor = 0.0;
  double damping = 0.0;
  double ref_speed = 0.0;                 // rad/s
  double field_voltage = 0.0;
  std::int32_t use_factor = 0;            // 1: factor goes to the electrical solution, else 1.0
  double factor = 1.0;
  std::int32_t q_saturation = 0;          // 2: q-axis saturation on (rc_branches only)
};

// The outputs of one step (positions 25-43).
struct SyncStepOut {
  double field_current = 0.0;     // in field-voltage units
  double zero_seq = 0.0;          // zero-sequence output (slot 316)
  double zero_current3 = 0.0;     // 3 m i0
  double voltage_angle = 0.0;     // angle of the axis voltage pair
  double rotor_angle = 0.0;       // rad
  double speed = 0.0;             // rad/s
  double te = 0.0;                // electrical torque
  double p = 0.0, q = 0.0;        // MW, Mvar
  double tm = 0.0;                // mechanical-side torque with friction and windage
  double te_filtered = 0.0;
  std::int32_t machine_mode = 0;
  std::int32_t machine_speed_mode = 0;
  std::array<double, 6> monitor{};  // block slots named by the record's integers 5-10
};

// q-axis flux of the current block: armature leakage Xa iq plus the saturated
// flux of magnetising current im scaled by r, in zone z (sign of im; 0 counts
// as negative).
double qflux(const MachineBlock& blk, double iq, double im, double r, std::int32_t z);

// The older single-routine form: it reads its nine data records itself at time
// zero (macdat, from the module data file its caller has positioned), carries
// the internal terminal filter of the damping-branch variant, and enters the
// network by Norton injections at its three phase nodes (a node 0 takes none).
// The argument list maps onto a SyncStepIn (phase and rc unused; speed-governor
// gain in `damping`, its time constant in `accel_divisor`) and these:
struct NewsncIn {
  SyncStepIn step;
  std::array<std::int32_t, 3> nodes{};       // phase nodes a, b, c
  double source_voltage = 0.0;               // start-up source's RMS phase voltage (negative: 0)
  double source_angle = 0.0;                 // its angle offset, rad
  std::array<std::int32_t, 6> monitor{1, 1, 1, 1, 1, 1};  // block slots returned in out.monitor
  std::int32_t per_unit_field = 0;           // 1: field voltage in / field current out per unit
};
void newsnc(const NewsncIn& in, SyncStepOut& out);

void sync_machine_exe(MachineVariant variant, const SyncStepIn& in, SyncStepOut& out);
void syncmc3p2_exe(const SyncStepIn& in, SyncStepOut& out);
void syncmc3p1_exe(const SyncStepIn& in, SyncStepOut& out);

}  // namespace wakro::machines
