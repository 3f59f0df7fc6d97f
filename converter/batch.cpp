// The converter's command line and batch runs.
#include "converter/batch.h"

#include <cstdlib>
#include <cstring>

#include "app/root.h"
#include "converter/app.h"
#include "converter/driver.h"
#include "converter/options.h"
#include "converter/progress.h"
#include "converter/report.h"
#include "converter/v36project.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/imagelist.h"
#include "model/texts.h"
#include "model/themes.h"
#include "platform/app_platform.h"
#include "platform/display_platform.h"
#include "platform/services_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int kExitConverted = 0;
constexpr int kExitNotAllConverted = 1;
constexpr int kExitUsage = 2;

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0];
}

// The command line of a run with the window.
ConverterCommandLine gWindowLine;

// The sheet a batch run could not find, for the failure's words.
std::string gMissingSheet;

OSStatus NoFindSheetPanel(const char*, const char* name, FileSpec*, void*) {
    gMissingSheet = name ? name : "";
    return kV36SheetNotFound;
}

bool ParseSwitch(const std::string& arg, const char* name, int* value) {
    const std::string on = std::string("--") + name, off = std::string("--no-") + name;
    if (arg == on) *value = 1;
    else if (arg == off) *value = 0;
    else return false;
    return true;
}

// The window-less start of what a conversion needs: the core through its entry point (off screen
// without a display), then the toolkit's application state and windows that the conversion's
// progress and messages use.
bool StartBatch() {
    if (!ConverterHasDisplay()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (StartCore("plexa-convert") != 0) return false;
    VXCoreInit();
    VXInitWindows();
    gGenFlags |= kGenColorDrawing | kGenPortMarkers;
    LoadConversionOptions();
    return true;
}

}  // namespace

ConverterCommandLine ParseConverterCommandLine(int argc, char** argv) {
    ConverterCommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (!options || arg.empty() || arg[0] != '-' || arg == "-") {
            line.files.push_back(arg);
            continue;
        }
        if (arg == "--") options = false;
        else if (arg == "--help" || arg == "-h") line.help = true;
        else if (arg == "--version") line.version = true;
        else if (arg == "--batch") line.batch = true;
        else if (ParseSwitch(arg, "class-id", &line.classId) || ParseSwitch(arg, "show-refdes", &line.showRefDes) ||
                 ParseSwitch(arg, "show-name", &line.showName))
            continue;
        else if (arg == "--dpi" || arg == "--attribute") {
            if (i + 1 >= argc) {
                line.error = arg + " needs a value";
                return line;
            }
            const std::string value = argv[++i];
            if (arg == "--dpi") {
                if (value != "72" && value != "96") {
                    line.error = "--dpi takes 72 or 96, not \"" + value + "\"";
                    return line;
                }
                line.dpi = std::atoi(value.c_str());
            } else {
                const size_t equals = value.find('=');
                const int field = equals == std::string::npos ? 0 : std::atoi(value.substr(0, equals).c_str());
                char name[256] = "";
                if (equals != std::string::npos) std::snprintf(name, sizeof name, "%s", value.substr(equals + 1).c_str());
                if (field < 1 || field > kAttrNamesMapCount || !FixAttrNameString(name)) {
                    line.error = "--attribute takes N=NAME with N from 1 to 13, not \"" + value + "\"";
                    return line;
                }
                line.attributes.emplace_back(field, name);
            }
        } else {
            line.error = "unknown option \"" + arg + "\"";
            return line;
        }
    }
    if (line.batch && line.files.empty() && !line.help && !line.version) line.error = "--batch needs files";
    return line;
}

std::string ConverterUsage() {
    return "Usage: plexa-convert [FILE...]\n"
           "       plexa-convert --batch [OPTION...] FILE...\n"
           "       plexa-convert --help | --version\n"
           "\n"
           "Converts version-3.6 sheets (.SCM), projects (.SPR) and libraries (.SLB) into current\n"
           "files beside them: a sheet or project NAME becomes the folder \"NAME (Plexa)\", a library\n"
           "NAME.SLB becomes \"Converted Libraries (Plexa)/NAME.LBX\". Without --batch the converter\n"
           "opens its window (and converts the files named); --batch, or files and no display,\n"
           "converts without a window, prints one line per file and exits with 0 only when every\n"
           "file was converted.\n"
           "\n"
           "Options (for this run; the stored options stay as they are):\n"
           "  --dpi 72|96                      scale sheets to 96 units per inch, or keep 72\n"
           "  --class-id, --no-class-id        a part's class id becomes an attribute\n"
           "  --show-refdes, --no-show-refdes  library symbols show their reference designator\n"
           "  --show-name, --no-show-name      library symbols show their name\n"
           "  --attribute N=NAME               the attribute name of part field N (1 to 13)\n"
           "  --help                           print this and exit\n"
           "  --version                        print the version and exit\n";
}

bool ConverterHasDisplay() {
    // A display named that cannot be reached is no display either.
    if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) return PlatformDisplayProblem().empty();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || !platform[0]) return false;
    // A platform that needs a display server is no display by itself.
    return std::strncmp(platform, "xcb", 3) != 0 && std::strncmp(platform, "wayland", 7) != 0;
}

void ApplyCommandLineOptions(const ConverterCommandLine& line) {
    if (line.dpi) gConvert96DPI = line.dpi == 96 ? 1 : 0;
    if (line.classId >= 0) gConvertClassID = uint8_t(line.classId);
    if (line.showRefDes >= 0) gConvertShowRefDes = uint8_t(line.showRefDes);
    if (line.showName >= 0) gConvertShowName = uint8_t(line.showName);
    for (const auto& [field, name] : line.attributes) SetMappedAttributeName(field - 1, name.c_str());
}

int RunConverterBatch(const ConverterCommandLine& line, std::FILE* out, std::FILE* err) {
    ApplyCommandLineOptions(line);
    SetProgressWindowsShown(false);
    SetFindSheetPanel(NoFindSheetPanel, nullptr);
    ConverterReportProcs procs;
    procs.log = [](const char*) {};  // the lines below say what was written
    SetConverterReportProcs(procs);
    bool all = true;
    for (const std::string& file : line.files) {
        gMissingSheet.clear();
        ConversionReport report = ConvertDocument(file);
        if (report.status == kV36SheetNotFound && !gMissingSheet.empty())
            report.reason = "The sheet \"" + gMissingSheet + "\" of the project could not be found.";
        if (report.outcome == ConversionOutcome::kFailed)
            std::fprintf(err, "plexa-convert: \"%s\": %s\n", report.source.c_str(), report.reason.c_str());
        std::fprintf(out, "%s\n", FormatConversionReport(report).c_str());
        std::fflush(out);
        all = all && report.outcome == ConversionOutcome::kWritten;
    }
    SetConverterReportProcs({});
    SetFindSheetPanel(nullptr, nullptr);
    return all ? kExitConverted : kExitNotAllConverted;
}

int ConverterMain(int argc, char** argv) {
    const ConverterCommandLine line = ParseConverterCommandLine(argc, argv);
    if (!line.error.empty()) {
        std::fprintf(stderr, "plexa-convert: %s\n\n%s", line.error.c_str(), ConverterUsage().c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(ConverterUsage().c_str(), stdout);
        return kExitConverted;
    }
    if (line.version) {
        std::printf("plexa-convert (Plexa Document Converter) %s\n", PlatformApplicationVersion().c_str());
        return kExitConverted;
    }
    if (line.batch || (!line.files.empty() && !ConverterHasDisplay())) {
        if (!StartBatch()) return kExitNotAllConverted;
        const int status = RunConverterBatch(line, stdout, stderr);
        PlatformEndApplication();
        return status;
    }
    // The window: the application sees the program and the files only, and the options given
    // hold for this run.
    gWindowLine = line;
    std::vector<char*> arguments = {argv[0], const_cast<char*>("--")};
    for (const std::string& file : gWindowLine.files) arguments.push_back(const_cast<char*>(file.c_str()));
    arguments.push_back(nullptr);
    return VXApplicationMain(int(arguments.size() - 1), arguments.data(), "converter.gui", [] {
        const int32_t started = AppStartup();
        ApplyCommandLineOptions(gWindowLine);
        return started;
    });
}

}  // namespace plexa
