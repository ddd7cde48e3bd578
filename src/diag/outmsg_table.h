// The rows of the numbered console texts (outmsg_table.cpp), shared by outmsg
// and its tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wakro {

// What follows a number's own layout.
enum OutmsgThen : unsigned char {
  kReturns,       // nothing
  kContinues,     // "EXECUTION CONTINUING", then return
  kCountsMiss,    // one more failed dialogue answer (misses::imis), then return
  kOffending,     // the offending data line, then end the run
  kDimOffending,  // "DIMENSIONING EXCEEDED!", the dimension report, the offending line, end
  kDimEnds,       // the dimension report, then end the run
  kEnds,          // end the run
};

struct OutmsgRow {
  std::int16_t first;  // the numbers first ... last share the row
  std::int16_t last;
  const char* layout;  // null: the number has no own text
  const char* values;  // blank-separated: I1 I2 I3 R1 R2 R1r i1 T<n>
  OutmsgThen then;
};

extern const OutmsgRow kOutmsgRows[];
extern const std::size_t kOutmsgRowCount;

// The row of a number, or null when the number is outside 1 ... 470.
const OutmsgRow* find_outmsg_row(std::int32_t number);

}  // namespace wakro
