// outmsg and errhan: the numbered console texts, their epilogues and the
// dimension report.
#include "diag/outmsg.h"

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/outmsg_table.h"
#include "diag/quit.h"
#include "model/fixedtext.h"
#include "model/fnames.h"
#include "model/misses.h"
#include "model/ndde.h"

namespace {

constexpr std::string_view kDataFileHeader = "(/' **** ERROR IN READING OF DATA FILE!  ****')";
constexpr std::string_view kContinuing = "(/' **** EXECUTION CONTINUING ****'/)";
constexpr std::string_view kTerminating = "(/' **** EXECUTION TERMINATING  ****'/)";
constexpr std::string_view kOffendingLine = "(/' **** THE OFFENDING LINE IN THE DATA FILE IS: ****'/A//)";
constexpr std::string_view kDimensioning = "(/' **** DIMENSIONING EXCEEDED! ****'//)";
constexpr std::size_t kLineWidth = 72;

// The first n bytes of t, blank-padded when t is shorter; a letter of several
// bytes that byte n would split is left out whole (the field is padded instead).
std::string field(std::string_view t, std::size_t n) {
  std::string s(wakro::name_prefix(t, n));
  s.resize(n, ' ');
  return s;
}

struct Args {
  std::int32_t i1, i2, i3;
  double r1, r2;
  std::string_view t;
};

// The values of a row, in the order its layout takes them.
void write_row(const wakro::OutmsgRow& row, const Args& a) {
  std::vector<std::string> texts;
  std::vector<std::string_view> tokens;
  std::string_view wanted(row.values);
  while (!wanted.empty()) {
    const std::size_t sp = wanted.find(' ');
    tokens.push_back(wanted.substr(0, sp));
    wanted = sp == std::string_view::npos ? std::string_view{} : wanted.substr(sp + 1);
  }
  texts.reserve(tokens.size());  // the views below must not move
  std::vector<wakro::FmtValue> values;
  for (std::string_view tok : tokens) {
    if (tok == "I1" || tok == "i1") values.emplace_back(a.i1);
    else if (tok == "I2") values.emplace_back(a.i2);
    else if (tok == "I3") values.emplace_back(a.i3);
    else if (tok == "R1") values.emplace_back(a.r1);
    else if (tok == "R2") values.emplace_back(a.r2);
    else if (tok == "R1r") values.emplace_back(wakro::round_to_int(a.r1));
    else if (tok[0] == 'T') {
      std::size_t n = 0;
      for (char c : tok.substr(1)) n = n * 10 + static_cast<std::size_t>(c - '0');
      texts.push_back(field(a.t, n));
      values.emplace_back(std::string_view(texts.back()));
    }
  }
  wakro::write_layout(wakro::console(), row.layout, values);
}

void write_offending_line(std::string_view t) {
  const std::string line = field(t, kLineWidth);
  wakro::write_layout(wakro::console(), kOffendingLine, {std::string_view(line)});
}

[[noreturn]] void end_run() {
  wakro::write_layout(wakro::console(), kTerminating);
  wakro_quit("OUTMSG      ", 0);
}

}  // namespace

void outmsg(std::int32_t number, std::int32_t i1, std::int32_t i2, std::int32_t i3, double r1,
            double r2, std::string_view t) {
  using namespace wakro;
  std::ostream& os = console();
  if (number <= 100) write_layout(os, kDataFileHeader);
  const OutmsgRow* row = find_outmsg_row(number);
  if (!row) end_run();
  if (row->layout) write_row(*row, Args{i1, i2, i3, r1, r2, t});
  switch (row->then) {
    case kReturns:
      return;
    case kContinues:
      write_layout(os, kContinuing);
      return;
    case kCountsMiss:
      misses::imis += 1;
      return;
    case kOffending:
      write_offending_line(t);
      end_run();
    case kDimOffending:
      write_layout(os, kDimensioning);
      write_dimension_report();
      write_offending_line(t);
      end_run();
    case kDimEnds:
      write_dimension_report();
      end_run();
    case kEnds:
      end_run();
  }
  end_run();
}

void errhan() {
  misses::imis += 1;
  outmsg(wakro::diag::message::kNonValidResponse, 0, 0, 0, 0.0, 0.0, fnames::dumlin.view());
  if (misses::imis > 3)
    outmsg(wakro::diag::message::kAttemptsExhausted, 0, 0, 0, 0.0, 0.0, fnames::dumlin.view());  // ends the run
  else
    outmsg(wakro::diag::message::kTryAgain, 0, 0, 0, 0.0, 0.0, fnames::dumlin.view());
}

namespace wakro {

const OutmsgRow* find_outmsg_row(std::int32_t number) {
  for (std::size_t k = 0; k < kOutmsgRowCount; ++k)
    if (number >= kOutmsgRows[k].first && number <= kOutmsgRows[k].last) return &kOutmsgRows[k];
  return nullptr;
}

std::int32_t round_to_int(double x) {
  if (std::isnan(x)) return 0;
  const double r = std::round(x);  // halves away from zero
  if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(r);
}

void write_dimension_report() {
  struct Size {
    const char* label;
    const std::int32_t* value;
    bool wide;  // I6 instead of I4
    const char* meaning;
  };
  const std::array<Size, 13> sizes = {{
      {"ND1", &ndde::nd1, false, "# of Nodes Per Subsystem"},
      {"ND2", &ndde::nd2, false, "# of Subsystems"},
      {"ND3", &ndde::nd3, false, "# of Windings Per Transformer"},
      {"ND4", &ndde::nd4, false, "# of Transformers"},
      {"ND5", &ndde::nd5, false, "# of Phases or Modes Per T-line"},
      {"ND6", &ndde::nd6, false, "# of T-lines and Cables"},
      {"ND8", &ndde::nd8, false, "# of Pole/Zeroes for tline Curve Fit"},
      {"ND10", &ndde::nd10, true, "# of Stor Locations (STOR)"},
      {"ND13", &ndde::nd13, false, "# of PGB Output Channels"},
      {"ND27", &ndde::nd27, true, "# of Logical Stor Locations (STORL)"},
      {"ND28", &ndde::nd28, true, "# of Integer Stor Locations (STORI)"},
      {"ND29", &ndde::nd29, true, "# of Real    Stor Locations (STORF)"},
      {"ND30", &ndde::nd30, true, "# of Complex Stor Locations (STORC)"},
  }};
  std::ostream& os = console();
  write_layout(os, "(/' **** WAKRO IS CURRENTLY DIMENSIONED AS FOLLOWS: ****'/)");
  write_layout(os, "(' VARIABLE   CURRENT         DIMENSIONED'/'   NAME      VALUE           QUANTITY'/)");
  for (const Size& s : sizes) {
    // Name from column 4, value ending in column 18, meaning from column 30.
    write_layout(os, s.wide ? "(3X,A,T13,I6,T30,A)" : "(3X,A,T15,I4,T30,A)",
                 {s.label, *s.value, s.meaning});
  }
  write_layout(os,
               "(/' IF ANY OF THESE DIMENSIONS HAVE BEEN EXCEEDED, THEN'/"
               "' YOU MAY HAVE SOME CUSTOM MODELS WITH IMPROPER Quolb SCRIPT'/' DIRECTIVES.')");
}

}  // namespace wakro
