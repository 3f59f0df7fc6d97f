// The character lexer over a stream (see lexer.h).
#include "foundation/lexer.h"

#include <algorithm>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/stream.h"

namespace plexa {

namespace {

uint8_t* LexBuffer(VXLexRecord* lex) { return reinterpret_cast<uint8_t*>(lex + 1); }

// The next raw byte (from the push-back stack, the buffer or a refill); false with the status set
// when there is none.
bool NextRaw(VXLexRecord* lex, uint8_t* ch, bool* fromLF) {
    if (lex->pushCount > 0) {
        const VXLexPushBack& entry = lex->pushBack[--lex->pushCount];
        *ch = entry.character;
        *fromLF = entry.fromLF != 0;
    } else {
        if (lex->bufferNext >= lex->bufferCount) {
            int32_t n = lex->bufferSize;
            OSStatus st = StreamRead(lex->stream, LexBuffer(lex), &n);
            if (st == status::kEndOfFile && n > 0) st = status::kNoErr;
            if (st == status::kNoErr && n == 0) st = status::kEndOfFile;
            if (st) {
                lex->status = st;
                return false;
            }
            lex->bufferCount = n;
            lex->bufferNext = 0;
        }
        *ch = LexBuffer(lex)[lex->bufferNext++];
        *fromLF = false;
    }
    ++lex->position;
    return true;
}

void StartLine(VXLexRecord* lex) {
    lex->previousLineStart = lex->lineStart;
    lex->lineStart = lex->position;
    ++lex->line;
}

// lookAhead: reading the character after a lone LF, during which an LF comes back unchanged.
uint8_t GetChar(VXLexRecord* lex, bool lookAhead) {
    if (lex->status) return 0;
    uint8_t ch;
    bool fromLF;
    if (!NextRaw(lex, &ch, &fromLF)) return 0;
    if (ch == 13) {
        StartLine(lex);
        lex->afterCR = !fromLF;
        lex->lastEndFromLF = fromLF;
        return 13;
    }
    if (ch == 10 && !lookAhead) {
        if (lex->afterCR) {  // the LF of CR LF
            lex->afterCR = 0;
            lex->lineStart = lex->position;
            return GetChar(lex, false);
        }
        uint8_t next = GetChar(lex, true);
        if (lex->status == 0 && next == 13) return 13;  // LF CR: the CR is the line end
        if (lex->status == 0) {
            VXUnGetChar(lex, next);
        } else {
            // The data ended during the look-ahead: this line end is still delivered, and the
            // next call meets the end again.
            lex->status = 0;
        }
        StartLine(lex);
        lex->lastEndFromLF = 1;
        return 13;
    }
    if (ch != 10) lex->afterCR = 0;
    return ch;
}

}  // namespace

VXLexRecord* VXCreateLex(StreamRecord* stream, int32_t bufferSize) {
    const int32_t size = std::clamp(bufferSize, 1, 65535);
    auto* lex = reinterpret_cast<VXLexRecord*>(
        AllocPtrClear(gGenPool, uint32_t(sizeof(VXLexRecord) + size)));
    if (!lex) return nullptr;
    lex->stream = stream;
    lex->position = lex->lineStart = lex->previousLineStart = GetStreamPosition(stream);
    lex->line = 1;
    lex->bufferSize = uint16_t(size);
    return lex;
}

void VXDestroyLex(VXLexRecord* lex) {
    if (lex) MemFreePtr(lex);
}

uint8_t VXGetNextChar(VXLexRecord* lex) { return GetChar(lex, false); }

void VXUnGetChar(VXLexRecord* lex, uint8_t character) {
    if (lex->pushCount >= kLexPushBackDepth) return;
    VXLexPushBack& entry = lex->pushBack[lex->pushCount++];
    entry.character = character;
    entry.fromLF = character == 13 ? lex->lastEndFromLF : 0;
    --lex->position;
    if (character == 13) {
        --lex->line;
        lex->lineStart = lex->previousLineStart;
    }
}

OSStatus VXGetLexDataLine(VXLexRecord* lex, int32_t position, char* buffer, int32_t* size) {
    if (!buffer || *size < 1) {
        *size = 0;
        return status::kParamErr;
    }
    buffer[0] = 0;
    const int32_t capacity = *size;
    *size = 0;
    if (position == -1) position = lex->lineStart;
    if (position < 0) return status::kBadPosition;
    StreamRecord* stream = lex->stream;
    if (position > GetStreamEnd(stream)) return status::kEndOfFile;

    const int32_t saved = GetStreamPosition(stream);
    OSStatus st = SetStreamPosition(stream, position);
    int32_t n = capacity - 1;
    if (st == status::kNoErr) {
        st = StreamRead(stream, buffer, &n);
        if (st == status::kEndOfFile) st = status::kNoErr;
    } else {
        n = 0;
    }
    OSStatus restore = SetStreamPosition(stream, saved);
    if (st == status::kNoErr) st = restore;
    if (st) n = 0;

    int32_t length = 0;
    while (length < n && buffer[length] != 13 && buffer[length] != 10) ++length;
    buffer[length] = 0;
    *size = length;
    return st;
}

}  // namespace plexa
