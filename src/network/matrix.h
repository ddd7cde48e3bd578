// The conductance matrix gm of the subsystems as element models change it: the
// time-zero build from set-up to nodal form, the stamp of an n x n admittance,
// the run-time change of a branch conductance, and the Norton injections at a
// node. The two forms of gm are described in model/e_s0.h; the helpers here write
// whichever form gm has at the call (e_s0::gm_built) and lower the
// re-factorisation marker e_s8::mxinv where the solved matrix changes, so that no
// model writes gm, GEQ or the marker itself. A single branch's companion and its
// set-up entry are in companion.h.
//
// A failed check (subsystem, branch or node number, admittance size) writes its
// reason on the console and ends the run through wakro_quit with the caller's
// routine tag (mode 0). Nothing here allocates.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// At time zero: keeps each diagonal of gm (the conductance to ground) in
// ideal::gms and replaces it by the column sum, which turns every subsystem's gm
// from set-up to nodal form; sets e_s0::gm_built.
void wakro_buildgm();

namespace wakro {

// A symmetric admittance of order n, read only, in one of two layouts:
//   dense    n x n values, column by column; only the lower triangle is read;
//   packed   the lower triangle row by row, (1,1), (2,1), (2,2), (3,1), ...,
//            n (n + 1) / 2 values.
// Entries are indexed from 1; (i, j) and (j, i) are the same entry.
class SymmetricAdmittance {
 public:
  static SymmetricAdmittance dense(std::span<const double> values, std::int32_t n) {
    return {values, n, false};
  }
  static SymmetricAdmittance packed(std::span<const double> values, std::int32_t n) {
    return {values, n, true};
  }
  std::int32_t order() const { return n_; }
  // The number of values the layout needs for the order (0 for an order below 1).
  std::size_t needed() const;
  bool complete() const { return n_ >= 1 && values_.size() == needed(); }
  double operator()(std::int32_t i, std::int32_t j) const;

 private:
  SymmetricAdmittance(std::span<const double> values, std::int32_t n, bool packed)
      : values_(values), n_(n), packed_(packed) {}
  std::span<const double> values_;
  std::int32_t n_;
  bool packed_;
};

// What the entries of an admittance mean:
//   between_nodes  (i, j), i != j: the admittance connected between nodes(i) and
//                  nodes(j); (i, i): the admittance from nodes(i) to ground
//                  (the set-up form of gm);
//   nodal          the nodal admittance of the element (I = Y V): (i, j),
//                  i != j, is minus the admittance between the nodes, and each
//                  row sums to the admittance from its node to ground.
enum class AdmittanceMeaning { between_nodes, nodal };

// Stamps admittance y among nodes(1..n) of subsystem ss into gm, marking every
// off-diagonal position it touches in the fill pattern. A node 0 is ground: an
// admittance between a node and a listed ground adds to that node's conductance
// to ground; an admittance between a node and itself changes nothing. Set-up
// form: the admittances add as they are. Nodal form: the off-diagonals take the
// admittances between the nodes, each diagonal its full nodal change, and
// ideal::gms the change of the conductance to ground. Both forms then lower
// mxinv(ss) to the smallest listed node that is not ground.
// Checks: ss a subsystem, each node 0 or a node of ss, y complete and of order
// nodes.size().
void stamp_admittance(std::string_view caller, std::int32_t ss, std::span<const std::int32_t> nodes,
                      const SymmetricAdmittance& y,
                      AdmittanceMeaning meaning = AdmittanceMeaning::between_nodes);

// Sets the conductance of branch br of ss to g at run time so that the next
// solution of ss uses it. A switching branch takes it as its GEQ (the solution
// assembles switches from GEQ). Any other branch adds the change g - GEQ into gm:
// in set-up form to both off-diagonals of a branch between two nodes, or the
// diagonal of a branch to ground; in nodal form to both off-diagonals and both
// diagonals, or to the diagonal and ideal::gms of a branch to ground. Then GEQ :=
// g and setmxinv(ss, IEF, IET). The companion terms of the branch (history
// shares) are the caller's: set_branch_companion writes them for a new R-L-C.
// An ideal branch stays ideal: the solution collapses it whatever its GEQ.
// Checks: ss a subsystem and br one of its branches.
void change_branch_conductance(std::string_view caller, std::int32_t ss, std::int32_t br, double g);

// Marks the whole matrix of ss to be factorised again from its first row, as
// each run starts (mxinv(ss) = 1), the new start taken as a switching
// (e_s8::switched). Does nothing while the marker is not allocated (before the
// case's first set-up).
void refactorise_from_first_row(std::int32_t ss);

// The factors of every subsystem made again from its matrix as it stands, for a
// run resumed from a snapshot and for the run that writes one; the start row
// and the pending chatter step of each subsystem are kept; a subsystem on the
// sparse solver is analysed and factorised afresh, pivots chosen anew, at its
// next solve (factorise_as_read.cpp).
void factorise_as_read();

// Norton injections at a node, for the present step.
//
// The run driver clears GGIN and CCIN before each step's dynamics pass, so a
// model adds its Norton conductance and current on every step. The solution
// keeps a list of the Norton nodes of each subsystem, made at time zero from the
// nodes with a non-zero GGIN or CCIN or an ENABCCIN mark. A model that injects at
// a node only after time zero (or whose injection may be 0 at time zero) must
// call enable_norton for that node at its set-up, before the time-zero solution;
// a node that starts injecting later without it is added to the list with a
// warning. The solution notices a change of GGIN by itself and re-factorises
// from that node, so add_norton lowers nothing.
//
// Adds conductance g (to ground) to GGIN and current i (flowing into the node) to
// CCIN at node n of ss; ground (n = 0) takes nothing. Checks: ss, and n a node of
// ss or 0.
void add_norton(std::string_view caller, std::int32_t ss, std::int32_t n, double g, double i);
// Adds di to the previous step's injection CCIND at node n of ss (the history a
// sub-step interpolates from), for a model whose Norton conductance changed
// while its source voltage carries on: the previous injection is restated for
// the new conductance. Ground takes nothing. Checks as add_norton.
void correct_previous_injection(std::string_view caller, std::int32_t ss, std::int32_t n, double di);
// Marks node n of ss as a Norton node (ENABCCIN); ground (n = 0) is ignored.
// Checks as add_norton.
void enable_norton(std::string_view caller, std::int32_t ss, std::int32_t n);

}  // namespace wakro
