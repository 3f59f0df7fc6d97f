// Loads fuzzed bytes as the preferences file, as the program does at start-up. Whatever the bytes,
// loading ends with a status; when they loaded, every block is saved and the saved file must load
// again without a failure.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/prefs.h"
#include "foundation/memory.h"
#include "fuzz/fuzz_core.h"
#include "fuzz/fuzz_support.h"

using namespace plexa;

namespace {

// The scratch configuration folder, made once, with the file's folder in it.
std::string PrefsPath() {
    static const std::string config = [] {
        const std::string folder = fuzz::ScratchPath("config");
        ::mkdir(folder.c_str(), 0700);
        ::mkdir((folder + "/plexa").c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        PreferencesHooks quiet;
        quiet.message = [](const char*) {};
        quiet.errorReport = [](OSStatus) {};
        SetPreferencesHooks(quiet);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(fuzz::ScratchPath("config"), ignored);
        });
        return folder;
    }();
    return config + "/plexa/Plexa 6.0 Preferences";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::StartFuzzCore();
    const std::string path = PrefsPath();
    FileSpec spec;
    if (!fuzz::WriteScratchFile(path, data, size, &spec)) return 0;
    if (LoadPreferences() == 0) {
        RecordChangedPreferences(kPrefsAllBlocks);
        if (SavePreferences() == 0 && LoadPreferences() != 0) std::abort();
    }
    DisposePreferences();
    std::remove(path.c_str());
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::StartFuzzCore();
    const std::string path = PrefsPath();
    std::vector<std::string> seeds;
    for (int shape = 0; shape < 2; ++shape) {
        std::remove(path.c_str());
        if (LoadPreferences() != 0) continue;  // a new file of the defaults
        if (shape == 1) {
            gPrefs->options = kPrefsColorDisplay;
            SetIndexedGrafColor(9, 0x102030);
            AppendPropertyNames(kPinNames, "PinType");
            AddShortcutToGroup(kComponentShortcuts, "Resistor", "Basic Parts");
            gScriptFilesList.push_back({"Netlist.SXP", "****", nullptr});
            gRecentFiles[kRecentSheets].push_back({1000, nullptr, "a.SHX"});
            RecordChangedPreferences(kPrefsAllBlocks);
            if (SavePreferences() != 0) continue;
        }
        seeds.push_back(fuzz::ReadWholeFile(path));
        DisposePreferences();
    }
    std::remove(path.c_str());
    return seeds;
}
