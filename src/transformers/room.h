// Room transformers: magnetically coupled windings in the nodal solution.
//
// Owns the formation of a transformer's winding matrices (wakro_settfparm), the
// per-step winding histories (dsmdyn, behind the network's hook), the reader of
// the "TRANSFORMERS:" section of a page data file (dsmint, behind the case
// reader's hook), the nameplate configuration routines (e_tf*_cfg, the ideal
// multi-winding forms and the winding-file reader) that the case calls at time
// zero, the on-load tap changers and the core-saturation components; the UMEC
// cores (admf, admform, the B-H curve, injcal's per-step core injection, the
// saturation ramps and the umec*_cfg configuration routines).
//
// Each model's storage and configuration record is declared once, in the
// model's header, as named slots in namespace wakro::transformers::layout::
// <model>::<array> (enumerators in the order of the record, its size the last
// name, kSize); the model takes its slots by that size and reads and writes them
// by name only. tests/transformers/test_layouts.cpp holds each size to the
// pointer advance the routine makes.
//
// May call: model (e_s5, e_s5tap, rt_config, e_s0 ...), diag (messages, quit,
// node access), files (the line and free-format readers), input, network (the
// admittance stamp, the run-time change helpers and rcbranch of the damping
// branches) and blocks (slots, limit, matinv). Registered at start-up by
// use_transformer_services.
#pragma once
