// RecordItems: re-reading an entry's records until its targets are all read.
#include "input/recorditems.h"

#include "files/units.h"

namespace wakro {

ReadStatus RecordItems::read(std::initializer_list<ListItem> items) {
  std::string record;
  if (!started_) {
    const ReadStatus st = read_record(unit_, record);
    if (st != ReadStatus::ok) return st;
    text_ = record;
    started_ = true;
  }
  for (;;) {
    const ReadStatus st = list_read(text_, items);
    if (st != ReadStatus::end) return st;
    const ReadStatus more = read_record(unit_, record);
    if (more != ReadStatus::ok) return more;
    text_ += ' ';
    text_ += record;
  }
}

}  // namespace wakro
