// a_rtconfig / d_rtconfig: allocate and release the configuration store and the
// transformer tables, in the fixed order rtcl, rtci, rtcf, rtcc, tfdata,
// umecwdgdata. The fixed UMEC work tables are not touched.
#include "model/rt_config.h"

#include <cstdint>

#include "model/groups.h"
#include "model/ndde.h"

void a_rtconfig() {
  rt_config::rtcl.allocate(ndde::nd61);
  rt_config::rtci.allocate(ndde::nd62);
  rt_config::rtcf.allocate(ndde::nd63);
  rt_config::rtcc.allocate(ndde::nd64);
  // Two rows per winding; the product is formed in 64 bits so the allocation's own
  // overflow check sees it.
  rt_config::tfdata.allocate(std::int64_t{2} * ndde::nd3, ndde::nd3);
  rt_config::umecwdgdata.allocate(ndde::nd3, 2);
}

void d_rtconfig() {
  rt_config::rtcl.release();
  rt_config::rtci.release();
  rt_config::rtcf.release();
  rt_config::rtcc.release();
  rt_config::tfdata.release();
  rt_config::umecwdgdata.release();
}
