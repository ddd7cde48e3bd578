// The generator module on a stiff source: the root page "Grid" (three source
// branches, ground to the terminal's phases, an EMF behind 1 micro-ohm that it
// writes every step at the load-flow point 1.025 pu, 0.2 rad) calls the case's
// generator module with the page's arguments (200 MW rating, 163 MW governor
// reference, hand-over at 2.0 s, speed free from 2.5 s); the module calls the
// gas-turbine governor. Pages in call order: Grid.dta, Generic_SG_1.dta,
// GAST.dta (generator_stiff.map).
#include <cmath>
#include <cstdint>

#include "case/generic_sg_1.h"
#include "case/module_frame.h"
#include "model/branches.h"
#include "model/constants.h"
#include "model/e_s1.h"

namespace {

using namespace wakro::casecode;

// The page's real signals: the generator module's arguments that it writes
// back (SgWrittenBack), from slot 1.
constexpr std::int32_t kArgBase = 1;

constexpr ModuleCounts kGrid{"Grid", 5, 0, kGaCount, 0, 3, 0};
constexpr double kV = 1.025, kTheta = 0.2, kPMw = 163.0, kQMvar = 5.0;
constexpr double kVb = kGeneratorData.rated_phase_kv, kIb = kGeneratorData.rated_phase_ka, kW = kGeneratorData.w;
constexpr double kShift = wakro::kThirdTurnRounded;  // 2 pi / 3

// The page's arguments of the generator module (the case's values): the ones
// the module writes back go on from the page's stores, the others are
// constants.
void restore_args(const ModuleCall& c, SgArgs& a) { restore_written_back(c, kArgBase, a); }
void save_args(const ModuleCall& c, const SgArgs& a) { save_written_back(c, kArgBase, a); }

void begin_args(bool dyn) {
  double v = kV, theta = kTheta, p = kPMw, q = kQMvar, scale = 100.0, vb = kVb, ib = kIb, c3 = 2.0, rel = 0.1,
         c5 = 0.05, h = kGeneratorData.inertia;
  if (dyn)
    generic_sg_1dyn_begin(v, theta, p, q, scale, vb, ib, c3, rel, c5, h);
  else
    generic_sg_1out_begin(v, theta, p, q, scale, vb, ib, c3, rel, c5, h);
}

}  // namespace

void dsdyn() {
  const ModuleCall c = enter_dyn(kGrid);
  open_data(kGrid, "DATADSD:");
  const double peak = std::sqrt(2.0) * kV * kVb, phi = kW * e_s1::time + kTheta;
  branches::ebr(c.branch(1), c.ss) = peak * std::sin(phi);
  branches::ebr(c.branch(2), c.ss) = peak * std::sin(phi - kShift);
  branches::ebr(c.branch(3), c.ss) = peak * std::sin(phi + kShift);
  SgArgs a;
  if (!e_s1::timezero) restore_args(c, a);
  generic_sg_1dyn(a);
  save_args(c, a);
  close_data();
}

void dsout() {
  (void)enter_out(kGrid);
  open_data(kGrid, "DATADSO:");
  generic_sg_1out();
  close_data();
}

void dsdyn_begin() {
  (void)enter_begin(kGrid);
  begin_args(true);
}

void dsout_begin() {
  (void)enter_begin(kGrid);
  begin_args(false);
}
