// The "PARAMETERS:" section of the map or snapshot file: run times, snapshot
// settings, plot range, solution options.
//
// wakro_rdparm is called with fnames::section holding "PARAMETERS:" (the line
// reader has just read the key) and returns with the key that follows the
// section. Each data line is "KEY = value"; the value is read in free format.
// The run's times are then checked against each other. Fatal cases end in
// wakro_quit with tag "RDPARM".
//
// PRINT_STEP is rounded to a whole number of steps of the time step the run
// takes (print_step_of), once the section is read: the order of TIME_STEP and
// PRINT_STEP, and a TIME_STEP line before the last, make no difference.
#pragma once

#include <string_view>

#include "files/listread.h"
#include "model/fixedtext.h"

void wakro_rdparm();

namespace wakro {
// The title a "TITLE = <value>" line gives: one free-format text (a quoted one
// whole, an unquoted one to its first blank or comma), "***Blank_Title***" when
// it is blank. Not ok when the value does not read (the title is then blank).
ReadStatus title_of(std::string_view value, FixedText<72>& title);
// The print step a "PRINT_STEP = <value>" line gives a run of time step delt:
// delt times the nearest whole number of steps, at least one. The parameter
// reader and the merge of a changed map on resume both round so, with the
// run's time step.
double print_step_of(double value, double delt);
}  // namespace wakro
