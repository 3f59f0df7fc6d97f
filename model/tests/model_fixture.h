// What the tests of texts, frames and themes share: the program's start-up through the core's
// entry point and the toolkit's windows, a small sheet with the lists that texts and frames live
// in, and styles in a fixed, named font so that metrics are stable.
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
#include "graphics/render.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"

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
        // The toolkit's part, for the tests that draw into windows.
        VXCoreInit();
        VXInitWindows();
        ASSERT_NE(GetOffScreenWindow(), nullptr);
        for (txStyle* style : gDefaultTextThemes.styles) SetStyleFont(style, kTestFont);
        SetStyleFont(gDefaultStyle, kTestFont);
        SetStyleSize(gDefaultStyle, 12);
    }

    void SetUp() override {
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

    // A text of the sheet's list, its bounds computed in the off-screen window.
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

// An off-screen window drawing into a white grey image that the test owns.
class Canvas {
public:
    Canvas(int width, int height) : pixels_(size_t(width * height), 0xFF) {
        bitmap_ = {pixels_.data(), width, height, width, DrawPixelFormat::kGrey8};
        VXWindowRecordTag* previous = vx.currentWindow;
        window_ = VXCreateOffScreenWindow(&bitmap_, 0, nullptr);
        if (QZInstallContext(window_->graf.port)) QZSetFocus(window_->graf.port, -1);
        VXSetWindow(previous);
    }
    ~Canvas() { VXDestroyWindow(window_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    VXWindowRecordTag* window() const { return window_; }
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
    VXWindowRecordTag* window_ = nullptr;
};

// A window that shows the sheet: an off-screen window of the sheet window's kind.
inline VXWindowRecordTag* MakeSheetWindow(SheetRecord* sheet) {
    VXWindowRecordTag* previous = vx.currentWindow;
    VXWindowRecordTag* window = VXCreateOffScreenWindow(nullptr, 0, sheet);
    window->typeID = kSheetWindowKind;
    VXSetWindow(previous);
    return window;
}

}  // namespace plexa::test
