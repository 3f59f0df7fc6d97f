// dxf-sample <out.dxf>: draws a small page (lines of several pens, a rectangle, a circle, an
// ellipse, arcs, a rounded rectangle, a polygon, a rounded 32-bit polygon, texts and a block
// with two references) through the DXF conversion port and writes it as a DXF file, for a
// person to open in a CAD program.
#include <cstdio>

#include "graphics/dxf.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"
#include "tools/tool_support.h"

using namespace plexa;

namespace {

constexpr const char* kProgram = "dxf-sample";

void DrawSymbol() {
    const Rect body = {0, 0, 40, 60};
    VXRectDispatch(&body, 0);
    VXMoveTo(-20, 20);
    VXLineTo(0, 20);
    VXMoveTo(60, 20);
    VXLineTo(80, 20);
}

void DrawPage() {
    for (int16_t pen = 0; pen <= 4; ++pen) {
        VXSetPenWidth(pen);
        VXMoveTo(20, int16_t(20 + pen * 10));
        VXLineTo(220, int16_t(20 + pen * 10));
    }
    VXSetPenWidth(1);
    const Rect rect = {100, 20, 160, 120};
    VXRectDispatch(&rect, 0);
    const Rect circle = {100, 140, 161, 201};
    VXOvalDispatch(&circle, 0);
    const Rect ellipse = {100, 220, 141, 301};
    VXOvalDispatch(&ellipse, 0);
    const Rect arcBox = {180, 20, 241, 81};
    VXArcDispatch(&arcBox, 0, 90, 0);
    VXArcDispatch(&arcBox, 180, -45, 0);
    const Rect arcEllipse = {180, 100, 221, 181};
    VXArcDispatch(&arcEllipse, 45, 180, 0);
    const Rect rounded = {260, 20, 321, 141};
    VXRoundRectDispatch(&rounded, 30, 30, 0);
    const Point poly[] = {{260, 160}, {320, 180}, {300, 240}, {260, 160}};
    VXPolyDispatch(poly, 4, 1);
    VXPolyDispatch(poly, 4, 0);
    const _LPNT path[] = {{340, 20}, {340, 200}, {420, 200}, {420, 300}};
    const int32_t radii[] = {0, 20, 20, 0};
    VXLPolyDispatch(path, radii, 4, 0);
    VXSetTextSize(12);
    VXMoveTo(320, 120);
    VXDrawTextWithEncoding("Plain text", -1, 0x08000100);
    VXSetTextRotation(90);
    VXMoveTo(360, 120);
    VXDrawTextWithEncoding("Turned 90", -1, 0x08000100);
    VXSetTextRotation(0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dxf-sample <out.dxf>\n");
        return 2;
    }
    if (StartCore(kProgram) != 0) return tools::kFailed;
    VXInitGraf();
    FileSpec spec{};
    if (const OSStatus st = tools::ToolFileSpec(argv[1], &spec))
        return tools::Fail(kProgram, argv[1], "the output file cannot be named", st);
    const LRect page = {0, 0, 500, 700};
    DXFPort dxf;
    if (!DXFBeginToFile(&page, 100.0, &spec, &dxf))
        return tools::Fail(kProgram, argv[1], "the output file cannot be made",
                           dxf.status ? dxf.status : status::kParamErr);
    VXGrafState* port = DXFOpenPort(&dxf);
    if (port) {
        DXFBlockBegin(&dxf, 1);
        DrawSymbol();
        DXFBlockEnd(&dxf);
        DrawPage();
        const _LPNT at1 = {400, 500}, at2 = {460, 500};
        DXFBlockReference(&dxf, 1, &at1);
        DXFBlockReference(&dxf, 1, &at2);
        DXFClosePort(&dxf, port);
    }
    const OSStatus st = DXFEnd(&dxf);
    QZFlushTextCache();
    if (st != status::kNoErr) return tools::Fail(kProgram, argv[1], "the drawing could not be written", st);
    if (!port)
        return tools::Fail(kProgram, argv[1], "the conversion port could not be opened", status::kOutOfMemory);
    return 0;
}
