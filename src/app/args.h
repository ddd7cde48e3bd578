// ArgReader: the options of the current command-line form and the option files
// named by -config.
//
// process() is a two-state reader: each word is compared exactly with the
// options; an option that takes a value takes the next word, whatever it is, as
// its value (an option at the end of the list, without its value, is refused);
// unknown words are skipped (and kept in unknownWords). Options:
//   -lumbra <library>   communication library; use it for the link
//   -outwriter <lib>    output-writer library
//   -out <name>         output name (at most 34 characters): the name of the
//                       output files, in place of the one the start-up
//                       dialogue gives
//   -outtype legacy|bin output type 0 or 1 (any other value keeps it and is
//                       refused); setoutputtype then always receives the
//                       output type
//   -host <name>        host of the design environment
//   -port <number>      its port (see below)
//   -id <number>        this engine's id on the link
//   -standalone         run alone
//   -locale <name>      locale
//   -config <file>      the options of that file are parsed at this point
//
// A port is taken from the value's leading integer. Only 1 .. 65535 name a
// port; -1 keeps "no port"; any other value (0, 70000, "abc") marks the port
// invalid, so a wanted link is refused instead of connecting somewhere else.
//
// Option files: words split at white space; a backslash makes the next
// character part of the word (also inside quotes); double quotes group a word
// (an empty quoted word counts) and end a word in progress; the quote state
// carries over to the next line. Lines are read in pieces of at most 1023
// characters, words keep at most 1022 characters, at most 256 words are taken,
// and files nest at most 20 deep; a deeper file is refused. A file that cannot
// be opened, or that is not a regular file (a folder, a device such as
// /dev/zero, a pipe), is refused, and so is a file with a line longer than any
// reader takes (files/textfile.h).
//
// Refusals: a value the option does not take (-outtype other than legacy or
// bin, an -out name longer than 34 characters), an option without its value,
// an option file nested too deep and an option file that cannot be opened are
// kept in refusals, one message each naming the option; the
// process entry treats them, like a word that names no option, as a usage
// error and runs nothing.
// A file named again while it is being read (a file that names itself, or files
// that name each other) is a cycle, and more than 100 files read in all means
// files that name each other over and over: both end the parse with a runtime
// stop (wakro::FatalExit) whose message says which.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace wakro {

class ArgReader {
 public:
  static constexpr int kMaxDepth = 20;
  static constexpr int kMaxWords = 256;
  static constexpr int kLinePiece = 1023;
  static constexpr int kMaxWordLength = 1022;
  static constexpr int kMaxFilesRead = 100;
  static constexpr std::size_t kMaxOutputName = 34;

  void process(int count, const char* const* words);
  void process(const std::vector<std::string>& words);
  void processFile(const char* name);

  // The words of one option file as the tokenizer splits them (nothing parsed).
  // A line longer than any reader takes ends the split; `tooLong` then says
  // which ("line 3 is longer than ... characters").
  static std::vector<std::string> splitFile(std::FILE* file, std::string* tooLong = nullptr);

  // The values; an empty text means "not given" unless the matching flag says so.
  std::string lumbra;
  std::string outwriter;
  std::string out;
  std::int32_t outtype = 0;
  std::string host;
  bool hasHost = false;
  std::string locale;
  bool hasLocale = false;
  std::int32_t port = -1;
  bool portValid = true;    // false after a -port value outside 1 .. 65535 (and not -1)
  std::string portText;     // the -port value as given
  std::int32_t id = 1;
  bool standalone = false;
  bool useLumbra = false;
  int depth = 0;
  // Option files opened so far (for diagnostics and tests).
  int filesOpened = 0;
  // Words met where an option was expected that name no option, in order
  // (the entry's own first two words, the program name and "-v5", among them).
  std::vector<std::string> unknownWords;
  // Values and option files refused, one message each (see above).
  std::vector<std::string> refusals;

 private:
  // The files being read, outermost first, by device and inode.
  struct FileId {
    unsigned long long device = 0;
    unsigned long long inode = 0;
  };
  std::vector<FileId> reading_;
};

// The options of the process.
inline ArgReader cArguments;

// The leading integer of a text, as the option values take it: blanks, an
// optional sign and digits; 0 when there is none; clamped to the 32-bit range.
std::int32_t leading_integer(const char* text);

}  // namespace wakro
