// Messages of the multiple-run routines: every line carries the identity of
// the running component (e_warn::comp_id1, comp_id2). A message of n lines
// opens with line part n, its middle lines have part 0 and its last part -1;
// a single line has part 1.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace wakro::multirun {

void message_lines(std::int32_t severity, std::initializer_list<std::string_view> lines);
// An error message, then the fatal stop with the routine's tag (mode 0).
[[noreturn]] void stop_with(std::initializer_list<std::string_view> lines, std::string_view tag);

}  // namespace wakro::multirun
