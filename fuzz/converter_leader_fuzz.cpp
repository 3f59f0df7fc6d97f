// Fuzz target: the start of a file that reaches the converter. A file leader that reads must lie
// inside the input with the stream behind it, where the content is read next; without a leader
// the library header is read, and a library's directory entries are read behind it as the
// library conversion does. Nothing may read outside the input or keep memory.
#include <cstdint>
#include <cstdlib>

#include "converter/detect.h"
#include "converter/leader.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_core.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    Handle input = AllocHandleWithData(nullptr, data, uint32_t(size));
    if (!input) return 0;
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(input), &stream) == 0) {
        FileLeaderInfo leader;
        const OSStatus st = ReadFileLeader(stream, &leader);
        if (st == 0) {
            if (leader.length < kFileLeaderSize || leader.length > size ||
                GetStreamPosition(stream) != int32_t(leader.length) || leader.platform == 0)
                std::abort();
            uint8_t header[32];
            int32_t count = int32_t(sizeof header);
            (void)StreamRead(stream, header, &count);  // fuzzing: only no crash counts
        } else if (st == kNoFileLeader) {
            V36LibraryHeader library;
            if (ReadV36LibraryHeader(stream, &library) == 0) {
                if (size < kV36LibraryHeaderSize || library.version < kV36LibraryOldestVersion ||
                    GetStreamPosition(stream) != int32_t(kV36LibraryHeaderSize))
                    std::abort();
                for (uint16_t i = 0; i < library.itemCount; ++i) {
                    uint32_t position = 0;
                    uint8_t entry[26];
                    int32_t count = int32_t(sizeof entry);
                    if (StreamReadLong(stream, &position) || StreamRead(stream, entry, &count)) break;
                }
            }
        } else if (st != status::kEndOfFile) {
            std::abort();
        }
        DisposeStream(stream);
    }
    MemFree(input);
    return 0;
}
