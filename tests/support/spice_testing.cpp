#include "tests/support/spice_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/testing.h"

namespace plexa::test {

const char* const kAmpSpiceNetlist =
    "* amp\n"
    "C1 MID:X2 0 100n\n"
    "C2 MID:X1 0 100n\n"
    "R1 VIN A 1k\n"
    "R2 A 0 2k\n"
    "R3 VIN MID:X2 10k\n"
    "R4 A MID:X1 10k\n"
    "V1 VIN 0 DC 5\n"
    ".model QNPN NPN\n"
    ".op\n"
    ".end\n";

const std::map<std::string, double>& AmpOperatingPoint() {
    static const std::map<std::string, double> volts = {
        {"vin", 5.0}, {"a", 10.0 / 3.0}, {"mid:x1", 10.0 / 3.0}, {"mid:x2", 5.0}};
    return volts;
}

bool NgspiceInstalled() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }

void ExpectOperatingPoint(const std::string& folder, const std::string& netlist,
                          const std::map<std::string, double>& expected) {
    const size_t end = netlist.rfind(".end\n");
    ASSERT_NE(end, std::string::npos) << netlist;
    std::string print = "print";
    for (const auto& [node, volts] : expected) print += " v(" + node + ")";
    ASSERT_TRUE(WriteFile(folder + "/sim.cir", netlist.substr(0, end) + ".control\nop\n" + print + "\n.endc\n.end\n"));
    const std::string command = "cd " + ShellQuoted(folder) + " && ngspice -b sim.cir >sim.log 2>&1";
    const int status = std::system(command.c_str());
    std::string log;
    ReadFile(folder + "/sim.log", log);
    ASSERT_EQ(status, 0) << log;
    for (const auto& [node, volts] : expected) {
        const std::string key = "v(" + node + ") = ";
        const size_t at = log.find(key);
        ASSERT_NE(at, std::string::npos) << key << "\n" << log;
        EXPECT_NEAR(std::strtod(log.c_str() + at + key.size(), nullptr), volts, 1e-6) << node;
    }
}

}  // namespace plexa::test
