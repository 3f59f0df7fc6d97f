// An X server of a test's own (Xvfb) on a display number that the server itself chooses, free of
// every other run's; ended when the object goes.
#pragma once

#include <memory>
#include <string>

namespace plexa::test {

class ChildProcess;

class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Whether the machine has the server at all.
    static bool Available();
    // The display (":N") once the server takes connections; empty when it did not start.
    const std::string& name() const { return name_; }

private:
    std::unique_ptr<ChildProcess> server_;
    std::string name_;
};

}  // namespace plexa::test
