// Messages of the device models.
#include "devices/device_support.h"

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_warn.h"

namespace wakro::devices {

void device_fatal(std::string_view tag, std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine, text);
  wakro_quit(tag, 0);
}

void device_warn(std::string_view text) {
  wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, text);
}

}  // namespace wakro::devices
