// Room `model`: the shared state modules of the engine and their allocation.
//
// Owns: the dimension table (ndde), every case-sized array and the scalar state
// modules that all routines share (one namespace per module, named as the module),
// the group routines a_<group>/d_<group> that allocate and release them, and the
// initial values of the shared state. Also the ground-floor tools every other room
// uses: the 1-based column-major arrays (farray.h), fixed-width texts
// (fixedtext.h) and the fatal exit (fatal.h).
//
// May call: the C++ standard library only. Nothing of ours is included from here.
#pragma once
