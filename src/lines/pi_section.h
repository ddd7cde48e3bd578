// PI-section parameters: the element values of a coupled PI section from the
// sequence data of a short line, as a user enters them. Both routines run once
// at set-up, keep no state and leave the branches to their caller. Errors are
// console messages followed by wakro_quit under the tag "PI_SECTION  ".
//
// Units: kV, MVA, Hz, the line's length unit (values per unit length); ohm, H,
// and capacitances in uF per end of the section (half the section's farads,
// times 1e6). w = 2 pi f, Zb = V^2 / MVA.
//
// Entry forms of pi3_section_cfg (R, A, B of each sequence):
//   0  R pu, A reactance pu, B capacitive reactance pu
//   1  R ohm, A reactance ohm, B capacitive reactance Mohm
//   2  R ohm, A travel time, B surge impedance
//   3  R pu, A reactance pu, B susceptance pu
//   4  R ohm, A inductance H, B capacitance uF
// Entry forms of pi_2cctmut_cfg (R, L, C from A, B, C):
//   0  per unit with susceptance; 1 per unit with capacitive reactance;
//   2  ohm, ohm, Mohm; 3  ohm, travel time, surge impedance.
// Any other type is refused.
#pragma once

#include <cstdint>

// One three-phase circuit. coupled != 0: the self values are (2 Z1 + Z0) / 3,
// else the positive-sequence ones. zest != 0: the zero sequence is estimated as
// R0 = R1 r0, L0 = L1 a0 b0, C0 = C1 a0 / b0. A negative mutual resistance, a
// negative phase-to-phase capacitance and a negative capacitance to ground warn.
void pi3_section_cfg(std::int32_t type, std::int32_t coupled, std::int32_t zest, double v, double mva,
                     double f, double length, double r1, double a1, double b1, double r0, double a0,
                     double b0, double& rs, double& ls, double& cm, double& rm, double& lm, double& c0,
                     std::int32_t& frm, std::int32_t& flm, std::int32_t& fc0, std::int32_t& fcm);

// The zero-sequence mutual coupling of two circuits: R, L, C by the entry form,
// a third of each times the length (C in uF per end); flag 1 when the
// capacitance is at least 1e-20. Without estimation the length, frequency,
// voltage and MVA are checked as pi3_section_cfg checks them, and a capacitive
// reactance or surge impedance c below 1e-32 is refused. With estimation
// (zest != 0) v and mva carry the circuits' own zero-sequence values:
// rout = (2 a2 + v) a / 3, lout = (2 b2 + mva) b c / 3, cout = c2 b / (3 c).
void pi_2cctmut_cfg(std::int32_t type, std::int32_t zest, double length, double v, double mva,
                    double f, double a, double b, double c, double a2, double b2, double c2,
                    double& rout, double& lout, double& cout, std::int32_t& flag);
