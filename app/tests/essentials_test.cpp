// The essentials folder of the build: found through the program's resources, with the default
// report scripts the preferences list and the default library that the build writes from its
// description.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/prefs.h"
#include "app/root.h"
#include "foundation/filespec.h"
#include "library/lib_tool.h"
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
          "\nGND\n  symbol \"GND\" flags 0x200 ", "+5V\n  symbol \"+5V\" flags 0x200 "})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

}  // namespace
}  // namespace plexa
