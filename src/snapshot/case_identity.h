// What identifies the case a snapshot was written by.
//
// A snapshot carries, in comment lines between its first rule and its
// dimensions ("! CASE: <field> = <value>", which a reader without them skips),
// the fields of its case's map file that differ between cases and stay the same
// for one case: the title, the page count, the subsystems' node counts
// ("SUBSYSDIM:") and the pages' data files ("MAP:" entries), in the map's order
// (the subsystem, branch and node counts the map merge compares with the
// snapshot's dimensions), each as the case reader reads the map (read_map).
// On resume the same fields are taken from the map file the snapshot names and
// compared: a snapshot of another case is refused before anything of the map is
// merged. A snapshot without the block (written before it existed) is read as
// before; a map that is not found leaves nothing to compare.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace wakro::snapshot {

// Field name and value, in the map's order.
using CaseIdentity = std::vector<std::pair<std::string, std::string>>;

// The "! CASE:" lines of a snapshot's text (empty for a snapshot without them);
// a line not of the form "<field> = <value>" refuses the snapshot.
CaseIdentity identity_of_snapshot(const std::string& text);
// The block's lines, each ending in a newline.
std::string identity_lines(const CaseIdentity& id);

// The node record of each page ("MAP:" entry) of a map file, as the case
// reader lays it in the page map: its subsystem entry (0 in the newer style)
// and its global nodes.
struct PageNodes {
  std::int32_t subsystem = 0;
  std::vector<std::int32_t> nodes;
};
// A map file read as the case reader reads it, on the walk it shares with the
// case reader (input/case_walk.h: the opening sections it reads, the sections
// it skips, the INCLUDE files it follows, the TITLE and NPAGES of the last line
// it keeps): the identity fields in the map's order and the pages' node
// records, up to the first page entry that does not read (the case reader
// refuses such a map). The page data files are not read. Nothing is found
// when the path names no regular file; a map the line reader cannot read to
// its end stops the run as the case reader stops.
struct MapReading {
  bool found = false;
  CaseIdentity identity;
  std::vector<PageNodes> pages;
};
MapReading read_map(const std::string& path);

// The identity the next snapshot carries: that of the run's map file when it can
// be read, otherwise the one the snapshot this run resumed from carried.
CaseIdentity identity_to_write(const std::string& map);
// The case the program itself is built for (its name), which its snapshots
// carry as the field PROGRAM; a resume by a program built for another case is
// refused before anything of the snapshot is used ("WAKRO: Snapshot of another
// case: PROGRAM = <name>, this program's <name>"). A program that names none
// (a test's) compares nothing; a blank PROGRAM line is refused.
void set_program_case(const std::string& name);
// Keeps the identity read from the snapshot being resumed (for the run's later
// snapshots), and refuses the snapshot when the map file's differs ("WAKRO:
// Snapshot of another case: <field> = <value>, the map file's <value>").
void remember_read_identity(const CaseIdentity& id);
// True when the snapshot being resumed carries identity lines (every such file
// also carries the chatter-removal block).
bool read_identity_lines();
void check_program_case();
// The fields compare as the case reader reads them: the title by its text
// (quoted or not), the page file names without their quotes.
void check_identity_against_map(const std::string& map);
// The title of the snapshot being resumed, whole, from its identity line (the
// parameter line holds its first 50 characters); nothing without one.
void restore_title_from_identity();

}  // namespace wakro::snapshot
