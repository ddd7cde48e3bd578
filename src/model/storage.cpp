// a_storage / d_storage: allocate and release the typed stores and the transfer
// store, in the fixed order storl, stori, storf, storc, stxfrl, stxfri, stxfrf,
// stxfrc, with bounds 1 .. their working sizes.
#include "model/storage.h"

#include "model/groups.h"
#include "model/ndde.h"

void a_storage() {
  storage::storl.allocate(ndde::nd27);
  storage::stori.allocate(ndde::nd28);
  storage::storf.allocate(ndde::nd29);
  storage::storc.allocate(ndde::nd30);
  storage::stxfrl.allocate(ndde::nd51);
  storage::stxfri.allocate(ndde::nd52);
  storage::stxfrf.allocate(ndde::nd59);
  storage::stxfrc.allocate(ndde::nd60);
}

void d_storage() {
  storage::storl.release();
  storage::stori.release();
  storage::storf.release();
  storage::storc.release();
  storage::stxfrl.release();
  storage::stxfri.release();
  storage::stxfrf.release();
  storage::stxfrc.release();
}
