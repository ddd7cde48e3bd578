// The run driver: wakro carries every run of the run set from the start-up
// dialogue to the end report; hello and goodby are its banner and end report,
// wakro_initcom the per-run initialisation, and the accessors serve user code.
#pragma once

#include <array>
#include <cstdint>

#include "model/fixedtext.h"

// Date and time of day as eight integers: year, month, day, minutes from UTC,
// hour, minute, second, millisecond.
using DateTime8 = std::array<std::int32_t, 8>;

// The driver (wakro_driver: the plain name wakro is the engine's namespace).
// Returns after the end report and the release of the case-sized state, or
// leaves by wakro::FatalExit when a run ends fatally.
void wakro_driver(bool& version5, bool& gui, wakro::FixedText<128>& host, std::int32_t& port,
                  std::int32_t& clientId);

// Start banner: numbered texts 231-233 alone, catalogue texts 2, 83, 84 with the
// link; start receives the date and time.
void hello(DateTime8& start, bool gui);
// End report: input file, legacy output files, snapshots, multiple-run file and
// the times (numbered texts 238-241 without the version-5 flag, catalogue
// texts 85, 87, 86 with it).
void goodby(bool version5, const DateTime8& start);
// Per-run initialisation: run flags, step count, per-subsystem counters.
void wakro_initcom();

// Accessors for user-written model code.
std::int32_t wakro_run();
std::int32_t wakro_nrn();
std::int32_t wakro_rank();
void aflush();
// Copies the output name (34 characters) into the field of n characters,
// blank-padded or cut.
void getoutputname(char* name, std::int32_t n);
void setoutputtype(const std::int32_t& type);

namespace wakro {

// The clock of hello and goodby (replaceable by tests).
inline void (*date_and_time)(DateTime8& now) = nullptr;
// The current date and time from the system clock.
void system_date_and_time(DateTime8& now);

// Elapsed time from start to now as hours, minutes, seconds, milliseconds, with
// borrows field by field and a wrap of 24 hours; days are not counted.
std::array<std::int32_t, 4> elapsed_time(const DateTime8& start, const DateTime8& now);

// Set by wakro_initcom when a run from a snapshot has no step left to run (the
// snapshot lies at or beyond the finish time); the run loop then runs no step.
inline bool run_without_steps = false;

}  // namespace wakro
