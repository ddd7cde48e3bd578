#include "module_run.h"

#include <sstream>

#include "app/driver.h"
#include "app/engine_services.h"
#include "app/seams.h"
#include "diag/console.h"
#include "output/dialog.h"
#include "support/fatal_capture.h"
#include "support/shared_state.h"
#include "support/temp_dir.h"

namespace casetest {
namespace {

CaseRoutines g_routines;

void root_dyn() { g_routines.dyn(); }
void root_out() { g_routines.out(); }
void root_dyn_begin() { g_routines.dyn_begin(); }
void root_out_begin() { g_routines.out_begin(); }

}  // namespace

std::string map_file(const std::string& dimensions, double finish, int nodes,
                     const std::vector<std::pair<std::string, std::string>>& pages) {
  std::ostringstream m;
  m << "DIMENSIONS:\n" << dimensions << "PARAMETERS:\n TITLE = 'module test'\n TIME_STEP = 50.0E-6\n"
    << " PRINT_STEP = 1.0E-3\n FINISH_TIME = " << finish << "\nSUBSYSDIM:\n 1 " << nodes << "\n";
  for (const auto& [file, nodes] : pages) m << "MAP: " << file << "\n " << nodes << "\n 0 0\n";
  m << "ENDCASE:\n";
  return m.str();
}

std::string module_file(const std::string& page_sections) {
  return page_sections + "DATADSD:\nDATADSO:\nENDPAGE:\n";
}

ModuleRunResult run_driver(const std::vector<std::string>& answers, const CaseRoutines& routines) {
  ModuleRunResult r;
  std::string text;
  for (const std::string& a : answers) text += a + "\n";
  std::ostringstream console;
  {
    wakro::ConsoleRedirect out(console);
    wakro::ConsoleRedirect err(console, true);
    wakro_test::reset_shared_state();
    wakro::plug_engine_services();
    g_routines = routines;
    wakro::Seams& s = wakro::seams();
    s.dsdyn = &root_dyn;
    s.dsout = &root_out;
    s.dsdyn_begin = &root_dyn_begin;
    s.dsout_begin = &root_out_begin;
    std::istringstream in(text);
    wakro::set_dialog_input(&in);
    r.status = wakro_test::fatal_status([] {
      wakro::FixedText<128> host("localhost");
      std::int32_t port = -1, id = 1;
      bool v5 = false, gui = false;
      wakro_driver(v5, gui, host, port, id);
    });
    wakro::set_dialog_input(nullptr);
    wakro_test::reset_shared_state();
    g_routines = {};
  }
  r.console = console.str();
  return r;
}

ModuleRunResult run_modules(const std::map<std::string, std::string>& files, const std::string& map,
                            const CaseRoutines& routines) {
  wakro_test::WorkFolder folder;
  if (!folder.enter("wakro_case_modules_")) return {};
  for (const auto& [name, text] : files) wakro_test::write_file(name, text);
  ModuleRunResult r = run_driver({"0", "0", map, "1", "0", "0", "0"}, routines);
  folder.leave();
  return r;
}

}  // namespace casetest
