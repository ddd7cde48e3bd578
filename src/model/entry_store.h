// A square matrix kept either dense or as its stored entries only, behind one
// per-entry access.
//
// SparseEntries holds the entries of a matrix of order n that were ever written
// (or asked for by reference): for each row, its stored columns in ascending order,
// and the values in a store whose references stay valid while entries are added.
// Its memory grows with the entries, not with n * n. EntryView is the view a
// routine takes of such a matrix: operator()(i, j) returns a reference into the
// dense array or the sparse store (which makes the entry, 0 or false, when it is
// not stored), so that stamping code reads the same on both. Code that scans
// whole rows or columns walks only the stored entries of the sparse store
// (for_row, or the dense loop over 1..n on the dense form).
//
// Indices run from 1. The sparse store checks them in every build (a wrong index
// stops with the array's name); the dense form checks them as FView does.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "model/farray.h"

namespace wakro {

template <class T>
class SparseEntries {
 public:
  explicit SparseEntries(const char* name) : name_(name) {}

  // Order n, nothing stored.
  void reset(std::int32_t n) {
    n_ = std::max(n, 0);
    rows_.assign(static_cast<std::size_t>(n_), {});
    values_.clear();
  }
  // Order 0, its memory given back.
  void release() {
    n_ = 0;
    rows_ = {};
    values_ = {};
  }
  std::int32_t order() const { return n_; }
  std::size_t entries() const { return values_.size(); }
  const char* name() const { return name_; }

  // The entry (i, j), made (T{}) when it is not stored.
  T& at(std::int32_t i, std::int32_t j) {
    check(i, j);
    std::vector<Slot>& row = rows_[static_cast<std::size_t>(i - 1)];
    const auto it = std::lower_bound(row.begin(), row.end(), j,
                                     [](const Slot& s, std::int32_t c) { return s.col < c; });
    if (it != row.end() && it->col == j) return values_[it->slot];
    values_.push_back(T{});
    row.insert(it, Slot{j, values_.size() - 1});
    return values_.back();
  }
  // The stored entry (i, j), or nullptr.
  const T* find(std::int32_t i, std::int32_t j) const {
    check(i, j);
    const std::vector<Slot>& row = rows_[static_cast<std::size_t>(i - 1)];
    const auto it = std::lower_bound(row.begin(), row.end(), j,
                                     [](const Slot& s, std::int32_t c) { return s.col < c; });
    return it != row.end() && it->col == j ? &values_[it->slot] : nullptr;
  }
  // f(j, value&) for each stored entry of row i, by ascending column.
  template <class F>
  void for_row(std::int32_t i, F&& f) {
    check(i, i);
    for (const Slot& s : rows_[static_cast<std::size_t>(i - 1)]) f(s.col, values_[s.slot]);
  }

 private:
  struct Slot {
    std::int32_t col;
    std::size_t slot;
  };
  void check(std::int32_t i, std::int32_t j) const {
    if (i < 1 || j < 1 || i > n_ || j > n_) {
      const std::int64_t idx[2] = {i, j};
      const std::int32_t ext[2] = {n_, n_};
      detail::index_stop(name_, 2, idx, ext);
    }
  }

  const char* name_;
  std::int32_t n_ = 0;
  std::vector<std::vector<Slot>> rows_;
  std::deque<T> values_;
};

template <class T>
class EntryView {
 public:
  using Dense = FView<T, 2>;

  EntryView() = default;
  EntryView(const Dense& dense) : dense_(dense) {}  // NOLINT: a dense view is one form
  explicit EntryView(SparseEntries<T>* sparse) : sparse_(sparse) {}

  T& operator()(std::int32_t i, std::int32_t j) const {
    return sparse_ != nullptr ? sparse_->at(i, j) : dense_(i, j);
  }
  // The value of (i, j), without making the entry on the sparse store.
  T get(std::int32_t i, std::int32_t j) const {
    if (sparse_ == nullptr) return dense_(i, j);
    const T* v = sparse_->find(i, j);
    return v != nullptr ? *v : T{};
  }
  bool valid() const { return sparse_ != nullptr || dense_.valid(); }
  std::int32_t extent(int d) const { return sparse_ != nullptr ? sparse_->order() : dense_.extent(d); }
  bool is_sparse() const { return sparse_ != nullptr; }
  SparseEntries<T>* sparse() const { return sparse_; }
  // The dense form: its data (nullptr on the sparse store) and its view (empty on
  // the sparse store). Code handed a dense view of a matrix held sparse gets an
  // invalid view, never a wrong one.
  T* data() const { return dense_.data(); }
  const Dense& dense() const { return dense_; }
  operator Dense() const { return dense_; }  // NOLINT: existing dense users

  // f(j, value&) for each entry (i, j), j = 1 .. n, that may be non-zero: every
  // column on the dense form, the stored ones on the sparse store; by ascending j.
  template <class F>
  void for_row(std::int32_t i, std::int32_t n, F&& f) const {
    if (sparse_ == nullptr) {
      for (std::int32_t j = 1; j <= n; ++j) f(j, dense_(i, j));
      return;
    }
    sparse_->for_row(i, [&](std::int32_t j, T& v) {
      if (j <= n) f(j, v);
    });
  }

 private:
  Dense dense_;
  SparseEntries<T>* sparse_ = nullptr;
};

}  // namespace wakro
