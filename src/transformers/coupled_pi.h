// The series part of a coupled PI section entered as a transformer record: each
// conductor is a winding between its end nodes (from the "TRANSFORMERS:" entry
// of transformer k), with self values Rs, Ls and mutual values Rm, Lm between
// the conductors of a circuit and Rx, Lx between the two circuits of a double
// section. The values go into rt_config::tfdata unchanged (the mutual
// resistances in the off-diagonal resistance slots) and k is formed with the
// caller's kind (1 or 2). Refused under the routine's tag before the record is
// written: another kind ("Coupled PI data kind", the kind, "is not 1 or 2",
// whatever the transformer), then what check_tf_handover refuses (a UMEC transformer, a
// winding count other than 3, or 6 for the double section).
#pragma once

#include <cstdint>

void coupled_pi3_tf_cfg(std::int32_t k, std::int32_t kind, double rs, double ls, double rm, double lm);
void coupled_pi6_tf_cfg(std::int32_t k, std::int32_t kind, double rs1, double ls1, double rm1,
                        double lm1, double rs2, double ls2, double rm2, double lm2, double rx,
                        double lx);
