// Progress of a run on the console when the engine runs alone.
//
// wakro_percentcomplete(guiFlag): with guiFlag 0, prints
// " => This run is  10% complete." each time another tenth of the run's steps
// (lround(0.1·steps_of_run()), counted from the steps a snapshot start had
// already run) has passed; the count starts afresh with each run. A run of no steps prints
// nothing. Each line is flushed as it is written.
//
// wakro_screenplot(): one line of a character plot of the first ten output
// channels per call. The first call of the process prints the heading (case
// title, the microseconds notice when delt < 1e-6, the plot limits, the frame
// line). A line is the time (F11.6), "I", 51 columns and "I"; channel i marks
// column trunc((pgb(i) - pmin)·50/(pmax - pmin) + 0.5) + 1 (limited to 1..51)
// with "1".."9", "0" for channel 10, a later channel over an earlier one. A NaN
// value, or a plot range of zero width, marks nothing.
#pragma once

#include <cstdint>

void wakro_percentcomplete(std::int32_t guiFlag);
void wakro_screenplot();

namespace wakro {
// The steps the present run takes after the one it starts from, which its
// progress counts: ndelt from data (the steps after the time-zero step), and
// ndelt + 1 from a snapshot of S steps (the steps S + 1 .. S + 1 + ndelt).
std::int64_t steps_of_run();
// Forgets the run last seen by the progress lines and that the plot heading was
// printed (a new process, for tests).
void reset_console_progress();
}  // namespace wakro
