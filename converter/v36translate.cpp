// Translation rules shared by the version-3.6 translations.
#include "converter/v36translate.h"

#include <algorithm>
#include <cstring>

#include "converter/options.h"
#include "converter/scale72.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {
namespace {

constexpr size_t kTextLimit = 255;
constexpr int32_t kNewStringBlockQuantum = 256;
constexpr size_t kFootprintHead = 128;
constexpr size_t kFootprintField = 40;
constexpr size_t kEscapeLimit = 254;
constexpr uint16_t kV36FaceMask = 0x3, kV36FaceBit4 = 0x10, kFaceBit2 = 0x4;
constexpr uint16_t kElementFlag8 = 0x08, kElementFlag16 = 0x10;

// Whether `text` holds `key` at `at`, without regard to case.
bool HasAt(const std::string& text, size_t at, const char* key) {
    const size_t n = std::strlen(key);
    return at + n <= text.size() && StrCINCmp(text.c_str() + at, key, uint16_t(n)) == 0;
}

size_t FindNoCase(const std::string& text, const char* key) {
    for (size_t at = 0; at < text.size(); ++at)
        if (HasAt(text, at, key)) return at;
    return std::string::npos;
}

// Cut to `limit` bytes, never inside a UTF-8 character.
std::string CutUTF8(std::string text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

constexpr const char* kSymbolFieldKeys[kSymbolFieldCount] = {
    "SH{", "PN{", "SP{", "HT{", "ED{", "U1{", "U2{", "U3{", "U4{", "U5{", "U6{", "U7{", "U8{", "U9{"};

struct MacroRewrite {
    const char* from;
    const char* to;
};
constexpr MacroRewrite kMacros[] = {
    {"\\DATS", "{SheetModified}"}, {"\\DATL", "{SheetModifiedEx}"}, {"\\SHT#", "{SheetNumber}"},
    {"\\TOT#", "{SheetCount}"},    {"\\FILE", "{SheetFile}"},       {"\\PROJ", "{ProjectFile}"},
};

ElementRecord* BuildImage(const V36Element& v, ImageList* from, ImageList* to, bool filled,
                          bool frameGiven, bool fillGiven) {
    const Rect& r = v.head.bounds;
    const int16_t width = int16_t(std::clamp<int32_t>(int32_t(r.right) - r.left + 1, 1, INT16_MAX));
    const int16_t height = int16_t(std::clamp<int32_t>(int32_t(r.bottom) - r.top + 1, 1, INT16_MAX));
    ElementRecord* e = BuildImageElement(nullptr, nullptr, 0, Point{r.top, r.left}, width, height,
                                         kV36Resolution, kV36Resolution, filled, frameGiven, v.head.frameColor,
                                         fillGiven, v.head.fillColor);
    if (!e) return nullptr;
    const int32_t index = v.data[1];
    if (from && to && GetImageFromImageList(from, index, true))
        ElementAs<ImageElement>(e)->imageId = TransferImageListReference(from, index, to);
    return e;
}

}  // namespace

// ---- Strings ----

std::string V36Text(const void* bytes, size_t length) {
    std::u16string text;
    DecodeTextLossy(bytes, length, kEncodingMacRoman, &text);
    std::string out(GetCFStringByteSize(text, kEncodingUTF8), '\0');
    ExtractCFStringTo(text, out.data(), uint32_t(out.size()), kEncodingUTF8);
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string V36BlockText(StringBlock block, StringSpec spec) {
    if (!V36SpecInBlock(block, spec) || spec == 0) return {};
    return V36Text(*block + StringSpecOffset(spec), StringSpecLength(spec));
}

std::string V36CountedText(const uint8_t* counted) {
    return counted ? V36Text(counted + 1, counted[0]) : std::string();
}

// ---- Graphic elements ----

ElementRecord* BuildV36Element(const V36Element& v, ImageList* from, ImageList* to,
                               bool withPinData, OSStatus* status) {
    *status = status::kNoErr;
    const V36ElementHead& head = v.head;
    const bool filled = head.flagsA & kV36ElementFilled;
    const bool frameGiven = head.flagsB & kV36ElementFrameColor;
    const bool fillGiven = head.flagsB & kV36ElementFillColor;
    const Point p1{head.bounds.top, head.bounds.left}, p2{head.bounds.bottom, head.bounds.right};
    const int16_t extra1 = int16_t(v.data[1]), extra2 = int16_t(v.data[2]);
    ElementRecord* e = nullptr;
    switch (head.kind) {
        case kV36Line:
        case kV36Arrow:
        case kV36Rect:
        case kV36Oval:
        case kV36RoundRect:
        case kV36Arc: {
            int16_t length = extra1, angle = extra2;
            if (head.kind == kV36Arrow && length == 0) GetDefaultArrow(head.penWidth, &length, &angle);
            e = BuildCommonElement(head.kind, p1, p2, head.penWidth, length, angle, filled, frameGiven,
                                   head.frameColor, fillGiven, head.fillColor, false);
            break;
        }
        case kV36Poly: {
            Handle points = v.pointCount ? AllocHandleWithData(nullptr, v.points,
                                                               v.pointCount * uint32_t(sizeof(Point)))
                                         : nullptr;
            if (v.pointCount && !points) break;
            e = BuildPolyElement(int16_t(v.pointCount), points, head.penWidth, filled, frameGiven,
                                 head.frameColor, fillGiven, head.fillColor, false);
            if (points) MemFree(points);
            break;
        }
        case kV36Node: {
            e = BuildNodeElement(p1, p2, 1, 0, filled, 0, frameGiven, head.frameColor, fillGiven,
                                 head.fillColor);
            if (e && withPinData) {
                Handle record = CreateNewPinData();
                if (!record) {
                    DestroyElement(e, nullptr);
                    e = nullptr;
                    break;
                }
                SetPinDataType(record, TranslatePinType(int16_t(v.data[2])), false);
                ElementAs<NodeElement>(e)->pinData = record;
            }
            break;
        }
        case kV36Image:
            e = BuildImage(v, from, to, filled, frameGiven, fillGiven);
            break;
        default:
            return nullptr;  // a kind no version-3.6 writer made: left out
    }
    if (!e) {
        *status = status::kOutOfMemory;
        return nullptr;
    }
    if (head.flagsB & kV36ElementFlag16) e->flags |= kElementFlag16;
    if (head.flagsB & kV36ElementFlag8) e->flags |= kElementFlag8;
    return e;
}

Rect V36DefiningRect(const ElementRecord* e) {
    switch (e->kind) {
        case kElementLine:
        case kElementArrow:
        case kElementNode:
            return Rect{e->points.point1.v, e->points.point1.h, e->points.point2.v, e->points.point2.h};
        default: return e->rect;
    }
}

bool V36ElementBefore(const ElementRecord* a, const ElementRecord* b, bool keepGraphics) {
    const bool pa = a->kind == kElementNode, pb = b->kind == kElementNode;
    if (pa != pb) return pa;
    if (!pa && keepGraphics) return false;
    if (a->kind != b->kind) return a->kind < b->kind;
    const Rect ra = V36DefiningRect(a), rb = V36DefiningRect(b);
    const int32_t ka[4] = {ra.top, ra.left, ra.bottom - ra.top, ra.right - ra.left};
    const int32_t kb[4] = {rb.top, rb.left, rb.bottom - rb.top, rb.right - rb.left};
    return std::lexicographical_compare(ka, ka + 4, kb, kb + 4);
}

std::string V36ReplaceValueMacro(const std::string& text, const std::string& with) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'V' || text[i + 1] == 'v')) {
            out += with;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool V36Drawing::Make() {
    images = CreateLocalImageList();
    elements = images ? CreateElementList(images) : nullptr;
    texts = CreateTextList();
    frames = CreateTextFrameList();
    styles = CreateTextStyleList(nullptr);
    block = CreateStringBlock(nullptr, kNewStringBlockQuantum);
    return elements && texts && frames && styles && block;
}

V36Drawing::~V36Drawing() {
    if (texts) DestroyTextList(texts);
    if (frames) DestroyTextFrameList(frames);
    if (elements) DestroyElementList(elements);
    DestroyImageList(images);
    if (styles) DestroyTextStyleList(styles);
    DestroyStringBlock(block);
}

// ---- Text styles ----

bool BuildV36TextStyles(const V36StyleList& list, bool adjustSizes, TextStyleList* into,
                        std::vector<txStyle*>* styles) {
    styles->clear();
    for (uint32_t i = 0; i < list.count; ++i) {
        const V36Style& stored = list.styles[i];
        txStyle* style = CreateTextStyle(nullptr, nullptr);
        if (!style) return false;
        SetStyleFont(style, V36CountedText(reinterpret_cast<const uint8_t*>(stored.fontName)).c_str());
        if (stored.record.size > 0) SetStyleSize(style, stored.record.size);
        const uint32_t face = stored.record.face;
        SetStyleFace(style, uint16_t((face & kV36FaceMask) | ((face & kV36FaceBit4) ? kFaceBit2 : 0)));
        if (adjustSizes) AdjustStyleSizes(nullptr, style, nullptr);
        txStyle* installed = InstallStyleInList(style, into);
        DestroyTextStyle(style);
        if (!installed) return false;
        styles->push_back(installed);
    }
    return true;
}

// ---- Texts ----

uint16_t ConvertV36TextFlags(uint8_t flagsA) {
    uint16_t flags = 0;
    if (flagsA & 0x20) flags |= 0x8;
    if (flagsA & (0x04 | 0x08)) flags |= 0x1;
    if (flagsA & 0x02) flags |= 0x2;
    return flags;
}

Point CalcTextBaseLineFromV6Bounds(const Rect& r, int16_t ascent, uint16_t rotation) {
    switch (rotation & 3) {
        case 1: return Point{r.top, int16_t(r.right - ascent)};
        case 2: return Point{int16_t(r.bottom - ascent), r.right};
        case 3: return Point{r.bottom, int16_t(r.left + ascent)};
        default: return Point{int16_t(r.top + ascent), r.left};
    }
}

bool ConvertMacroString(const std::string& text, std::string* out) {
    std::string result;
    bool rewritten = false;
    for (size_t at = 0; at < text.size();) {
        const MacroRewrite* found = nullptr;
        for (const MacroRewrite& m : kMacros)
            if (HasAt(text, at, m.from)) found = &m;
        if (found) {
            result += found->to;
            at += std::strlen(found->from);
            rewritten = true;
        } else {
            result += text[at++];
        }
    }
    *out = CutUTF8(result, kTextLimit);
    return rewritten;
}

std::string EscapeAttributeValue(const std::string& value) {
    const bool replace = value.size() > kEscapeLimit;
    std::string out;
    for (char c : value) {
        const bool special = c == '{' || c == '`' || c == '!';
        if (special && replace)
            out += c == '{' ? '(' : c == '`' ? '\'' : '~';
        else if (special)
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out;
}

// ---- Part-field texts ----

StringFields ExtractStringFields(const std::string& text) {
    StringFields fields;
    for (int32_t i = 0; i < kSymbolFieldCount; ++i) {
        const size_t at = FindNoCase(text, kSymbolFieldKeys[i]);
        if (at == std::string::npos) continue;
        const size_t start = at + 3;
        const size_t end = text.find('}', start);
        fields[size_t(i)] = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    return fields;
}

std::string BuildFootprintString(const StringFields& fields) {
    const std::string head = Trimmed(fields[0]);
    if (head.empty()) return {};
    if (HasAt(head, 0, "\\F.")) return "\\F" + head.substr(2);
    std::string footprint = CutUTF8(head, kFootprintHead);
    int32_t last = 0;
    for (int32_t i = 1; i <= 3; ++i) {
        const std::string value = CutUTF8(Trimmed(fields[size_t(i)]), kFootprintField);
        if (value.empty()) continue;
        footprint += std::string(size_t(i - last), '\t') + value;
        last = i;
    }
    return footprint;
}

std::string GetStringFieldInfo(int32_t index) {
    if (index < 0 || index >= kSymbolFieldCount) return {};
    if (index <= 4) return std::string(kSymbolFieldKeys[index], 2);
    return GetMappedAttributeName(index - 2);
}

}  // namespace plexa
