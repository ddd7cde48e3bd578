// set_klu: chooses, at the start of a run from data files, the subsystems that the
// sparse solver factorises: every subsystem with MNA elements, and with the sparse
// option every subsystem of more than SPARSE_LIMIT nodes. Leaves int3::use_klu;
// never clears an entry. mark_sparse_subsystems tells the matrix set which of
// them need no work matrices, and makes gm and filled dense for every other
// subsystem that kept them as entries (e_s0::sparse_store).
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/mna.h"
#include "network/solution.h"

void set_klu() {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    if (mna::enable_mna && mna::mna_elem.allocated() && mna::mna_elem(ss) > 0)
      int3::use_klu(ss) = true;
    if (int3::enable_sparse && e_s0::mbus(ss) > int3::sparse_limit) int3::use_klu(ss) = true;
  }
}

void mark_sparse_subsystems() {
  for (std::int32_t ss = 1; ss <= int2::nmat; ++ss) {
    const bool with_mna = mna::mna_elem.allocated() && mna::mna_elem(ss) > 0;
    if (int3::use_klu(ss) && !with_mna && !e_s0::idealss(ss)) {
      e_s0::mark_without_work_matrices(ss);
    } else {
      e_s0::ensure_dense_store(ss);
    }
  }
}
