// The stack of open input files ("units").
//
// Every text input is read from a file opened on a stack of unit numbers whose
// base is 49: the first file opened is unit 50, a file opened while it is open
// unit 51, and so on. fnames::iunit always names the unit at the top (49 when no
// file is open); every open pushes, every close pops.
//
// A record is one line of the file without its line end; a trailing '\r' (files
// written on Windows) is dropped before anything else sees the record. A record
// longer than wakro::kMaxTextLine characters (files/textfile.h) ends the run
// with "WAKRO: Line too long: <file>, line <n>, is longer than ... characters"
// (tag "READRECORD"), so that a file without line ends cannot fill the memory.
// The line reader takes the first 72 characters of a record; section readers
// that need longer records read them whole with read_record. After a record has been read,
// step_back makes the next read return that same record again.
//
// Opening (sets fnames::filename's file on a new unit; a failure reports through
// wakro_message, "<text>: <name>: <why>", and ends in wakro_quit; why is the
// system's reason, or "is a folder" / "is not a regular file"):
//   wakro_openfile()        an existing regular file, for reading (tag "OPENFILE");
//                           a folder, a device or a pipe is refused without
//                           waiting (files/textfile.h)
//   wakro_openfile1(mode)   1 as wakro_openfile, 2 a new file (it must
//                           not exist) for writing, any other mode a file opened
//                           whether or not it exists, without cutting what it
//                           holds; written, it ends where the last write ended
//                           (tag "OPENFILE1"); a missing line- or
//                           cable-constants file (".tlo", ".clo") first gets the
//                           advice how to solve it
//   wakro_closefile()       closes the top unit and pops it (tag "CLOSEFILE"
//                           when no file is open)
// A '\' in a name is taken as the '/' that separates folders here.
// After a close, fnames::filename names the file now at the top again, so that a
// later message shows the file actually being read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/fixedtext.h"

namespace wakro {

enum class ReadStatus { ok, end, error };

inline constexpr std::int32_t kUnitBase = 49;

// The next record of an open unit (end: the file has no more records, or the unit
// is not open; error: the system could not read the file).
ReadStatus read_record(std::int32_t unit, std::string& record);
// The next record of the top unit as a 72-character data line.
ReadStatus read_line72(FixedText<72>& line);
// Makes the next read of the unit return the record read last.
void step_back(std::int32_t unit);

bool unit_is_open(std::int32_t unit);
// Name with which the unit was opened ("" when it is not open).
std::string unit_file_name(std::int32_t unit);
// Line number (from 1) of the record read last from the unit; 0 before the
// first read or when the unit is not open. A step back counts the line again.
std::int32_t unit_line_number(std::int32_t unit);
// The system handle of an open unit (nullptr when not open), for writers of
// files opened with wakro_openfile1.
std::FILE* unit_handle(std::int32_t unit);
// Number of INCLUDE files nested under the unit (0 for a file not opened by an
// INCLUDE line).
std::int32_t unit_include_depth(std::int32_t unit);

// Closes one unit, which need not be at the top: the unit that a block opened
// and keeps open while other files are opened and closed above it. A unit below
// the top is closed at once but keeps its place (reads of it find the end) so
// that the numbers of the units above stay valid; closed places at the top are
// popped, here and by every close. An unknown unit is left alone.
void close_unit(std::int32_t unit);

// Closes every open unit (the process entries and tests after a fatal stop);
// fnames::iunit returns to the base.
void close_all_units();

// wakro_openfile1 for a name taken whole, however long: a name longer than the
// 72 characters of fnames::filename opens all the same (the caller leaves in
// fnames::filename what the messages show of it).
void open_file_named(const std::string& name, std::int32_t mode);

namespace detail {
// Records the include depth of the top unit (set by the line reader after it
// opened an INCLUDE file).
void set_include_depth(std::int32_t depth);
}  // namespace detail

}  // namespace wakro

void wakro_openfile();
void wakro_openfile1(std::int32_t& mode);
void wakro_openfile1(std::int32_t&& mode);
void wakro_closefile();
