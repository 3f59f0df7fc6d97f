// What the system clipboard receives for the private clip: the plain text of the sheet clip's
// texts and designators, and the measuring and drawing of the clip's items for its picture, with
// the routines that draw a sheet in its window.
#include <cstdint>
#include <string>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/sheetdraw.h"
#include "model/signals.h"
#include "model/symboldraw.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetclipcopy.h"
#include "symboleditor/symclip.h"

namespace plexa {

namespace {

// The texts of the clip's objects, one a line: designators, texts and frames.
void ForEachClipText(SheetRecord* content, void (*each)(const char* text, void* data), void* data) {
    char text[kTextPlainSize];
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s)) {
        char designator[kSymbolTextSize] = {};
        GetSymbolsDisplayDesignator(content, s, designator);
        if (designator[0] && designator[0] != '?') each(designator, data);
    }
    for (auto* t = ListNext<TextRecord>(content->textList, nullptr); t; t = ListNext(content->textList, t)) {
        if (t->flags & kTextFlagHidden) continue;
        GetTextRecordString(t, content->stringBlock, text, sizeof text);
        if (text[0]) each(text, data);
    }
    for (auto f = ListNext<void>(content->textFrameList, nullptr); f; f = ListNext(content->textFrameList, f)) {
        GetTextFrameTextAsString(static_cast<TextFrameHandle>(f), true, int32_t(sizeof text), text);
        if (text[0]) each(text, data);
    }
}

// Adds an item's rectangle to the bounds; an empty one adds nothing.
void AddBounds(Rect* bounds, Rect r, int16_t grow = 0) {
    if (VXEmptyRect(&r)) return;
    if (grow) VXInsetRect(&r, int16_t(-grow), int16_t(-grow));
    if (VXEmptyRect(bounds)) *bounds = r;
    else VXUnionRect(bounds, &r, bounds);
}

void MeasureSheetClip(SheetRecord* content, int32_t hidden, Rect* bounds) {
    for (auto* e = ListNext<ElementRecord>(content->elementList, nullptr); e; e = ListNext(content->elementList, e))
        if (!((hidden & kGrafSkipHideable) && (e->flags & kElementHideable))) AddBounds(bounds, e->bounds);
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s)) {
        Rect r{};
        GetSymbolInstanceBounds(content, s, 1, &r);
        AddBounds(bounds, r);
    }
    for (auto n = ListNext<void>(content->bussList, nullptr); n; n = ListNext(content->bussList, n))
        AddBounds(bounds, (*static_cast<BussHandle>(n))->bounds);
    for (auto n = ListNext<void>(content->signalList, nullptr); n; n = ListNext(content->signalList, n))
        AddBounds(bounds, (*static_cast<SignalHandle>(n))->bounds);
    for (auto f = ListNext<void>(content->textFrameList, nullptr); f; f = ListNext(content->textFrameList, f))
        AddBounds(bounds, (*static_cast<TextFrameHandle>(f))->bounds, 2);
    for (auto* t = ListNext<TextRecord>(content->textList, nullptr); t; t = ListNext(content->textList, t))
        if (!(t->flags & kTextFlagHidden)) AddBounds(bounds, t->bounds);
}

// Draws the clip's items as the sheet window draws a sheet's, back to front.
void DrawSheetClip(SheetRecord* content, int32_t hidden) {
    VXGrafState* graf = VXGetCurrentGrafState();
    DrawGrafElements(content->elementList, nullptr, hidden | kGrafBackLayer);
    const bool portMarkers = gGenFlags & kGenPortMarkers;
    for (auto* s = ListNext<SymbolRecord>(content->symbolList, nullptr); s; s = ListNext(content->symbolList, s))
        DrawSymbol(content, s, content->imageList, graf, portMarkers);
    for (auto n = ListNext<void>(content->bussList, nullptr); n; n = ListNext(content->bussList, n))
        DrawWireList((*static_cast<BussHandle>(n))->wires, nullptr, true);
    for (auto n = ListNext<void>(content->signalList, nullptr); n; n = ListNext(content->signalList, n)) {
        auto signal = static_cast<SignalHandle>(n);
        InvalidateSignalJunctions(signal);
        DrawWireList((*signal)->wires, content->breakOutTable, true);
        DrawSignalJunctions(signal, 0, nullptr);
    }
    DrawGrafElements(content->elementList, nullptr, hidden | kGrafFrontLayer);
    for (auto f = ListNext<void>(content->textFrameList, nullptr); f; f = ListNext(content->textFrameList, f))
        DrawTextFrame(static_cast<TextFrameHandle>(f), false);
    for (auto* t = ListNext<TextRecord>(content->textList, nullptr); t; t = ListNext(content->textList, t))
        if (!(t->flags & kTextFlagHidden)) DrawTextElement(t, content->stringBlock);
}

}  // namespace

std::string ClipPlainText() {
    std::string text;
    if (!CurrClip->content) return text;
    ForEachClipText(
        CurrClip->content,
        [](const char* line, void* data) {
            auto* out = static_cast<std::string*>(data);
            *out += line;
            *out += '\n';
        },
        &text);
    return text;
}

void DrawClipboardContent(bool measure, Rect* bounds) {
    SheetRecord* content = CurrClip->content;
    const uint32_t savedFlags = gGenFlags;
    // Pins show no port markers in the picture.
    gGenFlags &= ~kGenPortMarkers;
    const int32_t hidden = (CurrClip->flags & kClipElementOption) ? kGrafSkipHideable : 0;
    if (measure) {
        VXSetEmptyRect(bounds);
        if (content) MeasureSheetClip(content, hidden, bounds);
        else MeasureSymbolClip(bounds);
        if (VXEmptyRect(bounds)) *bounds = Rect{};
    } else {
        VXPenNormal();
        Set_Bak_Color();
        VXEraseRect(bounds);
        if (content) DrawSheetClip(content, hidden);
        else DrawSymbolClip();
    }
    gGenFlags = savedFlags;
}

}  // namespace plexa
