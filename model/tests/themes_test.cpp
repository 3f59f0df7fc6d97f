// Text themes and font preferences: the theme-id table and names, theme styles of texts and
// frames, re-applying themes, the style purge, old sizes, the overscore height, the stored theme
// table and the stored excluded fonts (hand-written fixtures in both byte orders, round trips,
// truncated and mutated inputs, and reading in a pool that runs out).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/geometry.h"
#include "foundation/stream.h"
#include "graphics/fonts.h"
#include "model/tests/model_fixture.h"
#include "model/tests/model_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

class Themes : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        saved_ = gFontPrefs;
        gFontPrefs = nullptr;
        SchStylesInit();
    }
    void TearDown() override {
        DestroyFontPrefs();
        gFontPrefs = saved_;
        ModelTest::TearDown();
    }

    // A read stream over bytes, swapping when asked.
    struct Input {
        Input(const std::string& bytes, bool swap) {
            handle = AllocHandleWithData(gGenPool, bytes.data(), uint32_t(bytes.size()));
            EXPECT_EQ(status::kNoErr, CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream));
            EnableStreamReadByteSwap(stream, swap);
        }
        ~Input() {
            DisposeStream(stream);
            MemFree(handle);
        }
        Handle handle = nullptr;
        StreamRecord* stream = nullptr;
    };

    // What a writer puts out.
    template <typename Write>
    static std::string Written(Write write) {
        Handle handle = AllocHandle(gGenPool, 0);
        StreamRecord* stream = nullptr;
        EXPECT_EQ(status::kNoErr, CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream));
        EXPECT_EQ(write(stream), 0);
        std::string bytes(*handle, SizeOfHandle(handle));
        DisposeStream(stream);
        MemFree(handle);
        return bytes;
    }

    static std::vector<std::string> Excluded() {
        std::vector<std::string> names;
        auto* prefs = reinterpret_cast<FontPrefsRecord*>(*gFontPrefs);
        for (uint32_t i = 0; i < prefs->count; i++) {
            char name[256];
            ExtractStringSpec(prefs->specs[i], prefs->block, name, sizeof name);
            names.push_back(name);
        }
        return names;
    }

    Handle saved_ = nullptr;
};

// ---- Themes of texts and frames ----

TEST_F(Themes, ThemeIdTable) {
    AddSymbol(4, kSymbolFlagPort);
    AddSymbol(5, kSymbolFlagPort | kSymbolFlagBussPort);
    const struct {
        uint16_t kind, flags;
        uint32_t owner;
        int32_t theme;
    } cases[] = {
        {kTextKindFree, 0, 0, 0},
        {kTextKindSignal, 0, 0, 6},
        {kTextKindSignal, kTextFlagBoxed, 0, 8},  // a simulator node value
        {kTextKindBuss, 0, 0, 7},
        {16, 0, 0, 0},
        {kTextKindCompDesignator, 0, 0, 2},
        {kTextKindSymbolName, 0, 0, 1},
        {19, 0, 0, 0},
        {20, 0, 0, 0},
        {kTextKindNetSymbol, 0, 4, 6},
        {kTextKindNetSymbol, 0, 5, 7},  // the port names a buss
        {kTextKindNetSymbol, 0, 9, 6},  // no such symbol
        {kTextKindSymbolAttribute, 0, 0, 5},
        {kTextKindDesignator, 0, 0, 2},
        {24, 0, 0, 0},
        {kTextKindPinNumber + 7, 0, 0, 3},
        {kTextKindPinName, 0, 0, 4},
        {kTextKindPinName + 0x3FFF, 0, 0, 4},
        {kTextKindPinAttribute + 7, 0, 0, 3},
        {0xFFFF, 0, 0, 3},
    };
    TextRecord text{};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " flags " << c.flags);
        text.kind = c.kind;
        text.flags = c.flags;
        text.owner = TextOwnerSerial(c.owner);
        EXPECT_EQ(GetTextThemeId(&sheet, &text), c.theme);
        EXPECT_EQ(GetTextThemeStyle(&sheet, &text), themes.styles[c.theme]);
        EXPECT_EQ(GetTextThemeStyle(nullptr, &text),
                  gDefaultTextThemes.styles[c.kind == kTextKindNetSymbol ? 6 : c.theme]);
    }

    const char* names[] = {"Independent Text", "Symbol Names", "Ref. Designators",
                           "Pin Numbers",      "Pin Names",    "Symbol Owned",
                           "Signal Names",     "Bus Names",    "Spice Node Values"};
    char name[32];
    for (int32_t theme = 0; theme < kTextThemeCount; theme++) {
        GetTextThemeName(theme, name, sizeof name);
        EXPECT_STREQ(name, names[theme]);
    }
    for (int32_t theme : {9, 100, -1}) {
        GetTextThemeName(theme, name, sizeof name);
        EXPECT_STREQ(name, "");
    }
    GetTextThemeName(8, name, 6);
    EXPECT_STREQ(name, "Spice");

    // An empty entry falls back to the default style.
    txStyle* kept = themes.styles[2];
    themes.styles[2] = nullptr;
    text.kind = kTextKindDesignator;
    EXPECT_EQ(GetTextThemeStyle(&sheet, &text), gDefaultStyle);
    themes.styles[2] = kept;
}

TEST_F(Themes, FrameThemes) {
    TextFrameHandle free = CreateTextFrame("note", -1, kEncodingUTF8);
    TextFrameHandle owned = CreateTextFrame("{RefDes}", -1, kEncodingUTF8);
    TextFrameHandle name = CreateTextFrame("{Name}", -1, kEncodingUTF8);
    (*owned)->owner = 3;
    EXPECT_EQ(GetTextFrameThemeId(&sheet, free), 0);
    EXPECT_EQ(GetTextFrameThemeId(&sheet, owned), 5);
    EXPECT_EQ(GetTextFrameThemeId(nullptr, free), 5);
    EXPECT_EQ(GetTextFrameThemeStyle(&sheet, free), themes.styles[0]);
    EXPECT_EQ(GetTextFrameThemeStyle(&sheet, owned), themes.styles[5]);
    EXPECT_EQ(GetSymbolEditorTextFrameThemeStyle(owned), gDefaultTextThemes.styles[2]);
    EXPECT_EQ(GetSymbolEditorTextFrameThemeStyle(name), gDefaultTextThemes.styles[1]);
    EXPECT_EQ(GetSymbolEditorTextFrameThemeStyle(free), gDefaultTextThemes.styles[5]);
    for (TextFrameHandle frame : {free, owned, name}) DestroyTextFrame(frame);
}

TEST_F(Themes, InstallingStyleFields) {
    TextRecord* text = AddText("x", 0, 0, {10, 10}, 12);
    txStyle* big = CreateTextStyle(gGenPool, nullptr);
    SetStyleFont(big, "Times");
    SetStyleSize(big, 30);
    SetStyleFace(big, kFaceBold);
    InstallStyleInText(text, big, kStyleSize, sheet.styleList);
    EXPECT_EQ(text->style->size, 30);
    EXPECT_EQ(text->style->face, 0);
    char font[256];
    GetStyleFont(text->style, font);
    EXPECT_STREQ(font, kTestFont);
    EXPECT_EQ(FindMatchingStyleInList(sheet.styleList, text->style), text->style);
    // A text without a style starts from the default style.
    TextRecord bare{};
    InstallStyleInText(&bare, big, kStyleFace, sheet.styleList);
    ASSERT_NE(bare.style, nullptr);
    EXPECT_EQ(bare.style->face, kFaceBold);
    EXPECT_EQ(bare.style->size, gDefaultStyle->size);
    DestroyTextStyle(big);
}

TEST_F(Themes, ChangedThemesAreAppliedAgain) {
    TextRecord* label = AddText("NET1", kTextKindSignal, kTextFlagThemed, {100, 100}, 10);
    TextRecord* value =
        AddText("1.25V", kTextKindSignal, kTextFlagThemed | kTextFlagBoxed, {200, 100}, 10);
    TextRecord* hidden =
        AddText("R1", kTextKindDesignator, kTextFlagThemed | kTextFlagHidden, {300, 100}, 12);
    TextRecord* plain = AddText("free", kTextKindFree, 0, {400, 100}, 12);
    TextFrameHandle frame = CreateTextFrame("frame", -1, kEncodingUTF8);
    (*frame)->style = Style(12);
    (*frame)->flags = kFrameFlagThemed;
    (*frame)->position = {500, 100};
    LLAppend(sheet.textFrameList, frame);
    CalcTextFrameBounds(nullptr, frame, true, 1000);

    SetStyleSize(themes.styles[kThemeSignalNames], 20);
    SetStyleSize(themes.styles[kThemeSpiceNodeValues], 20);
    SetStyleSize(themes.styles[kThemeRefDesignators], 20);
    SetStyleSize(themes.styles[kThemeIndependentText], 20);
    const Rect valueBefore = value->bounds, labelBefore = label->bounds,
               frameBefore = (*frame)->bounds;
    const Rect plainBefore = plain->bounds;
    Rect area;
    VXSetEmptyRect(&area);
    RebuildDefaultStyleText(sheet.textList, sheet.textFrameList, sheet.styleList, sheet.stringBlock,
                            &sheet, nullptr, &area);
    for (TextRecord* text : {label, value, hidden}) EXPECT_EQ(text->style->size, 20);
    EXPECT_EQ(plain->style->size, 12);
    EXPECT_TRUE(VXEqualRect(&plain->bounds, &plainBefore));
    EXPECT_EQ((*frame)->style->size, 20);
    EXPECT_GT(label->bounds.bottom - label->bounds.top, labelBefore.bottom - labelBefore.top);
    // The boxed value keeps its bottom edge.
    EXPECT_EQ(value->bounds.bottom, valueBefore.bottom);
    EXPECT_LT(value->bounds.top, valueBefore.top);
    // The area covers what changed and was shown, and not the hidden text.
    Rect covered = labelBefore;
    for (const Rect& r : {label->bounds, valueBefore, value->bounds, frameBefore, (*frame)->bounds})
        VXUnionRect(&covered, &r, &covered);
    EXPECT_TRUE(VXEqualRect(&area, &covered));

    // Without a sheet the symbol editor's themes apply.
    SetStyleSize(gDefaultTextThemes.styles[kThemeSignalNames], 9);
    RebuildDefaultStyleText(sheet.textList, nullptr, sheet.styleList, sheet.stringBlock, nullptr,
                            nullptr, nullptr);
    EXPECT_EQ(label->style->size, 9);
    SetStyleSize(gDefaultTextThemes.styles[kThemeSignalNames], 10);
}

TEST_F(Themes, PurgeMergesEqualStylesAndDropsUnusedOnes) {
    // Two equal styles (made apart from the list's search), one unused, one used by a frame.
    auto make = [&](uint16_t size) {
        txStyle* style = CreateTextStyle(gGenPool, nullptr);
        SetStyleFont(style, kTestFont);
        SetStyleSize(style, size);
        return static_cast<txStyle*>(LLAppend(sheet.styleList, style));
    };
    txStyle* first = make(11);
    txStyle* twin = make(11);
    make(13);
    txStyle* framed = make(15);
    TextRecord* a = AddText("a");
    TextRecord* b = AddText("b");
    a->style = first;
    b->style = twin;
    TextFrameHandle frame = CreateTextFrame("f", -1, kEncodingUTF8);
    (*frame)->style = framed;
    LLAppend(sheet.textFrameList, frame);
    TextFrameHandle twinFrame = CreateTextFrame("g", -1, kEncodingUTF8);
    (*twinFrame)->style = twin;
    LLAppend(sheet.textFrameList, twinFrame);

    PurgeStyleList(sheet.styleList, sheet.textList, sheet.textFrameList);
    EXPECT_EQ(a->style, first);
    EXPECT_EQ(b->style, first);
    EXPECT_EQ((*twinFrame)->style, first);
    EXPECT_EQ(sheet.styleList->count, 2u);  // the default style went too: nothing uses it
    std::vector<void*> left;
    for (void* item = LLFirst(sheet.styleList); item; item = LLGetNext(sheet.styleList, item))
        left.push_back(item);
    EXPECT_EQ(left, (std::vector<void*>{first, framed}));

    // A list whose texts use the default style keeps one.
    a->style = InstallStyleInList(gDefaultStyle, sheet.styleList);
    PurgeStyleList(sheet.styleList, sheet.textList, sheet.textFrameList);
    EXPECT_EQ(sheet.styleList->count, 3u);
    EXPECT_NE(FindMatchingStyleInList(sheet.styleList, gDefaultStyle), nullptr);
}

TEST_F(Themes, OldSizesBecomeNewOnes) {
    const uint16_t sizes[][2] = {{7, 9},   {8, 9},   {9, 12},  {10, 12}, {11, 15}, {12, 14},
                                 {14, 18}, {18, 24}, {24, 32}, {1, 1},   {36, 48}};
    TextStyleList* list = CreateTextStyleList(gGenPool);
    for (const auto& s : sizes) {
        txStyle* style = CreateTextStyle(gGenPool, nullptr);
        SetStyleSize(style, s[0]);
        LLAppend(list, style);
    }
    EXPECT_FALSE(LLEnum(list, AdjustStyleSizes, nullptr));
    size_t i = 0;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item), i++)
        EXPECT_EQ(static_cast<txStyle*>(item)->size, sizes[i][1]) << sizes[i][0];
    DestroyTextStyleList(list);
}

TEST_F(Themes, OverscoreHeightIsTheInkAboveTheBaseLine) {
    txStyle* small = Style(12);
    txStyle* large = Style(24);
    const int16_t h12 = AutoCalcOverscoreAscent(small);
    const int16_t h24 = AutoCalcOverscoreAscent(large);
    StyleMetrics m{};
    GetStyleMetrics(small, &m);
    EXPECT_EQ(m.overscore, h12);
    EXPECT_GT(h12, m.ascent / 2);
    EXPECT_LE(h12, m.ascent + 1);
    EXPECT_GT(h24, h12 + h12 / 2);
    // Again, the same.
    EXPECT_EQ(AutoCalcOverscoreAscent(small), h12);
}

TEST_F(Themes, StandardStylesAndTheFontDialog) {
    ASSERT_NE(gDefaultStyle, nullptr);
    EXPECT_EQ(gTabControlStyle, gSmallDialogStyle);
    EXPECT_EQ(gListCaptionStyle, nullptr);
    EXPECT_NE(gDialogStyle, nullptr);
    EXPECT_NE(gListEditStyle, nullptr);
    EXPECT_NE(gTESelectionStyle, nullptr);
    ASSERT_NE(gFontPrefs, nullptr);
    EXPECT_EQ(SizeOfHandle(gFontPrefs), kFontPrefsHeadSize);
    EXPECT_FALSE(IsExcludedFont("Times"));

    char name[256] = "Times";
    EXPECT_FALSE(SelectOtherFont(name));
    EXPECT_STREQ(name, "");
    ModelHooks hooks;
    hooks.selectOtherFont = [](char* chosen) {
        std::strcpy(chosen, "DejaVu Serif");
        return true;
    };
    SetModelHooks(hooks);
    EXPECT_TRUE(SelectOtherFont(name));
    EXPECT_STREQ(name, "DejaVu Serif");
}

// ---- The stored theme table ----

// Two styles: "DejaVu Sans" 14 bold, "Times" 12 plain.
std::string ThemeFixture(bool bigEndian) {
    auto word = [&](uint16_t v) {
        return bigEndian ? std::string{char(v >> 8), char(v & 0xFF)}
                         : std::string{char(v & 0xFF), char(v >> 8)};
    };
    std::string bytes;
    bytes += word(0x1234);                   // byte-order mark
    bytes += word(2);                        // count
    bytes += std::string("\x0B") + "DejaVu Sans";  // name length, name
    bytes += word(14);                       // size
    bytes += word(1);                        // face: bold
    bytes += std::string("\x05") + "Times";
    bytes += word(12);
    bytes += word(0);
    return bytes;
}

TEST_F(Themes, StoredThemeTable) {
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        TextThemeTable table{};
        ASSERT_TRUE(InitDefaultTextThemes(&table));
        Input in(ThemeFixture(bigEndian), false);
        ASSERT_EQ(ReadTextThemes(in.stream, &table), 0);
        char font[256];
        GetStyleFont(table.styles[0], font);
        EXPECT_STREQ(font, "DejaVu Sans");
        EXPECT_EQ(table.styles[0]->size, 14);
        EXPECT_EQ(table.styles[0]->face, 1);
        GetStyleFont(table.styles[1], font);
        EXPECT_STREQ(font, "Times");
        EXPECT_EQ(table.styles[1]->size, 12);
        // A shorter list leaves the later entries as they were.
        EXPECT_EQ(table.styles[3]->size, 10);
        EXPECT_EQ(table.styles[0]->link[0], nullptr);

        // Written back in this machine's order; a missing entry ends the list.
        DestroyTextStyle(table.styles[2]);
        table.styles[2] = nullptr;
        EXPECT_EQ(Written([&](StreamRecord* s) { return WriteTextThemes(s, &table); }),
                  ThemeFixture(false));
        FreeTextThemeTable(&table);
    }

    // A full table round-trips; a list of more than nine styles fills nine.
    TextThemeTable table{};
    ASSERT_TRUE(InitDefaultTextThemes(&table));
    for (int32_t i = 0; i < kTextThemeCount; i++) SetStyleSize(table.styles[i], uint16_t(20 + i));
    std::string bytes = Written([&](StreamRecord* s) { return WriteTextThemes(s, &table); });
    bytes[2] = 10;  // one style more than the table
    bytes += std::string("\x04") + "Font" + std::string("\x09\x00\x00\x00", 4);
    TextThemeTable back{};
    Input in(bytes, false);
    ASSERT_EQ(ReadTextThemes(in.stream, &back), 0);
    for (int32_t i = 0; i < kTextThemeCount; i++) EXPECT_EQ(back.styles[i]->size, 20 + i);
    FreeTextThemeTable(&back);

    // Every truncation ends with a status and leaves the table as it was.
    const std::string whole = ThemeFixture(false);
    for (size_t n = 0; n < whole.size(); n++) {
        Input cut(whole.substr(0, n), false);
        EXPECT_NE(ReadTextThemes(cut.stream, &table), 0) << n;
        EXPECT_EQ(table.styles[0]->size, 20);
    }
    FreeTextThemeTable(&table);
}

// ---- Excluded fonts ----

// Two excluded fonts, "HELVETICA" and "COURIER", in one string block.
std::string FontPrefsFixture(bool bigEndian) {
    auto put = [&](uint32_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; i++) {
            const int shift = bigEndian ? 8 * (bytes - 1 - i) : 8 * i;
            s += char((v >> shift) & 0xFF);
        }
        return s;
    };
    std::string b;
    b += put(20, 4);                    // record handle: 20 bytes
    b += std::string(8, '\xEE');        // where the block was: never read
    b += put(2, 2);                     // count
    b += put(0, 2);                     // spare
    b += put((16u << 10) | 9, 4);       // "HELVETICA" at offset 16, 9 bytes
    b += put((25u << 10) | 7, 4);       // "COURIER" at offset 25, 7 bytes
    b += put(64, 4);                    // block handle: 64 bytes
    b += put(0xDA7ABED1, 4);            // magic
    b += put(64, 4);                    // allocated
    b += put(32, 4);                    // used: header and 16 string bytes
    b += put(64, 2);                    // growth quantum
    b += put(0, 2);
    b += "HELVETICACOURIER";
    b += std::string(32, '\0');
    return b;
}

TEST_F(Themes, StoredExcludedFonts) {
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        Input in(FontPrefsFixture(bigEndian), bigEndian);
        ASSERT_EQ(ReadFontPrefs(in.stream), 0);
        EXPECT_EQ(Excluded(), (std::vector<std::string>{"HELVETICA", "COURIER"}));
        EXPECT_TRUE(IsExcludedFont("helvetica"));
        EXPECT_TRUE(IsExcludedFont("Courier"));
        EXPECT_FALSE(IsExcludedFont("Helvetica Neue"));
        EXPECT_FALSE(IsExcludedFont("COURIE"));
        // Written in this machine's order with no address in it, and read back.
        const std::string written = Written(WriteFontPrefs);
        std::string expected = FontPrefsFixture(false);
        std::memset(expected.data() + 4, 0, 8);
        EXPECT_EQ(written, expected);
        Input again(written, false);
        ASSERT_EQ(ReadFontPrefs(again.stream), 0);
        EXPECT_EQ(Excluded(), (std::vector<std::string>{"HELVETICA", "COURIER"}));
    }
    // An empty record round-trips.
    DestroyFontPrefs();
    SchStylesInit();
    Input empty(Written(WriteFontPrefs), false);
    ASSERT_EQ(ReadFontPrefs(empty.stream), 0);
    EXPECT_TRUE(Excluded().empty());
    EXPECT_FALSE(IsExcludedFont(""));
}

TEST_F(Themes, DamagedExcludedFontsKeepTheFormerOnes) {
    const std::string good = FontPrefsFixture(false);
    auto expectKept = [&](const std::string& bytes, bool swap) {
        Input in(good, false);
        ASSERT_EQ(ReadFontPrefs(in.stream), 0);
        Handle before = gFontPrefs;
        Input bad(bytes, swap);
        if (ReadFontPrefs(bad.stream) != 0) {
            EXPECT_EQ(gFontPrefs, before);
            EXPECT_TRUE(IsExcludedFont("helvetica"));
        } else {
            // Every name reads; those stored upper-cased are found again.
            for (const std::string& name : Excluded()) {
                const bool upper = std::none_of(name.begin(), name.end(),
                                                [](char c) { return std::islower(uint8_t(c)); });
                if (upper) {
                    EXPECT_TRUE(IsExcludedFont(name.c_str())) << name;
                }
            }
        }
    };
    for (size_t n = 0; n < good.size(); n++) {
        SCOPED_TRACE(n);
        Input cut(good.substr(0, n), false);
        Handle before = gFontPrefs;
        EXPECT_NE(ReadFontPrefs(cut.stream), 0);
        EXPECT_EQ(gFontPrefs, before);
    }
    // Counts, specs and headers that do not agree with the bytes.
    auto patched = [&](size_t at, std::string bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    const std::string bad[] = {
        patched(12, std::string("\x03\x00", 2)),             // three specs in room for two
        patched(16, std::string("\x09\x60\x00\x00", 4)),     // a spec past the used bytes
        patched(16, std::string("\x09\x10\x00\x00", 4)),     // a spec inside the header
        patched(28, std::string("\xD2\xBE\x7A\xDA", 4)),     // not a string block
        patched(36, std::string("\x50\x00\x00\x00", 4)),     // used beyond the handle
        patched(36, std::string("\x08\x00\x00\x00", 4)),     // used below the header
        patched(40, std::string("\x10\x00", 2)),             // quantum below 64
        patched(24, std::string("\xFF\xFF\xFF\xFF", 4)),     // no block for two names
        patched(0, std::string("\xFF\xFF\xFF\xFF", 4)),      // no record
        patched(0, std::string("\x08\x00\x00\x00", 4)),      // a record shorter than its head
    };
    for (size_t i = 0; i < std::size(bad); i++) {
        SCOPED_TRACE(i);
        Input in(good, false);
        ASSERT_EQ(ReadFontPrefs(in.stream), 0);
        Handle before = gFontPrefs;
        Input damaged(bad[i], false);
        EXPECT_NE(ReadFontPrefs(damaged.stream), 0);
        EXPECT_EQ(gFontPrefs, before);
    }
    // Random damage never hurts: either a record whose every spec reads, or the former one.
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0; round < StressCount(300); round++) {
        std::string bytes = round % 2 ? good : FontPrefsFixture(true);
        for (int k = 0; k < 1 + int(random() % 4); k++)
            bytes[random() % bytes.size()] = char(random());
        expectKept(bytes, round % 2 == 0);
    }
}

TEST_F(Themes, ReadersThatRunOutOfMemory) {
    const std::string prefs = FontPrefsFixture(false);
    const std::string themeBytes = ThemeFixture(false);
    TextThemeTable table{};
    ASSERT_TRUE(InitDefaultTextThemes(&table));
    bool failed = false, succeeded = false;
    for (int giveBack = 0; giveBack < 12; giveBack++) {
        SCOPED_TRACE(giveBack);
        Input in(prefs, false);
        Input themesIn(themeBytes, false);
        Handle before = gFontPrefs;
        OSStatus prefsResult, themesResult;
        {
            TightPool tight(giveBack);
            prefsResult = ReadFontPrefs(in.stream);
            themesResult = ReadTextThemes(themesIn.stream, &table);
        }
        if (prefsResult != 0) {
            EXPECT_EQ(gFontPrefs, before);
            failed = true;
        } else {
            EXPECT_TRUE(IsExcludedFont("Courier"));
            succeeded = true;
        }
        EXPECT_TRUE(themesResult == 0 || themesResult == status::kOutOfMemory) << themesResult;
        for (txStyle* style : table.styles) EXPECT_NE(style, nullptr);
    }
    EXPECT_TRUE(failed);
    EXPECT_TRUE(succeeded);
    FreeTextThemeTable(&table);
}

TEST_F(Themes, RecordingExcludedFonts) {
    static uint32_t changed = 0;
    changed = 0;
    ModelHooks hooks;
    hooks.changedPreferences = [](uint32_t mask) { changed |= mask; };
    SetModelHooks(hooks);
    const int32_t fonts = VXCountFonts();
    ASSERT_GT(fonts, 0);
    char name[256];
    VXGetIndexedFont(0, name);
    BitArray bits = CreateBitArray(gGenPool, fonts + 64);
    BitArraySet(bits, 0);
    BitArraySet(bits, fonts + 10);  // no such family: ignored
    RecordFontPreferences(bits);
    EXPECT_EQ(changed, 0x100u);
    ASSERT_EQ(Excluded().size(), 1u);
    EXPECT_TRUE(IsExcludedFont(name));
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(uint8_t(c)));
    EXPECT_EQ(Excluded()[0], upper);
    if (fonts > 1) {
        BitArraySet(bits, fonts - 1);
        RecordFontPreferences(bits);
        EXPECT_EQ(Excluded().size(), 2u);
    }
    // Nothing set: nothing excluded.
    DisposeBitArray(bits);
    bits = CreateBitArray(gGenPool, 8);
    RecordFontPreferences(bits);
    EXPECT_TRUE(Excluded().empty());
    EXPECT_FALSE(IsExcludedFont(name));
    DisposeBitArray(bits);
}

}  // namespace
}  // namespace plexa::test
