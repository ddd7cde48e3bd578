// The refusals of the machine models: each failed check is one error line
// under the component's ids; after all checks of a routine have been made the
// run ends once with the tag "SYNC_MACHINE".
#pragma once

#include <string>
#include <string_view>

namespace wakro::machines {

inline constexpr std::string_view kMachineTag = "SYNC_MACHINE";

// One single-line error message with the ids of the component being set up.
void machine_error(std::string_view text);
// The end of the run after the messages have been sent.
[[noreturn]] void machine_stop();
// Both: one message, then the stop.
[[noreturn]] void machine_refuse(std::string_view text);

// The refusal of an argument that is not a finite number: "<name> is not a
// finite number".
std::string not_finite_text(std::string_view name);
// That text as an error line when `value` is not finite; true then.
bool not_finite_error(std::string_view name, double value);

}  // namespace wakro::machines
