// The four root routines of the control-panel case.
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
