// The available column of a resumed snapshot's "DIMENSIONS:" section, kept for
// the snapshots the resumed run writes (see map_dimensions.h).
#include "snapshot/map_dimensions.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <vector>

#include "files/textfile.h"

namespace wakro::snapshot {
namespace {

// Available size by row key; empty on a run from data.
std::map<std::string, std::int32_t, std::less<>> g_available;

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (words.size() < 4) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) break;
    const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

// "KEY = used available": the available size, or -1 when the row holds none.
std::int32_t available_of(const std::vector<std::string_view>& w) {
  if (w.size() < 4 || w[1] != "=") return -1;
  std::int32_t size = -1;
  const auto [end, ec] = std::from_chars(w[3].data(), w[3].data() + w[3].size(), size);
  return ec == std::errc() && end == w[3].data() + w[3].size() && size >= 0 ? size : -1;
}

}  // namespace

void read_map_dimensions(const std::string& path) {
  g_available.clear();
  if (!wakro::not_a_file(path).empty()) return;
  std::ifstream in(path, std::ios::binary);
  bool in_section = false;
  for (std::string line; wakro::read_text_line(in, line) == wakro::TextLine::ok;) {
    const std::vector<std::string_view> w = words_of(line);
    if (w.empty() || w[0].front() == '!') continue;
    if (w[0].back() == ':') {
      if (in_section) return;  // the section after it
      in_section = w[0] == "DIMENSIONS:";
      continue;
    }
    if (!in_section) continue;
    if (const std::int32_t size = available_of(w); size >= 0)
      g_available.insert_or_assign(std::string(w[0]), size);
    else
      g_available.erase(std::string(w[0]));
  }
}

std::int32_t nodes_of_map() {
  const auto it = g_available.find(std::string_view("NODES"));
  return it == g_available.end() ? -1 : it->second;
}

std::int32_t available_to_write(std::string_view key, std::int32_t working_size) {
  const auto it = g_available.find(key);
  return it == g_available.end() ? working_size : std::max(working_size, it->second);
}

}  // namespace wakro::snapshot
