// Module e_s0: the network state of every subsystem.
//
// Node arrays (node, subsystem) allocated by a_s, and the matrix set of each
// subsystem: the constant conductance matrix gm with its one-byte fill pattern
// filled, and the work matrix rdc (factorised in place) with its pattern temfil.
// The matrix set has two storage forms, chosen by ndde::use_subsysdim:
//   - per subsystem: record ss(k) owns matrices of the subsystem's own order
//     (gm, filled of order ssdim(k); rdc, temfil of the order given to
//     allocate_ss_matrices2);
//   - shared: one array per matrix with a plane per subsystem, every plane of order
//     nd1 (gm, filled) or nd75 (rdc, temfil).
// In either form, a subsystem that the sparse solver takes by its order keeps gm
// and filled as their entries only (see sparse_store).
// Code that works on a subsystem's matrix asks for a 2-D view of subsystem k
// (assign_gm_ptr ...) and indexes that; it never touches the storage form. A view
// aliases the storage and must be taken again after the matrices are re-allocated.
//
// The two forms of gm (see gm_built):
//   - set-up form, from the clearing of the matrices until the time-zero build:
//     an off-diagonal entry (i, j) holds the sum of the conductances connected
//     between nodes i and j, taken positive (the nodal entry with its sign
//     reversed); a diagonal entry (i, i) holds the conductance from node i to
//     ground. The branch reader, transformers and lines add into this form.
//   - nodal form, after the build (wakro_buildgm, once at time zero): each
//     diagonal holds the full nodal value (the conductance to ground plus every
//     conductance to other nodes); the off-diagonals keep the reversed sign, so
//     the solved matrix is RDC(i, j) = -gm(i, j), RDC(i, i) = gm(i, i) + GGIN(i).
//     The build keeps each node's conductance to ground (the diagonal of the
//     set-up form) in ideal::gms, and a change made in nodal form keeps it there.
// Neither form holds the switching branches (taken from their GEQ) nor the
// Norton conductances GGIN. filled marks the positions in use: the diagonal from
// the clearing, an off-diagonal when something is connected between the nodes.
// Element models and readers add to gm only through the stamping helpers of the
// network room (network/companion.h, network/matrix.h), which read gm_built to
// know the form.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/entry_store.h"
#include "model/farray.h"

namespace e_s0 {

// Node and subsystem arrays, in the order a_s allocates them.
inline wakro::FArray<double, 2> ccin{"ccin"};    // Norton current injected into a node (nd1, nd2)
inline wakro::FArray<double, 2> vdc{"vdc"};      // node voltages (nd1, nd2)
inline wakro::FArray<double, 2> ccgm{"ccgm"};    // nodal sum of history current sources (nd1, nd2)
inline wakro::FArray<double, 2> ccgmd{"ccgmd"};  // the previous step's ccgm
inline wakro::FArray<double, 2> ccli{"ccli"};    // line-model current injections (nd1, nd2)
inline wakro::FArray<double, 2> ggin{"ggin"};    // Norton conductance from a node to ground (nd1, nd2)
inline wakro::FArray<double, 1> ca{"ca"};        // right-hand side of the subsystem being solved (nd1)
inline wakro::FArray<double, 2> cdctr{"cdctr"};    // transformer winding currents (nd3, nd4)
inline wakro::FArray<double, 2> cdctro{"cdctro"};  // the previous step's cdctr
inline wakro::FArray<std::int32_t, 1> mbus{"mbus"};  // number of nodes of each subsystem (nd2)
inline wakro::FArray<bool, 1> idealss{"idealss"};    // subsystem holds ideal branches (nd2)
inline wakro::FArray<bool, 2> enabccin{"enabccin"};  // node's injection ccin is enabled (nd1, nd2)
// Line currents kept by the line models (conductor, line end 1 or 2, line); the
// first extent is the largest conductor count of any line model.
inline wakro::FArray<double, 3> cdctl{"cdctl"};

// The matrix set.
using RealView = wakro::FView<double, 2>;
using FillView = wakro::FView<bool, 2>;
static_assert(sizeof(bool) == 1, "the fill patterns are one byte per entry");
// Views of gm and filled: dense, or the sparse store of a subsystem that keeps
// its entries only (see sparse_store).
using GmView = wakro::EntryView<double>;
using FilledView = wakro::EntryView<bool>;

// Matrix set of one subsystem in the per-subsystem form.
struct SsRecord {
  wakro::FArray<double, 2> rdc{"rdc"};        // work matrix (m, m)
  wakro::FArray<double, 2> gm{"gm"};          // conductance matrix (ssdim(k), ssdim(k))
  wakro::FArray<bool, 2> filled{"filled"};    // fill pattern of gm
  wakro::FArray<bool, 2> temfil{"temfil"};    // fill pattern of rdc
};

inline wakro::FArray<std::int32_t, 1> ssdim{"ssdim"};  // each subsystem's own matrix order
inline wakro::FArray<SsRecord, 1> ss{"ss"};             // per-subsystem form only
inline wakro::FArray<double, 3> gm{"gm"};           // shared form: (nd1, nd1, nd2)
inline wakro::FArray<bool, 3> filled{"filled"};     // shared form: (nd1, nd1, nd2)
inline wakro::FArray<double, 3> rdc{"rdc"};         // shared form: (nd75, nd75, nd2)
inline wakro::FArray<bool, 3> temfil{"temfil"};     // shared form: (nd75, nd75, nd2)

// gm of every subsystem is in nodal form: set by the time-zero build
// (wakro_buildgm), cleared whenever the matrices are cleared or released (a case
// read, a test's set-up). A reader that restores gm in nodal form sets it.
inline bool gm_built = false;

// The two lines of the error reported when a matrix allocation cannot be met.
inline constexpr std::string_view kAllocFailFirst =
    "Memory requirement too high, Errors in allocation. ";
inline constexpr std::string_view kAllocFailLast =
    "Try optimize memory allocation in Project Settings or use 64-bit build of library.";

// Reports a failed matrix allocation and ends the run. The diagnostics register it
// at start-up: it writes kAllocFailFirst and kAllocFailLast as one two-line error
// message (component ids 0) and quits with the routine tag "ALLOCATION" in mode 0.
// Without it, or should it return, the failure ends as a runtime stop carrying the
// two lines.
inline void (*allocation_failure_hook)() = nullptr;

// Allocates ssdim(1..n) set to 0; status 0. When ssdim was allocated already it is
// replaced by a new array of n elements and status is 1; when the memory cannot be
// had ssdim stays unallocated and status is 2.
void allocate_ssdim_array(std::int32_t n, std::int32_t& status);

// Makes sure gm and filled exist for n subsystems, then clears them and sets the
// diagonal of filled: entries (i, i), i = 1 .. sizes(k), of each subsystem k in the
// per-subsystem form; i = 1 .. nd1 in every plane in the shared form. A field or a
// shared array whose extents differ from the ones asked for is allocated again, so
// a later run or snapshot with larger orders never writes past the old memory; the
// same extents keep the memory and only clear it. A per-subsystem order below 1
// gives a 1 x 1 matrix with no diagonal entry filled. sizes must hold n entries.
// A subsystem chosen for the sparse store (see sparse_store) gets an empty store
// of the same order with the same diagonal filled; in the shared form the planes
// go to the other subsystems only.
void allocate_ss_matrices(std::int32_t n, const wakro::FArray<std::int32_t, 1>& sizes,
                          std::int32_t& status);

// The same for the work matrices rdc and temfil (no diagonal). The per-subsystem
// form needs the records made by allocate_ss_matrices (status 1 otherwise).
void allocate_ss_matrices2(std::int32_t n, const wakro::FArray<std::int32_t, 1>& sizes,
                           std::int32_t& status);

// Sets rdc to 0 and temfil to false: subsystems 1 .. n in the per-subsystem form,
// the whole shared arrays in the shared form.
void initialize_ss_matrices2(std::int32_t n);

// Subsystems without work matrices. The sparse solver assembles the matrix of a
// subsystem without MNA elements or ideal branches straight into its own
// compressed store, so such a subsystem needs no rdc or temfil. Marked before
// allocate_ss_matrices2, a subsystem gets none there (assign_rdc_ptr and
// assign_temfil_ptr return empty views); in the shared form the planes are given
// to the other subsystems only. allocate_ss_matrices and deallocate_ss_matrices
// clear every mark. A mark made after allocate_ss_matrices2 counts from its next
// call.
void mark_without_work_matrices(std::int32_t k);
bool without_work_matrices(std::int32_t k);
// Gives subsystem k, when it has none, its work matrices (cleared) and removes
// its mark: for a subsystem that turns out to need them (an ideal branch set at
// time zero). In the shared form the planes are allocated again with the other
// subsystems' planes copied; every view taken before is stale.
void ensure_work_matrices(std::int32_t k);

// Subsystems whose gm and filled keep their entries only. allocate_ss_matrices
// chooses it, before any branch is read, for each subsystem that the sparse
// solver will factorise by its order (int3::enable_sparse and an order above
// int3::sparse_limit): such a subsystem gets no dense gm or filled (no record
// fields, no shared plane), and its memory grows with its branches. Its views
// reach the entries one by one (GmView, FilledView). ensure_dense_store gives a
// subsystem that turns out to need dense matrices (the own elimination, MNA
// elements, ideal branches) a dense gm and filled holding the same entries;
// every view taken before is stale. Dense subsystems are left as they are.
bool sparse_store(std::int32_t k);
void ensure_dense_store(std::int32_t k);

// 2-D views of subsystem k's matrices; an invalid (empty) view when k has none.
// A dense view taken of a gm or filled held sparse (the conversion of GmView and
// FilledView to RealView and FillView) is empty.
GmView assign_gm_ptr(std::int32_t k);
FilledView assign_filled_ptr(std::int32_t k);
RealView assign_rdc_ptr(std::int32_t k);
FillView assign_temfil_ptr(std::int32_t k);
inline void assign_gm_ptr(std::int32_t k, GmView& view) { view = assign_gm_ptr(k); }
inline void assign_filled_ptr(std::int32_t k, FilledView& view) { view = assign_filled_ptr(k); }
inline void assign_gm_ptr(std::int32_t k, RealView& view) { view = assign_gm_ptr(k); }
inline void assign_filled_ptr(std::int32_t k, FillView& view) { view = assign_filled_ptr(k); }
inline void assign_rdc_ptr(std::int32_t k, RealView& view) { view = assign_rdc_ptr(k); }
inline void assign_temfil_ptr(std::int32_t k, FillView& view) { view = assign_temfil_ptr(k); }

// The record ss(k) in the per-subsystem form; nullptr in the shared form.
SsRecord* assign_ss_ptr(std::int32_t k);

// Releases the matrices. Shared form: whichever of rdc, gm, filled, temfil are
// allocated; status 1 when one of them was not. Per-subsystem form: every field of
// every record, then ss; status 0. Whatever the form, nothing stays allocated.
void deallocate_ss_matrices(std::int32_t& status);

// Releases ssdim when allocated, then the matrices; the status of the latter.
void deallocate_ss(std::int32_t& status);

}  // namespace e_s0
