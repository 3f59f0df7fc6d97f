// The character lexer over a stream. The first byte sets the lexer's buffer size; the rest is the
// text. Every character is read, with push-backs and raw lines asked for along the way, as a
// parser does.
#include <cstring>

#include "foundation/lexer.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::InputStream in(data + 1, size - 1);
    if (!in) return 0;
    VXLexRecord* lex = VXCreateLex(in.get(), 1 + data[0] * 3);
    if (!lex) return 0;
    char line[80];
    for (size_t count = 0; count < size * 2 + 4; ++count) {
        const uint8_t c = VXGetNextChar(lex);
        if (c == 0 && lex->status != 0) break;
        if (c == 13) {
            int32_t length = sizeof line;
            (void)VXGetLexDataLine(lex, -1, line, &length);  // fuzzing: only no crash counts
        } else if (c == '\\') {
            VXUnGetChar(lex, c);
            VXGetNextChar(lex);
        } else if (c == '(') {
            for (uint8_t p = 0; p < 16; ++p) VXUnGetChar(lex, uint8_t('a' + p));
            for (int p = 0; p < 16; ++p) VXGetNextChar(lex);
        } else if (c == '@') {
            int32_t length = int32_t(count % sizeof line);
            (void)VXGetLexDataLine(lex, int32_t(count) - 3, line, &length);  // fuzzing: only no crash counts
        }
    }
    VXDestroyLex(lex);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    // Texts as the project's writers put them on a stream.
    std::vector<std::string> seeds;
    const char* texts[] = {
        "NET GND\r\n  PIN U1 7\n\rPIN U2 (7)\r\n",
        "line one\nline two\n\nline @four\\\r",
        "REPORT \"title\"\r\n{\r\n  field = `value + 1`\r\n}\r\n",
    };
    for (int i = 0; i < 3; ++i) {
        fuzz::OutputStream out;
        (void)StreamWrite(out.get(), texts[i], int32_t(std::strlen(texts[i])));  // fuzzing: only no crash counts
        seeds.push_back(std::string(1, char(i * 40)) + out.bytes());
    }
    return seeds;
}
