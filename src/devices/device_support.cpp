// Messages of the device models and the guarded registry append.
#include "devices/device_support.h"

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_warn.h"
#include "model/harmimp.h"

namespace wakro::devices {

namespace {
// Kind of a registry record that names a branch of the branch arrays.
constexpr std::int32_t kBranchRecord = 9;
bool full_warned = false;
}  // namespace

void device_fatal(std::string_view tag, std::string_view text) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, 2, 1, text);
  wakro_quit(tag, 0);
}

void device_warn(std::string_view text) { wakro_warn(e_warn::comp_id1, e_warn::comp_id2, 1, text); }

bool harm_record(std::int32_t type, std::int32_t ss, std::initializer_list<std::int32_t> nodes,
                 std::initializer_list<double> values) {
  if (harmimp::harm_append(type, ss, nodes, values)) return true;
  if (!full_warned) {
    full_warned = true;
    device_warn("Harmonic impedance registry full: further records are not kept");
  }
  return false;
}

bool harm_branch_record(std::int32_t br, std::int32_t ss) {
  return harm_record(kBranchRecord, ss, {br, 0});
}

void reset_harm_warning() { full_warned = false; }

}  // namespace wakro::devices
