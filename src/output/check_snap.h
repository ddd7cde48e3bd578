// The snapshot header check made before a run starts from a snapshot.
//
// check_snap(ok, snapshotTime) opens the snapshot named by fnames::inam, skips
// its comment lines, and reads the header's value line: the version, the time
// (into e_s1::time) and the time step (into e_s1::delt). It returns only when
// the snapshot is accepted, with ok = 1 and snapshotTime = the time; with
// snapshot output on (outppp::snpfil) the next snapshot time snpdat::tsnap is
// moved on by the snapshot's time (a snapshot promised for the end of the run,
// snpdat::at_run_end, has no time to move). Every refusal ends the run through
// wakro_quit with the tag "SNAP_OK" (mode 1):
//   - a first word not beginning with "5": "ERROR: WAKRO: Incompatible snap-shot
//     file" and, for "******", "3..." or "4...", the Quolb version it seems to be;
//   - an unreadable value line, or a time step that is not a positive finite
//     number: "WAKRO: Error while reading snap file:";
//   - a value line cut short by the end of the file: "WAKRO: Unexpected
//     End_Of_File";
//   - a version more than 1e-6 away from versin::version: numbered text 107.
//
// The snapshot's file name is formed by the snapshot subsystem, which registers
// its opener here; until it does, the file is opened under fnames::inam as given
// (a real opener, not a missing service).
#pragma once

#include <cstdint>

void check_snap(std::int32_t& ok, double& snapshotTime);

namespace wakro {

// Opens the snapshot to read as the new top input unit (nullptr: the default).
void set_snapshot_opener(void (*opener)());

}  // namespace wakro
