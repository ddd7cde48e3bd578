// wakro_mana: the "MANA:" section, one declaration record of mna::mnads per
// entry: a count N of node pairs, then the N pairs of page-local nodes. The
// record's subsystem is that of the first pair's from node (its to node when the
// from node is ground); every other non-ground node must lie in it.
#include <cstdint>
#include <span>
#include <vector>

#include "diag/listout.h"
#include "diag/nodeaccess.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "input/readdata.h"
#include "input/recorditems.h"
#include "input/section_util.h"
#include "model/fnames.h"
#include "model/mna.h"

namespace {

using wakro::ListLine;
using wakro::sections::check_read;
using wakro::sections::fail;

constexpr std::string_view kTag = "WAKRO_MANA";
constexpr std::int32_t kMaxPairs = 5;  // node pairs a declaration record holds

// The subsystem of a non-ground page node, which must be ss.
void require_subsystem(std::int32_t position, std::int32_t local, std::int32_t ss) {
  if (local == 0) return;
  const std::int32_t other = wakro_ssnum(position, local);
  if (other == ss) return;
  ListLine() << "Branch Nodes are in different SS:" << ss << ":" << other;
  wakro_quit(kTag, 1);
}

void read_declaration(std::int32_t position) {
  if (mna::mnaid >= mna::mnads.extent(1)) {
    ListLine() << "Too many MNA elements: " << mna::mnaid + 1;
    wakro_quit(kTag, 1);
  }
  wakro::RecordItems entry(fnames::iunit);
  std::int32_t n = 0;
  check_read(entry.read({n}), "Error while reading MNA data", kTag, 1);
  if (n < 0 || n > kMaxPairs) {
    ListLine() << "Invalid number of MNA node pairs: " << n;
    wakro_quit(kTag, 1);
  }
  std::vector<std::int32_t> locals(static_cast<std::size_t>(2 * n));
  check_read(entry.read({n, std::span<std::int32_t>(locals)}), "Error while reading MNA data", kTag, 1);

  mna::Mnads record;
  record.npairs = n;
  std::int32_t ss = 0;
  for (std::int32_t k = 1; k <= n; ++k) {
    const std::int32_t from = locals[static_cast<std::size_t>(2 * k - 2)];
    const std::int32_t to = locals[static_cast<std::size_t>(2 * k - 1)];
    record.nodes(1, k) = wakro::sections::page_node(position, from);
    record.nodes(2, k) = wakro::sections::page_node(position, to);
    if (k == 1) {
      if (from == 0 && to == 0) fail("SS for the Branch Nodes are not defined.", kTag, 1);
      ss = wakro_ssnum(position, from != 0 ? from : to);
    }
    require_subsystem(position, from, ss);
    require_subsystem(position, to, ss);
  }
  record.subsystem = n > 0 ? ss : 0;
  mna::mnads(++mna::mnaid) = record;
}

}  // namespace

void wakro_mana(std::int32_t position) {
  const wakro::FixedText<72> key("MANA:");
  rdcmnt();
  if (!rdcmnt_in_section(key)) return;
  do {
    read_declaration(position);
    rdcmnt();
  } while (rdcmnt_in_section(key));
}
