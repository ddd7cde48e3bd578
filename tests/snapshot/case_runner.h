// Running an example case as a user runs it: alone, the console dialogue
// answered from a file, in a scratch folder holding a copy of its case files.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace snapshot_test {

namespace fs = std::filesystem;

struct CaseRun {
  int status = -1;  // exit status of the process
  std::string log;  // what it wrote
};

inline std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

// The rows of a legacy channel file's text by their time text (the first column).
inline std::map<std::string, std::vector<double>> channel_rows(const std::string& text) {
  std::map<std::string, std::vector<double>> rows;
  const std::vector<std::string> lines = lines_of(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::istringstream in(lines[i]);
    std::string t;
    if (!(in >> t)) continue;
    std::vector<double> v;
    for (double x; in >> x;) v.push_back(x);
    rows[t] = v;
  }
  return rows;
}

// A scratch folder with a copy of a case's files, removed at the end.
class CaseFolder {
 public:
  CaseFolder(const std::string& case_dir, const std::string& exe) : exe_(exe) {
    std::string templ = (fs::temp_directory_path() / "wakro_snap_XXXXXX").string();
    dir_ = ::mkdtemp(templ.data());
    for (const auto& e : fs::directory_iterator(case_dir)) fs::copy(e.path(), dir_ / e.path().filename());
  }
  ~CaseFolder() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  CaseFolder(const CaseFolder&) = delete;
  CaseFolder& operator=(const CaseFolder&) = delete;

  const fs::path& dir() const { return dir_; }
  fs::path operator/(const std::string& name) const { return dir_ / name; }

  // Runs the case with the answers (one per line).
  CaseRun run(const std::vector<std::string>& answers, const std::string& log_name = "run.log") const {
    std::string text;
    for (const std::string& a : answers) text += a + "\n";
    write_file(dir_ / "answers.in", text);
    const std::string cmd = "cd '" + dir_.string() + "' && '" + exe_ + "' -v5 -standalone < answers.in > '" +
                            log_name + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    CaseRun r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.log = read_file(dir_ / log_name);
    return r;
  }

  // The rows of a legacy channel file by their time text (the first column).
  std::map<std::string, std::vector<double>> channels(const std::string& name) const {
    return channel_rows(read_file(dir_ / name));
  }

 private:
  fs::path dir_;
  std::string exe_;
};

// Answers of a start from data files with numbered snapshots every `interval`.
inline std::vector<std::string> data_start(const std::string& map, const std::string& interval,
                                           const std::string& snap, const std::string& out) {
  return {"0", "-2", interval, snap, map, "1", "1", out, "0", "0"};
}

// Answers of a start from `snapshot`, one snapshot `after` seconds later named
// `snap`, running on for `duration`; the channel times stay those of the case.
inline std::vector<std::string> snapshot_start(const std::string& snapshot, const std::string& duration,
                                               const std::string& after, const std::string& snap,
                                               const std::string& out) {
  return {"1", "1", after, snap, "0", "1", "1", out, "0", snapshot, duration, "0"};
}

}  // namespace snapshot_test
