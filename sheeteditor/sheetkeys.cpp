// The key and click dispatch of the sheet pane (see sheetkeys.h).
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/sheetkeys.h"


#include "files/sheetports.h"
#include "files/sheetstore.h"
#include "foundation/assert.h"
#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/textedit.h"
#include "graphics/regions.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "foundation/strings.h"
#include "foundation/ll.h"
#include "library/itemcache.h"
#include "library/libhistory.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/elementinfo.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/elementtools.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/partsdialog.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetsettings.h"
#include "sheeteditor/signalinfo.h"
#include "sheeteditor/bussdrag.h"
#include "sheeteditor/wiredrag.h"
#include "sheeteditor/sheetdrag.h"
#include "sheeteditor/sheetmove.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/toolbars.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/simtools.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/textframeedit.h"
#include "design/simlink_sheet.h"
#include "symboleditor/pindialog.h"
#include "symboleditor/syminfodialog.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint16_t kKeyEscape = 27, kKeyTab = 9, kKeyReturn = 13;
constexpr int32_t kModifiedKeyReasons = 0x68;
constexpr int32_t kElementChangedReasons = 0x28;
// Element flags the dispatch reads.
constexpr uint16_t kElementFlagUnselectable = 0x2000;
// Frame lock bits.
constexpr uint16_t kFrameLockBits = 0x0003;
// Text owner kinds and flags.
constexpr uint16_t kOwnerPinNumber = 0x4000, kOwnerPinName = 0x8000, kOwnerSymbolText = 0x0010;
constexpr uint16_t kOwnerKindSignal = 1, kOwnerKindBuss = 2, kOwnerKindSymbolName = 21;
// Simulator: the node-values button of its tool bar.
constexpr int16_t kNodeValuesButton = 10;

int32_t HitHandle(SheetRecord* sheet, Point point) { return HitTestItemModifiers(sheet, point); }
ElementRecord* HitElement(SheetRecord* sheet, Point point, int32_t mode, bool back, bool* insideFill) {
    return HitTestGrafElements(sheet, point, 3, back ? mode | 1 : mode, insideFill);
}
SymbolRecord* HitSymbol(SheetRecord* sheet, Point point) { return HitTestSymbol(sheet, point, 2); }
// The pin near the point, its symbol in `symbol`; -1 for none (the point is not moved).
int32_t HitPin(SheetRecord* sheet, Point point, int32_t tolerance, SymbolRecord** symbol) {
    return HitTestPins(sheet, &point, tolerance, symbol);
}
SignalHandle HitSignal(SheetRecord* sheet, Point point, WireHandle* wire, int32_t* segment) {
    return HitTestSignalList(sheet, point, -1, wire, segment, nullptr);
}
BussHandle HitBuss(SheetRecord* sheet, Point point, WireHandle* wire, int32_t* segment) {
    return HitTestBussList(sheet, point, -1, false, wire, segment, nullptr);
}

VXTERecord* EditorOf(SheetRecord* sheet) { return static_cast<VXTERecord*>(sheet->drawingTE); }

Point ClickPoint(const VXEventRecord* event) { return Point{event->u.mouse.v, event->u.mouse.h}; }

bool Inside(const LRect& r, int32_t h, int32_t v) {
    return v >= r.top && v < r.bottom && h >= r.left && h < r.right;
}

// Opens a text editor on a frame taken out of the sheet's frame list and passes the click to it.
void EditFrame(SheetRecord* sheet, TextFrameHandle frame, VXEventRecord* event, bool shift) {
    PLEXA_ASSERT(frame && *frame);  // the hit test found it in the sheet's list
    if ((*frame)->flags & kFrameFlagThemed)
        sheet->modifiedFlags |= kSheetModifiedFrameOption;
    else
        sheet->modifiedFlags &= uint8_t(~kSheetModifiedFrameOption);
    VXTERecord* te = CreateTextFrameEditor(sheet->window, frame);
    if (!te) return;
    (void)LLRemoveOrFree(sheet->textFrameList, frame, nullptr, false);  // it is in the list
    sheet->editedTextFrame = frame;
    sheet->drawingTE = te;
    LRect display;
    CalcTEDisplayFrame(te, &display);
    const Rect r{int16_t(display.top), int16_t(display.left), int16_t(display.bottom),
                 int16_t(display.right)};
    InvalSheetWindowArea(sheet, &r);
    const _LPNT point{event->u.mouse.v, event->u.mouse.h};
    VXTEClick(&point, int16_t(event->u.mouse.button), shift, te);
}

// ---- Clicks by tool ----

void TextToolClick(SheetRecord* sheet, VXEventRecord* event) {
    const bool hadEditor = EditorOf(sheet) != nullptr;
    if (VXTERecord* te = EditorOf(sheet)) {
        LRect grow, display;
        CalcTEGrowHandle(te, &grow);
        InsetRect32(&grow, -1, -1);
        CalcTEDisplayFrame(te, &display);
        InsetRect32(&display, -3, -3);
        const int32_t h = event->u.mouse.h, v = event->u.mouse.v;
        if (Inside(grow, h, v)) {
            sheet->growTracking = 1;
            (void)TrackTEGrowBox(te, event);  // the frame takes whatever size it was given
            sheet->growTracking = 0;
        } else if (Inside(display, h, v)) {
            const _LPNT point{v, h};
            VXTEClick(&point, int16_t(event->u.mouse.button), event->u.mouse.shift != 0, te);
        } else {
            DestroyDrawingTE(sheet);
        }
        if (EditorOf(sheet)) return;
    }
    Set_Fore_Color(2);
    const Point point = ClickPoint(event);
    if (TextFrameHandle frame = HitTestTextFrame(sheet, point)) {
        if (!((*frame)->flags & kFrameLockBits) && (*frame)->owner == 0)
            EditFrame(sheet, frame, event, event->u.mouse.shift != 0);
        return;
    }
    if (hadEditor) return;
    if (!sheet->window) return;
    if (sheet->stored.flags & kSheetFlagNewTextFrames)
        sheet->modifiedFlags |= kSheetModifiedFrameOption;
    else
        sheet->modifiedFlags &= uint8_t(~kSheetModifiedFrameOption);
    Point at = point;
    VXWindowRecordTag* previous = VXSetWindow(sheet->window);
    GridPointLock(&at);
    txStyle* saved = VXPreserveTextStyle();
    if (sheet->newTextStyle) VXSetTextStyle(sheet->newTextStyle);
    StyleMetrics metrics{};
    if (txStyle* style = sheet->newTextStyle ? sheet->newTextStyle : sheet->currentTextStyle)
        GetStyleMetrics(style, &metrics);
    const auto width = int32_t(VXMeasureTextBytes("WWWWWWWW", 8, kEncodingUTF8, false));
    LRect view{at.v - metrics.ascent, at.h, at.v + metrics.descent + metrics.leading,
               at.h + width};
    LRect dest = view;
    dest.right = 32767;
    VXTERecord* te = VXTENewUsingStyle(&dest, &view, kTEStyleCurrent);
    if (saved) VXRestoreTextStyle(saved);
    if (previous) VXSetWindow(previous);
    if (!te) return;
    sheet->drawingTE = te;
    BeginSheetUndoEdit(sheet);
    const Rect r{int16_t(view.top), int16_t(view.left), int16_t(view.bottom), int16_t(view.right)};
    InvalSheetWindowArea(sheet, &r);
    VXTESetTabWidth(0, 36, te);
    VXTEActivate(te);
}

void SelectToolClick(SheetRecord* sheet, VXEventRecord* event) {
    Point point = ClickPoint(event);
    if (sheet->viewScale <= 200) point.v = int16_t(point.v - 2);
    const bool shift = event->u.mouse.shift != 0, option = event->u.mouse.option != 0;
    if (sheet->splitWireList) {
        (void)DragClickedWire(sheet, event);  // every click goes to the split wire
        return;
    }
    if (event->kind == kVXDoubleClickEvent) {
        if (!DoDoubleClick(sheet, event) && option) {
            EditSheetSettings(sheet);
        }
        return;
    }
    {
        Point paste = point;
        GetSheetGridPoint(sheet, &paste);
        CurrClip->pasteAtClick = 1;  // the next paste goes where the person clicked
        CurrClip->pastePoint = paste;
    }
    const int32_t handle = HitHandle(sheet, point);
    if (handle >= 0) {
        if (handle == 15 || handle == 16) {
            DragBussWireEnd(sheet, handle - 15, event);
        } else if (handle == 14) {
            if (TextFrameHandle frame = SheetEditStateOf(sheet)->resizeFrame) ResizeTextFrame(sheet, frame, event);
        } else if (handle == 17) {
            if (SymbolRecord* symbol = SheetEditStateOf(sheet)->resizeSheetSymbol) ResizeSheetSymbol(sheet, symbol, event);
        } else {
            ResizeSheetElement(sheet, handle, event);
        }
        return;
    }
    InvalPaintItemModifiers(sheet, 0);
    ClearSheetModifiers(sheet);
    const int32_t mode = (sheet->stored.flags & kSheetFlagHideElements) ? 2 : 0;
    bool insideFill = false;
    SymbolRecord* symbol = nullptr;
    if (!option) {
        if (ElementRecord* element = HitElement(sheet, point, mode, false, &insideFill)) {
            DoElementSelection(sheet, element, event);
            return;
        }
        if (!insideFill) {
            symbol = HitSymbol(sheet, point);
            if (symbol) {
                const int32_t port = HitTestSheetSymbolPort(symbol, point);
                if (port >= 0) {
                    ClearDrawingSelection(sheet);
                    DragSheetSymbolPort(sheet, symbol, port, event);
                    return;
                }
            }
        }
    }
    if (!insideFill) {
        if (DragBussBreakOut(sheet, event)) return;
        if (DragClickedWire(sheet, event)) return;
        if (symbol) {
            DoSymbolSelection(sheet, symbol, event);
            return;
        }
    }
    if (TextRecord* text = HitTestText(sheet, point)) {
        DoTextSelection(sheet, text, event);
        return;
    }
    if (TextFrameHandle frame = HitTestTextFrame(sheet, point)) {
        DoTextFrameSelection(sheet, frame, event);
        return;
    }
    if (!insideFill) {
        if (ElementRecord* element = HitElement(sheet, point, mode, true, nullptr)) {
            DoElementSelection(sheet, element, event);
            return;
        }
    }
    if (!shift) {
        ClearDrawingSelection(sheet);
    }
    if (!sheet->window) return;
    LRect rect{};
    if (VXTrackSelectRect(sheet->window, event, true, TrackSurfaceSelectionRectHook,
                          sheet->window, &rect)) {
        const Rect area{int16_t(rect.top), int16_t(rect.left), int16_t(rect.bottom),
                        int16_t(rect.right)};
        DoAreaSelection(sheet, &area, shift, option);
    }
}

// Double click on a symbol.
void SymbolDoubleClick(SheetRecord* sheet, SymbolRecord* symbol, VXEventRecord* event) {
    const bool shift = event->u.mouse.shift != 0, option = event->u.mouse.option != 0;
    if (symbol->flags & kSymbolFlagPort) {
        WireHandle wire = nullptr;
        uint16_t end = 0;
        if (symbol->flags & kSymbolFlagBussPort) {
            BussHandle buss = GetConnectedBuss(sheet->bussList, symbol, 0, &wire, &end);
            if (buss) {
                EditBussPortInfo(sheet, symbol, buss);
            }
            return;
        }
        SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, 0, &wire, &end);
        if (!signal || !wire) return;
        if ((symbol->flags & (kSymbolFlagLocal | kSymbolFlagModulePort)) == kSymbolFlagModulePort) {
            EditSignalPortInfo(sheet, symbol, signal, wire);
        } else {
            const int32_t segment = wire && end == 1 ? CountWireSegments(wire) - 1 : 0;
            EditSignalInfo(sheet, signal, wire, segment, symbol);
        }
        return;
    }
    if ((symbol->flags & (kSymbolFlagSheet | kSymbolFlagSubSheet)) ==
            (kSymbolFlagSheet | kSymbolFlagSubSheet) &&
        shift && option) {
        if (!EnterSubSheet(sheet, symbol)) VXBeep();
        return;
    }
    EditSymbolInformation(sheet, symbol, 0, nullptr);
}

// The front or back element part of a double click; -1 when nothing was there.
int32_t ElementDoubleClick(SheetRecord* sheet, ElementRecord* element, bool insideFill) {
    if (!element) return insideFill ? 1 : -1;
    if (EditElementInfo(element, true)) {
        SetSheetModifiedStatus(sheet, kElementChangedReasons);
        if ((element->flags & kElementFlagUnselectable) &&
            (sheet->stored.flags & kSheetFlagHideElements)) {
            ClearDrawingSelection(sheet);
            Rect r = element->bounds;
            VXInsetRect(&r, -3, -3);
            InvalSheetWindowArea(sheet, &r);
        }
    }
    return 1;
}

}  // namespace

int32_t BackOutOfCurrentMode(SheetRecord* sheet) {
    if (!sheet) return 0;
    if (sheet->zoomMode) {
        CancelZoomMode(sheet->window);
        sheet->zoomMode = 0;
        return 1;
    }
    const int16_t tool = int16_t(sheet->selectedTool);
    if (tool == int16_t(kSelectTool)) return 0;
    if ((tool == kDrawToolWire || tool == kDrawToolBuss || tool == int16_t(kLibraryPartTool)) &&
        IsWireCreationInProgress(sheet)) {
        CancelWireCreation(sheet);
        return 1;
    }
    SetDrawingTool(sheet, int16_t(kSelectTool));
    return 1;
}

int32_t DoKey(SheetRecord* sheet, VXEventRecord* event) {
    if (!sheet || !event) return 1;
    uint16_t c = event->u.character.character;
    const bool shift = event->u.character.shift != 0;
    if (c == kKeyEscape) {
        return BackOutOfCurrentMode(sheet);
    }
    if (VXTERecord* te = EditorOf(sheet)) {
        // A new text shows a change to come (it is the undoable action when it is made); a frame
        // edited again drops the last action.
        if (sheet->editedTextFrame) SetSheetModifiedStatus(sheet, kModifiedKeyReasons);
        else ReportSheetEditChange(sheet, kModifiedKeyReasons & ~kSheetReasonForgetUndo);
        ApplyTEKey(te, c);
        return 1;
    }
    const int16_t tool = int16_t(sheet->selectedTool);
    if (VXIsDeletionChar(c)) {
        if (tool == int16_t(kSelectTool)) {
            (void)DeleteSheetSelection(sheet, 7, true, shift);  // a refused delete has told the person why
        }
        return 1;
    }
    if (c < 127 && c >= 'A' && c <= 'Z') c = uint16_t(c - 'A' + 'a');
    const auto toolKey = [&]() -> bool {
        switch (c) {
            case 't': SetDrawingTool(sheet, kDrawToolText); return true;
            case 'w': SetDrawingTool(sheet, kDrawToolWire); return true;
            case 'b': SetDrawingTool(sheet, kDrawToolBuss); return true;
            default: return false;
        }
    };
    bool step5 = false;
    if (tool == int16_t(kSelectTool)) {
        int32_t dh = 0, dv = 0;
        switch (c) {
            case kTEKeyUp: dv = -1; break;
            case kTEKeyDown: dv = 1; break;
            case kTEKeyLeft: dh = -1; break;
            case kTEKeyRight: dh = 1; break;
            default: break;
        }
        if (dh || dv) {
            SetSheetModifiedStatus(sheet, kModifiedKeyReasons);
            MoveDrawingSelection(sheet, dh, dv);
            VXWaitUpdateWindows();
            return 1;
        }
        if (toolKey()) return 1;
        LibBrowserRecord* browser = SheetLibraryPane(sheet->window);
        if (c == kKeyTab) {
            if (browser) {
                SetDrawingTool(sheet, int16_t(kLibraryPartTool));
                VXSetFocusWindow(browser->itemList, true);
            }
            return 1;
        }
        if (browser && CountCachedLibraryItems() && c >= 32 && c <= 255) {
            VXWindowRecordTag* focus = nullptr;
            VXWindowRecordTag* top = VXGetTopParent(browser->itemList);
            if (top && VXGetFocusWindow(top, &focus, nullptr) &&
                (focus == browser->fileList || focus == browser->itemList)) {
                SetDrawingTool(sheet, int16_t(kLibraryPartTool));
                (void)DispatchEvent(browser->itemList, event);  // the list searches by typing
            }
        }
        return 1;
    }
    if (tool == kDrawToolWire || tool == kDrawToolBuss) {
        if (!IsWireCreationInProgress(sheet)) {
            if (toolKey()) return 1;
        }
        if (tool == kDrawToolBuss) return 1;
        step5 = true;
    } else if (tool == int16_t(kLibraryPartTool)) {
        if (c == kTEKeyLeft || c == kTEKeyRight) {
            gPlaceTransformation =
                VXTransformTransformation(gPlaceTransformation, c == kTEKeyLeft ? 3 : 1);
            InvalidateMouseTrackingImage(sheet);
            return 1;
        }
        if (c == kKeyReturn) {
            CancelWireCreation(sheet);
            if (!BrowsePartsDialog(nullptr, false, -1, nullptr, nullptr)) {
                SetDrawViewFocus(sheet);
                SetDrawingTool(sheet, int16_t(kSelectTool));
            }
            return 1;
        }
        step5 = true;
    } else {
        return 1;
    }
    if (step5 && c == kKeyTab && IsSignalWireMode(sheet)) {
        sheet->pathToggleRequest = 1;
        if (sheet->window) VXRequestMouseMoved(sheet->window);
    }
    return 1;
}

void DoMouseClick(SheetRecord* sheet, VXEventRecord* event) {
    if (!sheet || !event) return;
    RecordMouseClickTrackingState(sheet);
    CloseTrackingOverlay();
    VXSetOpacity(1.0);
    const int16_t tool = int16_t(sheet->selectedTool);
    if (tool != int16_t(kLibraryPartTool)) SetDrawViewFocus(sheet);
    if (sheet->window && uint8_t(sheet->window->graf.geometry.pane) != kSheetPaneId) return;
    if (!VXPtInRect(ClickPoint(event), &sheet->sheetBounds)) return;
    if (event->u.mouse.button == 2) {
        PanDrag(sheet->window, event);
        return;
    }
    if (sheet->zoomMode) {
        const auto track = GetSheetToolsHooks().trackZoomRect;
        if (track && track(sheet->window, event)) {
            CancelZoomMode(sheet->window);
            sheet->zoomMode = 0;
        }
        return;
    }
    SetupFlashingSignal(sheet, nullptr, nullptr);
    const Point point = ClickPoint(event);
    switch (tool) {
        case 1: case 2: case 3: case 4: case 5: case 6:
            DragCreateElement(sheet, event);
            return;
        case kDrawToolPolygon:
            CreateSheetPolyClick(sheet, point);
            return;
        case kDrawToolVoltageLabel:
            if (!sheet->nodeValuesShown) {
                sheet->nodeValuesShown = 1;
                if (sheet->simulatorTools)
                    VXSetButtonState(sheet->simulatorTools, kNodeValuesButton, 1);
                SetNodeValuesVisible(sheet, true);
            }
            (void)DragClickedWire(sheet, event);  // a click off any wire places nothing
            return;
        case kDrawToolGraphSignals: {
            SymbolRecord* symbol = nullptr;
            const int32_t pin = HitPin(sheet, point, 3, &symbol);
            if (pin >= 0 && symbol && !(symbol->flags & kSymbolFlagSheet)) {
                if (GraphSpiceCurrent(sheet, symbol, pin, event->u.mouse.shift != 0))
                    return;
            }
            WireHandle wire = nullptr;
            int32_t segment = 0;
            if (SignalHandle signal = HitSignal(sheet, point, &wire, &segment)) {
                (void)GraphSpiceNode(sheet, signal, event->u.mouse.shift != 0);  // an unknown signal is not graphed
            }
            return;
        }
        case kDrawToolWire:
        case kDrawToolBuss:
            if (IsBussLineMode(sheet)) {
                CreateBussClick(sheet);
            } else {
                CreateSignalClick(sheet);
            }
            return;
        case int16_t(kLibraryPartTool): {
            if (event->kind != kVXMouseDownEvent) return;
            (void)RecordLibHistoryItem();  // a full history drops its oldest
            if (IsBussLineMode(sheet)) {
                CreateBussClick(sheet);
            } else if (IsSignalWireMode(sheet)) {
                CreateSignalClick(sheet);
            } else {
                Point at = point;
                VXWindowRecordTag* previous = sheet->window ? VXSetWindow(sheet->window) : nullptr;
                GridPointLock(&at);
                if (previous) VXSetWindow(previous);
                InstantiateLibraryItem(sheet, at);
            }
            ClearBrowserKeySelection(sheet->libraryPane);
            return;
        }
        case kDrawToolSubSheet:
            TrackCreateSheetSymbol(sheet, event);
            return;
        case kDrawToolText:
            TextToolClick(sheet, event);
            return;
        default:
            if (tool == int16_t(kSelectTool)) SelectToolClick(sheet, event);
            return;
    }
}

int32_t DoDoubleClick(SheetRecord* sheet, VXEventRecord* event) {
    if (!sheet || !event) return 0;
    Point point = ClickPoint(event);
    if (sheet->viewScale <= 200) point.v = int16_t(point.v - 2);
    const bool option = event->u.mouse.option != 0;
    const int32_t mode = (sheet->stored.flags & kSheetFlagHideElements) ? 2 : 0;
    bool insideFill = false;
    ElementRecord* element = HitElement(sheet, point, mode, false, &insideFill);
    if (const int32_t r = ElementDoubleClick(sheet, element, insideFill); r >= 0) return r;

    SymbolRecord* symbol = nullptr;
    const int32_t pin = HitPin(sheet, point, 2, &symbol);
    if (pin >= 0 && symbol && !(symbol->flags & kSymbolFlagPort)) {
        if (symbol->flags & kSymbolFlagSheet) {
            EditSymbolInformation(sheet, symbol, 0, nullptr);
        } else {
            EditCompSymbolPinInfo(sheet, symbol, pin, nullptr);
        }
        return 1;
    }

    const bool inSelection =
        sheet->selectionRegion && VXPointInRgn(point.h, point.v, sheet->selectionRegion);
    if (!inSelection) {
        const Point lower{int16_t(point.v + 1), point.h};
        WireHandle wire = nullptr;
        int32_t segment = 0;
        if (SignalHandle signal = HitSignal(sheet, lower, &wire, &segment)) {
            EditSignalInfo(sheet, signal, wire, segment, nullptr);
            return 1;
        }
        if (BussHandle buss = HitBuss(sheet, lower, &wire, &segment)) {
            EditBussInfo(sheet, buss, wire, segment, ClickPoint(event));
            return 1;
        }
    }

    symbol = option ? nullptr : HitSymbol(sheet, point);
    if (!symbol) {
        TextRecord* text = HitTestText(sheet, point);
        // Only a text the first click selected counts; a boxed signal text is a simulator value,
        // not a name label.
        if (text && (text->flags & kTextFlagSelected)) {
            const uint16_t kind = text->kind;
            if ((kind == kOwnerKindSignal && !(text->flags & kTextFlagBoxed)) ||
                kind == kOwnerKindBuss) {
                int32_t segment = 0;
                WireHandle wire = GetWireFromWireLabel(text, &segment);
                if (kind == kOwnerKindSignal) {
                    auto signal = reinterpret_cast<SignalHandle>(text->owner);
                    if (wire) {
                        EditSignalInfo(sheet, signal, wire, segment, nullptr);
                    } else {
                        SetupFlashingSignal(sheet, signal, nullptr);
                    }
                } else if (wire) {
                    EditBussInfo(sheet, reinterpret_cast<BussHandle>(text->owner), wire, segment,
                                 ClickPoint(event));
                } else {
                    VXBeep();
                }
                return 1;
            }
            if (kind & (kOwnerPinNumber | kOwnerPinName)) {
                SymbolRecord* owner = RetrieveSerializedSymbol(sheet->symbolList, uint32_t(text->owner));
                if (!owner) return 1;
                const bool both = (kind & (kOwnerPinNumber | kOwnerPinName)) ==
                                  (kOwnerPinNumber | kOwnerPinName);
                if (!(owner->flags & kSymbolFlagSheet) && (both || !option)) {
                    EditCompSymbolPinInfo(sheet, owner, kind & 0x0FFF, text);
                } else {
                    EditSymbolInformation(sheet, owner, 0, text);
                }
                return 1;
            }
            if (kind & kOwnerSymbolText) {
                SymbolRecord* owner = RetrieveSerializedSymbol(sheet->symbolList, uint32_t(text->owner));
                if (!owner) return 1;
                if (kind == kOwnerKindSymbolName) {
                    SymbolDoubleClick(sheet, owner, event);
                } else {
                    EditSymbolInformation(sheet, owner, 0, text);
                }
                return 1;
            }
            return 1;
        }
    } else {
        SymbolDoubleClick(sheet, symbol, event);
        return 1;
    }

    bool lockedFrame = false;
    if (TextFrameHandle frame = HitTestTextFrame(sheet, point)) {
        if (!((*frame)->flags & kFrameLockBits) && (*frame)->owner == 0) {
            SetDrawingTool(sheet, kDrawToolText);
            Set_Fore_Color(2);
            EditFrame(sheet, frame, event, false);
            return 1;
        }
        lockedFrame = true;
    }
    ElementRecord* back = HitElement(sheet, point, mode, true, nullptr);
    if (back) return ElementDoubleClick(sheet, back, false);
    return lockedFrame ? 1 : 0;
}

}  // namespace plexa
