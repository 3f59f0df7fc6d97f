// The token-stream disassembler (see report_tokens.h). It walks a stream the way the interpreter
// does, statement by statement and expression by expression, and checks every read against the
// bytes that are there.
#include "design/report_tokens.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

namespace plexa {

namespace {

constexpr int32_t kMaxExpressionDepth = 1000;

bool IsBinaryOperator(uint16_t code) {
    switch (code) {
        case kRptJoin: case kOpAdd: case kOpSubtract: case kOpMultiply: case kOpDivide:
        case kOpRemainder: case kOpEqual: case kOpLess: case kOpGreater: case kOpLessEqual:
        case kOpGreaterEqual: case kOpNotEqual: case kOpAnd: case kOpOr:
            return true;
        default:
            return false;
    }
}

bool IsAssignOperator(uint16_t code) {
    switch (code) {
        case kRptAssign: case kOpAddAssign: case kOpSubtractAssign: case kOpMultiplyAssign:
        case kOpDivideAssign: case kRptJoinAssign:
            return true;
        default:
            return false;
    }
}

bool IsDatabaseOption(uint16_t code) {
    switch (code) {
        case kRptNoNets: case kRptNoComps: case kRptNoPins: case kRptModular: case kRptCrossRef:
        case kRptNoGrouping: case kRptGraphics:
            return true;
        default:
            return false;
    }
}

bool IsFunction(uint16_t code) {
    switch (code) {
        case kRptFloatFn: case kRptIntFn: case kRptJustify: case kRptRepeat: case kRptTrunc:
        case kRptAskSave: case kRptAskSaveAbort: case kRptSubstring: case kRptReplace:
        case kRptPosition: case kRptAsk: case kRptStripExt: case kRptLength:
            return true;
        default:
            return false;
    }
}

// A statement whose whole operand is one expression.
bool IsExpressionStatement(uint16_t code) {
    switch (code) {
        case kRptExit: case kRptCall: case kRptCopy: case kRptCopyEx: case kRptSetFile:
        case kRptAppendFile: case kRptWrite: case kRptRun: case kRptNotify:
            return true;
        default:
            return false;
    }
}

std::string CodeText(uint16_t code) {
    std::string text = "\"";
    text += char(code >> 8);
    text += char(code & 0xFF);
    return text + "\"";
}

std::string Quoted(const uint8_t* bytes, size_t length) {
    std::string text = "\"";
    for (size_t i = 0; i < length; ++i) {
        const uint8_t ch = bytes[i];
        char escape[8];
        switch (ch) {
            case '"': text += "\\\""; break;
            case '\\': text += "\\\\"; break;
            case 9: text += "\\t"; break;
            case 10: text += "\\l"; break;
            case 13: text += "\\n"; break;
            default:
                if (ch < 0x20 || ch == 0x7F) {
                    std::snprintf(escape, sizeof escape, "\\x%02X", unsigned(ch));
                    text += escape;
                } else {
                    text += char(ch);
                }
        }
    }
    return text + "\"";
}

class Disassembler {
public:
    Disassembler(const uint8_t* bytes, uint32_t size, std::string* listing)
        : bytes_(bytes), size_(size), listing_(listing) {}

    OSStatus Run() {
        if (Statements()) CheckHoles();
        if (failed_) {
            char line[64];
            std::snprintf(line, sizeof line, "error at %u: ", unsigned(failedAt_));
            *listing_ += line + failure_ + "\n";
            return status::kParamErr;
        }
        return status::kNoErr;
    }

    bool HasOption(uint16_t option) const {
        return std::find(options_.begin(), options_.end(), option) != options_.end();
    }

private:
    bool Fail(uint32_t at, const char* reason) {
        if (!failed_) {
            failed_ = true;
            failedAt_ = at;
            failure_ = reason;
        }
        return false;
    }

    void Line(uint32_t offset, const std::string& text) {
        char head[16];
        std::snprintf(head, sizeof head, "%6u  ", unsigned(offset));
        *listing_ += head + std::string(size_t(indent_) * 2, ' ') + text + "\n";
    }

    bool Bytes(void* out, uint32_t count) {
        if (size_ - position_ < count) return Fail(position_, "the stream ends inside an operand");
        std::memcpy(out, bytes_ + position_, count);
        position_ += count;
        return true;
    }

    bool Peek(uint16_t* code) const {
        if (size_ - position_ < 2) return false;
        std::memcpy(code, bytes_ + position_, 2);
        return true;
    }

    bool Code(uint16_t* code) {
        if (size_ - position_ < 2) return Fail(position_, "the stream ends where a code is due");
        std::memcpy(code, bytes_ + position_, 2);
        position_ += 2;
        return true;
    }

    bool Hole() {
        const uint32_t at = position_;
        uint32_t target;
        if (!Bytes(&target, 4)) return false;
        holes_.push_back({at, target});
        Line(at, "-> " + std::to_string(target));
        return true;
    }

    bool Word(const char* label) {
        const uint32_t at = position_;
        uint16_t value;
        if (!Bytes(&value, 2)) return false;
        Line(at, std::string(label) + " " + std::to_string(value));
        return true;
    }

    bool String(std::string* text) {
        const uint32_t at = position_;
        uint8_t length;
        if (!Bytes(&length, 1)) return false;
        if (size_ - position_ < length) return Fail(at, "a string runs past the end of the stream");
        *text = Quoted(bytes_ + position_, length);
        position_ += length;
        if ((length & 1) == 0) {
            uint8_t pad;
            if (!Bytes(&pad, 1)) return false;
        }
        return true;
    }

    // An expression up to its ". "; it must leave exactly one value.
    bool Expression(int32_t depth) {
        if (depth > kMaxExpressionDepth) return Fail(position_, "expressions nest too deep");
        ++indent_;
        int32_t values = 0;
        for (;;) {
            const uint32_t at = position_;
            uint16_t code;
            if (!Code(&code)) return false;
            std::string text = CodeText(code);
            if (code == kRptEndExpression) {
                Line(at, text);
                if (values != 1) return Fail(at, "an expression does not leave one value");
                --indent_;
                return true;
            }
            if (code == kRptString || code == kRptName) {
                std::string operand;
                if (!String(&operand)) return false;
                Line(at, text + " " + operand);
                ++values;
            } else if (code == kRptInteger) {
                uint32_t v;
                if (!Bytes(&v, 4)) return false;
                Line(at, text + " " + std::to_string(v));
                ++values;
            } else if (code == kRptFloat) {
                double v;
                if (!Bytes(&v, 8)) return false;
                char number[40];
                const auto result = std::to_chars(number, number + sizeof number, v);
                Line(at, text + " " + std::string(number, result.ptr));
                ++values;
            } else if (code == kRptComputedName) {
                Line(at, text);
                if (!Expression(depth + 1)) return false;
                ++values;
            } else if (IsBinaryOperator(code) || IsAssignOperator(code)) {
                Line(at, text);
                if (values < 2) return Fail(at, "an operator lacks an operand");
                --values;
            } else if (code == kOpNot || code == kOpNegate) {
                Line(at, text);
                if (values < 1) return Fail(at, "an operator lacks an operand");
            } else if (IsFunction(code)) {
                Line(at, text);
                if (!Function(code, depth + 1)) return false;
                ++values;
            } else {
                return Fail(at, "not a code of an expression");
            }
        }
    }

    bool Arguments(int32_t count, int32_t depth) {
        for (int32_t i = 0; i < count; ++i) {
            if (!Expression(depth)) return false;
        }
        return true;
    }

    // Takes the code at the position when it is `code`.
    bool Optional(uint16_t code) {
        uint16_t next;
        if (!Peek(&next) || next != code) return false;
        const uint32_t at = position_;
        Code(&next);
        Line(at, CodeText(code));
        return true;
    }

    // A function's arguments, after its code.
    bool Function(uint16_t code, int32_t depth) {
        switch (code) {
            case kRptFloatFn:
            case kRptIntFn:
                if (!Expression(depth)) return false;
                return !Optional(kRptSecondArgument) || Expression(depth);
            case kRptJustify:
                if (!Arguments(2, depth)) return false;
                if (!Optional(kRptJustifyRight)) Optional(kRptJustifyCenter);
                return !Optional(kRptFillCharacter) || Expression(depth);
            case kRptRepeat: case kRptTrunc: case kRptAskSave: case kRptAskSaveAbort:
                return Arguments(2, depth);
            case kRptSubstring: case kRptReplace: case kRptPosition: case kRptAsk:
                return Arguments(3, depth);
            case kRptStripExt:
                if (!Expression(depth)) return false;
                while (Optional(kRptNextArgument)) {
                    if (!Expression(depth)) return false;
                }
                return true;
            default:  // kRptLength
                return Expression(depth);
        }
    }

    // A variable of a sort clause or an assignment.
    bool Variable(uint32_t at, uint16_t code) {
        if (code == kRptName) {
            std::string name;
            if (!String(&name)) return false;
            Line(at, CodeText(code) + " " + name);
            return true;
        }
        if (code != kRptComputedName) return Fail(at, "not a variable");
        Line(at, CodeText(code));
        return Expression(1);
    }

    // Statements up to the "} " that ends the script.
    bool Statements() {
        int32_t blocks = 1;
        for (;;) {
            const uint32_t at = position_;
            statements_.push_back(at);
            uint16_t code;
            if (!Code(&code)) return false;
            const std::string text = CodeText(code);
            switch (code) {
                case kRptEndBlock:
                    if (indent_ > 0) --indent_;
                    Line(at, text);
                    if (--blocks == 0) {
                        if (position_ != size_) return Fail(position_, "bytes follow the end of the script");
                        return true;
                    }
                    break;
                case kRptBreak:
                case kRptBranch:
                    Line(at, text);
                    if (!Hole()) return false;
                    break;
                case kRptIf:
                    Line(at, text);
                    if (!Expression(1) || !Hole()) return false;
                    break;
                case kRptWhile:
                    Line(at, text);
                    if (!Hole() || !Expression(1)) return false;
                    ++blocks, ++indent_;
                    break;
                case kRptComponents: case kRptNets: case kRptPins: case kRptPorts: {
                    Line(at, text);
                    if (!Hole()) return false;
                    for (;;) {
                        const uint32_t keyAt = position_;
                        uint16_t key;
                        if (!Code(&key)) return false;
                        if (key == kRptSortKeys) {
                            Line(keyAt, CodeText(key));
                            break;
                        }
                        if (!Variable(keyAt, key)) return false;
                    }
                    ++blocks, ++indent_;
                    break;
                }
                case kRptHierarchy:
                    Line(at, text);
                    if (!Hole() || !Word("kind") || !Word("order")) return false;
                    ++blocks, ++indent_;
                    break;
                case kRptAttributes:
                    Line(at, text);
                    if (!Hole() || !Word("kind")) return false;
                    ++blocks, ++indent_;
                    break;
                case kRptDescentRules:
                    Line(at, text);
                    if (!Hole()) return false;
                    ++blocks, ++indent_;
                    break;
                case kRptBlockDef:
                    Line(at, text);
                    if (!Hole() || !Expression(1)) return false;
                    ++blocks, ++indent_;
                    break;
                case kRptDatabase:
                    Line(at, text);
                    for (uint16_t option; Peek(&option) && IsDatabaseOption(option);) {
                        Optional(option);
                        options_.push_back(option);
                    }
                    break;
                case kRptName:
                case kRptComputedName: {
                    // An assignment: the variable, the value, the operator.
                    if (!Variable(at, code) || !Expression(1)) return false;
                    const uint32_t opAt = position_;
                    uint16_t op;
                    if (!Code(&op)) return false;
                    if (!IsAssignOperator(op)) return Fail(opAt, "not an assignment operator");
                    Line(opAt, CodeText(op));
                    break;
                }
                default:
                    if (IsExpressionStatement(code)) {
                        Line(at, text);
                        if (!Expression(1)) return false;
                    } else if (IsFunction(code)) {
                        Line(at, text);
                        if (!Function(code, 1)) return false;
                    } else {
                        return Fail(at, "not a code of a statement");
                    }
            }
        }
    }

    // Every hole goes to the start of a statement (or the "} " that ends a block).
    void CheckHoles() {
        for (const auto& [at, target] : holes_) {
            if (!std::binary_search(statements_.begin(), statements_.end(), target)) {
                Fail(at, "a hole does not point at a statement");
                return;
            }
        }
    }

    const uint8_t* bytes_;
    uint32_t size_;
    std::string* listing_;
    uint32_t position_ = 0;
    int32_t indent_ = 0;
    std::vector<uint32_t> statements_;  // offsets in increasing order
    std::vector<std::pair<uint32_t, uint32_t>> holes_;
    std::vector<uint16_t> options_;  // of every DATABASE statement
    bool failed_ = false;
    uint32_t failedAt_ = 0;
    std::string failure_;
};

}  // namespace

OSStatus DisassembleTokenStream(const void* bytes, uint32_t size, std::string* listing) {
    listing->clear();
    if (!bytes && size) return status::kParamErr;
    static const uint8_t kEmpty = 0;
    Disassembler d(bytes ? static_cast<const uint8_t*>(bytes) : &kEmpty, size, listing);
    return d.Run();
}

bool TokenStreamHasDatabaseOption(const void* bytes, uint32_t size, uint16_t option) {
    if (!bytes) return false;
    std::string listing;
    Disassembler d(static_cast<const uint8_t*>(bytes), size, &listing);
    return d.Run() == status::kNoErr && d.HasOption(option);
}

}  // namespace plexa
