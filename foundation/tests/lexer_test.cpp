// The character lexer: every line-end convention, push-back, and the raw line at a position.
#include "foundation/lexer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/memory.h"
#include "foundation/stream.h"

namespace plexa {
namespace {

class LexerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(status::kNoErr, InitMemoryManager(-1)); }
    void TearDown() override { Close(); }
    void Close() {
        VXDestroyLex(lex_);
        DisposeStream(stream_);
        if (handle_) MemFree(handle_);
        lex_ = nullptr;
        stream_ = nullptr;
        handle_ = nullptr;
    }
    void Open(const std::string& text, int32_t bufferSize = 512) {
        Close();
        handle_ = AllocHandleWithData(nullptr, text.data(), uint32_t(text.size()));
        ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle_), &stream_), 0);
        lex_ = VXCreateLex(stream_, bufferSize);
        ASSERT_NE(lex_, nullptr);
    }
    // Every character up to the end, line ends shown as '|', with the line number of the last.
    std::string Drain(int32_t* lastLine = nullptr) {
        std::string out;
        for (;;) {
            uint8_t c = VXGetNextChar(lex_);
            if (lex_->status) break;
            out.push_back(c == 13 ? '|' : char(c));
            if (lastLine) *lastLine = lex_->line;
        }
        EXPECT_EQ(lex_->status, status::kEndOfFile);
        return out;
    }

    Handle handle_ = nullptr;
    StreamRecord* stream_ = nullptr;
    VXLexRecord* lex_ = nullptr;
};

TEST_F(LexerTest, LineEndTable) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
        int32_t lastLine;
    };
    const Case cases[] = {
        {"CR", "a\rb", "a|b", 2},
        {"LF", "a\nb", "a|b", 2},
        {"CR LF", "a\r\nb", "a|b", 2},
        {"LF CR", "a\n\rb", "a|b", 2},
        {"two LF", "a\n\nb", "a||b", 3},
        {"two CR LF", "a\r\n\r\nb", "a||b", 3},
        {"CR CR", "a\r\rb", "a||b", 3},
        {"CR LF LF", "a\r\n\nb", "a||b", 3},
        {"mixed", "a\r\nb\n\nc\n\rd", "a|b||c|d", 5},
        {"trailing LF", "a\n", "a|", 2},
        {"trailing CR", "a\r", "a|", 2},
        {"only LF", "\n", "|", 2},
        {"empty", "", "", 1},
        {"NUL kept", std::string("a\0\nb", 4), std::string("a\0|b", 4), 2},
    };
    for (int32_t bufferSize : {1, 2, 3, 512}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " buffer " << bufferSize);
            Open(c.in, bufferSize);
            int32_t line = 1;
            EXPECT_EQ(Drain(&line), c.out);
            EXPECT_EQ(line, c.lastLine);
            EXPECT_EQ(VXGetNextChar(lex_), 0);
        }
    }
}

TEST_F(LexerTest, PushedBackLineEndKeepsItsKind) {
    // A line end made from LF must not swallow the LF that follows it when read again; one made
    // from CR LF must.
    struct Case { std::string in, out; };
    for (const Case& c : {Case{"a\n\nb", "a||b"}, Case{"a\r\nb", "a|b"}}) {
        Open(c.in);
        EXPECT_EQ(VXGetNextChar(lex_), 'a');
        EXPECT_EQ(VXGetNextChar(lex_), 13);
        EXPECT_EQ(lex_->line, 2);
        const int32_t lineStart = lex_->lineStart;
        VXUnGetChar(lex_, 13);
        EXPECT_EQ(lex_->line, 1);
        EXPECT_EQ(lex_->lineStart, 0);
        EXPECT_EQ(VXGetNextChar(lex_), 13);
        EXPECT_EQ(lex_->lineStart, lineStart);
        EXPECT_EQ("a|" + Drain(), c.out);
    }
}

// A caller's stream whose reads fail after the first: the failure sticks in the lexer.
OSStatus ReadOnceThenFail(StreamRecord* stream, void* bytes, int32_t* count) {
    if (stream->position > 0) {
        *count = 0;
        return status::kParamErr;
    }
    *count = 2;
    std::memcpy(bytes, "ab", 2);
    return status::kNoErr;
}

TEST_F(LexerTest, StreamFailureSticks) {
    StreamRecord* s = nullptr;
    ASSERT_EQ(CreateStream(kStreamObject, StreamTarget::Object(nullptr), &s), 0);
    s->readProc = ReadOnceThenFail;
    s->end = 100;
    VXLexRecord* lex = VXCreateLex(s, 2);
    EXPECT_EQ(VXGetNextChar(lex), 'a');
    EXPECT_EQ(VXGetNextChar(lex), 'b');
    EXPECT_EQ(VXGetNextChar(lex), 0);
    EXPECT_EQ(lex->status, status::kParamErr);
    EXPECT_EQ(VXGetNextChar(lex), 0);
    VXDestroyLex(lex);
    DisposeStream(s);
}

TEST_F(LexerTest, PushBackHoldsFourteen) {
    Open("xyz");
    for (int i = 0; i < 16; ++i) VXUnGetChar(lex_, uint8_t('a' + i));
    EXPECT_EQ(lex_->pushCount, kLexPushBackDepth);
    EXPECT_EQ(lex_->position, -kLexPushBackDepth);
    std::string out = Drain();
    EXPECT_EQ(out, "nmlkjihgfedcbaxyz");
}

TEST_F(LexerTest, DataLineAtAPosition) {
    Open("first\r\nsecond line\nthird");
    while (lex_->line < 2) VXGetNextChar(lex_);
    VXGetNextChar(lex_);
    const int32_t streamPos = GetStreamPosition(stream_);
    char buf[64];
    int32_t size = sizeof buf;
    ASSERT_EQ(VXGetLexDataLine(lex_, -1, buf, &size), 0);
    EXPECT_STREQ(buf, "second line");
    EXPECT_EQ(size, 11);
    EXPECT_EQ(GetStreamPosition(stream_), streamPos);
    EXPECT_EQ(VXGetNextChar(lex_), 'e');

    struct Case { int32_t position, capacity; OSStatus st; const char* text; };
    const Case cases[] = {
        {0, 64, 0, "first"}, {0, 4, 0, "fir"}, {19, 64, 0, "third"}, {24, 64, 0, ""},
        {25, 64, status::kEndOfFile, ""}, {-5, 64, status::kBadPosition, ""},
    };
    for (const Case& c : cases) {
        size = c.capacity;
        EXPECT_EQ(VXGetLexDataLine(lex_, c.position, buf, &size), c.st) << c.position;
        EXPECT_STREQ(buf, c.text);
        EXPECT_EQ(size, int32_t(std::strlen(c.text)));
    }
    EXPECT_EQ(GetStreamPosition(stream_), streamPos);
}

}  // namespace
}  // namespace plexa
