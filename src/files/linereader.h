// The data-line reader: comments, section keys, control keywords and include
// files of every text input.
//
// rdcmnt reads on from the top unit (fnames::iunit) to the next section key,
// control keyword or data line. Each line read is taken as 72 characters, echoed
// to the console when options::echo is set, and kept in fnames::dumlin. By its
// first word (words.h) the line is
//   "ENDPAGE" / "ENDPAGE:"  section "ENDPAGE:"; the file is closed and reading
//                           goes on in the file below
//   "ENDCASE" / "ENDCASE:"  section "ENDCASE:"; returns
//   "ENDFILE..."            section "ENDFILE:"; returns, the file stays open
//   "INCLUDE"               ignored while a section is skipped (section
//                           "NEXTKEY:"); otherwise section "INCLUDE:", the named
//                           file is opened on the stack and the reads go on in it
//                           (at most 20 INCLUDE files nested)
//   "MAP:"                  section "MAP:", fnames::filename := the second word
//   a section key           section := the key
//   a comment               'C' or 'c' in column 1, a first word starting with '!'
//                           or '/', or a blank line: skipped
//   anything else           a data line: the unit steps back so that the caller's
//                           next read gets this line; section is unchanged
// Comparisons are exact and case-sensitive. End of file and read errors end in
// wakro_quit with tag "RDCMNT" (mode 1); a read with no file open is an end of
// file.
#pragma once

#include <cstdint>

#include "model/fixedtext.h"

inline constexpr std::int32_t kMaxIncludeDepth = 20;

void rdcmnt();
// rdcmnt before a list of texts read whole (channel names): a line with 'C' or
// 'c' in column 1 is a data line there, not a comment, so a first name that
// begins with C is not lost.
void rdcmnt_before_texts();
// True when the last rdcmnt returned at a data line (the section unchanged and
// the line waiting to be read), false when it returned at a key or keyword.
bool rdcmnt_at_data();
// True when the last rdcmnt returned at a data line of the section `key`: the
// section goes on. False at any key, and at a data line after the section has
// changed (the lines of the map file that follow a page's "ENDPAGE").
bool rdcmnt_in_section(const wakro::FixedText<72>& key);
// Skips the rest of the current section: returns when a new key has been read.
void wakro_nextkey();
// Moves forward in the top file to the section whose key fnames::section holds on
// entry; the file is then positioned at the section's first data line. A key that
// does not follow in this file ends in wakro_quit with tag "GOTOSECTION".
void wakro_gotosection();

namespace wakro {
// While it lives, an "ENDPAGE" line read from the unit `floor` (or below it)
// ends the read there, the file left open, instead of handing the reads to the
// file below: a walk over a map file opened above other files never reads
// theirs.
class EndpageFloor {
 public:
  explicit EndpageFloor(std::int32_t floor);
  ~EndpageFloor();
  EndpageFloor(const EndpageFloor&) = delete;
  EndpageFloor& operator=(const EndpageFloor&) = delete;

 private:
  std::int32_t saved_;
};
}  // namespace wakro
