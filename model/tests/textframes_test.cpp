// Text frames: text conversion, line breaking, wrap widths, bounds, anchor and size points, the
// mirror and rotation table, conversions to and from text elements and edit records, drawing, and
// frames whose stored head or line table disagree with their text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/textline.h"
#include "model/drawglobals.h"
#include "model/symboltexts.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

class Frames : public ModelTest {
protected:
    void TearDown() override {
        for (TextFrameHandle frame : frames_) DestroyTextFrame(frame);
        ModelTest::TearDown();
    }

    TextFrameHandle Frame(const char* utf8, Point position = {100, 50}, uint16_t size = 12) {
        TextFrameHandle frame = CreateTextFrame(utf8, -1, kEncodingUTF8);
        EXPECT_NE(frame, nullptr);
        (*frame)->style = Style(size);
        (*frame)->position = position;
        frames_.push_back(frame);
        return frame;
    }

    static std::vector<uint32_t> Starts(TextFrameHandle frame) {
        const auto* starts = reinterpret_cast<const uint32_t*>(*(*frame)->lineStarts);
        return std::vector<uint32_t>(starts, starts + SizeOfHandle((*frame)->lineStarts) / 4);
    }

    static int32_t Width(txStyle* style, const char* utf8) {
        VXGrafStateScope scope(nullptr);
        VXSetTextStyle(style);
        return int32_t(VXMeasureTextBytes(utf8, int32_t(std::strlen(utf8)), kEncodingUTF8, false));
    }

    std::vector<TextFrameHandle> frames_;
};

TEST_F(Frames, TextIsKeptAsUTF16WithQuestionMarksForWhatIsNoCharacter) {
    const struct {
        std::string bytes;
        uint32_t encoding;
        std::u16string text;
    } cases[] = {
        {"AB", kEncodingUTF8, u"AB"},
        {"A\xFF" "B", kEncodingUTF8, u"A?B"},
        {"\xC3\xA9\xE2\x88", kEncodingUTF8, u"\u00E9??"},
        {"\x8E\xC6", kEncodingMacRoman, u"\u00E9\u2206"},
        {std::string("A\0\x00\xD8" "B\0", 6), kEncodingUTF16LE, u"A?B"},
        {"AB", 0x0600, u""},  // an encoding it does not know
    };
    for (const auto& c : cases) {
        TextFrameHandle frame =
            CreateTextFrame(c.bytes.data(), int32_t(c.bytes.size()), c.encoding);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(FrameSource(frame), c.text);
        EXPECT_EQ(SizeOfHandle(reinterpret_cast<Handle>(frame)),
                  kTextFrameHeadSize + 2 * c.text.size());
        EXPECT_EQ(
            CalcTextFrameAllocSize(c.bytes.data(), int32_t(c.bytes.size()), c.encoding, nullptr),
            kTextFrameHeadSize + 2 * c.text.size());
        DestroyTextFrame(frame);
    }
    EXPECT_EQ(VXGetStringSizeInBytes(u"abc", kEncodingUTF16LE), 6u);
    EXPECT_EQ(VXGetStringSizeInBytes("abc", kEncodingUTF8), 3u);

    // Out in other encodings, "?" where a character cannot be held; room only for a text.
    TextFrameHandle frame = Frame("\xC3\xA9\xE6\x97\xA5");  // e acute, a CJK ideograph
    Handle roman = GetTextFrameTextAsHandle(frame, kEncodingMacRoman, true, false);
    ASSERT_EQ(SizeOfHandle(roman), 2u);
    EXPECT_EQ(std::string(*roman, 2), "\x8E?");
    MemFree(roman);
    Handle room = GetTextFrameTextAsHandle(frame, kEncodingUTF16LE, true, true);
    EXPECT_EQ(SizeOfHandle(room), 4u + 512u);
    MemFree(room);
    TextFrameHandle empty = Frame("");
    Handle none = GetTextFrameTextAsHandle(empty, kEncodingUTF8, true, true);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(SizeOfHandle(none), 0u);
    MemFree(none);
    // The string form keeps whole characters.
    char cut[4];
    GetTextFrameTextAsString(Frame("a\xC3\xA9"), false, 3, cut);
    EXPECT_STREQ(cut, "a");
    GetTextFrameTextAsString(Frame("a\xC3\xA9"), false, 4, cut);
    EXPECT_STREQ(cut, "a\xC3\xA9");
}

TEST_F(Frames, LineFeedStartsTheNextLine) {
    const struct {
        const char* text;
        std::vector<uint32_t> starts;
    } cases[] = {
        {"A\nB", {0, 2, 3}},
        {"A\r\nB", {0, 3, 4}},
        {"A\rB", {0, 2, 3}},
        {"AB", {0, 2}},
        {"", {0, 0}},
        {"A\n\nB", {0, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TextFrameHandle frame = Frame(c.text);
        CalcTextFrameBounds(nullptr, frame, true, 1000);
        EXPECT_EQ((*frame)->lineCount + 1u, c.starts.size());
        EXPECT_EQ(Starts(frame), c.starts);
    }
}

TEST_F(Frames, WrapWidths) {
    std::string words;
    for (int i = 0; i < 300; i++) words += "word" + std::to_string(i) + " ";
    auto broken = [&](int32_t width) {
        TextFrameHandle frame = Frame(words.c_str());
        CalcTextFrameBounds(nullptr, frame, true, width);
        return Starts(frame);
    };
    // A one-line frame re-broken with a negative width outside a sheet wraps at 4416.
    const std::vector<uint32_t> at4416 = broken(kFrameDefaultWrapWidth);
    EXPECT_GT(at4416.size(), 2u);
    EXPECT_EQ(broken(-1), at4416);
    EXPECT_NE(broken(3000), at4416);
    // Widths below 4 break as 3.
    EXPECT_EQ(broken(0), broken(3));

    // In a sheet's window it wraps at the page's right edge less the frame's left and 6.
    sheet.window = MakeSheetWindow(&sheet);
    TextFrameHandle frame = Frame("x");
    CalcTextFrameBounds(nullptr, frame, true, 500);
    const int16_t left = (*frame)->bounds.left;
    ASSERT_TRUE(SetTextFrameText(frame, words.c_str(), -1, kEncodingUTF8));
    CalcTextFrameBounds(sheet.window, frame, true, -1);
    EXPECT_EQ(Starts(frame), broken(sheet.sheetBounds.right - left - 6));
    // A frame of several lines keeps its width.
    const int32_t width = (*frame)->bounds.right - (*frame)->bounds.left;
    const std::vector<uint32_t> kept = Starts(frame);
    CalcTextFrameBounds(sheet.window, frame, true, -1);
    EXPECT_EQ(Starts(frame), kept);
    EXPECT_EQ(Starts(frame), broken(width - 6));
    // A frame of several lines whose bounds were never measured (as read from a file) keeps its
    // lines rather than breaking after every character.
    for (VXWindowRecordTag* window : {static_cast<VXWindowRecordTag*>(nullptr), sheet.window}) {
        TextFrameHandle read = Frame("one two three four five six");
        CalcTextFrameLineBreaks(nullptr, read, 40);
        const std::vector<uint32_t> stored = Starts(read);
        ASSERT_GT(stored.size(), 3u);
        (*read)->bounds = {};
        CalcTextFrameBounds(window, read, true, -1);
        EXPECT_EQ(Starts(read), stored);
        EXPECT_GT((*read)->bounds.right - (*read)->bounds.left, 6);
        // Measured once, the same call keeps the width and so the lines.
        CalcTextFrameBounds(window, read, true, -1);
        EXPECT_EQ(Starts(read), stored);
    }
    DestroySheetWindow(sheet.window);
    sheet.window = nullptr;
}

TEST_F(Frames, BoundsFollowLinesAlignmentAndTurns) {
    TextFrameHandle frame = Frame("Hello\nWide world   ", {100, 50});
    CalcTextFrameBounds(nullptr, frame, true, 1000);
    int16_t lineHeight = 0, ascent = 0;
    VXTECalcStyleMetrics((*frame)->style, &lineHeight, &ascent, nullptr);
    const int32_t widest = Width((*frame)->style, "Wide world");  // trailing blanks do not count
    const Rect left = {int16_t(100 - ascent - 2), 47, int16_t(100 - ascent + 2 * lineHeight + 2),
                       int16_t(53 + widest)};
    EXPECT_TRUE(VXEqualRect(&(*frame)->bounds, &left));

    (*frame)->flags = kFrameFlagRightAligned;
    CalcTextFrameBounds(nullptr, frame, false, 0);
    EXPECT_EQ((*frame)->bounds.right, 53);
    EXPECT_EQ((*frame)->bounds.left, 47 - widest);

    for (uint16_t turn = 1; turn < 4; turn++) {
        SCOPED_TRACE(turn);
        (*frame)->flags = turn;
        CalcTextFrameBounds(nullptr, frame, false, 0);
        Rect expected = left;
        VXOffsetRect(&expected, -50, -100);
        VXTransformGrafRect(turn, &expected);
        VXOffsetRect(&expected, 50, 100);
        EXPECT_TRUE(VXEqualRect(&(*frame)->bounds, &expected));
    }

    // Trailing blanks neither count nor draw.
    TextFrameHandle bare = Frame("AB", {30, 10});
    TextFrameHandle blanks = Frame("AB  \t ", {30, 10});
    CalcTextFrameBounds(nullptr, bare, true, 1000);
    CalcTextFrameBounds(nullptr, blanks, true, 1000);
    EXPECT_TRUE(VXEqualRect(&(*bare)->bounds, &(*blanks)->bounds));
    Canvas canvas(120, 60);
    std::vector<uint8_t> drawn[2];
    for (int i = 0; i < 2; i++) {
        canvas.Clear();
        VXGrafStateScope scope(canvas.state());
        DrawTextFrame(i ? blanks : bare, true);
        VXFlushGraphics(nullptr);
        drawn[i] = canvas.pixels();
    }
    EXPECT_NE(canvas.Ink()[0], -1);
    EXPECT_EQ(drawn[0], drawn[1]);
}

TEST_F(Frames, AnchorAndSizePoints) {
    TextFrameHandle frame = Frame("A");
    (*frame)->bounds = {10, 20, 50, 80};
    const struct {
        uint16_t rotation;
        Point inner, outer, size;
    } cases[] = {
        {0, {12, 22}, {10, 20}, {50, 80}},
        {1, {12, 78}, {10, 80}, {50, 19}},
        {2, {48, 78}, {50, 80}, {9, 19}},
        {3, {48, 22}, {50, 20}, {9, 80}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rotation);
        (*frame)->flags = c.rotation;
        Point p;
        GetTextFrameAnchorPoint(frame, false, &p);
        EXPECT_EQ(p.v, c.inner.v);
        EXPECT_EQ(p.h, c.inner.h);
        GetTextFrameAnchorPoint(frame, true, &p);
        EXPECT_EQ(p.v, c.outer.v);
        EXPECT_EQ(p.h, c.outer.h);
        GetTextFrameSizePoint(frame, &p);
        EXPECT_EQ(p.v, c.size.v);
        EXPECT_EQ(p.h, c.size.h);
    }
}

TEST_F(Frames, MirrorAndRotationTable) {
    const TransformCase cases[] = {
        {1, 4, 7, {10, -20}},  // rotation 1 mirrored left-right: rotation 3, alignment toggled
        {0, 4, 4, {10, -20}},
        {4, 4, 0, {10, -20}},
        {0, 6, 6, {-10, 20}},
        {1, 6, 5, {-10, 20}},
        {0, 1, 1, {20, -10}},
        {3, 3, 2, {-20, 10}},
        {0x125, 2, 0x127, {-10, -20}},  // other bits stay
    };
    TextFrameHandle frame = Frame("Mirror");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " code " << c.code);
        (*frame)->flags = c.flags;
        (*frame)->position = {10, 20};
        TransformTextFrame(frame, nullptr, {0, 0}, c.code);
        EXPECT_EQ((*frame)->flags, c.flagsAfter);
        EXPECT_EQ((*frame)->position.v, c.positionAfter.v);
        EXPECT_EQ((*frame)->position.h, c.positionAfter.h);
    }
    // Moving a list moves every frame and its bounds.
    LinkListHeader* list = CreateTextFrameList();
    LLAppend(list, DuplicateTextFrame(frame));
    auto copy = static_cast<TextFrameHandle>(LLFirst(list));
    const Rect bounds = (*copy)->bounds;
    OffsetTextFrameList(list, 5, -3);
    EXPECT_EQ((*copy)->position.h, (*frame)->position.h + 5);
    EXPECT_EQ((*copy)->bounds.top, bounds.top - 3);
    DestroyTextFrameList(list);
}

// A code that turns and mirrors (5, 7) is the turn and then the mirror; any code followed by its
// inverse gives the frame back.
TEST_F(Frames, TurnedAndMirroredCodesKeepBothAndRoundTrip) {
    TextFrameHandle frame = Frame("Turn");
    TextFrameHandle steps = Frame("Turn");
    for (uint16_t flags = 0; flags < 8; flags++)
        for (int32_t code = 0; code < 8; code++) {
            SCOPED_TRACE(testing::Message() << "flags " << flags << " code " << code);
            (*frame)->flags = (*steps)->flags = flags;
            (*frame)->position = (*steps)->position = {37, -12};
            TransformTextFrame(frame, nullptr, {5, 9}, code);
            TransformTextFrame(steps, nullptr, {5, 9}, code & 3);
            if (code & 4) TransformTextFrame(steps, nullptr, {5, 9}, 4);
            EXPECT_EQ((*frame)->flags, (*steps)->flags);
            EXPECT_EQ((*frame)->position.v, (*steps)->position.v);
            EXPECT_EQ((*frame)->position.h, (*steps)->position.h);
            TransformTextFrame(frame, nullptr, {5, 9}, VXInverseTransformation(code));
            EXPECT_EQ((*frame)->flags, flags);
            EXPECT_EQ((*frame)->position.v, 37);
            EXPECT_EQ((*frame)->position.h, -12);
        }
}

TEST_F(Frames, CopiesAndOwners) {
    TextFrameHandle frame = Frame("one\ntwo");
    CalcTextFrameBounds(nullptr, frame, true, 1000);
    (*frame)->owner = 12;
    TextFrameHandle copy = DuplicateTextFrame(frame);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE((*copy)->lineStarts, (*frame)->lineStarts);
    EXPECT_EQ(Starts(copy), Starts(frame));
    EXPECT_EQ(FrameSource(copy), u"one\ntwo");
    DestroyTextFrame(copy);

    SymbolRecord* mine = AddSymbol(12, 0);
    SymbolRecord* other = AddSymbol(13, 0);
    EXPECT_EQ(IsTextFrameOwnedBySymbol(frame, nullptr), 12u);
    EXPECT_EQ(IsTextFrameOwnedBySymbol(frame, mine), 12u);
    EXPECT_EQ(IsTextFrameOwnedBySymbol(frame, other), 0u);

    // The symbol editor tells its name and designator frames by their text.
    const struct {
        const char* text;
        bool name, designator;
    } cases[] = {{"{Name}", true, false},
                 {" {compname} ", true, false},
                 {"{REFDES}", false, true},
                 {"{Name} x", false, false},
                 {"{RefDes}        ", false, false},
                 {"{RefDes}       ", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TextFrameHandle f = Frame(c.text);
        EXPECT_EQ(IsSymbolNameTextFrame(f), c.name);
        EXPECT_EQ(IsRefDesTextFrame(f), c.designator);
    }
}

TEST_F(Frames, ConversionsWithTextElements) {
    TextRecord* text = AddText("U1", kTextKindSymbolAttribute, 0x01FF & ~kTextFlagMacro, {40, 30});
    SetTextRecordMacroString(text, sheet.stringBlock, "{RefDes}");
    TextFrameHandle shared =
        CreateTextFrameFromTextElement(text, sheet.stringBlock, nullptr, false, nullptr);
    frames_.push_back(shared);
    EXPECT_EQ(FrameSource(shared), u"{RefDes}");
    EXPECT_EQ((*shared)->flags, 0x0127);
    EXPECT_EQ((*shared)->style, text->style);
    EXPECT_EQ((*shared)->position.h, 30);
    EXPECT_EQ((*shared)->lineCount, 0);

    TextStyleList* list = CreateTextStyleList(gGenPool);
    TextFrameHandle installed =
        CreateTextFrameFromTextElement(text, sheet.stringBlock, list, true, nullptr);
    frames_.push_back(installed);
    EXPECT_NE((*installed)->style, text->style);
    EXPECT_EQ(LLFirst(list), (*installed)->style);
    EXPECT_TRUE(StyleFieldsMatch((*installed)->style, text->style, 7));
    EXPECT_EQ((*installed)->lineCount, 1);

    // Back to a text element: at most 255 bytes of whole characters.
    std::string long_;
    for (int i = 0; i < 150; i++) long_ += "\xC3\xA9";
    TextFrameHandle frame = Frame(long_.c_str(), {7, 9});
    (*frame)->flags = 0x01FF;
    TextRecord* back = CreateTextElementFromTextFrame(frame, kTextKindFree, sheet.stringBlock,
                                                      &sheet, nullptr, false, list);
    ASSERT_NE(back, nullptr);
    LLPush(sheet.textList, back);
    EXPECT_EQ(back->flags & ~kTextFlagSpecial, 0x0127);
    EXPECT_EQ(String(back), long_.substr(0, 254));
    EXPECT_EQ(back->position.v, 7);
    EXPECT_TRUE(StyleFieldsMatch(back->style, (*frame)->style, 7));
    EXPECT_GT(back->bounds.bottom - back->bounds.top, 100);  // turned three quarters
    DestroyTextStyleList(list);
}

TEST_F(Frames, FieldReferenceNamesTable) {
    struct Case { const char* text; bool found; const char* name; bool at; };
    const std::string longName = "{" + std::string(62, 'N') + "}";     // 64 units: still whole
    const std::string tooLong = "{" + std::string(63, 'N') + "}";      // the brace is unit 65
    const std::string longInner = longName.substr(1, 62);
    const Case cases[] = {
        {"{Value}", true, "Value", false},    {"{@Value}", true, "Value", true},
        {"{}", false, "", false},             {"{@}", false, "", false},
        {"{A B}", false, "", false},          {"{A~B}", false, "", false},
        {"Value", false, "", false},          {"{Value", false, "", false},
        {"x{Value}", false, "", false},       {"{\xC3\xA9t\xC3\xA9}", true, "\xC3\xA9t\xC3\xA9", false},
        {longName.c_str(), true, longInner.c_str(), false},
        {tooLong.c_str(), false, "", false},
    };
    for (const Case& c : cases) {
        TextFrameHandle frame = Frame(c.text);
        char name[kTextStringSize] = "stale";
        bool at = !c.at;
        EXPECT_EQ(ExtractTextFrameAttrName(frame, name, sizeof name, &at), c.found) << c.text;
        EXPECT_STREQ(name, c.name) << c.text;
        EXPECT_EQ(at, c.at) << c.text;
    }
    char name[8] = "stale";
    EXPECT_FALSE(ExtractTextFrameAttrName(Frame("{LongerThan7}"), name, sizeof name, nullptr));
    EXPECT_FALSE(ExtractTextFrameAttrName(nullptr, name, sizeof name, nullptr));
    EXPECT_STREQ(name, "");
}

TEST_F(Frames, FromAnEditRecord) {
    Canvas canvas(300, 200);
    VXGrafStateScope scope(canvas.state());
    VXSetTextStyle(Style(12));
    const LRect view = {20, 10, 80, 210};
    VXTERecord* te = VXTENewUsingStyle(&view, &view, kTEStyleCurrent);
    ASSERT_NE(te, nullptr);
    TextFrameHandle replaced = Frame("old");
    (*replaced)->owner = 9;
    EXPECT_EQ(CreateTextFrameFromTE(te, &sheet, replaced, sheet.styleList), nullptr);  // no text

    ASSERT_TRUE(VXTESetText("Hello\rWorld", -1, kEncodingUTF8, te));
    te->just = kTEJustRight;
    TextFrameHandle frame = CreateTextFrameFromTE(te, &sheet, replaced, sheet.styleList);
    ASSERT_NE(frame, nullptr);
    frames_.push_back(frame);
    _LPNT anchor{};
    VXLTEGetAlignmentPoint(te, &anchor);
    EXPECT_EQ(FrameSource(frame), u"Hello\rWorld");
    EXPECT_EQ((*frame)->position.v, anchor.v);
    EXPECT_EQ((*frame)->position.h, anchor.h);
    EXPECT_EQ((*frame)->flags, kFrameFlagRightAligned);
    EXPECT_EQ((*frame)->owner, 9u);
    EXPECT_EQ((*frame)->lineCount, 2);
    EXPECT_TRUE(StyleFieldsMatch((*frame)->style, te->style, 7));
    EXPECT_EQ((*frame)->bounds.right, anchor.h + 3);
    VXTEDispose(te);
}

TEST_F(Frames, DrawingLinesTurnsAndColours) {
    static std::vector<int16_t> colours;
    colours.clear();
    SheetColorHooks hooks;
    hooks.setForeColor = [](int16_t index) { colours.push_back(index); };
    SetSheetColorHooks(hooks);

    TextFrameHandle frame = Frame("HH\nHH", {40, 100});
    CalcTextFrameBounds(nullptr, frame, true, 1000);
    int16_t lineHeight = 0;
    VXTECalcStyleMetrics((*frame)->style, &lineHeight, nullptr, nullptr);
    Canvas canvas(240, 240);
    auto draw = [&](uint16_t flags, bool plain) {
        canvas.Clear();
        (*frame)->flags = flags;
        VXGrafStateScope scope(canvas.state());
        DrawTextFrame(frame, plain);
        VXFlushGraphics(nullptr);
        return canvas.Ink();
    };
    // Two lines go down from the base line at the position.
    const auto down = draw(0, false);
    EXPECT_GE(down[0], 99);
    EXPECT_LT(down[1], 40);
    EXPECT_GT(down[3], 40 + lineHeight - 4);
    // A quarter turn runs the text down the page and the lines to the left.
    const auto turned = draw(1, false);
    EXPECT_GE(turned[1], 39);
    EXPECT_LT(turned[0], 100 - lineHeight + 4);
    EXPECT_GT(turned[2], 100);
    EXPECT_LE(turned[2], 100 + lineHeight);
    // Right alignment ends the lines at the position.
    const auto right = draw(kFrameFlagRightAligned, false);
    EXPECT_LE(right[2], 101);
    (*frame)->owner = 3;
    draw(0, false);
    EXPECT_EQ(colours, (std::vector<int16_t>{2, 2, 2, 0}));
    draw(0, true);
    EXPECT_EQ(colours.back(), 0);

    // No lines: nothing drawn.
    TextFrameHandle unbroken = Frame("HH", {40, 100});
    canvas.Clear();
    {
        VXGrafStateScope scope(canvas.state());
        DrawTextFrame(unbroken, true);
    }
    EXPECT_EQ(canvas.Ink()[0], -1);
}

// A frame's head and line table come from files: lengths and starts that disagree with the text
// are held to what the handle holds.
TEST_F(Frames, DamagedHeadsAndLineTablesStayInsideTheText) {
    Canvas canvas(200, 200);
    TextFrameHandle frame = Frame("ab\ncd");
    CalcTextFrameBounds(nullptr, frame, true, 1000);
    (*frame)->lineCount = 40;
    CalcTextFrameBounds(nullptr, frame, false, 0);
    const uint32_t starts[] = {4, 100, 2, 0xFFFFFFFF};
    ASSERT_TRUE(SetHandleContent((*frame)->lineStarts, starts, sizeof starts));
    (*frame)->lineCount = 3;
    CalcTextFrameBounds(nullptr, frame, false, 0);
    (*frame)->textLength = 1000;
    (*frame)->expandedLength = 70;
    EXPECT_EQ(FrameSource(frame, true), u"ab\ncd");
    {
        VXGrafStateScope scope(canvas.state());
        DrawTextFrame(frame, true);
    }
    char out[64];
    GetTextFrameTextAsString(frame, true, sizeof out, out);
    EXPECT_STREQ(out, "ab\ncd");
    CalcTextFrameBounds(nullptr, frame, true, 1000);
    EXPECT_EQ((*frame)->lineCount, 2);
}

TEST_F(Frames, EvaluationWithoutReferencesDropsTheExpansion) {
    TextFrameHandle frame = Frame("plain");
    // A frame that showed an expansion before.
    ASSERT_TRUE(ResizeHandle(reinterpret_cast<Handle>(frame), kTextFrameHeadSize + 2 * (5 + 3)));
    std::memcpy(TextFrameSource(frame) + 5, u"old", 6);
    (*frame)->expandedLength = 3;
    EXPECT_EQ(FrameSource(frame, true), u"old");
    EXPECT_FALSE(EvaluateTextFrameText(&sheet, frame, nullptr));
    EXPECT_EQ((*frame)->expandedLength, 0u);
    EXPECT_EQ(SizeOfHandle(reinterpret_cast<Handle>(frame)), kTextFrameHeadSize + 10);
    EXPECT_EQ(FrameSource(frame, true), u"plain");
    EXPECT_FALSE(EvaluateTextFrameText(nullptr, frame, nullptr));
}

}  // namespace
}  // namespace plexa::test
