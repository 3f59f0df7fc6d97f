// The editor's menus: the definition tables of every menu and of the three menu bars (sheets,
// projects and logs; the symbol editor, with Grid in the place of Tools; the library editor), and
// the colour popup of the preferences. The toolkit builds the bars from them at start-up. Every
// command is named by its id in commands.h.
#include "app/shell.h"
#include "symboleditor/libeditor.h"
#include "toolkit/vx_menus.h"

namespace plexa {

namespace {

constexpr VXMenuDefItem kEnd = {0, nullptr, 0, nullptr};
constexpr VXMenuDefItem kSeparator = {kVXMenuSeparator, "-", 0, nullptr};

constexpr VXMenuDefItem Item(const char* text, uint32_t command, const char* key = nullptr) {
    return {kVXMenuItem, text, command, key};
}
constexpr VXMenuDefItem Sub(const char* text, uint32_t command, const VXMenuDef* sub) {
    return {kVXMenuSubmenu, text, command, sub};
}

// ---- File ----

const VXMenuDefItem kNewFileItems[] = {
    Item("Schematic Sheet", kCmdNewSheet, "n"),
    Item("Project...", kCmdNewProject),
    Item("Library...", kCmdNewLibrary),
    kEnd,
};

// The recent files are put in front of the last item by the recent-files list.
const VXMenuDefItem kRecentFilesItems[] = {
    Item("Clear History...", cmd::kClearRecent),
    kEnd,
};
}  // namespace
const VXMenuDef gRecentFilesMenuDef = {cmd::kRecentMenu, "recent", kRecentFilesItems};
namespace {

// The report scripts are appended after a separator by the script list.
const VXMenuDefItem kExportItems[] = {
    Item("ECO...", cmd::kExportECO),
    Item("ASCII Database...", kCmdASCIIDatabase),
    Item("DXF...", kCmdExportDXF),
    kEnd,
};
}  // namespace
const VXMenuDef gExportMenuDef = {kCmdExportMenu, "export", kExportItems};
namespace {

}  // namespace

const VXMenuDef gNewFileMenuDef = {kCmdNewMenu, "new", kNewFileItems};

namespace {

const VXMenuDefItem kFileItems[] = {
    Sub("New", kCmdNewMenu, &gNewFileMenuDef),
    Item("Open...", cmd::kOpen, "o"),
    Item("Open Selection", cmd::kOpenSelection, "e"),
    Sub("Open Recent", cmd::kRecentMenu, &gRecentFilesMenuDef),
    kSeparator,
    Item("Close", cmd::kClose, "w"),
    Item("Save", cmd::kSave, "s"),
    Item("Save a Copy...", cmd::kSaveCopy),
    kSeparator,
    Sub("Export", kCmdExportMenu, &gExportMenuDef),
    kSeparator,
    Item("Page Setup...", cmd::kPageSetup),
    Item("Print...", cmd::kPrint, "p"),
    kEnd,
};
const VXMenuDef kFileMenuDef = {cmd::kFileMenu, "File", kFileItems};

// ---- Edit ----

// The sheet's file symbols are put in front of "New..." by the sheet symbols' list.
const VXMenuDefItem kFileSymbolsItems[] = {
    Item("New...", cmd::kNewFileSymbol),
    Item("Delete...", cmd::kDeleteFileSymbols),
    kEnd,
};
const VXMenuDef kFileSymbolsMenuDef = {cmd::kFileSymbolsMenu, "sheetsyms", kFileSymbolsItems};

const VXMenuDefItem kEditItems[] = {
    Item("Undo...", cmd::kUndo, "z"),
    kSeparator,
    Item("Cut", cmd::kCut, "x"),
    Item("Copy", cmd::kCopy, "c"),
    Item("Paste", cmd::kPaste, "v"),
    Item("Clear", cmd::kClear),
    Item("Duplicate", cmd::kDuplicate, "d"),
    Item("Select All", cmd::kSelectAll, "a"),
    kSeparator,
    Item("Bring to Front", cmd::kBringToFront),
    Item("Move Forward", cmd::kMoveForward),
    Item("Move Back", cmd::kMoveBack),
    Item("Send to Back", cmd::kSendToBack),
    kSeparator,
    Sub("Sheet Symbols", cmd::kFileSymbolsMenu, &kFileSymbolsMenuDef),
    Item("Update Pins from Sheet", cmd::kUpdatePins),
    Item("Edit Library Item", cmd::kEditLibraryItem, "l"),
    kSeparator,
    Item("Sheet Settings...", cmd::kSheetSettings),
    Item("Project Settings...", cmd::kProjectSettings),
    kEnd,
};
const VXMenuDef kEditMenuDef = {cmd::kEditMenu, "Edit", kEditItems};

// ---- Text ----

// The font names are added by the font menu.
const VXMenuDefItem kFontItems[] = {kEnd};
}  // namespace
const VXMenuDef gFontMenuDef = {cmd::kFontMenu, "Fonts", kFontItems};
namespace {

const VXMenuDefItem kFontSizeItems[] = {
    Item("7 point", cmd::kFirstSize),  Item("8 point", cmd::kFirstSize + 1),  Item("9 point", cmd::kFirstSize + 2),
    Item("10 point", cmd::kFirstSize + 3), Item("12 point", cmd::kFirstSize + 4), Item("14 point", cmd::kFirstSize + 5),
    Item("18 point", cmd::kFirstSize + 6), Item("24 point", cmd::kFirstSize + 7), Item("36 point", cmd::kFirstSize + 8),
    kSeparator,
    Item("Other size...", cmd::kOtherSize),
    kEnd,
};
const VXMenuDef kFontSizeMenuDef = {kFontSizeMenuTag, "Size", kFontSizeItems};

const VXMenuDefItem kFontFaceItems[] = {
    Item("Plain", cmd::kPlain),
    Item("Bold", cmd::kBold),
    Item("Italic", cmd::kItalic),
    kEnd,
};
const VXMenuDef kFontFaceMenuDef = {cmd::kFaceMenu, "Face", kFontFaceItems};

const VXMenuDefItem kTextItems[] = {
    Item("Default Font", cmd::kDefaultFont),
    Sub("Font", cmd::kFontMenu, &gFontMenuDef),
    Sub("Size", kFontSizeMenuTag, &kFontSizeMenuDef),
    Sub("Style", cmd::kFaceMenu, &kFontFaceMenuDef),
    kSeparator,
    Item("Left Aligned", cmd::kLeftAligned),
    Item("Right Aligned", cmd::kRightAligned),
    kSeparator,
    Item("Hide/Show Text...", cmd::kHideShowText),
    kEnd,
};
const VXMenuDef kTextMenuDef = {cmd::kTextMenu, "Text", kTextItems};

// ---- Tools ----

const VXMenuDefItem kToolsItems[] = {
    Item("Find...", cmd::kFind, "f"),
    Item("Find Next", cmd::kFindNext, "g"),
    Item("Change", cmd::kChange, ";"),
    Item("Change All", cmd::kChangeAll),
    kSeparator,
    Item("Annotate...", cmd::kAnnotate, "t"),
    Item("Back-Annotate...", cmd::kBackAnnotate),
    Item("Update Signal Names...", cmd::kUpdateSignalNames),
    kSeparator,
    Item("Replace Parts...", cmd::kReplaceParts, "H"),
    Item("Update Parts...", cmd::kUpdateParts, "u"),
    Item("Re-search for Libraries", cmd::kResearchLibraries),
    Item("Check Project", cmd::kCheckProject, "k"),
    kSeparator,
    Item("Simora Setup...", cmd::kSimulatorSetup, "3"),
    Item("View Device Parameters...", cmd::kDeviceParameters, "y"),
    kEnd,
};
const VXMenuDef kToolsMenuDef = {cmd::kToolsMenu, "Tools", kToolsItems};

// ---- View ----

const VXMenuDefItem kViewItems[] = {
    Item("Normal Size", cmd::kNormalSize, "1"),
    Item("Scale to Fit", cmd::kScaleToFit, "0"),
    Item("Zoom In", cmd::kZoomIn, "]"),
    Item("Zoom Out", cmd::kZoomOut, "["),
    Item("Zoom Percent...", cmd::kZoomPercent, "2"),
    kSeparator,
    Item("Hide Graphics", cmd::kHideGraphics),
    Item("Hide Grid", cmd::kHideGrid),
    Item("Show rulers", cmd::kRulers),
    Item("Show page breaks", cmd::kPageBreaks),
    kSeparator,
    Item("Redraw Window", cmd::kRedraw, "r"),
    kEnd,
};
const VXMenuDef kViewMenuDef = {cmd::kViewMenu, "View", kViewItems};

// ---- Grid ----

const VXMenuDefItem kGridItems[] = {
    Item("1/12\"", cmd::kFirstGrid),   Item("1/8\"", cmd::kFirstGrid + 1), Item("1/6\"", cmd::kFirstGrid + 2),
    Item("1/4\"", cmd::kFirstGrid + 3), Item("1/3\"", cmd::kFirstGrid + 4), Item("1/2\"", cmd::kFirstGrid + 5),
    Item("1.0\"", cmd::kLastGrid),
    kSeparator,
    Item("Other...", cmd::kOtherGrid),
    kEnd,
};
const VXMenuDef kGridMenuDef = {cmd::kGridMenu, "Grid", kGridItems};

// ---- Window ----

// Replaced by the open windows each time the menu is prepared.
const VXMenuDefItem kWindowItems[] = {
    Item("Empty", kWindowMenuFirstItem),
    kEnd,
};
const VXMenuDef kWindowMenuDef = {kWindowMenuTag, "Window", kWindowItems};

// ---- Library ----

const VXMenuDefItem kLibEditorItems[] = {
    Item("Create New Item...", kCmdLibNewItem, "k"),
    Item("Revert...", kCmdLibRevert),
    kSeparator,
    Item("Find...", kCmdLibFind, "f"),
    Item("Find Again", kCmdLibFindAgain, "g"),
    kEnd,
};
const VXMenuDef kLibEditorMenuDef = {cmd::kLibraryMenu, "Library", kLibEditorItems};

// ---- The colour popup ----

const VXMenuDefItem kColorsItems[] = {
    Item("Black", cmd::kFirstColor),       Item("Gray", cmd::kFirstColor + 1),    Item("White", cmd::kFirstColor + 2),
    Item("Red", cmd::kFirstColor + 3),     Item("Blue", cmd::kFirstColor + 4),    Item("Green", cmd::kFirstColor + 5),
    Item("Yellow", cmd::kFirstColor + 6),  Item("Magenta", cmd::kFirstColor + 7), Item("Cyan", cmd::kFirstColor + 8),
    kEnd,
};

// ---- The bars ----

const VXMenuDef* const kDefaultBarMenus[] = {&kFileMenuDef, &kEditMenuDef, &kTextMenuDef, &kViewMenuDef,
                                             &kToolsMenuDef, &kWindowMenuDef, nullptr};
const VXMenuDef* const kGridBarMenus[] = {&kFileMenuDef, &kEditMenuDef, &kTextMenuDef, &kViewMenuDef,
                                          &kGridMenuDef, &kWindowMenuDef, nullptr};
const VXMenuDef* const kLibEditBarMenus[] = {&kFileMenuDef, &kEditMenuDef, &kLibEditorMenuDef,
                                             &kWindowMenuDef, nullptr};

}  // namespace

const VXMenuDef gColorsPopupMenuDef = {cmd::kColorsMenu, "colors", kColorsItems};
const VXMenuBarDef gDefaultMenuBarDef = {1, kDefaultBarMenus};
const VXMenuBarDef gGridMenuBarDef = {2, kGridBarMenus};
const VXMenuBarDef gLibEditMenuBarDef = {3, kLibEditBarMenus};

}  // namespace plexa
