// Small services shared by the section readers of the case reader.
#pragma once

#include <cstdint>
#include <string_view>

#include "files/units.h"

namespace wakro::sections {

// Writes the text as a free-format console line and ends in wakro_quit.
[[noreturn]] void fail(std::string_view text, std::string_view tag, std::int32_t mode);

// Ends in wakro_quit unless st is ok: "Unexpected End_Of_File" at the end of the
// file, read_error for a read error.
void check_read(ReadStatus st, std::string_view read_error, std::string_view tag,
                std::int32_t mode);

// The global node of local node `local` of the page whose record starts at
// position (wakro_node). A local number above the page's node count would read
// another page's record: it ends the run (tag "WAKRO_NODE").
std::int32_t page_node(std::int32_t position, std::int32_t local);

}  // namespace wakro::sections
