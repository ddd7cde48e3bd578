// Module quolbv3: the case map.
//
// The generated page code finds everything that depends on its instance (global
// node numbers, branch numbers, initial stored values, output channels) through
// the running counters and maps held here, which the case reader fills. Also the
// run-time control values written by the design environment, the control signals
// carried along lines, and the flag that says whether the design environment is
// connected.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"

namespace quolbv3 {

// Arrays, in the order a_quolbv3 allocates them.
inline wakro::FArray<std::int32_t, 1> nbrch{"nbrch"};    // branch numbers taken per subsystem (nd2)
inline wakro::FArray<std::int32_t, 1> nmbrch{"nmbrch"};  // second per-subsystem branch counter (nd2)
inline wakro::FArray<std::int32_t, 1> node{"node"};      // node map: per page call its global nodes (nd21)
inline wakro::FArray<std::int32_t, 1> subs{"subs"};      // subsystem map of the pages (nd7)
inline wakro::FArray<std::int32_t, 1> testss{"testss"};  // subsystem reference per node-map entry (nd21)
inline wakro::FArray<std::int32_t, 2> txfr{"txfr"};      // per page call nstol..nstoc at its start (nd22, 4)
inline wakro::FArray<bool, 1> stol{"stol"};              // initial stored logicals (nd23)
inline wakro::FArray<std::int32_t, 1> stoi{"stoi"};      // initial stored integers (nd24)
inline wakro::FArray<double, 1> stof{"stof"};            // initial stored reals (nd25)
inline wakro::FArray<wakro::cplx, 1> stoc{"stoc"};       // initial stored complex values (nd26)
inline wakro::FArray<double, 1> cx{"cx"};                // run-time control values (nd16)
inline wakro::FArray<std::int32_t, 1> cxmap{"cxmap"};    // map of the control values (nd17)
inline wakro::FArray<double, 1> dsx{"dsx"};              // stored values kept in snapshots (nd18)
inline wakro::FArray<double, 1> cscs{"cscs"};            // control signals sent along lines (nd14)
inline wakro::FArray<double, 1> cscr{"cscr"};            // control signals received along lines (nd20)
inline wakro::FArray<double, 1> gsx{"gsx"};              // start-up dialogue values (allocated by the dialogue)

// Running counters of the page calls.
inline std::int32_t nnode = 0;     // offset into node of the page call being executed
inline std::int32_t nsubs = 0;     // running counter of subsystem entries
inline std::int32_t ntxfr = 0;     // row of txfr of the page call being executed
inline std::int32_t nstol = 0;     // offset into stol
inline std::int32_t nstoi = 0;     // offset into stoi
inline std::int32_t nstof = 0;     // offset into stof
inline std::int32_t nstoc = 0;     // offset into stoc
inline std::int32_t npgb = 0;      // offset into the output-channel values
inline std::int32_t nvar = 0;      // running counter read by the case reader
inline std::int32_t nxfmr = 0;     // transformers already taken in this pass
inline std::int32_t ncx = 0;       // running counter of the control values
inline std::int32_t ncscs = 0;     // running counter of the sent line control signals
inline std::int32_t ncscr = 0;     // running counter of the received line control signals
inline std::int32_t nmanae = 0;    // running counter of MNA elements
inline std::int32_t ncall_no = 0;  // running number of page calls, from 1

inline std::int32_t guisoc = 0;         // 1: running under the design environment's link, 0: console
inline wakro::FixedText<3> ss_ref_style;  // "OLD" or "NEW": how page nodes refer to subsystems

}  // namespace quolbv3
