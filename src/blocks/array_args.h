// Array arguments of blocks: the count a caller passes with an array must fit in
// the array it hands over. A block checks this on every call, before it reads or
// writes an element; a count beyond the array is a fault in the calling code and
// stops the run naming the block. A count below 1 is no fault: the block then
// works on no element.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wakro::blocks {

// Stops the run when n exceeds size: "<block>: <n> values asked of an array of
// <size>". Returns the number of elements to work on, max(n, 0).
std::int32_t checked_count(std::string_view block, std::int32_t n, std::size_t size);

}  // namespace wakro::blocks
