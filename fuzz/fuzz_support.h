// What the fuzz targets share: the input as a handle stream, the input as a file on disk, the bytes
// a writer put on a stream, and the seeds each target writes through the project's own writers.
//
// Every target defines `FuzzSeeds`; the replay program writes them with `--write-seeds <folder>`
// (scripts/fuzz --seeds rewrites fuzz/corpus/ that way).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"

// The seed inputs of a target, written by the project's own writers.
std::vector<std::string> FuzzSeeds();

namespace plexa::fuzz {

// A handle stream over a copy of the input, positioned at 0. Empty input gives an empty handle.
class InputStream {
public:
    InputStream(const uint8_t* data, size_t size) {
        handle_ = AllocHandleWithData(nullptr, data, uint32_t(size));
        if (handle_ && CreateStream(kStreamHandle, StreamTarget::OfHandle(handle_), &stream_) != 0)
            stream_ = nullptr;
    }
    ~InputStream() {
        if (stream_) DisposeStream(stream_);
        if (handle_) MemFree(handle_);
    }
    explicit InputStream(const std::string& bytes)
        : InputStream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;
    StreamRecord* get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }

private:
    Handle handle_ = nullptr;
    StreamRecord* stream_ = nullptr;
};

// A handle stream that collects what a writer puts on it.
class OutputStream {
public:
    OutputStream() {
        handle_ = AllocHandle(nullptr, 0);
        if (handle_ && CreateStream(kStreamHandle, StreamTarget::OfHandle(handle_), &stream_) != 0)
            stream_ = nullptr;
    }
    ~OutputStream() {
        if (stream_) DisposeStream(stream_);
        if (handle_) MemFree(handle_);
    }
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;
    StreamRecord* get() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    // The bytes written so far.
    std::string bytes() const {
        if (!stream_ || !handle_ || !*handle_) return {};
        return std::string(*handle_, size_t(GetStreamEnd(stream_)));
    }

private:
    Handle handle_ = nullptr;
    StreamRecord* stream_ = nullptr;
};

// What an owner does with a record it read and may save again: writes it with `write` (a status)
// and reads the bytes back with `read` (a status). The project's own writer must give what its
// reader takes: a failing read of written bytes is a finding (abort).
template <class Write, class Read>
void RoundTrip(Write write, Read read) {
    OutputStream out;
    if (!out || write(out.get()) != 0) return;
    InputStream again(out.bytes());
    if (!again || read(again.get()) != 0) std::abort();
}

// The path of a scratch file or folder of this process (one a name, reused by every input): in a
// folder of the process's own, made with mkdtemp in the temporary directory (no other process can
// choose its name or put anything in it) and removed with what it holds at exit.
inline std::string ScratchPath(const char* name) {
    static const std::string folder = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && base[0] == '/' ? base : "/tmp") + "/plexa-fuzz.XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        static const std::string made = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);  // never follows symbolic links
        });
        return pattern;
    }();
    return folder + "/" + name;
}

// Writes the bytes to the scratch file and gives its spec; false when it cannot be written.
[[nodiscard]] inline bool WriteScratchFile(const std::string& path, const void* data, size_t size, FileSpec* spec) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return false;
    return FileSpecFromURL(path, spec, false, nullptr) == 0;
}

// Reads a whole file (the seeds of targets whose writer writes files).
inline std::string ReadWholeFile(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

}  // namespace plexa::fuzz
