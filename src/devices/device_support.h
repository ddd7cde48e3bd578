// Helpers shared by the device models: their fatal and warning messages under the
// present component's ids.
#pragma once

#include <cstdint>
#include <string_view>

#include "network/companion.h"

namespace wakro::devices {

// One error line (severity 2) with the component ids, then the run ends through
// wakro_quit with tag (mode 0).
[[noreturn]] void device_fatal(std::string_view tag, std::string_view text);
// One warning line with the component ids; the run goes on.
void device_warn(std::string_view text);

}  // namespace wakro::devices
