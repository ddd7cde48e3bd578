// wakro_readxy and wakro_readmatx: x-y tables and small matrices in curly
// brackets.
#include "input/brackets.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "model/fnames.h"

namespace {

using wakro::ListLine;

constexpr std::string_view kXyTag = "READXY      ";
constexpr std::string_view kMatTag = "READMATX    ";

void open_block(std::string_view tag) {
  rdcmnt();
  if (rdcmnt_at_data() || !(fnames::section == "{")) {
    ListLine() << "Model data is missing begin bracket, {";
    wakro_quit(tag, 1);
  }
}

[[noreturn]] void missing_end(std::string_view tag) {
  ListLine() << "Model data is missing end bracket, }";
  wakro_quit(tag, 1);
}

// Moves to the next data line of the block: true at a data line, false at the
// closing "}". The reads go on into an included file; any other key inside the
// block means its "}" is missing.
bool next_block_line(std::string_view tag) {
  for (;;) {
    rdcmnt();
    const bool in_block = fnames::section == "{" || fnames::section == "INCLUDE:";
    if (rdcmnt_at_data() && in_block) return true;
    if (rdcmnt_at_data()) missing_end(tag);  // the file ended under the block
    if (fnames::section == "}") return false;
    if (!(fnames::section == "INCLUDE:")) missing_end(tag);
  }
}

[[noreturn]] void premature_end(std::string_view tag, std::int32_t expected, std::string_view what,
                                std::int32_t found) {
  ListLine() << "Unexpected end of data encountered by READXY";
  ListLine() << "Expecting " << expected << what << found;
  wakro_quit(tag, 1);
}

void check_read(wakro::ReadStatus st, std::string_view tag) {
  if (st == wakro::ReadStatus::error) {
    ListLine() << "Error while reading data";
    wakro_quit(tag, 1);
  }
  if (st == wakro::ReadStatus::end) {
    ListLine() << "Unexpected End_Of_File";
    wakro_quit(tag, 1);
  }
}

void close_block(std::string_view tag) {
  wakro_nextkey();
  if (!(fnames::section == "}")) missing_end(tag);
}

}  // namespace

void wakro_readxy(std::int32_t n, std::span<double> x, std::span<double> y) {
  if (n > 0 && (static_cast<std::size_t>(n) > x.size() || static_cast<std::size_t>(n) > y.size())) {
    ListLine() << "READXY: the arrays hold fewer than" << n << "pairs";
    wakro_quit(kXyTag, 1);
  }
  open_block(kXyTag);
  for (std::int32_t i = 1; i <= n; ++i) {
    if (!next_block_line(kXyTag)) premature_end(kXyTag, n, " pairs but found only ", i - 1);
    const std::size_t k = static_cast<std::size_t>(i - 1);
    y[k] = 0.0;
    check_read(wakro::list_read_unit(fnames::iunit, {x[k], y[k]}), kXyTag);
  }
  close_block(kXyTag);
}

void wakro_readmatx(std::int32_t nrows, std::int32_t ncols, std::span<double> a) {
  if (nrows > kMatrixRows) {
    ListLine() << "READMATX: at most" << kMatrixRows << "rows can be read, asked for" << nrows;
    wakro_quit(kMatTag, 1);
  }
  if (nrows > 0 && ncols > 0 &&
      static_cast<std::size_t>(kMatrixRows) * static_cast<std::size_t>(ncols) > a.size()) {
    ListLine() << "READMATX: the matrix holds fewer than" << ncols << "columns";
    wakro_quit(kMatTag, 1);
  }
  open_block(kMatTag);
  std::vector<double> row(static_cast<std::size_t>(ncols > 0 ? ncols : 0));
  for (std::int32_t i = 1; i <= nrows; ++i) {
    if (!next_block_line(kMatTag)) premature_end(kMatTag, nrows, " rows but found only ", i - 1);
    std::fill(row.begin(), row.end(), 0.0);
    const wakro::ReadStatus st = wakro::list_read_unit(fnames::iunit, {std::span<double>(row)});
    // Whatever was read before an error stays; the rest of the row is 0.0.
    for (std::size_t j = 0; j < row.size(); ++j)
      a[static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(kMatrixRows) * j] = row[j];
    check_read(st, kMatTag);
  }
  close_block(kMatTag);
}
