// The difference analysis of two ECO design states and the ECO log.
#include "design/ecodiff.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#include "design/ecostate.h"
#include "design/wasis.h"

namespace plexa {

ECOLogRecord gECOLog;

void CreateECOLog() {
    gECOLog = ECOLogRecord{};
    gECOLog.open = true;
}

void DestroyECOLog() { gECOLog = ECOLogRecord{}; }

void WriteECOLog(const char* a, const char* b) {
    gECOLog.text += a ? a : "";
    gECOLog.text += b ? b : "";
    gECOLog.text += '\n';
}

void LogDRCError(const char* a, const char* b, bool* errorFlag) {
    if (errorFlag) *errorFlag = true;
    WriteECOLog(a, b);
}

std::string AddStringPadding(const std::string& text) {
    return text.size() >= 20 ? text + " " : text + std::string(20 - text.size(), ' ');
}

std::string WriteDesignStateInfo(const DesignStateRecord* state) {
    char name[kStringSpecBufferSize];
    GetECOText(state, state->name, name);
    const char* kind = state->kind == kStateKindSchematic ? "Schematic" : state->kind == kStateKindPCB ? "PCB" : "Unknown";
    std::string rev = "Unknown";
    if (state->revisionTime) {
        // Seconds since 1904 in local time: shown as they are, without a zone.
        const time_t t = time_t(int64_t(state->revisionTime) - 2082844800LL);
        std::tm tm{};
        gmtime_r(&t, &tm);
        char text[64];
        std::strftime(text, sizeof text, "%Y-%m-%d  %H:%M:%S", &tm);
        rev = text;
    }
    return std::string("ECO SOURCE DESIGN:\n  Name:   ") + name + "\n  Kind:   " + kind + "\n  Rev:    " + rev + "\n";
}

namespace {

struct Synch {
    bool byName = false;
    bool byFootprint = false;
    bool override = false;
};

std::string Text(const DesignStateRecord* s, StringSpec spec) {
    char text[kStringSpecBufferSize];
    GetECOText(s, spec, text);
    return text;
}
std::string RefDes(const DesignStateRecord* s, int32_t index) {
    char text[kStringSpecBufferSize];
    GetECOCompRefDes(s, index, text);
    return text;
}
std::string CompName(const DesignStateRecord* s, int32_t index) {
    char text[kStringSpecBufferSize];
    GetECOCompName(s, index, text);
    return text;
}
std::string Footprint(const DesignStateRecord* s, const ECOComponent& c) {
    char text[kStringSpecBufferSize];
    GetECOText(s, c.footprint, text);
    NormalizeFootprintString(text, '\t');
    return text;
}
int CaseCompare(const std::string& a, const std::string& b) {
    const int c = strcasecmp(a.c_str(), b.c_str());
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// Mode 1: designators ignoring case; mode 2: footprints and names as the synchronisation says.
int CompareECOComponents(const DesignStateRecord* A, const DesignStateRecord* B, const ECOComponent& a,
                         const ECOComponent& b, int mode, const Synch& s) {
    if (mode & 1)
        if (int c = CaseCompare(RefDes(A, a.id), RefDes(B, b.id))) return c;
    if (mode & 2) {
        if (s.byFootprint || s.override)
            if (int c = CaseCompare(Footprint(A, a), Footprint(B, b))) return c;
        if (s.byName || s.override)
            if (int c = CaseCompare(CompName(A, a.id), CompName(B, b.id))) return c;
    }
    return 0;
}

// The indexes of n items in list order (newest first).
std::vector<int32_t> ListOrder(size_t n) {
    std::vector<int32_t> order(n);
    for (size_t i = 0; i < n; ++i) order[i] = int32_t(n - 1 - i);
    return order;
}

std::vector<int32_t> SortECOComps(const DesignStateRecord* s) {
    std::vector<int32_t> order = ListOrder(s->components.size());
    std::stable_sort(order.begin(), order.end(), [s](int32_t x, int32_t y) {
        return CaseCompare(RefDes(s, s->components[size_t(x)].id), RefDes(s, s->components[size_t(y)].id)) < 0;
    });
    return order;
}

std::vector<int32_t> SortECOCompMembers(const DesignStateRecord* s) {
    std::vector<int32_t> order = ListOrder(s->members.size());
    std::stable_sort(order.begin(), order.end(), [s](int32_t x, int32_t y) {
        const ECOCompMember& a = s->members[size_t(x)];
        const ECOCompMember& b = s->members[size_t(y)];
        return a.instanceId != b.instanceId ? a.instanceId < b.instanceId : a.symbolId < b.symbolId;
    });
    return order;
}

void SetRelabelComp(DesignStateRecord* A, DesignStateRecord* B, int32_t ai, int32_t bi) {
    ECOComponent& a = A->components[size_t(ai)];
    ECOComponent& b = B->components[size_t(bi)];
    const std::string was = RefDes(A, a.id), is = RefDes(B, b.id);
    if (was != is && a.id < A->designators.size()) {
        a.originalDesignator = A->designators[a.id];
        A->designators[a.id] = AppendStringBlock(A->strings, is.c_str(), uint32_t(is.size()), nullptr);
        a.diffFlags |= kECOCompRelabelled;
    }
    b.relabelPartner = ai;
    b.diffFlags |= kECOCompRelabelled;
}

void Match(DesignStateRecord* A, DesignStateRecord* B, int32_t ai, int32_t bi, bool relabel) {
    ECOComponent& a = A->components[size_t(ai)];
    ECOComponent& b = B->components[size_t(bi)];
    a.diffFlags = (a.diffFlags & ~kECOCompDeleted) | kECOCompLateMatch;
    b.diffFlags &= ~kECOCompAdded;
    b.partnerId = a.id;
    if (relabel) SetRelabelComp(A, B, ai, bi);
}

// Pins of a component text index: {pin name, net name}.
using PinList = std::vector<std::pair<std::string, std::string>>;
PinList CompPins(const DesignStateRecord* s, uint16_t id) {
    PinList pins;
    for (const ECONetMember& m : s->netMembers)
        if (m.compIndex == id) pins.emplace_back(Text(s, m.pin), m.net >= 0 ? Text(s, s->nets[size_t(m.net)].name) : "");
    return pins;
}

// How many pins of A's component (its pins pa) B's component b has on an equally named net;
// 32000 when neither has pins, -1 when one of them has none.
int32_t PinScore(const PinList& pa, const DesignStateRecord* B, uint16_t b) {
    const PinList pb = CompPins(B, b);
    if (pa.empty() && pb.empty()) return 32000;
    if (pa.empty() || pb.empty()) return -1;
    int32_t score = 0;
    for (const auto& [pin, net] : pa)
        for (const auto& [pin2, net2] : pb)
            if (CaseCompare(pin, pin2) == 0 && CaseCompare(net, net2) == 0) {
                ++score;
                break;
            }
    return score;
}

void AddNetPartner(ECONet& net, int32_t other) {
    for (ECONetPartner& p : net.partners)
        if (p.net == other) {
            ++p.hits;
            return;
        }
    net.partners.push_back({other, 1});
}

// The partner with the most hits; on a tie the one of the net's own name, else the first.
void ChooseBest(ECONet& net, const std::string& name, const DesignStateRecord* other) {
    int32_t best = -1;
    bool bestSameName = false;
    for (size_t i = 0; i < net.partners.size(); ++i) {
        const bool sameName = Text(other, other->nets[size_t(net.partners[i].net)].name) == name;
        const int32_t hits = net.partners[i].hits;
        if (best < 0 || hits > net.partners[size_t(best)].hits ||
            (hits == net.partners[size_t(best)].hits && sameName && !bestSameName)) {
            best = int32_t(i);
            bestSameName = sameName;
        }
    }
    net.best = best;
}

std::vector<int32_t> SortNetMembers(const DesignStateRecord* s) {
    std::vector<int32_t> order(s->netMembers.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int32_t(i);
    std::stable_sort(order.begin(), order.end(), [s](int32_t x, int32_t y) {
        const ECONetMember& a = s->netMembers[size_t(x)];
        const ECONetMember& b = s->netMembers[size_t(y)];
        if (int c = CaseCompare(RefDes(s, a.compIndex), RefDes(s, b.compIndex))) return c < 0;
        return CaseCompare(Text(s, a.pin), Text(s, b.pin)) < 0;
    });
    return order;
}

constexpr uint32_t kNetHasDifference = kECONetSameName | kECONetRegrouped | kECONetRegroupedAgain |
                                       kECONetRenamed | kECONetMerged;

}  // namespace

void DiffAnylise(DesignStateRecord* A, DesignStateRecord* B, bool serialLink) {
    Synch s;
    s.byName = (B->flags & kStateSynchByName) != 0;
    s.byFootprint = (B->flags & kStateSynchByFootprint) != 0;
    if ((A->flags ^ B->flags) & kStateUnsynchronised) {
        s.byFootprint = false;
        serialLink = false;
    }
    for (DesignStateRecord* st : {A, B}) {
        for (ECOComponent& c : st->components) {
            c.diffFlags = 0;
            c.partnerId = kECONoPartner;
            c.relabelPartner = -1;
        }
        for (ECOCompMember& m : st->members) m.partner = -1;
        for (ECONet& n : st->nets) {
            n.flags = 0;
            n.partners.clear();
            n.best = -1;
        }
        for (ECONetMember& m : st->netMembers) m.partner = -1;
    }
    const std::vector<int32_t> ca = SortECOComps(A), cb = SortECOComps(B);

    // Serial link.
    if (serialLink) {
        const std::vector<int32_t> ma = SortECOCompMembers(A), mb = SortECOCompMembers(B);
        size_t i = 0, j = 0;
        while (i < ma.size() && j < mb.size()) {
            ECOCompMember& x = A->members[size_t(ma[i])];
            ECOCompMember& y = B->members[size_t(mb[j])];
            if (x.instanceId != y.instanceId || x.symbolId != y.symbolId) {
                if (x.instanceId < y.instanceId || (x.instanceId == y.instanceId && x.symbolId < y.symbolId)) ++i;
                else ++j;
                continue;
            }
            if (x.component >= 0 && y.component >= 0 &&
                CompareECOComponents(A, B, A->components[size_t(x.component)], B->components[size_t(y.component)], 2, s) == 0) {
                x.partner = mb[j];
                y.partner = ma[i];
            }
            ++i;
            ++j;
        }
    }

    // Component match by designator.
    {
        size_t i = 0, j = 0;
        while (i < ca.size() && j < cb.size()) {
            ECOComponent& a = A->components[size_t(ca[i])];
            ECOComponent& b = B->components[size_t(cb[j])];
            const int c = CompareECOComponents(A, B, a, b, 3, s);
            if (c < 0) { ++i; continue; }
            if (c > 0) { ++j; continue; }
            b.partnerId = a.id;
            bool some = false, elsewhere = false, all = true;
            for (const ECOCompMember& m : A->members) {
                if (m.component != ca[i]) continue;
                if (m.partner < 0) { all = false; continue; }
                some = true;
                if (B->members[size_t(m.partner)].component != cb[j]) elsewhere = true;
            }
            for (const ECOCompMember& m : B->members) {
                if (m.component != cb[j]) continue;
                if (m.partner < 0) { all = false; continue; }
                some = true;
                if (A->members[size_t(m.partner)].component != ca[i]) elsewhere = true;
            }
            uint32_t flags = 0;
            if (some) flags = elsewhere ? kECOCompLinked : kECOCompLinked | kECOCompLinkedOnly;
            if (serialLink && some && all && !elsewhere) flags |= kECOCompAllLinked;
            a.diffFlags |= flags;
            b.diffFlags |= flags;
            ++i;
            ++j;
        }
    }
    // Members with partners.
    for (const ECOCompMember& m : A->members) {
        if (m.partner < 0 || m.component < 0) continue;
        ECOComponent& a = A->components[size_t(m.component)];
        a.diffFlags |= kECOCompHasPartnerMember;
        const int32_t other = B->members[size_t(m.partner)].component;
        if (other >= 0 && !(B->components[size_t(other)].diffFlags & kECOCompLinked))
            a.diffFlags |= kECOCompPartnerUnlinked;
    }
    // Relabel by members.
    for (int32_t ai : ca) {
        ECOComponent& a = A->components[size_t(ai)];
        if (a.diffFlags & kECOCompLinkedOnly) continue;
        if (!(a.diffFlags & (kECOCompLinked | kECOCompPartnerUnlinked))) {
            a.diffFlags |= kECOCompDeleted;
            continue;
        }
        if ((a.diffFlags & kECOCompHasPartnerMember) && !(a.diffFlags & kECOCompLinked)) {
            int32_t best = -1, bestCount = 0;
            for (int32_t bi : cb) {
                if (B->components[size_t(bi)].diffFlags & kECOCompRelabelled) continue;
                int32_t count = 0;
                for (const ECOCompMember& m : A->members)
                    if (m.component == ai && m.partner >= 0 && B->members[size_t(m.partner)].component == bi) ++count;
                if (count > bestCount) {
                    bestCount = count;
                    best = bi;
                }
            }
            if (best >= 0) {
                B->components[size_t(best)].partnerId = a.id;
                SetRelabelComp(A, B, ai, best);
            } else {
                a.diffFlags |= kECOCompDeleted;
            }
        }
    }
    for (ECOComponent& b : B->components)
        if (!(b.diffFlags & (kECOCompLinkedOnly | kECOCompLinked | kECOCompRelabelled | kECOCompExcluded)))
            b.diffFlags |= kECOCompAdded;

    // Re-matching passes: 1 everything, 2 as synchronised, 3 footprint and name scored by pins,
    // 4 designator alone (a component kept but changed: it is listed as modified).
    auto deleted = [&](int32_t ai) { return (A->components[size_t(ai)].diffFlags & kECOCompDeleted) != 0; };
    auto added = [&](int32_t bi) { return (B->components[size_t(bi)].diffFlags & kECOCompAdded) != 0; };
    const std::vector<int32_t> la = ListOrder(A->components.size()), lb = ListOrder(B->components.size());
    for (int pass = 1; pass <= 4; ++pass) {
        if (pass == 3 && !s.byName && !s.byFootprint) continue;
        Synch ps = s;
        ps.override = pass == 1;
        const int mode = pass == 3 ? 2 : pass == 4 ? 1 : 3;
        for (int32_t ai : la) {
            if (!deleted(ai)) continue;
            int32_t best = -1, bestScore = 0;
            PinList pa;  // the pins of A's component, once a candidate is scored
            bool paKnown = false;
            for (int32_t bi : lb) {
                if (!added(bi)) continue;
                if (CompareECOComponents(A, B, A->components[size_t(ai)], B->components[size_t(bi)], mode, ps) != 0) continue;
                if (pass != 3) {
                    best = bi;
                    break;
                }
                // A candidate must share pins on nets to win: a score of 0 or less never does.
                if (!paKnown) {
                    pa = CompPins(A, A->components[size_t(ai)].id);
                    paKnown = true;
                }
                const int32_t score = PinScore(pa, B, B->components[size_t(bi)].id);
                if (score > bestScore) {
                    bestScore = score;
                    best = bi;
                }
                if (score == 32000) break;
            }
            if (best >= 0) Match(A, B, ai, best, pass == 3);
        }
    }
    // Modified.
    for (ECOComponent& b : B->components) {
        if (b.partnerId == kECONoPartner) continue;
        const int32_t ai = b.relabelPartner >= 0 ? b.relabelPartner : RetrieveECOComp(A, b.partnerId);
        if (ai < 0) continue;
        const ECOComponent& a = A->components[size_t(ai)];
        if (CaseCompare(CompName(A, a.id), CompName(B, b.id)) != 0) b.diffFlags |= kECOCompNameDiffers;
        if (CaseCompare(Footprint(A, a), Footprint(B, b)) != 0) b.diffFlags |= kECOCompFootprintDiffers;
    }

    // Nets: drop the pins of deleted components, then pair members by designator and pin.
    {
        std::vector<bool> gone(A->designators.size(), false);
        for (const ECOComponent& a : A->components)
            if ((a.diffFlags & kECOCompDeleted) && a.id < gone.size()) gone[a.id] = true;
        std::vector<ECONetMember> kept;
        for (const ECONetMember& m : A->netMembers)
            if (m.compIndex >= gone.size() || !gone[m.compIndex]) kept.push_back(m);
        A->netMembers.swap(kept);
    }
    const std::vector<int32_t> na = SortNetMembers(A), nb = SortNetMembers(B);
    {
        size_t i = 0, j = 0;
        auto unmatched = [](DesignStateRecord* st, int32_t m) {
            ECONetMember& member = st->netMembers[size_t(m)];
            member.partner = -1;
            if (member.net >= 0) st->nets[size_t(member.net)].flags |= kECONetUnmatched;
        };
        while (i < na.size() || j < nb.size()) {
            if (i == na.size()) { unmatched(B, nb[j++]); continue; }
            if (j == nb.size()) { unmatched(A, na[i++]); continue; }
            ECONetMember& x = A->netMembers[size_t(na[i])];
            ECONetMember& y = B->netMembers[size_t(nb[j])];
            int c = CaseCompare(RefDes(A, x.compIndex), RefDes(B, y.compIndex));
            if (!c) c = CaseCompare(Text(A, x.pin), Text(B, y.pin));
            if (c < 0) { unmatched(A, na[i++]); continue; }
            if (c > 0) { unmatched(B, nb[j++]); continue; }
            x.partner = nb[j];
            y.partner = na[i];
            if (x.net >= 0 && y.net >= 0) {
                AddNetPartner(A->nets[size_t(x.net)], y.net);
                AddNetPartner(B->nets[size_t(y.net)], x.net);
            }
            ++i;
            ++j;
        }
    }
    for (auto [st, other] : {std::pair{A, B}, std::pair{B, A}}) {
        for (ECONet& n : st->nets) {
            const std::string name = Text(st, n.name);
            for (const ECONetPartner& p : n.partners)
                n.flags |= Text(other, other->nets[size_t(p.net)].name) == name ? kECONetSameName : kECONetOtherName;
            if (n.partners.size() > 1) n.flags |= kECONetSplit;
            ChooseBest(n, name, other);
        }
    }
    for (size_t i = A->nets.size(); i-- > 0;) {
        ECONet& n = A->nets[i];
        if ((n.flags & (kECONetSameName | kECONetOtherName | kECONetUnmatched)) == kECONetUnmatched) {
            n.flags |= kECONetDeleted;
            continue;
        }
        if (n.partners.empty()) continue;
        if (n.flags & kECONetSplit) {
            n.flags |= kECONetRegrouped;
            for (size_t p = 0; p < n.partners.size(); ++p) {
                if (int32_t(p) == n.best) continue;
                ECONet& other = B->nets[size_t(n.partners[p].net)];
                other.flags |= (other.flags & kNetHasDifference) ? kECONetRegroupedAgain : kECONetRegrouped;
            }
        }
        if ((n.flags & (kECONetSameName | kECONetOtherName)) == kECONetOtherName) {
            ECONet& best = B->nets[size_t(n.partners[size_t(n.best)].net)];
            const uint32_t flag = (best.flags & kNetHasDifference) ? kECONetMerged : kECONetRenamed;
            n.flags |= flag;
            best.flags |= flag;
        }
    }
}

// ---- The log ----

namespace {

void Category(const char* title, const std::vector<std::string>& lines, bool other) {
    if (lines.empty()) return;
    if (!gECOLog.headerLogged) {
        WriteECOLog("The ECO file indicates the following differences:", "");
        WriteECOLog("", "");
        gECOLog.headerLogged = true;
    }
    WriteECOLog(title, "");
    for (const std::string& line : lines) WriteECOLog("    ", line.c_str());
    WriteECOLog("", "");
    if (other) gECOLog.otherDifferences = true;
}

std::string GetOriginalRefDes(const DesignStateRecord* s, const ECOComponent& c) {
    return c.originalDesignator ? Text(s, c.originalDesignator) : RefDes(s, c.id);
}

std::string NetName(const DesignStateRecord* s, int32_t net) {
    return net >= 0 ? Text(s, s->nets[size_t(net)].name) : "";
}

std::string BestPartnerName(const DesignStateRecord* b, const ECONet& n) {
    return n.best >= 0 ? NetName(b, n.partners[size_t(n.best)].net) : "";
}

}  // namespace

void LogDeletedComponents(const DesignStateRecord* a) {
    std::vector<std::string> lines;
    for (size_t i = a->components.size(); i-- > 0;) {
        const ECOComponent& c = a->components[i];
        if (c.diffFlags & kECOCompDeleted) lines.push_back(AddStringPadding(GetOriginalRefDes(a, c)) + CompName(a, c.id));
    }
    Category("Deleted Components:", lines, true);
}

void LogRelabeledComponents(const DesignStateRecord* a) {
    std::vector<std::string> lines;
    for (size_t i = a->components.size(); i-- > 0;) {
        const ECOComponent& c = a->components[i];
        if (!(c.diffFlags & kECOCompRelabelled)) continue;
        const std::string was = GetOriginalRefDes(a, c), is = RefDes(a, c.id);
        if (was != is) lines.push_back(AddStringPadding(was) + "-->  " + is);
    }
    if (!lines.empty()) gECOLog.hasLabelChanges = true;
    Category("Annotation Changes:", lines, false);
}

void LogUpdatedComponents(const DesignStateRecord* a, const DesignStateRecord* b) {
    std::vector<std::string> lines;
    for (size_t i = b->components.size(); i-- > 0;) {
        const ECOComponent& c = b->components[i];
        if (!(c.diffFlags & (kECOCompNameDiffers | kECOCompFootprintDiffers))) continue;
        lines.push_back(AddStringPadding(RefDes(a, c.partnerId)) + CompName(b, c.id));
    }
    Category("Modified Components:", lines, true);
}

void LogAddedComponents(const DesignStateRecord* b) {
    std::vector<std::string> lines;
    for (size_t i = b->components.size(); i-- > 0;) {
        const ECOComponent& c = b->components[i];
        if (c.diffFlags & kECOCompAdded) lines.push_back(AddStringPadding(RefDes(b, c.id)) + CompName(b, c.id));
    }
    Category("Added Components:", lines, true);
}

void LogDeletedNets(const DesignStateRecord* a) {
    std::vector<std::string> lines;
    for (size_t i = a->nets.size(); i-- > 0;)
        if (a->nets[i].flags & kECONetDeleted) lines.push_back(Text(a, a->nets[i].name));
    Category("Deleted Signals:", lines, true);
}

void LogDetachedPins(const DesignStateRecord* a) {
    std::vector<std::string> lines;
    for (const ECONetMember& m : a->netMembers) {
        if (m.partner >= 0 || m.net < 0) continue;
        if (a->nets[size_t(m.net)].flags & (kECONetSameName | kECONetOtherName))
            lines.push_back(RefDes(a, m.compIndex) + "  pin  " + Text(a, m.pin));
    }
    Category("Disconnected Pins:", lines, true);
}

void LogRegroupedPins(const DesignStateRecord* a, const DesignStateRecord* b) {
    std::vector<std::string> lines;
    for (const ECONetMember& m : a->netMembers) {
        if (m.partner < 0 || m.net < 0) continue;
        const ECONet& n = a->nets[size_t(m.net)];
        if (!(n.flags & kECONetRegrouped) || n.best < 0) continue;
        const int32_t to = b->netMembers[size_t(m.partner)].net;
        if (to == n.partners[size_t(n.best)].net) continue;
        if (NetName(b, to) == Text(a, n.name)) continue;  // still on a signal of its name: no move
        lines.push_back(RefDes(a, m.compIndex) + "  pin  " + Text(a, m.pin) + "  from  " + Text(a, n.name) + "  to  " +
                        NetName(b, to));
    }
    Category("Pins connected to Different Signals:", lines, true);
}

void LogRenamedNets(const DesignStateRecord* a, const DesignStateRecord* b) {
    std::vector<std::string> lines;
    for (size_t i = a->nets.size(); i-- > 0;)
        if (a->nets[i].flags & kECONetRenamed)
            lines.push_back(AddStringPadding(Text(a, a->nets[i].name)) + "-->  " + BestPartnerName(b, a->nets[i]));
    Category("Renamed Signals:", lines, true);
}

void LogCombinedNets(const DesignStateRecord* a, const DesignStateRecord* b) {
    std::vector<std::string> lines;
    for (size_t i = a->nets.size(); i-- > 0;)
        if (a->nets[i].flags & kECONetMerged)
            lines.push_back(Text(a, a->nets[i].name) + "  into  " + BestPartnerName(b, a->nets[i]));
    Category("Merged Signals:", lines, true);
}

void LogAttachedPins(const DesignStateRecord* b) {
    std::vector<std::string> lines;
    for (const ECONetMember& m : b->netMembers)
        if (m.partner < 0)
            lines.push_back(AddStringPadding(NetName(b, m.net)) + RefDes(b, m.compIndex) + "  pin  " + Text(b, m.pin));
    Category("Added Pin Connections:", lines, false);
}

void LogAllDifferences(const DesignStateRecord* a, const DesignStateRecord* b) {
    gECOLog.headerLogged = gECOLog.otherDifferences = gECOLog.hasLabelChanges = false;
    LogDeletedComponents(a);
    LogRelabeledComponents(a);
    LogUpdatedComponents(a, b);
    LogAddedComponents(b);
    LogDeletedNets(a);
    LogDetachedPins(a);
    LogRegroupedPins(a, b);
    LogRenamedNets(a, b);
    LogCombinedNets(a, b);
    LogAttachedPins(b);
}

void CollectRelabels(const DesignStateRecord* a, WasIsList* list) {
    // In the order of the comparison: by the (old) designators, ignoring case.
    std::vector<int32_t> order = ListOrder(a->components.size());
    std::stable_sort(order.begin(), order.end(), [a](int32_t x, int32_t y) {
        return CaseCompare(GetOriginalRefDes(a, a->components[size_t(x)]), GetOriginalRefDes(a, a->components[size_t(y)])) < 0;
    });
    for (const int32_t i : order) {
        const ECOComponent& c = a->components[size_t(i)];
        if (!(c.diffFlags & kECOCompRelabelled)) continue;
        const std::string was = GetOriginalRefDes(a, c), is = RefDes(a, c.id);
        if (was != is) list->entries.emplace_back(was, is);
    }
}

}  // namespace plexa
