// Group mna: the MNA element tables. a_mna allocates the declaration records, the
// per-subsystem counts and the element records; d_mna also releases the vectors
// of the augmented system that the MNA set-up allocates.
#include "model/mna.h"

#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_mna() {
  using namespace mna;
  using namespace ndde;
  mnads.allocate(nd72);
  mna_elem.allocate(nd2);
  mbus_mna.allocate(nd2);
  mna_start.allocate(nd2);
  mna_end.allocate(nd2);
  mnad.allocate(nd72);
}

void d_mna() {
  using namespace mna;
  wakro::release_each(mna_elem, mbus_mna, bvect, xvect, mna_start, mna_end, mnad, mnads);
}
