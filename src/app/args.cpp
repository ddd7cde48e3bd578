// ArgReader: the option parser of the current command-line form and its option
// files.
#include "app/args.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "app/driver.h"
#include "files/textfile.h"
#include "model/fatal.h"
#include "output/outputfile.h"

namespace wakro {

namespace {

enum class Value { None, Lumbra, Outwriter, Out, Outtype, Host, Port, Id, Locale, Config };

Value option_of(const char* w) {
  struct Row {
    const char* name;
    Value value;
  };
  static const Row rows[] = {{"-lumbra", Value::Lumbra}, {"-outwriter", Value::Outwriter},
                             {"-out", Value::Out},       {"-outtype", Value::Outtype},
                             {"-host", Value::Host},     {"-port", Value::Port},
                             {"-id", Value::Id},         {"-locale", Value::Locale},
                             {"-config", Value::Config}};
  for (const Row& r : rows)
    if (std::strcmp(w, r.name) == 0) return r.value;
  return Value::None;
}

// The port of a -port value: 1 .. 65535, or -1 for "none"; anything else is
// invalid (the result is then 0).
std::int32_t port_of(const char* text, bool& valid) {
  const std::int32_t v = leading_integer(text);
  valid = v == -1 || (v >= 1 && v <= 65535);
  return valid ? v : 0;
}

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Splits one line into words; quote and escape states are the caller's, since
// the quote state carries over to the next line.
struct Splitter {
  std::vector<std::string>& words;
  std::string word;
  bool inQuotes = false;

  void add(bool evenEmpty) {
    if ((evenEmpty || !word.empty()) && words.size() < static_cast<std::size_t>(ArgReader::kMaxWords))
      words.push_back(word);
    word.clear();
  }
  void append(char c) {
    if (word.size() < static_cast<std::size_t>(ArgReader::kMaxWordLength)) word.push_back(c);
  }
  void line(const char* text, std::size_t n) {
    bool escaped = false;
    for (std::size_t k = 0; k < n; ++k) {
      const char c = text[k];
      if (escaped) {
        append(c);
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (inQuotes) {
        if (c == '"') {
          add(true);
          inQuotes = false;
        } else {
          append(c);
        }
      } else if (is_space(c)) {
        add(false);
      } else if (c == '"') {
        add(false);
        inQuotes = true;
      } else {
        append(c);
      }
    }
    add(false);
  }
};

}  // namespace

std::int32_t leading_integer(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p != '\0' && is_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::int64_t v = 0;
  bool any = false;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    any = true;
    if (v <= std::numeric_limits<std::int32_t>::max()) v = v * 10 + (*p - '0');
    ++p;
  }
  if (!any) return 0;
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

void ArgReader::process(int count, const char* const* words) {
  Value pending = Value::None;
  for (int k = 0; k < count; ++k) {
    const char* w = words[k] != nullptr ? words[k] : "";
    if (pending == Value::None) {
      if (std::strcmp(w, "-standalone") == 0) {
        standalone = true;
      } else {
        pending = option_of(w);
        if (pending == Value::None) unknownWords.emplace_back(w);
      }
      continue;
    }
    const Value option = pending;
    pending = Value::None;
    switch (option) {
      case Value::Lumbra:
        lumbra = w;
        useLumbra = true;
        break;
      case Value::Outwriter:
        outwriter = w;
        set_output_writer(w);
        break;
      case Value::Out:
        out = w;
        if (out.size() > kMaxOutputName)
          refusals.push_back("Invalid value '" + out + "' for -out: an output name is at most " +
                             std::to_string(kMaxOutputName) + " characters long.");
        break;
      case Value::Outtype:
        if (std::strcmp(w, "legacy") == 0) outtype = 0;
        if (std::strcmp(w, "bin") == 0) outtype = 1;
        if (std::strcmp(w, "legacy") != 0 && std::strcmp(w, "bin") != 0)
          refusals.push_back(std::string("Invalid value '") + w + "' for -outtype: the output type is legacy or bin.");
        setoutputtype(outtype);
        break;
      case Value::Host:
        host = w;
        hasHost = true;
        break;
      case Value::Port:
        port = port_of(w, portValid);
        portText = w;
        break;
      case Value::Id:
        id = leading_integer(w);
        break;
      case Value::Locale:
        locale = w;
        hasLocale = true;
        break;
      case Value::Config:
        processFile(w);
        break;
      case Value::None:
        break;
    }
  }
  // An option that ends the list without its value would otherwise be
  // dropped and the run go on without it.
  if (pending != Value::None)
    refusals.push_back(std::string("Option '") + words[count - 1] + "' is given without its value.");
}

void ArgReader::process(const std::vector<std::string>& words) {
  std::vector<const char*> list;
  list.reserve(words.size());
  for (const std::string& w : words) list.push_back(w.c_str());
  process(static_cast<int>(list.size()), list.data());
}

std::vector<std::string> ArgReader::splitFile(std::FILE* file, std::string* tooLong) {
  std::vector<std::string> words;
  Splitter splitter{words, {}, false};
  std::string line;
  long long number = 0;
  for (TextLine st; (st = read_text_line(file, line)) != TextLine::end && st != TextLine::error;) {
    ++number;
    if (st == TextLine::too_long) {
      if (tooLong != nullptr) *tooLong = line_too_long_text(number);
      break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // The line is taken in pieces of kLinePiece characters; a NUL ends a piece's text.
    for (std::size_t at = 0; at < line.size(); at += kLinePiece) {
      const std::size_t n =
          strnlen(line.data() + at, std::min<std::size_t>(kLinePiece, line.size() - at));
      if (n == 0) continue;
      if (words.size() >= static_cast<std::size_t>(kMaxWords)) continue;
      splitter.line(line.data() + at, n);
    }
  }
  return words;
}

void ArgReader::processFile(const char* name) {
  if (name == nullptr) return;
  if (depth + 1 > kMaxDepth) {
    refusals.push_back(std::string("Option file '") + name + "' (-config) is refused: option files nest at most " +
                       std::to_string(kMaxDepth) + " deep.");
    return;
  }
  // A device, a folder or a pipe is no option file: its lines need not end.
  std::string why;
  std::FILE* file = open_text_file(name, why);
  if (file == nullptr) {
    refusals.push_back(std::string("Option file '") + name + "' (-config) cannot be read: " + why +
                       ".");
    return;
  }
  // 1. Refuse a file that is being read already, and files beyond the count.
  struct stat st {};
  const bool known = fstat(fileno(file), &st) == 0;
  const FileId id{static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
  const bool cycle = known && std::any_of(reading_.begin(), reading_.end(), [&](const FileId& f) {
                       return f.device == id.device && f.inode == id.inode;
                     });
  if (cycle || filesOpened + 1 > kMaxFilesRead) {
    std::fclose(file);
    reading_.clear();
    depth = 0;
    if (cycle)
      runtime_stop(std::string("Option file ") + name +
                   " is named again while it is being read (-config cycle)");
    runtime_stop("More than " + std::to_string(kMaxFilesRead) +
                 " option files read (-config): the option files name each other too often");
  }
  // 2. Read its words, then parse them with the file marked as being read.
  ++depth;
  ++filesOpened;
  std::string tooLong;
  const std::vector<std::string> words = splitFile(file, &tooLong);
  std::fclose(file);
  if (!tooLong.empty()) {
    refusals.push_back(std::string("Option file '") + name + "' (-config) is refused: its " +
                       tooLong + ".");
    --depth;
    return;
  }
  if (known) reading_.push_back(id);
  process(words);
  if (known) reading_.pop_back();
  --depth;
}

}  // namespace wakro
