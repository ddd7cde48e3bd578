// The messages of the power-electronic switch models: the type name of a switch
// and the report of a safety turn-off (a switch that the device had to turn off
// itself because the interpolation did not switch it inside the step).
//
// wakro_safety_msg reports the first two safety turn-offs counted by the caller's
// counter (the second marked "(Multiple)" / "[Multiple]") and then stays silent;
// each report is one console line and a two-line information message under the
// present component ids.
#include <string>

#include "diag/console.h"
#include "diag/format.h"
#include "diag/message.h"
#include "model/branch_codes.h"
#include "model/e_warn.h"
#include "network/switching.h"

wakro::FixedText<12> wakro_switchname(std::int32_t type) {
  const char* name = "PESwitch:   ";
  namespace pe = wakro::pe_switch;
  switch (type) {
    case pe::diode:
      name = "Diode:      ";
      break;
    case pe::thyristor:
      name = "Thyristor   ";
      break;
    case pe::gto:
      name = "GTO:        ";
      break;
    case pe::igbt:
      name = "IGBT:       ";
      break;
    case pe::mosfet:
      name = "MOSFET:     ";
      break;
    case pe::transistor:
      name = "Transistor: ";
      break;
    default: break;
  }
  wakro::FixedText<12> text;
  text.assign(name);
  return text;
}

void wakro_safety_msg(double& count, std::int32_t type, std::int32_t br, std::int32_t ss) {
  if (count >= 2.0) return;
  count += 1.0;
  const wakro::FixedText<12> name = wakro_switchname(type);
  const bool multiple = count >= 2.0;
  wakro::write_layout(wakro::console(),
                      multiple ? "(A12,'Safety off: SS# ', I2,'   Br# ',I4, ' (Multiple)')"
                               : "(A12,'Safety off: SS# ', I2,'   Br# ',I4)",
                      {name, ss, br});
  const std::int32_t id1 = e_warn::comp_id1;
  const std::int32_t id2 = e_warn::comp_id2;
  wakro_message(id1, id2, wakro::msg::kInfo, wakro::msg::first_of(2),
                std::string(name.trimmed()) + " Safety turn off in branch " + std::to_string(br));
  wakro_message(id1, id2, wakro::msg::kInfo, wakro::msg::kLastLine,
                " of subsystem " + std::to_string(ss) + (multiple ? " [Multiple]" : ""));
}
