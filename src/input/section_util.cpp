// Console-and-quit helpers and the checked page-node look-up of the readers.
#include "input/section_util.h"

#include "diag/listout.h"
#include "diag/nodeaccess.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/units.h"
#include "model/fnames.h"
#include "model/quolbv3.h"

namespace wakro::sections {

void fail(std::string_view text, std::string_view tag, std::int32_t mode) {
  ListLine() << text;
  wakro_quit(tag, mode);
}

void check_read(ReadStatus st, std::string_view read_error, std::string_view tag,
                std::int32_t mode) {
  if (st == ReadStatus::end) fail("Unexpected End_Of_File", tag, mode);
  if (st == ReadStatus::error) fail(read_error, tag, mode);
}

std::int32_t page_node(std::int32_t position, std::int32_t local) {
  const std::int32_t count = quolbv3::nnode - position;
  if (position >= 1 && local > count) {
    ListLine() << "Local node" << local << "is not a node of this page; its node count is" << count;
    wakro_quit("WAKRO_NODE  ", 1);
  }
  std::int32_t node = 0;
  wakro_node(position, local, node);
  return node;
}

bool reading_the_map(std::int32_t map_unit) {
  const std::int32_t top = fnames::iunit;
  return top - unit_include_depth(top) == map_unit;
}

namespace {

// Keys after which data lines belong to no section.
bool holds_no_data(const FixedText<72>& key) {
  return key.is_blank() || key == "MAINPAGE:" || key == "MAP:" || key == "ENDPAGE:" || key == "ENDCASE:" ||
         key == "INCLUDE:" || key == "ENDFILE:" || key == "NEXTKEY:";
}

}  // namespace

bool read_on_through_include(const FixedText<72>& current) {
  const bool included_file_ends = fnames::section == "ENDFILE:" && unit_include_depth(fnames::iunit) > 0;
  if (!(fnames::section == "INCLUDE:") && !included_file_ends) return false;
  if (included_file_ends) wakro_closefile();
  fnames::section = current;
  rdcmnt();
  if (rdcmnt_at_data() && holds_no_data(current))
    fail("Data line found where a section key was expected after an INCLUDE or ENDFILE line", "READDATA", 1);
  return true;
}

void skip_misplaced_map_line() {
  ListLine() << "READDATA: Ignoring MAP: line in " + unit_file_name(fnames::iunit) +
                    " (pages are named only in the map file)";
  wakro_nextkey();
}

}  // namespace wakro::sections
