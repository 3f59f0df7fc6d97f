// Puts process-wide state back after every test of a test program, so that no test leaves its
// settings, counters or lists to the next one however the tests are ordered (shuffled runs).
// A folder's test program registers the resets of its own and lower modules once, from a file
// of its tests: `const bool kResets = plexa::test::ResetAfterEachTest({ResetModelForTesting});`
#pragma once

#include <initializer_list>

namespace plexa::test {

using StateReset = void (*)();

// Runs the resets, in the order given, when each test has ended (after its fixture's tear-down).
// Returns true, so that a namespace-scope constant can register them.
bool ResetAfterEachTest(std::initializer_list<StateReset> resets);

}  // namespace plexa::test
