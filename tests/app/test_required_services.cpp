// The services every case needs: left unregistered, each one stops the run at
// its first call with a line naming it and the fatal banner tagged with its name;
// the services a case may lack keep doing nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/driver.h"
#include "app_fixture.h"
#include "model/fnames.h"
#include "model/ideal.h"
#include "support/fatal_capture.h"

namespace app_test {
namespace {

void fixed_clock(DateTime8& t) { t = {2026, 3, 4, 60, 5, 6, 7, 8}; }
void one_run_dialog() { ctrl::nrun = 1; }

// What the case reader leaves for the run: two steps of 0.5 with an output step
// each; with `network` one subsystem with a 1 x 1 matrix; with `files` the legacy
// output files and a screen plot asked for.
bool g_network = false;
bool g_files = false;
void read_case() {
  e_s1::delt = 0.5;
  e_s1::fintim = 1.0;
  e_s1::print = 0.5;
  if (g_network) {
    ndde::use_subsysdim = false;
    e_s0::gm.allocate(1, 1, 1);
    e_s0::mbus.allocate(1);
    ideal::gms.allocate(1, 1);
    int2::ntriang.allocate(1);
    e_s0::mbus(1) = 1;
    e_s0::gm(1, 1, 1) = 2.5;
    int2::nmat = 1;
  }
  if (g_files) {
    outppp::outfil = 1;
    outppp::jplt = 1;
    outppp::pplot = 1.0;
    fnames::iouttype = 0;
    fnames::iunitout = 1;
  }
}

class RequiredServices : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    const wakro::Seams fixture = wakro::seams();
    wakro::reset_seams();
    defaults_ = wakro::seams();
    wakro::seams() = fixture;
    wakro::date_and_time = &fixed_clock;
    wakro::seams().dialog = &one_run_dialog;
    wakro::seams().readdata = &read_case;
    g_network = g_files = false;
  }
  // Runs the driver alone; the status of a fatal end, or -1.
  int drive() {
    return wakro_test::fatal_status([] {
      wakro::FixedText<128> host("localhost");
      std::int32_t port = -1, id = 1;
      bool v5 = false, gui = false;
      wakro_driver(v5, gui, host, port, id);
    });
  }
  wakro::Seams defaults_{};
};

struct Required {
  const char* service;
  const char* what;
  const char* tag;  // as wakro_quit writes it: padded to 12 characters
  std::function<void(wakro::Seams&, const wakro::Seams&)> unplug;
  bool network = false;
  bool files = false;
};

TEST_F(RequiredServices, EachMissingServiceStopsTheRunNamingIt) {
  const Required table[] = {
      {"dialog", "the start-up dialogue on the console", "DIALOG      ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.dialog = d.dialog; }},
      {"readdata", "the case reader", "READDATA    ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.readdata = d.readdata; }},
      {"dsdyn_begin", "a root routine of the case", "DSDYN_BEGIN ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.dsdyn_begin = d.dsdyn_begin; }},
      {"dsout_begin", "a root routine of the case", "DSOUT_BEGIN ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.dsout_begin = d.dsout_begin; }},
      {"dsdyn", "a root routine of the case", "DSDYN       ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.dsdyn = d.dsdyn; }},
      {"dsout", "a root routine of the case", "DSOUT       ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.dsout = d.dsout; }},
      {"wakro_percentcomplete", "the console progress of the output steps", "WAKRO_PERCENTCOMPLETE",
       [](wakro::Seams& s, const wakro::Seams& d) { s.wakro_percentcomplete = d.wakro_percentcomplete; }},
      {"set_klu", "the network solution's choice of solver", "SET_KLU     ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.set_klu = d.set_klu; }, true},
      {"intsolvi", "the network solution", "INTSOLVI    ",
       [](wakro::Seams& s, const wakro::Seams& d) { s.intsolvi = d.intsolvi; }, true},
      {"wakro_outputfile", "the output channel files", "WAKRO_OUTPUTFILE",
       [](wakro::Seams& s, const wakro::Seams& d) { s.wakro_outputfile = d.wakro_outputfile; }, false,
       true},
      {"wakro_screenplot", "the screen plot", "WAKRO_SCREENPLOT",
       [](wakro::Seams& s, const wakro::Seams& d) { s.wakro_screenplot = d.wakro_screenplot; }, false,
       true},
  };
  const wakro::Seams plugged = wakro::seams();
  for (const Required& r : table) {
    SCOPED_TRACE(r.service);
    out_.str("");
    wakro::seams() = plugged;
    r.unplug(wakro::seams(), defaults_);
    g_network = r.network;
    g_files = r.files;
    case_ = FakeCase{};
    int2::nmat = 0;

    EXPECT_EQ(drive(), 2000);
    const std::string text = out_.str();
    const std::string named =
        " Missing service: " + std::string(r.service) + " (" + r.what + ") was never registered.\n";
    EXPECT_NE(text.find(named), std::string::npos) << text;
    EXPECT_NE(text.find(" ERROR: Abnormal termination of WAKRO by " + std::string(r.tag) + "\n"),
              std::string::npos)
        << text;
    // The run stopped at the service: no step went past it, and nothing was
    // written after the banner of the stop.
    EXPECT_EQ(text.find("Elapsed Time"), std::string::npos) << text;

    ndde::deallocate_nd();
    std::int32_t status = 0;
    e_s0::deallocate_ss(status);
    ideal::gms.release();
    outppp::outfil = 0;
    outppp::pplot = 0.0;
    outppp::jplt = 0;
    fnames::iunitout = 0;
  }
}

// The services that a case may lack keep doing nothing: with every seam of the
// link, the lines, the snapshots, the record file and the multiple runs left at
// its default, and no subsystem (so no solver to choose), a case runs to its end.
TEST_F(RequiredServices, ServicesACaseMayLackStillDoNothing) {
  wakro::Seams& s = wakro::seams();
  s.set_klu = defaults_.set_klu;
  s.eni_init = defaults_.eni_init;
  s.sendeninames = defaults_.sendeninames;
  s.readsnap = defaults_.readsnap;
  s.writesnap = defaults_.writesnap;
  s.snapfile = defaults_.snapfile;
  s.ofnextrun = defaults_.ofnextrun;
  s.delete_output_file = defaults_.delete_output_file;
  s.reset_button = defaults_.reset_button;
  s.calc_pf = defaults_.calc_pf;
  EXPECT_EQ(drive(), -1) << out_.str();
  EXPECT_EQ(case_.dynSteps.size(), 3u);
  EXPECT_EQ(case_.outputSteps, 3);
  EXPECT_NE(out_.str().find("Elapsed Time: 00:00:00.000"), std::string::npos) << out_.str();
  EXPECT_EQ(out_.str().find("Missing service"), std::string::npos) << out_.str();
}

}  // namespace
}  // namespace app_test
