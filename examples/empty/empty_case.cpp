// The empty case's root routines: a case with no pages, so each pass calls
// nothing and leaves every storage pointer where the reset put it.
#include "empty_case.h"

void dsdyn() {}
void dsout() {}
void dsdyn_begin() {}
void dsout_begin() {}
