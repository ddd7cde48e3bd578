// A small case of the simulated case's modules, run in this process by the
// engine's own driver from data files that the test composes: the files are
// written into a scratch folder, the map named by `map` is answered to the
// start-up dialogue, and the four root routines are the test's own.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace casetest {

struct CaseRoutines {
  std::function<void()> dyn, out, dyn_begin, out_begin;
};

struct ModuleRunResult {
  int status = -1;      // of a fatal stop, -1 when the run ended normally
  std::string console;  // everything the run wrote
};

ModuleRunResult run_modules(const std::map<std::string, std::string>& files, const std::string& map,
                            const CaseRoutines& routines);

// One run of the driver in the present folder, the start-up dialogue answered
// one answer a line, the root routines the test's own.
ModuleRunResult run_driver(const std::vector<std::string>& answers, const CaseRoutines& routines);

// A map file: the dimensions and parameters given, one subsystem of `nodes`
// nodes, then one "MAP:" entry per
// (file, node line) in call order.
std::string map_file(const std::string& dimensions, double finish, int nodes,
                     const std::vector<std::pair<std::string, std::string>>& pages);

// A module data file with the given page sections and both module sections.
std::string module_file(const std::string& page_sections);

}  // namespace casetest
