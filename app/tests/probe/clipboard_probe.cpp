// A small program for the copy test (app/tests/sheetclip_run_test.cpp): another program on the
// editor's display that reads the system clipboard. `clipboard_probe REPORT` writes what it found
// into the file REPORT ("png SIZE [PNG]", "svg yes|no", "text TEXT", one a line) and the PNG
// picture, when there is one, into REPORT with ".png" added. Exits 0 when it wrote them, else 1
// with the reason on standard error.
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"

namespace {

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace plexa;
    if (argc != 2) {
        std::fprintf(stderr, "usage: clipboard_probe REPORT\n");
        return 2;
    }
    const std::string report = argv[1];
    if (!PlatformEnsureApplication(1, argv)) {
        std::fprintf(stderr, "clipboard_probe: no application object\n");
        return 1;
    }
    std::string png, svg;
    std::u16string text;
    if (!PlatformClipboardGetPicture(&png, &svg, &text)) {
        std::fprintf(stderr, "clipboard_probe: the clipboard holds no picture\n");
        return 1;
    }
    const std::string plain(text.begin(), text.end());
    const std::string found = "png " + std::to_string(png.size()) + (png.size() > 4 ? " " + png.substr(1, 3) : "") +
                              "\nsvg " + (svg.find("<svg") != std::string::npos ? "yes" : "no") + "\ntext " + plain;
    if (!Write(report, found) || (!png.empty() && !Write(report + ".png", png))) {
        std::fprintf(stderr, "clipboard_probe: cannot write \"%s\"\n", report.c_str());
        return 1;
    }
    return 0;
}
