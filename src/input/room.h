// Room `input`: reading the engine's text input.
//
// Owns: the case reader with its section readers (readdata.h), the
// "DIMENSIONS:" reader with the dimension check and report (dimensions.h), the
// "PARAMETERS:" reader (parameters.h), the bracketed data blocks that model code
// reads (brackets.h), and the seams through which the line subsystem sizes the
// line arrays and the snapshot subsystem writes the run parameters
// (input_hooks.h).
//
// Stands on `model` (shared state modules, dimension table, fixed texts), `diag`
// (console streams, free-format writer, layouts, model messages and the fatal
// termination) and `files` (the stack of open files, the free-format reader, the
// data-line reader and the word utilities of data lines, which `output` uses
// too). Nothing of a higher room is included from here; higher rooms register
// their services through input_hooks.h and reader_hooks.h. The "BRANCHES:"
// reader belongs to the network room (it enters each branch into the
// conductance matrix): the case reader reaches it through reader_hooks.h and
// stops with a message when no branch reader is registered.
#pragma once
