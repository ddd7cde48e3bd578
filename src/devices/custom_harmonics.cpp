// custom_harmonics1_cfg: the harmonics table read through the input-unit stack.
#include "devices/custom_harmonics.h"

#include <string>

#include "blocks/slots.h"
#include "devices/device_support.h"
#include "files/listread.h"
#include "files/textfile.h"
#include "files/units.h"
#include "model/fixedtext.h"
#include "model/fnames.h"

namespace {

constexpr std::string_view kTag = "CUS_HARM_CFG";
constexpr std::size_t kNameLength = 72;

// Why the file cannot be read ('\' taken as '/', as the units take it): ""
// when it can; a device, a folder or a pipe is not read.
std::string why_unreadable(std::string_view name) {
  std::string path(name);
  for (char& ch : path) {
    if (ch == '\\') ch = '/';
  }
  return wakro::why_unreadable(path);
}

}  // namespace

void custom_harmonics1_cfg(std::int32_t n, std::string_view name, std::int32_t name_length) {
  namespace L = wakro::devices::layout::custom_harmonics1;
  using wakro::devices::device_fatal;
  const std::string_view given =
      name.substr(0, name_length < 0 ? 0 : static_cast<std::size_t>(name_length));
  // 1. The name.
  if (given.size() > kNameLength) device_fatal(kTag, "Name of the file is too long: " + std::string(given));
  if (n < 0) device_fatal(kTag, "Number of harmonics must not be negative");
  const wakro::FixedText<72> padded(given);
  const std::string trimmed(padded.trimmed());
  // The slots are taken (and checked against rtcf) before anything is read.
  const auto block = wakro::blocks::take_rtcf(L::rtcf_size(n));
  // 2. The file, on a new unit.
  if (const std::string why = why_unreadable(trimmed); !why.empty())
    device_fatal(kTag, "Error opening the file: " + trimmed + ": " + why);
  fnames::filename = padded;
  wakro_openfile();
  const std::int32_t unit = fnames::iunit;
  // 3. The header.
  std::string record;
  wakro::ReadStatus status = wakro::read_record(unit, record);
  // 4-5. n lines of three numbers, stored by column.
  for (std::int32_t k = 1; k <= n && status == wakro::ReadStatus::ok; ++k) {
    if (wakro::read_record(unit, record) != wakro::ReadStatus::ok) {
      status = wakro::ReadStatus::end;
      break;
    }
    double a = 0.0, b = 0.0, c = 0.0;
    status = wakro::list_read(record, {a, b, c});
    block(L::slot(n, 1, k)) = a;
    block(L::slot(n, 2, k)) = b;
    block(L::slot(n, 3, k)) = c;
  }
  if (status == wakro::ReadStatus::end) {
    wakro_closefile();
    device_fatal(kTag, "Number of harmonics in the file is less than the specified value: " + trimmed);
  }
  if (status == wakro::ReadStatus::error) {
    wakro_closefile();
    device_fatal(kTag, "Error reading data from the file: " + trimmed);
  }
  // 6. Close and pop.
  wakro_closefile();
}
