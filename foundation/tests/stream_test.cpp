// Streams: file streams against an in-memory model, handle and counter streams, the fixed forms
// of strings and handles, stream-to-stream copy, and damaged input.
#include "foundation/stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "tests/support/foundation_testing.h"
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(status::kNoErr, InitMemoryManager(-1)); }
};

using test::HandleStream;

int OpenFd(const std::string& path) { return ::open(path.c_str(), O_RDWR | O_CREAT, 0600); }

// Reads, writes, skips, seeks, end changes, flushes and buffer-size changes at random, checking
// every result against a plain string; at the end the file must equal the model byte for byte.
TEST_F(StreamTest, RandomFileStreamEqualsModel) {
    test::TempDir dir;
    const uint32_t seed = test::TestSeed();
    const int32_t bufferSizes[] = {0, 100, 600, 4096};
    for (int32_t bufferSize : bufferSizes) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " buffer " << bufferSize);
        std::mt19937 rng(seed + uint32_t(bufferSize));
        auto rand = [&](int32_t n) { return int32_t(rng() % uint32_t(n)); };
        std::string model;
        for (int i = 0; i < 3000; ++i) model.push_back(char(rng()));
        const std::string path = dir.file("random" + std::to_string(bufferSize));
        ASSERT_TRUE(test::WriteFile(path, model));
        int fd = OpenFd(path);
        ASSERT_GE(fd, 0);
        StreamRecord* s = nullptr;
        ASSERT_EQ(CreateStream(kStreamFile, StreamTarget::File(fd), &s), 0);
        ASSERT_EQ(SetStreamBufferSize(s, bufferSize), 0);
        int32_t pos = 0;

        const uint64_t steps = test::StressCount(2000);
        for (uint64_t step = 0; step < steps; ++step) {
            const int32_t size = int32_t(model.size());
            switch (rand(10)) {
                case 0: case 1: case 2: {  // write
                    std::string bytes(size_t(rand(1500)), '\0');
                    for (char& c : bytes) c = char(rng());
                    ASSERT_EQ(StreamWrite(s, bytes.data(), int32_t(bytes.size())), 0);
                    if (pos + bytes.size() > model.size()) model.resize(pos + bytes.size());
                    model.replace(size_t(pos), bytes.size(), bytes);
                    pos += int32_t(bytes.size());
                    break;
                }
                case 3: case 4: case 5: {  // read or skip
                    int32_t want = rand(1500);
                    int32_t count = want;
                    std::string got(size_t(want), '\0');
                    const bool skip = rand(4) == 0;
                    OSStatus st = StreamRead(s, skip ? nullptr : got.data(), &count);
                    int32_t expect = std::min(want, size - pos);
                    ASSERT_EQ(st, want > size - pos ? status::kEndOfFile : status::kNoErr);
                    ASSERT_EQ(count, expect);
                    if (!skip) {
                        ASSERT_EQ(got.substr(0, size_t(count)), model.substr(size_t(pos), size_t(count)));
                    }
                    pos += count;
                    break;
                }
                case 6: case 7: {  // seek, sometimes out of range
                    int32_t to = rand(size + 20) - 10;
                    OSStatus st = SetStreamPosition(s, to);
                    if (to < 0) {
                        ASSERT_EQ(st, status::kBadPosition);
                    } else if (to > size) {
                        ASSERT_EQ(st, status::kEndOfFile);
                    } else {
                        ASSERT_EQ(st, 0);
                        pos = to;
                    }
                    break;
                }
                case 8: {  // change the end
                    int32_t to = rand(size + 2000);
                    ASSERT_EQ(SetStreamEnd(s, to), 0);
                    model.resize(size_t(to), '\0');
                    pos = std::min(pos, to);
                    break;
                }
                default:
                    if (rand(3) == 0) {
                        ASSERT_EQ(SetStreamBufferSize(s, rand(2) ? bufferSize : rand(5000)), 0);
                    } else {
                        ASSERT_EQ(FlushStreamBuffer(s, false), 0);
                    }
                    break;
            }
            ASSERT_EQ(GetStreamPosition(s), pos);
            ASSERT_EQ(GetStreamEnd(s), int32_t(model.size()));
        }
        ASSERT_EQ(CloseAndMaybeFlushFileStream(s, true), 0);
        std::string file;
        ASSERT_TRUE(test::ReadFile(path, file));
        ASSERT_EQ(file.size(), model.size());
        ASSERT_TRUE(file == model);
    }
}

TEST_F(StreamTest, FileOfTwoGigabytesIsRefused) {
    test::TempDir dir;
    struct Case { off_t size; OSStatus expect; };
    const Case cases[] = {{0x7FFFFFFF, 0}, {off_t(0x80000000), status::kParamErr}};
    for (const Case& c : cases) {
        int fd = OpenFd(dir.file("big"));
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, c.size), 0);
        StreamRecord* s = nullptr;
        EXPECT_EQ(CreateStream(kStreamFile, StreamTarget::File(fd), &s), c.expect);
        EXPECT_EQ(s == nullptr, c.expect != 0);
        if (s) {
            EXPECT_EQ(GetStreamEnd(s), 0x7FFFFFFF);
            ASSERT_EQ(SetStreamPosition(s, 0x7FFFFFFF), 0);
            EXPECT_EQ(StreamWrite(s, "x", 1), status::kParamErr);  // would reach 2 GiB
            DisposeStream(s);
        }
        ::close(fd);
    }
}

TEST_F(StreamTest, OpenFileStreamStatuses) {
    test::TempDir dir;
    StreamRecord* s = nullptr;
    EXPECT_EQ(OpenFileStream("", true, &s), status::kEmptyFileName);
    EXPECT_EQ(OpenFileStream(dir.file("none").c_str(), true, &s), status::kNotFound);
    EXPECT_EQ(OpenFileStream(dir.path().c_str(), true, &s), status::kNotFound);
    ASSERT_TRUE(test::WriteFile(dir.file("f"), "abc"));
    ASSERT_EQ(OpenFileStream(dir.file("f").c_str(), true, &s), 0);
    EXPECT_EQ(GetStreamEnd(s), 3);
    EXPECT_EQ(CloseAndMaybeFlushFileStream(s, false), 0);
}

TEST_F(StreamTest, ShortReadDeliversWhatRemains) {
    HandleStream h("0123456789");
    ASSERT_EQ(SetStreamPosition(h.stream, 6), 0);
    char buf[10] = {};
    int32_t count = 10;
    EXPECT_EQ(StreamRead(h.stream, buf, &count), status::kEndOfFile);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(GetStreamPosition(h.stream), 10);
}

TEST_F(StreamTest, CounterCountsAndCannotBeRead) {
    StreamRecord* s = nullptr;
    ASSERT_EQ(CreateStream(kStreamCounter, StreamTarget::Counter(0), &s), 0);
    std::vector<char> bytes(100, 'x');
    EXPECT_EQ(StreamWrite(s, bytes.data(), 100), 0);
    EXPECT_EQ(GetStreamPosition(s), 100);
    EXPECT_EQ(GetStreamEnd(s), 100);
    ASSERT_EQ(SetStreamPosition(s, 0), 0);
    int32_t count = 4;
    EXPECT_EQ(StreamRead(s, bytes.data(), &count), status::kWriteOnly);
    EXPECT_EQ(count, 0);
    DisposeStream(s);
}

TEST_F(StreamTest, HandleChunkRoundsTheEnd) {
    HandleStream h;
    SetHandleStreamChunkSize(h.stream, 1000);
    ASSERT_EQ(StreamWrite(h.stream, "z", 1), 0);
    EXPECT_EQ(GetStreamEnd(h.stream), 1024);
    EXPECT_EQ(SizeOfHandle(h.handle), 1024u);
    SetHandleStreamChunkSize(h.stream, 0);
    ASSERT_EQ(SetStreamEnd(h.stream, GetStreamPosition(h.stream)), 0);
    EXPECT_EQ(h.bytes(), "z");
}

// A stream grown by moving its end reads zeros in the new part, whatever its storage held there
// before: a handle stream as a file stream does.
TEST_F(StreamTest, GrowingTheEndGivesZeros) {
    test::TempDir dir;
    for (bool file : {false, true}) {
        SCOPED_TRACE(file ? "file" : "handle");
        HandleStream h;
        StreamRecord* s = h.stream;
        if (file) {
            const int fd = OpenFd(dir.file("grown"));
            ASSERT_GE(fd, 0);
            ASSERT_EQ(CreateStream(kStreamFile, StreamTarget::File(fd), &s), 0);
        }
        const std::string marks(4000, '\xAA');
        ASSERT_EQ(StreamWrite(s, marks.data(), int32_t(marks.size())), 0);
        ASSERT_EQ(SetStreamEnd(s, 8), 0);
        for (int32_t end : {3000, 4000, 70000}) {
            ASSERT_EQ(SetStreamEnd(s, end), 0);
            ASSERT_EQ(SetStreamPosition(s, 8), 0);
            std::string back(size_t(end - 8), '\x55');
            int32_t count = end - 8;
            ASSERT_EQ(StreamRead(s, back.data(), &count), 0);
            ASSERT_EQ(count, end - 8);
            EXPECT_EQ(std::count(back.begin(), back.end(), '\0'), end - 8) << "bytes beyond 8 of " << end;
        }
        if (file) {
            EXPECT_EQ(CloseAndMaybeFlushFileStream(s, false), 0);
        }
    }
}

TEST_F(StreamTest, BufferSizeRounding) {
    HandleStream h;
    struct Case { int32_t in, out; };
    for (Case c : {Case{100, 512}, Case{1001, 1004}, Case{512, 512}, Case{0, 0}}) {
        ASSERT_EQ(SetStreamBufferSize(h.stream, c.in), 0);
        EXPECT_EQ(h.stream->bufferSize, c.out) << c.in;
    }
}

TEST_F(StreamTest, WordsLongsAndReadSwapping) {
    HandleStream h;
    ASSERT_EQ(StreamWriteWord(h.stream, 0x1234), 0);
    ASSERT_EQ(StreamWriteLong(h.stream, 0x11223344), 0);
    ASSERT_EQ(StreamWriteLongBE(h.stream, 0xA1B2C3D4), 0);
    ASSERT_EQ(StreamWriteLong(h.stream, 0x01020304), 0);
    const uint8_t be[4] = {0xA1, 0xB2, 0xC3, 0xD4};
    EXPECT_EQ(std::memcmp(*h.handle + 6, be, 4), 0);

    for (bool swap : {false, true}) {
        ASSERT_EQ(SetStreamPosition(h.stream, 0), 0);
        EXPECT_FALSE(EnableStreamReadByteSwap(h.stream, swap));
        uint16_t w;
        uint32_t l;
        ASSERT_EQ(StreamReadWord(h.stream, &w), 0);
        EXPECT_EQ(w, swap ? 0x3412 : 0x1234);
        ASSERT_EQ(StreamReadLong(h.stream, &l), 0);
        EXPECT_EQ(l, swap ? 0x44332211u : 0x11223344u);
        ASSERT_EQ(OffsetStreamPosition(h.stream, 4), 0);
        uint32_t arr = 0;
        int32_t count = 4;
        ASSERT_EQ(StreamReadSwap(h.stream, &arr, &count, ByteSwapLongArray), 0);
        EXPECT_EQ(arr, swap ? 0x04030201u : 0x01020304u);
    }
    EXPECT_TRUE(EnableStreamReadByteSwap(h.stream, false));
    uint32_t l = 99;
    EXPECT_EQ(StreamReadLong(h.stream, &l), status::kEndOfFile);
    EXPECT_EQ(l, 0u);
}

TEST_F(StreamTest, StringsKeepTheirFormAndFitTheBuffer) {
    HandleStream h;
    ASSERT_EQ(StreamWriteString(h.stream, "abcdefghijklmnopqrst"), 0);  // 20 bytes
    ASSERT_EQ(StreamWriteString(h.stream, ""), 0);
    ASSERT_EQ(StreamWriteString(h.stream, "xy"), 0);
    EXPECT_EQ(h.bytes(), std::string("\0\x14" "abcdefghijklmnopqrst" "\0\0" "\0\x02xy", 28));
    std::string tooLong(70000, 'a');
    EXPECT_EQ(StreamWriteString(h.stream, tooLong.c_str()), status::kParamErr);
    EXPECT_EQ(GetStreamEnd(h.stream), 28);

    ASSERT_EQ(SetStreamPosition(h.stream, 0), 0);
    char buf[8];
    ASSERT_EQ(StreamReadString(h.stream, buf, 8), 0);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(GetStreamPosition(h.stream), 22);
    ASSERT_EQ(StreamReadString(h.stream, buf, 8), 0);
    EXPECT_STREQ(buf, "");
    ASSERT_EQ(StreamReadString(h.stream, nullptr, 0), 0);
    EXPECT_EQ(GetStreamPosition(h.stream), 28);
}

TEST_F(StreamTest, HandlesRoundTripInBothLengthForms) {
    for (bool bigEndian : {false, true}) {
        HandleStream h;
        if (bigEndian) h.stream->flags |= kStreamBigEndianHandles;
        Handle a = AllocHandle(nullptr, 5);
        std::memcpy(*a, "hello", 5);
        Handle empty = AllocHandle(nullptr, 0);
        ASSERT_EQ(StreamWriteHandle(h.stream, a), 0);
        ASSERT_EQ(StreamWriteHandle(h.stream, nullptr), 0);
        ASSERT_EQ(StreamWriteHandle(h.stream, empty), 0);
        const uint8_t* p = reinterpret_cast<uint8_t*>(*h.handle);
        EXPECT_EQ(bigEndian ? p[3] : p[0], 5);
        ASSERT_EQ(SetStreamPosition(h.stream, 0), 0);
        Handle back = nullptr;
        ASSERT_EQ(StreamReadHandle(h.stream, nullptr, &back), 0);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(std::string(*back, SizeOfHandle(back)), "hello");
        MemFree(back);
        ASSERT_EQ(StreamReadHandle(h.stream, nullptr, &back), 0);
        EXPECT_EQ(back, nullptr);
        ASSERT_EQ(StreamReadHandle(h.stream, nullptr, &back), 0);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(SizeOfHandle(back), 0u);
        MemFree(back);
        MemFree(a);
        MemFree(empty);
    }
}

// Damaged input: every reader ends with a status and leaves nothing allocated.
TEST_F(StreamTest, TruncatedAndCorruptInputEndsWithAStatus) {
    struct Case {
        const char* name;
        std::string bytes;
        int reader;  // 0 word, 1 long, 2 string, 3 handle
    };
    const Case cases[] = {
        {"word cut", std::string("\x01", 1), 0},
        {"long cut", std::string("\x01\x02\x03", 3), 1},
        {"string length cut", std::string("\x00", 1), 2},
        {"string body cut", std::string("\x00\x10" "abc", 5), 2},
        {"handle length cut", std::string("\x05\x00", 2), 3},
        {"handle body cut", std::string("\x05\x00\x00\x00" "ab", 6), 3},
        {"handle length huge", std::string("\xF0\xFF\xFF\x7F", 4), 3},
    };
    // In a pool with a small ceiling: a length taken before it was checked against the stream
    // runs into the ceiling, though the read would fail either way.
    test::CappedPool capped;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandleStream h(c.bytes);
        capped.clear();
        OSStatus st = 0;
        char buf[32];
        Handle out = nullptr;
        uint16_t w;
        uint32_t l;
        switch (c.reader) {
            case 0: st = StreamReadWord(h.stream, &w); break;
            case 1: st = StreamReadLong(h.stream, &l); break;
            case 2: st = StreamReadString(h.stream, buf, sizeof buf); break;
            default: st = StreamReadHandle(h.stream, capped.pool(), &out); break;
        }
        EXPECT_FALSE(capped.hitCeiling());
        EXPECT_EQ(st, status::kEndOfFile);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(GetStreamPosition(h.stream), GetStreamEnd(h.stream));
    }
}

TEST_F(StreamTest, StreamToStreamCopiesAndRestoresBuffers) {
    test::TempDir dir;
    std::string data(1000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7);
    ASSERT_TRUE(test::WriteFile(dir.file("src"), data));
    int srcFd = OpenFd(dir.file("src"));
    int dstFd = OpenFd(dir.file("dst"));
    StreamRecord* src = nullptr;
    StreamRecord* dst = nullptr;
    ASSERT_EQ(CreateStream(kStreamFile, StreamTarget::File(srcFd), &src), 0);
    ASSERT_EQ(CreateStream(kStreamFile, StreamTarget::File(dstFd), &dst), 0);
    ASSERT_EQ(SetStreamBufferSize(src, 1001), 0);
    ASSERT_EQ(SetStreamBufferSize(dst, 600), 0);
    ASSERT_EQ(StreamWrite(dst, "head", 4), 0);

    int32_t count = 3000;
    EXPECT_EQ(StreamToStream(src, dst, &count), status::kEndOfFile);
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(src->bufferSize, 1004);
    EXPECT_EQ(dst->bufferSize, 600);
    EXPECT_EQ(GetStreamEnd(dst), 1004);

    count = 0;
    EXPECT_EQ(StreamToStream(src, dst, &count), 0);
    EXPECT_EQ(count, 0);
    ASSERT_EQ(CloseAndMaybeFlushFileStream(src, false), 0);
    ASSERT_EQ(CloseAndMaybeFlushFileStream(dst, false), 0);
    std::string out;
    ASSERT_TRUE(test::ReadFile(dir.file("dst"), out));
    EXPECT_TRUE(out == "head" + data);

    // Into a handle stream, in large chunks.
    HandleStream big(std::string(40000, 'q'));
    HandleStream copy;
    count = 40000;
    EXPECT_EQ(StreamToStream(big.stream, copy.stream, &count), 0);
    EXPECT_EQ(count, 40000);
    EXPECT_TRUE(copy.bytes() == big.bytes());
}

// A file that cannot be written: the failure comes back from the write (unbuffered) or from the
// flush (buffered), and the stream stays consistent with the file.
TEST_F(StreamTest, FailedFileWritesReportAndRecalculate) {
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFile(dir.file("ro"), "abcdef"));
    for (int32_t bufferSize : {0, 512}) {
        StreamRecord* s = nullptr;
        ASSERT_EQ(OpenFileStream(dir.file("ro").c_str(), true, &s), 0);
        ASSERT_EQ(SetStreamBufferSize(s, bufferSize), 0);
        ASSERT_EQ(SetStreamPosition(s, 2), 0);
        if (bufferSize == 0) {
            EXPECT_EQ(StreamWrite(s, "XYZWVU", 6), status::kParamErr);
            EXPECT_EQ(GetStreamEnd(s), 6);
            EXPECT_EQ(GetStreamPosition(s), 2);
        } else {
            EXPECT_EQ(StreamWrite(s, "XYZWVU", 6), 0);
            EXPECT_EQ(GetStreamEnd(s), 8);
            EXPECT_EQ(FlushStreamBuffer(s, false), status::kParamErr);
            ASSERT_EQ(RecalculateStream(s), 0);
            EXPECT_EQ(GetStreamEnd(s), 6);
        }
        // The failure stays with the stream: the close reports it too and leaves it open.
        EXPECT_EQ(GetStreamWriteError(s), status::kParamErr);
        EXPECT_EQ(CloseAndMaybeFlushFileStream(s, false), status::kParamErr);
        const int fd = s->target.fd;
        DisposeStream(s);
        ::close(fd);
        std::string file;
        ASSERT_TRUE(test::ReadFile(dir.file("ro"), file));
        EXPECT_EQ(file, "abcdef");
    }
}

// A full disk in the middle of writes: the bytes that did not reach the file are never reported
// as written. Once a write failed, every later write, flush and close of the stream returns the
// failure, also after the disk has room again, so that a caller who only checks the final flush
// or close learns of it; a stream emptied for writing afresh starts clean.
TEST_F(StreamTest, AFullDiskIsReportedByEveryLaterWriteFlushAndClose) {
    test::TempDir dir;
    const std::string data = [] {
        std::string d;
        for (int i = 0; i < 3000; ++i) d.push_back(char('a' + i % 26));
        return d;
    }();
    struct Case {
        int32_t bufferSize;
        int32_t chunk;  // the caller's writes
        int64_t room;   // bytes the disk takes
    };
    const Case cases[] = {
        {0, 100, 0},      {0, 100, 250},   {0, 3000, 1000},  {512, 100, 0},  {512, 100, 512},
        {512, 700, 600},  {512, 3000, 0},  {512, 300, 2999}, {4096, 100, 0}, {4096, 3000, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "buffer " << c.bufferSize << " chunk " << c.chunk << " room " << c.room);
        const std::string path = dir.file("full");
        ASSERT_TRUE(test::WriteFile(path, ""));
        StreamRecord* s = nullptr;
        ASSERT_EQ(OpenFileStream(path.c_str(), false, &s), 0);
        ASSERT_EQ(SetStreamBufferSize(s, c.bufferSize), 0);
        {
            test::FullDisk disk(c.room);
            // A careless caller: it goes on writing after a failure and checks only the flush.
            for (size_t at = 0; at < data.size(); at += size_t(c.chunk)) {
                const OSStatus st =
                    StreamWrite(s, data.data() + at, int32_t(std::min(data.size() - at, size_t(c.chunk))));
                EXPECT_TRUE(st == 0 || st == status::kBusy) << st;
            }
            EXPECT_EQ(FlushStreamBuffer(s, false), status::kBusy);
        }
        // The disk has room again: what was lost stays reported.
        EXPECT_EQ(StreamWrite(s, "more", 4), status::kBusy);
        EXPECT_EQ(FlushStreamBuffer(s, true), status::kBusy);
        EXPECT_EQ(SetStreamBufferSize(s, 0), status::kBusy);
        EXPECT_EQ(CloseAndMaybeFlushFileStream(s, false), status::kBusy);
        // Emptied for writing afresh, the stream works again.
        ASSERT_EQ(RestartStream(s), 0);
        ASSERT_EQ(StreamWrite(s, "fresh", 5), 0);
        EXPECT_EQ(CloseAndMaybeFlushFileStream(s, true), 0);
        std::string file;
        ASSERT_TRUE(test::ReadFile(path, file));
        EXPECT_EQ(file.substr(0, 5), "fresh");
    }
    // With room for everything nothing fails, and the counter sees every byte.
    const std::string path = dir.file("room");
    ASSERT_TRUE(test::WriteFile(path, ""));
    StreamRecord* s = nullptr;
    ASSERT_EQ(OpenFileStream(path.c_str(), false, &s), 0);
    ASSERT_EQ(SetStreamBufferSize(s, 512), 0);
    test::FullDisk disk(int64_t(data.size()));
    ASSERT_EQ(StreamWrite(s, data.data(), int32_t(data.size())), 0);
    EXPECT_EQ(CloseAndMaybeFlushFileStream(s, false), 0);
    EXPECT_EQ(GetFileBytesWritten(), int64_t(data.size()));
    std::string file;
    ASSERT_TRUE(test::ReadFile(path, file));
    EXPECT_TRUE(file == data);
}

TEST_F(StreamTest, CloseOfAnotherKindIsRefused) {
    HandleStream h;
    EXPECT_EQ(CloseAndMaybeFlushFileStream(h.stream, false), status::kFileNotOpen);
}

}  // namespace
}  // namespace plexa
