// Room `app`: the process entry, the link's start and stop, the run driver, the
// run loop and the time step of the engine.
//
// Owns: the command line and option files (args.h), the process entries
// wakro_main / WakroV5 / WakroV2 / WakroV4 and the locale (entry.h), the opening and
// closing of the link to the design environment (link_start.h), the run driver
// wakro with hello, goodby and wakro_initcom (driver.h), the run loop
// wakro_runloop and wakro_chkstep (runloop.h), the time step with its resets and
// storage-pointer checks (timestep.h), stop and pause requests and the display
// throttle (stoprun.h), and the seams (seams.h) through which the driver reaches
// the routines of the later rooms and of the case, the plugging of the engine's
// own services into them (engine_services.h), and the reader of the design
// environment's commands during a run (getmsgv3.h), which stops runs.
//
// Stands on `model`, `link`, `diag` and `files`. The run's own calls into the
// later rooms and the case go through the seams (seams.h); the files that
// include a higher room's header directly, and why:
//   engine_services.cpp, network_services.cpp, output_services.cpp
//                   plug the routines of input, network, output, devices,
//                   transformers, lines, snapshot and multirun into the seams
//                   at start-up (the one place that names them);
//   seams.cpp       input's dimension report, the seam's default;
//   timestep.cpp    network's time-zero matrix build (wakro_buildgm);
//   initcom.cpp     network's re-factorisation marker, reset for each run;
//   getmsgv3.cpp    output's run-time exchange routines and the ENI lines'
//                   port command, which the command reader dispatches;
//   driver.cpp      output's check that the record-file writer is loaded;
//   args.cpp        output's choice of the output-writer library (-outwriter).
// Everywhere else snapshot, multirun and the case are reached through the seams
// only.
#pragma once
