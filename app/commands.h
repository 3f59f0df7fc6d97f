// The editor's commands by name. A command is the 16-bit tag of a menu item (the menu tables of
// menus.cpp store these numbers, as do the toolkit's application menu and the lists filled at run
// time); `cmd` names every one of them, and the command table (commands.cpp) finds for each its
// enabling rule and its action in one entry, so that what a menu shows and what the command does
// are decided side by side. Each menu's file (commands_*.cpp) holds its part of the table.
#pragma once

#include <cstdint>
#include <span>

#include "toolkit/vx_menus.h"

namespace plexa {

struct FrontDocument;
struct VXPrepCommandRecord;

namespace cmd {

// The application menu's, run by the toolkit where the table has no action.
constexpr uint16_t kAbout = kVXCommandAbout, kPreferences = kVXCommandPreferences, kHide = 103,
                   kAccessibleLocations = kVXCommandAccessibleLocations, kQuit = kVXCommandQuit;
constexpr uint16_t kFirstApplication = 100, kLastApplication = 199;

// File.
constexpr uint16_t kFileMenu = 200, kNewSheet = 201, kOpen = 202, kClose = 203, kSave = 204,
                   kSaveCopy = 205, kPageSetup = 206, kPrint = 207, kOpenSelection = 211, kNewMenu = 212,
                   kNewProject = 214, kNewLibrary = 215, kRecentMenu = 219, kExportMenu = 220,
                   kExportECO = 221, kASCIIDatabase = 222, kExportDXF = 225;
// The recent files (three lists of 30 from kFirstRecent, recentmenus.h) and their clearing.
constexpr uint16_t kFirstRecent = 800, kLastRecent = 898, kClearRecent = 899;
// The report scripts of the Export menu: kFirstScript plus the script's index in the list.
constexpr uint16_t kFirstScript = 1400, kLastScript = 1499;

// Edit.
constexpr uint16_t kEditMenu = 300, kUndo = 301, kCut = 302, kCopy = 303, kPaste = 304, kClear = 305,
                   kSelectAll = 306, kDuplicate = 311, kBringToFront = 312, kMoveForward = 313,
                   kMoveBack = 314, kSendToBack = 315, kUpdatePins = 316, kEditLibraryItem = 317,
                   kSheetSettings = 318, kProjectSettings = 319;
// The Sheet Symbols submenu: one item a file symbol of the front sheet from kFirstFileSymbol,
// then New... and Delete...
constexpr uint16_t kFileSymbolsMenu = 1500, kFirstFileSymbol = 1501, kLastFileSymbol = 1597,
                   kNewFileSymbol = 1598, kDeleteFileSymbols = 1599;

// Tools.
constexpr uint16_t kToolsMenu = 400, kFind = 401, kFindNext = 402, kChange = 403, kChangeAll = 404,
                   kAnnotate = 405, kBackAnnotate = 406, kUpdateSignalNames = 407, kReplaceParts = 408,
                   kUpdateParts = 409, kResearchLibraries = 410, kCheckProject = 411, kCheckSheet = 412,
                   kSimulatorSetup = 413, kDeviceParameters = 414;

// Text; the Font submenu's items carry kFontItem and their place in the menu.
constexpr uint16_t kTextMenu = 500, kDefaultFont = 501, kFontMenu = 502, kOtherFonts = 503,
                   kLeftAligned = 504, kRightAligned = 505, kHideShowText = 506, kSizeMenu = 520,
                   kFirstSize = 521, kLastSize = 529, kOtherSize = 530, kFaceMenu = 540, kPlain = 541,
                   kBold = 542, kItalic = 543, kLastText = 599;
constexpr uint16_t kFontItem = kVXFontItemTag;

// View.
constexpr uint16_t kViewMenu = 600, kNormalSize = 601, kScaleToFit = 602, kZoomIn = 603, kZoomOut = 604,
                   kZoomPercent = 605, kHideGraphics = 606, kHideGrid = 607, kRulers = 608,
                   kPageBreaks = 609, kRedraw = 610, kLastView = 699;

// Grid (the symbol editor's bar): seven sizes from kFirstGrid, then Other...
constexpr uint16_t kGridMenu = 700, kFirstGrid = 701, kLastGrid = 707, kOtherGrid = 708, kLastGridCommand = 799;

// Window: one item an open window from kFirstWindow.
constexpr uint16_t kWindowMenu = 900, kFirstWindow = 901, kLastWindow = 999;

// Library (the library editor's bar; its window runs them, libeditor.h names them).
constexpr uint16_t kLibraryMenu = 1000, kLastLibrary = 1099;

// The colour popup of the preferences (its dialog reads the choice): nine colours from kFirstColor.
constexpr uint16_t kColorsMenu = 1100, kFirstColor = 1101;

// Items that toolkit lists build (the font items among them): enabled, run by their owners.
constexpr uint16_t kFirstListItem = kVXFontItemTag, kLastListItem = 0xFFFF;

}  // namespace cmd

// Names the shell's code has used for some of them.
constexpr uint16_t kCmdNewMenu = cmd::kNewMenu, kCmdNewSheet = cmd::kNewSheet,
                   kCmdNewProject = cmd::kNewProject, kCmdNewLibrary = cmd::kNewLibrary,
                   kCmdExportMenu = cmd::kExportMenu, kCmdASCIIDatabase = cmd::kASCIIDatabase,
                   kCmdExportDXF = cmd::kExportDXF;
constexpr uint16_t kWindowMenuTag = cmd::kWindowMenu, kWindowMenuFirstItem = cmd::kFirstWindow;
constexpr uint16_t kFontSizeMenuTag = cmd::kSizeMenu;
constexpr int32_t kMaxWindowMenuEntries = 80;
static_assert(kWindowMenuFirstItem + kMaxWindowMenuEntries - 1 <= cmd::kLastWindow);

// What an action is given: the command, the chosen item (from 1, for items of a list that share
// one command), the front document and how the command came.
struct CommandCall {
    uint16_t id;
    uint16_t item;
    const FrontDocument& front;
    bool fromKey, shift, option;
};

// The enabling rule: sets the record's enabled (and checked, and title) for the front document;
// none leaves the record as it came. The action: 1 when the command was handled, 0 to pass it on
// to the toolkit; none passes every call on.
using CommandRule = void (*)(VXPrepCommandRecord* record, const FrontDocument& front);
using CommandAction = int32_t (*)(const CommandCall& call);

// One command, or a run of commands from `first` to `last` that share their rule and action.
struct CommandEntry {
    uint16_t first, last;
    CommandRule rule;
    CommandAction action;
};

// Each menu's part of the table (commands_*.cpp).
std::span<const CommandEntry> FileCommands();
std::span<const CommandEntry> EditCommands();
std::span<const CommandEntry> ToolsCommands();
std::span<const CommandEntry> TextCommands();
std::span<const CommandEntry> ViewCommands();
std::span<const CommandEntry> GridCommands();

// The entry of a command: the first of the table whose run holds it (a menu's single commands
// come before the run that gives the rest of its range a common rule); none for a command that
// nothing in the editor prepares or runs.
const CommandEntry* FindCommand(uint16_t id);

}  // namespace plexa
