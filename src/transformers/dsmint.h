// dsmint: the reader of a page's "TRANSFORMERS:" section (registered in the case
// reader's hook).
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
// The tag of the reader's fatal stops: "DSMINT" blank-padded to 34 characters.
inline constexpr std::string_view kDsmintTag = "DSMINT                            ";
}  // namespace wakro

// Reads transformer entries until the next section key. Each entry is a header
// "n mag opt /" and |n| winding records "from to values... /" with page-local
// nodes; "888 /" repeats the previous transformer's matrices on new node pairs.
// The form follows the header:
//   n > 0            impedance form, R and L (H) per winding pair, tss > 0;
//   n < 0, mag = -1  admittance form, R and Gamma (1/H) per pair, tss < 0;
//   n < 0, mag = 0   admittance form without resistance, Gamma per pair;
//   mag = 1          UMEC core (either sign of n), tss < 0: each winding record
//                    "from to turns leakage-permeance /", then four core
//                    records "awlm lwlm ayok lyok aol lol zes /", "msl1 satenab /",
//                    the ten B-H points "x1 y1 ... x10 y10 /" and "wn bn cor /";
//                    the curve is checked when satenab = 1 (its own warnings);
//   opt != 0         only the node pairs; placeholder values stand in.
// Each transformer gets its winding tables (e_s5, e_s5tap) and its admittance is
// added to its subsystem's gm (set-up form) and fill pattern. Refused input ends
// the run through outmsg (24 unreadable or singular, 25 too many windings, 26
// n = 0, 27 too many transformers, 28 node beyond the subsystem, 29 negative,
// equal or both-ground nodes; 24 also for mag outside -1, 0, 1, and for UMEC
// core data that the core type does not fit, that are not positive where they
// must be, or that form a singular core) or, for a section key inside an entry
// and for subsystem faults, with a console line and wakro_quit("DSMINT", mode 1).
void dsmint(std::int32_t& page);
