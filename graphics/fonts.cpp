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

struct FontTables {
    bool ready = false;
    DefaultFonts defaults{};
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

const DefaultFonts& GetDefaultFonts() { return Tables().defaults; }

void InitFontTables() {
    FontTables& t = Tables();
    if (t.ready) return;
    t.ready = true;
    for (std::string& name : TextFontFamilies()) {
        std::u16string text = TextDecodeUTF8(name);
        t.families.push_back({std::move(name), std::move(text)});
    }
    const TextPlatformFonts p = TextGetPlatformFonts();
    t.defaults.smallSystemSize = ToSize(p.smallSystemSize);
    t.defaults.systemSize = ToSize(p.systemSize);
    t.defaults.userSize = ToSize(p.userSize);
    t.defaults.userFamily = InternFontName(p.userFamily);
    t.defaults.fixedFamily = InternFontName(p.fixedFamily);
    t.defaults.systemFamily = InternFontName(p.systemFamily);
}

int32_t VXCountFonts() { return int32_t(Tables().families.size()); }

const std::u16string* VXGetIndexedFont(int32_t index, char* name) {
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
    const std::vector<Family>& families = Tables().families;
    for (size_t i = 0; i < families.size(); i++)
        if (TextNamesEqualIgnoringCase(families[i].name, wanted)) return int32_t(i);
    return -1;
}

}  // namespace plexa
