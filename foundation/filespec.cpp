// File specs, locations, derived creator and type codes, and bookmarks (see filespec.h).
#include "foundation/filespec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/memory.h"
#include "foundation/strings.h"

namespace plexa {
namespace {

constexpr char kBookmarkMagic[4] = {'P', 'X', 'B', 'M'};
constexpr uint16_t kBookmarkVersion = 1;
constexpr uint32_t kBookmarkHeaderSize = 24;

bool StatPath(const std::string& path, struct stat* info) {
    return !path.empty() && ::stat(path.c_str(), info) == 0;
}

bool IsFolderPath(const std::string& path) {
    struct stat info {};
    return StatPath(path, &info) && S_ISDIR(info.st_mode);
}

// The folder part and the last component of a normalized absolute path; false for "/".
bool SplitLast(const std::string& path, std::string* folder, std::string* name) {
    if (path.size() < 2 || path[0] != '/') return false;
    const size_t slash = path.rfind('/');
    *folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    *name = path.substr(slash + 1);
    return !name->empty();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (name.empty()) return folder;
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool EqualsCode(const char* code, const char* expected) { return std::strncmp(code, expected, 4) == 0; }

// ---- Derived codes ----

struct ExtensionKind {
    const char* extension;
    const char* creator;
    const char* type;
    bool text;
};

// Extensions compared without regard to case.
constexpr ExtensionKind kExtensionKinds[] = {
    {".SHX", "QPLX", "SCH4", false}, {".PRX", "QPLX", "PRJ4", false}, {".LBX", "QPLX", "LIB4", false},
    {".SXP", "", "TEXT", true},      {".ASC", "", "TEXT", true},      {".TXT", "", "TEXT", true},
    {".DXF", "", "TEXT", true},      {".CSV", "", "TEXT", true},      {".NET", "", "TEXT", true},
    {".CIR", "", "TEXT", true},      {".LOG", "", "TEXT", true},
    {".ECO", "QPLX", "QECO", false},
};

const ExtensionKind* KindOfName(const std::string& name) {
    for (const ExtensionKind& kind : kExtensionKinds) {
        if (NameHasExtension(name.c_str(), kind.extension)) return &kind;
    }
    return nullptr;
}

// Reads up to `size` bytes from the start of a file; the count read, -1 when it cannot be read.
ssize_t ReadHead(const std::string& path, unsigned char* buffer, size_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    ssize_t total = 0;
    while (size_t(total) < size) {
        const ssize_t n = ::read(fd, buffer + total, size - size_t(total));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += n;
    }
    ::close(fd);
    return total;
}

// A dynamic file's head: "ORDF", big-endian version 257 or 258, the file type.
bool DynamicFileType(const std::string& path, char type[5]) {
    unsigned char head[10];
    if (ReadHead(path, head, sizeof head) != ssize_t(sizeof head)) return false;
    if (std::memcmp(head, "ORDF", 4) != 0) return false;
    const uint64_t version = GetBE16(head + 4);
    if (version != 257 && version != 258) return false;
    std::memcpy(type, head + 6, 4);
    type[4] = 0;
    return true;
}

// Text: the first bytes hold no NUL and are valid UTF-8 (a character cut at the end is allowed).
bool LooksLikeText(const std::string& path) {
    unsigned char head[512];
    const ssize_t n = ReadHead(path, head, sizeof head);
    if (n < 0) return false;
    for (ssize_t i = 0; i < n;) {
        const unsigned char c = head[i];
        int follow = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (c == 0 || follow < 0 || (c >= 0xC0 && c < 0xC2)) return false;
        for (int k = 1; k <= follow; ++k) {
            if (i + k >= n) return true;
            if ((head[i + k] & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}

}  // namespace

void ClearDirectoryRef(DirectoryRef* directory) {
    if (!directory) return;
    directory->length = 0;
    directory->bytes[0] = 0;
}

void ClearFileSpec(FileSpec* spec) {
    if (spec) std::memset(spec, 0, sizeof *spec);
}

bool IsDirectoryInvalid(const DirectoryRef* directory) { return !directory || directory->length == 0; }

void SetFileSpecCode(char code[5], const char* value) {
    std::memset(code, 0, 5);
    if (value) std::memcpy(code, value, ::strnlen(value, 4));
}

OSStatus StatusFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ELOOP:
            return status::kNotFound;
        case EEXIST:
        case EISDIR:
            return status::kDuplicateName;
        case EACCES:
        case EPERM:
        case EROFS:
            return status::kPermission;
        case ENOTEMPTY:
        case EBUSY:
            return status::kBusy;
        case ENOSPC:
            return -34;
        default:
            return status::kParamErr;
    }
}

std::string NormalizePath(const std::string& path, const std::string& base) {
    if (path.empty()) return std::string();
    std::string full;
    if (path[0] == '/') {
        full = path;
    } else {
        std::string from = base;
        if (from.empty()) {
            char cwd[PATH_MAX];
            from = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
        }
        full = from + "/" + path;
    }
    std::string out;
    size_t i = 0;
    while (i < full.size()) {
        size_t j = full.find('/', i);
        if (j == std::string::npos) j = full.size();
        const std::string_view part(full.data() + i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            // ".." is taken through the real folder, as the system would.
            if (!out.empty()) {
                char real[PATH_MAX];
                if (::realpath(out.c_str(), real)) out = real;
                const size_t slash = out.rfind('/');
                out.resize(slash == std::string::npos ? 0 : slash);
            }
            continue;
        }
        out += '/';
        out.append(part);
    }
    return out.empty() ? std::string("/") : out;
}

// ---- Locations and file specs ----

OSStatus CreateDirectoryURLFromDirectory(const DirectoryRef* directory, std::string* location) {
    if (location) location->clear();
    if (!directory || !location || directory->length < 1 || directory->length >= kDirectoryRefCapacity ||
        directory->bytes[directory->length] != 0 || directory->bytes[0] != '/' ||
        std::strlen(directory->bytes) != directory->length)
        return status::kFolderNotFound;
    std::string path(directory->bytes, directory->length);
    if (!IsFolderPath(path)) return status::kFolderNotFound;
    *location = std::move(path);
    return status::kNoErr;
}

OSStatus DirectoryFromDirectoryURL(const std::string& location, DirectoryRef* directory) {
    if (!directory) return status::kParamErr;
    ClearDirectoryRef(directory);
    if (location.empty()) return status::kFolderNotFound;
    const std::string path = NormalizePath(location);
    if (!IsFolderPath(path)) return status::kFolderNotFound;
    if (path.size() >= kDirectoryRefCapacity) return status::kNoDirectoryRef;
    std::memcpy(directory->bytes, path.c_str(), path.size() + 1);
    directory->length = uint32_t(path.size());
    return status::kNoErr;
}

OSStatus CreateURLFromFileSpec(const FileSpec* spec, bool allowFolder, std::string* location) {
    if (location) location->clear();
    if (!spec || !location) return status::kParamErr;
    std::string folder;
    if (OSStatus st = CreateDirectoryURLFromDirectory(&spec->directory, &folder)) return st;
    if (spec->name[0] == 0) {
        if (!allowFolder) return status::kEmptyFileName;
        *location = std::move(folder);
        return status::kNoErr;
    }
    // A name is one component: "/", "." and ".." would reach another item than the one named.
    if (::memchr(spec->name, 0, sizeof spec->name) == nullptr || std::strchr(spec->name, '/') ||
        std::strcmp(spec->name, ".") == 0 || std::strcmp(spec->name, "..") == 0)
        return status::kParamErr;
    *location = JoinPath(folder, spec->name);
    return status::kNoErr;
}

OSStatus CreateFileReferenceURLFromFileSpec(const FileSpec* spec, std::string* location) {
    std::string path;
    if (CreateURLFromFileSpec(spec, true, &path) != status::kNoErr || !URLTargetExists(path)) {
        if (location) location->clear();
        return status::kNotFound;
    }
    *location = std::move(path);
    return status::kNoErr;
}

std::string CreatePathURLFromReferenceURL(const std::string& location) { return location; }

OSStatus FileSpecFromURL(const std::string& location, FileSpec* spec, bool withCodes, bool* isFolder) {
    if (isFolder) *isFolder = false;
    if (!spec) return status::kParamErr;
    ClearFileSpec(spec);
    std::string folder, name;
    const std::string path = NormalizePath(location);
    if (!SplitLast(path, &folder, &name)) return status::kParamErr;
    if (name.size() >= kFileSpecNameCapacity) return status::kNoDirectoryRef;
    if (OSStatus st = DirectoryFromDirectoryURL(folder, &spec->directory)) {
        ClearFileSpec(spec);
        return st;
    }
    std::memcpy(spec->name, name.c_str(), name.size() + 1);
    if (isFolder) *isFolder = IsFolderPath(path);
    if (withCodes) (void)GetLegacyCreatorAndTypeForURL(path, spec->creator, spec->type);  // codes stay empty when unknown
    return status::kNoErr;
}

OSStatus FolderSpecFromDirectory(const DirectoryRef* directory, FileSpec* spec) {
    if (!spec) return status::kParamErr;
    std::string folder;
    if (OSStatus st = CreateDirectoryURLFromDirectory(directory, &folder)) {
        ClearFileSpec(spec);
        return st;
    }
    return FileSpecFromURL(folder, spec, true, nullptr);
}

OSStatus DirectoryFromFolderSpec(const FileSpec* spec, DirectoryRef* directory) {
    if (!directory) return status::kParamErr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, true, &path)) {
        ClearDirectoryRef(directory);
        return st;
    }
    return DirectoryFromDirectoryURL(path, directory);
}

OSStatus FileSpecFromPathName(const DirectoryRef* base, const char* path, FileSpec* spec) {
    if (!spec) return status::kParamErr;
    ClearFileSpec(spec);
    if (!path || !*path) return status::kEmptyFileName;
    std::string from;
    if (base && path[0] != '/') {
        if (CreateDirectoryURLFromDirectory(base, &from) != status::kNoErr) return status::kNotFound;
    }
    const std::string full = NormalizePath(path, from);
    OSStatus st;
    if (path[std::strlen(path) - 1] == '/') {
        st = DirectoryFromDirectoryURL(full, &spec->directory);
    } else {
        st = FileSpecFromURL(full, spec, false, nullptr);
    }
    if (st != status::kNoErr) {
        ClearFileSpec(spec);
        return st == status::kNoDirectoryRef ? st : status::kNotFound;
    }
    return status::kNoErr;
}

OSStatus DirectoryFromPathName(const DirectoryRef* base, const char* path, DirectoryRef* directory) {
    if (!directory) return status::kParamErr;
    FileSpec spec;
    OSStatus st = FileSpecFromPathName(base, path, &spec);
    std::memcpy(directory, &spec.directory, sizeof *directory);
    return st;
}

namespace {

OSStatus DeliverPath(const std::string& path, char* buffer, size_t size, uint32_t* needed) {
    if (needed) *needed = uint32_t(path.size());
    if (!buffer) return status::kNoErr;
    if (size < path.size() + 1) {
        if (size > 0) buffer[0] = 0;
        return status::kNoDirectoryRef;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return status::kNoErr;
}

std::string FolderPathWithSlash(std::string folder) {
    if (folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

OSStatus PathNameFromFileSpec(const FileSpec* spec, bool folderOnly, char* buffer, size_t size,
                              uint32_t* needed) {
    if (needed) *needed = 0;
    if (buffer && size > 0) buffer[0] = 0;
    if (!spec) return status::kParamErr;
    std::string folder;
    if (OSStatus st = CreateDirectoryURLFromDirectory(&spec->directory, &folder)) return st;
    if (folderOnly || spec->name[0] == 0) return DeliverPath(FolderPathWithSlash(folder), buffer, size, needed);
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &path)) return st;
    return DeliverPath(path, buffer, size, needed);
}

OSStatus PathNameFromDirectory(const DirectoryRef* directory, char* buffer, size_t size, uint32_t* needed) {
    if (needed) *needed = 0;
    if (buffer && size > 0) buffer[0] = 0;
    std::string folder;
    if (OSStatus st = CreateDirectoryURLFromDirectory(directory, &folder)) return st;
    return DeliverPath(FolderPathWithSlash(folder), buffer, size, needed);
}

namespace {

// Copies text into a buffer of size bytes, cut on a UTF-8 character boundary when too long.
void CopyCut(const char* text, size_t length, char* buffer, size_t size) {
    std::vector<char> copy(text, text + length);
    copy.push_back(0);
    TruncateUTF8ForByteSize(copy.data(), int32_t(std::min<size_t>(size, INT32_MAX)));
    std::memcpy(buffer, copy.data(), std::strlen(copy.data()) + 1);
}

}  // namespace

void SetFileSpecName(FileSpec* spec, const char* name) {
    if (!spec) return;
    std::memset(spec->name, 0, sizeof spec->name);
    if (name) CopyCut(name, std::strlen(name), spec->name, sizeof spec->name);
}

void GetFileSpecName(const FileSpec* spec, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    buffer[0] = 0;
    if (spec) CopyCut(spec->name, ::strnlen(spec->name, sizeof spec->name - 1), buffer, size);
}

OSStatus ResolveFileSpec(FileSpec* spec, bool allowFolder, bool* wasAlias, bool* isFolder) {
    if (wasAlias) *wasAlias = false;
    if (isFolder) *isFolder = false;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, allowFolder, &path)) return st;
    if (IsAliasURL(path)) {
        char real[PATH_MAX];
        if (!::realpath(path.c_str(), real)) return StatusFromErrno(errno);
        FileSpec target;
        bool targetIsFolder = false;
        if (OSStatus st = FileSpecFromURL(real, &target, true, &targetIsFolder)) return st;
        *spec = target;
        if (wasAlias) *wasAlias = true;
        if (isFolder) *isFolder = targetIsFolder;
        return status::kNoErr;
    }
    if (isFolder) *isFolder = IsFolderPath(path);
    return status::kNoErr;
}

// ---- Codes ----

OSStatus GetLegacyCreatorAndTypeForURL(const std::string& location, char creator[5], char type[5]) {
    SetFileSpecCode(creator, nullptr);
    SetFileSpecCode(type, nullptr);
    struct stat info {};
    const std::string path = NormalizePath(location);
    if (!StatPath(path, &info)) return status::kNotFound;
    if (S_ISDIR(info.st_mode)) {
        SetFileSpecCode(creator, "MACS");
        SetFileSpecCode(type, "Fldr");
        return status::kNoErr;
    }
    if (S_ISREG(info.st_mode) && DynamicFileType(path, type)) {
        SetFileSpecCode(creator, "QPLX");
        return status::kNoErr;
    }
    std::string folder, name;
    if (SplitLast(path, &folder, &name)) {
        if (const ExtensionKind* kind = KindOfName(name)) {
            SetFileSpecCode(creator, kind->creator);
            SetFileSpecCode(type, kind->type);
        }
    }
    return status::kNoErr;
}

OSStatus SyncFileSpecCreatorAndType(FileSpec* spec) {
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, true, &path)) return st;
    return GetLegacyCreatorAndTypeForURL(path, spec->creator, spec->type);
}

OSStatus SetFileCreatorAndType(const FileSpec* spec, const char*, const char*) {
    std::string path;
    if (CreateURLFromFileSpec(spec, true, &path) != status::kNoErr || !URLTargetExists(path))
        return status::kNotFound;
    return status::kNoErr;
}

bool IsConformingFile(const FileSpec* spec, const char* typeIdentifier) {
    std::string path;
    struct stat info {};
    if (!typeIdentifier || CreateURLFromFileSpec(spec, true, &path) != status::kNoErr || !StatPath(path, &info))
        return false;
    const std::string_view id(typeIdentifier);
    if (id == "public.item") return true;
    if (id == "public.folder" || id == "public.directory") return S_ISDIR(info.st_mode);
    if (!S_ISREG(info.st_mode)) return false;
    if (id == "public.data") return true;
    std::string folder, name;
    SplitLast(path, &folder, &name);
    const ExtensionKind* kind = KindOfName(name);
    if (id == "public.text" || id == "public.plain-text") {
        if (kind) return kind->text;
        return LooksLikeText(path);
    }
    if (id == "com.orvix.plexa.drawing") {
        char type[5];
        if (DynamicFileType(path, type)) {
            return EqualsCode(type, "SCH4") || EqualsCode(type, "PRJ4") || EqualsCode(type, "LIB4");
        }
        return kind && !kind->text;
    }
    return false;
}

// ---- Properties, identity and bookmarks ----

bool URLTargetExists(const std::string& location) {
    struct stat info {};
    return StatPath(NormalizePath(location), &info);
}

bool IsDirectoryURL(const std::string& location) { return IsFolderPath(NormalizePath(location)); }

bool IsAliasURL(const std::string& location) {
    struct stat info {};
    const std::string path = NormalizePath(location);
    return !path.empty() && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

int CompareURLs(const std::string& a, const std::string& b) {
    const std::string pa = NormalizePath(a), pb = NormalizePath(b);
    struct stat ia {}, ib {};
    const bool ra = StatPath(pa, &ia), rb = StatPath(pb, &ib);
    if (ra && rb) {
        if (ia.st_dev != ib.st_dev) return ia.st_dev < ib.st_dev ? -1 : 1;
        if (ia.st_ino != ib.st_ino) return ia.st_ino < ib.st_ino ? -1 : 1;
        return 0;
    }
    if (ra != rb) return ra ? -1 : 1;
    const int c = pa.compare(pb);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

Ptr CreateBookmarkDataFromURL(const std::string& location, bool) {
    const std::string path = NormalizePath(location);
    struct stat info {};
    if (!StatPath(path, &info) || path.size() > 0xFFFF) return nullptr;
    const uint32_t size = kBookmarkHeaderSize + uint32_t(path.size());
    Ptr block = AllocPtr(nullptr, size);
    if (!block) return nullptr;
    auto* p = reinterpret_cast<unsigned char*>(block);
    std::memcpy(p, kBookmarkMagic, 4);
    PutBE16(p + 4, kBookmarkVersion);
    PutBE16(p + 6, uint16_t(path.size()));
    PutBE64(p + 8, uint64_t(info.st_dev));
    PutBE64(p + 16, uint64_t(info.st_ino));
    std::memcpy(p + kBookmarkHeaderSize, path.data(), path.size());
    return block;
}

namespace {

bool ParseBookmark(const void* bytes, uint32_t length, std::string* path, uint64_t* device, uint64_t* inode) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    if (!p || length < kBookmarkHeaderSize || std::memcmp(p, kBookmarkMagic, 4) != 0) return false;
    if (GetBE16(p + 4) != kBookmarkVersion) return false;
    const uint64_t n = GetBE16(p + 6);
    if (n < 1 || n > length - kBookmarkHeaderSize) return false;
    const char* text = reinterpret_cast<const char*>(p + kBookmarkHeaderSize);
    if (text[0] != '/' || std::memchr(text, 0, n) != nullptr) return false;
    path->assign(text, n);
    *device = GetBE64(p + 8);
    *inode = GetBE64(p + 16);
    return true;
}

}  // namespace

bool BookmarkDataPath(const void* bytes, uint32_t length, std::string* path) {
    uint64_t device, inode;
    return path && ParseBookmark(bytes, length, path, &device, &inode);
}

std::string CreateURLFromBookmarkData(const void* bytes, uint32_t length, bool, bool* isStale) {
    if (isStale) *isStale = false;
    std::string path;
    uint64_t device = 0, inode = 0;
    struct stat info {};
    if (!ParseBookmark(bytes, length, &path, &device, &inode)) return std::string();
    path = NormalizePath(path);
    if (!StatPath(path, &info)) return std::string();
    if (isStale) *isStale = uint64_t(info.st_dev) != device || uint64_t(info.st_ino) != inode;
    return path;
}

OSStatus FileIDStringFromURL(const std::string& location, char* buffer, size_t size) {
    if (buffer && size > 0) buffer[0] = 0;
    struct stat info {};
    if (!StatPath(NormalizePath(location), &info)) return status::kNotFound;
    const std::string text = std::to_string(uint64_t(info.st_ino));
    if (!buffer || size < text.size() + 1) return status::kNoDirectoryRef;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return status::kNoErr;
}

}  // namespace plexa
