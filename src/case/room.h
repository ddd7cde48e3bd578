// Room `case`: the project's own simulated case, the model code of its
// schematic as modules (Station, Main, the line shells, the generator module,
// the gas-turbine governor).
//
// Owns: the module frame every module routine follows (module_frame.h: its call
// record, the counter steps of each routine, the data file at time zero, the
// guarded division and square root); the six line shells (line_shells.h); the
// governor (gast.h) and the generator module (generic_sg_1.h). The case's data
// files are in data/.
//
// Stands on `model` (the case map quolbv3, the stores, the time state), `diag`
// (component_id, wakro_warn, wakro_quit, the console), `files` (the data-file
// units and sections), `blocks` (lags, limits, integrators, samplers, meters,
// the checked storage slots), `output` (the run-time channels to the design
// environment) and `machines` (the synchronous machine and its AC7B exciter).
#pragma once
