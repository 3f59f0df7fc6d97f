// Pins, pin sets, pin numbers and section and symbol names in the symbol editor, over the
// editor's record alone: what loads a symbol or section, or marks the editor edited, is
// symboleditor/symeditor.h (which builds on this module). A pin is a node element of a view;
// the pins lead their view's sorted element list and their places there are the pin indexes of
// the item's sections and of the symbol's pin-data ids (symboleditor/symbolview.h).
//
// A pin owns its pin data (name, type, attributes) and its pin-number entry (the four pin-set
// numbers for every section that uses the symbol, keyed by the section); its strings live in the
// editor's string block. The pin of the other view that stands for the same electrical pin, its
// companion, carries the same link index (the node's serial) and shares both: the pins of the
// primary view own them, the alternate view's pins never do and let go of them before they are
// freed.
//
// Used pin numbers: a table of 1000 bits, bit n - 1 set when the number n is taken; only texts
// that are a whole decimal number from 1 to 999 mark a bit. Reserving from one table gives the
// free numbers in turn, and past 1000 the numbers go on counting (none is ever given twice).
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/pindata.h"

namespace plexa {

struct ElementRecord;
struct LibraryItem;
struct LibSection;
struct LinkListHeader;
struct SymbolEditorRecord;
struct TextRecord;
using BitArray = Handle;

// The view argument that means "the current view".
constexpr int32_t kCurrentSymbolView = 0xFFFF;
constexpr int32_t kUsedPinNumberBits = 1000;
// Section designators run A to Z, then AA to YZ.
constexpr int32_t kSectionDesignatorCount = 26 + 25 * 26;

// What the node pin-number calls need of the editor: its string block, section key, pin set
// and pin sets in use.
NodePinEditor SymbolEditorPinContext(const SymbolEditorRecord* editor);

// ---- Pins of the two views ----

// The pins of an element list (a view), in list order.
std::vector<ElementRecord*> ViewPins(LinkListHeader* elements);
// The pin texts of a pin in a text list: its numbers and names, or only those of `kind`
// (kTextKindPinNumber or kTextKindPinName) when it is given.
std::vector<TextRecord*> PinTexts(LinkListHeader* texts, const ElementRecord* pin, uint16_t kind = 0);

// Gives the i-th pin of each view the link index i (the longer view's extra pins the following
// ones); the linked pin count becomes the larger pin count.
void AssignAlternateNodeLinks(SymbolEditorRecord* editor);
// The pin of the other view with the same link index, or none; the pin's view
// kCurrentSymbolView means the pin is in the other view, the current one is searched.
ElementRecord* GetCompanionNode(SymbolEditorRecord* editor, const ElementRecord* pin,
                                int32_t viewOfPin);
// Whether the alternate element list holds an element that is not a pin.
bool HasAltSymbol(LinkListHeader* const elements[2]);
// The pins of the current view.
int32_t CountSymbolEditorNodes(const SymbolEditorRecord* editor);
// The alternate view's pins let go of the references they share.
void DetachAlternatePins(SymbolEditorRecord* editor);
// Every pin text of both views whose top two kind bits are exactly `mark` (0x4000 number, 0x8000
// name) takes its pin's text in the current section and pin set, and is measured again.
void SetCtxPinText(SymbolEditorRecord* editor, uint16_t mark);
// Components: each pin of the primary view takes the numbers of its index in every section that
// uses the current symbol; the alternate view's pin at the same place shares them.
void InstallPinNumbersInNodes(SymbolEditorRecord* editor);
// Components: each pin of the primary view takes a copy of the pin data the current symbol names
// for its index; the alternate view's pin at the same place shares it.
void InstallPinDataCopiesInNodes(SymbolEditorRecord* editor);
// The pin text of the same kind attached to the companion of a pin text's pin in the other view,
// or none; the text's view as for GetCompanionNode.
TextRecord* GetCompanionText(SymbolEditorRecord* editor, const TextRecord* text, int32_t viewOfText);
// Removes the section's numbers from every pin of the primary view.
void DeleteSectionPinNumbersFromNodes(SymbolEditorRecord* editor, LibSection* section);

// ---- Pin sets ----

// Makes the pin set current and shows its numbers.
void SetSymbolEditorPinSet(SymbolEditorRecord* editor, int32_t pinSet);

// ---- Pin numbers ----

// Whether no hidden pin of the set and no pin of any section has the number (exact text); `pin`
// itself (in the current section and pin set) is not compared.
bool IsPinNumberUnique(SymbolEditorRecord* editor, int32_t pinSet, const char* number,
                       const ElementRecord* pin);
// The table of the numbers taken in the pin set (the same walk); none when memory fails.
BitArray BuildUsedPinNumberTable(SymbolEditorRecord* editor, int32_t pinSet,
                                 const ElementRecord* pin);
// Marks the number of a string spec when its whole text is a decimal number from 1 to 999.
void SetPinNumberUsed(BitArray table, StringBlock block, StringSpec spec);
// The lowest number not taken (from the cache's table, built and kept in the cache when it has
// none; without a cache built and disposed of); with reserve it is taken in the table. 0 when
// memory fails.
int32_t GetUniquePinNumber(SymbolEditorRecord* editor, BitArray* cache, int32_t pinSet,
                           const ElementRecord* pin, bool reserve);

// ---- Sections and symbols ----

// Whether no section of the item has the suffix (ignoring case).
bool IsSectionDesignatorUnique(LibraryItem* item, const char* suffix);
// The first designator that no section has, into a buffer of 3 bytes; false (and "") when all are
// taken.
bool GetUniqueSectionDesignator(LibraryItem* item, char* designator);
// Gives every pin of the section without a number in one of its pin sets the next free number.
void InstallDefaultSectionPinNumbers(SymbolEditorRecord* editor, LibSection* section);
// "Part n" with the first n from 1 that no symbol of the item has as its name (ignoring case),
// into a buffer of kLibItemTextSize bytes.
void GetUniquePartSymbolName(LibraryItem* item, char* name);

}  // namespace plexa
