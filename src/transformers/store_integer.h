// store_integer: an integer that a transformer model keeps as a real in a store
// (a registry record's number, a winding count), read back for use as a count
// or an index.
//
// The stores are written whole into a snapshot and read back from it, so such a
// slot may hold any real, Infinity and 1e308 among them, where a conversion to
// an integer is undefined. The value is converted only when it is a whole number
// within low .. high, the range the calling code can take; any other stops the
// run under the model's tag with one error line
//   " ***ERROR** WAKRO: Store value out of range: <record> = <value> (whole number <low> to <high>)"
// The record's name is made (by `name()`) only then: the check itself is a few
// comparisons and allocates nothing, for it runs every step.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

namespace wakro::transformers {

// The stop of store_integer: the error line above, then the fatal stop.
[[noreturn]] void refuse_store_value(std::string_view tag, const std::string& record, double value,
                                     std::int32_t low, std::int32_t high);

template <class Name>
std::int32_t store_integer(std::string_view tag, double value, std::int32_t low, std::int32_t high,
                           const Name& name) {
  // (NaN fails every comparison.)
  if (value >= low && value <= high && std::trunc(value) == value) return static_cast<std::int32_t>(value);
  refuse_store_value(tag, name(), value, low, high);
}

}  // namespace wakro::transformers
