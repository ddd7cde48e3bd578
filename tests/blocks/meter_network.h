// A synthetic network for the meter tests: one subsystem with its node voltages,
// branch end nodes and branch currents written straight into the model's arrays,
// as the network solution would leave them after a step. No solution runs.
#pragma once

#include <cstdint>

#include "model/branches.h"
#include "model/e_s0.h"
#include "model/int2.h"

namespace blocks_test {

// Sizes the arrays (after the bench is built; the bench releases them at its end).
inline void allocate_meter_network(std::int32_t nodes, std::int32_t nbranches) {
  e_s0::vdc.release();
  e_s0::mbus.release();
  int2::insb.release();
  branches::ief.release();
  branches::iet.release();
  branches::cbr.release();
  e_s0::vdc.allocate(nodes, 1);
  e_s0::mbus.allocate(1);
  int2::insb.allocate(1);
  branches::ief.allocate(nbranches, 1);
  branches::iet.allocate(nbranches, 1);
  branches::cbr.allocate(nbranches, 1);
}

// Declares the counts (the run's clearing has zeroed them) and the branch ends.
inline void set_meter_network(std::int32_t nodes, std::int32_t nbranches) {
  e_s0::mbus(1) = nodes;
  int2::insb(1) = nbranches;
}

// The meters see one subsystem while they run; the run loop itself sees none, so
// it builds and solves no network.
class OneSubsystem {
 public:
  OneSubsystem() { int2::nmat = 1; }
  ~OneSubsystem() { int2::nmat = 0; }
  OneSubsystem(const OneSubsystem&) = delete;
  OneSubsystem& operator=(const OneSubsystem&) = delete;
};

}  // namespace blocks_test
