// wakro_initialz: the starting values of the shared state for one run.
//
// Runs once per run, after the dimensions are read and the groups allocated, and
// before any section that fills these arrays is read. Every array it names is set
// over its whole allocated extent; the case's variables e_s4::var only on the first
// run, so that a later run of a multiple run finds them as the previous run left
// them. It touches no file and reports nothing.
#pragma once

void wakro_initialz();
