// wakro_settfparm: turns a transformer's hand-over record into its winding
// matrices and adds the change of its winding admittance into the conductance
// matrix of its subsystem (set-up form, at time zero).
#pragma once

#include <cstdint>
#include <string_view>

#include "model/e_s5tap.h"  // TfKind

namespace wakro {

// The tag of the formation's own failures.
inline constexpr std::string_view kTransformerTag = "TRANSFORMER ";

// The checks wakro_settfparm makes first (below), for a configuration routine
// to make before it writes its hand-over record: transformer k must have been
// read and have `windings` windings, so a record of another winding count is
// never written (it would not fit the record of the case's largest one); a
// UMEC transformer is formed from its core only (kind 3, whose core type and
// branch count must fit the windings), any other from a winding record only
// (kind 1 or 2).
void check_tf_handover(std::int32_t k, std::int32_t tf_kind, std::string_view caller, std::int32_t windings);

}  // namespace wakro

// Forms transformer k from rt_config::tfdata (kind 1 or 2) or from the UMEC
// records (kind 3):
//   kind 1  hm = A (I + R A)^-1 with A = (dt/2) Gamma,
//   kind 2  hm = (R + 2 L / dt)^-1,
//   kind 3  hm = (dt/2) Gamma with Gamma of the core (admf), R = 0; the records
//           are copied into the transformer's umec fields first and, with its
//           saturation enabled, its B-H curve is checked (warnings "BH curve has
//           no data, Saturation disabled" and "BH curve has unrealistic data
//           points, Some points were ignored"; msl1 becomes the curve's first
//           slope); core data or a core that admf refuses are fatal under
//           `caller`;
// sm = I - 2 hm R, rorig = R, lorig = A (kinds 1, 3) or 2 L / dt (kind 2), and
// adds hm minus the hm it replaces into gm. Checks first, each fatal under
// `caller` (mode 0): 1 <= k <= jset, tss(k) != 0, a kind of 1, 2 or 3 (3 for a
// UMEC transformer and only for one), msiz(k) = windings, a UMEC core laid out
// for them, and gm still in set-up form. A singular matrix is fatal under
// "TRANSFORMER " with "Unrealisable Transformer Leakage Values" (kind 2) or
// "Unrealisable Transformer Leakage or Copper loss Values" (kind 1).
void wakro_settfparm(std::int32_t k, std::int32_t tf_kind, std::string_view caller,
                     std::int32_t windings);
// The same with the formation's own tag and the transformer's own winding count.
void wakro_settfparm(std::int32_t& k, std::int32_t& tf_kind);
