// HashTable: capacity, slot counts, probe walk, removal and rebuild; Array:
// growth steps and the last position; the communication facade's refusals.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "link/communication.h"
#include "link/hashtable.h"

namespace {

// Distinct non-null pointers to stand for stored objects.
int objects[64];
void* obj(int k) { return &objects[k]; }

TEST(HashTable, RefusesBadKeysNullValuesAndDuplicates) {
  HashTable t(0.75);
  EXPECT_FALSE(t.append(nullptr, 5));
  EXPECT_FALSE(t.append(obj(1), 0));
  EXPECT_FALSE(t.append(obj(1), -3));
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.fetch(0), nullptr);
  EXPECT_EQ(t.fetch(-1), nullptr);
  EXPECT_EQ(t.hash(0, false), -1);
  EXPECT_TRUE(t.append(obj(1), 5));
  EXPECT_FALSE(t.append(obj(2), 5));
  EXPECT_EQ(t.fetch(5), obj(1));
  EXPECT_EQ(t.Count(), 1);
  EXPECT_FALSE(t.remove(6));
  EXPECT_FALSE(t.remove(0));
  EXPECT_EQ(t.get(-1), nullptr);
  EXPECT_EQ(t.get(1), nullptr);
  EXPECT_EQ(t.getKey(1), -1);
  EXPECT_EQ(t.getKey(-1), -1);
}

TEST(HashTable, ProbeFollowsTheMixingFunction) {
  HashTable t(0.75);
  ASSERT_EQ(t.SlotCount(), 32);
  // Slots worked out by hand from the mixing function for 32 slots:
  // key 1 probes 24, 5, 17; key 100 probes 0, 15, 10.
  EXPECT_EQ(t.hash(1, false), 24);
  EXPECT_EQ(t.hash(100, false), 0);
  // Keys placed in the first slots of key 1's walk push it along.
  HashTable::Slot slots[32] = {};
  slots[24] = {77, 0};
  EXPECT_EQ(t.hash(1, false, slots, 32), 5);
  slots[5] = {-1, -1};
  EXPECT_EQ(t.hash(1, true, slots, 32), 5);    // insertion reuses a removed slot
  EXPECT_EQ(t.hash(1, false, slots, 32), 17);  // lookups pass over it
  slots[17] = {1, 3};
  EXPECT_EQ(t.hash(1, false, slots, 32), 17);
  // A full table without the key: the bounded probe gives up.
  HashTable::Slot full[4] = {{9, 0}, {9, 1}, {9, 2}, {9, 3}};
  EXPECT_EQ(t.hash(1, true, full, 4), -1);
}

TEST(HashTable, SixteenthAppendDoublesCapacityInInsertionOrder) {
  HashTable t(0.75);
  for (int k = 0; k < 15; ++k) ASSERT_TRUE(t.append(obj(k), 1000 + 7 * k));
  EXPECT_EQ(t.Capacity(), 16);
  EXPECT_EQ(t.SlotCount(), 32);
  ASSERT_TRUE(t.append(obj(15), 1000 + 7 * 15));
  EXPECT_EQ(t.Capacity(), 32);
  EXPECT_EQ(t.SlotCount(), 42);
  for (int k = 0; k < 16; ++k) {
    EXPECT_EQ(t.get(k), obj(k));
    EXPECT_EQ(t.getKey(k), 1000 + 7 * k);
    EXPECT_EQ(t.fetch(1000 + 7 * k), obj(k));
  }
  for (int k = 16; k < 40; ++k) ASSERT_TRUE(t.append(obj(k), 1000 + 7 * k));
  EXPECT_EQ(t.Capacity(), 64);
  EXPECT_EQ(t.SlotCount(), 85);
  for (int k = 0; k < 40; ++k) EXPECT_EQ(t.fetch(1000 + 7 * k), obj(k));
}

TEST(HashTable, RemovalsRebuildAndCountNeverShrinks) {
  HashTable t(0.75);
  for (int k = 0; k < 20; ++k) ASSERT_TRUE(t.append(obj(k), k + 1));
  for (int k = 0; k < 10; ++k) ASSERT_TRUE(t.remove(2 * k + 1));  // keys 1, 3, ... 19
  EXPECT_EQ(t.Removals(), 10);
  // Not rebuilt yet: the removed positions are holes in the walk.
  EXPECT_EQ(t.get(0), nullptr);
  EXPECT_EQ(t.getKey(0), 0);
  EXPECT_EQ(t.get(1), obj(1));
  ASSERT_TRUE(t.remove(2));  // the 11th removal exceeds max(20 / 4, 10): rebuild
  EXPECT_EQ(t.Count(), 20);
  EXPECT_EQ(t.Removals(), 11);
  // The nine live entries now fill positions 0..8 in their old order.
  const int live[] = {4, 6, 8, 10, 12, 14, 16, 18, 20};
  for (int p = 0; p < 9; ++p) {
    EXPECT_EQ(t.getKey(p), live[p]);
    EXPECT_EQ(t.get(p), obj(live[p] - 1));
  }
  for (int p = 9; p < 20; ++p) EXPECT_EQ(t.get(p), nullptr);
  EXPECT_EQ(t.fetch(3), nullptr);
  EXPECT_EQ(t.fetch(2), nullptr);
  EXPECT_EQ(t.fetch(20), obj(19));
  // New entries go after the old count.
  ASSERT_TRUE(t.append(obj(40), 3));
  EXPECT_EQ(t.getKey(20), 3);
  EXPECT_EQ(t.Count(), 21);
}

TEST(HashTable, KeyIsNeverStoredTwiceAfterRemovals) {
  HashTable t(0.75);
  // Find two keys whose walks meet: key b sits in the slot that key a probes
  // first, so a's own slot lies further along its walk.
  std::int64_t a = 0, b = 0;
  for (std::int64_t k = 2; k < 5000 && a == 0; ++k) {
    if (t.hash(k, false) == t.hash(1, false)) {
      b = 1;
      a = k;
    }
  }
  ASSERT_NE(a, 0);
  ASSERT_TRUE(t.append(obj(1), b));
  ASSERT_TRUE(t.append(obj(2), a));  // lands behind b
  ASSERT_TRUE(t.remove(b));          // b's slot becomes "removed"
  EXPECT_FALSE(t.append(obj(3), a)); // a is present further along: refused
  EXPECT_EQ(t.fetch(a), obj(2));
  int live = 0;
  for (int p = 0; p < t.Count(); ++p) live += t.get(p) != nullptr;
  EXPECT_EQ(live, 1);
}

TEST(HashTable, RebuiltToNothingStillTakesEntries) {
  HashTable t(0.75);
  t.rebuild(0);  // no positions and trunc(0 / 0.75) = 0 slots, raised to one
  EXPECT_EQ(t.Capacity(), 0);
  EXPECT_EQ(t.SlotCount(), 1);
  ASSERT_TRUE(t.append(obj(1), 9));  // doubles from one instead of looping
  EXPECT_EQ(t.Capacity(), 2);
  EXPECT_EQ(t.SlotCount(), 3);  // never fewer slots than positions + 1
  EXPECT_EQ(t.fetch(9), obj(1));
}

TEST(Array, GrowsInStepsAndRecordsTheLastPosition) {
  Array a;
  EXPECT_EQ(a.Capacity(), -1);
  EXPECT_EQ(a.Last(), -1);
  EXPECT_EQ(a[3], nullptr);  // a read allocates and counts as use
  EXPECT_EQ(a.Capacity(), 1024);
  EXPECT_EQ(a.Last(), 3);
  a[1023] = obj(1);
  EXPECT_EQ(a.Capacity(), 1024);
  a[1024] = obj(2);
  EXPECT_EQ(a.Capacity(), 2048);
  EXPECT_EQ(a[1023], obj(1));
  EXPECT_EQ(a[2047], nullptr);
  a[5000] = obj(3);
  EXPECT_EQ(a.Capacity(), 5001);
  EXPECT_EQ(a.Last(), 5000);
  (void)a[10];
  EXPECT_EQ(a.Last(), 5000);
  EXPECT_EQ(a[1024], obj(2));

  Array b;
  (void)b[5000];
  EXPECT_EQ(b.Capacity(), 5001);
  (void)b[3000];
  EXPECT_EQ(b.Last(), 5000);
  EXPECT_THROW(b[-1], std::out_of_range);
  EXPECT_THROW(b[Array::kMaxPosition + 1], std::out_of_range);
  EXPECT_EQ(b.Capacity(), 5001);
}

TEST(Communication, LoadFailsCleanlyAndForwardersRefuse) {
  EXPECT_FALSE(Communication::Load("liblumbra.so"));
  EXPECT_FALSE(Communication::Loaded());
  try {
    Communication::send_client(0, nullptr, 0, 0);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "DLL Not Loaded");
  }
  EXPECT_THROW(Communication::Initialize(0, nullptr), std::runtime_error);
  EXPECT_THROW(Communication::Finalize(0, nullptr), std::runtime_error);
  EXPECT_THROW(Communication::peek_server(0, nullptr, 0, 1), std::runtime_error);
  EXPECT_THROW(Communication::recv_other(0, nullptr, 0, 0), std::runtime_error);
}

}  // namespace
