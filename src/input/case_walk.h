// One walk over a case's map file (and its pages), as the case reader reads it.
//
// Every pass that reads a map file walks it here: the case reader itself, the
// line-dimension pass that sizes the line arrays before the case is read, and
// the passes of a snapshot that read the map file again (its case identity and
// page records, and the merge of a changed map on resume). So each takes what
// the case reader takes and nothing it skips:
//   - the opening: the first "DIMENSIONS:" section, then (skipped) any
//     "DIMENSIONS:" sections right after it, then the "PARAMETERS:" section;
//     a repeated key in either keeps its last line, as their readers do;
//   - then the sections up to "ENDCASE:", by the case reader's dispatch: a
//     "MAP:" line in the map file (or a file it INCLUDEs) is a page entry,
//     elsewhere it is reported and skipped; the sections of the reader's table
//     (section_readers) are read by their readers, or passed over as their
//     readers read them (the channel names of "PGBList:" and the description
//     lines of "DATAStruct:" whole, as text, so that a name that reads like a
//     key or an INCLUDE line is a name); "DATADSD:", "DATADSO:", "IGNORE:"
//     and every key the reader does not know (a later "DIMENSIONS:" or
//     "PARAMETERS:" among them) are skipped with wakro_nextkey, which follows
//     no INCLUDE line in them; an INCLUDE line elsewhere is followed, its lines
//     standing in place of the INCLUDE line (section_util.h).
// A pass says what it does with the lines the case reader reads (CaseWalk).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/readdata.h"
#include "model/fixedtext.h"

namespace wakro {

// A section the case reader reads: its key, its reader, and how a pass that
// keeps nothing of it goes over its lines, reading them as the reader reads
// them (where the reader would stop the run, the pass goes on to the next key
// with the line reader: the case reader, or the map merge, reports it).
// `channels` is the map's channel count, the names a "PGBList:" section holds.
// The one table of them serves the case reader's dispatch, the walk and the
// reader's check of unknown keys, so that every key the walk hands on has its
// reader.
struct SectionReader {
  std::string_view key;
  void (*read)(PageContext& page);
  void (*pass_over)(std::int32_t channels);
};
std::span<const SectionReader> section_readers();
// The table's entry of `key`, or nullptr.
const SectionReader* section_reader(const FixedText<72>& key);

// Where a walk stopped short of "ENDCASE:", at a place where the case reader
// refuses the map: what the map lacks there (empty: the walk read on to
// "ENDCASE:"), and the file and line the walk had reached.
struct WalkEnd {
  std::string_view lack;
  std::string file;
  std::int32_t line = 0;
  bool complete() const { return lack.empty(); }
};

class CaseWalk {
 public:
  virtual ~CaseWalk() = default;
  CaseWalk() = default;
  CaseWalk(const CaseWalk&) = delete;
  CaseWalk& operator=(const CaseWalk&) = delete;

  // Whether the walk opens the page data files (the case reader and the line
  // pass do; a pass that wants only the map file's own lines does not).
  virtual bool enters_pages() const { return true; }
  // The routine tag of the walk's own fatal stops.
  virtual std::string_view tag() const { return "READDATA"; }
  // Whether the walk reports what it skips on the console (only the case
  // reader does, so that nothing is said twice).
  virtual bool reports_skips() const { return false; }
  // A data line of the first "DIMENSIONS:" section, and of the "PARAMETERS:"
  // section that follows (walks of the whole map file only: the case reader
  // reads the opening with its own readers).
  virtual void dimension_line(const FixedText<72>& /*line*/) {}
  virtual void parameter_line(const FixedText<72>& /*line*/) {}
  // The opening has been read; the sections follow.
  virtual void opening_read() {}
  // A "MAP:" entry of the map file: reads the entry's lines (the line reader
  // stands after the "MAP:" line, fnames::filename names the page). False
  // when they do not read: the case reader stops there, and so does the walk.
  // By default the entry is read past (read_page_entry, at most NNODES nodes).
  virtual bool page_entry(PageContext& page);
  // A section the case reader reads, its key in fnames::section: reads on
  // (the walk calls again while the key stays, as the reader's dispatch does;
  // a call that reads nothing of the input ends the run). By default its lines
  // are passed over as its reader reads them (SectionReader::pass_over).
  virtual void section(const FixedText<72>& key, PageContext& page);
  // A key the case reader does not know, before its section is skipped.
  virtual void unknown_key(const FixedText<72>& /*key*/) {}

  // The map's channel count: set by walk_map_file from the map's first
  // "DIMENSIONS:" section (its last "PGBS" line, as the dimension reader reads
  // it); otherwise the case's (outppp::jplt).
  std::int32_t channels() const;

 private:
  friend WalkEnd walk_map_file(const std::string& path, CaseWalk& walk);
  std::optional<std::int32_t> channels_;
};

// The sections from the key in fnames::section to "ENDCASE:" (the case
// reader's dispatch). `map_unit` is the unit of the map file. Returns at
// "ENDCASE:", or when a page entry does not read, or when the map file itself
// ends (only where reads below the map file are barred, walk_map_file).
WalkEnd walk_sections(CaseWalk& walk, std::int32_t map_unit);

// From the key that ended the first "DIMENSIONS:" section: the "DIMENSIONS:"
// sections right after it skipped, the "PARAMETERS:" section, then the
// sections. Reads no further when no "PARAMETERS:" section follows (the case
// reader refuses such a map).
WalkEnd walk_after_dimensions(CaseWalk& walk, std::int32_t map_unit);

// The whole map file at `path`, opened above the files open now, none of whose
// reads it disturbs: fnames' reader state is given back, nothing is echoed, and
// no read goes below the map file. A map that does not begin with
// "DIMENSIONS:" is walked no further. The sections the case reader may do
// without (the channel lists, the output description, every page section) are
// no lack; a map the case reader refuses is one.
WalkEnd walk_map_file(const std::string& path, CaseWalk& walk);

// Skips the "DIMENSIONS:" sections from the key in fnames::section on, as any
// skipped section is skipped (wakro_nextkey: no INCLUDE line in them is
// followed), ending at the first other key. The case reader calls it after the
// first section on every run, as the walk does.
void skip_repeated_dimensions();

// Passes over the data lines of the section whose key is in fnames::section,
// up to the next key, as a section reader reads them (an INCLUDE line is
// followed).
void skip_section_lines();

// A page entry's lines as wakro_nodelkup reads them: the node line "S N n1 ..
// nN", the subsystem line "K M s1 .. sN" when S is 0 and N at least 1, and the
// line "send recv". At most `max_nodes` nodes: false, with the entry read no
// further, when N is more (or negative) or a line does not read.
struct PageEntry {
  std::int32_t subsystem = 0;
  std::vector<std::int32_t> nodes;
};
bool read_page_entry(PageEntry& entry, std::int64_t max_nodes);

}  // namespace wakro
