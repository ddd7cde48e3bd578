// The case generator's AC7B exciter data, shared by the machine tests.
#pragma once

#include "machines/exciter_ac7b.h"

namespace mtest {

inline wakro::machines::Ac7bData case_exciter() {
  wakro::machines::Ac7bData d;
  d.KPR = 12.77;
  d.KIR = 20.0;
  d.VRMAX = 5.0;
  d.VRMIN = -5.0;
  d.KPA = 20.0;
  d.KIA = 1.0;
  d.VAMAX = 1.0;
  d.VAMIN = -1.0;
  d.KP = 6.41;
  d.EFDMIN = 0.79;
  d.KL = 26.2;
  d.VFEMAX = 6.1;
  d.SE1 = 1.195;
  d.E1 = 4.025;
  d.SE2 = 0.097;
  d.E2 = 3.02;
  d.TE = 1.945;
  d.KE = 1.0;
  d.KD = 0.567;
  d.KC = 0.172;
  d.KF2 = 1.0;
  return d;
}

}  // namespace mtest
