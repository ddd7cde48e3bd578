// Filling a machine block from data records or from the configuration record
// (see macdat.h).
#include "machines/macdat.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>

#include "diag/listout.h"
#include "files/listread.h"
#include "machines/conversion.h"
#include "machines/machine_messages.h"
#include "machines/routine_input.h"
#include "machines/saturation.h"
#include "machines/sync_config.h"
#include "model/constants.h"
#include "model/fnames.h"
#include "model/rt_config.h"

namespace wakro::machines {

namespace {

constexpr std::int32_t kIntDefault = 10000;
constexpr double kShuntFloor = 66.7;
constexpr double kShuntDefault = 300.0;
constexpr double kTrimTimeFloor = 0.05;

// Record `number` of the machine's data into the targets (defaults set by the
// caller stay where the record leaves a field empty).
void read_record(std::int32_t number, std::initializer_list<ListItem> items) {
  read_data_record(kMachineTag, "Synchronous machine data record R" + std::to_string(number), items);
}

[[noreturn]] void refuse_here(const std::string& text) { refuse_record(kMachineTag, text); }

// The records' fields, with the defaults that an empty field keeps.
struct BaseRecord {  // R2
  double rated_current = 1.0E6, rated_voltage = 1.0E6, omega = 1.0E6, neutral_r = 10000.0, neutral_x = 0.0;
};
struct InertiaRecord {  // R3
  double inertia = 1.0E6, friction = 1.0E6;
};
struct ArmatureRecord {  // R4
  double ra = 1.0E6, xa = 1.0E6, shunt_r = kShuntDefault;
};
struct QAxisRecord {  // R6: the q axis and a sixth value
  QAxisData axis = kQNotGiven;
  double sixth = kNotGiven;
};
struct GivenStartRecord {  // R8, mode 0
  double angle = 1.0E6, id = 1.0E6, iq = 1.0E6, ifd = 1.0E6, speed_pu = 1.0;
};
struct OperatingPointRecord {  // R8, mode 1
  double v = 1.0E6, angle = 1.0E6, p = 0.0, q = 0.0;
};
struct TimesRecord {  // R9
  double release_time = 0.0, power_scale = 10.0, trim_time = 0.1;
};

// R5 and R6 of the equivalent-circuit form: the values in the order of the
// block's circuit slots (Xmd, Rf, Xf, Rkd, Xkd, Xkf, seventh; Xmq, Rkq1, Xkq1,
// Rkq2, Xkq2, Xkf of q), carried in the fields of the terminal-data records.
void put_given_circuit(const MachineBlock& blk, const DAxisData& d, const QAxisRecord& q) {
  const DAxisCircuit dc{.Xmd = d.x, .Rf = d.x_sub, .Xf = d.t_sub, .Rkd = d.x_tr, .Xkd = d.t_tr, .Xkf = d.fit_re};
  const QAxisCircuit qc{.Xmq = q.axis.x, .Rkq1 = q.axis.x_sub, .Xkq1 = q.axis.t_sub, .Rkq2 = q.axis.x_tr,
                        .Xkq2 = q.axis.t_tr};
  put_circuit(blk, kBlockAxes, dc, qc, q.sixth);
  blk(kDSeventh) = d.fit_im;
}

void put_initial_state(const MachineBlock& blk, const InitialState& s) {
  blk(kInitAngle) = s.theta;
  blk(kInitId) = s.id;
  blk(kInitIq) = s.iq;
  blk(kInitIfd) = s.ifd;
}

void put_operating_point(const MachineBlock& blk, const OperatingPointRecord& r) {
  blk(kOpVoltage) = r.v;
  blk(kOpAngle) = r.angle;
  blk(kOpP) = r.p;
  blk(kOpQ) = r.q;
}

}  // namespace

namespace {

// R1 .. R4: the data form, the base values, inertia and friction, the armature.
void read_base_records(const MachineBlock& blk) {
  // R1: data form, q-axis circuits, initial-condition mode.
  std::int32_t form = kIntDefault, nq = kIntDefault, mode = kIntDefault;
  read_record(1, {form, nq, mode});
  blk(kDataForm) = form;
  blk(kTwoQCircuits) = nq == 2 ? 1.0 : 0.0;
  blk(kComputedStart) = mode == 1 ? 1.0 : 0.0;
  // R2: base values; the set-up divides by them.
  BaseRecord r2;
  read_record(2, {r2.rated_current, r2.rated_voltage, r2.omega, r2.neutral_r, r2.neutral_x});
  if (!(r2.rated_current > 0.0 && r2.rated_voltage > 0.0 && r2.omega > 0.0))
    refuse_here("The rated current, voltage and angular frequency must be positive");
  blk(kRatedCurrent) = r2.rated_current;
  blk(kRatedVoltage) = r2.rated_voltage;
  blk(kOmega) = r2.omega;
  blk(kNeutralR) = r2.neutral_r;
  blk(kNeutralX) = r2.neutral_x;
  // R3: inertia and friction.
  InertiaRecord r3;
  read_record(3, {r3.inertia, r3.friction});
  if (r3.inertia < kTinyInertia) ListLine() << "WARNING: Sync. Machine Inertia set too low";
  blk(kInertia) = r3.inertia;
  blk(kFriction) = r3.friction;
  // R4: armature.
  ArmatureRecord r4;
  read_record(4, {r4.ra, r4.xa, r4.shunt_r});
  blk(kRa) = r4.ra;
  blk(kXa) = r4.xa;
  blk(kShuntR) = std::max(r4.shunt_r, kShuntFloor);
}

// R5, R6: the axes, as terminal data (checked, then converted) or as the
// equivalent circuit.
void read_axis_records(const MachineBlock& blk) {
  // R5, R6: the axes.
  DAxisData d = kDNotGiven;
  read_record(5, {d.x, d.x_sub, d.t_sub, d.x_tr, d.t_tr, d.fit_re, d.fit_im});
  QAxisRecord q;
  read_record(6, {q.axis.x, q.axis.x_sub, q.axis.t_sub, q.axis.x_tr, q.axis.t_tr, q.sixth});
  const double Xa = blk(kXa), w = blk(kOmega);
  if (blk(kDataForm) >= 0.5) {
    const bool two = blk(kTwoQCircuits) > 0.5;
    std::int32_t faults =
        reactance_order_faults(two ? 2 : 1, Xa, d.x, d.x_sub, d.x_tr, q.axis.x, q.axis.x_sub, q.axis.x_tr);
    for (const std::string& t : {d_axis_fault(Xa, d), q_axis_fault(two, Xa, q.axis)})
      if (!t.empty()) {
        machine_error(t);
        ++faults;
      }
    if (faults > 0) refuse_here("Synchronous machine terminal data refused");
    put_terminal_data(blk, kBlockAxes, d, q.axis);
    blk(kQSixthData) = q.sixth;
    put_circuit(blk, kBlockAxes, ddatcv(Xa, w, d), qdatcv(Xa, w, blk(kTwoQCircuits), q.axis), 0.0);
  } else {
    put_given_circuit(blk, d, q);
    put_terminal_data(blk, kBlockAxes, kDNotGiven, kQNotGiven);
    blk(kQSixthData) = kNotGiven;
  }
}

// R7: the saturation curve and its zone table.
void read_saturation_record(const MachineBlock& blk) {
  std::array<double, 2 * kSatPoints> r7{};
  read_record(7, {std::span<double>(r7)});
  for (std::int32_t i = 0; i < 2 * kSatPoints; ++i) blk(kSatCurve + i) = r7[i];
  std::array<double, kSatPoints> x{}, y{};
  for (std::int32_t i = 0; i < kSatPoints; ++i) {
    x[i] = r7[2 * i];
    y[i] = r7[2 * i + 1];
  }
  SaturationTable t;
  const std::string_view fault = build_saturation(x, y, blk(kXmd), t);
  if (!fault.empty()) refuse_here(std::string(fault));
  table_to_block(t, blk);
}

// R8, R9: the initial state and the start-up times.
void read_start_records(const MachineBlock& blk) {
  // R8: the initial state, given or from the operating point.
  const double w = blk(kOmega);
  if (blk(kComputedStart) < 0.5) {
    GivenStartRecord r8;
    read_record(8, {r8.angle, r8.id, r8.iq, r8.ifd, r8.speed_pu});
    put_initial_state(blk, InitialState{.theta = r8.angle, .id = r8.id, .iq = r8.iq, .ifd = r8.ifd});
    blk(kInitSpeed) = r8.speed_pu * w;
    put_operating_point(blk, OperatingPointRecord{kNotGiven, kNotGiven, kNotGiven, kNotGiven});
  } else {
    OperatingPointRecord r8;
    read_record(8, {r8.v, r8.angle, r8.p, r8.q});
    put_operating_point(blk, r8);
    put_initial_state(blk, icconv(blk, r8.v, r8.angle, r8.p, r8.q));
    blk(kInitSpeed) = w;
  }
  // R9: release time, power scale, trim time.
  TimesRecord r9;
  read_record(9, {r9.release_time, r9.power_scale, r9.trim_time});
  blk(kReleaseTime) = std::max(r9.release_time, 0.0);
  blk(kPowerScale) = r9.power_scale;
  blk(kTrimTime) = std::max(r9.trim_time, kTrimTimeFloor);
}

}  // namespace

void macdat(const MachineBlock& blk) {
  read_base_records(blk);
  read_axis_records(blk);
  read_saturation_record(blk);
  read_start_records(blk);
}

void macdat1_cfg(const MachineBlock& blk, std::int32_t reals) {
  const std::int32_t ni = rt_config::nrtci, nf = rt_config::nrtcf;
  // The record is read where it stands; the checked views keep the reads inside
  // the stores, and the caller moves the pointers on.
  const blocks::Slots<std::int32_t> ri = blocks::take_rtci(kConfigInts);
  const blocks::Slots<double> r = blocks::take_rtcf(reals);
  rt_config::nrtci = ni;
  rt_config::nrtcf = nf;
  blk(kDataForm) = ri(kCfgDataForm);
  blk(kTwoQCircuits) = ri(kCfgQCircuits) - 1;
  blk(kComputedStart) = ri(kCfgComputedStart);
  // The entries that the block keeps as they are, by name.
  static constexpr std::pair<MachineSlot, ConfigReal> kCopied[] = {
      {kRatedCurrent, kCfgRatedCurrent}, {kRatedVoltage, kCfgRatedVoltage}, {kOmega, kCfgOmega},
      {kNeutralR, kCfgNeutralR},         {kNeutralX, kCfgNeutralX},         {kInertia, kCfgInertia},
      {kFriction, kCfgFriction},         {kRa, kCfgRa},                     {kXa, kCfgXa},
      {kShuntR, kCfgShuntR},             {kXmd, kCfgXmd},                   {kXmq, kCfgXmq},
      {kRf, kCfgRf},                     {kRkq1, kCfgRkq1},                 {kXf, kCfgXf},
      {kXkq1, kCfgXkq1},                 {kRkd, kCfgRkd},                   {kRkq2, kCfgRkq2},
      {kXkd, kCfgXkd},                   {kXkq2, kCfgXkq2},                 {kXkf, kCfgXkf},
      {kXkfQ, kCfgXkfQ},                 {kXdData, kCfgXdData},             {kXdSubData, kCfgXdSubData},
      {kTdoSubData, kCfgTdoSubData},     {kXdTrData, kCfgXdTrData},         {kTdoTrData, kCfgTdoTrData},
      {kFitTargetRe, kCfgFitTargetRe},   {kFitTargetIm, kCfgFitTargetIm},   {kXqData, kCfgXqData},
      {kXqSubData, kCfgXqSubData},       {kTqoSubData, kCfgTqoSubData},     {kXqTrData, kCfgXqTrData},
      {kTqoTrData, kCfgTqoTrData},       {kInitAngle, kCfgInitAngle},       {kInitId, kCfgInitId},
      {kInitIq, kCfgInitIq},             {kInitIfd, kCfgInitIfd},           {kInitSpeed, kCfgInitSpeed},
      {kOpVoltage, kCfgOpVoltage},       {kOpAngle, kCfgOpAngle},           {kOpP, kCfgOpP},
      {kOpQ, kCfgOpQ},                   {kPowerScale, kCfgPowerScale},     {kTrimTime, kCfgTrimTime},
      {kReleaseTime, kCfgReleaseTime},
  };
  for (const auto& [slot, entry] : kCopied) blk(slot) = r(entry);
  if (ri(kCfgDataForm) < 1) blk(kDSeventh) = kNotGiven;
  blk(kQSixthData) = kNotGiven;
  for (std::int32_t i = 0; i < kSatPoints; ++i) {
    blk(kSatCurve + 2 * i) = r(kCfgSatX + i);
    blk(kSatCurve + 2 * i + 1) = r(kCfgSatY + i);
  }
  const std::int32_t n = ri(kCfgZoneCount);
  if (n < 1 || n > kMaxZones) machine_refuse("The machine's configuration record holds no saturation zone table");
  blk(kZoneCount) = n;
  for (std::int32_t j = 1; j <= n; ++j) {
    blk(zone_i(j)) = r(kCfgZoneI + j - 1);
    blk(zone_f(j)) = r(kCfgZoneF + j - 1);
    blk(zone_s(j)) = r(kCfgZoneS + j - 1);
  }
}

}  // namespace wakro::machines
