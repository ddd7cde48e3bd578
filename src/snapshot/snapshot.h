// Writing, naming and reading snapshot files, and the map merge on resume.
//
// wakro_writesnap writes the whole state of the present step: header, rule,
// "DIMENSIONS:", "PARAMETERS:", "SUBSYSDIM:", the stores, the map, "MAP_UPDATE:"
// and the map file name, then the state blocks (archive.h), the rule and
// "! End of Snap-shot". The text is built in memory, written to "<name>.tmp"
// and renamed over the snapshot's name only when all of it was written: a
// failed write ("Error occurred while writing snap file <name>: <reason>", tag
// "WRITESNP") keeps the previous snapshot and does not advance the schedule. A scheduled snapshot
// moves snpdat::tsnap on by snpdat::snpinc; one taken on request
// (snpdat::rtsnap) does not, and records the step counter less one. An order
// that comes before the case holds a step to write (a run from data before its
// time-zero step, or no case read) writes nothing and is answered with the
// warning "WAKRO: Snapshot not written: the run has not taken its first step",
// which reaches the design environment when it is connected. The map part
// writes only the entries its arrays hold. The "DIMENSIONS:" section of a run
// resumed from a snapshot gives the sizes the map gave the run from data
// (map_dimensions.h), as that run's own snapshots do.
//
// wakro_snapfile(mode) forms the snapshot's name (1 to read, 3 to write, 0 to
// list at the end of the program). The name is built past the 34 characters of
// the name fields, so an incremental suffix after a long base is never lost.
// Mode 1 opens the snapshot on the unit stack; mode 3 leaves the formed name in
// fnames::filename and snapshot_path().
//
// wakro_readsnap restores everything, in the writer's order; every count the
// file gives is checked against the array it sizes, and every index the run
// takes from the restored state against what it indexes (state_check.h), before
// the first step: the dimension reader checks the "DIMENSIONS:" rows before
// anything is allocated (input/dimensions.h), then NMANA must be 0 unless the
// parameters turn MNA on, and TLINES may not pass TLINES-TOTAL. The header's
// time and time step must be those of the
// parameters, and the step counter must give the time within 0.5001 steps. wakro_readstors takes each
// store's count from its label line and refuses one that differs from the
// dimension ("READSTORS"); wakro_readmap reads the channel names as raw lines
// ("READMAP"). update_from_map compares the map file named in the snapshot
// with the snapshot's dimensions and takes over the channel lists, names,
// output description, print step and dimension printout ("UPDATE_MAP"), each
// as a run from data takes it (none when the map has none); a map of another
// time step or of another case (case_identity.h), a map a run from data
// refuses, or a name that is not a regular file, is refused.
#pragma once

#include <cstdint>
#include <string>

void wakro_writesnap();
void wakro_snapfile(std::int32_t mode);
void wakro_writeline(std::int32_t& unit);
void wakro_writeparm(std::int32_t& unit);
void wakro_writesubsysdim(std::int32_t& unit);
void wakro_writestors();
void wakro_writemap();
void wakro_readsnap();
void wakro_readstors();
void wakro_readmap();
void update_from_map();

namespace wakro::snapshot {

// The name formed by the last wakro_snapfile call (whole, not cut).
const std::string& snapshot_path();
// The "PARAMETERS:" section as the snapshot writes it.
std::string parameters_text();
// The locks of the scheduled snapshots and their temporary files
// (output_lock.h), before anything is written: at the start of the run set,
// the snapshot under a fixed name (and the name of the snapshots checked);
// once the first run's case is read, the incremental names its last run will
// take (at most the ten names they cycle through). Every snapshot is locked
// again when its name is formed for writing (a run-time one only then).
void lock_fixed_snapshot_name();
void lock_numbered_snapshot_names();

}  // namespace wakro::snapshot
