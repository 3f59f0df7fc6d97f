// LL lists over each kind of item (pointers, fixed-size blocks, handles): order of insertion,
// positions, removal with and without freeing, and the free procedure.
#include "foundation/ll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <vector>

namespace plexa {
namespace {

struct Kind {
    const char* name;
    uint32_t flags;
};
void PrintTo(const Kind& kind, std::ostream* os) { *os << kind.name; }
const Kind kKinds[] = {{"pointers", 0}, {"fixed-size", kLLFixedSize}, {"handles", kLLHandles},
                       {"own-pool header", kLLOwnPool}};

constexpr uint32_t kItemSize = 24;

// The item's value lives after its link (in the handle's data for handle lists).
int32_t& Value(const LinkListHeader* list, void* item) {
    char* data = (LLFlags(list) & kLLHandles) ? *static_cast<Handle>(item) : static_cast<char*>(item);
    return *reinterpret_cast<int32_t*>(data + sizeof(void*));
}

std::vector<int32_t> Values(const LinkListHeader* list) {
    std::vector<int32_t> out;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) out.push_back(Value(list, item));
    return out;
}

std::vector<int32_t> gFreed;
void RecordFree(LinkListHeader* list, void* item, void*, uint32_t) { gFreed.push_back(Value(list, item)); }

class LLTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (GetParam().flags & kLLFixedSize) {
            pool_ = CreatePool(4096);
            ASSERT_NE(pool_, nullptr);
            ASSERT_TRUE(MemPoolSetBlockSizeFS(pool_, kItemSize));
        }
        list_ = LLCreate(pool_, kItemSize, GetParam().flags);
        ASSERT_NE(list_, nullptr);
        LLSetFreeProc(list_, RecordFree);
        gFreed.clear();
    }
    void TearDown() override {
        LLDispose(list_, true);
        if (pool_) MemPoolFree(pool_);
    }
    void* Make(int32_t value) {
        void* item = LLAlloc(list_);
        Value(list_, item) = value;
        return item;
    }

    MemPool pool_ = nullptr;
    LinkListHeader* list_ = nullptr;
};

TEST_P(LLTest, PushOrderAndReverse) {
    for (int32_t v : {1, 2, 3}) LLPush(list_, Make(v));
    EXPECT_EQ(Values(list_), (std::vector<int32_t>{3, 2, 1}));
    EXPECT_EQ(list_->count, 3u);
    void* first = LLReverse(list_);
    EXPECT_EQ(first, LLFirst(list_));
    EXPECT_EQ(Values(list_), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(Value(list_, LLLast(list_)), 3);
}

TEST_P(LLTest, InsertAtPositions) {
    LLAppend(list_, Make(10));
    LLAppend(list_, Make(20));
    const struct { int32_t index, value; } steps[] = {{5, 30}, {-1, 40}, {0, 0}, {1, 5}, {5, 25}};
    for (const auto& s : steps) LLInsertAt(list_, s.index, Make(s.value));
    // 5 on a list of 2 and -1 append; 0 goes first; 1 after the first; 5 (count - 1) after index 4.
    EXPECT_EQ(Values(list_), (std::vector<int32_t>{0, 5, 10, 20, 30, 25, 40}));
    EXPECT_EQ(LLGetLinkPosition(list_, LLGetIndexedLink(list_, 3)), 3);
    EXPECT_EQ(LLGetIndexedLink(list_, 7), nullptr);
    void* fresh = LLInsert(list_, nullptr, nullptr);  // a zero-filled new item at the head
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(Value(list_, fresh), 0);
    EXPECT_EQ(list_->count, 8u);
}

TEST_P(LLTest, RemoveAndFree) {
    void* a = LLAppend(list_, Make(1));
    void* b = LLAppend(list_, Make(2));
    void* c = LLAppend(list_, Make(3));
    void* stray = Make(9);
    EXPECT_FALSE(LLRemoveOrFree(list_, stray, nullptr, false));
    EXPECT_EQ(LLGetLinkPosition(list_, stray), -1);
    EXPECT_EQ(list_->count, 3u);
    // The search starts after the hint: a hint past the item misses it.
    EXPECT_FALSE(LLRemoveOrFree(list_, a, b, false));
    EXPECT_TRUE(LLRemoveOrFree(list_, c, a, true));
    EXPECT_EQ(gFreed, (std::vector<int32_t>{3}));
    EXPECT_TRUE(LLRemoveOrFree(list_, a, nullptr, false));
    EXPECT_EQ(Values(list_), (std::vector<int32_t>{2}));
    LLPush(list_, a);
    EXPECT_EQ(LLPop(list_, false), a);
    EXPECT_EQ(LLPop(list_, true), nullptr);  // b, freed
    EXPECT_EQ(gFreed, (std::vector<int32_t>{3, 2}));
    EXPECT_EQ(LLFirst(list_), nullptr);
    EXPECT_EQ(list_->count, 0u);
    EXPECT_EQ(LLPop(list_, true), nullptr);
    LLPush(list_, a);
    LLPush(list_, stray);
    LLRemoveOrFreeAll(list_, true);
    EXPECT_EQ(gFreed, (std::vector<int32_t>{3, 2, 9, 1}));
    EXPECT_EQ(list_->count, 0u);
}

// Appends go to the end however the list changed since the last one: its last item removed,
// the list reversed, emptied, pushed to or inserted into, and another list appended to between.
TEST_P(LLTest, AppendsFollowEveryChangeOfTheEnd) {
    LinkListHeader* other = LLCreate(pool_, kItemSize, GetParam().flags);
    ASSERT_NE(other, nullptr);
    std::vector<int32_t> model;
    int32_t next = 0;
    uint32_t others = 0;
    auto append = [&] {
        LLAppend(list_, Make(next));
        model.push_back(next++);
    };
    for (int step = 0; step < 400; step++) {
        append();
        switch (step % 9) {
            case 1:
                LLRemoveOrFree(list_, LLLast(list_), nullptr, true);
                model.pop_back();
                break;
            case 3:
                LLReverse(list_);
                std::reverse(model.begin(), model.end());
                break;
            case 4:
                LLPush(list_, Make(next));
                model.insert(model.begin(), next++);
                break;
            case 5: {
                void* item = LLAlloc(other);
                Value(other, item) = -1;
                LLAppend(other, item);
                ++others;
                break;
            }
            case 6:
                LLInsertAt(list_, int32_t(model.size() / 2), Make(next));
                model.insert(model.begin() + ptrdiff_t(model.size() / 2), next++);
                break;
            case 7:
                if (step % 63 == 7) {
                    LLRemoveOrFreeAll(list_, true);
                    model.clear();
                }
                break;
            default: break;
        }
        ASSERT_EQ(Values(list_), model) << "step " << step;
    }
    EXPECT_EQ(other->count, others);
    LLDispose(other, true);
}

TEST_P(LLTest, EnumStopsWhenAsked) {
    for (int32_t v : {1, 2, 3, 4}) LLAppend(list_, Make(v));
    struct Walk { std::vector<int32_t> seen; int32_t stopAt; } walk{{}, 3};
    auto proc = [](LinkListHeader* list, void* item, void* value) {
        auto* w = static_cast<Walk*>(value);
        w->seen.push_back(Value(list, item));
        return Value(list, item) == w->stopAt;
    };
    EXPECT_TRUE(LLEnum(list_, proc, &walk));
    EXPECT_EQ(walk.seen, (std::vector<int32_t>{1, 2, 3}));
    walk = {{}, 99};
    EXPECT_FALSE(LLEnum(list_, proc, &walk));
    EXPECT_EQ(walk.seen.size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LLTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) if (!isalnum(uint8_t(ch))) ch = '_';
                             return name;
                         });

TEST(LLCreateTest, RefusesItemsTooSmallForTheirLink) {
    EXPECT_EQ(LLCreate(nullptr, 4, 0), nullptr);
    EXPECT_EQ(LLCreate(nullptr, 0, kLLHandles), nullptr);
    EXPECT_EQ(LLFirst(nullptr), nullptr);
}

}  // namespace
}  // namespace plexa
