// What identifies the case a snapshot was written by (see case_identity.h).
#include "snapshot/case_identity.h"

#include <filesystem>
#include <span>
#include <sstream>
#include <string_view>

#include "files/linereader.h"
#include "files/listread.h"
#include "files/textfile.h"
#include "files/units.h"
#include "files/words.h"
#include "input/parameters.h"
#include "input/readdata.h"
#include "input/recorditems.h"
#include "input/section_util.h"
#include "model/assorc.h"
#include "model/fnames.h"
#include "model/options.h"
#include "model/quolbv3.h"
#include "snapshot/state_check.h"

namespace wakro::snapshot {
namespace {

constexpr std::string_view kPrefix = "! CASE: ";
// The dimensions that identify the case besides those the map merge compares
// with the snapshot's own (subsystems, branches, nodes, stores); the channel
// count may change between a run and its resume.
constexpr std::string_view kDimensions[] = {"NPAGES"};

constexpr std::string_view kProgram = "PROGRAM";

CaseIdentity g_read;    // carried by the snapshot this run resumed from
std::string g_program;  // the case the program is built for

constexpr std::string_view kTitle = "TITLE";
constexpr std::string_view kPages = "PAGES";

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The words of s joined by single blanks.
std::string words(std::string_view s) {
  std::istringstream in{std::string(s)};
  std::string out;
  for (std::string w; in >> w;) out += (out.empty() ? "" : " ") + w;
  return out;
}

void add_to(CaseIdentity& id, const std::string& field, const std::string& value) {
  for (auto& [f, v] : id)
    if (f == field) {
      v += " " + value;
      return;
    }
  id.emplace_back(field, value);
}

std::string value_in(const CaseIdentity& id, std::string_view field) {
  for (const auto& [f, v] : id)
    if (f == field) return v;
  return "(none)";
}

// The title as the parameter reader takes it from "TITLE = <value>" (a value
// that does not read, whole).
wakro::FixedText<72> title_as_read(std::string_view value) {
  wakro::FixedText<72> title;
  if (wakro::title_of(value, title) != wakro::ReadStatus::ok) title = value;
  return title;
}

// A page file name as the case reader takes it from its "MAP:" line: its
// first word, quotes and blanks around it dropped.
std::string page_as_read(std::string_view name) {
  return std::string(wakro_firstwrd(Line72(name)).trimmed());
}

// A field's value as the case reader reads it, so that two spellings of one
// case compare equal: the title's text, the page names without their quotes.
std::string as_read(std::string_view field, const std::string& value) {
  if (field == kTitle) return std::string(title_as_read(value).trimmed());
  if (field != kPages) return value;
  std::istringstream in(value);
  std::string pages;
  for (std::string w; in >> w;) {
    if (!pages.empty()) pages.push_back(' ');
    pages.append(page_as_read(w));
  }
  return pages;
}

}  // namespace

// ---------------------------------------------------------------- the map file

namespace {

// A field the case reader takes from its last line (the title, the page count).
void set_in(CaseIdentity& id, const std::string& field, const std::string& value) {
  for (auto& [f, v] : id)
    if (f == field) {
      v = value;
      return;
    }
  id.emplace_back(field, value);
}

// The reader state the walk over a map file borrows, given back however it
// ends: the run goes on reading what it read before (the snapshot being
// resumed, a block's own file), and the walk echoes nothing.
struct BorrowedReader {
  std::int32_t unit = fnames::iunit;  // the units above it are the walk's
  wakro::FixedText<72> filename = fnames::filename;
  wakro::FixedText<72> section = fnames::section;
  wakro::FixedText<72> dumlin = fnames::dumlin;
  bool echo = options::echo;
  BorrowedReader() { options::echo = false; }
  ~BorrowedReader() {
    while (fnames::iunit > unit && wakro::unit_is_open(fnames::iunit)) wakro::close_unit(fnames::iunit);
    fnames::filename = filename;
    fnames::section = section;
    fnames::dumlin = dumlin;
    options::echo = echo;
  }
  BorrowedReader(const BorrowedReader&) = delete;
  BorrowedReader& operator=(const BorrowedReader&) = delete;
};

// A page's node line "S N n1 .. nN", read as the case reader's page-map entry
// reads it (over as many lines as it takes); false when it does not read or N
// is no node count the page map could hold.
bool read_node_line(PageNodes& page) {
  wakro::RecordItems entry(fnames::iunit);
  std::int32_t s = 0;
  std::int32_t n = 0;
  if (entry.read({s, n}) != wakro::ReadStatus::ok) return false;
  if (n < 0 || n > (quolbv3::node.allocated() ? quolbv3::node.extent(1) : 0)) return false;
  std::vector<std::int32_t> nodes(static_cast<std::size_t>(n));
  if (entry.read({s, n, std::span<std::int32_t>(nodes)}) != wakro::ReadStatus::ok) return false;
  page.subsystem = s;
  page.nodes = std::move(nodes);
  return true;
}

// A data line of the section `key` that identifies the case.
void identity_line(const Line72& key, const Line72& line, CaseIdentity& id) {
  const Line72 first = wakro_firstwrd(line);
  const Line72 rhs = wakro_rhs72str(line);
  const std::string_view value = trim(rhs.view());
  for (std::string_view d : kDimensions)
    if (key == "DIMENSIONS:" && first == d) set_in(id, std::string(d), words(value));
  if (key == "PARAMETERS:" && first == kTitle) set_in(id, std::string(kTitle), std::string(value));
  if (key == "SUBSYSDIM:") add_to(id, "SUBSYSDIM", words(line.view()));
}

}  // namespace

MapReading read_map(const std::string& path) {
  MapReading map;
  std::error_code ec;
  if (path.empty() || !wakro::not_a_file(path).empty() || !std::filesystem::is_regular_file(path, ec)) return map;
  map.found = true;
  const BorrowedReader borrowed;
  wakro::open_file_named(path, 1);
  fnames::filename = path;
  const std::int32_t map_unit = fnames::iunit;
  // The section an INCLUDE file continues, as the case reader's dispatch keeps
  // it; before the dispatch the opening sections, "DIMENSIONS:" and
  // "PARAMETERS:", are read (a later key of either is one it skips).
  Line72 current;
  bool opening = true;
  bool node_line_due = false;
  bool pages_read = true;  // no page's node line has failed to read yet
  fnames::section.blank();
  rdcmnt();
  while (fnames::iunit >= map_unit) {
    if (wakro::sections::read_on_through_include(current)) continue;
    const Line72 key = fnames::section;
    if (rdcmnt_at_data() && key == "MAP:" && node_line_due) {
      node_line_due = false;
      PageNodes page;
      pages_read = pages_read && read_node_line(page);
      if (pages_read) map.pages.push_back(std::move(page));
    } else if (rdcmnt_at_data()) {
      Line72 line;
      if (wakro::read_line72(line) != wakro::ReadStatus::ok) break;
      identity_line(key, line, map.identity);
    } else if (key == "ENDCASE:") {
      break;
    } else if (opening && (key == "DIMENSIONS:" || key == "PARAMETERS:")) {
      // The two sections the case reader reads before its dispatch.
    } else {
      opening = false;
      current = key;
      node_line_due = key == "MAP:";
      if (node_line_due) add_to(map.identity, std::string(kPages), std::string(fnames::filename.trimmed()));
      // A section the case reader skips is skipped as it skips it (an INCLUDE
      // line in it is not followed).
      if (wakro::skipped_section(key)) {
        wakro_nextkey();
        continue;
      }
    }
    rdcmnt();
  }
  return map;
}

CaseIdentity identity_of_snapshot(const std::string& text) {
  CaseIdentity id;
  std::istringstream in(text);
  for (std::string raw; std::getline(in, raw);) {
    const std::string_view line = trim(raw);
    if (line.substr(0, 11) == "DIMENSIONS:") break;  // the block stands before the dimensions
    if (line.substr(0, kPrefix.size()) != kPrefix) continue;
    // "<field> = <value>" (the line's end trimmed: a blank value leaves "<field> =").
    const std::string_view rest = line.substr(kPrefix.size());
    const std::size_t eq = rest.find(" =");
    if (eq == std::string_view::npos || (eq + 2 < rest.size() && rest[eq + 2] != ' '))
      refuse_text("WAKRO: Snapshot identity line is not <field> = <value>: " + std::string(line));
    id.emplace_back(std::string(rest.substr(0, eq)), std::string(trim(rest.substr(eq + 2))));
  }
  return id;
}

std::string identity_lines(const CaseIdentity& id) {
  std::string s;
  for (const auto& [field, value] : id) s += std::string(kPrefix) + field + " = " + value + "\n";
  return s;
}

CaseIdentity identity_to_write(const std::string& map) {
  const MapReading reading = read_map(map);
  CaseIdentity id;
  if (!g_program.empty()) id.emplace_back(kProgram, g_program);
  for (const auto& field : reading.found ? reading.identity : g_read)
    if (field.first != kProgram) id.push_back(field);
  return id;
}

void set_program_case(const std::string& name) { g_program = name; }

void remember_read_identity(const CaseIdentity& id) { g_read = id; }

bool read_identity_lines() { return !g_read.empty(); }

void check_program_case() {
  const std::string written_by = value_in(g_read, kProgram);
  // The writer names a program only when it has one: a blank name is damage,
  // not a snapshot that names none.
  if (written_by.empty()) refuse_text("WAKRO: Snapshot identity line without its value: PROGRAM =");
  if (g_program.empty() || written_by == "(none)" || written_by == g_program) return;
  refuse_text("WAKRO: Snapshot of another case: PROGRAM = " + written_by + ", this program's " + g_program);
}

void check_identity_against_map(const std::string& map) {
  if (g_read.empty()) return;
  CaseIdentity read;
  for (const auto& field : g_read)
    if (field.first != kProgram) read.push_back(field);
  if (read.empty()) return;
  const CaseIdentity own = read_map(map).identity;
  auto differs = [&](const std::string& field) {
    refuse_text("WAKRO: Snapshot of another case: " + field + " = " + value_in(read, field) + ", the map file's " +
                value_in(own, field));
  };
  auto same = [](const CaseIdentity& other, const std::string& field, const std::string& value) {
    const std::string v = value_in(other, field);
    return v != "(none)" && as_read(field, v) == as_read(field, value);
  };
  for (const auto& [field, value] : read)
    if (!same(own, field, value)) differs(field);
  for (const auto& [field, value] : own)
    if (!same(read, field, value)) differs(field);
}

void restore_title_from_identity() {
  for (const auto& [field, value] : g_read)
    if (field == kTitle) assorc::title = title_as_read(value);
}

}  // namespace wakro::snapshot
