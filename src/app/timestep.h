// One time step of the whole case, the resets that give each pass of the case
// code its starting pointers, the call of the time-zero matrix build
// (wakro_buildgm, network/matrix.h) and the checks that keep the storage
// discipline: every pass must advance the storage, configuration and transfer
// pointers by the same amounts on every step, and the first step must stay
// within the dimensioned storage.
#pragma once

// dynamics pass, network solution, output pass and checks, in that order.
void wakro_timestep();
// Pointers before the dynamics pass; also clears nbrch, nmbrch, ccin, ggin.
void wakro_resetdsd();
// Pointers before the output pass (the storage pointers run on).
void wakro_resetdso();
// Pointer checks: the first call records, later calls compare and end the run
// with the corruption report on a difference.
void wakro_chknexc();
void wakro_chknrtc();
void wakro_chktxfrs();
// First-step storage check: records the used sizes in ndde::e_ndim and ends the
// run when STOR or STORL..STORC exceed their dimensions.
void wakro_chkstor();

namespace wakro {
// Forgets the recorded pointer sets (a new process; for tests that run several
// cases in one process).
void reset_pointer_records();
}  // namespace wakro
