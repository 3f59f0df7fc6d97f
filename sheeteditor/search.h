// Search and replace over the front sheet or every sheet (and instance) of an open project:
// the criteria of the modeless search dialog, matching symbols, signals and texts, showing each
// hit in its sheet window, and changing the found item's properties (Change, Change All with a
// log of the changes that could not be made). One global record holds the criteria, the scope
// and the search position, so that Find Next goes on where the last hit was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "model/signals.h"
#include "model/textframes.h"

namespace plexa {

struct ProjectRecord;
struct SheetInstance;
struct SheetNode;
struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct VXEventRecord;
struct VXPrepCommandRecord;
struct VXWindowRecordTag;

// Kinds of criteria (the dialog's tabs).
constexpr uint16_t kSearchSymbols = 0, kSearchSignals = 1, kSearchTexts = 2;
// Rows of the symbols tab; the signals tab has the name in row 0 and attributes in rows 1-3.
constexpr int32_t kRowDesignator = 0, kRowPartName = 1, kRowSlot = 2, kRowPackage = 3, kRowAttr0 = 4,
                  kRowAttr1 = 5;
constexpr int32_t kSearchRows = 6, kSearchTextClasses = 8;
// Match kinds, the popup's entries in order.
constexpr uint16_t kMatchIs = 0, kMatchContains = 1, kMatchBegins = 2, kMatchEnds = 3, kMatchIsNot = 4,
                   kMatchNotContains = 5;
// Scopes.
constexpr uint16_t kScopeFrontSheet = 5, kScopeProject = 6;

// Codes of the changes that cannot be made.
constexpr OSStatus kChangeComponentNameFailed = 0x20000050;
constexpr OSStatus kChangeSlotFailed = 0x20000051;
constexpr OSStatus kChangePackageFailed = 0x20000052;

// Templates and items of the search dialog.
constexpr uint16_t kSearchDialogTemplate = 1060;
constexpr uint16_t kSearchTabTemplateBase = 2040;
constexpr int16_t kSearchFindItem = 1, kSearchTabsItem = 2, kSearchChangeItem = 3, kSearchChangeAllItem = 4,
                  kSearchFrontSheetItem = 5, kSearchProjectItem = 6, kSearchProjectListItem = 7,
                  kSearchInstancesItem = 8;
constexpr int16_t kSymbolFindItems[kSearchRows] = {16, 22, 28, 34, 40, 46};
constexpr int16_t kSignalFindItems[4] = {57, 63, 69, 75};
constexpr int16_t kSymbolNamePopups[2] = {49, 50};
constexpr int16_t kSignalNamePopups[3] = {78, 79, 80};
constexpr int16_t kUnterminatedItem = 81;
constexpr int16_t kTextMatchItem = 83, kTextFindItem = 84, kTextReplaceItem = 85, kTextFirstClassItem = 87;

struct SearchCriteria {
    uint16_t kind = kSearchSymbols;
    uint8_t findEnabled[kSearchRows] = {};
    std::string find[kSearchRows];
    std::string replace[kSearchRows];
    std::string attributeName[3];  // the attribute rows' names
    uint16_t match[kSearchRows] = {1, 1, 1, 1, 1, 1};
    uint8_t replaceEnabled[kSearchRows] = {};
    uint8_t classEnabled[kSearchTextClasses] = {1, 1, 1, 1, 1, 1, 1, 1};
    uint8_t unterminatedWires = 0;
    uint8_t changeArmed = 0;
};

// One entry of the Change All log: a change that could not be made.
struct ChangeDataLogEntry {
    OSStatus code;
    uint32_t serial;        // the symbol's
    std::string sheetName;  // "sheetName"
    std::string newData;    // "newData"
    std::string refDes;     // "refDes", or the symbol's name when the designator holds "?"
    bool bySymbolName;      // the name is "symName"
};

struct SearchRecord {
    VXWindowRecordTag* dialog = nullptr;
    // The window that was in front when the dialog was activated (its id: it may close while
    // the dialog stays); the dialog's front sheet is that window's sheet.
    int32_t frontWindowID = 0;
    ProjectRecord* project = nullptr;  // none: the front sheet only
    SheetRecord* sheet = nullptr;
    SheetInstance* instance = nullptr;
    SheetNode* node = nullptr;          // the project tree node of the instance
    SheetRecord* loadedSheet = nullptr;  // loaded for the search only (no window)
    // The search position.
    TextRecord* nextText = nullptr;
    TextFrameHandle nextFrame = nullptr;
    SymbolRecord* nextSymbol = nullptr;
    SignalHandle signal = nullptr;
    WireHandle nextWire = nullptr;
    bool listStarted = false;   // the walk of the current list has begun
    bool textsDone = false;     // the text elements are done, the frames go on
    bool sheetStarted = false;  // the position belongs to the current sheet
    uint16_t scope = kScopeFrontSheet;
    int16_t shownTab = 0;
    SearchCriteria criteria;
    uint8_t stepInstances = 0;
    uint8_t instancesOption = 1;
    uint8_t changeAll = 0;
    uint8_t found = 0;
    // The hit last shown.
    SymbolRecord* foundSymbol = nullptr;
    TextFrameHandle foundFrame = nullptr;
    TextRecord* foundText = nullptr;
    // Change All's log of the changes that could not be made, and its changed items.
    std::vector<ChangeDataLogEntry> log;
    int32_t changeCount = 0;
    std::string lastMessage;  // the last message shown (a test reads it)
};

extern SearchRecord* lv;

// Makes the record once.
void SearchInit();
// Forgets the search position (and the searched sheet when forgetSheet).
void SearchReset(bool forgetSheet);
// A sheet or project goes away: the search forgets it.
void SearchForgetSheet(SheetRecord* sheet);
void SearchForgetProject(ProjectRecord* project);

// Runs commands 401 (Find...) to 404 (Change All); nonzero when something was found or changed.
int32_t DoSearchReplaceCommand(uint16_t command);
// Enabling and texts of the four Tools menu items.
void GetSearchReplaceCommandEnabled(VXPrepCommandRecord* record, int16_t frontKind);

// Matching: the text satisfies the row's criterion; start and length of the match.
bool StringSatisfies(const char* text, int32_t row, int32_t* start, int32_t* length);
bool IsSymbolPropertyMatch(SheetRecord* sheet, SymbolRecord* symbol, int32_t row, std::string* text,
                           int32_t* start, int32_t* length);
bool IsSignalPropertyMatch(SheetRecord* sheet, SignalHandle signal, int32_t row, std::string* text,
                           int32_t* start, int32_t* length);
// The property of a row: the designator (in the search's instance), part name, slot, package or
// attribute value of a symbol; empty when the symbol has none.
std::string GetSymbolSearchProperty(SheetRecord* sheet, SymbolRecord* symbol, int32_t row);

// Searching: the next hit from the search position, shown; true when found.
bool SearchForItem();
SymbolRecord* SymbolListSearch();
SignalHandle SignalListSearch(WireHandle* wire);
bool TextListSearch(TextRecord** text, TextFrameHandle* frame);
// Moves to the next sheet of the scope; false when there is none.
bool GetNextSheet();
bool GetNextSearchSheet(ProjectRecord* project, bool first);

void ShowFoundSymbol(SheetRecord* sheet, SymbolRecord* symbol);
void ShowFoundSignal(SheetRecord* sheet, SignalHandle signal, WireHandle wire);
void ShowFoundText(SheetRecord* sheet, TextRecord* text);
void ShowFoundFrame(SheetRecord* sheet, TextFrameHandle frame);
void RevealSheetRect(SheetRecord* sheet, const Rect& rect, bool zoom);

// Changes: the change of the found item; result flags (1 changed, 8 a case-only rename).
int32_t ApplyChange();
int32_t ApplyChangeToSymbol(SheetRecord* sheet, SymbolRecord* symbol, Rect* rect);
int32_t ApplyChangeToSignal(SheetRecord* sheet, SignalHandle signal, Rect* rect);
int32_t ApplyChangeToText(SheetRecord* sheet, TextFrameHandle frame, Rect* rect);
// The replacement of a row: the matched part of the current value replaced (at most 254 bytes).
std::string BuildReplacementString(const std::string& text, int32_t start, int32_t length,
                                   const std::string& replacement);
bool CanApplyChangeToSelection(uint16_t command);
void ChangeDataNotify(SheetRecord* sheet, SymbolRecord* symbol, OSStatus code, const char* text);
std::string BuildChangeDataNotificationString(OSStatus code, const char* text);
// The two lines the log shows for an entry.
void CalcChangeDataLogMessages(const ChangeDataLogEntry& entry, std::string* first, std::string* second);
bool RequiresSearchDialog();
bool IsSearchWindowActive();

// The dialog.
void OpenSearchDialog();
void CollectSearchParams();

}  // namespace plexa
