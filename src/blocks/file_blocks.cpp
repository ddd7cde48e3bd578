// The shared file services of file_blocks.h.
#include "blocks/file_blocks.h"

#include <cstdio>
#include <string>

#include "blocks/conventions.h"
#include "files/listread.h"
#include "files/words.h"
#include "model/fnames.h"

namespace wakro::blocks {

namespace {
// Longest name of a file in this folder, and after "../".
constexpr std::size_t kNameWidth = 72;
constexpr std::string_view kParent = "../";
// The record buffer of the line skips, kept so that skipping allocates once.
std::string& record_buffer() {
  static std::string record;
  return record;
}
}  // namespace

std::int32_t open_block_file(std::string_view name, std::int32_t pathSwitch, std::string_view tag) {
  std::string full;
  if (pathSwitch == 0) {
    if (name.size() > kNameWidth - kParent.size()) block_fatal(tag, {"Name of the file is too long"});
    full.assign(kParent);
  } else if (name.size() > kNameWidth) {
    block_fatal(tag, {"Name of the file is too long"});
  }
  full.append(name);
  fnames::filename = wakro_firstwrd(Line72(full));
  wakro_openfile();
  return fnames::iunit;
}

std::string formed_name(std::string_view name, std::int32_t pathSwitch) {
  std::string full(pathSwitch == 0 ? kParent : std::string_view{});
  full.append(name);
  return std::string(wakro_firstwrd(Line72(full)).trimmed());
}

ReadStatus read_row(std::int32_t unit, std::span<double> row) { return list_read_unit(unit, {row}); }

bool skip_lines(std::int32_t unit, std::int32_t n) {
  for (std::int32_t k = 0; k < n; ++k)
    if (read_record(unit, record_buffer()) != ReadStatus::ok) return false;
  return true;
}

void rewind_unit(std::int32_t unit) {
  if (std::FILE* fp = unit_handle(unit)) std::rewind(fp);
}

void file_fatal(std::string_view tag, std::string_view text, std::string_view name) {
  const std::string line = std::string(text) + std::string(name);
  block_fatal(tag, {line});
}

}  // namespace wakro::blocks
