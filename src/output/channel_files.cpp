// wakro_outputfile and wakro_outputfilebin: the legacy channel files and the
// record file's output step (see channel_files.h).
//
// The channel files are opened through the input-unit stack (wakro_openfile1,
// whose open failures end the run with their own message), so file k lies on
// unit fnames::iunitout + k until mode 2 pops them. The write path of an output
// step formats into a fixed buffer and allocates nothing.
//
// A write the system refuses (a full disk, a file-size limit) ends the run with
// one message naming the file, the time and the system's reason. Every row of a
// file has the same length, so the rows a file holds whole are known from its
// size: what the stream still held is dropped, every channel file is cut back to
// the rows that all of them hold whole (no row is left cut in the middle of a
// number), and the message says up to which time the rows are complete.
#include "output/channel_files.h"

#include <stdio_ext.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/message.h"
#include "diag/outmsg.h"
#include "diag/outmsg_table.h"
#include "diag/quit.h"
#include "files/open_limit.h"
#include "files/textfile.h"
#include "files/units.h"
#include "files/words.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s1.h"
#include "model/e_s4.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "model/snpdat.h"
#include "output/gfield.h"
#include "output/messages.h"
#include "output/output_lock.h"
#include "output/record_bindings.h"

namespace wakro {
namespace {

constexpr std::string_view kTag = "OUTPUTFILE  ";
constexpr std::int32_t kMaxFiles = 999;
constexpr std::int32_t kPerLine = 10;
constexpr double kHuge = 9.9999999999999e98;
constexpr std::size_t kNameWidth = 34;
constexpr std::size_t kTitleBytes = 73;  // the 72-character title and its line end
constexpr std::string_view kOutputFile = "output file";  // in the lock's messages

// Files opened by mode 1 and the pgb index of every channel of the run (0: the
// channel points outside pgb and is written as 0.0).
struct OpenFiles {
  std::int32_t base = 0;  // file k lies on unit base + k
  std::int32_t count = 0;
  std::int32_t channels = 0;
  std::vector<std::int32_t> source;
  std::vector<std::string> names;  // file k's name at k - 1
  std::string description;         // the description file's name
  bool per_run = false;            // named after their run: unlocked when closed
};
OpenFiles g_open;

// One line of a channel file: the time or one blank, then ten fields of one
// blank and 23 columns, and the line end.
char g_line[kGFieldWidth + kPerLine * (1 + kGFieldWidth) + 2];

std::int32_t channel_count() { return std::max(ctrl::lastrun ? outppp::jplt : outppp::mplt, 0); }

std::int32_t file_count(std::int32_t n) { return n <= 0 ? 0 : std::min((n - 1) / kPerLine + 1, kMaxFiles); }

std::int32_t pgb_size() { return e_s4::pgb.allocated() ? e_s4::pgb.extent(1) : 0; }

// The pgb index of channel i of this run, or 0 when it points outside pgb.
std::int32_t channel_source(std::int32_t i) {
  const auto& order = ctrl::lastrun ? outppp::ipgbi : outppp::mpgbi;
  if (!order.allocated() || i < 1 || i > order.extent(1)) return 0;
  const std::int32_t j = order(i);
  return (j >= 1 && j <= pgb_size()) ? j : 0;
}

std::string base_name(std::int32_t run) {
  std::string base = output_base_name();
  if (ctrl::nrun > 1 && outppp::mplt > 0) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "_r%05d", static_cast<int>(run));
    base += suffix;
  }
  return base;
}

// File k of run `run` (k = 0: the description file).
std::string file_name_of_run(std::int32_t run, std::int32_t k) {
  std::string name = base_name(run);
  if (k == 0) return name + ".inf";
  char part[16];
  std::snprintf(part, sizeof part, "_%02d.out", static_cast<int>(k));
  return name + part;
}

}  // namespace

std::string output_base_name() {
  const std::string_view name = fnames::onam.view();
  std::size_t end = name.find_first_of(". ", file_part_start(fnames::onam.trimmed()));
  if (end == std::string_view::npos) end = name_cut(name, kNameWidth - 1);
  return std::string(name.substr(0, end));
}

std::string output_time_text(double t) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", t);
  return text;
}

namespace {

double output_time() {
  const std::int32_t steps = ctrl::zerot != 0 ? ctrl::iii - snpdat::iiisnp : ctrl::iii;
  return static_cast<double>(steps) * e_s1::delt;
}

void clamp_channels() {
  const std::int32_t n = std::min(outppp::jplt, pgb_size());
  for (std::int32_t i = 1; i <= n; ++i) {
    double& v = e_s4::pgb(i);
    if (std::fabs(v) <= 1e-99)
      v = 0.0;
    else if (v >= kHuge)
      v = kHuge;
    else if (v <= -kHuge)
      v = -kHuge;
  }
}

// The system limit on open files must leave room for every channel file, its
// two locks (its name's and the file's own) and the locks already held
// (output_lock.h): the soft limit is raised to the hard one when it is lower
// (the process entry has normally done so).
void make_room_for_files(std::int32_t files) {
  rlimit lim{};
  if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) return;
  const rlim_t wanted = 3 * static_cast<rlim_t>(files) + 2 * held_lock_count() + 64;
  if (lim.rlim_cur != RLIM_INFINITY && lim.rlim_cur < wanted) (void)wakro::raise_open_file_limit();
}

// Opens fnames::filename as a new top unit (an existing file is opened
// without cutting it) and, once the file itself is locked, empties it, as a
// sequential write from its start would; returns its stream.
std::FILE* open_for_writing() {
  wakro_openfile1(3);
  std::FILE* fp = unit_handle(fnames::iunit);
  if (fp != nullptr) lock_file_opened(::fileno(fp), fnames::filename.trimmed());
  struct stat st {};
  if (fp != nullptr && ::fstat(::fileno(fp), &st) == 0 && S_ISREG(st.st_mode)) (void)::ftruncate(::fileno(fp), 0);
  return fp;
}

bool put(std::FILE* fp, std::string_view text) {
  return fp != nullptr && std::fwrite(text.data(), 1, text.size(), fp) == text.size();
}

// Drops what the stream still holds and cuts the file back to its last line
// end, so that a write the system refused leaves no line cut in the middle.
// Every text file this unit writes is emptied when opened, so all it holds is
// its own lines.
void keep_whole_lines(std::FILE* fp) {
  struct stat st {};
  if (fp == nullptr || ::fstat(::fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) return;
  __fpurge(fp);
  char block[512];
  off_t end = st.st_size;
  while (end > 0) {
    const off_t from = std::max<off_t>(end - static_cast<off_t>(sizeof block), 0);
    const ssize_t got = ::pread(::fileno(fp), block, static_cast<std::size_t>(end - from), from);
    if (got != end - from) return;
    const void* last = ::memrchr(block, '\n', static_cast<std::size_t>(got));
    if (last != nullptr) {
      end = from + (static_cast<const char*>(last) - block) + 1;
      break;
    }
    end = from;
  }
  if (end < st.st_size) (void)::ftruncate(::fileno(fp), end);
  (void)::fseeko(fp, end, SEEK_SET);
}

// The text of numbered message 20 on its own: outmsg would head it as a data-file
// error and end the run under its own tag, while a failed output write ends it
// under this routine's tag. The file is left ending on its last whole line.
[[noreturn]] void problem_writing(std::FILE* fp, const std::string& name) {
  const int reason = errno != 0 ? errno : EIO;
  keep_whole_lines(fp);
  fnames::dumlin = name;
  std::string first15(wakro::name_prefix(name, 15));
  first15.resize(15, ' ');
  const OutmsgRow* row = find_outmsg_row(20);
  if (row != nullptr && row->layout != nullptr) write_layout(console(), row->layout, {std::string_view(first15)});
  ListLine() << "Output file " + name + ": " + wakro::system_reason(reason);
  wakro_quit(kTag, 0);
}

// Bytes of one row of channel file k (1-based): the time, its channels, and a
// line end after every ten channels and at the row's end.
std::size_t row_bytes(std::int32_t k) {
  const std::int32_t first = (k - 1) * kPerLine + 1;
  const std::int32_t last = k == g_open.count ? g_open.channels : std::min(k * kPerLine, g_open.channels);
  const auto n = static_cast<std::size_t>(std::max(last - first + 1, 1));
  return kGFieldWidth + n * (1 + kGFieldWidth) + (n - 1) / kPerLine + 1;
}

// Drops what the streams of the channel files still hold and cuts every file
// back to the rows all of them hold whole; the text of the time of the last of
// those rows, or "" when there is none.
std::string keep_whole_rows() {
  std::size_t rows = SIZE_MAX;
  for (std::int32_t k = 1; k <= g_open.count; ++k) {
    std::FILE* fp = unit_handle(g_open.base + k);
    struct stat st {};
    if (fp == nullptr || ::fstat(::fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    __fpurge(fp);
    const auto size = static_cast<std::size_t>(st.st_size);
    rows = std::min(rows, size < kTitleBytes ? 0 : (size - kTitleBytes) / row_bytes(k));
  }
  if (rows == SIZE_MAX) return {};
  for (std::int32_t k = 1; k <= g_open.count; ++k) {
    std::FILE* fp = unit_handle(g_open.base + k);
    const auto end = static_cast<off_t>(std::min<std::size_t>(kTitleBytes + rows * row_bytes(k), SIZE_MAX / 2));
    struct stat st {};
    if (::fstat(::fileno(fp), &st) == 0 && st.st_size > end) (void)::ftruncate(::fileno(fp), end);
    (void)::fseeko(fp, std::min<off_t>(end, st.st_size), SEEK_SET);
  }
  if (rows == 0) return {};
  // The time field of the last whole row of the first file.
  char field[kGFieldWidth + 1] = {};
  const auto at = static_cast<off_t>(kTitleBytes + (rows - 1) * row_bytes(1));
  if (::pread(::fileno(unit_handle(g_open.base + 1)), field, kGFieldWidth, at) != static_cast<ssize_t>(kGFieldWidth))
    return {};
  const char* p = field;
  while (*p == ' ') ++p;
  double t = 0.0;
  const auto r = std::from_chars(p, field + kGFieldWidth, t);
  return r.ec == std::errc() ? output_time_text(t) : std::string(p);
}

// A write of channel file k (1-based) that the system refused for `reason`.
[[noreturn]] void step_write_failed(std::int32_t k, int reason) {
  const std::string whole = keep_whole_rows();
  const std::string name = k >= 1 && k <= static_cast<std::int32_t>(g_open.names.size())
                               ? g_open.names[static_cast<std::size_t>(k - 1)]
                               : std::string();
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine,
                "Error occurred while writing output file " + name + " at time " + output_time_text(output_time()) +
                    " s: " + wakro::system_reason(reason > 0 ? reason : EIO) +
                    (whole.empty() ? std::string("; no row is complete.")
                                   : "; the rows up to t = " + whole + " s are complete in every channel file."));
  wakro_quit(kTag, 0);
}

void write_description(const std::string& name, std::int32_t n) {
  fnames::filename = name;
  std::FILE* fp = open_for_writing();
  const std::int32_t names = outppp::pgbname.allocated() ? outppp::pgbname.extent(1) : 0;
  auto text_of = [&](std::int32_t j) -> std::string_view {
    return (j >= 1 && j <= names) ? outppp::pgbname(j).view() : std::string_view{};
  };
  bool ok = true;
  std::string line;
  for (std::int32_t i = 1; i <= n && ok; ++i) {
    if (ctrl::lastrun) {
      line = text_of(channel_source(i) != 0 ? outppp::ipgbi(i) : 0);
    } else {
      const std::string_view own = text_of(i);
      const std::string_view kept = text_of(channel_source(i) != 0 ? outppp::mpgbi(i) : 0);
      line.assign(own.substr(0, std::min<std::size_t>(15, own.size())));
      line.resize(15, ' ');
      if (kept.size() > 15) line.append(kept.substr(15));
    }
    line.resize(trim_right(line).size());
    line += '\n';
    errno = 0;
    ok = put(fp, line);
  }
  if (ok) errno = 0;
  if (!ok || std::fflush(fp) != 0) problem_writing(fp, name);
  wakro_closefile();
  lock_file_closed(name);
}

void close_files();

void open_files() {
  if (fnames::iunitout != 0) {
    wakro_message(0, 0, wakro::msg::kError, wakro::msg::kSingleLine, "Multiple attempts to open output files");
    wakro_quit(kTag, 0);
  }
  if (g_open.count != 0) close_files();  // left open by a run that never reached its end
  const std::int32_t n = channel_count();
  const std::int32_t files = file_count(n);
  fnames::iunitout = fnames::iunit;
  g_open.base = fnames::iunit;

  g_open.channels = n;
  g_open.source.assign(static_cast<std::size_t>(n) + 1, 0);
  std::int32_t missing = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    g_open.source[static_cast<std::size_t>(i)] = channel_source(i);
    if (g_open.source[static_cast<std::size_t>(i)] == 0) ++missing;
  }
  if (missing > 0)
    wakro_warn(0, 0, wakro::msg::kSingleLine,
               "OUTPUTFILE: " + std::to_string(missing) +
                   " output channel(s) refer to no output value and are written as 0.0");

  release_file_room();  // kept for these files while their locks were taken
  make_room_for_files(files);
  // Each file is locked before it is written (held already when the case was
  // read for the first run that writes them).
  g_open.description = output_file_name(0);
  g_open.per_run = ctrl::nrun > 1 && outppp::mplt > 0;
  lock_output_file(g_open.description, kOutputFile);
  write_description(g_open.description, n);
  g_open.names.clear();
  for (std::int32_t k = 1; k <= files; ++k) {
    const std::string name = output_file_name(k);
    lock_output_file(name, kOutputFile);
    fnames::filename = name;
    std::FILE* fp = open_for_writing();
    g_open.count = k;
    g_open.names.push_back(name);
    errno = 0;
    char title[73];
    std::copy_n(assorc::title.c, 72, title);
    title[72] = '\n';
    if (!put(fp, std::string_view(title, sizeof title)) || std::fflush(fp) != 0) problem_writing(fp, name);
  }
}

void close_files() {
  // Every file is written out first, so a failure still finds all of them open.
  for (std::int32_t k = 1; k <= g_open.count; ++k) {
    std::FILE* fp = unit_handle(g_open.base + k);
    errno = 0;
    if (fp != nullptr && (std::fflush(fp) != 0 || std::ferror(fp) != 0)) step_write_failed(k, errno);
  }
  for (std::int32_t k = g_open.count; k >= 1; --k) {
    const std::int32_t unit = g_open.base + k;
    while (fnames::iunit > unit && unit_is_open(fnames::iunit)) wakro_closefile();
    if (fnames::iunit != unit || !unit_is_open(unit)) continue;
    wakro_closefile();
  }
  // A run's own files are written: their locks go, so that a set holds those
  // of one run at a time. Others stay locked to the end of the set.
  if (g_open.per_run) {
    for (const std::string& name : g_open.names) release_output_file(name);
    release_output_file(g_open.description);
  } else {
    for (const std::string& name : g_open.names) lock_file_closed(name);
  }
  g_open.count = 0;
  g_open.names.clear();
  g_open.description.clear();
}

void write_step() {
  const double t = output_time();
  clamp_channels();
  if (g_open.count == 0) return;
  const std::int32_t n = g_open.channels;
  for (std::int32_t k = 1; k <= g_open.count; ++k) {
    std::FILE* fp = unit_handle(g_open.base + k);
    errno = 0;
    const std::int32_t first = (k - 1) * kPerLine + 1;
    const std::int32_t last = k == g_open.count ? n : std::min(k * kPerLine, n);
    char* p = g_line;
    write_g23_14(t, p);
    p += kGFieldWidth;
    std::int32_t on_line = 0;
    for (std::int32_t i = first; i <= last; ++i) {
      if (on_line == kPerLine) {
        *p++ = '\n';
        if (!put(fp, std::string_view(g_line, static_cast<std::size_t>(p - g_line)))) step_write_failed(k, errno);
        p = g_line;
        on_line = 0;
      }
      const std::int32_t j = g_open.source[static_cast<std::size_t>(i)];
      *p++ = ' ';
      write_g23_14(j != 0 ? e_s4::pgb(j) : 0.0, p);
      p += kGFieldWidth;
      ++on_line;
    }
    *p++ = '\n';
    errno = 0;
    if (!put(fp, std::string_view(g_line, static_cast<std::size_t>(p - g_line))) || std::ferror(fp) != 0)
      step_write_failed(k, errno);
  }
}

void list_files() {
  const std::int32_t files = file_count(channel_count());
  for (std::int32_t k = 1; k <= files; ++k)
    outmsg(output::message::kOutputFile, 0, 0, 0, 0.0, 0.0, output_file_name(k));
  // The description file is written beside them and named too.
  if (files > 0) outmsg(output::message::kOutputFile, 0, 0, 0, 0.0, 0.0, output_file_name(0));
}

}  // namespace

std::string output_file_name(std::int32_t k) { return file_name_of_run(ctrl::mmm, k); }

std::vector<std::string> run_output_file_names(std::int32_t run) {
  const bool last = run == ctrl::nrun;
  if (!last && outppp::mplt <= 0) return {};
  const std::int32_t files = file_count(std::max(last ? outppp::jplt : outppp::mplt, 0));
  std::vector<std::string> names;
  for (std::int32_t k = files > 0 ? 0 : 1; k <= files; ++k) names.push_back(file_name_of_run(run, k));
  return names;
}

std::int32_t open_channel_file_count() { return g_open.count; }

}  // namespace wakro

void wakro_outputfile(std::int32_t mode) {
  using namespace wakro;
  fnames::dumlin.blank();
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;
  if (mode < 0 || mode > 3) {
    wakro_warn(0, 0, wakro::msg::kSingleLine, "OUTPUTFILE:Unknown output file mode!");
    return;
  }
  if (mode == 2) {  // closes what mode 1 opened, whatever the run's count now
    close_files();
    return;
  }
  if (channel_count() == 0) return;
  switch (mode) {
    case 0:
      list_files();
      break;
    case 1:
      open_files();
      break;
    default:
      write_step();
      break;
  }
}

void wakro_outputfilebin(std::int32_t mode) {
  using namespace wakro;
  if (mode != 3) return;
  const double t = output_time();
  if (outppp::jplt < 1) return;
  clamp_channels();
  for (std::int32_t i = 1; i <= outppp::jplt; ++i) {
    std::int32_t j = 0;
    if (outppp::ipgbi.allocated() && i <= outppp::ipgbi.extent(1)) j = outppp::ipgbi(i);
    ofadddatum(i, (j >= 1 && j <= pgb_size()) ? e_s4::pgb(j) : 0.0, t);
  }
}
