// Expected console lines of the blocks' messages, shared by the block tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace blocks_test {

// The four lines of the fatal stop under a 12-character tag.
inline std::vector<std::string> stop_lines(const std::string& tag) {
  const std::string rule = " =========================================================";
  return {rule, " ERROR: Abnormal termination of WAKRO by " + tag, rule, "  "};
}

// The bracketed component ids that end a first or single message line.
inline std::string ids(std::int32_t id1, std::int32_t id2) {
  char text[64];
  std::snprintf(text, sizeof text, "[%12d :%12d ]", id1, id2);
  return text;
}

// The error lines of a fatal parameter error under tag, with the ids on the first.
inline std::vector<std::string> fatal_lines(const std::vector<std::string>& texts, const std::string& tag,
                                            std::int32_t id1, std::int32_t id2) {
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < texts.size(); ++k)
    lines.push_back(" ***ERROR** " + texts[k] + (k == 0 && id1 > 0 ? ids(id1, id2) : ""));
  for (const std::string& l : stop_lines(tag)) lines.push_back(l);
  return lines;
}

}  // namespace blocks_test
