// Group sparsity: the sparse factor index lists sized from the dimension table
// (nd19 list entries, nd1 rows per subsystem), released in the table's order.
#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"
#include "model/sparse.h"

void a_sparsity() {
  using namespace sparse;
  using namespace ndde;
  lcol.allocate(nd19, nd2);
  lbegin.allocate(nd1, nd2);
  lend.allocate(nd1, nd2);
  ucol.allocate(nd19, nd2);
  ubegin.allocate(nd1, nd2);
  uend.allocate(nd1, nd2);
}

void d_sparsity() {
  using namespace sparse;
  wakro::release_each(lcol, lbegin, lend, ucol, ubegin, uend);
}
