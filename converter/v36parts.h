// The project-wide analysis of the parts of version-3.6 sheets: a part whose sections lie on several
// sheets of a project becomes one component, and packaged symbols that carry the same reference
// name are linked into one part. The analysis runs over every sheet of a project (or over the one
// sheet of a single-sheet conversion) before any sheet is translated; the sheet translation then
// builds each symbol's component from the part it belongs to (converter/v36sheetconvert.h).
//
// What the analysis keeps is this converter's own (the stored records it comes from are those of
// converter/v36sheet.h):
//  - the symbol definitions that sections and packaged symbols draw with, as symbol display data
//    (model/symboldata.h) whose images lie in the data's own image list, one entry per distinct
//    definition;
//  - per packaged symbol {sheet number, symbol number, reference name, name, definition, pin traits};
//    pin traits are {node value, pin type, pin name, pin number}, one per pin in the order of the
//    definition's pins (a pin's index is its node index);
//  - the pin records of all sheets merged by name, each with its project-wide id;
//  - the merged parts, each with its fields (tab-separated texts numbered from 1), the ids of the
//    pin records it uses, and its sections {definition, symbol id, placed symbol number (-1 not
//    placed), sheet number, section index};
//  - per merged part, once built, the component it becomes (ConvertedComp).
//
// Suffixes of sections are "A" to "Z", then "AA", "AB", ... (SectionSuffix), so a part of more than
// 26 sections and a reference-link group of up to 200 members get distinct suffixes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/types.h"

namespace plexa {

struct ImageList;
struct V36Sheet;

struct V36PinTrait {
    uint16_t node = 0;      // the node value that texts and nets name the pin by
    uint8_t type = 0;       // pin type (TranslatePinType)
    std::string name;       // UTF-8
    std::string number;
};

struct V36PackagedSymbol {
    int32_t sheet = 0;
    uint16_t symbol = 0;    // the symbol's number on its sheet
    uint32_t id = 0;        // the symbol's stored id
    std::string refName;    // from its designator text; empty when none
    std::string name;
    int32_t definition = -1;  // -1 for a section of a part of several sections
    std::vector<V36PinTrait> traits;
};

// A component as the analysis describes it; the sheet translation makes the record.
struct ConvertedComp {
    struct Symbol {
        int32_t definition = -1;          // into V36ProjectData::definitions
        std::vector<V36PinTrait> pins;    // name and type make each pin's pin-data record
    };
    struct Section {
        std::string suffix;
        uint16_t symbolIndex = 0;
        std::vector<std::string> pinNumbers;
    };
    struct HiddenPin {
        std::string number;   // the signal name the pin joins
        std::string name;     // its pin-data name
    };
    std::string name;
    std::string prefix;
    std::vector<Symbol> symbols;
    std::vector<Section> sections;
    std::vector<HiddenPin> hiddenPins;
};

struct V36PartSectionInfo {
    int32_t definition = -1;
    uint32_t symbolId = 0;
    int32_t placed = -1;       // the placed symbol's number, -1 when not placed
    int32_t sheet = 0;
    int32_t index = -1;        // the component section, -1 until built
};

struct V36ProjectPart {
    std::vector<std::string> fields;  // field n is fields[n - 1]
    std::vector<uint16_t> pinIds;     // project-wide ids of the pin records it uses
    std::vector<V36PartSectionInfo> sections;
    bool built = false;
    ConvertedComp comp;
};

struct V36ProjectPin {
    uint16_t id = 0;
    std::string name;
    std::vector<std::string> fields;  // field n is fields[n - 1]
};

struct V36ProjectData {
    ImageList* images = nullptr;          // the definitions' images
    std::vector<std::string> definitions;  // symbol display data, distinct
    std::vector<V36PackagedSymbol> packaged;
    std::vector<V36ProjectPin> pins;
    std::vector<V36ProjectPart> parts;
};

// The data of a new analysis (its image list made); false when memory fails. Free frees it.
[[nodiscard]] bool AllocProjectWideData(V36ProjectData* data);
void FreeProjectWideData(V36ProjectData* data);

// The section suffix of a position: 0 "A" .. 25 "Z", 26 "AA", 27 "AB", ...
std::string SectionSuffix(int32_t position);
// Field n (from 1) of tab-separated texts; false when there are fewer fields.
bool ExtractDelimitedString(const std::string& text, int32_t n, char delimiter, std::string* out);

// Adds a read sheet's packaged symbols, pin records and parts to the analysis (sheet number from
// 0). -108 when memory fails, or a failure of building a symbol's definition.
OSStatus MergeSheetParts(const V36Sheet& sheet, int32_t sheetNumber, V36ProjectData* data);
// Groups packaged symbols that carry the same reference name into parts of their own.
void BuildRefLinkParts(V36ProjectData* data);
// Describes the component of every merged part.
void BuildPartListComps(V36ProjectData* data);

// The part and section that a placed symbol of a sheet shows: the first part with a section of the
// symbol's id on that sheet; null when none.
const V36ProjectPart* GetSymbolsPart(const V36ProjectData* data, uint32_t symbolId, int32_t sheet,
                                     int32_t* section);
// The packaged-symbol entry of a symbol number on a sheet, null when none.
const V36PackagedSymbol* FindSymbolsPinTraits(const V36ProjectData* data, uint16_t symbol, int32_t sheet);

}  // namespace plexa
