// The legacy channel files: golden bytes of the description and channel files,
// the file names of a multiple run and of an output name with a folder, the
// 999-file cap with continuation lines, the time of a snapshot start, the
// clamping of channel values, and every fatal path.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "output_fixture.h"

namespace outputtest {
namespace {

class ChannelFiles : public OutputTest {
 protected:
  // n channels; pgb of size n; ipgbi reverses the order; names "Channel <j> ...".
  void make_channels(std::int32_t n) {
    e_s4::pgb.allocate(n);
    outppp::ipgbi.allocate(n);
    outppp::mpgbi.allocate(n);
    outppp::pgbname.allocate(n);
    outppp::jplt = n;
    for (std::int32_t i = 1; i <= n; ++i) {
      outppp::ipgbi(i) = n + 1 - i;
      outppp::pgbname(i) = "Channel " + std::to_string(i) + " [kV]";
    }
  }
};

// 25 channels, values with the clamped extremes among them, two output steps.
TEST_F(ChannelFiles, DescriptionAndChannelFilesMatchGoldenBytes) {
  make_channels(25);
  outppp::pgbname(7).blank();  // an all-blank description gives an empty line
  assorc::title = "Golden channel case";
  fnames::onam = "case1.dat";
  e_s1::delt = 5.0e-5;
  const Outcome open = run([] { wakro_outputfile(1); });
  ASSERT_EQ(open.status, -1) << open.console;
  EXPECT_EQ(open.console, "");
  EXPECT_EQ(fnames::iunitout, wakro::kUnitBase);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase + 3);

  for (std::int32_t step = 1; step <= 2; ++step) {
    ctrl::iii = step * 5;
    for (std::int32_t j = 1; j <= 25; ++j) e_s4::pgb(j) = step * (j - 13) * 0.25;
    e_s4::pgb(2) = 1e-120;
    e_s4::pgb(3) = 5e120;
    e_s4::pgb(4) = -0.001 * step;
    wakro_outputfile(3);
  }
  wakro_outputfile(2);
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);
  EXPECT_EQ(e_s4::pgb(2), 0.0);
  EXPECT_EQ(e_s4::pgb(3), 9.9999999999999e98);

  EXPECT_EQ(read("case1.inf"), golden("case1.inf"));
  EXPECT_EQ(read("case1_01.out"), golden("case1_01.out"));
  EXPECT_EQ(read("case1_02.out"), golden("case1_02.out"));
  EXPECT_EQ(read("case1_03.out"), golden("case1_03.out"));
  EXPECT_FALSE(exists("case1_04.out"));

  // The third file by hand: channels 21..25 are pgb(5..1) on the last run.
  const std::string f3 = read("case1_03.out");
  const std::string title = "Golden channel case" + std::string(53, ' ') + "\n";
  ASSERT_EQ(f3.substr(0, 73), title);
  EXPECT_EQ(f3.substr(73, 24 * 6),
            "   0.25000000000000E-03    -2.0000000000000    " + std::string(" ") +
                "  -0.10000000000000E-02" + " " + "   0.99999999999999E+99" + " " +
                "    0.0000000000000    " + " " + "   -3.0000000000000    \n");
}

TEST_F(ChannelFiles, MultipleRunNamesAndKeptChannels) {
  make_channels(12);
  ctrl::nrun = 20;
  ctrl::mmm = 12;
  ctrl::lastrun = false;
  outppp::mplt = 3;
  outppp::mpgbi(1) = 5;
  outppp::mpgbi(2) = 7;
  outppp::mpgbi(3) = 9;
  outppp::pgbname(1) = "Run-own-name-1 tail of one";
  outppp::pgbname(2) = "short";
  outppp::pgbname(3) = "Third-own-name: 123";
  outppp::pgbname(5) = "Kept-channel-5 and its long tail";
  outppp::pgbname(7) = "Kept-channel-7";
  outppp::pgbname(9) = "Kept-channel-9 tail nine";
  fnames::onam = "case1.dat";
  e_s1::delt = 1.0e-4;
  ASSERT_EQ(run([] { wakro_outputfile(1); }).status, -1);
  for (std::int32_t j = 1; j <= 12; ++j) e_s4::pgb(j) = j;
  ctrl::iii = 500;
  snpdat::iiisnp = 400;
  ctrl::zerot = 1;  // time counts from the snapshot's step
  wakro_outputfile(3);
  wakro_outputfile(2);

  EXPECT_EQ(read("case1_r00012.inf"),
            "Run-own-name-1 and its long tail\n"
            "short\n"
            "Third-own-name:tail nine\n");
  EXPECT_EQ(read("case1_r00012_01.out"), std::string(72, ' ') + "\n" + "   0.10000000000000E-01" +
                                              "     5.0000000000000    " + "     7.0000000000000    " +
                                              "     9.0000000000000    \n");
  EXPECT_FALSE(exists("case1.inf"));

  // Without kept channels a run that is not the last writes nothing.
  outppp::mplt = 0;
  fnames::iunitout = 0;
  ctrl::mmm = 13;
  ASSERT_EQ(run([] { wakro_outputfile(1); }).console, "");
  EXPECT_FALSE(exists("case1.inf"));
  EXPECT_FALSE(exists("case1_r00013.inf"));
  EXPECT_EQ(wakro::open_channel_file_count(), 0);

  // The last run of the set keeps its run number in the name when channels are
  // kept on every run, and past run 99999 the number grows wider.
  outppp::mplt = 3;
  ctrl::mmm = 3;
  EXPECT_EQ(wakro::output_file_name(0), "case1_r00003.inf");
  ctrl::mmm = 123456;
  EXPECT_EQ(wakro::output_file_name(1), "case1_r123456_01.out");
  ctrl::nrun = 1;
  EXPECT_EQ(wakro::output_file_name(0), "case1.inf");
}

TEST_F(ChannelFiles, NamesKeepTheFolderPart) {
  make_channels(2);
  std::filesystem::create_directory("res.d");
  fnames::onam = "./res.d/case1";
  EXPECT_EQ(wakro::output_file_name(0), "./res.d/case1.inf");
  fnames::onam = "./res.d/case1.dat";
  EXPECT_EQ(wakro::output_file_name(1), "./res.d/case1_01.out");
  ASSERT_EQ(run([] { wakro_outputfile(1); }).status, -1);
  wakro_outputfile(2);
  EXPECT_TRUE(exists("res.d/case1.inf"));
  EXPECT_TRUE(exists("res.d/case1_01.out"));
  // A 34-character name without a point keeps 33 characters.
  fnames::onam = "abcdefghijabcdefghijabcdefghijabcd";
  EXPECT_EQ(wakro::output_file_name(0), "abcdefghijabcdefghijabcdefghijabc.inf");
  // Cut in bytes, but never inside a letter: 17 two-byte letters keep 16.
  fnames::onam = "ÄÖÜäöüßÄÖÜäöüßÄÖÜ";
  EXPECT_EQ(wakro::output_file_name(0), "ÄÖÜäöüßÄÖÜäöüßÄÖ.inf");
  // A folder written with backslashes is a folder too: its points do not cut the name.
  fnames::onam = "..\\res\\case1.dat";
  EXPECT_EQ(wakro::output_file_name(2), "..\\res\\case1_02.out");
  fnames::onam = "my case.x";
  EXPECT_EQ(wakro::output_file_name(3), "my_03.out");
}

TEST_F(ChannelFiles, NineHundredNinetyNineFilesAndContinuationLines) {
  const std::int32_t n = 10005;
  make_channels(n);
  for (std::int32_t i = 1; i <= n; ++i) outppp::ipgbi(i) = i;
  for (std::int32_t j = 1; j <= n; ++j) e_s4::pgb(j) = j;
  fnames::onam = "big";
  e_s1::delt = 1.0;
  ctrl::iii = 2;
  const Outcome o = run([] {
    wakro_outputfile(1);
    wakro_outputfile(3);
    wakro_outputfile(2);
  });
  ASSERT_EQ(o.status, -1) << o.console.substr(0, 400);
  EXPECT_TRUE(exists("big_99.out"));
  EXPECT_TRUE(exists("big_100.out"));
  EXPECT_TRUE(exists("big_999.out"));
  EXPECT_FALSE(exists("big_1000.out"));
  EXPECT_EQ(fnames::iunit, wakro::kUnitBase);

  auto field = [](std::int32_t j) {  // 4- and 5-digit integers: 15 characters
    std::string s(4, ' ');
    s.append(std::to_string(j)).append(".").append(j >= 10000 ? 9 : 10, '0').append(4, ' ');
    return s;
  };
  std::string want = std::string(72, ' ') + "\n" + "    2.0000000000000    ";
  for (std::int32_t j = 9981; j <= 10005; ++j) {
    want.append(" ").append(field(j));
    if (j == 9990 || j == 10000 || j == 10005) want += "\n";
  }
  EXPECT_EQ(read("big_999.out"), want);
  const std::string f998 = read("big_998.out");
  EXPECT_EQ(f998.substr(73 + 23, 24), " " + field(9971));
  EXPECT_EQ(std::count(f998.begin(), f998.end(), '\n'), 2);
  const std::string inf = read("big.inf");
  EXPECT_EQ(std::count(inf.begin(), inf.end(), '\n'), n);
}

TEST_F(ChannelFiles, ListingModeAndUnknownMode) {
  make_channels(11);
  fnames::onam = "case1";
  const Outcome list = run([] { wakro_outputfile(0); });
  EXPECT_EQ(list.console, "        Output file: case1_01.out" + std::string(22, ' ') + "\n" +
                              "        Output file: case1_02.out" + std::string(22, ' ') + "\n" +
                              "        Output file: case1.inf" + std::string(25, ' ') + "\n");
  EXPECT_FALSE(exists("case1_01.out"));
  const Outcome bad = run([] { wakro_outputfile(7); });
  EXPECT_EQ(bad.status, -1);
  EXPECT_EQ(bad.console, " ***WARN*** OUTPUTFILE:Unknown output file mode!\n");
  EXPECT_FALSE(exists("case1.inf"));
}

TEST_F(ChannelFiles, StepBeforeOpeningClampsAndWritesNothing) {
  make_channels(5);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double in[5] = {1e-120, 5e120, -5e120, nan, -1e-99};
  for (int j = 0; j < 5; ++j) e_s4::pgb(j + 1) = in[j];
  fnames::onam = "case1";
  ASSERT_EQ(run([] { wakro_outputfile(3); }).console, "");
  EXPECT_EQ(e_s4::pgb(1), 0.0);
  EXPECT_EQ(e_s4::pgb(2), 9.9999999999999e98);
  EXPECT_EQ(e_s4::pgb(3), -9.9999999999999e98);
  EXPECT_TRUE(std::isnan(e_s4::pgb(4)));
  EXPECT_EQ(e_s4::pgb(5), 0.0);
  EXPECT_TRUE(std::filesystem::is_empty("."));
}

TEST_F(ChannelFiles, ChannelPointingOutsideTheValuesIsWrittenAsZero) {
  make_channels(2);
  outppp::ipgbi(1) = 0;
  outppp::ipgbi(2) = 1;
  e_s4::pgb(1) = 1.5;
  fnames::onam = "odd";
  const Outcome o = run([] {
    wakro_outputfile(1);
    wakro_outputfile(3);
    wakro_outputfile(2);
  });
  EXPECT_EQ(o.console, " ***WARN*** OUTPUTFILE: 1 output channel(s) refer to no output value and are written as 0.0\n");
  EXPECT_EQ(read("odd_01.out"), std::string(72, ' ') + "\n    0.0000000000000    " +
                                    "     0.0000000000000    " + "     1.5000000000000    \n");
  EXPECT_EQ(read("odd.inf"), "\nChannel 1 [kV]\n");
}

TEST_F(ChannelFiles, OpeningTwiceEndsTheRun) {
  make_channels(1);
  fnames::onam = "twice";
  ASSERT_EQ(run([] { wakro_outputfile(1); }).status, -1);
  const Outcome o = run([] { wakro_outputfile(1); });
  EXPECT_EQ(o.status, 2000);
  EXPECT_EQ(o.console, " ***ERROR** Multiple attempts to open output files\n" + rule() + banner_tail("OUTPUTFILE  "));
}

TEST_F(ChannelFiles, FailedTitleWriteEndsTheRun) {
  make_channels(1);
  fnames::onam = "full";
  std::filesystem::create_symlink("/dev/full", "full_01.out");
  const Outcome o = run([] { wakro_outputfile(1); });
  EXPECT_EQ(o.status, 2000);
  // The write failure is reported as such (not as a data-file error) and the
  // run ends under the writer's own tag.
  EXPECT_EQ(o.console, "\n **** PROBLEM WRITING TO OUTPUT FILE : full_01.out     ! ****\n Output file full_01.out: " +
                           std::string(std::strerror(ENOSPC)) + "\n" + rule() + banner_tail("OUTPUTFILE  "));
  EXPECT_EQ(fnames::dumlin, "full_01.out");
}

TEST_F(ChannelFiles, FailedDescriptionWriteEndsTheRun) {
  make_channels(3);
  fnames::onam = "fullinf.dat";
  std::filesystem::create_symlink("/dev/full", "fullinf.inf");
  const Outcome o = run([] { wakro_outputfile(1); });
  EXPECT_EQ(o.status, 2000);
  // Only the first 15 characters of the name.
  EXPECT_EQ(o.console, "\n **** PROBLEM WRITING TO OUTPUT FILE : fullinf.inf     ! ****\n Output file fullinf.inf: " +
                           std::string(std::strerror(ENOSPC)) + "\n" + rule() + banner_tail("OUTPUTFILE  "));
  EXPECT_FALSE(exists("fullinf_01.out"));
  // Cut at 15 bytes, but never inside a letter: byte 15 splits the eighth.
  for (const auto& [name, shown] :
       {std::pair{"a-long-output-name", "a-long-output-n"}, {"ÄÖÜäöüßÄ", "ÄÖÜäöüß "}}) {
    fnames::onam = name;
    std::filesystem::create_symlink("/dev/full", std::string(name) + ".inf");
    fnames::iunitout = 0;
    wakro::close_all_units();
    const std::string line = " : " + std::string(shown) + " ! ****\n";
    EXPECT_NE(run([] { wakro_outputfile(1); }).console.find(line), std::string::npos);
  }
}

// A missing folder, and a pipe nobody reads (refused at once, not waited on).
TEST_F(ChannelFiles, AFileThatCannotBeOpenedFailsAtTheOpen) {
  ASSERT_EQ(::mkfifo("piped.inf", 0644), 0);
  const struct { const char* name; const char* why; } rows[] = {
      {"nofolder/case1", "nofolder/case1.inf: No such file or directory"},
      {"piped", "piped.inf: a pipe that nobody reads"}};
  for (const auto& row : rows) {
    make_channels(1);
    fnames::onam = row.name;
    fnames::iunitout = 0;  // as before the first opening
    wakro::close_all_units();
    const Outcome o = run([] { wakro_outputfile(1); });
    EXPECT_EQ(o.status, 2000);
    EXPECT_EQ(o.console.substr(0, o.console.find('\n') + 1),
              std::string(" ***ERROR** WAKRO: Error while opening file: ") + row.why + "\n");
    EXPECT_NE(o.console.find("termination of WAKRO by OPENFILE1"), std::string::npos);
  }
}

TEST_F(ChannelFiles, FailedStepWriteEndsTheRun) {
  make_channels(10);
  fnames::onam = "limited";
  ASSERT_EQ(run([] { wakro_outputfile(1); }).status, -1);
  // A file-size limit that the title already reaches: the next block of step
  // lines the stream hands to the system fails.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Outcome o = run([] {
    for (ctrl::iii = 1; ctrl::iii <= 100; ++ctrl::iii) wakro_outputfile(3);
  });
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(o.status, 2000);
  // The file, the time and the reason are named, and the part of a row that
  // reached the file is cut off: the title alone stays.
  EXPECT_EQ(o.console, " ***ERROR** Error occurred while writing output file limited_01.out at time 0 s: " +
                           std::string(std::strerror(EFBIG)) + "; no row is complete.\n" + rule() +
                           banner_tail("OUTPUTFILE  "));
  EXPECT_EQ(std::filesystem::file_size("limited_01.out"), 73u);
}

// The record file's output step and the bindings, with a record file stand-in.
struct Recorded {
  std::vector<std::string> calls;
  bool exists = false;
};
Recorded g_rec;

const wakro::RecordFileHooks kHooks{
    [] { return g_rec.exists; },
    [](std::string_view name) {
      g_rec.calls.push_back("create " + std::string(name));
      g_rec.exists = true;
    },
    [](std::string_view line) {
      g_rec.calls.push_back("line " + std::string(line));
      return true;
    },
    [](std::int32_t i, double v, double t) {
      g_rec.calls.push_back("datum " + std::to_string(i) + " " + std::to_string(v) + " " + std::to_string(t));
    },
    [](std::int32_t p, std::int32_t id, double v, double t, std::string_view name) {
      g_rec.calls.push_back("graphic " + std::to_string(p) + " " + std::to_string(id) + " " + std::to_string(v) +
                            " " + std::to_string(t) + " " + std::string(name));
    },
    [] { g_rec.calls.push_back("next"); },
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

TEST_F(ChannelFiles, RecordFileStepAndBindings) {
  g_rec = {};
  wakro::set_record_file_hooks(&kHooks);
  make_channels(3);
  outppp::ipgbi(1) = 3;
  outppp::ipgbi(2) = 1;
  outppp::ipgbi(3) = 2;
  e_s4::pgb(1) = 1.5;
  e_s4::pgb(2) = 5e120;
  e_s4::pgb(3) = -0.25;
  e_s1::delt = 0.5;
  ctrl::iii = 3;

  // Legacy type: the bindings stay silent.
  fnames::iouttype = 0;
  ofprocessline("1 1 -1 0");
  ofnextrun();
  EXPECT_TRUE(g_rec.calls.empty());

  fnames::iouttype = 1;
  ofadddatum(1, 2.0, 0.0);   // no record file yet: nothing
  ofnextrun();
  EXPECT_TRUE(g_rec.calls.empty());
  fnames::onam = "rec";
  ofprocessline("1 1 -1 0");
  ofprocessline("0");
  wakro_outputfilebin(1);  // other modes do nothing
  wakro_outputfilebin(3);
  ofgraphicdatum(4, 9, 0.5, 1.5, "Gain");
  ofnextrun();
  const std::vector<std::string> want = {
      "create " + std::string("rec") + std::string(31, ' '),
      "line 1 1 -1 0",
      "line 0",
      "datum 1 -0.250000 1.500000",
      "datum 2 1.500000 1.500000",
      "datum 3 " + std::to_string(9.9999999999999e98) + " 1.500000",
      "graphic 4 9 0.500000 1.500000 Gain",
      "next",
  };
  EXPECT_EQ(g_rec.calls, want);
}

}  // namespace
}  // namespace outputtest
