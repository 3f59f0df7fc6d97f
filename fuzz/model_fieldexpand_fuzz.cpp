// Field expansion (ExpandDataString) of a text typed by a user. The first line of the input is
// the text; each further line "name=text" gives an attribute of the innermost context, whose
// values are expanded again. The text is expanded in buffers of its own length and of more room,
// and what comes back must hold no marker byte that the input did not hold.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "fuzz/fuzz_support.h"
#include "model/attributes.h"
#include "model/fieldexpand.h"

using namespace plexa;

namespace {

bool HasMarker(const char* text, size_t length) {
    return std::any_of(text, text + length, [](char c) { return c >= 1 && c <= 4; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t end = input.find('\n');
    const std::string text = input.substr(0, end);
    StringBlock block = CreateStringBlock(gGenPool, 64);
    Handle run = AllocHandle(gGenPool, 0);
    int16_t count = 0;
    while (end != std::string::npos && block && run) {
        const size_t next = input.find('\n', end + 1);
        const std::string line = input.substr(end + 1, next == std::string::npos ? next : next - end - 1);
        const size_t equals = line.find('=');
        if (equals != std::string::npos && equals > 0)
            SetAttributeValue(block, run, 0, &count, line.substr(0, equals).c_str(),
                              line.substr(equals + 1).c_str(), nullptr);
        end = next;
    }
    DataContextChain* chain = CreateDataCtxChain();
    if (chain) {
        PushBuiltInDataContext(chain, kCtxGlobal, nullptr, nullptr, 0, false);
        PushAttributesContext(chain, kCtxOwnerSymbol, run, block, 0, count, false);
        const bool markedInput = HasMarker(text.data(), text.size());
        for (const int32_t room : {0, 19, 300}) {
            const auto capacity = int32_t(text.size()) + room;
            std::vector<char> buffer(size_t(capacity) + 1, 0);
            std::memcpy(buffer.data(), text.data(), text.size());
            auto length = int32_t(text.size());
            ExpandDataString(buffer.data(), &length, capacity, chain);
            if (length < 0 || length > capacity) __builtin_trap();
            if (!markedInput && HasMarker(buffer.data(), size_t(length))) __builtin_trap();
        }
        DestroyDataCtxChain(chain);
    }
    if (run) MemFree(run);
    if (block) DestroyStringBlock(block);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    return {
        "R{RefDes}{Value}\nValue=10k\nRefDes=U5",
        "{a{b}c} `1+{n}*2` {A}\nb=X\naXc=composed\nn=3\nA={A}",
        "\\{x} {open `1/0` {Empty}\\t{x`a\\tb`}\nEmpty=",
        "{Date} `TRUE && FALSE` {Nope} {}",
    };
}
