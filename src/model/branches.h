// Module branches: every branch of every subsystem, indexed (branch, subsystem).
//
// End nodes, kind flags, the equivalent conductance and the trapezoidal companion
// terms from which the network solution forms conductances and history currents,
// the branch current and its series source. Sizes: branch 1 .. nd15, subsystem
// 1 .. nd2, except geqchange (nd15) and nsw (nd2). Allocated by a_branches.
#pragma once

#include <cstdint>

#include "model/farray.h"

namespace branches {

using Real = wakro::FArray<double, 2>;
using Int = wakro::FArray<std::int32_t, 2>;
using Flag = wakro::FArray<bool, 2>;

// Currents and sources.
inline Real cbr{"cbr"};      // branch current after each solution
inline Real ccbr{"ccbr"};    // history (Norton) current source of the branch
inline Real ccbrd{"ccbrd"};  // the previous step's ccbr
inline Real ebr{"ebr"};      // series source voltage (Thevenin EMF)
inline Real ebrd{"ebrd"};    // the previous step's ebr
inline Real ebron{"ebron"};  // source voltage taken on turn-on
inline Real ebrof{"ebrof"};  // source voltage taken on turn-off
// Conductances.
inline Real swlevl{"swlevl"};  // switching level (threshold) of a switching branch
inline Real geq{"geq"};        // present equivalent conductance in the nodal matrix
inline Real geqon{"geqon"};    // conductance of the switching branch when ON
inline Real geqof{"geqof"};    // conductance of the switching branch when OFF
inline Real geqd{"geqd"};      // the previous step's geq (change detection)
inline Flag flipidlbr{"flipidlbr"};  // orientation flag of an ideal branch
inline wakro::FArray<bool, 1> geqchange{"geqchange"};  // branch number's conductance changed this step (nd15)
// Trapezoidal companion terms of the series R-L-C branch.
inline Real rlg{"rlg"};    // companion coefficient
inline Real rcg{"rcg"};    // companion coefficient (series R-C: Rc/(R+Rc))
inline Real rcl{"rcl"};    // companion coefficient
inline Real rsc{"rsc"};    // companion coefficient
inline Real rsl{"rsl"};    // companion coefficient (series R-C: rcg*R)
inline Real ccl{"ccl"};    // history current of the inductive part
inline Real ccld{"ccld"};  // the previous step's ccl
inline Real ccc{"ccc"};    // history current of the capacitive part
inline Real cccd{"cccd"};  // the previous step's ccc
inline Real g2l{"g2l"};    // companion conductance of the inductive part
inline Real g2c{"g2c"};    // companion conductance of the capacitive part (2C/dt)
inline Real v12l{"v12l"};  // part voltage kept for the history update
inline Real v20l{"v20l"};  // part voltage kept for the history update
// Switch lists.
inline wakro::FArray<std::int32_t, 1> nsw{"nsw"};  // switching branches of the subsystem (nd2)
inline Int brnsw{"brnsw"};  // the subsystem's switching branches, nsw(k) entries used
// Topology and ownership.
inline Int iet{"iet"};        // to-node (0 = ground)
inline Int ief{"ief"};        // from-node (0 = ground)
inline Int thisbr{"thisbr"};  // storage index of the component that owns the branch
// Kind flags.
inline Flag resistor{"resistor"};  // has a resistive part
inline Flag inductor{"inductor"};  // has an inductive part
inline Flag capacitr{"capacitr"};  // has a capacitive part
inline Flag source{"source"};      // carries a series source voltage
inline Flag switch_{"switch"};     // is a switching branch
inline Flag idealbr{"idealbr"};    // zero-impedance branch collapsed out of the matrix
inline Flag openbr{"openbr"};      // the switching branch is open (OFF)
inline Flag defrdbr{"defrdbr"};    // history current handled by the owning component

}  // namespace branches
