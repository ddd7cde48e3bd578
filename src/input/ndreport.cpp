// wakro_ndcheck and wakro_writedim: the dimension check of later runs and the
// dimension report of the console and of snapshot files.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/listout.h"
#include "diag/quit.h"
#include "input/dimensions.h"
#include "files/units.h"
#include "model/emtio.h"
#include "model/ndde.h"

namespace {

using wakro::ListLine;

struct CheckRow {
  int k;
  std::string_view text;
};

// In the order of checking. The last seven size arrays that later runs reuse as
// they are, so they are compared like the others.
constexpr CheckRow kChecks[] = {
    {dim::nodes, "ERROR: Insufficient # of nodes (ND1):"},
    {dim::subsys, "ERROR: Insufficient # of subsystems (ND2):"},
    {dim::windings, "ERROR: Insufficient # of transformer windings (ND3):"},
    {dim::trafos, "ERROR: Insufficient # of transformers (ND4):"},
    {dim::maxmodes, "ERROR: Insufficient # of tline modes (ND5):"},
    {dim::tlines, "ERROR: Insufficient # of tlines (ND6):"},
    {dim::subsyspage, "ERROR: Insufficient # of Page Subsystems (ND7):"},
    {dim::maxpoles, "ERROR: Insufficient # of tline poles (ND8):"},
    {dim::stor, "ERROR: Insufficient STOR array size (ND10):"},
    {dim::vars, "ERROR: Insufficient VAR array size (ND11):"},
    {dim::cons, "ERROR: Insufficient CON array size (ND12):"},
    {dim::pgbs, "ERROR: Insufficient PGB array size (ND13):"},
    {dim::branches, "ERROR: Insufficient # of branches (ND15):"},
    {dim::cx, "ERROR: Insufficient CX array size (ND16):"},
    {dim::cxmap, "ERROR: Insufficient CXMAP array size (ND17):"},
    {dim::nnodes, "ERROR: Insufficient # of NNODES (ND21):"},
    {dim::npages, "ERROR: Insufficient # of NPAGES (ND22):"},
    {dim::stol, "ERROR: Insufficient STOL array size (ND23):"},
    {dim::stoi, "ERROR: Insufficient STOI array size (ND24):"},
    {dim::stof, "ERROR: Insufficient STOF array size (ND25):"},
    {dim::stoc, "ERROR: Insufficient STOC array size (ND26):"},
    {dim::storl, "ERROR: Insufficient STORL array size (ND27):"},
    {dim::stori, "ERROR: Insufficient STORI array size (ND28):"},
    {dim::storf, "ERROR: Insufficient STORF array size (ND29):"},
    {dim::storc, "ERROR: Insufficient STORC array size (ND30):"},
    {dim::travwaves, "ERROR: Insufficient travelling wave buffers(ND31):"},
    {dim::transforms, "ERROR: Insufficient tline transform terms (ND32):"},
    {dim::transpoles, "ERROR: Insufficient tline transform poles (ND33):"},
    {dim::attpoles, "ERROR: Insufficient tline attenuation poles(ND34):"},
    {dim::surgepoles, "ERROR: Insufficient tline surge imp. poles(ND35):"},
    {dim::nummodes, "ERROR: Insufficient tline modal mode space(ND36):"},
    {dim::tx, "ERROR: Insufficient wireless transmitters(ND37):"},
    {dim::txrx, "ERROR: Insufficient wireless"},
    {dim::tlines_ph, "ERROR: Insufficient # of phase tlines (ND41):"},
    {dim::nummodes_ph, "ERROR: Insufficient tline phase mode space(ND42):"},
    {dim::maxmodes_ph, "ERROR: Insufficient tline phase mode space(ND43):"},
    {dim::travwaves_ph, "ERROR: Insufficient travelling wave buffers(ND44):"},
    {dim::prop_ph, "ERROR: Insufficient propagation terms (ND45):"},
    {dim::hserc_ph, "ERROR: Insufficient HSERC terms (ND46):"},
    {dim::ycserc_ph, "ERROR: Insufficient YCSERC terms (ND47):"},
    {dim::xhk_ph, "ERROR: Insufficient XHK terms (ND48):"},
    {dim::maxpoles_ph, "ERROR: Insufficient # OF POLE/ZEROES (ND49):"},
    {dim::tlines_mfdtd, "ERROR: Insufficient # of MFDTD tlines (ND53):"},
    {dim::nummodes_mfdtd, "ERROR: Insufficient tline MFDTD mode space(ND54):"},
    {dim::maxmodes_mfdtd, "ERROR: Insufficient tline MFDTD mode space(ND55):"},
    {dim::maxpoles_mfdtd, "ERROR: Insufficient # OF POLE/ZEROES (ND56):"},
    {dim::maxinc_mfdtd, "ERROR: Insufficient MFDTD increment space (ND57):"},
    {dim::rtcl, "ERROR: Insufficient RTCL array size (ND61):"},
    {dim::rtci, "ERROR: Insufficient RTCI array size (ND62):"},
    {dim::rtcf, "ERROR: Insufficient RTCF array size (ND63):"},
    {dim::rtcc, "ERROR: Insufficient RTCC array size (ND64):"},
    {dim::stxfrl, "ERROR: Insufficient STXFRL array size (ND51):"},
    {dim::stxfri, "ERROR: Insufficient STXFRI array size (ND52):"},
    {dim::stxfrf, "ERROR: Insufficient STXFRF array size (ND59):"},
    {dim::stxfrc, "ERROR: Insufficient STXFRC array size (ND60):"},
    {dim::cscs, "ERROR: Insufficient CSCS array size (ND14):"},
    {dim::sparsity, "ERROR: Insufficient SPARSITY size (ND19):"},
    {dim::cscr, "ERROR: Insufficient CSCR array size (ND20):"},
    {dim::tlines_total, "ERROR: Insufficient # of total tlines (ND58):"},
    {dim::eni_servers, "ERROR: Insufficient # of ENI servers (ND69):"},
    {dim::eni_clients, "ERROR: Insufficient # of ENI clients (ND70):"},
    {dim::nmana, "ERROR: Insufficient # of MANA elements (ND72):"},
};

struct ReportRow {
  std::string_view key;
  int k;
};

struct ReportGroup {
  std::string_view title;
  std::array<ReportRow, 26> rows;
  int count;
};

constexpr ReportGroup kGroups[] = {
    {"! ELECTRICAL SYSTEM DIMENSIONS",
     {{{"NODES", dim::nodes},
       {"SUBSYS", dim::subsys},
       {"WINDINGS", dim::windings},
       {"TRAFOS", dim::trafos},
       {"SUBSYSPAGE", dim::subsyspage},
       {"UMEC", dim::umec},
       {"BRANCHES", dim::branches},
       {"SPARSITY", dim::sparsity},
       {"NMANA", dim::nmana},
       {"MBRANCHES", dim::mbranches}}},
     10},
    {"! CONTROL/SIGNALS DIMENSIONS",
     {{{"STOR", dim::stor},     {"VARS", dim::vars},     {"CONS", dim::cons},
       {"PGBS", dim::pgbs},     {"CX", dim::cx},         {"CXMAP", dim::cxmap},
       {"NNODES", dim::nnodes}, {"NPAGES", dim::npages}, {"STOL", dim::stol},
       {"STOI", dim::stoi},     {"STOF", dim::stof},     {"STOC", dim::stoc},
       {"STORL", dim::storl},   {"STORI", dim::stori},   {"STORF", dim::storf},
       {"STORC", dim::storc},   {"TX", dim::tx},         {"TXRX", dim::txrx},
       {"RTCL", dim::rtcl},     {"RTCI", dim::rtci},     {"RTCF", dim::rtcf},
       {"RTCC", dim::rtcc},     {"STXFRL", dim::stxfrl}, {"STXFRI", dim::stxfri},
       {"STXFRF", dim::stxfrf}, {"STXFRC", dim::stxfrc}}},
     26},
    {"! BERGERON AND MODAL FRE-DEP TLINE DIMENSIONS",
     {{{"MAXMODES", dim::maxmodes},
       {"TLINES", dim::tlines},
       {"MAXPOLES", dim::maxpoles},
       {"TRAVWAVES", dim::travwaves},
       {"TRANSFORMS", dim::transforms},
       {"TRANSPOLES", dim::transpoles},
       {"ATTPOLES", dim::attpoles},
       {"SURGEPOLES", dim::surgepoles},
       {"NUMMODES", dim::nummodes}}},
     9},
    {"! PHASE DOMAIN FRE-DEP TLINE DIMENSIONS",
     {{{"TLINES-PH", dim::tlines_ph},
       {"NUMMODES-PH", dim::nummodes_ph},
       {"MAXMODES-PH", dim::maxmodes_ph},
       {"TRAVWAVES-PH", dim::travwaves_ph},
       {"PROP-PH", dim::prop_ph},
       {"HSERC-PH", dim::hserc_ph},
       {"YCSERC-PH", dim::ycserc_ph},
       {"XHK-PH", dim::xhk_ph},
       {"MAXPOLES-PH", dim::maxpoles_ph}}},
     9},
    {"! MFDTD TLINE DIMENSIONS",
     {{{"TLINES-MFDTD", dim::tlines_mfdtd},
       {"NUMMODES-MFDTD", dim::nummodes_mfdtd},
       {"MAXMODES-MFDTD", dim::maxmodes_mfdtd},
       {"MAXPOLES-MFDTD", dim::maxpoles_mfdtd},
       {"MAXINC-MFDTD", dim::maxinc_mfdtd},
       {"TLINES-TOTAL", dim::tlines_total}}},
     6},
    {"! ENI TLINE DIMENSIONS",
     {{{"ENI-SERVERS", dim::eni_servers},
       {"ENI-CLIENTS", dim::eni_clients},
       {"CSCS", dim::cscs},
       {"CSCR", dim::cscr}}},
     4},
};

// A size right-aligned in 8 columns. A size of nine digits or more is written in
// full (the row grows) rather than as asterisks: the report is read back from
// snapshot files, and asterisks there could not be read.
std::string size_field(std::int32_t v) {
  std::string s = std::to_string(v);
  if (s.size() < 8) s.insert(0, 8 - s.size(), ' ');
  return s;
}

// Each row's available size is its working size, or what `available` makes of it.
std::string report_text(AvailableSize available = nullptr) {
  std::string out;
  out += "\n";
  out += " DIMENSIONS:                Used       Available\n";
  for (const ReportGroup& g : kGroups) {
    out += " ";
    out += g.title;
    out += "\n";
    for (int r = 0; r < g.count; ++r) {
      const ReportRow& row = g.rows[static_cast<std::size_t>(r)];
      std::string key(row.key);
      key.resize(22, ' ');
      const std::int32_t size = ndde::nd(row.k);
      out += " " + key + "=" + size_field(ndde::e_ndim(row.k)) + std::string(8, ' ') +
             size_field(available != nullptr ? available(row.key, size) : size) + "\n";
    }
  }
  out += "  \n";
  return out;
}

}  // namespace

void wakro_ndcheck() {
  bool failed = false;
  for (const CheckRow& c : kChecks) {
    if (ndde::e_ndim(c.k) <= ndde::nd(c.k)) continue;
    failed = true;
    ListLine() << c.text;
    if (c.k == dim::txrx) ListLine() << "       transmitters and receivers (ND38):";
    wakro::write_layout(wakro::console(), "(' Required:',I5,';   Available:',I5)",
                        {ndde::e_ndim(c.k), ndde::nd(c.k)});
  }
  if (!failed) return;
  ListLine() << std::string(33, '^');
  ListLine() << "NDCHECK: Report this problem. ";
  wakro_quit("NDCHECK", 2);
}

void wakro_writedim(std::ostream& os) {
  os << report_text();
  os.flush();
}

void wakro_writedim(std::ostream& os, AvailableSize available) {
  os << report_text(available);
  os.flush();
}

void wakro_writedim(std::int32_t& unit) {
  if (unit == emtio::iout) {
    wakro_writedim(wakro::console());
    return;
  }
  std::FILE* fp = wakro::unit_handle(unit);
  if (fp == nullptr) return;
  const std::string text = report_text();
  std::fwrite(text.data(), 1, text.size(), fp);
  std::fflush(fp);
}
