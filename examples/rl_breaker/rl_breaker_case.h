// The four root routines of the R-L breaker case: a sinusoidal EMF behind a
// source resistance, a breaker, and a series R-L load (see rl_breaker_case.cpp).
#pragma once

void dsdyn();
void dsout();
void dsdyn_begin();
void dsout_begin();
