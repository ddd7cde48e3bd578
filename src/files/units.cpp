// The input-unit stack: opening, reading records, stepping back, closing.
//
// Each unit holds a C stream and the file offset of the record read last, so a
// step back is a seek to that offset. fnames::iunit is kept equal to the base
// plus the number of open units after every push and pop.
#include "files/units.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "files/textfile.h"
#include "model/e_warn.h"
#include "model/fnames.h"

namespace wakro {
namespace {

struct Unit {
  std::FILE* fp = nullptr;
  std::string name;
  off_t last = -1;  // offset of the record read last, -1 before the first read
  std::int32_t include_depth = 0;
  std::int32_t line = 0;  // number of the record read last (1 for the first line)
};

std::vector<Unit>& stack() {
  static std::vector<Unit> units;
  return units;
}

Unit* find(std::int32_t unit) {
  auto& s = stack();
  const std::int64_t i = std::int64_t{unit} - kUnitBase - 1;
  if (i < 0 || i >= static_cast<std::int64_t>(s.size())) return nullptr;
  return &s[static_cast<std::size_t>(i)];
}

void sync_iunit() { fnames::iunit = kUnitBase + static_cast<std::int32_t>(stack().size()); }

bool file_exists(const std::string& name) {
  struct stat st {};
  return ::stat(name.c_str(), &st) == 0;
}

// Opens by mode: 1 existing for reading, 2 new for writing, other either way
// without cutting the file. The case files are written by the design environment
// on Windows: a relative name such as "..\lib\x.tlo" names the same file with
// '/' separators here. A file to be read must be a regular file (textfile.h).
// On a failure `why` says why: what the name names instead of a file, or the
// system's reason.
// A pipe standing at the name of a file to write is written only while
// something reads it: the open does not wait, and a pipe that nobody reads is
// refused at once (an open that waited, or a pipe filled with no reader, would
// hold the run for ever).
std::FILE* open_pipe_for_writing(const std::string& path, std::string& why) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  const int status = fd < 0 ? -1 : ::fcntl(fd, F_GETFL);
  if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) < 0) {
    why = errno == ENXIO ? "a pipe that nobody reads" : system_reason(errno);
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  return ::fdopen(fd, "wb");
}

std::FILE* open_by_mode(const std::string& name, std::int32_t mode, std::string& why) {
  if (name.empty()) {
    why = system_reason(ENOENT);
    return nullptr;
  }
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (mode == 1) return open_text_file(path, why);
  if (struct stat st {}; ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))
    return open_pipe_for_writing(path, why);
  std::FILE* fp = nullptr;
  if (mode == 2)
    fp = std::fopen(path.c_str(), "wxb");
  else if (file_exists(path))
    fp = std::fopen(path.c_str(), "r+b");
  else
    fp = std::fopen(path.c_str(), "w+b");
  if (fp == nullptr) {
    const int error = errno;
    why = not_a_file(path);
    if (why.empty()) why = system_reason(error);
  }
  return fp;
}

void push(std::FILE* fp, std::string name) {
  stack().push_back(Unit{fp, std::move(name), -1, 0, 0});
  sync_iunit();
}

// Closes a unit's stream. A file opened whether or not it existed is written
// as a sequential file: when the last thing done on it was a write, the file ends
// there, so that a shorter text written over a longer one leaves no stale tail
// of the old contents. A file that was only read keeps everything it holds.
void close_stream(Unit& u) {
  if (u.fp == nullptr) return;
  if (__fwriting(u.fp) != 0 && std::fflush(u.fp) == 0) {
    const off_t end = ::ftello(u.fp);
    struct stat st {};
    if (end >= 0 && ::fstat(::fileno(u.fp), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > end)
      (void)::ftruncate(::fileno(u.fp), end);
  }
  std::fclose(u.fp);
  u.fp = nullptr;
}

void report_open_failure(std::string_view prefix, const std::string& name, const std::string& why) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                std::string(prefix) + name + ": " + why);
}

// A name read from a data line keeps any NUL byte the line holds, and the
// system would open the file named by its part before the NUL: such a name ends
// the run, naming the file being read (its reader may have read the lines
// after the name's, so no line number is given).
void refuse_nul_name(const std::string& name, const char* tag) {
  std::string refusal = nul_in_name(name);
  if (refusal.empty()) return;
  if (const Unit* u = find(fnames::iunit); u != nullptr) refusal += " (read from " + u->name + ")";
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                refusal);
  wakro_quit(tag, 0);
}

// A line longer than any reader takes ends the run (it could be a file without
// line ends that would otherwise fill the memory).
[[noreturn]] void refuse_long_line(const Unit& u) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                "WAKRO: Line too long: " + too_long_text(u.name, u.line + 1LL));
  wakro_quit("READRECORD", 0);
}

// The column (1-based) of the '.' of a ".tlo" or ".clo" ending, scanning from
// column 72 towards column 2 and taking only dots at column 69 or before; 0 when
// there is none.
std::size_t constants_file_dot(const FixedText<72>& name) {
  for (std::size_t col = 72; col >= 2; --col) {
    if (name[col - 1] != '.' || col > 69) continue;
    const std::string_view ext = name.view().substr(col - 1, 4);
    if (ext == ".tlo" || ext == ".clo") return col;
  }
  return 0;
}

void write_constants_advice(std::size_t dot) {
  const std::string_view stem = fnames::filename.view().substr(0, dot - 1);
  ListLine() << "WAKRO: Line/Cable Constants has not been";
  ListLine() << "       solved for Line/Cable:" << stem;
  ListLine() << "From Quolb:";
  ListLine() << "  - Edit the Transmission Line or Cable.";
  ListLine() << "  - Edit the sub-page.";
  ListLine() << "  - Confirm Line Model Selection and Data.";
  ListLine() << "  - Use the right button menu:";
  ListLine() << "     - Create Input File";
  ListLine() << "     - Solve Constants";
  ListLine() << "     - Check for and Correct Errors.";
}

}  // namespace

ReadStatus read_record(std::int32_t unit, std::string& record) {
  record.clear();
  Unit* u = find(unit);
  if (u == nullptr || u->fp == nullptr) return ReadStatus::end;
  const off_t start = ::ftello(u->fp);
  const TextLine st = read_text_line(u->fp, record);
  if (st == TextLine::too_long) refuse_long_line(*u);
  if (st == TextLine::error) return ReadStatus::error;
  if (st == TextLine::end) return ReadStatus::end;
  if (!record.empty() && record.back() == '\r') record.pop_back();
  u->last = start;
  ++u->line;
  return ReadStatus::ok;
}

ReadStatus read_line72(FixedText<72>& line) {
  std::string record;
  const ReadStatus st = read_record(fnames::iunit, record);
  if (st == ReadStatus::ok) line.assign(record);
  return st;
}

void step_back(std::int32_t unit) {
  Unit* u = find(unit);
  if (u == nullptr || u->fp == nullptr || u->last < 0) return;
  ::fseeko(u->fp, u->last, SEEK_SET);
  u->last = -1;
  --u->line;
}

bool unit_is_open(std::int32_t unit) { return find(unit) != nullptr; }

std::string unit_file_name(std::int32_t unit) {
  const Unit* u = find(unit);
  return u ? u->name : std::string();
}

std::int32_t unit_line_number(std::int32_t unit) {
  const Unit* u = find(unit);
  return u ? u->line : 0;
}

std::FILE* unit_handle(std::int32_t unit) {
  const Unit* u = find(unit);
  return u ? u->fp : nullptr;
}

std::int32_t unit_include_depth(std::int32_t unit) {
  const Unit* u = find(unit);
  return u ? u->include_depth : 0;
}

// Pops the closed places left at the top by close_unit.
void pop_closed_places() {
  auto& s = stack();
  while (!s.empty() && s.back().fp == nullptr) s.pop_back();
  sync_iunit();
  if (!s.empty()) fnames::filename = s.back().name;
}

void close_unit(std::int32_t unit) {
  Unit* u = find(unit);
  if (u == nullptr) return;
  close_stream(*u);
  u->fp = nullptr;
  pop_closed_places();
}

void close_all_units() {
  auto& s = stack();
  while (!s.empty()) {
    close_stream(s.back());
    s.pop_back();
  }
  sync_iunit();
}

namespace detail {
void set_include_depth(std::int32_t depth) {
  if (!stack().empty()) stack().back().include_depth = depth;
}
}  // namespace detail

}  // namespace wakro

void wakro_openfile() {
  const std::string name(fnames::filename.trimmed());
  wakro::refuse_nul_name(name, "OPENFILE");
  std::string why;
  std::FILE* fp = wakro::open_by_mode(name, 1, why);
  if (fp == nullptr) {
    wakro::report_open_failure("WAKRO: Error while opening file for read: ", name, why);
    wakro_quit("OPENFILE", 0);
  }
  wakro::push(fp, name);
}

void wakro_openfile1(std::int32_t& mode) {
  wakro::open_file_named(std::string(fnames::filename.trimmed()), mode);
}

void wakro::open_file_named(const std::string& name, std::int32_t mode) {
  wakro::refuse_nul_name(name, "OPENFILE1");
  std::string why;
  std::FILE* fp = wakro::open_by_mode(name, mode, why);
  if (fp == nullptr) {
    if (mode == 1) {
      wakro::report_open_failure("WAKRO: Error while opening file for read: ", name, why);
      if (const std::size_t dot = wakro::constants_file_dot(fnames::filename); dot > 0)
        wakro::write_constants_advice(dot);
    } else if (mode == 2) {
      wakro::report_open_failure("WAKRO: Error while opening file for write: ", name, why);
    } else {
      wakro::report_open_failure("WAKRO: Error while opening file: ", name, why);
    }
    wakro_quit("OPENFILE1", 0);
  }
  wakro::push(fp, name);
}

void wakro_openfile1(std::int32_t&& mode) {
  std::int32_t m = mode;
  wakro_openfile1(m);
}

void wakro_closefile() {
  auto& s = wakro::stack();
  if (s.empty()) {
    wakro::ListLine() << "WAKRO: No input file is open to close.";
    wakro_quit("CLOSEFILE", 0);
  }
  wakro::close_stream(s.back());
  s.pop_back();
  wakro::sync_iunit();
  if (!s.empty()) fnames::filename = s.back().name;
  wakro::pop_closed_places();
}
