// The single fatal termination of a run, and the exit line of the process entries.
//
// wakro_quit(tag, mode) is called after the caller has written its own
// explanation. It writes the input context chosen by mode and a closing banner:
//
//   " ========================================================="
//   " Following is the last read data line:"        (modes 1 and 2)
//   " <the 72 characters of fnames::dumlin>"         (modes 1 and 2)
//   " Data file name: <fnames::filename, 34>..."     (modes 1 and 3)
//   " Map/snap file name: <fnames::tnam, 34>"        (modes 2 and 3)
//   " ERROR: Abnormal termination of WAKRO by <tag>"
//   " <the note of set_quit_note>"                  (when one is set)
//   " ========================================================="
//   "  "
//
// and then ends the run by throwing wakro::FatalExit; it never returns. With the
// design environment connected (quolbv3::guisoc) it waits one second, sends the
// abort notice (a link message holding 10, then one holding 0, 0, 0) and raises
// the fatal catalogue message "RUN ABORTED" (status 2000). Running alone it
// releases the case-sized state (deallocate_nd, deallocate_pf,
// e_s0::deallocate_ss) and ends with status 2000 too, so that the process entry
// closes the output files and the process does not report success.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/fixedtext.h"

// tag: the routine tag, blank-padded to 12 characters when shorter (a longer tag
// is written whole). mode: 1, 2, 3 as above; any other value shows no context.
[[noreturn]] void wakro_quit(std::string_view tag, std::int32_t mode);

// The last data line read (fnames::dumlin). The unit argument of the older form
// is not used.
wakro::FixedText<72> getdum();
wakro::FixedText<72> getdum(std::int32_t unit);

namespace wakro {

// A line the banner writes after its "Abnormal termination" line until it is
// cleared (an empty text clears it): the case reader names there a section it
// skipped, so that a stop caused by the missing data points at it.
void set_quit_note(std::string_view text);

// Status of a fatal stop: 2000 (with or without the design environment).
inline constexpr int kQuitStatus = 2000;

// The line a process entry prints before it ends:
// "<program> exiting.  Status code = <status>\n".
std::string exit_line(std::string_view program, int status);

}  // namespace wakro
