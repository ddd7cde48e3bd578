// The four root routines of the empty case.
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
