// The devices' own store records, checked for the snapshot reader (see
// network/record_checks.h): the record a branch names through THISBR, that of
// a power-electronic switch or of a voltage source model. Each names its own
// branch and subsystem, and its blocks lie in the stores.
#include <cstdint>
#include <string>

#include "devices/pe_switch.h"
#include "devices/voltage_sources.h"
#include "model/branch_codes.h"
#include "model/e_s2.h"
#include "model/storage.h"
#include "network/hooks.h"
#include "network/record_checks.h"

namespace wakro::devices {
namespace {

// A power-electronic switch: its code, its branch, and its blocks in the stores
// (the switching reads its levels and instants through them). Every switching
// branch that names a record in the integer store names one of these.
void switch_record(const RecordChecker& c, std::int32_t ss, std::int32_t b, std::int32_t t) {
  namespace pe = layout::pe_switch;
  auto slot = [&](std::int32_t k) { return storage::stori(t + k - 1); };
  const std::string rec = record_of_subsystem(record_item("switch record of branch", b), ss);
  c.slots("start of " + rec, t, pe::kStoriSize, extent_of(storage::stori));
  c.range("code in " + rec, slot(pe::kCode), branch_code::pe_switch_first, branch_code::pe_switch_last);
  c.range("subsystem in " + rec, slot(pe::kSs), ss, ss);
  c.range("branch in " + rec, slot(pe::kBr), b, b);
  c.slots("first logical of " + rec, slot(pe::kLIndex), pe::kStorlSize, extent_of(storage::storl));
  c.slots("first real of " + rec, slot(pe::kFIndex), pe::kStorfSize, extent_of(storage::storf));
  c.slots("first value of " + rec, std::int64_t{slot(pe::kQIndex)} + 1, pe::kStorSize, extent_of(e_s2::stor));
}

// A source model that sets the branch's voltage every step (AC or DC). Its
// record's positions are offsets from THISBR (vsrc's layout).
void source_record(const RecordChecker& c, std::int32_t ss, std::int32_t b, std::int32_t t) {
  namespace vsrc = layout::vsrc;
  using storage::stori;
  const std::string rec = record_of_subsystem(record_item("source record of branch", b), ss);
  c.slots("start of " + rec, t, vsrc::kStoriSize, extent_of(stori));
  c.range("subsystem in " + rec, stori(t + vsrc::kSs), ss, ss);
  c.range("branch in " + rec, stori(t + vsrc::kBr), b, b);
  c.slots("first real of " + rec, stori(t + vsrc::kReal), vsrc::kStorfSize, extent_of(storage::storf));
  c.slots("first logical of " + rec, stori(t + vsrc::kLogical), vsrc::kStorlSize, extent_of(storage::storl));
}

}  // namespace

void use_device_services() {
  network_hooks().wakro_vsrc_dyn = &::wakro_vsrc_dyn;
  RecordCheckHooks& checks = record_check_hooks();
  checks.switch_record = &switch_record;
  checks.source_record = &source_record;
}

}  // namespace wakro::devices
