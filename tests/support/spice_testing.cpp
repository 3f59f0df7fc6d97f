#include "tests/support/spice_testing.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/testing.h"

namespace plexa::test {

bool NgspiceInstalled() { return std::system("command -v ngspice >/dev/null 2>&1") == 0; }

void ExpectOperatingPoint(const std::string& folder, const std::string& netlist,
                          const std::map<std::string, double>& expected) {
    const size_t end = netlist.rfind(".end\n");
    ASSERT_NE(end, std::string::npos) << netlist;
    std::string print = "print";
    for (const auto& [node, volts] : expected) print += " v(" + node + ")";
    ASSERT_TRUE(WriteFile(folder + "/sim.cir", netlist.substr(0, end) + ".control\nop\n" + print + "\n.endc\n.end\n"));
    std::string quoted = "'";
    for (char c : folder) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    const std::string command = "cd " + quoted + "' && ngspice -b sim.cir >sim.log 2>&1";
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
