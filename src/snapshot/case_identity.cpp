// What identifies the case a snapshot was written by (see case_identity.h).
#include "snapshot/case_identity.h"

#include <fstream>
#include <sstream>
#include <string_view>

#include "files/textfile.h"
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

std::string read_text(const std::string& path) {
  // Only a regular file is read (a device's or a pipe's text need not end).
  if (path.empty() || !wakro::not_a_file(path).empty()) return {};
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

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
      if (section == "MAP:") add_to(id, "PAGES", std::string(trim(line.substr(first.size()))));
      continue;
    }
    const std::size_t eq = line.find('=');
    const std::string key = eq == std::string_view::npos ? "" : std::string(trim(line.substr(0, eq)));
    const std::string_view value = eq == std::string_view::npos ? "" : trim(line.substr(eq + 1));
    if (section == "PARAMETERS:" && key == "TITLE") add_to(id, "TITLE", std::string(value));
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
    const std::string_view rest = line.substr(kPrefix.size());
    const std::size_t eq = rest.find(" = ");
    if (eq == std::string_view::npos) continue;
    id.emplace_back(std::string(rest.substr(0, eq)), std::string(trim(rest.substr(eq + 3))));
  }
  return id;
}

std::string identity_lines(const CaseIdentity& id) {
  std::string s;
  for (const auto& [field, value] : id) s += std::string(kPrefix) + field + " = " + value + "\n";
  return s;
}

CaseIdentity identity_to_write(const std::string& map) {
  const std::string text = read_text(map);
  CaseIdentity id;
  if (!g_program.empty()) id.emplace_back(kProgram, g_program);
  for (const auto& field : text.empty() ? g_read : identity_of_map(text))
    if (field.first != kProgram) id.push_back(field);
  return id;
}

void set_program_case(const std::string& name) { g_program = name; }

void remember_read_identity(const CaseIdentity& id) { g_read = id; }

void check_program_case() {
  const std::string written_by = value_in(g_read, kProgram);
  if (g_program.empty() || written_by == "(none)" || written_by == g_program) return;
  refuse_text("WAKRO: Snapshot of another case: PROGRAM = " + written_by + ", this program's " + g_program);
}

void check_identity_against_map(const std::string& map) {
  if (g_read.empty()) return;
  CaseIdentity read;
  for (const auto& field : g_read)
    if (field.first != kProgram) read.push_back(field);
  if (read.empty()) return;
  const CaseIdentity own = identity_of_map(read_text(map));
  auto differs = [&](const std::string& field) {
    refuse_text("WAKRO: Snapshot of another case: " + field + " = " + value_in(read, field) + ", the map file's " +
                value_in(own, field));
  };
  for (const auto& [field, value] : read)
    if (value_in(own, field) != value) differs(field);
  for (const auto& [field, value] : own)
    if (value_in(read, field) != value) differs(field);
}

}  // namespace wakro::snapshot
