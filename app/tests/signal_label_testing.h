// What the running-program tests of a signal's label share: where the label of a wire drawn from
// (100,300) to (900,300) stands in the window of a sheet opened at 100 %, and the steps that open
// the signal dialog from it and type a name over the one shown.
#pragma once

#include <cstdint>
#include <string>

namespace plexa::test {

// The label's place in the window: the sheet at 100 % right of the tool palette and below the
// tool bars, the label centred above the wire.
constexpr int32_t kLabelX = 537, kLabelY = 333;

// A double click on the label opens the signal's dialog; the name it shows is selected, and the
// name typed then replaces it.
inline std::string RenameFromTheLabel(const std::string& name) {
    return "click " + std::to_string(kLabelX) + " " + std::to_string(kLabelY) + " double\n"
           "wait-window Signal Info\n"
           "wait-drawn Signal Info\n"
           "key Ctrl+A\n"
           "type " + name + "\n";
}

}  // namespace plexa::test
