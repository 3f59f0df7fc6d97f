// Symbols laid down from the pixels kept of an earlier symbol of the same definition: byte for
// byte what playing each definition anew gives, over a background that every blend shows, with
// symbols overlapping, in all eight orientations, at 100 %, at scales whose factors are whole
// fractions and zoomed in to 200, 400 and 800 %; and a definition changed in place, or a colour changed, is drawn anew.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/windowgeometry.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/offscreen.h"
#include "graphics/regions.h"
#include "graphics/render.h"
#include "model/drawglobals.h"
#include "model/symboldraw.h"
#include "model/tests/gate_symbol.h"
#include "model/tests/symbol_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

constexpr int kWidth = 640, kHeight = 400;

// Preference colour i: a colour of its own, shifted by gShift so that a test can change them all.
uint32_t gShift = 0;
VXColor IndexColor(int16_t index) { return (0x00204080 + uint32_t(index) * 0x00302010 + gShift) & 0x00FFFFFF; }

// An off-screen window of premultiplied pixels, as a sheet window's backing image is.
class PixelWindow {
public:
    explicit PixelWindow(int32_t scale) : pixels_(size_t(kWidth) * kHeight) {
        bitmap_ = {reinterpret_cast<uint8_t*>(pixels_.data()), kWidth, kHeight, kWidth * 4, DrawPixelFormat::kARGB32};
        state_ = VXNewOffScreenState(&bitmap_);
        if (state_ && QZInstallContext(state_->port)) QZSetFocus(state_->port, -1);
        if (state_ && scale != kFixed24One) SetWindowScaleFactors(&state_->geometry, scale, scale);
        Clear();
    }
    ~PixelWindow() { VXDisposeOffScreenState(state_); }
    PixelWindow(const PixelWindow&) = delete;
    PixelWindow& operator=(const PixelWindow&) = delete;

    VXGrafState* state() const { return state_; }
    const std::vector<uint32_t>& pixels() const { return pixels_; }
    // A background of every grey and hue, so that each blend of a part-covered pixel shows.
    void Clear() {
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++)
                pixels_[size_t(y * kWidth + x)] =
                    0xFF000000u | uint32_t((x * 7) & 255) << 16 | uint32_t((y * 5) & 255) << 8 | uint32_t((x + y) * 3 & 255);
    }

private:
    std::vector<uint32_t> pixels_;
    QZBitmap bitmap_{};
    VXGrafState* state_ = nullptr;
};

class CapturedSymbols : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        SheetColorHooks hooks;
        hooks.setForeColor = [](int16_t index) { QZSetColor(nullptr, IndexColor(index), false); };
        hooks.colorPreferred = [] { return true; };
        SetSheetColorHooks(hooks);
        flags_ = gGenFlags;
        gGenFlags = kGenColorDrawing;
        gShift = 0;
        ForgetCapturedSymbols();
    }
    void TearDown() override {
        ForgetCapturedSymbols();
        gGenFlags = flags_;
        SheetTest::TearDown();
    }

    // The map id of a definition of the elements (and the texts, which it takes over).
    int32_t Define(const std::vector<ElementRecord*>& list, LinkListHeader* texts = nullptr) {
        LinkListHeader* elements = CreateElementList(sheet.imageList);
        for (ElementRecord* e : list) LLAppend(elements, e);
        Handle data = ElementsToSymbolData(elements, texts, nullptr, sheet.stringBlock, false, sheet.imageList);
        if (texts) DestroyTextList(texts);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        if (!data) return -1;
        const int32_t id = AddSymbolToMap(sheet.symbolMap, *data, int32_t(SizeOfHandle(data)), sheet.imageList);
        MemFree(data);
        return id;
    }

    // Pins of both widths with a bubble, filled shapes in their own colours and the body colour,
    // a rounded rectangle, an arc and a polygon.
    int32_t MixedDefinition() {
        const Point corners[4] = {{40, 12}, {52, 20}, {44, 34}, {40, 12}};
        Handle points = AllocHandleWithData(nullptr, corners, sizeof corners);
        ElementRecord* poly = BuildPolyElement(4, points, 1, true, true, 0x00C02040, false, 0, false);
        MemFree(points);
        return Define({
            BuildNodeElement({6, 0}, {6, 10}, 1, 0, false, 0, false, 0, false, 0),
            BuildNodeElement({20, 0}, {20, 10}, 2, 0, false, 0, false, 0, false, 0),
            BuildNodeElement({14, 66}, {14, 52}, 1, 3, true, 0, false, 0, false, 0),
            BuildCommonElement(kElementRoundRect, {0, 10}, {30, 46}, 1, 8, 8, true, false, 0, true, 0x0080C0, false),
            BuildCommonElement(kElementOval, {3, 14}, {13, 25}, 2, 0, 0, true, false, 0, false, 0, false),
            BuildCommonElement(kElementArc, {16, 14}, {28, 30}, 1, 45, 200, false, true, 0x00A0A000, false, 0, false),
            poly,
        });
    }

    // Pins and a body with texts of the kinds a definition records: a pin number, a pin name, a
    // designator and a free text (their records end the play of the graphics).
    int32_t TextDefinition() {
        LinkListHeader* texts = CreateTextList();
        const struct {
            uint16_t kind;
            const char* string;
            Point at;
        } items[] = {{0x4000, "1", {6, 2}}, {0x8001, "OUT", {13, 24}}, {kTextKindCompDesignator, "U?", {-4, 12}},
                     {kTextKindFree, "note", {40, 12}}};
        for (const auto& item : items) {
            TextRecord* text = CreateTextElement();
            LLAppend(texts, text);
            text->kind = item.kind;
            text->style = Style(10);
            SetupTheText(text, sheet.stringBlock, item.at, nullptr, item.string);
        }
        return Define({BuildNodeElement({8, 0}, {8, 10}, 1, 0, false, 0, false, 0, false, 0),
                       BuildNodeElement({15, 46}, {15, 36}, 2, 0, false, 0, false, 0, false, 0),
                       BuildCommonElement(kElementRect, {0, 10}, {30, 36}, 1, 0, 0, false, false, 0, false, 0, false)},
                      texts);
    }

    // A body holding a colour image and a one-bit image on a fill, beside a pin.
    int32_t ImageDefinition() {
        return Define({
            BuildNodeElement({10, 0}, {10, 10}, 1, 0, false, 0, false, 0, false, 0),
            BuildCommonElement(kElementRect, {0, 10}, {24, 40}, 1, 0, 0, false, false, 0, false, 0, false),
            BuildImageElement(sheet.imageList, ColourImage(9, 7, 0x336699, true), 0, {2, 12}, 9, 7, 72, 72, false,
                              false, 0, false, 0),
            BuildImageElement(sheet.imageList, GreyImage(6, 6, 4), 1, {12, 28}, 6, 6, 72, 72, true, false, 0, false,
                              0),
        });
    }

    // The shipped parts as their description draws them (resources/libraries/Basic Parts.txt,
    // from which the build writes the default library): one definition an item, the pins first;
    // `ports` gets those of the wire symbols (ground and power), `parts` the others.
    void DefineShippedParts(std::vector<int32_t>* parts, std::vector<int32_t>* ports) {
        std::ifstream in(SourcePath("resources/libraries/Basic Parts.txt"));
        ASSERT_TRUE(in.good());
        std::vector<ElementRecord*> pins, shapes;
        bool wireSymbol = false;
        for (std::string line; std::getline(in, line);) {
            std::istringstream words(line);
            std::string word;
            words >> word;
            std::vector<int16_t> v;
            const auto numbers = [&] {
                for (int16_t n; words >> n;) v.push_back(n);
            };
            if (word == "item" || word == "wire-symbol") {
                wireSymbol = word == "wire-symbol";
            } else if (word == "pin") {
                std::string number, name, type;
                words >> number >> name >> type;
                numbers();
                ASSERT_GE(v.size(), 4u) << line;
                pins.push_back(BuildNodeElement({v[0], v[1]}, {v[2], v[3]}, 1, 0, false, 0, false, 0, false, 0));
            } else if (word == "poly") {
                numbers();
                Handle points = AllocHandleWithData(gGenPool, v.data(), uint32_t(v.size() * sizeof(int16_t)));
                shapes.push_back(BuildPolyElement(int16_t(v.size() / 2), points, 1, false, false, 0, false, 0, false));
                MemFree(points);
            } else if (word == "line" || word == "rect" || word == "oval") {
                numbers();
                ASSERT_EQ(v.size(), 4u) << line;
                const uint8_t kind = word == "line" ? kElementLine : word == "rect" ? kElementRect : kElementOval;
                shapes.push_back(BuildCommonElement(kind, {v[0], v[1]}, {v[2], v[3]}, 1, 0, 0, false, false, 0, false,
                                                    0, false));
            } else if (word == "end") {
                pins.insert(pins.end(), shapes.begin(), shapes.end());
                (wireSymbol ? ports : parts)->push_back(Define(pins));
                pins.clear();
                shapes.clear();
            }
        }
        EXPECT_TRUE(pins.empty() && shapes.empty());
        EXPECT_GE(parts->size(), 8u);
        EXPECT_GE(ports->size(), 3u);
    }

    // Symbols of the definitions in rows, in all eight orientations, each overlapping the next.
    void PlaceRows(const std::vector<int32_t>& ids, Point origin, int16_t pitchH, int16_t pitchV,
                   uint32_t flags = 0) {
        for (size_t row = 0; row < ids.size(); row++)
            for (uint32_t transform = 0; transform < 16; transform++) {
                const Point at{int16_t(origin.v + int16_t(row) * pitchV + int16_t(transform % 3)),
                               int16_t(origin.h + int16_t(transform) * pitchH)};
                Place(ids[row], at, (transform & kSymbolFlagTransform) | flags);
            }
    }

    // Every symbol of the sheet in list order: through DrawSymbol, or by playing its definition
    // anew as DrawSymbol would.
    void DrawAll(PixelWindow& window, bool kept) {
        window.Clear();
        for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet.symbolList)); symbol; symbol = symbol->next) {
            if (kept) {
                DrawSymbol(&sheet, symbol, sheet.imageList, window.state(), true);
                continue;
            }
            SymbolMapEntry* entry = nullptr;
            GetSymbolInstanceInfo(&sheet, symbol, &entry, nullptr, 1);
            ASSERT_NE(entry, nullptr);
            // A port symbol takes its net's colour for pins and body and shows no port markers.
            int16_t pins = kColorIndexPins, body = kColorIndexGraphics;
            if (symbol->flags & kSymbolFlagPort)
                pins = body = (symbol->flags & kSymbolFlagBussPort) ? kColorIndexBussPort : kColorIndexPort;
            DrawSymbolGraphics(window.state(), entry->definition, entry->size, sheet.imageList, symbol->position,
                               pins, body, int32_t(symbol->flags & kSymbolFlagTransform),
                               !(symbol->flags & kSymbolFlagPort));
        }
    }

    // Both drawings in windows of the scale: the same pixels, and (with `someKept`) some of them
    // kept pixels.
    void ExpectKeptAsPlayed(int32_t scale, bool someKept = true) {
        PixelWindow played(scale), kept(scale);
        DrawAll(played, false);
        ForgetCapturedSymbols();
        DrawAll(kept, true);
        const size_t captured = CapturedSymbolCount();
        if (someKept) {
            EXPECT_GT(captured, 0u);
        }
        size_t symbols = 0;
        for (void* s = LLFirst(sheet.symbolList); s; s = LLGetNext(sheet.symbolList, s)) symbols++;
        EXPECT_LT(captured, symbols);
        ExpectSamePixels(played, kept);
        PixelWindow clean(scale);
        EXPECT_NE(kept.pixels(), clean.pixels());  // something was drawn
        // Drawn again, every symbol comes from kept pixels: still the same.
        DrawAll(kept, true);
        EXPECT_EQ(CapturedSymbolCount(), captured);
        ExpectSamePixels(played, kept);
    }

    static void ExpectSamePixels(const PixelWindow& a, const PixelWindow& b) {
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < a.pixels().size(); i++)
            if (a.pixels()[i] != b.pixels()[i] && differing++ == 0) first = i;
        EXPECT_EQ(differing, 0u) << "first at (" << first % kWidth << ", " << first / kWidth << "): "
                                 << std::hex << a.pixels()[first] << " played, " << b.pixels()[first] << " kept";
    }

    uint32_t flags_ = 0;
};

TEST_F(CapturedSymbols, KeptPixelsAreThePlayedPixelsAt100Percent) {
    PlaceRows({AddGateSymbolDefinition(&sheet), MixedDefinition()}, {60, 60}, 34, 90);
    ExpectKeptAsPlayed(kFixed24One);
}

TEST_F(CapturedSymbols, KeptPixelsAreThePlayedPixelsAtHalfAndQuarterScale) {
    PlaceRows({AddGateSymbolDefinition(&sheet), MixedDefinition()}, {120, 121}, 67, 181);
    ExpectKeptAsPlayed(kFixed24One / 2);
    ForgetCapturedSymbols();
    ExpectKeptAsPlayed(kFixed24One / 4);
}

// From 400 % on a symbol's pens are wider than two pixels: its lines are stroked by the painter,
// which a capture cannot hold, so nothing is kept and every symbol is played anew.
constexpr int32_t kZoomStillKept = 2;

// Zoomed in, every kind of definition is laid down from kept pixels exactly as it is played anew:
// plain gates, pins of both widths with a bubble, filled shapes in their own and in the body
// colour, rounded rectangles, arcs and polygons, texts, images, and the gate as the port symbol
// of a net and of a buss; in all eight orientations, overlapping, and partly outside the window.
TEST_F(CapturedSymbols, KeptPixelsAreThePlayedPixelsZoomedIn) {
    const int32_t gate = AddGateSymbolDefinition(&sheet);
    PlaceRows({gate, MixedDefinition(), TextDefinition(), ImageDefinition()}, {4, 3}, 5, 12);
    PlaceRows({gate}, {52, 3}, 5, 0, kSymbolFlagPort);
    PlaceRows({gate}, {60, 6}, 5, 0, kSymbolFlagPort | kSymbolFlagBussPort);
    for (int32_t zoom : {2, 4, 8}) {
        SCOPED_TRACE(zoom);
        ForgetCapturedSymbols();
        ExpectKeptAsPlayed(kFixed24One * zoom, zoom <= kZoomStillKept);
    }
}

// The shipped parts zoomed in, each in its eight orientations, the ground and power symbols as
// port symbols: laid down from kept pixels exactly as played anew.
TEST_F(CapturedSymbols, ShippedPartsKeptAsPlayedZoomedIn) {
    std::vector<int32_t> parts, ports;
    DefineShippedParts(&parts, &ports);
    PlaceRows(parts, {26, 26}, 9, 10);
    PlaceRows(ports, {int16_t(30 + 10 * int(parts.size())), 30}, 9, 10, kSymbolFlagPort);
    for (int32_t zoom : {1, 2, 4, 8}) {
        SCOPED_TRACE(zoom);
        ForgetCapturedSymbols();
        ExpectKeptAsPlayed(kFixed24One * zoom, zoom <= kZoomStillKept);
    }
}

// Drawn first where nothing can be kept (a clip of two rectangles leaves every operation to the
// painter), the symbols are kept the next time they are drawn where they can be.
TEST_F(CapturedSymbols, SymbolsFirstDrawnWhereNothingIsKeptAreKeptLater) {
    PlaceRows({AddGateSymbolDefinition(&sheet)}, {60, 60}, 34, 90);
    PixelWindow played(kFixed24One), kept(kFixed24One);
    const LRect halves[2] = {{0, 0, kHeight, kWidth / 2}, {0, kWidth / 2, kHeight, kWidth}};
    VXRgn* clip = VXCreateRgn(&halves[0]);
    VXAddRectToRgn(clip, &halves[1]);
    VXSectClipRgn(kept.state(), clip, true);
    DrawAll(kept, true);
    VXPopClip(kept.state());
    VXDestroyRgn(clip);
    EXPECT_EQ(CapturedSymbolCount(), 0u);
    DrawAll(played, false);
    DrawAll(kept, true);
    EXPECT_GT(CapturedSymbolCount(), 0u);
    ExpectSamePixels(played, kept);
}

TEST_F(CapturedSymbols, AChangedDefinitionOrColourIsDrawnAnew) {
    const int32_t gate = AddGateSymbolDefinition(&sheet);
    // The same gate with a narrower body: data of the same size that draws otherwise.
    const int32_t narrow = Define({
        BuildNodeElement({8, 0}, {8, 10}, 1, 0, false, 0, false, 0, false, 0),
        BuildNodeElement({22, 0}, {22, 10}, 1, 0, false, 0, false, 0, false, 0),
        BuildNodeElement({15, 66}, {15, 56}, 1, 0, false, 0, false, 0, false, 0),
        BuildCommonElement(kElementRect, {0, 10}, {30, 44}, 1, 0, 0, false, false, 0, false, 0, false),
        BuildCommonElement(kElementOval, {12, 50}, {18, 56}, 1, 0, 0, false, false, 0, false, 0, false),
    });
    PlaceRows({gate}, {60, 60}, 34, 90);
    PixelWindow before(kFixed24One), played(kFixed24One), kept(kFixed24One);
    DrawAll(before, true);

    gShift = 0x00102030;  // every preference colour changes
    DrawAll(played, false);
    DrawAll(kept, true);
    ExpectSamePixels(played, kept);
    EXPECT_NE(before.pixels(), kept.pixels());

    SymbolRecord probe{};
    probe.mapId = gate;
    SymbolMapEntry* gateEntry = nullptr;
    GetSymbolInstanceInfo(&sheet, &probe, &gateEntry, nullptr, 1);
    probe.mapId = narrow;
    SymbolMapEntry* narrowEntry = nullptr;
    GetSymbolInstanceInfo(&sheet, &probe, &narrowEntry, nullptr, 1);
    ASSERT_TRUE(gateEntry && narrowEntry);
    ASSERT_EQ(gateEntry->size, narrowEntry->size);
    std::memcpy(gateEntry->definition, narrowEntry->definition, size_t(gateEntry->size));  // changed in place
    PixelWindow changedPlayed(kFixed24One), changedKept(kFixed24One);
    DrawAll(changedPlayed, false);
    DrawAll(changedKept, true);
    ExpectSamePixels(changedPlayed, changedKept);
    EXPECT_NE(changedKept.pixels(), kept.pixels());
}

}  // namespace
}  // namespace plexa::test
