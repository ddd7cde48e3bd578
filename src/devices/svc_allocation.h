// Susceptance allocation of a compensator made of a thyristor-controlled reactor
// and switched capacitor stages behind a coupling transformer: the reactor
// susceptance that, with n stages in service, gives an ordered total.
//
// e_svcaloct1_cfg appends 3 RTCF slots, read back by e_svcaloct1_exe:
//   1 G1 = -1 / XT                            transformer leakage susceptance
//   2 G2 = -1 / (VSQ / |QL| - XT)             full-conduction reactor, net of XT
//   3 G3 = 1 / (NCAP (VSQ / |QC| + XT))       one capacitor stage
// VSQ is the squared rated voltage in the units that make VSQ / Q a reactance.
// With n stages: BL = (BORD - (1 - n G3 / G1) n G3) / (1 - (G2 + 2 n G3) / G1).
#pragma once

#include <cstdint>

namespace wakro::devices::layout {
namespace svcaloct1 {  // rtcf of the _cfg: G1, G2, G3
enum : std::int32_t { kG1 = 1, kG2, kG3, kRtcfSize = kG3 };
}
}  // namespace wakro::devices::layout

// Checks the ratings ("Unrealistic number of capacitor stages", "... transformer
// leakage reactance", "... inductive reactive power", "... capacitive reactive
// power", each an error line) and stops with tag "SVCALLOC" on any failure,
// appending nothing; otherwise appends G1, G2, G3. A reactor reactance equal to
// the leakage (G2 without a finite value) counts as an unrealistic inductive
// reactive power.
void e_svcaloct1_cfg(std::int32_t ncap, double xt, double vsq, double ql, double qc);
// The reactor susceptance bl for the order bord with nc stages in service;
// blmax := G2.
void e_svcaloct1_exe(double bord, double nc, double& bl, double& blmax);
// The same formula with the susceptances passed in. Where its denominator
// vanishes (|den| <= 1e-20) the reactor's full susceptance g2 is returned.
double e_svcallo(double bord, double nc, double g3, double g1, double g2);
