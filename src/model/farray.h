// Case-sized arrays: 1-based, column-major (first index fastest), allocated and
// released by name.
//
// Every case-sized array of the shared state is an FArray living in its module's
// namespace. allocate() follows the common allocation rule of the engine:
//   - the element count must fit a 32-bit index, else the runtime stop
//     "Integer overflow when calculating the amount of memory to allocate";
//   - an array that is allocated already stops with
//     "Attempting to allocate already allocated variable '<name>'";
//   - memory that cannot be had stops with "Allocation would exceed memory limit";
//     so does an array that would take the bytes held by all case-sized arrays
//     together past the memory budget (half the machine's physical memory, or
//     less under a process memory limit), checked before anything is obtained:
//     the system hands out untouched pages freely and would only fail, or end
//     the process, once the initial values are written into them.
// release() frees the array when it is allocated and does nothing otherwise.
// New contents are zero bits (0, 0.0, false) for arithmetic types and the default
// value for other types: the engine's initial values are set by wakro_initialz.
//
// Index checks are compiled in for debug and sanitizer builds (WAKRO_BOUNDS_CHECK)
// and for every array declared with AlwaysChecked = true (the storage arrays, which
// model code addresses through running pointers); a bad index stops with a message
// naming the array instead of touching memory outside it.
#pragma once

#include <array>
#include <atomic>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <type_traits>

#include "model/fatal.h"

namespace wakro {

#ifdef WAKRO_BOUNDS_CHECK
inline constexpr bool kBoundsCheckBuild = true;
#else
inline constexpr bool kBoundsCheckBuild = false;
#endif

using cplx = std::complex<double>;

// The memory budget of the case-sized arrays, in bytes, and what they hold now.
std::uint64_t array_memory_budget();
std::uint64_t array_bytes_held();
// Replaces the budget (tests); 0 returns to the machine's.
void set_array_memory_budget(std::uint64_t bytes);
// The machine's budget: half the physical memory, capped by the process's
// address-space and data-size limits.
std::uint64_t machine_memory_budget();

namespace detail {

// Counts the allocations and releases of case-sized arrays (see array_layout_epoch).
inline std::atomic<std::uint64_t> g_array_layout{0};

// Takes bytes from the budget; false (nothing taken) when they do not fit.
bool take_array_bytes(std::uint64_t bytes);
void give_back_array_bytes(std::uint64_t bytes);

[[noreturn]] void index_stop(const char* name, int rank, const std::int64_t* idx,
                             const std::int32_t* ext);

// Element count of the extents, or -1 when it does not fit a 32-bit index.
template <std::size_t R>
std::int64_t checked_count(const std::array<std::int32_t, R>& ext) {
  std::int64_t n = 1;
  for (std::int32_t e : ext) {
    n *= e;
    if (n > std::numeric_limits<std::int32_t>::max()) return -1;
  }
  return n;
}

template <class T>
inline constexpr bool kZeroBitsInit =
    std::is_arithmetic_v<T> || std::is_same_v<T, std::complex<double>>;

}  // namespace detail

// Changes whenever a case-sized array is allocated or released: code that keeps
// pointers into the arrays from one call to the next takes them again when it
// has changed.
inline std::uint64_t array_layout_epoch() {
  return detail::g_array_layout.load(std::memory_order_relaxed);
}

// A view of Rank dimensions on memory owned by an FArray (for example one plane of
// a matrix set): indexed exactly like the array it looks at.
template <class T, int Rank, bool AlwaysChecked = false>
class FView {
 public:
  static constexpr bool kChecked = AlwaysChecked || kBoundsCheckBuild;

  FView() = default;
  FView(T* data, const std::array<std::int32_t, Rank>& ext, const char* name)
      : data_(data), ext_(ext), name_(name) {}

  template <class... I>
  T& operator()(I... i) const {
    static_assert(sizeof...(I) == Rank, "wrong number of indices");
    return data_[offset({static_cast<std::int64_t>(i)...})];
  }
  T* data() const { return data_; }
  std::int32_t extent(int d) const { return ext_[d - 1]; }
  std::int64_t size() const {
    std::int64_t n = 1;
    for (auto e : ext_) n *= e;
    return data_ ? n : 0;
  }
  const char* name() const { return name_; }
  bool valid() const { return data_ != nullptr; }

 private:
  std::ptrdiff_t offset(const std::array<std::int64_t, Rank>& idx) const {
    if constexpr (kChecked) {
      bool bad = data_ == nullptr;
      for (int d = 0; d < Rank; ++d) bad = bad || idx[d] < 1 || idx[d] > ext_[d];
      if (bad) detail::index_stop(name_, Rank, idx.data(), ext_.data());
    }
    std::ptrdiff_t off = 0;
    for (int d = Rank - 1; d >= 0; --d) off = off * ext_[d] + (idx[d] - 1);
    return off;
  }

  T* data_ = nullptr;
  std::array<std::int32_t, Rank> ext_{};
  const char* name_ = "";
};

template <class T, int Rank, bool AlwaysChecked = false>
class FArray {
 public:
  static_assert(Rank >= 1 && Rank <= 7);
  static constexpr bool kChecked = AlwaysChecked || kBoundsCheckBuild;
  using View = FView<T, Rank, AlwaysChecked>;

  explicit FArray(const char* name) : name_(name) {}
  FArray(const FArray&) = delete;
  FArray& operator=(const FArray&) = delete;
  ~FArray() { release(); }

  // Allocates with bounds 1 .. e for each extent e (an extent below 1 gives an
  // empty dimension; at least one element is obtained so the array exists).
  template <class... E>
  void allocate(E... extents) {
    static_assert(sizeof...(E) == Rank, "wrong number of extents");
    std::array<std::int64_t, Rank> wide{static_cast<std::int64_t>(extents)...};
    std::array<std::int32_t, Rank> ext{};
    for (int d = 0; d < Rank; ++d) {
      if (wide[d] > std::numeric_limits<std::int32_t>::max())
        runtime_stop("Integer overflow when calculating the amount of memory to allocate");
      ext[d] = wide[d] < 0 ? 0 : static_cast<std::int32_t>(wide[d]);
    }
    const std::int64_t count = detail::checked_count(ext);
    if (count < 0)
      runtime_stop("Integer overflow when calculating the amount of memory to allocate");
    if (data_ != nullptr)
      runtime_stop(std::string("Attempting to allocate already allocated variable '") +
                   name_ + "'");
    const std::size_t n = count > 0 ? static_cast<std::size_t>(count) : 1;
    const std::uint64_t bytes = std::uint64_t{n} * sizeof(T);
    if (!detail::take_array_bytes(bytes)) runtime_stop("Allocation would exceed memory limit");
    T* p = obtain(n);
    if (p == nullptr) {
      detail::give_back_array_bytes(bytes);
      runtime_stop("Allocation would exceed memory limit");
    }
    data_ = p;
    ext_ = ext;
    count_ = count;
    bytes_ = bytes;
  }

  void release() {
    if (data_ == nullptr) return;
    if constexpr (detail::kZeroBitsInit<T>) {
      std::free(data_);
    } else {
      delete[] data_;
    }
    detail::give_back_array_bytes(bytes_);
    data_ = nullptr;
    ext_ = {};
    count_ = 0;
    bytes_ = 0;
  }

  bool allocated() const { return data_ != nullptr; }
  const char* name() const { return name_; }
  std::int32_t extent(int d) const { return ext_[d - 1]; }
  std::int64_t size() const { return count_; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + count_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + count_; }

  // Sets every element within the allocated bounds.
  void fill(const T& v) {
    for (std::int64_t i = 0; i < count_; ++i) data_[i] = v;
  }

  template <class... I>
  T& operator()(I... i) {
    static_assert(sizeof...(I) == Rank, "wrong number of indices");
    return data_[offset({static_cast<std::int64_t>(i)...})];
  }
  template <class... I>
  const T& operator()(I... i) const {
    static_assert(sizeof...(I) == Rank, "wrong number of indices");
    return data_[offset({static_cast<std::int64_t>(i)...})];
  }

  View view() { return View(data_, ext_, name_); }

  // The slice with the last index fixed at k (a matrix of a matrix set, a column).
  FView<T, Rank - 1, AlwaysChecked> plane(std::int64_t k) {
    static_assert(Rank >= 2);
    if (kChecked && (data_ == nullptr || k < 1 || k > ext_[Rank - 1])) {
      std::array<std::int64_t, Rank> idx{};
      idx.fill(1);
      idx[Rank - 1] = k;
      detail::index_stop(name_, Rank, idx.data(), ext_.data());
    }
    std::array<std::int32_t, Rank - 1> sub{};
    std::ptrdiff_t stride = 1;
    for (int d = 0; d < Rank - 1; ++d) {
      sub[d] = ext_[d];
      stride *= ext_[d];
    }
    return FView<T, Rank - 1, AlwaysChecked>(data_ + stride * (k - 1), sub, name_);
  }

 private:
  static T* obtain(std::size_t n) {
    if constexpr (detail::kZeroBitsInit<T>) {
      return static_cast<T*>(std::calloc(n, sizeof(T)));
    } else {
      return new (std::nothrow) T[n]();
    }
  }

  std::ptrdiff_t offset(const std::array<std::int64_t, Rank>& idx) const {
    if constexpr (kChecked) {
      bool bad = data_ == nullptr;
      for (int d = 0; d < Rank; ++d) bad = bad || idx[d] < 1 || idx[d] > ext_[d];
      if (bad) detail::index_stop(name_, Rank, idx.data(), ext_.data());
    }
    std::ptrdiff_t off = 0;
    for (int d = Rank - 1; d >= 0; --d) off = off * ext_[d] + (idx[d] - 1);
    return off;
  }

  T* data_ = nullptr;
  std::array<std::int32_t, Rank> ext_{};
  std::int64_t count_ = 0;
  std::uint64_t bytes_ = 0;  // taken from the memory budget
  const char* name_;
};

// Arrays of a fixed, model-given size that exist without any allocation
// (for example the 8-entry work table of the UMEC reader); 1-based, column-major.
template <class T, int N1, int N2 = 1>
struct FFixed {
  T v[N1 * N2]{};
  T& operator()(int i) {
    check(i, 1);
    return v[i - 1];
  }
  T& operator()(int i, int j) {
    check(i, j);
    return v[(j - 1) * N1 + (i - 1)];
  }
  static constexpr int extent(int d) { return d == 1 ? N1 : N2; }

 private:
  static void check(int i, int j) {
    if constexpr (kBoundsCheckBuild) {
      if (i < 1 || i > N1 || j < 1 || j > N2) {
        const std::int64_t idx[2] = {i, j};
        const std::int32_t ext[2] = {N1, N2};
        detail::index_stop("fixed table", 2, idx, ext);
      }
    }
  }
};

}  // namespace wakro
