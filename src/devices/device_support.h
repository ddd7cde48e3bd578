// Helpers shared by the device models: their fatal and warning messages under the
// present component's ids, and the one way a device appends to the
// harmonic-impedance registry.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace wakro::devices {

// One error line (severity 2) with the component ids, then the run ends through
// wakro_quit with tag (mode 0).
[[noreturn]] void device_fatal(std::string_view tag, std::string_view text);
// One warning line with the component ids; the run goes on.
void device_warn(std::string_view text);

// Appends a harmonic-impedance record. At the registry's limit nothing is written:
// the first refusal of a run writes the warning
//   "Harmonic impedance registry full: further records are not kept"
// and later refusals are silent. Returns whether the record was kept.
bool harm_record(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                 std::initializer_list<double> values = {});
// The record of a branch (kind 9): the branch number and 0 as its nodes.
bool harm_branch_record(std::int32_t br, std::int32_t ss);
// Allows the warning of a full registry again (a new run).
void reset_harm_warning();

}  // namespace wakro::devices
