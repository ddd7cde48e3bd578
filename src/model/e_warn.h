// Module e_warn: identity of the component being configured or executed.
#pragma once

#include <cstdint>

namespace e_warn {

inline std::int32_t comp_id1 = 0;  // first part of the component id shown with messages
inline std::int32_t comp_id2 = 0;  // second part of the component id

}  // namespace e_warn
