// The four root routines of the line step case: an EMF behind a matched source
// resistance feeding a lossless line whose far end is open (see
// line_step_case.cpp).
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
