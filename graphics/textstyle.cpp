// Text styles, style lists and their stored form.
#include "graphics/textstyle.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/fonts.h"

namespace plexa {

namespace {

constexpr uint16_t kStyleListMark = 0x1234;
constexpr uint16_t kStyleListMarkSwapped = 0x3412;
constexpr int kTempStyleCount = 8;

uint32_t gAttributeGeneration = 0;
txStyle* (*gCurrentStyleProc)() = nullptr;
LinkListHeader* gScratchList = nullptr;
txStyle* gTemplateStyle = nullptr;
txStyle* gTempStyles[kTempStyleCount] = {};
int gNextTempStyle = 0;
bool gStylesReady = false;

MemPool GeneralPool() { return gGenPool; }  // null before the memory layer: the current pool

// Every change of font, size or face drops the caches and marks the metrics stale.
void Invalidate(txStyle* style) {
    FreeTextStyleSuballocations(nullptr, style);
    style->flags |= kStyleMetricsStale;
}

void SetFontRef(txStyle* style, uint32_t ref) {
    if (style->fontName == ref) return;
    style->fontName = ref;
    Invalidate(style);
}

uint32_t DefaultFontRef() { return GetDefaultFonts().userFamily; }

void FreeListItem(LinkListHeader*, void* item, void*, uint32_t) {
    FreeTextStyleSuballocations(nullptr, static_cast<txStyle*>(item));
}

uint32_t UIFontNameRef(int32_t type) {
    char name[32];
    std::snprintf(name, sizeof name, "%.*s%d>", int(kUIFontPrefix.size()), kUIFontPrefix.data(), int(type));
    return InternFontName(name);
}

LinkListHeader* ScratchList() {
    if (!gScratchList) gScratchList = LLCreate(GeneralPool(), sizeof(txStyle), 0);
    return gScratchList;
}

}  // namespace

// ---- Records and lists ----

txStyle* CreateTextStyle(MemPool pool, const txStyle* source) {
    auto* style = reinterpret_cast<txStyle*>(AllocPtrClear(pool, sizeof(txStyle)));
    if (!style) return nullptr;
    if (source) InstallStyleInStyle(source, style, kStyleFont | kStyleSize | kStyleFace);
    else SetupDefaultStyle(style, kStyleUser);
    style->flags |= kStyleMetricsStale;
    return style;
}

void DestroyTextStyle(txStyle* style) {
    if (!style) return;
    FreeTextStyleSuballocations(nullptr, style);
    MemFreePtr(style);
}

void FreeTextStyleSuballocations(MemPool, txStyle* style) {
    if (!style) return;
    TextFontRelease(style->font);
    style->font = nullptr;
    TextAttributesRelease(style->attributes.dict);
    style->attributes.dict = nullptr;
}

TextStyleList* CreateTextStyleList(MemPool pool) {
    TextStyleList* list = LLCreate(pool, sizeof(txStyle), 0);
    if (list) LLSetFreeProc(list, FreeListItem);
    return list;
}

void DestroyTextStyleList(TextStyleList* list) {
    if (list) LLDispose(list, true);
}

// ---- Fields ----

void InstallStyleInStyle(const txStyle* source, txStyle* destination, uint32_t fields) {
    if (!source || !destination || source == destination || fields == 0) return;
    if (fields & kStyleFont) SetFontRef(destination, source->fontName ? source->fontName : DefaultFontRef());
    if (fields & kStyleSize) SetStyleSize(destination, source->size);
    if ((fields & kStyleToggleFace) && source->face != 0) {
        destination->face ^= source->face;
        Invalidate(destination);
    } else if (fields & kStyleToggleFace) {
        SetStyleFace(destination, source->face);
    }
    if (fields & kStyleFace) SetStyleFace(destination, source->face);
}

void SetupDefaultStyle(txStyle* style, int32_t kind) {
    if (!style) return;
    const DefaultFonts& d = GetDefaultFonts();
    uint32_t ref;
    uint16_t size;
    if (kind >= 0 && kind < kUIFontTypeCount) {
        ref = UIFontNameRef(kind);
        size = 1;
    } else {
        switch (kind) {
            case kStyleSmallUser: ref = d.userFamily, size = d.smallSystemSize; break;
            case kStyleSmallFixed: ref = d.fixedFamily, size = d.smallSystemSize; break;
            case kStyleFixed: ref = d.fixedFamily, size = d.userSize; break;
            case kStyleSystem: ref = d.systemFamily, size = d.systemSize; break;
            case kStyleNoName: ref = 0, size = d.smallSystemSize; break;
            default: ref = d.userFamily, size = d.userSize; break;
        }
    }
    SetFontRef(style, ref);
    SetStyleSize(style, size);
    SetStyleFace(style, 0);
}

bool StyleFieldsMatch(const txStyle* a, const txStyle* b, uint32_t fields) {
    if (a == b) return true;
    if (!a || !b) return false;
    if ((fields & kStyleToggleFace) && (a->face != 0 || b->face != 0)) return false;
    if ((fields & kStyleFont) && !SameFontName(a->fontName, b->fontName)) return false;
    if ((fields & kStyleSize) && a->size != b->size) return false;
    if ((fields & kStyleFace) && a->face != b->face) return false;
    return true;
}

txStyle* FindMatchingStyleInList(const TextStyleList* list, const txStyle* style) {
    if (!list || !style) return nullptr;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto* s = static_cast<txStyle*>(item);
        if (StyleFieldsMatch(s, style, kStyleFont | kStyleSize | kStyleFace)) return s;
    }
    return nullptr;
}

txStyle* InstallStyleInList(const txStyle* style, TextStyleList* list) {
    if (!list || !style) return nullptr;
    if (txStyle* found = FindMatchingStyleInList(list, style)) return found;
    txStyle* copy = CreateTextStyle(LLPool(list), style);
    if (!copy) return nullptr;
    return static_cast<txStyle*>(LLPush(list, copy));
}

void GetStyleFont(const txStyle* style, char* buffer) {
    const std::string_view name = style ? FontNameOf(style->fontName) : std::string_view();
    const size_t n = std::min<size_t>(name.size(), 255);
    if (n) std::memcpy(buffer, name.data(), n);
    buffer[n] = 0;
}

int32_t SetStyleFont(txStyle* style, const char* name) {
    if (!style) return 1;
    SetFontRef(style, name && *name ? InternFontName(name) : DefaultFontRef());
    return 1;
}

void SetStyleSize(txStyle* style, uint16_t size) {
    if (!style || style->size == size) return;
    style->size = size;
    Invalidate(style);
}

void SetStyleFace(txStyle* style, uint16_t face) {
    if (!style || style->face == face) return;
    style->face = face;
    Invalidate(style);
}

void CopyTextStyle(const txStyle* source, txStyle* destination) {
    if (!source || !destination || source == destination) return;
    if (StyleFieldsMatch(source, destination, kStyleFont | kStyleSize | kStyleFace)) return;
    FreeTextStyleSuballocations(nullptr, destination);
    void* links[2] = {destination->link[0], destination->link[1]};
    std::memcpy(static_cast<void*>(destination), source, sizeof(txStyle));
    destination->link[0] = links[0];
    destination->link[1] = links[1];
    TextFontRetain(destination->font);
    TextAttributesRetain(destination->attributes.dict);
}

// ---- Fonts, attributes and metrics ----

TextFont* GetCTFontForTextStyle(txStyle* style) {
    if (!style) return nullptr;
    if (style->font) return style->font;
    const std::string_view name = FontNameOf(style->fontName);
    const bool italic = style->face & kFaceItalic;
    const int32_t uiType = UIFontTypeOfName(name);
    if (uiType >= 0) {
        // Bold is not applied to user interface fonts.
        style->font = CreateUIFont(uiType, style->size == 1 ? 0 : style->size, italic);
    } else {
        style->font = TextFontCreate(name, style->size, style->face & kFaceBold, italic);
    }
    return style->font;
}

TextAttributeDict* BuildAttributesForTextStyle(txStyle* style, bool colorFromContext) {
    TextFont* font = GetCTFontForTextStyle(style);
    return font ? TextAttributesCreate(font, colorFromContext) : nullptr;
}

const QZTextAttributes* EstablishAttributesForStyle(txStyle* style) {
    if (!style) return nullptr;
    if (!style->attributes.dict) {
        style->attributes.dict = BuildAttributesForTextStyle(style, true);
        style->attributes.generation = ++gAttributeGeneration;
    }
    return &style->attributes;
}

int16_t GetLineHeightForCTFont(const TextFont* font) {
    const TextFontHeights m = TextFontMetrics(font);
    const double lead = m.leading < 0 ? 1.0 : std::floor(m.leading + 0.5);
    return int16_t(std::floor(m.ascent + m.descent + lead + 0.5));
}

void SetCurrentTextStyleProc(txStyle* (*proc)()) { gCurrentStyleProc = proc; }
CurrentTextStyleProc GetCurrentTextStyleProc() { return gCurrentStyleProc; }

void GetStyleMetrics(txStyle* style, StyleMetrics* metrics) {
    if (!metrics) return;
    if (!style) {
        txStyle* current = gCurrentStyleProc ? gCurrentStyleProc() : nullptr;
        txStyle* scratch = current ? GetScratchStyle() : nullptr;
        if (!scratch) {
            *metrics = {};
            return;
        }
        CopyTextStyle(current, scratch);
        GetStyleMetrics(scratch, metrics);
        ReleaseScratchStyle(scratch);
        return;
    }
    if (style->flags & kStyleMetricsStale) {
        const QZTextAttributes& attributes = *EstablishAttributesForStyle(style);
        StyleMetrics& m = style->metrics;
        m.lineHeight = int16_t(QZGetFontHeights(attributes, kEncodingUTF8, "|Algj|", 6, &m.ascent,
                                                &m.descent, &m.leading));
        m.width = int16_t(QZMeasureText(attributes, kEncodingUTF8, "_0_", 3, 1, 1) / 3 + 1);
        style->flags &= uint16_t(~kStyleMetricsStale);
    }
    *metrics = style->metrics;
}

// ---- Scratch and temporary styles ----

txStyle* GetScratchStyle() {
    LinkListHeader* scratch = ScratchList();
    auto* style = scratch ? static_cast<txStyle*>(LLPop(scratch, false)) : nullptr;
    if (!style) return CreateTextStyle(GeneralPool(), nullptr);
    SetupDefaultStyle(style, kStyleUser);
    return style;
}

void ReleaseScratchStyle(txStyle* style) {
    if (!style) return;
    FreeTextStyleSuballocations(nullptr, style);
    style->flags |= kStyleMetricsStale;
    LinkListHeader* scratch = ScratchList();
    if (scratch) LLPush(scratch, style);
    else DestroyTextStyle(style);
}

txStyle* GetTempDefaultStyle(int32_t kind) {
    txStyle*& slot = gTempStyles[gNextTempStyle];
    if (!slot) slot = CreateTextStyle(GeneralPool(), nullptr);
    if (!slot) return nullptr;
    gNextTempStyle = (gNextTempStyle + 1) % kTempStyleCount;
    SetupDefaultStyle(slot, kind);
    return slot;
}

// ---- Stored form ----

OSStatus WriteStyleList(StreamRecord* stream, const TextStyleList* list) {
    const uint32_t count = list ? list->count : 0;
    if (count > 0xFFFF) return status::kParamErr;  // the count would not hold them
    OSStatus st = StreamWriteWord(stream, kStyleListMark);
    if (st == status::kNoErr) st = StreamWriteWord(stream, uint16_t(count));
    for (void* item = LLFirst(list); item && st == status::kNoErr; item = LLGetNext(list, item)) {
        const auto* style = static_cast<const txStyle*>(item);
        char name[256];
        GetStyleFont(style, name);
        TruncateUTF8ForByteSize(name, sizeof name);
        const uint8_t length = uint8_t(std::strlen(name));
        st = StreamWrite(stream, &length, 1);
        if (st == status::kNoErr) st = StreamWrite(stream, name, length);
        if (st == status::kNoErr) st = StreamWriteWord(stream, style->size);
        if (st == status::kNoErr) st = StreamWriteWord(stream, style->face);
    }
    return st;
}

OSStatus ReadStyleList(MemPool pool, StreamRecord* stream, TextStyleList** out) {
    *out = CreateTextStyleList(pool);
    if (!*out) return status::kOutOfMemory;
    TextStyleList* list = *out;
    const bool swapWas = (stream->flags & kStreamSwapOnRead) != 0;
    uint16_t mark = 0, count = 0;
    OSStatus st = StreamReadWord(stream, &mark);
    if (st == status::kNoErr && mark == kStyleListMarkSwapped) EnableStreamReadByteSwap(stream, !swapWas);
    else if (st == status::kNoErr && mark != kStyleListMark) st = kStyleListBadMark;
    if (st == status::kNoErr) st = StreamReadWord(stream, &count);
    for (uint32_t i = 0; i < count && st == status::kNoErr; i++) {
        uint8_t length = 0;
        char name[256];
        int32_t n = 1;
        st = StreamRead(stream, &length, &n);
        if (st == status::kNoErr) {
            n = length;
            st = StreamRead(stream, name, &n);
        }
        uint16_t size = 0, face = 0;
        if (st == status::kNoErr) st = StreamReadWord(stream, &size);
        if (st == status::kNoErr) st = StreamReadWord(stream, &face);
        if (st != status::kNoErr) break;
        name[length] = 0;
        txStyle* style = CreateTextStyle(pool, nullptr);
        if (!style) {
            st = status::kOutOfMemory;
            break;
        }
        // A name ends at an embedded NUL, as its terminated form does.
        const size_t used = strnlen(name, length);
        SetFontRef(style, used ? InternFontName(std::string_view(name, used)) : DefaultFontRef());
        SetStyleSize(style, size);
        SetStyleFace(style, face);
        LLPush(list, style);
    }
    EnableStreamReadByteSwap(stream, swapWas);
    if (st != status::kNoErr) {
        DestroyTextStyleList(list);
        *out = nullptr;
        return st;
    }
    LLReverse(list);
    return status::kNoErr;
}

// ---- Start-up ----

void VXInitStyles() {
    if (gStylesReady) return;
    gStylesReady = true;
    ScratchList();
    gTemplateStyle = CreateTextStyle(GeneralPool(), nullptr);
}

}  // namespace plexa
