// The walk over a case's map file and pages that every map-reading pass shares
// (see case_walk.h).
#include "input/case_walk.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "files/words.h"
#include "input/recorditems.h"
#include "input/section_util.h"
#include "model/dim.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/options.h"
#include "model/outppp.h"

namespace wakro {
namespace {

using sections::fail;

// Where the reads stand: a section reader called there must move it, or the
// dispatch would call it there again without end.
struct ReadPlace {
  std::int32_t unit = fnames::iunit;
  std::int32_t line = unit_line_number(fnames::iunit);
  FixedText<72> section = fnames::section;
  bool operator==(const ReadPlace&) const = default;
};

[[noreturn]] void read_nothing(const FixedText<72>& key, std::string_view tag) {
  ListLine() << "The reader of the section " + std::string(key.trimmed()) + " read nothing of it (" +
                    unit_file_name(fnames::iunit) + ", line " + std::to_string(unit_line_number(fnames::iunit)) +
                    "): the case cannot be read on";
  wakro_quit(tag, 1);
}

// The channel count a "PGBS" dimension line gives, as the dimension reader
// reads it (a value that does not read gives none: that reader refuses it).
std::optional<std::int32_t> channels_of(const FixedText<72>& line) {
  std::int32_t n = 0;
  if (!(wakro_firstwrd(line) == "PGBS") || list_read(wakro_rhs72str(line).view(), {n}) != ReadStatus::ok || n < 0)
    return std::nullopt;
  return n;
}

// A page data file named by a "MAP:" entry, read up to its first key: its
// first line must be one (a data line there would be read as nothing's).
void open_page(std::string_view tag) {
  wakro_openfile();
  const std::int32_t page_unit = fnames::iunit;
  rdcmnt();
  // (A page of nothing but "ENDPAGE" returns to the map file, where the
  // dispatch deals with what follows.)
  if (rdcmnt_at_data() && fnames::iunit == page_unit) {
    ListLine() << "Page data file must begin with a section key: " << fnames::filename.trimmed();
    wakro_quit(tag, 1);
  }
}

// The data lines of the section in fnames::section, each handed to `take`.
template <typename Take>
void section_lines(Take take) {
  const FixedText<72> key = fnames::section;
  for (;;) {
    rdcmnt();
    if (!rdcmnt_in_section(key)) return;
    FixedText<72> line;
    sections::check_read(read_line72(line), "Error while reading data from line:", "READDATA", 1);
    take(line);
  }
}

// The reader state a walk over a map file borrows, given back however the walk
// ends: the run goes on reading what it read before, and the walk echoes
// nothing.
struct BorrowedReader {
  std::int32_t unit = fnames::iunit;  // the units above it are the walk's
  FixedText<72> filename = fnames::filename;
  FixedText<72> section = fnames::section;
  FixedText<72> dumlin = fnames::dumlin;
  bool echo = options::echo;
  BorrowedReader() { options::echo = false; }
  ~BorrowedReader() {
    while (fnames::iunit > unit && unit_is_open(fnames::iunit)) close_unit(fnames::iunit);
    fnames::filename = filename;
    fnames::section = section;
    fnames::dumlin = dumlin;
    options::echo = echo;
  }
  BorrowedReader(const BorrowedReader&) = delete;
  BorrowedReader& operator=(const BorrowedReader&) = delete;
};

// The walk's end, short of "ENDCASE:", where the reads stand.
WalkEnd stopped(std::string_view lack) {
  return {lack, unit_file_name(fnames::iunit), unit_line_number(fnames::iunit)};
}

}  // namespace

bool CaseWalk::page_entry(PageContext& /*page*/) {
  PageEntry entry;
  return read_page_entry(entry, std::max(ndde::e_ndim(dim::nnodes), 1));
}

void CaseWalk::section(const FixedText<72>& key, PageContext& /*page*/) {
  const SectionReader* reader = section_reader(key);
  reader != nullptr ? reader->pass_over(channels()) : skip_section_lines();
}

std::int32_t CaseWalk::channels() const { return channels_.value_or(outppp::jplt); }

const SectionReader* section_reader(const FixedText<72>& key) {
  for (const SectionReader& r : section_readers())
    if (key == r.key) return &r;
  return nullptr;
}

void skip_section_lines() {
  section_lines([](const FixedText<72>&) {});
}

void skip_repeated_dimensions() {
  while (fnames::section == "DIMENSIONS:") wakro_nextkey();
}

bool read_page_entry(PageEntry& page, std::int64_t max_nodes) {
  const FixedText<72> map("MAP:");
  rdcmnt();
  if (!rdcmnt_in_section(map)) return false;
  RecordItems nodes_line(fnames::iunit);
  std::int32_t s = 0;
  std::int32_t n = 0;
  if (nodes_line.read({s, n}) != ReadStatus::ok || n < 0 || n > max_nodes) return false;
  std::vector<std::int32_t> nodes(static_cast<std::size_t>(n));
  if (nodes_line.read({s, n, std::span<std::int32_t>(nodes)}) != ReadStatus::ok) return false;
  page.subsystem = s;
  page.nodes = std::move(nodes);
  if (s == 0 && n >= 1) {
    rdcmnt();
    if (!rdcmnt_in_section(map)) return false;
    RecordItems subsystems_line(fnames::iunit);
    std::int32_t declared = 0;
    std::int32_t m = 0;
    std::vector<std::int32_t> subs(static_cast<std::size_t>(n));
    if (subsystems_line.read({declared, m, std::span<std::int32_t>(subs)}) != ReadStatus::ok) return false;
  }
  rdcmnt();
  if (!rdcmnt_in_section(map)) return false;
  std::int32_t send = 0;
  std::int32_t recv = 0;
  return list_read_unit(fnames::iunit, {send, recv}) == ReadStatus::ok;
}

WalkEnd walk_sections(CaseWalk& walk, std::int32_t map_unit) {
  PageContext page;
  FixedText<72> current;  // the section an INCLUDE file continues
  for (;;) {
    const FixedText<72> key = fnames::section;
    if (sections::read_on_through_include(current)) continue;
    current = key;
    if (key == "MAP:" && !sections::reading_the_map(map_unit)) {
      walk.reports_skips() ? sections::skip_misplaced_map_line() : wakro_nextkey();
    } else if (key == "MAP:") {
      if (!walk.page_entry(page)) return stopped("has a MAP: entry that does not read");
      if (walk.enters_pages()) {
        open_page(walk.tag());
      } else {
        // The page's lines are not read; the map file goes on at its next key
        // (a data line there would follow the page's "ENDPAGE": the case
        // reader stops at it).
        rdcmnt();
        if (rdcmnt_at_data()) return stopped("has a data line after a MAP: entry where a key belongs");
      }
    } else if (section_reader(key) != nullptr) {
      const ReadPlace before;
      walk.section(key, page);
      if (ReadPlace{} == before) read_nothing(key, walk.tag());
    } else if (key == "DATADSD:" || key == "DATADSO:" || key == "IGNORE:") {
      wakro_nextkey();
    } else if (key == "ENDPAGE:") {
      // The line reader stopped at a data line after a page's end: reading it
      // again would find the same line for ever.
      if (rdcmnt_at_data())
        fail("Data line found after ENDPAGE: where a section key or ENDCASE: was expected", "ENDPAGE", 1);
      // The map file's own "ENDPAGE", where no read may go below it: the case
      // reader meets the end of its input there.
      if (fnames::iunit <= map_unit) return stopped("ends without ENDCASE:");
      wakro_endpage();
    } else if (key == "ENDCASE:") {
      return {};
    } else {
      walk.unknown_key(key);
      wakro_nextkey();
    }
  }
}

WalkEnd walk_after_dimensions(CaseWalk& walk, std::int32_t map_unit) {
  skip_repeated_dimensions();
  if (!(fnames::section == "PARAMETERS:") || rdcmnt_at_data())
    return stopped("has no PARAMETERS: section after DIMENSIONS:");
  section_lines([&](const FixedText<72>& line) { walk.parameter_line(line); });
  walk.opening_read();
  return walk_sections(walk, map_unit);
}

WalkEnd walk_map_file(const std::string& path, CaseWalk& walk) {
  const BorrowedReader borrowed;
  open_file_named(path, 1);
  fnames::filename = path;
  const std::int32_t map_unit = fnames::iunit;
  const EndpageFloor floor(map_unit);
  fnames::section.blank();
  rdcmnt();
  if (!(fnames::section == "DIMENSIONS:") || rdcmnt_at_data()) return stopped("does not begin with DIMENSIONS:");
  section_lines([&](const FixedText<72>& line) {
    if (const std::optional<std::int32_t> n = channels_of(line)) walk.channels_ = n;
    walk.dimension_line(line);
  });
  return walk_after_dimensions(walk, map_unit);
}

}  // namespace wakro
