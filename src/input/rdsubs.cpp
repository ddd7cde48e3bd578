// The small sections of subsystem orders, page subsystems, radio links and
// initial node voltages: wakro_readsubsysdim, wakro_setsubs, wakro_setradio,
// wakro_rdvolts. Each count is read and checked before the values after it are
// read and stored.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/nodeaccess.h"
#include "diag/quit.h"
#include "files/linereader.h"
#include "input/readdata.h"
#include "input/recorditems.h"
#include "input/section_util.h"
#include "model/e_s0.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"

namespace {

using wakro::ListLine;
using wakro::ReadStatus;
using wakro::sections::check_read;
using wakro::sections::fail;

// Reads "N v1 .. vN" of one entry: N is read and checked against 0..max (else
// the fatal text bad_count followed by N) before the values are read.
std::vector<std::int32_t> count_and_values(std::int32_t max, std::string_view bad_count,
                                           std::string_view read_error, std::string_view tag) {
  wakro::RecordItems entry(fnames::iunit);
  std::int32_t n = 0;
  check_read(entry.read({n}), read_error, tag, 2);
  if (n < 0 || n > max) {
    ListLine() << bad_count << n;
    wakro_quit(tag, 2);
  }
  std::vector<std::int32_t> values(static_cast<std::size_t>(n));
  check_read(entry.read({n, std::span<std::int32_t>(values)}), read_error, tag, 2);
  return values;
}

// mbus := ssdim, mbus taking the bounds of ssdim.
void copy_orders_to_mbus() {
  if (!e_s0::mbus.allocated() || e_s0::mbus.extent(1) != e_s0::ssdim.extent(1)) {
    e_s0::mbus.release();
    e_s0::mbus.allocate(e_s0::ssdim.extent(1));
  }
  for (std::int32_t k = 1; k <= e_s0::ssdim.extent(1); ++k) e_s0::mbus(k) = e_s0::ssdim(k);
}

// A later section of the same case read must give every subsystem it names the
// order its matrices were made with.
void check_same_orders(const std::vector<std::int32_t>& dims) {
  bool changed = false;
  for (std::size_t i = 0; i < dims.size(); ++i) {
    const auto k = static_cast<std::int32_t>(i + 1);
    if (dims[i] == e_s0::ssdim(k)) continue;
    ListLine() << "SUBSYSDIM: a later section changes the order of subsystem" << k << "from"
               << e_s0::ssdim(k) << "to" << dims[i];
    changed = true;
  }
  if (changed) fail("Errors occurred in SUBSYSDIM section of map file", "READSSDIM", 2);
}

}  // namespace

void wakro_readsubsysdim() {
  constexpr std::string_view kTag = "READSSDIM";
  rdcmnt();
  if (!rdcmnt_in_section(wakro::FixedText<72>("SUBSYSDIM:")))
    fail("Unexpected end of subsystem mapping", kTag, 2);
  const std::vector<std::int32_t> dims =
      count_and_values(ndde::nd2, "Invalid number of subsystems specified: ",
                       "Error reading SUBSYSDIM information in map file", kTag);
  bool bad = false;
  for (std::int32_t d : dims) {
    if (d >= 0 && d <= ndde::nd1) continue;
    ListLine() << "Subsystem dimension size is out of range: " << d;
    bad = true;
  }
  if (bad) fail("Errors occurred in SUBSYSDIM section of map file", kTag, 2);
  if (!e_s0::ssdim.allocated()) {
    std::int32_t status = 0;
    e_s0::allocate_ssdim_array(ndde::nd2, status);
  }
  if (wakro::case_read_state().subsysdim_read) check_same_orders(dims);
  for (std::size_t i = 0; i < dims.size(); ++i)
    e_s0::ssdim(static_cast<std::int32_t>(i + 1)) = dims[i];
  copy_orders_to_mbus();
  rdcmnt();
}

void wakro_setsubs() {
  constexpr std::string_view kTag = "SETSUBS";
  rdcmnt();
  if (!rdcmnt_in_section(wakro::FixedText<72>("SUBS:")))
    fail("Unexpected end of subsystem mapping", kTag, 2);
  const std::vector<std::int32_t> subs =
      count_and_values(ndde::nd7, "Invalid # of local subsystems: ",
                       "Error reading Subsystem information in map file", kTag);
  const auto n = static_cast<std::int32_t>(subs.size());
  bool bad = false;
  for (std::int32_t s : subs) {
    if (s >= 0 && s <= n) continue;
    ListLine() << "Invalid local subsystem number: " << s;
    bad = true;
  }
  if (bad) fail("Errors occurred in SUBS section of map file", kTag, 2);
  for (std::int32_t k = 1; k <= n; ++k) quolbv3::subs(k) = subs[static_cast<std::size_t>(k - 1)];
  rdcmnt();
}

void wakro_setradio() {
  constexpr std::string_view kTag = "SET_RADIO";
  const wakro::FixedText<72> key("RADIOLINKS:");
  rdcmnt();
  if (!rdcmnt_in_section(key)) fail("Unexpected end of radio link mapping", kTag, 2);
  std::int32_t stored = 0;
  do {
    const std::vector<std::int32_t> links =
        count_and_values(ndde::nd38 - stored, "Invalid # of wireless radio links: ",
                         "Error reading radio link information in map file", kTag);
    bool bad = false;
    for (std::int32_t x : links) {
      if (x >= 1 && x <= ndde::nd37) continue;
      ListLine() << "Invalid wireless radio link index: " << x;
      bad = true;
    }
    if (bad) fail("Errors occurred in RADIOLINKS section of mapfile", kTag, 2);
    for (std::int32_t x : links) radiolinks::txrx(++stored) = x;
    rdcmnt();
  } while (rdcmnt_in_section(key));
}

void wakro_rdvolts(std::int32_t position) {
  constexpr std::string_view kTag = "RDVOLTS";
  const wakro::FixedText<72> key("VOLTAGES:");
  for (;;) {
    rdcmnt();
    if (!rdcmnt_in_section(key)) return;
    std::int32_t local = 0;
    double v = 0.0;
    check_read(wakro::list_read_unit(fnames::iunit, {local, v}), "Error while reading data", kTag, 1);
    if (local < 1) {
      wakro_warn(0, 0, wakro::msg::kSingleLine, "RDVOLTS: Invalid node #");
      ListLine() << "WARNING: RDVOLTS: Invalid node # on data line:";
      ListLine() << fnames::dumlin.view().substr(0, 50);
      ListLine() << "in data file " << fnames::filename.view().substr(0, 12) << "...Data ignored";
      continue;
    }
    const std::int32_t node = wakro::sections::page_node(position, local);
    const std::int32_t ss = wakro_ssnum(position, local);
    if (node >= 1) e_s0::vdc(node, ss) = v;
  }
}
