// Refusing a snapshot whose numbers cannot be trusted.
//
// A number read from a snapshot that indexes or sizes an array (a node, branch,
// subsystem, switch, line, directory, pointer, delay or MNA number, or a count)
// is checked against the running case's dimensions before anything uses it.
// Counts that size the reading itself are checked as they are read (archive,
// snapshot); the indices the run uses later are checked once the whole file is
// read (check_restored_state), before the first step.
//
// A refused file gives one error message of two lines: what is wrong, with the
// record and its value, then the snapshot's name; the run stops through
// wakro_quit (tag "READSNP") with a non-zero status.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wakro::snapshot {

// "WAKRO: Snapshot value out of range: <record> = <value> (<low> to <high>)",
// then the file name. Never returns.
[[noreturn]] void refuse(std::string_view record, std::int64_t value, std::int64_t low, std::int64_t high,
                         std::string_view tag = "READSNP");
// The same when value lies outside low..high.
inline void check_range(std::string_view record, std::int64_t value, std::int64_t low, std::int64_t high,
                        std::string_view tag = "READSNP") {
  if (value < low || value > high) refuse(record, value, low, high, tag);
}
// A count: "WAKRO: Snapshot count out of range: <record> = <value> (at most
// <high>)" when it lies outside 0..high.
void check_count(std::string_view record, std::int64_t value, std::int64_t high, std::string_view tag = "READSNP");
[[noreturn]] void refuse_count(std::string_view record, std::int64_t value, std::int64_t high,
                               std::string_view tag = "READSNP");
// A refusal of another kind: the text, then the file name (the snapshot's, or
// the map file given). Never returns.
[[noreturn]] void refuse_text(const std::string& text, std::string_view tag = "READSNP", std::string_view map = {});
// Values that each lie in range but that a start from data refuses together:
// "WAKRO: Snapshot values refused together: <record>: <values> (<why>)", then
// the file name. Never returns.
[[noreturn]] void refuse_together(std::string_view record, std::string_view values, std::string_view why);
// "<what> <k>" (for records: "branch 3", "line 2").
std::string item(std::string_view what, std::int64_t k);

// Every index the run takes from the restored state, checked against the arrays
// it indexes: branch ends, switching modes and the component records branches
// name, transformer windings, the MNA records and the page maps here; and every
// combination of them that a start from data refuses (a branch or winding with
// both ends at ground or at one node, a switch's or source model's record on
// another kind of branch, a subsystem's nodes other than its order, a
// transformer count, core kind or record kind that its data do not give, an MNA
// element with its first pair at ground or off the sparse solver, an MNA record
// past those in use that is not empty); the
// records of the devices (a source's or a valve's) and of the lines (their
// ends, rings, delays, the directory and the ENI client ends) by the checks
// their rooms register (network/record_checks.h). The fill pattern holds every
// entry a start from data marks (network/stamp_pattern.h): each node's
// diagonal and the entries the branches, transformer windings and line ends
// stamp; an entry none of them stamps is taken only as a stamp leaves it (both
// entries of the pair filled); and every filled pair holds one conductance on
// both sides, as every stamp and change of a conductance writes it.
void check_restored_state();

}  // namespace wakro::snapshot
