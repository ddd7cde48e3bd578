// Module branch_codes: the codes that branches carry between the case reader, the
// device models and the network solution.
//
//   switch_mode    int1::iorv(br, ss), the switching mode of a branch: which
//                  condition its crossing test watches (the sign of the signed
//                  modes is the direction of the test)
//   kNoCrossing    int1::xstor(br, ss) and the crossing tests: no crossing in the
//                  sub-step (above every fraction of a step, 0..1)
//   branch_code    STORI(THISBR(br, ss)), the component code at the head of the
//                  storage record of a branch that belongs to a device model
#pragma once

#include <cstdint>

namespace wakro {

// A crossing fraction that lies beyond the end of the sub-step: nothing crossed.
inline constexpr double kNoCrossing = 1.5;

namespace switch_mode {
inline constexpr std::int32_t none = 0;               // no interpolated switching
inline constexpr std::int32_t current_crossing = 2;   // current crosses the level
inline constexpr std::int32_t voltage_rising = 3;     // voltage rises through the level
inline constexpr std::int32_t voltage_falling = -3;   // voltage falls through the level
inline constexpr std::int32_t voltage_above = 4;      // |voltage| rises above |level|
inline constexpr std::int32_t arrester = 5;           // surge-arrester segment change
inline constexpr std::int32_t plain = 6;              // plain state, not interpolated
inline constexpr std::int32_t timed = 8;              // at the instant held in the level
inline constexpr std::int32_t voltage_crossing = 10;  // voltage crosses the level
inline constexpr std::int32_t current_rising = 13;    // current rises through the level
inline constexpr std::int32_t current_falling = -13;  // current falls through the level
inline constexpr std::int32_t segmented = 15;         // segmented branch (configuration store)
}  // namespace switch_mode

namespace branch_code {
inline constexpr std::int32_t pe_switch_first = 10;  // power-electronic switch: 10 + type
inline constexpr std::int32_t pe_switch_last = 19;
inline constexpr std::int32_t registered_source = 101;  // voltage source of a source model
}  // namespace branch_code

// Types of a power-electronic switch (its code less branch_code::pe_switch_first);
// other values in range are a generic switch.
namespace pe_switch {
inline constexpr std::int32_t diode = 0;
inline constexpr std::int32_t thyristor = 1;
inline constexpr std::int32_t gto = 2;
inline constexpr std::int32_t igbt = 3;
inline constexpr std::int32_t mosfet = 4;
inline constexpr std::int32_t transistor = 5;
}  // namespace pe_switch

}  // namespace wakro
