// What identifies the case a snapshot was written by (see case_identity.h).
#include "snapshot/case_identity.h"

#include <charconv>
#include <climits>
#include <fstream>
#include <sstream>
#include <string_view>

#include "files/listread.h"
#include "files/textfile.h"
#include "files/words.h"
#include "model/assorc.h"
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

// The title as the parameter reader takes it from "TITLE = <value>": one
// free-format text (a quoted one whole, an unquoted one to its first blank),
// "***Blank_Title***" when it is blank.
wakro::FixedText<72> title_as_read(std::string_view value) {
  wakro::FixedText<72> title;
  if (wakro::list_read(value, {title}) != wakro::ReadStatus::ok) title = value;
  if (title.is_blank()) title = "***Blank_Title***";
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

std::string file_text(const std::string& path) {
  // Only a regular file is read (a device's or a pipe's text need not end).
  if (path.empty() || !wakro::not_a_file(path).empty()) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<PageNodes> pages_of_map(const std::string& text) {
  std::vector<PageNodes> pages;
  std::istringstream in(text);
  std::vector<std::int64_t> numbers;  // of the entry being read
  bool in_entry = false;
  auto end_entry = [&] {
    if (!in_entry) return false;
    in_entry = false;
    if (numbers.size() < 2 || numbers[1] < 0 || numbers[1] > static_cast<std::int64_t>(numbers.size()) - 2)
      return true;
    PageNodes p;
    p.subsystem = static_cast<std::int32_t>(numbers[0]);
    for (std::int64_t k = 0; k < numbers[1]; ++k) p.nodes.push_back(static_cast<std::int32_t>(numbers[2 + k]));
    pages.push_back(std::move(p));
    return false;
  };
  for (std::string raw; std::getline(in, raw);) {
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == '!') continue;
    const std::string_view first = line.substr(0, line.find_first_of(" \t"));
    if (first.back() == ':') {
      if (end_entry()) return pages;
      in_entry = first == "MAP:";
      numbers.clear();
      continue;
    }
    if (!in_entry) continue;
    std::istringstream words{std::string(line)};
    for (std::string w; words >> w;) {
      std::int64_t v = 0;
      const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
      if (ec != std::errc() || end != w.data() + w.size() || v < INT32_MIN || v > INT32_MAX) break;
      numbers.push_back(v);
    }
  }
  end_entry();
  return pages;
}

CaseIdentity identity_of_map(const std::string& text) {
  CaseIdentity id;
  std::istringstream in(text);
  std::string section;
  for (std::string raw; std::getline(in, raw);) {
    const std::string_view line = trim(raw);
    if (line.empty() || line.front() == '!') continue;
    // A key line: its first word ends with a colon ("MAP:" names its page).
    const std::string_view first = line.substr(0, line.find_first_of(" \t"));
    if (first.back() == ':') {
      section = std::string(first);
      if (section == "MAP:") add_to(id, std::string(kPages), page_as_read(line.substr(first.size())));
      continue;
    }
    const std::size_t eq = line.find('=');
    const std::string key = eq == std::string_view::npos ? "" : std::string(trim(line.substr(0, eq)));
    const std::string_view value = eq == std::string_view::npos ? "" : trim(line.substr(eq + 1));
    if (section == "PARAMETERS:" && key == kTitle) add_to(id, std::string(kTitle), std::string(value));
    if (section == "DIMENSIONS:")
      for (std::string_view d : kDimensions)
        if (key == d) add_to(id, key, words(value));
    if (section == "SUBSYSDIM:") add_to(id, "SUBSYSDIM", words(line));
  }
  return id;
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
  const std::string text = file_text(map);
  CaseIdentity id;
  if (!g_program.empty()) id.emplace_back(kProgram, g_program);
  for (const auto& field : text.empty() ? g_read : identity_of_map(text))
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
  const CaseIdentity own = identity_of_map(file_text(map));
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
