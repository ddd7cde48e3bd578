// HashTable and Array: the two small containers of the process edge.
//
// HashTable maps positive 64-bit keys to pointers by open addressing and keeps
// its entries in insertion order, walkable by position (0 to Count() - 1, skipping
// nulls). Array is a pointer array indexed by a 64-bit position that grows on
// every access (reads included) and remembers the highest position touched.
// Neither owns the objects its pointers point to. Misuse is answered by results
// (null, false, -1); the only texts thrown are "Hashing error" from a failed
// rebuild and "Array position out of range" for a negative or absurd position.
#pragma once

#include <cstdint>
#include <memory>

class HashTable {
 public:
  struct Slot {
    std::int64_t key = 0;       // 0 empty, -1 removed, else the key
    std::int32_t position = 0;  // entry position; -1 in a removed slot
  };

  explicit HashTable(double loadFactor);
  virtual ~HashTable();
  HashTable(const HashTable&) = delete;
  HashTable& operator=(const HashTable&) = delete;

  void* fetch(std::int64_t key) const;
  bool append(void* value, std::int64_t key);
  bool remove(std::int64_t key);
  void* get(int position) const;
  std::int64_t getKey(int position) const;

  // The slot for the key: the first empty slot or the key's own slot met by the
  // probe (with stopAtRemoved, also the first removed slot). -1 for a key that
  // is not positive or when the bounded probe finds no such slot. Without a
  // slot array the table's own slots are probed.
  int hash(std::int64_t key, bool stopAtRemoved, const Slot* slots = nullptr, int slotCount = 0) const;
  void rebuild(int newCapacity);
  void ensureCapacity(int n);

  int Capacity() const { return capacity_; }
  int Count() const { return count_; }
  int SlotCount() const { return slotCount_; }
  int Removals() const { return removals_; }
  const Slot& SlotAt(int s) const { return slots_[s]; }

 private:
  std::unique_ptr<std::int64_t[]> keys_;
  std::unique_ptr<void*[]> values_;
  int capacity_ = 16;
  int count_ = 0;
  std::unique_ptr<Slot[]> slots_;
  int slotCount_ = 32;
  double loadFactor_;
  int removals_ = 0;
};

class Array {
 public:
  // Positions above this are refused.
  static constexpr std::int64_t kMaxPosition = (std::int64_t{1} << 31) - 1;

  Array() = default;
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  // Element i, growing the array as needed; i becomes used.
  void*& operator[](std::int64_t i);

  std::int64_t Capacity() const { return capacity_; }
  // Highest position ever accessed; -1 while none.
  std::int64_t Last() const { return last_; }

 private:
  std::unique_ptr<void*[]> data_;
  std::int64_t capacity_ = -1;
  std::int64_t last_ = -1;
};
