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
#include <cstdio>
#include <string>

#include "design/netlistdb.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/bitarray.h"
#include "model/attributes.h"

namespace plexa {

namespace {

void Flag(std::string* out, bool on, const char* word) {
    if (!on) return;
    *out += ' ';
    *out += word;
}

std::string NodeText(const SheetNode* node) {
    if (!node) return "-";
    if (node->instance) return "I" + std::to_string(node->instance->id);
    return "?";
}

std::string NetText(const UnifiedDBRecord* db, int32_t net) {
    if (net < 0) return "-";
    char text[kUDBTextSize];
    GetUDBNetName(db, net, nullptr, true, text);
    return text;
}

}  // namespace

std::string DumpUnifiedDB(const UnifiedDBRecord* db) {
    std::string out;
    if (!db || !db->project) return out;
    char text[kUDBTextSize * 2];
    for (size_t i = 0; i < db->sheets.size(); ++i) {
        const UDBSheetEntry& s = db->sheets[i];
        if (!s.walked) continue;
        GetSheetSpecName(db->project, s.spec, text, kUDBTextSize);
        out += "sheet " + std::to_string(i) + " " + text + "\n";
    }
    for (uint32_t id : db->compOrder) {
        const UDBCompEntry& r = db->comps[id];
        GetUDBRefDes(db, id, &r, true, text);
        out += "comp ";
        out += text;
        if (db->flags & kUDBPartTypes) {
            out += " type=" + std::to_string(r.partId);
        } else {
            ExtractStringSpec(r.partId, db->pinStrings, text, kUDBTextSize);
            out += " part=";
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
            std::snprintf(slots, sizeof slots, " slots=%x", r.slots);
            out += slots;
        }
        out += " sheet=" + std::to_string(r.sheetIndex);
        Flag(&out, r.flags & kUDBCompGenerated, "generated");
        Flag(&out, r.flags & kUDBCompRepeated, "repeated");
        Flag(&out, r.flags & kUDBCompSubSheet, "subsheet");
        if (const uint16_t count = GetUDBAttributeCount(db, r.attributes)) {
            out += " attrs=";
            for (int32_t a = 0; a < count; ++a) {
                char name[kAttributeTextSize], value[kAttributeTextSize];
                GetIndexedAttribute(db->compStrings, GetUDBAttributeRun(db, r.attributes), 0, a, name, value,
                                    nullptr, nullptr);
                if (a) out += ',';
                out += std::string(name) + "=" + value;
            }
        }
        if (const uint16_t refs = GetUDBInstanceRefCount(db, r.attributes)) out += " refs=" + std::to_string(refs);
        out += '\n';
    }
    for (uint32_t id : db->netOrder) {
        const UDBNetEntry& n = db->nets[id];
        if (!n.live) continue;
        static const char* const kScopes[] = {"local", "port", "global"};
        out += "net " + NetText(db, int32_t(id)) + " scope=" + (n.scope < 3 ? kScopes[n.scope] : "?") +
               " sheet=" + std::to_string(n.sheetIndex);
        Flag(&out, n.flags & kUDBNetCopy, "copy");
        Flag(&out, n.flags & kUDBNetSharedSheet, "shared");
        Flag(&out, n.flags & kUDBNetConflict, "conflict");
        Flag(&out, n.flags & kUDBNetSinglePin, "single");
        Flag(&out, n.flags & kUDBNetNameJoined, "joined");
        if (const uint16_t count = GetUDBAttributeCount(db, n.attributes))
            out += " attrs=" + std::to_string(count);
        out += '\n';
    }
    for (const UDBPinEntry& p : db->pins) {
        const UDBPinDef& def = GetUDBPinDef(db, p);
        GetUDBRefDes(db, p.compRow, nullptr, true, text);
        out += "pin ";
        out += text;
        ExtractStringSpec(def.number, db->pinStrings, text, kUDBTextSize);
        out += '.';
        out += text;
        ExtractStringSpec(def.name, db->pinStrings, text, kUDBTextSize);
        out += " name=";
        out += text;
        out += " net=" + NetText(db, p.netId) + " node=" + NodeText(GetUDBPinNode(db, p));
        Flag(&out, p.flags & kUDBPinMultiNet, "multinet");
        Flag(&out, p.flags & kUDBPinMultiInstance, "multiinstance");
        Flag(&out, p.flags & kUDBPinHiddenDefault, "hidden");
        if (def.pinDataId != kUDBNoPinData) out += " data=" + std::to_string(def.pinDataId);
        out += '\n';
    }
    for (size_t s = 0; s < db->sheetPorts.size(); ++s) {
        for (const UDBPortSpec& e : db->sheetPorts[s].exports) {
            char name[kUDBTextSize] = "";
            if (e.nameId < db->netNames.size())
                ExtractStringSpec(db->netNames[e.nameId], db->netNameStrings, name, sizeof name);
            out += "export sheet=" + std::to_string(s) + " " + name + " serial=" + std::to_string(int32_t(e.serial)) +
                   " net=" + NetText(db, int32_t(e.netId)) + "\n";
        }
    }
    return out;
}

}  // namespace plexa
