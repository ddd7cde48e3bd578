// A small case around the grid-forming inverter module, run from data files:
// a page "Grid" with a passive R-L load of 0.5 pu at 13.8 kV (100 MVA) per
// inverter and a switchable resistive load beside it, and one or two
// inverter instances with their four control modules, each on an island of
// 27 nodes of its own:
//
//   E (source) -R1- -L1- [meter I_b] B -R2- -L2- [meter I_a] A [meter I_c] C
//                                     |                                   |
//                                     C -- R3 -- ground              loads to ground
//
// V_b is B (the filter capacitor), V_a the point of common coupling A, V_c the
// load point C.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "case/gfm_inverter_dev2.h"

namespace casetest {

// The inverter's arguments used by the tests (100 MVA, 13.8 kV).
wakro::casecode::GfmArgs gfm_test_args();

struct GfmSample {
  double t = 0.0;
  double ch[55] = {};      // the instance's output channels
  double f_out = 0.0;      // argument 54
  double vmag = 0.0;       // |V| at the point of common coupling [V]
  double i_load = 0.0;     // |I| into the load point, dq magnitude [A]
  std::int32_t flag = 0;
  double fm = 0.0;              // measured frequency in use [Hz]
  double zb = 0.0, lb = 0.0;    // derived bases [ohm, H]
  double r1 = 0.0, l1 = 0.0, cap = 0.0;  // branch values [ohm, H, uF]
  double angle_integral = 0.0;  // the angle integrator's output [rad]
};

struct GfmRun {
  int status = -1;
  std::string console;
  std::vector<std::vector<GfmSample>> samples;  // per instance, every `every` steps
  std::int32_t refactor_steps_after_zero = 0;   // steps after time zero whose marker the inverters lowered
};

struct GfmRunPlan {
  std::vector<wakro::casecode::GfmArgs> instances{gfm_test_args()};
  std::vector<std::int32_t> order{0};   // call order of the instances
  double finish = 1.0;
  double dt = 50.0e-6;
  std::int32_t every = 200;             // sample period in steps
  // Extra resistive load per island [pu of 100 MVA at 13.8 kV] and its time.
  double step_pu = 0.0, step_time = 1.0e9;
  // Called before each dyn pass with the time and the instances' arguments.
  std::function<void(double, std::vector<wakro::casecode::GfmArgs>&)> edit;
};

GfmRun run_gfm(const GfmRunPlan& plan);

}  // namespace casetest
