// Slots: the one checked way in which a block takes its storage.
//
// A block that owns n slots of an array takes them with take_<array>(n) at the
// point of its call. The helper
//   - checks that the slots lie inside the allocated array; when they do not, it
//     writes the array's dimension report
//       " WAKRO: STORF array dimension exceeded"
//       " Required Dimension:        <last slot>"
//       " The storage is set by Quolb by adding up"
//       " the storage requirements as specified by"
//       " the #STORAGE: syntax in each component."
//     and stops the run with the tag "CHKSTOR     " before anything is written
//     and before the pointer moves;
//   - advances the pointer by n (nexc for stor; nstorf, nstori, nstorl, nstorc for
//     the typed stores; nrtcf, nrtci, nrtcl, nrtcc for the configuration store);
//   - returns a Slots view whose slot 1 is the first slot taken.
// The check is one comparison; nothing is allocated. A block that needs no slot
// on some path still takes its full count, so the pointers advance by the same
// amount on every step.
//
// The arrays never grow, so a view stays valid across the calls of other blocks.
#pragma once

#include <cstdint>

#include "model/e_s2.h"
#include "model/farray.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace wakro::blocks {

// n consecutive slots of one array, addressed 1 .. n.
template <class T>
class Slots {
 public:
  Slots(T* first, std::int32_t count, std::int32_t base) : first_(first), count_(count), base_(base) {}

  T& operator()(std::int32_t k) const {
    if constexpr (kBoundsCheckBuild) check(k);
    return first_[k - 1];
  }
  // Index of slot k in the whole array (for the blocks that keep positions).
  std::int32_t index(std::int32_t k) const { return base_ + k - 1; }
  std::int32_t count() const { return count_; }

 private:
  void check(std::int32_t k) const;

  T* first_;
  std::int32_t count_;
  std::int32_t base_;
};

namespace detail {
[[noreturn]] void slot_index_stop(std::int32_t k, std::int32_t count);
// The report of a block whose slots would pass the end of an array; the run ends.
[[noreturn]] void dimension_exceeded(const char* upperName, std::int64_t lastSlot);

// Slots first .. first+n-1 of the array, after the check (in 64 bits, so that no
// pointer value and no count can wrap round before the comparison). Inline: the
// blocks take their slots on every call. An array that is not allocated has the
// extent 0, so the extent test refuses it too (every slot taken is at least 1).
template <class T, bool C>
inline Slots<T> take(FArray<T, 1, C>& array, const char* upperName, std::int32_t first,
                     std::int32_t n) {
  if (n == 0) return Slots<T>(nullptr, 0, first);
  const std::int64_t last = std::int64_t{first} + n - 1;
  if (n < 0 || first < 1 || last > array.extent(1)) [[unlikely]]
    dimension_exceeded(upperName, n < 0 ? first : last);
  return Slots<T>(array.data() + (first - 1), n, first);
}

// The same for an array whose pointer names the next slot to take: the pointer
// moves on by n after the check.
template <class T, bool C>
inline Slots<T> take_from(FArray<T, 1, C>& array, const char* upperName, std::int32_t& pointer,
                          std::int32_t n) {
  Slots<T> s = take(array, upperName, pointer, n);
  pointer += n;
  return s;
}
}  // namespace detail

// Old-style storage: STOR(NEXC+1) .. STOR(NEXC+n); NEXC = NEXC + n.
inline Slots<double> take_stor(std::int32_t n) {
  Slots<double> s = detail::take(e_s2::stor, "STOR", e_s2::nexc + 1, n);
  e_s2::nexc += n;
  return s;
}
// Typed stores: slots from the pointer on; the pointer advances by n.
inline Slots<double> take_storf(std::int32_t n) {
  return detail::take_from(storage::storf, "STORF", storage::nstorf, n);
}
inline Slots<std::int32_t> take_stori(std::int32_t n) {
  return detail::take_from(storage::stori, "STORI", storage::nstori, n);
}
inline Slots<bool> take_storl(std::int32_t n) {
  return detail::take_from(storage::storl, "STORL", storage::nstorl, n);
}
inline Slots<cplx> take_storc(std::int32_t n) {
  return detail::take_from(storage::storc, "STORC", storage::nstorc, n);
}
// Configuration store: written by the _cfg routines, read back by the _exe
// routines at the same pointer values.
inline Slots<double> take_rtcf(std::int32_t n) {
  return detail::take_from(rt_config::rtcf, "RTCF", rt_config::nrtcf, n);
}
inline Slots<std::int32_t> take_rtci(std::int32_t n) {
  return detail::take_from(rt_config::rtci, "RTCI", rt_config::nrtci, n);
}
inline Slots<bool> take_rtcl(std::int32_t n) {
  return detail::take_from(rt_config::rtcl, "RTCL", rt_config::nrtcl, n);
}
inline Slots<cplx> take_rtcc(std::int32_t n) {
  return detail::take_from(rt_config::rtcc, "RTCC", rt_config::nrtcc, n);
}
// A record of one configuration entry: takes it and gives the entry itself.
inline double& next_rtcf() { return take_rtcf(1)(1); }
inline std::int32_t& next_rtci() { return take_rtci(1)(1); }

template <class T>
void Slots<T>::check(std::int32_t k) const {
  if (k < 1 || k > count_) detail::slot_index_stop(k, count_);
}

}  // namespace wakro::blocks
