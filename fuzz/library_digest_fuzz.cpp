// Takes fuzzed bytes as the library digest file and asks it for the digests of two library files,
// as the library finder does. Whatever the bytes, each answer must be the file's true digest (a
// stored record counts only while it is still its file's), and asking again must give the same
// from what was written back.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "fuzz/fuzz_support.h"
#include "library/libdigest.h"
#include "library/libfile.h"
#include "fuzz/fuzz_core.h"

namespace {

using namespace plexa;

struct Scratch {
    bool ready = false;
    std::string folder;
    FileSpec libraries[2];
    ItemNamesDigest truth[2];
    std::string digestPath;
};

// A flattened item with one name of three letters: the fixed head, the name and the end of names.
std::string SmallItem(const char* name) {
    std::string b = {0x34, 0x12, 0, 0, 0, 0, 1, 4, 0};  // mark, stamp, valid, version 4
    b.append(4, '\0');                                  // reference prefix
    b += std::string{1, 0, 0, 1, 0, 0, 0, 0};           // counts, kind, UTF-8 flag, attributes
    b.append(12, '\0');
    b += std::string{3, name[0], name[1], name[2], 0, 0, 0};
    return b;
}

bool MakeLibrary(const std::string& path, const char* name, FileSpec* spec) {
    if (FileSpecFromURL(path, spec, false, nullptr) != 0 || CreateLibraryFile(spec) != 0) return false;
    LibraryFileRecord record;
    if (OpenLibraryFile(spec, &record, kLibraryOpenLoadMap) != 0) return false;
    const std::string bytes = SmallItem(name);
    Handle item = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
    uint32_t id = 0;
    const bool written = item && WriteLibraryFileItem(&record, item, true, &id) == 0;
    MemFree(item);
    return CloseLibraryFile(&record) == 0 && written;
}

Scratch& Setup() {
    static Scratch s;
    if (s.ready) return s;
    s.folder = fuzz::ScratchPath("digest");
    ::mkdir(s.folder.c_str(), 0700);
    static std::string removeAtExit;
    removeAtExit = s.folder;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(removeAtExit, ec);
    });
    // The standard folders, and so the digest file, in the scratch folder.
    ::setenv("XDG_DATA_HOME", (s.folder + "/data").c_str(), 1);
    const char* names[2] = {"ABC", "XYZ"};
    for (int i = 0; i < 2; ++i) {
        if (!MakeLibrary(s.folder + "/L" + std::to_string(i) + ".LBX", names[i], &s.libraries[i])) std::abort();
        if (CheckLibraryFileDigest(&s.libraries[i], nullptr, 0, &s.truth[i], nullptr, nullptr) != 0) std::abort();
    }
    FileSpec spec;
    if (GetLibDigestFileSpec(&spec) != 0 || CreateURLFromFileSpec(&spec, false, &s.digestPath) != 0) std::abort();
    s.ready = true;
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    Scratch& s = Setup();
    FileSpec digestFile;
    if (!fuzz::WriteScratchFile(s.digestPath, data, size, &digestFile)) return 0;
    if (OpenLibDigestFile() != 0) return 0;
    ItemNamesDigest query;
    const int32_t rows = StringToDigest("BC", &query, false);
    for (int pass = 0; pass < 2; ++pass) {
        for (int32_t n : {0, 1, 3}) {
            const int which = n % 2;
            ItemNamesDigest digest;
            const OSStatus st = GetLibDigestRecord(n, &s.libraries[which], &digest);
            if (std::memcmp(&digest, &s.truth[which], sizeof digest) != 0) std::abort();
            if (st == 0 && IsSubDigest(&query, rows, &digest, kDigestRows) != (which == 0)) std::abort();
        }
        ClearLibDigestRebuild();
    }
    CloseLibDigestFile();
    return 0;
}
