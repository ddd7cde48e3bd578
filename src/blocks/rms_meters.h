// RMS and peak meters: the stateless three-phase RMS, the one-state running RMS,
// the synchronous-correlation RMS meter with its forms for a node voltage, the
// current between two nodes and a branch current, the peak detector and the
// filtered per-unit peak voltage meter.
//
// Slots per call, in the order they are taken ("stor" from nexc + 1 on):
//   rms3ph   none
//   rms3     stor 3: the RMS y (slots 2 and 3 reserved)
#pragma once

#include <cstdint>

// sqrt((a^2 + b^2 + c^2) / 3).
double rms3ph(double a, double b, double c);
// Running RMS of u with time constant T: the positive root y of
// (1 + a) y^2 - y_prev y - a u^2 = 0, a = delt / max(T, delt). No time-zero
// branch: y starts from its slot.
double rms3(double u, double T);
