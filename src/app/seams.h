// The seams of the run driver: every routine of a later room or of the case that
// the driver, the run loop and the time step call.
//
// Each member is a plain function pointer named after the routine it stands for.
// A room plugs its real routine in at start-up (seams().intsolvi = &intsolvi;,
// all of them at once through plug_engine_services), and the case executable
// plugs in its four root routines. The defaults are of three kinds:
//   - a service every case needs (the start-up dialogues, the case reader, the
//     network solution with its choice of solver, the four root routines, the
//     console progress) and those a case calls only because it asked for them
//     (the output channel files, the screen plot) stop the run at their first
//     call, naming the service (diag/missing_service.h); set_klu stops only when
//     there are subsystems to solve;
//   - real routines: writedim (the input room's dimension report),
//     init_tandem_lines (clears the tandem-line option) and getmsgv3 (the
//     command reader of getmsgv3.h: with the link, pacing and the end-of-run
//     wait need a reader that answers);
//   - a start from a snapshot (readsnap) is a service every such start needs:
//     without the snapshot room's reader (plug_engine_services plugs it, with
//     the writer and the naming) the run stops at it, naming the service;
//   - do-nothing routines where doing nothing is right for a case without the
//     subject: no engine-to-engine lines (eni_init, sendeninames), no snapshots
//     to write until the snapshot writer is plugged in (writesnap, snapfile;
//     without it the driver says once that a requested snapshot will not be
//     written), no record file (ofnextrun,
//     delete_output_file), no output files to lock (lock_output_names,
//     lock_case_files, release_output_names: the output files need the output
//     room), no push buttons, meters, monitors or power-flow
//     display of the design environment (reset_button, clear_button_list,
//     init_monitorcode, qbstep, outqbv3, calc_pf, send_pfdata), no parallel
//     multiple run to consolidate or to finish (mrun_end_of_set) and no
//     communication library (nullptr link);
//     send_endofrunmsgs is called only over the link, where
//     plug_engine_services always sets the real routines of the output room.
// Calling through a function pointer allocates nothing, so the per-step path
// stays allocation-free.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/fixedtext.h"

class Exchange;

namespace wakro {

struct Seams {
  // Start-up dialogues: the console form and the form over the link.
  void (*dialog)();
  void (*dialogv3)();

  // Case input: the map and data files, a snapshot, the dimension report
  // (written on the given unit).
  void (*readdata)();
  void (*readsnap)();
  void (*writedim)(std::int32_t unit);

  // Lines: the tandem-line option (cleared once at start), the engine-to-engine
  // lines at the first step, and the names of those lines sent at run start.
  void (*init_tandem_lines)();
  void (*eni_init)();
  void (*sendeninames)();

  // Network solution: the sparse-solver choice at time zero, one step's solution.
  void (*set_klu)();
  void (*intsolvi)();

  // The case's four root routines.
  void (*dsdyn)();
  void (*dsout)();
  void (*dsdyn_begin)();
  void (*dsout_begin)();

  // Run-time exchange with the design environment.
  void (*getmsgv3)(std::int32_t& allowance, std::int32_t& answer);
  void (*reset_button)();
  // Empties the list of pressed push buttons without writing values back.
  void (*clear_button_list)();
  void (*init_monitorcode)();
  void (*qbstep)(std::int32_t mode);
  void (*outqbv3)();
  void (*calc_pf)();
  void (*send_pfdata)();
  void (*send_endofrunmsgs)();

  // Output: the record file's next run, the legacy channel files (mode 0 close
  // and report, 1 open, 2 end of run, 3 one output step), the record file's
  // output step, console progress and screen plot, and the deletion of the
  // record file object at the close of the process; the locks on the files a
  // run set writes (output_lock.h): those named at the start, those named once
  // the first run's case is read, and their release at the set's end.
  void (*ofnextrun)(std::int32_t run);
  void (*wakro_outputfile)(std::int32_t mode);
  void (*wakro_outputfilebin)(std::int32_t mode);
  void (*wakro_percentcomplete)(bool link);
  void (*wakro_screenplot)();
  void (*delete_output_file)();
  void (*lock_output_names)();
  void (*lock_case_files)();
  void (*release_output_names)();

  // Snapshots and the consolidation of a parallel multiple run.
  void (*writesnap)();
  void (*snapfile)(std::int32_t mode);
  void (*pmr_mrun_consolidate)();
  void (*pmr_mrun_extrafiles_consolidate)(std::int32_t unit, const FixedText<30>& name);
  void (*mrunxtrafiles_statistics)(std::int32_t mode, std::int32_t nvars, std::int32_t ncols,
                                   std::int32_t mode2, std::int32_t ndiv, std::int32_t flag,
                                   std::string_view name);
  // The statistics that a run set stopped before its last run has not
  // written, once the set has ended.
  void (*mrun_end_of_set)();

  // The communication library's server channel with the given id, once the
  // library has been started; null when no such link can be made.
  Exchange* (*library_server_link)(std::int32_t id);
};

// The seams of the process.
Seams& seams();
// Puts every seam back to its default.
void reset_seams();
// True once a snapshot writer replaced the default writesnap.
bool snapshot_writer_registered();

}  // namespace wakro
