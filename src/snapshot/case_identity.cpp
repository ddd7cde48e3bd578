// What identifies the case a snapshot was written by (see case_identity.h).
#include "snapshot/case_identity.h"

#include <filesystem>
#include <sstream>
#include <string_view>

#include "files/linereader.h"
#include "files/listread.h"
#include "files/textfile.h"
#include "files/units.h"
#include "files/words.h"
#include "input/case_walk.h"
#include "input/parameters.h"
#include "model/assorc.h"
#include "model/fnames.h"
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

// A dimension as the dimension reader takes it from its value text: the first
// integer (a value that does not read, its words).
std::string dimension_as_read(std::string_view value) {
  std::int32_t n = 0;
  if (wakro::list_read(value, {n}) != wakro::ReadStatus::ok) return words(value);
  return std::to_string(n);
}

bool is_dimension(std::string_view field) {
  for (std::string_view d : kDimensions)
    if (field == d) return true;
  return false;
}

// A field's value as the case reader reads it, so that two spellings of one
// case compare equal: the title's text, a dimension's number, the page names
// without their quotes.
std::string as_read(std::string_view field, const std::string& value) {
  if (field == kTitle) return std::string(title_as_read(value).trimmed());
  if (is_dimension(field)) return dimension_as_read(value);
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

// The walk's part that reads a map file's identity and page records: the
// title and page count the case reader keeps (their last line in the opening
// sections it reads), the subsystem orders of its "SUBSYSDIM:" sections, and
// its pages' entries, in the map's order.
class IdentityWalk final : public wakro::CaseWalk {
 public:
  explicit IdentityWalk(MapReading& map) : map_(map) {}
  bool enters_pages() const override { return false; }
  void dimension_line(const Line72& line) override {
    for (std::string_view d : kDimensions)
      if (wakro_firstwrd(line) == d) set_in(map_.identity, std::string(d), dimension_as_read(wakro_rhs72str(line).view()));
  }
  void parameter_line(const Line72& line) override {
    if (wakro_firstwrd(line) == kTitle)
      set_in(map_.identity, std::string(kTitle), std::string(trim(wakro_rhs72str(line).view())));
  }
  // The page's file and node record; a node line that does not read (or
  // names more nodes than the page map holds) ends the walk, as the case
  // reader stops at it.
  bool page_entry(wakro::PageContext& /*page*/) override {
    add_to(map_.identity, std::string(kPages), std::string(fnames::filename.trimmed()));
    wakro::PageEntry entry;
    if (!wakro::read_page_entry(entry, quolbv3::node.allocated() ? quolbv3::node.extent(1) : 0)) return false;
    map_.pages.push_back(PageNodes{entry.subsystem, std::move(entry.nodes)});
    return true;
  }
  void section(const Line72& key, wakro::PageContext& page) override {
    if (!(key == "SUBSYSDIM:")) return CaseWalk::section(key, page);
    const Line72 subsysdim("SUBSYSDIM:");
    for (;;) {
      rdcmnt();
      if (!rdcmnt_in_section(subsysdim)) return;
      Line72 line;
      if (wakro::read_line72(line) != wakro::ReadStatus::ok) return;
      add_to(map_.identity, "SUBSYSDIM", words(line.view()));
    }
  }

 private:
  MapReading& map_;
};

}  // namespace

MapReading read_map(const std::string& path) {
  MapReading map;
  std::error_code ec;
  if (path.empty() || !wakro::not_a_file(path).empty() || !std::filesystem::is_regular_file(path, ec)) return map;
  map.found = true;
  IdentityWalk walk(map);
  wakro::walk_map_file(path, walk);
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
