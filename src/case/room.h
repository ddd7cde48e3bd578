// Room `case`: the project's own simulated case, the model code of its
// schematic as modules (Station, Main, the line shells, the generator module,
// the gas-turbine governor).
//
// Owns: the module frame every module routine follows (module_frame.h: its call
// record, the counter steps of each routine, the data file at time zero, the
// guarded division and square root); the six line shells (line_shells.h); the
// governor (gast.h) and the generator module (generic_sg_1.h); the inverter
// module and its control modules (gfm_inverter_dev2.h, inverter_loops.h); the
// root Station and the page Main (main_page.h), with the table of the case's run
// parameters and open values. The case's files (map, module data, line
// constants, console answers) are in data/; its program is wakro_wscc9
// (examples/wscc9).
//
// Stands on `model` (the case map quolbv3, the stores, the time state), `diag`
// (component_id, wakro_warn, wakro_quit, the console), `files` (the data-file
// units and sections), `blocks` (lags, limits, integrators, samplers, meters,
// the checked storage slots), `output` (the run-time channels to the design
// environment), `devices` (the variable branches, voltage sources, dynamic
// loads, faults and branch configuration the pages call), `transformers` (the
// step-up groups' configuration, taps and saturation) and `machines` (the
// synchronous machine and its AC7B exciter).
#pragma once
