// The project file's blocks 1 to 8: their writers, their readers and the commit that replaces a
// block (see project.h for the stored forms). Every reader loads its block into memory and reads
// it from there, so that nothing it reads can reach past the block.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/project_internal.h"
#include "files/sheetspec.h"
#include "foundation/byteswap.h"
#include "foundation/da_stream.h"
#include "foundation/dirspec.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "graphics/printrec.h"
#include "model/attributes.h"

namespace plexa {

// ---- Shared by the block code ----

BlockBytes::~BlockBytes() {
    if (stream) DisposeStream(stream);
    if (handle) MemFree(handle);
}

OSStatus BlockBytes::Load(DynamicFileRecord* file, uint32_t offset) {
    if (OSStatus st = LoadFileBlock(file, offset, &handle)) return st;
    return CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream);
}

OSStatus FindFirstProjectBlock(ProjectRecord* project, uint8_t type, uint32_t* offset) {
    *offset = 0;
    if (!project || !project->file.stream) return status::kFileNotOpen;
    uint32_t size = 0;
    return FindFileBlock(&project->file, type, offset, &size, true);
}

OSStatus ReadBlockMark(StreamRecord* stream) {
    uint16_t mark = 0;
    int32_t n = 2;
    if (OSStatus st = StreamRead(stream, &mark, &n)) return st;
    EnableStreamReadByteSwap(stream, mark == kProjectBlockMarkSwapped);
    return status::kNoErr;
}

uint32_t ProjectBlockPadding(uint32_t n) {
    return ((n + kProjectBlockUnit + kFileBlockHeadSize - 1) & ~(kProjectBlockUnit - 1)) - n -
           kFileBlockHeadSize;
}

OSStatus FinishWriteProjectBlock(ProjectRecord* project, StreamRecord* stream, uint8_t type,
                                 bool replace, bool flush, uint32_t previous) {
    if (!project || !stream) return status::kParamErr;
    DynamicFileRecord* file = &project->file;
    // The block replaces the old ones in a save: the file takes all of it or stays as it was.
    if (OSStatus st = BeginDynamicFileSave(file)) return st;
    return EndDynamicFileSave(file, CatchSignals([&] {
        static const char kZeros[kProjectBlockUnit] = {};
        const int32_t end = GetStreamEnd(stream);
        Signal(SetStreamPosition(stream, end));
        Signal(StreamWrite(stream, kZeros, int32_t(ProjectBlockPadding(uint32_t(end)))));
        // The blocks that the new one replaces, found before it exists.
        std::vector<uint32_t> older;
        if (replace) {
            uint32_t offset = 0, size = 0;
            Signal(FindFileBlock(file, type, &offset, &size, true));
            while (offset != 0) {
                older.push_back(offset);
                Signal(FindFileBlock(file, type, &offset, &size, false));
            }
        } else if (previous != 0) {
            older.push_back(previous);
        }
        uint32_t committed = 0;
        Signal(EndFileBlockWrite(file, 0, type, &committed));
        for (uint32_t offset : older)
            if (offset != committed) Signal(ReleaseFileBlock(file, offset));
        if (flush) Signal(FlushDynamicFile(file, false));
    }));
}

// ---- Block 1: top-level sheets ----

OSStatus WriteProjectTopSheetRefs(ProjectRecord* project, bool flush) {
    return WriteProjectBlock(project, kProjectTopSheetsBlock, true, flush, 0, [&](StreamRecord* s) {
        Signal(StreamWriteWord(s, kProjectBlockMark));
        const LinkListHeader* list = project->topLevelSheets;
        const uint32_t count = list ? std::min<uint32_t>(list->count, 0xFFFF) : 0;
        Signal(StreamWriteWord(s, uint16_t(count)));
        auto* ref = static_cast<SubSheetReference*>(LLFirst(list));
        for (uint32_t i = 0; i < count && ref; ++i, ref = ref->next)
            Signal(WriteProjectSheetName(s, project, ref->child));
    });
}

OSStatus ParseTopSheetRefs(ProjectRecord* project, StreamRecord* s) {
    std::vector<std::string> names;
    OSStatus st = CatchSignals([&] {
        Signal(ReadBlockMark(s));
        uint16_t count = 0;
        Signal(StreamReadWord(s, &count));
        for (uint16_t i = 0; i < count; ++i) {
            char name[256];
            Signal(ReadProjectSheetName(s, name));
            if (*name) names.emplace_back(name);
        }
    });
    if (st) return st;
    for (const std::string& name : names)
        if (!AddSubSheetReference(project, nullptr, name.c_str(), "", 0, 0)) return status::kOutOfMemory;
    return status::kNoErr;
}

OSStatus LoadProjectTopSheetRefs(ProjectRecord* project) {
    return LoadProjectBlock(project, kProjectTopSheetsBlock,
                            [&](StreamRecord* s) { return ParseTopSheetRefs(project, s); });
}

// ---- Block 2: instances ----

namespace {

// A block written only when the project marks it changed; the mark is cleared once it is written.
template <class Body>
OSStatus WriteChangedBlock(ProjectRecord* project, uint16_t changed, uint8_t type, bool flush, Body&& body) {
    if (!project || !(project->dirtyFlags & changed)) return status::kNoErr;
    const OSStatus st = WriteProjectBlock(project, type, true, flush, 0, body);
    if (st == status::kNoErr) project->dirtyFlags &= uint16_t(~changed);
    return st;
}

}  // namespace

OSStatus WriteProjectInstanceList(ProjectRecord* project, bool flush) {
    return WriteChangedBlock(project, kProjectInstancesChanged, kProjectInstancesBlock, flush, [&](StreamRecord* s) {
        Signal(StreamWriteWord(s, kProjectBlockMark));
        Signal(StreamWriteLong(s, project->nextInstanceId));
        Signal(WriteInstanceList(s, project));
    });
}

OSStatus ParseInstanceBlock(ProjectRecord* project, StreamRecord* s) {
    const uint32_t keptId = project->nextInstanceId;
    OSStatus st = CatchSignals([&] {
        Signal(ReadBlockMark(s));
        uint32_t next = 0;
        Signal(StreamReadLong(s, &next));
        project->nextInstanceId = std::clamp<uint32_t>(next, 1, kLastInstanceId);
        Signal(ReadInstanceList(s, project));
        // A list of a known count leaves its end mark unread.
        uint32_t end = 0;
        if (StreamReadLong(s, &end) == status::kNoErr && end != kInstanceListEnd)
            Signal(OffsetStreamPosition(s, -4));
    });
    if (st) {
        project->nextInstanceId = keptId;
        return st;
    }
    project->dirtyFlags &= uint16_t(~kProjectInstancesChanged);
    return status::kNoErr;
}

OSStatus LoadProjectInstanceList(ProjectRecord* project) {
    return LoadProjectBlock(project, kProjectInstancesBlock,
                            [&](StreamRecord* s) { return ParseInstanceBlock(project, s); });
}

// ---- Block 3: window position ----

OSStatus WriteProjectWindowState(ProjectRecord* project) {
    if (!project || !project->window) return status::kNoErr;
    const ProjectServices& services = GetProjectServices();
    ProjectWindowState state{};
    if (!services.windowBounds || !services.windowBounds(project, &state.bounds)) return status::kNoErr;
    state.mark = kProjectBlockMark;
    return WriteProjectBlock(project, kProjectWindowBlock, true, false, 0, [&](StreamRecord* s) {
        Signal(StreamWriteWord(s, kProjectBlockMark));
        Signal(StreamWriteLong(s, kProjectWindowStateSize));
        Signal(StreamWrite(s, &state, kProjectWindowStateSize));
    });
}

OSStatus ParseWindowState(StreamRecord* s, ProjectWindowState* state) {
    ProjectWindowState read{};
    OSStatus st = CatchSignals([&] {
        Signal(ReadBlockMark(s));
        uint32_t length = 0;
        Signal(StreamReadLong(s, &length));
        int32_t n = int32_t(std::min(length, kProjectWindowStateSize));
        Signal(StreamRead(s, &read, &n));
    });
    if (st) return st;
    if (read.mark == kProjectBlockMarkSwapped) {
        ByteSwapTemplate(&read, kProjectWindowStateTemplate);
        read.bounds.left = kSwappedWindowLeft;
    }
    *state = read;
    return status::kNoErr;
}

OSStatus LoadProjectWindowState(ProjectRecord* project, ProjectWindowState* state) {
    std::memset(state, 0, sizeof *state);
    return LoadProjectBlock(project, kProjectWindowBlock,
                            [&](StreamRecord* s) { return ParseWindowState(s, state); });
}

// ---- Block 4: settings, attributes and print record ----

namespace {

struct HandleOwner {
    Handle handle = nullptr;
    ~HandleOwner() {
        if (handle) MemFree(handle);
    }
};

struct PrintOwner {
    VXPrintRec* record = nullptr;
    ~PrintOwner() { VXDestroyPrintRecord(record); }
};

// A stored print record that holds an empty archive (length 4, the tag and no settings) cannot be
// used but must not cost the block: it is skipped. True when that was the case.
bool SkipEmptyArchive(StreamRecord* stream) {
    const int32_t start = GetStreamPosition(stream);
    uint32_t length = 0, tag = 0, own = 0;
    if (StreamReadLong(stream, &length) == status::kNoErr && length == 4 &&
        StreamReadLong(stream, &tag) == status::kNoErr && tag == kPrintRecordTag &&
        StreamReadLong(stream, &own) == status::kNoErr &&
        own <= uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream))) {
        Signal(OffsetStreamPosition(stream, int32_t(own)));
        return true;
    }
    Signal(SetStreamPosition(stream, start));
    return false;
}

}  // namespace

OSStatus WriteProjectSettings(ProjectRecord* project, bool flush) {
    if (!project) return status::kParamErr;
    HandleOwner copy, strings;
    return WriteProjectBlock(project, kProjectSettingsBlock, true, flush, 0, [&](StreamRecord* s) {
        ProjectSettings settings = project->settings;
        settings.mark = kProjectBlockMark;
        int32_t count = 0;
        if (project->attributes) {
            count = std::min<int32_t>(settings.attributeCount,
                                      int32_t(SizeOfHandle(project->attributes) / kAttributeSize));
            copy.handle = CloneHandle(nullptr, project->attributes);
            strings.handle = CreateStringBlock(nullptr, kProjectStringQuantum);
            if (!copy.handle || !strings.handle) FailureSignal(status::kOutOfMemory);
            Signal(ChangeAttributesStringBlock(copy.handle, 0, count, project->strings, strings.handle));
        }
        settings.attributeCount = uint16_t(count);
        Signal(StreamWrite(s, &settings, kProjectSettingsSize));
        Signal(WriteAttributeRun(s, copy.handle, count));
        if (copy.handle) Signal(WriteStringBlock(s, strings.handle));
        if (project->printRecord) {
            Signal(StreamWriteWord(s, kPrintRecordFollows));
            Signal(StreamWriteWord(s, project->pageSetupWord));
            Signal(VXWritePrintRecord(s, project->printRecord));
        } else {
            Signal(StreamWriteWord(s, 0));
        }
    });
}

OSStatus ParseSettingsBlock(ProjectRecord* project, StreamRecord* s) {
    ProjectSettings settings{};
    HandleOwner attributes, stored;
    PrintOwner print;
    uint16_t pageSetupWord = project->pageSetupWord;
    OSStatus st = CatchSignals([&] {
        int32_t n = kProjectSettingsSize;
        Signal(StreamRead(s, &settings, &n));
        const bool swap = settings.mark == kProjectBlockMarkSwapped;
        if (swap) ByteSwapTemplate(&settings, kProjectSettingsTemplate);
        EnableStreamReadByteSwap(s, swap);
        if (settings.signalScope < 1 || settings.signalScope > 2) settings.signalScope = 1;
        // The attribute run: none stored (-1) leaves the project without attributes.
        uint32_t length = 0;
        Signal(StreamReadLong(s, &length));
        if (length == 0xFFFFFFFF) {
            settings.attributeCount = 0;
        } else {
            Signal(OffsetStreamPosition(s, -4));
            Signal(ReadAttributeRun(s, nullptr, settings.attributeCount, &attributes.handle));
            Signal(ReadStringBlock(s, nullptr, &stored.handle));
        }
        uint16_t follows = 0;
        Signal(StreamReadWord(s, &follows));
        if (follows == kPrintRecordFollows) {
            Signal(StreamReadWord(s, &pageSetupWord));
            if (!SkipEmptyArchive(s)) {
                const OSStatus read = VXReadPrintRecord(s, &print.record);
                if (read != status::kNoErr) {
                    VXDestroyPrintRecord(print.record);
                    print.record = nullptr;
                    if (read != kPrintRecordOldKind) FailureSignal(read);
                }
            }
        }
        if (attributes.handle)
            Signal(ChangeAttributesStringBlock(attributes.handle, 0, settings.attributeCount,
                                               stored.handle, project->strings));
    });
    if (st) return st;
    project->settings = settings;
    if (project->attributes) MemFree(project->attributes);
    project->attributes = std::exchange(attributes.handle, nullptr);
    VXDestroyPrintRecord(project->printRecord);
    project->printRecord = std::exchange(print.record, nullptr);
    project->pageSetupWord = pageSetupWord;
    return status::kNoErr;
}

OSStatus LoadProjectSettings(ProjectRecord* project) {
    return LoadProjectBlock(project, kProjectSettingsBlock,
                            [&](StreamRecord* s) { return ParseSettingsBlock(project, s); });
}

// ---- Blocks 5 and 8: search paths ----

OSStatus WriteProjectPathList(ProjectRecord* project, bool flush) {
    return WriteChangedBlock(project, kProjectPathsChanged, kProjectPathsBlock, flush, [&](StreamRecord* s) {
        Signal(StreamWriteWord(s, kProjectBlockMark));
        Signal(WritePathSpecList(s, project->paths));
    });
}

OSStatus LoadProjectPathList(ProjectRecord* project) {
    uint32_t offset = 0;
    if (OSStatus st = FindFirstProjectBlock(project, kProjectPathsBlock, &offset)) return st;
    if (offset == 0) {
        if (OSStatus st = FindFirstProjectBlock(project, kProjectOldPathsBlock, &offset)) return st;
    }
    if (offset == 0) {
        // A file without paths searches its own folder, and gets its path block at the next update.
        if (!AddPathSpecToList(project->paths, &project->file.spec.directory, kPathRootOwner,
                               kPathFileKinds, false))
            return status::kOutOfMemory;
        project->dirtyFlags |= kProjectPathsChanged;
        return status::kNoErr;
    }
    BlockBytes block;
    if (OSStatus st = block.Load(&project->file, offset)) return st;
    return ParsePathBlock(project, block.stream);
}

OSStatus ParsePathBlock(ProjectRecord* project, StreamRecord* s) {
    OSStatus st = CatchSignals([&] {
        Signal(ReadBlockMark(s));
        Signal(ReadPathSpecList(s, project->paths, kPathFileKinds, true));
    });
    if (st == status::kNoErr) project->dirtyFlags &= uint16_t(~kProjectPathsChanged);
    return st;
}

// ---- Block 7: simulator maps ----

namespace {

void SwapSignalEntry(DAArray, int32_t, DALoopRecord* loop) {
    if (loop->address && (DALoopStream(loop)->flags & kStreamSwapOnRead)) ByteSwapTemplate(loop->address, "L4");
}

void SwapCompEntry(DAArray, int32_t, DALoopRecord* loop) {
    if (loop->address && (DALoopStream(loop)->flags & kStreamSwapOnRead)) ByteSwapTemplate(loop->address, "L3");
}

void NativeDirSpecKind(Handle dirSpec) {
    if constexpr (std::endian::native == std::endian::little) ByteSwapDirSpec(dirSpec);
}

// The script's folder as stored: the dir spec of the folder with the folder's path in its name
// field, so that a reader on which the bookmark does not resolve still has the path.
Handle ScriptFolderSpec(const FileSpec& script) {
    Handle spec = CreateDirSpec(&script.directory);
    if (!spec) FailureSignal(status::kOutOfMemory);
    char path[kDirectoryRefCapacity + 2];
    if (SizeOfHandle(spec) >= 5 && !IsDirectoryInvalid(&script.directory) &&
        PathNameFromDirectory(&script.directory, path, sizeof path, nullptr) == status::kNoErr &&
        !InsertInHandle(spec, 4, path, int32_t(std::strlen(path)))) {
        MemFree(spec);
        FailureSignal(status::kOutOfMemory);
    }
    return spec;
}

// The folder of a stored dir spec: its bookmark, else the path in its name field.
void ScriptFolder(Handle dirSpec, DirectoryRef* folder) {
    ClearDirectoryRef(folder);
    if (!dirSpec || DirSpecToDirectory(dirSpec, folder) == status::kNoErr) return;
    const uint32_t size = SizeOfHandle(dirSpec);
    if (size < 5) return;
    const char* name = *dirSpec + 4;
    const void* end = std::memchr(name, 0, size - 4);
    if (!end || name[0] != '/') return;
    if (DirectoryFromPathName(nullptr, name, folder) != status::kNoErr) ClearDirectoryRef(folder);
}

// The signal map as it is stored: its entries in order without their last long, each in a slot
// of 16 bytes (a packed array), whatever the map in memory holds them in. Signals a failure.
DAArray StoredSignalMap(SpiceSignalMap map) {
    DAArray stored = DACreate(nullptr, kSpiceSignalMapStoredSize, 0, kDAPacked);
    if (!stored) FailureSignal(status::kOutOfMemory);
    SpiceSignalMapEntry entry;
    for (int32_t i = 0; i < DACount(map); ++i) {
        if (!DAGet(map, i, &entry)) continue;
        DASetInsertHint(DACount(stored));  // in the map's order: no compare needed
        if (DAAdd(stored, &entry) < 0) {
            DADispose(stored);
            FailureSignal(status::kOutOfMemory);
        }
    }
    return stored;
}

}  // namespace

OSStatus WriteProjectSpiceMaps(ProjectRecord* project) {
    if (!project || !project->file.stream) return status::kFileNotOpen;
    if (!project->signalMap) return DeleteTypedFileBlocks(&project->file, kProjectSpiceMapsBlock);
    StringBlock strings = GetSignalMapInfo(project->signalMap, nullptr);
    if (!strings) return status::kNoErr;
    DAArray shrunk = nullptr;
    HandleOwner folder;
    const OSStatus st = CatchSignals(
        [&] {
            Signal(WriteProjectBlock(project, kProjectSpiceMapsBlock, true, false, 0, [&](StreamRecord* s) {
                Signal(StreamWriteWord(s, kSpiceMapsBlockLead));
                Signal(StreamWriteWord(s, kProjectBlockMark));
                Signal(WriteStringBlock(s, strings));
                shrunk = StoredSignalMap(project->signalMap);
                Signal(DAWrite(shrunk, s, nullptr));
                Signal(StreamWriteLong(s, project->netlistRoot));
                uint32_t flags = (project->netlistFlags & ~(kNetlistRunFollows | kNetlistCompMapFollows)) |
                                 kNetlistRunFollows;
                if (project->compMap) flags |= kNetlistCompMapFollows;
                Signal(StreamWriteLong(s, flags));
                Signal(StreamWriteWord(s, project->netlistLevelLimit));
                Signal(StreamWrite(s, &project->netlistDescend, 1));
                folder.handle = ScriptFolderSpec(project->netlistScript);
                NativeDirSpecKind(folder.handle);  // big-endian when stored
                Signal(StreamWriteHandle(s, folder.handle));
                Signal(StreamWriteString(s, project->netlistScript.name));
                if (project->compMap) {
                    const uint64_t compStrings = DAGetRefCon(project->compMap);
                    Signal(WriteStringBlock(s, reinterpret_cast<StringBlock>(uintptr_t(compStrings))));
                    DASetRefCon(project->compMap, 0);  // an address of this run: nothing to store
                    const OSStatus written = DAWrite(project->compMap, s, nullptr);
                    DASetRefCon(project->compMap, compStrings);
                    Signal(written);
                }
            }));
        });
    DADispose(shrunk);
    if (st == status::kNoErr) project->noStoredMaps = 0;
    return st;
}

OSStatus LoadProjectSpiceMaps(ProjectRecord* project) {
    if (!project) return status::kParamErr;
    DestroySpiceSignalMap(project->signalMap);
    DestroySpiceCompMap(project->compMap);
    project->signalMap = nullptr;
    project->compMap = nullptr;
    if (project->noStoredMaps) return status::kNoErr;
    uint32_t offset = 0;
    if (OSStatus st = FindFirstProjectBlock(project, kProjectSpiceMapsBlock, &offset)) return st;
    if (offset == 0) {
        project->noStoredMaps = 1;
        return status::kNoErr;
    }
    BlockBytes block;
    if (OSStatus st = block.Load(&project->file, offset)) return st;
    return ParseSpiceMapsBlock(project, block.stream);
}

OSStatus ParseSpiceMapsBlock(ProjectRecord* project, StreamRecord* s) {
    DestroySpiceSignalMap(project->signalMap);
    DestroySpiceCompMap(project->compMap);
    project->signalMap = nullptr;
    project->compMap = nullptr;
    HandleOwner signalStrings, compStrings, folder;
    DAArray signals = nullptr, components = nullptr;
    uint32_t root = 0, flags = 0;
    uint16_t level = project->netlistLevelLimit;
    uint8_t descend = project->netlistDescend;
    char scriptName[kNetlistScriptNameLimit + 1] = {};
    bool haveScript = false;
    OSStatus st = CatchSignals(
        [&] {
            uint16_t lead = 0;
            int32_t n = 2;
            Signal(StreamRead(s, &lead, &n));
            if (lead != kSpiceMapsBlockLead) Signal(OffsetStreamPosition(s, -2));
            Signal(ReadBlockMark(s));
            Signal(ReadStringBlock(s, nullptr, &signalStrings.handle));
            Signal(DAReadEx(nullptr, &signals, sizeof(SpiceSignalMapEntry), s, SwapSignalEntry));
            Signal(StreamReadLong(s, &root));
            Signal(StreamReadLong(s, &flags));
            if (flags & kNetlistRunFollows) {
                Signal(StreamReadWord(s, &level));
                n = 1;
                Signal(StreamRead(s, &descend, &n));
                Signal(StreamReadHandle(s, nullptr, &folder.handle));
                NativeDirSpecKind(folder.handle);
                Signal(StreamReadString(s, scriptName, sizeof scriptName));
                haveScript = true;
            }
            if (flags & kNetlistCompMapFollows) {
                Signal(ReadStringBlock(s, nullptr, &compStrings.handle));
                Signal(DAReadEx(nullptr, &components, sizeof(SpiceCompMapEntry), s, SwapCompEntry));
            }
        },
        [&] {
            DADispose(signals);
            DADispose(components);
            signals = components = nullptr;
        });
    if (st) return st;
    // The stored reference values mean nothing here; the maps get their own back.
    DASetRefCon(signals, 0);
    DASetCompareProcEx(signals, SignalMapCompareProc);
    if (!SetSignalMapInfo(signals, signalStrings.handle, nullptr)) {
        DADispose(signals);
        DADispose(components);
        return status::kOutOfMemory;
    }
    signalStrings.handle = nullptr;
    project->signalMap = signals;
    if (components) {
        DASetCompareProc(components, SpiceCompMapCompareProc);
        DASetRefCon(components, 0);
        DASetRefCon(components, uint64_t(uintptr_t(std::exchange(compStrings.handle, nullptr))));
        project->compMap = components;
    }
    project->netlistRoot = root;
    project->netlistFlags = flags & ~kNetlistRunFollows;
    if (haveScript) {
        project->netlistLevelLimit = level;
        project->netlistDescend = descend;
        ClearFileSpec(&project->netlistScript);
        ScriptFolder(folder.handle, &project->netlistScript.directory);
        SetFileSpecName(&project->netlistScript, scriptName);
    }
    return status::kNoErr;
}

}  // namespace plexa
