// Runtime stops of the ground floor (allocation failures, array bounds).
#include "model/fatal.h"

namespace wakro {

void runtime_stop(std::string message) {
  throw FatalExit(kRuntimeStopStatus, std::move(message));
}

}  // namespace wakro
