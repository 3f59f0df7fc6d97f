// The converter's command line and its use without a window.
//
//   plexa-convert [FILE...]                     the window (converting the files handed in)
//   plexa-convert --batch [OPTION...] FILE...   converts without a window
//   plexa-convert --help | --version            prints and exits
//
// Any start with files but no display (neither DISPLAY nor WAYLAND_DISPLAY set, and no platform
// chosen in QT_QPA_PLATFORM; or a display named that cannot be reached) is a batch run too. A batch run converts the files in order and
// prints one line per file on the standard output:
//   "SOURCE": written "OUTPUT"      (the project or library file)
//   "SOURCE": skipped: REASON       (a folder, an empty file, no version-3.6 document, ...)
//   "SOURCE": failed: REASON        (also written as a line on the standard error)
// and exits with 0 only when every file was converted (1 otherwise, 2 for a command line it does
// not take). A sheet of a project that cannot be found fails the project; nobody is asked.
//
// Conversion options override the stored ones for the run (nothing is saved):
//   --dpi 72|96                      scale sheets to 96 units per inch, or keep 72
//   --class-id, --no-class-id        a part's class id becomes an attribute
//   --show-refdes, --no-show-refdes  converted library symbols show their designator
//   --show-name, --no-show-name      converted library symbols show their name
//   --attribute N=NAME               the attribute name of part field N (1 to 13)
// "--" ends the options.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace plexa {

struct ConverterCommandLine {
    bool help = false, version = false, batch = false;
    std::vector<std::string> files;
    // Options as given, applied after the stored ones are loaded.
    int dpi = 0;                      // 0: as stored
    int classId = -1, showRefDes = -1, showName = -1;  // -1: as stored
    std::vector<std::pair<int, std::string>> attributes;  // field number (1 to 13), name
    std::string error;                // a command line not taken: what is wrong
};

// Reads the arguments (argv[0] is the program). Any option the converter does not know, a
// missing or bad value, or --batch without files sets `error`.
ConverterCommandLine ParseConverterCommandLine(int argc, char** argv);
// The text of --help.
std::string ConverterUsage();
// Whether a window can be shown: a display is named in the environment, or a platform chosen.
bool ConverterHasDisplay();
// Applies the command line's options to the loaded ones.
void ApplyCommandLineOptions(const ConverterCommandLine& line);
// Converts the files without a window and prints their lines; the exit status.
[[nodiscard]] int RunConverterBatch(const ConverterCommandLine& line, std::FILE* out, std::FILE* err);

// The program: decides between printing, a batch run and the window, and runs it; the exit
// status. `identity` is run first (the program's name and strings table).
int ConverterMain(int argc, char** argv);

}  // namespace plexa
