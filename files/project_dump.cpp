// The work of project-dump (see project_dump.h).
#include "files/project_dump.h"

#include <cstring>

#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/project_internal.h"
#include "files/sheetspec.h"
#include "foundation/byteswap.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/statustext.h"
#include "graphics/printrec.h"
#include "model/annotation.h"
#include "model/attributes.h"

namespace plexa {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* BlockName(uint8_t type) {
    switch (type) {
        case kProjectTopSheetsBlock: return "top-level sheets";
        case kProjectInstancesBlock: return "instances";
        case kProjectWindowBlock: return "window position";
        case kProjectSettingsBlock: return "settings";
        case kProjectOldPathsBlock: return "search paths (older)";
        case kProjectSpiceMapsBlock: return "simulator maps";
        case kProjectPathsBlock: return "search paths";
        case kFreeBlockType: return "free";
        default:
            return type >= kFirstAnnotationBlock && type <= kLastAnnotationBlock ? "annotation" : "not a project block";
    }
}

// The byte order of a block, from its mark (after the lead word of block 7).
const char* OrderOf(Handle bytes, uint8_t type) {
    const uint32_t size = SizeOfHandle(bytes);
    uint32_t at = 0;
    if (type >= kFirstAnnotationBlock && type <= kLastAnnotationBlock) at = size ? 1 + uint8_t((*bytes)[0]) : 0;
    uint16_t word = 0;
    if (type == kProjectSpiceMapsBlock && size >= 2) {
        std::memcpy(&word, *bytes, 2);
        if (word == kSpiceMapsBlockLead) at = 2;
    }
    if (at + 2 > size) return "unknown";
    std::memcpy(&word, *bytes + at, 2);
    return word == kProjectBlockMark ? "native" : word == kProjectBlockMarkSwapped ? "swapped" : "unknown";
}

void DumpSettings(const ProjectRecord* p, std::string* out) {
    const ProjectSettings& s = p->settings;
    AppendFormat(out, "    instance naming       %u (%s)\n", s.instanceNaming,
          s.instanceNaming ? "by instance path" : "by instance id");
    AppendFormat(out, "    signal scope          %u (%s)\n", s.signalScope,
          s.signalScope == 2 ? "Global  (Flat)" : "Export  (Hierarchical)");
    AppendFormat(out, "    attributes            %u\n", s.attributeCount);
    AppendFormat(out, "    flags                 0x%04X (file-symbol warnings %s, automatic annotation %s)\n", s.flags,
          s.flags & kProjectFileSymbolWarningsOff ? "off" : "on", s.flags & kProjectAutoAnnotate ? "on" : "off");
    AppendFormat(out, "    qualify local names   all %u, conflicting %u, shared sheets %u\n", s.qualifyAllLocal,
          s.qualifyConflicting, s.qualifyShared);
    char separator[sizeof s.separator + 1] = {};
    std::memcpy(separator, s.separator, sizeof s.separator);
    AppendFormat(out, "    instance name         %s, separator \"%s\"\n",
          s.instanceNamePlace ? "following name" : "preceding name", separator);
    AppendFormat(out, "    global flagged        %u\n", s.globalFlagged);
    AppendFormat(out, "    annotation flags      0x%02X (%s, %s)\n", s.annotationFlags,
          s.annotationFlags & kAnnotationNoSlotSuffix ? "no slot suffix" : "slot suffix",
          s.annotationFlags & kAnnotationKeptInSheets ? "kept in the sheets" : "kept in the project");
    AppendFormat(out, "    byte 18               %u\n", s.reserved18);
    AppendFormat(out, "    qualify designators   %u\n", s.qualifyDesignators);
    AppendFormat(out, "    sheet-rank limit      %u\n", s.rankLimit);
    AppendFormat(out, "    last netlist time     %u\n", s.lastNetlistTime);
    uint32_t held = 0;
    for (uint8_t b : s.reserved28) held += b != 0;
    AppendFormat(out, "    bytes 28-259          %u not zero\n", held);
    for (int32_t i = 0; i < s.attributeCount; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        GetIndexedAttribute(p->strings, p->attributes, 0, i, name, value, nullptr, nullptr);
        AppendFormat(out, "    attribute             %s = %s\n", name, value);
    }
    if (!p->printRecord) {
        AppendFormat(out, "    print record          none\n");
    } else {
        const VXPrintRec* r = p->printRecord;
        AppendFormat(out, "    print record          page-setup word 0x%04X, %u dpi, margins %d %d %d %d\n",
              p->pageSetupWord, r->resolution, r->margins[0], r->margins[1], r->margins[2], r->margins[3]);
    }
}

void DumpBlock(ProjectRecord* p, uint8_t type, std::string* out) {
    char text[kStringSpecBufferSize];
    switch (type) {
        case kProjectTopSheetsBlock:
            for (auto* r = static_cast<SubSheetReference*>(LLFirst(p->topLevelSheets)); r; r = r->next) {
                GetSheetSpecName(p, r->child, text, sizeof text);
                AppendFormat(out, "    sheet \"%s\"\n", text);
            }
            break;
        case kProjectInstancesBlock:
            AppendFormat(out, "    next instance id %u\n", p->nextInstanceId);
            for (auto* i = static_cast<SheetInstance*>(LLFirst(p->instances)); i; i = i->next) {
                GetInstanceSheetName(p, i, text, sizeof text);
                AppendFormat(out, "    instance %u parent %u serial %u flags 0x%04X unused %d \"%s\"\n", i->id,
                      i->parentId, i->serial, i->flags, i->missCount, text);
            }
            break;
        case kProjectOldPathsBlock:
        case kProjectPathsBlock:
            for (auto* e = static_cast<PathSpec*>(LLFirst(p->paths)); e; e = e->next) {
                GetPathSpecPath(p->paths, e, text, sizeof text);
                AppendFormat(out, "    path kind %u flags 0x%02X \"%s\"\n", e->rootKind, e->flags, text);
            }
            break;
        case kProjectSettingsBlock:
            DumpSettings(p, out);
            break;
        case kProjectSpiceMapsBlock: {
            AppendFormat(out, "    signals %d, components %d, netlist root %u, flags 0x%X\n", DACount(p->signalMap),
                  DACount(p->compMap), p->netlistRoot, p->netlistFlags);
            SpiceSignalMapEntry e;
            for (int32_t i = 0; i < DACount(p->signalMap); ++i) {
                if (!DAGet(p->signalMap, i, &e)) continue;
                char net[65], qualifier[65];
                ExtractSignalMapSignalName(p->signalMap, e.name, text);
                ExtractSignalMapSignalName(p->signalMap, e.netName, net);
                ExtractSignalMapSignalName(p->signalMap, e.qualifier, qualifier);
                AppendFormat(out, "    signal \"%s\" -> \"%s\" qualifier \"%s\" instance %d\n", text, net, qualifier, e.key);
            }
            SpiceCompMapEntry c;
            for (int32_t i = 0; i < DACount(p->compMap); ++i)
                if (DAGet(p->compMap, i, &c) && GetSpiceCompMapRefDes(p->compMap, c.instanceId, c.symbolSerial, text))
                    AppendFormat(out, "    component instance %u serial %u \"%s\"\n", c.instanceId, c.symbolSerial, text);
            AppendFormat(out, "    netlist script \"%s\" in \"%.*s\", level %u, descend %u\n", p->netlistScript.name,
                  int(p->netlistScript.directory.length), p->netlistScript.directory.bytes,
                  p->netlistLevelLimit, p->netlistDescend);
            break;
        }
        default:
            break;
    }
}

void DumpAnnotation(const char* name, const AnnotationMap* map, std::string* out) {
    AppendFormat(out, "    sheet \"%s\", %d entries\n", name, CountAnnotationMapEntries(map));
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        if (!GetAnnotationMapEntry(map, i, &entry)) continue;
        for (const AnnotationSpec* s = entry.saved; s; s = s->next) {
            char designator[kStringSpecBufferSize] = "(none)";
            if (s->designator != kNoDesignator)
                ExtractStringSpec(s->designator, GetAnnotationMapStringBlock(map), designator, sizeof designator);
            AppendFormat(out, "    symbol %u instance %d \"%s\" slot %d\n", entry.symbolId, s->instanceId, designator,
                  s->slot);
        }
    }
}

// Reads one block as the project does; its contents' length, or -1 when it does not read.
int32_t ReadOneBlock(DynamicFileRecord* file, uint8_t type, Handle bytes, std::string* out) {
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(bytes), &stream)) return -1;
    ProjectRecord* p = CreateProjectRecord(file);
    OSStatus st = p ? status::kNoErr : status::kOutOfMemory;
    std::string decoded;
    if (st == status::kNoErr) {
        switch (type) {
            case kProjectTopSheetsBlock: st = ParseTopSheetRefs(p, stream); break;
            case kProjectInstancesBlock: st = ParseInstanceBlock(p, stream); break;
            case kProjectWindowBlock: {
                ProjectWindowState state;
                st = ParseWindowState(stream, &state);
                if (st == status::kNoErr)
                    AppendFormat(&decoded, "    rectangle top %d left %d bottom %d right %d\n", state.bounds.top,
                          state.bounds.left, state.bounds.bottom, state.bounds.right);
                break;
            }
            case kProjectSettingsBlock: st = ParseSettingsBlock(p, stream); break;
            case kProjectOldPathsBlock:
            case kProjectPathsBlock: st = ParsePathBlock(p, stream); break;
            case kProjectSpiceMapsBlock: st = ParseSpiceMapsBlock(p, stream); break;
            default: {
                char name[256];
                AnnotationMap* map = nullptr;
                st = ParseAnnotationBlock(stream, name, &map);
                if (st == status::kNoErr) DumpAnnotation(name, map, &decoded);
                DestroyAnnotationMap(map);
            }
        }
    }
    const int32_t end = GetStreamPosition(stream);
    if (st == status::kNoErr) {
        DumpBlock(p, type, &decoded);
        out->append(decoded);
    } else {
        AppendFormat(out, "    does not read: status %d (0x%X)\n", int(st), uint32_t(st));
    }
    DestroyProjectRecord(p);
    DisposeStream(stream);
    return st == status::kNoErr ? end : -1;
}

}  // namespace

int RunProjectDump(int argc, const char* const* argv, std::string* out, std::string* err) {
    if (argc != 2) {
        AppendFormat(err, "usage: project-dump PROJECT\n");
        return kUsage;
    }
    FileSpec spec;
    DynamicFileRecord file;
    OSStatus st = FileSpecFromURL(NormalizePath(argv[1]), &spec, false, nullptr);
    if (st == status::kNoErr) st = OpenDynamicFile(&spec, true, &file);
    if (st != status::kNoErr) {
        AppendFormat(err, "project-dump: %s: cannot be opened as a project file: %s\n", argv[1],
                     DescribeStatus(st).c_str());
        return kUsage;
    }
    if (file.fileType != kProjectFileType) {
        AppendFormat(err, "project-dump: %s: cannot be opened as a project file: it is not a project file.\n",
                     argv[1]);
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
        return kUsage;
    }
    AppendFormat(out, "project file   %s\n", argv[1]);
    AppendFormat(out, "project id     0x%08X\n", ProjectId(&spec));
    int result = kDone;
    uint32_t offset = 0, size = 0, blocks = 0, freeBytes = 0;
    for (;;) {
        uint8_t type = 0;  // any type
        st = ScanFileBlocks(&file, &offset, &size, &type);
        if (st != status::kNoErr) {
            AppendFormat(out, "the block chain is damaged: status %d\n", int(st));
            result = kFailed;
            break;
        }
        if (offset == 0) break;
        ++blocks;
        if (type == kFreeBlockType) {
            AppendFormat(out, "block id %u: free, %u bytes\n", offset, size);
            freeBytes += size;
            continue;
        }
        AppendFormat(out, "block id %u: type %u %s, %u bytes\n", offset, type, BlockName(type), size);
        const bool known = (type >= 1 && type <= 5) || type == kProjectSpiceMapsBlock ||
                           type == kProjectPathsBlock ||
                           (type >= kFirstAnnotationBlock && type <= kLastAnnotationBlock);
        if (!known) continue;
        Handle bytes = nullptr;
        if (LoadFileBlock(&file, offset, &bytes) != status::kNoErr) {
            AppendFormat(out, "    cannot be loaded\n");
            result = kFailed;
            continue;
        }
        AppendFormat(out, "    byte order %s\n", OrderOf(bytes, type));
        const int32_t end = ReadOneBlock(&file, type, bytes, out);
        if (end < 0) {
            result = kFailed;
        } else {
            uint32_t nonZero = 0;
            for (uint32_t i = uint32_t(end); i < size; ++i) nonZero += (*bytes)[i] != 0;
            AppendFormat(out, "    contents %d bytes, padding %u bytes%s\n", end, size - uint32_t(end),
                  nonZero ? " (not zero)" : "");
            if (nonZero) result = kFailed;
        }
        MemFree(bytes);
    }
    AppendFormat(out, "%u blocks, %u free bytes\n", blocks, freeBytes);
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    if (result != kDone)
        AppendFormat(err, "project-dump: %s: the project file is damaged (the listing says where).\n", argv[1]);
    return result;
}

}  // namespace plexa
