// The text dump of a netlist database: one line per sheet, comp row, net row, pin row and (in a
// modular build) export spec, in table order. Tests compare it with expected text; the
// netlist-dump tool prints it.
//
//   sheet <index> <name>
//   comp <designator, qualified> part=<name or type index> slots=<hex> sheet=<index> [flags]
//        [attrs=<name>=<value>,...]
//   net <name, qualified> scope=local|port|global sheet=<index> [flags]
//   pin <designator>.<number> name=<pin name> net=<net or -> node=<I instance id or -> [flags]
//   export sheet=<index> <name> serial=<serial> net=<net>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "design/netlistdb.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/bitarray.h"
#include "model/attributes.h"

namespace plexa {

namespace {

using namespace std::string_view_literals;

void Flag(std::string* out, bool on, std::string_view word) {
    if (!on) return;
    *out += ' ';
    *out += word;
}

void Number(std::string* out, int64_t n) {
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, n).ptr;
    out->append(text, size_t(end - text));
}

// The qualified names of comp rows and nets, each made the first time it is written: a pin row
// repeats its comp's designator and its net's name.
class NameCache {
public:
    explicit NameCache(size_t count) : at_(count, kUnmade) {}
    template <class Make>
    std::string_view Get(size_t i, Make make) {
        if (at_[i] == kUnmade) {
            char text[kUDBTextSize];
            make(text);
            at_[i] = uint32_t(texts_.size());
            texts_ += text;
            texts_ += '\0';
        }
        return std::string_view(texts_.data() + at_[i]);
    }

private:
    static constexpr uint32_t kUnmade = UINT32_MAX;
    std::vector<uint32_t> at_;
    std::string texts_;
};

}  // namespace

std::string DumpUnifiedDB(const UnifiedDBRecord* db) {
    std::string out;
    if (!db || !db->project) return out;
    // About the length of a pin line for each pin, the comp and net lines besides.
    out.reserve(64 * (db->pins.size() + db->compOrder.size() + db->netOrder.size()) + 4096);
    NameCache refDes(db->comps.size()), netNames(db->nets.size());
    const auto refDesOf = [&](uint32_t row) {
        return refDes.Get(row, [&](char* text) { GetUDBRefDes(db, row, nullptr, true, text); });
    };
    const auto netOf = [&](int32_t net) -> std::string_view {
        if (net < 0) return "-";
        if (size_t(net) >= db->nets.size()) return "";
        return netNames.Get(size_t(net), [&](char* text) { GetUDBNetName(db, net, nullptr, true, text); });
    };
    char text[kUDBTextSize * 2];
    for (size_t i = 0; i < db->sheets.size(); ++i) {
        const UDBSheetEntry& s = db->sheets[i];
        if (!s.walked) continue;
        GetSheetSpecName(db->project, s.spec, text, kUDBTextSize);
        out += "sheet "sv;
        Number(&out, int64_t(i));
        out += ' ';
        out += text;
        out += '\n';
    }
    for (uint32_t id : db->compOrder) {
        const UDBCompEntry& r = db->comps[id];
        out += "comp "sv;
        out += refDesOf(id);
        if (db->flags & kUDBPartTypes) {
            out += " type="sv;
            Number(&out, r.partId);
        } else {
            ExtractStringSpec(r.partId, db->pinStrings, text, kUDBTextSize);
            out += " part="sv;
            out += text;
        }
        char slots[32];
        if (r.flags & kUDBCompSlotArray) {
            std::string bits;
            Handle array = db->slotArrays[r.slots];
            for (int32_t b = NextSetBit(array, -1); b >= 0; b = NextSetBit(array, b))
                bits += (bits.empty() ? "" : "+") + std::to_string(b);
            out += " slots=[" + bits + "]";
        } else {
            out += " slots="sv;
            const auto end = std::to_chars(slots, slots + sizeof slots, r.slots, 16).ptr;
            out.append(slots, size_t(end - slots));
        }
        out += " sheet="sv;
        Number(&out, r.sheetIndex);
        Flag(&out, r.flags & kUDBCompGenerated, "generated");
        Flag(&out, r.flags & kUDBCompRepeated, "repeated");
        Flag(&out, r.flags & kUDBCompSubSheet, "subsheet");
        if (const uint16_t count = GetUDBAttributeCount(db, r.attributes)) {
            out += " attrs="sv;
            for (int32_t a = 0; a < count; ++a) {
                char name[kAttributeTextSize], value[kAttributeTextSize];
                GetIndexedAttribute(db->compStrings, GetUDBAttributeRun(db, r.attributes), 0, a, name, value,
                                    nullptr, nullptr);
                if (a) out += ',';
                out += name;
                out += '=';
                out += value;
            }
        }
        if (const uint16_t refs = GetUDBInstanceRefCount(db, r.attributes)) {
            out += " refs="sv;
            Number(&out, refs);
        }
        out += '\n';
    }
    for (uint32_t id : db->netOrder) {
        const UDBNetEntry& n = db->nets[id];
        if (!n.live) continue;
        static const char* const kScopes[] = {"local", "port", "global"};
        out += "net "sv;
        out += netOf(int32_t(id));
        out += " scope="sv;
        out += n.scope < 3 ? std::string_view(kScopes[n.scope]) : "?"sv;
        out += " sheet="sv;
        Number(&out, n.sheetIndex);
        Flag(&out, n.flags & kUDBNetCopy, "copy");
        Flag(&out, n.flags & kUDBNetSharedSheet, "shared");
        Flag(&out, n.flags & kUDBNetConflict, "conflict");
        Flag(&out, n.flags & kUDBNetSinglePin, "single");
        Flag(&out, n.flags & kUDBNetNameJoined, "joined");
        if (const uint16_t count = GetUDBAttributeCount(db, n.attributes)) {
            out += " attrs="sv;
            Number(&out, count);
        }
        out += '\n';
    }
    for (const UDBPinEntry& p : db->pins) {
        const UDBPinDef& def = GetUDBPinDef(db, p);
        out += "pin "sv;
        if (p.compRow < db->comps.size()) out += refDesOf(p.compRow);
        ExtractStringSpec(def.number, db->pinStrings, text, kUDBTextSize);
        out += '.';
        out += text;
        ExtractStringSpec(def.name, db->pinStrings, text, kUDBTextSize);
        out += " name="sv;
        out += text;
        out += " net="sv;
        out += netOf(p.netId);
        out += " node="sv;
        const SheetNode* node = GetUDBPinNode(db, p);
        if (node && node->instance) {
            out += 'I';
            Number(&out, node->instance->id);
        } else {
            out += node ? '?' : '-';
        }
        Flag(&out, p.flags & kUDBPinMultiNet, "multinet");
        Flag(&out, p.flags & kUDBPinMultiInstance, "multiinstance");
        Flag(&out, p.flags & kUDBPinHiddenDefault, "hidden");
        if (def.pinDataId != kUDBNoPinData) {
            out += " data="sv;
            Number(&out, def.pinDataId);
        }
        out += '\n';
    }
    for (size_t s = 0; s < db->sheetPorts.size(); ++s) {
        for (const UDBPortSpec& e : db->sheetPorts[s].exports) {
            char name[kUDBTextSize] = "";
            if (e.nameId < db->netNames.size())
                ExtractStringSpec(db->netNames[e.nameId], db->netNameStrings, name, sizeof name);
            out += "export sheet=" + std::to_string(s) + " " + name + " serial=" + std::to_string(int32_t(e.serial)) +
                   " net=";
            out += netOf(int32_t(e.netId));
            out += '\n';
        }
    }
    return out;
}

}  // namespace plexa
