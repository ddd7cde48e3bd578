// inchck: corrects a crossing fraction x found on two straight lines, a (from a0
// to a1) and b (from b0 to b1), so that their difference at x moves towards the
// limit by the gain k; the result is at least 0.0001. Offered to device models;
// the network solution itself does not call it. No workspace.
#include <algorithm>

#include "network/switching.h"

void inchck(double& x, double k, double a0, double a1, double b0, double b1, double limit) {
  const double a = a0 + (a1 - a0) * x;
  const double b = b0 + (b1 - b0) * x;
  const double d = a - b;
  const bool growing = a1 - b1 >= a0 - b0;
  if ((growing && limit > d) || (!growing && d > limit)) x += 2.0 * k * (d - limit);
  x = std::max(x, 0.0001);
}
