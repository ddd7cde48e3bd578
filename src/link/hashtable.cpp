// HashTable: open addressing with a mixing probe, insertion-ordered entries,
// rebuild on growth and after many removals. Array: growth in steps of 1024.
#include "link/hashtable.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Mixes key + i into a slot index (the probe's i-th step).
std::uint64_t mix(std::int64_t key, std::uint64_t i) {
  std::uint64_t x = static_cast<std::uint64_t>(key) + i;
  x = (x ^ (x >> 16)) * 0x45D9F3BULL;
  x = (x ^ (x >> 16)) * 0x45D9F3BULL;
  return x ^ (x >> 16);
}

}  // namespace

HashTable::HashTable(double loadFactor)
    : keys_(new std::int64_t[16]()),
      values_(new void*[16]()),
      slots_(new Slot[32]()),
      loadFactor_(loadFactor > 0.0 && loadFactor <= 1.0 ? loadFactor : 0.75) {}

HashTable::~HashTable() = default;

int HashTable::hash(std::int64_t key, bool stopAtRemoved, const Slot* slots, int slotCount) const {
  if (key <= 0) return -1;
  if (slots == nullptr) {
    slots = slots_.get();
    slotCount = slotCount_;
  }
  if (slotCount <= 0) return -1;
  // The mixing sequence is not sure to visit every slot: give up after a bound
  // that a table with a third of its slots empty never comes near.
  const std::uint64_t bound = 4 * static_cast<std::uint64_t>(slotCount) + 16;
  for (std::uint64_t i = 1; i <= bound; ++i) {
    const int s = static_cast<int>(mix(key, i) % static_cast<std::uint64_t>(slotCount));
    const std::int64_t k = slots[s].key;
    if (k == 0 || k == key) return s;
    if (stopAtRemoved && k == -1) return s;
  }
  return -1;
}

void* HashTable::fetch(std::int64_t key) const {
  const int s = hash(key, false);
  if (s < 0 || slots_[s].key != key) return nullptr;
  return values_[slots_[s].position];
}

bool HashTable::append(void* value, std::int64_t key) {
  if (value == nullptr || key <= 0) return false;
  // Presence first, over removed slots, so that a key is never stored twice.
  if (fetch(key) != nullptr) return false;
  ensureCapacity(count_ + 1);
  const int s = hash(key, true);
  if (s < 0 || slots_[s].key == key) return false;
  keys_[count_] = key;
  values_[count_] = value;
  slots_[s] = Slot{key, count_};
  ++count_;
  return true;
}

bool HashTable::remove(std::int64_t key) {
  const int s = hash(key, false);
  if (s < 0 || slots_[s].key != key) return false;
  const int p = slots_[s].position;
  values_[p] = nullptr;
  keys_[p] = 0;
  slots_[s] = Slot{-1, -1};
  ++removals_;
  const int threshold = std::max(count_ / 4, 10);
  if (removals_ > threshold) rebuild(-1);
  return true;
}

void* HashTable::get(int position) const {
  if (position < 0 || position >= count_) return nullptr;
  return values_[position];
}

std::int64_t HashTable::getKey(int position) const {
  if (position < 0 || position >= count_) return -1;
  return keys_[position];
}

void HashTable::ensureCapacity(int n) {
  if (capacity_ > n) return;
  // A table rebuilt to no entries at all starts doubling from one.
  int grown = capacity_ > 0 ? capacity_ : 1;
  while (grown <= n) grown *= 2;
  rebuild(grown);
}

void HashTable::rebuild(int newCapacity) {
  // 1. Size: never below the positions in use, the slots a third more.
  if (newCapacity < 0) newCapacity = capacity_;
  newCapacity = std::max(newCapacity, count_);
  int newSlotCount = static_cast<int>((1.0 / loadFactor_) * newCapacity);
  newSlotCount = std::max(newSlotCount, newCapacity + 1);
  std::unique_ptr<std::int64_t[]> keys(new std::int64_t[newCapacity]());
  std::unique_ptr<void*[]> values(new void*[newCapacity]());
  std::unique_ptr<Slot[]> slots(new Slot[newSlotCount]());
  // 2. The live entries, in order, packed to the front.
  int k = 0;
  for (int p = 0; p < count_; ++p) {
    if (keys_[p] <= 0 || values_[p] == nullptr) continue;
    const int s = hash(keys_[p], true, slots.get(), newSlotCount);
    if (s < 0) throw std::runtime_error("Hashing error");
    keys[k] = keys_[p];
    values[k] = values_[p];
    slots[s] = Slot{keys_[p], k};
    ++k;
  }
  // 3. Install; count and removals keep their values.
  keys_ = std::move(keys);
  values_ = std::move(values);
  slots_ = std::move(slots);
  capacity_ = newCapacity;
  slotCount_ = newSlotCount;
}

// ---------------------------------------------------------------- Array

void*& Array::operator[](std::int64_t i) {
  if (i < 0 || i > kMaxPosition) throw std::out_of_range("Array position out of range");
  std::int64_t grown = capacity_;
  if (capacity_ < 0) {
    grown = i >= 1024 ? i + 1 : 1024;
  } else if (i >= capacity_) {
    grown = capacity_ + 1024;
    if (i >= grown) grown = i + 1;
  }
  if (grown != capacity_) {
    std::unique_ptr<void*[]> data(new void*[static_cast<std::size_t>(grown)]());
    if (capacity_ > 0) std::copy(data_.get(), data_.get() + capacity_, data.get());
    data_ = std::move(data);
    capacity_ = grown;
  }
  last_ = std::max(last_, i);
  return data_[static_cast<std::size_t>(i)];
}
