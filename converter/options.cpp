// The conversion options and their place in the user-defaults store.
#include "converter/options.h"

#include <cstdio>
#include <cstring>

#include "toolkit/vx_services.h"

namespace plexa {

StringSpec gAttrNamesMap[kAttrNamesMapCount];
StringBlock gAttrNamesMapStringBlock = nullptr;
uint8_t gConvertClassID = 0;
uint8_t gConvert96DPI = 1;
uint8_t gConvertShowRefDes = 1;
uint8_t gConvertShowName = 0;

namespace {

constexpr const char* kDefaultAttrNames[kAttrNamesMapCount] = {
    "Value", "User", "Spice", "U1", "U2", "U3", "U4", "U5", "U6", "U7", "U8", "U9", "ClassID",
};
constexpr int32_t kStringBlockRoom = 64;
constexpr int32_t kStoredNameBuffer = 256;
constexpr int32_t kOn = 2, kOff = 1;

struct Switch {
    const char* key;
    uint8_t* value;
};
const Switch kSwitches[] = {
    {"ConvertClassID", &gConvertClassID},
    {"ConvertDPI", &gConvert96DPI},
    {"ConvertShowRefDes", &gConvertShowRefDes},
    {"ConvertShowName", &gConvertShowName},
};

void MapKey(int32_t index, char (&key)[32]) {
    std::snprintf(key, sizeof key, "AttributeNameMap%d", int(index + 1));
}

}  // namespace

void SetDefaultConversionOptions() {
    if (!gAttrNamesMapStringBlock)
        gAttrNamesMapStringBlock = CreateStringBlock(nullptr, kStringBlockRoom);
    for (int32_t k = 0; k < kAttrNamesMapCount; ++k) {
        gAttrNamesMap[k] = 0;
        if (gAttrNamesMapStringBlock)
            gAttrNamesMap[k] =
                OverlayStringBlock(gAttrNamesMapStringBlock, kDefaultAttrNames[k], -1, nullptr);
    }
    gConvertClassID = 0;
    gConvert96DPI = 1;
    gConvertShowRefDes = 1;
    gConvertShowName = 0;
}

void LoadConversionOptions() {
    SetDefaultConversionOptions();
    for (int32_t k = 0; k < kAttrNamesMapCount; ++k) {
        char key[32];
        MapKey(k, key);
        char name[kStoredNameBuffer];
        VXGetStringValueForKey(key, name, int32_t(sizeof name));
        if (name[0]) SetMappedAttributeName(k, name);
    }
    for (const Switch& s : kSwitches) {
        const int32_t stored = VXGetIntValueForKey(s.key);
        if (stored != 0) *s.value = stored > kOff ? 1 : 0;
    }
}

void SaveConversionOptions() {
    for (int32_t k = 0; k < kAttrNamesMapCount; ++k) {
        char key[32];
        MapKey(k, key);
        const std::string name = GetMappedAttributeName(k);
        if (name.empty())
            VXRemoveEntryForKey(key, nullptr);
        else
            VXStoreStringValueForKey(key, name.c_str());
    }
    for (const Switch& s : kSwitches) VXStoreIntValueForKey(s.key, *s.value ? kOn : kOff);
}

std::string GetMappedAttributeName(int32_t index) {
    if (index < 0 || index >= kAttrNamesMapCount || !gAttrNamesMapStringBlock) return {};
    char name[kStringSpecBufferSize];
    ExtractStringSpec(gAttrNamesMap[index], gAttrNamesMapStringBlock, name, int32_t(sizeof name));
    return name;
}

bool SetMappedAttributeName(int32_t index, const char* name) {
    if (index < 0 || index >= kAttrNamesMapCount || !name || !name[0]) return false;
    if (!gAttrNamesMapStringBlock) SetDefaultConversionOptions();
    if (!gAttrNamesMapStringBlock) return false;
    const StringSpec spec = OverlayStringBlock(gAttrNamesMapStringBlock, name, -1, nullptr);
    if (spec == 0) return false;
    gAttrNamesMap[index] = spec;
    return true;
}

bool FixAttrNameString(char* text) {
    if (!text) return false;
    if (char* end = std::strchr(text, '\r')) *end = 0;
    for (char* c = text; *c; ++c) {
        if (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\v' || *c == '\f')
            *c = '_';
        else if (*c == '~')
            *c = '^';
    }
    return text[0] != 0;
}

}  // namespace plexa
