// The editor's menus: the definition tables of every menu and of the three menu bars (sheets,
// projects and logs; the symbol editor, with Grid in the place of Tools; the library editor), and
// the colour popup of the preferences. The toolkit builds the bars from them at start-up.
#include "app/shell.h"
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
    Item("Clear History...", 899),
    kEnd,
};
}  // namespace
const VXMenuDef gRecentFilesMenuDef = {219, "recent", kRecentFilesItems};
namespace {

// The report scripts are appended after a separator by the script list.
const VXMenuDefItem kExportItems[] = {
    Item("ECO...", 221),
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
    Item("Open...", 202, "o"),
    Item("Open Selection", 211, "e"),
    Sub("Open Recent", 219, &gRecentFilesMenuDef),
    kSeparator,
    Item("Close", 203, "w"),
    Item("Save", 204, "s"),
    Item("Save a Copy...", 205),
    kSeparator,
    Sub("Export", kCmdExportMenu, &gExportMenuDef),
    kSeparator,
    Item("Page Setup...", 206),
    Item("Print...", 207, "p"),
    kEnd,
};
const VXMenuDef kFileMenuDef = {200, "File", kFileItems};

// ---- Edit ----

// The sheet's file symbols are put in front of "New..." by the sheet symbols' list.
const VXMenuDefItem kFileSymbolsItems[] = {
    Item("New...", 1598),
    Item("Delete...", 1599),
    kEnd,
};
const VXMenuDef kFileSymbolsMenuDef = {1500, "sheetsyms", kFileSymbolsItems};

const VXMenuDefItem kEditItems[] = {
    Item("Undo...", 301, "z"),
    kSeparator,
    Item("Cut", 302, "x"),
    Item("Copy", 303, "c"),
    Item("Paste", 304, "v"),
    Item("Clear", 305),
    Item("Duplicate", 311, "d"),
    Item("Select All", 306, "a"),
    kSeparator,
    Item("Bring to Front", 312),
    Item("Move Forward", 313),
    Item("Move Back", 314),
    Item("Send to Back", 315),
    kSeparator,
    Sub("Sheet Symbols", 1500, &kFileSymbolsMenuDef),
    Item("Update Pins from Sheet", 316),
    Item("Edit Library Item", 317, "l"),
    kSeparator,
    Item("Sheet Settings...", 318),
    Item("Project Settings...", 319),
    kEnd,
};
const VXMenuDef kEditMenuDef = {300, "Edit", kEditItems};

// ---- Text ----

// The font names are added by the font menu.
const VXMenuDefItem kFontItems[] = {kEnd};
}  // namespace
const VXMenuDef gFontMenuDef = {502, "Fonts", kFontItems};
namespace {

const VXMenuDefItem kFontSizeItems[] = {
    Item("7 point", 521),  Item("8 point", 522),  Item("9 point", 523),
    Item("10 point", 524), Item("12 point", 525), Item("14 point", 526),
    Item("18 point", 527), Item("24 point", 528), Item("36 point", 529),
    kSeparator,
    Item("Other size...", 530),
    kEnd,
};
const VXMenuDef kFontSizeMenuDef = {kFontSizeMenuTag, "Size", kFontSizeItems};

const VXMenuDefItem kFontFaceItems[] = {
    Item("Plain", 541),
    Item("Bold", 542),
    Item("Italic", 543),
    kEnd,
};
const VXMenuDef kFontFaceMenuDef = {540, "Face", kFontFaceItems};

const VXMenuDefItem kTextItems[] = {
    Item("Default Font", 501),
    Sub("Font", 502, &gFontMenuDef),
    Sub("Size", kFontSizeMenuTag, &kFontSizeMenuDef),
    Sub("Style", 540, &kFontFaceMenuDef),
    kSeparator,
    Item("Left Aligned", 504),
    Item("Right Aligned", 505),
    kSeparator,
    Item("Hide/Show Text...", 506),
    kEnd,
};
const VXMenuDef kTextMenuDef = {500, "Text", kTextItems};

// ---- Tools ----

const VXMenuDefItem kToolsItems[] = {
    Item("Find...", 401, "f"),
    Item("Find Next", 402, "g"),
    Item("Change", 403, ";"),
    Item("Change All", 404),
    kSeparator,
    Item("Annotate...", 405, "t"),
    Item("Back-Annotate...", 406),
    Item("Update Signal Names...", 407),
    kSeparator,
    Item("Replace Parts...", 408, "H"),
    Item("Update Parts...", 409, "u"),
    Item("Re-search for Libraries", 410),
    Item("Check Project", 411, "k"),
    kSeparator,
    Item("Simora Setup...", 413, "3"),
    Item("View Device Parameters...", 414, "y"),
    kEnd,
};
const VXMenuDef kToolsMenuDef = {400, "Tools", kToolsItems};

// ---- View ----

const VXMenuDefItem kViewItems[] = {
    Item("Normal Size", 601, "1"),
    Item("Scale to Fit", 602, "0"),
    Item("Zoom In", 603, "]"),
    Item("Zoom Out", 604, "["),
    Item("Zoom Percent...", 605, "2"),
    kSeparator,
    Item("Hide Graphics", 606),
    Item("Hide Grid", 607),
    Item("Show rulers", 608),
    Item("Show page breaks", 609),
    kSeparator,
    Item("Redraw Window", 610, "r"),
    kEnd,
};
const VXMenuDef kViewMenuDef = {600, "View", kViewItems};

// ---- Grid ----

const VXMenuDefItem kGridItems[] = {
    Item("1/12\"", 701), Item("1/8\"", 702), Item("1/6\"", 703), Item("1/4\"", 704),
    Item("1/3\"", 705),  Item("1/2\"", 706), Item("1.0\"", 707),
    kSeparator,
    Item("Other...", 708),
    kEnd,
};
const VXMenuDef kGridMenuDef = {700, "Grid", kGridItems};

// ---- Window ----

// Replaced by the open windows each time the menu is prepared.
const VXMenuDefItem kWindowItems[] = {
    Item("Empty", kWindowMenuFirstItem),
    kEnd,
};
const VXMenuDef kWindowMenuDef = {kWindowMenuTag, "Window", kWindowItems};

// ---- Library ----

const VXMenuDefItem kLibEditorItems[] = {
    Item("Create New Item...", 1001, "k"),
    Item("Revert...", 1002),
    kSeparator,
    Item("Find...", 1003, "f"),
    Item("Find Again", 1004, "g"),
    kEnd,
};
const VXMenuDef kLibEditorMenuDef = {1000, "Library", kLibEditorItems};

// ---- The colour popup ----

const VXMenuDefItem kColorsItems[] = {
    Item("Black", 1101), Item("Gray", 1102),    Item("White", 1103),
    Item("Red", 1104),   Item("Blue", 1105),    Item("Green", 1106),
    Item("Yellow", 1107), Item("Magenta", 1108), Item("Cyan", 1109),
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

const VXMenuDef gColorsPopupMenuDef = {1100, "colors", kColorsItems};
const VXMenuBarDef gDefaultMenuBarDef = {1, kDefaultBarMenus};
const VXMenuBarDef gGridMenuBarDef = {2, kGridBarMenus};
const VXMenuBarDef gLibEditMenuBarDef = {3, kLibEditBarMenus};

}  // namespace plexa
