// The sheet record: one open schematic sheet in memory, with every list and table that the sheet's
// objects live in. `CreateDrawing` makes it and `DestroySheet` frees it; every list it holds is owned
// by the record and freed only there. This module also keeps the user's default sheet settings
// (`gDefSheetSettings`, made by `InitSheetDefaults` with the default text themes), the page sizes
// (`CalcSheetBounds`) and the tool-tip texts of the sheet window's tools.
//
// This header holds the record and the default sheet settings. The modules that own a list declare
// its record types and operations in their own headers; the record names them here by forward
// declaration only, so that including the sheet record stays cheap.
//
// The two stored areas (`SheetStoredSettings`, `SheetViewSettings`) are written verbatim into the
// sheet file; their layouts are fixed below and swap by the two templates.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "graphics/textstyle.h"

namespace plexa {

struct LinkListHeader;
struct SheetRecord;
struct SheetSelectedItems;
struct VXRgn;
struct VXPrintRec;
struct VXWindowRecordTag;
struct sVXTimerRecord;
struct LibBrowserRecord;

struct AnnotationMap;
struct SheetLocalAnnotationEntry;
struct ImageList;
struct SymbolMap;
struct DAHeader;
using PinDataTable = DAHeader**;  // a DA array of pin-data records (model/pindata.h)
using BreakOutTable = DAHeader**;  // a DA array of break-out rows (model/busses.h)
struct SignalRecord;
struct BussRecord;
struct TextThemeTable;
struct ProjectRecord;
struct SheetInstance;
struct LogWindowRecord;
struct SheetSpec;
struct ElementRecord;
struct TextFrameRecord;
struct WireRecord;
struct SheetItemIndex;
struct SheetEditState;

constexpr uint32_t kSheetStoredSettingsSize = 64;
constexpr uint32_t kSheetViewSettingsSize = 24;
// Byte-swap templates of the two stored areas (the stored template covers its first 42 bytes).
constexpr const char* kSheetStoredSettingsTemplate = "L2B12W5B2LW3";
constexpr const char* kSheetViewSettingsTemplate = "W2B4WB6L2";

// The stored settings area, written verbatim into the sheet file.
struct SheetStoredSettings {
    uint32_t nextSerial;           // 0: each new object takes it and increments it
    uint32_t flags;                // 4: bit 0 on every new sheet; bit 1 drawing; bit 2 signal panel box
    uint8_t scopeA;                // 8: 0 Local, 1 Port, 2 Global
    uint8_t scopeB;                // 9
    uint8_t sizeCode;              // 10: page size code (CalcSheetBounds)
    uint8_t orientation;           // 11: 0 landscape, 1 portrait
    uint8_t signalPrefix[8];       // 12: length byte + up to 7 characters
    uint16_t unused20[4];          // 20: kept as read
    uint16_t attributeCount;       // 28: sheet attributes in the attribute handle
    uint8_t signalDigits;          // 30: 1..9
    uint8_t printInColour;         // 31
    uint32_t compactionThreshold;  // 32: string-block bytes
    int16_t printScale;            // 36: percent; -1 the print panel's second choice
    uint16_t resolution;           // 38: pixels per inch
    uint16_t encodingLevel;        // 40: 2 for current sheets
    uint8_t unused42[22];          // 42: kept as read
};
static_assert(sizeof(SheetStoredSettings) == kSheetStoredSettingsSize);

// The view settings area, written verbatim into the sheet file.
struct SheetViewSettings {
    int16_t gridSpacing;     // 0: pixels
    uint16_t unused2;        // 2
    uint8_t unused4[4];      // 4
    uint16_t outlineWidth;   // 8: of new graphic elements
    uint8_t snap;            // 10
    uint8_t showGrid;        // 11
    uint8_t showRulers;      // 12
    uint8_t showPageBreaks;  // 13
    uint8_t elementTool[2];  // 14: options copied into new graphic elements
    uint32_t outlineColour;  // 16
    uint32_t fillColour;     // 20
};
static_assert(sizeof(SheetViewSettings) == kSheetViewSettingsSize);

// Bits of `SheetStoredSettings::flags`. Bit 0 is set on every new sheet; the sheet editor reads it
// as "new texts get frame option 0x20".
constexpr uint32_t kSheetFlagNewTextFrames = 0x1;
constexpr uint32_t kSheetFlagHideElements = 0x2;   // hides elements with flag 0x2000
constexpr uint32_t kSheetFlagSignalPanel = 0x4;    // the check box of the signal settings panel
constexpr uint32_t kSheetFlagSimulatorRefresh = 0x20;

// Bits of `SheetRecord::modifiedFlags` (0x10 is the flash phase, model/signals.h).
constexpr uint8_t kSheetModifiedContent = 0x01;
constexpr uint8_t kSheetModifiedDrawing = 0x02;
constexpr uint8_t kSheetModifiedFrameOption = 0x08;
constexpr uint8_t kSheetModifiedSimulatorAnnotation = 0x20;
constexpr uint8_t kSheetModifiedChildSymbols = 0x80;

// The view of a new sheet and the tool selected in it.
constexpr uint16_t kNewSheetResolution = 96;
constexpr uint16_t kSelectTool = 2006;
constexpr uint16_t kSnapTool = 2017;

using SheetDrawHook = void (*)(SheetRecord* sheet, void* refCon);

constexpr uint32_t kSheetFileHeaderSize = 64;
// Byte-swap template of the header block (its first 22 bytes; the mark and the platform code are
// not swapped by it).
constexpr const char* kSheetFileHeaderTemplate = "WB6LW2LW";

// The header block of the sheet's file, kept while the sheet is open. In this copy the word at
// offset 2 is not the file's byte-order mark but 1 when the file was in the other byte order and
// 0 when not, and the platform code is in native order.
struct SheetFileHeader {
    uint16_t version;       // 0
    uint16_t swapped;       // 2: the byte-order mark in the file
    uint32_t platform;      // 4: four characters, big-endian in the file
    uint32_t saveCounter;   // 8: one more at every save
    uint16_t rank;          // 12: 9999 unknown
    uint8_t reserved[10];   // 14: zero
    uint8_t zero[40];       // 24
};
static_assert(sizeof(SheetFileHeader) == kSheetFileHeaderSize);

struct SheetRecord {
    VXWindowRecordTag* window;
    VXWindowRecordTag* toolPalette;
    VXWindowRecordTag* topToolBar;
    LinkListHeader* componentList;
    LinkListHeader* symbolList;
    LinkListHeader* textList;
    LinkListHeader* textFrameList;
    TextStyleList* styleList;
    LinkListHeader* signalList;
    LinkListHeader* bussList;
    LinkListHeader* elementList;
    ImageList* imageList;
    SymbolMap* symbolMap;
    PinDataTable pinDataTable;
    BreakOutTable breakOutTable;
    AnnotationMap* annotationMap;
    SheetLocalAnnotationEntry* sheetLocalAnnotation;  // when set, it owns the annotation map
    Handle attributes;                                 // AttributeRecord run
    TextThemeTable* themeTable;
    StringBlock stringBlock;
    LinkListHeader* fileSymbolList;
    uint16_t signalPanelNumber;
    SheetStoredSettings stored;
    SheetViewSettings view;
    ProjectRecord* project;
    SheetInstance* hierarchyContext;
    VXPrintRec* printRecord;
    Rect sheetBounds;
    Point printOrigin;
    txStyle* currentTextStyle;
    VXRgn* selectionRegion;
    LogWindowRecord* logWindow;
    sVXTimerRecord* idleTimer;
    uint32_t fileTimes[2];
    uint32_t serialAtLoad;
    uint16_t viewScale;          // percent
    uint16_t selectedTool;       // command id
    uint16_t topToolPaneWidths[2];
    uint8_t topToolsExpanded;
    FileSpec fileSpec;
    SheetFileHeader fileHeader;
    Handle opaqueData;           // the file's opaque sheet data, kept and written back as it is
    // Owned by the sheet editor, made on demand; `CreateDrawing` leaves them zero.
    void* modifiers;       // the item-modifier (resize handle) store
    int32_t modifierCount;
    void* undoAction;
    void* drawingTE;
    void* splitWireList;
    VXWindowRecordTag* simulatorTools;  // child window of the simulator tools
    LibBrowserRecord* libraryPane;      // the top tool bar's library pane while it is expanded
    SheetSpec* sheetSpec;               // the project's spec of this sheet
    ElementRecord* selectedElement;
    ElementRecord* elementInCreation;
    TextFrameRecord** editedTextFrame;
    txStyle* newTextStyle;              // text style for new text
    SheetDrawHook drawHook;
    void* drawHookRefCon;
    uint32_t modificationTime;
    uint16_t zoomScale;          // the percent before the last zoom-tool change, 0 when none
    Rect zoomView;               // and the view it showed
    Rect cachedPageSize;
    uint8_t zoomMode;
    uint8_t growTracking;
    uint8_t pathToggleRequest;
    uint8_t nodeValuesShown;
    // Flashing of a signal or buss on request (model/signals.h): the item, the timer that
    // toggles the phase, and the modified flags whose bit 0x10 is the flash phase.
    SignalRecord** flashingSignal;
    BussRecord** flashingBuss;
    WireRecord** flashingWire;  // a floating wire end flashed alone: the wire and its end
    int16_t flashingWireEnd;
    sVXTimerRecord* flashTimer;
    uint8_t modifiedFlags;
    // The break-out naming sequence (model/busses.h): the buss last named and the name given.
    BussRecord** breakoutSequenceBuss;
    char breakoutSequenceName[kStringSpecBufferSize];
    // The id of the clip last copied from this sheet (the sheet editor's clipboard), so that a
    // paste can tell a clip cut from the very sheet it goes into.
    uint32_t lastCopiedClipId;
    // The spatial index of the sheet's items (model/sheetindex.h), made on the first question.
    SheetItemIndex* itemIndex;
    // The kept set of its selected items (model/sheetselected.h), made on the first question.
    SheetSelectedItems* selectedItems;
    // The working state of the sheet's window (sheeteditor/editstate.h), owned by the sheet
    // editor: made when the window opens, freed when it closes or the sheet goes.
    SheetEditState* editState;
};

// The user's default sheet settings.
struct SheetSettings {
    StringBlock stringBlock;
    Handle attributes;
    uint8_t signalPrefix[8];
    uint16_t attributeCount;
    uint16_t signalPanelNumber;
    uint8_t scopeA, scopeB;
    uint8_t topToolsExpanded;
    uint8_t pageBreaks;
    uint8_t rulers;
    uint8_t sizeCode;
    uint8_t orientation;
    uint8_t gridShown;
    uint8_t snap;
    uint8_t printInColour;
    int16_t gridSpacing;
    int16_t printScale;
    uint16_t digits;
    uint32_t flags;
};

extern SheetSettings gDefSheetSettings;

// Fills gDefSheetSettings and gDefaultTextThemes with the built-in defaults, freeing what they
// held: a string block, the attributes "DrawingTitle" = "{SheetFile}" and "SheetNumber" = "1",
// prefix "SIG" with 3 digits, and the nine themes in "Times". -108 when memory fails.
OSStatus InitSheetDefaults();
// Sets (overwriting) an attribute of the defaults.
void AddDefaultSheetAttribute(const char* name, const char* value);

// A new sheet with every list and table made and the settings taken from gDefSheetSettings (the
// digit count clamped to 1..9); null when the record or any of its lists cannot be made, with
// whatever was made freed again.
SheetRecord* CreateDrawing();
// Frees the sheet record with everything it owns: the annotation first (model/annotation.h), the
// sheet editor's parts through its hook, then the lists and tables; its windows' ref-cons are
// cleared. Saving and the save question belong to the application shell.
void DestroySheet(SheetRecord* sheet);
// The page rectangle (top-left 0, 0) of a page size code, orientation and resolution.
void CalcSheetBounds(int32_t sizeCode, int32_t orientation, int32_t resolution, Rect* out);

// The tool-tip text of a sheet-window tool into buffer (at least 32 bytes), empty for ids without
// one; returns the buffer.
char* RetrieveToolTipMessage(int32_t toolId, char* buffer);

}  // namespace plexa
