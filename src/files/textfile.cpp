// not_a_file, open_text_file, read_text_line and the texts (see textfile.h).
#include "files/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace wakro {
namespace {

std::string_view kind_text(mode_t mode) {
  if (S_ISREG(mode)) return {};
  return S_ISDIR(mode) ? "is a folder" : "is not a regular file";
}

}  // namespace

std::string_view not_a_file(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
  return kind_text(st.st_mode);
}

std::string system_reason(int error) { return std::strerror(error); }

std::FILE* open_text_file(const std::string& path, std::string& why) {
  why.clear();
  // 1. Open without waiting (a pipe's open would wait for a writer).
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = system_reason(errno);
    return nullptr;
  }
  const auto refused = [&](std::string_view text) -> std::FILE* {
    why = text;
    ::close(fd);
    return nullptr;
  };
  // 2. Only a regular file is read; reads of it wait again as usual.
  struct stat st {};
  if (::fstat(fd, &st) != 0) return refused(system_reason(errno));
  if (const std::string_view kind = kind_text(st.st_mode); !kind.empty()) return refused(kind);
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    return refused(system_reason(errno));
  std::FILE* fp = ::fdopen(fd, "rb");
  return fp != nullptr ? fp : refused(system_reason(errno));
}

std::string why_unreadable(const std::string& path) {
  std::string why;
  if (std::FILE* fp = open_text_file(path, why)) std::fclose(fp);
  return why;
}

TextLine read_text_line(std::FILE* fp, std::string& line) {
  line.clear();
  int c = 0;
  while ((c = getc_unlocked(fp)) != EOF && c != '\n') {
    if (line.size() == kMaxTextLine) return TextLine::too_long;
    line.push_back(static_cast<char>(c));
  }
  if (c == '\n') return TextLine::ok;
  const bool failed = std::ferror(fp) != 0;
  std::clearerr(fp);
  if (failed) return TextLine::error;
  return line.empty() ? TextLine::end : TextLine::ok;
}

TextLine read_text_line(std::istream& in, std::string& line) {
  line.clear();
  std::istream::int_type c = 0;
  const auto eof = std::istream::traits_type::eof();
  while ((c = in.get()) != eof && c != '\n') {
    if (line.size() == kMaxTextLine) return TextLine::too_long;
    line.push_back(static_cast<char>(c));
  }
  if (c == '\n' || !line.empty()) return TextLine::ok;
  return TextLine::end;
}

std::string too_long_text(std::string_view file, long long line) {
  return std::string(file) + ", line " + std::to_string(line) + ", is longer than " +
         std::to_string(kMaxTextLine) + " characters";
}

std::string line_too_long_text(long long line) {
  return "line " + std::to_string(line) + " is longer than " + std::to_string(kMaxTextLine) +
         " characters";
}

std::string nul_in_name(std::string_view name) {
  if (name.find('\0') == std::string_view::npos) return {};
  std::string text = "A name may not hold a NUL byte: ";
  for (const char c : name) {
    if (c == '\0')
      text += "\\0";
    else
      text += c;
  }
  return text;
}

}  // namespace wakro
