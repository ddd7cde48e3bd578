// Module e_s5: winding tables of the transformers (winding first, transformer last).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/farray.h"

namespace e_s5 {

// Allocated by a_s in this order.
inline wakro::FArray<double, 3> sm{"sm"};          // current-history matrix I - 2 Y R (nd3, nd3, nd4)
inline wakro::FArray<double, 3> hm{"hm"};          // winding admittance Y of the step, as in gm (nd3, nd3, nd4)
inline wakro::FArray<double, 2> ccmc{"ccmc"};      // winding history currents (nd3, nd4)
inline wakro::FArray<double, 2> ccmcd{"ccmcd"};    // the previous step's ccmc
inline wakro::FArray<double, 1> tdatatmp{"tdatatmp"};  // work vector of the transformer reader (2*nd3)
inline wakro::FArray<std::int32_t, 2> mcb{"mcb"};  // from-node of each winding, 0 = ground (nd3, nd4)
inline wakro::FArray<std::int32_t, 2> ncb{"ncb"};  // to-node of each winding, 0 = ground (nd3, nd4)
inline wakro::FArray<std::int32_t, 1> msiz{"msiz"};      // windings of each transformer (nd4)
inline wakro::FArray<std::int32_t, 1> numt{"numt"};      // transformers whose windings lie in the subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> nummag{"nummag"};  // 1: UMEC core; -1: admittance form with resistance; else 0 (nd4)

inline std::int32_t jset = 0;  // transformer entries set up by the transformer reader

// A winding's node pair that no transformer may have: a negative node, or both
// ends at one node (both at ground among them). The transformer reader refuses
// it, and so does the snapshot reader.
constexpr bool winding_ends_refused(std::int32_t from, std::int32_t to) { return from < 0 || to < 0 || from == to; }

// The terminals of transformer k as its winding admittance is stamped among
// them: the from-node of winding w at 2w - 1, its to-node at 2w (w = 1 ..
// msiz(k)). The stamp (transformers room) and the resume check of the fill
// pattern both take them from here. Allocates only when `nodes` has no room.
inline void winding_terminals(std::int32_t k, std::vector<std::int32_t>& nodes) {
  nodes.clear();
  for (std::int32_t w = 1; w <= msiz(k); ++w) {
    nodes.push_back(mcb(w, k));
    nodes.push_back(ncb(w, k));
  }
}

}  // namespace e_s5
