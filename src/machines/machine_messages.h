// The refusals of the machine models: each failed check is one error line
// under the component's ids; after all checks of a routine have been made the
// run ends once with the tag "SYNC_MACHINE".
#pragma once

#include <string_view>

namespace wakro::machines {

inline constexpr std::string_view kMachineTag = "SYNC_MACHINE";

// One single-line error message with the ids of the component being set up.
void machine_error(std::string_view text);
// The end of the run after the messages have been sent.
[[noreturn]] void machine_stop();
// Both: one message, then the stop.
[[noreturn]] void machine_refuse(std::string_view text);

}  // namespace wakro::machines
