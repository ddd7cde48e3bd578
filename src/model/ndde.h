// Module ndde: the dimension table that sizes every case-sized array.
//
// e_ndim(k) holds the required sizes as read from the "DIMENSIONS:" section (plus the
// storage margins of a start from data files); nd1 ... nd80 are the working sizes
// derived from them by put_nd, the bounds with which the arrays are allocated.
// allocate_nd / deallocate_nd run the allocation groups of groups.h in the engine's
// fixed order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "model/dim.h"
#include "model/farray.h"

namespace ndde {

inline wakro::FFixed<std::int32_t, dim::count>
    e_ndim;  // required sizes, entries 1..80 by dim:: name (0 = none)

// Working sizes (each at least 1 once derived; 74..80 are set by their users).
inline std::int32_t nd1 = 0;   // nodes per subsystem
inline std::int32_t nd2 = 0;   // subsystems
inline std::int32_t nd3 = 0;   // windings per transformer
inline std::int32_t nd4 = 0;   // transformers
inline std::int32_t nd5 = 0;   // conductors of the largest line (raised to cover nd43, nd55)
inline std::int32_t nd6 = 0;   // Bergeron and modal frequency-dependent lines
inline std::int32_t nd7 = 0;   // page subsystem entries of the case map
inline std::int32_t nd8 = 0;   // line fitting poles
inline std::int32_t nd9 = 0;   // UMEC (sizes no array)
inline std::int32_t nd10 = 0;  // old-style real storage stor
inline std::int32_t nd11 = 0;  // var array
inline std::int32_t nd12 = 0;  // con array
inline std::int32_t nd13 = 0;  // output channels (multiple of 10, at least 10)
inline std::int32_t nd14 = 0;  // control signals sent along lines
inline std::int32_t nd15 = 0;  // branches per subsystem
inline std::int32_t nd16 = 0;  // control storage cx
inline std::int32_t nd17 = 0;  // control storage map cxmap
inline std::int32_t nd18 = 0;  // load-flow initial data (dsx)
inline std::int32_t nd19 = 0;  // entries of the sparse factor pattern per subsystem
inline std::int32_t nd20 = 0;  // control signals received along lines
inline std::int32_t nd21 = 0;  // node map of the pages
inline std::int32_t nd22 = 0;  // page calls
inline std::int32_t nd23 = 0;  // logical initial values
inline std::int32_t nd24 = 0;  // integer initial values
inline std::int32_t nd25 = 0;  // real initial values
inline std::int32_t nd26 = 0;  // complex initial values
inline std::int32_t nd27 = 0;  // logical storage storl
inline std::int32_t nd28 = 0;  // integer storage stori
inline std::int32_t nd29 = 0;  // real storage storf
inline std::int32_t nd30 = 0;  // complex storage storc
inline std::int32_t nd31 = 0;  // travelling-wave buffers
inline std::int32_t nd32 = 0;  // line transformation terms
inline std::int32_t nd33 = 0;  // line transformation poles
inline std::int32_t nd34 = 0;  // attenuation poles
inline std::int32_t nd35 = 0;  // surge-impedance poles
inline std::int32_t nd36 = 0;  // modal mode space
inline std::int32_t nd37 = 0;  // wireless transmitters
inline std::int32_t nd38 = 0;  // wireless transmitters and receivers
inline std::int32_t nd39 = 0;  // unused (1)
inline std::int32_t nd40 = 0;  // unused (1)
inline std::int32_t nd41 = 0;  // phase-domain lines
inline std::int32_t nd42 = 0;  // phase-domain mode space
inline std::int32_t nd43 = 0;  // phase-domain conductors per line
inline std::int32_t nd44 = 0;  // phase-domain travelling-wave buffers
inline std::int32_t nd45 = 0;  // propagation terms
inline std::int32_t nd46 = 0;  // propagation fitting terms
inline std::int32_t nd47 = 0;  // characteristic-admittance fitting terms
inline std::int32_t nd48 = 0;  // propagation history terms
inline std::int32_t nd49 = 0;  // phase-domain poles and zeros
inline std::int32_t nd50 = 0;  // load-flow buses (set by allocate_pf)
inline std::int32_t nd51 = 0;  // logical transfer store
inline std::int32_t nd52 = 0;  // integer transfer store
inline std::int32_t nd53 = 0;  // MFDTD lines
inline std::int32_t nd54 = 0;  // MFDTD mode space
inline std::int32_t nd55 = 0;  // MFDTD conductors per line
inline std::int32_t nd56 = 0;  // MFDTD poles and zeros
inline std::int32_t nd57 = 0;  // MFDTD increments
inline std::int32_t nd58 = 0;  // all lines of all models
inline std::int32_t nd59 = 0;  // real transfer store
inline std::int32_t nd60 = 0;  // complex transfer store
inline std::int32_t nd61 = 0;  // logical configuration store
inline std::int32_t nd62 = 0;  // integer configuration store
inline std::int32_t nd63 = 0;  // real configuration store
inline std::int32_t nd64 = 0;  // complex configuration store
inline std::int32_t nd65 = 0;  // load-flow count nwb (set by allocate_pf)
inline std::int32_t nd66 = 0;  // load-flow count nb (set by allocate_pf)
inline std::int32_t nd67 = 0;  // load-flow count ntwdg (set by allocate_pf)
inline std::int32_t nd68 = 0;  // load-flow count nc (set by allocate_pf)
inline std::int32_t nd69 = 0;  // ENI line ends served to another engine
inline std::int32_t nd70 = 0;  // ENI line ends taken from another engine
inline std::int32_t nd71 = 0;  // GSX (sizes no array)
inline std::int32_t nd72 = 0;  // MNA elements
inline std::int32_t nd73 = 0;  // MBRANCHES (sizes no array)
inline std::int32_t nd74 = 0;  // set by the MNA set-up
inline std::int32_t nd75 = 0;  // work-matrix order, set by the MNA set-up
inline std::int32_t nd76 = 0;  // not used
inline std::int32_t nd77 = 0;  // not used
inline std::int32_t nd78 = 0;  // not used
inline std::int32_t nd79 = 0;  // not used
inline std::int32_t nd80 = 0;  // not used

inline bool use_subsysdim = false;  // each subsystem gets a matrix set of its own size

// First dimension of every "conductor of any line" array (globaldm, cdctl, ...):
// the largest conductor count of any line model, whichever of its sizes holds it.
// The channel arrays' size for a channel count: the next multiple of 10 above
// it, at most the largest 32-bit value.
std::int32_t channel_block(std::int32_t required);
inline std::int32_t nd_conductors() { return std::max({nd5, nd43, nd55}); }

// Working size k (1..80) by number, for the routines that walk the table.
std::int32_t& nd(int k);

// A required size plus its data-file margin, saturated at the largest 32-bit value
// instead of wrapping round.
std::int32_t with_margin(std::int32_t value, std::int32_t margin);

// The SPARSITY default that a "NODES" count n implies: n(n-1)/2 + 1, in 64 bits so
// the reader can refuse a value that does not fit the 32-bit table.
std::int64_t sparsity_default(std::int64_t n);

// The working size of a required size (that of nd1 ... nd73 but the channel and
// special ones): at least 1, so that an array of it can be indexed.
inline std::int32_t working_size(std::int32_t required) { return std::max(required, 1); }

// Derives the working sizes nd1 ... nd73 from e_ndim (nd50, nd65..nd68 are left to
// allocate_pf); nd74/nd75 default to nd19/nd1 until the MNA set-up sets them.
void put_nd();

// Sets status to 0, calls put_nd and allocates the fourteen groups in order.
void allocate_nd(std::int32_t& status);

// Releases the fifteen groups in order; safe at any time, also twice.
void deallocate_nd();

// Warning routine without a caller in the engine.
void chk_nexc();

// The report of an allocation group that ran out of memory (no caller in the
// engine): three console lines, the group named between slashes, then a row of
// 45 asterisks. It then stops the process (status 3) instead of returning, and
// releases nothing: a caller that went on would use the arrays it still holds.
[[noreturn]] void out_of_memory(std::string_view name);

}  // namespace ndde
