// The report language's built-in functions: each reads its arguments (expressions, each ended by
// ". ") from the token stream and pushes one result on the evaluator's stack.
#include <algorithm>
#include <cstring>

#include "design/report_internal.h"
#include "design/report_interp.h"
#include "design/report_tokens.h"
#include "foundation/signals.h"

namespace plexa {

namespace {

constexpr size_t kRepeatLimit = 4096;
constexpr int32_t kJustifyPadLimit = 300;
constexpr int32_t kMaxDecimals = 12;
constexpr size_t kSavePathLimit = 300;

void PushText(const std::string& text) {
    if (!PushStringTerm(text.c_str())) Signal(status::kOutOfMemory);
}

void PushInteger(int32_t value) {
    if (!PushIntegerTerm(value)) Signal(status::kOutOfMemory);
}

bool TakeCode(ReportState& rpt, uint16_t code) {
    if (RptPeekCode(rpt) != code) return false;
    RptReadCode(rpt);
    return true;
}

void FloatFunction(ReportState& rpt) {
    RptEvaluate(rpt);
    if (!TakeCode(rpt, kRptSecondArgument)) {
        ExpressionTerm* t = GetExpressionTerm(kExprFloat, false);
        if (!t) Signal(status::kParamErr);
        return;
    }
    const int32_t digits = RptEvaluateInteger(rpt);
    if (digits <= 0) {
        if (!GetExpressionTerm(kExprInteger, false)) Signal(status::kParamErr);
        return;
    }
    if (!GetExpressionTerm(kExprFloat, false)) Signal(status::kParamErr);
    const int16_t former = SetExpressionPrecision(int16_t(std::min(digits, kMaxDecimals)));
    std::string text;
    const OSStatus st = CatchSignals([&] { text = RptPopString(); });
    SetExpressionPrecision(former);
    Signal(st);
    PushText(text);
}

void IntFunction(ReportState& rpt) {
    RptEvaluate(rpt);
    if (TakeCode(rpt, kRptSecondArgument)) RptEvaluateString(rpt);  // evaluated and dropped
    if (!GetExpressionTerm(kExprInteger, false)) Signal(status::kParamErr);
}

void Justify(ReportState& rpt) {
    const std::string text = RptEvaluateString(rpt);
    const int32_t width = RptEvaluateInteger(rpt);
    int alignment = 0;  // left
    if (TakeCode(rpt, kRptJustifyRight)) alignment = 1;
    else if (TakeCode(rpt, kRptJustifyCenter)) alignment = 2;
    char fill = ' ';
    if (TakeCode(rpt, kRptFillCharacter)) {
        const std::string f = RptEvaluateString(rpt);
        if (!f.empty()) fill = f[0];
    }
    if (width <= int32_t(text.size())) {
        PushText(text);
        return;
    }
    const int32_t pad = std::min(width - int32_t(text.size()), kJustifyPadLimit);
    int32_t before = 0;
    if (alignment == 1) before = pad;
    else if (alignment == 2) before = pad / 2;
    PushText(std::string(size_t(before), fill) + text + std::string(size_t(pad - before), fill));
}

void Repeat(ReportState& rpt) {
    const std::string text = RptEvaluateString(rpt);
    const int32_t count = RptEvaluateInteger(rpt);
    std::string out;
    if (count > 0 && !text.empty()) {
        size_t n = size_t(count);
        if (n * text.size() > kRepeatLimit) n = std::max<size_t>(kRepeatLimit / text.size(), 1);
        out.reserve(n * text.size());
        for (size_t i = 0; i < n; ++i) out += text;
    }
    PushText(out);
}

void Trunc(ReportState& rpt) {
    std::string text = RptEvaluateString(rpt);
    const int32_t length = RptEvaluateInteger(rpt);
    text.resize(std::min(text.size(), size_t(std::max(length, 0))));
    PushText(text);
}

void Substring(ReportState& rpt) {
    const std::string text = RptEvaluateString(rpt);
    int32_t start = RptEvaluateInteger(rpt);
    int32_t count = RptEvaluateInteger(rpt);
    if (start < 0) {
        count += start;
        start = 0;
    }
    if (count <= 0 || start >= int32_t(text.size())) {
        PushText(std::string());
        return;
    }
    PushText(text.substr(size_t(start), size_t(count)));
}

void Replace(ReportState& rpt) {
    const std::string text = RptEvaluateString(rpt);
    const std::string from = RptEvaluateString(rpt, 255);
    const std::string to = RptEvaluateString(rpt, 255);
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const size_t i = from.find(c);
        if (i == std::string::npos) out += c;
        else if (i < to.size()) out += to[i];
    }
    PushText(out);
}

void Position(ReportState& rpt) {
    std::string text = RptEvaluateString(rpt);
    std::string search = RptEvaluateString(rpt, 255);
    const bool caseSensitive = RptEvaluateTruth(rpt);
    if (!caseSensitive) {
        text = RptUpper(text);
        search = RptUpper(search);
    }
    const size_t at = search.size() > text.size() ? std::string::npos : text.find(search);
    PushInteger(at == std::string::npos ? -1 : int32_t(at));
}

void StripExt(ReportState& rpt) {
    std::string name = RptEvaluateString(rpt);
    bool stripped = false;
    while (TakeCode(rpt, kRptNextArgument)) {
        const std::string ext = RptEvaluateString(rpt, 15);
        if (stripped || ext.empty() || ext.size() > name.size()) continue;
        if (RptUpper(name.substr(name.size() - ext.size())) == RptUpper(ext)) {
            name.resize(name.size() - ext.size());
            stripped = true;
        }
    }
    PushText(name);
}

void Ask(ReportState& rpt) {
    const std::string message = RptEvaluateString(rpt, 255);
    std::string first = RptEvaluateString(rpt, 15);
    std::string second = RptEvaluateString(rpt, 15);
    if (message.empty()) {
        PushInteger(0);
        return;
    }
    if (first.empty()) first = "OK";
    if (second.empty()) second = "Cancel";
    const ReportHooks& hooks = GetReportHooks();
    PushInteger(hooks.ask && hooks.ask(message.c_str(), first.c_str(), second.c_str()) ? 1 : 0);
}

void AskSave(ReportState& rpt, bool abortOnCancel) {
    const std::string prompt = RptEvaluateString(rpt, 63);
    const std::string name = RptEvaluateString(rpt, 79);
    char path[1024] = {0};
    const ReportHooks& hooks = GetReportHooks();
    const bool chosen = hooks.askSave &&
                        hooks.askSave(prompt.c_str(), name.c_str(), rpt.baseFolder.c_str(), path,
                                      int32_t(sizeof path));
    if (!chosen) {
        if (abortOnCancel) Signal(status::kUserCancelled);
        PushText(std::string());
        return;
    }
    if (std::strlen(path) >= kSavePathLimit) Signal(status::kNoDirectoryRef);
    PushText(path);
}

}  // namespace

bool CallBuiltInFunction(ReportState& rpt, uint16_t code) {
    switch (code) {
        case kRptAsk: Ask(rpt); return true;
        case kRptAskSave: AskSave(rpt, false); return true;
        case kRptAskSaveAbort: AskSave(rpt, true); return true;
        case kRptFloatFn: FloatFunction(rpt); return true;
        case kRptIntFn: IntFunction(rpt); return true;
        case kRptJustify: Justify(rpt); return true;
        case kRptLength: PushInteger(int32_t(RptEvaluateString(rpt).size())); return true;
        case kRptPosition: Position(rpt); return true;
        case kRptRepeat: Repeat(rpt); return true;
        case kRptReplace: Replace(rpt); return true;
        case kRptStripExt: StripExt(rpt); return true;
        case kRptSubstring: Substring(rpt); return true;
        case kRptTrunc: Trunc(rpt); return true;
        default: return false;
    }
}

}  // namespace plexa
