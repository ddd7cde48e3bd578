// The allocation groups of the case-sized state.
//
// Each group routine a_<group> allocates its arrays in a fixed order, with bounds
// 1 .. the working sizes of the dimension table (ndde), and sets no value;
// d_<group> releases those of its arrays that are allocated, so it may run at any
// time, also twice. allocate_nd/deallocate_nd (ndde.h) run them in the engine's
// fixed order. Each routine is defined next to the module(s) it allocates.
#pragma once

void a_s();           // e_s2::stor, e_s0 node arrays, e_s4/outppp channels, e_s5, e_s5tap, e_s8
void d_s();
void a_tlines();      // line-model storage: e_s7, e_s7ph, e_s7mfd, e_tlint, e_s7eni, e_tldyn
void d_tlines();
void a_interp();      // int1 .. int4 arrays and the per-subsystem options
void d_interp();
void a_calcvi();      // clvi: chatter counters
void d_calcvi();
void a_ideal();       // ideal: collapse lists of ideal branches
void d_ideal();
void a_spcial();      // spcial: just-solved voltages and currents
void d_spcial();
void a_umec();        // umec: UMEC core state
void d_umec();
void a_branches();    // branches and the harmimp per-branch R, L, C tables
void d_branches();
void a_quolbv3();     // quolbv3: case map
void d_quolbv3();
void a_storage();     // storage: typed stores and transfer stores
void d_storage();
void a_temp();        // temp1, temp2, temp3 work arrays
void d_temp();
void a_radiolinks();  // radiolinks
void d_radiolinks();
void a_rtconfig();    // rt_config: configuration store and transformer tables
void d_rtconfig();
void a_mna();         // mna: MNA element tables
void d_mna();
void a_sparsity();    // sparse: factor index lists (not in the allocation sequence)
void d_sparsity();
