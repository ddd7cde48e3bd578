// The stiff-source machine case: one page, one subsystem of three nodes (the
// machine terminal's phases) and nine branches (sync_stiff.dta):
//   1-3  a stiff source, ground -> phase k: an EMF behind 1 micro-ohm, which
//        the model code writes every step (RMS phase voltage V at angle theta);
//   4-6  the machine's phase branches, whose Norton equivalent the machine
//        rewrites every step;
//   7-9  its R-C interface branches, which the machine defines at time zero.
// The model code calls the case generator's synchronous machine (200 MVA,
// 18 kV, imposed speed) and its AC7B exciter directly. The machine's start-up
// source takes the terminal to the load-flow point given to its configuration;
// at the hand-over time the machine enters machine mode and the exciter leaves
// its initialisation, and from then on the machine alone delivers the point's
// P and Q.
//
// Parameters (the page's stored reals): 1 V [pu], 2 theta [rad], 3 P [MW],
// 4 Q [Mvar], 5 hand-over time [s]; 6-10 are the page's signals kept from step
// to step: the field voltage EFD, P, Q, the field current and machine mode.
// Output channels: 1 P [MW], 2 Q [Mvar], 3 field current, 4 EFD, 5 machine mode.
#include "sync_stiff_case.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "case/generic_sg_1.h"
#include "diag/validators.h"
#include "machines/exciter_ac7b.h"
#include "machines/machine_block.h"
#include "machines/sync_config.h"
#include "machines/sync_machine.h"
#include "model/branches.h"
#include "model/e_s1.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/quolbv3.h"
#include "model/rt_config.h"
#include "network/solution.h"
#include "page_call.h"

namespace {

using namespace wakro::machines;

constexpr std::int32_t kRecordLength = 5;  // subsystem, count 3, three nodes
constexpr std::int32_t kStoredReals = 10;
constexpr std::int32_t kChannels = 5;
constexpr std::int32_t kBranches = 9;
constexpr std::string_view kTag = "SYNC_STIFF  ";

// The page's stored reals.
enum Stored : std::int32_t { kV = 1, kAngle, kP, kQ, kHandover, kEfd, kPOut, kQOut, kIfdOut, kModeOut };

// The machine's rating: RMS phase current and voltage, angular frequency.
constexpr double kIb = wakro::casecode::kGeneratorData.rated_phase_ka, kVb = wakro::casecode::kGeneratorData.rated_phase_kv,
                 kW = wakro::casecode::kGeneratorData.w;
constexpr double kRatedPower = 3.0 * kIb * kVb;

struct PageCall {
  std::int32_t ss;
  std::int32_t stof_base;
  std::int32_t branch_base;
};

PageCall enter_page(std::int32_t stof_base) {
  PageCall c{};
  c.ss = quolbv3::node(quolbv3::nnode + 1);
  wakro_testssn(kTag, c.ss);
  quolbv3::ncall_no += 1;
  c.stof_base = stof_base;
  quolbv3::nnode += kRecordLength;
  c.branch_base = quolbv3::nbrch(c.ss);
  quolbv3::nbrch(c.ss) += kBranches;
  return c;
}

double& stored(const PageCall& c, std::int32_t k) { return quolbv3::stof(c.stof_base + k); }

// The case generator's machine at the page's load-flow point.
SyncMachineData machine(const PageCall& c) {
  const wakro::casecode::GeneratorData& g = wakro::casecode::kGeneratorData;
  SyncMachineData m;
  m.data_form = 1;
  m.q_circuits = 2;
  m.start_mode = 1;
  m.rated_current = kIb;
  m.rated_voltage = kVb;
  m.w = kW;
  m.inertia = g.inertia;
  m.friction = g.friction;
  m.shunt_r = g.shunt_r;
  m.ra = 2.0 * g.d.x_sub * g.q.x_sub / ((g.d.x_sub + g.q.x_sub) * g.ta * kW);  // from Ta
  m.xp_agfc = g.xp;
  m.d = g.d;
  m.q = g.q;
  m.sat_x = {0.0, 1.0, -1.0};
  m.sat_y = {0.0, 1.0};
  m.v_or_angle = stored(c, kV);
  m.angle_or_id = stored(c, kAngle);
  m.p_or_iq = stored(c, kP) / kRatedPower;
  m.q_or_ifd = stored(c, kQ) / kRatedPower;
  m.release_time = 0.1;
  m.power_scale = 100.0;
  m.trim_time = 0.2;
  m.rc_resistance = 20.0;
  m.rc_time_factor = 10.0;
  return m;
}

}  // namespace

void dsdyn() {
  example::open_call_record();
  const std::int32_t stof_base = quolbv3::nstof;
  quolbv3::nstof += kStoredReals;
  quolbv3::npgb += kChannels;
  const PageCall c = enter_page(stof_base);
  const double t = e_s1::time;

  // The stiff source.
  constexpr double kShift = 2.094395102393195;
  const double peak = std::sqrt(2.0) * stored(c, kV) * kVb, phi = kW * t + stored(c, kAngle);
  branches::ebr(c.branch_base + 1, c.ss) = peak * std::sin(phi);
  branches::ebr(c.branch_base + 2, c.ss) = peak * std::sin(phi - kShift);
  branches::ebr(c.branch_base + 3, c.ss) = peak * std::sin(phi + kShift);

  // The machine: start-up source until the hand-over, imposed speed.
  SyncStepIn in;
  in.ss = c.ss;
  for (std::int32_t k = 0; k < 3; ++k) {
    in.phase[static_cast<std::size_t>(k)] = c.branch_base + 4 + k;
    in.rc[static_cast<std::size_t>(k)] = c.branch_base + 7 + k;
  }
  in.handover = t >= stored(c, kHandover) ? 1 : 0;
  in.imposed_speed = in.ref_speed = kW;
  in.field_voltage = stored(c, kEfd);
  // The block's and the record's bases, kept before the call moves them on.
  const std::int32_t block = e_s2::nexc, record = rt_config::nrtcf;
  SyncStepOut out;
  syncmc3p2_exe(in, out);
  const double rated_voltage = rt_config::rtcf(record + kCfgRatedVoltage - 1);
  const double efd0 = e_s2::stor(block + kIfd) * e_s2::stor(block + kFieldCurrentScale);

  // The exciter: RMS terminal voltage in per unit and the current terms from
  // the machine's power; it initialises until the machine is in machine mode.
  double v2 = 0.0;
  for (std::int32_t k = 4; k <= 6; ++k) {
    const double v = vbranch(c.ss, c.branch_base + k);
    v2 += v * v;
  }
  const double vt = std::sqrt(v2 / 3.0) / rated_voltage;
  std::array<double, 3> terminal{1.0, 0.0, 0.0};
  if (vt > 1.0E-8) terminal = std::array<double, 3>{vt, out.p / kRatedPower / vt, -out.q / kRatedPower / vt};
  double efd = stored(c, kEfd);
  excac7b2_exe(stored(c, kV), terminal, 0.0, out.field_current, efd0, out.machine_mode, efd, 0.0);

  stored(c, kEfd) = efd;
  stored(c, kPOut) = out.p;
  stored(c, kQOut) = out.q;
  stored(c, kIfdOut) = out.field_current;
  stored(c, kModeOut) = out.machine_mode;
}

void dsout() {
  quolbv3::ntxfr += 1;
  const std::int32_t stof_base = quolbv3::txfr(quolbv3::ntxfr, 3);
  const std::int32_t channel_base = quolbv3::npgb;
  quolbv3::npgb += kChannels;
  const PageCall c = enter_page(stof_base);
  e_s4::pgb(channel_base + 1) = stored(c, kPOut);
  e_s4::pgb(channel_base + 2) = stored(c, kQOut);
  e_s4::pgb(channel_base + 3) = stored(c, kIfdOut);
  e_s4::pgb(channel_base + 4) = stored(c, kEfd);
  e_s4::pgb(channel_base + 5) = stored(c, kModeOut);
}

void dsdyn_begin() {
  const std::int32_t stof_base = quolbv3::nstof;
  quolbv3::nstof += kStoredReals;
  const PageCall c = enter_page(stof_base);
  syncmc3p2_cfg(machine(c));
  excac7b2_cfg(wakro::casecode::generator_exciter_data());
}

void dsout_begin() { (void)enter_page(0); }
