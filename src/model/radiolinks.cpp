// Group radiolinks: tx then txrx, released in the same order.
#include "model/radiolinks.h"

#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_radiolinks() {
  radiolinks::tx.allocate(ndde::nd37);
  radiolinks::txrx.allocate(ndde::nd38);
}

void d_radiolinks() { wakro::release_each(radiolinks::tx, radiolinks::txrx); }
