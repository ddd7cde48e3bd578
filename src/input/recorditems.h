// Free-format reads of one entry that may run over several records, for the
// section readers that must check a count before they store the values after it.
//
// An entry starts at the next record of the unit (the record that the line
// reader stepped back over). read() reads its targets from the start of the
// entry; when the records taken so far run out, the next record of the unit is
// appended and the read is tried again. So a reader can first read the count
// alone, check it against its table, and then read the count followed by the
// values, without anything being stored in the table before the check. The
// records taken are consumed whole, as a free-format read from the unit does.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "files/listread.h"

namespace wakro {

class RecordItems {
 public:
  explicit RecordItems(std::int32_t unit) : unit_(unit) {}

  ReadStatus read(std::initializer_list<ListItem> items);
  // The text of the records taken so far, joined by blanks.
  const std::string& text() const { return text_; }

 private:
  std::int32_t unit_;
  std::string text_;
  bool started_ = false;
};

}  // namespace wakro
