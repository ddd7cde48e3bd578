// The R-L breaker example run as a user runs it with -outtype bin and our
// output-writer library: its record file read back with the HDF5 library holds
// the same values as the legacy channel files of the same case; a two-run set
// holds two runs; without the library or without description lines the run
// writes the legacy channel files, says why once, and exits 0. The end report
// names the record file; a name held by another writer is said, and the file
// written under the next name is the one named.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "h5_read.h"
#include "support/preloaded.h"

namespace {

namespace fs = std::filesystem;
using app_test::ChildProcess;
using wakro_test::H5File;

const std::string kExe = WAKRO_RL_BREAKER_EXE;
const std::string kCaseDir = WAKRO_RL_BREAKER_CASE_DIR;
const std::string kLib = WAKRO_OUTWRITER;

// The description of the case's four channels: a component under a root call.
const std::string kDataStruct =
    "DATAStruct:\n"
    " 7\n"
    "1 1 -1 0\n"
    "2 2 1 1 \"RL Breaker\" \"Breaker energising an R-L load\"\n"
    "3 1 101 2 10 Emf Source kV 10 -10\n"
    "3 2 102 2 11 Ibrk Breaker kA 1 -1\n"
    "3 3 103 2 12 Vload Load kV 10 -10\n"
    "3 4 104 2 13 State Breaker \"\" 1 0\n"
    "6 0 2 20 Meter Needle\n";

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Scratch {
 public:
  explicit Scratch(bool withDescription, int runs = 1) {
    char tmpl[] = "/tmp/wakro_record_run_XXXXXX";
    dir_ = ::mkdtemp(tmpl) != nullptr ? tmpl : "";
    for (const char* f : {"rl_breaker.map", "rl_breaker.dta", "answers.txt"})
      fs::copy_file(fs::path(kCaseDir) / f, fs::path(dir_) / f);
    if (withDescription) edit("rl_breaker.dta", "ENDPAGE:", kDataStruct + "ENDPAGE:");
    if (runs != 1) edit("answers.txt", "rl_breaker.map\n1\n", "rl_breaker.map\n" + std::to_string(runs) + "\n");
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  void edit(const std::string& file, const std::string& from, const std::string& to) {
    std::string text = slurp(fs::path(dir_) / file);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    std::ofstream(fs::path(dir_) / file, std::ios::binary) << text;
  }
  // Runs the example (files limited to fileSizeLimit bytes when positive, the
  // library `preload` preloaded when given); the console.
  std::string run(const std::vector<std::string>& options, long fileSizeLimit = 0, int exitCode = 0,
                  const std::string& preload = "") {
    std::vector<std::string> words = {kExe, "-v5"};
    words.insert(words.end(), options.begin(), options.end());
    ChildProcess p(preload.empty() ? words : wakro_test::preloaded(preload, words), dir_, dir_ + "/answers.txt",
                   fileSizeLimit);
    EXPECT_TRUE(p.wait(60000));
    EXPECT_EQ(p.exitCode(), exitCode) << p.out() << p.err();
    return p.out();
  }
  std::string file(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  bool has(const std::string& name) const { return fs::exists(fs::path(dir_) / name); }

 private:
  std::string dir_;
};

// The columns of a legacy channel file: time, then the channels.
std::vector<std::vector<double>> columns(const std::string& path) {
  std::vector<std::vector<double>> c(5);
  std::istringstream in(slurp(path));
  std::string line;
  std::getline(in, line);  // the title
  while (std::getline(in, line)) {
    std::istringstream l(line);
    for (auto& col : c) {
      double x = 0.0;
      l >> x;
      col.push_back(x);
    }
  }
  return c;
}

// The channel files print 14 significant digits.
void expect_close(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (std::size_t k = 0; k < got.size(); ++k)
    ASSERT_NEAR(got[k], want[k], 1e-13 * std::max(1.0, std::fabs(want[k])) + 1e-99) << what << " at " << k;
}

const char* const kTraces[4] = {"/0/1/10/0/101", "/0/1/11/0/102", "/0/1/12/0/103", "/0/1/13/0/104"};

TEST(RecordRun, TheRecordFileHoldsTheChannelValuesOfTheCase) {
  Scratch legacy(true);
  legacy.run({});
  const auto want = columns(legacy.file("rl_breaker_01.out"));
  ASSERT_EQ(want[0].size(), 1201u);

  Scratch bin(true);
  const std::string out = bin.run({"-outtype", "bin", "-outwriter", kLib});
  EXPECT_EQ(out.find("WARNING: The output record file"), std::string::npos) << out;
  EXPECT_FALSE(bin.has("rl_breaker_01.out"));
  EXPECT_FALSE(bin.has("rl_breaker.inf"));
  H5File f(bin.file("rl_breaker.qbout"));
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f.integer("/", "Runs"), 1);
  EXPECT_EQ(f.children("/"), (std::vector<std::string>{"1048577", "0", "1048578"}));
  EXPECT_EQ(f.text("/0/1", "Name"), "RL Breaker");
  EXPECT_EQ(f.text("/0/1", "Description"), "Breaker energising an R-L load");
  EXPECT_EQ(f.children("/0/1"), (std::vector<std::string>{"10", "11", "12", "13", "20"}));
  EXPECT_EQ(f.text("/0/1/11", "Name"), "Ibrk");
  EXPECT_EQ(f.text("/0/1/11/0/102/run_1", "Unit"), "kA");
  EXPECT_EQ(f.text("/0/1/13/0/104/run_1", "Unit"), "");
  EXPECT_EQ(f.text("/0/1/20/0/2097153", "Name"), "Needle");
  EXPECT_EQ(f.text("/1048578", "Name"), "Needle:Domain");
  expect_close(f.series("/1048577/run_1"), want[0], "time");
  for (int k = 0; k < 4; ++k) expect_close(f.series(std::string(kTraces[k]) + "/run_1"), want[k + 1], kTraces[k]);
}

TEST(RecordRun, ATwoRunSetShowsTwoRuns) {
  Scratch bin(true, 2);
  bin.run({"-outtype", "bin", "-outwriter", kLib});
  H5File f(bin.file("rl_breaker.qbout"));
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f.integer("/", "Runs"), 2);
  EXPECT_EQ(f.children("/0/1/12/0/103"), (std::vector<std::string>{"run_1", "run_2"}));
  for (const char* t : kTraces) {
    const auto first = f.series(std::string(t) + "/run_1");
    EXPECT_EQ(first.size(), 1201u) << t;
    EXPECT_EQ(f.series(std::string(t) + "/run_2"), first) << t;  // each run repeats the case
  }
  EXPECT_EQ(f.series("/1048577/run_2"), f.series("/1048577/run_1"));
}

TEST(RecordRun, WithoutTheLibraryTheLegacyFilesAreWrittenWithOneWarning) {
  Scratch bin(true);
  const std::string out = bin.run({"-outtype", "bin", "-outwriter", "/nonexistent/libnowriter.so"});
  const std::string w =
      " WARNING: The output record file (-outtype bin) cannot be written: the output-writer library "
      "\"/nonexistent/libnowriter.so\" cannot be loaded (";
  EXPECT_NE(out.find(w), std::string::npos) << out;
  EXPECT_EQ(out.find(w), out.rfind(" WARNING: The output record file")) << out;
  EXPECT_NE(out.find("); the legacy channel files are written instead.\n"), std::string::npos) << out;
  EXPECT_TRUE(bin.has("rl_breaker_01.out"));
  EXPECT_FALSE(bin.has("rl_breaker.qbout"));
  EXPECT_EQ(columns(bin.file("rl_breaker_01.out"))[0].size(), 1201u);
}

TEST(RecordRun, WithoutDescriptionLinesTheLegacyFilesAreWrittenWithOneWarning) {
  Scratch bin(false);
  const std::string out = bin.run({"-outtype", "bin", "-outwriter", kLib});
  const std::string w =
      " WARNING: The output record file (-outtype bin) cannot be written: the case's page data carry no "
      "\"DATAStruct:\" description lines; the legacy channel files are written instead.\n";
  EXPECT_NE(out.find(w), std::string::npos) << out;
  EXPECT_EQ(out.find(w), out.rfind(" WARNING: The output record file")) << out;
  EXPECT_TRUE(bin.has("rl_breaker_01.out"));
  EXPECT_FALSE(bin.has("rl_breaker.qbout"));
}

// The lines of the end report that name output files.
std::vector<std::string> output_file_lines(const std::string& console) {
  std::vector<std::string> lines;
  std::istringstream in(console);
  for (std::string l; std::getline(in, l);)
    if (l.rfind("        Output file: ", 0) == 0) lines.push_back(l);
  return lines;
}

// So on a file system that offers no locks (flock answers EOPNOTSUPP): the
// file is written unguarded, under its own name, and no other is made.
TEST(RecordRun, TheEndReportNamesTheRecordFileWrittenAndNoOther) {
  for (const std::string preload : {"", WAKRO_NO_FLOCK_LIB}) {
    Scratch bin(true);
    const std::string out = bin.run({"-outtype", "bin", "-outwriter", kLib}, 0, 0, preload);
    EXPECT_EQ(output_file_lines(out),
              std::vector<std::string>{"        Output file: " + fs::absolute(bin.file("rl_breaker.qbout")).string()});
    EXPECT_EQ(out.find("is in use"), std::string::npos) << out;
    EXPECT_EQ(out.find("all in use"), std::string::npos) << out;
    EXPECT_EQ(out.find(" cannot be locked (Operation not supported): the file system offers no locks") !=
                  std::string::npos, !preload.empty()) << out;
    EXPECT_FALSE(bin.has("rl_breaker_1.qbout")) << preload;
    EXPECT_EQ(H5File(bin.file("rl_breaker.qbout")).series("/1048577/run_1").size(), 1201u) << preload;
  }
}

TEST(RecordRun, ANameInUseIsSaidAndTheFileWrittenIsTheOneNamed) {
  Scratch bin(true);
  // Another writer holds rl_breaker.qbout.
  const std::string held = fs::absolute(bin.file("rl_breaker.qbout")).string();
  const int fd = ::open(held.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  const std::string out = bin.run({"-outtype", "bin", "-outwriter", kLib});
  ::close(fd);
  const std::string written = fs::absolute(bin.file("rl_breaker_1.qbout")).string();
  EXPECT_NE(out.find("\n WARNING: The record file " + held + " is in use: the output is written to " + written +
                     " instead.\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(output_file_lines(out), std::vector<std::string>{"        Output file: " + written});
  H5File f(written);
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f.series("/1048577/run_1").size(), 1201u);
}

TEST(RecordRun, TheLegacyEndReportNamesTheChannelAndDescriptionFiles) {
  Scratch legacy(true);
  const std::string out = legacy.run({});
  const std::string pad = std::string(34 - 17, ' ');
  EXPECT_EQ(output_file_lines(out),
            (std::vector<std::string>{"        Output file: rl_breaker_01.out" + pad,
                                      "        Output file: rl_breaker.inf" + pad + "   "}));
  EXPECT_TRUE(legacy.has("rl_breaker_01.out"));
  EXPECT_TRUE(legacy.has("rl_breaker.inf"));
  EXPECT_FALSE(legacy.has("rl_breaker.qbout"));
}

// A file-size limit met during the run (as a full disk): the run stops with one
// message naming the file, the time and the system's reason, the end report
// names no file as written, the process ends without a crash with status 2, and
// the file opens with what its last flush wrote: the first output steps, up to
// the time the message gives, whole in every channel. At 72000 bytes the values
// of the end of the run fit but the file's tree after them does not.
TEST(RecordRun, AWriteTheSystemRefusesStopsTheRunAndKeepsTheLastFlush) {
  for (const long limit : {40960L, 72000L}) {
    SCOPED_TRACE(limit);
    Scratch bin(true);
    const std::string out = bin.run({"-outtype", "bin", "-outwriter", kLib}, limit, 2);
    const std::string path = fs::absolute(bin.file("rl_breaker.qbout")).string();
    const std::string head =
        " ERROR: The output record file " + path + " cannot be written at time ";
    ASSERT_NE(out.find(head), std::string::npos) << out;
    EXPECT_EQ(out.find(head), out.rfind("ERROR: The output record file") - 1) << out;
    EXPECT_TRUE(output_file_lines(out).empty()) << out;
    H5File f(path);
    ASSERT_TRUE(f.ok());
    const auto time = f.series("/1048577/run_1");
    ASSERT_GT(time.size(), 100u);
    ASSERT_LT(time.size(), 1201u);
    for (std::size_t k = 0; k < time.size(); ++k)
      ASSERT_NEAR(time[k], 1e-4 * static_cast<double>(k), 1e-12) << k;
    for (const char* t : kTraces)
      EXPECT_EQ(f.series(std::string(t) + "/run_1").size(), time.size()) << t;
    char last[32];
    std::snprintf(last, sizeof last, "%.10g", time.back());
    EXPECT_NE(out.find(std::string(" s: ") + std::strerror(EFBIG) +
                       "; it holds the values up to time " + last + " s.\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("exiting.  Status code = 2000\n"), std::string::npos) << out;
  }
}

}  // namespace
