// The text-edit record in the test font: line breaking, re-wrapping after edits against a
// fresh layout, hit testing and points, key editing over multi-unit characters, clicks and
// drags, the scrap and the clipboard, text boxes and drawing.
#include "graphics/textedit.h"

#include <gtest/gtest.h>

#include "tests/support/graphics_testing.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "platform/clipboard_platform.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::TextTestEnvironment);

// What the window owner would do, recorded.
struct Owner {
    std::vector<LRect> invalidated;
    VXTERecord* active = nullptr;
    uint32_t ticks = 1000;
    bool shift = false;
    std::vector<_LPNT> drag;  // pointer positions of the next drag
};
Owner* gOwner = nullptr;

VXTEHooks OwnerHooks() {
    VXTEHooks h;
    h.invalRect = [](VXGrafState*, const LRect* r) { gOwner->invalidated.push_back(*r); };
    h.getActive = [](VXGrafState*) { return gOwner->active; };
    h.setActive = [](VXGrafState*, VXTERecord* te) { gOwner->active = te; };
    h.trackDrag = [](VXGrafState*, uint16_t, void (*track)(void*, const _LPNT*), void* data) {
        for (const _LPNT& p : gOwner->drag) track(data, &p);
        gOwner->drag.clear();
    };
    h.shiftDown = [] { return gOwner->shift; };
    h.ticks = [] { return gOwner->ticks; };
    h.doubleClickTicks = [] { return uint32_t(30); };
    h.caretTicks = [] { return uint32_t(30); };
    return h;
}

// A current window in "DejaVu Sans" 12 over a port without a context.
class TextEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        gOwner = &owner_;
        VXTESetHooks(OwnerHooks());
        style_ = CreateTextStyle(nullptr, nullptr);
        SetStyleFont(style_, "DejaVu Sans");
        SetStyleSize(style_, 12);
        state_.textStyle = style_;
        state_.port = QZPortAlloc(nullptr);
        previous_ = VXSetCurrentGrafState(&state_);
    }
    void TearDown() override {
        for (VXTERecord* te : records_) VXTEDispose(te);
        VXSetCurrentGrafState(previous_);
        QZPortFree(state_.port);
        DestroyTextStyle(style_);
        VXTESetHooks(VXTEHooks{});
        gOwner = nullptr;
    }

    int32_t Width(const std::string& utf8) {
        return int32_t(VXMeasureTextBytes(utf8.data(), int32_t(utf8.size()), kEncodingUTF8, false));
    }
    // A record whose wrap width is exactly width.
    VXTERecord* Make(int32_t width, const std::string& text, int32_t height = 1000) {
        const LRect r{0, 0, height, width + 1};
        VXTERecord* te = VXTENewUsingStyle(&r, &r, kTEStyleCurrent);
        EXPECT_NE(te, nullptr);
        records_.push_back(te);
        EXPECT_TRUE(VXTESetText(text.data(), int32_t(text.size()), kEncodingUTF8, te));
        return te;
    }
    static std::vector<uint32_t> Starts(VXTERecord* te) {
        const auto* s = reinterpret_cast<const uint32_t*>(*te->lineStarts);
        return std::vector<uint32_t>(s, s + te->lineCount + 1);
    }
    // Selects between two random indexes (the selection snaps to characters); the indexes.
    static std::pair<int32_t, int32_t> SelectSomewhere(VXTERecord* te, std::mt19937& rng) {
        const int32_t a = int32_t(rng() % (te->length + 1));
        const int32_t b = int32_t(rng() % (te->length + 1));
        VXTESetSelect(a, b, te);
        return {a, b};
    }
    static std::string Text(VXTERecord* te) {
        std::vector<char> buffer(te->length * 3 + 1);
        VXTEGetTextAsString(te, buffer.data(), uint32_t(buffer.size()));
        return buffer.data();
    }

    Owner owner_;
    txStyle* style_ = nullptr;
    VXGrafState state_;
    VXGrafState* previous_ = nullptr;
    std::vector<VXTERecord*> records_;
};

TEST_F(TextEditTest, LineBreaks) {
    struct Case {
        const char* name;
        const char* text;
        const char* fits;  // the wrap width is the width of this text (empty: 1 pixel)
        bool noWrap;
        std::vector<uint32_t> starts;
    };
    const Case cases[] = {
        {"fits whole", "hello world", "hello world", false, {0, 11}},
        {"space at the wrap stays above", "hello world foo", "hello world", false, {0, 12, 15}},
        {"space run at the wrap", "aa   bb", "aa ", false, {0, 5, 7}},
        {"word moves down", "hello world", "hello wor", false, {0, 6, 11}},
        {"long word breaks at overflow", "abcdefghij", "abcd", false, {0, 4, 8, 10}},
        {"one character when nothing fits", "ab", "", false, {0, 1, 2}},
        {"hard breaks and empty last line", "ab\rcd\r", "abcdefgh", false, {0, 3, 6, 7}},
        {"LF becomes CR", "ab\ncd", "abcdefgh", false, {0, 3, 5}},
        {"CR LF is one break", "A\r\nB", "abcdefgh", false, {0, 2, 4}},
        {"two LFs are two breaks", "A\n\nB", "abcdefgh", false, {0, 2, 3, 4}},
        {"break after spaces at a wrap", "hello   \rfoo", "hello", false, {0, 9, 12}},
        {"empty text", "", "abc", false, {0, 0}},
        {"no wrap ends only at CR", "hello world\rfoo bar", "hello", true, {0, 12, 19}},
        {"combining mark kept with its base", "e\xCC\x81" "e\xCC\x81" "e\xCC\x81", "e", false, {0, 2, 4, 6}},
        {"surrogate pair never split", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", "", false, {0, 2, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t width = *c.fits ? Width(c.fits) : 1;
        const LRect r{0, 0, 1000, width + 1};
        VXTERecord* te = VXTENewUsingStyle(&r, &r, kTEStyleCurrent);
        ASSERT_NE(te, nullptr);
        records_.push_back(te);
        te->noWrap = c.noWrap;
        ASSERT_TRUE(VXTESetText(c.text, int32_t(std::strlen(c.text)), kEncodingUTF8, te));
        EXPECT_EQ(Starts(te), c.starts);
    }
}

TEST_F(TextEditTest, TabAtTheWrapStaysOnTheLine) {
    VXTERecord* te = Make(Width("abc"), "abc\tdef");
    EXPECT_EQ(Starts(te), (std::vector<uint32_t>{0, 4, 7}));
    int32_t start;
    EXPECT_EQ(GetLineContentCount(te, 0, true, &start), 3);   // the TAB is trimmed
    EXPECT_EQ(GetLineContentCount(te, 0, false, &start), 4);
}

TEST_F(TextEditTest, MetricsAndAlignment) {
    VXTERecord* te = Make(100, "x");
    StyleMetrics m{};
    GetStyleMetrics(te->style, &m);
    EXPECT_EQ(te->lineHeight, m.ascent + m.descent + 3);
    EXPECT_EQ(te->baseLineOffset, m.ascent + 2);
    EXPECT_EQ(te->descentPart, m.descent + 1);
    EXPECT_EQ(te->tabWidth, 4 * te->fixedTabWidth);
    _LPNT p;
    te->just = kTEJustCenter;  // destination 101 wide
    VXLTEGetAlignmentPoint(te, &p);
    EXPECT_EQ(p.h, 1 + 25);
    EXPECT_EQ(p.v, te->baseLineOffset);
    te->just = kTEJustRight;
    VXLTEGetAlignmentPoint(te, &p);
    EXPECT_EQ(p.h, 1 + 100);
}

// Edits re-wrap only part of the text; the result must equal a layout from scratch.
TEST_F(TextEditTest, RewrapAfterEditsMatchesAFreshLayout) {
    struct Config {
        const char* fits;
        bool noWrap;
    };
    const Config configs[] = {{"abcdefghijklm", false}, {"ab", false}, {"abcdefghijklm", true}};
    const char16_t alphabet[] = u"aaaabbb   \r\t\x00E9\x0301";
    const size_t letters = sizeof(alphabet) / sizeof(alphabet[0]) - 1;
    for (const Config& config : configs) {
        SCOPED_TRACE(config.fits);
        std::mt19937 rng(test::TestSeed());
        VXTERecord* te = Make(Width(config.fits), "The quick brown fox jumps over the lazy dog.");
        VXTERecord* fresh = Make(Width(config.fits), "");
        te->noWrap = fresh->noWrap = config.noWrap;
        VXTECalText(te);
        VXTEActivate(te);
        const uint64_t rounds = test::StressCount(300);
        for (uint64_t round = 0; round < rounds; round++) {
            const std::string before = Text(te);
            const auto [a, b] = SelectSomewhere(te, rng);
            if (rng() % 3 == 0) {
                VXTEKey(kTEKeyBackspace, te);
            } else {
                const int n = int(rng() % 6) + 1;
                std::u16string s;
                for (int k = 0; k < n; k++) s.push_back(alphabet[rng() % letters]);
                EXPECT_EQ(true, VXTEInsert(s.data(), int32_t(s.size() * 2), kEncodingUTF16LE, te));
            }
            ASSERT_TRUE(VXTESetText(*te->text, int32_t(te->length * 2), kEncodingUTF16LE, fresh));
            ASSERT_EQ(Starts(te), Starts(fresh))
                << "round " << round << ": '" << before << "' edited at " << a << ".." << b;
        }
    }
}

// Whether a position splits a character whatever the layout makes of its neighbours: inside a
// surrogate pair or a CR LF, or before a mark, a variation selector or a zero-width joiner that
// follows anything but a break.
bool SplitsACharacter(VXTERecord* te, uint32_t i) {
    if (i == 0 || i >= te->length) return false;
    const auto* u = reinterpret_cast<const char16_t*>(*te->text);
    const char16_t a = u[i - 1], b = u[i];
    if (a >= 0xD800 && a <= 0xDBFF && b >= 0xDC00 && b <= 0xDFFF) return true;
    if (a == 13) return b == 10;
    const bool joins = (b >= 0x300 && b <= 0x36F) || b == 0x200D || (b >= 0xFE00 && b <= 0xFE0F);
    return joins && a != 10 && a != 9;
}

// The line starts, the caret and the selection ends that do not fall on a character boundary.
std::vector<std::string> OffBoundaries(VXTERecord* te) {
    std::vector<std::string> off;
    const auto* starts = reinterpret_cast<const uint32_t*>(*te->lineStarts);
    for (uint32_t line = 0; line < te->lineCount; line++)
        if (SplitsACharacter(te, starts[line])) off.push_back("line " + std::to_string(line) + " at " + std::to_string(starts[line]));
    if (SplitsACharacter(te, te->selStart)) off.push_back("selection start " + std::to_string(te->selStart));
    if (SplitsACharacter(te, te->selEnd)) off.push_back("selection end " + std::to_string(te->selEnd));
    return off;
}

// Characters outside the basic plane: a line of long emoji sequences (a family, joined by ZWJ,
// eleven units) wraps only between them, and a line of emoji after a letter (an odd offset)
// too.
TEST_F(TextEditTest, WrappedLinesStartOnCharacterBoundaries) {
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"
                               "\xE2\x80\x8D\xF0\x9F\x91\xA6";
    const std::string smile = "\xF0\x9F\x98\x80";
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";
    const struct {
        const char* name;
        std::string text;
        const char* fits;
    } cases[] = {
        {"families", "a" + family + family + family + " " + family, "ab"},
        {"families, nothing fits", family + family + "a" + family, ""},
        {"smiles after a letter", "a" + smile + smile + smile + smile + smile + smile + smile + smile + smile, "ab"},
        {"flags", "a" + flag + flag + flag + flag + flag + " " + flag + flag, "a"},
        {"marks on a letter", "ae\xCC\x81\xCC\x82\xCC\x83\xCC\x84\xCC\x85\xCC\x86\xCC\x87\xCC\x88\xCC\x89" + smile, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VXTERecord* te = Make(*c.fits ? Width(c.fits) : 1, c.text);
        EXPECT_GT(te->lineCount, 1u);
        EXPECT_EQ(OffBoundaries(te), std::vector<std::string>{});
    }
}

// A paste that makes one character of the text before and after it (the two halves of a flag)
// leaves the caret after that character, so that what is typed next does not split it.
TEST_F(TextEditTest, APasteThatJoinsACharacterLeavesTheCaretAfterIt) {
    const std::string first = "\xF0\x9F\x87\xA9", second = "\xF0\x9F\x87\xAA";  // the halves of a flag
    const struct {
        const char* name;
        std::string text;
        int32_t at;
        std::string pasted;
        uint32_t caret;
        size_t byte;  // the caret in the UTF-8 text
    } cases[] = {
        {"the first half before the second", second, 0, first, 4, 8},
        {"a letter before its mark", "\xCC\x81z", 0, "ab", 3, 4},
        {"a plain paste", "xy", 1, "ab", 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VXTERecord* te = Make(500, c.text);
        VXTEActivate(te);
        VXTESetScrap(c.pasted.data(), int32_t(c.pasted.size()), kEncodingUTF8);
        VXTESetSelect(c.at, c.at, te);
        VXTEPaste(te);
        EXPECT_EQ(te->selStart, c.caret);
        EXPECT_EQ(te->selEnd, c.caret);
        EXPECT_EQ(OffBoundaries(te), std::vector<std::string>{});
        const std::string before = Text(te);
        VXTEKey('q', te);
        EXPECT_EQ(Text(te), before.substr(0, c.byte) + "q" + before.substr(c.byte));
    }
}

// Pastes, typing, Backspace and forward delete over text with characters of several units
// (emoji, flags, marks, sequences joined by ZWJ): the lines kept after each edit are those of a
// fresh layout of the same text, and line starts, caret and selection stay on character
// boundaries.
TEST_F(TextEditTest, EditsOfCharactersOfSeveralUnitsLayOutAsAFreshText) {
    const std::string pieces[] = {
        "a", "b", " ", "  ", "\r", "\t", "\xCC\x81", "\xE2\x80\x8D", "\xF0\x9F\x98\x80",
        "\xF0\x9F\x87\xA9", "\xF0\x9F\x87\xAA", "\xF0\x9F\x91\xA8", "\xEF\xB8\x8F", "word ",
    };
    const char* widths[] = {"abcdefgh", "ab", ""};
    for (const char* fits : widths) {
        SCOPED_TRACE(fits);
        std::mt19937 rng(test::TestSeed());
        const int32_t width = *fits ? Width(fits) : 1;
        VXTERecord* te = Make(width, "word \xF0\x9F\x87\xA9\xF0\x9F\x87\xAA word \xF0\x9F\x98\x80 a");
        VXTERecord* fresh = Make(width, "");
        VXTEActivate(te);
        const uint64_t rounds = test::StressCount(300);
        for (uint64_t round = 0; round < rounds; round++) {
            const std::string before = Text(te);
            const auto [a, b] = SelectSomewhere(te, rng);
            const uint32_t what = rng() % 5;
            std::string edit;
            if (what == 0) {
                edit = "backspace";
                VXTEKey(kTEKeyBackspace, te);
            } else if (what == 1) {
                edit = "forward delete";
                VXTEKey(kTEKeyForwardDelete, te);
            } else if (what == 2) {
                edit = "typed x";
                VXTEKey('x', te);
            } else {
                std::string pasted;
                for (uint32_t k = rng() % 4 + 1; k > 0; k--) pasted += pieces[rng() % std::size(pieces)];
                edit = "pasted '" + pasted + "'";
                VXTESetScrap(pasted.data(), int32_t(pasted.size()), kEncodingUTF8);
                VXTEPaste(te);
            }
            const std::string trace = "round " + std::to_string(round) + ": '" + before + "' " + edit + " at " +
                                      std::to_string(a) + ".." + std::to_string(b) + " gave '" + Text(te) + "'";
            ASSERT_TRUE(VXTESetText(*te->text, int32_t(te->length * 2), kEncodingUTF16LE, fresh));
            ASSERT_EQ(Starts(te), Starts(fresh)) << trace;
            ASSERT_EQ(OffBoundaries(te), std::vector<std::string>{}) << trace;
            if (te->length > 60) {
                VXTESetSelect(0, int32_t(te->length) - 30, te);
                VXTEKey(kTEKeyBackspace, te);
            }
        }
    }
}

// A paragraph of equal words, three to a line: a letter typed into the first word pushes a
// word down on every line to the paragraph's end (far more lines than an edit usually moves);
// the re-wrap goes on until the next paragraph starts, and leaves that paragraph's lines.
TEST_F(TextEditTest, LongRewrapEndsWhereTheNextParagraphStarts) {
    std::string paragraph;
    for (int i = 0; i < 300; i++) paragraph += "abcd ";
    const std::string text = paragraph + "\r" + paragraph;
    VXTERecord* te = Make(Width("abcd abcd abcd"), text);
    VXTERecord* fresh = Make(Width("abcd abcd abcd"), "");
    ASSERT_EQ(te->lineCount, 200u);
    const std::vector<uint32_t> before = Starts(te);
    VXTEActivate(te);
    VXTESetSelect(2, 2, te);
    VXTEKey('x', te);
    ASSERT_TRUE(VXTESetText(*te->text, int32_t(te->length * 2), kEncodingUTF16LE, fresh));
    const std::vector<uint32_t> after = Starts(te);
    EXPECT_EQ(after, Starts(fresh));
    // Every line of the first paragraph but the first moved back by a word and the paragraph
    // grew by a line; the second paragraph's lines moved only by the inserted letter.
    ASSERT_EQ(te->lineCount, 201u);
    for (size_t line = 1; line < 100; line++) EXPECT_EQ(after[line], before[line] - 4) << line;
    for (size_t line = 100; line < 200; line++) EXPECT_EQ(after[line + 1], before[line] + 1) << line;
    // Typing on, letter by letter, keeps the layout a fresh one makes.
    for (char c : std::string("yz")) {
        VXTEKey(uint16_t(c), te);
        ASSERT_TRUE(VXTESetText(*te->text, int32_t(te->length * 2), kEncodingUTF16LE, fresh));
        EXPECT_EQ(Starts(te), Starts(fresh));
    }
}

// Words are measured once and kept, by their text and the record's style: a record whose style
// changes is measured again in the new style.
TEST_F(TextEditTest, MeasuredWordsFollowTheStyle) {
    VXTERecord* te = Make(Width("hello world"), "hello world hello world");
    EXPECT_EQ(Starts(te), (std::vector<uint32_t>{0, 12, 23}));
    txStyle* big = CreateTextStyle(nullptr, style_);
    SetStyleSize(big, 24);
    VXTESetStyle(big, 2, te);
    VXTECalText(te);
    EXPECT_EQ(Starts(te), (std::vector<uint32_t>{0, 6, 12, 18, 23}));
    SetStyleSize(big, 12);
    VXTESetStyle(big, 2, te);
    VXTECalText(te);
    EXPECT_EQ(Starts(te), (std::vector<uint32_t>{0, 12, 23}));
    DestroyTextStyle(big);
}

TEST_F(TextEditTest, LineOfIndexAndPointsRoundTrip) {
    VXTERecord* te = Make(Width("hello wor"), "hello world\rab\r");
    ASSERT_EQ(Starts(te), (std::vector<uint32_t>{0, 6, 12, 15, 16}));
    const std::array<std::pair<int32_t, int32_t>, 7> lines{
        {{0, 0}, {5, 0}, {6, 1}, {11, 1}, {12, 2}, {14, 2}, {15, 3}}};
    for (auto [index, line] : lines) EXPECT_EQ(VXTELineNumberFromCharIndex(index, te), line) << index;
    // Every index is found again at its own point (the wrap index on the lower line).
    for (int32_t i = 0; i <= int32_t(te->length); i++) {
        _LPNT p;
        te->caretBeforeWrap = 0;
        VXLTEGetPoint(i, &p, te);
        EXPECT_EQ(VXLTEGetCharIndex(&p, te), i) << i;
    }
    // The empty last line after the final CR holds the end of the text.
    _LPNT p;
    VXLTEGetPoint(15, &p, te);
    EXPECT_EQ(p.v, 3 * te->lineHeight + te->baseLineOffset);
    EXPECT_EQ(p.h, 1);
    // Far right of a wrapped line: the wrap index with the caret shown on the upper line.
    const _LPNT right{te->baseLineOffset, 5000};
    EXPECT_EQ(VXLTEGetCharIndex(&right, te), 6);
    EXPECT_EQ(te->caretBeforeWrap, 1);
    VXLTEGetPoint(6, &p, te);
    EXPECT_EQ(p.v, te->baseLineOffset);
    EXPECT_EQ(p.h, 1 + Width("hello"));  // the space at the wrap is not counted
    const _LPNT below{5000, 3};
    EXPECT_EQ(VXLTEGetCharIndex(&below, te), int32_t(te->length));
    const _LPNT above{-50, 30};
    EXPECT_EQ(VXLTEGetCharIndex(&above, te), 0);
}

struct KeyCase {
    const char* name;
    const char* text;
    int32_t selStart, selEnd;
    std::vector<uint16_t> keys;
    const char* result;
    int32_t resultStart, resultEnd;
    bool shift = false;
};

TEST_F(TextEditTest, KeyEditing) {
    const char* acute = "e\xCC\x81";          // e + combining acute: 2 units, 1 character
    const char* smile = "\xF0\x9F\x98\x80";   // a surrogate pair
    const std::string withAcute = std::string("a") + acute + "b";
    const std::string withSmile = std::string("a") + smile + "b";
    const KeyCase cases[] = {
        {"home", "abc", 2, 2, {kTEKeyHome}, "abc", 0, 0},
        {"end", "abc", 1, 1, {kTEKeyEnd}, "abc", 3, 3},
        {"right over a combining mark", withAcute.c_str(), 1, 1, {kTEKeyRight}, withAcute.c_str(), 3, 3},
        {"left over a combining mark", withAcute.c_str(), 3, 3, {kTEKeyLeft}, withAcute.c_str(), 1, 1},
        {"right over a surrogate pair", withSmile.c_str(), 1, 1, {kTEKeyRight}, withSmile.c_str(), 3, 3},
        {"backspace removes base and mark", withAcute.c_str(), 3, 3, {kTEKeyBackspace}, "ab", 1, 1},
        {"forward delete removes a pair", withSmile.c_str(), 1, 1, {kTEKeyForwardDelete}, "ab", 1, 1},
        {"backspace after CR LF removes both", "a\r\nb", 3, 3, {kTEKeyBackspace}, "ab", 1, 1},
        {"forward delete of CR LF removes both", "a\r\nb", 1, 1, {kTEKeyForwardDelete}, "ab", 1, 1},
        {"right over CR LF", "a\r\nb", 1, 1, {kTEKeyRight}, "a\r\nb", 3, 3},
        {"left over CR LF", "a\r\nb", 3, 3, {kTEKeyLeft}, "a\r\nb", 1, 1},
        {"nothing before the start", "ab", 0, 0, {kTEKeyBackspace, kTEKeyLeft}, "ab", 0, 0},
        {"nothing after the end", "ab", 2, 2, {kTEKeyForwardDelete, kTEKeyRight}, "ab", 2, 2},
        {"backspace deletes the selection", "abcd", 1, 3, {kTEKeyBackspace}, "ad", 1, 1},
        {"clear deletes the selection", "abcd", 1, 3, {kTEKeyClear}, "ad", 1, 1},
        {"right collapses to the end", "abcd", 1, 3, {kTEKeyRight}, "abcd", 3, 3},
        {"left collapses to the start", "abcd", 1, 3, {kTEKeyLeft}, "abcd", 1, 1},
        {"typing replaces the selection", "abcd", 1, 3, {'x', 'y'}, "axyd", 3, 3},
        {"typing a mark after its base", "ab", 1, 1, {0x301}, "a\xCC\x81" "b", 2, 2},
        {"tab is typed", "ab", 1, 1, {kTEKeyTab}, "a\tb", 2, 2},
        {"return splits the line", "ab", 1, 1, {kTEKeyReturn}, "a\rb", 2, 2},
        {"control and function keys ignored", "ab", 1, 1, {1, 27, 127, 0xF704}, "ab", 1, 1},
        {"up from the second line", "ab\rcd", 4, 4, {kTEKeyUp}, "ab\rcd", 1, 1},
        {"down from the first line", "ab\rcd", 1, 1, {kTEKeyDown}, "ab\rcd", 4, 4},
        {"up on the first line goes to 0", "ab\rcd", 1, 1, {kTEKeyUp}, "ab\rcd", 0, 0},
        {"down on the last line goes to the end", "ab\rcd", 4, 4, {kTEKeyDown}, "ab\rcd", 5, 5},
        {"shift right over a pair", withSmile.c_str(), 1, 1, {kTEKeyRight}, withSmile.c_str(), 1, 3, true},
        {"shift left moves the start", withAcute.c_str(), 3, 4, {kTEKeyLeft}, withAcute.c_str(), 1, 4, true},
        {"shift down to the end on the last line", "ab\rcd", 1, 1, {kTEKeyDown, kTEKeyDown}, "ab\rcd", 1, 5, true},
        {"shift up to 0 on the first line", "ab\rcd", 4, 4, {kTEKeyUp, kTEKeyUp}, "ab\rcd", 0, 4, true},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        VXTERecord* te = Make(500, c.text);
        VXTEActivate(te);
        VXTESetSelect(c.selStart, c.selEnd, te);
        owner_.shift = c.shift;
        for (uint16_t key : c.keys) VXTEKey(key, te);
        owner_.shift = false;
        std::string expected = c.result;
        for (char& ch : expected) if (ch == '\n' && (&ch == expected.data() || (&ch)[-1] != '\r')) ch = '\r';
        EXPECT_EQ(Text(te), expected);
        EXPECT_EQ(int32_t(te->selStart), c.resultStart);
        EXPECT_EQ(int32_t(te->selEnd), c.resultEnd);
    }
}

TEST_F(TextEditTest, InactiveRecordIgnoresKeysAndClicks) {
    VXTERecord* te = Make(500, "ab");
    VXTEKey('x', te);
    const _LPNT p{5, 1};
    VXTEClick(&p, 0, false, te);
    EXPECT_EQ(Text(te), "ab");
    EXPECT_EQ(te->selStart, 2u);
}

TEST_F(TextEditTest, RightArrowAtAWrapFirstMovesTheCaretDown) {
    VXTERecord* te = Make(Width("hello wor"), "hello world");
    VXTEActivate(te);
    const _LPNT right{te->baseLineOffset, 5000};
    VXTEClick(&right, 0, false, te);
    ASSERT_EQ(te->selStart, 6u);
    ASSERT_EQ(te->caretBeforeWrap, 1);
    EXPECT_EQ(te->caretPoint.v, te->baseLineOffset);  // shown on the upper line
    VXTEKey(kTEKeyRight, te);
    EXPECT_EQ(te->selStart, 6u);
    EXPECT_EQ(te->caretBeforeWrap, 0);
    EXPECT_EQ(te->caretPoint.v, te->lineHeight + te->baseLineOffset);
    EXPECT_EQ(te->caretPoint.h, 1);
    VXTEKey(kTEKeyRight, te);
    EXPECT_EQ(te->selStart, 7u);
    // Left from the start of the lower line goes to the end of the upper line's content.
    VXTEKey(kTEKeyLeft, te);
    VXTEKey(kTEKeyLeft, te);
    EXPECT_EQ(te->selStart, 5u);
}

TEST_F(TextEditTest, ClicksDoubleClicksAndDrags) {
    VXTERecord* te = Make(500, "alpha beta_2 gamma\rsecond line");
    VXTEActivate(te);
    auto at = [&](int32_t index) {
        _LPNT p;
        VXLTEGetPoint(index, &p, te);
        p.v -= 2;
        return p;
    };
    const _LPNT inBeta = at(8);
    VXTEClick(&inBeta, 0, false, te);
    EXPECT_EQ(te->selStart, 8u);
    EXPECT_EQ(te->selEnd, 8u);
    owner_.ticks += 5;
    VXTEClick(&inBeta, 0, false, te);  // double click: the word
    EXPECT_EQ(te->selStart, 6u);
    EXPECT_EQ(te->selEnd, 12u);
    owner_.ticks += 5;
    VXTEClick(&inBeta, 0, false, te);  // a further double click: the line with its CR
    EXPECT_EQ(te->selStart, 0u);
    EXPECT_EQ(te->selEnd, 19u);
    // Too slow for a double click.
    owner_.ticks += 100;
    VXTEClick(&inBeta, 0, false, te);
    owner_.ticks += 31;
    VXTEClick(&inBeta, 0, false, te);
    EXPECT_EQ(te->selStart, te->selEnd);
    // Shift-click extends from the far end.
    VXTESetSelect(6, 12, te);
    const _LPNT inGamma = at(15);
    VXTEClick(&inGamma, 0, true, te);
    EXPECT_EQ(te->selStart, 6u);
    EXPECT_EQ(te->selEnd, 15u);
    // A drag by characters, backwards past the anchor.
    owner_.ticks += 100;
    owner_.drag = {at(10), at(2)};
    VXTEClick(&inBeta, 0, false, te);
    EXPECT_EQ(te->selStart, 2u);
    EXPECT_EQ(te->selEnd, 8u);
    // A drag after a double click extends by whole words.
    owner_.ticks += 100;
    VXTEClick(&inBeta, 0, false, te);
    owner_.ticks += 5;
    owner_.drag = {at(15)};
    VXTEClick(&inBeta, 0, false, te);
    EXPECT_EQ(te->selStart, 6u);
    EXPECT_EQ(te->selEnd, 18u);
}

TEST_F(TextEditTest, ScrapCutCopyPaste) {
    VXTERecord* te = Make(500, "one two three");
    VXTEActivate(te);
    VXTESetSelect(4, 8, te);
    VXTECopy(te);
    EXPECT_EQ(VXTECountScrapCharacters(), 4);
    VXTESetSelect(13, 13, te);
    VXTEPaste(te);
    EXPECT_EQ(Text(te), "one two threetwo ");
    VXTESetSelect(0, 4, te);
    VXTECut(te);
    EXPECT_EQ(Text(te), "two threetwo ");
    EXPECT_EQ(te->selStart, 0u);
    VXTESetSelect(3, 3, te);
    VXTEPaste(te);
    EXPECT_EQ(Text(te), "twoone  threetwo ");
    EXPECT_EQ(te->selStart, 7u);
    // An empty selection copies nothing.
    VXTESetSelect(2, 2, te);
    VXTECopy(te);
    EXPECT_EQ(VXTECountScrapCharacters(), 4);
}

TEST_F(TextEditTest, PasteLimitsAndFilters) {
    VXTESetScrap("wxyz", 4, kEncodingUTF8);
    VXTERecord* te = Make(500, "abc");
    VXTEActivate(te);
    VXTEPasteOptions limit;
    limit.limit = 5;
    VXTEPasteEx(te, &limit);
    EXPECT_EQ(Text(te), "abcwx");
    VXTEPasteEx(te, &limit);  // no room
    EXPECT_EQ(Text(te), "abcwx");

    VXTERecord* filtered = Make(500, "");
    VXTEActivate(filtered);
    VXTEPasteOptions filter;
    filter.filter = [](uint16_t c, void*) { return c != 'y'; };
    VXTEPasteEx(filtered, &filter);
    EXPECT_EQ(Text(filtered), "wx");
    filter.filter = [](uint16_t, void*) { return false; };
    VXTEPasteEx(filtered, &filter);
    EXPECT_EQ(Text(filtered), "wx");

    // A limit that would cut a surrogate pair in half leaves the pair out.
    VXTESetScrap("a\xF0\x9F\x98\x80", 5, kEncodingUTF8);
    VXTERecord* pair = Make(500, "");
    VXTEActivate(pair);
    limit.limit = 2;
    VXTEPasteEx(pair, &limit);
    EXPECT_EQ(Text(pair), "a");
}

TEST_F(TextEditTest, ScrapFromBytesAndTheClipboard) {
    VXTESetScrap("l1\nl2\r\nl3", 9, kEncodingUTF8);
    EXPECT_EQ(VXTECountScrapCharacters(), 9);
    VXTESetScrap("", 0, kEncodingUTF8);  // empty input changes nothing
    EXPECT_EQ(VXTECountScrapCharacters(), 9);
    const char16_t odd[] = u"xy";
    VXTESetScrap(odd, 3, kEncodingUTF16LE);  // the odd byte is dropped
    EXPECT_EQ(VXTECountScrapCharacters(), 1);

    VXTESetScrap("from the scrap\n", 15, kEncodingUTF8);
    VXTEToScrap();
    std::u16string system;
    ASSERT_TRUE(PlatformClipboardGetText(&system));
    EXPECT_EQ(system, u"from the scrap\n");  // lines end with LF for other programs
    VXTEInit();
    EXPECT_EQ(VXTECountScrapCharacters(), 0);
    VXTEFromScrap();
    EXPECT_EQ(VXTECountScrapCharacters(), 15);
    VXTERecord* te = Make(500, "");
    VXTEActivate(te);
    VXTEPaste(te);
    EXPECT_EQ(Text(te), "from the scrap\r");
    EXPECT_EQ(te->lineCount, 2u);
}

TEST_F(TextEditTest, TextInAndOut) {
    VXTERecord* te = Make(500, "ab\ncd");
    EXPECT_EQ(te->length, 5u);
    EXPECT_EQ(te->selStart, 5u);
    Handle h = VXTEGetTextDataForRange(te, 1, -1, kEncodingUTF8);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(std::string(*h, SizeOfHandle(h)), "b\rcd");
    MemFree(h);
    h = VXTEGetTextDataForRange(te, 0, 2, kEncodingUTF16LE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(SizeOfHandle(h), 4u);
    MemFree(h);
    EXPECT_EQ(VXTEGetTextDataForRange(te, 3, 2, kEncodingUTF8), nullptr);
    // Undecodable text leaves the record as it was.
    EXPECT_FALSE(VXTESetText("\xFF\xFE", 2, kEncodingUTF8, te));
    EXPECT_EQ(Text(te), "ab\rcd");
    // An embedded NUL neither cuts the text nor fails.
    EXPECT_TRUE(VXTESetText("a\0b", 3, kEncodingUTF8, te));
    EXPECT_EQ(te->length, 3u);
    // The string is cut at a character boundary.
    ASSERT_TRUE(VXTESetText("a\xC3\xA9", 3, kEncodingUTF8, te));
    char buffer[3];
    VXTEGetTextAsString(te, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "a");
}

TEST_F(TextEditTest, ScrollingAndKeepingTheCaretInView) {
    std::string text;
    for (int i = 0; i < 20; i++) text += "line\r";
    const LRect dest{0, 0, 1000, 200};
    VXTERecord* te = Make(199, text);
    te->viewRect = {0, 0, 3 * te->lineHeight, 200};
    te->destRect = dest;
    VXTEAutoView(true, te);
    VXTEActivate(te);
    VXTEScroll(0, 10, te);  // never below the view's top
    EXPECT_EQ(te->destRect.top, 0);
    VXTESetSelect(50, 50, te);  // line 10
    VXTESelView(te);
    EXPECT_EQ(te->destRect.top, -8 * te->lineHeight);
    VXTEKey(kTEKeyHome, te);
    EXPECT_EQ(te->destRect.top, 0);
    int32_t first, last;
    EXPECT_TRUE(VXLTELinesVisible(nullptr, te, &first, &last));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 2);
    // Dragging below the view scrolls one line a step and extends the selection.
    const _LPNT top{2, 2};
    owner_.drag = {{te->viewRect.bottom + 5, 2}, {te->viewRect.bottom + 5, 2}};
    VXTEClick(&top, 0, false, te);
    EXPECT_EQ(te->destRect.top, -2 * te->lineHeight);
    EXPECT_EQ(te->selStart, 0u);
    EXPECT_EQ(te->selEnd, 25u);  // the start of line 5, under the pointer
}

TEST_F(TextEditTest, CallsLeaveTheWindowAndItsStyleAsTheyWere) {
    VXGrafState other;
    txStyle* otherStyle = CreateTextStyle(nullptr, nullptr);
    other.textStyle = otherStyle;
    txStyle* before = CreateTextStyle(nullptr, otherStyle);
    VXSetCurrentGrafState(&other);
    const LRect r{0, 0, 100, 100};
    VXTERecord* te = VXTENewUsingStyle(&r, &r, kStyleFixed);  // in the other window
    ASSERT_NE(te, nullptr);
    records_.push_back(te);
    VXSetCurrentGrafState(&state_);
    SetStyleSize(style_, 17);
    ASSERT_TRUE(VXTESetText("some text\rmore", -1, kEncodingUTF8, te));
    VXTEActivate(te);
    VXTEKey('x', te);
    _LPNT p;
    VXLTEGetPoint(3, &p, te);
    EXPECT_EQ(VXGetCurrentGrafState(), &state_);
    EXPECT_EQ(style_->size, 17);
    char name[256];
    GetStyleFont(style_, name);
    EXPECT_STREQ(name, "DejaVu Sans");
    EXPECT_TRUE(StyleFieldsMatch(otherStyle, before, kStyleFont | kStyleSize | kStyleFace));
    DestroyTextStyle(before);
    VXTEDispose(te);
    records_.clear();
    DestroyTextStyle(otherStyle);
}

TEST_F(TextEditTest, EditsInvalidateOnlyWhatChanged) {
    VXTERecord* te = Make(500, "one\rtwo\rthree");
    VXTEActivate(te);
    VXTESetSelect(5, 5, te);
    const int32_t lh = te->lineHeight;
    auto covered = [&](int32_t top, int32_t bottom) {
        LRect all{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (const LRect& r : owner_.invalidated) UnionRect32(&all, &r, &all);
        owner_.invalidated.clear();
        return all.top >= top && all.bottom <= bottom;
    };
    owner_.invalidated.clear();
    VXTEKey('x', te);  // the line of the caret
    EXPECT_TRUE(covered(0, 2 * lh + 1));
    VXTEKey(kTEKeyReturn, te);  // everything below moves
    EXPECT_TRUE(std::any_of(owner_.invalidated.begin(), owner_.invalidated.end(), [&](const LRect& r) {
        return r.top <= lh && r.bottom == te->viewRect.bottom;
    }));
    owner_.invalidated.clear();
    VXTESetSelect(10, 12, te);  // the old caret and the new selection
    EXPECT_TRUE(covered(lh, 4 * lh));
}

TEST_F(TextEditTest, PageKeysMoveByThePageHeight) {
    std::string text;
    for (int i = 0; i < 20; i++) text += "line\r";
    VXTERecord* te = Make(500, text);
    VXTEActivate(te);
    VXTESetSelect(2, 2, te);
    VXTEKey(kTEKeyPageDown, te);  // no page height: nothing
    EXPECT_EQ(te->selStart, 2u);
    te->pageHeight = uint16_t(5 * te->lineHeight);
    VXTEKey(kTEKeyPageDown, te);
    EXPECT_EQ(te->selStart, 4u * 5 + 2);
    VXTEKey(kTEKeyPageUp, te);
    EXPECT_EQ(te->selStart, 2u);
    VXTEKey(kTEKeyPageUp, te);  // not above the first line
    EXPECT_EQ(te->selStart, 2u);
    for (int i = 0; i < 10; i++) VXTEKey(kTEKeyPageDown, te);
    EXPECT_EQ(VXTELineNumberFromCharIndex(int32_t(te->selStart), te), 20);
}

TEST_F(TextEditTest, VisibleRectOfARange) {
    VXTERecord* te = Make(500, "a\rb\rc\rd");
    te->viewRect = {0, 0, 2 * te->lineHeight, 501};
    LRect r;
    EXPECT_TRUE(VXTEGetVisibleRectForRange(te, 2, 4, &r));
    EXPECT_EQ(r.top, te->lineHeight);
    EXPECT_EQ(r.bottom, 2 * te->lineHeight);  // clipped to the view
    EXPECT_FALSE(VXTEGetVisibleRectForRange(te, 6, 7, &r));
    VXTEFeatureFlag(kTEFeatureNoClip, 1, te);
    EXPECT_TRUE(VXTEGetVisibleRectForRange(te, 6, 7, &r));
    EXPECT_EQ(r.bottom, 4 * te->lineHeight);
}

TEST_F(TextEditTest, CaretBlinksAndActivation) {
    VXTERecord* te = Make(500, "ab");
    VXTEActivate(te);
    EXPECT_EQ(owner_.active, te);
    EXPECT_EQ(te->caretShown, 1);
    owner_.ticks += 31;
    VXTEIdle(te);
    EXPECT_EQ(te->caretShown, 0);
    VXTEIdle(te);  // not yet time
    EXPECT_EQ(te->caretShown, 0);
    owner_.ticks += 31;
    VXTEIdle(te);
    EXPECT_EQ(te->caretShown, 1);
    VXTEDeactivate(te);
    EXPECT_EQ(owner_.active, nullptr);
    EXPECT_EQ(te->clickIndex, -1);
    VXTEActivate(te);
    VXTEDispose(te);
    records_.clear();
    EXPECT_EQ(owner_.active, nullptr);
}

TEST_F(TextEditTest, CalcBoxOfAText) {
    LRect box{10, 20, 0, 20 + Width("alpha beta") + 1};
    int32_t start, length, lines;
    const char* text = "alpha beta gamma";
    ASSERT_TRUE(VXTECalcBoxWithStyle(text, 16, kEncodingUTF8, kTEStyleCurrent, 0, &box, &start, &length, &lines));
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(length, 10);
    EXPECT_EQ(box.right, 20 + Width("alpha beta") + 1);
    int16_t lh;
    VXTECalcStyleMetrics(style_, &lh, nullptr, nullptr);
    EXPECT_EQ(box.bottom, 10 + 2 * lh);
}

// Drawing on an off-screen image: the text and the selection leave ink inside the view only.
struct Image {
    QZBitmap bitmap{};
};
int32_t KindOf(void*) { return kQZWindowOffScreen; }
bool ImageOf(void* w, QZBitmap* out) {
    *out = static_cast<Image*>(w)->bitmap;
    return true;
}

TEST_F(TextEditTest, DrawsTextSelectionAndCaretInsideTheView) {
    constexpr int kW = 200, kH = 80;
    std::vector<uint8_t> pixels(kW * kH, 0xFF);
    Image image;
    image.bitmap = {pixels.data(), kW, kH, kW, DrawPixelFormat::kGrey8};
    QZWindowHooks hooks;
    hooks.kind = KindOf;
    hooks.image = ImageOf;
    QZSetWindowHooks(hooks);
    QZPort* port = QZPortAlloc(&image);
    QZPort* previousPort = state_.port;
    state_.port = port;
    ASSERT_NE(QZInstallContext(port), nullptr);
    QZSetFocus(port, -1);
    auto ink = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++) n += pixels[size_t(y * kW + x)] < 128;
        return n;
    };

    const LRect dest{10, 10, 70, 110};
    VXTERecord* te = VXTENewUsingStyle(&dest, &dest, kTEStyleCurrent);
    ASSERT_NE(te, nullptr);
    records_.push_back(te);
    ASSERT_TRUE(VXTESetText("Wrapped text in a box", -1, kEncodingUTF8, te));
    VXTEActivate(te);
    VXLTEUpdate(nullptr, te);
    EXPECT_GT(ink(10, 10, 110, 70), 50);
    EXPECT_EQ(ink(0, 0, kW, 10) + ink(110, 0, kW, kH) + ink(0, 70, kW, kH), 0);

    // A text box turned a quarter about its top left corner lies below and left of it.
    std::fill(pixels.begin(), pixels.end(), 0xFF);
    const LRect box{10, 150, 60, 190};
    const _LPNT corner{10, 150};
    VXTESetTextBoxRotation(90, &corner);
    VXTETextBox("Box text", -1, &box, kTEJustLeft, 0, 0);
    VXTESetTextBoxRotation(0, nullptr);
    EXPECT_GT(ink(100, 10, 151, 51), 10);
    EXPECT_EQ(ink(0, 0, 100, kH) + ink(151, 0, kW, kH) + ink(100, 51, 151, kH), 0);
    QZReleaseContext(port);
    QZPortFree(port);
    state_.port = previousPort;
}

}  // namespace
}  // namespace plexa
