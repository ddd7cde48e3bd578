// Messages of the multiple-run routines (see messages.h).
#include "multirun/messages.h"

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_warn.h"

namespace wakro::multirun {

void message_lines(std::int32_t severity, std::initializer_list<std::string_view> lines) {
  const auto n = static_cast<std::int32_t>(lines.size());
  std::int32_t k = 0;
  for (std::string_view line : lines) {
    const std::int32_t part = n == 1       ? msg::kSingleLine
                              : k == 0     ? msg::first_of(n)
                              : k == n - 1 ? msg::kLastLine
                                           : msg::kMiddleLine;
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, severity, part, line);
    ++k;
  }
}

void stop_with(std::initializer_list<std::string_view> lines, std::string_view tag) {
  message_lines(msg::kError, lines);
  wakro_quit(tag, 0);
}

}  // namespace wakro::multirun
