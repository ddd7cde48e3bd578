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
    const std::int32_t part = n == 1 ? 1 : k == 0 ? n : k == n - 1 ? -1 : 0;
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, severity, part, line);
    ++k;
  }
}

void stop_with(std::initializer_list<std::string_view> lines, std::string_view tag) {
  constexpr std::int32_t kError = 2;
  message_lines(kError, lines);
  wakro_quit(tag, 0);
}

}  // namespace wakro::multirun
