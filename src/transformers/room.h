// Room transformers: magnetically coupled windings in the nodal solution.
//
// Owns the formation of a transformer's winding matrices (wakro_settfparm), the
// per-step winding histories (dsmdyn, behind the network's hook), the reader of
// the "TRANSFORMERS:" section of a page data file (dsmint, behind the case
// reader's hook) and the nameplate configuration routines (e_tf*_cfg) that the
// case calls at time zero.
//
// May call: model (e_s5, e_s5tap, rt_config, e_s0 ...), diag (messages, quit,
// node access), files (the line and free-format readers), input, network (the
// admittance stamp) and blocks. Registered at start-up by use_transformer_services.
#pragma once
