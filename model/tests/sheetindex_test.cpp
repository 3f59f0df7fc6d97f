// The sheet's spatial index on its own: many elements of every size (small ones sharing cells,
// ones over many cells, ones at the edge of the plane, empty ones), moved, resized, linked and
// unlinked at random between questions about areas of every size; each answer is the walk's, in
// list order.
#include "model/sheetindex.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "foundation/ll.h"
#include "model/elements.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

class SheetIndexGrid : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        sheet.elementList = CreateElementList(nullptr);
    }
    void TearDown() override {
        DestroyElementList(sheet.elementList);
        sheet.elementList = nullptr;
        ModelTest::TearDown();
    }

    ElementRecord* Add(Rect r) {
        ElementRecord* e = BuildCommonElement(kElementRect, {r.top, r.left}, {r.bottom, r.right}, 1, 0, 0, false,
                                              false, 0, false, 0, false);
        CalcElementBounds(e);
        LLAppend(sheet.elementList, e);
        return e;
    }

    // The elements whose bounds meet the area, by the walk and through the index.
    std::vector<void*> Walked(const Rect& area) {
        std::vector<void*> out;
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet.elementList)); e; e = e->next)
            if (Meets(e->bounds, area)) out.push_back(e);
        return out;
    }
    std::vector<void*> Indexed(const Rect& area) {
        std::vector<void*> near, out;
        SheetItemsMeeting(&sheet, SheetItemKind::kElement, area, &near);
        for (void* e : near)
            if (Meets(static_cast<ElementRecord*>(e)->bounds, area)) out.push_back(e);
        return out;
    }
    // Both edges of both included, as generous as any question's own test.
    static bool Meets(const Rect& b, const Rect& a) {
        return b.top <= a.bottom && a.top <= b.bottom && b.left <= a.right && a.left <= b.right;
    }
};

TEST_F(SheetIndexGrid, RandomEditsAndQuestionsAnswerAsTheWalk) {
    std::mt19937 random(7);
    const auto in = [&](int lo, int hi) { return int16_t(std::uniform_int_distribution<int>(lo, hi)(random)); };
    const auto rect = [&]() {
        switch (in(0, 9)) {
            case 0: {  // over many cells
                const int16_t t = in(-32000, 20000), l = in(-32000, 20000);
                return Rect{t, l, int16_t(t + in(1000, 12000)), int16_t(l + in(1000, 12000))};
            }
            case 1:  // at the edge of the plane
                return Rect{in(32600, 32700), in(-32768, -32700), 32760, in(-32690, -32600)};
            case 2: {  // empty: a point
                const int16_t t = in(0, 3000), l = in(0, 3000);
                return Rect{t, l, t, l};
            }
            default: {  // small, often sharing cells
                const int16_t t = in(0, 3000), l = in(0, 3000);
                return Rect{t, l, int16_t(t + in(1, 90)), int16_t(l + in(1, 90))};
            }
        }
    };
    for (int i = 0; i < 400; ++i) Add(rect());
    std::vector<Rect> areas;
    for (int round = 0; round < 60; ++round) {
        // A few edits of each kind: moves, new bounds, elements linked and unlinked.
        for (int k = 0; k < 5; ++k) {
            auto* e = static_cast<ElementRecord*>(LLGetIndexedLink(sheet.elementList, uint32_t(in(0, int(sheet.elementList->count) - 1))));
            switch (in(0, 3)) {
                case 0: OffsetElement(e, Point{in(-200, 200), in(-200, 200)}); break;
                case 1:
                    e->rect = rect();
                    CalcElementBounds(e);
                    break;
                case 2: Add(rect()); break;
                default: ASSERT_TRUE(LLRemoveOrFree(sheet.elementList, e, nullptr, true)); break;
            }
        }
        // Questions: points, small areas, large areas, the whole plane.
        for (int q = 0; q < 40; ++q) {
            const int16_t t = in(-100, 3100), l = in(-100, 3100);
            const int16_t size = q % 10 == 0 ? in(1000, 4000) : in(0, 40);
            const Rect area{t, l, int16_t(t + size), int16_t(l + size)};
            ASSERT_EQ(Indexed(area), Walked(area)) << "round " << round << " area " << t << "," << l << " " << size;
        }
        const Rect plane{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};
        ASSERT_EQ(Indexed(plane), Walked(plane)) << "round " << round;
        EXPECT_TRUE(SheetItemIndexInStep(&sheet, SheetItemKind::kElement));
    }
}

}  // namespace
}  // namespace plexa::test
