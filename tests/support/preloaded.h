// The words that start a program with a library preloaded (LD_PRELOAD). Under
// the sanitizers the library then comes before their runtime, which they are
// told to allow.
#pragma once

#include <string>
#include <vector>

namespace wakro_test {

inline std::vector<std::string> preloaded(const std::string& library, std::vector<std::string> words) {
  words.insert(words.begin(), {"/usr/bin/env", "LD_PRELOAD=" + library,
                               "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1:abort_on_error=1"});
  return words;
}

}  // namespace wakro_test
