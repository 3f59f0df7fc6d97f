#include "symboleditor/symwindow.h"

#include <algorithm>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/regions.h"
#include "graphics/textedit.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/sheetdraw.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/waitcursor.h"
#include "symboleditor/partdialogs.h"
#include "symboleditor/pindialog.h"
#include "symboleditor/symlists.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symclip.h"
#include "symboleditor/symcreate.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselect.h"
#include "symboleditor/symtools.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint32_t kCursorArrow = 0x7FFFFF00, kCursorText = 0x7FFFFF01, kCursorGrow = 0x7FFFFF02;

// The editor's selection region, made when first asked for.
VXRgn* SelectionRegion(SymbolEditorRecord* editor) {
    if (!editor->selectionRegion) editor->selectionRegion = VXCreateRgn(nullptr);
    return editor->selectionRegion;
}

bool IsSelected(const ElementRecord* e) { return e->flags & kElementSelected; }

// ---- Window hooks ----

void DestroyEditorWindow(SymbolEditorRecord* editor);

bool CreateEditorWindow(SymbolEditorRecord* editor) {
    const bool component = editor->kind == kLibItemComponent;
    const Rect content{50, 50, int16_t(component ? 560 : 390), int16_t(component ? 635 : 425)};
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, SymbolEditorWindowFlags(), kSymbolEditorWindowKind, 0, 0,
                                               &content, "", 0, editor, SymbolEditEventHandler);
    if (!window) return false;
    editor->window = window;
    editor->drawingHandler = SymbolEditEventHandler;
    VXSetPadSize(window, kSymbolEditorSurface.right, kSymbolEditorSurface.bottom, false);
    const Rect limits{140, 200, 5000, 5000};
    VXSetMinMaxRect(window, &limits);
    if (const auto rulers = GetSymbolEditorHooks().hideShowRulers) rulers(window, editor->rulers);
    if (CreateSymbolEditorPanes(editor)) return true;
    DestroyEditorWindow(editor);
    return false;
}

void DestroyEditorWindow(SymbolEditorRecord* editor) {
    FreePinListEditArray(editor);
    VXWindowRecordTag* window = editor->window;
    if (!window) return;
    editor->window = nullptr;
    ForgetSymbolEditorPanes(editor);
    window->refCon = nullptr;
    VXDestroyWindow(window);
}

void ShowEditorWindow(SymbolEditorRecord* editor, bool frontOnly) {
    if (!editor->window) return;
    if (!frontOnly) {
        char title[256];
        GetSymbolEditorTitle(editor, title, sizeof title);
        VXSetWindowTitle(editor->window, title);
        BuildPartsTree(editor);
        SetPartViewSelection(editor, editor->section, true);
        VXShowWindow(editor->window);
    }
    VXSelectWindow(editor->window);
}

}  // namespace

void AddSymbolEditorWindowHooks(SymbolEditorHooks& hooks) {
    hooks.createWindow = CreateEditorWindow;
    hooks.destroyWindow = DestroyEditorWindow;
    hooks.showWindow = ShowEditorWindow;
    hooks.flushList = [](SymbolEditorRecord* editor, bool keepRows) { return FlushSymbolEditorList(editor, keepRows) != 0; };
}

// ---- Changing the selected elements ----

void UpdateElements(SymbolEditorRecord* editor, uint16_t what, int16_t penWidth, uint8_t pinValue, bool fill) {
    bool changed = false;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) {
        if (!IsSelected(e)) continue;
        const Rect before = e->bounds;
        const uint16_t flags = e->flags;
        const int8_t width = e->penWidth;
        const bool pin = e->kind == kElementNode;
        uint8_t& value = ElementAs<NodeElement>(e)->bubbleRadius;
        const uint8_t oldValue = pin ? value : 0;
        if ((what & kUpdatePinValue) && pin) {
            value = pinValue;
            if (pinValue == 0) e->flags &= uint16_t(~kElementFilled);
        }
        if ((what & kUpdateFill) && e->kind != kElementLine && e->kind != kElementArrow && !(pin && value == 0))
            e->flags = uint16_t(fill ? e->flags | kElementFilled : e->flags & ~kElementFilled);
        if (what & kUpdatePenWidth) {
            if (!pin) {
                e->penWidth = int8_t(penWidth);
            } else if (editor->kind != kLibItemWireSymbol) {
                e->penWidth = int8_t(penWidth >= 2 ? 2 : 1);
                if (penWidth >= 2) value = 0;
            }
        }
        if (e->flags == flags && e->penWidth == width && (!pin || value == oldValue)) continue;
        CalcElementBounds(e);
        SetEditModified(editor, true);
        changed = true;
        Rect area = before;
        AddEditorArea(&area, e->bounds);
        InvalEditorView(editor, area);
    }
    if (changed) PrepSymbolEditorSelection(editor);
}

// ---- Keys ----

bool DoSymbolEditorKey(SymbolEditorRecord* editor, const VXEventRecord* event) {
    const uint16_t key = event->u.character.character;
    if (key == kKeyEscape) {
        SetSymbolEditorTool(editor, kSymEditToolSelect);
        editor->tool = kSymEditToolSelect;
        return true;
    }
    if (editor->textEdit) {
        // Typing into a new text keeps the last action (the text is the next one); into a
        // frame edited again it drops it.
        SetEditModified(editor, editor->editedFrame != nullptr);
        if (const auto typed = GetSymbolEditorHooks().frameEditorKey) typed(editor->textEdit, key);
        else VXTEKey(key, editor->textEdit);
        return true;
    }
    if (VXIsDeletionChar(key)) {
        DeleteSymbolEditorSelection(editor, false, kSymUndoDelete);
        return true;
    }
    if (editor->tool != kSymEditToolSelect) return true;
    int16_t dh = 0, dv = 0;
    switch (key) {
        case kKeyUp: dv = -1; break;
        case kKeyDown: dv = 1; break;
        case kKeyLeft: dh = -1; break;
        case kKeyRight: dh = 1; break;
        default: break;
    }
    if (dh || dv) {
        // Only a move that moved something marks the editor edited.
        InvalEditorSelectionBounds(editor);
        if (MoveEditorSelection(editor, dh, dv)) SetEditModified(editor, true);
        InvalEditorSelectionBounds(editor);
        return true;
    }
    if (key >= '0' && key <= '9') UpdateElements(editor, kUpdatePinValue, 0, uint8_t(key - '0'), false);
    return true;
}

// ---- Typing texts ----

namespace {

bool InLongRect(const LRect& r, Point p) { return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right; }

LRect GrownLong(LRect r, int32_t by) { return LRect{r.top - by, r.left - by, r.bottom + by, r.right + by}; }

void PassClick(VXTERecord* te, const VXEventRecord* event) {
    _LPNT where{};
    if (SymbolEditorRecord* editor = WindowToSymbolEditor(VXWindowFromGrafState(te->window))) {
        const Point at = EditorEventPoint(editor, event);
        where = _LPNT{at.v, at.h};
    }
    VXTEClick(&where, int16_t(event->u.mouse.button), event->u.mouse.shift != 0, te);
}

// A new text at the click: the default style's box eight "W"s wide on the grid point's row.
void StartNewText(SymbolEditorRecord* editor, const VXEventRecord* event) {
    editor->state = uint16_t((editor->state & kSymEditThemedText) ? editor->state | kSymEditEditedThemed
                                                                  : editor->state & ~kSymEditEditedThemed);
    Point at = EditorEventPoint(editor, event);
    GetSymbolEditorGridPoint(editor, &at);
    VXSetWindow(editor->window);
    txStyle* saved = VXPreserveTextStyle();
    VXSetTextStyle(editor->defaultStyle);
    int16_t lineHeight = 0, ascent = 0, descent = 0;
    VXTECalcStyleMetrics(editor->defaultStyle, &lineHeight, &ascent, &descent);
    const int32_t leading = std::max(0, lineHeight - ascent - descent);
    const LRect box{at.v - ascent, at.h, at.v + descent + leading, at.h + int32_t(VXMeasureTextBytes("WWWWWWWW", 8, kEncodingUTF8, false))};
    VXTERecord* te = VXTENewUsingStyle(&box, &box, kTEStyleCurrent);
    if (saved) VXRestoreTextStyle(saved);
    if (!te) return;
    VXTESetTabWidth(0, kFrameTabWidth, te);
    editor->textEdit = te;
    InvalEditorView(editor, GrownEditorRect(Rect{int16_t(box.top), int16_t(box.left), int16_t(box.bottom), int16_t(box.right)}, 2));
    VXTEActivate(te);
}

uint32_t TextToolCursor(SymbolEditorRecord* editor, Point point) {
    VXTERecord* te = editor->textEdit;
    if (!te) return kCursorText;
    LRect handle{};
    if (const auto grow = GetSymbolEditorHooks().frameEditorGrowHandle) grow(te, &handle);
    if (InLongRect(GrownLong(handle, 1), point)) return kCursorGrow;
    return InLongRect(GrownLong(te->viewRect, 2 + 3), point) ? kCursorText : kCursorArrow;
}

}  // namespace

void StartFrameEditing(SymbolEditorRecord* editor, TextFrameHandle frame, const VXEventRecord* event) {
    const auto create = GetSymbolEditorHooks().createFrameEditor;
    if (!create || !editor->window || ((*frame)->flags & 3)) return;
    VXTERecord* te = create(editor->window, frame);
    if (!te) return;
    (void)LLRemoveOrFree(editor->frames, frame, nullptr, false);  // held as the edited frame
    editor->editedFrame = frame;
    editor->state = uint16_t(((*frame)->flags & kFrameFlagThemed) ? editor->state | kSymEditEditedThemed
                                                                 : editor->state & ~kSymEditEditedThemed);
    editor->textEdit = te;
    if (event) PassClick(te, event);
}

void DoTextToolClick(SymbolEditorRecord* editor, const VXEventRecord* event) {
    const Point point = EditorEventPoint(editor, event);
    const bool wasEditing = editor->textEdit != nullptr;
    if (VXTERecord* te = editor->textEdit) {
        LRect handle{};
        if (const auto grow = GetSymbolEditorHooks().frameEditorGrowHandle) grow(te, &handle);
        if (InLongRect(GrownLong(handle, 1), point)) return;  // sizing the box comes with its tracking
        if (InLongRect(GrownLong(te->viewRect, 2 + 3), point)) {
            PassClick(te, event);
            return;
        }
        DestroySymbolEditorTE(editor);
    }
    if (TextFrameHandle frame = HitTestEditorTextFrames(editor, point)) {
        StartFrameEditing(editor, frame, event);
        return;
    }
    if (!wasEditing) StartNewText(editor, event);
}

// ---- Clicks ----

void DoMouseClick(SymbolEditorRecord* editor, const VXEventRecord* event) {
    if (!editor->window) return;
    const VXMouseFields& mouse = event->u.mouse;
    if (mouse.button == 2) {
        PanDrag(editor->window, event);
        return;
    }
    if (editor->zoomMode) {
        const auto track = GetSymbolEditorHooks().trackZoomRect;
        if (track && track(editor->window, event)) editor->zoomMode = false;
        return;
    }
    if (mouse.button == 1) {
        SetSymbolEditorTool(editor, kSymEditToolSelect);
        editor->tool = kSymEditToolSelect;
    }
    const Point point = EditorEventPoint(editor, event);
    const bool doubleClick = event->kind == kVXDoubleClickEvent;
    switch (editor->tool) {
        case kSymEditToolSelect: {
            // The next paste goes where the select tool last clicked.
            Point pastePoint = point;
            GetSymbolEditorGridPoint(editor, &pastePoint);
            SetSymbolClipPastePoint(pastePoint);
            const int32_t handle = HitTestElementModifier(editor, point);
            if (handle != kNoModifier && (editor->selectedElement || editor->selectedFrame)) {
                // A double click on a pin's connecting end opens the pin, as one on the pin does.
                ElementRecord* pin = editor->selectedElement;
                if (doubleClick && handle == 8 && pin && pin->kind == kElementNode)
                    DoDoubleClick(editor, event, pin, nullptr, nullptr);
                else if (handle == 14 && editor->selectedFrame) ResizeSymbolEditTextFrame(editor, event, handle);
                else ResizeElement(editor, event, handle);
                return;
            }
            if (!mouse.option) {
                if (ElementRecord* e = HitTestEditorElements(editor, point)) {
                    const bool opens = e->kind != kElementLine && e->kind != kElementArrow && e->kind != kElementImage;
                    if (doubleClick && opens) DoDoubleClick(editor, event, e, nullptr, nullptr);
                    else DoEditorElementSelection(editor, event, e);
                    return;
                }
            }
            if (TextRecord* text = HitTestEditorTextLabels(editor, point)) {
                if (doubleClick && text->kind >= kTextKindPinNumber) DoDoubleClick(editor, event, nullptr, text, nullptr);
                else DoEditorTextLabelSelection(editor, event, text);
                return;
            }
            TextFrameHandle frame = HitTestEditorTextFrames(editor, point);
            if (doubleClick) {
                DoDoubleClick(editor, event, nullptr, nullptr, frame);
                return;
            }
            if (frame) {
                DoEditorTextFrameSelection(editor, event, frame);
                return;
            }
            if (!mouse.shift) ClearSymbolEditorSelection(editor);
            Rect area{};
            if (TrackEditorSelectionRect(editor, event, &area)) DoEditorAreaSelection(editor, area, mouse.shift, mouse.option);
            return;
        }
        case kSymEditToolText: DoTextToolClick(editor, event); return;
        case kSymEditToolPoly: CreatePolyClick(editor, event); return;
        case kSymEditToolPin: DoCreateNode(editor, event); return;
        default: DoCreateElement(editor, event); return;
    }
}

void DoDoubleClick(SymbolEditorRecord* editor, const VXEventRecord* event, ElementRecord* element, TextRecord* text,
                   TextFrameHandle frame) {
    const SymbolEditorHooks& hooks = GetSymbolEditorHooks();
    if (element && element->kind != kElementNode) {
        const Rect before = element->bounds;
        if (hooks.editElementInfo && hooks.editElementInfo(element)) {
            SetEditModified(editor, true);
            Rect area = before;
            AddEditorArea(&area, element->bounds);
            InvalEditorView(editor, area);
        }
        return;
    }
    if (editor->kind == kLibItemWireSymbol || editor->kind == kLibItemPort) {
        uint32_t* flags = &editor->symbolFlags;
        uint8_t* options = &editor->placementOptions;
        if (editor->kind == kLibItemWireSymbol ? NetSymbolInfoDialog(flags, options) : PortInfoDialog(flags, options))
            SetEditModified(editor, false);
        return;
    }
    ElementRecord* pin = element;
    if (!pin && text && text->kind >= kTextKindPinNumber && IsEditorTextSelected(text))
        pin = reinterpret_cast<ElementRecord*>(text->owner);
    if (pin) {
        if (EditSymbolEditorPinInfo(editor, pin, nullptr, 0)) SetEditModified(editor, true);
        return;
    }
    if (frame && !((*frame)->flags & 3)) {
        SetSymbolEditorTool(editor, kSymEditToolText);
        editor->tool = kSymEditToolText;
        StartFrameEditing(editor, frame, event);
        return;
    }
    // The definition's row in the parts tree shows its name.
    if (PartSymbolDialog(editor, editor->symbol) && editor->partsTree)
        VXInvalidateHierarchy(static_cast<VXWindowRecordTag*>(editor->partsTree));
}

// ---- Drawing ----

void DrawEditViewContent(SymbolEditorRecord* editor, VXWindowRecordTag* window, bool noSelection, const Rect* area) {
    if (!area || VXEmptyRect(area) || !window) return;
    VXSetWindow(window);
    VXPenNormal();
    const bool own = window == editor->window;
    const bool selecting = own && editor->tool == kSymEditToolSelect && !noSelection;
    if (selecting && !editor->selectedElement) {
        VXRgn* region = SelectionRegion(editor);
        VXSetEmptyRgn(region);
        EnumEditorSelectionRects(
            editor,
            [](const Rect& r, void* data) {
                const LRect l{r.top, r.left, r.bottom, r.right};
                VXAddRectToRgn(static_cast<VXRgn*>(data), &l);
            },
            region);
        PaintEditorSelectionRects(editor);
        gDrawElmtSelRgn = region;
    }
    if (const auto grid = GetSymbolEditorHooks().drawGrid; own && editor->gridVisible && grid)
        grid(window, editor->grid, area);
    ImageList* images = GetElementListImageList(editor->elements);
    const std::vector<ElementRecord*> elements = EditorListItems<ElementRecord*>(editor->elements);
    for (auto it = elements.rbegin(); it != elements.rend(); ++it) {
        ElementRecord* e = *it;
        if (e == editor->constructed) continue;
        if ((editor->dragState & 1) && e == editor->selectedElement) continue;
        if (!VXRectsOverlap(&e->bounds, area)) continue;
        DrawElement(e, images ? images : editor->images, false, false);
    }
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts))
        if (!(t->flags & kTextFlagHidden) && VXRectsOverlap(&t->bounds, area)) DrawTextElement(t, editor->stringBlock);
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
        const Rect grown = GrownEditorRect((*f)->bounds, 2);
        if (VXRectsOverlap(&grown, area)) DrawTextFrame(f, false);
    }
    gDrawElmtSelRgn = nullptr;
    if (selecting && (editor->selectedElement || editor->selectedFrame)) DrawElementModifiers(editor);
    if (own && editor->tool == kSymEditToolPoly && editor->constructed)
        DrawElement(editor->constructed, images, true, false);
    // The single element being dragged shows as a dashed frame; the drag draws the element.
    if (own && editor->tool == kSymEditToolSelect && (editor->dragState & 1) && editor->selectedElement) {
        const ElementRecord* dragged = editor->selectedElement;
        const int16_t by = int16_t(2 + (dragged->kind == kElementRect ? dragged->penWidth / 2 : 0));
        const Rect frame = GrownEditorRect(dragged->bounds, by);
        VXPenNormal();
        VXSetPenWidth(2);
        VXSetLineDashInterval(2, 3, 0);
        VXFrameRect(&frame);
        VXPenNormal();
    }
}

void DoUpdateEvent(SymbolEditorRecord* editor, const VXEventRecord* event) {
    const VXEventRect16& u = event->u.update.rect;
    const Rect area{u.top, u.left, u.bottom, u.right};
    DrawEditViewContent(editor, editor->window, false, &area);
    if (editor->tool == kSymEditToolText && editor->textEdit) {
        VXPenNormal();
        const LRect longArea{area.top, area.left, area.bottom, area.right};
        VXLTEUpdate(&longArea, editor->textEdit);
        if (const auto frame = GetSymbolEditorHooks().drawFrameEditor) frame(editor->textEdit);
    }
}

// ---- Events ----

int32_t SymbolEditEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    // The open editor of the window (a window whose editor is gone has none).
    SymbolEditorRecord* editor = WindowToSymbolEditor(window);
    if (event->kind == kVXDestroyEvent) {
        if (editor && editor->window == window) editor->window = nullptr;
        return VXDefaultEventHandler(window, event);
    }
    if (!editor) return VXDefaultEventHandler(window, event);
    switch (event->kind) {
        case kVXIdleEvent:
            if (editor->textEdit) VXTEIdle(editor->textEdit);
            return 1;
        case kVXCreateEvent:
            Set_Bak_Color();
            VXSetWindowIdleInterval(window, kVXCaretInterval, 0);
            return VXDefaultEventHandler(window, event);
        case kVXCloseEvent:
            // Stays open on Cancel, on a failed save and on Edit.
            if (editor->libEditor) (void)CloseLibrarySymbolEditorWindow(editor);
            else (void)CloseSheetSymbolEditor(editor, false);  // stays open when its list refuses
            return 1;
        case kVXActivateEvent:
            if (event->u.activate.activated) {
                DoSymbolEditorActivate(editor);
            } else if (!VXIsModalWindowActive()) {
                if (editor->textEdit) VXTEDeactivate(editor->textEdit);
                else ClearSymbolEditorSelection(editor);
            }
            editor->zoomMode = false;
            for (VXWindowRecordTag* pane : {editor->tabPane, editor->toolPane, editor->topToolPane})
                if (pane) DispatchEvent(pane, event);
            return 0;
        case kVXFocusEvent:
            if (!event->u.focus.gaining) {
                ClearSymbolEditorSelection(editor);
                DestroySymbolEditorTE(editor);
                editor->zoomMode = false;
            }
            return 1;
        case kVXSizeEvent: return 0;
        case kVXUpdateEvent: {
            Set_Bak_Color();
            const uint32_t saved = gGenFlags;
            gGenFlags = (gGenFlags & ~7u) | 3u;
            DoUpdateEvent(editor, event);
            if (const auto rulers = GetSymbolEditorHooks().drawRulers) rulers(window);
            gGenFlags = saved;
            return 1;
        }
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent: DoMouseClick(editor, event); return 1;
        case kVXCharEvent: return DoSymbolEditorKey(editor, event) ? 1 : 0;
        case kVXMouseMovedEvent: {
            const Point point = EditorEventPoint(editor, event);
            if (const auto guides = GetSymbolEditorHooks().rulerGuidesFollow) guides(window, point.h, point.v);
            uint32_t cursor = kCursorArrow;
            if (editor->tool == kSymEditToolPoly) ShowPolyCreation(editor, point);
            else if (editor->tool == kSymEditToolText) cursor = TextToolCursor(editor, point);
            else if (editor->tool == kSymEditToolSelect && HitTestElementModifier(editor, point) != kNoModifier) cursor = kCursorGrow;
            if (!editor->zoomMode) VXSetCursor(cursor);
            return 1;
        }
        case kVXWheelEvent:
            if (event->u.wheel.mouse.modifiers & kVXModCommand) {
                if (const auto& hooks = GetSymbolEditorHooks(); hooks.adjustViewScale)
                    hooks.adjustViewScale(window, event->u.wheel.deltaV);
                return 1;
            }
            return 0;
        default: return event->kind > kVXWheelEvent ? 0 : VXDefaultEventHandler(window, event);
    }
}

}  // namespace plexa
