// wakro_nodelkup: one "MAP:" entry of the map file, the page's record in the
// node map quolbv3::node.
//
// The record is: the page's subsystem S (0 in the newer style), 0, then the
// page's N global nodes. The entry's lines:
//   S N n1 .. nN                the node line
//   K M s1 .. sN                newer style only (S = 0, N >= 1): the declared
//                               subsystem count, the count of distinct
//                               subsystems and each node's subsystem
//   send recv                   begin indexes of the line control signals
// Every fatal end uses tag "NODELKUP" with the map file shown (mode 2). The
// node count is checked against the room left in the node map before any node
// is stored.
#include <cstdint>
#include <set>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "diag/listout.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "input/readdata.h"
#include "input/recorditems.h"
#include "input/section_util.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/quolbv3.h"

namespace {

using wakro::ListLine;
using wakro::sections::check_read;
using wakro::sections::fail;

constexpr std::string_view kTag = "NODELKUP";

[[noreturn]] void fail_value(std::string_view text, std::int32_t value) {
  ListLine() << text << value;
  wakro_quit(kTag, 2);
}

// The page's record would end past the node map: the map's NNODES is smaller
// than the node records of its pages need (this one and those before it).
[[noreturn]] void node_map_too_small(std::int64_t needed) {
  ListLine() << "ERROR: Insufficient # of NNODES (ND21):";
  ListLine() << "The node records of the map's pages need " << std::to_string(needed)
             << " or more, the case map allows NNODES = " << std::to_string(quolbv3::node.extent(1)) << ".";
  wakro_quit(kTag, 2);
}

// The next line of the entry; a key where the entry's line should be cannot be
// read as its numbers.
void next_entry_line(std::string_view read_error) {
  rdcmnt();
  if (!rdcmnt_in_section(wakro::FixedText<72>("MAP:"))) fail(read_error, kTag, 2);
}

// The newer style's subsystem line: the subsystems of the page's N nodes.
void read_node_subsystems(std::int32_t n, std::int32_t ssoff) {
  constexpr std::string_view kError = "Error reading Subsystem information in map file";
  next_entry_line(kError);
  std::int32_t declared = 0;
  std::int32_t m = 0;
  std::vector<std::int32_t> subs(static_cast<std::size_t>(n));
  wakro::RecordItems entry(fnames::iunit);
  check_read(entry.read({declared, m, std::span<std::int32_t>(subs)}), kError, kTag, 2);
  if (m < 0 || m > int2::nmat) fail_value("Out of range # of subsystems in map file", m);
  for (std::int32_t s : subs)
    if (s < 0 || s > int2::nmat) fail_value("Out of range subsystem # in map file", s);
  const std::set<std::int32_t> distinct(subs.begin(), subs.end());
  const auto d = static_cast<std::int32_t>(distinct.size());
  if (d != m) fail_value("Incorrect subsystem count in map file", m);
  for (std::int32_t k = 1; k <= n; ++k) quolbv3::testss(k) = subs[static_cast<std::size_t>(k - 1)];
  quolbv3::nsubs = ssoff + (declared != 0 ? declared : d);
}

}  // namespace

void wakro_nodelkup(std::int32_t& position, std::int32_t& ssoff, std::int32_t& send,
                    std::int32_t& recv) {
  position = quolbv3::nnode + 2;
  ssoff = quolbv3::nsubs;
  send = 0;
  recv = 0;

  rdcmnt();
  if (!rdcmnt_in_section(wakro::FixedText<72>("MAP:")))
    fail("Unexpected end of node mapping", kTag, 2);

  // The subsystem and the node count first: the nodes are read only when the
  // record fits the node map, so nothing is read past it. A node line that does
  // not read is reported before its values are checked.
  wakro::RecordItems entry(fnames::iunit);
  std::int32_t s = 0;
  std::int32_t n = 0;
  check_read(entry.read({s, n}), "Error reading map file", kTag, 2);
  const bool fits = n >= 0 && n <= quolbv3::node.extent(1) - position &&
                    n <= quolbv3::testss.extent(1);
  std::vector<std::int32_t> nodes(fits ? static_cast<std::size_t>(n) : 0U);
  if (fits)
    check_read(entry.read({s, n, std::span<std::int32_t>(nodes)}), "Error reading map file", kTag, 2);
  if (s != 0) {
    quolbv3::ss_ref_style = "OLD";
    if (s < 0) fail_value("Out of range subsystem #", s);
  } else {
    quolbv3::ss_ref_style = n >= 1 ? "NEW" : "OLD";
  }
  if (s > int2::nmat) fail_value("Out of range subsystem #", s);
  if (n < 0) fail_value("Negative number of nodes: ", n);
  if (!fits && n <= quolbv3::testss.extent(1)) node_map_too_small(position + n);
  if (!fits) fail_value("Node map overflow: ", n);
  quolbv3::node(position) = 0;

  bool bad = false;
  for (std::int32_t g : nodes) {
    if (g >= 0 && g <= ndde::nd1) continue;
    ListLine() << "Invalid node number: " << g;
    bad = true;
  }
  if (bad) fail("Errors occurred in PAGES section of map file", kTag, 2);
  for (std::int32_t k = 1; k <= n; ++k) quolbv3::node(position + k) = nodes[static_cast<std::size_t>(k - 1)];
  quolbv3::node(position - 1) = s;
  quolbv3::nnode = position + n;

  if (quolbv3::ss_ref_style == "NEW") read_node_subsystems(n, ssoff);

  constexpr std::string_view kCscError = "Error reading CSC offsets in map file";
  next_entry_line(kCscError);
  check_read(wakro::list_read_unit(fnames::iunit, {send, recv}), kCscError, kTag, 2);
  if (send < 0 || send > ndde::e_ndim(dim::cscs)) fail_value("Out of range CSC begin index", send);
  if (recv < 0 || recv > ndde::e_ndim(dim::cscr)) fail_value("Out of range CSC begin index", recv);
}
