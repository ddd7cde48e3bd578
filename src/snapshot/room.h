// Room `snapshot`: snapshot files, which hold the whole state of a case at one
// step so that a later run can go on from there.
//
// Owns: the value layouts of the file (layout.h), the state blocks written and
// read by one walk (archive.h), and the writer, the naming of the files, the
// reader and the merge of a changed map file on resume (snapshot.h:
// wakro_writesnap, wakro_snapfile, wakro_writeline, wakro_writeparm,
// wakro_writesubsysdim, wakro_writestors, wakro_writemap, wakro_readsnap,
// wakro_readstors, wakro_readmap, update_from_map), the checks of what is read
// (state_check.h), what identifies a snapshot's case (case_identity.h) and the
// sizes of the map a chain of resumes carries on (map_dimensions.h).
//
// The run driver and the run loop reach the writer, the reader and the naming
// only through their seams, which the app room plugs with the routines of this
// room; the case reader's parameter echo and the snapshot header check of the
// start-up dialogue are plugged the same way.
//
// Stands on `model` (the state), `diag` (messages, wakro_quit, layouts),
// `files` (the unit stack and the line reader), `input` (the dimension,
// parameter, subsystem and channel-list readers), `network` (the MNA set-up of
// a run from a snapshot) and `output` (the header check, the lock of each
// snapshot file before it is written). Nothing of a higher
// room is included from here: the element rooms' own store records (the
// devices' and the lines') are checked by the routines those rooms register in
// network/record_checks.h, which check_restored_state calls.
#pragma once
