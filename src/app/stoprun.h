// Stop and pause requests, and the display throttle for model code.
//
// wakro_stoprun(0) makes the next step the last of the present run;
// wakro_stoprun(1) also drops the remaining runs (except in a process that runs
// under another one's control, mruntype 2). wakro_stoprun1 does the same on the
// engine's behalf, with the component ids cleared. wakro_stop ends the process
// from model code with an error; wakro_pause asks the design environment to
// pause; g_updat says whether a run-time display should be refreshed now.
#pragma once

#include <cstdint>

void wakro_stoprun(const std::int32_t& mode);
void wakro_stoprun1(const std::int32_t& mode);
[[noreturn]] void wakro_stop();
void wakro_pause();
bool g_updat(const double& interval);

namespace wakro {
// The time of day as hhmmss.sss read as a number; replaceable by tests.
inline double (*time_of_day_hhmmss)() = nullptr;
double system_time_of_day_hhmmss();
}  // namespace wakro
