// The bindings through which engine routines reach the output record file.
//
//   ofprocessline(line)   one description line of a "DATAStruct:" section; the
//                         record file is created (named from fnames::onam) on the
//                         first line, then the line is handed on (its result is
//                         not used)
//   ofadddatum(i, v, t)   one channel value at time t
//   ofgraphicdatum(...)   one graphic parameter value at time t
//   ofnextrun()           a further run of a multiple-run set begins
//
// A record file is created only from description lines: without them the run
// falls back to the legacy channel files (settle_output_type).
//
// Each does nothing unless the output type is the record file
// (fnames::iouttype 1); the last three also do nothing while no record file
// exists. Every failure is silent.
//
// The record file (outputfile.h) registers its entry points here with
// set_record_file_hooks at start-up (use_record_file). Until something is
// registered, no record file ever exists and the bindings do nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wakro {

struct RecordFileHooks {
  bool (*exists)();                             // a record file object exists
  void (*create)(std::string_view outputName);  // create it (may fail silently)
  bool (*process_line)(std::string_view line);
  void (*add_datum)(std::int32_t index, double value, double time);
  void (*add_graphics_datum)(std::int32_t parentKey, std::int32_t id, double value, double time,
                             std::string_view name);
  void (*next_run)();
  void (*close)();           // delete the record file (may be nullptr)
  const char* (*cause)();    // why no record file exists (may be nullptr)
  const char* (*path)();     // the full name of the record file ("" while none; may be nullptr)
  void (*flush)();           // write what the library holds; a failure stops the run (may be nullptr)
  bool (*write_failed)();    // a write of the record file failed (may be nullptr)
};

// Registers the record file's entry points (nullptr: none, the bindings do nothing).
void set_record_file_hooks(const RecordFileHooks* hooks);
// True once a record file has registered its entry points.
bool record_file_available();

// Settles the output type before the first step of the first run: with the
// record-file type and no record file (no writer library, no description line,
// no file that could be opened), the run writes the legacy channel files
// instead, and when output files are wanted one warning names the cause.
void settle_output_type();
// The full name of the record file this run writes; empty while it writes none.
std::string record_file_path();
// Deletes the record file, if any (the process end).
void close_record_file();
// Has the record file, if any, written whole at the end of a run; a write that
// fails stops the run with one message naming the file, the time and the reason.
void flush_record_file();
// True when a write of the record file failed (also one that failed only as it
// closed): the run has not ended well.
bool record_file_write_failed();

}  // namespace wakro

void ofprocessline(std::string_view line);
void ofadddatum(std::int32_t index, double value, double time);
void ofgraphicdatum(std::int32_t parentKey, std::int32_t id, double value, double time,
                    std::string_view name);
void ofnextrun();
