// Group s: the node arrays of the network, the old-style storage, the output
// channels, the transformer winding tables and the re-factorisation marker.
//
// a_s allocates them in this fixed order with bounds 1 .. their working sizes and
// sets no value; d_s releases the same arrays in the same order.
#include <cstdint>

#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/e_s8.h"
#include "model/groups.h"
#include "model/ndde.h"
#include "model/outppp.h"
#include "model/release_each.h"

void a_s() {
  using namespace ndde;
  // Node and subsystem arrays of the network.
  e_s0::ccin.allocate(nd1, nd2);
  e_s0::vdc.allocate(nd1, nd2);
  e_s0::ccgm.allocate(nd1, nd2);
  e_s0::ccgmd.allocate(nd1, nd2);
  e_s0::ccli.allocate(nd1, nd2);
  e_s0::ggin.allocate(nd1, nd2);
  e_s0::ca.allocate(nd1);
  e_s0::cdctr.allocate(nd3, nd4);
  e_s0::cdctro.allocate(nd3, nd4);
  e_s0::mbus.allocate(nd2);
  e_s0::idealss.allocate(nd2);
  e_s0::enabccin.allocate(nd1, nd2);
  // Sized with the largest conductor count of any line model, so no conductor
  // index of a phase-domain or MFDTD line can fall outside it.
  e_s0::cdctl.allocate(nd_conductors(), 2, nd58);
  // Old-style storage, variables, constants and output channels.
  e_s2::stor.allocate(nd10);
  e_s4::var.allocate(nd11);
  e_s4::con.allocate(nd12);
  e_s4::pgb.allocate(nd13);
  outppp::mpgbi.allocate(nd13);
  outppp::ipgbi.allocate(nd13);
  outppp::pgbname.allocate(nd13);
  // Transformer winding tables.
  e_s5::sm.allocate(nd3, nd3, nd4);
  e_s5::hm.allocate(nd3, nd3, nd4);
  e_s5::ccmc.allocate(nd3, nd4);
  e_s5::ccmcd.allocate(nd3, nd4);
  e_s5::tdatatmp.allocate(2 * static_cast<std::int64_t>(nd3));
  e_s5::mcb.allocate(nd3, nd4);
  e_s5::ncb.allocate(nd3, nd4);
  e_s5::msiz.allocate(nd4);
  e_s5::numt.allocate(nd2);
  e_s5::nummag.allocate(nd4);
  e_s5tap::lorig.allocate(nd3, nd3, nd4);
  e_s5tap::rorig.allocate(nd3, nd3, nd4);
  e_s5tap::tss.allocate(nd4);
  e_s5tap::tkind.allocate(nd4);
  e_s8::mxinv.allocate(nd2);
  e_s8::switched.allocate(nd2);
}

void d_s() {
  wakro::release_each(e_s0::ccin, e_s0::vdc, e_s0::ccgm, e_s0::ccgmd, e_s0::ccli,
                      e_s0::ggin, e_s0::ca, e_s0::cdctr, e_s0::cdctro, e_s0::mbus,
                      e_s0::idealss, e_s0::enabccin, e_s0::cdctl);
  wakro::release_each(e_s2::stor, e_s4::var, e_s4::con, e_s4::pgb, outppp::mpgbi,
                      outppp::ipgbi, outppp::pgbname);
  wakro::release_each(e_s5::sm, e_s5::hm, e_s5::ccmc, e_s5::ccmcd, e_s5::tdatatmp,
                      e_s5::mcb, e_s5::ncb, e_s5::msiz, e_s5::numt, e_s5::nummag,
                      e_s5tap::lorig, e_s5tap::rorig, e_s5tap::tss, e_s5tap::tkind,
                      e_s8::mxinv, e_s8::switched);
}
