// Page-node look-up, node voltages and branch currents for readers and models.
#include "diag/nodeaccess.h"

#include <string_view>

#include "diag/listout.h"
#include "diag/quit.h"
#include "diag/validators.h"
#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s0.h"
#include "model/e_s1.h"
#include "model/fnames.h"
#include "model/int2.h"
#include "model/ndde.h"
#include "model/quolbv3.h"
#include "model/spcial.h"
#include "model/storage.h"

namespace {

using wakro::ListLine;

double present_e(std::int32_t br, std::int32_t ss, const wakro::SubStep&, bool, bool) {
  return branches::ebr(br, ss);
}
double present_i(std::int32_t br, std::int32_t ss, const wakro::SubStep&) {
  return branches::ccbr(br, ss);
}

wakro::BranchEFn g_gete = &present_e;
wakro::BranchIFn g_geti = &present_i;

// Entry k of the node map, or a fatal stop when k lies outside it.
std::int32_t map_entry(std::int32_t k, std::int32_t local) {
  if (k < 1 || k > quolbv3::node.extent(1)) {
    ListLine() << "Node number" << local << "lies outside the node map of the pages";
    wakro_quit("NODENUM     ", 1);
  }
  return quolbv3::node(k);
}

double vdcnew_or_ground(std::string_view tag, std::int32_t n) {
  if (n == 0) return 0.0;
  if (n < 0 || n > spcial::vdcnew.extent(1)) {
    ListLine() << "Node number" << n << "is outside the solved node voltages:" << spcial::vdcnew.extent(1);
    wakro_quit(tag, 0);
  }
  return spcial::vdcnew(n);
}

}  // namespace

namespace wakro {

void set_branch_term_hooks(BranchEFn gete, BranchIFn geti) {
  g_gete = gete ? gete : &present_e;
  g_geti = geti ? geti : &present_i;
}

}  // namespace wakro

std::int32_t wakro_ssnum(std::int32_t noff, std::int32_t local) {
  if (fnames::tnam.view().substr(0, 34).find_first_not_of(' ') == std::string_view::npos) {
    int2::nmat = 1;
    return 1;
  }
  std::int32_t ss = 0;
  if (quolbv3::ss_ref_style == "OLD") {
    ss = map_entry(noff - 1, local);
  } else if (local >= 1 && local <= quolbv3::testss.extent(1)) {
    ss = quolbv3::testss(local);
  }
  wakro_checkssn(ss);
  return ss;
}

std::int32_t wakro_nodenum(std::int32_t noff, std::int32_t local) {
  if (local < 0) {
    ListLine() << "Negative node number encountered";
    wakro_quit("NODENUM     ", 1);
  }
  if (noff == 0) return local;
  return map_entry(noff + local, local);
}

void wakro_node(std::int32_t noff, std::int32_t local, std::int32_t& node) {
  node = wakro_nodenum(noff, local);
  if (node > ndde::nd1) {
    ListLine() << "Branch node " << local << "=>" << node << "is > " << ndde::nd1;
    wakro_quit("WAKRO_NODE  ", 1);
  }
  if (noff < 1 || local < 1) return;
  const std::int32_t ss = wakro_ssnum(noff, local);
  if (node > e_s0::mbus(ss)) {
    ListLine() << "Node number " << local << "=>" << node << "is > " << e_s0::mbus(ss);
    wakro_quit("WAKRO_NODE  ", 1);
  }
}

double wakro_vvdcnew(std::int32_t na, std::int32_t nb) {
  return vdcnew_or_ground("VVDCNEW", na) - vdcnew_or_ground("VVDCNEW", nb);
}

double wakro_vnewnode(std::int32_t n) { return vdcnew_or_ground("VNEWNODE", n); }

double wakro_ivdcnew(std::int32_t ss, std::int32_t k, double elapsed, bool iflag2, bool iflag) {
  wakro_testbrn("IVDCNEW", k, ss);
  storage::this_ = branches::thisbr(k, ss);
  const bool regsrc =
      storage::this_ > 0 && storage::stori(storage::this_) == wakro::branch_code::registered_source;
  // The sub-step the caller names, seen once its solution exists.
  wakro::SubStep solved;
  solved.elapsed = elapsed;
  solved.iflag = iflag;
  solved.iflag2 = iflag2;
  solved.notfirst = true;
  double e = 0.0;
  if (branches::source(k, ss)) e = g_gete(k, ss, solved, regsrc, false);
  const double v = vdcnew_or_ground("IVDCNEW", branches::ief(k, ss)) -
                   vdcnew_or_ground("IVDCNEW", branches::iet(k, ss));
  return g_geti(k, ss, solved) + (e + v) * branches::geq(k, ss);
}

double cdc(std::int32_t na, std::int32_t nb, std::int32_t ss) {
  wakro_testssn("CDC", ss);
  if (na == nb) na = 0;
  const std::int32_t nbr = int2::insb(ss);
  if (e_s1::timezero) {
    std::int32_t joining = 0;
    for (std::int32_t k = 1; k <= nbr; ++k) {
      const std::int32_t f = branches::ief(k, ss);
      const std::int32_t t = branches::iet(k, ss);
      if ((f == na && t == nb) || (f == nb && t == na)) ++joining;
    }
    if (joining >= 2) {
      ListLine() << "Inappropriate use of obsolete function CDC";
      ListLine() << "to measure current across parallel branches";
      ListLine() << "between nodes: " << na << nb;
      ListLine() << "Use CBR array to measure current through a branch";
      ListLine() << "See WAKRO Help on Writing Your Own Model";
    }
  }
  for (std::int32_t k = 1; k <= nbr; ++k) {
    const std::int32_t f = branches::ief(k, ss);
    const std::int32_t t = branches::iet(k, ss);
    if (f == nb && t == na) return branches::cbr(k, ss);
    if (f == na && t == nb) return -branches::cbr(k, ss);
  }
  ListLine() << "No branch between nodes" << na << nb;
  wakro_quit("CDC         ", 0);
}
