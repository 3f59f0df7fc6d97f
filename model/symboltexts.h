// Symbol texts: the texts that show a placed symbol's name and designator, the name of a net
// symbol's net, a pin's number, name and attribute fields and a sheet-symbol port's label. This
// module makes them on demand, shows and hides them, and places them automatically beside the
// symbol or the pin; it also tells the symbol editor's name and designator frames.
//
// Placement reads the text offsets of the preferences (pin numbers and pin names by pin
// orientation, port labels by edge) through SymbolTextHooks; without a preferences record the
// defaults below are used.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/textframes.h"

namespace plexa {

struct LinkListHeader;
struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct VXWindowRecordTag;
using VXChunkyBlock = Handle;  // a chunky block (foundation/chunky.h)

// ---- Telling name and designator texts ----

// True for a frame whose source text (its first 32 characters), trimmed of blanks, is "{Name}"
// or "{CompName}" (name) or "{RefDes}" (designator), without regard to case; a frame longer than
// 15 characters never matches.
bool IsSymbolNameTextFrame(TextFrameHandle frame);
bool IsRefDesTextFrame(TextFrameHandle frame);
// The same test on the displayed string of a kind-22 text; false for every other kind.
bool IsSymbolNameText(const TextRecord* text, StringBlock block);
bool IsRefDesText(const TextRecord* text, StringBlock block);

// ---- Preferences and what the layers above provide ----

// The text offsets of the preferences record ({v, h} points, as stored there).
struct SymbolTextOffsets {
    Point pinNumber[4];  // by pin orientation 1-4
    Point pinName[4];
    Point portLabel[2];  // ports on the right edge, ports on the left edge
};
static_assert(sizeof(SymbolTextOffsets) == 40);
// The offsets of a new preferences record.
extern const SymbolTextOffsets kDefaultSymbolTextOffsets;
// The port-label offsets used without a preferences record: {4, -16} and {4, 19}.
void GetDefaultPortLabelPositions(Point out[2]);

// A simulator annotation attribute of a symbol: the items of the block that
// getSpiceAnnotationAttributes makes.
struct SpiceAnnotationAttribute {
    StringSpec name;      // in the sheet's string block
    int16_t attribute;    // the attribute's index
    int16_t node;         // -1 for the symbol itself
};
static_assert(sizeof(SpiceAnnotationAttribute) == 8);

struct SymbolTextHooks {
    // The preferences' text offsets, or null when no preferences record is loaded. Optional: a
    // program without the application's preferences takes the default offsets.
    const SymbolTextOffsets* (*preferences)() = nullptr;
    // A sheet-symbol port's position relative to the symbol's origin and its side (1 right edge,
    // 3 left edge).
    void (*getSheetSymbolPortPos)(const SymbolRecord* symbol, int32_t port, Point* point,
                                  int32_t* side) = nullptr;
    // A new chunky block of SpiceAnnotationAttribute items (the caller destroys it), or null.
    VXChunkyBlock (*getSpiceAnnotationAttributes)(SheetRecord* sheet, SymbolRecord* symbol) =
        nullptr;
    // The sheet editor: rebuild the selection region (optional: without the sheet editor nothing
    // is selected); mark the sheet changed for a reason.
    void (*buildDrawingSelectRgn)(SheetRecord* sheet) = nullptr;
    void (*setSheetModifiedStatus)(SheetRecord* sheet, uint32_t reason) = nullptr;
    // Moves the ruler guide marks while a frame is dragged.
    void (*setRulerGuidePositions)(VXWindowRecordTag* window, int32_t h, int32_t v) = nullptr;
};
void SetSymbolTextHooks(const SymbolTextHooks& hooks);
const SymbolTextHooks& GetSymbolTextHooks();
// The preferences' offsets, or the defaults when there is no record.
const SymbolTextOffsets& CurrentSymbolTextOffsets();

// ---- Symbol texts ----

// The sheet's text of the kind that the symbol owns (by serial number), or null.
TextRecord* RetrieveSymbolText(SheetRecord* sheet, const SymbolRecord* symbol, uint16_t kind);
// The designator kind of the symbol: 17 for a component or sheet symbol, else 23.
uint16_t SymbolDesignatorKind(const SymbolRecord* symbol);

// With a text: it becomes the symbol's name text (kind 18) or designator text (17 or 23) showing
// the symbol's name or displayed designator, its bounds recomputed, where it stands. Without one:
// a new text is made at the tail of the sheet's text list and placed automatically. Either way
// the symbol owns it. Null when a new text cannot be made.
TextRecord* BuildSymbolNameText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                                bool ownMetricsOnly);
TextRecord* BuildSymbolReferenceText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                                     bool ownMetricsOnly);
// A new kind-21 text of a net symbol showing its port name (a module port) or the name of the
// signal connected to it, placed; null when no signal is connected.
TextRecord* BuildNetSymbolText(SheetRecord* sheet, SymbolRecord* symbol);
// Shows or hides the symbol's text of the kind (for kind 22 the given text); a missing text is
// made when showing. True when a text changed visibility or was made; *outText (when asked) is the
// text or null. Changed bounds join *area when given.
bool SetSymbolTextVisible(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                          uint16_t kind, bool show, Rect* area, TextRecord** outText);
// Symbol text flags.
constexpr uint32_t kSymbolTextShowName = 1, kSymbolTextShowDesignator = 2;
// Builds the name text (when given or shown) and the designator text (likewise); a text that is
// not shown is hidden, the bounds of a shown one join *area.
void CreateSymbolTextItems(SheetRecord* sheet, SymbolRecord* symbol, uint32_t flags,
                           TextRecord* nameText, TextRecord* refText, Rect* area);

// ---- Placement ----

// Beside the symbol: an attribute text (kind 22) right of its bottom right corner; a name or
// designator above, beside or below it by the sides its pins are on, the designator over the name.
void AutoPositionSymbolText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                            bool ownMetricsOnly);
// Beside a net symbol by the orientation of its pin; the bounds before and after join *area.
void AutoPositionNetSymbolText(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* text,
                               Rect* area);

// A pin text collection: a chunky block whose items begin with a TextRecord pointer.
struct PinTextCollectionItem {
    TextRecord* text;
};
// The pin texts (kinds 0x4000 and up) of the list owned by the symbol serial, of one node or of
// every node (node < 0); null when out of memory.
VXChunkyBlock CollectPinsText(LinkListHeader* textList, uint32_t serial, int32_t node);
void DestroyPinTextCollection(VXChunkyBlock collection);
// Turns and aligns a pin text for the pin orientation (1-4), places it at the tail point plus the
// preferences' offset and, with a collection, moves it outward until it is clear of the others.
void AutoPositionPinText(TextRecord* text, StringBlock block, Point tailPoint,
                         int32_t orientation, VXChunkyBlock collection,
                         VXWindowRecordTag* window);
// Places a port label (kind 0x8000 + port) of a sheet symbol beside its port.
void AutoPositionSheetPortText(TextRecord* text, SheetRecord* sheet, SymbolRecord* sheetSymbol);

}  // namespace plexa
