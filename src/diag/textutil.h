// Text and time services for model code and the run driver: integers and reals
// to 72-character texts, the build-version text, the wall-clock date and time and
// the processor-time query of the end-of-run report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "model/fixedtext.h"

// n in decimal, left-adjusted in 72 characters.
wakro::FixedText<72> int2str(std::int32_t n);
void int2str(wakro::FixedText<72>& text, std::int32_t n);
// int2str(n) with zeros before it up to ndig characters ("0007"; a negative number
// keeps its sign after the zeros: "00-7"); a longer number is written whole.
wakro::FixedText<72> int2str2(std::int32_t ndig, std::int32_t n);
void int2str2(wakro::FixedText<72>& text, std::int32_t ndig, std::int32_t n);
// x written with the layout (see diag/format.h), left-adjusted in 72 characters;
// all blanks when the layout is malformed.
wakro::FixedText<72> real2str(double x, std::string_view layout);

// Fills the field (len characters, blank-padded, never written past) with
// "Build# yyyymmdd" of the program's build date.
void getbuildverstr(char* text, std::size_t len);
template <std::size_t N>
void getbuildverstr(wakro::FixedText<N>& text) {
  getbuildverstr(text.c, N);
}

// The local wall-clock time: year with century, month 1 ... 12.
void datetim(std::int32_t& year, std::int32_t& month, std::int32_t& day, std::int32_t& hour,
             std::int32_t& minute, std::int32_t& second);
// Processor time the process has used so far, cut to whole milliseconds.
void cputime(std::int32_t& hours, std::int32_t& minutes, std::int32_t& seconds,
             std::int32_t& milliseconds);

namespace wakro {
// "Build# yyyymmdd" for a build date "Mmm dd yyyy" and time "hh:mm:ss", taken
// through the local calendar. A month name other than Jan ... Dec writes
// "WARNING: wrong time stamp '<date>' in code!" to err and January is taken.
std::string build_version_text(std::string_view date, std::string_view time, std::ostream& err);
}  // namespace wakro
