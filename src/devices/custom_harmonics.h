// A table of harmonics for a source, loaded from a text file into the
// configuration store.
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace custom_harmonics1 {  // rtcf: three columns of n reals each
inline constexpr std::int32_t kColumns = 3;
// Slot of row k (1 .. n) of column col (1 .. 3).
constexpr std::int32_t slot(std::int32_t n, std::int32_t col, std::int32_t k) { return (col - 1) * n + k; }
constexpr std::int32_t rtcf_size(std::int32_t n) { return kColumns * n; }
}
}  // namespace wakro::devices::layout
#include <string_view>

// custom_harmonics1_cfg(n, name, name_length): skips the file's header line, then
// reads n lines of three reals; stores them by column (all first numbers, then the
// second, then the third) as 3 n reals of rtcf. Errors end the run under tag
// "CUS_HARM_CFG": a name over 72 characters, a file that cannot be opened, fewer
// than n data lines, a bad number, and n < 0 or a table beyond rtcf.
void custom_harmonics1_cfg(std::int32_t n, std::string_view name, std::int32_t name_length);
