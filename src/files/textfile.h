// Files read as text: only regular files, and no line without bound.
//
// A name given where a text file is expected may name a folder, a device such as
// /dev/zero (whose "lines" never end) or a named pipe (whose open waits for a
// writer that may never come). Every reader of a text file opens it here, so that
// such a name is refused at once, and reads its lines here, so that no line grows
// past the longest any reader takes.
//
//   not_a_file(path)        "" when the path names a regular file or nothing;
//                           otherwise what it names instead: "is a folder" or
//                           "is not a regular file"
//   open_text_file(path, why)
//                           the file opened for reading ("rb"), or nullptr with
//                           `why` saying why not: "is a folder", "is not a
//                           regular file", or the system's reason ("No such file
//                           or directory"); the texts of a name that is no
//                           file begin with "is ", the system's never do. A
//                           pipe's open never waits: the name is opened without
//                           waiting and its kind checked on the open file,
//                           before anything is read.
//   why_unreadable(path)    "" when open_text_file would open the file (it is
//                           opened and closed again), otherwise its `why`
//   read_text_line(fp or stream, line)
//                           the next line without its '\n' (a '\r' before it is
//                           left to the caller); a line longer than kMaxTextLine
//                           characters is too_long, and nothing more of it is
//                           kept
//   system_reason(error)    the system's text of an errno value
//   nul_in_name(name)       "" for a name without a NUL byte, otherwise its
//                           refusal "A name may not hold a NUL byte: <name>",
//                           each NUL shown as \0: the system takes a name only
//                           up to its first NUL, so such a name would open, or
//                           write over, the file its first part names
#pragma once

#include <cstddef>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>

namespace wakro {

// The longest line any reader takes: the longest records are the snapshot's
// lists of logicals, two characters per element on one line; 16 MiB holds
// eight million of them, far beyond any case, and stays well inside memory.
inline constexpr std::size_t kMaxTextLine = std::size_t{16} << 20;

std::string_view not_a_file(const std::string& path);

std::FILE* open_text_file(const std::string& path, std::string& why);
std::string why_unreadable(const std::string& path);

enum class TextLine { ok, end, error, too_long };
TextLine read_text_line(std::FILE* fp, std::string& line);
// The same for a stream (error is not told from end there).
TextLine read_text_line(std::istream& in, std::string& line);

std::string system_reason(int error);

// The message's ending for a line longer than any reader takes:
// "<file>, line <n>, is longer than 16777216 characters".
std::string too_long_text(std::string_view file, long long line);
// The same without the file's name: "line <n> is longer than 16777216 characters".
std::string line_too_long_text(long long line);

std::string nul_in_name(std::string_view name);

}  // namespace wakro
