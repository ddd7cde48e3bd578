// The four root routines of the stiff-source machine case: the case
// generator's synchronous machine and AC7B exciter on a stiff 18 kV source
// (see sync_stiff_case.cpp).
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
