// Room `output`: what the engine writes for the user when it runs alone, and the
// legacy channel files.
//
// Owns: the console start-up dialogue with the map-name rewrite (dialog.h), the
// snapshot header check used by both start-up dialogues (check_snap.h), the
// console progress lines and the character screen plot (console_progress.h),
// the legacy text channel files with their description file and the step writer
// for the output record file (channel_files.h), the bindings through which
// engine routines reach the output record file (record_bindings.h), the
// output record file itself with its description lines (outputfile.h), the
// loader of the output-writer library (datafile.h) with the handle records the
// library fills (record_handles.h), and the fixed-width general field of the
// channel files (gfield.h), the locks on the files a run writes
// (output_lock.h). With the design environment: the start-up dialogue
// over the link (dialogv3.h), the run-time messages (runtime_messages.h) and the
// load-flow display values (pf_values.h). The numbered console texts the room
// writes are named in messages.h.
//
// Stands on `model` (shared state), `diag` (console streams, numbered console
// texts, layouts, model messages, the fatal termination), `link` and `files`
// (the unit stack, the data-line reader, the free-format reader); never on
// `input`, whose case reader is no business of the output. The
// snapshot file names belong to another room and reach this one through the
// registration in check_snap.h; the record file is registered with its
// bindings at start-up (record_bindings.h), so a test may put a stand-in there.
#pragma once
