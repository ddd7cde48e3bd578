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
  // f(x), computed only when x differs from the last argument.
  template <class F>
  const Result& of(double x, F f) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    if (!held_ || bits != bits_) [[unlikely]] {
      result_ = f(x);
      bits_ = bits;
      held_ = true;
    }
    return result_;
  }

 private:
  std::uint64_t bits_ = 0;
  bool held_ = false;
  Result result_{};
};

}  // namespace wakro::blocks
