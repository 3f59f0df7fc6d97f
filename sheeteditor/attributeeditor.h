// The attribute editor's list: a private copy of an attribute list edited row by row (name and
// value, a visibility bit), with one empty row at the end for a new attribute, completion of names
// from a property-name list, and writing the result back. Attributes whose names begin with "~"
// are internal: the editor neither shows them nor removes them from the list it writes back to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct SymbolEditorHooks;

struct VXMenuRecord;
struct VXPrepCommandRecord;
struct VXWindowRecordTag;

// Longest texts a row takes, in characters; a value is also limited by what a string spec holds
// (1023 bytes of UTF-8).
constexpr int32_t kMaxAttributeNameChars = 200;
constexpr int32_t kMaxAttributeValueChars = 1000;

struct AttributeEditorRow {
    std::string name, value;
    uint16_t flags;  // bit 0: shown
};

struct AttributeEditor {
    std::vector<AttributeEditorRow> rows;  // the private list, the trailing empty row included
    VXMenuRecord* namesMenu;               // from the property-name list, or none
    VXWindowRecordTag* listWindow;         // the rows, when the editor is shown
    VXWindowRecordTag* headerWindow;       // the column titles above them
    void* header;                          // the column header record
    uint16_t listKind;                     // 0 component, 1 pin, 2 signal, 3 sheet, 4 project
    uint16_t visColumn;                    // where the "Vis" column starts, 0 without one
    VXWindowRecordTag* dialog;             // for keyboard navigation: the dialog, the item that
    uint16_t nextItem, previousItem;       // follows the editor and the one that precedes it
    uint8_t readOnly;
    uint8_t changed;
};

// A private copy of `count` attributes of the source (none: an empty list), "~" names left out,
// with the names of the property-name list of the kind. Null when memory fails.
AttributeEditor* CreateAttributeEditor(StringBlock sourceBlock, Handle source, uint32_t start, int32_t count,
                                       int32_t listKind, bool readOnly);
// Frees the editor. A shown editor is freed when its list window is destroyed (with the window it
// was made in); freed before, its windows stay and no longer reach it.
void DestroyAttributeEditor(AttributeEditor* editor);
// Takes a shown editor off its parent: its windows are destroyed, and the list window frees the
// editor with itself. An editor without windows is freed at once. The pointer is dead afterwards.
// A dialog whose windows go with it (cancel, close box) has nothing to free: the list window was
// the editor's one owner.
void CloseAttributeEditor(AttributeEditor* editor);

// The editor shown in the rectangle of the parent window: the column titles ("Attribute Name",
// "Attribute Data") above a list of rows whose fields are edited in place.
// With a visibility column, bit 0 of a row's flags shows as a check mark in a "Vis" column at
// the right and a click there flips it.
AttributeEditor* CreateAttributeEditorWindow(VXWindowRecordTag* parent, const Rect* rect,
                                             StringBlock sourceBlock, Handle source, uint32_t start,
                                             int32_t count, int32_t listKind, bool visibilityColumn,
                                             bool readOnly);
// The same over a panel's client area inset by 6, with the name of row 0 being edited.
AttributeEditor* CreateAttributeDialogPanel(VXWindowRecordTag* panel, StringBlock sourceBlock, Handle source,
                                            uint32_t start, int32_t count, int32_t listKind,
                                            bool visibilityColumn, bool readOnly);
// Where Tab leaves the editor to (the dialog's next item) and Shift-Tab (its previous item).
void SetAttributeEditorNavigation(AttributeEditor* editor, VXWindowRecordTag* dialog, uint16_t nextItem,
                                  uint16_t previousItem);
// A tab-out event of the dialog: a Tab out of the previous item starts editing row 0's name, a
// Shift-Tab out of the next item the last row's value. 1 when taken.
int32_t NavigateIntoAttributeEditor(AttributeEditor* editor, const struct VXEventRecord* tabOut);

// Commits the field being edited; false when its text was refused (the field stays open).
bool FlushAttributeEditor(AttributeEditor* editor);

// A row's texts (the whole text, however long).
std::string GetAttributeEditorName(const AttributeEditor* editor, int32_t row);
std::string GetAttributeEditorValue(const AttributeEditor* editor, int32_t row);

// Commits an edited field (column 0 name, 1 value), trimmed of blanks. An unchanged text does
// nothing; an emptied name keeps the old one. A text longer than its field allows, or a value
// longer than 1023 bytes, is refused with a message and the row keeps its text: the result is then
// 0, else 1.
int32_t CommitAttributeField(AttributeEditor* editor, int32_t row, int32_t column, const char* text);

// Whether a character may be typed into a name ("`", "{", "}", "~" and blanks may not).
bool IsAttributeNameCharacter(uint32_t character);
// A pasted name's characters mapped to those a name may hold.
std::string AttributeNamePasteFilter(const std::string& pasted);

// The name of the names menu that begins with the typed text (case ignored), that no other row
// of the editor has, first in alphanumeric order (digit runs by value); "" when none is longer
// than the text.
std::string AutoCompleteAttributeName(const AttributeEditor* editor, int32_t row, const char* typed);

// Writes the editor's attributes into the target (its non-"~" attributes replaced, "~" ones kept);
// without a target, into a new list. With freeWhenEmpty an empty result is freed and none
// returned. *targetCount is in and out.
Handle GetAttributeEditorData(AttributeEditor* editor, Handle target, uint32_t start, int16_t* targetCount,
                              StringBlock targetBlock, bool freeWhenEmpty);

// The list kind of the editor the attribute clipboard (the model's gClipAttributes) was copied
// from; 65535 when nothing was copied.
extern uint16_t gClipAttrKind;

// What the attribute editor needs of the application shell, installed by it: the clipboard
// stands for the attribute clipboard from a Cut or Copy in an attribute editor until something
// else is copied, here or in another program. Without the hooks the attribute clipboard counts
// as the clipboard's content once anything was copied into it.
struct AttributeClipHooks {
    // A Cut or Copy of rows: the clipboard now stands for the attribute clipboard.
    void (*claimClipboard)() = nullptr;
    // The clipboard still stands for the attribute clipboard.
    bool (*clipboardIsCurrent)() = nullptr;
};
void SetAttributeClipHooks(const AttributeClipHooks& hooks);
const AttributeClipHooks& GetAttributeClipHooks();

// The attribute clipboard holds attributes and is what the clipboard stands for.
bool AttributeClipIsCurrent();

// The Edit commands of an editor's rows while no field is edited: Select All always; Cut, Copy
// and Clear with a selected row; Paste while the attribute clipboard is current. Other commands,
// and every command while a field is edited, are left to the next procedure (0).
int32_t AttributeEditorPrepCommand(VXPrepCommandRecord* record);

// Copies the selected rows (the trailing empty row never counts) into the clip.
void CopySelectedAttributes(AttributeEditor* editor, const std::vector<int32_t>& selected);
// Pastes the clip at the row (the trailing row when -1): a name the editor has takes the clip's
// value and flags in its row; the others are inserted there in clip order. The rows pasted into.
std::vector<int32_t> PasteAttributes(AttributeEditor* editor, int32_t at);
// Moves a row to another place (clipped to the last real row: the empty row stays last), shifting
// the rows between; the row's new index.
int32_t ChangeAttributeIndex(AttributeEditor* editor, int32_t from, int32_t to);

// Removes the selected rows; the trailing empty row stays.
void DeleteSelectedAttributes(AttributeEditor* editor, std::vector<int32_t> selected);

// Removes every attribute whose name doesn't begin with "~".
void DeleteUserAttributes(Handle list, uint32_t start, int16_t* count, StringBlock block);

// The symbol editor's attribute editors, through its opaque handle of an editor.
// The edits of an opened editor, written into *target when there were any: false when there were
// none or the open field's text could not be kept.
bool TakeChangedAttributeEditorData(void* opened, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                    bool freeWhenEmpty);
// Starts editing the name of the row (shown rows from 0) with the keyboard focus there: false for
// a read-only editor or a row that cannot be edited.
bool EditAttributeEditorRowName(void* opened, int32_t row);
// Fills the symbol editor's slots of its attribute editors.
void AddSymbolEditorAttributeHooks(SymbolEditorHooks& hooks);

}  // namespace plexa
