// The project-wide analysis of version-3.6 parts.
#include "converter/v36parts.h"

#include <algorithm>
#include <cstring>

#include "converter/v36sheet.h"
#include "converter/v36sheetconvert.h"
#include "converter/v36translate.h"
#include "model/components.h"
#include "model/imagelist.h"
#include "model/texts.h"

namespace plexa {
namespace {

constexpr size_t kRefLinkLimit = 200;
constexpr int32_t kMatchedFields = 6;

std::vector<std::string> SplitFields(const char* bytes, size_t length) {
    std::vector<std::string> fields;
    if (!bytes || length == 0) return fields;
    const std::string text = V36Text(bytes, length);
    size_t start = 0;
    for (;;) {
        const size_t tab = text.find('\t', start);
        fields.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

const std::string& Field(const std::vector<std::string>& fields, int32_t n) {
    static const std::string kEmpty;
    return n >= 1 && size_t(n) <= fields.size() ? fields[size_t(n - 1)] : kEmpty;
}

int32_t AddDefinition(V36ProjectData* data, const std::string& definition) {
    if (definition.empty()) return -1;
    for (size_t i = 0; i < data->definitions.size(); ++i)
        if (data->definitions[i] == definition) return int32_t(i);
    data->definitions.push_back(definition);
    return int32_t(data->definitions.size() - 1);
}

V36PackagedSymbol* FindPackaged(V36ProjectData* data, uint16_t symbol, int32_t sheet) {
    for (V36PackagedSymbol& entry : data->packaged)
        if (entry.symbol == symbol && entry.sheet == sheet) return &entry;
    return nullptr;
}

// Whether a part of this sheet is to be merged into a known one, and which.
V36ProjectPart* FindPartToMergeWith(V36ProjectData* data, const V36ProjectPart& part) {
    const bool notAllPlaced = std::any_of(part.sections.begin(), part.sections.end(),
                                          [](const V36PartSectionInfo& s) { return s.placed < 0; });
    if (!notAllPlaced || part.fields.empty()) return nullptr;
    for (V36ProjectPart& known : data->parts) {
        if (known.fields.empty() || known.sections.size() != part.sections.size()) continue;
        bool same = true;
        for (int32_t f = 1; f <= kMatchedFields && same; ++f) same = Field(known.fields, f) == Field(part.fields, f);
        for (size_t s = 0; s < part.sections.size() && same; ++s) {
            const V36PartSectionInfo &a = known.sections[s], &b = part.sections[s];
            same = a.symbolId == b.symbolId && !(a.placed >= 0 && b.placed >= 0);
        }
        if (same) return &known;
    }
    return nullptr;
}

}  // namespace

bool AllocProjectWideData(V36ProjectData* data) {
    *data = V36ProjectData{};
    data->images = CreateLocalImageList();
    return data->images != nullptr;
}

void FreeProjectWideData(V36ProjectData* data) {
    DestroyImageList(data->images);
    *data = V36ProjectData{};
}

std::string SectionSuffix(int32_t position) {
    std::string suffix;
    int32_t n = std::max(position, 0);
    do {
        suffix.insert(suffix.begin(), char('A' + n % 26));
        n = n / 26 - 1;
    } while (n >= 0);
    return suffix;
}

bool ExtractDelimitedString(const std::string& text, int32_t n, char delimiter, std::string* out) {
    out->clear();
    if (n < 1) return false;
    size_t start = 0;
    for (int32_t field = 1; field < n; ++field) {
        const size_t next = text.find(delimiter, start);
        if (next == std::string::npos) return false;
        start = next + 1;
    }
    const size_t end = text.find(delimiter, start);
    *out = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return true;
}

OSStatus MergeSheetParts(const V36Sheet& sheet, int32_t sheetNumber, V36ProjectData* data) {
    // The placed symbols that show a section of a part of several sections.
    std::vector<uint16_t> sectionSymbols;
    for (uint16_t p = 0; p < sheet.partCount; ++p) {
        const V36Part& part = sheet.parts[p];
        if (part.record.sectionCount < 2) continue;
        for (uint16_t s = 0; s < part.record.sectionCount; ++s) {
            const uint16_t placed = uint16_t(part.sections[s].placement & 0xFFFF);
            if (placed != 0xFFFF) sectionSymbols.push_back(placed);
        }
    }
    // Packaged symbols and sections: their definitions and pin traits.
    const bool longHead = IsV36GraphicsVersion(sheet.start);
    std::vector<int32_t> definitionOf(sheet.symbolCount, -1);
    for (uint16_t i = 0; i < sheet.symbolCount; ++i) {
        const V36Symbol& symbol = sheet.symbols[i];
        const bool section = (symbol.record.flags & kV36SymbolSection) &&
                             std::find(sectionSymbols.begin(), sectionSymbols.end(), symbol.record.number) !=
                                 sectionSymbols.end();
        if (!(symbol.record.flags & kV36SymbolPackaged) && !section) continue;
        V36SymbolView view;
        if (OSStatus st = BuildV36SymbolView(symbol, longHead, sheet.images, data->images, &view)) return st;
        definitionOf[i] = AddDefinition(data, view.data);
        if (view.traits.empty()) continue;
        V36PackagedSymbol entry;
        entry.sheet = sheetNumber;
        entry.symbol = symbol.record.number;
        entry.id = symbol.record.id;
        entry.definition = section ? -1 : definitionOf[i];
        if (!section) entry.name = V36BlockText(sheet.labels, symbol.record.name);
        entry.traits = view.traits;
        data->packaged.push_back(entry);
    }
    // Pin names and numbers, and reference names, from the texts.
    for (uint16_t t = 0; t < sheet.textCount; ++t) {
        const V36TextRecord& text = sheet.texts[t];
        V36PackagedSymbol* entry = FindPackaged(data, text.symbol, sheetNumber);
        if (!entry) continue;
        if (text.kind > 0) {
            for (V36PinTrait& trait : entry->traits) {
                if (trait.node != uint16_t(text.kind)) continue;
                ((text.flagsA & kV36TextPinNumberOrFrame) ? trait.number : trait.name) =
                    V36BlockText(sheet.labels, text.text);
                break;
            }
        } else if (text.kind == kV36TextDesignator && !(text.flagsA & kV36TextPinNumberOrFrame) &&
                   entry->definition >= 0) {
            entry->refName = V36BlockText(sheet.labels, text.text);
        }
    }
    // Pin records merged by name; each changed id remembered.
    std::vector<std::pair<uint16_t, uint16_t>> changed;
    for (uint16_t p = 0; p < sheet.pinCount; ++p) {
        const V36Pin& pin = sheet.pins[p];
        const std::string name = V36CountedText(V36PinName(&pin));
        uint32_t length = 0;
        const char* fields = V36PinFields(&pin, &length);
        uint16_t id = 0;
        bool found = false;
        for (const V36ProjectPin& known : data->pins)
            if (known.name == name) {
                id = known.id;
                found = true;
                break;
            }
        if (!found) {
            uint16_t highest = 0;
            for (const V36ProjectPin& known : data->pins) highest = std::max(highest, known.id);
            id = uint16_t(highest + 1);
            V36ProjectPin entry;
            entry.id = id;
            entry.name = name;
            entry.fields = SplitFields(fields, length);
            data->pins.push_back(entry);
        }
        if (id != pin.id) changed.emplace_back(pin.id, id);
    }
    // The parts, merged with the parts of other sheets where they are the same part.
    for (uint16_t p = 0; p < sheet.partCount; ++p) {
        const V36Part& stored = sheet.parts[p];
        V36ProjectPart part;
        part.fields = SplitFields(reinterpret_cast<const char*>(stored.fields), stored.fieldsLength);
        for (uint32_t byte = 0; byte < stored.pinIdsLength; ++byte)
            for (int bit = 0; bit < 8; ++bit) {
                if (!(reinterpret_cast<const uint8_t*>(stored.pinIds)[byte] & (1 << bit))) continue;
                uint16_t id = uint16_t(byte * 8 + uint32_t(bit));
                for (const auto& pair : changed)
                    if (pair.first == id) {
                        id = pair.second;
                        break;
                    }
                part.pinIds.push_back(id);
            }
        for (uint16_t s = 0; s < stored.record.sectionCount; ++s) {
            const V36PartSection& section = stored.sections[s];
            V36PartSectionInfo info;
            info.symbolId = section.symbolId;
            const uint16_t placed = uint16_t(section.placement & 0xFFFF);
            info.placed = placed == 0xFFFF ? -1 : int32_t(placed);
            info.sheet = sheetNumber;
            if (info.placed >= 0) {
                const int32_t index = FindV36Symbol(&sheet, placed);
                if (index >= 0) info.definition = definitionOf[size_t(index)];
            }
            part.sections.push_back(info);
        }
        if (V36ProjectPart* known = FindPartToMergeWith(data, part)) {
            for (size_t s = 0; s < part.sections.size(); ++s)
                if (part.sections[s].placed >= 0) known->sections[s] = part.sections[s];
            continue;
        }
        data->parts.push_back(part);
    }
    return status::kNoErr;
}

void BuildRefLinkParts(V36ProjectData* data) {
    std::vector<bool> used(data->packaged.size(), false);
    for (size_t i = 0; i < data->packaged.size(); ++i) {
        const V36PackagedSymbol& first = data->packaged[i];
        if (used[i] || first.definition < 0 || first.refName.empty()) continue;
        std::vector<size_t> group{i};
        for (size_t j = i + 1; j < data->packaged.size() && group.size() < kRefLinkLimit; ++j) {
            const V36PackagedSymbol& other = data->packaged[j];
            if (!used[j] && other.definition >= 0 && other.refName == first.refName) group.push_back(j);
        }
        if (group.size() < 2) continue;
        V36ProjectPart part;
        std::string name;
        for (size_t member : group) {
            used[member] = true;
            const V36PackagedSymbol& entry = data->packaged[member];
            if (name.empty()) name = entry.name;
            V36PartSectionInfo section;
            section.definition = entry.definition;
            section.symbolId = entry.id;
            section.placed = entry.symbol;
            section.sheet = entry.sheet;
            part.sections.push_back(section);
        }
        part.fields = {name, first.refName};
        data->parts.push_back(part);
    }
}

void BuildPartListComps(V36ProjectData* data) {
    for (V36ProjectPart& part : data->parts) {
        ConvertedComp& comp = part.comp;
        comp = ConvertedComp{};
        comp.name = Field(part.fields, 1);
        char prefix[kCompTextSize] = {};
        std::strncpy(prefix, Field(part.fields, 2).c_str(), sizeof prefix - 1);
        if (prefix[0]) {
            RefDesToPrefix(prefix);
            comp.prefix = prefix;
        }
        const bool several = part.sections.size() > 1;
        for (size_t s = 0; s < part.sections.size(); ++s) {
            V36PartSectionInfo& section = part.sections[s];
            if (section.placed < 0) continue;
            ConvertedComp::Section out;
            out.suffix = SectionSuffix(int32_t(s));
            int32_t symbolIndex = -1;
            for (size_t k = 0; k < comp.symbols.size(); ++k)
                if (comp.symbols[k].definition == section.definition) symbolIndex = int32_t(k);
            const bool first = symbolIndex < 0;
            if (first) {
                comp.symbols.emplace_back();
                comp.symbols.back().definition = section.definition;
                symbolIndex = int32_t(comp.symbols.size() - 1);
            }
            out.symbolIndex = uint16_t(symbolIndex);
            if (several) {
                const V36PackagedSymbol* traits = FindSymbolsPinTraits(data, uint16_t(section.placed), section.sheet);
                if (traits) {
                    for (const V36PinTrait& pin : traits->traits) out.pinNumbers.push_back(pin.number);
                    if (first) comp.symbols[size_t(symbolIndex)].pins = traits->traits;
                }
            }
            section.index = int32_t(comp.sections.size());
            comp.sections.push_back(out);
        }
        for (const V36ProjectPin& pin : data->pins) {
            if (std::find(part.pinIds.begin(), part.pinIds.end(), pin.id) == part.pinIds.end()) continue;
            const std::string& name = Field(pin.fields, 1).empty() ? pin.name : Field(pin.fields, 1);
            for (int32_t f = 2; f <= int32_t(pin.fields.size()); ++f)
                if (!Field(pin.fields, f).empty()) comp.hiddenPins.push_back({Field(pin.fields, f), name});
        }
        part.built = true;
    }
}

const V36ProjectPart* GetSymbolsPart(const V36ProjectData* data, uint32_t symbolId, int32_t sheet,
                                     int32_t* section) {
    *section = -1;
    for (const V36ProjectPart& part : data->parts)
        for (size_t s = 0; s < part.sections.size(); ++s)
            if (part.sections[s].symbolId == symbolId && part.sections[s].sheet == sheet &&
                part.sections[s].placed >= 0) {
                *section = int32_t(s);
                return &part;
            }
    return nullptr;
}

const V36PackagedSymbol* FindSymbolsPinTraits(const V36ProjectData* data, uint16_t symbol, int32_t sheet) {
    for (const V36PackagedSymbol& entry : data->packaged)
        if (entry.symbol == symbol && entry.sheet == sheet) return &entry;
    return nullptr;
}

}  // namespace plexa
