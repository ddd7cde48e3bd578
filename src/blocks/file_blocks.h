// What the blocks that read a user's data file while the run goes on share:
// forming the file name, opening it on the input-unit stack, reading a row of
// reals, skipping lines, rewinding, and closing only the unit the block opened.
//
// Name: with path switch 0 the file lies in the parent folder ("../" is put
// before the name, which may then be at most 69 characters), otherwise the name
// is used as given (at most 72); a longer name stops the run with "Name of the
// file is too long" under the block's tag. The name ends at its first blank.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "files/units.h"

namespace wakro::blocks {

// Forms the name into fnames::filename and opens it for reading; returns the unit.
std::int32_t open_block_file(std::string_view name, std::int32_t pathSwitch, std::string_view tag);
// The name as open_block_file forms it (for messages; no length check).
std::string formed_name(std::string_view name, std::int32_t pathSwitch);

// Reads one row of row.size() reals starting on a new line (a line with fewer
// values continues on the next one; values past the last are ignored).
ReadStatus read_row(std::int32_t unit, std::span<double> row);
// Skips n lines; false when the file ends first.
bool skip_lines(std::int32_t unit, std::int32_t n);
// Back to the start of the file.
void rewind_unit(std::int32_t unit);

// The fatal stop of a file block: "<text><file name>" under the tag.
[[noreturn]] void file_fatal(std::string_view tag, std::string_view text, std::string_view name);

}  // namespace wakro::blocks
