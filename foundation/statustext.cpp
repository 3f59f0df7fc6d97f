// The messages of status codes (see statustext.h).
#include "foundation/statustext.h"

#include "foundation/localized.h"

namespace plexa {

namespace {

struct ErrorString {
    OSStatus code;
    int16_t number;
};

// Status codes with a message: the number of the message in string table 8000.
constexpr ErrorString kErrorStrings[] = {
    {-35, 1},          {-54, 2},          {-39, 3},          {-40, 4},          {-120, 5},
    {-43, 6},          {-48, 7},          {-38, 8},          {-49, 9},          {-47, 10},
    {-34, 11},         {-50, 12},         {-108, 13},        {0x20002710, 14},  {0x20002711, 15},
    {0x20002712, 16},  {0x20002713, 17},  {0x20002714, 18},  {0x20002716, 19},  {0x20002AF8, 20},
    {0x20002B5C, 21},  {0x20002C24, 22},  {0x20002C25, 23},  {-30870, 24},      {-46, 41},
    {0x20002717, 42},  {0x20002718, 43},  {0x20002719, 44},  {0x2000271A, 45},
};
constexpr OSStatus kFirstNetworkCode = 0x20002C88;  // to 0x20002C97: strings 25 to 40

}  // namespace

int16_t ErrorStringNumber(OSStatus code) {
    if (code >= kFirstNetworkCode && code <= kFirstNetworkCode + 15)
        return int16_t(25 + (code - kFirstNetworkCode));
    for (const ErrorString& entry : kErrorStrings)
        if (entry.code == code) return entry.number;
    return 0;
}

char* GetStatusMessage(OSStatus code, char* buffer, uint32_t size) {
    if (!buffer || size == 0 || code == 0 || code == -128) return nullptr;
    buffer[0] = 0;
    const int16_t number = ErrorStringNumber(code);
    if (!number) return nullptr;
    VXLoadStringEx(kErrorStringTable, number, buffer, size);
    return buffer[0] ? buffer : nullptr;
}

std::string DescribeStatus(OSStatus code) {
    char text[256];
    if (GetStatusMessage(code, text, sizeof text)) return text;
    return "error " + std::to_string(code < 1 ? int32_t(code) : (code & 0x1FFFFFF));
}

std::string StatusReportText(OSStatus code, const char* message) {
    if (message && *message) return std::string("Error:  ") + message;
    return "Error:  #" + std::to_string(code < 1 ? int32_t(code) : (code & 0x1FFFFFF));
}

}  // namespace plexa
