// DA arrays against a reference container: long random runs of adds (one at a time and in
// batches, and refills of the whole array in one batch), removals, reads, writes, searches, item
// loops (removing their current item, stopped, left by a signal), key changes and compaction with
// id remapping, on unsorted, sorted (logical ids) and packed arrays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <ostream>
#include <random>
#include <vector>

#include "foundation/da.h"
#include "foundation/signals.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

struct Rec {
    int32_t key;
    int32_t serial;
    uint64_t payload;
    bool operator==(const Rec& o) const { return key == o.key && serial == o.serial && payload == o.payload; }
};

// Slots are 4-byte aligned: items with 8-byte fields are copied out.
Rec Load(const char* address) {
    Rec rec;
    std::memcpy(&rec, address, sizeof rec);
    return rec;
}

int CompareRecs(const void* a, const void* b) {
    int32_t x, y;
    std::memcpy(&x, a, 4);
    std::memcpy(&y, b, 4);
    return x < y ? -1 : x > y ? 1 : 0;
}

enum class Kind { kUnsorted, kSorted, kPacked };
void PrintTo(Kind kind, std::ostream* os) {
    *os << (kind == Kind::kUnsorted ? "unsorted" : kind == Kind::kSorted ? "sorted, logical ids" : "packed");
}

struct LoopPlan {
    std::vector<Rec> seen;
    int32_t removeMod = -1;  // remove visited items whose key % 5 equals this
    size_t stopAfter = SIZE_MAX;
    int32_t stopValue = 0;
    bool nestedStop = false;
    size_t signalAfter = SIZE_MAX;
    OSStatus signalCode = 0;
};

void LoopVisit(DAArray array, int32_t id, DALoopRecord* loop) {
    auto* plan = reinterpret_cast<LoopPlan*>(loop->value);
    const Rec rec = Load(loop->address);
    plan->seen.push_back(rec);
    if (plan->removeMod >= 0 && rec.key % 5 == plan->removeMod) DARemove(array, id);
    if (plan->seen.size() == plan->signalAfter) Signal(plan->signalCode);
    if (plan->seen.size() == plan->stopAfter) {
        if (plan->nestedStop) {
            (void)CatchSignals([&] { DAStopLoop(loop, plan->stopValue); });  // the loop stop leaves through the catcher
        }
        DAStopLoop(loop, plan->stopValue);
    }
}

class DAModelTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        const uint32_t flags = GetParam() == Kind::kSorted   ? kDASorted
                               : GetParam() == Kind::kPacked ? kDAPacked
                                                             : 0;
        // Small clusters, so that runs cross many of them, in a pool of small pages, so that the
        // heap compacts (moves the array's blocks) while the array grows.
        pool_ = CreatePool(4096);
        ASSERT_NE(pool_, nullptr);
        array_ = DACreate(pool_, sizeof(Rec), 37, flags);
        ASSERT_NE(array_, nullptr);
        // The sorted array keeps the default order (the first i32, the key); the packed one
        // has a compare procedure.
        if (GetParam() == Kind::kPacked) DASetCompareProc(array_, CompareRecs);
    }
    void TearDown() override {
        DADispose(array_);
        MemPoolFree(pool_);
    }

    bool Ordered() const { return GetParam() != Kind::kUnsorted; }
    int32_t Count() const { return int32_t(Ordered() ? sorted_.size() : byId_.size()); }

    // Model items in id order.
    std::vector<Rec> ModelItems() const {
        if (Ordered()) return sorted_;
        std::vector<Rec> out;
        for (const auto& [id, rec] : byId_) out.push_back(rec);
        return out;
    }
    size_t UpperBound(int32_t key) const {
        return size_t(std::upper_bound(sorted_.begin(), sorted_.end(), key,
                                       [](int32_t k, const Rec& r) { return k < r.key; }) - sorted_.begin());
    }
    size_t LowerBound(int32_t key) const {
        return size_t(std::lower_bound(sorted_.begin(), sorted_.end(), key,
                                       [](const Rec& r, int32_t k) { return r.key < k; }) - sorted_.begin());
    }
    // A random id of a live item.
    int32_t LiveId() {
        if (Ordered()) return int32_t(rng_() % sorted_.size());
        auto it = byId_.begin();
        std::advance(it, rng_() % byId_.size());
        return it->first;
    }

    // Keys below 400; one add in five takes the highest, which lands at the end of the order.
    Rec NewRec() { return Rec{rng_() % 5 == 0 ? 399 : int32_t(rng_() % 400), serial_++, rng_()}; }
    void Add() {
        const Rec rec = NewRec();
        const int32_t id = DAAdd(array_, &rec);
        ASSERT_TRUE(DADidAdd());
        if (Ordered()) {
            const size_t at = UpperBound(rec.key);
            ASSERT_EQ(id, int32_t(at));
            sorted_.insert(sorted_.begin() + ptrdiff_t(at), rec);
        } else {
            ASSERT_GE(id, 0);
            ASSERT_FALSE(byId_.count(id)) << "id " << id << " handed out twice";
            byId_[id] = rec;
        }
    }
    // The model of adding a batch, item by item; unsorted: the new ids are those not held before.
    void ModelBatch(const std::vector<Rec>& batch) {
        if (Ordered()) {
            for (const Rec& rec : batch) sorted_.insert(sorted_.begin() + ptrdiff_t(UpperBound(rec.key)), rec);
            return;
        }
        std::vector<Rec> fresh;
        char* address = nullptr;
        for (int32_t id = -1; DANextAddress(array_, &id, &address);) {
            if (!byId_.count(id)) {
                byId_[id] = Load(address);
                fresh.push_back(Load(address));
            }
        }
        auto bySerial = [](const Rec& a, const Rec& b) { return a.serial < b.serial; };
        std::sort(fresh.begin(), fresh.end(), bySerial);
        ASSERT_EQ(fresh, batch);
    }
    void AddBatch() {
        std::vector<Rec> batch(rng_() % 40);
        for (Rec& rec : batch) rec = NewRec();
        ASSERT_EQ(DAAddItems(array_, batch.data(), int32_t(batch.size())), int32_t(batch.size()));
        ASSERT_EQ(DADidAdd(), !batch.empty());
        ModelBatch(batch);
    }
    // Empties the array and adds its items back in one batch, in a shuffled order.
    void Refill() {
        std::vector<Rec> batch = ModelItems();
        std::shuffle(batch.begin(), batch.end(), rng_);
        DARemoveAll(array_);
        sorted_.clear();
        byId_.clear();
        ASSERT_EQ(DAAddItems(array_, batch.data(), int32_t(batch.size())), int32_t(batch.size()));
        if (!Ordered()) std::sort(batch.begin(), batch.end(), [](const Rec& a, const Rec& b) { return a.serial < b.serial; });
        ModelBatch(batch);
    }
    void Remove() {
        const int32_t id = LiveId();
        DARemove(array_, id);
        if (Ordered()) sorted_.erase(sorted_.begin() + id);
        else byId_.erase(id);
    }
    void Read() {
        const int32_t limit = (*array_)->idLimit;
        const int32_t id = int32_t(rng_() % uint32_t(limit + 4)) - 2;
        Rec got{1, 1, 1};
        const bool ok = DAGet(array_, id, &got);
        const Rec* expected = nullptr;
        if (Ordered()) {
            if (id >= 0 && id < Count()) expected = &sorted_[size_t(id)];
        } else if (auto it = byId_.find(id); it != byId_.end()) {
            expected = &it->second;
        }
        ASSERT_EQ(ok, expected != nullptr) << "id " << id;
        ASSERT_EQ(DAIsFreeId(array_, id), expected == nullptr) << "id " << id;
        const Rec zero{0, 0, 0};
        ASSERT_EQ(got, expected ? *expected : zero);
    }
    void Write() {
        const int32_t id = LiveId();
        Rec* rec = Ordered() ? &sorted_[size_t(id)] : &byId_[id];
        rec->payload = rng_();
        ASSERT_TRUE(DAPut(array_, id, rec));
    }
    void Search() {
        const Rec key{int32_t(rng_() % 410), 0, 0};
        const bool last = rng_() % 2;
        const uint32_t result = uint32_t(DASearch(array_, -1, &key, last ? kDASearchLast : 0));
        if (Ordered()) {
            const size_t lb = LowerBound(key.key), ub = UpperBound(key.key);
            const uint32_t expected = lb == ub ? uint32_t(lb) | kDANotFound : uint32_t(last ? ub - 1 : lb);
            ASSERT_EQ(result, expected) << key.key;
            return;
        }
        int32_t expected = int32_t(kDANotFound);
        for (const auto& [id, rec] : byId_) {
            if (rec.key == key.key && (expected == int32_t(kDANotFound) || last)) expected = id;
        }
        ASSERT_EQ(int32_t(result), expected) << key.key;
    }
    void ChangeKey() {
        if (GetParam() != Kind::kSorted) return;
        int32_t id = LiveId();
        Rec rec = sorted_[size_t(id)];
        rec.key = int32_t(rng_() % 400);
        std::memcpy(DAGetAddress(array_, id, false), &rec.key, sizeof rec.key);
        sorted_.erase(sorted_.begin() + id);
        const size_t at = UpperBound(rec.key);
        sorted_.insert(sorted_.begin() + ptrdiff_t(at), rec);
        const int32_t before = id;
        const bool moved = DAUpdateLogicalId(array_, &id);
        ASSERT_EQ(moved, int32_t(at) != before);
        ASSERT_EQ(id, int32_t(at));
    }
    void LoopRemoving() {
        LoopPlan plan;
        plan.removeMod = int32_t(rng_() % 5);
        const std::vector<Rec> before = ModelItems();
        ASSERT_EQ(DAItemLoop(array_, 0, rng_() % 2 ? kDASearchLock : 0, LoopVisit, uint64_t(&plan)), -1);
        ASSERT_EQ(plan.seen, before);
        auto doomed = [&](const Rec& r) { return r.key % 5 == plan.removeMod; };
        if (Ordered()) {
            sorted_.erase(std::remove_if(sorted_.begin(), sorted_.end(), doomed), sorted_.end());
        } else {
            std::erase_if(byId_, [&](const auto& entry) { return doomed(entry.second); });
        }
    }
    void LoopStopped() {
        if (Count() == 0) return;
        LoopPlan plan;
        plan.stopAfter = 1 + rng_() % size_t(Count());
        plan.stopValue = int32_t(rng_() % 1000);
        plan.nestedStop = rng_() % 2;
        const int32_t depth = GetSignalDepth();
        ASSERT_EQ(DAItemLoop(array_, 0, kDASearchLock, LoopVisit, uint64_t(&plan)), plan.stopValue);
        ASSERT_EQ(GetSignalDepth(), depth);
        ASSERT_EQ(plan.seen.size(), plan.stopAfter);
        const std::vector<Rec> items = ModelItems();
        ASSERT_TRUE(std::equal(plan.seen.begin(), plan.seen.end(), items.begin()));
    }
    void LoopSignalled() {
        if (Count() == 0) return;
        LoopPlan plan;
        plan.signalAfter = 1 + rng_() % size_t(Count());
        plan.signalCode = -1000 - int32_t(plan.signalAfter);
        const int32_t depth = GetSignalDepth();
        const OSStatus code = CatchSignals([&] { DAItemLoop(array_, 0, kDASearchLock, LoopVisit, uint64_t(&plan)); });
        ASSERT_EQ(code, plan.signalCode);
        ASSERT_EQ(GetSignalDepth(), depth);
        ASSERT_EQ(plan.seen.size(), plan.signalAfter);
    }
    void Compact() {
        const bool wantMap = rng_() % 4 != 0;
        DAArray map = DACompact(array_, wantMap);
        if (GetParam() == Kind::kPacked) {
            ASSERT_EQ(map, nullptr);
            return;
        }
        if (GetParam() == Kind::kSorted) {
            DADispose(map);  // logical ids do not change
            return;
        }
        bool moves = false;
        int32_t rank = 0;
        for (const auto& entry : byId_) moves |= entry.first != rank++;
        if (!moves || !wantMap) {
            ASSERT_EQ(map, nullptr);
            if (!moves) return;
            ASSERT_EQ((*array_)->idLimit, Count());
            // Without a map the new ids are the ranks.
            std::map<int32_t, Rec> renumbered;
            rank = 0;
            for (const auto& entry : byId_) renumbered[rank++] = entry.second;
            byId_.swap(renumbered);
            return;
        }
        ASSERT_NE(map, nullptr);
        std::map<int32_t, Rec> remapped;
        for (const auto& [old, rec] : byId_) {
            const int32_t fresh = DAMapOldId(map, old);
            ASSERT_GE(fresh, 0);
            ASSERT_LT(fresh, Count());
            ASSERT_FALSE(remapped.count(fresh));
            remapped[fresh] = rec;
        }
        DADispose(map);
        byId_.swap(remapped);
        ASSERT_EQ((*array_)->idLimit, Count());
    }
    void Verify() {
        ASSERT_EQ(DACount(array_), Count());
        std::vector<Rec> walked;
        std::vector<int32_t> ids;
        char* address = nullptr;
        for (int32_t id = -1; DANextAddress(array_, &id, &address);) {
            walked.push_back(Load(address));
            ids.push_back(id);
        }
        ASSERT_EQ(walked, ModelItems());
        // Reads by id skip the map below the fast limit: every id there must be its own slot.
        if (GetParam() == Kind::kSorted) {
            for (int32_t id = 0; id < (*array_)->fastLimit; ++id) {
                int32_t phys = id;
                DAGetPhysicalId(array_, &phys);
                ASSERT_EQ(phys, id);
            }
            fastSeen_ = std::max(fastSeen_, (*array_)->fastLimit);
        }
        if (!Ordered()) {
            size_t i = 0;
            for (const auto& entry : byId_) ASSERT_EQ(ids[i++], entry.first);
        }
    }

    MemPool pool_ = nullptr;
    DAArray array_ = nullptr;
    std::mt19937_64 rng_{test::TestSeed()};
    std::vector<Rec> sorted_;
    std::map<int32_t, Rec> byId_;
    int32_t serial_ = 0;
    int32_t fastSeen_ = 0;  // the highest fast limit a sorted array reached
};

TEST_P(DAModelTest, MatchesReference) {
    const uint64_t steps = test::StressCount(100000);
    for (uint64_t step = 0; step < steps; ++step) {
        const uint32_t roll = uint32_t(rng_() % 1000);
        // Grow towards ~1500 items, then hover.
        const bool shrink = Count() > 1500;
        if (Count() == 0 || roll < (shrink ? 250u : 400u)) Add();
        else if (roll < (shrink ? 255u : 410u)) AddBatch();
        else if (roll < 412) Refill();
        else if (roll < 650) Remove();
        else if (roll < 800) Read();
        else if (roll < 870) Write();
        else if (roll < 930) Search();
        else if (roll < 960) ChangeKey();
        else if (roll < 967) LoopRemoving();
        else if (roll < 974) LoopStopped();
        else if (roll < 981) LoopSignalled();
        else if (roll < 990) Compact();
        else if (roll < 995) DAOptimizeFree(array_);
        else Verify();
        if (HasFatalFailure()) {
            ADD_FAILURE() << "step " << step << ", seed " << test::TestSeed();
            return;
        }
    }
    Verify();
    EXPECT_EQ((*array_)->loops, nullptr);
    if (GetParam() == Kind::kSorted) {
        EXPECT_GT(fastSeen_, 100);  // the refills were read fast
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, DAModelTest, ::testing::Values(Kind::kUnsorted, Kind::kSorted, Kind::kPacked),
                         [](const auto& info) {
                             return info.param == Kind::kUnsorted ? "Unsorted"
                                    : info.param == Kind::kSorted ? "SortedLogical"
                                                                  : "Packed";
                         });

}  // namespace
}  // namespace plexa
