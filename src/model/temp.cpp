// Group temp: the work modules temp1, temp2, temp3, allocated in this fixed order
// and released in the same order.
#include "model/groups.h"
#include "model/ndde.h"
#include "model/release_each.h"
#include "model/temp1.h"
#include "model/temp2.h"
#include "model/temp3.h"

void a_temp() {
  using namespace ndde;
  temp1::si.allocate(nd3, nd3);
  temp1::caa.allocate(nd1);
  temp1::caai.allocate(nd15);
  temp1::icnt.allocate(nd15);
  temp1::stabck.allocate(nd2);
  temp1::consid.allocate(nd15);
  temp2::av.allocate(nd3);
  temp2::ac.allocate(nd3);
  temp2::rm.allocate(nd3, nd3);
  temp2::hs.allocate(nd3, nd3);
  temp2::rli.allocate(nd3, nd3);
  temp2::irli.allocate(nd3, nd3);
  temp3::itemp.allocate(nd1);
  temp3::collap.allocate(nd1);
}

void d_temp() {
  wakro::release_each(temp1::si, temp1::caa, temp1::caai, temp1::icnt, temp1::stabck,
                      temp1::consid, temp2::av, temp2::ac, temp2::rm, temp2::hs, temp2::rli,
                      temp2::irli, temp3::itemp, temp3::collap);
}
