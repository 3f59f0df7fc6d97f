// DA arrays filled a batch at a time, and reads by id of arrays whose logical ids are their
// physical ids: the batch lands where single adds would put it, the stored form of an array
// filled in one batch is that of one filled in order, and reads stay right while the map changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

struct Item {
    int32_t key;
    int32_t tag;
    bool operator==(const Item& o) const { return key == o.key && tag == o.tag; }
};

struct ArrayOwner {
    explicit ArrayOwner(DAArray a) : array(a) {}
    ~ArrayOwner() { DADispose(array); }
    DAArray array;
};

std::vector<Item> Items(DAArray a) {
    std::vector<Item> out;
    char* address = nullptr;
    for (int32_t id = -1; DANextAddress(a, &id, &address);) {
        Item item;
        std::memcpy(&item, address, sizeof item);
        out.push_back(item);
    }
    return out;
}

std::vector<Item> Batch(const std::vector<int32_t>& keys, int32_t firstTag) {
    std::vector<Item> items;
    for (int32_t k : keys) items.push_back(Item{k, firstTag++});
    return items;
}

std::string Stored(DAArray a) {
    Handle handle = AllocHandle(nullptr, 0);
    StreamRecord* stream = nullptr;
    EXPECT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream), 0);
    EXPECT_EQ(DAWrite(a, stream, nullptr), 0);
    DisposeStream(stream);
    std::string bytes(*handle, SizeOfHandle(handle));
    MemFree(handle);
    return bytes;
}

TEST(DABulkTest, ABatchLandsWhereSingleAddsWouldPutIt) {
    const struct {
        uint32_t flags;
        std::vector<int32_t> before, batch;
    } cases[] = {
        {kDASorted, {}, {5, 3, 9, 3, 1, 7, 3}},
        {kDASorted, {2, 4, 6, 8}, {5, 1, 9, 4, 4, 0, 8}},  // between, before, after and equal
        {kDASorted, {1, 2}, {3, 4, 5}},                     // all after the last
        {kDASorted, {1, 2}, {}},
        {kDAUnique, {2, 4}, {4, 1, 1, 3, 2, 5}},            // equal to held items and to each other
        {kDAUnique, {}, {7, 7, 7}},
        {kDAPacked, {10, 30, 20}, {25, 5, 30, 35, 15}},
        {kDAPacked, {}, {3, 1, 2}},
        {0, {1}, {3, 2}},
        {kDALogicalIds, {4}, {3, 2}},                        // logical ids, no order
    };
    for (const auto& c : cases) {
        ArrayOwner single(DACreate(nullptr, sizeof(Item), 3, c.flags));
        ArrayOwner batch(DACreate(nullptr, sizeof(Item), 3, c.flags));
        for (const Item& item : Batch(c.before, 0)) {
            DAAdd(single.array, &item);
            DAAdd(batch.array, &item);
        }
        const std::vector<Item> items = Batch(c.batch, 100);
        for (const Item& item : items) DAAdd(single.array, &item);
        const int32_t added = DAAddItems(batch.array, items.data(), int32_t(items.size()));
        EXPECT_EQ(Items(batch.array), Items(single.array)) << c.flags << " " << c.before.size();
        EXPECT_EQ(added, DACount(single.array) - int32_t(c.before.size())) << c.flags;
        EXPECT_EQ(DADidAdd(), added > 0) << c.flags;
        for (int32_t id = 0; id < DACount(batch.array); ++id) {
            Item a{-1, -1}, b{-1, -1};
            EXPECT_TRUE(DAGet(batch.array, id, &a));
            DAGet(single.array, id, &b);
            if (c.flags & (kDASorted | kDAPacked)) {
                EXPECT_EQ(a, b) << c.flags << " id " << id;
            }
        }
    }
    EXPECT_EQ(DAAddItems(nullptr, nullptr, 0), -1);
}

TEST(DABulkTest, ABatchTakesNoHintAndLeavesNone) {
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 0, kDASorted));
    DASetInsertHint(0);
    const std::vector<Item> items = Batch({3, 1, 2}, 0);
    EXPECT_EQ(DAAddItems(a.array, items.data(), 3), 3);
    const Item last{9, 9};
    EXPECT_EQ(DAAdd(a.array, &last), 3);  // in order, not at the hint
    EXPECT_EQ(Items(a.array).front().key, 1);
}

TEST(DABulkTest, ABatchInAnEmptyArrayIsStoredAsOneFilledInOrder) {
    std::vector<int32_t> keys(1000);
    std::iota(keys.begin(), keys.end(), 0);
    for (uint32_t flags : {uint32_t(kDASorted), uint32_t(kDAPacked)}) {
        ArrayOwner inOrder(DACreate(nullptr, sizeof(Item), 64, flags));
        for (const Item& item : Batch(keys, 0)) DAAdd(inOrder.array, &item);
        std::vector<Item> shuffled = Batch(keys, 0);
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(test::TestSeed()));
        ArrayOwner batch(DACreate(nullptr, sizeof(Item), 64, flags));
        ASSERT_EQ(DAAddItems(batch.array, shuffled.data(), int32_t(shuffled.size())), 1000);
        EXPECT_EQ(Stored(batch.array), Stored(inOrder.array)) << flags;
        for (int32_t id : {0, 1, 63, 64, 999}) {
            int32_t phys = id;
            DAGetPhysicalId(batch.array, &phys);
            EXPECT_EQ(phys, id);
        }
    }
}

// Reads by id, searches and walks of a sorted array filled in one batch (its map holds each id's
// own slot) while adds, removals and key changes rearrange the map, and after a round trip
// through the stored form.
TEST(DABulkTest, ReadsFollowEveryChangeOfTheMap) {
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 7, kDASorted));
    std::vector<Item> model = Batch(std::vector<int32_t>(200, 0), 0);
    for (size_t k = 0; k < model.size(); ++k) model[k].key = int32_t(k) * 2;
    ASSERT_EQ(DAAddItems(a.array, model.data(), int32_t(model.size())), 200);
    auto check = [&](const char* step) {
        ASSERT_EQ(DACount(a.array), int32_t(model.size())) << step;
        for (int32_t id = -1; id <= int32_t(model.size()); ++id) {
            Item got{-1, -1};
            const bool live = id >= 0 && id < int32_t(model.size());
            ASSERT_EQ(DAGet(a.array, id, &got), live) << step << " id " << id;
            const Item expected = live ? model[size_t(id)] : Item{0, 0};
            ASSERT_EQ(got, expected) << step << " id " << id;
            if (live) {
                ASSERT_EQ(std::memcmp(DAGetAddress(a.array, id, false), &model[size_t(id)], sizeof(Item)), 0);
                const int32_t found = DASearch(a.array, -1, &model[size_t(id)], 0);
                ASSERT_EQ(model[size_t(found)].key, model[size_t(id)].key) << step;
            }
        }
        ASSERT_EQ(Items(a.array), model) << step;
    };
    check("filled");
    const Item middle{101, 900};
    ASSERT_EQ(DAAdd(a.array, &middle), 51);
    model.insert(model.begin() + 51, middle);
    check("an add inside");
    const Item end{1000, 901};
    ASSERT_EQ(DAAdd(a.array, &end), int32_t(model.size()));
    model.push_back(end);
    check("an add at the end");
    DARemove(a.array, 10);
    model.erase(model.begin() + 10);
    check("a removal");
    int32_t id = 5;
    const int32_t key = 3;
    std::memcpy(DAGetAddress(a.array, id, false), &key, sizeof key);
    ASSERT_TRUE(DAUpdateLogicalId(a.array, &id));
    model[5].key = 3;
    std::rotate(model.begin() + 2, model.begin() + 5, model.begin() + 6);
    check("a key change");
    DAArray copy = DADuplicate(nullptr, a.array);
    DADispose(a.array);
    a.array = copy;
    check("a duplicate");
    Handle handle = AllocHandle(nullptr, 0);
    StreamRecord* stream = nullptr;
    ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream), 0);
    ASSERT_EQ(DAWrite(a.array, stream, nullptr), 0);
    ASSERT_EQ(SetStreamPosition(stream, 0), 0);
    DAArray read = nullptr;
    ASSERT_EQ(DARead(nullptr, &read, stream, nullptr), 0);
    DisposeStream(stream);
    MemFree(handle);
    DADispose(a.array);
    a.array = read;
    check("read back");
    DARemoveAll(a.array);
    model.clear();
    check("emptied");
}

// Searches of a large sorted array without a compare procedure start from samples of its keys;
// their answers stay those of a plain binary search while keys change in place under them (the
// order kept), and after adds and removals.
TEST(DABulkTest, SearchesFromKeySamplesStayRight) {
    std::mt19937 rng(test::TestSeed());
    std::vector<Item> model(6000);
    for (size_t k = 0; k < model.size(); ++k) model[k] = Item{int32_t(rng() % 3000) * 2, int32_t(k)};
    std::stable_sort(model.begin(), model.end(), [](const Item& a, const Item& b) { return a.key < b.key; });
    ArrayOwner a(DACreate(nullptr, sizeof(Item), 0, kDASorted));
    ASSERT_EQ(DAAddItems(a.array, model.data(), int32_t(model.size())), int32_t(model.size()));
    auto check = [&](const char* step) {
        for (int32_t key = -2; key <= 6002; ++key) {
            auto less = [](const Item& item, int32_t k) { return item.key < k; };
            auto greater = [](int32_t k, const Item& item) { return k < item.key; };
            const auto lb = uint32_t(std::lower_bound(model.begin(), model.end(), key, less) - model.begin());
            const auto ub = uint32_t(std::upper_bound(model.begin(), model.end(), key, greater) - model.begin());
            const Item probe{key, 0};
            const uint32_t first = lb == ub ? lb | kDANotFound : lb, last = lb == ub ? ub | kDANotFound : ub - 1;
            ASSERT_EQ(uint32_t(DASearch(a.array, -1, &probe, 0)), first) << step << " key " << key;
            ASSERT_EQ(uint32_t(DASearch(a.array, -1, &probe, kDASearchLast)), last) << step << " key " << key;
        }
    };
    check("filled");
    EXPECT_EQ((*a.array)->sampledCount, int32_t(model.size()));  // the searches took samples
    // Every 8th item takes its left neighbour's key, in place: the order holds, the samples lie.
    for (size_t k = 8; k < model.size(); k += 8) {
        model[k].key = model[k - 1].key;
        std::memcpy(DAGetAddress(a.array, int32_t(k), false), &model[k].key, 4);
    }
    check("keys changed in place");
    const Item added{1001, -1};
    const int32_t at = DAAdd(a.array, &added);
    model.insert(model.begin() + at, added);
    DARemove(a.array, 17);
    model.erase(model.begin() + 17);
    check("an add and a removal");
}

}  // namespace
}  // namespace plexa
