// The text dump of a version-3.6 sheet as read: one line per record, strings resolved through the
// labels, references shown with what they name. Nothing in it depends on the byte order the file
// was written in, except the leader's line.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "converter/v36sheet.h"
#include "foundation/da.h"
#include "graphics/pixels.h"
#include "model/imagelist.h"

namespace plexa {
namespace {

void Add(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
}

// Bytes as a quoted string: printable ASCII as it is, anything else as \xNN.
std::string Quoted(const void* bytes, uint32_t length) {
    std::string text = "\"";
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    for (uint32_t i = 0; i < length; ++i) {
        if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '"' && p[i] != '\\') {
            text += char(p[i]);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", p[i]);
            text += escaped;
        }
    }
    return text + "\"";
}

std::string Counted(const uint8_t* counted, uint32_t capacity) {
    if (!counted) return "\"\"";
    const uint32_t length = counted[0] < capacity ? counted[0] : capacity - 1;
    return Quoted(counted + 1, length);
}

std::string Label(const V36Sheet* sheet, StringSpec spec) {
    char text[kStringSpecBufferSize];
    const int16_t length = ExtractStringSpec(spec, sheet->labels, text, sizeof text);
    return Quoted(text, uint32_t(length));
}

std::string Code(FourCharCode code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += char((code >> shift) & 0xFF);
    return Quoted(text.data(), 4);
}

std::string RectText(const Rect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%d,%d,%d,%d)", r.top, r.left, r.bottom, r.right);
    return text;
}

std::string PointText(Point p) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d,%d)", p.v, p.h);
    return text;
}

std::string SymbolRef(const V36Sheet* sheet, uint16_t number) {
    const int32_t index = FindV36Symbol(sheet, number);
    char text[48];
    if (index < 0)
        std::snprintf(text, sizeof text, "%u (none)", number);
    else
        std::snprintf(text, sizeof text, "%u (#%d)", number, index);
    return text;
}

void Elements(std::string& out, const V36Sheet* sheet, const V36ElementList& list,
              const char* indent) {
    for (uint32_t i = 0; i < list.count; ++i) {
        const V36Element& e = list.items[i];
        const V36ElementHead& h = e.head;
        Add(out, "%selement %u: kind %u flags %02X %02X bounds %s pen %u frame %08X fill %08X",
            indent, i, h.kind, h.flagsA, h.flagsB, RectText(h.bounds).c_str(), h.penWidth,
            h.frameColor, h.fillColor);
        switch (h.kind) {
            case kV36Poly:
                Add(out, " points");
                for (uint32_t p = 0; p < e.pointCount; ++p) Add(out, " %s", PointText(e.points[p]).c_str());
                break;
            case kV36Node:
                Add(out, " node %d value %d pin flags %04X type %u", int(h.penWidth) - 1,
                    int16_t(e.data[1]), e.data[2], TranslatePinType(int16_t(e.data[2])));
                break;
            case kV36Image:
                Add(out, " image %u %s size %d x %d", e.data[1],
                    GetImageFromImageList(sheet->images, e.data[1], false) ? "(present)" : "(none)",
                    int16_t(e.data[2]), int16_t(e.data[3]));
                break;
            default:
                Add(out, " data %d %d", int16_t(e.data[1]), int16_t(e.data[2]));
                break;
        }
        out += "\n";
    }
}

}  // namespace

std::string FormatV36Sheet(const V36Sheet* sheet) {
    std::string out;
    if (!sheet) return out;
    const V36SheetStart& start = sheet->start;
    Add(out, "leader type %s version %u platform %s %s, %u bytes\n",
        Code(start.leader.type).c_str(), start.leader.version, Code(start.leader.platform).c_str(),
        start.leader.bigEndian ? "big-endian" : "little-endian", start.leader.length);
    Add(out, "header version %u settings at %u\n", start.header.version,
        start.header.settingsPosition);
    const V36Settings& s = start.settings;
    Add(out, "settings symbols %u x %u at %u; texts %u x %u at %u; nets %u x %u, nodes %u, links %u "
        "at %u; busses %u x %u, members %u at %u\n",
        s.symbolCount, s.symbolSize, s.symbolPosition, s.textCount, s.textSize, s.textPosition,
        s.netCount, s.netSize, s.nodeSize, s.linkSize, s.netPosition, s.busCount, s.busSize,
        s.memberSize, s.busPosition);
    Add(out, "settings parts %u x %u at %u; pins %u at %u; labels at %u; styles at %u; elements %u "
        "at %u; images at %u\n",
        s.partCount, s.partSize, s.partPosition, s.pinCount, s.pinPosition, s.labelsPosition,
        s.stylePosition, s.elementCount, s.elementPosition, s.imagePosition);
    const V36SheetSettingsBlock& b = sheet->settingsBlock;
    Add(out, "sheet settings words %u %u %u %u %u bytes", b.words[0], b.words[1], b.words[2],
        b.words[3], b.words[4]);
    for (uint8_t byte : b.bytes) Add(out, " %02X", byte);
    Add(out, " text %s\n", Counted(sheet->settingsText, kV36SettingsTextSize).c_str());

    if (sheet->labels) {
        StringBlockHeader header;
        std::memcpy(&header, *sheet->labels, sizeof header);
        Add(out, "labels %u bytes %s\n", header.used - kStringBlockHeaderSize,
            Quoted(*sheet->labels + kStringBlockHeaderSize, header.used - kStringBlockHeaderSize).c_str());
    } else {
        Add(out, "labels none\n");
    }

    if (sheet->images) {
        Add(out, "images");
        int32_t id = -1;
        char* address = nullptr;
        while (DAPhysicalNextAddress(sheet->images->entries, &id, &address)) {
            ImageListEntry entry;
            std::memcpy(&entry, address, sizeof entry);
            if (entry.image) Add(out, " %d: %u x %u", id, entry.image->width, entry.image->height);
        }
        out += "\n";
    } else {
        Add(out, "images none\n");
    }

    for (uint32_t i = 0; i < sheet->symbolCount; ++i) {
        const V36SymbolRecord& r = sheet->symbols[i].record;
        Add(out, "symbol %u: number %u id %u class %u flags %02X at %s name %s, %u elements\n", i,
            r.number, r.id, r.classId, r.flags, PointText(r.position).c_str(),
            Label(sheet, r.name).c_str(), sheet->symbols[i].graphics.count);
        Elements(out, sheet, sheet->symbols[i].graphics, "  ");
    }

    Add(out, "sheet elements %u\n", sheet->elements.count);
    Elements(out, sheet, sheet->elements, "  ");

    const V36StyleList& styles = sheet->styles;
    Add(out, "styles header %u record %u flags %08X extra %08X count %u\n", styles.headerLength,
        styles.recordSize, styles.flags, styles.extra, styles.count);
    for (uint32_t i = 0; i < styles.count; ++i) {
        const V36StyleRecord& r = styles.styles[i].record;
        Add(out, "style %u: font %s face %08X size %u value %08X\n", i,
            Counted(reinterpret_cast<const uint8_t*>(styles.styles[i].fontName), 256).c_str(), r.face,
            r.size, r.value);
    }

    for (uint32_t i = 0; i < sheet->textCount; ++i) {
        const V36TextRecord& t = sheet->texts[i];
        const V36Style* style = V36TextStyle(sheet, t.style);
        Add(out, "text %u: kind %d flags %02X %02X bounds %s symbol %s label %u style %u%s text %s", i,
            t.kind, t.flagsA, t.flagsB, RectText(t.bounds).c_str(), SymbolRef(sheet, t.symbol).c_str(),
            t.label, t.style, style ? "" : " (none)", Label(sheet, t.text).c_str());
        if (t.flagsB & kV36TextMacro) Add(out, " macro %s", Label(sheet, t.macro).c_str());
        out += "\n";
    }

    for (uint32_t i = 0; i < sheet->partCount; ++i) {
        const V36Part& p = sheet->parts[i];
        Add(out, "part %u: word %u sections %u fields %s pin ids", i, p.record.word0,
            p.record.sectionCount, Quoted(p.fields, p.fieldsLength).c_str());
        for (uint32_t byte = 0; byte < p.pinIdsLength; ++byte)
            Add(out, " %02X", uint8_t(p.pinIds[byte]));
        out += "\n";
        for (uint32_t k = 0; k < p.record.sectionCount; ++k) {
            const V36PartSection& section = p.sections[k];
            const uint16_t placed = uint16_t(section.placement & 0xFFFF);
            Add(out, "  section %u: placement %08X (%s) symbol id %u\n", k, section.placement,
                placed == 0xFFFF ? "not placed" : SymbolRef(sheet, placed).c_str(), section.symbolId);
        }
    }

    for (uint32_t i = 0; i < sheet->pinCount; ++i) {
        const V36Pin& pin = sheet->pins[i];
        uint32_t length = 0;
        const char* fields = V36PinFields(&pin, &length);
        Add(out, "pin %u: id %u name %s fields %s\n", i, pin.id,
            Counted(V36PinName(&pin), 256).c_str(), Quoted(fields, length).c_str());
    }

    for (uint32_t i = 0; i < sheet->busCount; ++i) {
        const V36Bus& bus = sheet->busses[i];
        Add(out, "bus %u: name %s skipped %u segments %u\n", i,
            Counted(bus.record.name, sizeof bus.record.name).c_str(), bus.record.skipCount,
            bus.record.segmentCount);
        for (uint32_t k = 0; k < bus.record.segmentCount; ++k) {
            const V36BusSegment& seg = bus.segments[k];
            Add(out, "  segment %u: %s to %s flags %02X label %u\n", k, PointText(seg.start).c_str(),
                PointText(seg.end).c_str(), seg.flags, seg.label);
        }
    }

    for (uint32_t i = 0; i < sheet->netCount; ++i) {
        const V36Net& net = sheet->nets[i];
        Add(out, "net %u: name %s flags %02X priority %u nodes %u links %u\n", i,
            Label(sheet, net.record.name).c_str(), net.record.flags, net.record.priority,
            net.nodeCount, net.linkCount);
        for (uint32_t k = 0; k < net.nodeCount; ++k) {
            const V36NodeEntry& node = net.nodes[k];
            Add(out, "  node %u: %s index %u ", k, PointText(node.point).c_str(), node.index);
            if (node.symbol > 0)
                Add(out, "junction %d\n", node.symbol);
            else
                Add(out, "symbol %s\n", SymbolRef(sheet, uint16_t(-node.symbol)).c_str());
        }
        for (uint32_t k = 0; k < net.linkCount; ++k) {
            const V36Link& link = net.links[k];
            Add(out, "  link %u: %s to %s nodes %u to %u flags %02X label %u corners", k,
                PointText(link.record.start).c_str(), PointText(link.record.end).c_str(),
                link.record.startNode, link.record.endNode, link.record.flags, link.record.label);
            for (uint32_t c = 0; c < link.cornerCount; ++c)
                Add(out, " %s", PointText(link.corners[c]).c_str());
            out += "\n";
        }
    }
    return out;
}

}  // namespace plexa
