// String utilities; see strings.h.
#include "foundation/strings.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>

namespace plexa {

namespace {

using Bytes = const unsigned char*;

unsigned char FoldLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }
unsigned char FoldUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsDigit19(unsigned char c) { return c >= '1' && c <= '9'; }
bool IsWhite(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
int Sign(int v) { return (v > 0) - (v < 0); }

// Value of a digit or letter in bases up to 36; 99 for anything else.
uint32_t DigitValue(unsigned char c) {
    if (IsDigit(c)) return c - '0';
    c = FoldLower(c);
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return 99;
}

// ---- Encodings ----

// The Mac Roman bytes 0x80 to 0xFF as Unicode code points.
constexpr char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // F8
};

// The Mac Roman byte of a code point, or 0 when it has none.
unsigned char MacRomanByte(char32_t cp) {
    if (cp < 0x80) return static_cast<unsigned char>(cp);
    for (int i = 0; i < 128; ++i)
        if (kMacRomanHigh[i] == cp) return static_cast<unsigned char>(0x80 + i);
    return 0;
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void AppendUTF16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one UTF-8 character at p (length bytes available): its code point and byte
// length, or a length of 0 when the bytes there are not well-formed UTF-8.
size_t DecodeUTF8Char(Bytes p, size_t length, char32_t& cp) {
    unsigned char c = p[0];
    size_t n;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (length < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// The length of the text at bytes within limit bytes: up to the first NUL (the first 0
// unit for UTF-16), or all of them when none comes first.
size_t TextLength(Bytes bytes, size_t limit, uint32_t encoding) {
    if (encoding == kEncodingUTF16LE) {
        size_t i = 0;
        while (i + 2 <= limit && (bytes[i] | bytes[i + 1]) != 0) i += 2;
        return i;
    }
    return strnlen(reinterpret_cast<const char*>(bytes), limit);
}

// Decodes length bytes (no terminator among them) in an encoding; nothing for an unknown
// encoding or text not well-formed in it.
std::optional<std::u16string> Decode(Bytes bytes, size_t length, uint32_t encoding) {
    std::u16string out;
    if (encoding == kEncodingMacRoman) {
        out.reserve(length);
        for (size_t i = 0; i < length; ++i)
            out.push_back(bytes[i] < 0x80 ? char16_t(bytes[i]) : kMacRomanHigh[bytes[i] - 0x80]);
    } else if (encoding == kEncodingUTF8) {
        out.reserve(length);
        char32_t cp;
        for (size_t i = 0; i < length;) {
            size_t n = DecodeUTF8Char(bytes + i, length - i, cp);
            if (n == 0) return std::nullopt;
            AppendUTF16(out, cp);
            i += n;
        }
    } else if (encoding == kEncodingUTF16LE) {
        out.reserve(length / 2);
        for (size_t i = 0; i + 2 <= length; i += 2) out.push_back(char16_t(bytes[i] | (bytes[i + 1] << 8)));
        for (size_t i = 0; i < out.size(); ++i) {  // surrogates must come in pairs
            if (IsHighSurrogate(out[i]) && i + 1 < out.size() && IsLowSurrogate(out[i + 1])) ++i;
            else if (IsHighSurrogate(out[i]) || IsLowSurrogate(out[i])) return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    return out;
}

bool KnownEncoding(uint32_t encoding) {
    return encoding == kEncodingMacRoman || encoding == kEncodingUTF8 || encoding == kEncodingUTF16LE;
}

// Encodes whole characters of text while they fit in maxBytes ("?" for a character the
// encoding cannot hold, such as an unpaired surrogate outside UTF-16). Unknown encodings give
// nothing.
std::string Encode(std::u16string_view text, uint32_t encoding, size_t maxBytes) {
    std::string out;
    if (!KnownEncoding(encoding)) return out;
    for (size_t i = 0; i < text.size();) {
        char32_t cp = text[i];
        size_t units = 1;
        if (IsHighSurrogate(cp) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            units = 2;
        }
        bool lone = IsHighSurrogate(cp) || IsLowSurrogate(cp);
        char buf[4];
        size_t n = 0;
        if (encoding == kEncodingUTF16LE) {
            for (size_t k = 0; k < units; ++k) {
                buf[n++] = char(text[i + k] & 0xFF);
                buf[n++] = char(text[i + k] >> 8);
            }
        } else if (lone) {
            buf[n++] = '?';
        } else if (encoding == kEncodingMacRoman) {
            unsigned char b = MacRomanByte(cp);
            buf[n++] = (b != 0 || cp == 0) ? char(b) : '?';
        } else if (cp < 0x80) {
            buf[n++] = char(cp);
        } else if (cp < 0x800) {
            buf[n++] = char(0xC0 | (cp >> 6));
            buf[n++] = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            buf[n++] = char(0xE0 | (cp >> 12));
            buf[n++] = char(0x80 | ((cp >> 6) & 0x3F));
            buf[n++] = char(0x80 | (cp & 0x3F));
        } else {
            buf[n++] = char(0xF0 | (cp >> 18));
            buf[n++] = char(0x80 | ((cp >> 12) & 0x3F));
            buf[n++] = char(0x80 | ((cp >> 6) & 0x3F));
            buf[n++] = char(0x80 | (cp & 0x3F));
        }
        if (out.size() + n > maxBytes) break;
        out.append(buf, n);
        i += units;
    }
    return out;
}

uint32_t TerminatorSize(uint32_t encoding) { return encoding == kEncodingUTF16LE ? 2 : 1; }

// Length-prefixed comparison shared by the plain and case-insensitive forms.
int CompareP(Bytes a, Bytes b, int32_t n, bool foldCase) {
    int32_t shorter = std::min(a[0], b[0]);
    int32_t k = std::clamp(n, 0, shorter);
    for (int32_t i = 1; i <= k; ++i) {
        unsigned char x = foldCase ? FoldLower(a[i]) : a[i];
        unsigned char y = foldCase ? FoldLower(b[i]) : b[i];
        if (x != y) return x < y ? -1 : 1;
    }
    if (shorter < n && a[0] != b[0]) return a[0] < b[0] ? -1 : 1;
    return 0;
}

// The bounds of a string's leading and trailing spaces: [first, last) is what stays.
void TrimBounds(const unsigned char* s, size_t length, size_t& first, size_t& last) {
    first = 0;
    last = length;
    while (first < last && s[first] == ' ') ++first;
    while (last > first && s[last - 1] == ' ') --last;
}

}  // namespace

// ---- Length-prefixed and NUL-terminated conversions and copies ----

unsigned char* InlineC2PStr(char* buffer) {
    size_t n = strnlen(buffer, 255);
    std::memmove(buffer + 1, buffer, n);
    auto* p = reinterpret_cast<unsigned char*>(buffer);
    p[0] = static_cast<unsigned char>(n);
    return p;
}

char* InlineP2CStr(unsigned char* buffer) {
    size_t n = buffer[0];
    std::memmove(buffer, buffer + 1, n);
    buffer[n] = 0;
    return reinterpret_cast<char*>(buffer);
}

void StrCpyC2P(unsigned char* destination, size_t size, const char* source) {
    if (size == 0) return;
    size_t n = strnlen(source, std::min<size_t>(255, size - 1));
    std::memmove(destination + 1, source, n);
    destination[0] = static_cast<unsigned char>(n);
}

void StrCpyP2C(char* destination, size_t size, const unsigned char* source) {
    if (size == 0) return;
    size_t n = std::min<size_t>(source[0], size - 1);
    std::memmove(destination, source + 1, n);
    destination[n] = 0;
}

void StrNCpy(char* destination, size_t size, const char* source, int16_t n) {
    if (size == 0) return;
    size_t limit = n < 1 ? 0 : std::min<size_t>(size_t(n), size - 1);
    size_t k = strnlen(source, limit);
    std::memmove(destination, source, k);
    destination[k] = 0;
}

void StrNCpyP(unsigned char* destination, size_t size, const unsigned char* source, int32_t n) {
    if (size == 0) return;
    size_t k = std::min<size_t>({source[0], size_t(std::max(n, 0)), size - 1});
    std::memmove(destination + 1, source + 1, k);
    destination[0] = static_cast<unsigned char>(k);
}

Str255 TempC2P(const char* string) {
    Str255 out{};
    StrCpyC2P(out.data(), out.size(), string);
    return out;
}

std::string TempP2C(const unsigned char* string) {
    return std::string(reinterpret_cast<const char*>(string + 1), string[0]);
}

// ---- Comparisons ----

int StrNCmpP(const unsigned char* a, const unsigned char* b, int32_t n) { return CompareP(a, b, n, false); }

int StrCINCmpP(const unsigned char* a, const unsigned char* b, int32_t n) { return CompareP(a, b, n, true); }

int StrCINCmp(const char* a, const char* b, uint16_t n) {
    auto pa = reinterpret_cast<Bytes>(a);
    auto pb = reinterpret_cast<Bytes>(b);
    for (uint32_t i = 0; i < n; ++i) {
        unsigned char x = FoldLower(pa[i]), y = FoldLower(pb[i]);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) break;
    }
    return 0;
}

int StrCmpAlphaNumeric(const char* a, const char* b, bool caseSensitive) {
    auto pa = reinterpret_cast<Bytes>(a);
    auto pb = reinterpret_cast<Bytes>(b);
    auto fold = [caseSensitive](unsigned char c) { return caseSensitive ? c : FoldLower(c); };
    for (;;) {
        // Walk while equal; stop at a difference or at a shared digit 1 to 9.
        int d = 0;
        for (;;) {
            unsigned char x = fold(*pa), y = fold(*pb);
            if (x != y) {
                d = int(x) - int(y);
                break;
            }
            if (x == 0) return 0;
            if (IsDigit19(x)) break;
            ++pa, ++pb;
        }
        while (*pa == '0') ++pa;
        while (*pb == '0') ++pb;
        if (!IsDigit19(*pa) || !IsDigit19(*pb)) return d;
        // Two digit runs without leading zeros: the longer is larger, else the first
        // differing digit decides; equal values leave the decision to d.
        Bytes ea = pa, eb = pb;
        while (IsDigit(*ea)) ++ea;
        while (IsDigit(*eb)) ++eb;
        if (ea - pa != eb - pb) return (ea - pa) < (eb - pb) ? -1 : 1;
        if (int c = std::memcmp(pa, pb, size_t(ea - pa)); c != 0) return Sign(c);
        if (d != 0) return d;
        pa = ea, pb = eb;
    }
}

int32_t SplitAlphaNumericString(char* text, bool cut, int32_t* prefixLength, char* suffix,
                                size_t suffixSize) {
    if (prefixLength) *prefixLength = 0;
    if (suffix && suffixSize > 0) suffix[0] = 0;
    if (!text || !*text) return -1;
    size_t end = std::strlen(text);
    while (end > 0 && !IsDigit(Bytes(text)[end - 1])) --end;
    if (end == 0) return -1;
    size_t start = end;
    while (start > 0 && IsDigit(Bytes(text)[start - 1])) --start;
    const int32_t number = StringToSInt32(text + start, nullptr, 10);
    if (prefixLength) *prefixLength = int32_t(start);
    if (suffix && suffixSize > 0) {
        const size_t n = std::min(std::strlen(text + end), suffixSize - 1);
        std::memcpy(suffix, text + end, n);
        suffix[n] = 0;
    }
    if (cut) text[start] = 0;
    return number;
}

// ---- Editing in place ----

void Delete(unsigned char* string, int16_t position, int16_t count) {
    int length = string[0];
    if (position < 1 || position > length || count < 1) return;
    int n = std::min<int>(count, length - position + 1);
    std::memmove(string + position, string + position + n, size_t(length - position + 1 - n));
    string[0] = static_cast<unsigned char>(length - n);
}

unsigned char* Concat(unsigned char* destination, size_t size,
                      std::initializer_list<const unsigned char*> parts) {
    if (size == 0) return destination;
    size_t capacity = std::min<size_t>(255, size - 1);
    unsigned char joined[256];
    size_t length = 0;
    for (const unsigned char* part : parts) {
        size_t n = std::min<size_t>(part[0], capacity - length);
        std::memcpy(joined + 1 + length, part + 1, n);
        length += n;
    }
    joined[0] = static_cast<unsigned char>(length);
    std::memcpy(destination, joined, length + 1);
    return destination;
}

bool StrInsert(const char* insertion, char* string, size_t size, int16_t position) {
    size_t length = strnlen(string, size);
    size_t n = std::strlen(insertion);
    if (length == size || n == 0 || position < 0 || size_t(position) > length || length + n >= size)
        return false;
    std::string copy(insertion, n);  // the insertion may lie inside string
    std::memmove(string + position + n, string + position, length - size_t(position) + 1);
    std::memcpy(string + position, copy.data(), n);
    return true;
}

void StrDelete(char* string, int16_t position, int16_t count) {
    size_t length = std::strlen(string);
    if (position < 0 || size_t(position) >= length || count < 1) return;
    size_t n = std::min<size_t>(size_t(count), length - size_t(position));
    std::memmove(string + position, string + position + n, length - size_t(position) - n + 1);
}

void TrimSpacesC(char* string) {
    size_t first, last;
    TrimBounds(reinterpret_cast<Bytes>(string), std::strlen(string), first, last);
    std::memmove(string, string + first, last - first);
    string[last - first] = 0;
}

void TrimSpacesP(unsigned char* string) {
    size_t first, last;
    TrimBounds(string + 1, string[0], first, last);
    std::memmove(string + 1, string + 1 + first, last - first);
    string[0] = static_cast<unsigned char>(last - first);
}

void AppendFormat(std::string* to, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        const size_t at = to->size();
        to->resize(at + size_t(length) + 1);
        std::vsnprintf(to->data() + at, size_t(length) + 1, format, args);
        to->resize(at + size_t(length));
    }
    va_end(args);
}

void StrToUpper(char* string) {
    for (auto* p = reinterpret_cast<unsigned char*>(string); *p != 0; ++p) *p = FoldUpper(*p);
}

// ---- Numbers and addresses ----

int32_t StringToInt32X(const char* string, const char** end, uint32_t base, bool isUnsigned) {
    auto p = reinterpret_cast<Bytes>(string);
    if (end != nullptr) *end = string;
    if (base == 1 || base > 36) return 0;
    while (IsWhite(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if ((base == 0 || base == 16) && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = *p == '0' ? 8 : 10;
    }
    const uint64_t limit = isUnsigned ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    uint64_t value = 0;
    Bytes digits = p;
    for (; DigitValue(*p) < base; ++p) {
        uint64_t next = value * base + DigitValue(*p);
        if (next > limit) {
            errno = ERANGE;
            if (end != nullptr) *end = reinterpret_cast<const char*>(p);
            if (isUnsigned) return int32_t(0xFFFFFFFFu);
            return negative ? INT32_MIN : INT32_MAX;
        }
        value = next;
    }
    if (p == digits) return 0;
    if (end != nullptr) *end = reinterpret_cast<const char*>(p);
    uint32_t v = uint32_t(value);
    return int32_t(negative ? 0u - v : v);
}

int32_t StringToSInt32(const char* string, const char** end, uint32_t base) {
    return StringToInt32X(string, end, base, false);
}

uint32_t StringToUInt32(const char* string, const char** end, uint32_t base) {
    return uint32_t(StringToInt32X(string, end, base, true));
}

bool IPStringToInt32(const char* string, uint32_t* out) {
    auto p = reinterpret_cast<Bytes>(string);
    const size_t length = strnlen(string, 31);
    size_t i = 0;
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= length || p[i] != '.') return false;
            ++i;
        }
        if (i >= length || !IsDigit(p[i])) return false;
        uint32_t value = 0;
        for (; i < length && IsDigit(p[i]); ++i) {
            value = value * 10 + (p[i] - '0');
            if (value > 255) return false;
        }
        address = (address << 8) | value;
    }
    if (i < length && !IsWhite(p[i])) return false;
    *out = address;
    return true;
}

char* Int32ToIPString(uint32_t address, char* buffer, size_t size) {
    std::snprintf(buffer, size, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                  address & 0xFF);
    return buffer;
}

// ---- File-name extensions ----

bool NameHasExtension(const char* name, const char* extension) {
    size_t ln = std::strlen(name), le = std::strlen(extension);
    if (ln <= le) return false;
    for (size_t i = 0; i < le; ++i)
        if (FoldLower(Bytes(name)[ln - le + i]) != FoldLower(Bytes(extension)[i])) return false;
    return true;
}

bool RemoveExtension(const char* extension, char* name) {
    if (extension[0] == 0) {
        char* dot = std::strchr(name, '.');
        if (dot == nullptr) return false;
        *dot = 0;
        return true;
    }
    if (!NameHasExtension(name, extension)) return false;
    name[std::strlen(name) - std::strlen(extension)] = 0;
    return true;
}

// ---- Platform strings ----

bool DecodeTextLossy(const void* bytes, size_t length, uint32_t encoding, std::u16string* out) {
    out->clear();
    if (!KnownEncoding(encoding)) return false;
    const auto* p = static_cast<Bytes>(bytes);
    if (!p) return true;
    if (encoding == kEncodingMacRoman) {
        *out = Decode(p, length, encoding).value_or(std::u16string());
        return true;
    }
    if (encoding == kEncodingUTF8) {
        out->reserve(length);
        for (size_t i = 0; i < length;) {
            char32_t cp;
            const size_t n = DecodeUTF8Char(p + i, length - i, cp);
            AppendUTF16(*out, n ? cp : U'?');
            i += n ? n : 1;
        }
        return true;
    }
    out->reserve(length / 2);
    for (size_t i = 0; i + 2 <= length; i += 2) out->push_back(char16_t(p[i] | (p[i + 1] << 8)));
    for (size_t i = 0; i < out->size(); ++i) {
        if (IsHighSurrogate((*out)[i]) && i + 1 < out->size() && IsLowSurrogate((*out)[i + 1])) ++i;
        else if (IsHighSurrogate((*out)[i]) || IsLowSurrogate((*out)[i])) (*out)[i] = u'?';
    }
    return true;
}

std::u16string TempCFStringUsing(const void* bytes, uint32_t encoding) {
    if (bytes == nullptr) return {};
    auto p = static_cast<Bytes>(bytes);
    return Decode(p, TextLength(p, SIZE_MAX, encoding), encoding).value_or(std::u16string());
}

uint32_t GetCFStringByteSize(std::u16string_view string, uint32_t encoding) {
    return uint32_t(Encode(string, encoding, SIZE_MAX).size()) + TerminatorSize(encoding);
}

void* ExtractCFStringTo(std::u16string_view string, void* buffer, uint32_t size, uint32_t encoding) {
    uint32_t terminator = TerminatorSize(encoding);
    if (size < terminator) return buffer;
    std::string bytes = Encode(string, encoding, size - terminator);
    auto* out = static_cast<char*>(buffer);
    std::memcpy(out, bytes.data(), bytes.size());
    std::memset(out + bytes.size(), 0, terminator);
    return buffer;
}

std::u16string TempCFStringForFinderName(const char* name) {
    std::u16string text = TempCFStringUsing(name, kEncodingUTF8);
    if (strnlen(name, 256) < 256) std::replace(text.begin(), text.end(), u'/', u':');
    return text;
}

char* ExtractFinderNameCFString(std::u16string_view string, char* buffer, uint32_t size) {
    std::u16string text(string);
    std::replace(text.begin(), text.end(), u':', u'/');
    ExtractCFStringTo(text, buffer, size, kEncodingUTF8);
    return buffer;
}

bool TruncateUTF8ForByteSize(char* string, int32_t size) {
    if (size < 1) return false;
    size_t length = std::strlen(string);
    if (length + 1 <= size_t(size)) return false;
    // The last character boundary within size - 1 bytes; size - 1 itself when the text
    // before it is not well-formed UTF-8.
    const size_t limit = size_t(size) - 1;
    auto p = reinterpret_cast<Bytes>(string);
    size_t cut = 0;
    char32_t cp;
    while (cut < limit) {
        size_t n = DecodeUTF8Char(p + cut, length - cut, cp);
        if (n == 0) {
            cut = limit;
            break;
        }
        if (cut + n > limit) break;
        cut += n;
    }
    string[cut] = 0;
    return true;
}

void RecodeString(void* buffer, uint32_t size, uint32_t fromEncoding, uint32_t toEncoding) {
    if (fromEncoding == toEncoding || !KnownEncoding(toEncoding)) return;
    auto p = static_cast<Bytes>(buffer);
    std::optional<std::u16string> text = Decode(p, TextLength(p, size, fromEncoding), fromEncoding);
    if (text) ExtractCFStringTo(*text, buffer, size, toEncoding);
}

bool RecodeFromMacRomanIfNeeded(void* buffer, uint32_t size, uint32_t encoding) {
    if (encoding == kEncodingMacRoman || !KnownEncoding(encoding) || size == 0) return false;
    auto p = static_cast<Bytes>(buffer);
    if (Decode(p, TextLength(p, size, encoding), encoding)) return false;
    std::optional<std::u16string> text = Decode(p, TextLength(p, size, kEncodingMacRoman), kEncodingMacRoman);
    ExtractCFStringTo(*text, buffer, size, encoding);
    return true;
}

}  // namespace plexa
