// The record of one search: where it searches (the front sheet, or a project's sheets with their
// occurrences), what it looks for, where it stands, the hit last shown and the report of the last
// Change All. A sheet window's record is in its edit state (sheeteditor/editstate.h); the search
// itself, its dialog and its commands are in sheeteditor/search.h.
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

// What a row of Change All's report is.
enum class ChangeLogRow : uint8_t {
    kFailed,   // a change that could not be made (its code says which)
    kChanged,  // an item changed
    kSummary,  // the count of the items changed, last
};

// One row of Change All's report.
struct ChangeDataLogEntry {
    ChangeLogRow row = ChangeLogRow::kFailed;
    OSStatus code = 0;                  // kChange*Failed, or kStringBlockFull, for a failed row
    uint16_t kind = kSearchSymbols;     // the item: a symbol, a signal or a text frame
    SheetRecord* sheet = nullptr;       // where it is
    SheetInstance* instance = nullptr;  // the occurrence searched; none outside a project
    uint32_t serial = 0;                // the symbol's
    Point position{};                   // the text frame's
    std::string sheetName;              // "sheetName"
    // "newData": the text that could not be taken; the properties changed with their new values
    // (designator "R7", Tol "5%"); the summary's text.
    std::string newData;
    std::string refDes;         // "refDes", or the symbol's name when the designator holds "?"; a signal's name
    bool bySymbolName = false;  // the name is "symName"
};

struct SearchRecord {
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
    SearchCriteria criteria;
    uint8_t stepInstances = 0;
    uint8_t instancesOption = 1;
    uint8_t changeAll = 0;
    uint8_t found = 0;
    // The hit last shown.
    SymbolRecord* foundSymbol = nullptr;
    TextFrameHandle foundFrame = nullptr;
    TextRecord* foundText = nullptr;
    // The rows of the last Change All's report, and the number of items it changed.
    std::vector<ChangeDataLogEntry> log;
    // The log that the Change All under way reports to: the project's, or the sheet's.
    ProjectRecord* reportProject = nullptr;
    SheetRecord* reportSheet = nullptr;
    int32_t changeCount = 0;
    std::string lastMessage;  // the last message shown (a test reads it)
};

// Releases the sheet loaded for the search only, unless a window took it meanwhile.
void SearchReleaseLoadedSheet(SearchRecord* search);
// Forgets the search position within the current sheet.
void SearchClearPosition(SearchRecord* search);
// Forgets the search position (and the searched sheet when forgetSheet, releasing a sheet loaded
// for the search only).
void SearchReset(SearchRecord* search, bool forgetSheet);

}  // namespace plexa
