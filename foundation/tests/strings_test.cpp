#include "foundation/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace plexa {
namespace {

// A length-prefixed string of text (at most 255 bytes) in a 256-byte buffer.
Str255 P(const std::string& text) { return TempC2P(text.c_str()); }
std::string C(const unsigned char* p) { return TempP2C(p); }

// ---- Conversions and copies ----

TEST(Strings, LengthPrefixedConversions) {
    std::string longText(300, 'x');
    std::vector<char> buffer(longText.begin(), longText.end());
    buffer.push_back(0);
    unsigned char* p = InlineC2PStr(buffer.data());
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(std::string(InlineP2CStr(p)), std::string(255, 'x'));

    char small[] = "abc";
    EXPECT_EQ(C(InlineC2PStr(small)), "abc");
    EXPECT_STREQ(InlineP2CStr(reinterpret_cast<unsigned char*>(small)), "abc");

    EXPECT_EQ(C(P("").data()), "");
    EXPECT_EQ(P(longText)[0], 255);
}

TEST(Strings, CopiesStayWithinTheirSizes) {
    unsigned char pdest[8];
    std::memset(pdest, 0xEE, sizeof pdest);
    StrCpyC2P(pdest, 5, "abcdefgh");
    EXPECT_EQ(C(pdest), "abcd");
    EXPECT_EQ(pdest[5], 0xEE);

    char cdest[8];
    std::memset(cdest, 0x7E, sizeof cdest);
    StrCpyP2C(cdest, 4, P("hello").data());
    EXPECT_STREQ(cdest, "hel");
    EXPECT_EQ(cdest[4], 0x7E);

    struct Case {
        const char* source;
        size_t size;
        int16_t n;
        const char* want;
    } cases[] = {
        {"abcdef", 10, 3, "abc"},   // n bytes, then a NUL at [n]
        {"ab", 10, 5, "ab"},        // stops after the NUL
        {"abcdef", 4, 10, "abc"},   // the size limits
        {"abc", 10, 0, ""},         // n below 1
        {"abc", 10, -4, ""},
        {"abc", 1, 3, ""},
    };
    for (const Case& c : cases) {
        char out[16];
        std::memset(out, 0x7E, sizeof out);
        StrNCpy(out, c.size, c.source, c.n);
        EXPECT_STREQ(out, c.want) << c.source << " " << c.n;
        EXPECT_EQ(out[c.size], 0x7E);
    }
    char untouched[2] = {'z', 0};
    StrNCpy(untouched, 0, "abc", 3);
    EXPECT_EQ(untouched[0], 'z');

    unsigned char pcopy[4];
    StrNCpyP(pcopy, sizeof pcopy, P("abcdef").data(), 5);
    EXPECT_EQ(C(pcopy), "abc");
    StrNCpyP(pcopy, sizeof pcopy, P("abcdef").data(), 2);
    EXPECT_EQ(C(pcopy), "ab");
}

// ---- Comparisons ----

TEST(Strings, LengthPrefixedComparisons) {
    struct Case {
        const char *a, *b;
        int n, plain, folded;
    } cases[] = {
        {"ab", "abc", 5, -1, -1}, {"ab", "abc", 2, 0, 0},  {"abc", "ab", 5, 1, 1},
        {"abc", "abd", 3, -1, -1}, {"abc", "abd", 2, 0, 0}, {"ABC", "abc", 3, -1, 0},
        {"abc", "abc", 9, 0, 0},   {"", "a", 1, -1, -1},    {"a", "b", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(StrNCmpP(P(c.a).data(), P(c.b).data(), c.n), c.plain);
        EXPECT_EQ(StrCINCmpP(P(c.a).data(), P(c.b).data(), c.n), c.folded);
    }
}

TEST(Strings, CaseInsensitiveComparison) {
    struct Case {
        const char *a, *b;
        uint16_t n;
        int want;
    } cases[] = {
        {"Hello", "hELLO", 5, 0}, {"abc", "abd", 2, 0},  {"abc", "abd", 3, -1}, {"abd", "ABC", 9, 1},
        {"ab", "abc", 9, -1},     {"abc", "ab", 9, 1},    {"x", "y", 0, 0},      {"same", "SAME", 100, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(StrCINCmp(c.a, c.b, c.n), c.want) << c.a << " " << c.b;
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(Strings, NaturalOrderOfDesignators) {
    std::vector<std::string> names = {"R10", "R2", "r1", "R05", "R5", "R9"};
    auto sorted = [&](bool caseSensitive) {
        std::vector<std::string> v = names;
        std::stable_sort(v.begin(), v.end(), [&](const std::string& a, const std::string& b) {
            return StrCmpAlphaNumeric(a.c_str(), b.c_str(), caseSensitive) < 0;
        });
        return v;
    };
    EXPECT_EQ(sorted(false), (std::vector<std::string>{"r1", "R2", "R05", "R5", "R9", "R10"}));
    EXPECT_EQ(sorted(true), (std::vector<std::string>{"R2", "R05", "R5", "R9", "R10", "r1"}));
}

TEST(Strings, NaturalOrderPairs) {
    const std::string big = "123456789012345678901234567890";
    struct Case {
        std::string a, b;
        bool caseSensitive;
        int sign;
    } cases[] = {
        {"R2", "R10", false, -1},
        {"R10", "R9", false, 1},
        {"a05", "a5", false, -1},
        {"abc", "ABC", false, 0},
        {"abc", "ABC", true, 1},
        {"", "a", false, -1},
        {"", "", false, 0},
        {"U1.10", "U1.9", false, 1},
        {"a1b", "a1c", false, -1},
        {"a0012", "a12", false, -1},
        {"05", "0010", false, -1},
        {"x7", "x", false, 1},
        {"pin", "pin0", false, -1},
        // Runs far beyond 64 bits compare exactly.
        {"N" + big, "N" + big, false, 0},
        {"N" + big, "N" + big + "0", false, -1},
        {"N" + big + "1", "N" + big + "2", false, -1},
        {"N" + big, "N9", false, 1},
        {"N000" + big, "N" + big, false, -1},
        {"N" + big + "x", "N" + big + "y", false, -1},
        {"N99999999999999999999", "N100000000000000000000", false, -1},
        {"N18446744073709551616", "N18446744073709551615", false, 1},  // 2^64 vs 2^64 - 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(Sign(StrCmpAlphaNumeric(c.a.c_str(), c.b.c_str(), c.caseSensitive)), c.sign);
        EXPECT_EQ(Sign(StrCmpAlphaNumeric(c.b.c_str(), c.a.c_str(), c.caseSensitive)), -c.sign);
    }
    EXPECT_EQ(StrCmpAlphaNumeric("ab", "ad", true), 'b' - 'd');  // bytes decide by their difference
}

TEST(Strings, NaturalOrderOfLongRuns) {
    std::vector<std::string> want = {"C9", "C10", "C00000000000000000000011", "C11", "C99999999999999999999",
                                     "C100000000000000000000", "C100000000000000000001",
                                     "C1000000000000000000000000000000"};
    std::vector<std::string> got = {want[5], want[7], want[0], want[3], want[6], want[1], want[4], want[2]};
    std::sort(got.begin(), got.end(), [](const std::string& a, const std::string& b) {
        return StrCmpAlphaNumeric(a.c_str(), b.c_str(), true) < 0;
    });
    EXPECT_EQ(got, want);
}

// ---- Editing ----

// The trailing number of a designator, its prefix and suffix, and cutting the text there.
TEST(Strings, SplittingADesignator) {
    const struct {
        const char* text;
        int32_t number, prefixLength;
        const char *suffix, *cut;
    } cases[] = {
        {"U12B", 12, 1, "B", "U"},   {"12", 12, 0, "", ""},      {"ABC", -1, 0, "", "ABC"},
        {"", -1, 0, "", ""},         {"R1.A", 1, 1, ".A", "R"},  {"IC7", 7, 2, "", "IC"},
        {"A1B2", 2, 3, "", "A1B"},   {"X007", 7, 1, "", "X"},
    };
    for (const auto& c : cases) {
        char text[32];
        std::strcpy(text, c.text);
        char suffix[8] = "junk";
        int32_t prefix = -5;
        EXPECT_EQ(SplitAlphaNumericString(text, false, &prefix, suffix, sizeof suffix), c.number) << c.text;
        EXPECT_EQ(prefix, c.prefixLength) << c.text;
        EXPECT_STREQ(suffix, c.suffix) << c.text;
        EXPECT_STREQ(text, c.text);  // without cutting the text stays
        EXPECT_EQ(SplitAlphaNumericString(text, true, nullptr, nullptr, 0), c.number);
        EXPECT_STREQ(text, c.cut) << c.text;
    }
    // A long suffix is cut to its buffer.
    char text[] = "J5abcdefghij";
    char suffix[4];
    EXPECT_EQ(SplitAlphaNumericString(text, false, nullptr, suffix, sizeof suffix), 5);
    EXPECT_STREQ(suffix, "abc");
}

TEST(Strings, DeleteLengthPrefixed) {
    struct Case {
        int16_t position, count;
        const char* want;
    } cases[] = {{1, 2, "cdef"}, {3, 1, "abdef"}, {5, 9, "abcd"}, {6, 1, "abcde"},
                 {7, 1, "abcdef"}, {0, 1, "abcdef"}, {2, 0, "abcdef"}, {2, -3, "abcdef"}};
    for (const Case& c : cases) {
        Str255 s = P("abcdef");
        Delete(s.data(), c.position, c.count);
        EXPECT_EQ(C(s.data()), c.want) << c.position << " " << c.count;
    }
}

TEST(Strings, ConcatStopsAtItsSize) {
    Str255 d;
    Concat(d.data(), d.size(), {P("ab").data(), P("").data(), P("cde").data()});
    EXPECT_EQ(C(d.data()), "abcde");
    Concat(d.data(), d.size(), {d.data(), P("!").data(), d.data()});  // the destination as a part
    EXPECT_EQ(C(d.data()), "abcde!abcde");

    unsigned char small[5];
    std::memset(small, 0xEE, sizeof small);
    Concat(small, 4, {P("ab").data(), P("cd").data()});
    EXPECT_EQ(C(small), "abc");
    EXPECT_EQ(small[4], 0xEE);

    std::string half(200, 'h');
    Concat(d.data(), d.size(), {P(half).data(), P(half).data()});
    EXPECT_EQ(d[0], 255);
}

TEST(Strings, InsertAndDeleteInPlace) {
    struct Insert {
        const char* insertion;
        int16_t position;
        size_t size;
        bool done;
        const char* want;
    } inserts[] = {
        {"XY", 0, 16, true, "XYabcd"}, {"XY", 2, 16, true, "abXYcd"}, {"XY", 4, 16, true, "abcdXY"},
        {"XY", 5, 16, false, "abcd"},  {"XY", -1, 16, false, "abcd"}, {"", 1, 16, false, "abcd"},
        {"XY", 1, 7, true, "aXYbcd"},  {"XY", 1, 6, false, "abcd"},  // needs 7 bytes with the NUL
    };
    for (const Insert& c : inserts) {
        char buffer[16] = "abcd";
        EXPECT_EQ(StrInsert(c.insertion, buffer, c.size, c.position), c.done) << c.insertion << c.position;
        EXPECT_STREQ(buffer, c.want);
    }
    char self[16] = "abcd";
    EXPECT_TRUE(StrInsert(self + 2, self, sizeof self, 1));  // the insertion lies inside the string
    EXPECT_STREQ(self, "acdbcd");

    struct Remove {
        int16_t position, count;
        const char* want;
    } removes[] = {{0, 2, "cdef"}, {2, 2, "abef"}, {4, 10, "abcd"}, {6, 1, "abcdef"},
                   {-1, 1, "abcdef"}, {1, 0, "abcdef"}};
    for (const Remove& c : removes) {
        char buffer[] = "abcdef";
        StrDelete(buffer, c.position, c.count);
        EXPECT_STREQ(buffer, c.want) << c.position << " " << c.count;
    }
}

TEST(Strings, TrimAndUpper) {
    struct Case {
        const char *in, *want;
    } cases[] = {{"  a b  ", "a b"}, {"ab", "ab"}, {"    ", ""}, {"", ""}, {"\ta ", "\ta"}};
    for (const Case& c : cases) {
        char buffer[16];
        std::strcpy(buffer, c.in);
        TrimSpacesC(buffer);
        EXPECT_STREQ(buffer, c.want);
        Str255 p = P(c.in);
        TrimSpacesP(p.data());
        EXPECT_EQ(C(p.data()), c.want);
    }
    char text[] = "Abc-9z\xC3\xA9";
    StrToUpper(text);
    EXPECT_STREQ(text, "ABC-9Z\xC3\xA9");
}

TEST(Strings, AppendFormatTakesTextOfAnyLength) {
    std::string out = "a";
    AppendFormat(&out, "%d-%s", 12, "b");
    EXPECT_EQ(out, "a12-b");
    const std::string wide(5000, 'x');
    AppendFormat(&out, "%s!", wide.c_str());
    EXPECT_EQ(out, "a12-b" + wide + "!");
    AppendFormat(&out, "%s", "");
    EXPECT_EQ(out.size(), 5u + 5000u + 1u);
}

// ---- Numbers ----

TEST(Strings, NumberParsing) {
    struct Case {
        const char* text;
        uint32_t base;
        bool isUnsigned;
        int32_t value;
        int endOffset;
        bool range;
    } cases[] = {
        {" -12x", 10, false, -12, 4, false},
        {"0x1F", 0, false, 31, 4, false},
        {"0X1f", 16, false, 31, 4, false},
        {"017", 0, false, 15, 3, false},
        {"0x", 0, false, 0, 1, false},  // "0" in base 8; the x is not taken
        {"+42", 10, false, 42, 3, false},
        {"zz", 36, false, 1295, 2, false},
        {"12", 1, false, 0, 0, false},
        {"12", 37, false, 0, 0, false},
        {"  x", 10, false, 0, 0, false},
        {"-", 10, false, 0, 0, false},
        {"2147483647", 10, false, INT32_MAX, 10, false},
        {"-2147483648", 10, false, INT32_MIN, 11, false},
        {"4294967295", 10, true, -1, 10, false},
        {"-1", 10, true, -1, 2, false},
        // Overflow: clamped, ERANGE, the end at the digit that overflowed.
        {"99999999999", 10, false, INT32_MAX, 9, true},
        {"-99999999999", 10, false, INT32_MIN, 10, true},
        {"2147483648", 10, false, INT32_MAX, 9, true},
        {"-2147483649", 10, false, INT32_MIN, 10, true},
        {"4294967296", 10, true, -1, 9, true},
        {"99999999999", 10, true, -1, 9, true},
        {"0x100000000", 0, true, -1, 10, true},
        {"0x80000000", 16, false, INT32_MAX, 9, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " base " + std::to_string(c.base));
        errno = 0;
        const char* end = nullptr;
        EXPECT_EQ(StringToInt32X(c.text, &end, c.base, c.isUnsigned), c.value);
        EXPECT_EQ(end - c.text, c.endOffset);
        EXPECT_EQ(errno == ERANGE, c.range);
    }
    EXPECT_EQ(StringToSInt32("-7", nullptr, 10), -7);
    EXPECT_EQ(StringToUInt32("4000000000", nullptr, 10), 4000000000u);
}

TEST(Strings, IPAddresses) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"1.2.3.4", true, 0x01020304},      {"255.255.255.255", true, 0xFFFFFFFF}, {"10.0.0.1 x", true, 0x0A000001},
        {"1.2.3", false, 0},                {"1.2.3.256", false, 0},                {"1.2.3.4x", false, 0},
        {"1..3.4", false, 0},               {"-1.2.3.4", false, 0},                 {"", false, 0},
        {"1.2.3.4.5", false, 0},            {"001.002.003.004", true, 0x01020304},
        {"1.2.3.99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t out = 0xABCDEF01;
        EXPECT_EQ(IPStringToInt32(c.text, &out), c.ok) << c.text;
        EXPECT_EQ(out, c.ok ? c.value : 0xABCDEF01) << c.text;
    }
    char buffer[16];
    EXPECT_STREQ(Int32ToIPString(0xC0A80001, buffer, sizeof buffer), "192.168.0.1");
    char tight[6];
    EXPECT_STREQ(Int32ToIPString(0xFFFFFFFF, tight, sizeof tight), "255.2");
}

// ---- Extensions ----

TEST(Strings, FileNameExtensions) {
    struct Case {
        const char *name, *extension;
        bool has, removed;
        const char* after;
    } cases[] = {
        {"sheet.SHX", ".shx", true, true, "sheet"}, {".shx", ".SHX", false, false, ".shx"},
        {"sheet.txt", ".shx", false, false, "sheet.txt"}, {"a.b.c", "", true, true, "a"},
        {"plain", "", true, false, "plain"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameHasExtension(c.name, c.extension), c.has) << c.name;
        char buffer[32];
        std::strcpy(buffer, c.name);
        EXPECT_EQ(RemoveExtension(c.extension, buffer), c.removed) << c.name;
        EXPECT_STREQ(buffer, c.after);
    }
}

// ---- Encodings ----

TEST(Strings, ValidUTF8IsKept) {
    const char* texts[] = {
        "plain ASCII",
        "Caf\xC3\xA9",                                     // 2-byte
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",            // Japanese, 3 bytes each
        "\xE7\x94\xB5\xE8\xB7\xAF\xE5\x9B\xBE",            // Chinese, 3 bytes each
        "\xF0\x9D\x84\x9E clef",                           // U+1D11E, 4 bytes
        "\xF0\x9F\x98\x80\xF0\x9F\x98\x80",                // two 4-byte characters
        "",
    };
    for (const char* text : texts) {
        char buffer[64];
        std::strcpy(buffer, text);
        EXPECT_FALSE(RecodeFromMacRomanIfNeeded(buffer, sizeof buffer, kEncodingUTF8)) << text;
        EXPECT_STREQ(buffer, text);
    }
    char roman[] = "Caf\x8E";
    EXPECT_FALSE(RecodeFromMacRomanIfNeeded(roman, sizeof roman, kEncodingMacRoman));
    EXPECT_STREQ(roman, "Caf\x8E");
}

TEST(Strings, MacRomanBecomesUTF8) {
    struct Case {
        const char *in, *want;
    } cases[] = {
        {"Caf\x8E", "Caf\xC3\xA9"},
        {"\x8A", "\xC3\xA4"},                               // a with diaeresis
        {"10\xA1" "C", "10\xC2\xB0" "C"},                   // degree sign
        {"\xB5" "F \xBD", "\xC2\xB5" "F \xCE\xA9"},         // micro, Omega
        {"\xDB" "5", "\xE2\x82\xAC" "5"},                   // euro
        {"\xE6\x97", "\xC3\x8A\xC3\xB3"},                   // broken UTF-8 is Mac Roman
    };
    for (const Case& c : cases) {
        char buffer[32];
        std::strcpy(buffer, c.in);
        EXPECT_TRUE(RecodeFromMacRomanIfNeeded(buffer, sizeof buffer, kEncodingUTF8)) << c.in;
        EXPECT_STREQ(buffer, c.want);
    }
    char tight[6] = "\x8E\x8E\x8E";  // three 2-byte characters: only two fit with the NUL
    EXPECT_TRUE(RecodeFromMacRomanIfNeeded(tight, sizeof tight, kEncodingUTF8));
    EXPECT_STREQ(tight, "\xC3\xA9\xC3\xA9");
}

TEST(Strings, MacRomanHighHalf) {
    std::set<char16_t> seen;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        SCOPED_TRACE(byte);
        const char in[2] = {char(byte), 0};
        std::u16string text = TempCFStringUsing(in, kEncodingMacRoman);
        ASSERT_EQ(text.size(), 1u);
        EXPECT_GE(text[0], 0x80);
        seen.insert(text[0]);
        char back[2] = {'x', 'x'};
        ExtractCFStringTo(text, back, sizeof back, kEncodingMacRoman);
        EXPECT_EQ(uint8_t(back[0]), byte);
        char utf8[8];
        std::strcpy(utf8, in);
        EXPECT_TRUE(RecodeFromMacRomanIfNeeded(utf8, sizeof utf8, kEncodingUTF8));
        EXPECT_EQ(TempCFStringUsing(utf8, kEncodingUTF8), text);
    }
    EXPECT_EQ(seen.size(), 128u);
    struct Known {
        int byte;
        char16_t unit;
    } known[] = {{0x80, 0x00C4}, {0x8A, 0x00E4}, {0x8E, 0x00E9}, {0xA5, 0x2022}, {0xAA, 0x2122},
                 {0xBD, 0x03A9}, {0xCA, 0x00A0}, {0xD2, 0x201C}, {0xDB, 0x20AC}, {0xDE, 0xFB01},
                 {0xF0, 0xF8FF}, {0xF5, 0x0131}, {0xFF, 0x02C7}};
    for (const Known& k : known) {
        const char in[2] = {char(k.byte), 0};
        EXPECT_EQ(TempCFStringUsing(in, kEncodingMacRoman), std::u16string(1, k.unit)) << k.byte;
    }
}

TEST(Strings, PlatformStrings) {
    const char* invalid[] = {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE6\x97", "\x80"};
    for (const char* text : invalid) EXPECT_TRUE(TempCFStringUsing(text, kEncodingUTF8).empty());
    EXPECT_TRUE(TempCFStringUsing(nullptr, kEncodingUTF8).empty());
    EXPECT_TRUE(TempCFStringUsing("abc", 0x0600).empty());  // an encoding not handled here

    std::u16string clef = TempCFStringUsing("a\xF0\x9D\x84\x9E", kEncodingUTF8);
    EXPECT_EQ(clef, u"a\U0001D11E");
    EXPECT_EQ(GetCFStringByteSize(clef, kEncodingUTF8), 6u);
    EXPECT_EQ(GetCFStringByteSize(clef, kEncodingUTF16LE), 8u);
    EXPECT_EQ(GetCFStringByteSize(clef, kEncodingMacRoman), 3u);  // "a?"
    EXPECT_EQ(GetCFStringByteSize(u"", kEncodingUTF8), 1u);

    // UTF-16 round trip; whole characters only when space runs short.
    char wide[16];
    ExtractCFStringTo(clef, wide, sizeof wide, kEncodingUTF16LE);
    EXPECT_EQ(TempCFStringUsing(wide, kEncodingUTF16LE), clef);
    std::memset(wide, 0x55, sizeof wide);
    ExtractCFStringTo(clef, wide, 7, kEncodingUTF16LE);  // the pair needs 4 bytes + 2 after "a"
    EXPECT_EQ(TempCFStringUsing(wide, kEncodingUTF16LE), u"a");
    EXPECT_EQ(wide[4], 0x55);

    char out[8] = "zzzzzzz";
    ExtractCFStringTo(u"\u65E5\u672C", out, 6, kEncodingUTF8);
    EXPECT_STREQ(out, "\xE6\x97\xA5");
    ExtractCFStringTo(u"\u65E5", out, 0, kEncodingUTF8);  // no room even for the NUL
    EXPECT_STREQ(out, "\xE6\x97\xA5");
    ExtractCFStringTo(u"x\u65E5", out, sizeof out, kEncodingMacRoman);
    EXPECT_STREQ(out, "x?");

    EXPECT_EQ(TempCFStringForFinderName("a/b:c"), u"a:b:c");
    char name[16];
    EXPECT_STREQ(ExtractFinderNameCFString(u"a:b/c", name, sizeof name), "a/b/c");
    std::string longName(300, 'n');
    longName[5] = '/';
    EXPECT_EQ(TempCFStringForFinderName(longName.c_str())[5], u'/');
}

TEST(Strings, Recoding) {
    char buffer[32] = "\xE6\x97\xA5\xF0\x9D\x84\x9E";
    RecodeString(buffer, sizeof buffer, kEncodingUTF8, kEncodingUTF16LE);
    EXPECT_EQ(TempCFStringUsing(buffer, kEncodingUTF16LE), u"\u65E5\U0001D11E");
    RecodeString(buffer, sizeof buffer, kEncodingUTF16LE, kEncodingUTF8);
    EXPECT_STREQ(buffer, "\xE6\x97\xA5\xF0\x9D\x84\x9E");

    char bad[8] = "ab\xFF";  // not UTF-8: left as it is rather than emptied
    RecodeString(bad, sizeof bad, kEncodingUTF8, kEncodingMacRoman);
    EXPECT_STREQ(bad, "ab\xFF");

    char roman[8] = "\x8E";
    RecodeString(roman, sizeof roman, kEncodingMacRoman, kEncodingUTF8);
    EXPECT_STREQ(roman, "\xC3\xA9");
    RecodeString(roman, sizeof roman, kEncodingUTF8, kEncodingMacRoman);
    EXPECT_STREQ(roman, "\x8E");
}

TEST(Strings, TruncateUTF8) {
    struct Case {
        const char* text;
        int32_t size;
        bool cut;
        const char* want;
    } cases[] = {
        {"abc", 4, false, "abc"},
        {"abc", 3, true, "ab"},
        {"a\xE6\x97\xA5", 4, true, "a"},           // never splits the 3-byte character
        {"a\xE6\x97\xA5", 5, false, "a\xE6\x97\xA5"},
        {"\xF0\x9D\x84\x9E", 4, true, ""},
        {"ab\xFF" "cd", 4, true, "ab\xFF"},        // not UTF-8: cut at size - 1
        {"a\xE6\x97\xA5\xFF", 4, true, "a"},       // what follows the cut does not matter
        {"abc", 1, true, ""},
        {"abc", 0, false, "abc"},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::strcpy(buffer, c.text);
        EXPECT_EQ(TruncateUTF8ForByteSize(buffer, c.size), c.cut) << c.text << " " << c.size;
        EXPECT_STREQ(buffer, c.want);
    }
}

}  // namespace
}  // namespace plexa
