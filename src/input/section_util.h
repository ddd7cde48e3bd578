// Small services shared by the section readers of the case reader.
#pragma once

#include <cstdint>
#include <string_view>

#include "files/units.h"
#include "model/fixedtext.h"

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

// True when the top unit reads the map file itself, or a file that the map file
// INCLUDEs: the only places where a "MAP:" line names a page. Anywhere else (a
// page data file, or a file a page includes) a "MAP:" line would nest pages in
// pages, a page that names itself without end.
bool reading_the_map(std::int32_t map_unit);

// After an INCLUDE line has opened its file ("INCLUDE:"), or an ENDFILE line
// of an included file has been read ("ENDFILE:", the file is closed here), the
// reads go on as if the included lines stood in place of the INCLUDE line: data
// lines continue the section in progress `current` (fnames::section becomes it
// again), and a key starts its own section. A data line where `current` holds
// no data (no section, or a key without data lines) ends the run (tag
// "READDATA"). False, with nothing read, at any other key.
bool read_on_through_include(const FixedText<72>& current);

// Reports a "MAP:" line met outside the map file and skips its lines:
//   READDATA: Ignoring MAP: line in <file> (pages are named only in the map file)
void skip_misplaced_map_line();

}  // namespace wakro::sections
