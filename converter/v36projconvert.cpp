// The conversion of version-3.6 sheets and projects.
#include "converter/v36projconvert.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "converter/output.h"
#include "converter/progress.h"
#include "converter/report.h"
#include "converter/v36parts.h"
#include "converter/v36project.h"
#include "converter/v36sheet.h"
#include "converter/v36sheetconvert.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "model/attributes.h"
#include "model/sheet.h"

namespace plexa {
namespace {

constexpr uint8_t kFlatSignalScope = 2;

// A read sheet and its stream, freed together.
struct ReadSheet {
    V36Sheet* sheet = nullptr;
    ~ReadSheet() {
        if (sheet) DisposeV36Sheet(sheet);
    }
};

OSStatus ReadSheetFile(const FileSpec* spec, V36Sheet** sheet) {
    *sheet = nullptr;
    StreamRecord* stream = nullptr;
    V36SheetStart start{};
    if (OSStatus st = OpenV36SheetFile(spec, &stream, &start)) return st;
    OSStatus st = SetStreamPosition(stream, 0);
    if (st == status::kNoErr) st = ReadV36Sheet(stream, nullptr, sheet);
    (void)CloseAndMaybeFlushFileStream(stream, false);  // read only: nothing to flush
    return st;
}

// The output project: its file written under a pending name until it is complete.
class OutputProject {
public:
    ~OutputProject() {
        (void)Close(false);  // abandoned: the conversion status is the one reported
        if (createdFolder_) RemoveEmptyOutputFolder(&folder_);
    }

    OSStatus Create(const FileSpec* source, bool isProject) {
        if (OSStatus st = OutputProjectFolder(source, isProject, true, &folder_, &createdFolder_)) return st;
        FileSpec target;
        if (OSStatus st = OutputFileSpec(&folder_, OutputProjectFileName(source->name, isProject), &target)) return st;
        if (OSStatus st = BeginOutputFile(&target, &output_)) return st;
        if (OSStatus st = CreateDynamicFile(&output_.pending, kProjectCreator, kProjectFileTypeString,
                                            kProjectFileTypeString, 0))
            return st;
        DynamicFileRecord file{};
        if (OSStatus st = OpenDynamicFile(&output_.pending, false, &file)) {
            AbandonOutputFile(&output_);
            return st;
        }
        project_ = AllocateNewProject(&file);
        if (!project_) {
            (void)CloseAndMaybeFlushDynamicFile(&file, false);  // out of memory is the status reported
            AbandonOutputFile(&output_);
            return status::kOutOfMemory;
        }
        ProjectSettings& s = project_->settings;
        s.instanceNaming = 0;
        s.signalScope = kFlatSignalScope;
        s.flags = 0;
        s.globalFlagged = 1;
        return status::kNoErr;
    }

    // The sheets in order under their output names; the folders the old sheets were found in
    // join the project's search paths for sheet files.
    OSStatus AddSheets(const std::vector<std::string>& names, const std::vector<FileSpec>& sources) {
        for (const std::string& name : names)
            if (!AddSubSheetReference(project_, nullptr, name.c_str(), "", 0, 0)) return status::kOutOfMemory;
        for (const FileSpec& source : sources)
            AddPathSpecToList(project_->paths, &source.directory, kPathRootDefault, kPathSheetFiles, false);
        if (OSStatus st = WriteProjectPathList(project_, false)) return st;
        if (OSStatus st = WriteProjectTopSheetRefs(project_, false)) return st;
        int16_t count = int16_t(project_->settings.attributeCount);
        const std::string value = std::to_string(names.size());
        SetAttributeValue(project_->strings, project_->attributes, 0, &count, "SheetCount", value.c_str(), nullptr);
        project_->settings.attributeCount = uint16_t(count);
        return status::kNoErr;
    }

    // Writes the settings, closes the file and gives it its name.
    OSStatus Finish(std::string* path) {
        OSStatus st = WriteProjectSettings(project_, true);
        const std::string target = OutputPath(&output_.target);
        const OSStatus closed = Close(st == status::kNoErr);
        if (st == status::kNoErr) st = closed;
        if (st == status::kNoErr) *path = target;
        return st;
    }

    const FileSpec& folder() const { return folder_; }

private:
    OSStatus Close(bool keep) {
        OSStatus st = status::kNoErr;
        if (project_) {
            for (ProjectRecord** p = &gProjectList; *p; p = &(*p)->next)
                if (*p == project_) {
                    *p = project_->next;
                    break;
                }
            st = CloseProjectFile(project_);
            DestroyProjectRecord(project_);
            project_ = nullptr;
        }
        if (output_.open || output_.pending.name[0]) {
            if (keep && st == status::kNoErr)
                st = CommitOutputFile(&output_);
            else
                AbandonOutputFile(&output_);
            output_ = OutputFile{};
        }
        return st;
    }

    FileSpec folder_{};
    bool createdFolder_ = false;  // removed again when nothing was written into it
    OutputFile output_;
    ProjectRecord* project_ = nullptr;
};

// The sheets read and their parts analysed together; nothing is written before this succeeds.
struct Analysis {
    V36ProjectData parts;
    std::vector<std::unique_ptr<ReadSheet>> sheets;
    Analysis() = default;
    Analysis(const Analysis&) = delete;
    Analysis& operator=(const Analysis&) = delete;
    ~Analysis() { FreeProjectWideData(&parts); }
};

OSStatus Analyse(const std::vector<FileSpec>& sources, Analysis* analysis) {
    if (!AllocProjectWideData(&analysis->parts)) return status::kOutOfMemory;
    for (size_t i = 0; i < sources.size(); ++i) {
        analysis->sheets.push_back(std::make_unique<ReadSheet>());
        if (OSStatus st = ReadSheetFile(&sources[i], &analysis->sheets.back()->sheet)) return st;
        if (OSStatus st = MergeSheetParts(*analysis->sheets.back()->sheet, int32_t(i), &analysis->parts)) return st;
    }
    BuildRefLinkParts(&analysis->parts);
    BuildPartListComps(&analysis->parts);
    return status::kNoErr;
}

// Translates and writes the sheets into the output project.
OSStatus ConvertSheets(const std::vector<FileSpec>& sources, const std::vector<std::string>& names,
                       const Analysis& analysis, OutputProject& project, ProjectConversion* result) {
    for (size_t i = 0; i < sources.size(); ++i) {
        const std::string message = std::string("Converting Sheet: ") + sources[i].name;
        SetProjectProgressMessage(message.c_str());
        SheetRecord* sheet = nullptr;
        if (OSStatus st = TranslateV36Sheet(*analysis.sheets[i]->sheet, int32_t(i), &analysis.parts, &sheet)) return st;
        StepProjectProgressBar();
        FileSpec target;
        OSStatus st = OutputFileSpec(&project.folder(), names[i], &target);
        char reason[256] = "";
        if (st == status::kNoErr) st = WriteConvertedSheet(sheet, &target, reason, sizeof reason);
        if (st == status::kNoErr)
            ConverterLog("\"%s\": wrote \"%s\"", OutputPath(&sources[i]).c_str(), OutputPath(&target).c_str());
        else if (reason[0])
            ConverterLog("\"%s\": %s", OutputPath(&sources[i]).c_str(), reason);
        if (result && result->keepSheets && st == status::kNoErr)
            result->sheets.push_back(sheet);
        else
            DestroySheet(sheet);
        if (st) return st;
        StepProjectProgressBar();
    }
    return status::kNoErr;
}

OSStatus Convert(const FileSpec* source, const std::vector<FileSpec>& sheets, const std::vector<std::string>& sourceNames,
                 bool isProject, ProjectConversion* result) {
    CreateProgressWindow(int32_t(sheets.size()), sheets.size() > 1 ? "Analyzing Sheets..." : "Analyzing Sheet...");
    struct Closer {
        ~Closer() { DestroyProgressWindow(); }
    } closer;
    Analysis analysis;
    if (OSStatus st = Analyse(sheets, &analysis)) return st;
    OutputProject project;
    if (OSStatus st = project.Create(source, isProject)) return st;
    const std::vector<std::string> names = UniqueSheetOutputNames(sourceNames);
    if (result) result->sheetNames = names;
    if (OSStatus st = project.AddSheets(names, sheets)) return st;
    const OSStatus converted = ConvertSheets(sheets, names, analysis, project, result);
    if (converted != status::kNoErr) return converted;
    std::string path;
    if (OSStatus st = project.Finish(&path)) return st;
    if (result) result->projectPath = path;
    ConverterLog("\"%s\": wrote \"%s\" for %zu sheets", OutputPath(source).c_str(), path.c_str(), sheets.size());
    return converted;
}

}  // namespace

std::vector<std::string> UniqueSheetOutputNames(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    auto taken = [&out](const std::string& name) {
        for (const std::string& other : out)
            if (other.size() == name.size() && StrCINCmp(other.c_str(), name.c_str(), uint16_t(name.size())) == 0)
                return true;
        return false;
    };
    for (const std::string& name : names) {
        std::string fixed = FixSheetOutputName(name.c_str());
        if (taken(fixed)) {
            const size_t dot = fixed.rfind('.');
            const std::string stem = dot == std::string::npos ? fixed : fixed.substr(0, dot);
            const std::string extension = dot == std::string::npos ? std::string() : fixed.substr(dot);
            for (int n = 2;; ++n) {
                std::string candidate = stem + " " + std::to_string(n) + extension;
                if (!taken(candidate)) {
                    fixed = candidate;
                    break;
                }
            }
        }
        out.push_back(fixed);
    }
    return out;
}

OSStatus ConvertV36SheetFile(const FileSpec* source, ProjectConversion* result) {
    return Convert(source, {*source}, {source->name}, false, result);
}

OSStatus ConvertV36ProjectFile(const FileSpec* source, ProjectConversion* result) {
    V36ProjectFile project;
    if (OSStatus st = OpenV36ProjectFile(source, &project)) return st;
    std::vector<FileSpec> files;
    if (OSStatus st = FindV36ProjectSheets(source, &project, &files)) return st;
    return Convert(source, files, project.sheets, true, result);
}

}  // namespace plexa
