// Filling a synchronous machine's block at time zero.
//
// macdat reads the machine's nine data records from the top input unit
// (fnames::iunit), each after rdcmnt has passed the comment lines, with the
// free-format reader: a null field or one cut off by '/' keeps its default.
//   R1 data form, q-axis circuits, initial-condition mode   (10000 each)
//   R2 Ib, Vb, w, neutral R, neutral X                       (1.0E6 x3, 10000, 0)
//   R3 H, friction-windage                                    (1.0E6 each)
//   R4 Ra, Xa, shunt R                                        (1.0E6, 1.0E6, 300; shunt floor 66.7)
//   R5 d axis: form 1 Xd, Xd'', T''do, Xd', T'do, fit target re, im;
//      form 0 Xmd, Rf, Xf, Rkd, Xkd, Xkf, seventh value      (1.0E6 each)
//   R6 q axis: form 1 Xq, Xq'', T''qo, Xq', T'qo, sixth value;
//      form 0 Xmq, Rkq1, Xkq1, Rkq2, Xkq2, Xkf of q          (1.0E6 each)
//   R7 the saturation curve, ten (x, y) pairs
//   R8 mode 0: angle, id, iq, ifd, speed per unit            (1.0E6 x4, 1.0)
//      mode 1: V, angle, P, Q                                (1.0E6, 1.0E6, 0, 0)
//   R9 release time (floor 0), power scale, trim time (floor 0.05)  (0, 10, 0.1)
// Besides the inertia warning it refuses, naming the file and line: a record
// that cannot be read, rated values that are not positive, terminal data out
// of order (the checks of syncmc3p0_cfg with Xp AGFC = Xa, and Xa < X'' < X' <
// X with positive time constants) and a saturation curve that saturation.h
// refuses.
//
// macdat1_cfg copies the configuration record that syncmc3p2_cfg appended, at
// the current configuration pointers (which it does not move), into the block.
#pragma once

#include "machines/machine_block.h"

namespace wakro::machines {

void macdat(const MachineBlock& blk);
// `reals`: the record's real entries (kConfigReals, or kConfigRealsDamped for
// the variant with the internal damping branch).
void macdat1_cfg(const MachineBlock& blk, std::int32_t reals = kConfigReals);

}  // namespace wakro::machines
