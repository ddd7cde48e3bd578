// wakro_rddim: the "DIMENSIONS:" section, the walk over the case that sizes the
// line arrays, and the allocation or re-sizing that follows.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "input/case_walk.h"
#include "input/dimensions.h"
#include "input/input_hooks.h"
#include "input/section_util.h"
#include "files/linereader.h"
#include "files/listread.h"
#include "files/units.h"
#include "files/words.h"
#include "model/assorc.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/e_s7.h"
#include "model/e_s9.h"
#include "model/e_warn.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/tandem_line.h"

namespace {

using wakro::ListLine;

// A key of the section: the entry it fills and what a start from data files adds.
struct DimensionKey {
  std::string_view key;
  int k;
  std::int32_t margin;
};

constexpr DimensionKey kKeys[] = {
    {"NODES", dim::nodes, 0},
    {"SUBSYS", dim::subsys, 0},
    {"WINDINGS", dim::windings, 0},
    {"TRAFOS", dim::trafos, 0},
    {"MAXMODES", dim::maxmodes, 0},
    {"TLINES", dim::tlines, 0},
    {"SUBSYSPAGE", dim::subsyspage, 0},
    {"MAXPOLES", dim::maxpoles, 0},
    {"UMEC", dim::umec, 0},
    {"STOR", dim::stor, 10000},
    {"VARS", dim::vars, 0},
    {"CONS", dim::cons, 0},
    {"PGBS", dim::pgbs, 0},
    {"CSCS", dim::cscs, 0},
    {"BRANCHES", dim::branches, 0},
    {"CX", dim::cx, 0},
    {"CXMAP", dim::cxmap, 0},
    {"SPARSITY", dim::sparsity, 0},
    {"CSCR", dim::cscr, 0},
    {"NNODES", dim::nnodes, 0},
    {"NPAGES", dim::npages, 0},
    {"STOL", dim::stol, 0},
    {"STOI", dim::stoi, 0},
    {"STOF", dim::stof, 0},
    {"STOC", dim::stoc, 0},
    {"STORL", dim::storl, 1000},
    {"STORI", dim::stori, 1000},
    {"STORF", dim::storf, 1000},
    {"STORC", dim::storc, 1000},
    {"TRAVWAVES", dim::travwaves, 0},
    {"TRANSFORMS", dim::transforms, 0},
    {"TRANSPOLES", dim::transpoles, 0},
    {"ATTPOLES", dim::attpoles, 0},
    {"SURGEPOLES", dim::surgepoles, 0},
    {"NUMMODES", dim::nummodes, 0},
    {"TX", dim::tx, 0},
    {"TXRX", dim::txrx, 0},
    {"TLINES-PH", dim::tlines_ph, 0},
    {"NUMMODES-PH", dim::nummodes_ph, 0},
    {"MAXMODES-PH", dim::maxmodes_ph, 0},
    {"TRAVWAVES-PH", dim::travwaves_ph, 0},
    {"PROP-PH", dim::prop_ph, 0},
    {"HSERC-PH", dim::hserc_ph, 0},
    {"YCSERC-PH", dim::ycserc_ph, 0},
    {"XHK-PH", dim::xhk_ph, 0},
    {"MAXPOLES-PH", dim::maxpoles_ph, 0},
    {"STXFRL", dim::stxfrl, 100},
    {"STXFRI", dim::stxfri, 100},
    {"TLINES-MFDTD", dim::tlines_mfdtd, 0},
    {"NUMMODES-MFDTD", dim::nummodes_mfdtd, 0},
    {"MAXMODES-MFDTD", dim::maxmodes_mfdtd, 0},
    {"MAXPOLES-MFDTD", dim::maxpoles_mfdtd, 0},
    {"MAXINC-MFDTD", dim::maxinc_mfdtd, 0},
    {"TLINES-TOTAL", dim::tlines_total, 0},
    {"STXFRF", dim::stxfrf, 100},
    {"STXFRC", dim::stxfrc, 100},
    {"RTCL", dim::rtcl, 1000},
    {"RTCI", dim::rtci, 1000},
    {"RTCF", dim::rtcf, 1000},
    {"RTCC", dim::rtcc, 1000},
    {"ENI-SERVERS", dim::eni_servers, 0},
    {"ENI-CLIENTS", dim::eni_clients, 0},
    {"GSX", dim::gsx, 0},
    {"NMANA", dim::nmana, 0},
    {"MBRANCHES", dim::mbranches, 0},
};

const DimensionKey* find_key(const Line72& key) {
  for (const DimensionKey& d : kKeys)
    if (key == d.key) return &d;
  return nullptr;
}

// Entries the line-dimension pass fills.
bool is_line_entry(int k) {
  return k == dim::maxmodes || k == dim::tlines || k == dim::maxpoles ||
         (k >= dim::travwaves && k <= dim::nummodes) ||
         (k >= dim::tlines_ph && k <= dim::maxpoles_ph) ||
         (k >= dim::tlines_mfdtd && k <= dim::tlines_total) || k == dim::eni_servers ||
         k == dim::eni_clients;
}

// Entries the start-up dialogue fills before the case is read.
bool is_dialogue_entry(int k) {
  return k == dim::pf_init || k == dim::pf_buses || (k >= dim::pf_nwb && k <= dim::pf_nc);
}

// The file being read on a resume: the snapshot (the run from data reads the
// map file, whose name the messages take from fnames::tnam).
std::string g_snapshot_file;
// The size column of each row of the snapshot being read ("KEY = used size").
std::map<std::string, std::int32_t, std::less<>> g_snapshot_sizes;

// A refusal of a snapshot's dimension row: the text, then the snapshot's name,
// as the snapshot reader refuses its other counts.
[[noreturn]] void refuse_snapshot_row(const std::string& text) {
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::first_of(2), text);
  wakro_message(0, 0, wakro::msg::kError, wakro::msg::kLastLine, "Snapshot file: " + g_snapshot_file);
  wakro_quit("READSNP", 0);
}

// The row as the file holds it, without its surrounding blanks.
std::string row_text(const Line72& line) {
  const std::string_view s = line.trimmed();
  return std::string(s.substr(std::min(s.find_first_not_of(' '), s.size())));
}

[[noreturn]] void map_read_error(const Line72& line = Line72()) {
  if (!g_snapshot_file.empty())
    refuse_snapshot_row("WAKRO: Error while reading snap file: DIMENSIONS row " + row_text(line));
  ListLine() << "Error while reading map file" << fnames::tnam.view();
  wakro_quit("RDDIM", 2);
}

// A resumed run is sized by the snapshot's counts in use: each must lie within
// the size its row gives beside it (the size the run that wrote it had, which
// its arrays held), checked before anything is allocated from it. SPARSITY is
// the exception: with MNA on, the sparse lists are sized by the MNA set-up's
// order and the length they need may pass the row's size.
// Each row's size is kept (snapshot_row_size) for the snapshots the resumed
// run writes; a row without a readable size keeps none.
void check_snapshot_row(const Line72& key, const Line72& value, std::int32_t used) {
  constexpr std::int32_t kNoSize = std::numeric_limits<std::int32_t>::max();
  std::int32_t read_used = 0;
  std::int32_t available = kNoSize;  // a row without the size
  const bool read = wakro::list_read(value.view(), {read_used, available}) == wakro::ReadStatus::ok;
  const std::string row(key.trimmed());
  if (read && available >= 0 && available != kNoSize)
    g_snapshot_sizes.insert_or_assign(row, available);
  else
    g_snapshot_sizes.erase(row);
  if (key == "SPARSITY" || !read) available = kNoSize;
  if (used < 0 || used > available)
    refuse_snapshot_row("WAKRO: Snapshot count out of range: " + std::string(key.trimmed()) + " = " +
                        std::to_string(used) + " (at most " + std::to_string(available) + ")");
}

// The data line the line reader left waiting.
Line72 read_dimension_line() {
  Line72 line;
  const wakro::ReadStatus st = wakro::read_line72(line);
  if (st == wakro::ReadStatus::end) {
    if (!g_snapshot_file.empty()) refuse_snapshot_row("WAKRO: End_Of_File reached while reading snap file");
    ListLine() << "End_Of_File reached while reading map file";
    wakro_quit("RDDIM", 2);
  }
  if (st == wakro::ReadStatus::error) map_read_error(line);
  return line;
}

void clear_table(bool keep_line_entries) {
  for (int k = 1; k <= 80; ++k) {
    if (is_dialogue_entry(k) || (keep_line_entries && is_line_entry(k))) continue;
    ndde::e_ndim(k) = 0;
  }
}

void store_nodes(std::int32_t n, const Line72& line) {
  ndde::e_ndim(dim::nodes) = n;
  const std::int64_t sparsity = ndde::sparsity_default(n);
  if (sparsity > std::numeric_limits<std::int32_t>::max()) {
    if (!g_snapshot_file.empty())
      refuse_snapshot_row("WAKRO: Too many nodes: the sparse pattern n(n-1)/2+1 exceeds the largest size: "
                          "DIMENSIONS row " + row_text(line));
    ListLine()
        << "Too many nodes: the sparse pattern n(n-1)/2+1 exceeds the largest size for NODES ="
        << n;
    wakro_quit("RDDIM", 2);
  }
  ndde::e_ndim(dim::sparsity) = static_cast<std::int32_t>(sparsity);
}

void read_dimension(const Line72& line, bool data_start) {
  const Line72 key = wakro_firstwrd(line);
  const Line72 value = wakro_rhs72str(line);
  if (value.is_blank()) {
    if (!g_snapshot_file.empty())
      refuse_snapshot_row("WAKRO: Empty dimension for " + std::string(key.trimmed()) + ": DIMENSIONS row " +
                          row_text(line));
    ListLine() << "Empty dimension for " << key.view();
    wakro_quit("RDDIM", 2);
  }
  std::int32_t n = 0;
  if (wakro::list_read(value.view(), {n}) != wakro::ReadStatus::ok) map_read_error(line);
  if (!g_snapshot_file.empty()) check_snapshot_row(key, value, n);
  if (n < 0) {
    ListLine() << "Negative dimesion " << n << " for " << key.view();
    wakro_quit("RDDIM", 2);
  }
  if (key == "HARM_N") return;
  const DimensionKey* d = find_key(key);
  if (d == nullptr) {
    wakro_warn(0, 0, wakro::msg::kSingleLine, "Unknown Dimension in map/snap file");
    ListLine() << "WARNING: Unknown dimension: " << key.view();
    if (!g_snapshot_file.empty())
      ListLine() << "in snap file: " + g_snapshot_file;
    else
      ListLine() << "or in-line data in map file: " << fnames::tnam.view();
    ListLine() << (g_snapshot_file.empty() ? "Continuing reading map file" : "Continuing reading snap file");
    return;
  }
  if (d->k == dim::nodes) {
    store_nodes(n, line);
    return;
  }
  ndde::e_ndim(d->k) = (data_start && d->margin > 0) ? ndde::with_margin(n, d->margin) : n;
}

void check_windings() {
  if (ndde::e_ndim(dim::trafos) < 1 || ndde::e_ndim(dim::windings) >= 2) return;
  wakro_warn(0, 0, wakro::msg::first_of(4), "Detected inconsistency between the number of transformers");
  wakro_warn(0, 0, wakro::msg::kMiddleLine, " and the maximum number of windings per transformer. ");
  wakro_warn(0, 0, wakro::msg::kMiddleLine, "The likely cause is an incorrect usage of the script directives");
  wakro_warn(0, 0, wakro::msg::kLastLine, " #TRANSFORMERS and #WINDINGS in custom models.");
}

// The line-dimension pass's part of the walk (case_walk.h): the time step of
// the "PARAMETERS:" section, which the line sections need for their buffer
// lengths (a blank value is ignored and the last line kept, as the parameter
// reader does), and the line sections, which sctline reads.
class LinePass final : public wakro::CaseWalk {
 public:
  std::string_view tag() const override { return "RDDIM"; }
  void parameter_line(const Line72& line) override {
    if (!(wakro_firstwrd(line) == "TIME_STEP")) return;
    const Line72 value = wakro_rhs72str(line);
    if (value.is_blank()) return;
    double delt = 0.0;
    if (wakro::list_read(value.view(), {delt}) != wakro::ReadStatus::ok) {
      ListLine() << "Error while reading map file" << fnames::tnam.view();
      wakro_quit("RDDIM", 1);
    }
    e_s1::delt = delt;
    if (e_s1::delt <= 0.0) {
      ListLine() << "ERROR: Undefined, Zero or Negative time-step";
      wakro_quit("RDDIM", 1);
    }
  }
  void section(const Line72& key, wakro::PageContext& page) override {
    if (!(key == "TLINES:") && !(key == "GLOBAL_TLINES:")) return CaseWalk::section(key, page);
    wakro::call_sctline();
  }
};

// The line-dimension pass: the map file at `map_path`, opened a second time
// above the case reader's, walked whole as the case reader will read it (so a
// line section in a section it skips is not counted). The case reader's own
// place in the map file is not moved: it reads on from the key after the first
// "DIMENSIONS:" section, as it does on a run without the pass.
void line_dimension_pass(const std::string& map_path) {
  wakro::call_sctline_init();
  LinePass pass;
  wakro::walk_map_file(map_path, pass);
}

void allocate_first_run() {
  std::int32_t status = 0;
  std::int32_t status2 = 0;
  ndde::allocate_nd(status);
  e_s0::allocate_ssdim_array(ndde::nd2, status2);
  if (status != 0 || status2 != 0) {
    if (!g_snapshot_file.empty()) refuse_snapshot_row("WAKRO: Problems in dynamic allocation from snap file");
    ListLine() << "Problems in dynamic allocation from data file";
    wakro_quit("RDDIM", 1);
  }
}

}  // namespace

void wakro_rddim() {
  const bool first_run = ctrl::mmm == 1;
  const bool data_start = assorc::input == "DATA";
  const bool walk = data_start && (first_run || tandem_line::enable_tandem_line);
  const std::int32_t map_unit = fnames::iunit;

  g_snapshot_file = assorc::input == "SNAP" ? wakro::unit_file_name(map_unit) : std::string();
  g_snapshot_sizes.clear();
  fnames::netdata = 1;
  clear_table(!first_run && !walk);
  ndde::e_ndim(dim::umec) = 5;
  int2::nmat = 0;
  e_warn::comp_id1 = 0;
  e_warn::comp_id2 = 0;

  rdcmnt();
  if (rdcmnt_at_data() || !(fnames::section == "DIMENSIONS:")) {
    if (!g_snapshot_file.empty()) refuse_snapshot_row("WAKRO: First section in snap file must be DIMENSIONS:");
    ListLine() << "First section in map/snap file must be DIMENSIONS:";
    wakro_quit("RDDIM", 2);
  }
  const Line72 key("DIMENSIONS:");
  for (;;) {
    rdcmnt();
    if (!rdcmnt_in_section(key)) break;
    read_dimension(read_dimension_line(), data_start);
  }
  check_windings();

  if (walk) line_dimension_pass(wakro::unit_file_name(map_unit));

  if (first_run) {
    allocate_first_run();
  } else if (tandem_line::enable_tandem_line) {
    resize_tlines_for_tandem();
  }

  wakro_ndcheck();
  int2::nmat = ndde::e_ndim(dim::subsys);
  outppp::jplt = ndde::e_ndim(dim::pgbs);
  e_s9::n1test = ndde::nd1;
  e_s9::n2test = ndde::nd2;
  e_s9::n3test = ndde::nd3;
  e_s9::n4test = ndde::nd4;
  e_s9::n5test = ndde::nd5;
  e_s9::n6test = ndde::nd6;
  e_s9::n7test = ndde::nd7;
}

std::int32_t snapshot_row_size(std::string_view key) {
  const auto it = g_snapshot_sizes.find(key);
  return it == g_snapshot_sizes.end() ? -1 : it->second;
}
