// Module sparse: index lists of the sparse factor pattern, per subsystem.
//
// The MNA set-up allocates them (nd74 or nd75 rows, nd2 columns) together with
// mna::bvect and mna::xvect; a_sparsity allocates the same six with nd19 and nd1.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace sparse {

inline wakro::FArray<std::int32_t, 2> lcol{"lcol"};      // column indices of the lower factor (nd74, nd2)
inline wakro::FArray<std::int32_t, 2> lbegin{"lbegin"};  // start of each row's range in lcol (nd75, nd2)
inline wakro::FArray<std::int32_t, 2> lend{"lend"};      // end of each row's range in lcol (nd75, nd2)
inline wakro::FArray<std::int32_t, 2> ucol{"ucol"};      // column indices of the upper factor (nd74, nd2)
inline wakro::FArray<std::int32_t, 2> ubegin{"ubegin"};  // start of each row's range in ucol (nd75, nd2)
inline wakro::FArray<std::int32_t, 2> uend{"uend"};      // end of each row's range in ucol (nd75, nd2)

}  // namespace sparse
