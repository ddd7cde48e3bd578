// Module sock2: the plot step last received from the design environment.
#pragma once

namespace sock2 {

inline double rtpr = 0.0;  // plot step [s]

}  // namespace sock2
