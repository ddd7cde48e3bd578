// Module substep: the state of one subsystem's solution within the present step,
// owned by the solution driver for the subsystem it solves and handed by reference
// to the routines of that solution (right-hand side, substitution, crossing tests,
// interpolation, branch terms). A plain record: it allocates nothing.
#pragma once

#include "model/branch_codes.h"

namespace wakro {

struct SubStep {
  double elapsed = 0.0;         // fraction of the step already solved (0 at its start)
  double frac = 0.0;            // length of the present sub-step; from interpol the
                                // earliest crossing
  double xearly = kNoCrossing;  // switching fraction chosen by interpol
  double fracv = 0.0;           // interpolation fraction handed to incalcvi (at most 1)
  bool iflag = false;           // re-solution at the present instant after a change of
                                // the matrix
  bool iflag2 = false;          // that re-solution is at the start of the step
  bool notfirst = false;        // a solution of this step exists already (interpolate,
                                // do not copy)
  bool stepdone = false;        // the present sub-step reaches the end of the step

  // The same sub-step once its solution exists: the view of the crossing tests and
  // of the new branch currents, which read the solution just made.
  SubStep solved() const {
    SubStep s = *this;
    s.notfirst = true;
    return s;
  }
};

}  // namespace wakro
