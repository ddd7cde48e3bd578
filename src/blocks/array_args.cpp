// The count check of array arguments (array_args.h).
#include "blocks/array_args.h"

#include <string>

#include "model/fatal.h"

namespace wakro::blocks {

std::int32_t checked_count(std::string_view block, std::int32_t n, std::size_t size) {
  if (n <= 0) return 0;
  if (static_cast<std::size_t>(n) > size)
    runtime_stop(std::string(block) + ": " + std::to_string(n) + " values asked of an array of " +
                 std::to_string(size));
  return n;
}

}  // namespace wakro::blocks
