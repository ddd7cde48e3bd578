// The option parser, option files, the older command-line forms and the
// library start texts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/args.h"
#include "app/entry.h"
#include "app/link_start.h"
#include "diag/console.h"
#include "files/textfile.h"
#include "model/fatal.h"
#include "model/fnames.h"

namespace {

using Words = std::vector<std::string>;

class OptionFile {
 public:
  explicit OptionFile(const std::string& text) {
    static int n = 0;
    name_ = "/tmp/wakro_app_opts_" + std::to_string(getpid()) + "_" + std::to_string(++n) + ".txt";
    std::FILE* f = std::fopen(name_.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  ~OptionFile() { std::remove(name_.c_str()); }
  const std::string& name() const { return name_; }
  Words words() const {
    std::FILE* f = std::fopen(name_.c_str(), "r");
    Words w = wakro::ArgReader::splitFile(f);
    std::fclose(f);
    return w;
  }

 private:
  std::string name_;
};

TEST(ArgReader, OptionsTakeTheNextWordWhateverItIs) {
  wakro::ArgReader a;
  a.process(Words{"prog", "-v5", "-host", "a", "-host", "-id", "-id", "7", "-standalone", "-out", "o1",
                  "-outwriter", "w.so", "-locale", "de", "-lumbra", "l.so", "unknown", "-port"});
  EXPECT_EQ(a.host, "-id");  // the second -host took "-id" as its value
  EXPECT_EQ(a.id, 7);
  EXPECT_TRUE(a.standalone);
  EXPECT_EQ(a.out, "o1");
  EXPECT_EQ(a.outwriter, "w.so");
  EXPECT_TRUE(a.hasLocale);
  EXPECT_EQ(a.locale, "de");
  EXPECT_TRUE(a.useLumbra);
  EXPECT_EQ(a.lumbra, "l.so");
  EXPECT_EQ(a.port, -1);  // -port as the last word has no value: it is refused
  EXPECT_TRUE(a.portValid);
  EXPECT_EQ(a.refusals, Words{"Option '-port' is given without its value."});
}

TEST(ArgReader, IdTakesTheLeadingInteger) {
  wakro::ArgReader a;
  a.process(Words{"-id", "42abc", "-host", "h1", "-host", "h2"});
  EXPECT_EQ(a.id, 42);
  EXPECT_EQ(a.host, "h2");
  EXPECT_EQ(wakro::leading_integer("  -17x"), -17);
  EXPECT_EQ(wakro::leading_integer("x1"), 0);
  EXPECT_EQ(wakro::leading_integer("99999999999"), 2147483647);
}

TEST(ArgReader, OutputTypeIsAlwaysHandedOn) {
  wakro::ArgReader a;
  fnames::iouttype = 5;
  a.process(Words{"-outtype", "xyz"});
  EXPECT_EQ(a.outtype, 0);
  EXPECT_EQ(fnames::iouttype, 0);
  a.process(Words{"-outtype", "bin"});
  EXPECT_EQ(fnames::iouttype, 1);
  a.process(Words{"-outtype", "BIN"});
  EXPECT_EQ(fnames::iouttype, 1);
  a.process(Words{"-outtype", "legacy"});
  EXPECT_EQ(fnames::iouttype, 0);
}

TEST(ArgReader, RefusedValuesAndUnreadableOptionFilesAreKeptOneMessageEach) {
  struct Case {
    Words words;
    Words refusals;
  };
  const std::string missing = "/tmp/wakro_app_no_such_options_" + std::to_string(getpid()) + ".opt";
  const OptionFile nested("-outtype xml -out " + std::string(35, 'x') + "\n");
  // A device without end, a folder, a named pipe and a line longer than any
  // reader takes are refused before anything of them is parsed.
  const OptionFile endless("-id 4\n" + std::string(wakro::kMaxTextLine + 1, ' ') + "\n");
  const std::string pipe = "/tmp/wakro_app_options_pipe_" + std::to_string(getpid());
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const std::vector<Case> cases = {
      {{"-config", "/dev/zero"},
       {"Option file '/dev/zero' (-config) cannot be read: is not a regular file."}},
      {{"-config", "/tmp"}, {"Option file '/tmp' (-config) cannot be read: is a folder."}},
      {{"-config", pipe},
       {"Option file '" + pipe + "' (-config) cannot be read: is not a regular file."}},
      {{"-config", endless.name()},
       {"Option file '" + endless.name() +
        "' (-config) is refused: its line 2 is longer than 16777216 characters."}},
      {{"-outtype", "bin", "-outtype", "legacy", "-out", std::string(34, 'n')}, {}},
      {{"-outtype", "Bin"},
       {"Invalid value 'Bin' for -outtype: the output type is legacy or bin."}},
      {{"-config", missing},
       {"Option file '" + missing + "' (-config) cannot be read: No such file or directory."}},
      {{"-config", nested.name()},
       {"Invalid value 'xml' for -outtype: the output type is legacy or bin.",
        "Invalid value '" + std::string(35, 'x') +
            "' for -out: an output name is at most 34 characters long."}},
      {{"-v5", "-outtype"}, {"Option '-outtype' is given without its value."}},
      {{"-v5", "-config"}, {"Option '-config' is given without its value."}},
  };
  for (const Case& c : cases) {
    wakro::ArgReader a;
    a.process(c.words);
    EXPECT_EQ(a.refusals, c.refusals) << c.words[0] << " " << c.words[1];
  }
  std::remove(pipe.c_str());
  fnames::iouttype = 0;
}

TEST(ArgReader, PortsOutsideOneTo65535AreInvalid) {
  struct Case {
    const char* text;
    int port;
    bool valid;
  };
  for (const Case& c : {Case{"5000", 5000, true}, Case{"65535", 65535, true}, Case{"1", 1, true},
                        Case{"-1", -1, true}, Case{"0", 0, false}, Case{"65536", 0, false},
                        Case{"70000", 0, false}, Case{"abc", 0, false}, Case{"-5", 0, false}}) {
    wakro::ArgReader a;
    a.process(Words{"-port", c.text});
    EXPECT_EQ(a.port, c.port) << c.text;
    EXPECT_EQ(a.portValid, c.valid) << c.text;
    EXPECT_EQ(a.portText, c.text);
  }
}

TEST(OptionFiles, QuotesBackslashesAndWordsAcrossLines) {
  EXPECT_EQ(OptionFile("-host \"my host\" -id 7\nabc\"def\"\n").words(),
            (Words{"-host", "my host", "-id", "7", "abc", "def"}));
  EXPECT_EQ(OptionFile("a\\\"b \"\" x\\ y \"q\\\"z\"\n").words(), (Words{"a\"b", "", "x y", "q\"z"}));
  // An open quote carries over: each line ends its word in progress.
  EXPECT_EQ(OptionFile("\"one two\nthree\" four\r\n\n\n  five\t six  ").words(),
            (Words{"one two", "three", "four", "five", "six"}));
}

TEST(OptionFiles, ParsedOptionsMayStandOnDifferentLines) {
  OptionFile f("-host\n\"far host\"\n-port\n 6000\n");
  wakro::ArgReader a;
  a.process(Words{"prog", "-v5", "-config", f.name(), "-id", "3"});
  EXPECT_EQ(a.host, "far host");
  EXPECT_EQ(a.port, 6000);
  EXPECT_EQ(a.id, 3);
  EXPECT_EQ(a.depth, 0);
}

TEST(OptionFiles, LimitsOnWordsLinesAndWordLength) {
  std::string many;
  for (int k = 1; k <= 300; ++k) {
    many.append("w").append(std::to_string(k));
    many.push_back(k % 7 == 0 ? '\n' : ' ');
  }
  const Words w = OptionFile(many).words();
  ASSERT_EQ(w.size(), 256u);
  EXPECT_EQ(w.back(), "w256");

  std::string quoted(1, '"');
  quoted.append(1500, 'x').append("\" y\n");
  const Words longWord = OptionFile(quoted).words();
  ASSERT_EQ(longWord.size(), 3u);
  // The first piece of the line (1023 characters) holds the quote and 1022 x;
  // the word keeps 1022 of them. The rest of the line is the next piece, still
  // inside the quote.
  EXPECT_EQ(longWord[0], std::string(1022, 'x'));
  EXPECT_EQ(longWord[1], std::string(1500 - 1022, 'x'));
  EXPECT_EQ(longWord[2], "y");
}

TEST(OptionFiles, NestingStopsAtTwentyAndMissingFilesAreRefused) {
  OptionFile self("-id 9\n");
  // A chain of 21 files, each naming the next: the 21st is ignored.
  std::vector<std::unique_ptr<OptionFile>> chain;
  chain.push_back(std::make_unique<OptionFile>("-id 21\n"));
  for (int k = 20; k >= 1; --k) {
    std::string text = "-config ";
    text.append(chain.back()->name()).append(" -id ").append(std::to_string(k)).append("\n");
    chain.push_back(std::make_unique<OptionFile>(text));
  }
  wakro::ArgReader a;
  a.process(Words{"-config", chain.back()->name()});
  EXPECT_EQ(a.filesOpened, 20);
  EXPECT_EQ(a.depth, 0);
  EXPECT_EQ(a.id, 1);  // the outermost file's -id comes last
  EXPECT_EQ(a.refusals, Words{"Option file '" + chain.front()->name() +
                              "' (-config) is refused: option files nest at most 20 deep."});

  wakro::ArgReader b;
  b.process(Words{"-config", "/nonexistent/options.txt", "-config", self.name()});
  EXPECT_EQ(b.filesOpened, 1);
  EXPECT_EQ(b.id, 9);
}

// The message of a refused option file (empty when none was refused).
std::string refusal(wakro::ArgReader& a, const Words& words) {
  try {
    a.process(words);
  } catch (const wakro::FatalExit& e) {
    EXPECT_EQ(e.status(), wakro::kRuntimeStopStatus);
    return e.message();
  }
  return "";
}

// Found by fuzzing: option files that name each other were read until the
// nesting limit, and a file naming itself three times was read 3^20 times.
TEST(OptionFiles, AFileNamedWhileItIsReadIsACycle) {
  OptionFile loop("placeholder\n");
  const auto rewrite = [](const OptionFile& f, const std::string& text) {
    std::FILE* out = std::fopen(f.name().c_str(), "w");
    std::fputs(text.c_str(), out);
    std::fclose(out);
  };
  rewrite(loop, "-id 4 -config " + loop.name() + "\n");
  wakro::ArgReader a;
  EXPECT_EQ(refusal(a, Words{"-config", loop.name()}),
            "Option file " + loop.name() + " is named again while it is being read (-config cycle)");
  EXPECT_EQ(a.filesOpened, 1);
  EXPECT_EQ(a.depth, 0);

  std::string thrice;
  for (int n = 0; n < 3; ++n) thrice.append("-config ").append(loop.name()).append(" ");
  rewrite(loop, thrice + "\n");
  wakro::ArgReader b;
  EXPECT_NE(refusal(b, Words{"-config", loop.name()}), "");
  EXPECT_EQ(b.filesOpened, 1);

  // Two files that name each other.
  OptionFile other("placeholder\n");
  rewrite(loop, "-config " + other.name() + "\n");
  rewrite(other, "-host h -config " + loop.name() + "\n");
  wakro::ArgReader c;
  EXPECT_EQ(refusal(c, Words{"-config", loop.name()}),
            "Option file " + loop.name() + " is named again while it is being read (-config cycle)");
  EXPECT_EQ(c.filesOpened, 2);

  // The same file twice in a row is no cycle: each read has ended before the next.
  OptionFile plain("-id 6\n");
  wakro::ArgReader d;
  EXPECT_EQ(refusal(d, Words{"-config", plain.name(), "-config", plain.name()}), "");
  EXPECT_EQ(d.filesOpened, 2);
  EXPECT_EQ(d.id, 6);
}

TEST(OptionFiles, MoreThanAHundredFilesReadEndTheParse) {
  // Five levels, each file naming the next three times: 3 + 9 + 27 + 81 + 243
  // reads without a cycle; the 101st is refused.
  std::vector<std::unique_ptr<OptionFile>> level;
  level.push_back(std::make_unique<OptionFile>("-id 5\n"));
  for (int k = 0; k < 4; ++k) {
    std::string text;
    for (int n = 0; n < 3; ++n) text.append("-config ").append(level.back()->name()).append(" ");
    level.push_back(std::make_unique<OptionFile>(text + "\n"));
  }
  const std::string top = level.back()->name();
  wakro::ArgReader a;
  EXPECT_EQ(refusal(a, Words{"-config", top, "-config", top, "-config", top}),
            "More than 100 option files read (-config): the option files name each other too often");
  EXPECT_EQ(a.filesOpened, 100);
  EXPECT_EQ(a.depth, 0);
}

TEST(OlderForms, PositionalWordsAndClientId) {
  auto parse = [](Words w) {
    std::vector<const char*> v;
    for (auto& s : w) v.push_back(s.c_str());
    return wakro::parse_older_form(static_cast<int>(v.size()), v.data());
  };
  auto f = parse({"prog", "-V4", "-v3", "-V2", "-STARTUP:ALONE", "myhost", "70000", "/id", "65537"});
  EXPECT_TRUE(f.standalone);
  EXPECT_TRUE(f.gui);
  EXPECT_EQ(f.host, "myhost");
  EXPECT_EQ(f.port, 70000 - 65536);
  EXPECT_EQ(f.clientId, 1);
  f = parse({"prog", "-startup:alone", "x", "0"});
  EXPECT_TRUE(f.standalone);
  EXPECT_FALSE(f.gui);
  f = parse({"prog", "-v3", "-startup:alone"});
  EXPECT_TRUE(f.standalone);
  f = parse({"prog", std::string(300, 'h'), "5000"});
  EXPECT_EQ(f.host.size(), 127u);
}

TEST(LinkStart, LibraryStartTextsAreCutToTheirBuffers) {
  const auto t = wakro::library_start_texts(std::string(400, 'p'), "localhost", 5000, 1);
  EXPECT_EQ(t[0].size(), 259u);
  EXPECT_EQ((std::vector<std::string>(t.begin() + 1, t.end())),
            (std::vector<std::string>{"/API", "TCP", "/HOST", "localhost", "/PORT", "5000", "/ID", "1"}));
  const auto u = wakro::library_start_texts("p", std::string(300, 'h'), -2147483647, 7);
  EXPECT_EQ(u[4].size(), 255u);
  EXPECT_EQ(u[6], "-2147483647");
  EXPECT_EQ(u[8], "7");
}

TEST(Locale, RequestedLocaleIsReportedAndNumbersStayInTheCForm) {
  std::ostringstream out, err;
  wakro::ConsoleRedirect o(out), e(err, true);
  setLocaleArgs("");
  EXPECT_EQ(out.str(), "");
  setLocaleArgs("no_such_locale_xyz");
  EXPECT_EQ(out.str(), "Requested locale = no_such_locale_xyz\n");
  EXPECT_EQ(err.str(), "Warning: Unable to change the locale.\n");
  out.str("");
  setLocaleArgs("C");
  EXPECT_EQ(out.str(), "Requested locale = C\nCurrent locale = C\n");
  EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

}  // namespace
