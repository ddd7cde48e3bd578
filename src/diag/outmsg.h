// Numbered console texts: an older set of console messages addressed by one
// number, written from fixed layouts (see diag/format.h) with up to three
// integers, two reals and a text, on the console and list unit (emtio::iout,
// standard output).
//
// Numbers up to 100 are data-file errors and are preceded by
// " **** ERROR IN READING OF DATA FILE!  ****". After its own text a number
// returns, announces " **** EXECUTION CONTINUING ****", counts a failed
// dialogue answer, or ends the run: the offending data line (T, 72 characters)
// and the dimension report where the number asks for them, then
// " **** EXECUTION TERMINATING  ****" and wakro_quit("OUTMSG      ", 0). A number
// outside 1 ... 470 is an engine fault and ends the run the same way.
#pragma once

#include <cstdint>
#include <string_view>

// Values a number's layout does not take are ignored (callers pass dummies).
void outmsg(std::int32_t number, std::int32_t i1 = 0, std::int32_t i2 = 0, std::int32_t i3 = 0,
            double r1 = 0.0, double r2 = 0.0, std::string_view t = {});

// A failed answer of the console dialogue: counts it (misses::imis), writes
// " **** NON-VALID RESPONSE ****" and then " **** PLEASE TRY AGAIN ****", or after
// the fourth failure " **** SORRY, MAXIMUM OF FOUR ATTEMPTS ALLOWED ****", which
// ends the run. fnames::dumlin is handed on as the text.
void errhan();

// The numbers errhan writes.
namespace wakro::diag::message {
inline constexpr std::int32_t kNonValidResponse = 101;
inline constexpr std::int32_t kTryAgain = 102;
inline constexpr std::int32_t kAttemptsExhausted = 402;  // ends the run
}  // namespace wakro::diag::message

namespace wakro {
// The dimension report: the working sizes of ndde that bound a case.
void write_dimension_report();
// R1 rounded to the nearest integer, halves away from zero; NaN gives 0 and
// values beyond the 32-bit range the nearest end of it.
std::int32_t round_to_int(double x);
}  // namespace wakro
