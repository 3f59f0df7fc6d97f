// The symbol editor record, its state flags and tool and tab ids, the hook table through which
// the record reaches its window and its owners, and the current editor (`CurrEdit`). The record's
// life and its operations are in symboleditor/symeditor.h; the modules that only read or mark the
// record, or call a hook, include this header alone.
//
// Words: the editor edits one of two drawings of the current symbol, its view context (0 the
// primary drawing, 1 the alternate, symboleditor/symbolview.h); its window shows one of six tabs
// (1 the drawing, 2 Names, 3 Packages, 4 Attributes, 5 Pins, 6 Hidden Pins).
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "library/itemcache.h"
#include "model/modelhooks.h"
#include "model/selectionsummary.h"

namespace plexa {

struct ElementRecord;
struct FileSymbolEntry;
struct ImageList;
struct LibEditorItemRef;
struct LibEditorRecord;
struct LibraryItem;
struct LibSection;
struct LinkListHeader;
struct SheetRecord;
struct SymUndoRecord;
struct TextFrameRecord;
struct VXEventRecord;
struct VXRgn;
struct VXTERecord;
struct VXWindowRecordTag;
struct txStyle;
using TextFrameHandle = TextFrameRecord**;
using TextStyleList = LinkListHeader;

// State flags.
constexpr uint16_t kSymEditEdited = 0x0001;        // the lists hold changes not yet in the item
constexpr uint16_t kSymEditItemModified = 0x0002;  // the item differs from its owner's copy
constexpr uint16_t kSymEditShowPinNumber = 0x0004; // new pins show their number text
constexpr uint16_t kSymEditShowPinName = 0x0008;   // new pins show their name text
constexpr uint16_t kSymEditFileSymbol = 0x0010;    // the editor edits a sheet's file symbol
constexpr uint16_t kSymEditThemedText = 0x0020;    // new texts take the theme style
constexpr uint16_t kSymEditEditedThemed = 0x0040;  // the text being typed takes the theme style
constexpr uint16_t kSymEditSheetPortsChanged = 0x0080;  // pins to follow the sheet's ports
// Set at creation besides the creator's flags.
constexpr uint16_t kSymEditCreationFlags = kSymEditShowPinNumber | kSymEditThemedText;

// Tabs.
constexpr uint16_t kSymEditTabDrawing = 1, kSymEditTabNames = 2, kSymEditTabPackages = 3,
                   kSymEditTabAttributes = 4, kSymEditTabPins = 5, kSymEditTabHiddenPins = 6;
// Tools (the drawing tab's; symboleditor's tool bar has the rest).
constexpr uint16_t kSymEditToolSelect = 64;

// Symbol flag bits that a flush writes.
constexpr uint32_t kSymFlagsFlushCleared = 0x8248;
constexpr uint32_t kSymFlagFileSymbol = 0x8000;
constexpr uint32_t kSymFlagNetSymbol = 0x0200;    // items of the wire-symbol and port kinds
constexpr uint32_t kSymFlagPort = 0x0008;         // port items
constexpr uint32_t kSymFlagBusPort = 0x0040;      // a port whose first element is a bus pin
constexpr uint32_t kSymFlagsStandardSymbol = 0x3000;  // added to a new file symbol's flags

// The length of the pin a new wire symbol or port starts with, and of a pin made by a click of the
// pin tool.
constexpr int16_t kNewPinLength = 18;

// The symbol editor's file-symbol list limit: a sheet with more than this many gets no new one.
constexpr int32_t kMaxFileSymbols = 96;
// A file symbol's name holds at most this many bytes (the name dialog cuts it there).
constexpr int32_t kFileSymbolNameLength = 63;

// OpenSheetFileSymbolEditor: a new editor opened (0), an editor was open on the file symbol
// already (this), or a failure: kNotFound for no such file symbol, kUserCancelled when the name
// question was cancelled or left empty, kFileSymbolListFull for a sheet that has too many file
// symbols, or the status of the failing inflation or allocation.
constexpr OSStatus kFileSymbolEditorWasOpen = 1;
constexpr OSStatus kFileSymbolListFull = -33;

// The answer to the question asked when a component symbol without graphics is closed.
enum class InvalidSymbolAnswer {
    kEdit,         // keep the editor open and go on editing
    kCloseAnyway,  // close, keeping the edits in the item (a drawing of only pins is no drawing)
};
// The answer to the question asked when the window of a changed library item is closed.
enum class SaveItemAnswer {
    kSave,      // the library is saved (the item with it), then the window closes
    kDontSave,  // the window closes and the item's changes in it are dropped
    kCancel,    // the window stays open
};
constexpr const char* kInvalidSymbolMessage =
    "The symbol is not valid. It must have at least one graphic element other than a pin.";
constexpr const char* kInvalidSymbolEditButton = "Edit";
constexpr const char* kInvalidSymbolCloseButton = "Close Anyway";
constexpr const char* kUnnamedItemTitle = "Unnamed Item";
constexpr const char* kCreatePinSetMessage = "Pin Set %d does not exist. Would you like to create it?";
constexpr const char* kCreatePinSetButton = "Create";

struct SymbolEditorRecord {
    VXWindowRecordTag* window;       // kind 111, none for an editor without a window
    // The drawing's event handler, set with the window: the list tabs hand the window back to it
    // and pass it the events of the window that are not theirs.
    int32_t (*drawingHandler)(VXWindowRecordTag* window, VXEventRecord* event);
    VXWindowRecordTag* tabPane;
    VXWindowRecordTag* toolPane;
    VXWindowRecordTag* topToolPane;
    void* partsTree;                 // a component's tree of symbols and sections, or none
    SheetRecord* sheet;              // the owning sheet, or none
    FileSymbolEntry* fileSymbol;     // the sheet's entry that the editor edits
    LibEditorRecord* libEditor;      // the owning library editor, or none
    LibEditorItemRef* itemRef;       // its reference of the item
    LibraryItem* item;               // the private copy; the editor owns it
    LibSection* section;             // whose pin numbers are shown; none until a symbol is loaded
    void* attributeEditor;           // the Attributes tab's editor (components), or none
    ImageList* images;               // the images of the views' image elements
    LinkListHeader* elementLists[2]; // view 0 the primary drawing, 1 the alternate
    LinkListHeader* elements;        // the current view's
    LinkListHeader* textLists[2];    // pin numbers, pin names and symbol texts
    LinkListHeader* texts;
    LinkListHeader* frameLists[2];
    LinkListHeader* frames;
    StringBlock stringBlock;         // every string of the texts, frames and pins
    TextStyleList* styleList;
    VXTERecord* textEdit;            // the text being typed, or none
    TextFrameHandle selectedFrame;
    TextFrameHandle editedFrame;
    ElementRecord* constructed;      // the polygon being built, or the element being dragged
    ElementRecord* selectedElement;
    txStyle* defaultStyle;           // from text theme 5 of the default themes
    int16_t grid;
    int16_t penWidth;                // drawing attributes of new elements
    bool fill;
    uint32_t frameColor;
    uint32_t fillColor;
    uint16_t styleWord;
    bool gridLock;
    bool gridVisible;
    bool rulers;                     // the rulers of the drawing are shown
    uint8_t pinSets[4];              // 1 for each pin set the item has
    uint32_t lastClipId;
    uint32_t symbolFlags;            // the current symbol's stored flags
    uint16_t state;                  // kSymEdit*
    uint16_t tool;
    uint16_t scale;                  // percent
    uint16_t resolution;
    int16_t viewContext;             // the drawing edited: 0 primary, 1 alternate
    int16_t linkedPinCount;          // pin links shared by the two drawings
    int16_t pinSet;                  // 0..3
    int32_t symbol;                  // the definition loaded; -1 before the first
    uint16_t currentTab;             // kSymEditTab*
    int16_t primaryName;
    uint8_t kind;                    // the item's kind
    uint8_t dragState;
    bool zoomMode;
    uint16_t zoomScale;              // the percent before the last zoom-tool change, 0 when none
    Rect zoomView;                   // and the view it showed
    uint8_t placementOptions;        // the current symbol's
    uint8_t newPartMode;             // the new part dialog's last choice: 0 a slot, 1 a symbol
    SymUndoRecord* undo;             // the committed undo action, or none
    SymUndoRecord* undoCollect;      // the action being collected, or none
    SelectionSummary selection;      // what the menus see of the selection, filled while in front
    Point polyBandMouse;             // where the rubber band of the polygon being built ends
    bool polyBandShown;              // the band's overlay is up
    VXRgn* selectionRegion;          // the selection's area while the view draws; made at the first
                                     // drawing with a selection, freed with the editor
};

// The current symbol editor (the one most recently activated), or none.
extern SymbolEditorRecord* CurrEdit;

// ---- Hooks ----

struct SymbolEditorHooks {
    // -- The window (the symbol editor's window layer, symboleditor/symwindow.h) --
    // Without them an editor lives without a window as the defaults say, which is how the sheet
    // files and the converter use it.
    // Makes the window (kind 111, its tab pane, tool bars and their tips) and, for a component,
    // the attribute editor and, when the item has symbol definitions, the parts tree; false
    // when they cannot be made (the editor is then not made). Default: no window, true.
    bool (*createWindow)(SymbolEditorRecord* editor) = nullptr;
    // Destroys what createWindow made. Default: nothing.
    void (*destroyWindow)(SymbolEditorRecord* editor) = nullptr;
    // Shows the window, or only brings it to the front. Default: nothing.
    void (*showWindow)(SymbolEditorRecord* editor, bool frontOnly) = nullptr;
    // Writes the list of tabs 2 to 6 into the item (updating its rows with listFlag); false when
    // the list's edits are invalid. Default: true. Optional: the list tabs are not built yet.
    bool (*flushList)(SymbolEditorRecord* editor, bool listFlag) = nullptr;
    // The information dialog of a graphic element; whether it changed the element. Default:
    // nothing changes.
    bool (*editElementInfo)(ElementRecord* element) = nullptr;
    // Typing into a text frame (the editor of text frames): a new active text-edit record laid
    // over the frame's text in the window, none when it cannot be made; the grow handle of a
    // record; drawing its dashed frame and handle; a key passed to it, its box growing with the
    // text. Default: no typing into frames.
    VXTERecord* (*createFrameEditor)(VXWindowRecordTag* window, TextFrameHandle frame) = nullptr;
    void (*frameEditorGrowHandle)(const VXTERecord* te, LRect* handle) = nullptr;
    void (*drawFrameEditor)(VXTERecord* te) = nullptr;
    void (*frameEditorKey)(VXTERecord* te, uint16_t key) = nullptr;
    // The attribute editor (the sheet editor's): over `count` attributes of *source from byte
    // `start` (attributes of property-name list `kind`), in a child window of `parent` filling
    // `rect`, or over a dialog panel's client area; taking its entries back into *target (a new
    // list when it is none) with *count updated, true when they changed. Default: no editor.
    void* (*attributeEditorWindow)(VXWindowRecordTag* parent, const Rect* rect, Handle source, int32_t start,
                                   int32_t count, StringBlock block, int32_t kind, bool visibilityColumn,
                                   bool readOnly) = nullptr;
    void* (*attributeEditorPanel)(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                                  StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly) = nullptr;
    bool (*takeAttributeEditorData)(void* editor, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                    bool freeWhenEmpty) = nullptr;
    // Keyboard navigation between a dialog's items and its attribute editor: Tab out of the editor's
    // last field goes to the dialog's item `next`, Shift-Tab out of its first field to `previous`;
    // a tab-out event of the dialog that enters the editor is taken (1), others are not (0).
    // Default: no navigation, nothing taken.
    void (*attributeEditorNavigation)(void* editor, VXWindowRecordTag* dialog, uint16_t next,
                                      uint16_t previous) = nullptr;
    int32_t (*navigateIntoAttributeEditor)(void* editor, const VXEventRecord* tabOut) = nullptr;
    // Starts editing the name of the editor's row (its shown rows counted from 0), the keyboard
    // focus going there; false when it cannot. Default: false.
    bool (*editAttributeEditorRow)(void* editor, int32_t row) = nullptr;
    // Zooms the window's view by a wheel turn of the amount (the shell's view scale). Default:
    // nothing.
    void (*adjustViewScale)(VXWindowRecordTag* window, int32_t amount) = nullptr;
    // The zoom tool's click in the window (the shell's view scale): nonzero when a rectangle was
    // drawn. Default: nothing, 0.
    int32_t (*trackZoomRect)(VXWindowRecordTag* window, const VXEventRecord* event) = nullptr;
    // Sets the window's scale and centres its view on the rectangle (the shell's view scale);
    // the scale set. Default: nothing, the scale given.
    int32_t (*setScaledViewPosition)(VXWindowRecordTag* window, int32_t scale, const Rect& rect) = nullptr;
    // Draws the dotted grid of the step over the area (the sheets' grid). Default: nothing.
    void (*drawGrid)(VXWindowRecordTag* window, int32_t step, const Rect* area) = nullptr;
    // The rulers (the sheets' rulers): shows or hides them on the window, keeping the choice in
    // the editor; draws them, their corner and guides; moves the guides to a point of the
    // drawing. Default: no rulers.
    void (*hideShowRulers)(VXWindowRecordTag* window, bool show) = nullptr;
    void (*drawRulers)(VXWindowRecordTag* window) = nullptr;
    void (*rulerGuidesFollow)(VXWindowRecordTag* window, int32_t h, int32_t v) = nullptr;
    // The outline and fill colour popup and the line-width popup below the top tool bar's button
    // (the width marked in it, 0 for none); they apply the choice. Default: no popup.
    void (*trackColorPopup)(VXWindowRecordTag* bar, const Rect* button, bool fill) = nullptr;
    void (*trackLineWidthPopup)(VXWindowRecordTag* bar, const Rect* button, VXEventRecord* event,
                                int32_t width) = nullptr;

    // -- Questions and reports --
    // Asks for a file symbol's name in a buffer of kFileSymbolNameLength + 1 bytes that holds
    // the proposal; true with the name, false when cancelled. Default: the proposal is taken.
    // Optional: the name dialog belongs to the symbol editor's dialogs, which are not built yet.
    bool (*askFileSymbolName)(char* name) = nullptr;
    // Asks kInvalidSymbolMessage with the buttons kInvalidSymbolEditButton and
    // kInvalidSymbolCloseButton. Default: kCloseAnyway (nothing is lost without a window to edit in).
    InvalidSymbolAnswer (*askInvalidSymbol)(SymbolEditorRecord* editor) = nullptr;
    // Asks whether the changes of a library item's editor, whose window is being closed, are to
    // be saved. Default: kDontSave after the changes were kept in the library editor (they are
    // lost to no one without a person to ask).
    SaveItemAnswer (*askSaveItem)(SymbolEditorRecord* editor) = nullptr;
    // Reports a failure with its message (kNewerItemMessage for kVersionTooNew), or the status
    // alone (message none). Default: nothing.
    void (*reportError)(OSStatus status, const char* message) = nullptr;

    // -- The owners --
    // Records a change of the sheet (reasons: 1 content, 33 a file symbol stored). Default: the
    // sheet's modified flag 0x01 is set.
    void (*sheetModified)(SheetRecord* sheet, uint32_t reasons) = nullptr;
    // Marks the open sheets that hold symbols made from this sheet's file symbols. Default:
    // nothing.
    void (*markSheetsWithChildSymbols)(SheetRecord* sheet) = nullptr;
    // Fills a new file symbol's editor with a box symbol and a pin for each of the sheet's
    // exports. Default: nothing.
    void (*buildStandardFileSymbol)(SymbolEditorRecord* editor) = nullptr;
    // Brings the file symbol's pins in line with the sheet's exports; whether anything changed.
    // Default: nothing changes.
    bool (*updateFileSymbolPins)(SymbolEditorRecord* editor) = nullptr;
    // The library editor's flattened data of a reference (one use), or none; and the use given
    // back. Default: none.
    Handle (*getLibItemData)(LibEditorRecord* libEditor, LibEditorItemRef* ref) = nullptr;
    void (*releaseLibItemData)(LibEditorItemRef* ref) = nullptr;
    // Records the editor on the reference (none: forgets it). Default: nothing.
    void (*setLibItemEditor)(LibEditorItemRef* ref, SymbolEditorRecord* editor) = nullptr;
    // Takes the editor's item, flattened, into the reference when it changed. Default: nothing.
    void (*syncLibItemRef)(LibEditorRecord* libEditor, LibEditorItemRef* ref) = nullptr;
    // Redraws (select: selects) the reference's row. Default: nothing.
    void (*updateLibItemRow)(LibEditorRecord* libEditor, LibEditorItemRef* ref, bool select) = nullptr;
    // The library editor's window, or none. Default: none.
    VXWindowRecordTag* (*libEditorWindow)(LibEditorRecord* libEditor) = nullptr;
    // Saves the library editor (its open symbol editors' changes with it); whether all was
    // written. Default: false (nothing is saved).
    bool (*saveLibrary)(LibEditorRecord* libEditor) = nullptr;
    // The editor became the current one: the application puts up the symbol editor's menu bar.
    // Default: nothing.
    void (*activated)(SymbolEditorRecord* editor) = nullptr;
};
void SetSymbolEditorHooks(const SymbolEditorHooks& hooks);
const SymbolEditorHooks& GetSymbolEditorHooks();

// The editor's current section as a pin-number key of its pins (0 without one).
uint64_t SymbolEditorSectionKey(const SymbolEditorRecord* editor);

}  // namespace plexa
