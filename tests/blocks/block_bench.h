// The block bench: runs a small "case" of blocks through the engine's own run
// loop -- the per-run clear of the storage (wakro_initialz), the per-run set-up
// (wakro_initcom), the begin pass at time zero, and on each step the resets, the
// dynamics pass, the output pass and the storage-pointer checks (wakro_runloop,
// wakro_timestep) -- with the console captured.
//
// The case is three callables standing for the case's root routines: begin (the
// _cfg calls of the begin pass), dynamics and output (the per-step passes). A run
// of n steps calls dynamics n + 1 times, at time 0, delt, ..., n*delt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/console_capture.h"

namespace blocks_test {

// Sizes of the storage arrays and of the configuration store.
struct BenchSizes {
  std::int32_t stor = 400;
  std::int32_t storf = 400;
  std::int32_t stori = 100;
  std::int32_t storl = 50;
  std::int32_t storc = 20;
  std::int32_t rtcf = 200;
  std::int32_t rtci = 50;
  std::int32_t rtcl = 20;
  std::int32_t rtcc = 10;
};

class BlockBench {
 public:
  explicit BlockBench(double delt, BenchSizes sizes = {});
  ~BlockBench();
  BlockBench(const BlockBench&) = delete;
  BlockBench& operator=(const BlockBench&) = delete;

  std::function<void()> begin;
  std::function<void()> dynamics;
  std::function<void()> output;

  // One run of steps 0 .. nsteps; status -1 when it ended normally.
  wakro_test::Outcome run(std::int32_t nsteps);

  double delt() const { return delt_; }

 private:
  double delt_;
};

// The lines of a captured console text, without their '\n'.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace blocks_test
