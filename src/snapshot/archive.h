// One description of the snapshot's state blocks, walked by the writer and by
// the reader.
//
// The blocks after the map section (the subsystem blocks, transformers, lines,
// line directory and ENI ends, the control signals along lines and the
// harmonic records) are described once, as a walk over an "archive": the
// writing archive writes each label and value group, the reading archive skips
// the labels and reads each group into the same place. A count that a block
// reads first (a subsystem's bus count, a transformer's winding count) is read
// into its variable before the groups that it sizes, and checked against the
// array it indexes, so a damaged or foreign file stops instead of writing past
// an array.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace wakro::snapshot {

class SnapOut;
class SnapIn;

// Writes the subsystem, transformer, line, directory, ENI, CSCS/CSCR and
// harmonic blocks.
void write_state_blocks(SnapOut& out);
// Reads them back (the reader has restored dimensions, stores and maps).
void read_state_blocks(SnapIn& in);
// The ports of the ENI line ends, asked on the console (or the input given
// below) on the first run when the design environment is not connected: for
// each line end in directory order "Enter port number for ENI server <name>"
// or "... client <name>", the host being the local one. An answer that is not
// a port number stops the run (tag "READSNP").
void eni_ports();
// The answers to the ENI port questions (nullptr: the console).
void set_port_input(std::istream* in);

}  // namespace wakro::snapshot
