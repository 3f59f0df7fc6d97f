// The text form of UI templates: parser and writer of the stored view blocks.
#include "toolkit/vx_templates_text.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <map>

#include "foundation/dynfile.h"
#include "foundation/filespec.h"

namespace plexa {
namespace {

const std::map<std::string, uint16_t>& TypeNames() {
    static const std::map<std::string, uint16_t> names = {
        {"button", 1},     {"checkbox", 2},   {"radio", 3},     {"scale", 4},
        {"edit", 5},       {"text", 6},       {"list", 7},      {"popup", 8},
        {"box", 9},        {"image", 10},     {"tabs", 11},     {"iconbutton", 12},
        {"disclosure", 13}, {"progress", 14}, {"user", 15},     {"colorwell", 16},
        {"segmented", 17}, {"slider", 18}};
    return names;
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into words and quoted strings; false on an unterminated string.
bool Tokenize(const std::string& line, std::vector<Token>* tokens) {
    tokens->clear();
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token;
            token.quoted = true;
            for (++i;; ++i) {
                if (i >= line.size()) return false;
                char d = line[i];
                if (d == '"') break;
                if (d == '\\' && i + 1 < line.size()) {
                    d = line[++i];
                    d = d == 'n' ? '\n' : d == 'r' ? '\r' : d == 't' ? '\t' : d;
                }
                token.text += d;
            }
            ++i;
            tokens->push_back(token);
        } else {
            Token token;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '"' && line[i] != '#')
                token.text += line[i++];
            tokens->push_back(token);
        }
    }
    return true;
}

bool Number(const Token& token, int64_t low, int64_t high, int64_t* value) {
    if (token.quoted || token.text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(token.text.c_str(), &end, 0);
    if (errno || *end || v < low || v > high) return false;
    *value = v;
    return true;
}

void PutBig(std::string& out, uint16_t w) {
    out += char(w >> 8);
    out += char(w & 0xFF);
}

// Words of the body in the writer's order: this machine's, or the other when swapped.
void PutWord(std::string& out, uint16_t w, bool swapped) {
    uint16_t native = 1;
    const bool little = *reinterpret_cast<uint8_t*>(&native) == 1;
    if (little != swapped) {
        out += char(w & 0xFF);
        out += char(w >> 8);
    } else {
        PutBig(out, w);
    }
}

void PutLong(std::string& out, uint32_t l, bool swapped) {
    uint16_t native = 1;
    const bool little = *reinterpret_cast<uint8_t*>(&native) == 1;
    for (int i = 0; i < 4; ++i) {
        const int shift = (little != swapped) ? 8 * i : 8 * (3 - i);
        out += char((l >> shift) & 0xFF);
    }
}

void PutString(std::string& out, const std::string& s) {
    const size_t n = s.size() > 0xFFFF ? 0xFFFF : s.size();
    PutBig(out, uint16_t(n));
    out.append(s, 0, n);
}

bool ParseItem(const std::vector<Token>& t, UITextItem* item, std::string* why) {
    int64_t v = 0;
    if (t.size() < 2) return *why = "item without a type", false;
    auto named = TypeNames().find(t[1].text);
    if (!t[1].quoted && named != TypeNames().end())
        item->type = named->second;
    else if (Number(t[1], 1, 18, &v))
        item->type = uint16_t(v);
    else
        return *why = "unknown item type " + t[1].text, false;
    for (size_t i = 2; i < t.size();) {
        const std::string key = t[i].text;
        auto need = [&](size_t n) { return !t[i].quoted && i + n < t.size(); };
        auto num = [&](size_t at, int64_t lo, int64_t hi, int64_t* out) {
            return Number(t[at], lo, hi, out);
        };
        if (key == "number" && need(1) && num(i + 1, -32768, 32767, &v)) {
            item->number = int16_t(v);
            i += 2;
        } else if (key == "rect" && need(4)) {
            int64_t r[4];
            for (int k = 0; k < 4; ++k)
                if (!num(i + 1 + k, -32768, 32767, &r[k])) return *why = "bad rect", false;
            item->top = int16_t(r[0]), item->left = int16_t(r[1]);
            item->bottom = int16_t(r[2]), item->right = int16_t(r[3]);
            i += 5;
        } else if (key == "options" && need(1) && num(i + 1, 0, 0xFFFF, &v)) {
            item->options = uint16_t(v);
            i += 2;
        } else if (key == "value" && need(1) && num(i + 1, INT32_MIN, UINT32_MAX, &v)) {
            item->value = uint32_t(v);
            i += 2;
        } else if (key == "reserved" && need(2) && num(i + 1, 0, 0xFFFF, &v)) {
            item->reserved = uint16_t(v);
            if (!num(i + 2, 0, UINT32_MAX, &v)) return *why = "bad reserved", false;
            item->reserved2 = uint32_t(v);
            i += 3;
        } else if ((key == "name" || key == "title") && need(1) && t[i + 1].quoted) {
            (key == "name" ? item->name : item->title) = t[i + 1].text;
            i += 2;
        } else if (key == "icon" && need(1) && num(i + 1, -32768, 0xFFFF, &v)) {
            item->icon = uint16_t(v);
            i += 2;
        } else if (key == "size" && need(1) && num(i + 1, 0, 0xFFFF, &v)) {
            item->size = uint16_t(v);
            i += 2;
        } else if (key == "tabs" && !t[i].quoted) {
            for (++i; i < t.size() && t[i].quoted; ++i) item->tabs.push_back(t[i].text);
        } else {
            return *why = "bad item field " + key, false;
        }
    }
    return true;
}

}  // namespace

bool ParseUITemplateText(const std::string& text, std::vector<UITextView>* views,
                         std::string* error) {
    views->clear();
    UITextView* view = nullptr;
    std::vector<Token> t;
    size_t lineNumber = 0, start = 0;
    std::map<uint16_t, size_t> firstLine;  // each view id, and the line that begins it
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        std::string why;
        int64_t v = 0;
        bool ok = Tokenize(line, &t);
        if (!ok) why = "unterminated string";
        if (ok && !t.empty()) {
            const std::string& key = t[0].quoted ? std::string() : t[0].text;
            if (key == "view") {
                ok = !view && t.size() == 3 && Number(t[1], 0, 0xFFFF, &v) && t[2].quoted;
                const auto first = ok ? firstLine.find(uint16_t(v)) : firstLine.end();
                if (first != firstLine.end()) {
                    ok = false;
                    why = "view " + std::to_string(v) + " again (first on line " +
                          std::to_string(first->second) + ")";
                } else if (ok) {
                    firstLine[uint16_t(v)] = lineNumber;
                    views->emplace_back();
                    view = &views->back();
                    view->id = uint16_t(v);
                    view->name = t[2].text;
                } else {
                    why = view ? "view inside a view" : "expected: view <id> \"<name>\"";
                }
            } else if (!view) {
                ok = false, why = "statement outside a view";
            } else if (key == "end" && t.size() == 1) {
                view = nullptr;
            } else if (key == "title" && t.size() == 2 && t[1].quoted) {
                view->title = t[1].text;
            } else if (key == "trailer" && t.size() == 2 && t[1].quoted) {
                view->trailer = t[1].text;
                view->hasTrailer = true;
            } else if ((key == "word" || key == "flags") && t.size() == 2 &&
                       Number(t[1], 0, 0xFFFF, &v)) {
                (key == "word" ? view->word : view->flags) = uint16_t(v);
            } else if (key == "order" && t.size() == 2 && t[1].text == "swapped") {
                view->swapped = true;
            } else if (key == "item") {
                UITextItem item;
                ok = ParseItem(t, &item, &why);
                if (ok) view->items.push_back(item);
            } else {
                ok = false, why = "unknown statement " + key;
            }
        }
        if (!ok) {
            if (error) *error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        }
        if (end == text.size()) break;
    }
    if (view) {
        if (error) *error = "view " + std::to_string(view->id) + " has no end";
        return false;
    }
    return true;
}

std::string EncodeUIViewBlock(const UITextView& view) {
    std::string out;
    const bool sw = view.swapped;
    const bool extended = (view.flags & 0x4000) != 0 && view.flags != 0xFFFF;
    PutBig(out, 0);  // body offset, set below
    PutBig(out, view.id);
    PutString(out, view.name);
    const size_t body = out.size();
    out[0] = char(body >> 8), out[1] = char(body & 0xFF);
    PutWord(out, 0x1234, sw);
    PutString(out, view.title);
    PutWord(out, view.word, sw);
    PutWord(out, view.flags, sw);
    if (view.flags == 0xFFFF) {
        PutString(out, "");
        PutWord(out, 0, sw);
        PutWord(out, 0, sw);
    }
    PutWord(out, uint16_t(view.items.size()), sw);
    for (const UITextItem& item : view.items) {
        PutWord(out, item.type, sw);
        for (uint16_t w :
             {item.options, uint16_t(item.top), uint16_t(item.left), uint16_t(item.bottom),
              uint16_t(item.right), uint16_t(item.number), item.reserved})
            PutWord(out, w, sw);
        if (extended) {
            PutLong(out, item.value, sw);
            PutLong(out, item.reserved2, sw);
        }
        PutString(out, item.name);
        PutWord(out, 0, sw);  // no skipped block
        switch (item.type) {
            case 1: case 2: case 3: case 5: case 6: case 9:
                PutString(out, item.title);
                break;
            case 10:
                PutWord(out, item.icon, sw);
                break;
            case 11:
                PutWord(out, item.size, sw);
                PutWord(out, uint16_t(item.tabs.size()), sw);
                for (const std::string& tab : item.tabs) PutString(out, tab);
                break;
            case 12:
                PutWord(out, item.size, sw);
                PutWord(out, item.icon, sw);
                break;
            default:
                break;
        }
    }
    if (view.hasTrailer) {
        PutWord(out, 1, sw);
        PutString(out, view.trailer);
    }
    return out;
}

OSStatus WriteUITemplateFile(const std::string& path, const std::vector<UITextView>& views) {
    std::remove(path.c_str());
    FileSpec spec;
    OSStatus status = FileSpecFromURL(path, &spec, false, nullptr);
    if (status) return status;
    if ((status = CreateDynamicFile(&spec, "QPLX", "VXUI", "VXUI", 0)) != 0) return status;
    DynamicFileRecord file{};
    if ((status = OpenDynamicFile(&spec, false, &file)) != 0) return status;
    for (const UITextView& view : views) {
        const std::string block = EncodeUIViewBlock(view);
        uint32_t offset = 0;
        status = WriteFileBlock(&file, 1, uint32_t(block.size()), block.data(), &offset);
        if (status) break;
    }
    const OSStatus closed = CloseAndMaybeFlushDynamicFile(&file, true);
    return status ? status : closed;
}

}  // namespace plexa
