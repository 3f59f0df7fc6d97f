// The sheet's spatial index against the walks of the lists it stands in for: after every kind of
// edit the editor makes (placing, area selection, moves, turns, mirrors, undo and redo, copy and
// paste, delete, wires drawn and clicked, texts changed, frames, elements, the map's purge, a
// sheet saved and loaded), every hit test answers as the walk of the whole list answers, and
// every area question offers every item a walk would find, in list order.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "files/sheetcontents.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/regions.h"
#include "model/elements.h"
#include "model/sheetindex.h"
#include "model/sheetselected.h"
#include "model/symbols.h"
#include "model/tests/gate_symbol.h"
#include "model/textframes.h"
#include "sheeteditor/elementtools.h"
#include "sheeteditor/sheetdrag.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetpaste.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/tests/sheet_walks.h"
#include "sheeteditor/tests/sheetclip_testing.h"
#include "sheeteditor/wiretracking.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

// A symbol that an area takes only when it lies wholly inside (the symbol flag the area
// selection reads).
constexpr uint32_t kWhollyInside = 0x80000000u;

// "(h,v)" of a point.
std::string Where(Point p) { return "(" + std::to_string(p.h) + "," + std::to_string(p.v) + ")"; }

// The rectangles by which each kind of item is found, as they are now.
std::vector<Rect> ItemRects(SheetRecord* sheet, SheetItemKind kind, void* item) {
    switch (kind) {
        case SheetItemKind::kSymbol: {
            Rect graphics, all;
            GetSymbolInstanceBounds(sheet, static_cast<SymbolRecord*>(item), 0, &graphics);
            GetSymbolInstanceBounds(sheet, static_cast<SymbolRecord*>(item), 1, &all);
            return {graphics, all};
        }
        case SheetItemKind::kText: return {static_cast<TextRecord*>(item)->bounds};
        case SheetItemKind::kTextFrame: return {(*static_cast<TextFrameHandle>(item))->bounds};
        case SheetItemKind::kElement: return {static_cast<ElementRecord*>(item)->bounds};
        case SheetItemKind::kSignal:
        case SheetItemKind::kBuss: {
            std::vector<Rect> rects;
            rects.push_back(kind == SheetItemKind::kSignal ? (*static_cast<SignalHandle>(item))->bounds
                                                           : (*static_cast<BussHandle>(item))->bounds);
            WireList wires = (*static_cast<NetRecordHead**>(item))->wires;
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) rects.push_back((*w)->bounds);
            return rects;
        }
    }
    return {};
}

// Whether a walk of the list would look at the item for a question about the area: its bounds,
// grown by the most any question grows them, meet the area (a sheet symbol always).
bool WalkFinds(SheetRecord* sheet, SheetItemKind kind, void* item, const Rect& area) {
    if (kind == SheetItemKind::kSymbol && (static_cast<SymbolRecord*>(item)->flags & kSymbolFlagSheet)) return true;
    for (Rect r : ItemRects(sheet, kind, item)) {
        if (VXEmptyRect(&r)) continue;
        VXInsetRect(&r, -4, -4);
        if (VXRectsOverlap(&r, &area)) return true;
    }
    return false;
}

constexpr SheetItemKind kKinds[] = {SheetItemKind::kSymbol,  SheetItemKind::kText,   SheetItemKind::kTextFrame,
                                    SheetItemKind::kElement, SheetItemKind::kSignal, SheetItemKind::kBuss};
const char* const kKindNames[] = {"symbols", "texts", "frames", "elements", "signals", "busses"};

LinkListHeader* ListOf(SheetRecord* sheet, SheetItemKind kind) {
    LinkListHeader* lists[] = {sheet->symbolList,    sheet->textList,   sheet->textFrameList,
                               sheet->elementList,   sheet->signalList, sheet->bussList};
    return lists[size_t(kind)];
}

class SheetIndex : public SheetClipTest {
protected:
    void SetUp() override {
        SheetClipTest::SetUp();
        gate = AddGateSymbolDefinition(sheet);
        ASSERT_GE(gate, 0);
    }

    // A gate at the point, its pins known to the wire driver.
    SymbolRecord* Gate(int16_t h, int16_t v, uint32_t flags = kSymbolFlagPort) {
        SymbolRecord* s = Part(nullptr, At(h, v), {At(h, int16_t(v + 8)), At(h, int16_t(v + 22)), At(int16_t(h + 66), int16_t(v + 15))},
                               flags);
        s->mapId = gate;
        return s;
    }
    TextFrameHandle Frame(const char* text, int16_t h, int16_t v) {
        TextFrameHandle frame = CreateTextFrame(text, -1, kEncodingUTF8);
        EXPECT_NE(frame, nullptr);
        LLPush(sheet->textFrameList, frame);
        InstallStyleInFrame(frame, sheet->currentTextStyle, 0xFFFFFFFF, sheet->styleList);
        (*frame)->position = At(h, v);
        CalcTextFrameBounds(sheet->window, frame, true, 400);
        return frame;
    }
    ElementRecord* Element(uint8_t kind, Point a, Point b) {
        ElementRecord* e = BuildCommonElement(kind, a, b, 1, 0, 0, false, false, 0, false, 0, false);
        CalcElementBounds(e);
        LLAppend(sheet->elementList, e);
        return e;
    }

    // The area most of the sheet's items cover (a few lie far out), with a border.
    static Rect Extent(SheetRecord*) { return Rect{-20, -20, 520, 620}; }
    // Every item's area, with a border.
    Rect AllItems(SheetRecord* s) {
        Rect all{INT16_MAX, INT16_MAX, INT16_MIN, INT16_MIN};
        for (SheetItemKind kind : kKinds) {
            LinkListHeader* list = ListOf(s, kind);
            for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
                for (const Rect& r : ItemRects(s, kind, item)) {
                    if (VXEmptyRect(&r)) continue;
                    all = Rect{std::min(all.top, r.top), std::min(all.left, r.left), std::max(all.bottom, r.bottom),
                               std::max(all.right, r.right)};
                }
        }
        if (VXEmptyRect(&all)) all = Rect{0, 0, 100, 100};
        VXInsetRect(&all, -20, -20);
        return all;
    }

    // The points worth asking about: a lattice over the items, and the edges of every item.
    std::vector<Point> Probes(SheetRecord* s) {
        std::vector<Point> points;
        const Rect all = Extent(s);
        for (int32_t v = all.top; v <= all.bottom; v += 7)
            for (int32_t h = all.left; h <= all.right; h += 7) points.push_back(Point{int16_t(v), int16_t(h)});
        for (SheetItemKind kind : kKinds) {
            LinkListHeader* list = ListOf(s, kind);
            for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
                for (const Rect& r : ItemRects(s, kind, item))
                    for (int16_t d : {-4, -3, -2, -1, 0, 1, 2})
                        for (Point c : {Point{r.top, r.left}, Point{r.bottom, r.right}}) {
                            points.push_back(Point{int16_t(c.v + d), int16_t(c.h + d)});
                            points.push_back(Point{int16_t(c.v - d), int16_t(c.h + d)});
                        }
        }
        return points;
    }

    // Every question answered through the index against the walk; `what` names the edit.
    void ExpectIndexMatchesWalk(SheetRecord* s, const std::string& what) {
        size_t misses = 0;
        const auto miss = [&](const std::string& detail) {
            if (misses++ < 5) ADD_FAILURE() << what << ": " << detail;
        };
        size_t probe = 0;
        for (Point p : Probes(s)) {
            const std::string at = Where(p);
            // Elements are tried on their drawn pixels: at every eleventh point only.
            if (probe++ % 11 == 0) {
                for (int32_t mode : {0, 1, 2}) {
                    bool fillA = false, fillB = false;
                    if (HitTestGrafElements(s, p, 3, mode, &fillA) != HitTestGrafElements(s->elementList, p, 3, mode, &fillB) ||
                        fillA != fillB)
                        miss("element at " + at);
                }
            }
            if (HitTestSymbol(s, p, 2) != WalkHitTestSymbol(s, p)) miss("symbol at " + at);
            if (HitTestText(s, p) != HitTestText(s->textList, p)) miss("text at " + at);
            for (int32_t tolerance : {0, 3}) {
                Point a = p, b = p;
                SymbolRecord *indexed = nullptr, *walked = nullptr;
                const int32_t na = HitTestPins(s, &a, tolerance, &indexed);
                const int32_t nb = WalkHitTestPins(s, &b, tolerance, &walked);
                if (na != nb || indexed != walked || a.v != b.v || a.h != b.h) miss("pin at " + at);
            }
            WireHandle wa = nullptr, wb = nullptr;
            int32_t sa = -1, sb = -1;
            for (int32_t slop : {0, 3}) {
                if (HitTestSignalList(s, p, slop, &wa, &sa, nullptr) != WalkHitTestSignalList(s, p, slop, &wb, &sb) ||
                    wa != wb || sa != sb)
                    miss("signal at " + at);
            }
            if (HitTestBussList(s, p, 2, false, &wa, &sa, nullptr) != WalkHitTestBussList(s, p, 2, &wb, &sb) ||
                wa != wb || sa != sb)
                miss("buss at " + at);
        }
        // Areas: a tiling of the extent, each item's own bounds, and the whole extent.
        std::vector<Rect> areas;
        const Rect all = Extent(s);
        areas.push_back(AllItems(s));
        for (int32_t v = all.top; v <= all.bottom; v += 20)
            for (int32_t h = all.left; h <= all.right; h += 30)
                areas.push_back(Rect{int16_t(v), int16_t(h), int16_t(v + 23), int16_t(h + 37)});
        for (SheetItemKind kind : kKinds) {
            LinkListHeader* list = ListOf(s, kind);
            for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
                for (Rect r : ItemRects(s, kind, item)) areas.push_back(r);
        }
        std::vector<void*> near;
        for (SheetItemKind kind : kKinds) {
            LinkListHeader* list = ListOf(s, kind);
            for (const Rect& area : areas) {
                std::vector<void*> walked, indexed;
                for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
                    if (WalkFinds(s, kind, item, area)) walked.push_back(item);
                SheetItemsMeeting(s, kind, area, &near);
                for (void* item : near)
                    if (WalkFinds(s, kind, item, area)) indexed.push_back(item);
                if (indexed != walked) miss(std::string(kKindNames[size_t(kind)]) + " meeting an area");
            }
            EXPECT_TRUE(SheetItemIndexInStep(s, kind)) << what;
        }
        EXPECT_EQ(misses, 0u) << what;
    }

    // The items for which `takes` holds, walking each list: "s<n>" symbols, "e<n>" elements,
    // "w<n>.<m>" wires of signals, "b<n>.<m>" of busses, "f<n>" frames (by list place). `takes`
    // gets the letter and the item (the wire handle for wires).
    template <class Takes>
    std::string Tagged(Takes takes) {
        std::string taken;
        int n = 0;
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next, ++n)
            if (takes('s', s)) taken += " s" + std::to_string(n);
        n = 0;
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next, ++n)
            if (takes('e', e)) taken += " e" + std::to_string(n);
        for (LinkListHeader* nets : {sheet->signalList, sheet->bussList}) {
            const char letter = nets == sheet->signalList ? 'w' : 'b';
            n = 0;
            for (void* net = LLFirst(nets); net; net = LLGetNext(nets, net), ++n) {
                WireList wires = (*static_cast<NetRecordHead**>(net))->wires;
                int m = 0;
                for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w), ++m)
                    if (takes(letter, w))
                        taken += std::string(" ") + letter + std::to_string(n) + "." + std::to_string(m);
            }
        }
        n = 0;
        for (void* item = LLFirst(sheet->textFrameList); item; item = LLGetNext(sheet->textFrameList, item), ++n)
            if (takes('f', item)) taken += " f" + std::to_string(n);
        return taken;
    }
    // The items an area selection takes, as the walk of each list finds them.
    std::string WalkAreaSelection(const Rect& area) {
        return Tagged([&](char kind, void* item) {
            switch (kind) {
                case 's': {
                    auto* s = static_cast<SymbolRecord*>(item);
                    Rect r;
                    GetSelectedSymbolBounds(sheet, s, &r);
                    if (VXEmptyRect(&r) || !VXRectsOverlap(&r, &area)) return false;
                    return !(s->flags & kWhollyInside) || RectWithin(r, area);
                }
                case 'e': return RectWithin(static_cast<ElementRecord*>(item)->bounds, area);
                case 'f': {
                    auto f = static_cast<TextFrameHandle>(item);
                    if ((*f)->owner) return false;
                    return (*f)->lineCount >= 2 ? RectWithin((*f)->bounds, area)
                                                : VXRectsOverlap(&(*f)->bounds, &area);
                }
                default: return RectWithin((*static_cast<WireHandle>(item))->bounds, area);
            }
        });
    }
    // The items selected now.
    std::string Selected() {
        return Tagged([](char kind, void* item) {
            switch (kind) {
                case 's': return (static_cast<SymbolRecord*>(item)->flags & kSymbolFlagSelected) != 0;
                case 'e': return (static_cast<ElementRecord*>(item)->flags & kElementSelected) != 0;
                case 'f': return ((*static_cast<TextFrameHandle>(item))->flags & kFrameFlagSelected) != 0;
                default: return ((*static_cast<WireHandle>(item))->flags & kWireFlagSelected) != 0;
            }
        });
    }
    static bool RectWithin(const Rect& r, const Rect& area) {
        return r.top >= area.top && r.left >= area.left && r.bottom <= area.bottom && r.right <= area.right;
    }
    // An area selection as the select tool's drag ends it, checked against the walk; the
    // selection region covers what adding each selected item's bounds one by one covers.
    void SelectArea(const Rect& area) {
        const std::string expected = WalkAreaSelection(area);
        DoAreaSelection(sheet, &area, false, false);
        const std::string where = Where({area.top, area.left}) + "-" + Where({area.bottom, area.right});
        EXPECT_EQ(Selected(), expected) << "area " << where;
        const LRect none{0, 0, 0, 0};
        VXRgn* oneByOne = VXCreateRgn(&none);
        EnumSheetSelectionRects(
            sheet, [](SheetRecord*, const Rect* r, void* rgn) { SelectionRgnAdd(static_cast<VXRgn*>(rgn), r); },
            oneByOne);
        VXRgn* difference = RgnOperation(oneByOne, sheet->selectionRegion, nullptr, kRgnXor);
        EXPECT_TRUE(VXIsEmptyRgn(difference)) << "selection region of area " << where;
        VXDestroyRgn(difference);
        VXDestroyRgn(oneByOne);
    }

    int32_t gate = -1;
};

TEST_F(SheetIndex, EveryKindOfEditKeepsTheIndexedAnswersEqualToTheWalk) {
    // Gates in a row and a second row overlapping the first, wires between them, a buss, texts,
    // frames and elements.
    std::vector<SymbolRecord*> gates;
    for (int i = 0; i < 4; ++i) gates.push_back(Gate(int16_t(40 + i * 100), 40));
    for (int i = 0; i < 3; ++i) gates.push_back(Gate(int16_t(70 + i * 100), 60));
    Wire({At(106, 55), At(118, 55), At(118, 48), At(140, 48)});
    Wire({At(206, 55), At(224, 55), At(224, 170), At(300, 170)});
    Wire({At(180, 100), At(260, 100)});  // crosses the one before: two signals at one point
    Buss("D[0:3]", {{At(20, 200), At(420, 200)}, {At(420, 200), At(420, 300)}});
    TextRecord* label = CreateDrawingText(sheet, 0, 0, At(60, 150), "label");
    CreateDrawingText(sheet, 0, 0, At(62, 152), "overlapping label");
    CreateDrawingText(sheet, 0, kTextFlagHidden, At(80, 160), "hidden");
    Frame("a frame", 300, 250);
    Frame("two\rlines", 150, 260);
    ElementRecord* box = Element(kElementRect, At(250, 120), At(380, 180));
    Element(kElementLine, At(10, 10), At(500, 330));  // across everything
    Element(kElementRect, At(-3000, -2000), At(3000, 2500));  // over more cells than any other
    Element(kElementOval, At(32000, 32000), At(32760, 32760));  // far out, at the edge of the plane
    sheet->selectedTool = kDrawToolWire;

    struct Edit {
        const char* what;
        std::function<void()> make;
    };
    const Edit edits[] = {
        {"placed", [] {}},
        {"a gate added", [&] { gates.push_back(Gate(500, 40)); }},
        {"a gate unlinked and freed", [&] {
             RemoveSymbolFromSheet(sheet, gates.back(), true);
             gates.pop_back();
         }},
        {"an area selected", [&] { SelectArea(Rect{30, 30, 110, 260}); }},
        {"the selection moved", [&] { MoveDrawingSelection(sheet, 40, 24); }},
        {"the selection turned", [&] {
             TransformDrawingSelection(sheet, {kTransformFindCentre, kTransformFindCentre}, kTransformRotateRight);
         }},
        {"the selection mirrored", [&] {
             TransformDrawingSelection(sheet, {kTransformFindCentre, kTransformFindCentre}, kTransformMirrorHorizontal);
         }},
        {"the mirror undone", [&] { UndoSheetAction(sheet); }},
        {"the mirror redone", [&] { UndoSheetAction(sheet); }},
        {"copied and pasted", [&] {
             CopySheetSelection(sheet, false);
             Unselect(sheet);
             PasteIntoSheet(sheet);
         }},
        {"the paste moved", [&] { MoveDrawingSelection(sheet, 0, 90); }},
        {"the paste undone", [&] { UndoSheetAction(sheet); }},
        {"another area selected", [&] { SelectArea(Rect{0, 0, 400, 520}); }},
        {"the selection deleted", [&] { (void)DeleteSheetSelection(sheet, kUndoActionDelete, false, false); }},  // no question
        {"the delete undone", [&] { UndoSheetAction(sheet); }},
        {"a wire drawn", [&] { Wire({At(240, 262), At(240, 320), At(330, 320)}); }},
        {"a wire clicked from pin to pin", [&] {
             Unselect(sheet);
             SymbolRecord* from = Gate(40, 400);
             SymbolRecord* to = Gate(200, 420);
             (void)from;
             (void)to;
             const uint32_t signals = sheet->signalList->count;
             for (Point p : {At(106, 415), At(200, 428)}) {
                 TrackSheetMouseMovement(sheet, p, 0, 255);
                 RecordMouseClickTrackingState(sheet);
                 CloseTrackingOverlay();
                 CreateSignalClick(sheet);
             }
             CancelWireCreation(sheet);
             EXPECT_EQ(sheet->signalList->count, signals + 1) << "the clicks made no wire";
         }},
        {"a text changed", [&] {
             Rect area;
             ChangeSheetText(sheet, label, "a much longer label than it was", &area);
         }},
        {"an element resized by its model", [&] {
             box->rect = Rect{100, 200, 300, 460};
             CalcElementBounds(box);
         }},
        {"the symbol map purged", [&] { PurgeSymbolMap(sheet); }},
        {"everything selected and moved", [&] {
             SelectArea(Rect{-100, -100, 600, 700});
             MoveDrawingSelection(sheet, -12, 36);
         }},
        {"that move undone", [&] { UndoSheetAction(sheet); }},
    };
    for (const Edit& e : edits) {
        e.make();
        ExpectIndexMatchesWalk(sheet, e.what);
    }

    // The sheet saved and loaded: the loaded sheet answers as its own walk does.
    TempDir dir;
    FileSpec spec{};
    ASSERT_EQ(FileSpecFromURL(dir.path() + "/indexed.sch", &spec, false, nullptr), 0);
    ASSERT_EQ(WriteSheetFile(sheet, &spec), 0);
    SheetRecord* read = nullptr;
    ASSERT_EQ(LoadSheetFile(&spec, &read), 0);
    sheets.Keep(read);
    ExpectIndexMatchesWalk(read, "saved and loaded");
}

TEST_F(SheetIndex, ARubberBandTakesWhatTheWalkTakesInListOrder) {
    // A grid of gates with their wires; the bands cut through rows and columns.
    for (int i = 0; i < 60; ++i) {
        const auto h = int16_t(20 + (i % 10) * 88), v = int16_t(20 + (i / 10) * 44);
        Gate(h, v);
        Wire({At(int16_t(h + 66), int16_t(v + 15)), At(int16_t(h + 72), int16_t(v + 15)),
              At(int16_t(h + 72), int16_t(v + 25))});
    }
    for (const Rect& band : {Rect{0, 0, 140, 400}, Rect{30, 100, 250, 460}, Rect{60, 60, 61, 900},
                             Rect{-50, -50, 800, 1000}, Rect{300, 300, 300, 300}}) {
        SelectArea(band);
        ClearDrawingSelection(sheet);
    }
}

// The sheet's kept set of selected items answers as a walk of the flags does, through a seeded
// run of bands (adding, toggling, taking texts), clears, moves, deletes, pastes and undos.
TEST_F(SheetIndex, TheKeptSelectionEqualsTheWalkOfTheFlags) {
    for (int i = 0; i < 40; ++i) {
        const auto h = int16_t(20 + (i % 8) * 88), v = int16_t(20 + (i / 8) * 44);
        Gate(h, v);
        Wire({At(int16_t(h + 66), int16_t(v + 15)), At(int16_t(h + 72), int16_t(v + 15)),
              At(int16_t(h + 72), int16_t(v + 25))});
        if (i % 5 == 0) CreateDrawingText(sheet, 0, 0, At(int16_t(h + 10), int16_t(v + 34)), "note");
    }
    Buss("D[0:3]", {{At(20, 260), At(700, 260)}});
    Frame("a frame", 300, 300);
    Element(kElementRect, At(40, 300), At(120, 340));
    const auto expectInStep = [&](const std::string& what) {
        for (SheetItemKind kind : kKinds) {
            std::vector<void*> kept, walked;
            SheetSelectedItemsOf(sheet, kind, &kept);
            LinkListHeader* list = ListOf(sheet, kind);
            for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
                if (IsSheetItemSelected(kind, item)) walked.push_back(item);
            std::sort(kept.begin(), kept.end());
            std::sort(walked.begin(), walked.end());
            EXPECT_EQ(kept, walked) << kKindNames[size_t(kind)] << " after " << what;
        }
        EXPECT_TRUE(SheetSelectedItemsInStep(sheet)) << what;
    };
    std::mt19937 random(TestSeed());
    const auto coordinate = [&](int most) { return int16_t(int(random() % uint32_t(most)) - 20); };
    for (int step = 0; step < 120; ++step) {
        std::string what;
        switch (random() % 10) {
            case 0:
                what = "a clear";
                ClearDrawingSelection(sheet);
                break;
            case 1:
                what = "a move";
                MoveDrawingSelection(sheet, 8, 0);
                break;
            case 2:
                what = "a delete";
                (void)DeleteSheetSelection(sheet, kUndoActionDelete, false, false);
                break;
            case 3:
                what = "an undo";
                UndoSheetAction(sheet);
                break;
            case 4:
                what = "a copy and paste";
                CopySheetSelection(sheet, false);
                PasteIntoSheet(sheet);
                break;
            default: {
                const int16_t top = coordinate(300), left = coordinate(720);
                const Rect band{top, left, int16_t(top + coordinate(200) + 20), int16_t(left + coordinate(300) + 20)};
                const bool shift = random() % 2, option = random() % 4 == 0;
                what = std::string("a band") + (shift ? " with shift" : "") + (option ? " with option" : "");
                DoAreaSelection(sheet, &band, shift, option);
                break;
            }
        }
        expectInStep(what + " at step " + std::to_string(step));
    }
}

}  // namespace
}  // namespace plexa::test
