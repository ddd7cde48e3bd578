// The lock on a run's output names (see output_lock.h).
//
// A lock file is taken with open(O_CREAT) and flock(LOCK_EX | LOCK_NB). Its
// holder removes it before releasing the lock, so a second process may have
// locked a file that no longer has a name: after locking, the name must still
// lead to the file locked, or the taking starts again with the new file.
#include "output/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/ctrl.h"
#include "model/fnames.h"
#include "model/outppp.h"
#include "output/channel_files.h"

namespace wakro {
namespace {

constexpr int kTakeAttempts = 16;

struct Held {
  std::string path;  // absolute
  int fd = -1;
};
std::vector<Held> g_held;

enum class Take { taken, busy, impossible };

Take take(const std::string& path, int& fd) {
  for (int attempt = 0; attempt < kTakeAttempts; ++attempt) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Take::impossible;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int reason = errno;
      ::close(fd);
      return reason == EWOULDBLOCK ? Take::busy : Take::impossible;
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) == 0 && ::stat(path.c_str(), &named) == 0 && locked.st_dev == named.st_dev &&
        locked.st_ino == named.st_ino)
      return Take::taken;
    ::close(fd);  // its holder removed it as we opened it: take the new one
  }
  return Take::impossible;
}

// The part of a name up to the first '.' of its file-name part (the folder part
// is kept whole); a '\' separates folders too.
std::string stem(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  const std::size_t part = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(name.substr(0, name.find('.', part)));
}

std::string absolute_name(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(name, ec);
  return ec ? name : p.lexically_normal().string();
}

// Takes the lock of one name; `files` says which files it guards.
void lock_name(const std::string& base, const std::string& files) {
  if (base.empty()) return;
  std::string name = base + ".lock";
  std::replace(name.begin(), name.end(), '\\', '/');
  const std::string path = absolute_name(name);
  if (std::any_of(g_held.begin(), g_held.end(), [&](const Held& h) { return h.path == path; })) return;
  int fd = -1;
  switch (take(path, fd)) {
    case Take::taken:
      g_held.push_back(Held{path, fd});
      return;
    case Take::impossible:
      return;
    case Take::busy:
      release_output_names();
      ListLine() << "ERROR: Another run is writing the output files " + files + " (it holds the lock " + path +
                        "): this run is refused and writes nothing.";
      wakro_quit("OUTPUTLOCK", 0);
  }
}

}  // namespace

void lock_output_names() {
  if (outppp::outfil != 0) {
    const std::string base = output_base_name();
    lock_name(base, base + "_01.out ..., " + base + ".inf and " + base + ".qbout");
  }
  if (outppp::snpfil != 0) {
    const std::string snap = stem(fnames::snam.trimmed());
    lock_name(snap, snap + ".snp (and its numbered snapshots)");
  }
  if (ctrl::nrun > 1) {
    const std::string runs = stem(fnames::mnam.trimmed());
    lock_name(runs, runs + " (the multiple-run files)");
  }
}

void release_output_names() {
  for (const Held& h : g_held) {
    ::unlink(h.path.c_str());
    ::close(h.fd);
  }
  g_held.clear();
}

}  // namespace wakro
