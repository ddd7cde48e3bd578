// The reset of a subsystem's re-factorisation marker (see matrix.h).
#include "model/e_s8.h"
#include "network/matrix.h"

namespace wakro {

void refactorise_from_first_row(std::int32_t ss) {
  if (e_s8::mxinv.allocated()) e_s8::mxinv(ss) = 1;
  if (e_s8::switched.allocated()) e_s8::switched(ss) = true;
}

}  // namespace wakro
