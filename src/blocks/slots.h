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

#include "model/farray.h"

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

// Old-style storage: STOR(NEXC+1) .. STOR(NEXC+n); NEXC = NEXC + n.
Slots<double> take_stor(std::int32_t n);
// Typed stores: slots from the pointer on; the pointer advances by n.
Slots<double> take_storf(std::int32_t n);
Slots<std::int32_t> take_stori(std::int32_t n);
Slots<bool> take_storl(std::int32_t n);
Slots<cplx> take_storc(std::int32_t n);
// Configuration store: written by the _cfg routines, read back by the _exe
// routines at the same pointer values.
Slots<double> take_rtcf(std::int32_t n);
Slots<std::int32_t> take_rtci(std::int32_t n);
Slots<bool> take_rtcl(std::int32_t n);
Slots<cplx> take_rtcc(std::int32_t n);
// A record of one configuration entry: takes it and gives the entry itself.
inline double& next_rtcf() { return take_rtcf(1)(1); }
inline std::int32_t& next_rtci() { return take_rtci(1)(1); }

namespace detail {
[[noreturn]] void slot_index_stop(std::int32_t k, std::int32_t count);
}  // namespace detail

template <class T>
void Slots<T>::check(std::int32_t k) const {
  if (k < 1 || k > count_) detail::slot_index_stop(k, count_);
}

}  // namespace wakro::blocks
