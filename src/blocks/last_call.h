// LastCall: the result of the last call of a pure function of one real, kept
// with its argument.
//
// Several blocks of a case often ask for the same costly function of the same
// real within a step (the cosines of one reference angle for every phase meter
// of one frequency, exp(-delt / T) for every lag of one time constant). A
// LastCall keeps the last argument, bit for bit, and what the function gave for
// it: a call with the very same argument takes the kept result, any other
// argument is computed and kept in its place. The bits decide, so +0 and -0 are
// different arguments (their sines differ). Nothing is allocated.
#pragma once

#include <bit>
#include <cstdint>

namespace wakro::blocks {

template <class Result>
class LastCall {
 public:
  // f(x), computed only when x differs from the last argument. The computation
  // stands apart, so that a call that reuses the result calls nothing.
  template <class F>
  const Result& of(double x, F f) {
    if (!held_ || std::bit_cast<std::uint64_t>(x) != bits_) [[unlikely]]
      compute(x, f);
    return result_;
  }
  // Whether x is the last argument, and the result kept for it.
  bool holds(double x) const { return held_ && std::bit_cast<std::uint64_t>(x) == bits_; }
  const Result& kept() const { return result_; }

 private:
  template <class F>
  [[gnu::noinline]] void compute(double x, F f) {
    result_ = f(x);
    bits_ = std::bit_cast<std::uint64_t>(x);
    held_ = true;
  }

  std::uint64_t bits_ = 0;
  bool held_ = false;
  Result result_{};
};

}  // namespace wakro::blocks
