// rdcmnt, wakro_nextkey and wakro_gotosection: the line reader and the two
// routines that move through sections with it.
#include "files/linereader.h"

#include <cerrno>
#include <string>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/textfile.h"
#include "files/units.h"
#include "files/words.h"
#include "model/fnames.h"
#include "model/options.h"

namespace {

// While wakro_gotosection searches (or an EndpageFloor lives), an ENDPAGE of the
// searched file (or of a file below it) ends the reads instead of handing them
// to the file below, whose sections belong to somebody else. 0: none.
std::int32_t g_search_unit = 0;

// The last rdcmnt stopped at a data line.
bool g_at_data = false;

// The file being read names the error: after a "MAP:" key fnames::filename
// already names the page to open, while the lines still come from the map file.
void name_the_file_read() {
  const std::string name = wakro::unit_file_name(fnames::iunit);
  if (!name.empty()) fnames::filename = name;
}

[[noreturn]] void end_of_file() {
  name_the_file_read();
  wakro::ListLine() << "End_Of_File while reading data file " << fnames::filename.view();
  wakro_quit("RDCMNT", 1);
}

[[noreturn]] void read_error(int error) {
  name_the_file_read();
  wakro::ListLine() << "Error Reading Unit# " << fnames::iunit;
  wakro::ListLine() << "Likely file names are: " << fnames::filename.view() << fnames::tnam.view();
  wakro::ListLine() << "Reason: " << wakro::system_reason(error);
  wakro_quit("RDCMNT", 1);
}

void open_include(const Line72& line) {
  const Line72 name = wakro_inclname(line);
  if (name.is_blank()) {
    wakro::ListLine() << "INCLUDE line without a file name";
    wakro_quit("RDCMNT", 1);
  }
  const std::int32_t depth = wakro::unit_include_depth(fnames::iunit) + 1;
  if (depth > kMaxIncludeDepth) {
    wakro::ListLine() << "WAKRO: INCLUDE nesting too deep: " << name.trimmed();
    wakro_quit("RDCMNT", 1);
  }
  fnames::section = "INCLUDE:";
  fnames::filename = name;
  wakro_openfile();
  wakro::detail::set_include_depth(depth);
}

// A 'C' or 'c' in column 1 makes a comment only where the lines that follow are
// not texts read whole (a channel name may begin with C).
void read_to_next_line(bool column_one_comments);

bool is_comment(const Line72& line, const Line72& key, bool column_one_comments) {
  return (column_one_comments && (line[0] == 'C' || line[0] == 'c')) || key[0] == '!' || key[0] == '/' ||
         key.is_blank();
}

}  // namespace

bool rdcmnt_at_data() { return g_at_data; }

bool rdcmnt_in_section(const wakro::FixedText<72>& key) {
  return g_at_data && fnames::section == key;
}

void rdcmnt() { read_to_next_line(true); }

void rdcmnt_before_texts() { read_to_next_line(false); }

namespace {

void read_to_next_line(bool column_one_comments) {
  g_at_data = false;
  for (;;) {
    Line72 line;
    const wakro::ReadStatus st = wakro::read_line72(line);
    if (st == wakro::ReadStatus::end) end_of_file();
    if (st == wakro::ReadStatus::error) read_error(errno);
    if (options::echo) wakro::ListLine() << line.view();
    fnames::dumlin = line;

    const Line72 key = wakro_firstwrd(line);
    if (key == "ENDPAGE" || key == "ENDPAGE:") {
      fnames::section = "ENDPAGE:";
      if (g_search_unit > 0 && fnames::iunit <= g_search_unit) return;
      wakro_closefile();
      continue;
    }
    if (key == "ENDCASE" || key == "ENDCASE:") {
      fnames::section = "ENDCASE:";
      return;
    }
    if (key.view().substr(0, 7) == "ENDFILE") {
      fnames::section = "ENDFILE:";
      return;
    }
    if (key == "INCLUDE") {
      if (fnames::section == "NEXTKEY:") continue;
      open_include(line);
      return;
    }
    if (key == "MAP:") {
      fnames::section = "MAP:";
      fnames::filename = wakro_secondwrd(line);
      return;
    }
    if (wakro_sectname(key)) {
      fnames::section = key;
      return;
    }
    if (is_comment(line, key, column_one_comments)) continue;
    wakro::step_back(fnames::iunit);
    g_at_data = true;
    return;
  }
}

}  // namespace

void wakro_nextkey() {
  fnames::section = "NEXTKEY:";
  for (;;) {
    rdcmnt();
    if (!g_at_data || !(fnames::section == "NEXTKEY:")) return;
    std::string record;
    const wakro::ReadStatus st = wakro::read_record(fnames::iunit, record);
    if (st == wakro::ReadStatus::end) {
      wakro::ListLine() << "NEXTKEY: Unexpected End_Of_File";
      return;
    }
    if (st == wakro::ReadStatus::error) {
      wakro::ListLine() << "NEXTKEY: Error while reading data";
      return;
    }
  }
}

wakro::EndpageFloor::EndpageFloor(std::int32_t floor) : saved_(g_search_unit) { g_search_unit = floor; }

wakro::EndpageFloor::~EndpageFloor() { g_search_unit = saved_; }

void wakro_gotosection() {
  // Restores the search mark however the search ends (a fatal stop included).
  const wakro::EndpageFloor mark(fnames::iunit);
  const Line72 wanted = fnames::section;
  fnames::section.blank();
  rdcmnt();
  for (;;) {
    if (fnames::section == "ENDPAGE:") {
      wakro::ListLine() << "ERROR: Could not find section: " << wanted.view();
      wakro_quit("GOTOSECTION", 1);
    }
    if (fnames::section == wanted) return;
    wakro_nextkey();
  }
}
