// Expansion of data strings: preprocessing, finding references and inserting their values; see
// fieldexpand.h. The chains and field values are in datacontext.cpp.
//
// A reference opened and never closed, a reference longer than 255 bytes and one cancelled by a
// control character stay in the text as the user typed them. The depth counter is unwound on
// every way out of an expansion, and a string never leaves with marker bytes in it.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "model/fieldexpand.h"
#include "model/modelstate.h"

namespace plexa {

namespace {

constexpr char kOpenField = 1;
constexpr char kCloseField = 2;
constexpr char kOpenExpression = 3;
constexpr char kCloseExpression = 4;
constexpr int32_t kMaxReferenceBytes = 255;

int16_t& gRecursionDepth = gModelState.expansionDepth;
uint16_t& gErrorFlag = gModelState.expansionErrors;

bool IsMarker(char c) { return c >= kOpenField && c <= kCloseExpression; }

char Literal(char marker) {
    return marker == kOpenField ? '{' : marker == kCloseField ? '}' : '`';
}

// Counts one level of expansion for its scope; a scope that ends early (a failure signalled
// through it) also turns the markers it leaves back into the characters they stood for.
class DepthScope {
public:
    DepthScope(char* buffer, int32_t* length) : buffer_(buffer), length_(length) {
        if (++gRecursionDepth == 1) gErrorFlag = 0;
    }
    ~DepthScope() {
        if (!done_)
            for (int32_t i = 0; i < *length_; i++)
                if (IsMarker(buffer_[i])) buffer_[i] = Literal(buffer_[i]);
        gRecursionDepth--;
    }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;
    void Done() { done_ = true; }
    bool Outermost() const { return gRecursionDepth == 1; }

private:
    char* buffer_;
    int32_t* length_;
    bool done_ = false;
};

// The length of a prefix of text[0 .. length) no longer than limit that does not split a UTF-8
// character.
int32_t WholeCharacters(const char* text, int32_t length, int32_t limit) {
    if (length <= limit) return length;
    int32_t n = std::max(limit, 0);
    while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80) n--;
    return n;
}

struct Reference {
    int32_t open;   // index of the opening marker
    int32_t close;  // index of the closing marker
};

// One scan for the innermost closed reference. Closings without an opening and openings
// cancelled by a control character become their characters again; an opening still open at the
// end is kept literally. Returns 1 with a reference, 0 after changing the text (scan again),
// -1 when nothing is left to find.
int32_t ScanReference(char* buffer, int32_t length, Reference* found) {
    int32_t current = -1;
    bool changed = false;
    for (int32_t i = 0; i < length; i++) {
        const char c = buffer[i];
        if (c == kOpenField || c == kOpenExpression) {
            current = i;
        } else if (c == kCloseField || c == kCloseExpression) {
            if (current >= 0 && buffer[current] + 1 == c) {
                *found = {current, i};
                return 1;
            }
            buffer[i] = Literal(c);
            changed = true;
        } else if (uint8_t(c) >= 5 && uint8_t(c) <= 31 && current >= 0) {
            buffer[current] = Literal(buffer[current]);
            current = -1;
            changed = true;
        }
    }
    if (current >= 0) {
        buffer[current] = Literal(buffer[current]);
        changed = true;
    }
    return changed ? 0 : -1;
}

// Replaces buffer[from .. to) by the value, keeping the rest after it as far as capacity allows.
void Replace(char* buffer, int32_t* length, int32_t capacity, int32_t from, int32_t to,
             const char* value, int32_t valueLength) {
    valueLength = WholeCharacters(value, valueLength, capacity - from);
    const int32_t restLength = *length - to;
    const int32_t keep = WholeCharacters(buffer + to, restLength, capacity - from - valueLength);
    std::memmove(buffer + from + valueLength, buffer + to, size_t(keep));
    std::memcpy(buffer + from, value, size_t(valueLength));
    *length = from + valueLength + keep;
}

}  // namespace

uint16_t GetDataExpansionErrors() { return gErrorFlag; }

bool PreprocessDataString(char* buffer, int32_t length, int32_t* newLength) {
    int32_t out = 0;
    int32_t openBraces = 0;
    bool inExpression = false;
    bool marked = false;
    for (int32_t i = 0; i < length; i++) {
        char c = buffer[i];
        if (c == '\\' && i + 1 < length) {
            c = buffer[++i];
            if (std::isalpha(uint8_t(c))) c = char(std::tolower(uint8_t(c)));
            switch (c) {
                case 'f':
                    buffer[out++] = '\\';
                    c = 'F';
                    break;
                case 'l': c = 10; break;
                case 'n':
                case 'r': c = 13; break;
                case 't': c = 9; break;
                default: break;
            }
            buffer[out++] = c;
            continue;
        }
        if (inExpression) {
            if (c == '`') {
                c = kCloseExpression;
                inExpression = false;
            }
        } else if (c == '{') {
            c = kOpenField;
            openBraces++;
            marked = true;
        } else if (c == '}' && openBraces > 0) {
            c = kCloseField;
            openBraces--;
        } else if (c == '`') {
            c = kOpenExpression;
            inExpression = true;
            marked = true;
        }
        buffer[out++] = c;
    }
    *newLength = out;
    return marked;
}

int32_t ExpandDataString(char* buffer, int32_t* length, int32_t capacity, DataContextChain* chain) {
    if (!buffer || !length || *length < 0 || capacity < *length) return 0;
    if (gRecursionDepth > kMaxExpansionDepth) {
        gErrorFlag |= kExpandDepthExceeded;
        return 0;
    }
    (void)InitBuiltInContexts();  // without them the built-in fields expand to nothing
    DepthScope depth(buffer, length);
    if (!PreprocessDataString(buffer, *length, length)) {
        depth.Done();
        return 0;
    }

    char name[kExpansionValueSize];
    char value[kExpansionValueSize];
    Reference ref{};
    for (int32_t scan; (scan = ScanReference(buffer, *length, &ref)) >= 0;) {
        if (scan == 0) continue;
        const int32_t nameLength = ref.close - ref.open - 1;
        if (ref.close - ref.open + 1 > kMaxReferenceBytes) {
            // Too long to be a name: the text stays as it was typed.
            buffer[ref.open] = Literal(buffer[ref.open]);
            buffer[ref.close] = Literal(buffer[ref.close]);
            continue;
        }
        std::memcpy(name, buffer + ref.open + 1, size_t(nameLength));
        name[nameLength] = 0;
        value[0] = 0;
        if (nameLength > 0) {
            if (buffer[ref.open] == kOpenField)
                ExpandCtxChainValue(chain, name, value, kExpansionValueSize);
            else
                gErrorFlag |= uint16_t(EvalExpression(chain, name, value, kExpansionValueSize) &
                                       (kExpandBadExpression | kExpandDivideByZero));
        }
        Replace(buffer, length, capacity, ref.open, ref.close + 1, value,
                int32_t(strnlen(value, sizeof value - 1)));
    }
    depth.Done();

    if (depth.Outermost() && gErrorFlag) {
        const char* message = (gErrorFlag & kExpandBadExpression)    ? "<bad expression>"
                              : (gErrorFlag & kExpandDepthExceeded)  ? "<depth exceeded>"
                                                                     : "<division by zero>";
        const auto n = std::min(int32_t(std::strlen(message)), capacity);
        std::memcpy(buffer, message, size_t(n));
        *length = n;
    }
    return 1;
}

}  // namespace plexa
