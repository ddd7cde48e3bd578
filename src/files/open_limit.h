// The process's limit on open files.
//
// raise_open_file_limit() raises the soft limit on open files (RLIMIT_NOFILE)
// to the hard limit. A run opens many files at once: the data files of a case
// with their include files, each channel file with its lock, the multiple-run
// files, the locks held for the whole set, the room kept for channel files
// while their locks are taken. A soft limit below the hard one (`ulimit -S -n`)
// would stop such a run at whichever of them came first, so each process entry
// raises it once before any file is opened, and whatever meets the limit later
// may call it again. True when the soft limit is now the hard one (or without
// limit); false when it could not be raised, which leaves it as it was.
#pragma once

namespace wakro {

bool raise_open_file_limit();

}  // namespace wakro
