// The sizes a chain of resumes carries on: those the map gave the run from data
// that began it.
//
// A run from data sizes its arrays by its map's dimensions and writes, in each
// snapshot's "DIMENSIONS:" section, the count in use ("Used") beside that size
// ("Available"). A run resumed from the snapshot takes the used column only
// (input/dimensions.h), so its own working sizes are the counts in use: of no
// use as the map's sizes, which the next resume checks (NODES against the map,
// the MNA work-matrix order of a case without pages). So the resumed run reads
// the available column too, and its snapshots write it back: each row's size as
// the file it resumed from gave it, or its own working size where that is
// larger (channels that the map added since). Every snapshot of the chain then
// carries the sizes a run from data writes at that time.
//
// The rows are those the dimension reader kept of the snapshot it sized the
// run by (snapshot_row_size, input/dimensions.h); a run from data has none.
// nodes_of_map(): the NODES row's available size, -1 when there is none.
// available_to_write(key, working_size): the available size a snapshot writes
// for the row, as above (input/dimensions.h AvailableSize).
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro::snapshot {

std::int32_t nodes_of_map();
std::int32_t available_to_write(std::string_view key, std::int32_t working_size);

}  // namespace wakro::snapshot
