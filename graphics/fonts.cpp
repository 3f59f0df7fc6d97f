// Font names and families for text styles.
#include "graphics/fonts.h"

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "foundation/strings.h"
#include "platform/text_layout.h"

namespace plexa {

namespace {

constexpr size_t kMaxFontName = 255;

struct NameTable {
    std::vector<std::string> names;  // reference r is names[r - 1]
    std::unordered_map<std::string, uint32_t> refs;
};

// Never destroyed: references stay valid to the end of the run.
NameTable& Names() {
    static NameTable* table = new NameTable;
    return *table;
}

struct Family {
    std::string name;
    std::u16string text;
};

// The default families have references of their own from the start, before their names are
// known: the platform is asked for the names (which loads its fonts) only when a name is needed,
// or when a default is compared with another font. A default whose name was interned before it
// was asked for stands for that earlier reference (`same`), so fonts still compare as equal names
// do.
struct DefaultSlot {
    uint32_t ref = 0;
    uint32_t same = 0;  // the reference of its name once known (0: the empty name)
};

struct FontTables {
    bool sized = false;     // sizes read and the default references made
    bool named = false;     // default families asked for
    bool listed = false;    // installed families read
    DefaultFonts defaults{};
    DefaultSlot slots[3];  // user, fixed, system
    std::vector<Family> families;
};

FontTables& Tables() {
    static FontTables* tables = new FontTables;
    return *tables;
}

// The user interface font types, by number.
constexpr UIFontType kUIFontTypes[kUIFontTypeCount] = {
    {"user", UIFontRole::kUser, 12, false},
    {"user fixed pitch", UIFontRole::kFixed, 10, false},
    {"system", UIFontRole::kSystem, 13, false},
    {"emphasized system", UIFontRole::kSystem, 13, true},
    {"small system", UIFontRole::kSystem, 11, false},
    {"small emphasized system", UIFontRole::kSystem, 11, true},
    {"mini system", UIFontRole::kSystem, 9, false},
    {"mini emphasized system", UIFontRole::kSystem, 9, true},
    {"views", UIFontRole::kUser, 12, false},
    {"application", UIFontRole::kUser, 13, false},
    {"label", UIFontRole::kSystem, 10, false},
    {"menu title", UIFontRole::kSystem, 14, false},
    {"menu item", UIFontRole::kSystem, 14, false},
    {"menu item mark", UIFontRole::kSystem, 14, false},
    {"menu item command key", UIFontRole::kSystem, 14, false},
    {"window title", UIFontRole::kSystem, 13, false},
    {"push button", UIFontRole::kSystem, 13, false},
    {"utility window title", UIFontRole::kSystem, 11, false},
    {"alert header", UIFontRole::kSystem, 13, true},
    {"system detail", UIFontRole::kSystem, 12, false},
    {"emphasized system detail", UIFontRole::kSystem, 12, true},
    {"toolbar", UIFontRole::kSystem, 11, false},
    {"small toolbar", UIFontRole::kSystem, 10, false},
    {"message", UIFontRole::kSystem, 13, false},
    {"palette", UIFontRole::kSystem, 11, false},
    {"tool tip", UIFontRole::kSystem, 11, false},
    {"control content", UIFontRole::kSystem, 13, false},
};

uint16_t ToSize(double points) {
    if (!(points >= 1)) return 1;
    return points > 65535 ? 65535 : uint16_t(std::lround(points));
}

// The name cut to at most 255 bytes at a character boundary.
std::string CutName(std::string_view name) {
    std::string cut(name);
    if (cut.size() > kMaxFontName) {
        TruncateUTF8ForByteSize(cut.data(), int32_t(kMaxFontName + 1));
        cut.resize(std::strlen(cut.c_str()));
    }
    return cut;
}

// A reference whose name is filled in later.
uint32_t ReserveName() {
    NameTable& t = Names();
    t.names.emplace_back();
    return uint32_t(t.names.size());
}

FontTables& SizedTables() {
    FontTables& t = Tables();
    if (t.sized) return t;
    const TextPlatformFontSizes p = TextGetPlatformFontSizes();
    if (!p.known) return t;  // all 0 until the platform's application is made
    t.sized = true;
    t.defaults.smallSystemSize = ToSize(p.smallSystemSize);
    t.defaults.systemSize = ToSize(p.systemSize);
    t.defaults.userSize = ToSize(p.userSize);
    for (DefaultSlot& slot : t.slots) slot.ref = ReserveName();
    t.defaults.userFamily = t.slots[0].ref;
    t.defaults.fixedFamily = t.slots[1].ref;
    t.defaults.systemFamily = t.slots[2].ref;
    return t;
}

const DefaultSlot* SlotOf(uint32_t ref) {
    const FontTables& t = Tables();
    if (ref == 0 || !t.sized) return nullptr;
    for (const DefaultSlot& slot : t.slots)
        if (slot.ref == ref) return &slot;
    return nullptr;
}

void NameDefaults() {
    FontTables& t = SizedTables();
    if (t.named || !t.sized) return;
    t.named = true;
    const TextPlatformFonts p = TextGetPlatformFonts();
    const std::string* names[3] = {&p.userFamily, &p.fixedFamily, &p.systemFamily};
    NameTable& n = Names();
    for (size_t i = 0; i < 3; i++) {
        DefaultSlot& slot = t.slots[i];
        std::string key = CutName(*names[i]);
        n.names[slot.ref - 1] = key;
        if (key.empty()) {
            slot.same = 0;
            continue;
        }
        const auto it = n.refs.find(key);
        if (it != n.refs.end()) {
            slot.same = it->second;
        } else {
            slot.same = slot.ref;
            n.refs.emplace(std::move(key), slot.ref);
        }
    }
}

// The reference a default stands for; any other reference is its own.
uint32_t Canonical(uint32_t ref) {
    const DefaultSlot* slot = SlotOf(ref);
    return slot ? slot->same : ref;
}

void ListFamilies() {
    FontTables& t = SizedTables();
    if (t.listed || !t.sized) return;  // none before the platform's application is made
    t.listed = true;
    for (std::string& name : TextFontFamilies()) {
        std::u16string text = TextDecodeUTF8(name);
        t.families.push_back({std::move(name), std::move(text)});
    }
}

}  // namespace

uint32_t InternFontName(std::string_view name) {
    if (name.empty()) return 0;
    NameTable& t = Names();
    std::string key = CutName(name);
    const auto it = t.refs.find(key);
    if (it != t.refs.end()) return it->second;
    t.names.push_back(key);
    const uint32_t ref = uint32_t(t.names.size());
    t.refs.emplace(std::move(key), ref);
    return ref;
}

std::string_view FontNameOf(uint32_t ref) {
    if (SlotOf(ref)) NameDefaults();
    const NameTable& t = Names();
    return ref >= 1 && ref <= t.names.size() ? std::string_view(t.names[ref - 1]) : std::string_view();
}

const UIFontType* GetUIFontType(int32_t type) {
    return type >= 0 && type < kUIFontTypeCount ? &kUIFontTypes[type] : nullptr;
}

int32_t UIFontTypeOfName(std::string_view name) {
    if (name.substr(0, kUIFontPrefix.size()) != kUIFontPrefix) return -1;
    int64_t value = 0;
    for (size_t i = kUIFontPrefix.size(); i < name.size() && name[i] >= '0' && name[i] <= '9'; i++)
        value = std::min<int64_t>(value * 10 + (name[i] - '0'), 0x7FFFFFFF);
    return int32_t(value);
}

uint16_t UIFontDefaultSize(int32_t type) {
    const UIFontType* t = GetUIFontType(type);
    if (!t) return 0;
    const DefaultFonts& d = GetDefaultFonts();
    const double system = d.systemSize ? d.systemSize : 13;
    return ToSize(t->size * system / 13.0);
}

TextFont* CreateUIFont(int32_t type, uint16_t size, bool italic) {
    const UIFontType* t = GetUIFontType(type);
    if (!t) return nullptr;
    const DefaultFonts& d = GetDefaultFonts();
    const uint32_t family = t->role == UIFontRole::kFixed  ? d.fixedFamily
                            : t->role == UIFontRole::kUser ? d.userFamily
                                                           : d.systemFamily;
    return TextFontCreate(FontNameOf(family), size ? size : UIFontDefaultSize(type), t->bold, italic);
}

bool SameFontName(uint32_t a, uint32_t b) {
    if (a == b) return true;
    if (!SlotOf(a) && !SlotOf(b)) return false;  // interned names differ by reference
    NameDefaults();
    return Canonical(a) == Canonical(b);
}

const DefaultFonts& GetDefaultFonts() { return SizedTables().defaults; }

void InitFontTables() {
    ListFamilies();
    NameDefaults();
}

int32_t VXCountFonts() {
    ListFamilies();
    return int32_t(Tables().families.size());
}

const std::u16string* VXGetIndexedFont(int32_t index, char* name) {
    ListFamilies();
    const std::vector<Family>& families = Tables().families;
    const bool inRange = index >= 0 && size_t(index) < families.size();
    if (name) {
        const std::string cut = inRange ? CutName(families[size_t(index)].name) : std::string();
        std::memcpy(name, cut.c_str(), cut.size() + 1);
    }
    return inRange ? &families[size_t(index)].text : nullptr;
}

int32_t VXGetFontIndexFromName(const char* name, const std::u16string* string) {
    std::string wanted;
    if (string) {
        wanted.resize(GetCFStringByteSize(*string, kEncodingUTF8));
        ExtractCFStringTo(*string, wanted.data(), uint32_t(wanted.size()), kEncodingUTF8);
        wanted.resize(std::strlen(wanted.c_str()));
    } else if (name) {
        wanted = name;
    } else {
        return -1;
    }
    ListFamilies();
    const std::vector<Family>& families = Tables().families;
    for (size_t i = 0; i < families.size(); i++)
        if (TextNamesEqualIgnoringCase(families[i].name, wanted)) return int32_t(i);
    return -1;
}

int32_t VXGetFontIndexFromName(const std::u16string* string, const char* name) {
    return VXGetFontIndexFromName(name, string);
}

}  // namespace plexa
