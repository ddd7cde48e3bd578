// Group spcial: vdcnew then cbrnew, released in the same order.
#include "model/spcial.h"

#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_spcial() {
  spcial::vdcnew.allocate(ndde::nd1);
  spcial::cbrnew.allocate(ndde::nd15);
}

void d_spcial() { wakro::release_each(spcial::vdcnew, spcial::cbrnew); }
