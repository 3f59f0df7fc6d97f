// The colour and line-width popups (see colorpopups.h).
#include "sheeteditor/colorpopups.h"

#include <algorithm>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "platform/input_platform.h"
#include "sheeteditor/elementtools.h"
#include "sheeteditor/pending.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

ColorPopupHooks gHooks;

// The key code of Shift.
constexpr uint16_t kShiftKeyCode = 56;
constexpr uint32_t kBlinkTicks = 3;
// Theme brushes of the labelled items.
constexpr uint32_t kBrushGround = 0x0E000000, kBrushHighlight = 0x0F000000;
constexpr uint32_t kBrushText = 0x14000000, kBrushHighlightText = 0x10000000;
constexpr uint32_t kBlack = 0x07000000, kWhite = 0x0BFFFFFF;

// The tracking state of one popup.
struct PopupState {
    VXWindowRecordTag* window = nullptr;
    bool fill = false;
    int32_t chosen = kColorChoiceNone;
    int32_t current = kColorChoiceNone;
    int32_t highlight = kColorChoiceNone;
    bool customise = false;
};
PopupState gFrame, gFill;

PopupState* StateOf(VXWindowRecordTag* popup) {
    if (popup && popup == gFrame.window) return &gFrame;
    if (popup && popup == gFill.window) return &gFill;
    return popup ? static_cast<PopupState*>(popup->refCon) : nullptr;
}

// The palette of a program without preferences: an even spread of hues and greys.
uint32_t BuiltInColor(int32_t index) {
    static const uint8_t levels[4] = {0x00, 0x55, 0xAA, 0xFF};
    const int32_t r = (index >> 4) & 3, g = (index >> 2) & 3, b = index & 3;
    return uint32_t(levels[r]) << 16 | uint32_t(levels[g]) << 8 | levels[b];
}

bool ItemRect(VXWindowRecordTag* popup, int16_t item, Rect* rect) {
    uint8_t type = 0;
    VXControlRecordTag* control = popup ? VXGetControl(popup, item, &type) : nullptr;
    if (!control) return false;
    VXGetControlRect(control, rect);
    return true;
}

void Paint(const Rect& r, uint32_t color) {
    QZSetColor(nullptr, color, false);
    VXRectDispatch(&r, 1);
}

// The selected elements of a sheet as the popups start from them: their count, and the style of
// the first.
int32_t SheetElementSelection(SheetRecord* sheet, ElementDefaults* single) {
    int32_t count = 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next) {
        if (!(e->flags & kElementSelected)) continue;
        if (++count == 1) *single = ElementDefaults{e->penWidth, e->flags, e->frameColor, e->fillColor};
    }
    return count;
}

}  // namespace

void SetColorPopupHooks(const ColorPopupHooks& hooks) { gHooks = hooks; }
const ColorPopupHooks& GetColorPopupHooks() { return gHooks; }

uint32_t GetPaletteColor(int32_t index) {
    index &= kPaletteSize - 1;
    return gHooks.getColor ? gHooks.getColor(index) : BuiltInColor(index);
}

int32_t FindColorIndex(uint32_t color) {
    for (int32_t i = 0; i < kPaletteSize; ++i)
        if (GetPaletteColor(i) == color) return i;
    return -1;
}

int32_t CalcCurrentColorIndex(const ElementDefaults& defaults, int32_t selectedCount,
                              const ElementDefaults* single, bool fill) {
    if (selectedCount > 1) return kColorChoiceNone;
    const ElementDefaults& e = selectedCount == 1 && single ? *single : defaults;
    if (fill && !(e.flags & kElementFilled)) return kColorChoiceEmpty;
    const uint16_t own = fill ? kElementOwnFillColor : kElementOwnFrameColor;
    if (e.flags & own) return FindColorIndex(fill ? e.fillColor : e.frameColor);
    return kColorChoiceSymbol;
}

void SetSelectionFromChoice(VXWindowRecordTag* window, int32_t what, uint32_t value) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top) return;
    if (top->typeID == kSheetWindowKind) {
        auto* sheet = static_cast<SheetRecord*>(top->refCon);
        if (!sheet) return;
        if (UpdateSelectedSheetElements(sheet, what, value) > 0) return;
        ElementDefaults d = GetSheetElementDefaults(sheet);
        ApplyChoiceToDefaults(&d, what, value);
        SetSheetElementDefaults(sheet, d);
        return;
    }
    if (gHooks.updateSymbolEditorElements && gHooks.updateSymbolEditorElements(top, what, value) > 0)
        return;
    ElementDefaults d, single;
    int32_t count = 0;
    if (gHooks.symbolEditorSelection && gHooks.symbolEditorSelection(top, &d, &count, &single)) {
        ApplyChoiceToDefaults(&d, what, value);
        if (gHooks.setSymbolEditorDefaults) gHooks.setSymbolEditorDefaults(top, d);
    }
}

// ---- Geometry ----

int32_t CalcColorBoxInItems(const Rect& grid, const Rect& symbolItem, const Rect* emptyItem,
                            int32_t index, Rect* rect) {
    const auto labelled = [&](const Rect& item) {
        *rect = item;
        VXInsetRect(rect, 1, 1);
        rect->top = int16_t(rect->top + 1);
        return 1;
    };
    if (index == kColorChoiceSymbol) return labelled(symbolItem);
    if (index == kColorChoiceEmpty) return emptyItem ? labelled(*emptyItem) : 0;
    if (index < 0 || index >= kPaletteSize) return 0;
    const int32_t c = (grid.right - grid.left) / 8;
    const int32_t row = index / 8, column = index % 8;
    const int32_t left = grid.left + 1 + c * column, top = grid.top + 1 + c * row;
    *rect = Rect{int16_t(top), int16_t(left), int16_t(top + c - 1), int16_t(left + c - 1)};
    return 1;
}

int32_t HitTestColorBoxInItems(const Rect& grid, const Rect& symbolItem, const Rect* emptyItem,
                               Point point) {
    if (VXPtInRect(point, &grid)) {
        const int32_t c = std::max((grid.right - grid.left) / 8, 1);
        const int32_t column = (point.h - grid.left) / c, row = (point.v - grid.top) / c;
        if (column < 0 || column > 7 || row < 0 || row > 7) return -1;
        const int32_t index = row * 8 + column;
        Rect box;
        CalcColorBoxInItems(grid, symbolItem, emptyItem, index, &box);
        VXInsetRect(&box, -1, -1);
        return VXPtInRect(point, &box) ? index : -1;
    }
    if (VXPtInRect(point, &symbolItem)) return kColorChoiceSymbol;
    if (emptyItem && VXPtInRect(point, emptyItem)) return kColorChoiceEmpty;
    return -1;
}

namespace {
struct PopupItems {
    Rect grid{}, symbol{}, empty{};
    bool hasEmpty = false;
};
bool ItemsOf(VXWindowRecordTag* popup, PopupItems* items) {
    if (!ItemRect(popup, kColorGridItem, &items->grid)) return false;
    if (!ItemRect(popup, kSymbolColorItem, &items->symbol)) return false;
    const PopupState* state = StateOf(popup);
    items->hasEmpty = state && state->fill && ItemRect(popup, kEmptyColorItem, &items->empty);
    return true;
}
}  // namespace

int32_t CalcColorBoxFromIndex(VXWindowRecordTag* popup, int32_t index, Rect* rect) {
    PopupItems items;
    if (!ItemsOf(popup, &items)) return 0;
    return CalcColorBoxInItems(items.grid, items.symbol, items.hasEmpty ? &items.empty : nullptr,
                               index, rect);
}

int32_t HitTestColorBox(VXWindowRecordTag* popup, Point point) {
    PopupItems items;
    if (!ItemsOf(popup, &items)) return -1;
    return HitTestColorBoxInItems(items.grid, items.symbol,
                                  items.hasEmpty ? &items.empty : nullptr, point);
}

void InvalColorSelectionBox(VXWindowRecordTag* popup, int32_t index) {
    Rect box;
    if (!CalcColorBoxFromIndex(popup, index, &box)) return;
    VXInsetRect(&box, -2, -2);
    VXInvalRect(popup, &box);
}

int32_t GetColorPopupHighlight(VXWindowRecordTag* popup) {
    const PopupState* state = StateOf(popup);
    return state ? state->highlight : kColorChoiceNone;
}

void SetColorPopupHighlight(VXWindowRecordTag* popup, int32_t index) {
    PopupState* state = StateOf(popup);
    if (!state || state->highlight == index) return;
    InvalColorSelectionBox(popup, state->highlight);
    state->highlight = index;
    InvalColorSelectionBox(popup, index);
}

// ---- Drawing ----

void DrawColorGrid(VXWindowRecordTag* popup, int16_t item) {
    Rect grid;
    if (!ItemRect(popup, item, &grid)) return;
    const int32_t c = std::max((grid.right - grid.left) / 8, 1);
    VXPenNormal();
    QZSetColor(nullptr, kBlack, false);
    for (int32_t i = 0; i <= 8; ++i) {
        VXMoveTo(grid.left + c * i, grid.top);
        VXLineTo(int16_t(grid.left + c * i), int16_t(grid.top + 8 * c));
        VXMoveTo(grid.left, grid.top + c * i);
        VXLineTo(int16_t(grid.left + 8 * c), int16_t(grid.top + c * i));
    }
    PopupItems items;
    items.grid = grid;
    for (int32_t index = 0; index < kPaletteSize; ++index) {
        Rect box;
        CalcColorBoxInItems(grid, items.symbol, nullptr, index, &box);
        Paint(box, GetPaletteColor(index) & 0xFFFFFF);
    }
    const int32_t highlight = GetColorPopupHighlight(popup);
    if (highlight >= 0 && highlight < kPaletteSize) {
        Rect box;
        CalcColorBoxInItems(grid, items.symbol, nullptr, highlight, &box);
        VXInsetRect(&box, -1, -1);
        QZSetColor(nullptr, kWhite, false);
        VXFrameRect(&box);
    }
}

void DrawLabeledColor(VXWindowRecordTag* popup, int16_t item) {
    Rect r;
    if (!ItemRect(popup, item, &r)) return;
    r.top = int16_t(r.top + 1);
    const int32_t index = item == kSymbolColorItem ? kColorChoiceSymbol : kColorChoiceEmpty;
    const bool lit = GetColorPopupHighlight(popup) == index;
    Paint(r, lit ? kBrushHighlight : kBrushGround);
    Rect inner = r;
    VXInsetRect(&inner, 4, 4);
    // The sample square at the left of the label.
    const int16_t side = int16_t(std::max(inner.bottom - inner.top, 1));
    const Rect sample{inner.top, inner.left, int16_t(inner.top + side), int16_t(inner.left + side)};
    if (item == kSymbolColorItem) {
        Set_Fore_Color(kColorIndexGraphics);
        VXRectDispatch(&sample, 1);
    } else {
        QZSetColor(nullptr, lit ? kBrushHighlightText : kBrushText, false);
        VXFrameRect(&sample);
    }
    QZSetColor(nullptr, lit ? kBrushHighlightText : kBrushText, false);
    VXSetUIFont(5);
    const char* label = item == kSymbolColorItem ? "Symbol Color" : "Empty";
    VXMoveTo(inner.left + 15, inner.bottom - 2);
    VXDrawTextWithEncoding(label, int32_t(std::strlen(label)), kEncodingUTF8);
}

// ---- The windows ----

int32_t ColorPopupWindowHandler(VXWindowRecordTag* popup, VXEventRecord* event) {
    if (event->kind != kVXCreateEvent) return VXDefaultEventHandler(popup, event);
    return VXDefaultEventHandler(popup, event);
}

namespace {
VXWindowRecordTag* MakePopup(PopupState* state, bool fill) {
    const Rect rect{0, 0, 40, 40};
    state->fill = fill;
    VXWindowRecordTag* w = VXCreateWindow(kVXWindowPopup, 2, 0, 0, 0, 0, &rect, "", 0, state,
                                          ColorPopupWindowHandler);
    if (!w) return nullptr;
    state->window = w;
    (void)VXLoadControls(w, kColorPopupTemplate, 0, 0, 0);  // it answers the focus item
    Rect grid;
    if (!ItemRect(w, kColorGridItem, &grid)) {
        VXDestroyWindow(w);
        state->window = nullptr;
        return nullptr;
    }
    VXSetUserItemProcWithInset(w, kColorGridItem, DrawColorGrid, 0);
    VXSetUserItemProcWithInset(w, kSymbolColorItem, DrawLabeledColor, 0);
    if (fill)
        VXSetUserItemProcWithInset(w, kEmptyColorItem, DrawLabeledColor, 0);
    else
        VXDestroyControl(w, kEmptyColorItem);
    Rect last;
    if (ItemRect(w, fill ? kEmptyColorItem : kSymbolColorItem, &last)) {
        Rect position;
        VXGetWindowPosition(w, &position);
        position.bottom = int16_t(position.top + last.bottom + 2);
        position.right = int16_t(position.left + last.right + 2);
        VXSetWindowPosition(w, &position);
    }
    return w;
}
}  // namespace

bool CreateColorPopups() {
    if (!gFrame.window && !MakePopup(&gFrame, false)) return false;
    if (!gFill.window && !MakePopup(&gFill, true)) return false;
    return true;
}

void DisposeColorPopups() {
    for (PopupState* s : {&gFrame, &gFill}) {
        if (s->window) VXDestroyWindow(s->window);
        *s = PopupState{};
    }
}

VXWindowRecordTag* GetColorPopup(bool fill) {
    if (!CreateColorPopups()) return nullptr;
    return fill ? gFill.window : gFrame.window;
}

uint32_t ColorPopupHook(VXWindowRecordTag* popup, int32_t message, VXEventRecord*, int32_t inside,
                        Point where, void*) {
    PopupState* state = StateOf(popup);
    if (!state) return 0;
    switch (message) {
        case kVXPopupEntered:
        case kVXPopupMoved:
        case kVXPopupLeft:
            SetColorPopupHighlight(popup, message != kVXPopupLeft && inside == 1
                                              ? HitTestColorBox(popup, where)
                                              : kColorChoiceNone);
            break;
        case kVXPopupFinish: {
            state->customise = PlatformIsKeyDown(kShiftKeyCode);
            state->chosen = state->highlight;
            // The chosen box blinks: off, on, off, on.
            for (int i = 0; i < 4 && state->chosen != kColorChoiceNone; ++i) {
                SetColorPopupHighlight(popup, i % 2 ? state->chosen : kColorChoiceNone);
                VXUpdateWindow(popup);
                VXDelay(kBlinkTicks);
            }
            return uint32_t(state->chosen);
        }
        case kVXPopupCancel:
            state->chosen = kColorChoiceNone;
            return uint32_t(kColorChoiceNone);
        default: break;
    }
    return 0;
}

void TrackColorPopup(VXWindowRecordTag* window, const Rect* button, bool fill) {
    VXWindowRecordTag* popup = GetColorPopup(fill);
    if (!popup || !window || !button) return;
    PopupState* state = StateOf(popup);
    // The current index from the selection.
    VXWindowRecordTag* top = VXGetTopParent(window);
    ElementDefaults defaults, single;
    int32_t count = 0;
    if (top && top->typeID == kSheetWindowKind) {
        auto* sheet = static_cast<SheetRecord*>(top->refCon);
        defaults = GetSheetElementDefaults(sheet);
        count = sheet ? SheetElementSelection(sheet, &single) : 0;
    } else if (gHooks.symbolEditorSelection) {
        (void)gHooks.symbolEditorSelection(top, &defaults, &count, &single);  // none: defaults
    }
    state->current = CalcCurrentColorIndex(defaults, count, &single, fill);
    state->highlight = state->current;
    state->chosen = kColorChoiceNone;
    state->customise = false;
    Point at{int16_t(button->bottom + 1), button->left};
    VXTranslatePoints(window, nullptr, &at, 1);
    const auto answer = int32_t(VXTrackPopupWindow(popup, window, at, 0, ColorPopupHook, state));
    int32_t choice = answer;
    if (choice < 0 || (choice >= kPaletteSize && choice != kColorChoiceSymbol &&
                       choice != kColorChoiceEmpty))
        return;
    if (choice < kPaletteSize && state->customise) {
        uint32_t colour = GetPaletteColor(choice);
        if (!VXChooseColorDialog("Customize Color", &colour)) return;
        if (gHooks.setColor) gHooks.setColor(choice, colour);
        state->current = kColorChoiceNone;  // a changed entry is a new choice
    }
    if (choice == state->current) return;
    const uint32_t value = choice == kColorChoiceSymbol ? kNoOwnColor : GetPaletteColor(choice);
    if (fill) {
        SetSelectionFromChoice(window, kChoiceFill, choice != kColorChoiceEmpty ? 1 : 0);
        if (choice != kColorChoiceEmpty) SetSelectionFromChoice(window, kChoiceFillColor, value);
    } else {
        SetSelectionFromChoice(window, kChoiceFrameColor, value);
    }
}

void TrackLineWidthPopup(VXWindowRecordTag* window, const Rect* button, VXEventRecord*,
                         int32_t currentWidth) {
    if (!window || !button) return;
    VXMenuRecord* menu = VXNewMenu(kLineWidthMenuId, "widths");
    if (!menu) return;
    for (int32_t width = 1; width <= 4; ++width) {
        const char text[2] = {char('0' + width), 0};
        VXInsertMenuItem(menu, true, width, uint16_t(width), text);
        if (width == currentWidth) VXSetMenuItemChecked(menu, true, width, true);
    }
    const Point at{int16_t(button->bottom + 1), button->left};
    // Each item's tag is its width; 0 when nothing was chosen.
    const uint16_t width = VXPopupMenuClick(window, at, 0, false, menu, true, 0);
    if (width >= 1 && width <= 4) SetSelectionFromChoice(window, kChoiceWidth, width);
    VXDestroyMenuEx(menu, true);
}

}  // namespace plexa
