// The essentials folder of the build: found through the program's resources, with the default
// report scripts the preferences list and the default libraries that the build writes from their
// descriptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/prefs.h"
#include "app/root.h"
#include "foundation/filespec.h"
#include "library/lib_tool.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

std::string EssentialsPath() {
    DirectoryRef folder;
    if (FindEssentialsFolder(&folder) != 0) return {};
    std::string location;
    if (CreateDirectoryURLFromDirectory(&folder, &location) != 0) return {};
    return location;
}

// What lib-tool says of a library; empty (with the failure) when it fails.
std::string LibTool(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "lib-tool");
    std::string out, err;
    EXPECT_EQ(RunLibTool(int(arguments.size()), arguments.data(), &out, &err), 0) << err;
    return out;
}

TEST(Essentials, HoldTheDefaultScriptsAndTheBasicPartsLibrary) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    const std::string essentials = EssentialsPath();
    ASSERT_FALSE(essentials.empty());
    EXPECT_EQ(test::FolderNames(essentials), (std::vector<std::string>{"Libraries", "Scripts", "Templates"}));

    // The default script list finds the three scripts with their targets.
    test::TempDir config;
    test::EnvScope env("XDG_CONFIG_HOME", config.path());
    SetDefaultPreferences();
    std::string scripts;
    for (const auto& entry : gScriptFilesList) scripts += entry.name + " " + entry.target + "\n";
    EXPECT_EQ(scripts,
              "Orvix Boardix Parts List.SXP ****\nOrvix Boardix Net List.SXP ****\nSimora Hierarchical.SXP smra\n");
    DisposePreferences();

    // The library is sound and every part carries what the SPICE script reads: its element
    // letter as the prefix, pins numbered in order, a value or a model.
    const std::string library = essentials + "/Libraries/Basic Parts.LBX";
    std::string out, err;
    const char* check[] = {"lib-tool", "check", library.c_str()};
    ASSERT_EQ(RunLibTool(3, check, &out, &err), 0) << err;
    out.clear();
    const char* list[] = {"lib-tool", "list", library.c_str()};
    ASSERT_EQ(RunLibTool(3, list, &out, &err), 0) << err;
    EXPECT_EQ(out,
              "+5V\n+12V\nCapacitor\nCurrent Source\nDiode\nGND\nInductor\nNPN (alias of NPN Transistor)\n"
              "NPN Transistor\nPNP (alias of PNP Transistor)\nPNP Transistor\nResistor\nVoltage Source\n");
    out.clear();
    const char* details[] = {"lib-tool", "list", "-l", library.c_str()};
    ASSERT_EQ(RunLibTool(4, details, &out, &err), 0) << err;
    for (const char* expected :
         {"prefix \"R\"\n  attribute \"Value\" = \"1k\"", "attribute \"SpiceModel\" = \"QNPN\"",
          "prefix \"V\"\n  attribute \"Value\" = \"DC 5\"", "prefix \"I\"\n  attribute \"Value\" = \"DC 1m\"",
          "section \"\" symbol 0 pins \"1\" \"2\" \"3\"",
          // The power and ground symbols are net symbols: placed, they take wires and name their net.
          "\nGND\n  symbol \"GND\" flags 0x200 ", "+5V\n  symbol \"+5V\" flags 0x200 ",
          // The parts show their designator and their value.
          "    pin 1 \"2\" type 7\n    text 0x0011 \"R?\" ", "    text 0x0016 \"{Value}\" ",
          "    text 0x0011 \"V?\" "})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

// The library "Wire Symbols" holds every item the default shortcut groups name: the power symbols,
// each naming its global net, and the module ports with their types, the bus ports naming busses,
// and the connection within a sheet, which is local; the supplies and the ports show their names
// when placed (placement 1), the ground and chassis symbols do not.
TEST(Essentials, HoldEveryItemOfTheDefaultShortcutGroups) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    const std::string essentials = EssentialsPath();
    ASSERT_FALSE(essentials.empty());
    const std::string library = essentials + "/Libraries/Wire Symbols.LBX";
    (void)LibTool({"check", library.c_str()});  // a sound library: no failure
    EXPECT_EQ(LibTool({"list", library.c_str()}),
              "+3V\n+5V\n+9V\n+12V\n-3V\n-5V\n-9V\n-12V\nBus I/O Port\nBus Input Port\nBus Output Port\nCHASIS\n"
              "EARTH\nGND\nIntra-Sheet Connection\nSignal I/O Port\nSignal Input Port\nSignal Output Port\n");
    const std::string details = LibTool({"list", "-l", library.c_str()});
    for (const char* expected :
         {"-12V\n  symbol \"-12V\" flags 0x200 placement 1\n    pin 0 \"-12V\" type 8\n",
          "GND\n  symbol \"GND\" flags 0x200 placement 0\n",
          "EARTH\n  symbol \"EARTH\" flags 0x200 placement 0\n",
          "CHASIS\n  symbol \"CHASIS\" flags 0x200 placement 0\n",
          "Intra-Sheet Connection\n  symbol \"Intra-Sheet Connection\" flags 0x300 placement 0\n",
          "Signal Input Port\n  symbol \"Signal Input Port\" flags 0x218 placement 1\n",
          "Signal Output Port\n  symbol \"Signal Output Port\" flags 0x228 placement 1\n",
          "Signal I/O Port\n  symbol \"Signal I/O Port\" flags 0x238 placement 1\n",
          "Bus Input Port\n  symbol \"Bus Input Port\" flags 0x258 placement 1\n",
          "Bus Output Port\n  symbol \"Bus Output Port\" flags 0x268 placement 1\n",
          "Bus I/O Port\n  symbol \"Bus I/O Port\" flags 0x278 placement 1\n"})
        EXPECT_NE(details.find(expected), std::string::npos) << expected << "\n" << details;

    // Through the default library list, each shortcut of the default groups finds its item.
    test::TempDir config;
    test::EnvScope env("XDG_CONFIG_HOME", config.path());
    test::EnvScope data("XDG_DATA_HOME", config.path());
    SetDefaultPreferences();
    InitLibraryAccess();
    BuildLibraryFileList(nullptr, false);
    int32_t shortcuts = 0;
    for (const auto& group : gLibShortcuts)
        for (const Shortcut& shortcut : group) {
            int32_t file = -1, item = -1;
            EXPECT_TRUE(LocateLibraryFileItem(shortcut.library.c_str(), shortcut.item.c_str(), &file, &item))
                << shortcut.library << ": " << shortcut.item;
            ++shortcuts;
        }
    EXPECT_EQ(shortcuts, 18);
    DisposeLibraryAccess();
    DisposePreferences();
}

}  // namespace
}  // namespace plexa
