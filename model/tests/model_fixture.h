// What the tests of texts, frames and themes share: the core's start-up (the composition root:
// platform fonts, memory, styles, the text pool), a small sheet with the lists that texts and
// frames live in, and styles in a fixed, named font so that metrics are stable.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "app/root.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/offscreen.h"
#include "graphics/render.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa::test {

// The font every test measures in.
constexpr const char* kTestFont = "DejaVu Sans";

class ModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (started) return;
        started = true;
        ASSERT_EQ(StartCore("model_tests"), 0);
        ASSERT_NE(VXGetMeasuringState(), nullptr);
        UseTestFont();
    }
    // The default themes and style in the test font. Each test sets them again: a test that gives
    // the sheet defaults back (the preferences' tests) leaves the built-in font behind.
    static void UseTestFont() {
        for (txStyle* style : gDefaultTextThemes.styles)
            if (style) SetStyleFont(style, kTestFont);
        SetStyleFont(gDefaultStyle, kTestFont);
        SetStyleSize(gDefaultStyle, 12);
    }

    void SetUp() override {
        UseTestFont();
        InstallCoreHooks();
        sheet.stringBlock = CreateStringBlock(gGenPool, 4096);
        sheet.textList = CreateTextList();
        sheet.textFrameList = CreateTextFrameList();
        sheet.styleList = CreateTextStyleList(gGenPool);
        sheet.symbolList = LLCreate(gGenPool, sizeof(SymbolRecord), 0);
        sheet.themeTable = &themes;
        ASSERT_TRUE(InitDefaultTextThemes(&themes));
        for (txStyle* style : themes.styles) SetStyleFont(style, kTestFont);
        VXSetRect(&sheet.sheetBounds, 0, 0, 1056, 816);
    }

    void TearDown() override {
        DestroySheetItemIndex(&sheet);
        DestroyTextList(sheet.textList);
        DestroyTextFrameList(sheet.textFrameList);
        DestroyTextStyleList(sheet.styleList);
        LLDispose(sheet.symbolList, true);
        DestroyStringBlock(sheet.stringBlock);
        FreeTextThemeTable(&themes);
        InstallCoreHooks();
    }

    // A style in the test font, owned by the test's style list.
    txStyle* Style(uint16_t size, uint16_t face = 0) {
        txStyle* scratch = CreateTextStyle(gGenPool, nullptr);
        SetStyleFont(scratch, kTestFont);
        SetStyleSize(scratch, size);
        SetStyleFace(scratch, face);
        txStyle* style = InstallStyleInList(scratch, sheet.styleList);
        DestroyTextStyle(scratch);
        return style;
    }

    // A placed symbol of the sheet.
    SymbolRecord* AddSymbol(uint32_t serial, uint32_t flags) {
        auto* symbol = static_cast<SymbolRecord*>(LLAppend(sheet.symbolList, nullptr));
        symbol->serial = serial;
        symbol->flags = flags;
        symbol->secondMapId = -1;
        return symbol;
    }

    // A text of the sheet's list, its bounds computed in the measuring state.
    TextRecord* AddText(const char* string, uint16_t kind = 0, uint16_t flags = 0,
                        Point position = {100, 200}, uint16_t size = 12) {
        TextRecord* text = CreateTextElement();
        LLAppend(sheet.textList, text);
        text->kind = kind;
        text->flags = flags;
        text->style = Style(size);
        SetupTheText(text, sheet.stringBlock, position, nullptr, string);
        return text;
    }

    std::string String(const TextRecord* text) {
        char buffer[kStringSpecBufferSize];
        GetTextRecordString(text, sheet.stringBlock, buffer, sizeof buffer);
        return buffer;
    }

    static std::u16string FrameSource(TextFrameHandle frame, bool displayed = false) {
        uint32_t length = 0;
        const char16_t* text = GetTextFrameUnicodeText(frame, displayed, &length);
        return std::u16string(text, length);
    }

    SheetRecord sheet{};
    TextThemeTable themes{};
};

// The built-in defaults (InitSheetDefaults) while the object lives; afterwards the defaults are
// as they were and the default themes back in the test font.
class BuiltInDefaults {
public:
    BuiltInDefaults() : saved_(gDefSheetSettings) {
        gDefSheetSettings.stringBlock = nullptr;
        gDefSheetSettings.attributes = nullptr;
        EXPECT_EQ(InitSheetDefaults(), 0);
    }
    ~BuiltInDefaults() {
        DestroyStringBlock(gDefSheetSettings.stringBlock);
        if (gDefSheetSettings.attributes) MemFree(gDefSheetSettings.attributes);
        gDefSheetSettings = saved_;
        for (txStyle* style : gDefaultTextThemes.styles) SetStyleFont(style, kTestFont);
    }
    BuiltInDefaults(const BuiltInDefaults&) = delete;
    BuiltInDefaults& operator=(const BuiltInDefaults&) = delete;

private:
    SheetSettings saved_;
};

// A row of the mirror and rotation tables of texts and frames: flags and a transformation code,
// the flags and position after it (the position before is {10, 20}, the origin {0, 0}).
struct TransformCase {
    uint16_t flags;
    int32_t code;
    uint16_t flagsAfter;
    Point positionAfter;
};

// An off-screen graphics state drawing into a white grey image that the test owns.
class Canvas {
public:
    Canvas(int width, int height) : pixels_(size_t(width * height), 0xFF) {
        bitmap_ = {pixels_.data(), width, height, width, DrawPixelFormat::kGrey8};
        state_ = VXNewOffScreenState(&bitmap_);
        if (state_ && QZInstallContext(state_->port)) QZSetFocus(state_->port, -1);
    }
    ~Canvas() { VXDisposeOffScreenState(state_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    VXGrafState* state() const { return state_; }
    void Clear() { std::fill(pixels_.begin(), pixels_.end(), 0xFF); }
    const std::vector<uint8_t>& pixels() const { return pixels_; }
    // The box of the ink: left, top, right, bottom (exclusive); all -1 when there is none.
    std::array<int, 4> Ink() const {
        std::array<int, 4> box{bitmap_.width, bitmap_.height, -1, -1};
        for (int y = 0; y < bitmap_.height; y++)
            for (int x = 0; x < bitmap_.width; x++)
                if (pixels_[size_t(y * bitmap_.width + x)] < 128) {
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x + 1), box[3] = std::max(box[3], y + 1);
                }
        if (box[2] < 0) box = {-1, -1, -1, -1};
        return box;
    }

private:
    std::vector<uint8_t> pixels_;
    QZBitmap bitmap_{};
    VXGrafState* state_ = nullptr;
};

// A stand-in for the window that shows the sheet, as the sheet editor's would be seen from the
// model: its graphics state is an off-screen one, its sheet is found through the model's hook, and
// the sheet lets it go when destroyed (refCon cleared). The hooks are installed here (over what
// the test installed); DestroySheetWindow frees it.
struct SheetWindowStandIn {
    VXGrafState* state;
    SheetRecord* refCon;
};

inline VXWindowRecordTag* MakeSheetWindow(SheetRecord* sheet) {
    auto* window = new SheetWindowStandIn{VXNewOffScreenState(nullptr), sheet};
    VXGrafHooks graf = VXGetGrafHooks();
    graf.ownerState = [](void* target) { return static_cast<SheetWindowStandIn*>(target)->state; };
    VXSetGrafHooks(graf);
    ModelHooks model = GetModelHooks();
    model.windowSheet = [](VXWindowRecordTag* w) {
        return reinterpret_cast<SheetWindowStandIn*>(w)->refCon;
    };
    model.detachSheetWindows = [](SheetRecord* sheet) {
        if (sheet->window) reinterpret_cast<SheetWindowStandIn*>(sheet->window)->refCon = nullptr;
    };
    SetModelHooks(model);
    return reinterpret_cast<VXWindowRecordTag*>(window);
}

inline SheetWindowStandIn* StandIn(VXWindowRecordTag* window) {
    return reinterpret_cast<SheetWindowStandIn*>(window);
}

inline void DestroySheetWindow(VXWindowRecordTag* window) {
    if (!window) return;
    VXDisposeOffScreenState(StandIn(window)->state);
    delete StandIn(window);
    VXGrafHooks graf = VXGetGrafHooks();
    graf.ownerState = nullptr;
    VXSetGrafHooks(graf);
}

}  // namespace plexa::test
