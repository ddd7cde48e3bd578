// The transformers of each subsystem, in increasing transformer number, so that
// the per-step loops over a subsystem's windings visit its own transformers only
// instead of scanning all of them.
//
// The index is built from e_s5tap::tss of transformers 1 .. e_s5::jset on the
// first request after the count of transformers or subsystems changed or after
// mark_stale (the transformer reader calls it at each section). Building sizes
// the index (at time zero); later requests allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/e_s5.h"

namespace e_s5 {

// The built index as the per-step requests read it: starts first[0 .. nss] and
// the list, valid while `ready` and built for this jset and nss. The requests of
// a step find it ready and answer without a call.
struct TfIndexView {
  const std::int32_t* first = nullptr;
  const std::int32_t* list = nullptr;
  std::int32_t jset = -1;
  std::int32_t nss = -1;
  bool ready = false;
};
inline TfIndexView tf_index_view;

// Builds the index when needed and answers the request (see in_subsystem).
std::span<const std::int32_t> in_subsystem_built(std::int32_t ss, std::int32_t nss);

// Transformers whose |tss| is ss (1 .. nss), in increasing number; empty for an
// ss outside 1 .. nss.
inline std::span<const std::int32_t> in_subsystem(std::int32_t ss, std::int32_t nss) {
  const TfIndexView& x = tf_index_view;
  if (!x.ready || x.jset != jset || x.nss != nss || ss < 1 || ss > nss)
    return in_subsystem_built(ss, nss);
  const std::int32_t b = x.first[ss - 1];
  return {x.list + b, static_cast<std::size_t>(x.first[ss] - b)};
}
// Forces the next request to build the index again.
void mark_stale();

}  // namespace e_s5
