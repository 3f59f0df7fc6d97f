// Data files, file operations and paths (see datafile.h).
#include "foundation/datafile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/datetime.h"
#include "foundation/program.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "foundation/tempfiles.h"

namespace plexa {
namespace {

// Descriptor + 1 per slot; 0 is a free slot.
int gSlots[kDataFileSlots];
CopyChunkHook gCopyChunkHook = nullptr;

constexpr useconds_t kTickMicroseconds = 16667;

int SlotDescriptor(DataFileRef reference) {
    if (reference < kFirstDataFileRef || reference >= kFirstDataFileRef + kDataFileSlots) return -1;
    return gSlots[reference - kFirstDataFileRef] - 1;
}

bool LstatPath(const std::string& path, struct stat* info) {
    return !path.empty() && ::lstat(path.c_str(), info) == 0;
}

bool SameItem(const std::string& a, const std::string& b) {
    struct stat ia {}, ib {};
    return ::stat(a.c_str(), &ia) == 0 && ::stat(b.c_str(), &ib) == 0 && ia.st_dev == ib.st_dev &&
           ia.st_ino == ib.st_ino;
}

// The names in an open folder, "." and ".." left out, in byte order.
std::vector<std::string> NamesIn(DIR* folder) {
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Removes everything inside the open folder `fd` (which it closes), never following symbolic
// links: a link is unlinked, a folder is entered only through O_NOFOLLOW. The errno of the first
// failure, or 0.
int RemoveContentAt(int fd) {
    DIR* folder = ::fdopendir(fd);
    if (!folder) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    int failure = 0;
    for (const std::string& name : NamesIn(folder)) {
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        int flags = 0;
        if (S_ISDIR(info.st_mode)) {
            const int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) {
                const int error = RemoveContentAt(sub);
                if (error && !failure) failure = error;
            }
            flags = AT_REMOVEDIR;
        }
        if (::unlinkat(fd, name.c_str(), flags) != 0 && !failure) failure = errno;
    }
    ::closedir(folder);
    return failure;
}

// Removes the content of a folder (not followed when it is a link), and the folder itself when
// asked. The errno of the first failure, or 0.
int RemoveFolder(const std::string& path, bool removeFolder) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    int failure = RemoveContentAt(fd);
    if (removeFolder && ::rmdir(path.c_str()) != 0 && !failure) failure = errno;
    return failure;
}

bool FolderIsEmpty(const std::string& path) {
    DIR* folder = ::opendir(path.c_str());
    if (!folder) return true;
    const bool empty = NamesIn(folder).empty();
    ::closedir(folder);
    return empty;
}

// Renames without replacing an existing item: -48 when the destination exists (unless it is the
// source itself under a name that differs in case, on a file system that ignores case).
OSStatus RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return status::kNoErr;
    const int error = errno;
    struct stat info {};
    if (error == EEXIST) {
        if (!SameItem(from, to)) return status::kDuplicateName;
    } else if (error == EINVAL || error == ENOSYS) {
        if (LstatPath(to, &info) && !SameItem(from, to)) return status::kDuplicateName;
    } else {
        return StatusFromErrno(error);
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? status::kNoErr : StatusFromErrno(errno);
}

OSStatus WriteAll(int fd, const char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = WriteFileBytes(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? StatusFromErrno(errno) : status::kBusy;
        bytes += n;
        count -= size_t(n);
    }
    return status::kNoErr;
}

// Copies a file's bytes into a new file (created with O_EXCL and the source's permissions),
// flushed to the disk. The new file is removed again on failure.
OSStatus CopyContents(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return status::kNotFound;
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(in);
        return status::kParamErr;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return StatusFromErrno(error);
    }
    std::vector<char> buffer(1 << 16);
    OSStatus st = status::kNoErr;
    int64_t copied = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            st = StatusFromErrno(errno);
            break;
        }
        if (n == 0) break;
        if (gCopyChunkHook && (st = gCopyChunkHook(copied)) != status::kNoErr) break;
        if ((st = WriteAll(out, buffer.data(), size_t(n))) != status::kNoErr) break;
        copied += n;
    }
    if (st == status::kNoErr && ::fsync(out) != 0) st = StatusFromErrno(errno);
    if (::close(out) != 0 && st == status::kNoErr) st = StatusFromErrno(errno);
    ::close(in);
    if (st != status::kNoErr) ::unlink(to.c_str());
    return st;
}

OSStatus CreateExclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? status::kDuplicateName : StatusFromErrno(errno);
    ::close(fd);
    return status::kNoErr;
}

}  // namespace

// ---- Data files ----

OSStatus OpenDataFile(const FileSpec* spec, bool readOnly, DataFileRef* reference) {
    if (reference) *reference = 0;
    if (!spec || !reference) return status::kParamErr;
    if (spec->name[0] == 0) return status::kEmptyFileName;
    std::string path;
    struct stat info {};
    if (CreateURLFromFileSpec(spec, false, &path) != status::kNoErr || ::stat(path.c_str(), &info) != 0 ||
        S_ISDIR(info.st_mode))
        return status::kNotFound;
    int32_t slot = 0;
    while (slot < kDataFileSlots && gSlots[slot] != 0) ++slot;
    if (slot == kDataFileSlots) return status::kTooManyOpenFiles;
    // Opened without blocking so that a pipe in the file's place cannot hang the open; only
    // regular files are data files.
    const int fd = ::open(path.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return status::kPermission;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return status::kNotFound;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    gSlots[slot] = fd + 1;
    *reference = slot + kFirstDataFileRef;
    return status::kNoErr;
}

OSStatus CloseAndOrFlushDataFile(DataFileRef reference, bool close, bool flush) {
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    OSStatus st = status::kNoErr;
    if (flush && ::fsync(fd) != 0) st = status::kParamErr;
    if (close) {
        ::close(fd);
        gSlots[reference - kFirstDataFileRef] = 0;
    }
    return st;
}

int32_t GetDataFileDescriptor(DataFileRef reference) { return SlotDescriptor(reference); }

OSStatus ReadFromFile(DataFileRef reference, void* buffer, int32_t* count) {
    if (!count) return status::kParamErr;
    const int32_t want = *count;
    *count = 0;
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    if (want < 0 || (want > 0 && !buffer)) return status::kParamErr;
    int32_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, static_cast<char*>(buffer) + got, size_t(want - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return status::kParamErr;
        if (n == 0) break;
        got += int32_t(n);
    }
    *count = got;
    return got < want ? status::kEndOfFile : status::kNoErr;
}

OSStatus WriteToFile(DataFileRef reference, const void* buffer, int32_t* count) {
    if (!count) return status::kParamErr;
    const int32_t want = *count;
    *count = 0;
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    if (want < 0 || (want > 0 && !buffer)) return status::kParamErr;
    int32_t done = 0;
    while (done < want) {
        const ssize_t n = WriteFileBytes(fd, static_cast<const char*>(buffer) + done, size_t(want - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (done == 0 && n < 0) return status::kParamErr;
            break;
        }
        done += int32_t(n);
    }
    *count = done;
    return done < want ? status::kBusy : status::kNoErr;
}

OSStatus GetFileMarkEx(DataFileRef reference, int64_t* mark) {
    if (!mark) return status::kParamErr;
    *mark = 0;
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0) return status::kParamErr;
    *mark = at;
    return status::kNoErr;
}

OSStatus GetFileEndEx(DataFileRef reference, int64_t* size) {
    if (!size) return status::kParamErr;
    *size = -1;
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    struct stat info {};
    if (::fstat(fd, &info) != 0) return status::kParamErr;
    *size = info.st_size;
    return status::kNoErr;
}

OSStatus SetFileMark(DataFileRef reference, int64_t offset, bool fromCurrent) {
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    int64_t base = 0;
    if (fromCurrent) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at < 0) return status::kParamErr;
        base = at;
    }
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
        ::lseek(fd, 0, SEEK_SET);
        return status::kBadPosition;
    }
    const int64_t target = base + offset;
    if (::lseek(fd, off_t(target), SEEK_SET) < 0) return status::kParamErr;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && target > info.st_size) return status::kEndOfFile;
    return status::kNoErr;
}

OSStatus SetFileEOF(DataFileRef reference, int64_t length) {
    const int fd = SlotDescriptor(reference);
    if (fd < 0) return status::kFileNotOpen;
    if (length < 0) return status::kBadPosition;
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at > length && ::lseek(fd, off_t(length), SEEK_SET) < 0) return status::kParamErr;
    while (::ftruncate(fd, off_t(length)) != 0) {
        if (errno != EINTR) return status::kParamErr;
    }
    return status::kNoErr;
}

OSStatus CreateNewDataFile(FileSpec* spec, const char* creator, const char* type) {
    if (!spec) return status::kParamErr;
    SetFileSpecCode(spec->creator, creator);
    SetFileSpecCode(spec->type, type);
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &path)) return st;
    return CreateExclusive(path);
}

OSStatus CreateDataFile(FileSpec* spec, const char* creator, const char* type, bool keepOtherCreator) {
    OSStatus st = CreateNewDataFile(spec, creator, type);
    if (st != status::kDuplicateName) return st;
    std::string path;
    if ((st = CreateURLFromFileSpec(spec, false, &path)) != status::kNoErr) return st;
    if (IsDirectoryURL(path)) return status::kDuplicateName;
    // A file that holds nothing (a temporary file made for a writer) has nothing to keep or
    // replace: it is taken as it is.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0) return status::kNoErr;
    char ownCreator[5], ownType[5];
    (void)GetLegacyCreatorAndTypeForURL(path, ownCreator, ownType);  // codes stay empty when unknown
    const bool typeMatches = spec->type[0] == 0 || std::strncmp(ownType, spec->type, 4) == 0;
    const bool creatorMatches =
        spec->creator[0] == 0 || keepOtherCreator || std::strncmp(ownCreator, spec->creator, 4) == 0;
    if (typeMatches && creatorMatches) return status::kNoErr;
    VXFileTimes times{};
    const bool haveTimes = VXGetGlobalFileTimes(spec, &times) == status::kNoErr;
    if ((st = VXDeleteFile(spec)) != status::kNoErr) return st;
    if ((st = CreateExclusive(path)) != status::kNoErr) return st;
    if (haveTimes) (void)VXSetGlobalFileTimes(spec, &times, kFileTimeCreation | kFileTimeModification);  // best effort: the dates are kept when possible
    return status::kNoErr;
}

// ---- File operations ----

bool VXFileExists(const FileSpec* spec, bool* isFolder) {
    if (isFolder) *isFolder = false;
    std::string path;
    struct stat info {};
    if (CreateURLFromFileSpec(spec, true, &path) != status::kNoErr || ::stat(path.c_str(), &info) != 0)
        return false;
    if (isFolder) *isFolder = S_ISDIR(info.st_mode);
    return true;
}

bool VXCanRewriteFile(const FileSpec* spec) {
    std::string path;
    if (CreateURLFromFileSpec(spec, true, &path) != status::kNoErr || ::access(path.c_str(), W_OK) != 0) return false;
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    return slash != std::string::npos && ::access(folder.c_str(), W_OK) == 0;
}

OSStatus DeleteItemAtURL(const std::string& location) {
    const std::string path = NormalizePath(location);
    if (path.empty() || path == "/") return status::kParamErr;
    OSStatus st = status::kNoErr;
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat info {};
        if (!LstatPath(path, &info)) return status::kNotFound;
        const int error = S_ISDIR(info.st_mode) ? RemoveFolder(path, true)
                                                : (::unlink(path.c_str()) == 0 ? 0 : errno);
        if (error == 0) return status::kNoErr;
        st = StatusFromErrno(error);
        if (error == ENOENT) break;
        ::usleep(2 * kTickMicroseconds);
    }
    return st;
}

OSStatus VXDeleteFile(const FileSpec* spec) {
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &path)) return st;
    return DeleteItemAtURL(path);
}

OSStatus FileRename(const FileSpec* spec, const char* newName) {
    if (!newName || !*newName) return status::kEmptyFileName;
    if (std::strchr(newName, '/') || std::strlen(newName) >= kFileSpecNameCapacity ||
        std::strcmp(newName, ".") == 0 || std::strcmp(newName, "..") == 0)
        return status::kParamErr;
    std::string from, folder;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &from)) return st;
    if (OSStatus st = CreateDirectoryURLFromDirectory(&spec->directory, &folder)) return st;
    struct stat info {};
    if (!LstatPath(from, &info)) return status::kNotFound;
    return RenameNoReplace(from, folder == "/" ? "/" + std::string(newName) : folder + "/" + newName);
}

void SetCopyChunkHook(CopyChunkHook hook) { gCopyChunkHook = hook; }

OSStatus CopyOrMoveFile(const FileSpec* source, const FileSpec* destination, uint32_t flags, bool move) {
    std::string from, to;
    struct stat info {};
    if (CreateURLFromFileSpec(source, false, &from) != status::kNoErr || !LstatPath(from, &info))
        return status::kNotFound;
    if (OSStatus st = CreateURLFromFileSpec(destination, false, &to)) return st;
    const bool exists = LstatPath(to, &info);
    if (exists && !(flags & kCopyReplace)) return status::kDuplicateName;
    VXFileTimes times{};
    const bool keepDates = exists && (flags & kCopyKeepDates) && VXGetGlobalFileTimes(destination, &times) == 0;

    OSStatus st = status::kNoErr;
    bool copied = !move;
    if (move) {
        errno = 0;
        st = exists ? (::rename(from.c_str(), to.c_str()) == 0 ? status::kNoErr : StatusFromErrno(errno))
                    : RenameNoReplace(from, to);
        // Another file system: copy, then remove the source.
        if (st != status::kNoErr && errno == EXDEV) copied = true;
        else if (st != status::kNoErr) return st;
    }
    if (copied) {
        // Copy beside the destination, then rename over it: the old destination stays whole
        // until the new one is complete.
        FileSpec temporary = *destination;
        if ((st = MakeTemporaryFileSpec("Cpy", true, &temporary)) != status::kNoErr) return st;
        std::string staged;
        if ((st = CreateURLFromFileSpec(&temporary, false, &staged)) != status::kNoErr) return st;
        if ((st = CopyContents(from, staged)) != status::kNoErr) return st;
        st = exists ? (::rename(staged.c_str(), to.c_str()) == 0 ? status::kNoErr : StatusFromErrno(errno))
                    : RenameNoReplace(staged, to);
        if (st != status::kNoErr) {
            ::unlink(staged.c_str());
            return st;
        }
        if (move) st = DeleteItemAtURL(from);
    }
    if (st == status::kNoErr && keepDates)
        (void)VXSetGlobalFileTimes(destination, &times, kFileTimeCreation | kFileTimeModification);  // best effort: the copy is whole without its dates
    return st;
}

OSStatus VXCopyFile(const FileSpec* source, const FileSpec* destination, uint32_t flags) {
    return CopyOrMoveFile(source, destination, flags, false);
}

OSStatus VXMoveFile(const FileSpec* source, const FileSpec* destination, uint32_t flags) {
    return CopyOrMoveFile(source, destination, flags, true);
}

OSStatus VXReplaceFile(const FileSpec* target, const FileSpec* replacement) {
    std::string to, from;
    struct stat info {};
    if (CreateURLFromFileSpec(replacement, false, &from) != status::kNoErr || !LstatPath(from, &info))
        return status::kNotFound;
    if (OSStatus st = CreateURLFromFileSpec(target, false, &to)) return st;
    return ::rename(from.c_str(), to.c_str()) == 0 ? status::kNoErr : StatusFromErrno(errno);
}

bool EqualDirectories(const DirectoryRef* a, const DirectoryRef* b) {
    std::string pa, pb;
    return CreateDirectoryURLFromDirectory(a, &pa) == status::kNoErr &&
           CreateDirectoryURLFromDirectory(b, &pb) == status::kNoErr && SameItem(pa, pb);
}

bool EqualFileSpecs(const FileSpec* a, const FileSpec* b) {
    if (!a || !b || !EqualDirectories(&a->directory, &b->directory)) return false;
    if (std::strncmp(a->name, b->name, sizeof a->name) == 0) return true;
    if (StrCINCmp(a->name, b->name, uint16_t(sizeof a->name)) != 0) return false;
    std::string pa, pb;
    return CreateURLFromFileSpec(a, true, &pa) == status::kNoErr &&
           CreateURLFromFileSpec(b, true, &pb) == status::kNoErr && SameItem(pa, pb);
}

OSStatus VXCreateDirectory(FileSpec* spec) {
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, true, &path)) return st;
    if (::mkdir(path.c_str(), 0777) != 0) {
        // Only a missing folder on the way is "not found"; a refusal says what it was.
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return status::kFolderNotFound;
        if (error != EEXIST) return StatusFromErrno(error);
        if (!IsDirectoryURL(path)) return status::kDuplicateName;
    }
    DirectoryRef folder;
    if (DirectoryFromDirectoryURL(path, &folder) != status::kNoErr) return status::kFolderNotFound;
    std::memcpy(&spec->directory, &folder, sizeof folder);
    std::memset(spec->name, 0, sizeof spec->name);
    return status::kNoErr;
}

OSStatus VXDeleteDirectory(const DirectoryRef* directory, uint32_t flags) {
    std::string path;
    struct stat info {};
    if (CreateDirectoryURLFromDirectory(directory, &path) != status::kNoErr || !LstatPath(path, &info) ||
        !S_ISDIR(info.st_mode))
        return status::kNoErr;
    if (!(flags & kDeleteContent) && !FolderIsEmpty(path)) return status::kBusy;
    if (flags & kDeleteContent) {
        if (int error = RemoveFolder(path, false)) return StatusFromErrno(error);
    }
    if ((flags & kDeleteFolder) && ::rmdir(path.c_str()) != 0) return StatusFromErrno(errno);
    return status::kNoErr;
}

bool GetDirectoryName(const DirectoryRef* directory, char* name, size_t size) {
    if (name && size > 0) name[0] = 0;
    std::string path;
    if (!name || size == 0 || CreateDirectoryURLFromDirectory(directory, &path) != status::kNoErr) return false;
    const std::string last = path == "/" ? path : path.substr(path.rfind('/') + 1);
    std::vector<char> copy(last.begin(), last.end());
    copy.push_back(0);
    TruncateUTF8ForByteSize(copy.data(), int32_t(std::min<size_t>(size, 256)));
    std::memcpy(name, copy.data(), std::strlen(copy.data()) + 1);
    return true;
}

OSStatus EnumFiles(const DirectoryRef* directory, EnumFilesProc proc, bool resolveAliases, void* userData) {
    if (!proc) return status::kParamErr;
    std::string path;
    if (CreateDirectoryURLFromDirectory(directory, &path) != status::kNoErr) return status::kNoErr;
    DIR* folder = ::opendir(path.c_str());
    if (!folder) return status::kNoErr;
    const std::vector<std::string> names = NamesIn(folder);
    ::closedir(folder);
    for (const std::string& name : names) {
        const std::string location = path == "/" ? "/" + name : path + "/" + name;
        FileSpec spec;
        bool isFolder = false, wasAlias = false;
        if (FileSpecFromURL(location, &spec, true, &isFolder) != status::kNoErr) continue;
        if (resolveAliases && IsAliasURL(location) &&
            ResolveFileSpec(&spec, true, &wasAlias, &isFolder) != status::kNoErr)
            continue;
        if (isFolder) {
            DirectoryRef inner;
            if (DirectoryFromFolderSpec(&spec, &inner) != status::kNoErr) continue;
            std::memcpy(&spec.directory, &inner, sizeof inner);
            std::memset(spec.name, 0, sizeof spec.name);
        }
        if (!proc(&spec, isFolder, wasAlias, location, userData)) return status::kUserCancelled;
    }
    return status::kNoErr;
}

OSStatus GetApplicationFileSpec(FileSpec* spec) {
    if (!spec) return status::kParamErr;
    const std::string program = GetProgramPath();
    if (program.empty()) {
        ClearFileSpec(spec);
        return status::kNotFound;
    }
    return FileSpecFromURL(program, spec, true, nullptr);
}

// ---- Paths ----

bool BuildRelativePath(const std::string& basePath, const std::string& targetPath, std::string* out,
                       bool backslashes) {
    const char separator = backslashes ? '\\' : '/';
    size_t common = 0;
    while (common < basePath.size() && common < targetPath.size() && basePath[common] == targetPath[common])
        ++common;
    const size_t cut = common == 0 ? std::string::npos : basePath.rfind(separator, common - 1);
    if (cut == std::string::npos) {
        *out = targetPath;
        return false;
    }
    const size_t ups = size_t(std::count(basePath.begin() + std::ptrdiff_t(cut) + 1, basePath.end(), separator));
    const std::string rest = targetPath.substr(cut + 1);
    out->clear();
    if (ups == 0) {
        *out = std::string(".") + separator + rest;
        return true;
    }
    for (size_t i = 0; i < ups; ++i) (*out += "..") += separator;
    *out += rest;
    return true;
}

bool ResolveRelativePath(std::string* basePath, const std::string& relativePath, bool backslashes) {
    const char separator = backslashes ? '\\' : '/';
    std::string& base = *basePath;
    if (base.empty() || base.back() != separator) {
        base.clear();
        return false;
    }
    if (backslashes && relativePath.find(':') != std::string::npos) {
        base = relativePath;
        return true;
    }
    if (!relativePath.empty() && relativePath[0] == separator) {
        const bool drive = backslashes && base.size() >= 2 && base[1] == ':';
        base = (drive ? base.substr(0, 2) : std::string()) + relativePath;
        return true;
    }
    size_t start = 0;
    for (;;) {
        const size_t end = relativePath.find(separator, start);
        const bool last = end == std::string::npos;
        const std::string part = relativePath.substr(start, last ? std::string::npos : end - start);
        if (part == "..") {
            const size_t up = base.size() >= 2 ? base.rfind(separator, base.size() - 2) : std::string::npos;
            if (up == std::string::npos) {
                base.clear();
                return false;
            }
            base.resize(up + 1);
        } else if (part == "." || (last && part.empty())) {
        } else if (part.empty()) {
            base.clear();
            return false;
        } else {
            base += part;
            if (!last) base += separator;
        }
        if (last) return true;
        start = end + 1;
    }
}

bool HFSPathToPosixPath(std::string* path) {
    if (path->find(':') == std::string::npos) return true;
    const bool relative = (*path)[0] == ':';
    const std::string colons = relative ? path->substr(1) : *path;
    std::string out = relative ? "" : "/Volumes/";
    size_t start = 0;
    for (size_t colon; (colon = colons.find(':', start)) != std::string::npos; start = colon + 1) {
        const std::string part = colons.substr(start, colon - start);
        out += part.empty() ? std::string("../") : part + "/";
    }
    out += colons.substr(start);
    *path = std::move(out);
    return true;
}

}  // namespace plexa
