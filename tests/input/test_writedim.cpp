// The dimension report: its exact bytes, and reading it back as the dimension
// section of a snapshot start.
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "input/dimensions.h"
#include "input_fixture.h"
#include "model/emtio.h"

namespace {

// The report rows in the order they are written (entry numbers).
constexpr int kReported[] = {
    dim::nodes,          dim::subsys,         dim::windings,     dim::trafos,
    dim::subsyspage,     dim::umec,           dim::branches,     dim::sparsity,
    dim::nmana,          dim::mbranches,      dim::stor,         dim::vars,
    dim::cons,           dim::pgbs,           dim::cx,           dim::cxmap,
    dim::nnodes,         dim::npages,         dim::stol,         dim::stoi,
    dim::stof,           dim::stoc,           dim::storl,        dim::stori,
    dim::storf,          dim::storc,          dim::tx,           dim::txrx,
    dim::rtcl,           dim::rtci,           dim::rtcf,         dim::rtcc,
    dim::stxfrl,         dim::stxfri,         dim::stxfrf,       dim::stxfrc,
    dim::maxmodes,       dim::tlines,         dim::maxpoles,     dim::travwaves,
    dim::transforms,     dim::transpoles,     dim::attpoles,     dim::surgepoles,
    dim::nummodes,       dim::tlines_ph,      dim::nummodes_ph,  dim::maxmodes_ph,
    dim::travwaves_ph,   dim::prop_ph,        dim::hserc_ph,     dim::ycserc_ph,
    dim::xhk_ph,         dim::maxpoles_ph,    dim::tlines_mfdtd, dim::nummodes_mfdtd,
    dim::maxmodes_mfdtd, dim::maxpoles_mfdtd, dim::maxinc_mfdtd, dim::tlines_total,
    dim::eni_servers,    dim::eni_clients,    dim::cscs,         dim::cscr};

const char* kCase =
    "DIMENSIONS:\n"
    " NODES = 5\n"
    " SUBSYS = 2\n"
    " BRANCHES = 12\n"
    " STOR = 100\n"
    " PGBS = 25\n"
    " UMEC = 123456789\n"
    " CSCS = 3\n"
    " CSCR = 4\n"
    " TLINES-TOTAL = 2\n"
    " MAXMODES-PH = 3\n"
    " RTCF = 17\n"
    " GSX = 4\n"
    "PARAMETERS:\n"
    " TIME_STEP = 5E-5\n"
    "ENDCASE:\n";

class DimensionReport : public inputtest::InputTest {
 protected:
  void read_case(const std::string& name) {
    wakro::close_all_units();
    fnames::inam = name;
    fnames::tnam = name;
    open(name);
    const inputtest::Outcome o = run([] { wakro_rddim(); });
    ASSERT_EQ(o.status, -1) << o.console;
  }

  static std::string golden() {
    const char* data = std::getenv("WAKRO_TEST_DATA");
    const std::string dir =
        data ? data
             : (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string();
    std::ifstream f(dir + "/input/writedim.golden", std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
};

}  // namespace

TEST_F(DimensionReport, MatchesTheGoldenFile) {
  write("case.map", kCase);
  read_case("case.map");
  std::ostringstream out;
  wakro_writedim(out);
  const std::string expected = golden();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(out.str(), expected);

  // Spot checks of the layout: the key row is 48 characters with '=' in column 24.
  const std::string nodes_row = " NODES                 =       5               5";
  EXPECT_EQ(nodes_row.size(), 48u);
  EXPECT_NE(out.str().find("\n" + nodes_row + "\n"), std::string::npos);
  EXPECT_NE(out.str().find("\n PGBS                  =      25              30\n"),
            std::string::npos);
  // Nine digits do not fit: written in full so that the row reads back.
  EXPECT_NE(out.str().find("\n UMEC                  =123456789        123456789\n"),
            std::string::npos);
  EXPECT_EQ(out.str().find("GSX"), std::string::npos);

  // The console unit gets the same text.
  std::ostringstream console;
  {
    wakro::ConsoleRedirect r(console);
    std::int32_t unit = emtio::iout;
    wakro_writedim(unit);
  }
  EXPECT_EQ(console.str(), expected);
}

TEST_F(DimensionReport, AnEmptySectionReportsTheDefaultSizes) {
  write("case.map", "DIMENSIONS:\nPARAMETERS:\n TIME_STEP = 5E-5\nENDCASE:\n");
  read_case("case.map");
  // Built from the report table: six groups, their keys in order, 48-column rows.
  const std::vector<std::pair<std::string, std::vector<std::string>>> groups = {
      {"! ELECTRICAL SYSTEM DIMENSIONS",
       {"NODES", "SUBSYS", "WINDINGS", "TRAFOS", "SUBSYSPAGE", "UMEC", "BRANCHES", "SPARSITY",
        "NMANA", "MBRANCHES"}},
      {"! CONTROL/SIGNALS DIMENSIONS",
       {"STOR",  "VARS",  "CONS",  "PGBS",  "CX",    "CXMAP", "NNODES", "NPAGES", "STOL",
        "STOI",  "STOF",  "STOC",  "STORL", "STORI", "STORF", "STORC",  "TX",     "TXRX",
        "RTCL",  "RTCI",  "RTCF",  "RTCC",  "STXFRL", "STXFRI", "STXFRF", "STXFRC"}},
      {"! BERGERON AND MODAL FRE-DEP TLINE DIMENSIONS",
       {"MAXMODES", "TLINES", "MAXPOLES", "TRAVWAVES", "TRANSFORMS", "TRANSPOLES", "ATTPOLES",
        "SURGEPOLES", "NUMMODES"}},
      {"! PHASE DOMAIN FRE-DEP TLINE DIMENSIONS",
       {"TLINES-PH", "NUMMODES-PH", "MAXMODES-PH", "TRAVWAVES-PH", "PROP-PH", "HSERC-PH",
        "YCSERC-PH", "XHK-PH", "MAXPOLES-PH"}},
      {"! MFDTD TLINE DIMENSIONS",
       {"TLINES-MFDTD", "NUMMODES-MFDTD", "MAXMODES-MFDTD", "MAXPOLES-MFDTD", "MAXINC-MFDTD",
        "TLINES-TOTAL"}},
      {"! ENI TLINE DIMENSIONS", {"ENI-SERVERS", "ENI-CLIENTS", "CSCS", "CSCR"}},
  };
  std::string expected = "\n DIMENSIONS:";
  expected.append(16, ' ').append("Used").append(7, ' ').append("Available\n");
  for (const auto& [title, keys] : groups) {
    expected.append(" ").append(title).append("\n");
    for (const std::string& key : keys) {
      std::string row(1, ' ');
      row.append(key);
      row.resize(23, ' ');
      const char* used = key == "UMEC" ? "       5" : "       0";
      const char* available = (key == "UMEC" || key == "PGBS") ? "      10" : "       1";
      row.append("=").append(used).append(8, ' ').append(available);
      ASSERT_EQ(row.size(), 48u);
      expected.append(row).append("\n");
    }
  }
  expected.append("  \n");
  std::ostringstream out;
  wakro_writedim(out);
  EXPECT_EQ(out.str(), expected);
}

TEST_F(DimensionReport, ReadsBackToTheSameTableOnASnapshotStart) {
  write("case.map", kCase);
  read_case("case.map");
  std::int32_t saved[81] = {};
  for (int k : kReported) saved[k] = ndde::e_ndim(k);
  EXPECT_EQ(saved[10], 10100);  // the data-file margin is part of the table

  // A snapshot holds the report followed by its other sections.
  fnames::filename = "case.snp";
  std::int32_t mode = 2;
  wakro_openfile1(mode);
  std::int32_t unit = fnames::iunit;
  wakro_writedim(unit);
  std::fputs("PARAMETERS:\n TIME_STEP = 5E-5\n", wakro::unit_handle(unit));
  wakro_closefile();
  wakro::close_all_units();

  inputtest::release_case_state();
  assorc::input = "SNAP";
  read_case("case.snp");
  for (int k : kReported) EXPECT_EQ(ndde::e_ndim(k), saved[k]) << "entry " << k;
  EXPECT_EQ(fnames::section.trimmed(), "PARAMETERS:");
}
