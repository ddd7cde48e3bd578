// The transformers of each subsystem, in increasing transformer number, so that
// the per-step loops over a subsystem's windings visit its own transformers only
// instead of scanning all of them.
//
// The index is built from e_s5tap::tss of transformers 1 .. e_s5::jset on the
// first request after the count of transformers or subsystems changed or after
// mark_stale (the transformer reader calls it at each section). Building sizes
// the index (at time zero); later requests allocate nothing.
#pragma once

#include <cstdint>
#include <span>

namespace e_s5 {

// Transformers whose |tss| is ss (1 .. nss), in increasing number; empty for an
// ss outside 1 .. nss.
std::span<const std::int32_t> in_subsystem(std::int32_t ss, std::int32_t nss);
// Forces the next request to build the index again.
void mark_stale();

}  // namespace e_s5
