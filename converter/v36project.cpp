// Version-3.6 project files.
#include "converter/v36project.h"

#include <sys/stat.h>

#include <cstring>

#include "converter/leader.h"
#include "converter/report.h"
#include "converter/v36read.h"
#include "converter/v36translate.h"
#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "foundation/stream.h"

namespace plexa {
namespace {

constexpr uint8_t kHeaderBlock = 1;
constexpr uint8_t kSheetListBlock = 3;
constexpr uint8_t kNativeOrderFlag = 0x10;
constexpr uint32_t kHeaderFixedSize = 24;  // version, flags, 20 bytes not used
constexpr uint32_t kOldNameOffset = 6;

FindSheetPanelProc gFindSheetPanel = nullptr;
void* gFindSheetRefCon = nullptr;

// A stream over bytes the caller keeps.
struct BytesStream {
    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
    OSStatus Open(const void* bytes, uint32_t length) {
        handle = AllocHandleWithData(nullptr, bytes, length);
        if (!handle) return status::kOutOfMemory;
        return CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream);
    }
    ~BytesStream() {
        if (stream) DisposeStream(stream);
        if (handle) MemFree(handle);
    }
};

OSStatus ReadLength(StreamRecord* stream, bool swapped, uint32_t* length) {
    uint32_t value = 0;
    if (OSStatus st = v36::ReadBytes(stream, &value, 4)) return st;
    if (swapped) ByteSwapLong(&value);
    if (value > kV36MaxFolderAliasLength) return kV36DamagedFile;
    *length = value;
    return status::kNoErr;
}

}  // namespace

OSStatus ParseV36ProjectHeader(const void* bytes, uint32_t length, V36ProjectFile* project) {
    if (length < kHeaderFixedSize + 4) return status::kEndOfFile;
    const auto* b = static_cast<const uint8_t*>(bytes);
    project->swapped = !(b[2] & kNativeOrderFlag);
    project->version = project->swapped ? GetBE16(b) : GetLE16(b);
    BytesStream in;
    if (OSStatus st = in.Open(bytes, length)) return st;
    if (OSStatus st = v36::Seek(in.stream, kHeaderFixedSize)) return st;
    uint32_t alias = 0;
    if (OSStatus st = ReadLength(in.stream, project->swapped, &alias)) return st;
    return v36::Skip(in.stream, alias);
}

OSStatus ParseV36ProjectSheets(const void* bytes, uint32_t length, V36ProjectFile* project) {
    project->sheets.clear();
    BytesStream in;
    if (OSStatus st = in.Open(bytes, length)) return st;
    DAArray array = nullptr;
    if (OSStatus st = DARead(nullptr, &array, in.stream, nullptr)) return st;
    struct Holder {
        DAArray array;
        ~Holder() { DADispose(array); }
    } hold{array};
    const int32_t itemSize = (*array)->itemSize;
    std::vector<std::string> names;
    int32_t id = -1;
    char* record = nullptr;
    while (DANextAddress(array, &id, &record)) {
        const auto* r = reinterpret_cast<const uint8_t*>(record);
        std::string name;
        if (project->version < kV36CStringNameVersion) {
            if (uint32_t(itemSize) <= kOldNameOffset) return kV36DamagedFile;
            const uint32_t count = r[kOldNameOffset];
            if (kOldNameOffset + 1 + count > uint32_t(itemSize) || count > kV36SheetNameLimit) return kV36DamagedFile;
            name = V36Text(r + kOldNameOffset + 1, count);
        } else {
            const uint32_t held = std::min<uint32_t>(uint32_t(itemSize), kV36SheetNameLimit + 1);
            const void* end = std::memchr(r, 0, held);
            if (!end) return kV36DamagedFile;
            name = V36Text(r, size_t(static_cast<const uint8_t*>(end) - r));
        }
        if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
            return kV36DamagedFile;
        names.push_back(name);
    }
    // The folder aliases, one per record.
    for (size_t i = 0; i < names.size(); ++i) {
        uint32_t alias = 0;
        if (OSStatus st = ReadLength(in.stream, project->swapped, &alias)) return st;
        if (OSStatus st = v36::Skip(in.stream, alias)) return st;
    }
    project->sheets = std::move(names);
    return status::kNoErr;
}

OSStatus OpenV36ProjectFile(const FileSpec* spec, V36ProjectFile* project) {
    *project = V36ProjectFile{};
    DynamicFileRecord file{};
    if (OSStatus st = OpenDynamicFile(spec, true, &file)) return st;
    struct Closer {
        DynamicFileRecord* file;
        ~Closer() { (void)CloseAndMaybeFlushDynamicFile(file, false); }  // read only: nothing to flush
    } closer{&file};
    if (file.fileType != kV36ProjectFileType) return status::kUnknownFileKind;
    auto load = [&file](uint8_t type, Handle* bytes) -> OSStatus {
        uint32_t offset = 0, size = 0;
        if (OSStatus st = FindFileBlock(&file, type, &offset, &size, true)) return st;
        if (offset == 0) return kV36ProjectDamaged;
        return LoadFileBlock(&file, offset, bytes);
    };
    OSStatus st = status::kNoErr;
    for (uint8_t type : {kHeaderBlock, kSheetListBlock}) {
        Handle bytes = nullptr;
        st = load(type, &bytes);
        if (st == status::kNoErr)
            st = type == kHeaderBlock ? ParseV36ProjectHeader(*bytes, SizeOfHandle(bytes), project)
                                      : ParseV36ProjectSheets(*bytes, SizeOfHandle(bytes), project);
        if (bytes) MemFree(bytes);
        if (st) break;
    }
    return st;
}

bool IsV36SheetFile(const FileSpec* spec) {
    std::string path;
    if (CreateURLFromFileSpec(spec, false, &path)) return false;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    StreamRecord* stream = nullptr;
    if (OpenFileStream(path.c_str(), true, &stream)) return false;
    FileLeaderInfo leader{};
    const bool sheet = ReadFileLeader(stream, &leader) == status::kNoErr && leader.type == FourCC("QSCM");
    (void)CloseAndMaybeFlushFileStream(stream, false);  // read only: nothing to flush
    return sheet;
}

void SetFindSheetPanel(FindSheetPanelProc proc, void* refCon) {
    gFindSheetPanel = proc;
    gFindSheetRefCon = refCon;
}

std::string FindSheetPrompt(const std::string& name) { return "Please find \"" + name + "\""; }

OSStatus FindV36ProjectSheets(const FileSpec* projectSpec, V36ProjectFile* project, std::vector<FileSpec>* files) {
    files->clear();
    DirectoryRef chosenFolder{};
    bool haveChosen = false;
    for (std::string& name : project->sheets) {
        FileSpec spec{};
        bool found = false;
        for (int pass = 0; pass < 2 && !found; ++pass) {
            if (pass == 1 && !haveChosen) break;
            spec = FileSpec{};
            spec.directory = pass == 0 ? projectSpec->directory : chosenFolder;
            SetFileSpecName(&spec, name.c_str());
            found = IsV36SheetFile(&spec);
        }
        if (!found) {
            if (!gFindSheetPanel) return status::kUserCancelled;
            FileSpec chosen{};
            if (OSStatus st = gFindSheetPanel(FindSheetPrompt(name).c_str(), name.c_str(), &chosen, gFindSheetRefCon))
                return st;
            if (!IsV36SheetFile(&chosen)) return status::kUnknownFileKind;
            spec = chosen;
            name.assign(chosen.name, strnlen(chosen.name, kV36SheetNameLimit));
            chosenFolder = chosen.directory;
            haveChosen = true;
        }
        files->push_back(spec);
    }
    return status::kNoErr;
}

}  // namespace plexa
