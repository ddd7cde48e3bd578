// ResultFile: whole records to a result file of a multiple run, every write
// and the close checked (see result_file.h).
#include "multirun/result_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "files/textfile.h"
#include "model/ctrl.h"
#include "multirun/messages.h"
#include "output/output_lock.h"

namespace wakro::multirun {

namespace {
constexpr std::string_view kCloseKept = "the system may not have kept all that was written to it";
}  // namespace

std::string rows_kept(std::string_view unit, std::int32_t k) {
  if (k < 1) return "no row is complete";
  return "the rows up to " + std::string(unit) + std::to_string(k) + " are complete";
}

bool ResultFile::open(const std::string& name, Mode mode) {
  release();
  // Opened without waiting: a pipe with no reader at the name would hold the
  // open for ever (a stop signal restarts it); it is refused with the
  // system's reason instead. Writes wait as usual once the file is open.
  // A file to empty is opened whole and emptied only once the file itself is
  // locked (output_lock.h): another run writing it under another name keeps it.
  fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
  name_ = name;
  if (fd_ < 0) return false;
  wakro::lock_file_opened(fd_, name);
  struct stat st {};
  const int status = ::fcntl(fd_, F_GETFL);
  if (status < 0 || ::fcntl(fd_, F_SETFL, status & ~O_NONBLOCK) < 0 || ::fstat(fd_, &st) != 0 ||
      (mode == Mode::kNew && S_ISREG(st.st_mode) && ::ftruncate(fd_, 0) != 0)) {
    const int reason = errno;
    release();
    errno = reason;
    return false;
  }
  return true;
}

void ResultFile::open_or_stop(const std::string& name, Mode mode, std::string_view tag) {
  if (!open(name, mode)) open_refused(errno, tag);
}

void ResultFile::write(std::string_view record, std::string_view kept, std::string_view tag) {
  // Where the record begins: the file is cut back to it when the record
  // cannot be written whole (a file that cannot be cut, a pipe, is left).
  const off_t start = ::lseek(fd_, 0, SEEK_END);
  std::size_t done = 0;
  while (done < record.size()) {
    errno = 0;
    const ssize_t n = ::write(fd_, record.data() + done, record.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    const int reason = errno;
    if (start >= 0) (void)::ftruncate(fd_, start);
    refused(reason, kept, tag);
  }
}

void ResultFile::close(std::string_view tag) {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  // The descriptor is released whatever close returns (EINTR included).
  const bool closed = ::close(fd) == 0;
  const int reason = errno;
  wakro::lock_file_closed(name_);
  if (!closed) refused(reason, kCloseKept, tag);
}

void ResultFile::release() {
  if (fd_ >= 0) (void)::close(fd_);
  fd_ = -1;
}

std::string ResultFile::when() const {
  return merge_ ? "in the merge of the parallel runs" : "in run # " + std::to_string(ctrl::mmm);
}

void ResultFile::refused(int reason, std::string_view kept, std::string_view tag) {
  release();
  stop_with({"Error occurred while writing multiple-run file " + name_ + " " + when() + ": " +
             system_reason(reason > 0 ? reason : EIO) + "; " + std::string(kept) + "."},
            tag);
}

void ResultFile::open_refused(int reason, std::string_view tag) {
  release();
  std::string why = system_reason(reason > 0 ? reason : EIO);
  struct stat st {};
  if (reason == ENXIO && ::stat(name_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) why = "a pipe that nobody reads";
  stop_with({"Unable to open multiple-run file " + name_ + " " + when() + ": " + why + "."}, tag);
}

}  // namespace wakro::multirun
