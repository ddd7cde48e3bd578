// lock_run_set_names (see run_set_locks.h).
#include "multirun/run_set_locks.h"

#include <string>

#include "files/words.h"
#include "model/ctrl.h"
#include "model/fnames.h"
#include "model/pmr_consolidate.h"
#include "multirun/names.h"
#include "output/output_lock.h"

namespace wakro::multirun {

void lock_run_set_names() {
  if (ctrl::nrun <= 1) return;
  const std::string base(base_name(fnames::mnam.trimmed()));
  if (base.size() <= file_part_start(base)) return;  // no name of its own: refused with the names
  constexpr std::string_view kKind = "multiple-run file";
  lock_output_file(mrun_file_name(base, ctrl::rank), kKind, LockRefusal::writes_nothing);
  if (ctrl::rank >= 2 && ctrl::rank == pmr_consolidate::pmr_count)
    lock_output_file(mrun_file_name(base, 0), kKind, LockRefusal::writes_nothing);
}

}  // namespace wakro::multirun
