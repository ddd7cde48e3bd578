// Module run_loop: the end of the present run.
#pragma once

#include <cstdint>

namespace run_loop {

inline std::int32_t lasttsn = 0;  // step number of the last step of the run

}  // namespace run_loop
