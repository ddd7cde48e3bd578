// The view of the current machine's block (see machine_block.h).
#include "machines/machine_block.h"

#include "model/e_s2.h"

namespace wakro::machines {

// The checked store takes the slots and moves the pointer; the machine's
// routines work on the block before the per-step model moves on, so the
// pointer is put back.
MachineBlock current_machine_block() {
  const MachineBlock blk = blocks::take_stor(kMachineBlockSize);
  e_s2::nexc -= kMachineBlockSize;
  return blk;
}

void advance_machine_block() { blocks::take_stor(kMachineBlockSize); }

}  // namespace wakro::machines
