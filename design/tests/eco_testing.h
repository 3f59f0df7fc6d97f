// Helpers of the ECO tests, and the ECO reader's fuzz seeds (fuzz/design_ecofile_fuzz.cpp).
#pragma once

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "design/ecostate.h"

namespace plexa {

// The lines of a text in sorted order: design state dumps compared regardless of list order.
inline std::string SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// A sample state: two components (one on two placed symbols), two nets. The status of making it.
inline OSStatus BuildECOSample(DesignStateRecord* s) {
    if (OSStatus st = InitDesignState(s, kStateInitTexts)) return st;
    SetDesignStateInfo(s, "Board", 3000000000u, kStateKindSchematic);
    s->flags = kStateSynchByName;
    const int32_t u1 = AddECOCompText(s, "  U1 ", "7400");
    const int32_t r1 = AddECOCompText(s, "R1", "RES");
    const int32_t cu = AddECOComp(s, uint16_t(u1), "DIP14\t\t\t");
    const int32_t cr = AddECOComp(s, uint16_t(r1), "");
    AddECOCompMember(s, 7, 3, cu);
    AddECOCompMember(s, 7, 4, cu);
    AddECOCompMember(s, 0xFFFFFFFF, -2, cr);
    const int32_t vcc = AddECONet(s, "VCC");
    const int32_t out = AddECONet(s, "OUT");
    AddECONetMember(s, vcc, uint16_t(u1), "14");
    AddECONetMember(s, out, uint16_t(u1), "3");
    AddECONetMember(s, out, uint16_t(r1), "1");
    return 0;
}

// A file as an older big-endian writer lays it out: its flags lack the marker bits, so every word
// and long is read swapped, the serial members too.
inline constexpr uint8_t kECOBigEndianFile[] = {
    0x00, 0x02,                          // version 2
    0x00, 0x00, 0x00, 0x02,              // flags: synchronise by name, without the marker
    0x00, 0x00, 0x00, 0x00, 0x00, 0x02,  // name: offset 0, length 2 ("PB")
    0x00, 0x00, 0x00, 0x64,              // revision time 100
    0x00, 0x01,                          // kind 1 (PCB)
    0x00, 0x00, 0x00, 0x08,              // 8 string bytes
    'P', 'B', 'U', '9', 'N', 'E', 'T', '1',
    0x00, 0x00, 0x00, 0x06,              // designators: one ref
    0x00, 0x00, 0x00, 0x02, 0x00, 0x02,  //   "U9"
    0x00, 0x00, 0x00, 0x06,              // names: one ref
    0x00, 0x00, 0x00, 0x04, 0x00, 0x03,  //   "NET"
    0x00, 0x00,                          // component id 0
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //   no footprint
    0xFF, 0xFF,                          // end of components
    0x00, 0x00,                          // serial member of component 0
    0x00, 0x00, 0x01, 0x02,              //   instance 258
    0xFF, 0xFF, 0xFF, 0xFE,              //   symbol -2
    0xFF, 0xFF,                          // end of serial members
    0x00, 0x00,                          // net index 0
    0x00, 0x00, 0x00, 0x04, 0x00, 0x04,  //   "NET1"
    0xFF, 0xFF,                          // end of nets
    0x00, 0x00, 0x00, 0x00,              // one member (count - 1)
    0x00, 0x00, 0x00, 0x00,              //   net 0, component text 0
    0x00, 0x00, 0x00, 0x07, 0x00, 0x01,  //   pin "1"
};

}  // namespace plexa
