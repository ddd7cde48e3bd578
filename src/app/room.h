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
// Stands on `model`, `link` and `diag`, and on `input` for the case reader and
// the dimension report that it plugs into the seams and for closing the input
// files after a fatal stop. Every other call into input, network,
// output, lines, snapshot, multirun and the case goes through the seams, so no
// higher room is included from here; each room plugs its routine in at start-up.
#pragma once
