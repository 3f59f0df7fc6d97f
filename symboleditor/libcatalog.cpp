// Catalogue printing of a library (see libcatalog.h).
#include "symboleditor/libcatalog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include <strings.h>

#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/printrec.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/libeditor_internal.h"
#include "symboleditor/symboleditorstate.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/listscale.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "toolkit/vx_print.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

VXPrintRec*& gLibPrintRec = gSymbolEditorState.libPrintRec;

constexpr uint32_t kGenDrawModeMask = 0x7;

int32_t TextWidth(const char* text) {
    return int32_t(VXMeasureTextBytes(text, int32_t(std::strlen(text)), kEncodingUTF8, false));
}

StyleMetrics MetricsOf(int32_t kind) {
    StyleMetrics metrics{};
    GetStyleMetrics(GetTempDefaultStyle(kind), &metrics);
    return metrics;
}

// The bounds of all graphics of an item's first symbol's main drawing; false when there is none.
bool FirstSymbolBounds(LibraryItem* item, Rect* bounds) {
    if (!item || item->head.symbolCount == 0) return false;
    Ptr data = GetLibSymbolData(item, 0, 0);
    if (!data || SizeOfPtr(data) < kSymbolDataHeadSize) return false;
    SymbolDataHead head;
    std::memcpy(&head, data, sizeof head);
    *bounds = head.all;
    if (bounds->bottom < bounds->top || bounds->right < bounds->left) *bounds = Rect{0, 0, 0, 0};
    return true;
}

// The item of a reference, inflated; none when it cannot be read.
LibraryItem* InflateRef(LibEditorRecord* editor, LibEditorItemRef* ref) {
    Handle data = GetLibEditorItemData(editor, ref);
    if (!data) return nullptr;
    LibraryItem* item = nullptr;
    (void)InflateLibraryItem(data, &item, true);  // the item stays none when it cannot be read
    ReleaseLibEditorItemData(ref);
    return item;
}

void DrawCatalogueText(TextRecord* text, StringBlock block) {
    if (text->flags & kTextFlagHidden) return;
    char plain[kTextPlainSize];
    ExtractDrawSpecialText(text, block, plain, sizeof plain, nullptr, 0);
    if (text->style) VXSetTextStyle(text->style);
    const int32_t rotation = text->flags & kTextFlagRotation;
    const int16_t previous = VXSetTextRotation(int16_t(rotation * 90));
    if (rotation == 0) VXMoveTo(text->position.h + text->anchorOffset, text->position.v);
    else VXMoveTo(text->position.h, text->position.v);
    VXDrawTextWithEncoding(plain, int32_t(std::strlen(plain)), kEncodingUTF8);
    VXSetTextRotation(previous);
}

// The frame of the tiles a placed box covers.
Rect TileFrame(const Rect* box) {
    const int32_t firstColumn = box->left / kCatalogueTileWidth, lastColumn = box->right / kCatalogueTileWidth;
    const int32_t firstRow = box->top / kCatalogueTileHeight, lastRow = box->bottom / kCatalogueTileHeight;
    return Rect{int16_t(firstRow * kCatalogueTileHeight), int16_t(firstColumn * kCatalogueTileWidth),
                int16_t(lastRow * kCatalogueTileHeight + kCatalogueTileHeight + 1),
                int16_t(lastColumn * kCatalogueTileWidth + kCatalogueTileWidth + 1)};
}

}  // namespace

// ---- Print record ----

VXPrintRec* GetLibPrintRecord() {
    if (gLibPrintRec) {
        VXValidatePrintRecord(gLibPrintRec);
        return gLibPrintRec;
    }
    if (VXCreatePrintRecordEx(&gLibPrintRec, kCatalogueResolution) != 0) return gLibPrintRec = nullptr;
    VXSet72DpiPrintMargins(gLibPrintRec, kCatalogueMargin, kCatalogueMargin, kCatalogueMargin,
                           kCatalogueMargin);
    return gLibPrintRec;
}

void DisposeLibPrintRecord() {
    if (gLibPrintRec) VXDestroyPrintRecord(gLibPrintRec);
    gLibPrintRec = nullptr;
}

bool LibraryPageSetup() {
    VXPrintRec* record = GetLibPrintRecord();
    if (!record) {
        LibEditorReport(status::kOutOfMemory);
        return false;
    }
    return VXRunPageSetupDialog(record);
}

// ---- Tile area ----

BitArray BuildTileArea(TileArea* area, int16_t tileWidth, int16_t tileHeight, const Rect* page) {
    DisposeTileArea(area);
    area->tileWidth = tileWidth;
    area->tileHeight = tileHeight;
    area->rows = int16_t(std::max(0, page->bottom / tileHeight - page->top / tileHeight));
    area->columns = int16_t(std::max(0, page->right / tileWidth - page->left / tileWidth));
    area->tiles = CreateBitArray(gGenPool, std::max(1, area->rows * area->columns));
    return area->tiles;
}

void DisposeTileArea(TileArea* area) {
    if (area->tiles) DisposeBitArray(area->tiles);
    area->tiles = nullptr;
}

void ClearTileArea(TileArea* area) {
    if (area->tiles) std::memset(*area->tiles, 0, SizeOfHandle(area->tiles));
}

void SetTileState(TileArea* area, int32_t column, int32_t row, bool on) {
    if (!area->tiles || column < 0 || row < 0 || column >= area->columns || row >= area->rows) return;
    BitArraySetClear(area->tiles, column + area->columns * row, on);
}

bool TileState(const TileArea* area, int32_t column, int32_t row) {
    if (!area->tiles || column < 0 || row < 0 || column >= area->columns || row >= area->rows) return false;
    return BitArrayTest(area->tiles, column + area->columns * row) != 0;
}

void SetTileRect(TileArea* area, const Rect* rect, bool mark) {
    const int32_t top = rect->top / area->tileHeight, bottom = rect->bottom / area->tileHeight;
    const int32_t left = rect->left / area->tileWidth, right = rect->right / area->tileWidth;
    for (int32_t row = top; row <= bottom; ++row)
        for (int32_t column = left; column <= right; ++column) SetTileState(area, column, row, mark);
}

bool PlaceRectInArea(const TileArea* area, Rect* box) {
    const int32_t height = box->bottom - box->top + 4, width = box->right - box->left + 4;
    const int32_t h = height / area->tileHeight, w = width / area->tileWidth;
    if (area->rows <= h || area->columns <= w) return false;
    for (int32_t row = 0; row <= area->rows - h - 1; ++row)
        for (int32_t column = 0; column <= area->columns - w - 1; ++column) {
            bool free = true;
            for (int32_t r = row; free && r <= row + h; ++r)
                for (int32_t c = column; free && c <= column + w; ++c) free = !TileState(area, c, r);
            if (!free) continue;
            const Rect block = {int16_t(row * area->tileHeight), int16_t(column * area->tileWidth),
                                int16_t((row + h + 1) * area->tileHeight),
                                int16_t((column + w + 1) * area->tileWidth)};
            CenterRect16(box, &block, true, true);
            return true;
        }
    return false;
}

// ---- Placing ----

int32_t CatalogueBoxPercent(const CatalogueRecord* record, const Rect* bounds, int32_t nameCount) {
    const int32_t largestWidth = record->area.columns * kCatalogueTileWidth - 8;
    const int32_t largestHeight = record->area.rows * kCatalogueTileHeight - 8;
    const int32_t namesHeight = std::min(nameCount, kCatalogueMaxNameLines) * record->nameLineHeight;
    const int32_t boxWidth = bounds->right - bounds->left + 6, boxHeight = bounds->bottom - bounds->top + 4;
    double scale = 1.0;
    if (boxWidth > largestWidth) scale = double(largestWidth) / boxWidth;
    scale = std::min(scale, double(largestHeight - namesHeight) / boxHeight);
    // A whole percentage, never 0 (an empty box would draw nothing).
    return std::clamp(int32_t(std::floor(scale * 100.0 + 1e-9)), 1, 100);
}

int32_t ArrangeItemsOnPage(CatalogueRecord* record, VXWindowRecordTag* window) {
    ClearTileArea(&record->area);
    const bool counting = window == nullptr;
    const uint16_t page = counting ? 0 : record->currentPage;
    int32_t placed = 0;
    for (CatalogueEntry& entry : record->entries) {
        if (entry.page != page) continue;
        record->nameLinesHeight =
            int16_t(std::min<int32_t>(entry.nameCount, kCatalogueMaxNameLines) * record->nameLineHeight);
        const int32_t percent = CatalogueBoxPercent(record, &entry.bounds, entry.nameCount);
        record->scale = percent / 100.0;
        const int32_t width = (entry.bounds.right - entry.bounds.left + 6) * percent / 100;
        const int32_t height = (entry.bounds.bottom - entry.bounds.top + 4) * percent / 100;
        record->box = Rect{0, 0, int16_t(height + record->nameLinesHeight), int16_t(width)};
        if (!PlaceRectInArea(&record->area, &record->box)) continue;
        SetTileRect(&record->area, &record->box, true);
        ++placed;
        if (counting) entry.page = uint16_t(record->pageCount + 1);
        else RenderOneItemToPage(window, &entry, &record->box, record);
    }
    if (placed && window) {
        VXSetDefaultTextStyle(kCatalogueCaptionStyle);
        std::string caption = std::string(kCatalogueCaption) + record->libraryName;
        VXMoveTo(0, record->captionBaseline);
        VXDrawTextWithEncoding(caption.data(), int32_t(caption.size()), kEncodingUTF8);
    }
    return placed;
}

uint16_t CountCataloguePages(CatalogueRecord* record) {
    if (record->pageCount) return record->pageCount;
    const uint16_t savedPage = record->currentPage;
    record->currentPage = 0;
    // Each run fills one empty page with the unassigned entries that fit; an entry that fits on
    // no page is left out and never stops the others.
    while (record->pageCount < 0xFFFF && ArrangeItemsOnPage(record, nullptr) > 0) ++record->pageCount;
    record->currentPage = savedPage;
    return record->pageCount;
}

void BeginCatalogueRun(CatalogueRecord* record, const LRect* page) {
    record->captionBaseline = int16_t(page->bottom - record->captionBaseline);
    Rect tiles{};
    Rect32To16(page, &tiles);
    tiles.bottom = int16_t(tiles.bottom - record->captionBandHeight);
    if (!BuildTileArea(&record->area, kCatalogueTileWidth, kCatalogueTileHeight, &tiles))
        record->area.rows = record->area.columns = 0;
}

uint32_t PrintLibraryHook(VXWindowRecordTag* window, VXPrintRec*, int32_t operation, void* data,
                          void* refcon) {
    auto* record = static_cast<CatalogueRecord*>(refcon);
    switch (operation) {
        case -1: BeginCatalogueRun(record, static_cast<LRect*>(data)); return 0;
        case 0: return CountCataloguePages(record);
        case -2:
            if (record->currentPage) ArrangeItemsOnPage(record, window);
            return 0;
        case -3:
        case -4: return 0;
        default:
            if (operation > 0) record->currentPage = uint16_t(operation);
            return 0;
    }
}

// ---- Drawing one item ----

void SetupSymbolText(LibraryItem* item, LinkListHeader* elements, LinkListHeader* texts, StringBlock block) {
    if (!item->pinTable || !LLFirst(elements) || !LLFirst(texts)) return;
    const LibSection* section = GetFirstLibSectionUsingSymbol(item, 0);
    int32_t pin = 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e && e->kind == kElementNode;
         e = e->next, ++pin) {
        char name[kLibItemTextSize] = "", number[kLibItemTextSize] = "";
        const uint32_t id = GetLibSymbolPinDataId(item, 0, 0, pin);
        if (id != 0xFFFFFFFF) GetIndexedPinDataName(item->pinTable, int32_t(id), item->stringBlock, name);
        if (section) GetLibItemPinNumber(item, section, 0, pin, number);
        for (auto* t = static_cast<TextRecord*>(LLFirst(texts)); t; t = t->link) {
            if (t->owner != int64_t(reinterpret_cast<intptr_t>(e))) continue;
            const uint16_t mark = t->kind & kTextKindPinAttribute;
            if (mark != kTextKindPinName && mark != kTextKindPinNumber) continue;
            SetTextRecordString(t, block, mark == kTextKindPinName ? name : number);
            CalcTextBounds(nullptr, t, block);
        }
    }
    for (auto* t = static_cast<TextRecord*>(LLFirst(texts)); t; t = t->link)
        if (t->kind == kTextKindSymbolAttribute || (t->kind & kTextKindPinAttribute) == kTextKindPinAttribute)
            t->flags |= kTextFlagHidden;
}

void PrintLibrarySymbol(LibraryItem*, LinkListHeader* elements, LinkListHeader* texts,
                        LinkListHeader* frames, StringBlock block) {
    const uint32_t savedFlags = gGenFlags;
    gGenFlags = (gGenFlags & ~kGenDrawModeMask) | kGenPrinting;
    ImageList* images = GetElementListImageList(elements);
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e; e = e->next)
        DrawElement(e, images, false, false);
    for (auto* t = static_cast<TextRecord*>(LLFirst(texts)); t; t = t->link) DrawCatalogueText(t, block);
    for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item))
        DrawTextFrame(static_cast<TextFrameHandle>(item), false);
    gGenFlags = savedFlags;
}

void GetCatalogueNameLine(const CatalogueRecord* record, const CatalogueEntry* entry, int32_t line,
                          char* out) {
    if (line == kCatalogueMaxNameLines - 1 && entry->nameCount > kCatalogueMaxNameLines)
        std::snprintf(out, 256, kCatalogueOthers, int(entry->nameCount - (kCatalogueMaxNameLines - 1)));
    else
        GetLibEditorItemName(record->editor, entry->ref, line, out);
}

void RenderOneItemToPage(VXWindowRecordTag* window, const CatalogueEntry* entry, const Rect* box,
                         CatalogueRecord* record) {
    LibraryItem* item = InflateRef(record->editor, entry->ref);
    if (!item) return;
    Ptr data = GetLibSymbolData(item, 0, 0);
    LinkListHeader* elements = CreateElementList(item->imageList);
    LinkListHeader* texts = CreateTextList();
    LinkListHeader* frames = CreateTextFrameList();
    TextStyleList* styles = CreateTextStyleList(gGenPool);
    StringBlock block = CreateStringBlock(gGenPool, 256);
    const Point play = {int16_t(-entry->bounds.top), int16_t(-entry->bounds.left)};
    if (data && elements && texts && frames && styles && block &&
        SymbolDataToElements(data, SizeOfPtr(data), item->imageList, play, elements, texts, frames,
                             styles, block, nullptr) == 0) {
        const int32_t percent = int32_t(std::floor(record->scale * 100.0 + 1e-9));
        if (percent < 100) {
            ScaleElementList(elements, int16_t(percent), 100);
            ScaleTextList(texts, styles, block, window, int16_t(percent), 100, true);
            ScaleTextFrameList(frames, styles, window, int16_t(percent), 100, true);
        }
        const Rect frame = TileFrame(box);
        const int32_t namesHeight = record->nameLinesHeight;
        const int32_t width = (entry->bounds.right - entry->bounds.left) * percent / 100;
        const int32_t height = (entry->bounds.bottom - entry->bounds.top) * percent / 100;
        const int32_t left = frame.left + (frame.right - frame.left - width) / 2;
        const int32_t top = frame.top + (frame.bottom - frame.top - namesHeight - height) / 2;
        OffsetElementList(elements, Point{int16_t(top), int16_t(left)});
        OffsetTextList(texts, (uint32_t(uint16_t(left)) << 16) | uint16_t(top));
        OffsetTextFrameList(frames, int16_t(left), int16_t(top));
        SetupSymbolText(item, elements, texts, block);

        const bool antialias = VXAntialiasGraphics(false);
        VXSetPenWidth(1);
        VXFrameRect(&frame);
        VXAntialiasGraphics(antialias);
        Rect inner = frame;
        VXInsetRect(&inner, 1, 1);
        VXGrafState* state = &window->graf;
        VXSectClipRect(state, &inner, true);
        PrintLibrarySymbol(item, elements, texts, frames, block);
        VXPopClip(state);

        // The names below the symbol, at most 8 lines.
        VXSetTextStyle(record->textStyle);
        StyleMetrics metrics{};
        GetStyleMetrics(record->textStyle, &metrics);
        const int32_t lines = std::min<int32_t>(entry->nameCount, kCatalogueMaxNameLines);
        for (int32_t i = 0; i < lines; ++i) {
            char line[256];
            GetCatalogueNameLine(record, entry, i, line);
            const int32_t x = frame.left + (frame.right - frame.left - TextWidth(line)) / 2;
            const int32_t y = frame.bottom - namesHeight - 1 + metrics.ascent + i * record->nameLineHeight;
            VXMoveTo(x, y);
            VXDrawTextWithEncoding(line, int32_t(std::strlen(line)), kEncodingUTF8);
        }
    }
    if (elements) DestroyElementList(elements);
    if (texts) DestroyTextList(texts);
    if (frames) DestroyTextFrameList(frames);
    if (styles) DestroyTextStyleList(styles);
    if (block) DestroyStringBlock(block);
    DestroyLibraryItem(item);
}

// ---- Printing ----

bool PrepareCatalogue(LibEditorRecord* editor, CatalogueRecord* record) {
    record->editor = editor;
    record->entries.clear();
    const StyleMetrics caption = MetricsOf(kCatalogueCaptionStyle);
    const StyleMetrics names = MetricsOf(kCatalogueNameStyle);
    record->captionBandHeight = int16_t(caption.ascent + caption.descent + 8);
    record->captionBaseline = int16_t(caption.descent + 3);
    record->nameLineHeight = int16_t(names.ascent + names.descent + 2);
    if (!record->textStyle) record->textStyle = CreateTextStyle(gGenPool, nullptr);
    if (record->textStyle) SetupDefaultStyle(record->textStyle, kCatalogueNameStyle);
    char name[kFileSpecNameCapacity] = "";
    GetFileSpecName(&editor->library.file.spec, name, sizeof name);
    const size_t length = std::strlen(name);
    if (length > 4 && strcasecmp(name + length - 4, kLibraryExtension) == 0) name[length - 4] = 0;
    std::snprintf(record->libraryName, sizeof record->libraryName, "%s", name);
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next) {
        LibraryItem* item = InflateRef(editor, ref);
        CatalogueEntry entry{};
        if (item && FirstSymbolBounds(item, &entry.bounds)) {
            entry.ref = ref;
            entry.nameCount = uint16_t(std::min<int32_t>(CountLibEditorItemNames(ref), 0xFFFF));
            record->entries.push_back(entry);
        }
        DestroyLibraryItem(item);
    }
    return !record->entries.empty();
}

void DisposeCatalogueRecord(CatalogueRecord* record) {
    DisposeTileArea(&record->area);
    if (record->textStyle) DestroyTextStyle(record->textStyle);
    record->textStyle = nullptr;
    record->entries.clear();
}

OSStatus PrintLibrary(LibEditorRecord* editor, uint32_t options) {
    CatalogueRecord record{};
    if (!PrepareCatalogue(editor, &record)) {
        DisposeCatalogueRecord(&record);
        return 0;
    }
    OSStatus status = VXOpenPrinter();
    if (status == 0) {
        VXPrintRec* printRecord = GetLibPrintRecord();
        if (!printRecord) {
            status = status::kOutOfMemory;
        } else {
            VXSetApplicationPrintDPI(printRecord, kCatalogueResolution);
            status = VXRunPrintOperation(printRecord, nullptr, options, PrintLibraryHook, &record);
        }
        (void)VXClosePrinter();  // the print status is the one reported
    }
    DisposeCatalogueRecord(&record);
    LibEditorReport(status);
    return status;
}

}  // namespace plexa
