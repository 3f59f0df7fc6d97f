// The index of a signal list; see signalindex.h.
#include "model/signalindex.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "foundation/ll.h"
#include "model/signals.h"

namespace plexa {

namespace {

constexpr int32_t kMinNameCapacity = 16384;

template <class T>
void EraseOne(std::vector<T>& v, const T& value) {
    auto found = std::find(v.begin(), v.end(), value);
    if (found == v.end()) return;
    *found = v.back();
    v.pop_back();
}

struct Member {
    std::vector<uint32_t> serials;  // distinct pin serials
    int32_t number = -1;            // generated-name number, when the names are known
    bool nameDirty = true;
    SignalHandle previous = nullptr;  // predecessor hint
};

class SignalIndex {
public:
    explicit SignalIndex(LinkListHeader* list) : list_(list) {}

    // Brings the index in step with the list, rebuilding it when the list changed behind it.
    void Sync() {
        if (built_ && version_ == list_->version) return;
        Build();
    }
    bool InStep() const { return built_ && version_ == list_->version; }

    void Build();
    // Drops every member (without looking at the signals, which may be gone).
    void Clear() {
        std::vector<SignalHandle> held;
        for (const auto& [s, m] : members_) held.push_back(s);
        for (SignalHandle s : held) Remove(s);
        built_ = false;
    }
    void Add(SignalHandle s, SignalHandle previous);
    void Remove(SignalHandle s);
    void Update(SignalHandle s, uint32_t what);
    void AcceptVersion() { version_ = list_->version; }
    const std::unordered_map<SignalHandle, Member>& Members() const { return members_; }
    Member* Find(SignalHandle s) {
        auto found = members_.find(s);
        return found == members_.end() ? nullptr : &found->second;
    }

    void WithSerial(uint32_t serial, std::vector<SignalHandle>* out) const;
    int32_t LowestUnused(StringBlock block, const char* prefix, const std::vector<int32_t>& also);

private:
    void PlaceSerials(SignalHandle s, Member& m);
    void ClearSerials(SignalHandle s, Member& m);
    void SetNumber(Member& m, int32_t number);
    void GrowNameBits(int32_t needed);

    LinkListHeader* list_;
    bool built_ = false;
    uint32_t version_ = 0;
    std::unordered_map<SignalHandle, Member> members_;
    std::unordered_map<uint32_t, std::vector<SignalHandle>> serials_;
    // Names: the block and prefix the numbers were taken with, how many names use each number,
    // and a bit per number below the capacity that is set while some name uses it.
    StringBlock nameBlock_ = nullptr;
    std::string namePrefix_;
    bool namesKnown_ = false;
    std::unordered_map<int32_t, int32_t> numberCounts_;
    std::vector<uint64_t> nameBits_;
    std::vector<SignalHandle> dirtyNames_;
};

// Which index holds a signal.
std::unordered_map<SignalHandle, SignalIndex*>& Registry() {
    static auto* registry = new std::unordered_map<SignalHandle, SignalIndex*>();
    return *registry;
}

SignalIndex* IndexOf(LinkListHeader* list, bool make) {
    if (!list || LLGetFreeProc(list) != FreeSignalRecord) return nullptr;
    auto* index = static_cast<SignalIndex*>(list->owner);
    if (!index && make) {
        index = new SignalIndex(list);
        list->owner = index;
    }
    return index;
}

void SignalIndex::Build() {
    for (auto& [s, m] : members_) {
        auto held = Registry().find(s);
        if (held != Registry().end() && held->second == this) Registry().erase(held);
    }
    members_.clear();
    serials_.clear();
    numberCounts_.clear();
    std::fill(nameBits_.begin(), nameBits_.end(), 0);
    dirtyNames_.clear();
    SignalHandle previous = nullptr;
    for (auto s = static_cast<SignalHandle>(LLFirst(list_)); s;
         s = static_cast<SignalHandle>(LLGetNext(list_, s))) {
        Add(s, previous);
        previous = s;
    }
    built_ = true;
    version_ = list_->version;
}

void SignalIndex::Add(SignalHandle s, SignalHandle previous) {
    auto& registry = Registry();
    auto held = registry.find(s);
    if (held != registry.end() && held->second != this) held->second->Remove(s);
    registry[s] = this;
    Member& m = members_[s];
    m = Member{};
    m.previous = previous;
    PlaceSerials(s, m);
    dirtyNames_.push_back(s);
}

void SignalIndex::Remove(SignalHandle s) {
    auto found = members_.find(s);
    if (found == members_.end()) return;
    Member& m = found->second;
    ClearSerials(s, m);
    SetNumber(m, -1);
    members_.erase(found);
    auto held = Registry().find(s);
    if (held != Registry().end() && held->second == this) Registry().erase(held);
}

void SignalIndex::Update(SignalHandle s, uint32_t what) {
    Member* m = Find(s);
    if (!m) return;
    if (what & kSignalChangedPins) {
        ClearSerials(s, *m);
        PlaceSerials(s, *m);
    }
    if ((what & kSignalChangedName) && !m->nameDirty) {
        m->nameDirty = true;
        dirtyNames_.push_back(s);
    }
}

void SignalIndex::PlaceSerials(SignalHandle s, Member& m) {
    m.serials.clear();
    for (int32_t i = 0; i < (*s)->pinCount; ++i) {
        const uint32_t serial = SignalPins(s)[i].serial;
        if (std::find(m.serials.begin(), m.serials.end(), serial) != m.serials.end()) continue;
        m.serials.push_back(serial);
        serials_[serial].push_back(s);
    }
}

void SignalIndex::ClearSerials(SignalHandle s, Member& m) {
    for (uint32_t serial : m.serials) {
        auto found = serials_.find(serial);
        if (found == serials_.end()) continue;
        EraseOne(found->second, s);
        if (found->second.empty()) serials_.erase(found);
    }
    m.serials.clear();
}

void SignalIndex::GrowNameBits(int32_t needed) {
    const size_t words = size_t(std::max(needed, kMinNameCapacity) + 63) / 64;
    if (words <= nameBits_.size()) return;
    nameBits_.assign(words * 2, 0);
    const int64_t capacity = int64_t(nameBits_.size()) * 64;
    for (const auto& [number, count] : numberCounts_)
        if (count > 0 && number < capacity) nameBits_[size_t(number) / 64] |= 1ull << (number % 64);
}

void SignalIndex::SetNumber(Member& m, int32_t number) {
    const int64_t capacity = int64_t(nameBits_.size()) * 64;
    if (m.number >= 0) {
        auto found = numberCounts_.find(m.number);
        if (found != numberCounts_.end() && --found->second == 0) {
            numberCounts_.erase(found);
            if (m.number < capacity) nameBits_[size_t(m.number) / 64] &= ~(1ull << (m.number % 64));
        }
    }
    m.number = number;
    if (number >= 0) {
        ++numberCounts_[number];
        if (number < capacity) nameBits_[size_t(number) / 64] |= 1ull << (number % 64);
    }
}

int32_t SignalIndex::LowestUnused(StringBlock block, const char* prefix,
                                  const std::vector<int32_t>& also) {
    if (!namesKnown_ || block != nameBlock_ || namePrefix_ != prefix) {
        nameBlock_ = block;
        namePrefix_ = prefix;
        namesKnown_ = true;
        dirtyNames_.clear();
        for (auto& [s, m] : members_) {
            m.nameDirty = true;
            dirtyNames_.push_back(s);
        }
    }
    GrowNameBits(int32_t(members_.size() + also.size()) + 2);
    char name[kStringSpecBufferSize];
    for (SignalHandle s : dirtyNames_) {
        Member* m = Find(s);
        if (!m || !m->nameDirty) continue;
        m->nameDirty = false;
        int32_t number = -1;
        if ((*s)->name) {
            ExtractStringSpec((*s)->name, block, name, sizeof name);
            number = IsPrefixedString(name, prefix, false, nullptr);
        }
        SetNumber(*m, number);
    }
    dirtyNames_.clear();
    std::vector<int32_t> extra(also);
    std::sort(extra.begin(), extra.end());
    for (size_t w = 0; w < nameBits_.size(); ++w) {
        uint64_t free = ~nameBits_[w];
        if (w == 0) free &= ~1ull;  // number 0 is never given
        while (free) {
            const int32_t n = int32_t(w * 64) + __builtin_ctzll(free);
            if (!std::binary_search(extra.begin(), extra.end(), n)) return n;
            free &= free - 1;
        }
    }
    return int32_t(nameBits_.size() * 64);
}

void SignalIndex::WithSerial(uint32_t serial, std::vector<SignalHandle>* out) const {
    out->clear();
    auto found = serials_.find(serial);
    if (found != serials_.end()) *out = found->second;
}

}  // namespace

void NoteSignalChange(SignalHandle signal, uint32_t what) {
    auto& registry = Registry();
    auto found = registry.find(signal);
    if (found != registry.end()) found->second->Update(signal, what);
}

void ForgetSignal(SignalHandle signal) {
    auto& registry = Registry();
    auto found = registry.find(signal);
    if (found != registry.end()) found->second->Remove(signal);
}

void DestroySignalIndex(LinkListHeader* list) {
    SignalIndex* index = IndexOf(list, false);
    if (!index) return;
    index->Clear();
    delete index;
    list->owner = nullptr;
}

void SignalListPush(LinkListHeader* list, SignalHandle signal) {
    SignalIndex* index = IndexOf(list, false);
    const bool inStep = index && index->InStep();
    auto oldFirst = static_cast<SignalHandle>(LLFirst(list));
    LLPush(list, signal);
    if (!inStep) return;
    index->Add(signal, nullptr);
    if (Member* m = oldFirst ? index->Find(oldFirst) : nullptr) m->previous = signal;
    index->AcceptVersion();
}

bool SignalListRemove(LinkListHeader* list, SignalHandle signal) {
    SignalIndex* index = IndexOf(list, false);
    const bool inStep = index && index->InStep();
    SignalHandle previous = nullptr;
    bool hinted = false;
    if (inStep) {
        if (Member* m = index->Find(signal)) {
            previous = m->previous;
            hinted = previous ? LLGetNext(list, previous) == signal : LLFirst(list) == signal;
        }
    }
    auto next = static_cast<SignalHandle>(LLGetNext(list, signal));
    // A checked hint makes the unlinking find the signal at once.
    const bool removed = LLRemoveOrFree(list, signal, hinted ? previous : nullptr, false);
    if (!removed || !inStep || !hinted) return removed;
    index->Remove(signal);
    if (Member* m = next ? index->Find(next) : nullptr) m->previous = previous;
    index->AcceptVersion();
    return true;
}

bool SignalsWithSerial(LinkListHeader* list, uint32_t serial, std::vector<SignalHandle>* out) {
    SignalIndex* index = IndexOf(list, true);
    if (!index) return false;
    index->Sync();
    index->WithSerial(serial, out);
    return true;
}

int32_t LowestUnusedNameNumber(LinkListHeader* list, StringBlock block, const char* prefix,
                               const std::vector<int32_t>& alsoUsed) {
    SignalIndex* index = IndexOf(list, true);
    if (!index) return -1;
    index->Sync();
    return index->LowestUnused(block, prefix ? prefix : "", alsoUsed);
}

bool SignalIndexInStep(LinkListHeader* list) {
    SignalIndex* index = IndexOf(list, false);
    return index && index->InStep();
}

bool CheckSignalIndex(LinkListHeader* list) {
    SignalIndex* index = IndexOf(list, false);
    if (!index || !index->InStep()) return true;
    // Every member is in the list at the place its hint says, and nothing else is indexed.
    std::unordered_set<SignalHandle> inList;
    SignalHandle previous = nullptr;
    for (auto s = static_cast<SignalHandle>(LLFirst(list)); s;
         s = static_cast<SignalHandle>(LLGetNext(list, s))) {
        inList.insert(s);
        const Member* m = index->Find(s);
        if (!m || m->previous != previous) return false;
        std::vector<uint32_t> serials;
        for (int32_t i = 0; i < (*s)->pinCount; ++i)
            if (std::find(serials.begin(), serials.end(), SignalPins(s)[i].serial) == serials.end())
                serials.push_back(SignalPins(s)[i].serial);
        std::vector<uint32_t> held = m->serials;
        std::sort(serials.begin(), serials.end());
        std::sort(held.begin(), held.end());
        if (serials != held) return false;
        previous = s;
    }
    if (inList.size() != index->Members().size()) return false;
    for (const auto& [s, m] : index->Members()) {
        if (!inList.count(s) || Registry()[s] != index) return false;
    }
    return true;
}

}  // namespace plexa
