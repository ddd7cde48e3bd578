// Data records and node checks of the single-routine machines (see routine_input.h).
#include "machines/routine_input.h"

#include <string>

#include "diag/quit.h"
#include "files/linereader.h"
#include "files/units.h"
#include "machines/machine_messages.h"
#include "model/e_s0.h"
#include "model/fnames.h"

namespace wakro::machines {

namespace {

constexpr std::int32_t kNoContext = 0;
constexpr std::int32_t kShowLastLine = 1;  // wakro_quit shows the last data line and file

[[noreturn]] void refuse(std::string_view tag, const std::string& text) {
  machine_error(text);
  wakro_quit(tag, kNoContext);
}

}  // namespace

void refuse_record(std::string_view tag, const std::string& text) {
  const std::int32_t u = fnames::iunit;
  machine_error(text + " (file " + unit_file_name(u) + ", line " + std::to_string(unit_line_number(u)) + ")");
  wakro_quit(tag, kShowLastLine);
}

void read_data_record(std::string_view tag, std::string_view what, std::initializer_list<ListItem> items) {
  rdcmnt();
  if (!rdcmnt_at_data()) refuse_record(tag, std::string(what) + " is missing");
  if (list_read_unit(fnames::iunit, items) != ReadStatus::ok) refuse_record(tag, std::string(what) + " cannot be read");
}

void check_machine_nodes(std::string_view tag, std::string_view machine, std::int32_t ss,
                         std::span<const std::int32_t> nodes) {
  if (ss < 1 || ss > e_s0::mbus.extent(1))
    refuse(tag, "The subsystem of the " + std::string(machine) + " does not exist");
  for (std::int32_t node : nodes)
    if (node < 0 || node > e_s0::mbus(ss))
      refuse(tag, "A node of the " + std::string(machine) + " is not a node of its subsystem");
}

}  // namespace wakro::machines
