// A fresh folder under /tmp that a test works in, and whole-file reading and
// writing byte for byte.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace wakro_test {

// Makes /tmp/<prefix>XXXXXX and works in it until leave() goes back to the
// folder of before and removes it with everything in it.
class WorkFolder {
 public:
  // False when the folder could not be made (nothing changed then; leave() does
  // nothing either).
  bool enter(const std::string& prefix) {
    std::string templ = "/tmp/" + prefix + "XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) return false;
    dir_ = templ;
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    return true;
  }
  void leave() {
    if (dir_.empty()) return;
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
  std::filesystem::path old_;
};

// Writes the file byte for byte (line ends as given).
inline void write_file(const std::string& name, const std::string& bytes) {
  std::ofstream f(name, std::ios::binary);
  f << bytes;
}

// The whole file, byte for byte ("" when it cannot be read).
inline std::string read_file(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace wakro_test
