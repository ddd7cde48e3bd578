// Initial stored values, control values and their map, output-channel lists and
// the output-file description: wakro_rdstox, wakro_rdcxmapping, wakro_rdmpgb,
// wakro_rdipgb, wakro_rdpgblist, wakro_datastruct. Indexes and counts are checked
// against their tables before anything is stored.
#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "input/case_walk.h"
#include "input/readdata.h"
#include "input/reader_hooks.h"
#include "input/recorditems.h"
#include "input/section_util.h"
#include "files/words.h"
#include "model/dim.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/quolbv3.h"

namespace {

using wakro::FixedText;
using wakro::ListLine;
using wakro::ReadStatus;
using wakro::sections::check_read;
using wakro::sections::fail;

constexpr std::string_view kReadError = "Error while reading data";

// Reads "index value" from the data line and stores value at index of the table
// (1 .. its extent); an index outside gives "<name> Dimension out of bounds in
// MAP file" with no input context.
template <class T>
void indexed_value(wakro::FArray<T, 1>& table, std::string_view name, std::string_view tag) {
  std::int32_t index = 0;
  T value{};
  check_read(wakro::list_read_unit(fnames::iunit, {index, value}), kReadError, tag, 1);
  if (index < 1 || index > table.extent(1))
    fail(std::string(name) + " Dimension out of bounds in MAP file", tag, 0);
  table(index) = value;
}

// The channel list of "MPGBS:" or "IPGBS:": a count (0 .. the size of the channel
// tables) and that many integers.
void channel_list(std::string_view key, std::int32_t& count, wakro::FArray<std::int32_t, 1>& table,
                  std::string_view tag) {
  rdcmnt();
  if (!rdcmnt_in_section(FixedText<72>(key))) return;
  wakro::RecordItems entry(fnames::iunit);
  std::int32_t m = 0;
  check_read(entry.read({m}), kReadError, tag, 1);
  if (m > table.extent(1)) {
    ListLine() << "ERROR: Insufficient PGB array size (ND13):";
    ListLine() << "The output list (" << std::string(key) << ") has " << std::to_string(m)
               << " channels, the case map's PGBS = " << std::to_string(ndde::e_ndim(dim::pgbs))
               << " leaves room for " << std::to_string(table.extent(1)) << ".";
    wakro_quit(tag, 1);
  }
  if (m < 0) {
    ListLine() << "Invalid number of output channels: " << m;
    wakro_quit(tag, 1);
  }
  std::vector<std::int32_t> values(static_cast<std::size_t>(m));
  check_read(entry.read({m, std::span<std::int32_t>(values)}), kReadError, tag, 1);
  count = m;
  for (std::int32_t k = 1; k <= m; ++k) table(k) = values[static_cast<std::size_t>(k - 1)];
}

// One whole record of the top unit, read as text.
std::string whole_record(std::string_view tag) {
  std::string record;
  check_read(wakro::read_record(fnames::iunit, record), kReadError, tag, 1);
  return record;
}

bool is_control_keyword(const std::string& record) {
  const Line72 word = wakro_firstwrd(Line72(record));
  return word == "ENDPAGE" || word == "ENDPAGE:" || word == "ENDCASE" || word == "ENDCASE:";
}

// What a read of a name list or a description met: read (or its section
// ended), or where the case reader stops.
enum class ListRead { read, end_of_file, read_error, wrong_count, more_names, too_long };

ListRead status_of(ReadStatus st) {
  return st == ReadStatus::ok ? ListRead::read : st == ReadStatus::end ? ListRead::end_of_file : ListRead::read_error;
}

// "PGBList:" as the dispatch calls for it, `channels` names (at most `room`),
// each line whole, as text, handed to take(k, name): a name that reads like a
// key, an INCLUDE line or a comment is a name. Only the first line goes
// through the line reader (so that a list of none ends at the next key).
// The dispatch then calls again to find the next key. A data line met on that
// second call means the list holds more names than there are channels (or
// names where none are expected): taking it as a new list would misplace every
// name, or never end.
template <class Take>
ListRead name_list(std::int32_t channels, std::int32_t room, Take take) {
  const bool names_read = rdcmnt_at_data();
  rdcmnt_before_texts();
  if (!rdcmnt_in_section(FixedText<72>("PGBList:"))) return ListRead::read;
  if (names_read) return ListRead::more_names;
  if (channels > room || channels < 1) return ListRead::wrong_count;
  for (std::int32_t k = 1; k <= channels; ++k) {
    std::string record;
    const ReadStatus st = wakro::read_record(fnames::iunit, record);
    if (st != ReadStatus::ok) return status_of(st);
    if (is_control_keyword(record)) {
      wakro::step_back(fnames::iunit);  // the page's or case's end, for the line reader
      return ListRead::wrong_count;
    }
    take(k, record);
  }
  return ListRead::read;
}

// "DATAStruct:": its line count, then that many lines, each whole, as text,
// handed to take(line).
template <class Take>
ListRead description(Take take) {
  rdcmnt();
  if (!rdcmnt_in_section(FixedText<72>("DATAStruct:"))) return ListRead::read;
  std::int32_t n = 0;
  if (const ReadStatus st = wakro::list_read_unit(fnames::iunit, {n}); st != ReadStatus::ok) return status_of(st);
  for (std::int32_t k = 1; k <= n; ++k) {
    std::string record;
    const ReadStatus st = wakro::read_record(fnames::iunit, record);
    if (st != ReadStatus::ok) return status_of(st);
    if (wakro::trim_right(record).size() > 512) return ListRead::too_long;
    take(FixedText<512>(record));
  }
  return ListRead::read;
}

// A name list longer than the case's channels: the map's PGBS is too small for
// the case (or the list has names too many). The names are counted to the end
// of the list, so the message gives the dimension the list asks for. The line
// the dispatch met is the first of them.
[[noreturn]] void more_names_than_channels(const FixedText<72>& key, std::string_view tag) {
  std::int32_t names = outppp::jplt + 1;
  for (;;) {
    (void)whole_record(tag);
    rdcmnt_before_texts();
    if (!rdcmnt_in_section(key)) break;
    ++names;
  }
  ListLine() << "ERROR: Insufficient PGB array size (ND13):";
  ListLine() << "The channel-name list (PGBList:) has " << std::to_string(names) << " names, the case map allows PGBS = "
             << std::to_string(outppp::jplt) << ".";
  // The reader now stands past the list, so no input line is shown.
  wakro_quit(tag, 0);
}

// The case reader's stop where a list does not read.
void stop_unless_read(ListRead r, std::string_view tag) {
  switch (r) {
    case ListRead::read:
      return;
    case ListRead::end_of_file:
      fail("Unexpected End_Of_File", tag, 1);
    case ListRead::read_error:
      fail(kReadError, tag, 1);
    case ListRead::wrong_count:
      fail("PGBList: number of names differs from the number of output channels", tag, 1);
    case ListRead::more_names:
      more_names_than_channels(FixedText<72>("PGBList:"), tag);
    case ListRead::too_long:
      fail("DATAStruct line longer than 512 characters", tag, 1);
  }
}

}  // namespace

void wakro_rdstox() {
  constexpr std::string_view kTag = "RDSTOX";
  for (;;) {
    rdcmnt();
    const Line72 key = fnames::section;
    const bool stored_key = key == "STOL:" || key == "STOI:" || key == "STOF:" || key == "STOC:";
    if (!stored_key) return;
    if (!rdcmnt_at_data()) continue;
    if (key == "STOL:") indexed_value(quolbv3::stol, "STOL", kTag);
    if (key == "STOI:") indexed_value(quolbv3::stoi, "STOI", kTag);
    if (key == "STOF:") indexed_value(quolbv3::stof, "STOF", kTag);
    if (key == "STOC:") indexed_value(quolbv3::stoc, "STOC", kTag);
  }
}

void wakro_rdcxmapping() {
  constexpr std::string_view kTag = "RDCXMAPPING";
  std::int32_t stored = 0;
  for (;;) {
    rdcmnt();
    const Line72 key = fnames::section;
    if (!(key == "CX:") && !(key == "CXMAP:")) return;
    if (!rdcmnt_at_data()) continue;
    if (key == "CX:") {
      indexed_value(quolbv3::cx, "CX", kTag);
      continue;
    }
    wakro::RecordItems entry(fnames::iunit);
    std::int32_t n = 0;
    check_read(entry.read({n}), kReadError, kTag, 1);
    if (n < 1 || n > quolbv3::cxmap.extent(1) - stored)
      fail("CXMAP Dimension out of bounds in MAP file", kTag, 0);
    std::vector<std::int32_t> values(static_cast<std::size_t>(n));
    check_read(entry.read({n, std::span<std::int32_t>(values)}), kReadError, kTag, 1);
    for (std::int32_t v : values) quolbv3::cxmap(++stored) = v;
  }
}

void wakro_rdmpgb() { channel_list("MPGBS:", outppp::mplt, outppp::mpgbi, "RDMPGB"); }

void wakro_rdipgb() { channel_list("IPGBS:", outppp::iplt, outppp::ipgbi, "RDIPGB"); }

void wakro_rdpgblist() {
  stop_unless_read(name_list(outppp::jplt, outppp::pgbname.extent(1),
                             [](std::int32_t k, const std::string& name) { outppp::pgbname(k) = name; }),
                   "RDPGBLIST");
}

void wakro_datastruct() {
  stop_unless_read(description([](const FixedText<512>& line) { wakro::reader_hooks().ofprocessline(line); }),
                   "DATASTRUCT");
}

void wakro::pass_over_name_list(std::int32_t channels) {
  if (name_list(channels, channels, [](std::int32_t, const std::string&) {}) != ListRead::read)
    wakro::skip_section_lines();
}

void wakro::pass_over_description() {
  if (description([](const FixedText<512>&) {}) != ListRead::read) wakro::skip_section_lines();
}

bool wakro::read_output_list_section(const FixedText<72>& key) {
  if (key == "MPGBS:") {
    wakro_rdmpgb();
  } else if (key == "IPGBS:") {
    wakro_rdipgb();
  } else if (key == "PGBList:") {
    wakro_rdpgblist();
  } else if (key == "DATAStruct:") {
    wakro_datastruct();
  } else {
    return false;
  }
  return true;
}
