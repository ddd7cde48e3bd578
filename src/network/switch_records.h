// The records that device models keep for the switching branches which the
// switching routines operate, as named views over the storage arrays. The device
// models (power-electronic switches, surge arresters, segmented branches) fill
// them; the crossing tests and switchbr read them and write back the fields named
// below. A view holds only the index of its record and allocates nothing.
//
//   power-electronic switch record   THISBR(br, ss) = t > 0
//     STORI(t)      10 + switch type (0 diode, 1 thyristor, 2 GTO, 3 IGBT,
//                   4 MOSFET, 5 transistor, other values a generic switch)
//     STORI(t+2)    p, start of its real block: STORF(p+1) level after a turn-on
//                   (holding current), STORF(p+2) level after a turn-off
//                   (forward voltage)
//     STORI(t+7)    q, start of its block in e_s2::stor: STOR(q+10) instant of the
//                   last turn-on, STOR(q+11) instant of the last turn-off
//
//   surge arrester table             switch_mode::arrester, in e_s2::stor
//     P = GEQOF(br, ss) and N = EBROF(br, ss), both reals taken to the nearest
//     whole number; STOR(P+1..P+N) segment conductances, STOR(P+N+1..P+2N)
//     segment EMF magnitudes, STOR(P+2N+1..P+3N+1) the N+1 voltage breakpoints
//     (ascending, the first 0); SWLEVL(br, ss) the present signed segment.
//
//   kind-15 record                   THISBR(br, ss) = -r, in the configuration store
//     RTCI(r) base a of its real table, RTCI(r+1) number of segments s,
//     RTCI(r+2) present signed segment, RTCI(r+3) step to take (+1, -1, 0),
//     RTCI(r+4) companion branch (0: none);
//     RTCF(a+k), k = 0..s, the current breakpoints (segment k spans
//     RTCF(a+k) <= |i| < RTCF(a+k+1)); RTCF(a+s+1+k) inductance of segment k;
//     RTCF(a+3s+1) instant of the last segment change, in steps.
#pragma once

#include <cmath>
#include <cstdint>

#include "model/branch_codes.h"
#include "model/branches.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace wakro {

struct PeSwitchRecord {
  std::int32_t t;  // its index in storage::stori

  std::int32_t code() const { return storage::stori(t); }
  std::int32_t type() const { return code() - branch_code::pe_switch_first; }
  std::int32_t storf_base() const { return storage::stori(t + 2); }
  std::int32_t stor_base() const { return storage::stori(t + 7); }
  double level_after_turnon() const { return storage::storf(storf_base() + 1); }
  double level_after_turnoff() const { return storage::storf(storf_base() + 2); }
  double& last_turnon() const { return e_s2::stor(stor_base() + 10); }
  double& last_turnoff() const { return e_s2::stor(stor_base() + 11); }
};

// True when a record whose entries run from first to first + span lies within an
// array of the given extent. The sums are taken wide, so that a record holding
// nonsense (a huge count or index) is refused instead of overflowing them.
inline bool record_fits(std::int64_t first, std::int64_t span, std::int64_t extent) {
  return first >= 1 && span >= 0 && first + span <= extent;
}

// True when the component code c is that of a power-electronic switch.
inline bool is_pe_switch_code(std::int32_t c) {
  return c >= branch_code::pe_switch_first && c <= branch_code::pe_switch_last;
}

struct ArresterTable {
  std::int32_t br;
  std::int32_t ss;

  std::int32_t index() const {
    return static_cast<std::int32_t>(std::lround(branches::geqof(br, ss)));
  }
  std::int32_t segments() const {
    return static_cast<std::int32_t>(std::lround(branches::ebrof(br, ss)));
  }
  // Segment k = 0 .. N-1.
  double conductance(std::int32_t k) const { return e_s2::stor(index() + k + 1); }
  double emf(std::int32_t k) const { return e_s2::stor(index() + segments() + k + 1); }
  // Breakpoint j = 1 .. N+1 (absolute voltage).
  double breakpoint(std::int32_t j) const { return e_s2::stor(index() + 2 * segments() + j); }
};

// The run-time record of a segmented switch (switching mode 15) in rt_config::rtci:
// its segment table's base and count, the segment it is on and its step word.
struct SegmentedRecord {
  std::int32_t r;  // its index in rt_config::rtci

  std::int32_t base() const { return rt_config::rtci(r); }
  std::int32_t segments() const { return rt_config::rtci(r + 1); }
  std::int32_t& segment() const { return rt_config::rtci(r + 2); }
  std::int32_t& step() const { return rt_config::rtci(r + 3); }
  std::int32_t companion() const { return rt_config::rtci(r + 4); }
  // Breakpoint k = 0 .. s.
  double breakpoint(std::int32_t k) const { return rt_config::rtcf(base() + k); }
  // Segment k = 0 .. s-1.
  double inductance(std::int32_t k) const { return rt_config::rtcf(base() + segments() + 1 + k); }
  double& last_change() const { return rt_config::rtcf(base() + 3 * segments() + 1); }
};

}  // namespace wakro
