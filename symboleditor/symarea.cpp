#include "symboleditor/symarea.h"

#include "foundation/geometry.h"
#include "model/elements.h"
#include "symboleditor/symrecord.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint32_t kWindowFlags = kVXFlagResizable | kVXFlagClosable | kVXFlagHorizontalScroller |
                                  kVXFlagVerticalScroller;

}  // namespace

void AddEditorArea(Rect* to, const Rect& r) {
    if (VXEmptyRect(&r)) return;
    if (VXEmptyRect(to)) *to = r;
    else VXUnionRect(to, &r, to);
}

Rect GrownEditorRect(Rect r, int16_t by) {
    VXInsetRect(&r, int16_t(-by), int16_t(-by));
    return r;
}

void InvalEditorView(SymbolEditorRecord* editor, const Rect& area) {
    if (!editor->window || VXEmptyRect(&area)) return;
    Rect grown = GrownEditorRect(area, CalcModiferBoxSize(&editor->window->graf.geometry));
    VXInvalRect(editor->window, &grown);
}

void InvalSymbolEditorView(SymbolEditorRecord* editor, const Rect* area) {
    if (!editor->window) return;
    if (area) {
        InvalEditorView(editor, *area);
        return;
    }
    Rect all = kSymbolEditorSurface;
    VXInvalRect(editor->window, &all);
}

uint32_t SymbolEditorWindowFlags() { return kWindowFlags; }

void PlaceSymbolEditorWindow(SymbolEditorRecord* editor, VXWindowRecordTag* anchor) {
    if (!editor->window || !anchor) return;
    Rect position{};
    VXGetWindowPosition(anchor, &position);
    VXOffsetRect(&position, 18, 18);
    Rect own{};
    VXGetWindowPosition(editor->window, &own);
    VXOffsetRect(&own, int16_t(position.left - own.left), int16_t(position.top - own.top));
    if (VXWindowRectOnScreen(kVXWindowDocument, 0, kWindowFlags, &own) == 1) VXSetWindowPosition(editor->window, &own);
}

}  // namespace plexa
