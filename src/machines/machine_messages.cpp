// Error lines and the stop of the machine models (see machine_messages.h).
#include "machines/machine_messages.h"

#include <cmath>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_warn.h"

namespace wakro::machines {

namespace {
constexpr std::int32_t kNoContext = 0;
}  // namespace

void machine_error(std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine, text);
}

void machine_stop() { wakro_quit(kMachineTag, kNoContext); }

void machine_refuse(std::string_view text) {
  machine_error(text);
  machine_stop();
}

std::string not_finite_text(std::string_view name) { return std::string(name) + " is not a finite number"; }

bool not_finite_error(std::string_view name, double value) {
  if (std::isfinite(value)) return false;
  machine_error(not_finite_text(name));
  return true;
}

}  // namespace wakro::machines
