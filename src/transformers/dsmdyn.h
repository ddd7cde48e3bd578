// dsmdyn: the first step of the network history of a subsystem, which adds the
// coupled windings' history currents (registered in the network's hook).
#pragma once

#include <cstdint>
#include <string_view>

namespace wakro {
// The tag of the per-step failure: "DSMDYN" blank-padded to 34 characters.
inline constexpr std::string_view kDsmdynTag = "DSMDYN                            ";
}  // namespace wakro

// Keeps CCGM of ss in CCGMD and clears it, then, for each transformer of ss in
// increasing number, forms h = hm v + sm i of the last solved winding voltages v
// and currents i (e_s0::cdctr) into ccmc (the old value into ccmcd) and adds h
// (with the core injection umec::fininjs) at the from-node and subtracts it at
// the to-node; a UMEC transformer's injection comes from injcal first. More
// transformers in ss than numt(ss) counts is fatal.
// Allocates nothing.
void dsmdyn(std::int32_t ss);
