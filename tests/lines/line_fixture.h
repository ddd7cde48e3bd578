// Fixture of the line tests: writes a line section (and the line-constants
// files it names) in a work folder, runs the dimension pass over it, sizes the
// case from the counts the pass left in the dimension table, reads the section
// with the section reader and runs steps through the real network solution.
#pragma once

#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "files/linereader.h"
#include "files/units.h"
#include "lines/lines.h"
#include "model/dim.h"
#include "model/e_s7.h"
#include "model/fnames.h"
#include "model/ndde.h"
#include "network/net_fixture.h"
#include "network/sparse_fixture.h"
#include "support/temp_dir.h"

namespace linetest {

// The line entries of the dimension table that the pass writes.
inline const int kLineEntries[] = {
    dim::maxmodes,  dim::tlines,      dim::maxpoles,    dim::travwaves,   dim::transforms,
    dim::transpoles, dim::attpoles,   dim::surgepoles,  dim::nummodes,    dim::tlines_ph,
    dim::tlines_mfdtd, dim::tlines_total, dim::eni_servers, dim::eni_clients,
    dim::nummodes_ph, dim::maxmodes_ph, dim::travwaves_ph, dim::prop_ph, dim::hserc_ph,
    dim::ycserc_ph, dim::xhk_ph, dim::maxpoles_ph, dim::nummodes_mfdtd, dim::maxmodes_mfdtd,
    dim::maxpoles_mfdtd, dim::maxinc_mfdtd};

class Lines : public nettest::Network {
 public:
  // Writes the section file: the key, the records, then "ENDCASE:".
  static void write_section(const std::string& key, const std::string& records) {
    wakro_test::write_file("page.dat", key + "\n" + records + "ENDCASE:\n");
  }

 protected:
  void SetUp() override {
    nettest::Network::SetUp();
    reset_line_counts();
    ASSERT_TRUE(folder_.enter("wakro_lines_"));
    wakro::use_line_services();
  }
  void TearDown() override {
    folder_.leave();
    reset_line_counts();
    nettest::Network::TearDown();
  }

  static void reset_line_counts() {
    e_s7::line = e_s7::img = e_s7::nlmodeu = e_s7::ntwbufu = e_s7::ntermtu = 0;
    e_s7::npoltu = e_s7::npolau = e_s7::npolzu = 0;
    e_s7::tstepmin = 1.0e99;
    e_s7::ntldtwarn = e_s7::tldterr = 0;
  }

  // Opens page.dat and reads up to its first key (the section's).
  static void open_page() {
    fnames::filename = "page.dat";
    wakro_openfile();
    rdcmnt();
  }

  // The dimension pass over page.dat with time step delt.
  static void pass(double delt) {
    e_s1::delt = delt;
    sctline_init();
    open_page();
    sctline();
    wakro::close_all_units();
  }

  // The pass, then the case sized from its counts (nodes per subsystem, nbr
  // branches, nss subsystems), then the section read into it.
  void read_lines(std::int32_t nodes, std::int32_t nbr, std::int32_t nss, double delt) {
    pass(delt);
    for (int k : kLineEntries) extra_dims_.emplace_back(k, ndde::e_ndim(k));
    for (const auto& d : after_pass_) extra_dims_.push_back(d);
    const std::int32_t warn = e_s7::ntldtwarn, err = e_s7::tldterr;
    size(nodes, nbr, nss, 0, delt);
    e_s7::ntldtwarn = warn;
    e_s7::tldterr = err;
    e_s7::tstepmin = 1.0e99;
    open_page();
    std::int32_t zero[4] = {0, 0, 0, 0};
    dslint(zero[0], zero[1], zero[2], zero[3]);
    wakro::close_all_units();
  }

  // Sizes set after the pass (a later entry wins over the pass's count).
  std::vector<std::pair<int, std::int32_t>> after_pass_;
  wakro_test::WorkFolder folder_;
};

// A headerless one-conductor Bergeron record between nodes kn and mn of
// subsystem 1: travel time tau_ms, Zc, lossless, F1 = F2, T1 = 1e-7 ms.
inline std::string lossless_record(double tau_ms, double zc, int kn = 1, int mn = 2) {
  std::ostringstream os;
  os << std::setprecision(17) << "1 0 1 1 60.0 60.0 1.0 1.0E-7 0.0\n"
     << kn << " " << mn << " " << tau_ms << " " << zc << " 0.0 0.0 1.0\n";
  return os.str();
}

}  // namespace linetest
