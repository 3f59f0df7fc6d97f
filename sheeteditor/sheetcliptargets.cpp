// The hierarchy that goes along with a Cut, and its place after a Paste.
#include "sheeteditor/sheetcliptargets.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/cliprecord.h"

namespace plexa {

struct ClipTargetInstance {
    struct Designator {
        uint32_t serial;
        std::string text;
        int32_t slot;
    };
    uint32_t id = 0;
    int16_t treePosition = kNoTreePosition;
    std::vector<Designator> annotation;
    // Child occurrences below cut sheet symbols: {child instance id, the sheet symbol's serial}.
    std::vector<std::pair<uint32_t, uint32_t>> children;

    static constexpr int16_t kNoTreePosition = 32767;
};

struct ClipTarget {
    std::string projectName;
    std::string projectFolder;
    std::vector<ClipTargetInstance> instances;
};

struct ClipTargetList {
    std::vector<ClipTarget> targets;
};

void DestroyTargetList(ClipTargetList* list) { delete list; }

namespace {

std::string ProjectFolder(const ProjectRecord* project) {
    const DirectoryRef& folder = project->file.spec.directory;
    return std::string(folder.bytes, std::min<uint32_t>(folder.length, kDirectoryRefCapacity));
}

// Reads the project's instance maps rather than the sheets' own while it runs.
class InstanceMapsRead {
public:
    explicit InstanceMapsRead(ProjectRecord* project)
        : project_(project), flags_(project->settings.annotationFlags) {
        project->settings.annotationFlags = uint8_t(flags_ & ~kAnnotationKeptInSheets);
    }
    ~InstanceMapsRead() { project_->settings.annotationFlags = flags_; }
    InstanceMapsRead(const InstanceMapsRead&) = delete;
    InstanceMapsRead& operator=(const InstanceMapsRead&) = delete;

private:
    ProjectRecord* project_;
    uint8_t flags_;
};

// The occurrences of the spec in the project, in the order of the project's tree (those without a
// node last, in list order).
std::vector<ClipTargetInstance> SheetOccurrences(ProjectRecord* project, SheetSpec* spec) {
    std::map<const SheetInstance*, int16_t> positions;
    int32_t row = 0;
    if (project->hierarchy)
        for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
             node = NextSheetNode(project->hierarchy, node), ++row)
            if (node->instance && !positions.count(node->instance))
                positions[node->instance] = int16_t(std::min<int32_t>(row, ClipTargetInstance::kNoTreePosition - 1));
    std::vector<ClipTargetInstance> occurrences;
    for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next) {
        if (ResolveInstanceSheet(project, i) != spec) continue;
        ClipTargetInstance entry;
        entry.id = i->id;
        if (auto found = positions.find(i); found != positions.end()) entry.treePosition = found->second;
        occurrences.push_back(std::move(entry));
    }
    std::stable_sort(occurrences.begin(), occurrences.end(),
                     [](const ClipTargetInstance& a, const ClipTargetInstance& b) { return a.treePosition < b.treePosition; });
    return occurrences;
}

int32_t AddProjectTarget(ProjectRecord* project, SheetSpec* spec, SheetRecord*, void* data) {
    auto* list = static_cast<ClipTargetList*>(data);
    SheetRecord* clip = CurrClip ? CurrClip->content : nullptr;
    if (!clip) return 0;
    ClipTarget target;
    target.projectName = project->file.spec.name;
    target.projectFolder = ProjectFolder(project);
    target.instances = SheetOccurrences(project, spec);
    std::set<uint32_t> sheetSymbols;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(clip->symbolList)); s; s = s->next)
        if (s->flags & kSymbolFlagSheet) sheetSymbols.insert(s->serial);
    const InstanceMapsRead maps(project);
    const bool loaded = LoadAnnotationTable(project, spec, 0) == status::kNoErr;
    for (ClipTargetInstance& entry : target.instances) {
        SheetInstance* instance = GetInstanceWithId(project, entry.id);
        if (loaded && instance)
            for (auto* s = static_cast<SymbolRecord*>(LLFirst(clip->symbolList)); s; s = s->next) {
                if (!s->component && !(s->flags & kSymbolFlagSheet)) continue;
                char text[kAnnotationTextSize] = {};
                const int32_t slot = GetInstanceAnnotation(project, instance, s->serial, text);
                if (text[0]) entry.annotation.push_back({s->serial, text, slot});
            }
        for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next)
            if (i->parentId == entry.id && sheetSymbols.count(i->serial)) entry.children.emplace_back(i->id, i->serial);
    }
    list->targets.push_back(std::move(target));
    return 0;
}

struct MoveArgs {
    const ClipTargetList* source;
    const std::map<uint32_t, uint32_t>* serials;
};

// The designators and child occurrences of one source occurrence, at one of the destination.
void MoveTargetInstance(ProjectRecord* project, const ClipTargetInstance& from, SheetInstance* to,
                        const std::map<uint32_t, uint32_t>& serials) {
    for (const ClipTargetInstance::Designator& d : from.annotation)
        if (auto found = serials.find(d.serial); found != serials.end())
            (void)SetInstanceAnnotation(project, to, found->second, d.text.c_str(), d.slot);  // false: unchanged
    for (const auto& [childId, serial] : from.children) {
        SheetInstance* child = GetInstanceWithId(project, childId);
        auto found = serials.find(serial);
        if (child && found != serials.end()) CopyInstanceTree(project, child, to->id, found->second);
    }
}

int32_t MoveProjectTargets(ProjectRecord* project, SheetSpec* spec, SheetRecord*, void* data) {
    const auto* args = static_cast<const MoveArgs*>(data);
    const std::string name = project->file.spec.name, folder = ProjectFolder(project);
    const auto source = std::find_if(args->source->targets.begin(), args->source->targets.end(), [&](const ClipTarget& t) {
        return t.projectName == name && t.projectFolder == folder;
    });
    if (source == args->source->targets.end()) return 0;
    const std::vector<ClipTargetInstance> destination = SheetOccurrences(project, spec);
    const InstanceMapsRead maps(project);
    if (LoadAnnotationTable(project, spec, 0) != status::kNoErr) return 0;  // its stored map would be lost
    const size_t pairs = std::min(source->instances.size(), destination.size());
    for (size_t i = 0; i < pairs; ++i)
        if (SheetInstance* to = GetInstanceWithId(project, destination[i].id))
            MoveTargetInstance(project, source->instances[i], to, *args->serials);
    return 0;
}

}  // namespace

void CopyTargetTrees(SheetRecord* sheet) {
    if (!sheet || !CurrClip) return;
    DestroyTargetList(CurrClip->targets);
    CurrClip->targets = new ClipTargetList;
    (void)EnumSheetProjects(sheet, AddProjectTarget, CurrClip->targets);  // every project answers 0
}

void MoveTargetTrees(SheetRecord* sheet, const std::map<uint32_t, uint32_t>& serials) {
    if (!sheet || !CurrClip || !CurrClip->targets) return;
    MoveArgs args{CurrClip->targets, &serials};
    (void)EnumSheetProjects(sheet, MoveProjectTargets, &args);  // every project answers 0
}

}  // namespace plexa
