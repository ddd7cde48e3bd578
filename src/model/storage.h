// Module storage: the typed per-step stores of the model instances and the typed
// transfer store, with their running pointers.
//
// A model owns the slots from the pointer's value at its call on, advances the
// pointer by its fixed count, and finds the same slots on every step. The arrays are
// checked in every build: an index past an array stops with a message naming it.
// Allocated by a_storage, released by d_storage (groups.h).
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace storage {

inline wakro::FArray<bool, 1, true> storl{"storl"};            // logical state (nd27)
inline wakro::FArray<std::int32_t, 1, true> stori{"stori"};    // integer state (nd28)
inline wakro::FArray<double, 1, true> storf{"storf"};          // real state (nd29)
inline wakro::FArray<wakro::cplx, 1, true> storc{"storc"};     // complex state (nd30)
inline wakro::FArray<bool, 1, true> stxfrl{"stxfrl"};          // logical transfer store (nd51)
inline wakro::FArray<std::int32_t, 1, true> stxfri{"stxfri"};  // integer transfer store (nd52)
inline wakro::FArray<double, 1, true> stxfrf{"stxfrf"};        // real transfer store (nd59)
inline wakro::FArray<wakro::cplx, 1, true> stxfrc{"stxfrc"};   // complex transfer store (nd60)

inline std::int32_t nstorl = 1;   // next free slot of storl
inline std::int32_t nstori = 1;   // next free slot of stori
inline std::int32_t nstorf = 1;   // next free slot of storf
inline std::int32_t nstorc = 1;   // next free slot of storc
inline std::int32_t nstxfrl = 1;  // next free slot of stxfrl
inline std::int32_t nstxfri = 1;  // next free slot of stxfri
inline std::int32_t nstxfrf = 1;  // next free slot of stxfrf
inline std::int32_t nstxfrc = 1;  // next free slot of stxfrc
inline std::int32_t this_ = 1;    // storage record of the component being served

}  // namespace storage
