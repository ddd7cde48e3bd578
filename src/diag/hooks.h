// Hooks by which the ground floor reports through the diagnostics.
//
// The model room cannot call the message service or wakro_quit itself; the
// process entry calls install_diagnostic_hooks() once at start-up so that, for
// example, a matrix allocation that cannot be met is reported as a model error and
// ends the run through wakro_quit. Without them the ground floor still stops
// (a runtime stop carrying the same two lines), so nothing is silently skipped.
#pragma once

namespace wakro {

void install_diagnostic_hooks();

}  // namespace wakro
