// wakro_initialz: clears the solution, storage and history arrays, sets the
// per-subsystem solution options to their defaults, blanks and numbers the output
// channels, and resets the counters that the readers set again from the files.
// No value set here depends on another, so the order is that of the modules.
#include "model/initialz.h"

#include <cstdint>
#include <limits>

#include "model/branches.h"
#include "model/ctrl.h"
#include "model/e_s0.h"
#include "model/e_s2.h"
#include "model/e_s4.h"
#include "model/e_s5.h"
#include "model/e_s5tap.h"
#include "model/tf_subsystems.h"
#include "model/e_s7.h"
#include "model/e_s7mfd.h"
#include "model/e_s7ph.h"
#include "model/e_tldyn.h"
#include "model/e_tlint.h"
#include "model/ideal.h"
#include "model/int2.h"
#include "model/int3.h"
#include "model/int4.h"
#include "model/mna.h"
#include "model/options.h"
#include "model/outppp.h"
#include "model/quolbv3.h"
#include "model/radiolinks.h"
#include "model/rt_config.h"
#include "model/storage.h"
#include "model/umec.h"

namespace {

constexpr wakro::cplx kZeroC{0.0, 0.0};

void init_options() {
  options::prndim = false;
  options::prnparm = false;
  options::echo = false;
  options::rootmatch.fill(0);
  options::interpss.fill(true);
  options::xterpsrc.fill(true);
  options::rmchatter.fill(true);
  options::dtchatter.fill(true);
}

void init_output_channels() {
  outppp::mplt = 0;
  outppp::pgbname.fill(wakro::FixedText<200>{});
  for (std::int32_t i = 1; i <= outppp::ipgbi.extent(1); ++i) outppp::ipgbi(i) = i;
  e_s4::pgb.fill(0.0);
  // The case's variables survive from run to run of a multiple run.
  if (ctrl::mmm == 1) e_s4::var.fill(0.0);
}

void init_solver_options() {
  mna::enable_mna = false;
  mna::mnaid = 0;
  mna::mna_elem.fill(0);
  mna::mbus_mna.fill(0);
  mna::mna_start.fill(0);
  mna::mna_end.fill(0);

  int3::enable_sparse = false;
  int3::sparse_limit = std::numeric_limits<std::int32_t>::max();
  int3::use_klu.fill(false);

  int2::glvl.fill(0.001);
  int2::nmb.fill(0);
  int2::insb.fill(0);

  ideal::gonmax.fill(1.0e8);
  ideal::gidlbr.fill(0);
  ideal::nidlbr.fill(0);
  ideal::gms.fill(0.0);
}

void init_network() {
  e_s0::cdctr.fill(0.0);
  e_s0::cdctro.fill(0.0);
  e_s0::vdc.fill(0.0);
  e_s0::ccin.fill(0.0);
  e_s0::ggin.fill(0.0);
  e_s0::ccli.fill(0.0);
  e_s0::ccgm.fill(0.0);
  e_s0::ccgmd.fill(0.0);
  e_s0::mbus.fill(0);
  e_s0::idealss.fill(false);
  e_s0::enabccin.fill(false);

  branches::nsw.fill(0);
  branches::cbr.fill(0.0);
  branches::ccbr.fill(0.0);
  branches::ccbrd.fill(0.0);
  branches::geqchange.fill(false);

  int4::ccind.fill(0.0);
  int4::ggind.fill(0.0);
  int4::cclid.fill(0.0);
  int4::gginchange.fill(false);
}

void init_transformers() {
  e_s5::ccmc.fill(0.0);
  e_s5::ccmcd.fill(0.0);
  e_s5::nummag.fill(0);
  e_s5tap::tkind.fill(0);
  e_s5::numt.fill(0);
  e_s5::mark_stale();

  umec::coreinj = 0;
  umec::nturn.fill(0.0);
  umec::ai.fill(0.0);
  umec::fininjs.fill(0.0);
  umec::fininjsd.fill(0.0);
  umec::dvolt.fill(0.0);
  umec::dvoltd.fill(0.0);
  umec::dphi.fill(0.0);
  umec::dphid.fill(0.0);
  umec::satflag.fill(0);
  umec::xt.fill(0.0);
  umec::yt.fill(0.0);
  umec::awlm.fill(0.0);
  umec::lwlm.fill(0.0);
  umec::ayok.fill(0.0);
  umec::lyok.fill(0.0);
  umec::aol.fill(0.0);
  umec::lol.fill(0.0);
  umec::msl1.fill(0.0);
  umec::zes.fill(0.0);
  umec::ramp.fill(0.0);
  umec::satenab.fill(0);
  umec::wn.fill(0);
  umec::bn.fill(0);
  umec::cor.fill(0);
  umec::injcur.fill(0);
}

void init_mode_domain_lines() {
  e_s7::ntwbufu = 0;
  e_s7::ntermtu = 0;
  e_s7::npoltu = 0;
  e_s7::npolzu = 0;
  e_s7::npolau = 0;
  e_s7::line = 0;
  e_s7::nlmodeu = 0;
  e_s7::img = 0;
  e_s7::linemodel.fill(0);
  e_s7::globaldm.fill(0.0);
}

void init_mfdtd_lines() {
  e_s7mfd::linemfd = 0;
  e_s7mfd::nlmodeumfd = 0;
  e_s7mfd::kssmfd.fill(0);
  e_s7mfd::mssmfd.fill(0);
  e_s7mfd::modemfd.fill(0);
  e_s7mfd::nmfd.fill(0);
  e_s7mfd::npolesmfd.fill(0);
  e_s7mfd::dxmfd.fill(0.0);
  e_s7mfd::alphamfd.fill(kZeroC);
  e_s7mfd::zeta2mfd.fill(0.0);
  e_s7mfd::xhi2mfd.fill(0.0);
  e_s7mfd::ealphamfd.fill(kZeroC);
  e_s7mfd::knodemfd.fill(0);
  e_s7mfd::mnodemfd.fill(0);
  e_s7mfd::zeta1mfd.fill(0.0);
  e_s7mfd::xhi1mfd.fill(0.0);
  e_s7mfd::zplusimfd.fill(0.0);
  e_s7mfd::zminusmfd.fill(0.0);
  e_s7mfd::yplusmfd.fill(0.0);
  e_s7mfd::yplusimfd.fill(0.0);
  e_s7mfd::yminusmfd.fill(0.0);
  e_s7mfd::yhmfd.fill(0.0);
  e_s7mfd::aimfd.fill(kZeroC);
  e_s7mfd::inflengthmfd.fill(false);

  e_tldyn::tmp1.fill(0.0);
  e_tldyn::tmp2.fill(0.0);
  e_tldyn::tmp3.fill(0.0);
  e_tldyn::ismfd.fill(0.0);
  e_tldyn::irmfd.fill(0.0);
  e_tldyn::iomfd1.fill(0.0);
  e_tldyn::iomfd2.fill(0.0);
  e_tldyn::iomfd3.fill(0.0);
  e_tldyn::dvmfd.fill(0.0);
  e_tldyn::dimfd.fill(0.0);
  e_tldyn::psisummfd.fill(0.0);
  e_tldyn::ishmfd.fill(0.0);
  e_tldyn::irhmfd.fill(0.0);
  e_tldyn::vmfd.fill(0.0);
  e_tldyn::vhmfd.fill(0.0);
  e_tldyn::ihmfd0.fill(0.0);
  e_tldyn::ihmfd1.fill(0.0);
  e_tldyn::ihmfd2.fill(0.0);
  e_tldyn::ihmfd3.fill(0.0);
  e_tldyn::psiimfd.fill(kZeroC);
  e_tldyn::psiihmfd.fill(kZeroC);

  e_tlint::rmfd.fill(0.0);
  e_tlint::dlmfd.fill(0.0);
  e_tlint::gmfd.fill(0.0);
  e_tlint::cmfd.fill(0.0);
  e_tlint::gamamfd.fill(0.0);
}

void init_phase_domain_lines() {
  e_s7ph::lineph = 0;
  e_s7ph::nlmodeuph = 0;
  e_s7ph::npnt1 = 0;
  e_s7ph::npnt2 = 0;
  e_s7ph::npnt3 = 0;
  e_s7ph::npnt4 = 0;
  e_s7ph::alfayc.fill(kZeroC);
  e_s7ph::alfah.fill(kZeroC);
  e_s7ph::xyck.fill(kZeroC);
  e_s7ph::xycm.fill(kZeroC);
  e_s7ph::xhk.fill(kZeroC);
  e_s7ph::xhm.fill(kZeroC);
  e_s7ph::ycserc.fill(kZeroC);
  e_s7ph::hserc.fill(kZeroC);
  e_s7ph::gyc.fill(0.0);
  e_s7ph::oldinterpk.fill(0.0);
  e_s7ph::oldinterpm.fill(0.0);
  e_s7ph::gh.fill(0.0);
  e_s7ph::epsarr.fill(0.0);
  e_s7ph::tauj.fill(0);
  e_s7ph::ihisk.fill(0.0);
  e_s7ph::ihism.fill(0.0);
  e_s7ph::iki.fill(0.0);
  e_s7ph::imi.fill(0.0);
  e_s7ph::nyc.fill(0);
  e_s7ph::nh.fill(0);
  e_s7ph::pek2.fill(0);
  e_s7ph::ikr.fill(0.0);
  e_s7ph::imr.fill(0.0);
  e_s7ph::ng.fill(0);
  e_s7ph::maxtauj.fill(0);
  e_s7ph::ppek.fill(0);
}

void init_case_map_and_stores() {
  quolbv3::subs.fill(0);
  quolbv3::node.fill(0);
  quolbv3::stoi.fill(0);
  quolbv3::stof.fill(0.0);
  quolbv3::stoc.fill(kZeroC);
  quolbv3::cx.fill(0.0);
  quolbv3::cxmap.fill(0);
  quolbv3::cscs.fill(0.0);
  quolbv3::cscr.fill(0.0);
  quolbv3::stol.fill(false);

  e_s2::stor.fill(0.0);

  storage::storl.fill(false);
  storage::stori.fill(0);
  storage::storf.fill(0.0);
  storage::storc.fill(kZeroC);
  storage::stxfrl.fill(false);
  storage::stxfri.fill(0);
  storage::stxfrf.fill(0.0);
  storage::stxfrc.fill(kZeroC);

  rt_config::rtcl.fill(false);
  rt_config::rtci.fill(0);
  rt_config::rtcf.fill(0.0);
  rt_config::rtcc.fill(kZeroC);

  radiolinks::tx.fill(0.0);
}

}  // namespace

void wakro_initialz() {
  init_options();
  init_output_channels();
  init_solver_options();
  init_network();
  init_transformers();
  init_mode_domain_lines();
  init_mfdtd_lines();
  init_phase_domain_lines();
  init_case_map_and_stores();
}
