// Load-flow display values: running estimates of bus voltages and of the
// current, active and reactive power of measuring branches, shown by the
// design environment on the schematic.
//
// calc_pf updates every estimate once per step from the node voltages
// (e_s0::vdc), the branch currents (branches::cbr) and the transformer winding
// currents (e_s0::cdctro), each through a first-order lag of time constant
// 1/50 s (a = exp(-50 dt)) or, for single values, an update that follows
// their RMS value.
// The tables come from the design environment before the case is read, so the
// first update of the first run checks every entry against the case: a bus or
// an entry that names nothing in the case is dropped with one warning line.
// send_pfdata sends the bus voltages (message 15) and the branch values
// (message 16).
#pragma once

#include <cstdint>

void calc_pf();
void send_pfdata();

namespace wakro {
// Forgets that the tables were checked (a new set of tables); every announced
// measuring-branch row counts as given until set_pf_branch_rows says otherwise.
void reset_pf_check();
// The design environment has sent the measuring-branch rows 1 .. rows (the
// start-up dialogue tells as they arrive). Rows announced but never sent are no
// entries: they are neither checked nor updated, and stay 0.
void set_pf_branch_rows(std::int32_t rows);
}  // namespace wakro
