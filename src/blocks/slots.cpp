// The take helpers of slots.h and the dimension report of an overrun.
//
// Each helper works in 64 bits, so no pointer value and no count can wrap round
// before the comparison with the array's extent.
#include "blocks/slots.h"

#include <string>

#include "diag/listout.h"
#include "diag/quit.h"
#include "model/e_s2.h"
#include "model/rt_config.h"
#include "model/storage.h"

namespace wakro::blocks {

namespace {

constexpr const char* kDimensionTag = "CHKSTOR     ";

// The report of a block whose slots would pass the end of an array; the run ends.
[[noreturn]] void dimension_exceeded(const char* upperName, std::int64_t lastSlot) {
  ListLine() << std::string("WAKRO: ") + upperName + " array dimension exceeded";
  ListLine() << "Required Dimension:" << lastSlot;
  ListLine() << "The storage is set by Quolb by adding up";
  ListLine() << "the storage requirements as specified by";
  ListLine() << "the #STORAGE: syntax in each component.";
  wakro_quit(kDimensionTag, 0);
}

// Slots first .. first+n-1 of the array, after the check; the pointer is then
// moved on by n (pointer is the index of the first slot to take, or for stor the
// last slot used -- the caller passes the first slot and writes the pointer back).
template <class T, bool C>
Slots<T> take(FArray<T, 1, C>& array, const char* upperName, std::int32_t first, std::int32_t n) {
  if (n == 0) return Slots<T>(nullptr, 0, first);
  const std::int64_t last = std::int64_t{first} + n - 1;
  if (n < 0 || first < 1 || last > array.extent(1) || !array.allocated())
    dimension_exceeded(upperName, n < 0 ? first : last);
  return Slots<T>(array.data() + (first - 1), n, first);
}

// The same for an array whose pointer names the next slot to take: the
// pointer moves on by n after the check.
template <class T, bool C>
Slots<T> take_from(FArray<T, 1, C>& array, const char* upperName, std::int32_t& pointer,
                   std::int32_t n) {
  Slots<T> s = take(array, upperName, pointer, n);
  pointer += n;
  return s;
}

}  // namespace

Slots<double> take_stor(std::int32_t n) {
  Slots<double> s = take(e_s2::stor, "STOR", e_s2::nexc + 1, n);
  e_s2::nexc += n;
  return s;
}

Slots<double> take_storf(std::int32_t n) { return take_from(storage::storf, "STORF", storage::nstorf, n); }
Slots<std::int32_t> take_stori(std::int32_t n) { return take_from(storage::stori, "STORI", storage::nstori, n); }
Slots<bool> take_storl(std::int32_t n) { return take_from(storage::storl, "STORL", storage::nstorl, n); }
Slots<cplx> take_storc(std::int32_t n) { return take_from(storage::storc, "STORC", storage::nstorc, n); }
Slots<double> take_rtcf(std::int32_t n) { return take_from(rt_config::rtcf, "RTCF", rt_config::nrtcf, n); }
Slots<std::int32_t> take_rtci(std::int32_t n) { return take_from(rt_config::rtci, "RTCI", rt_config::nrtci, n); }
Slots<bool> take_rtcl(std::int32_t n) { return take_from(rt_config::rtcl, "RTCL", rt_config::nrtcl, n); }
Slots<cplx> take_rtcc(std::int32_t n) { return take_from(rt_config::rtcc, "RTCC", rt_config::nrtcc, n); }

namespace detail {

void slot_index_stop(std::int32_t k, std::int32_t count) {
  runtime_stop("Block slot " + std::to_string(k) + " outside its " + std::to_string(count) +
               " slots");
}

}  // namespace detail

}  // namespace wakro::blocks
