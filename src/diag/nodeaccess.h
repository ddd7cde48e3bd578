// Node numbers and node voltages for the section readers and for model code.
//
// Page nodes. A page's record in the node map quolbv3::node starts at the page
// record position noff: node(noff - 1) holds the page's subsystem number (older
// style, quolbv3::ss_ref_style "OLD"), node(noff) holds 0 (ground), node(noff + k)
// the global node of local node k. In the newer style the subsystem of local node
// k of the page being read is quolbv3::testss(k).
//   wakro_ssnum(noff, local)       subsystem of a page node, checked with
//                                  wakro_checkssn; a case read without a map file
//                                  (fnames::tnam blank) has the one subsystem 1
//   wakro_nodenum(noff, local)     global node (noff 0: the local number itself)
//   wakro_node(noff, local, node)  node := the global node, checked against
//                                  ndde::nd1 and the subsystem's e_s0::mbus
// A page position or local number that points outside the node map ends the run
// (tag "NODENUM") instead of reading past the map.
//
// Voltages and currents (node 0 is ground and reads 0.0):
//   wakro_vvdc(ss, na, nb)     vdc(na, ss) - vdc(nb, ss)
//   wakro_vnode(ss, n)         vdc(n, ss)
//   wakro_vvdcnew(na, nb)      vdcnew(na) - vdcnew(nb), the sub-step just solved
//   wakro_vnewnode(n)          vdcnew(n)
//   wakro_ivdcnew(ss, k, elapsed, iflag2, iflag)
//                              the new current of branch k from the sub-step just
//                              solved: its current source plus (source voltage +
//                              branch voltage) x geq
//   cdc(na, nb, ss)            current of the first branch of ss joining na and nb
//                              (kept for old models; +cbr for a branch entered
//                              from nb to na, -cbr for one from na to nb)
//
// The accessors check the numbers that model code hands them before they read a
// table, and end the run (mode 0) as the model checks do: a non-ground node with
// wakro_testnn (tag "VVDC", "VNODE"), or beyond the solved voltages ("VVDCNEW",
// "VNEWNODE"); the branch of wakro_ivdcnew with wakro_testbrn ("IVDCNEW"); the
// subsystem of cdc with wakro_testssn ("CDC").
//
// wakro_ivdcnew takes the branch's source voltage and current source for the
// sub-step from the network solution, which registers its two routines with
// set_branch_term_hooks; until it does, the present values ebr and ccbr are taken.
#pragma once

#include <cstdint>
#include <string_view>

#include "diag/validators.h"
#include "model/e_s0.h"
#include "model/int2.h"
#include "model/substep.h"

std::int32_t wakro_ssnum(std::int32_t noff, std::int32_t local);
std::int32_t wakro_nodenum(std::int32_t noff, std::int32_t local);
void wakro_node(std::int32_t noff, std::int32_t local, std::int32_t& node);

namespace wakro::node_detail {

// vdc(n, ss), 0.0 for ground. Model code reads node voltages every step, so the
// node check is made here in line; wakro_testnn runs only to report the check
// that fails (and ends the run).
inline double vdc_or_ground(std::string_view tag, std::int32_t n, std::int32_t ss) {
  if (n == 0) return 0.0;
  if (ss < 1 || ss > int2::nmat || n < 1 || n > e_s0::mbus(ss)) [[unlikely]]
    wakro_testnn(tag, n, ss);
  return e_s0::vdc(n, ss);
}

}  // namespace wakro::node_detail

inline double wakro_vvdc(std::int32_t ss, std::int32_t na, std::int32_t nb) {
  return wakro::node_detail::vdc_or_ground("VVDC", na, ss) - wakro::node_detail::vdc_or_ground("VVDC", nb, ss);
}
inline double wakro_vnode(std::int32_t ss, std::int32_t n) {
  return wakro::node_detail::vdc_or_ground("VNODE", n, ss);
}
double wakro_vvdcnew(std::int32_t na, std::int32_t nb);
double wakro_vnewnode(std::int32_t n);
double wakro_ivdcnew(std::int32_t ss, std::int32_t k, double elapsed, bool iflag2, bool iflag);
double cdc(std::int32_t na, std::int32_t nb, std::int32_t ss);

namespace wakro {

// Source voltage of branch br of ss for the present sub-step (storage::this_ has
// been set to the branch's owner), and its current source.
using BranchEFn = double (*)(std::int32_t br, std::int32_t ss, const SubStep& s, bool regsrc,
                             bool advance);
using BranchIFn = double (*)(std::int32_t br, std::int32_t ss, const SubStep& s);

// nullptr restores the default.
void set_branch_term_hooks(BranchEFn gete, BranchIFn geti);

}  // namespace wakro
