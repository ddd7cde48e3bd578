// The names of the result files of a multiple run.
//
// Every process of a parallel multiple run writes its own files, marked with
// its rank; the last rank merges them into files without the mark. A rank is
// marked by a code of four characters: the thousands digit of the rank ("A"
// from 10000 on), then its hundreds, tens and units digits (rank 12 gives
// "0012", rank 10003 "A003"). Codes repeat from rank 11000 on, so the merge
// refuses more ranks than kMaxMergedRanks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wakro::multirun {

inline constexpr std::int32_t kMaxMergedRanks = 10999;
// Characters of a component's name kept in the name of its extra file.
inline constexpr std::size_t kExtraNameLength = 12;

// The four-character code of a rank (1 ... kMaxMergedRanks).
std::string rank_code(std::int32_t rank);
// The characters of a name before its first blank or ".".
std::string_view base_name(std::string_view name);
// The two characters of a recording unit: its tens digit ("A" from 100 on) and
// its units digit.
std::string unit_digits(std::int32_t unit);
// The multiple-run output file of a process: base + ".out" when rank is 0,
// otherwise base + "_" + rank code + ".out".
std::string mrun_file_name(std::string_view base, std::int32_t rank);
// A component's name as its extra files carry it: without trailing blanks, cut
// to kExtraNameLength bytes, never inside a UTF-8 letter (fixedtext.h).
std::string_view extra_stem(std::string_view name);
// The extra recording file of a process: extra_stem(name), "_", the unit's two
// characters, then ".out" (rank 0) or "_" + rank code + ".out". The name is kept
// whole.
std::string extra_file_name(std::string_view name, std::int32_t unit, std::int32_t rank);
// The merged extra recording file of a parallel run: the name before its first
// blank or ".", "_", the unit's two characters and ".out".
std::string merged_extra_file_name(std::string_view name, std::int32_t unit);

}  // namespace wakro::multirun
