// The six line-module shells of the case (T7_8, T8_9, T5_7, T6_9, T4_5, T4_6,
// each named after the two buses its line joins). A shell has two three-phase
// ends (node record of length 8) and nothing else of its own: the line is built
// and solved by the line subsystem from the page data. Its routines only keep
// the counters in step and, at time zero, open its data file at the pass's
// section and close it again.
#pragma once

void t7_8dyn();
void t7_8out();
void t7_8dyn_begin();
void t7_8out_begin();
void t8_9dyn();
void t8_9out();
void t8_9dyn_begin();
void t8_9out_begin();
void t5_7dyn();
void t5_7out();
void t5_7dyn_begin();
void t5_7out_begin();
void t6_9dyn();
void t6_9out();
void t6_9dyn_begin();
void t6_9out_begin();
void t4_5dyn();
void t4_5out();
void t4_5dyn_begin();
void t4_5out_begin();
void t4_6dyn();
void t4_6out();
void t4_6dyn_begin();
void t4_6out_begin();
