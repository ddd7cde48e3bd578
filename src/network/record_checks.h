// The checks of the element rooms' own store records, called by the snapshot
// reader on a restored state before the first step.
//
// A device or line model knows the layout of the records it keeps (its slots in
// the stores, the line tables and directory); the reader knows only the file and
// how a refusal reads. So each element room registers a routine that checks its
// own records (use_device_services, use_line_services), and the reader hands
// each routine a RecordChecker that refuses the file with the reader's message
// when a value lies outside what the case can take.
//
// The defaults refuse every record they are asked about: a record that no room
// checks cannot be trusted (a case without switches, sources or lines never asks).
// A room whose elements stamp the conductance matrix names the entries they
// stamp (RecordChecker::stamped), so that the reader finds every entry of the
// restored fill pattern that a start from data would mark.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wakro {

// How a check refuses: none returns.
struct RecordChecker {
  // "<record> = <value> (<low> to <high>)".
  void (*refuse_range)(std::string_view record, std::int64_t value, std::int64_t low, std::int64_t high);
  // "<record> = <value> (at most <high>)".
  void (*refuse_count)(std::string_view record, std::int64_t value, std::int64_t high);
  // "<record> = <value> (<expected> from its line)": a real the case gives
  // otherwise.
  void (*refuse_real)(std::string_view record, double value, double expected);
  // "Snapshot values refused together: <record>: <values> (<why>)": values
  // each in range that the case cannot take as a pair.
  void (*refuse_together)(std::string_view record, std::string_view values, std::string_view why);
  // The entries of the fill pattern of subsystem ss that a stamp among `nodes`
  // marks (stamp_pattern.h), which a start from data gives the restored
  // pattern: "Snapshot values refused together: <record>: <values>, fill
  // pattern row <i> column <j> = 0 (<why>)" at the first one missing. The
  // nodes must be nodes of ss (checked before).
  void (*stamped)(std::string_view record, std::string_view values, std::int32_t ss,
                  std::span<const std::int32_t> nodes, std::string_view why);

  void range(std::string_view record, std::int64_t value, std::int64_t low, std::int64_t high) const {
    if (value < low || value > high) refuse_range(record, value, low, high);
  }
  void count(std::string_view record, std::int64_t value, std::int64_t high) const {
    if (value < 0 || value > high) refuse_count(record, value, high);
  }
  // The slots first .. first + size - 1 of a store of the given extent.
  void slots(std::string_view record, std::int64_t first, std::int32_t size, std::int32_t extent) const {
    range(record, first, 1, std::int64_t{extent} - size + 1);
  }
  // A node of subsystem ss (0: ground): 0 .. e_s0::mbus(ss).
  void node(std::string_view record, std::int64_t node, std::int32_t ss) const;
  // A subsystem: 1 .. int2::nmat.
  void subsystem(std::string_view record, std::int64_t ss) const;
};

// The extent of a store or table (0 while it is not allocated).
template <class A>
std::int32_t extent_of(const A& a) {
  return a.allocated() ? a.extent(1) : 0;
}

// "<what> <k>" (for records: "branch 3", "line 2").
std::string record_item(std::string_view what, std::int64_t k);
// "<what> of subsystem <ss>".
std::string record_of_subsystem(std::string_view what, std::int32_t ss);
// The nodes as a list: "4 0 28 0".
std::string record_nodes(std::span<const std::int32_t> nodes);

struct RecordCheckHooks {
  // The record in the integer store at stori(t) > 0 that branch b of subsystem
  // ss names (THISBR): a power-electronic switch's (every switching branch's
  // record), and a voltage source model's.
  void (*switch_record)(const RecordChecker& c, std::int32_t ss, std::int32_t b, std::int32_t t);
  void (*source_record)(const RecordChecker& c, std::int32_t ss, std::int32_t b, std::int32_t t);
  // The lines of every model: their ends, rings, delays and segments, and the
  // line directory with the ENI client ends, and the entries each line end
  // stamps.
  void (*lines)(const RecordChecker& c);
};

RecordCheckHooks& record_check_hooks();
// Puts every hook back to its default.
void reset_record_check_hooks();

}  // namespace wakro
