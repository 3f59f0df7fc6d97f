// Components: the identity hash, equality, compatibility and similarity; see components.h.
#include <algorithm>
#include <cstring>

#include "foundation/hash.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr uint32_t kCompHashSeed = 0x434F4D50;  // 'COMP'

bool SameText(const char* a, const char* b) { return StrCINCmp(a, b, kCompTextSize) == 0; }

// The bytes of a section that identity covers: its head and its pin numbers over the pin sets.
uint32_t SectionBytes(const ComponentRecord* c, const ComponentSection* s) {
    const uint32_t wanted = uint32_t(sizeof(ComponentSection)) + uint32_t(s->pinCount) * c->pinSetCount * 4;
    return std::min(wanted, SizeOfPtr(s));
}

uint32_t HashOf(ComponentRecord* c, StringBlock block) {
    if (c->hash == 0) CalcCompHash(c, block);
    return c->hash;
}

bool SameBytes(const void* a, const void* b) {
    if (!a || !b) return a == b;
    const uint32_t size = SizeOfPtr(a);
    return size == SizeOfPtr(b) && std::memcmp(a, b, size) == 0;
}

}  // namespace

uint32_t CalcCompHash(ComponentRecord* c, StringBlock block) {
    if (!c) return 0;
    uint32_t h = BuildHash(kCompHashSeed, c->sectionCount);
    char suffix[kCompTextSize];
    for (int32_t i = c->sectionCount - 1; i >= 0; --i) {
        const ComponentSection* s = CompSections(c)[i];
        uint32_t v = s ? s->pinCount : 0;
        if (s && c->sectionCount >= 2) {
            GetCompSectionSuffix(s, block, suffix);
            for (const char* p = suffix; *p; ++p) {
                const unsigned char ch = static_cast<unsigned char>(*p);
                v += ch >= 'a' && ch <= 'z' ? ch - 32u : ch;
            }
        }
        h = BuildHash(h, v);
    }
    const uint32_t signature = h & 0xFFFF;
    h = BuildHash(h, c->symbolCount);
    for (int32_t i = c->symbolCount - 1; i >= 0; --i) {
        h = BuildHash(h, uint32_t(CompSymbols(c)[i].mapId));
        h = BuildHash(h, uint32_t(CompSymbols(c)[i].secondMapId));
    }
    h = BuildHash(h, c->sectionCount);
    for (int32_t i = c->sectionCount - 1; i >= 0; --i) {
        const ComponentSection* s = CompSections(c)[i];
        if (s) h = HashMem(h, s, SectionBytes(c, s));
    }
    h = BuildHash(h, c->packageCount);
    h = BuildHash(h, uint32_t(int32_t(c->nameCount)));
    for (int32_t i = c->nameCount - 1; i >= 0; --i) h = BuildHash(h, CompNames(c)[i]);
    c->hash = signature | (h & 0xFFFF0000);
    return c->hash;
}

bool EqualComps(ComponentRecord* a, ComponentRecord* b) {
    if (!a || !b) return false;
    if (a == b) return true;
    if (a->hash != b->hash || a->refPrefix != b->refPrefix || a->sectionCount != b->sectionCount ||
        a->nameCount != b->nameCount || a->symbolCount != b->symbolCount || a->packageCount != b->packageCount ||
        a->pinSetCount != b->pinSetCount)
        return false;
    for (int32_t i = 0; i < a->sectionCount; ++i) {
        const ComponentSection *x = CompSections(a)[i], *y = CompSections(b)[i];
        if (!x || !y) {
            if (x != y) return false;
            continue;
        }
        const uint32_t bytes = SectionBytes(a, x);
        if (x->pinCount != y->pinCount || bytes != SectionBytes(b, y) || std::memcmp(x, y, bytes) != 0) return false;
    }
    for (int32_t i = 0; i < a->symbolCount; ++i) {
        const CompSymbolEntry &x = CompSymbols(a)[i], &y = CompSymbols(b)[i];
        if (x.mapId != y.mapId || x.secondMapId != y.secondMapId || !SameBytes(x.pinDataIds, y.pinDataIds))
            return false;
    }
    for (int32_t i = 0; i < a->packageCount; ++i) {
        const CompPackage &x = CompPackages(a)[i], &y = CompPackages(b)[i];
        if (x.name != y.name || x.footprint != y.footprint) return false;
    }
    for (int32_t i = 0; i < a->pinSetCount; ++i)
        if (!SameBytes(CompHiddenPins(a)[i], CompHiddenPins(b)[i])) return false;
    for (int32_t i = 0; i < a->nameCount; ++i)
        if (CompNames(a)[i] != CompNames(b)[i]) return false;
    return true;
}

ComponentRecord* FindIdenticalComp(LinkListHeader* list, ComponentRecord* component, StringBlock block) {
    if (!component) return nullptr;
    HashOf(component, block);
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) {
        if (c == component) return c;
        HashOf(c, block);
        if (EqualComps(c, component)) return c;
    }
    return nullptr;
}

bool AreSectionsCompatible(const ComponentSection* a, StringBlock blockA, int32_t pinSetA, const ComponentSection* b,
                           StringBlock blockB, int32_t pinSetB) {
    if (!a || !b || a->pinCount != b->pinCount) return false;
    char x[kCompTextSize], y[kCompTextSize];
    GetCompSectionSuffix(a, blockA, x);
    GetCompSectionSuffix(b, blockB, y);
    if (!SameText(x, y)) return false;
    for (int32_t p = 0; p < a->pinCount; ++p) {
        GetCompSectionPinNumber(a, blockA, pinSetA, p, x);
        bool found = false;
        for (int32_t q = 0; q < b->pinCount && !found; ++q) {
            GetCompSectionPinNumber(b, blockB, pinSetB, q, y);
            found = SameText(x, y);
        }
        if (!found) return false;
    }
    return true;
}

int32_t AreCompsCompatible(ComponentRecord* a, int32_t packageA, int32_t nameIndexA, StringBlock blockA,
                           PinDataTable pinsA, ComponentRecord* b, StringBlock blockB, PinDataTable pinsB,
                           bool comparePrefix) {
    if (!a || !b) return -1;
    if ((HashOf(a, blockA) & 0xFFFF) != (HashOf(b, blockB) & 0xFFFF) || a->sectionCount != b->sectionCount)
        return -1;
    char x[kCompTextSize], y[kCompTextSize];
    if (comparePrefix) {
        GetCompRefPrefix(a, blockA, x);
        GetCompRefPrefix(b, blockB, y);
        if (!SameText(x, y)) return -1;
    }
    GetCompName(a, blockA, nameIndexA, x);
    if (GetCompNameIndex(b, blockB, x) < 0) return -1;
    int32_t packageB = 0, setA = 0, setB = 0;
    if (a->packageCount) {
        GetCompPackageName(a, blockA, packageA, x);
        packageB = FindCompPackageWithName(b, blockB, x);
        if (packageB < 0) return -1;
        GetCompPackageFootprint(a, blockA, packageA, x);
        GetCompPackageFootprint(b, blockB, packageB, y);
        if (!SameText(x, y)) return -1;
        setA = GetPackagePinSet(a, packageA);
        setB = GetPackagePinSet(b, packageB);
    } else if (b->packageCount) {
        return -1;
    }
    for (int32_t i = 0; i < a->sectionCount; ++i)
        if (!AreSectionsCompatible(CompSections(a)[i], blockA, setA, CompSections(b)[i], blockB, setB)) return -1;
    const int32_t hidden = CountCompSymbolPins(a, setA, kCompHiddenPins);
    if (hidden != CountCompSymbolPins(b, setB, kCompHiddenPins)) return -1;
    for (int32_t i = 0; i < hidden; ++i) {
        uint32_t idA = kCompNoPinData;
        GetCompHiddenPinInfo(a, blockA, setA, i, x, &idA);
        const int32_t match = FindCompHiddenPin(b, blockB, setB, false, pinsB, x);
        if (match < 0) return -1;
        uint32_t idB = kCompNoPinData;
        GetCompHiddenPinInfo(b, blockB, setB, match, nullptr, &idB);
        GetIndexedPinDataName(pinsA, int32_t(idA), blockA, x);
        GetIndexedPinDataName(pinsB, int32_t(idB), blockB, y);
        if (!SameText(x, y)) return -1;
    }
    return packageB;
}

ComponentRecord* FindCompatibleComp(ComponentRecord* component, int32_t package, int32_t nameIndex,
                                    StringBlock block, PinDataTable pins, LinkListHeader* list,
                                    StringBlock listBlock, PinDataTable listPins, bool comparePrefix,
                                    int32_t* listPackage) {
    if (listPackage) *listPackage = 0xFFFF;
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(list)); c; c = c->next) {
        const int32_t found =
            AreCompsCompatible(component, package, nameIndex, block, pins, c, listBlock, listPins, comparePrefix);
        if (found >= 0) {
            if (listPackage) *listPackage = found;
            return c;
        }
    }
    return nullptr;
}

bool DoSymbolsHaveSimilarComps(SheetRecord* sheet, SymbolRecord* a, SymbolRecord* b) {
    if (!a || !b || !a->component || !b->component) return false;
    ComponentRecord *x = a->component, *y = b->component;
    if (x == y) return true;
    StringBlock block = sheet ? sheet->stringBlock : nullptr;
    if ((HashOf(x, block) & 0xFFFF) != (HashOf(y, block) & 0xFFFF) || x->sectionCount != y->sectionCount ||
        x->symbolCount != y->symbolCount)
        return false;
    char name[kCompTextSize];
    GetCompName(x, block, a->kind.comp.nameIndex, name);
    bool named = GetCompNameIndex(y, block, name) >= 0;
    if (!named) {
        GetCompName(y, block, b->kind.comp.nameIndex, name);
        named = GetCompNameIndex(x, block, name) >= 0;
    }
    if (!named) return false;
    for (int32_t s = 0; s < x->symbolCount; ++s) {
        if (CountCompSectionsUsingSymbol(x, s) != CountCompSectionsUsingSymbol(y, s) ||
            CountCompSymbolPins(x, 0, uint16_t(s)) != CountCompSymbolPins(y, 0, uint16_t(s)))
            return false;
    }
    return true;
}

}  // namespace plexa
