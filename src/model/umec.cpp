// Group umec: the UMEC core state, allocated in this fixed order and released in
// the same order.
#include "model/umec.h"

#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"

void a_umec() {
  using namespace umec;
  const std::int32_t nw = ndde::nd3;
  const std::int32_t nt = ndde::nd4;
  awlm.allocate(nt);
  lwlm.allocate(nt);
  ayok.allocate(nt);
  lyok.allocate(nt);
  aol.allocate(nt);
  lol.allocate(nt);
  nturn.allocate(nw, nt);
  msl1.allocate(nt);
  ai.allocate(nw, nt);
  zes.allocate(nt);
  dvolt.allocate(nw, nt);
  dvoltd.allocate(nw, nt);
  dphi.allocate(kFluxPaths, nt);
  dphid.allocate(kFluxPaths, nt);
  xt.allocate(kCurvePoints, nt);
  yt.allocate(kCurvePoints, nt);
  fininjs.allocate(nw, nt);
  fininjsd.allocate(nw, nt);
  satenab.allocate(nt);
  wn.allocate(nt);
  bn.allocate(nt);
  cor.allocate(nt);
  satflag.allocate(kFluxPaths, nt);
  injcur.allocate(nt);
  ramp.allocate(nt);
}

void d_umec() {
  using namespace umec;
  wakro::release_each(awlm, lwlm, ayok, lyok, aol, lol, nturn, msl1, ai, zes, dvolt, dvoltd,
                      dphi, dphid, xt, yt, fininjs, fininjsd, satenab, wn, bn, cor, satflag,
                      injcur, ramp);
}
