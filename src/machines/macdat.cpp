// Filling a machine block from data records or from the configuration record
// (see macdat.h).
#include "machines/macdat.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "machines/conversion.h"
#include "machines/machine_messages.h"
#include "machines/saturation.h"
#include "machines/sync_config.h"
#include "model/fnames.h"
#include "model/rt_config.h"

namespace wakro::machines {

namespace {

constexpr std::int32_t kIntDefault = 10000;
constexpr double kShuntFloor = 66.7;
constexpr double kShuntDefault = 300.0;
constexpr double kTrimTimeFloor = 0.05;
constexpr double kTinyInertia = 1.0E-38;
constexpr std::int32_t kShowLastLine = 1;  // wakro_quit shows the last data line and file

// Where the last record came from, for the refusals.
std::string place() {
  const std::int32_t u = fnames::iunit;
  return "file " + unit_file_name(u) + ", line " + std::to_string(unit_line_number(u));
}

[[noreturn]] void refuse_here(const std::string& text) {
  machine_error(text + " (" + place() + ")");
  wakro_quit(kMachineTag, kShowLastLine);
}

// Record `number` of the machine's data into the targets (defaults set by the
// caller stay where the record leaves a field empty).
void read_record(std::int32_t number, std::initializer_list<ListItem> items) {
  rdcmnt();
  const std::string what = "Synchronous machine data record R" + std::to_string(number);
  if (!rdcmnt_at_data()) refuse_here(what + " is missing");
  if (list_read_unit(fnames::iunit, items) != ReadStatus::ok) refuse_here(what + " cannot be read");
}

template <std::size_t N>
void fill_slots(const MachineBlock& blk, std::int32_t first, const std::array<double, N>& v) {
  for (std::size_t i = 0; i < N; ++i) blk(first + static_cast<std::int32_t>(i)) = v[i];
}

template <std::size_t N>
std::array<double, N> filled(double value) {
  std::array<double, N> a;
  a.fill(value);
  return a;
}

}  // namespace

void macdat(const MachineBlock& blk) {
  // R1: data form, q-axis circuits, initial-condition mode.
  std::int32_t form = kIntDefault, nq = kIntDefault, mode = kIntDefault;
  read_record(1, {form, nq, mode});
  blk(kDataForm) = form;
  blk(kTwoQCircuits) = nq == 2 ? 1.0 : 0.0;
  blk(kComputedStart) = mode == 1 ? 1.0 : 0.0;
  const bool terminal_data = blk(kDataForm) >= 0.5;
  // R2: base values; the set-up divides by them.
  std::array<double, 5> r2 = {1.0E6, 1.0E6, 1.0E6, 10000.0, 0.0};
  read_record(2, {std::span<double>(r2)});
  if (!(r2[0] > 0.0 && r2[1] > 0.0 && r2[2] > 0.0))
    refuse_here("The rated current, voltage and angular frequency must be positive");
  fill_slots(blk, kRatedCurrent, r2);
  // R3: inertia and friction.
  std::array<double, 2> r3 = {1.0E6, 1.0E6};
  read_record(3, {std::span<double>(r3)});
  if (r3[0] < kTinyInertia) ListLine() << "WARNING: Sync. Machine Inertia set too low";
  fill_slots(blk, kInertia, r3);
  // R4: armature.
  std::array<double, 3> r4 = {1.0E6, 1.0E6, kShuntDefault};
  read_record(4, {std::span<double>(r4)});
  r4[2] = std::max(r4[2], kShuntFloor);
  fill_slots(blk, kRa, r4);
  // R5, R6: the axes.
  std::array<double, 7> r5 = filled<7>(kNotGiven);
  read_record(5, {std::span<double>(r5)});
  std::array<double, 6> r6 = filled<6>(kNotGiven);
  read_record(6, {std::span<double>(r6)});
  const double Xa = blk(kXa), w = blk(kOmega);
  if (terminal_data) {
    const bool two = blk(kTwoQCircuits) > 0.5;
    std::int32_t faults = reactance_order_faults(two ? 2 : 1, Xa, r5[0], r5[1], r5[3], r6[0], r6[1], r6[3]);
    for (const std::string& t : {axis_data_fault('d', true, Xa, r5[0], r5[3], r5[1], r5[4], r5[2]),
                                 axis_data_fault('q', two, Xa, r6[0], r6[3], r6[1], r6[4], r6[2])})
      if (!t.empty()) {
        machine_error(t);
        ++faults;
      }
    if (faults > 0) refuse_here("Synchronous machine terminal data refused");
    fill_slots(blk, kXdData, r5);
    fill_slots(blk, kXqData, r6);
    const DAxisCircuit d = ddatcv(Xa, w, r5[0], r5[1], r5[2], r5[3], r5[4], r5[5], r5[6]);
    fill_slots(blk, kXmd, std::array<double, 6>{d.Xmd, d.Rf, d.Xf, d.Rkd, d.Xkd, d.Xkf});
    const QAxisCircuit q = qdatcv(Xa, w, blk(kTwoQCircuits), r6[0], r6[1], r6[2], r6[3], r6[4]);
    fill_slots(blk, kXmq, std::array<double, 6>{q.Xmq, q.Rkq1, q.Xkq1, q.Rkq2, q.Xkq2, 0.0});
  } else {
    fill_slots(blk, kXmd, r5);
    fill_slots(blk, kXdData, filled<7>(kNotGiven));
    fill_slots(blk, kXmq, r6);
    fill_slots(blk, kXqData, filled<6>(kNotGiven));
  }
  // R7: the saturation curve and its zone table.
  std::array<double, 2 * kSatPoints> r7{};
  read_record(7, {std::span<double>(r7)});
  fill_slots(blk, kSatCurve, r7);
  std::array<double, kSatPoints> x{}, y{};
  for (std::int32_t i = 0; i < kSatPoints; ++i) {
    x[i] = r7[2 * i];
    y[i] = r7[2 * i + 1];
  }
  SaturationTable t;
  const std::string_view fault = build_saturation(x, y, blk(kXmd), t);
  if (!fault.empty()) refuse_here(std::string(fault));
  table_to_block(t, blk);
  // R8: the initial state, given or from the operating point.
  if (blk(kComputedStart) < 0.5) {
    std::array<double, 5> r8 = {1.0E6, 1.0E6, 1.0E6, 1.0E6, 1.0};
    read_record(8, {std::span<double>(r8)});
    fill_slots(blk, kInitAngle, std::array<double, 4>{r8[0], r8[1], r8[2], r8[3]});
    blk(kInitSpeed) = r8[4] * w;
    fill_slots(blk, kOpVoltage, filled<4>(kNotGiven));
  } else {
    std::array<double, 4> r8 = {1.0E6, 1.0E6, 0.0, 0.0};
    read_record(8, {std::span<double>(r8)});
    fill_slots(blk, kOpVoltage, r8);
    const InitialState s = icconv(blk, r8[0], r8[1], r8[2], r8[3]);
    fill_slots(blk, kInitAngle, std::array<double, 4>{s.theta, s.id, s.iq, s.ifd});
    blk(kInitSpeed) = w;
  }
  // R9: release time, power scale, trim time.
  std::array<double, 3> r9 = {0.0, 10.0, 0.1};
  read_record(9, {std::span<double>(r9)});
  blk(kReleaseTime) = std::max(r9[0], 0.0);
  blk(kPowerScale) = r9[1];
  blk(kTrimTime) = std::max(r9[2], kTrimTimeFloor);
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
  for (std::int32_t i = 0; i < 5; ++i) blk(kRatedCurrent + i) = r(kCfgRatedCurrent + i);
  blk(kInertia) = r(kCfgInertia);
  blk(kFriction) = r(kCfgFriction);
  blk(kRa) = r(kCfgRa);
  blk(kXa) = r(kCfgXa);
  blk(kShuntR) = r(kCfgShuntR);
  for (std::int32_t i = 0; i < 6; ++i) {
    blk(kXmd + i) = r(kCfgDCircuit + i);
    blk(kXmq + i) = r(kCfgQCircuit + i);
  }
  if (ri(kCfgDataForm) < 1) blk(kDSeventh) = kNotGiven;
  for (std::int32_t i = 0; i < 7; ++i) blk(kXdData + i) = r(kCfgTerminalData + i);
  for (std::int32_t i = 0; i < 5; ++i) blk(kXqData + i) = r(kCfgTerminalData + 7 + i);
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
  for (std::int32_t i = 0; i < 9; ++i) blk(kInitAngle + i) = r(kCfgInitAngle + i);
  blk(kPowerScale) = r(kCfgPowerScale);
  blk(kTrimTime) = r(kCfgTrimTime);
  blk(kReleaseTime) = r(kCfgReleaseTime);
}

}  // namespace wakro::machines
