// wakro_interpx: the fraction at which the straight line from a (start of the
// sub-step) to b (its end) reaches the level c, clipped to 0 .. 1; a flat line
// (|a - b| <= 1e-10) gives 1. Pure function, no workspace.
#include "network/solution.h"

#include <cmath>

double wakro_interpx(double a, double b, double c) {
  if (std::abs(a - b) <= 1e-10) return 1.0;
  const double r = (a - c) / (a - b);
  if (r <= 0.0) return 0.0;
  if (r >= 1.0) return 1.0;
  return r;
}
