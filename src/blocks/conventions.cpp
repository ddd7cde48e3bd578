// The shared block conventions of conventions.h.
#include "blocks/conventions.h"

#include <cstddef>
#include <ostream>

#include "diag/console.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/quit.h"
#include "model/e_warn.h"

namespace wakro::blocks {

std::int32_t nint_sat_general(double x) { return round_to_int(x); }

double crossing_time(double p, double x, double delt) { return x / (x - p) * delt; }

void block_fatal(std::string_view tag, std::initializer_list<std::string_view> lines) {
  const std::size_t n = lines.size();
  std::size_t k = 0;
  for (std::string_view line : lines) {
    std::int32_t part = wakro::msg::kSingleLine;
    if (n > 1) {
      part = k == 0 ? wakro::msg::first_of(static_cast<std::int32_t>(n))
                    : (k + 1 == n ? wakro::msg::kLastLine : wakro::msg::kMiddleLine);
    }
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, part, line);
    ++k;
  }
  wakro_quit(tag, 0);
}

void block_error_line(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine, text);
}

void block_stop(std::string_view tag) { wakro_quit(tag, 0); }

void block_warn(std::string_view text) {
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, text);
}

void obsolete_forward(std::string_view name, std::string_view replacement) {
  std::ostream& out = console();
  out << "Obsolete Function: " << name << '\n';
  out << "  Use Subroutine " << replacement << " instead.\n";
}

}  // namespace wakro::blocks
