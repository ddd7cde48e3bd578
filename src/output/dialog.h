// The console start-up dialogue: the questions asked when the engine runs
// without the design environment, answered one per line from the console (or a
// file of answers).
//
// dialog() asks, through the numbered console texts 301-318: data or snapshot
// start; snapshots to take (time, kind, file name; a time of 0 or below takes
// one snapshot, at the last step of the run: snpdat::at_run_end); the map file
// (which must be a regular file that can be read: a missing one gets numbered text 103, a
// folder, a device or an unreadable file one line saying which) or, for a snapshot start, whether
// output time restarts at 0.0; the number of runs (1..10000); the output file; the screen plot
// (always asked, with the multiple-run notice when there is more than one run); for a snapshot
// start the snapshot to pick up (checked by check_snap) and the new finish time
// (greater than the snapshot's time step); the global substitution values
// (quolbv3::gsx). Every pass starts from the defaults.
//
// Integers are read from the first six columns (blanks ignored, a blank field
// is 0), names from the first 34 columns (a longer name is a failed answer),
// reals in free form (blank lines skipped). A failed answer goes to errhan; when
// it brings the count of failures (misses::imis) to exactly 3, " **** THIS IS
// YOUR LAST CHANCE! ****" is printed and the dialogue starts again from the
// defaults; the fourth failure ends the run (numbered text 402). The end of the
// answers ends the run with a message instead of asking again.
//
// wakro_checkmapname(): a name in fnames::inam ending in ".dat" or ".dta" (the
// extension starting within the first 31 columns) is given ".map" instead, with
// the two warning lines " Warning: <old> has been interpreted as" and
// "      >>> <new> <<<".
#pragma once

#include <istream>

void dialog();
void wakro_checkmapname();

namespace wakro {

// The stream the dialogue reads its answers from (nullptr: standard input).
void set_dialog_input(std::istream* in);

}  // namespace wakro
