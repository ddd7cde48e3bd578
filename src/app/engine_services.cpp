// The engine's services in the seams of the driver (see engine_services.h).
#include "app/engine_services.h"

#include "app/network_services.h"
#include "app/output_services.h"
#include "app/seams.h"
#include "devices/voltage_sources.h"
#include "input/readdata.h"
#include "lines/eni.h"
#include "lines/lines.h"
#include "multirun/consolidate.h"
#include "multirun/extrafiles.h"
#include "multirun/run_end.h"
#include "multirun/run_set_locks.h"
#include "output/dialogv3.h"
#include "output/output_lock.h"
#include "output/pf_values.h"
#include "output/check_snap.h"
#include "output/runtime_messages.h"
#include "input/input_hooks.h"
#include "snapshot/snapshot.h"
#include "transformers/services.h"

namespace wakro {

void plug_engine_services() {
  Seams& s = seams();
  use_output_services();   // the console dialogue and the output routines
  use_network_services();  // the per-step network solution
  devices::use_device_services();  // the registered voltage sources
  use_line_services();     // line sections, their sizing and per-step histories
  use_transformer_services();  // transformer windings in the solution and the reader
  s.eni_init = &::eni_init;
  s.sendeninames = &::sendeninames;
  s.dialogv3 = &::dialogv3;
  s.readdata = &wakro_readdata;
  s.reset_button = &::reset_button;
  s.clear_button_list = &::clear_button_list;
  s.init_monitorcode = &::init_monitorcode;
  s.qbstep = &::qbstep;
  s.outqbv3 = &::outqbv3;
  s.calc_pf = &::calc_pf;
  s.send_pfdata = &::send_pfdata;
  s.send_endofrunmsgs = &::send_endofrunmsgs;
  // Snapshots: written on schedule and on request, read for a start from one.
  s.readsnap = &wakro_readsnap;
  s.writesnap = &wakro_writesnap;
  s.snapfile = &wakro_snapfile;
  set_writeparm_hook(&wakro_writeparm);
  set_snapshot_opener([] { wakro_snapfile(1); });
  // The locks of the files a run set writes: the output room's, and the
  // snapshots and multiple-run files named before anything is written.
  s.lock_output_names = [] {
    lock_output_names();
    snapshot::lock_fixed_snapshot_name();
    multirun::lock_run_set_names();
  };
  s.lock_case_files = [] {
    lock_channel_files();
    snapshot::lock_numbered_snapshot_names();
  };
  s.pmr_mrun_consolidate = &::pmr_mrun_consolidate;
  s.pmr_mrun_extrafiles_consolidate = &::pmr_mrun_extrafiles_consolidate;
  s.mrunxtrafiles_statistics = &::mrunxtrafiles_statistics;
  s.mrun_end_of_set = &::mrun_end_of_set;
}

}  // namespace wakro
