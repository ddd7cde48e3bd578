// The handle records shared by the engine and an output-writer library.
//
// A handle is a record of pointer-sized slots: slot 0 is the handle value
// (non-zero while the handle is open), the other slots are operations the
// library fills. The engine zero-fills every record before handing it over; a
// close operation of our writer zeroes the record again, so a record whose
// value is 0 is never closed twice. Operations return 0 for success.
//
// The writer library exports two C entry points:
//   int OpenRecordFileHandleA(const char* path, unsigned mode,
//                             RecordFileCreationStats* stats, RecordFileHandle* file);
//   int OpenRecordFileHandleW(const wchar_t* path, unsigned mode,
//                             RecordFileCreationStats* stats, RecordFileHandle* file);
// Result 0: the file is open and the record filled. kRecordNameInUse: this
// name cannot be used now (the file is locked or not writable) but another name
// may work; kRecordWriteFailed: the system refused to write the file (errno
// says why); any other value: no name would work (no folder, bad arguments).
// A refused opening leaves the system's reason in errno where the system gave
// one (EWOULDBLOCK for a file another process holds), 0 where it gave none.
//
// An operation that writes (appending, setting an attribute, creating a node or
// series, opening a run, flushing, closing) and fails because the system
// refused to write the file returns kRecordWriteFailed and leaves the system's
// reason (an errno value such as ENOSPC) in errno. The file is then abandoned:
// every later operation on it fails the same way and writes nothing more, and
// what the file held at its last successful flush stays as it was. A writer
// that cannot keep it so (the system refused a write in the middle of the
// file's own structure) returns kRecordWriteTorn instead: the file may not open.
//
// Type codes of attribute and data values: kRecordText (length counts the NUL),
// kRecordDouble (8 bytes).
#pragma once

#include <cstdint>
#include <cwchar>

namespace wakro::record {

inline constexpr int kRecordText = 128;
inline constexpr int kRecordDouble = 33;
inline constexpr int kRecordNameInUse = 1;
inline constexpr int kRecordNoFile = 2;
inline constexpr int kRecordWriteFailed = 3;
inline constexpr int kRecordWriteTorn = 4;
inline constexpr int kNotLoaded = 65535;

using Value = std::uintptr_t;

struct Attributes;
struct Series;
struct Call;
struct Run;
struct File;

// An attribute block of a call or a series (14 slots).
struct Attributes {
  Value handle;
  void* unused1[4];
  int (*GetAttribute)(Attributes*, const char* name, void* buffer, int size, int zero, int type);
  void* unused6;
  int (*SetAttribute)(Attributes*, const char* name, const void* value, int length, int zero, int type);
  void* unused8[5];
  int (*CloseAttributes)(Attributes*);
};

// A data series of one node in one run (16 slots).
struct Series {
  Value handle;
  void* unused1[2];
  int (*OpenAttributes)(Series*, Attributes*);
  int (*GetDomain)(Series*, Series* domain);
  void* unused5[2];
  int (*IsInRun)(Series*, Run*, int* flag);
  void* unused8[2];
  int (*AppendValue)(Series*, const void* value, int length, int zero, int type);
  void* unused11[4];
  int (*CloseSeries)(Series*);
};

// A node of the tree (10 slots).
struct Call {
  Value handle;
  void* unused1;
  int (*OpenAttributes)(Call*, Attributes*);
  int (*GetChildCount)(Call*, int* count);
  int (*GetChildAt)(Call*, int position, Call* child);
  int (*GetChildById)(Call*, int id, Call* child);
  int (*CreateChild)(Call*, int id, Call* child);
  int (*CreateSeriesChild)(Call*, int id, Call* child);
  void* unused8;
  int (*CloseCall)(Call*);
};

// One run of the file (8 slots).
struct Run {
  Value handle;
  void* unused1[4];
  int (*FindSeries)(Run*, Call* node, Series* series);
  int (*CreateSeries)(Run*, Call* node, int type, Series* domain, Series* series);
  int (*CloseRun)(Run*);
};

// The open file (10 slots). Flush writes every value appended so far and the
// file's tree, so that the file as it stands can be read (nullptr: the library
// writes only when it closes).
struct File {
  Value handle;
  void* unused1[5];
  int (*Flush)(File*);
  int (*OpenRun)(File*, int run, Run* runRecord);
  int (*OpenRoot)(File*, Call* root);
  int (*CloseFile)(File*);
};

struct CreationStats {
  std::int32_t a;
  std::int32_t b;
  std::int32_t c;
};

using OpenA = int (*)(const char* path, unsigned mode, CreationStats*, File*);
using OpenW = int (*)(const wchar_t* path, unsigned mode, CreationStats*, File*);

static_assert(sizeof(Attributes) == 14 * sizeof(void*));
static_assert(sizeof(Series) == 16 * sizeof(void*));
static_assert(sizeof(Call) == 10 * sizeof(void*));
static_assert(sizeof(Run) == 8 * sizeof(void*));
static_assert(sizeof(File) == 10 * sizeof(void*));

}  // namespace wakro::record
