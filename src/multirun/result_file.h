// A result file of a multiple run (the multiple-run output file, an extra
// recording file, a merged file) written a whole record at a time: a heading,
// the row of a run, the statistics, the rows of one rank of a merge. A record
// goes to the system whole as soon as it is complete, so nothing waits in a
// buffer and a reader that opens the file sees every record written.
//
// A write the system refuses (a full disk, a file-size limit) stops the set at
// once, before any later run: the file is cut back to where the record began,
// so it ends with the last whole record and no number is left cut; then one
// error message names the file, the run and the system's reason, and says what
// the file still holds whole (the `kept` text of the write), and the run ends
// under the writer's tag (status 2000):
//   "Error occurred while writing multiple-run file mrun.out in run # 3:
//    File too large; the rows up to run # 2 are complete."
// A close the system refuses stops the same way, saying "the system may not
// have kept all that was written to it". A file that cannot be opened for
// writing (a folder at its name, no free inode, no permission) stops the same
// way too, naming the file, the run and the system's reason:
//   "Unable to open multiple-run file mrun.out in run # 1: Is a directory."
// The files of the merge of a parallel run are written after the last run:
// their messages say "in the merge of the parallel runs" instead of a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wakro::multirun {

// What a file holds whole after a failed write of a run's row: the rows up to
// `unit` + k ("run # 2", "rank 1"), or, for k below 1, no row.
std::string rows_kept(std::string_view unit, std::int32_t k);
// What a file holds whole after a failed write of its statistics.
inline constexpr std::string_view kStatisticsKept = "its rows are complete, its statistics are not written";

class ResultFile {
 public:
  enum class Mode { kNew, kEnd };  // emptied, or continued at its end (created when missing)

  ResultFile() = default;
  ~ResultFile() { release(); }
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  // False, with errno saying why, when the file cannot be opened for writing.
  bool open(const std::string& name, Mode mode);
  // Opens the file for writing, or stops the set (see above).
  void open_or_stop(const std::string& name, Mode mode, std::string_view tag);
  // The messages of this file name the merge of a parallel run, not a run.
  void for_the_merge() { merge_ = true; }
  bool is_open() const { return fd_ >= 0; }

  // Appends `record` whole, or stops the set (see above).
  void write(std::string_view record, std::string_view kept, std::string_view tag);
  // Closes the file, or stops the set (see above).
  void close(std::string_view tag);
  // Closes without a check a file that a stopped set left open: every record
  // it holds was handed to the system whole.
  void release();

  // The stop of a write that the system refused for `reason`.
  [[noreturn]] void refused(int reason, std::string_view kept, std::string_view tag);
  // The stop of an open of the file last named to open() that the system
  // refused for `reason`.
  [[noreturn]] void open_refused(int reason, std::string_view tag);

 private:
  // "in run # k", or the merge.
  std::string when() const;

  int fd_ = -1;
  std::string name_;
  bool merge_ = false;
};

}  // namespace wakro::multirun
