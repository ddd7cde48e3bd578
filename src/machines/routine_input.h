// What the single-routine machine models (inducmc, pmmachine) take in at time
// zero besides their arguments: their data records from the input unit, and
// their nodes checked against the subsystem.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "files/listread.h"

namespace wakro::machines {

// Refuses what the last data record read holds: the error line
//   "<text> (file <name>, line <n>)"
// then the run stops under tag, showing the last line read.
[[noreturn]] void refuse_record(std::string_view tag, const std::string& text);

// Reads the next data record of the input unit (comment lines passed over) into
// items. A record missing or unreadable is refused with the error line
//   "<what> is missing (file <name>, line <n>)"  or
//   "<what> cannot be read (file <name>, line <n>)"
// and the run stops under tag, showing the last line read.
void read_data_record(std::string_view tag, std::string_view what, std::initializer_list<ListItem> items);

// Refuses a subsystem ss that does not exist ("The subsystem of the <machine>
// does not exist"), then any node outside 0 .. the subsystem's node count ("A
// node of the <machine> is not a node of its subsystem"); either stops the run
// under tag.
void check_machine_nodes(std::string_view tag, std::string_view machine, std::int32_t ss,
                         std::span<const std::int32_t> nodes);

}  // namespace wakro::machines
