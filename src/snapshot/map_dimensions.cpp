// The available column of a resumed snapshot's "DIMENSIONS:" section, kept for
// the snapshots the resumed run writes (see map_dimensions.h).
#include "snapshot/map_dimensions.h"

#include <algorithm>

#include "input/dimensions.h"

namespace wakro::snapshot {

std::int32_t nodes_of_map() { return snapshot_row_size("NODES"); }

std::int32_t available_to_write(std::string_view key, std::int32_t working_size) {
  return std::max(working_size, snapshot_row_size(key));
}

}  // namespace wakro::snapshot
