// Streams (the reads every stored format goes through). The first byte gives the length n of a
// script of operations that follows it; the rest is the stream's content. The script runs over a
// handle stream and over a buffered file stream of the same bytes: words and longs (swapped or
// not), strings, handles, skips, positioning, growing and cutting the end, and copying to another
// stream.
#include <cstring>

#include "foundation/byteswap.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

namespace {

void Run(StreamRecord* stream, const uint8_t* script, size_t length) {
    fuzz::OutputStream copy;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t op = script[i];
        const int32_t amount = int32_t(op >> 3) * 7 - 20;
        switch (op & 7) {
            case 0: {
                uint16_t word;
                (void)StreamReadWord(stream, &word);  // fuzzing: only no crash counts
                uint32_t value;
                (void)StreamReadLong(stream, &value);  // fuzzing: only no crash counts
                break;
            }
            case 1: {
                char text[64];
                (void)StreamReadString(stream, text, int32_t(sizeof text) - (op >> 4));  // fuzzing: only no crash counts
                break;
            }
            case 2: {
                Handle handle = nullptr;
                if (StreamReadHandle(stream, nullptr, &handle) == 0 && handle) MemFree(handle);
                break;
            }
            case 3: {
                char bytes[40];
                int32_t count = int32_t(op >> 3) + 1;
                (void)StreamReadSwap(stream, bytes, &count, (op & 0x40) ? ByteSwapLongArray : ByteSwapWordArray);  // fuzzing: only no crash counts
                break;
            }
            case 4:
                (void)OffsetStreamPosition(stream, amount);  // fuzzing: only no crash counts
                break;
            case 5:
                (void)SetStreamPosition(stream, amount < 0 ? GetStreamEnd(stream) + amount : amount);  // fuzzing: only no crash counts
                break;
            case 6:
                (void)SetStreamEnd(stream, GetStreamEnd(stream) + amount);  // fuzzing: only no crash counts
                break;
            case 7: {
                EnableStreamReadByteSwap(stream, (op & 8) != 0);
                if (copy) {
                    int32_t count = int32_t(op >> 4) * 9;
                    (void)StreamToStream(stream, copy.get(), &count);  // fuzzing: only no crash counts
                }
                break;
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t scriptLength = std::min<size_t>(data[0], size - 1);
    const uint8_t* script = data + 1;
    const uint8_t* content = script + scriptLength;
    const size_t contentSize = size - 1 - scriptLength;
    {
        fuzz::InputStream in(content, contentSize);
        if (in) Run(in.get(), script, scriptLength);
    }
    static const std::string path = fuzz::ScratchPath("stream");
    FileSpec spec;
    if (!fuzz::WriteScratchFile(path, content, contentSize, &spec)) return 0;
    StreamRecord* file = nullptr;
    if (OpenFileStream(path.c_str(), false, &file) == 0) {
        (void)SetStreamBufferSize(file, 512);  // fuzzing: only no crash counts
        Run(file, script, scriptLength);
        (void)CloseAndMaybeFlushFileStream(file, false);  // fuzzing: only no crash counts
    }
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::OutputStream out;
    (void)StreamWriteWord(out.get(), 0x1234);  // fuzzing: only no crash counts
    (void)StreamWriteLong(out.get(), 0x01020304);  // fuzzing: only no crash counts
    (void)StreamWriteString(out.get(), "a stored string");  // fuzzing: only no crash counts
    Handle handle = AllocHandleWithData(nullptr, "handle bytes", 12);
    (void)StreamWriteHandle(out.get(), handle);  // fuzzing: only no crash counts
    MemFree(handle);
    (void)StreamWriteLongBE(out.get(), 77);  // fuzzing: only no crash counts
    const std::string content = out.bytes();
    const std::string script = {0, 1, 2, 3, 0x43, 4, 5, 6, 0x0F, 0x77, 0x28};
    const std::string swapped = {0x08 | 7, 0, 1, 0x30 | 6, 0x7F};
    return {std::string(1, char(script.size())) + script + content,
            std::string(1, char(swapped.size())) + swapped + content};
}
