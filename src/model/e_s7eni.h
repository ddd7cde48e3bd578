// Modules e_s7eni and e_s7eni2: the ENI lines, whose two ends run in two
// simulation processes joined by a link.
//
// Server ends are numbered 1, 2, ... in directory-row order among the rows with
// role 1, client ends likewise among the rows with role 2; that number selects the
// per-end entries. eni_host has one entry per ENI end: server ends first, then
// client end k at eni_server + k, so it holds nd69 + nd70 entries. The
// per-conductor tables hold the conductors of any line model and are sized
// ndde::nd_conductors() in their first dimension.
//
// Rows X(name, element type, rank, (extents)) in creation order, extents in the
// working sizes of the dimension table (ndde); see e_s7.h. The sum nd69 + nd70 is
// formed in 64 bits so that an oversized table stops with the overflow message
// instead of wrapping round.
#pragma once

#include <cstdint>

#include "model/farray.h"
#include "model/fixedtext.h"

#define WAKRO_E_S7ENI_ARRAYS(X)                                                                    \
  X(line_name, wakro::FixedText<200>, 1, (nd58))                /* line name per directory row */  \
  X(eni_server_types, std::int32_t, 1, (nd69))                  /* server end: link type */        \
  X(eni_server_port, std::int32_t, 1, (nd69))                   /* server end: port */             \
  X(eni_server_frn_clientid, std::int32_t, 1, (nd69))           /* server end: peer's client id */ \
  X(eni_server_receive, bool, 1, (nd69))                        /* server end: received flag */    \
  X(eni_server_vol, double, 2, (nd_conductors(), nd69))         /* voltages from the client */     \
  X(eni_client_types, std::int32_t, 1, (nd70))                  /* client end: link type */        \
  X(eni_client_ss, std::int32_t, 1, (nd70))                     /* client end: subsystem */        \
  X(eni_client_nodes, std::int32_t, 2, (nd_conductors(), nd70)) /* client end: nodes */            \
  X(eni_client_port, std::int32_t, 1, (nd70))                   /* client end: port */             \
  X(eni_client_frn_clientid, std::int32_t, 1, (nd70))           /* client end: peer's client id */ \
  X(eni_client_receive, bool, 1, (nd70))                        /* client end: received flag */    \
  X(eni_host, wakro::FixedText<72>, 1, (std::int64_t{nd69} + nd70)) /* peer host */

namespace e_s7eni {

#define WAKRO_E_S7ENI_DECLARE(name, T, rank, extents) inline wakro::FArray<T, rank> name{#name};
WAKRO_E_S7ENI_ARRAYS(WAKRO_E_S7ENI_DECLARE)
#undef WAKRO_E_S7ENI_DECLARE

inline std::int32_t eni_server = 0;  // ENI server ends counted so far (ENI-SERVERS)
inline std::int32_t eni_client = 0;  // ENI client ends counted so far (ENI-CLIENTS)

}  // namespace e_s7eni

namespace e_s7eni2 {

inline std::int32_t nserver = 0;  // server ends met so far by the line-section reader
inline std::int32_t nclient = 0;  // client ends met so far by the line-section reader

}  // namespace e_s7eni2
