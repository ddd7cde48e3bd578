// The factors of every subsystem made again from its restored matrix, as a run
// resumed from a snapshot needs them (see matrix.h).
//
// The factors are not kept in a snapshot: they are made again from the
// restored matrices, with the start row the snapshot holds kept for the first
// step (nothing changed between the steps). The factors hold the Norton
// conductances of the Norton nodes as the last step left them (int4::ggind);
// the models set them again on every step. The snapshot writer asks for this
// too, after the file's values are taken on: a run's matrix is kept up to date
// by increments and its factors partly renewed, so only factors made again the
// same way from the same numbers let both runs go on identically. On the
// sparse solver that includes the pivot order, which a re-factorisation takes
// over from the last pivoting factorisation: the solver's slot is dropped, so
// that the next solve of either run packs, analyses and factorises the matrix
// afresh from the values the file holds.
//
// Leaves: the factors of every subsystem, its start row (e_s8::mxinv) and its
// pending chatter step (temp1::stabck) as they were; a subsystem factorised in
// a fill-reducing order is counted as factorised once more (int2::ntriang).
#include "model/e_s0.h"
#include "model/e_s8.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/temp1.h"
#include "network/klu_adapter.h"
#include "network/matrix.h"
#include "network/ordered_elimination.h"
#include "network/solution.h"

namespace wakro {

void factorise_as_read() {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    // Step 1: the Norton conductances as the last step left them.
    for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) {
      const std::int32_t x = int2::ll(k, ss);
      e_s0::ggin(x, ss) = int4::ggind(x, ss);
    }
    // Step 2: the whole matrix factorised, the start row and the chatter step
    // kept: a factorisation marks a chatter step, which this one, of a matrix
    // that did not change, must neither add nor take away.
    if (int3::use_klu(ss)) release_sparse_slot(ss);
    const std::int32_t keep = e_s8::mxinv(ss);
    const bool pending = temp1::stabck(ss);
    e_s8::mxinv(ss) = 1;
    // A subsystem factorised in a fill-reducing order is ordered again from its
    // pattern and node lists, as the reader, at its first factorisation, orders it.
    const bool reorder = ordered_elimination_active(ss, e_s0::mbus(ss));
    const std::int32_t count = int2::ntriang(ss);
    if (reorder) int2::ntriang(ss) = 0;
    itriang(ss);
    if (reorder) int2::ntriang(ss) = count + 1;
    e_s8::mxinv(ss) = keep;
    temp1::stabck(ss) = pending;
    // Step 3: the Norton conductances out of the matrix again.
    for (std::int32_t k = 1; k <= int2::nmb(ss); ++k) e_s0::ggin(int2::ll(k, ss), ss) = 0.0;
  }
}

}  // namespace wakro
