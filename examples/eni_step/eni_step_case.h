// The four root routines of the ENI step case: one page with an EMF behind a
// resistance and the nodes of one line end or of a whole line (see
// eni_step_case.cpp).
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
