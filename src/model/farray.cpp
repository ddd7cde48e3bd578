// The index stop of the case-sized arrays: names the array, the index and the bounds.
#include "model/farray.h"

#include <string>

namespace wakro::detail {

void index_stop(const char* name, int rank, const std::int64_t* idx,
                const std::int32_t* ext) {
  std::string msg = "Array index out of bounds: ";
  msg += name;
  msg += '(';
  for (int d = 0; d < rank; ++d) {
    if (d) msg += ',';
    msg += std::to_string(idx[d]);
  }
  msg += ") outside (";
  for (int d = 0; d < rank; ++d) {
    if (d) msg += ',';
    msg += "1:" + std::to_string(ext[d]);
  }
  msg += ')';
  runtime_stop(msg);
}

}  // namespace wakro::detail
