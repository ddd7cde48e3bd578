// Releases each of the given arrays that is allocated, in the order given: the body
// of every d_<group> routine, so a release may run at any time, also twice.
#pragma once

namespace wakro {

template <class... A>
void release_each(A&... arrays) {
  (arrays.release(), ...);
}

}  // namespace wakro
