// The sheet pane: drawing, modified status, invalidation, text editing's end, idle work and
// cursors; see sheetview.h.
#include "sheeteditor/sheetview.h"
#include "sheeteditor/simrunning.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/datetime.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/printrec.h"
#include "graphics/regions.h"
#include "graphics/textedit.h"
#include "model/annotation.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/sheetdraw.h"
#include "model/sheetindex.h"
#include "model/sheetstrings.h"
#include "model/signals.h"
#include "model/symboldraw.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/searchlist.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/textframeedit.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/wiredrag.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {


constexpr int16_t kColorIndexSignal = 3;
constexpr int16_t kColorIndexGrid = 6;
// The flashing signal's marks: the ring around a found floating end reaches this far around its
// corner; a one-segment wire this short in both directions is ringed, the ring this far around
// its first corner.
constexpr int32_t kFloatingEndSlop = 4;
constexpr int32_t kShortWireReach = 3;
constexpr int16_t kShortWireMark = 5;

constexpr uint32_t kCaretInterval = 0xFFFFFFFE;
constexpr uint32_t kSpiceIdleInterval = 10;  // ms
constexpr uint8_t kModifiedMarks = kSheetModifiedContent | kSheetModifiedDrawing;

bool Meets(const Rect& bounds, int16_t grow, const Rect& area) {
    Rect grown = bounds;
    VXInsetRect(&grown, int16_t(-grow), int16_t(-grow));
    return VXRectsOverlap(&grown, &area);
}

// A spec's change time moves to the sheet's, never back.
int32_t StampSpec(ProjectRecord*, SheetSpec* spec, SheetRecord* sheet, void*) {
    const uint32_t latest = std::max(spec->changeTime, sheet->modificationTime);
    SetSheetSpecDirtyTime(spec, &latest);
    return 0;
}

int32_t MarkTree(ProjectRecord* project, SheetSpec*, SheetRecord*, void*) {
    MarkProjectTreeDirty(project);
    return 0;
}

VXTERecord* EditorOf(const SheetRecord* sheet) { return static_cast<VXTERecord*>(sheet->drawingTE); }

// The handles shown are an element's (the first tells).
bool ElementHandlesShown(const SheetRecord* sheet) {
    const ItemModifier* first = CountSheetModifiers(sheet) > 0 ? SheetModifiers(sheet) : nullptr;
    return first && IsElementModifierId(first->id);
}

bool ControlsActive(const SheetRecord* sheet) {
    return sheet->topToolBar == nullptr ||
           !(sheet->topToolBar->status() & kVXStatusControlsInactive);
}

}  // namespace


// ---- Modified status ----

void SheetEditorModifiedStatus(SheetRecord* sheet, int32_t reasons) {
    if (!sheet) return;
    // Whatever an edit changed, the sheet's index rebuilds before its next question, unless the
    // edit reported its changes itself.
    if (!(reasons & kSheetChangePlacesReported)) NoteSheetItemPlaces();
    const bool content = reasons & kSheetReasonContent, drawing = reasons & kSheetReasonDrawing;
    if (content || drawing) {
        const bool wasUnmodified = !(sheet->modifiedFlags & kModifiedMarks);
        if (wasUnmodified && sheet->window) VXSetWindowModified(sheet->window, true);
        NoteSheetChangeForUndo(sheet, wasUnmodified);
        if (drawing) sheet->modifiedFlags |= kSheetModifiedDrawing;
    }
    if (content) {
        sheet->modifiedFlags |= kSheetModifiedContent;
        // Every change tells the projects, also one in the same second as the last or while the
        // local clock stands behind it; the time itself never moves back.
        const auto now = uint32_t(VXGetCurrentDateTime(1));
        sheet->modificationTime = std::max(sheet->modificationTime, now);
        EnumSheetProjects(sheet, StampSpec, nullptr);
        // The symbol editors open on its file symbols follow the sheet when next activated.
        MarkFileSymbolEditorsStale(sheet);
    } else if (!drawing && (reasons & kSheetReasonSaved)) {
        sheet->modifiedFlags &= uint8_t(~kModifiedMarks);
        if (sheet->window) VXSetWindowModified(sheet->window, false);
    }
    if (reasons & kSheetReasonProjectTree) EnumSheetProjects(sheet, MarkTree, nullptr);
    if (reasons & kSheetReasonForgetUndo) ClearSheetUndoAction(sheet);
    if (reasons & kSheetReasonForgetSearch) SearchSheetEdited(sheet);
}

int32_t IsSheetModified(const SheetRecord* sheet, uint32_t mask) {
    if (!sheet) return 0;
    if ((mask & kSheetAskDrawing) && (sheet->modifiedFlags & kSheetModifiedDrawing)) return 1;
    if ((mask & kSheetAskContent) &&
        (sheet->modifiedFlags & (kSheetModifiedContent | kSheetModifiedChildSymbols)))
        return 1;
    if ((mask & kSheetAskProject) && sheet->project && sheet->project->dirtyFlags) return 1;
    if (mask & kSheetAskAnnotation) {
        if (sheet->project && sheet->hierarchyContext) {
            const SheetSpec* spec = ResolveInstanceSheet(sheet->project, sheet->hierarchyContext);
            if (spec && IsSheetAnnotationDirty(spec, true, true, true)) return 1;
        } else {
            if (sheet->sheetSpec && IsSheetAnnotationDirty(sheet->sheetSpec, true, true, true)) return 1;
            if (AnnotationMapHasChanges(sheet->annotationMap)) return 1;
        }
    }
    return 0;
}

// ---- Drawing ----

int32_t CalcPrinterPageSize(const VXPrintRec* record, int32_t scalePercent, Point* size) {
    *size = Point{0, 0};
    VXPrintingMetrics metrics{};
    if (!record || !VXGetPrintingMetrics(record, &metrics) || metrics.pageWidth <= 0 ||
        metrics.pageHeight <= 0)
        return 0;
    const double f = 100.0 / (scalePercent == 0 ? 100 : scalePercent);
    size->v = int16_t(std::floor(metrics.pageHeight * f + 0.5));
    size->h = int16_t(std::floor(metrics.pageWidth * f + 0.5));
    return 1;
}

void DrawPageBreaks(SheetRecord* sheet) {
    if (!sheet || !sheet->window || sheet->stored.printScale < 0) return;
    Rect& cached = sheet->cachedPageSize;
    if (cached.bottom <= 0 || cached.right <= 0) {
        if (!sheet->printRecord)
            (void)VXCreatePrintRecordEx(&sheet->printRecord, sheet->stored.resolution);  // none: no breaks below
        Point size{};
        if (!sheet->printRecord ||
            !CalcPrinterPageSize(sheet->printRecord, sheet->stored.printScale, &size) ||
            size.v <= 0 || size.h <= 0) {
            // A printer that gives no page has no breaks to show.
            sheet->view.showPageBreaks = 0;
            return;
        }
        cached = Rect{0, 0, size.v, size.h};
    }
    VXWindowRecordTag* previous = VXSetWindow(sheet->window);
    VXPenNormal();
    VXSetPenWidth(2);
    const bool scaling = VXSetPenWidthScalingEnabled(sheet->viewScale < 100);
    VXSetLineDashInterval(5, 3, 0);
    Set_Fore_Color(kColorIndexGrid);
    const Rect& area = sheet->sheetBounds;
    for (int32_t x = cached.right + 1; x <= area.right; x += cached.right) {
        const Rect edge{-10, -10, int16_t(area.bottom + 10), int16_t(x)};
        VXFrameRect(&edge);
    }
    for (int32_t y = cached.bottom + 1; y <= area.bottom; y += cached.bottom) {
        const Rect edge{-10, -10, int16_t(y), int16_t(area.right + 10)};
        VXFrameRect(&edge);
    }
    VXSetPenWidthScalingEnabled(scaling);
    VXPenNormal();
    if (previous) VXSetWindow(previous);
}

void PaintSheetSelectionRects(SheetRecord* sheet) {
    if (!sheet || !sheet->window || !sheet->selectionRegion) return;
    QZSetColor(nullptr, kSelectionHighlightColor, false);
    for (const LRect& r : sheet->selectionRegion->rects) {
        const Rect box{int16_t(r.top), int16_t(r.left), int16_t(r.bottom), int16_t(r.right)};
        VXRectDispatch(&box, 1);
    }
    QZSetColor(nullptr, 0x07000000, false);
}

namespace {

constexpr int16_t kSheetColorKinds = 9;
// Without colours the kinds up to the grid's draw black; the highlight kinds keep theirs.
constexpr int16_t kLastPlainColorKind = 6;
constexpr uint32_t kSheetBlack = 0x07000000, kSheetWhite = 0x0BFFFFFF;

// Colours are drawn for the screen; printing into a print port turns white ink black.
bool ScreenColors(bool colorDisplay) { return colorDisplay && (gGenFlags & kGenColorDrawing); }
bool PrintingIntoPrintPort() {
    const VXGrafState* state = VXGetCurrentGrafState();
    return (gGenFlags & kGenPrinting) && state && state->geometry.kind == kWindowPrint;
}

}  // namespace

uint32_t SheetKindColor(int16_t kind, const uint32_t colors[9], bool colorDisplay) {
    if (kind < 0 || kind >= kSheetColorKinds || !colors) return kSheetBlack;
    const uint32_t color = colors[kind];
    if (ScreenColors(colorDisplay)) {
        if (color == kSheetWhite && kind != kColorIndexBackground && PrintingIntoPrintPort()) return kSheetBlack;
        return color;
    }
    if (kind == kColorIndexBackground) return kSheetWhite;
    return kind <= kLastPlainColorKind ? kSheetBlack : color;
}

uint32_t SheetBackColor(const uint32_t colors[9], bool colorDisplay) {
    if (!colors || !ScreenColors(colorDisplay) || PrintingIntoPrintPort()) return kSheetWhite;
    return colors[kColorIndexBackground];
}

void DrawFlashedSignalShortWires(SheetRecord* sheet) {
    if (!sheet || !sheet->flashingSignal) return;
    VXPenNormal();
    Set_Fore_Color(kColorIndexSignal);
    if (sheet->flashingWire) {
        // The floating end that was found: a ring around it.
        Rect ring;
        (void)GetFloatingWireEnd(sheet->flashingWire, kFloatingEndSlop, &ring);
        VXSetPenWidth(2);
        VXFrameOval(&ring);
        VXPenNormal();
        return;
    }
    const WireList wires = (*sheet->flashingSignal)->wires;
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
        if (CountWireSegments(w) != 1) continue;
        Point p[2];
        (void)GetWireSegment(w, 0, p);
        const bool shortWire = GetWireSegOrient(w, 0, false) != kOrientNull
                                   ? std::abs(p[0].h - p[1].h) <= kShortWireReach &&
                                         std::abs(p[0].v - p[1].v) <= kShortWireReach
                                   : !IsWireEndJunction((*w)->end0) && !IsWireEndJunction((*w)->end1);
        if (!shortWire) continue;
        const Rect mark{int16_t(p[0].v - kShortWireMark), int16_t(p[0].h - kShortWireMark),
                        int16_t(p[0].v + 1 + kShortWireMark), int16_t(p[0].h + 1 + kShortWireMark)};
        VXFrameOval(&mark);
    }
}

void DrawSheetContent(SheetRecord* sheet, VXWindowRecordTag* window, const Rect* area) {
    if (!sheet || !window || !area || VXEmptyRect(area)) return;
    VXSetWindow(window);
    VXPenNormal();
    VXSetOpacity(1.0);
    VXGrafState* graf = &window->graf;
    Rect grown = *area;
    bool clipped = false;
    const bool ownWindow = window == sheet->window;
    if (ownWindow) {
        VXInsetRect(&grown, -3, -3);
        if (!VXSectRect(&grown, &sheet->sheetBounds, &grown)) return;
        VXSectDrawingClipRect(graf, &grown, true);
        clipped = true;
        // The pane shows the background colour of the preferences under everything.
        Set_Bak_Color();
        VXEraseRect(&grown);
        if (sheet->selectedTool == kSelectTool && ControlsActive(sheet) && !ElementHandlesShown(sheet)) {
            PaintSheetSelectionRects(sheet);
            gDrawElmtSelRgn = sheet->selectionRegion;
        }
        if (sheet->view.showGrid) DrawGrid(window, sheet->view.gridSpacing, &grown);
        if (sheet->view.showPageBreaks) DrawPageBreaks(sheet);
    }
    // A selection is drawn without fill, except the element whose handles show (it is being
    // resized and keeps its look).
    int32_t mode = ElementHandlesShown(sheet) ? 0 : kGrafSelectedOutline;
    if (sheet->stored.flags & kSheetFlagHideElements) mode |= kGrafSkipHideable;
    DrawSheetGrafElements(sheet, area, mode | kGrafBackLayer);

    // Each layer draws the items near the area, in list order, as a walk of the list would.
    std::vector<void*> near;
    // The area and its grown part (cut to the sheet) together; the index's margin covers the
    // few units each layer grows its items by.
    const Rect reach{std::min(area->top, grown.top), std::min(area->left, grown.left),
                     std::max(area->bottom, grown.bottom), std::max(area->right, grown.right)};
    SheetItemsMeeting(sheet, SheetItemKind::kSymbol, reach, &near);
    for (void* item : near) {
        auto* symbol = static_cast<SymbolRecord*>(item);
        Rect bounds;
        GetSymbolInstanceInfo(sheet, symbol, nullptr, &bounds, 1);
        if (!(symbol->flags & kSymbolFlagSheet) && !Meets(bounds, 3, *area)) continue;
        DrawSymbol(sheet, symbol, sheet->imageList, graf, !(symbol->flags & kSymbolFlagPort));
    }
    SheetItemsMeeting(sheet, SheetItemKind::kBuss, reach, &near);
    for (void* item : near) {
        auto buss = static_cast<BussHandle>(item);
        if (!Meets((*buss)->bounds, 2, grown)) continue;
        DrawWireList((*buss)->wires, nullptr, true);
    }
    const bool darkPhase = sheet->modifiedFlags & kSheetFlashPhase;
    SheetItemsMeeting(sheet, SheetItemKind::kSignal, reach, &near);
    for (void* item : near) {
        auto signal = static_cast<SignalHandle>(item);
        if (!Meets((*signal)->bounds, 4, grown)) continue;
        if (signal == sheet->flashingSignal && darkPhase && !sheet->flashingWire) continue;
        DrawWireList((*signal)->wires, sheet->breakOutTable, true);
        DrawSignalJunctions(signal, 0, area);
        if (signal == sheet->flashingSignal && !darkPhase) DrawFlashedSignalShortWires(sheet);
    }
    DrawSheetGrafElements(sheet, area, mode | kGrafFrontLayer);
    DrawSheetTextFrames(sheet, nullptr, area);
    const bool simulator = sheet->simulatorTools != nullptr;
    for (int pass = 0; pass < (simulator ? 2 : 1); ++pass) {
        SheetItemsMeeting(sheet, SheetItemKind::kText, reach, &near);
        for (void* item : near) {
            auto* text = static_cast<TextRecord*>(item);
            const uint16_t f = text->flags & (kTextFlagHidden | kTextFlagBoxed);
            if (f != (pass == 0 ? 0 : kTextFlagBoxed)) continue;
            if (!VXRectsOverlap(&text->bounds, area)) continue;
            DrawTextElement(text, sheet->stringBlock);
        }
    }
    if (ownWindow && sheet->selectedTool == kSelectTool) InvalPaintItemModifiers(sheet, 1);
    if (clipped) VXPopClip(graf);
    gDrawElmtSelRgn = nullptr;
}

void UpdateSheetView(SheetRecord* sheet, const VXEventRecord* event) {
    if (!sheet || !event || !sheet->window) return;
    const VXEventRect16& u = event->u.update.rect;
    const Rect area{u.top, u.left, u.bottom, u.right};
    DrawSheetContent(sheet, sheet->window, &area);
    VXSetWindow(sheet->window);
    if (sheet->selectedTool == 7 && sheet->elementInCreation) {
        DrawElement(sheet->elementInCreation, nullptr, true, false);
    } else if (sheet->selectedTool == kSelectTool) {
        DrawWireSplitMarkers(sheet);
    } else if (sheet->selectedTool == kDrawToolText && EditorOf(sheet)) {
        VXPenNormal();
        const LRect longArea{area.top, area.left, area.bottom, area.right};
        VXLTEUpdate(&longArea, EditorOf(sheet));
        if (!sheet->growTracking) FrameEditTE(EditorOf(sheet));
    } else if (IsWireCreationInProgress(sheet)) {
        UpdateWireCreation(sheet);
    }
    if (sheet->drawHook) sheet->drawHook(sheet, sheet->drawHookRefCon);
}

// ---- Text editing ----

void DestroyDrawingTE(SheetRecord* sheet) {
    VXTERecord* te = sheet ? EditorOf(sheet) : nullptr;
    if (!te) return;
    TextFrameHandle edited = sheet->editedTextFrame;
    TextFrameHandle frame = CreateTextFrameFromTE(te, sheet, edited, sheet->styleList);
    // A new text is the undoable action. A frame edited again that goes is replaced by a new
    // record, or by none, which the last action does not name: that action is dropped.
    const bool made = frame && !edited;
    if (edited && (frame || te->length == 0)) ClearSheetUndoAction(sheet);
    if (made) StartSheetUndoEditCollection(sheet, kUndoActionCreation);
    if (frame) {
        LLPush(sheet->textFrameList, frame);
        if (sheet->modifiedFlags & kSheetModifiedFrameOption) (*frame)->flags |= kFrameFlagThemed;
        else (*frame)->flags &= uint16_t(~kFrameFlagThemed);
        CollectUndoSheetItemExistance(sheet, kUndoItemFrame, frame, 1);
        CollectUndoInvalSheetRect(sheet, &(*frame)->bounds);
        SheetEditorModifiedStatus(sheet, kSheetReasonDrawing | kSheetReasonForgetSearch);
    }
    if (made) AcceptSheetUndoCollection(sheet);
    if (edited) {
        // Only an emptied text lets its frame go: a text that could not become a frame keeps
        // the frame it was edited from.
        if (frame || te->length == 0) DestroyTextFrame(edited);
        else LLPush(sheet->textFrameList, edited);
        sheet->editedTextFrame = nullptr;
    }
    LRect grow;
    CalcTEGrowHandle(te, &grow);
    const Rect box{int16_t(grow.top), int16_t(grow.left), int16_t(grow.bottom), int16_t(grow.right)};
    InvalSheetWindowArea(sheet, &box);
    VXTEDispose(te);
    sheet->drawingTE = nullptr;
}

// ---- Idle work and cursors ----

void DoIdleTasks(SheetRecord* sheet) {
    if (!sheet) return;
    if (sheet->selectedTool == kDrawToolText && EditorOf(sheet)) VXTEIdle(EditorOf(sheet));
    if ((sheet->selectedTool == kSelectTool || sheet->selectedTool == kDrawToolSubSheet) && sheet->project)
        UpdateProjectHierarchy(sheet->project, 8);
}

void CalcSheetIdleInterval(SheetRecord* sheet) {
    if (!sheet || !sheet->window) return;
    // While an analysis of the sheet's project runs, the run button's icon turns.
    ProjectRecord* running = nullptr;
    const bool ours = IsAnalysisRunning(&running, nullptr, nullptr) && running == sheet->project;
    VXSetWindowIdleInterval(sheet->window, ours ? kSpiceIdleInterval : kCaretInterval, 0);
}

void UpdateViewCursor(SheetRecord* sheet, const VXEventRecord* event) {
    if (!sheet || !event || !sheet->window) return;
    const int16_t h = event->u.mouse.h, v = event->u.mouse.v;
    SetRulerGuidePositions(sheet->window, h, v);
    if (!sheet->zoomMode) {
        if (sheet->selectedTool == kSelectTool) {
            const bool overHandle = HitTestItemModifiers(sheet, Point{v, h}) >= 0;
            VXSetWindowCursor(sheet->window, overHandle ? kSheetCursorCross : kSheetCursorArrow);
        } else if (sheet->selectedTool == kDrawToolText) {
            VXTERecord* te = EditorOf(sheet);
            int32_t cursor = kSheetCursorIBeam;
            if (te) {
                LRect grow, display;
                CalcTEGrowHandle(te, &grow);
                InsetRect32(&grow, -1, -1);
                CalcTEDisplayFrame(te, &display);
                InsetRect32(&display, -3, -3);
                const auto inside = [&](const LRect& r) {
                    return v >= r.top && v < r.bottom && h >= r.left && h < r.right;
                };
                cursor = inside(grow) ? kSheetCursorCross
                                      : inside(display) ? kSheetCursorIBeam : kSheetCursorArrow;
            }
            VXSetWindowCursor(sheet->window, cursor);
        }
    }
    sheet->pathToggleRequest = 0;
}

}  // namespace plexa
