// A display list as text, one line a record, for tools and tests. Points print as (v,h) and
// rectangles as (top,left,bottom,right), in the list's own coordinates; multi-byte fields are
// read in the list's order. The dump stops at the end record, at a header it cannot read, or
// at the first record that does not fit the list.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/bytes.h"
#include "graphics/displaylist.h"

namespace plexa {
namespace {

void Appendf(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Appendf(std::string* out, const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    *out += buffer;
}

void AppendPoint(std::string* out, const uint8_t* p, bool swap) {
    Appendf(out, " (%d,%d)", int16_t(GetNative16(p, swap)), int16_t(GetNative16(p + 2, swap)));
}

// Text bytes quoted, with quotes, backslashes and control bytes escaped.
void AppendQuoted(std::string* out, const uint8_t* text, int32_t length) {
    *out += " \"";
    for (int32_t i = 0; i < length; ++i) {
        const uint8_t c = text[i];
        if (c == '"' || c == '\\') *out += '\\', *out += char(c);
        else if (c < 0x20 || c == 0x7F) Appendf(out, "\\x%02X", c);
        else *out += char(c);
    }
    *out += '"';
}

void AppendHex(std::string* out, const uint8_t* data, int32_t length) {
    const int32_t shown = length < 16 ? length : 16;
    for (int32_t i = 0; i < shown; ++i) Appendf(out, " %02X", data[i]);
    if (shown < length) *out += " ...";
}

void DescribeRecord(std::string* out, uint8_t opcode, uint8_t parameter, const uint8_t* payload,
                    bool swap) {
    const bool hasWord = (opcode & 0x0F) == 6 && parameter == 0;
    const uint16_t word = hasWord ? GetNative16(payload, swap) : parameter;
    const uint8_t* data = payload + (hasWord ? 2 : 0);
    switch (opcode) {
        case 0x00: *out += "end"; return;
        case 0x03:
            *out += GetNative16(payload, false) == kDLMark ? "header origin"
                                                      : "header (other byte order) origin";
            AppendPoint(out, payload + 2, swap);
            return;
        case 0x30: *out += parameter == 1 ? "encoding UTF-8" : "encoding Mac Roman"; return;
        case 0x10: Appendf(out, "draw mode %u", parameter); return;
        case 0x20: Appendf(out, "text mode %u", parameter); return;
        case 0x80: *out += "pattern"; AppendHex(out, payload, 8); return;
        case 0x01: Appendf(out, "fore colour %08X", GetNative32(payload, swap)); return;
        case 0x11: Appendf(out, "back colour %08X", GetNative32(payload, swap)); return;
        case 0x02: *out += "move to"; AppendPoint(out, payload, swap); return;
        case 0x12: *out += "line to"; AppendPoint(out, payload, swap); return;
        case 0x22:
            Appendf(out, "round line width %u to", parameter);
            AppendPoint(out, payload, swap);
            return;
        case 0x08:
        case 0x18:
        case 0x38:
            *out += opcode == 0x08 ? "move by" : opcode == 0x18 ? "line by" : "round line by";
            if (opcode == 0x38) Appendf(out, " width %u", parameter);
            Appendf(out, " (%d,%d)", int8_t(payload[0]), int8_t(payload[1]));
            return;
        case 0x13:
            *out += "font";
            AppendQuoted(out, payload, int32_t(strnlen(reinterpret_cast<const char*>(payload),
                                                       parameter)));
            return;
        case 0x16: Appendf(out, "text size %u", word); return;
        case 0x06: Appendf(out, "pen width %u", word); return;
        case 0x28: Appendf(out, "face %04X", GetNative16(payload, swap)); return;
        case 0x04: {
            const uint16_t count = GetNative16(payload, swap);
            Appendf(out, "polygon verb %u count %u:", parameter, count);
            for (uint32_t i = 0; i < count; ++i) AppendPoint(out, payload + 2 + 4 * i, swap);
            return;
        }
        case 0x86: *out += "text at pen"; AppendQuoted(out, data, word); return;
        case 0x96:
            *out += "text at";
            AppendPoint(out, data, swap);
            AppendQuoted(out, data + 4, word - 4);
            return;
        case 0xA6:
            Appendf(out, "text after (%d,%d)", int8_t(data[0]), int8_t(data[1]));
            AppendQuoted(out, data + 2, word - 2);
            return;
        default: break;
    }
    if ((opcode & 0x0F) == 5) {
        Rect r;
        const int32_t n =
            DecodeRectangleOp(const_cast<uint8_t*>(payload), parameter, swap, false, &r);
        const char* name = nullptr;
        switch (opcode) {
            case 0x05: name = "rect"; break;
            case 0x15: name = "oval"; break;
            case 0x85: name = "round rect"; break;
            case 0x95: name = "arc"; break;
            default: break;
        }
        if (!name) {
            Appendf(out, "unknown shape %02X", opcode);
            return;
        }
        Appendf(out, "%s verb %u (%d,%d,%d,%d)", name, parameter & 0x0F, r.top, r.left, r.bottom,
                r.right);
        if (opcode & 0x80)
            Appendf(out, " %s %d %d", opcode == 0x85 ? "oval" : "angles",
                    int16_t(GetNative16(payload + n, swap)), int16_t(GetNative16(payload + n + 2, swap)));
        return;
    }
    int32_t length = -1;
    const uint8_t* comment = data;
    switch (opcode) {
        case 0x26: length = 0; break;
        case 0x36: length = 2; break;
        case 0x46: length = 4; break;
        case 0x56: length = GetNative16(data, swap), comment = data + 2; break;
        case 0x66: length = int32_t(GetNative32(data, swap)), comment = data + 4; break;
        default: break;
    }
    if (length >= 0) {
        Appendf(out, "comment kind %d length %d", int16_t(word), length);
        if (length) *out += ":";
        AppendHex(out, comment, length);
        return;
    }
    *out += "skipped";
}

}  // namespace

std::string DLDumpDisplayList(const uint8_t* bytes, uint32_t size) {
    std::string out;
    bool swap = false;
    uint32_t pos = 0;
    while (bytes) {
        if (size - pos < 2) {
            Appendf(&out, "%06X  missing end record\n", pos);
            break;
        }
        const uint8_t opcode = bytes[pos], parameter = bytes[pos + 1];
        const uint8_t* payload = bytes + pos + 2;
        const int32_t n = DLPayloadSize(opcode, parameter, payload, size - pos - 2, swap);
        Appendf(&out, "%06X  %02X %02X  ", pos, opcode, parameter);
        if (n < 0) {
            Appendf(&out, "corrupt record (%u bytes left)\n", size - pos - 2);
            break;
        }
        if (opcode == 0x03) {
            const uint16_t mark = GetNative16(payload, false);
            if (mark != kDLMark && mark != kDLSwappedMark) {
                Appendf(&out, "header with unknown mark %04X\n", mark);
                break;
            }
            swap = mark == kDLSwappedMark;
        }
        DescribeRecord(&out, opcode, parameter, payload, swap);
        out += '\n';
        if (opcode == 0x00) break;
        pos += 2 + uint32_t(n);
    }
    return out;
}

}  // namespace plexa
