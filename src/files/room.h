// Room `files`: the engine's text files, whoever reads them.
//
// Owns: the opening of every text file read and the bound on its lines
// (textfile.h), the stack of open files ("units", units.h), the one free-format
// ("list-directed") reader (listread.h), the data-line reader with its comments,
// section keys, control keywords and include files (linereader.h), and the word
// utilities of 72-character data lines (words.h).
//
// Why a room of its own: these serve both `input` (the map, page and module data
// files of a case) and `output` (the console start-up dialogue reads its answers
// with the free-format reader, the snapshot header check reads the snapshot's
// first data line, the channel files are opened on the unit stack), and `output`
// may not stand on `input`. They need the console, the model messages and the
// fatal termination of `diag`, so they cannot live below it; putting them into
// `diag` would make the room of messages also the room of file reading. So they
// sit just above `diag`, and both `input` and `output` stand on them.
//
// Stands on `model` (fnames, options, e_warn, fixed texts) and `diag` (console
// lines, model messages, wakro_quit). Nothing of a higher room is included from
// here.
#pragma once
