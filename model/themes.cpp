// Font preferences and text themes; see themes.h.
#include "model/themes.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/byteswap.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/fonts.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/textframes.h"
#include "model/texts.h"

namespace plexa {

TextThemeTable gDefaultTextThemes = {};
txStyle* gDefaultStyle = nullptr;
txStyle* gDialogStyle = nullptr;
txStyle* gSmallDialogStyle = nullptr;
txStyle* gTabControlStyle = nullptr;
txStyle* gListEditStyle = nullptr;
txStyle* gListCaptionStyle = nullptr;
txStyle* gTESelectionStyle = nullptr;
Handle gFontPrefs = nullptr;

namespace {

constexpr uint32_t kThemeFields = kStyleFont | kStyleSize | kStyleFace;
constexpr const char* kThemeNames[kTextThemeCount] = {
    "Independent Text", "Symbol Names", "Ref. Designators", "Pin Numbers",      "Pin Names",
    "Symbol Owned",     "Signal Names", "Bus Names",        "Spice Node Values"};
constexpr uint16_t kDefaultThemeSizes[kTextThemeCount] = {12, 12, 12, 10, 10, 12, 10, 12, 10};
constexpr const char* kDefaultThemeFont = "Times";
constexpr uint32_t kExcludedFontsBlock = 0x100;

const TextThemeTable* TableOf(SheetRecord* sheet) {
    return sheet && sheet->themeTable ? sheet->themeTable : &gDefaultTextThemes;
}

txStyle* ThemeStyle(const TextThemeTable* table, int32_t theme) {
    txStyle* style = theme >= 0 && theme < kTextThemeCount ? table->styles[theme] : nullptr;
    return style ? style : gDefaultStyle;
}

void AddToArea(Rect* area, const Rect& bounds) {
    if (area) VXUnionRect(area, &bounds, area);
}

FontPrefsRecord* Prefs() {
    return gFontPrefs ? reinterpret_cast<FontPrefsRecord*>(*gFontPrefs) : nullptr;
}

bool SpecInBlock(StringSpec spec, StringBlock block) {
    if (spec == 0) return true;
    const uint32_t offset = StringSpecOffset(spec), end = offset + StringSpecLength(spec);
    return block && offset >= kStringBlockHeaderSize &&
           end <= reinterpret_cast<const StringBlockHeader*>(*block)->used;
}

}  // namespace

// ---- Theme tables ----

bool AllocTextThemeTable(TextThemeTable* table) {
    bool made = true;
    for (txStyle*& style : table->styles) {
        if (!style) style = CreateTextStyle(gGenPool, nullptr);
        made = made && style;
    }
    return made;
}

void FreeTextThemeTable(TextThemeTable* table) {
    for (txStyle*& style : table->styles) {
        DestroyTextStyle(style);
        style = nullptr;
    }
}

void CopyTextThemeTable(const TextThemeTable* from, TextThemeTable* to) {
    for (int32_t i = 0; i < kTextThemeCount; i++)
        if (from->styles[i] && to->styles[i])
            InstallStyleInStyle(from->styles[i], to->styles[i], kThemeFields);
}

bool InitDefaultTextThemes(TextThemeTable* table) {
    const bool made = AllocTextThemeTable(table);
    for (int32_t i = 0; i < kTextThemeCount; i++) {
        if (!table->styles[i]) continue;
        SetStyleFont(table->styles[i], kDefaultThemeFont);
        SetStyleSize(table->styles[i], kDefaultThemeSizes[i]);
        SetStyleFace(table->styles[i], 0);
    }
    return made;
}

OSStatus WriteTextThemes(StreamRecord* stream, const TextThemeTable* table) {
    TextStyleList* list = CreateTextStyleList(gGenPool);
    if (!list) return status::kOutOfMemory;
    // The styles are linked into the list for the write only; their own links are kept.
    void* links[kTextThemeCount];
    int32_t count = 0;
    while (count < kTextThemeCount && table->styles[count]) {
        links[count] = table->styles[count]->link[0];
        LLAppend(list, table->styles[count]);
        count++;
    }
    const OSStatus result = WriteStyleList(stream, list);
    LLDispose(list, false);
    for (int32_t i = 0; i < count; i++) table->styles[i]->link[0] = links[i];
    return result;
}

OSStatus ReadTextThemes(StreamRecord* stream, TextThemeTable* table) {
    TextStyleList* list = nullptr;
    const OSStatus result = ReadStyleList(gGenPool, stream, &list);
    if (result != status::kNoErr) return result;
    for (int32_t i = 0; i < kTextThemeCount; i++) {
        auto* style = static_cast<txStyle*>(LLPop(list, false));
        if (!style) break;
        style->link[0] = nullptr;
        DestroyTextStyle(table->styles[i]);
        table->styles[i] = style;
    }
    DestroyTextStyleList(list);
    return status::kNoErr;
}

void GetTextThemeName(int32_t theme, char* out, int32_t size) {
    if (!out || size < 1) return;
    StrNCpy(out, size_t(size), theme >= 0 && theme < kTextThemeCount ? kThemeNames[theme] : "",
            int16_t(std::min(size, 255)));
}

// ---- Choosing a theme ----

int32_t GetTextThemeId(SheetRecord* sheet, const TextRecord* text) {
    const uint16_t kind = text->kind;
    switch (kind) {
        case kTextKindSignal:
            return (text->flags & kTextFlagBoxed) ? kThemeSpiceNodeValues : kThemeSignalNames;
        case kTextKindBuss: return kThemeBusNames;
        case kTextKindCompDesignator:
        case kTextKindDesignator: return kThemeRefDesignators;
        case kTextKindSymbolName: return kThemeSymbolNames;
        case kTextKindNetSymbol: {
            const SymbolRecord* symbol =
                sheet ? RetrieveSerializedSymbol(sheet->symbolList, uint32_t(text->owner))
                      : nullptr;
            return symbol && (symbol->flags & kSymbolFlagBussPort) ? kThemeBusNames
                                                                   : kThemeSignalNames;
        }
        case kTextKindSymbolAttribute: return kThemeSymbolOwned;
        default: break;
    }
    if (kind >= kTextKindPinName && kind < kTextKindPinAttribute) return kThemePinNames;
    if (kind >= kTextKindPinNumber) return kThemePinNumbers;
    return kThemeIndependentText;
}

txStyle* GetSheetThemeStyle(SheetRecord* sheet, int32_t theme) {
    return ThemeStyle(TableOf(sheet), theme);
}

txStyle* GetTextThemeStyle(SheetRecord* sheet, const TextRecord* text) {
    return GetSheetThemeStyle(sheet, GetTextThemeId(sheet, text));
}

txStyle* GetSymbolEditorTextThemeStyle(const TextRecord* text) {
    return GetTextThemeStyle(nullptr, text);
}

int32_t GetTextFrameThemeId(SheetRecord* sheet, TextFrameHandle frame) {
    return !sheet || (*frame)->owner ? kThemeSymbolOwned : kThemeIndependentText;
}

txStyle* GetTextFrameThemeStyle(SheetRecord* sheet, TextFrameHandle frame) {
    return GetSheetThemeStyle(sheet, GetTextFrameThemeId(sheet, frame));
}

txStyle* GetSymbolEditorTextFrameThemeStyle(TextFrameHandle frame) {
    if (IsRefDesTextFrame(frame)) return ThemeStyle(&gDefaultTextThemes, kThemeRefDesignators);
    if (IsSymbolNameTextFrame(frame)) return ThemeStyle(&gDefaultTextThemes, kThemeSymbolNames);
    return GetTextFrameThemeStyle(nullptr, frame);
}

void InstallStyleInText(TextRecord* text, const txStyle* style, uint32_t mask,
                        TextStyleList* list) {
    txStyle* scratch = GetScratchStyle();
    if (!scratch) return;
    if (const txStyle* base = text->style ? text->style : gDefaultStyle)
        CopyTextStyle(base, scratch);
    else
        SetupDefaultStyle(scratch, kStyleSmallUser);
    InstallStyleInStyle(style, scratch, mask);
    if (txStyle* installed = InstallStyleInList(scratch, list)) text->style = installed;
    ReleaseScratchStyle(scratch);
}

void RebuildDefaultStyleText(LinkListHeader* texts, LinkListHeader* frames, TextStyleList* list,
                             StringBlock block, SheetRecord* sheet, VXWindowRecordTag* window,
                             Rect* area) {
    for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
        auto* text = static_cast<TextRecord*>(item);
        if (!(text->flags & kTextFlagThemed)) continue;
        const txStyle* theme =
            sheet ? GetTextThemeStyle(sheet, text) : GetSymbolEditorTextThemeStyle(text);
        if (!theme || (text->style && StyleFieldsMatch(theme, text->style, kThemeFields))) continue;
        const Rect before = text->bounds;
        InstallStyleInText(text, theme, kThemeFields, list);
        CalcTextBounds(window, text, block);
        if (text->kind == kTextKindSignal && (text->flags & kTextFlagBoxed)) {
            // A boxed value keeps one edge where it was.
            const Rect& after = text->bounds;
            switch (text->flags & kTextFlagRotation) {
                case 0: OffsetTextElement(text, 0, int16_t(before.bottom - after.bottom)); break;
                case 1: OffsetTextElement(text, int16_t(before.left - after.left), 0); break;
                case 2: OffsetTextElement(text, 0, int16_t(before.top - after.top)); break;
                default: OffsetTextElement(text, int16_t(before.right - after.right), 0); break;
            }
        }
        if (area && !(text->flags & kTextFlagHidden)) {
            AddToArea(area, before);
            AddToArea(area, text->bounds);
        }
    }
    for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item)) {
        auto frame = static_cast<TextFrameHandle>(item);
        if (!((*frame)->flags & kFrameFlagThemed)) continue;
        const txStyle* theme = sheet ? GetTextFrameThemeStyle(sheet, frame)
                                     : GetSymbolEditorTextFrameThemeStyle(frame);
        if (!theme || ((*frame)->style && StyleFieldsMatch(theme, (*frame)->style, kThemeFields)))
            continue;
        const Rect before = (*frame)->bounds;
        ModifyTextFrameStyle(window, frame, theme, kThemeFields, list);
        if (area) {
            AddToArea(area, before);
            AddToArea(area, (*frame)->bounds);
        }
    }
}

void PurgeStyleList(TextStyleList* list, LinkListHeader* texts, LinkListHeader* frames) {
    if (!list) return;
    if (gDefaultStyle) InstallStyleInList(gDefaultStyle, list);
    auto repoint = [&](txStyle* from, txStyle* to) {
        for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item))
            if (auto* text = static_cast<TextRecord*>(item); text->style == from) text->style = to;
        for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item))
            if (auto frame = static_cast<TextFrameHandle>(item); (*frame)->style == from)
                (*frame)->style = to;
    };
    for (void* a = LLFirst(list); a; a = LLGetNext(list, a))
        for (void* b = LLGetNext(list, a); b; b = LLGetNext(list, b))
            if (StyleFieldsMatch(static_cast<txStyle*>(a), static_cast<txStyle*>(b), kThemeFields))
                repoint(static_cast<txStyle*>(b), static_cast<txStyle*>(a));

    std::unordered_set<const void*> used;
    for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item))
        used.insert(static_cast<TextRecord*>(item)->style);
    for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item))
        used.insert((*static_cast<TextFrameHandle>(item))->style);
    void* previous = nullptr;
    for (void* item = LLFirst(list); item;) {
        void* next = LLGetNext(list, item);
        if (used.count(item)) previous = item;
        else LLRemoveOrFree(list, item, previous, true);
        item = next;
    }
}

bool AdjustStyleSizes(LinkListHeader*, void* item, void*) {
    auto* style = static_cast<txStyle*>(item);
    if (!style) return false;
    int32_t size = style->size;
    switch (size) {
        case 7:
        case 8: size = 9; break;
        case 10: size = 12; break;
        case 12: size = 14; break;
        case 14: size = 18; break;
        default: size = MulDiv16(int16_t(size), 96, 72); break;
    }
    SetStyleSize(style, uint16_t(std::clamp<int32_t>(size, 1, UINT16_MAX)));
    return false;
}

int16_t AutoCalcOverscoreAscent(txStyle* style) {
    static VXPixels* image = VXCreateEmptyPixelImage(32, 64, 0);
    static QZBitmap bitmap{};
    static VXGrafState* graf = nullptr;
    StyleMetrics metrics{};
    GetStyleMetrics(style, &metrics);
    const int32_t ascent = metrics.ascent;
    int32_t height = ascent - 32;
    if (image && !graf && VXGetPixelImageBitmap(image, &bitmap)) {
        graf = VXNewOffScreenState(&bitmap);
        if (graf && QZInstallContext(graf->port)) QZSetFocus(graf->port, -1);
    }
    if (graf && style) {
        VXGrafState* previous = VXSetCurrentGrafState(graf);
        std::memset(image->bits, 0xFF, size_t(image->rowBytes) * image->height);
        const bool antialias = VXAntialiasGraphics(false);
        VXSetTextMode(0);
        VXSetTextStyle(style);
        QZSetColor(nullptr, kVXDefaultForeColor, false);
        VXMoveTo(0, ascent + 32);
        VXDrawTextWithEncoding("lE", 2, kEncodingUTF8);
        VXFlushGraphics(graf);
        VXAntialiasGraphics(antialias);
        VXSetCurrentGrafState(previous);
        for (int32_t row = 0; row < image->height; row++) {
            const uint8_t* bits = image->bits + size_t(row) * image->rowBytes;
            if (std::any_of(bits, bits + image->width, [](uint8_t b) { return b != 0xFF; })) {
                height = ascent + 32 - row;
                break;
            }
        }
    }
    if (style) style->metrics.overscore = int16_t(height);
    return int16_t(height);
}

// ---- Standard styles ----

void SchStylesInit() {
    auto make = [](txStyle*& style, int32_t kind) {
        if (style) return;
        style = CreateTextStyle(gGenPool, nullptr);
        if (style && kind >= 0) SetupDefaultStyle(style, kind);
    };
    make(gDefaultStyle, kStyleSmallUser);
    make(gDialogStyle, kStyleSystem);
    make(gSmallDialogStyle, kStyleNoName);
    gTabControlStyle = gSmallDialogStyle;
    make(gListEditStyle, 26);
    gListCaptionStyle = nullptr;
    make(gTESelectionStyle, -1);
    if (!gFontPrefs) gFontPrefs = AllocHandleClear(gGenPool, kFontPrefsHeadSize);
}

// ---- Excluded fonts ----

bool IsExcludedFont(const char* name) {
    const FontPrefsRecord* prefs = Prefs();
    if (!prefs || !name) return false;
    char upper[256];
    StrNCpy(upper, sizeof upper, name, 255);
    StrToUpper(upper);
    for (uint32_t i = 0; i < prefs->count; i++) {
        char excluded[256];
        ExtractStringSpec(prefs->specs[i], prefs->block, excluded, sizeof excluded);
        if (std::strcmp(excluded, upper) == 0) return true;
    }
    return false;
}

void RecordFontPreferences(BitArray excluded) {
    StringBlock block = CreateStringBlock(gGenPool, kStringBlockMinQuantum);
    if (!block) return;
    std::vector<StringSpec> specs;
    const int32_t fonts = VXCountFonts();
    for (int32_t n = NextSetBit(excluded, -1); n >= 0 && n < fonts && specs.size() < UINT16_MAX;
         n = NextSetBit(excluded, n)) {
        char name[256];
        VXGetIndexedFont(n, name);
        StrToUpper(name);
        const StringSpec spec = OverlayStringBlock(block, name, -1, nullptr);
        if (StringBlockAddStatus() != status::kNoErr) {
            DestroyStringBlock(block);
            return;
        }
        specs.push_back(spec);
    }
    Handle record = AllocHandleClear(gGenPool, uint32_t(kFontPrefsHeadSize + specs.size() * 4));
    if (!record) {
        DestroyStringBlock(block);
        return;
    }
    auto* prefs = reinterpret_cast<FontPrefsRecord*>(*record);
    prefs->block = block;
    prefs->count = uint16_t(specs.size());
    if (!specs.empty()) std::memcpy(prefs->specs, specs.data(), specs.size() * 4);
    DestroyFontPrefs();
    gFontPrefs = record;
    ChangedPreferences(kExcludedFontsBlock);
}

OSStatus WriteFontPrefs(StreamRecord* stream) {
    const uint32_t size = gFontPrefs ? SizeOfHandle(gFontPrefs) : 0;
    Handle copy = size >= kFontPrefsHeadSize ? CloneHandle(gGenPool, gFontPrefs)
                                             : AllocHandleClear(gGenPool, kFontPrefsHeadSize);
    if (!copy) return status::kOutOfMemory;
    StringBlock block = Prefs() && size >= kFontPrefsHeadSize ? Prefs()->block : nullptr;
    reinterpret_cast<FontPrefsRecord*>(*copy)->block = nullptr;  // no address goes to the file
    OSStatus result = StreamWriteHandle(stream, copy);
    MemFree(copy);
    if (result == status::kNoErr) result = StreamWriteHandle(stream, block);
    return result;
}

OSStatus ReadFontPrefs(StreamRecord* stream) {
    Handle record = nullptr;
    OSStatus result = StreamReadHandle(stream, gGenPool, &record);
    if (result != status::kNoErr) return result;
    if (!record || SizeOfHandle(record) < kFontPrefsHeadSize) {
        if (record) MemFree(record);
        return status::kParamErr;
    }
    const bool swap = stream->flags & kStreamSwapOnRead;
    auto* prefs = reinterpret_cast<FontPrefsRecord*>(*record);
    prefs->block = nullptr;
    if (swap) ByteSwapWord(&prefs->count);
    const uint32_t bytes = kFontPrefsHeadSize + uint32_t(prefs->count) * 4;
    if (bytes > SizeOfHandle(record) || !ResizeHandle(record, bytes)) {
        MemFree(record);
        return status::kParamErr;
    }
    prefs = reinterpret_cast<FontPrefsRecord*>(*record);
    if (swap) ByteSwapLongArray(prefs->specs, uint32_t(prefs->count) * 4);

    StringBlock block = nullptr;
    result = StreamReadHandle(stream, gGenPool, &block);
    if (result == status::kNoErr && block && !AdoptStoredStringBlock(block))
        result = status::kParamErr;
    prefs = reinterpret_cast<FontPrefsRecord*>(*record);
    if (result == status::kNoErr && !block && prefs->count) result = status::kParamErr;
    for (uint32_t i = 0; result == status::kNoErr && i < prefs->count; i++)
        if (!SpecInBlock(prefs->specs[i], block)) result = status::kParamErr;
    if (result != status::kNoErr) {
        if (block) MemFree(block);
        MemFree(record);
        return result;
    }
    DestroyFontPrefs();
    reinterpret_cast<FontPrefsRecord*>(*record)->block = block;
    gFontPrefs = record;
    return status::kNoErr;
}

void DestroyFontPrefs() {
    if (!gFontPrefs) return;
    if (SizeOfHandle(gFontPrefs) >= kFontPrefsHeadSize && Prefs()->block)
        DestroyStringBlock(Prefs()->block);
    MemFree(gFontPrefs);
    gFontPrefs = nullptr;
}

bool SelectOtherFont(char* name) {
    if (!name) return false;
    const ModelHooks& hooks = GetModelHooks();
    if (hooks.selectOtherFont && hooks.selectOtherFont(name)) return true;
    name[0] = 0;
    return false;
}

}  // namespace plexa
