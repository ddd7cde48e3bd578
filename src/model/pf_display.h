// Module pf_display: the load-flow display tables that the design environment asks
// for in the start-up dialogue, sized by the load-flow counts it sends.
//
// allocate_pf records the counts in the dimension table (entries 50 and 65..68),
// derives nd50 and nd65..nd68 and allocates the eight tables; it may be called again
// (the dialogue may resend its station data) and then replaces the tables. The
// dialogue itself uses announce_pf, whose tables grow with the rows received.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace pf_display {

inline wakro::FArray<double, 1> pfdata{"pfdata"};                  // bus voltage estimate (nd50)
inline wakro::FArray<std::int32_t, 2> pfsubs{"pfsubs"};            // bus: subsystem, node count (nd50 x 2)
inline wakro::FArray<std::int32_t, 2> pfnodes{"pfnodes"};          // bus nodes (nd50 x 3)
inline wakro::FArray<std::int32_t, 1> pfbus{"pfbus"};              // bus of a measuring branch (nd65)
inline wakro::FArray<std::int32_t, 3> pfbranch{"pfbranch"};        // branches per phase (nd65 x 3 x nd66)
inline wakro::FArray<std::int32_t, 4> pftwindings{"pftwindings"};  // windings (nd65 x 3 x nd67 x 2)
inline wakro::FArray<std::int32_t, 4> pfconductors{"pfconductors"};  // conductors (nd65 x 3 x nd68 x 2)
inline wakro::FArray<double, 2> pfpqdata{"pfpqdata"};              // current, P, Q (nd65 x 3)

inline std::int32_t nbus = 0;   // buses
inline std::int32_t nwb = 0;    // measuring branches
inline std::int32_t nb = 0;     // branch entries per phase
inline std::int32_t ntwdg = 0;  // winding entries per phase
inline std::int32_t nc = 0;     // conductor entries per phase

// Stores the five counts, records and derives their sizes and allocates the tables
// (releasing tables of an earlier call first). Contents are zero.
void allocate_pf(std::int32_t& nbus_in, std::int32_t& nwb_in, std::int32_t& nb_in,
                 std::int32_t& ntwdg_in, std::int32_t& nc_in);

// The start-up dialogue's form: stores and records the five counts as
// allocate_pf does, but the tables start without rows and grow, up to the
// counts, as the rows and entries arrive (reserve_pf_*), so that what is
// allocated follows what was received, never a count alone.
void announce_pf(std::int32_t nbus_in, std::int32_t nwb_in, std::int32_t nb_in, std::int32_t ntwdg_in,
                 std::int32_t nc_in);
// Room for bus row `row` (1 .. nd50) in pfdata, pfsubs and pfnodes.
void reserve_pf_bus(std::int32_t row);
// Room for measuring-branch row `row` (1 .. nd65) in pfbus, pfpqdata and the
// three entry tables.
void reserve_pf_branch(std::int32_t row);
// Room for entry m per phase of the branch (kind 0, up to nd66), winding (1,
// nd67) or conductor (2, nd68) table.
void reserve_pf_entry(int kind, std::int32_t m);

// Releases each of the eight tables that is allocated.
void deallocate_pf();

// Releases the output-channel values e_s4::pgb and allocates them again with n
// elements; the caller sets the contents.
void reallocate_pgb(std::int32_t n);

}  // namespace pf_display
