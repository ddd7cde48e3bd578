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
// (message 16) of the rows received; a message longer than the link carries is
// said in the run's messages, naming the values not sent.
#pragma once

#include <cstdint>

void calc_pf();
void send_pfdata();

namespace wakro {
// What the design environment has sent of the tables: the bus rows 1 .. buses,
// the measuring-branch rows 1 .. branches, and per phase of a measuring branch
// at most entries[0] branch, entries[1] winding and entries[2] conductor
// entries. Rows and entries announced but never sent are no entries: they are
// neither checked, nor updated, nor sent, and stay 0; so the work of every step
// and the messages follow what arrived, not what was announced.
struct PfRows {
  static constexpr std::int32_t kAll = 2147483647;
  std::int32_t buses = kAll;
  std::int32_t branches = kAll;
  std::int32_t entries[3] = {kAll, kAll, kAll};
};
// Forgets that the tables were checked (a new set of tables); every announced
// row and entry counts as given until set_pf_rows says otherwise.
void reset_pf_check();
// The start-up dialogue tells what has arrived as it arrives.
void set_pf_rows(const PfRows& rows);
}  // namespace wakro
