// The expression evaluator (EvalExpression), as a data string's back-quoted text is evaluated.
// The first line of the input is the expression; each further line "name=text" gives a field. A
// field whose text starts with "=" holds an expression that is evaluated when the name is looked
// up (nested at most four deep). The result is evaluated into buffers of several sizes and then
// evaluated again as an expression, as a text that quotes another one is.
#include <cstdio>
#include <map>
#include <string>

#include "fuzz/fuzz_support.h"
#include "model/expression.h"

using namespace plexa;

namespace {

std::map<std::string, std::string> gFields;
int gDepth = 0;

bool Resolve(DataContextChain* chain, const char* name, char* out, int32_t size) {
    out[0] = 0;
    const auto it = gFields.find(name);
    if (it == gFields.end()) return false;
    if (!it->second.empty() && it->second[0] == '=') {
        if (gDepth < 4) {
            ++gDepth;
            EvalExpression(chain, it->second.c_str() + 1, out, size);
            --gDepth;
        }
    } else {
        std::snprintf(out, size_t(size), "%s", it->second.c_str());
    }
    return out[0] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool installed = (SetExpressionNameResolver(Resolve), true);
    (void)installed;
    const std::string text(reinterpret_cast<const char*>(data), size);
    size_t end = text.find('\n');
    const std::string expression = text.substr(0, end);
    gFields.clear();
    while (end != std::string::npos) {
        const size_t next = text.find('\n', end + 1);
        const std::string line = text.substr(end + 1, next == std::string::npos ? std::string::npos : next - end - 1);
        const size_t equals = line.find('=');
        if (equals != std::string::npos) gFields[line.substr(0, equals)] = line.substr(equals + 1);
        end = next;
    }
    auto* chain = reinterpret_cast<DataContextChain*>(&gFields);
    SetExpressionPrecision(int16_t(size % 9) - 1);
    char small[7], large[512];
    EvalExpression(chain, expression.c_str(), small, sizeof small);
    EvalExpression(chain, expression.c_str(), large, sizeof large);
    EvalExpression(chain, large, large, sizeof large);
    SetExpressionPrecision(0);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    return {
        "1 + 2 * 3 - 4 / 5 % 6",
        "(Value * 2.5) >= 10 && !(RefDes == \"U5\") || Half\nValue=21\nRefDes=U5\nHalf=1.5",
        "\"pre\" + Inner + \"post\"\nInner==Deep*2\nDeep=3",
        "Total += 7; -Total / 0\nTotal=12",
    };
}
