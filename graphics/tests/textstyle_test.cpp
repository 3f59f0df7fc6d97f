// Text styles: the stored style list in both byte orders and against damaged input, field
// copies and matches, default kinds, user interface fonts, font families and metrics.
#include "graphics/textstyle.h"

#include <gtest/gtest.h>

#include "tests/support/foundation_testing.h"

#include "tests/support/graphics_testing.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/fonts.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {
const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new test::TextTestEnvironment);

using test::Hex;

// Helvetica 12 plain and Courier 10 bold, as a little-endian and a big-endian writer store them.
const std::string kLittle = Hex("3412 0200 09 48656c766574696361 0c00 0000 07 436f7572696572 0a00 0100");
const std::string kBig = Hex("1234 0002 09 48656c766574696361 000c 0000 07 436f7572696572 000a 0001");

using test::HandleStream;

struct StyleRef {
    txStyle* style;
    StyleRef(const char* font, uint16_t size, uint16_t face) : style(CreateTextStyle(nullptr, nullptr)) {
        SetStyleFont(style, font);
        SetStyleSize(style, size);
        SetStyleFace(style, face);
    }
    ~StyleRef() { DestroyTextStyle(style); }
};

struct Described {
    std::string font;
    uint16_t size, face;
    bool operator==(const Described&) const = default;
};

std::vector<Described> Describe(const TextStyleList* list) {
    std::vector<Described> out;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto* s = static_cast<txStyle*>(item);
        char name[256];
        GetStyleFont(s, name);
        out.push_back({name, s->size, s->face});
    }
    return out;
}

std::string Write(const TextStyleList* list) {
    HandleStream out;
    EXPECT_EQ(WriteStyleList(out.stream, list), 0);
    return out.bytes();
}

TEST(StyleList, NoStyleHasTheEmptyFontName) {
    char name[256] = "x";
    GetStyleFont(nullptr, name);
    EXPECT_STREQ(name, "");
}

TEST(StyleList, StoredFormInBothByteOrders) {
    TextStyleList* list = CreateTextStyleList(nullptr);
    StyleRef courier("Courier", 10, kFaceBold), helvetica("Helvetica", 12, 0);
    InstallStyleInList(courier.style, list);  // new styles go to the head
    InstallStyleInList(helvetica.style, list);
    EXPECT_EQ(Write(list), kLittle);
    DestroyTextStyleList(list);

    const std::vector<Described> expected = {{"Helvetica", 12, 0}, {"Courier", 10, 1}};
    for (const std::string* stored : {&kLittle, &kBig}) {
        HandleStream in(*stored);
        TextStyleList* read = nullptr;
        ASSERT_EQ(ReadStyleList(nullptr, in.stream, &read), 0);
        EXPECT_EQ(Describe(read), expected);
        EXPECT_EQ(Write(read), kLittle);
        EXPECT_FALSE(in.stream->flags & kStreamSwapOnRead);  // the stream's setting is restored
        DestroyTextStyleList(read);
    }
}

TEST(StyleList, NoListAndEmptyNames) {
    EXPECT_EQ(Write(nullptr), Hex("3412 0000"));
    // An empty stored name reads as the default font.
    HandleStream in(Hex("3412 0100 00 0900 0000"));
    TextStyleList* read = nullptr;
    ASSERT_EQ(ReadStyleList(nullptr, in.stream, &read), 0);
    auto* s = static_cast<txStyle*>(LLFirst(read));
    EXPECT_EQ(s->fontName, GetDefaultFonts().userFamily);
    EXPECT_NE(s->fontName, 0u);
    DestroyTextStyleList(read);
}

// A list longer than its stored count can say is refused before anything is written.
TEST(StyleList, TooManyStylesAreNotWritten) {
    TextStyleList* list = CreateTextStyleList(nullptr);
    for (uint32_t i = 0; i < 0x10000; i++) LLPush(list, CreateTextStyle(nullptr, nullptr));
    HandleStream out;
    EXPECT_EQ(WriteStyleList(out.stream, list), status::kParamErr);
    EXPECT_EQ(out.bytes().size(), 0u);
    DestroyTextStyleList(list);
}

TEST(StyleList, DamagedInputEndsWithAStatus) {
    // In a pool with a small ceiling: styles are made only as their bytes are read, so a count
    // beyond the styles never makes the reader run into it.
    test::CappedPool capped(128 * 1024);
    // Every truncation of a good list.
    for (size_t n = 0; n < kLittle.size(); n++) {
        HandleStream in(kLittle.substr(0, n));
        TextStyleList* read = reinterpret_cast<TextStyleList*>(1);
        EXPECT_EQ(ReadStyleList(capped.pool(), in.stream, &read), status::kEndOfFile) << n;
        EXPECT_EQ(read, nullptr);
    }
    struct Case {
        std::string bytes;
        OSStatus status;
    };
    const Case cases[] = {
        {Hex("3456 0100 00 0900 0000"), kStyleListBadMark},
        {Hex("0000 0000"), kStyleListBadMark},
        {Hex("3412 ffff 00 0900 0000"), status::kEndOfFile},   // a count beyond the styles
        {Hex("3412 0100 ff 41414141"), status::kEndOfFile},    // a name beyond the data
    };
    for (const Case& c : cases) {
        HandleStream in(c.bytes);
        TextStyleList* read = nullptr;
        EXPECT_EQ(ReadStyleList(capped.pool(), in.stream, &read), c.status);
        EXPECT_EQ(read, nullptr);
    }
    EXPECT_FALSE(capped.hitCeiling());
}

// Mutated lists either read (and then store as they read) or fail with no list left behind.
TEST(StyleList, MutatedInputNeverCrashes) {
    std::mt19937 random(test::TestSeed());
    const uint64_t rounds = test::StressCount(2000);
    test::CappedPool capped(128 * 1024);
    for (uint64_t round = 0; round < rounds; round++) {
        std::string bytes = random() % 2 ? kLittle : kBig;
        for (int i = 0, n = 1 + int(random() % 4); i < n; i++) bytes[random() % bytes.size()] = char(random());
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        HandleStream in(bytes);
        TextStyleList* read = nullptr;
        const OSStatus st = ReadStyleList(capped.pool(), in.stream, &read);
        ASSERT_FALSE(capped.hitCeiling()) << round;
        if (st != status::kNoErr) {
            EXPECT_EQ(read, nullptr);
            continue;
        }
        HandleStream again(Write(read));
        TextStyleList* back = nullptr;
        ASSERT_EQ(ReadStyleList(nullptr, again.stream, &back), 0);
        EXPECT_EQ(Describe(back), Describe(read));
        DestroyTextStyleList(back);
        DestroyTextStyleList(read);
    }
}

TEST(StyleList, LongNamesAreCutAtACharacterBoundary) {
    struct Case {
        std::string name;
        size_t stored;
    };
    const std::string e = "\xC3\xA9";  // two bytes
    const Case cases[] = {
        {std::string(254, 'a') + e, 254},
        {std::string(253, 'a') + e + "z", 255},
        {std::string(255, 'a'), 255},
        {std::string(300, 'a'), 255},
        {std::string(253, 'a') + "\xF0\x9D\x90\x80", 253},  // four bytes
    };
    for (const Case& c : cases) {
        TextStyleList* list = CreateTextStyleList(nullptr);
        StyleRef s(c.name.c_str(), 12, 0);
        InstallStyleInList(s.style, list);
        const std::string bytes = Write(list);
        ASSERT_GT(bytes.size(), 4u);
        EXPECT_EQ(uint8_t(bytes[4]), c.stored);
        EXPECT_EQ(bytes.substr(5, c.stored), c.name.substr(0, c.stored));
        EXPECT_EQ(bytes.size(), 4 + 1 + c.stored + 4);
        DestroyTextStyleList(list);
    }
}

TEST(TextStyle, ToggleAndCopyOfFields) {
    struct Case {
        uint16_t destination, source;
        uint32_t fields;
        uint16_t face;
    };
    const Case cases[] = {{3, 1, kStyleToggleFace, 2}, {3, 0, kStyleToggleFace, 0},
                          {3, 1, kStyleToggleFace | kStyleFace, 1}, {3, 1, 0, 3}, {3, 1, kStyleSize, 3}};
    for (const Case& c : cases) {
        StyleRef d("DejaVu Sans", 12, c.destination), s("DejaVu Sans", 12, c.source);
        InstallStyleInStyle(s.style, d.style, c.fields);
        EXPECT_EQ(d.style->face, c.face);
    }
    StyleRef a("DejaVu Sans", 12, 1);
    InstallStyleInStyle(a.style, a.style, kStyleToggleFace);
    EXPECT_EQ(a.style->face, 1);
}

TEST(TextStyle, MatchingAndInstallingInAList) {
    StyleRef a("DejaVu Sans", 12, 0), b(std::string("DejaVu Sans").c_str(), 12, 0), c("DejaVu Sans", 12, 4);
    EXPECT_EQ(a.style->fontName, b.style->fontName);  // interned: equal names, equal references
    EXPECT_TRUE(StyleFieldsMatch(a.style, b.style, kStyleFont | kStyleSize | kStyleFace));
    EXPECT_FALSE(StyleFieldsMatch(a.style, c.style, kStyleFace));  // other face bits compare
    EXPECT_FALSE(StyleFieldsMatch(c.style, a.style, kStyleToggleFace));
    EXPECT_TRUE(StyleFieldsMatch(a.style, b.style, kStyleToggleFace));

    TextStyleList* list = CreateTextStyleList(nullptr);
    txStyle* first = InstallStyleInList(a.style, list);
    EXPECT_EQ(InstallStyleInList(b.style, list), first);
    EXPECT_EQ(list->count, 1u);
    EXPECT_NE(InstallStyleInList(c.style, list), first);
    EXPECT_EQ(list->count, 2u);
    EXPECT_EQ(FindMatchingStyleInList(list, c.style), LLFirst(list));
    EXPECT_EQ(FindMatchingStyleInList(nullptr, c.style), nullptr);
    DestroyTextStyleList(list);
}

TEST(TextStyle, DefaultsAndTheDefaultFont) {
    const DefaultFonts& d = GetDefaultFonts();
    StyleRef s("", 12, 0);
    EXPECT_EQ(s.style->fontName, d.userFamily);  // an empty name is the user font family
    struct Case {
        int32_t kind;
        uint32_t font;
        uint16_t size;
    };
    const Case cases[] = {{27, d.userFamily, d.smallSystemSize}, {28, d.fixedFamily, d.smallSystemSize},
                          {29, d.userFamily, d.userSize},        {30, d.fixedFamily, d.userSize},
                          {31, d.systemFamily, d.systemSize},    {32, 0, d.smallSystemSize},
                          {40, d.userFamily, d.userSize},        {4, InternFontName("<uifont_4>"), 1}};
    for (const Case& c : cases) {
        SetStyleFace(s.style, 3);
        SetupDefaultStyle(s.style, c.kind);
        EXPECT_EQ(s.style->fontName, c.font) << c.kind;
        EXPECT_EQ(s.style->size, c.size) << c.kind;
        EXPECT_EQ(s.style->face, 0) << c.kind;
    }
    // Copying a style without a name gives the default font.
    SetupDefaultStyle(s.style, kStyleNoName);
    txStyle* copy = CreateTextStyle(nullptr, s.style);
    EXPECT_EQ(copy->fontName, d.userFamily);
    DestroyTextStyle(copy);
}

// The default family named on its own is the same font as the default, whichever of the two
// was met first: styles of either match and a list keeps one of them.
TEST(TextStyle, TheDefaultFamilyByItsNameIsTheDefaultFont) {
    const DefaultFonts& d = GetDefaultFonts();
    const std::string family(FontNameOf(d.userFamily));
    ASSERT_NE(family, "");
    EXPECT_EQ(FontNameOf(d.systemFamily), family);
    EXPECT_TRUE(SameFontName(InternFontName(family), d.userFamily));
    EXPECT_TRUE(SameFontName(d.systemFamily, d.userFamily));
    EXPECT_FALSE(SameFontName(InternFontName("No Such Family"), d.userFamily));
    StyleRef named(family.c_str(), 12, 0);
    StyleRef other("No Such Family", 12, 0);
    txStyle* byDefault = CreateTextStyle(nullptr, nullptr);
    SetStyleSize(byDefault, 12);
    EXPECT_TRUE(StyleFieldsMatch(named.style, byDefault, kStyleFont | kStyleSize | kStyleFace));
    EXPECT_FALSE(StyleFieldsMatch(other.style, byDefault, kStyleFont));
    TextStyleList* list = CreateTextStyleList(nullptr);
    txStyle* first = InstallStyleInList(byDefault, list);
    EXPECT_EQ(InstallStyleInList(named.style, list), first);
    EXPECT_EQ(list->count, 1u);
    DestroyTextStyleList(list);
    DestroyTextStyle(byDefault);
}

TEST(TextStyle, UserInterfaceFonts) {
    struct Case {
        const char* name;
        uint16_t size, face;
        double fontSize;
        bool bold, italic;
    };
    const Case cases[] = {
        {"<uifont_4>", 1, kFaceItalic, double(UIFontDefaultSize(4)), false, true},
        {"<uifont_4>", 20, kFaceBold, 20, false, false},       // bold is not applied
        {"<uifont_3>", 1, 0, double(UIFontDefaultSize(3)), true, false},  // emphasised by itself
    };
    for (const Case& c : cases) {
        StyleRef s(c.name, c.size, c.face);
        const TextFontInfo info = TextFontDescribe(GetCTFontForTextStyle(s.style));
        EXPECT_EQ(info.size, c.fontSize) << c.name;
        EXPECT_EQ(info.bold, c.bold) << c.name;
        EXPECT_EQ(info.italic, c.italic) << c.name;
    }
    EXPECT_EQ(UIFontDefaultSize(4) < UIFontDefaultSize(2), true);
    StyleRef bad("<uifont_99>", 1, 0);
    EXPECT_EQ(GetCTFontForTextStyle(bad.style), nullptr);
    EXPECT_EQ(EstablishAttributesForStyle(bad.style)->dict, nullptr);
}

TEST(TextStyle, OtherFaceBitsDoNotChangeTheFont) {
    StyleRef s("DejaVu Sans", 12, 0x0C | kFaceItalic);
    const TextFontInfo info = TextFontDescribe(GetCTFontForTextStyle(s.style));
    EXPECT_FALSE(info.bold);
    EXPECT_TRUE(info.italic);
    EXPECT_EQ(info.resolvedFamily, "DejaVu Sans");
}

TEST(TextStyle, MetricsAreCachedUntilAFieldChanges) {
    StyleRef s("DejaVu Sans", 12, 0);
    StyleMetrics m{};
    GetStyleMetrics(s.style, &m);
    EXPECT_FALSE(s.style->flags & kStyleMetricsStale);
    EXPECT_EQ(m.ascent, 11);
    EXPECT_EQ(m.descent, 3);
    EXPECT_EQ(m.leading, 1);
    EXPECT_EQ(m.lineHeight, 15);
    EXPECT_EQ(m.width, 7);  // "_0_" is 19.6 wide: 20 / 3 + 1
    const uint32_t generation = s.style->attributes.generation;
    EXPECT_EQ(GetLineHeightForCTFont(s.style->font), 14);  // 11.14 + 2.83, no leading

    SetStyleSize(s.style, 24);
    EXPECT_TRUE(s.style->flags & kStyleMetricsStale);
    EXPECT_EQ(s.style->font, nullptr);
    GetStyleMetrics(s.style, &m);
    EXPECT_EQ(m.ascent, 22);
    EXPECT_EQ(m.lineHeight, 29);
    EXPECT_GT(s.style->attributes.generation, generation);

    // Without a current window the metrics are zero.
    GetStyleMetrics(nullptr, &m);
    EXPECT_EQ(m.lineHeight, 0);
}

TEST(TextStyle, CopyKeepsTheDestinationsLinks) {
    TextStyleList* list = CreateTextStyleList(nullptr);
    StyleRef a("DejaVu Sans", 10, 0), b("DejaVu Sans", 11, 0), big("DejaVu Serif", 30, 1);
    InstallStyleInList(a.style, list);
    txStyle* head = InstallStyleInList(b.style, list);
    EstablishAttributesForStyle(big.style);
    CopyTextStyle(big.style, head);
    EXPECT_EQ(list->count, 2u);
    EXPECT_EQ(LLGetNext(list, head), LLGetIndexedLink(list, 1));
    EXPECT_EQ(Describe(list).size(), 2u);
    EXPECT_EQ(head->attributes.generation, big.style->attributes.generation);
    EXPECT_EQ(head->font, big.style->font);  // its own reference to the same font
    DestroyTextStyleList(list);
}

TEST(TextStyle, ScratchAndTemporaryStyles) {
    txStyle* first = GetTempDefaultStyle(29);
    for (int i = 0; i < 7; i++) GetTempDefaultStyle(30);
    EXPECT_EQ(GetTempDefaultStyle(31), first);
    EXPECT_EQ(first->fontName, GetDefaultFonts().systemFamily);

    txStyle* scratch = GetScratchStyle();
    SetStyleSize(scratch, 40);
    ReleaseScratchStyle(scratch);
    txStyle* again = GetScratchStyle();
    EXPECT_EQ(again, scratch);  // recycled
    EXPECT_EQ(again->size, GetDefaultFonts().userSize);
    ReleaseScratchStyle(again);
}

TEST(Fonts, InstalledFamilies) {
    ASSERT_GT(VXCountFonts(), 0);
    const int32_t index = VXGetFontIndexFromName("dejavu sans", nullptr);
    ASSERT_GE(index, 0);
    char name[256];
    ASSERT_NE(VXGetIndexedFont(index, name), nullptr);
    EXPECT_STREQ(name, "DejaVu Sans");
    const std::u16string upper = u"DEJAVU SANS";
    EXPECT_EQ(VXGetFontIndexFromName(nullptr, &upper), index);
    EXPECT_EQ(VXGetFontIndexFromName(nullptr, "DEJAVU sans"), index);
    EXPECT_EQ(VXGetFontIndexFromName("No Such Family", nullptr), -1);
    EXPECT_EQ(VXGetIndexedFont(VXCountFonts(), name), nullptr);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(VXGetIndexedFont(-1, nullptr), nullptr);
}

}  // namespace
}  // namespace plexa
