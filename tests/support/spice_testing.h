// The operating point of a SPICE netlist as ngspice computes it, for the tests that simulate the
// netlist the shipped SPICE script writes.
#pragma once

#include <map>
#include <string>

namespace plexa::test {

// The fixture project tools/tests/fixtures/amp: the netlist the shipped SPICE script writes for it
// (its commands, the project's "SpiceCommands", give the model of the library's NPN transistor
// and the analysis), and its operating point (the divider gives A = 5 V * 2k / 3k; each use of
// the RC stage has its local node MID at its own input, no current flowing into the capacitors).
extern const char* const kAmpSpiceNetlist;
const std::map<std::string, double>& AmpOperatingPoint();

// Whether ngspice can be run (scripts/setup installs it).
bool NgspiceInstalled();

// Runs ngspice in batch mode in the folder on the netlist, its ".end" line replaced by a control
// block that prints the voltages of the expected nodes (names in lower case), and checks each
// against its expected value.
void ExpectOperatingPoint(const std::string& folder, const std::string& netlist,
                          const std::map<std::string, double>& expected);

}  // namespace plexa::test
