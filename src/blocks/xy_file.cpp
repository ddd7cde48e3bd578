// The file-driven XY tables of xy_file.h.
#include "blocks/xy_file.h"

#include <span>
#include <string>

#include "blocks/conventions.h"
#include "blocks/file_blocks.h"
#include "blocks/slots.h"
#include "blocks/xy_table.h"
#include "files/listread.h"
#include "files/words.h"
#include "model/e_s1.h"

using namespace wakro::blocks;

namespace {

constexpr char kTag[] = "XYTABLE";
using namespace wakro::blocks::layout::xy_file;
// Outputs cleared by xytable_f.
constexpr std::int32_t kFixedOutputs = 10;

struct Table {
  std::string_view name;
  std::int32_t pathSwitch, n, nearest;
  double x;
  double* out;
  std::int32_t cleared;  // outputs cleared before writing
};

std::string& record_buffer() {
  static std::string record;
  return record;
}

[[noreturn]] void stop(const Table& t, std::string_view text) {
  file_fatal(kTag, text, formed_name(t.name, t.pathSwitch));
}

// Skips the leading comment lines and steps back to the first data row.
void skip_comments(const Table& t, std::int32_t unit) {
  std::string& record = record_buffer();
  for (;;) {
    const wakro::ReadStatus st = wakro::read_record(unit, record);
    if (st == wakro::ReadStatus::error) stop(t, "Error reading data from the file: ");
    if (st != wakro::ReadStatus::ok) stop(t, "Not enough data in the file: ");
    const Line72 word = wakro_firstwrd(Line72(record));
    if (word.is_blank() || word[0] == '!' || word[0] == '/') continue;
    wakro::step_back(unit);
    return;
  }
}

void to_first_row(const Table& t, std::int32_t unit) {
  rewind_unit(unit);
  skip_comments(t, unit);
}

// Counts the data rows and checks that x ascends; returns the count.
std::int32_t scan(const Table& t, std::int32_t unit) {
  std::string& record = record_buffer();
  std::int32_t rows = 0;
  double last = 0.0;
  for (;;) {
    const wakro::ReadStatus st = wakro::read_record(unit, record);
    if (st == wakro::ReadStatus::error) stop(t, "Error reading data from the file: ");
    if (st != wakro::ReadStatus::ok) break;
    double x = 0.0;
    if (wakro::list_read(record, {x}) != wakro::ReadStatus::ok) stop(t, "Error reading data from the file: ");
    if (rows > 0 && !(x > last)) stop(t, "Data in the file should be in ascending order: ");
    last = x;
    ++rows;
  }
  if (rows < 2) stop(t, "Not enough data in the file: ");
  return rows;
}

// Reads the next row (x and N values) into the slots from base + 1.
void read_next(const Table& t, std::int32_t unit, const Slots<double>& f, std::int32_t base) {
  double* first = &f(base + 1);
  if (read_row(unit, std::span<double>(first, static_cast<std::size_t>(t.n + 1))) != wakro::ReadStatus::ok)
    stop(t, "Error reading data from the file: ");
}

void copy_row(const Table& t, const Slots<double>& f, std::int32_t from, std::int32_t to) {
  for (std::int32_t j = 1; j <= t.n + 1; ++j) f(to + j) = f(from + j);
}

void look_up(const Table& t) {
  // Step 1: arguments, then the slots.
  if (t.n < 1 || (t.cleared == kFixedOutputs && t.n > kFixedOutputs))
    block_fatal(kTag, {"Number of outputs of the table must be 1 to 10."});
  const Slots<double> f = take_storf(storf_size(t.n));
  const Slots<std::int32_t> i = take_stori(kStoriSize);
  const Slots<bool> l = take_storl(kStorlSize);
  const std::int32_t u = 0, lo = row_length(t.n);  // bases of rows U and L

  // Step 2: open the file on the first step and on the step after time zero.
  if (e_s1::firststep || l(kReopen)) {
    const std::int32_t unit = open_block_file(t.name, t.pathSwitch, kTag);
    i(kUnit) = unit;
    skip_comments(t, unit);
    if (l(kReopen) && !e_s1::firststep) l(kReopen) = false;
    if (e_s1::firststep) {
      i(kRows) = scan(t, unit);
      to_first_row(t, unit);
      if (e_s1::timezero) l(kReopen) = true;
    }
    read_next(t, unit, f, u);
    i(kRow) = 1;
    copy_row(t, f, u, lo);
  }

  // Step 3: move the cursor to the pair around x.
  const std::int32_t unit = i(kUnit);
  double w = 1.0;
  for (;;) {
    while (t.x > f(u + 1) && i(kRow) < i(kRows)) {
      copy_row(t, f, u, lo);
      read_next(t, unit, f, u);
      ++i(kRow);
    }
    if (t.x > f(u + 1) || i(kRow) == 1) break;  // beyond the last row, or at/below the first
    if (f(lo + 1) <= t.x) {
      w = xy_weight(t.x, f(lo + 1), f(u + 1), t.nearest);
      break;
    }
    // x fell below the pair: from the first row again.
    to_first_row(t, unit);
    read_next(t, unit, f, u);
    i(kRow) = 1;
    copy_row(t, f, u, lo);
  }

  // Step 4: the outputs.
  for (std::int32_t j = 0; j < t.cleared; ++j) t.out[j] = 0.0;
  for (std::int32_t j = 1; j <= t.n; ++j) t.out[j - 1] = w * f(u + 1 + j) + (1.0 - w) * f(lo + 1 + j);

  // Step 5: the time-zero pass leaves the stack as it found it; the last step
  // closes the block's own unit.
  if ((e_s1::timezero || e_s1::laststep) && i(kUnit) > 0) {
    wakro::close_unit(i(kUnit));
    i(kUnit) = 0;
    if (e_s1::timezero) i(kRow) = 1;
  }
}

}  // namespace

void xytable_f(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t nearest, double x,
               double* out) {
  look_up(Table{name, pathSwitch, n, nearest, x, out, kFixedOutputs});
}

void xytable_f2(std::string_view name, std::int32_t pathSwitch, std::int32_t n, std::int32_t nearest, double x,
                double* out) {
  look_up(Table{name, pathSwitch, n, nearest, x, out, n});
}
