// The character lexer: delivers the text of a stream one byte at a time, with push-back, line
// counting and one form for every line end. CR, LF, CR LF and LF CR each come out as a single 13;
// two LFs are two line ends. The lexer reads through a buffer of its own, does not own its stream
// and must not outlive it.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct StreamRecord;

constexpr int kLexPushBackDepth = 14;

struct VXLexPushBack {
    uint8_t character;
    uint8_t fromLF;  // a 13 that was made from a lone LF
};

struct VXLexRecord {
    StreamRecord* stream;
    int32_t status;          // sticky: -39 once the data is exhausted, or the stream's error
    int32_t position;        // stream position of the next character
    int32_t line;            // starts at 1
    int32_t lineStart;
    int32_t previousLineStart;
    int32_t bufferCount;     // bytes in the buffer
    uint16_t bufferSize;
    uint16_t bufferNext;     // index of the next byte in the buffer
    uint16_t pushCount;
    uint8_t afterCR;
    uint8_t lastEndFromLF;
    VXLexPushBack pushBack[kLexPushBackDepth];
    // The read buffer, bufferSize bytes, follows the record in the same allocation.
};

// A lexer reading the stream from its current position through a buffer of bufferSize bytes
// (1 to 65535; values outside are clamped). Null when out of memory.
VXLexRecord* VXCreateLex(StreamRecord* stream, int32_t bufferSize);
void VXDestroyLex(VXLexRecord* lex);
// The next character, 0 once the status is set.
uint8_t VXGetNextChar(VXLexRecord* lex);
// Pushes a character back (at most 14 deep; further pushes are ignored).
void VXUnGetChar(VXLexRecord* lex, uint8_t character);
// The raw text line at a stream position (-1: the start of the current line), cut at the first CR
// or LF and terminated; *size is the buffer size in and the text length out. The stream's position
// and the lexer's own state are left as they were. -40 for a negative position, -39 past the end.
OSStatus VXGetLexDataLine(VXLexRecord* lex, int32_t position, char* buffer, int32_t* size);

}  // namespace plexa
