// The reader of the "BRANCHES:" section of a page data file.
//
// The case reader of the input room reaches wakro_rdbrs through its reader hooks
// (input/reader_hooks.h): use_branch_reader registers it, and every program or
// test that reads a case calls it first (the application does so with the
// network services). Without it the case reader stops at the first "BRANCHES:"
// section with a message naming the missing reader.
#pragma once

#include <cstdint>
#include <string>

#include "model/fixedtext.h"

// Reads the lines of the section up to the next key; position is the page's
// record in the node map.
void wakro_rdbrs(std::int32_t position);
// Decodes one branch line: clears branch b of ss, then reads its nodes, its type
// word (blanked out of the line) and the values the type letters take in order.
void wakro_brparm(wakro::FixedText<255>& line, std::int32_t ss, std::int32_t b, std::int32_t& from,
                  std::int32_t& to, double& r, double& l, double& c, double& e, double& i0,
                  double& v);
// The two node numbers of a branch line.
void wakro_brgetn(const wakro::FixedText<255>& line, std::int32_t& from, std::int32_t& to);

namespace wakro {

// Registers wakro_rdbrs as the case reader's "BRANCHES:" reader.
void use_branch_reader();

// The two ends a branch may not have: both at ground, or both at one node. The
// reader refuses such a branch, and so does the snapshot reader.
enum class BranchEndsFault { none, grounded, shorted };
constexpr BranchEndsFault branch_ends_fault(std::int32_t from, std::int32_t to) {
  if (from == 0 && to == 0) return BranchEndsFault::grounded;
  return from == to ? BranchEndsFault::shorted : BranchEndsFault::none;
}
// The error message of a fault of branch b of subsystem ss: "Both ends of the
// branch <b> in subsystem <ss> is grounded." or "Branch <b> in subsystem <ss>
// is shorted." (empty for none).
std::string branch_ends_message(BranchEndsFault fault, std::int32_t b, std::int32_t ss);

}  // namespace wakro
