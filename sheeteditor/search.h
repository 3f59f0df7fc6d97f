// Search and replace over the front sheet or every sheet (and instance) of an open project:
// the criteria of the modeless search dialog, matching symbols, signals and texts, showing each
// hit in its sheet window, and changing the found item's properties (Change, and Change All,
// which reports each change it made and each it could not make in the log window of the project
// searched or of the front sheet, a row each, linked to the changed item). A search record holds
// the criteria, the scope and the search position, so that Find Next goes on where the last hit
// was; each sheet window has its own in its edit state (sheeteditor/editstate.h), and a search
// over a project, whose hits go from window to window, is the project's while that scope is
// chosen. The functions below take the record they work on; the commands and the dialog act on
// the front sheet window's (or the project's). The dialog itself is one for the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "model/signals.h"
#include "model/textframes.h"
#include "sheeteditor/searchlist.h"
#include "sheeteditor/searchrecord.h"

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


// Where Change All reports: the log window of the project searched (when given), else of the
// sheet. The log windows install these (app/logwindow.cpp); without them nothing is reported.
struct SearchLogHooks {
    // Destroys that log, if there is one.
    void (*destroyLog)(ProjectRecord* project, SheetRecord* sheet) = nullptr;
    // Appends the row to that log, made (hidden) when missing.
    void (*append)(ProjectRecord* project, SheetRecord* sheet, const ChangeDataLogEntry& entry) = nullptr;
    // Shows that log in front; false when there is none.
    bool (*show)(ProjectRecord* project, SheetRecord* sheet) = nullptr;
};
void SetSearchLogHooks(const SearchLogHooks& hooks);
const SearchLogHooks& GetSearchLogHooks();


// The search that the commands and the dialog act on now: the project's while the scope chosen is
// a project, else the front sheet window's.
SearchRecord* CurrentSearch();

// Runs commands 401 (Find...) to 404 (Change All); nonzero when something was found or changed.
int32_t DoSearchReplaceCommand(uint16_t command);
// Enabling and texts of the four Tools menu items.
void GetSearchReplaceCommandEnabled(VXPrepCommandRecord* record, int16_t frontKind);

// Matching: the text satisfies the row's criterion; start and length of the match.
bool StringSatisfies(SearchRecord* search, const char* text, int32_t row, int32_t* start, int32_t* length);
bool IsSymbolPropertyMatch(SearchRecord* search, SheetRecord* sheet, SymbolRecord* symbol, int32_t row, std::string* text,
                           int32_t* start, int32_t* length);
bool IsSignalPropertyMatch(SearchRecord* search, SheetRecord* sheet, SignalHandle signal, int32_t row, std::string* text,
                           int32_t* start, int32_t* length);
// The property of a row: the designator (in the search's instance), part name, slot, package or
// attribute value of a symbol; empty when the symbol has none.
std::string GetSymbolSearchProperty(SearchRecord* search, SheetRecord* sheet, SymbolRecord* symbol, int32_t row);

// Searching: the next hit from the search position, shown; true when found.
bool SearchForItem(SearchRecord* search);
SymbolRecord* SymbolListSearch(SearchRecord* search);
SignalHandle SignalListSearch(SearchRecord* search, WireHandle* wire);
bool TextListSearch(SearchRecord* search, TextRecord** text, TextFrameHandle* frame);
// Moves to the next sheet of the scope; false when there is none.
bool GetNextSheet(SearchRecord* search);
bool GetNextSearchSheet(SearchRecord* search, ProjectRecord* project, bool first);

void ShowFoundSymbol(SearchRecord* search, SheetRecord* sheet, SymbolRecord* symbol);
void ShowFoundSignal(SearchRecord* search, SheetRecord* sheet, SignalHandle signal, WireHandle wire);
void ShowFoundText(SearchRecord* search, SheetRecord* sheet, TextRecord* text);
void ShowFoundFrame(SearchRecord* search, SheetRecord* sheet, TextFrameHandle frame);
void RevealSheetRect(SheetRecord* sheet, const Rect& rect, bool zoom);

// Changes: the change of the found item; result flags (1 changed, 8 a case-only rename).
int32_t ApplyChange(SearchRecord* search);
int32_t ApplyChangeToSymbol(SearchRecord* search, SheetRecord* sheet, SymbolRecord* symbol, Rect* rect);
int32_t ApplyChangeToSignal(SearchRecord* search, SheetRecord* sheet, SignalHandle signal, Rect* rect);
int32_t ApplyChangeToText(SearchRecord* search, SheetRecord* sheet, TextFrameHandle frame, Rect* rect);
// The replacement of a row: the matched part of the current value replaced (at most 254 bytes).
std::string BuildReplacementString(const std::string& text, int32_t start, int32_t length,
                                   const std::string& replacement);
bool CanApplyChangeToSelection(SearchRecord* search, uint16_t command);
void ChangeDataNotify(SearchRecord* search, SheetRecord* sheet, SymbolRecord* symbol, OSStatus code, const char* text);
std::string BuildChangeDataNotificationString(OSStatus code, const char* text);
// The two lines the log shows for a row (the first without the severity's prefix).
void CalcChangeDataLogMessages(const ChangeDataLogEntry& entry, std::string* first, std::string* second);
// The log of Change All: the project searched, or the front sheet (none when neither).
void GetTargetLog(SearchRecord* search, ProjectRecord** project, SheetRecord** sheet);
bool RequiresSearchDialog(SearchRecord* search);
bool IsSearchWindowActive();

// The dialog.
void OpenSearchDialog();
// Takes the dialog's criteria into the search.
void CollectSearchParams(SearchRecord* search);

}  // namespace plexa
