// The "DIMENSIONS:" section: reading it into the dimension table, the walk over
// the case that sizes the line arrays, the allocation on the first run, the
// dimension check and the dimension report.
//
// wakro_rddim reads the section from the top unit, which must stand at the start
// of the map or snapshot file, and returns with the line reader at the key
// after it (the readers expect "PARAMETERS:"; the case reader first skips the
// "DIMENSIONS:" sections a map file repeats there). Per run:
//   - the table is cleared, except the entries that the start-up dialogue fills
//     before the case is read (18, 50, 65..68), and, on a later run that does not
//     walk the case, the line entries (5, 6, 8, 31..36, 41..49, 53..58, 69, 70);
//   - each "KEY = value" line stores its value (plus the storage margin on a start
//     from data files); "NODES" also sets the SPARSITY default n(n-1)/2 + 1;
//   - on a start from data files, on the first run or with tandem lines, the
//     whole case is walked once: the line sections are handed to the line
//     subsystem (input_hooks.h), whose counts are cleared once before the walk,
//     which reads the map file opened a second time and leaves the reader at
//     the key after the section, as on every other run;
//   - the first run allocates every group; a later run with tandem lines re-sizes
//     the line arrays; then the dimension check runs.
//   - on a resume, each row's count in use must lie in 0 .. the size its row
//     gives beside it (SPARSITY excepted), checked before anything is
//     allocated; a refused or unreadable row stops with a message naming the
//     row and the snapshot file, tag "READSNP".
// Fatal errors end in wakro_quit with tag "RDDIM" (the check with "NDCHECK").
//
// wakro_ndcheck compares each checked required size with the size allocated and
// reports every one that is larger, then stops. Besides the sizes of the stores
// and tables it checks the sizes of the arrays that later runs reuse as they are:
// control signals along lines (14, 20), the sparse pattern (19), the line
// directory (58), the ENI ends (69, 70) and the MNA elements (72).
//
// wakro_writedim writes the table as a "DIMENSIONS:" section with a used and an
// available column, 48-character rows; wakro_rddim reads it back. A size too wide
// for its 8 columns is written in full, so that the section can be read back.
// The snapshot writer's form asks, row by row, for the available size to write
// (its key and the run's working size): a run resumed from a snapshot is sized
// by the counts in use, and writes the sizes its map gave the run from data.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

void wakro_rddim();
// The size column ("available") of the row `key` of the snapshot the last
// wakro_rddim read, -1 when the row has none or the read was of a map file.
std::int32_t snapshot_row_size(std::string_view key);
void wakro_ndcheck();
void wakro_writedim(std::ostream& os);
using AvailableSize = std::int32_t (*)(std::string_view key, std::int32_t working_size);
void wakro_writedim(std::ostream& os, AvailableSize available);
// The unit form: the console and list unit emtio::iout (the only output unit
// this room knows); writers of other files pass their stream.
void wakro_writedim(std::int32_t& unit);
