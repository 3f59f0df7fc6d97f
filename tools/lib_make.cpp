// lib-make TEXT LIBRARY: writes a library file from its readable description (the format is
// described at the top of resources/libraries/Basic Parts.txt) through the library's own writer.
// Items are written in the description's order with a fixed time stamp, so that the same text
// always gives the same items. Exit status 0, 1 when the text or the library fails, 2 for wrong
// usage.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/datafile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "library/libfile.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "tools/tool_support.h"

namespace plexa {
namespace {

constexpr const char* kProgram = "lib-make";
constexpr uint32_t kFixedStamp = 0x2E000000;  // the items' time stamp, 2025

struct Pin {
    std::string number, name, signal;
    uint8_t type;
    Point connection, body;
};

// A text of the symbol's drawing: its kind, its string (the designator's placeholder, or the
// attribute's field reference) and its anchor, the left end of its base line.
struct SymbolText {
    uint16_t kind;
    std::string string;
    Point anchor;
    uint16_t flags;
};

struct ItemText {
    int line = 0;
    uint8_t kind = kLibItemComponent;
    uint32_t symbolFlags = 0;  // what the item kind and its words add to the symbol's flags
    bool bus = false;
    bool label = false;  // a net symbol that shows its net's name when placed
    std::vector<std::string> names;
    std::string prefix;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::pair<std::string, std::string>> packages;
    std::vector<Pin> pins;
    std::vector<std::pair<std::string, std::vector<int16_t>>> shapes;
    std::vector<SymbolText> texts;
};

std::string Rest(std::istringstream& words) {
    std::string rest;
    std::getline(words >> std::ws, rest);
    return rest;
}

bool PinType(const std::string& word, uint8_t* type) {
    const std::pair<const char*, uint8_t> types[] = {{"unspecified", kPinUnspecified}, {"passive", kPinPassive}, {"input", kPinInput},
                                                     {"output", kPinOutput}, {"bidirectional", kPinBidirectional},
                                                     {"power", kPinPower}};
    for (const auto& [name, value] : types)
        if (word == name) return *type = value, true;
    return false;
}

// The description's items; false with the line and the reason in *error.
bool Parse(std::istream& in, std::vector<ItemText>* items, std::string* error) {
    std::string text;
    ItemText* current = nullptr;
    for (int line = 1; std::getline(in, text); ++line) {
        std::istringstream words(text);
        std::string word;
        if (!(words >> word) || word[0] == '#') continue;
        auto fail = [&](const std::string& why) {
            *error = "line " + std::to_string(line) + ": " + why;
            return false;
        };
        if (word == "item" || word == "wire-symbol" || word == "port") {
            if (current) return fail("the item before has no \"end\"");
            items->push_back({});
            current = &items->back();
            current->line = line;
            // A wire symbol or port names the net it touches; a port is exported to the parent.
            if (word == "wire-symbol") {
                current->kind = kLibItemWireSymbol;
                current->symbolFlags = kSymbolFlagPort;
            } else if (word == "port") {
                current->kind = kLibItemPort;
                current->symbolFlags = kSymbolFlagPort | kSymbolFlagModulePort;
            }
            std::string names = Rest(words), name;
            for (size_t at = 0; at <= names.size();) {
                size_t bar = names.find(" | ", at);
                if (bar == std::string::npos) bar = names.size();
                if (bar > at) current->names.push_back(names.substr(at, bar - at));
                at = bar + 3;
            }
            if (current->names.empty()) return fail("an item without a name");
            continue;
        }
        if (!current) return fail("\"" + word + "\" outside an item");
        if (word == "end") {
            if (current->pins.empty()) return fail("an item without pins");
            current = nullptr;
        } else if (word == "prefix") {
            words >> current->prefix;
        } else if (word == "local") {
            if (current->kind != kLibItemWireSymbol) return fail("only a wire symbol is local");
            current->symbolFlags |= kSymbolFlagLocal;
        } else if (word == "type") {
            std::string type;
            words >> type;
            const std::pair<const char*, uint32_t> types[] = {{"input", 0x10}, {"output", 0x20}, {"bidirectional", 0x30}};
            uint32_t bits = 0;
            for (const auto& [name, value] : types)
                if (type == name) bits = value;
            if (current->kind != kLibItemPort || !bits) return fail("a port's type is input, output or bidirectional");
            current->symbolFlags |= bits;
        } else if (word == "label") {
            if (current->kind == kLibItemComponent) return fail("only a wire symbol or port shows a label");
            current->label = true;
        } else if (word == "bus") {
            if (current->kind != kLibItemPort) return fail("only a port names a bus");
            current->symbolFlags |= kSymbolFlagBussPort;
            current->bus = true;
        } else if (word == "text") {
            std::string what, attribute;
            words >> what;
            SymbolText text{};
            if (what == "name") {
                text.kind = kTextKindSymbolName;
                text.string = current->names[0];
            } else if (what == "designator") {
                // A component's designator, or a plain symbol's.
                text.kind = current->kind == kLibItemComponent ? kTextKindCompDesignator : kTextKindDesignator;
                text.string = (current->prefix.empty() ? std::string("U") : current->prefix) + "?";
            } else if (what == "attribute" && (words >> attribute)) {
                text.kind = kTextKindSymbolAttribute;
                text.string = "{" + attribute + "}";
                text.flags = kTextFlagMacro;
            } else {
                return fail("a text is the name, the designator or an attribute NAME");
            }
            if (!(words >> text.anchor.v >> text.anchor.h)) return fail("a text needs its anchor");
            for (std::string option; words >> option;) {
                if (option == "right") text.flags |= kTextFlagRightAligned;
                else if (option == "hidden") text.flags |= kTextFlagHidden;
                else return fail("unknown text option \"" + option + "\"");
            }
            current->texts.push_back(text);
        } else if (word == "attribute") {
            std::string name;
            words >> name;
            current->attributes.push_back({name, Rest(words)});
        } else if (word == "package") {
            std::string name, footprint;
            if (!(words >> name >> footprint)) return fail("a package needs a name and a footprint");
            current->packages.push_back({name, footprint});
        } else if (word == "pin") {
            Pin pin;
            std::string type;
            if (!(words >> pin.number >> pin.name >> type >> pin.connection.v >> pin.connection.h >> pin.body.v >>
                  pin.body.h))
                return fail("a pin needs a number, a name, a type and two points");
            if (!PinType(type, &pin.type)) return fail("no pin type \"" + type + "\"");
            words >> pin.signal;
            current->pins.push_back(pin);
        } else if (word == "line" || word == "rect" || word == "oval" || word == "poly") {
            std::vector<int16_t> values;
            for (int16_t v; words >> v;) values.push_back(v);
            if (!words.eof()) return fail("a coordinate that is not a number");
            const bool poly = word == "poly";
            if ((!poly && values.size() != 4) || (poly && (values.size() < 6 || values.size() % 2)))
                return fail("\"" + word + "\" with " + std::to_string(values.size()) + " coordinates");
            current->shapes.push_back({word, values});
        } else {
            return fail("unknown word \"" + word + "\"");
        }
    }
    if (current) {
        *error = "line " + std::to_string(current->line) + ": an item without \"end\"";
        return false;
    }
    // A bus pin takes only the first four types.
    for (const ItemText& item : *items)
        for (const Pin& pin : item.pins)
            if (item.bus && pin.type > kPinBidirectional) {
                *error = "line " + std::to_string(item.line) + ": a bus pin's type is unspecified, input, output or bidirectional";
                return false;
            }
    return true;
}

// The symbol's drawing: the pins first, in their order, then the graphics and the texts (in the
// styles of their themes, which the sheet they are placed on gives them).
Ptr Drawing(const ItemText& text, StringBlock block) {
    ImageList* images = CreateLocalImageList();
    LinkListHeader* elements = CreateElementList(images);
    LinkListHeader* texts = CreateTextList();
    const int16_t pinWidth = text.bus ? 2 : 1;
    for (const Pin& pin : text.pins)
        LLAppend(elements, BuildNodeElement(pin.connection, pin.body, pinWidth, 0, false, 0, false, 0, false, 0));
    for (const auto& [kind, v] : text.shapes) {
        if (kind == "poly") {
            const int16_t count = int16_t(v.size() / 2);
            Handle points = AllocHandleWithData(gGenPool, v.data(), uint32_t(v.size() * sizeof(int16_t)));
            LLAppend(elements, BuildPolyElement(count, points, 1, false, false, 0, false, 0, false));
            MemFree(points);
        } else {
            const uint8_t element = kind == "line" ? kElementLine : kind == "rect" ? kElementRect : kElementOval;
            LLAppend(elements, BuildCommonElement(element, {v[0], v[1]}, {v[2], v[3]}, 1, 0, 0, false, false, 0,
                                                  false, 0, false));
        }
    }
    for (const SymbolText& t : text.texts) {
        TextRecord* record = CreateTextElement();
        if (!record) continue;  // the drawing is recorded short of it; memory failing fails the item below
        record->kind = t.kind;
        record->flags = uint16_t(t.flags | kTextFlagThemed);
        record->position = t.anchor;
        SetTextRecordString(record, block, t.string.c_str());
        if (t.flags & kTextFlagMacro) SetTextRecordMacroString(record, block, t.string.c_str());
        LLAppend(texts, record);
    }
    Handle data = texts && texts->count == text.texts.size()
                      ? ElementsToSymbolData(elements, texts, nullptr, block, false, nullptr)
                      : nullptr;
    Ptr drawing = data ? AllocPtrWithData(nullptr, *data, SizeOfHandle(data)) : nullptr;
    if (data) MemFree(data);
    if (texts) DestroyTextList(texts);
    DestroyElementList(elements);
    DestroyImageList(images);
    return drawing;
}

LibraryItem* BuildItem(const ItemText& text) {
    LibraryItem* item = CreateLibraryItem(text.kind);
    if (!item) return nullptr;
    // An item short of a name would be written all the same: memory failing fails the item.
    for (size_t i = 0; i < text.names.size(); ++i)
        if (!SetLibraryItemNameInfo(item, kLibAppendName, text.names[i].c_str(), uint8_t(i))) {
            DestroyLibraryItem(item);
            return nullptr;
        }
    if (!text.prefix.empty()) SetLibraryItemRefPrefix(item, text.prefix.c_str());
    for (const auto& [name, value] : text.attributes)
        SetAttributeValue(item->stringBlock, item->attributes, 0, &item->head.attributeCount, name.c_str(),
                          value.c_str(), nullptr);
    std::vector<uint16_t> ids;
    for (const Pin& pin : text.pins) {
        Handle record = CreateNewPinData();
        SetPinDataName(record, item->stringBlock, pin.name.c_str());
        // A bus pin keeps its flag beside the type.
        if (text.bus) SetPinDataType(record, uint8_t(pin.type | kPinBusFlag), true);
        else SetPinDataType(record, pin.type, false);
        if (!pin.signal.empty()) SetHiddenPinSignalName(record, item->stringBlock, pin.signal.c_str());
        ids.push_back(uint16_t(AddPinDataToTable(item->pinTable, record)));
        DestroyPinData(record);
    }
    auto* pinIds = reinterpret_cast<uint16_t*>(AllocPtrWithData(nullptr, ids.data(), uint32_t(ids.size() * 2)));
    Ptr drawing = Drawing(text, item->stringBlock);
    if (!drawing) {
        if (pinIds) MemFreePtr(reinterpret_cast<Ptr>(pinIds));
        DestroyLibraryItem(item);
        return nullptr;
    }
    if (AddLibSymbolDef(item, text.names[0].c_str(), drawing, nullptr, item->imageList, pinIds) < 0) {
        DestroyLibraryItem(item);
        return nullptr;
    }
    // A wire symbol's or port's drawing is a net symbol's: placed, its pin names the net it touches.
    if (text.symbolFlags) SetLibSymbolFlags(item, 0, GetLibSymbolFlags(item, 0) | text.symbolFlags);
    // A placed symbol shows the name and the designator that the drawing shows, where it shows
    // them, and makes none of its own; a labelled net symbol shows its net's name.
    uint8_t placement = text.label ? uint8_t(kSymbolTextShowName) : 0;
    for (const SymbolText& t : text.texts) {
        if (t.flags & kTextFlagHidden) continue;
        if (t.kind == kTextKindSymbolName) placement |= kSymbolTextShowName;
        else if (t.kind == kTextKindCompDesignator || t.kind == kTextKindDesignator) placement |= kSymbolTextShowDesignator;
    }
    SetLibSymbolPlacementOptions(item, 0, placement);
    for (size_t i = 0; i < text.packages.size(); ++i) {
        const int32_t index = AddNewPackageToLibItem(item, 0);
        SetLibPackageName(item, index, text.packages[i].first.c_str());
        SetLibPackageFootprint(item, index, text.packages[i].second.c_str());
    }
    LibSection* section = CreateLibSection();
    if (!section) {
        DestroyLibraryItem(item);
        return nullptr;
    }
    SetLibSectionSuffix(section, item->stringBlock, "");
    section->symbolIndex = 0;
    SetLibSectionPinCount(section, int32_t(text.pins.size()));
    if (!CreateLibSectionPinSet(section, 0, -1)) {
        DestroyLibSection(section);
        DestroyLibraryItem(item);
        return nullptr;
    }
    for (size_t pin = 0; pin < text.pins.size(); ++pin)
        SetLibSectionPinNumber(section, item->stringBlock, 0, int32_t(pin), text.pins[pin].number.c_str());
    AddSectionToLibItem(item, section, true);
    return item;
}

int Run(const char* textPath, const char* libraryPath) {
    std::ifstream in(textPath);
    if (!in) return tools::Fail(kProgram, textPath, "cannot be read");
    std::vector<ItemText> items;
    std::string error;
    if (!Parse(in, &items, &error)) return tools::Fail(kProgram, textPath, error.c_str());
    FileSpec spec;
    if (OSStatus st = tools::ToolFileSpec(libraryPath, &spec))
        return tools::Fail(kProgram, libraryPath, "names no file", st);
    (void)VXDeleteFile(&spec);  // usually there is none; the making says what stands in the way
    if (OSStatus st = CreateLibraryFile(&spec)) return tools::Fail(kProgram, libraryPath, "cannot be made", st);
    LibraryFileRecord record;
    if (OSStatus st = OpenLibraryFile(&spec, &record, kLibraryOpenLoadMap))
        return tools::Fail(kProgram, libraryPath, "cannot be opened", st);
    OSStatus st = status::kNoErr;
    for (const ItemText& text : items) {
        LibraryItem* item = BuildItem(text);
        Handle flat = item ? FlattenLibraryItem(item, false, kFixedStamp, &st) : nullptr;
        if (item) DestroyLibraryItem(item);
        uint32_t block = 0;
        if (!flat && !st) st = status::kOutOfMemory;
        if (!st) st = WriteLibraryFileItem(&record, flat, true, &block);
        if (flat) MemFree(flat);
        if (st) {
            (void)CloseLibraryFile(&record);  // the file goes; the write's failure is the one told
            (void)VXDeleteFile(&spec);        // a half-written library is not left behind
            return tools::Fail(kProgram, libraryPath, (text.names[0] + " cannot be written").c_str(), st);
        }
    }
    if ((st = CloseLibraryFile(&record))) {
        (void)VXDeleteFile(&spec);  // a half-saved library is not left behind
        return tools::Fail(kProgram, libraryPath, "cannot be saved", st);
    }
    return 0;
}

}  // namespace
}  // namespace plexa

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lib-make TEXT LIBRARY\n");
        return 2;
    }
    if (plexa::StartCore("lib-make") != 0) return 1;
    return plexa::Run(argv[1], argv[2]);
}
