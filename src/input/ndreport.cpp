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
    {1, "ERROR: Insufficient # of nodes (ND1):"},
    {2, "ERROR: Insufficient # of subsystems (ND2):"},
    {3, "ERROR: Insufficient # of transformer windings (ND3):"},
    {4, "ERROR: Insufficient # of transformers (ND4):"},
    {5, "ERROR: Insufficient # of tline modes (ND5):"},
    {6, "ERROR: Insufficient # of tlines (ND6):"},
    {7, "ERROR: Insufficient # of Page Subsystems (ND7):"},
    {8, "ERROR: Insufficient # of tline poles (ND8):"},
    {10, "ERROR: Insufficient STOR array size (ND10):"},
    {11, "ERROR: Insufficient VAR array size (ND11):"},
    {12, "ERROR: Insufficient CON array size (ND12):"},
    {13, "ERROR: Insufficient PGB array size (ND13):"},
    {15, "ERROR: Insufficient # of branches (ND15):"},
    {16, "ERROR: Insufficient CX array size (ND16):"},
    {17, "ERROR: Insufficient CXMAP array size (ND17):"},
    {21, "ERROR: Insufficient # of NNODES (ND21):"},
    {22, "ERROR: Insufficient # of NPAGES (ND22):"},
    {23, "ERROR: Insufficient STOL array size (ND23):"},
    {24, "ERROR: Insufficient STOI array size (ND24):"},
    {25, "ERROR: Insufficient STOF array size (ND25):"},
    {26, "ERROR: Insufficient STOC array size (ND26):"},
    {27, "ERROR: Insufficient STORL array size (ND27):"},
    {28, "ERROR: Insufficient STORI array size (ND28):"},
    {29, "ERROR: Insufficient STORF array size (ND29):"},
    {30, "ERROR: Insufficient STORC array size (ND30):"},
    {31, "ERROR: Insufficient travelling wave buffers(ND31):"},
    {32, "ERROR: Insufficient tline transform terms (ND32):"},
    {33, "ERROR: Insufficient tline transform poles (ND33):"},
    {34, "ERROR: Insufficient tline attenuation poles(ND34):"},
    {35, "ERROR: Insufficient tline surge imp. poles(ND35):"},
    {36, "ERROR: Insufficient tline modal mode space(ND36):"},
    {37, "ERROR: Insufficient wireless transmitters(ND37):"},
    {38, "ERROR: Insufficient wireless"},
    {41, "ERROR: Insufficient # of phase tlines (ND41):"},
    {42, "ERROR: Insufficient tline phase mode space(ND42):"},
    {43, "ERROR: Insufficient tline phase mode space(ND43):"},
    {44, "ERROR: Insufficient travelling wave buffers(ND44):"},
    {45, "ERROR: Insufficient propagation terms (ND45):"},
    {46, "ERROR: Insufficient HSERC terms (ND46):"},
    {47, "ERROR: Insufficient YCSERC terms (ND47):"},
    {48, "ERROR: Insufficient XHK terms (ND48):"},
    {49, "ERROR: Insufficient # OF POLE/ZEROES (ND49):"},
    {53, "ERROR: Insufficient # of MFDTD tlines (ND53):"},
    {54, "ERROR: Insufficient tline MFDTD mode space(ND54):"},
    {55, "ERROR: Insufficient tline MFDTD mode space(ND55):"},
    {56, "ERROR: Insufficient # OF POLE/ZEROES (ND56):"},
    {57, "ERROR: Insufficient MFDTD increment space (ND57):"},
    {61, "ERROR: Insufficient RTCL array size (ND61):"},
    {62, "ERROR: Insufficient RTCI array size (ND62):"},
    {63, "ERROR: Insufficient RTCF array size (ND63):"},
    {64, "ERROR: Insufficient RTCC array size (ND64):"},
    {51, "ERROR: Insufficient STXFRL array size (ND51):"},
    {52, "ERROR: Insufficient STXFRI array size (ND52):"},
    {59, "ERROR: Insufficient STXFRF array size (ND59):"},
    {60, "ERROR: Insufficient STXFRC array size (ND60):"},
    {14, "ERROR: Insufficient CSCS array size (ND14):"},
    {19, "ERROR: Insufficient SPARSITY size (ND19):"},
    {20, "ERROR: Insufficient CSCR array size (ND20):"},
    {58, "ERROR: Insufficient # of total tlines (ND58):"},
    {69, "ERROR: Insufficient # of ENI servers (ND69):"},
    {70, "ERROR: Insufficient # of ENI clients (ND70):"},
    {72, "ERROR: Insufficient # of MANA elements (ND72):"},
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
     {{{"NODES", 1},
       {"SUBSYS", 2},
       {"WINDINGS", 3},
       {"TRAFOS", 4},
       {"SUBSYSPAGE", 7},
       {"UMEC", 9},
       {"BRANCHES", 15},
       {"SPARSITY", 19},
       {"NMANA", 72},
       {"MBRANCHES", 73}}},
     10},
    {"! CONTROL/SIGNALS DIMENSIONS",
     {{{"STOR", 10},   {"VARS", 11},   {"CONS", 12},  {"PGBS", 13},  {"CX", 16},     {"CXMAP", 17},
       {"NNODES", 21}, {"NPAGES", 22}, {"STOL", 23},  {"STOI", 24},  {"STOF", 25},   {"STOC", 26},
       {"STORL", 27},  {"STORI", 28},  {"STORF", 29}, {"STORC", 30}, {"TX", 37},     {"TXRX", 38},
       {"RTCL", 61},   {"RTCI", 62},   {"RTCF", 63},  {"RTCC", 64},  {"STXFRL", 51}, {"STXFRI", 52},
       {"STXFRF", 59}, {"STXFRC", 60}}},
     26},
    {"! BERGERON AND MODAL FRE-DEP TLINE DIMENSIONS",
     {{{"MAXMODES", 5},
       {"TLINES", 6},
       {"MAXPOLES", 8},
       {"TRAVWAVES", 31},
       {"TRANSFORMS", 32},
       {"TRANSPOLES", 33},
       {"ATTPOLES", 34},
       {"SURGEPOLES", 35},
       {"NUMMODES", 36}}},
     9},
    {"! PHASE DOMAIN FRE-DEP TLINE DIMENSIONS",
     {{{"TLINES-PH", 41},
       {"NUMMODES-PH", 42},
       {"MAXMODES-PH", 43},
       {"TRAVWAVES-PH", 44},
       {"PROP-PH", 45},
       {"HSERC-PH", 46},
       {"YCSERC-PH", 47},
       {"XHK-PH", 48},
       {"MAXPOLES-PH", 49}}},
     9},
    {"! MFDTD TLINE DIMENSIONS",
     {{{"TLINES-MFDTD", 53},
       {"NUMMODES-MFDTD", 54},
       {"MAXMODES-MFDTD", 55},
       {"MAXPOLES-MFDTD", 56},
       {"MAXINC-MFDTD", 57},
       {"TLINES-TOTAL", 58}}},
     6},
    {"! ENI TLINE DIMENSIONS",
     {{{"ENI-SERVERS", 69}, {"ENI-CLIENTS", 70}, {"CSCS", 14}, {"CSCR", 20}}},
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

std::string report_text() {
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
      out += " " + key + "=" + size_field(ndde::e_ndim(row.k)) + std::string(8, ' ') +
             size_field(ndde::nd(row.k)) + "\n";
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
    if (c.k == 38) ListLine() << "       transmitters and receivers (ND38):";
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
