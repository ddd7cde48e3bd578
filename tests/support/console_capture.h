// Running code with the console captured: what it wrote, and the status of the
// fatal stop that ended it.
#pragma once

#include <sstream>
#include <string>

#include "diag/console.h"
#include "support/fatal_capture.h"

namespace wakro_test {

// Result of running code that may end in a fatal stop.
struct Outcome {
  int status = -1;  // -1: returned normally
  std::string console;
};

// Runs f with the console captured; a fatal stop is caught and its status kept.
template <class F>
Outcome run_captured(F&& f) {
  std::ostringstream out;
  Outcome o;
  {
    wakro::ConsoleRedirect redirect(out);
    o.status = fatal_status(f);
  }
  o.console = out.str();
  return o;
}

}  // namespace wakro_test
