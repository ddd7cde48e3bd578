// The four root routines of the parameter-study case.
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
