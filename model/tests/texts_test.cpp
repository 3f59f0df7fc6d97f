// Text elements: drawing markup and overscores, line-break escapes, bounds, moves and the mirror
// and rotation table, strings and string blocks, owners, creation with themes and the paths on
// which a text is not expanded.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/textline.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

class Texts : public ModelTest {};

std::vector<int16_t> Runs(const int16_t* runs) {
    std::vector<int16_t> out;
    for (int i = 0; runs[i] != -1; i++) out.push_back(runs[i]);
    return out;
}

bool ValidUTF8(const std::string& s) {
    return s.empty() || !TempCFStringUsing(s.c_str(), kEncodingUTF8).empty();
}

TEST_F(Texts, MarkupAndOverscoreTable) {
    struct Case {
        const char* source;
        const char* plain;
        std::vector<int16_t> runs;
    };
    const Case cases[] = {
        {"!A!B", "AB", {0, 1}},          // the leading toggle is dropped, the second ends "A"
        {"A!!B", "AB", {}},              // two toggles at one place cancel
        {"AB!", "AB", {0, 2}},           // an odd count starts the run at 0
        {"!A", "A", {}},
        {"!RESET!", "RESET", {0, 5}},
        {"RESET!", "RESET", {0, 5}},
        {"A!B!C", "ABC", {1, 2}},
        {"A!B!C!", "ABC", {0, 1, 2, 3}},
        {"A!!!B", "AB", {0, 1}},
        {"\\!", "!", {}},
        {"\\\\", "\\", {}},
        {"\\f", "\\f", {}},
        {"a\\tb", "a b", {}},
        {"x\\", "x", {}},
        {"\\q", "q", {}},
        // The line-break marks are characters, never lone bytes.
        {"\\n\\r\\l", "\xC2\xAC\xC2\xAB\xE2\x88\x86", {}},
        {"1\\l!2!", "1\xE2\x88\x86" "2", {4, 5}},  // positions count bytes of the plain string
        {"\xC3\xA9!", "\xC3\xA9", {0, 2}},
        {"", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        char plain[kTextPlainSize];
        int16_t runs[16];
        const bool any = ExtractDrawSpecialString(c.source, plain, sizeof plain, runs, 16);
        EXPECT_STREQ(plain, c.plain);
        EXPECT_EQ(Runs(runs), c.runs);
        EXPECT_EQ(any, !c.runs.empty());
        EXPECT_TRUE(ValidUTF8(plain));
    }

    // Runs that do not fit are left out whole; the list always ends.
    int16_t runs[3];
    ExtractDrawSpecialString("A!B!C!D!E", nullptr, 0, runs, 3);
    EXPECT_EQ(Runs(runs), (std::vector<int16_t>{1, 2}));
    ExtractDrawSpecialString("A!B!C!D!E", nullptr, 0, runs, 2);
    EXPECT_EQ(runs[0], -1);
    // The plain string is cut at a whole character.
    char small[4];
    ExtractDrawSpecialString("ab\\l", small, sizeof small, nullptr, 0);
    EXPECT_STREQ(small, "ab");
}

TEST_F(Texts, SpecialFlagFollowsTheDisplayedString) {
    const struct {
        const char* string;
        bool special;
    } cases[] = {{"\\\\", true}, {"plain", false}, {"a!", true},   {"end\\", false},
                 {"\\f", true},  {"", false},      {"a\\!", true}, {"x!\\", true}};
    TextRecord* text = AddText("");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.string);
        EXPECT_EQ(CheckSpecialChars(c.string), c.special);
        SetTextRecordString(text, sheet.stringBlock, c.string);
        EXPECT_EQ((text->flags & kTextFlagSpecial) != 0, c.special);
        EXPECT_EQ(String(text), c.string);
    }
    // A displayed "\\" shows one backslash.
    SetTextRecordString(text, sheet.stringBlock, "\\\\");
    char plain[kTextPlainSize];
    EXPECT_FALSE(ExtractDrawSpecialText(text, sheet.stringBlock, plain, sizeof plain, nullptr, 0));
    EXPECT_STREQ(plain, "\\");
}

TEST_F(Texts, LineBreakEscapesKeepOneLineAndFitTheBuffer) {
    const struct {
        std::string source;
        std::string escaped;
    } cases[] = {
        {"line1\r\nline2", "line1\\r\\lline2"},
        {"a\tb\rc\nd", "a\\tb\\nc\\ld"},
        {"\r\r\n\n", "\\n\\r\\l\\l"},
        {std::string(251, 'x') + "\r\n", std::string(251, 'x') + "\\r\\l"},
        {std::string(252, 'x') + "\r\nz", std::string(252, 'x')},  // no half of an escape
        {std::string(254, 'x') + "\xC3\xA9", std::string(254, 'x')},  // no half of a character
        {std::string(254, 'x') + "\t", std::string(254, 'x')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.escaped);
        char out[kTextStringSize];
        EXPECT_EQ(EscapeTextLineBreaks(c.source.data(), int32_t(c.source.size()), out, sizeof out),
                  int32_t(c.escaped.size()));
        EXPECT_EQ(std::string(out), c.escaped);
    }

    // The escaped expansion draws with the line-break marks between the lines: valid UTF-8 that
    // measures wider than the two lines alone.
    char escaped[kTextStringSize];
    EscapeTextLineBreaks("line1\r\nline2", 12, escaped, sizeof escaped);
    TextRecord* text = AddText(escaped);
    EXPECT_TRUE(text->flags & kTextFlagSpecial);
    char plain[kTextPlainSize];
    ExtractDrawSpecialText(text, sheet.stringBlock, plain, sizeof plain, nullptr, 0);
    EXPECT_STREQ(plain, "line1\xC2\xAB\xE2\x88\x86line2");
    VXGrafStateScope scope(nullptr);
    VXSetTextStyle(text->style);
    EXPECT_GT(MeasureDrawSpecialText(text, sheet.stringBlock),
              int32_t(VXMeasureTextBytes("line1line2", 10, kEncodingUTF8, false)));

    // Expanding a full string of tabs in place never passes the caller's 256 bytes.
    char tabs[kTextStringSize];
    std::memset(tabs, '\t', 255);
    tabs[255] = 0;
    EXPECT_FALSE(GetExpandedTextString(tabs, nullptr));
    EXPECT_EQ(std::strlen(tabs), 254u);
    EXPECT_EQ(std::string(tabs).find("\\t\\t"), 0u);
    char shortBuffer[7] = "a\tb\tc";
    GetExpandedTextString(shortBuffer, nullptr, sizeof shortBuffer);
    EXPECT_STREQ(shortBuffer, "a\\tb\\t");
}

TEST_F(Texts, BoundsFollowMetricsAlignmentBoxItalicAndTurns) {
    txStyle* style = Style(12);
    StyleMetrics m{};
    GetStyleMetrics(style, &m);
    int32_t w = 0;
    {
        VXGrafStateScope scope(nullptr);
        VXSetTextStyle(style);
        w = int32_t(VXMeasureTextBytes("Hello", 5, kEncodingUTF8, false));
    }
    ASSERT_GT(w, 20);
    const Point at = {100, 200};
    TextRecord* text = AddText("Hello", 0, 0, at);
    const Rect plain = {int16_t(100 - m.ascent - 1), 199, int16_t(100 + m.descent + 1),
                        int16_t(201 + w)};
    EXPECT_TRUE(VXEqualRect(&text->bounds, &plain));
    EXPECT_EQ(text->anchorOffset, 0);

    text->flags = kTextFlagRightAligned;
    CalcTextBounds(nullptr, text, sheet.stringBlock);
    EXPECT_EQ(text->bounds.left, 200 - w - 1);
    EXPECT_EQ(text->bounds.right, 201);
    EXPECT_EQ(text->anchorOffset, -w);

    text->flags = kTextFlagBoxed;
    CalcTextBounds(nullptr, text, sheet.stringBlock);
    const Rect boxed = {int16_t(plain.top - 3), int16_t(plain.left - 3), int16_t(plain.bottom + 2),
                        int16_t(plain.right + 3)};
    EXPECT_TRUE(VXEqualRect(&text->bounds, &boxed));

    // Overscore marks take no room.
    text->flags = 0;
    SetTextRecordString(text, sheet.stringBlock, "!Hel!lo");
    CalcTextBounds(nullptr, text, sheet.stringBlock);
    EXPECT_TRUE(VXEqualRect(&text->bounds, &plain));
    SetTextRecordString(text, sheet.stringBlock, "Hello");

    // Turns go about the position: each quarter turn moves the plain rectangle about it.
    for (uint16_t turn = 1; turn < 4; turn++) {
        SCOPED_TRACE(turn);
        text->flags = turn;
        CalcTextBounds(nullptr, text, sheet.stringBlock);
        Rect expected = {int16_t(-m.ascent), 0, m.descent, int16_t(w)};
        VXTransformGrafRect(turn, &expected);
        VXOffsetRect(&expected, at.h, at.v);
        VXInsetRect(&expected, -1, -1);
        EXPECT_TRUE(VXEqualRect(&text->bounds, &expected));
        EXPECT_TRUE(VXPtInRect(at, &text->bounds));
    }

    // An italic text gets the width of an "i" more at its right.
    TextRecord* italic = AddText("Hello");
    italic->style = Style(12, kFaceItalic);
    CalcTextBounds(nullptr, italic, sheet.stringBlock);
    int32_t wi = 0, i = 0;
    {
        VXGrafStateScope scope(nullptr);
        VXSetTextStyle(italic->style);
        wi = int32_t(VXMeasureTextBytes("Hello", 5, kEncodingUTF8, false));
        i = int32_t(VXMeasureTextBytes(u"i", 2, kEncodingUTF16LE, false));
    }
    EXPECT_GT(i, 0);
    EXPECT_EQ(italic->bounds.right - italic->bounds.left, wi + i + 2);

    // A hidden text keeps its bounds.
    const Rect before = italic->bounds;
    EXPECT_TRUE(SetTextVisibility(italic, false, false));
    EXPECT_TRUE(italic->flags & kTextFlagHidden);
    CalcTextBounds(nullptr, italic, sheet.stringBlock);
    EXPECT_TRUE(VXEqualRect(&italic->bounds, &before));
    EXPECT_FALSE(SetTextVisibility(italic, false, false));
    EXPECT_FALSE(SetTextVisibility(italic, false, true));
    EXPECT_FALSE(italic->flags & kTextFlagHidden);
}

// Mirrors keep the text reading forwards: right alignment toggles, a half turn is added where the
// mirror would otherwise turn the text over, and the origin moves by one unit.
TEST_F(Texts, MirrorAndRotationTable) {
    const TransformCase cases[] = {
        {0, 1, 1, {20, -10}},
        {3, 1, 0, {20, -10}},
        {1, 2, 3, {-10, -20}},
        {2, 3, 1, {-20, 10}},
        {0, 4, 4, {10, -19}},
        {4, 4, 0, {10, -19}},
        {0, 6, 6, {-10, 19}},
        {1, 4, 7, {9, -20}},
        {1, 6, 5, {-9, 20}},
        {2, 4, 6, {10, -21}},
        {3, 6, 7, {-11, 20}},
    };
    TextRecord* text = AddText("T");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " code " << c.code);
        text->flags = c.flags;
        text->position = {10, 20};
        TransformTextElement(text, nullptr, sheet.stringBlock, {0, 0}, c.code);
        EXPECT_EQ(text->flags, c.flagsAfter);
        EXPECT_EQ(text->position.v, c.positionAfter.v);
        EXPECT_EQ(text->position.h, c.positionAfter.h);
        // The bounds follow the new place and turn.
        TextRecord fresh = *text;
        CalcTextBounds(nullptr, &fresh, sheet.stringBlock);
        EXPECT_TRUE(VXEqualRect(&fresh.bounds, &text->bounds));
    }
    // The same mirror twice, about any origin, gives the text back.
    for (uint16_t flags = 0; flags < 8; flags++)
        for (int32_t code : {4, 6}) {
            SCOPED_TRACE(testing::Message() << "flags " << flags << " code " << code);
            text->flags = flags;
            text->position = {37, -12};
            TransformTextElement(text, nullptr, sheet.stringBlock, {5, 9}, code);
            TransformTextElement(text, nullptr, sheet.stringBlock, {5, 9}, code);
            EXPECT_EQ(text->flags, flags);
            EXPECT_EQ(text->position.v, 37);
            EXPECT_EQ(text->position.h, -12);
        }
}

// A code that turns and mirrors (5, 7) is the turn and then the mirror; any code followed by its
// inverse gives the text back.
TEST_F(Texts, TurnedAndMirroredCodesKeepBothAndRoundTrip) {
    TextRecord* text = AddText("T");
    TextRecord* steps = AddText("T");
    for (uint16_t flags = 0; flags < 8; flags++)
        for (int32_t code = 0; code < 8; code++) {
            SCOPED_TRACE(testing::Message() << "flags " << flags << " code " << code);
            text->flags = steps->flags = flags;
            text->position = steps->position = {37, -12};
            TransformTextElement(text, nullptr, sheet.stringBlock, {5, 9}, code);
            TransformTextElement(steps, nullptr, sheet.stringBlock, {5, 9}, code & 3);
            if (code & 4) TransformTextElement(steps, nullptr, sheet.stringBlock, {5, 9}, 4);
            EXPECT_EQ(text->flags, steps->flags);
            EXPECT_EQ(text->position.v, steps->position.v);
            EXPECT_EQ(text->position.h, steps->position.h);
            TransformTextElement(text, nullptr, sheet.stringBlock, {5, 9},
                                 VXInverseTransformation(code));
            EXPECT_EQ(text->flags, flags);
            EXPECT_EQ(text->position.v, 37);
            EXPECT_EQ(text->position.h, -12);
        }
}

TEST_F(Texts, MovesCopiesAndListWalks) {
    TextRecord* a = AddText("A", 0, kTextFlagMarked, {10, 10});
    TextRecord* b = AddText("B", 0, kTextFlagMarked | kTextFlagSelected, {20, 30});
    const Rect boundsA = a->bounds;
    OffsetTextList(sheet.textList, (uint32_t(3) << 16) | uint16_t(-2));
    EXPECT_EQ(a->position.v, 8);
    EXPECT_EQ(a->position.h, 13);
    EXPECT_EQ(a->bounds.top, boundsA.top - 2);
    EXPECT_EQ(a->bounds.left, boundsA.left + 3);
    SetTextElementPosition(a, {10, 10});
    EXPECT_TRUE(VXEqualRect(&a->bounds, &boundsA));
    EXPECT_EQ(GetTextElementPosition(a).h, 10);

    ClearTextMarkedFlags(sheet.textList);
    EXPECT_EQ(a->flags, 0);
    EXPECT_EQ(b->flags, kTextFlagSelected);

    TextRecord* copy = DuplicateText2(b);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->link, nullptr);
    EXPECT_EQ(copy->text, b->text);
    EXPECT_EQ(copy->style, b->style);
    EXPECT_TRUE(VXEqualRect(&copy->bounds, &b->bounds));
    LLPush(sheet.textList, copy);

    // Positions kept with the point that means "no position".
    SetupTheText(copy, sheet.stringBlock, gMinusOnePoint, nullptr, "Copy");
    EXPECT_EQ(copy->position.h, b->position.h);
    EXPECT_EQ(String(copy), "Copy");

    // The list's bounds are each text's.
    for (void* item = LLFirst(sheet.textList); item; item = LLGetNext(sheet.textList, item))
        static_cast<TextRecord*>(item)->bounds = {};
    CalcTextListBounds(nullptr, nullptr, sheet.textList, sheet.stringBlock);
    EXPECT_TRUE(VXEqualRect(&a->bounds, &boundsA));
}

TEST_F(Texts, StringsMacrosAndBlocks) {
    TextRecord* text = AddText("U1", kTextKindSymbolAttribute);
    SetTextRecordMacroString(text, sheet.stringBlock, "!{RefDes}");
    EXPECT_TRUE(text->flags & kTextFlagMacro);
    char buffer[kTextStringSize];
    EXPECT_EQ(GetTextRecordMacroString(text, sheet.stringBlock, buffer), 1);
    EXPECT_STREQ(buffer, "!{RefDes}");

    // Moving into another block keeps both strings.
    StringBlock other = CreateStringBlock(gGenPool, 64);
    ASSERT_EQ(ChangeTextElementStringBlock(text, sheet.stringBlock, other), 0);
    EXPECT_EQ(GetTextRecordMacroString(text, other, buffer), 1);
    EXPECT_STREQ(buffer, "!{RefDes}");
    GetTextRecordString(text, other, buffer);
    EXPECT_STREQ(buffer, "U1");

    // Unexpanding puts the source back and checks its markup again.
    EXPECT_FALSE(text->flags & kTextFlagSpecial);
    UnexpandTextRecordMacros(text, other, nullptr);
    EXPECT_FALSE(text->flags & kTextFlagMacro);
    EXPECT_EQ(text->macroText, 0u);
    EXPECT_TRUE(text->flags & kTextFlagSpecial);
    EXPECT_EQ(GetTextRecordMacroString(text, other, buffer), 0);
    EXPECT_STREQ(buffer, "!{RefDes}");
    UnexpandTextRecordMacros(text, other, nullptr);  // nothing to do
    GetTextRecordString(text, other, buffer);
    EXPECT_STREQ(buffer, "!{RefDes}");
    ASSERT_EQ(ChangeTextElementStringBlock(text, other, sheet.stringBlock), 0);
    DestroyStringBlock(other);

    SetTextRecordMacroString(text, sheet.stringBlock, "");
    EXPECT_FALSE(text->flags & kTextFlagMacro);
    EXPECT_EQ(text->macroText, 0u);
}

// Texts that are not expanded keep their strings and flags.
TEST_F(Texts, TextsThatAreNotExpanded) {
    AddSymbol(5, 0);
    AddSymbol(6, kSymbolFlagPort);
    const struct {
        uint16_t kind;
        uint32_t owner;
    } cases[] = {
        {kTextKindFree, 5},                   // not a field text
        {kTextKindSymbolName, 5},
        {kTextKindSymbolAttribute, 9},        // its symbol is gone
        {kTextKindSymbolAttribute, 6},        // a net symbol's text is never expanded
        {kTextKindPinAttribute + 3, 5},       // the node is not on the symbol
        {kTextKindPinAttribute + 0, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " owner " << c.owner);
        TextRecord* text = AddText("{Name}", c.kind);
        text->owner = TextOwnerSerial(c.owner);
        const uint16_t flags = text->flags;
        EXPECT_FALSE(ExpandTextRecordMacros(&sheet, text, nullptr, true));
        EXPECT_EQ(String(text), "{Name}");
        EXPECT_EQ(text->flags, flags);
    }

    // Re-expanding a symbol's texts puts back the source of those that no longer expand, and
    // leaves the texts of other symbols alone.
    TextRecord* mine = AddText("1!0k", kTextKindSymbolAttribute, 0, {50, 50});
    mine->owner = TextOwnerSerial(6);
    SetTextRecordMacroString(mine, sheet.stringBlock, "{Value}");
    TextRecord* other = AddText("20k", kTextKindSymbolAttribute, 0, {80, 50});
    other->owner = TextOwnerSerial(5);
    SetTextRecordMacroString(other, sheet.stringBlock, "{Value}");
    const Rect before = mine->bounds;
    Rect area;
    VXSetEmptyRect(&area);
    RebuildMacroizedText(&sheet, RetrieveSerializedSymbol(sheet.symbolList, 6), &area);
    EXPECT_EQ(String(mine), "{Value}");
    EXPECT_FALSE(mine->flags & kTextFlagMacro);
    EXPECT_FALSE(mine->flags & kTextFlagSpecial);  // the source's markup, not the expansion's
    EXPECT_GT(mine->bounds.right, before.right);
    Rect covered;
    VXUnionRect(&before, &mine->bounds, &covered);
    EXPECT_TRUE(VXEqualRect(&area, &covered));
    EXPECT_EQ(String(other), "20k");
    EXPECT_TRUE(other->flags & kTextFlagMacro);
}

TEST_F(Texts, ChangeSheetTextReportsAndCoversChanges) {
    sheet.window = MakeSheetWindow(&sheet);
    TextRecord* text = AddText("R1", kTextKindDesignator);
    Rect area;
    VXSetEmptyRect(&area);
    const Rect empty = area;
    EXPECT_EQ(ChangeSheetText(&sheet, text, "R1", &area), 0);
    EXPECT_TRUE(VXEqualRect(&area, &empty));

    const Rect before = text->bounds;
    EXPECT_EQ(ChangeSheetText(&sheet, text, "R1000", &area), 1);
    EXPECT_EQ(String(text), "R1000");
    EXPECT_GT(text->bounds.right, before.right);
    Rect covered;
    VXUnionRect(&before, &text->bounds, &covered);
    EXPECT_TRUE(VXEqualRect(&area, &covered));

    // A hidden text changes without adding to the area.
    VXSetEmptyRect(&area);
    text->flags |= kTextFlagHidden;
    EXPECT_EQ(ChangeSheetText(&sheet, text, "R2", &area), 1);
    EXPECT_TRUE(VXEqualRect(&area, &empty));

    // Without a window only the string changes.
    DestroySheetWindow(sheet.window);
    sheet.window = nullptr;
    const Rect kept = text->bounds;
    EXPECT_EQ(ChangeSheetText(&sheet, text, "R20000", &area), 1);
    EXPECT_EQ(String(text), "R20000");
    EXPECT_TRUE(VXEqualRect(&text->bounds, &kept));
}

TEST_F(Texts, CreationTakesTheThemeOfItsKind) {
    sheet.window = MakeSheetWindow(&sheet);
    SetStyleSize(themes.styles[kThemeSymbolNames], 14);
    TextRecord* name =
        CreateDrawingText(&sheet, kTextKindSymbolName, kTextFlagHidden, {40, 60}, "74HC00");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(LLFirst(sheet.textList), name);
    EXPECT_EQ(name->flags, kTextFlagHidden | kTextFlagThemed);
    EXPECT_EQ(name->style->size, 14);
    EXPECT_TRUE(StyleFieldsMatch(name->style, themes.styles[kThemeSymbolNames], 7));
    EXPECT_EQ(FindMatchingStyleInList(sheet.styleList, name->style), name->style);
    EXPECT_EQ(String(name), "74HC00");
    EXPECT_EQ(name->position.h, 60);
    EXPECT_GT(name->bounds.right, 60);

    TextRecord* value = CreateDrawingText(&sheet, kTextKindSignal, kTextFlagBoxed, {0, 0}, "1.2V");
    EXPECT_EQ(value->style->size, 10);
    EXPECT_TRUE(StyleFieldsMatch(value->style, themes.styles[kThemeSpiceNodeValues], 7));
    DestroySheetWindow(sheet.window);
    sheet.window = nullptr;

    // The symbol editor's texts take the default table.
    LinkListHeader* list = CreateTextList();
    TextRecord* pin = CreateSymbolEditorText(list, sheet.styleList, sheet.stringBlock, nullptr,
                                             kTextKindPinNumber + 1, {5, 5}, "14");
    ASSERT_NE(pin, nullptr);
    EXPECT_EQ(pin->flags, kTextFlagThemed);
    EXPECT_TRUE(StyleFieldsMatch(pin->style, gDefaultTextThemes.styles[kThemePinNumbers], 7));
    EXPECT_EQ(pin->style->size, 10);
    DestroyTextList(list);
}

TEST_F(Texts, OwnersAndReferences) {
    SymbolRecord* symbol = AddSymbol(5, 0);
    SymbolRecord* high = AddSymbol(0x80000001u, 0);
    const uint16_t kinds[] = {kTextKindCompDesignator, kTextKindPinNumber + 1, kTextKindPinName + 1,
                              kTextKindPinAttribute + 2, kTextKindSymbolAttribute};
    std::vector<TextRecord*> texts;
    for (uint16_t kind : kinds) {
        texts.push_back(AddText("t", kind));
        texts.back()->owner = TextOwnerSerial(5);
    }
    TextRecord* stranger = AddText("s", kTextKindPinNumber + 1);
    stranger->owner = TextOwnerSerial(6);
    TextRecord* free = AddText("f");
    TextRecord* signed32 = AddText("h", kTextKindSymbolName);
    signed32->owner = TextOwnerSerial(0x80000001u);

    EXPECT_EQ(IsTextOwnedBySymbol(free, symbol), 0);
    EXPECT_EQ(IsTextOwnedBySymbol(texts[0], nullptr), -1);
    EXPECT_EQ(IsTextOwnedBySymbol(texts[1], symbol), 1);
    EXPECT_EQ(IsTextOwnedBySymbol(stranger, symbol), 0);
    EXPECT_EQ(IsTextOwnedBySymbol(signed32, high), 1);
    EXPECT_LT(signed32->owner, 0);

    // Kind 0xC000 re-points every pin text at once, each change reported for undo.
    static std::vector<int64_t> reported;
    reported.clear();
    ModelHooks hooks;
    hooks.collectTextOwnerChange = [](SheetRecord*, TextRecord*, int64_t old) {
        reported.push_back(old);
    };
    SetModelHooks(hooks);
    ChangeTextReferences(sheet.textList, kTextKindPinAttribute, TextOwnerSerial(5),
                         TextOwnerSerial(7), &sheet);
    EXPECT_EQ(reported, (std::vector<int64_t>{5, 5, 5}));
    const int64_t owners[] = {5, 7, 7, 7, 5};
    for (size_t i = 0; i < texts.size(); i++) EXPECT_EQ(texts[i]->owner, owners[i]) << i;
    EXPECT_EQ(stranger->owner, 6);

    // Any other kind re-points only texts of that kind; without an undo sheet nothing is reported.
    ChangeTextReferences(sheet.textList, kTextKindCompDesignator, TextOwnerSerial(5),
                         TextOwnerSerial(8), nullptr);
    EXPECT_EQ(texts[0]->owner, 8);
    EXPECT_EQ(texts[4]->owner, 5);
    EXPECT_EQ(reported.size(), 3u);
}

}  // namespace
}  // namespace plexa::test
