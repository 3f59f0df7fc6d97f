// Fuzz target: a whole version-3.6 sheet read as the sheet translation reads it. A sheet that
// reads must hold only what its references allow (every wire link's nodes in its net, every
// polygon's points as counted, every section, segment and string where its count and spec say)
// and is then walked whole, as the dump does, analysed for its parts and translated into a current
// sheet, which is dumped; nothing may read outside the input or keep memory.
#include <cstdint>
#include <cstdlib>

#include "converter/options.h"
#include "converter/v36parts.h"
#include "converter/v36sheet.h"
#include "converter/v36sheetconvert.h"
#include "foundation/signals.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "fuzz/fuzz_stream.h"
#include "fuzz/model_fuzz_app.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/texts.h"

using namespace plexa;

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

bool NamesNode(const V36Net& net, uint32_t index) {
    if (index == 0) return true;
    for (uint32_t i = 0; i < net.nodeCount; ++i)
        if (net.nodes[i].index == index) return true;
    return false;
}

void CheckElements(const V36ElementList& list) {
    Check((list.count == 0) == (list.items == nullptr));
    for (uint32_t i = 0; i < list.count; ++i) {
        const V36Element& e = list.items[i];
        if (e.head.kind == kV36Poly) Check(e.pointCount * 2u == e.data[0]);
        Check((e.pointCount == 0) == (e.points == nullptr));
    }
}

void CheckSpec(const V36Sheet* sheet, StringSpec spec) {
    char text[kStringSpecBufferSize];
    Check(ExtractStringSpec(spec, sheet->labels, text, sizeof text) == int16_t(StringSpecLength(spec)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = [] {
        StartModelFuzzApplication();
        SetDefaultConversionOptions();
        return true;
    }();
    (void)started;
    fuzz::FuzzStream in(data, size, false);
    if (!in) return 0;
    V36Sheet* sheet = nullptr;
    if (ReadV36Sheet(in.stream, nullptr, &sheet) != 0) {
        Check(sheet == nullptr);
        return 0;
    }
    for (uint32_t i = 0; i < sheet->symbolCount; ++i) {
        CheckSpec(sheet, sheet->symbols[i].record.name);
        CheckElements(sheet->symbols[i].graphics);
    }
    CheckElements(sheet->elements);
    for (uint32_t i = 0; i < sheet->textCount; ++i) {
        CheckSpec(sheet, sheet->texts[i].text);
        if (sheet->texts[i].flagsB & kV36TextMacro) CheckSpec(sheet, sheet->texts[i].macro);
    }
    for (uint32_t i = 0; i < sheet->partCount; ++i)
        Check((sheet->parts[i].record.sectionCount == 0) == (sheet->parts[i].sections == nullptr));
    for (uint32_t i = 0; i < sheet->busCount; ++i)
        Check((sheet->busses[i].record.segmentCount == 0) == (sheet->busses[i].segments == nullptr));
    for (uint32_t i = 0; i < sheet->netCount; ++i) {
        const V36Net& net = sheet->nets[i];
        CheckSpec(sheet, net.record.name);
        for (uint32_t k = 0; k < net.linkCount; ++k)
            Check(NamesNode(net, net.links[k].record.startNode) && NamesNode(net, net.links[k].record.endNode));
    }
    Check(!FormatV36Sheet(sheet).empty());
    V36ProjectData parts;
    Check(AllocProjectWideData(&parts));
    if (MergeSheetParts(*sheet, 0, &parts) == 0) {
        BuildRefLinkParts(&parts);
        BuildPartListComps(&parts);
    }
    SheetRecord* converted = nullptr;
    if (TranslateV36Sheet(*sheet, 0, &parts, &converted) == 0) {
        Check(!DumpSheet(converted).empty());
        DestroySheet(converted);
    } else {
        Check(converted == nullptr);
    }
    FreeProjectWideData(&parts);
    DisposeV36Sheet(sheet);
    return 0;
}
