// The "PARAMETERS:" section of the map or snapshot file: run times, snapshot
// settings, plot range, solution options.
//
// wakro_rdparm is called with fnames::section holding "PARAMETERS:" (the line
// reader has just read the key) and returns with the key that follows the
// section. Each data line is "KEY = value"; the value is read in free format.
// The run's times are then checked against each other. Fatal cases end in
// wakro_quit with tag "RDPARM".
//
// A PRINT_STEP given while no time step is known yet (a TIME_STEP line that comes
// later) is rounded to a whole number of steps once the section has ended, with
// the time step it gave, instead of being replaced by the time step.
#pragma once

void wakro_rdparm();
