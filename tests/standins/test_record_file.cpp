// The output record file written in-process through our HDF5 output-writer
// library and read back with the HDF5 library: the tree the description lines
// build, the ids and attributes, the series of each run, graphic parameters,
// the name fallback, and the engine's guards.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "diag/console.h"
#include "h5_read.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "output/outputfile.h"
#include "output/record_bindings.h"
#include "support/console_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace {

using wakro_test::H5File;

const std::string kLib = WAKRO_OUTWRITER;
using Values = std::vector<double>;

class RecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wakro_test::reset_shared_state();
    ASSERT_TRUE(folder_.enter("wakro_record_"));
    wakro::use_record_file();
    wakro::set_output_writer(kLib);
    fnames::iouttype = 1;
    fnames::onam = "rec";
    outppp::jplt = 4;
  }
  void TearDown() override {
    wakro::delete_output_file();
    wakro_test::reset_shared_state();
    wakro::set_output_writer("");
    folder_.leave();
  }
  // Feeds description lines through the binding, as the page reader does.
  void describe(const std::vector<std::string>& lines) {
    wakro::ConsoleRedirect redirect(console_);
    for (const auto& l : lines) ofprocessline(l);
  }
  std::string path(const std::string& name) const { return (folder_.path() / name).string(); }

  wakro_test::WorkFolder folder_;
  std::ostringstream console_;
};

// A component (key 2, id 7) under a root call (key 1, id 5), two channels.
const std::vector<std::string> kTwoChannels = {
    "1 1 -1 5",
    "2 2 1 7 \"RL Breaker\" \"The demo breaker\"",
    "3 1 101 2 10 Emf Sources kV 20.5 -20.5",
    "3 2 102 2 11 Ibrk Breaker kA 5",
};

TEST_F(RecordFile, DescriptionLinesBuildTheTreeWithIdsAndAttributes) {
  describe(kTwoChannels);
  ASSERT_NE(OutputFile::pOutputFile, nullptr) << OutputFile::failure();
  EXPECT_EQ(OutputFile::pOutputFile->path(), path("rec.qbout"));
  wakro::delete_output_file();

  H5File f(path("rec.qbout"));
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f.children("/"), (std::vector<std::string>{"1048577", "5"}));
  EXPECT_EQ(f.integer("/", "Runs"), 1);
  // The main domain.
  EXPECT_EQ(f.integer("/1048577", "Id"), 1048577);
  EXPECT_EQ(f.text("/1048577", "Name"), "PGB:Domain");
  EXPECT_EQ(f.text("/1048577", "Description"), "PGB:Domain");
  EXPECT_EQ(f.text("/1048577", "Source"), "<none>");
  EXPECT_EQ(f.text("/1048577/run_1", "DataName"), "PGB:Domain");
  EXPECT_EQ(f.text("/1048577/run_1", "Unit"), "s");
  EXPECT_EQ(f.text("/1048577/run_1", "Group"), "Domain");
  // The root call of kind 1 and the component of kind 2.
  EXPECT_EQ(f.text("/5", "Name"), "Root");
  EXPECT_EQ(f.text("/5", "Source"), "Module");
  EXPECT_EQ(f.text("/5/7", "Name"), "RL Breaker");
  EXPECT_EQ(f.text("/5/7", "Description"), "The demo breaker");
  EXPECT_EQ(f.integer("/5/7", "Id"), 7);
  // A channel: its "Output Channel" node, its "Record" and the trace.
  EXPECT_EQ(f.children("/5/7"), (std::vector<std::string>{"10", "11"}));
  EXPECT_EQ(f.text("/5/7/10", "Name"), "Emf");
  EXPECT_EQ(f.text("/5/7/10", "Description"), "Output Channel");
  EXPECT_EQ(f.text("/5/7/10", "Source"), "PGB");
  EXPECT_EQ(f.text("/5/7/10/0", "Name"), "Record");
  EXPECT_EQ(f.text("/5/7/10/0", "Source"), "Data");
  EXPECT_EQ(f.integer("/5/7/10/0/101", "Id"), 101);
  EXPECT_EQ(f.text("/5/7/10/0/101", "Name"), "PGB:Data");
  EXPECT_EQ(f.text("/5/7/10/0/101", "Description"), "Emf:PGB:Trace:101");
  EXPECT_EQ(f.text("/5/7/10/0/101", "Source"), "Trace");
  const std::string s = "/5/7/10/0/101/run_1";
  EXPECT_EQ(f.text(s, "DataName"), "PGB:Data");
  EXPECT_EQ(f.text(s, "Component"), "Emf");
  EXPECT_EQ(f.text(s, "Group"), "Sources");
  EXPECT_EQ(f.text(s, "Unit"), "kV");
  EXPECT_EQ(f.text(s, "Description"), "Emf:PGB:Trace:101");
  EXPECT_EQ(f.real(s, "Max"), 20.5);
  EXPECT_EQ(f.real(s, "Min"), -20.5);
  EXPECT_EQ(f.text(s, "DomainSeries"), "/1048577/run_1");
  // A missing ninth field gives min 0.
  EXPECT_EQ(f.real("/5/7/11/0/102/run_1", "Max"), 5.0);
  EXPECT_EQ(f.real("/5/7/11/0/102/run_1", "Min"), 0.0);
}

TEST_F(RecordFile, ValuesOfEachStepGoToTheSeriesAndTheDomainOnce) {
  describe(kTwoChannels);
  ofadddatum(1, 1.5, 0.0);
  ofadddatum(2, -2.5, 0.0);
  ofadddatum(1, 9.0, 0.0);  // the same time again: not written
  ofadddatum(1, 3.5, 1e-4);
  ofadddatum(2, -4.5, 1e-4);
  ofadddatum(1, 7.0, 5e-5);  // a time that goes back is written
  ofadddatum(3, 1.0, 1e-4);  // no trace for channel 3
  ofadddatum(-1, 1.0, 1e-4);
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  EXPECT_EQ(f.series("/1048577/run_1"), (Values{0.0, 1e-4, 5e-5}));
  EXPECT_EQ(f.series("/5/7/10/0/101/run_1"), (Values{1.5, 3.5, 7.0}));
  EXPECT_EQ(f.series("/5/7/11/0/102/run_1"), (Values{-2.5, -4.5}));
}

TEST_F(RecordFile, LongSeriesKeepEveryValueInOrder) {
  describe(kTwoChannels);
  Values times, ones, twos;
  for (int k = 0; k < 10000; ++k) {
    const double t = k * 5e-5;
    times.push_back(t);
    ones.push_back(k);
    twos.push_back(-0.5 * k);
    ofadddatum(1, k, t);
    ofadddatum(2, -0.5 * k, t);
  }
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  EXPECT_EQ(f.series("/1048577/run_1"), times);
  EXPECT_EQ(f.series("/5/7/10/0/101/run_1"), ones);
  EXPECT_EQ(f.series("/5/7/11/0/102/run_1"), twos);
}

TEST_F(RecordFile, ATwoRunSetHasTwoRunsAndLaterDescriptionLinesChangeNothing) {
  describe(kTwoChannels);
  ofadddatum(1, 1.0, 0.0);
  ofadddatum(1, 2.0, 1e-4);
  ofnextrun();
  EXPECT_EQ(OutputFile::pOutputFile->runNumber(), 2);
  EXPECT_TRUE(OutputFile::pOutputFile->process_line("3 3 103 2 12 Late G u 1 0"));
  ofadddatum(1, 3.0, 0.0);
  ofadddatum(2, 4.0, 0.0);
  ofadddatum(3, 5.0, 0.0);
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  EXPECT_EQ(f.integer("/", "Runs"), 2);
  EXPECT_EQ(f.children("/5/7/10/0/101"), (std::vector<std::string>{"run_1", "run_2"}));
  EXPECT_EQ(f.series("/5/7/10/0/101/run_1"), (Values{1.0, 2.0}));
  EXPECT_EQ(f.series("/5/7/10/0/101/run_2"), (Values{3.0}));
  EXPECT_EQ(f.series("/5/7/11/0/102/run_2"), (Values{4.0}));
  EXPECT_EQ(f.series("/1048577/run_2"), (Values{0.0}));
  EXPECT_EQ(f.integer("/5/7/10/0/101/run_2", "Run"), 2);
  EXPECT_EQ(f.text("/5/7/10/0/101/run_2", "DomainSeries"), "/1048577/run_2");
  EXPECT_FALSE(f.has("/5/7/12"));
}

TEST_F(RecordFile, ALockedNameGivesTheNextName) {
  const int fd = ::open("rec.qbout", O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  describe(kTwoChannels);
  ASSERT_NE(OutputFile::pOutputFile, nullptr);
  EXPECT_EQ(OutputFile::pOutputFile->path(), path("rec_1.qbout"));
  wakro::delete_output_file();
  ::close(fd);
  EXPECT_TRUE(H5File(path("rec_1.qbout")).has("/5/7/10/0/101/run_1"));
  // So does a folder at the name, and the warning says so.
  ASSERT_TRUE(std::filesystem::create_directory("dir.qbout"));
  fnames::onam = "dir";
  describe(kTwoChannels);
  EXPECT_NE(console_.str().find(" WARNING: The record file " + path("dir.qbout") + " is a folder: the output is written to " +
                                path("dir_1.qbout") + " instead.\n"), std::string::npos);
}

TEST_F(RecordFile, NoFolderStopsAtTheFirstName) {
  fnames::onam = "nodir/rec";
  describe(kTwoChannels);
  EXPECT_EQ(OutputFile::pOutputFile, nullptr);
  EXPECT_EQ(OutputFile::failure(), "the record file \"" + path("nodir/rec.qbout") + "\" cannot be opened: No such file or directory");
}

TEST_F(RecordFile, AThousandNamesInUseLeaveTheRunWithoutARecordFile) {
  // 1,000 locked files need that many descriptors.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_cur < 1100 && limit.rlim_max >= 1100) {
    limit.rlim_cur = 1100;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
  }
  if (limit.rlim_cur < 1100) GTEST_SKIP() << "fewer than 1100 file descriptors allowed";
  std::vector<int> held;
  for (int k = 0; k < 1000; ++k) {
    const std::string name = k == 0 ? "rec.qbout" : "rec_" + std::to_string(k) + ".qbout";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    held.push_back(fd);
  }
  describe(kTwoChannels);
  for (const int fd : held) ::close(fd);
  EXPECT_EQ(OutputFile::pOutputFile, nullptr);
  EXPECT_EQ(OutputFile::failure(), "the record file names \"rec.qbout\" to \"rec_999.qbout\" are all in use");
  EXPECT_FALSE(std::filesystem::exists("rec_1000.qbout"));
}

TEST_F(RecordFile, GraphicParametersBecomeGraphicsTraces) {
  describe(kTwoChannels);
  describe({"6 0 2 40 Meter Needle"});
  ofgraphicdatum(2, 30, 0.5, 0.0, "Gain      ");
  ofgraphicdatum(2, 30, 0.75, 1e-4, "  Gain");
  ofgraphicdatum(2, 30, 2.0, 1e-4, "Offset");
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  // The kind-6 line: graphics node 40, its first Record, trace 2097153 on
  // domain 1048578.
  EXPECT_EQ(f.text("/5/7/40", "Name"), "Meter");
  EXPECT_EQ(f.text("/5/7/40", "Source"), "Graphics");
  EXPECT_EQ(f.text("/5/7/40/0/2097153", "Name"), "Needle");
  EXPECT_EQ(f.text("/5/7/40/0/2097153", "Description"), "Meter:Graphics:Needle");
  EXPECT_EQ(f.text("/5/7/40/0/2097153/run_1", "Group"), "Graphics");
  EXPECT_EQ(f.text("/1048578", "Name"), "Needle:Domain");
  // Each graphic value takes a trace id and a domain id; a value of a trace
  // that exists uses the trace found and discards its ids.
  EXPECT_EQ(f.text("/5/7/30", "Name"), "Graphics");
  EXPECT_EQ(f.children("/5/7/30"), (std::vector<std::string>{"0", "1"}));
  EXPECT_EQ(f.text("/5/7/30/0/2097154", "Name"), "Gain");
  EXPECT_EQ(f.series("/5/7/30/0/2097154/run_1"), (Values{0.5, 0.75}));
  EXPECT_EQ(f.text("/1048579", "Name"), "Gain:Domain");
  EXPECT_EQ(f.series("/1048579/run_1"), (Values{0.0, 1e-4}));
  EXPECT_EQ(f.text("/5/7/30/1/2097156", "Name"), "Offset");
  EXPECT_EQ(f.series("/5/7/30/1/2097156/run_1"), (Values{2.0}));
  EXPECT_EQ(f.series("/1048581/run_1"), (Values{1e-4}));
  EXPECT_FALSE(f.has("/1048580"));
}

TEST_F(RecordFile, AChannelIndexAboveTheChannelCountIsRefusedOnce) {
  describe(kTwoChannels);
  describe({"3 99 199 2 20 Far G u 1 0", "3 2000000000 198 2 21 Farther G u 1 0"});
  EXPECT_EQ(console_.str(),
            " WARNING: A \"DATAStruct:\" line names output channel 99, but the case has 4: the line is ignored.\n");
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  EXPECT_FALSE(f.has("/5/7/20"));
  EXPECT_FALSE(f.has("/5/7/21"));
}

TEST_F(RecordFile, RecordKindsAndFieldsOfTheDescriptionLines) {
  describe({"1 1 -1 5"});
  OutputFile& o = *OutputFile::pOutputFile;
  EXPECT_FALSE(o.process_line("0 1 -1 6"));
  EXPECT_TRUE(o.process_line("-1 1 -1 6"));
  EXPECT_TRUE(o.process_line("7 1 -1 6"));
  EXPECT_TRUE(o.process_line("4"));
  EXPECT_TRUE(o.process_line("2 3 9 8 NoParent x"));  // parent key 9 is not there
  EXPECT_TRUE(o.process_line("2 0 1 8 KeyZero x"));   // key 0 cannot be stored
  EXPECT_TRUE(o.process_line(("03 1 101 1 10 " + std::string(200, 'n') + " G u 1 0").c_str()));
  EXPECT_TRUE(o.process_line("3 2 102 1 11 ab\"c d\"e G \\\"q\\\" 1 0"));
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  EXPECT_EQ(f.children("/5"), (std::vector<std::string>{"8", "10", "11"}));
  EXPECT_FALSE(f.has("/6"));
  EXPECT_EQ(f.text("/5/10", "Name"), std::string(127, 'n'));
  EXPECT_EQ(f.text("/5/11", "Name"), "abc de");
  EXPECT_EQ(f.text("/5/11/0/102/run_1", "Unit"), "\"q\"");
}

// A number field that is not a whole number of its kind ends the run with the
// line named; nothing of the line reaches the file.
TEST_F(RecordFile, AMalformedNumberEndsTheRunNamingTheLine) {
  struct Case {
    std::string line;
    std::string token;
    int field;
  };
  const std::vector<Case> cases = {
      {"x1 1 -1 6", "x1", 1},                                    // the record kind
      {"1 1 -1 6z", "6z", 4},                                    // trailing characters
      {"2 3 1.5 8 Name x", "1.5", 3},                            // a real in an integer field
      {"3 2 102 1 99999999999 Late G u 1 0", "99999999999", 5},  // beyond the integer range
      {"3 2 102 1 11 Late G u 2o.5 0", "2o.5", 9},               // the maximum
      {"3 2 102 1 11 Late G u 1 nan", "nan", 10},                // the minimum: no NaN
      {"3 2 102 1 11 Late G u inf 0", "inf", 9},                 // nor infinity
      {"3 2 102 1 11 Late G u " + std::string(70, '1') + " 0", std::string(70, '1').substr(0, 63), 9},
  };
  describe({"1 1 -1 5"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const wakro_test::Outcome o = wakro_test::run_captured([&] { OutputFile::pOutputFile->process_line(c.line.c_str()); });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(o.console.substr(0, o.console.find('\n') + 1),
              " A \"DATAStruct:\" line has a malformed number \"" + c.token + "\" in field " +
                  std::to_string(c.field) + ": " + c.line + "\n");
    EXPECT_NE(o.console.find("ERROR: Abnormal termination of WAKRO by DATASTRUCT"), std::string::npos);
  }
}

// What the fields accept: a sign, a Fortran D exponent, and a missing trailing
// field as 0.
TEST_F(RecordFile, NumberFieldsTakeSignsExponentsAndMissingTrailingFields) {
  describe({"+1 1 -1 5", "2 2 1 7 Comp x", "3 1 101 2 10 A G u 1.5D1 -2e-1", "3 2 102 2 11 B G u +4"});
  wakro::delete_output_file();
  H5File f(path("rec.qbout"));
  EXPECT_EQ(f.real("/5/7/10/0/101/run_1", "Max"), 15.0);
  EXPECT_EQ(f.real("/5/7/10/0/101/run_1", "Min"), -0.2);
  EXPECT_EQ(f.real("/5/7/11/0/102/run_1", "Max"), 4.0);
  EXPECT_EQ(f.real("/5/7/11/0/102/run_1", "Min"), 0.0);
}

TEST(RecordText, TrimAndTokens) {
  char out[8];
  OutputFile_TrimField(" \t ab c\0  ", 10, out, 7);
  EXPECT_STREQ(out, "ab c");
  OutputFile_TrimField("  abcdefghij ", 13, out, 7);
  EXPECT_STREQ(out, "abcdefg");
  OutputFile_TrimField("   ", 3, out, 7);
  EXPECT_STREQ(out, "");

  const char* line = "  one \"two three\" f\\ our x\\";
  std::size_t pos = 0;
  char tok[5];
  OutputFile_adv_tok(line, tok, sizeof tok, pos);
  EXPECT_STREQ(tok, "one");
  OutputFile_adv_tok(line, tok, sizeof tok, pos);
  EXPECT_STREQ(tok, "two ");  // four characters kept, the rest dropped
  OutputFile_adv_tok(line, tok, sizeof tok, pos);
  EXPECT_STREQ(tok, "f ou");
  OutputFile_adv_tok(line, tok, sizeof tok, pos);
  EXPECT_STREQ(tok, "x");
  OutputFile_adv_tok(line, tok, sizeof tok, pos);
  EXPECT_STREQ(tok, "");
}

// ---- A failed run change, with a writer whose second run cannot open ----------

struct FakeWriter {
  int appends = 0;
  int runs = 0;
};
FakeWriter g_fake;
namespace rec = wakro::record;

int fake_close_series(rec::Series* s) { return std::memset(static_cast<void*>(s), 0, sizeof *s), 0; }
int fake_append(rec::Series*, const void*, int, int, int) { return ++g_fake.appends, 0; }
int fake_create_series(rec::Run*, rec::Call*, int, rec::Series*, rec::Series* s) {
  s->handle = 1;
  s->AppendValue = &fake_append;
  s->CloseSeries = &fake_close_series;
  return 0;
}
int fake_close_call(rec::Call* c) { return std::memset(static_cast<void*>(c), 0, sizeof *c), 0; }
int fake_create_child(rec::Call*, int, rec::Call* c);
int fake_child_by_id(rec::Call*, int, rec::Call*) { return 1; }
int fake_create_child(rec::Call*, int, rec::Call* c) {
  c->handle = 1;
  c->GetChildById = &fake_child_by_id;
  c->CreateChild = &fake_create_child;
  c->CreateSeriesChild = &fake_create_child;
  c->CloseCall = &fake_close_call;
  return 0;
}
int fake_close_run(rec::Run* r) { return std::memset(static_cast<void*>(r), 0, sizeof *r), 0; }
int fake_open_run(rec::File*, int, rec::Run* r) {
  if (++g_fake.runs > 1) return 1;
  r->handle = 1;
  r->CreateSeries = &fake_create_series;
  r->CloseRun = &fake_close_run;
  return 0;
}
int fake_open_root(rec::File*, rec::Call* c) { return fake_create_child(nullptr, 0, c); }

TEST(RecordFileGuards, AFailedRunChangeStopsWritingWithOneWarning) {
  g_fake = {};
  outppp::jplt = 4;
  rec::File file{};
  file.handle = 1;
  file.OpenRun = &fake_open_run;
  file.OpenRoot = &fake_open_root;
  OutputFile o(file);
  ASSERT_TRUE(o.create());
  o.process_line("3 1 101 -1 10 Emf G kV 1 0");
  o.addDatum(1, 1.0, 0.0);
  EXPECT_EQ(g_fake.appends, 2);  // the time and the value
  std::ostringstream out;
  {
    wakro::ConsoleRedirect redirect(out);
    o.nextRun();
    o.addDatum(1, 2.0, 1e-4);
    o.addGraphicsDatum(-1, 3, 1.0, 1e-4, "G", 1);
    o.nextRun();
  }
  EXPECT_TRUE(o.stopped());
  EXPECT_EQ(g_fake.appends, 2);
  EXPECT_EQ(g_fake.runs, 2);
  EXPECT_EQ(out.str(), " WARNING: The output record file cannot start run 2: nothing more is written to it.\n");
}

}  // namespace
