// The switching branches: their set-up, their two state changes, the marker of
// the first row to factorise again, the crossing test of each switching mode, the
// operation of the switches whose instant falls inside a step with its per-step
// limits, and the messages of the power-electronic switch models.
//
// Switching modes (int1::iorv) are the codes of wakro::switch_mode
// (model/branch_codes.h); wakro_turnon and wakro_turnoff take them as plain
// numbers, as model code passes them.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/branch_codes.h"
#include "model/fixedtext.h"
#include "model/substep.h"

// Lowers MXINV(ss) to the smaller of the nodes p, q that are not ground (0 when
// both are ground), and marks the change a switching (e_s8::switched). MXINV only
// ever decreases here.
void setmxinv(std::int32_t ss, std::int32_t p, std::int32_t q);
// The OFF state (GEQOF, EBROF) and the ON state (GEQON, EBRON) of switch br, with
// the switching mode and level of its next test. A surge arrester (mode 5) is
// refused: the run ends with a message naming its branch and subsystem.
void wakro_turnoff(std::int32_t ss, std::int32_t br, std::int32_t kind, double level);
void wakro_turnon(std::int32_t ss, std::int32_t br, std::int32_t kind, double level);
// Set-up of a switching branch with its ON and OFF resistances and source
// voltages; caller is the routine tag of the failure reports. Leaves it OFF.
void wakro_initswbr(std::int32_t ss, std::int32_t br, double ron, double roff, double eon,
                    double eoff, std::string_view caller);
// Operates every switch of ss whose crossing falls at frac.
void switchbr(std::int32_t ss, double frac);
// 12-character type name of a power-electronic switch.
wakro::FixedText<12> wakro_switchname(std::int32_t type);
// Reports a safety turn-off; count is the caller's counter (starting at 0).
void wakro_safety_msg(double& count, std::int32_t type, std::int32_t br, std::int32_t ss);
// Correction of a crossing fraction x by the difference of two interpolated
// lines against a limit (offered to models; the solution does not use it).
void inchck(double& x, double k, double a0, double a1, double b0, double b1, double limit);

namespace wakro {

// wakro_turnon without the refusal: the network's own switching of arresters.
void turnon_switch(std::int32_t ss, std::int32_t br, std::int32_t kind, double level);
// MXINV(ss) lowered as setmxinv does, for the change of a branch that holds no
// state across it (not a switching).
void lower_mxinv(std::int32_t ss, std::int32_t p, std::int32_t q);

// Crossing fraction of switch br of ss in the sub-step just solved (kNoCrossing:
// none), by its switching mode; the arrester and segmented modes also leave the
// direction of the change (EBRON, or the record's step word). The caller has set storage::this_.
double switch_crossing(std::int32_t ss, std::int32_t br, const SubStep& s);

// The new current of branch br from the sub-step just solved: its current
// source plus (source voltage + branch voltage) x GEQ.
double new_branch_current(std::int32_t ss, std::int32_t br, const SubStep& s);

}  // namespace wakro
