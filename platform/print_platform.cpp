// Print settings, the page-layout panel and the print operation over Qt PrintSupport.
#include "platform/print_platform.h"

#include <QFileInfo>
#include <QLocale>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>
#include <tuple>

#include "platform/draw_context_qt.h"
#include "platform/window_platform_qt.h"

namespace plexa {

struct PlatformPrintSettings {
    double paperWidth = 595, paperHeight = 842;  // portrait
    bool landscape = false;
    double margins[4] = {0, 0, 0, 0};
    double scaling = 1.0;
    bool paginate = true, center = true;
    std::string printer, output;
};

namespace {

constexpr const char* kArchiveMagic = "PlexaPrintSettings";
constexpr size_t kArchiveLimit = 64 * 1024;
constexpr double kMaxPaper = 100000;

bool gHaveTestInsets = false;
double gTestInsets[4] = {0, 0, 0, 0};
PlatformPanelAnswer gPageLayoutAnswer = nullptr;
void* gPageLayoutRefcon = nullptr;
PlatformPanelAnswer gPrintPanelAnswer = nullptr;
void* gPrintPanelRefcon = nullptr;

const PlatformPrintSettings& Shared() {
    static const PlatformPrintSettings shared = [] {
        PlatformPrintSettings s;
        const bool inches = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        const QSize size = QPageSize(inches ? QPageSize::Letter : QPageSize::A4).sizePoints();
        s.paperWidth = size.width();
        s.paperHeight = size.height();
        return s;
    }();
    return shared;
}

double OrientedWidth(const PlatformPrintSettings* s) {
    return s->landscape ? s->paperHeight : s->paperWidth;
}
double OrientedHeight(const PlatformPrintSettings* s) {
    return s->landscape ? s->paperWidth : s->paperHeight;
}

// Margins that leave some paper: each side at least 0, each pair under the paper's extent.
void KeepMarginsInside(PlatformPrintSettings* s) {
    const double extent[2] = {OrientedHeight(s), OrientedWidth(s)};
    for (int axis = 0; axis < 2; ++axis) {
        double& a = s->margins[axis];
        double& b = s->margins[axis + 2];
        a = std::isfinite(a) ? std::max(0.0, a) : 0.0;
        b = std::isfinite(b) ? std::max(0.0, b) : 0.0;
        const double room = extent[axis] - 1;
        if (a + b > room) {
            const double factor = room / (a + b);
            a *= factor;
            b *= factor;
        }
    }
}

QPageLayout LayoutOf(const PlatformPrintSettings* s, bool withMargins) {
    const QMarginsF margins = withMargins ? QMarginsF(s->margins[1], s->margins[0], s->margins[3],
                                                      s->margins[2])
                                          : QMarginsF();
    QPageLayout layout(QPageSize(QSizeF(s->paperWidth, s->paperHeight), QPageSize::Point),
                       s->landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(),
                       QPageLayout::Point);
    layout.setMode(QPageLayout::FullPageMode);
    layout.setMargins(margins);
    return layout;
}

// The printer's insets for the settings' paper, asked once per printer and paper.
void PrinterInsets(const PlatformPrintSettings* s, double out[4]) {
    if (gHaveTestInsets) {
        std::copy(gTestInsets, gTestInsets + 4, out);
        return;
    }
    std::fill(out, out + 4, 0.0);
    if (!s->output.empty()) return;  // a PDF file prints edge to edge
    using Key = std::tuple<std::string, double, double, bool>;
    static std::map<Key, QMarginsF> cache;
    const Key key{s->printer, s->paperWidth, s->paperHeight, s->landscape};
    auto it = cache.find(key);
    if (it == cache.end()) {
        QMarginsF insets;
        const QPrinterInfo info = s->printer.empty()
                                      ? QPrinterInfo::defaultPrinter()
                                      : QPrinterInfo::printerInfo(QString::fromStdString(s->printer));
        if (!info.isNull()) {
            QPrinter printer(info, QPrinter::HighResolution);
            printer.setPageLayout(LayoutOf(s, false));
            QPageLayout layout = printer.pageLayout();
            layout.setUnits(QPageLayout::Point);
            insets = layout.minimumMargins();
        }
        it = cache.emplace(key, insets).first;
    }
    out[0] = it->second.top();
    out[1] = it->second.left();
    out[2] = it->second.bottom();
    out[3] = it->second.right();
}

// ---- Archive text ----

std::string Escape(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == '%' || c == '\n' || c == '\r' || c == 0) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string* out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        int value = 0;
        for (int k = 1; k <= 2; ++k) {
            const char c = text[i + k];
            int digit = (c >= '0' && c <= '9')   ? c - '0'
                        : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                        : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                 : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        *out += char(value);
        i += 2;
    }
    return true;
}

std::string Number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// A whole field as a finite number within [low, high].
bool ParseNumber(std::string_view text, double low, double high, double* out) {
    if (text.empty() || text.size() > 32) return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (errno || end != copy.c_str() + copy.size() || !std::isfinite(value)) return false;
    if (value < low || value > high) return false;
    *out = value;
    return true;
}

bool ParseList(std::string_view text, char separator, double low, double high, double* out,
               int count) {
    for (int i = 0; i < count; ++i) {
        const size_t cut = i + 1 < count ? text.find(separator) : text.size();
        if (cut == std::string_view::npos) return false;
        if (!ParseNumber(text.substr(0, cut), low, high, &out[i])) return false;
        text = cut < text.size() ? text.substr(cut + 1) : std::string_view();
    }
    return true;
}

bool ParseFlag(std::string_view text, bool* out) {
    if (text != "0" && text != "1") return false;
    *out = text == "1";
    return true;
}

bool ReadLine(PlatformPrintSettings* s, std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "paper") {
        double size[2];
        if (!ParseList(value, 'x', 1, kMaxPaper, size, 2)) return false;
        s->paperWidth = size[0];
        s->paperHeight = size[1];
    } else if (key == "orientation") {
        if (value != "portrait" && value != "landscape") return false;
        s->landscape = value == "landscape";
    } else if (key == "margins") {
        if (!ParseList(value, ',', 0, kMaxPaper, s->margins, 4)) return false;
    } else if (key == "scaling") {
        if (!ParseNumber(value, 0.01, 100, &s->scaling)) return false;
    } else if (key == "paginate") {
        return ParseFlag(value, &s->paginate);
    } else if (key == "center") {
        return ParseFlag(value, &s->center);
    } else if (key == "printer") {
        return Unescape(value, &s->printer);
    } else if (key == "output") {
        return Unescape(value, &s->output);
    }
    return true;  // a key of a later writer
}

void ApplyToPrinter(const PlatformPrintSettings* s, QPrinter* printer) {
    if (!s->output.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(s->output));
    } else if (!s->printer.empty()) {
        printer->setPrinterName(QString::fromStdString(s->printer));
    }
    printer->setFullPage(true);
    printer->setPageLayout(LayoutOf(s, false));
}

void ReadFromPrinter(const QPrinter& printer, PlatformPrintSettings* s) {
    const QPageLayout layout = printer.pageLayout();
    const QSizeF size = layout.pageSize().size(QPageSize::Point);
    if (size.width() >= 1 && size.height() >= 1 && size.width() <= kMaxPaper &&
        size.height() <= kMaxPaper) {
        s->paperWidth = size.width();
        s->paperHeight = size.height();
    }
    s->landscape = layout.orientation() == QPageLayout::Landscape;
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        s->output = printer.outputFileName().toStdString();
        s->printer.clear();
    } else {
        s->output.clear();
        s->printer = printer.printerName().toStdString();
    }
    KeepMarginsInside(s);
}

}  // namespace

PlatformPrintSettings* PlatformPrintSettingsCreate() { return new PlatformPrintSettings(Shared()); }

PlatformPrintSettings* PlatformPrintSettingsCopy(const PlatformPrintSettings* settings) {
    return settings ? new PlatformPrintSettings(*settings) : PlatformPrintSettingsCreate();
}

void PlatformPrintSettingsDestroy(PlatformPrintSettings* settings) { delete settings; }

void PlatformPrintSettingsGeometry(const PlatformPrintSettings* s, PlatformPaperGeometry* out) {
    *out = {};
    if (!s) return;
    out->paperWidth = OrientedWidth(s);
    out->paperHeight = OrientedHeight(s);
    double insets[4];
    PrinterInsets(s, insets);
    out->imageableX = insets[1];
    out->imageableY = insets[0];
    out->imageableWidth = std::max(0.0, out->paperWidth - insets[1] - insets[3]);
    out->imageableHeight = std::max(0.0, out->paperHeight - insets[0] - insets[2]);
}

void PlatformPrintSettingsSetPaper(PlatformPrintSettings* s, double width, double height,
                                   bool landscape) {
    if (!s || !(width >= 1 && width <= kMaxPaper && height >= 1 && height <= kMaxPaper)) return;
    s->paperWidth = width;
    s->paperHeight = height;
    s->landscape = landscape;
    KeepMarginsInside(s);
}

bool PlatformPrintSettingsIsLandscape(const PlatformPrintSettings* s) { return s && s->landscape; }

void PlatformPrintSettingsSetLandscape(PlatformPrintSettings* s, bool landscape) {
    if (!s) return;
    s->landscape = landscape;
    KeepMarginsInside(s);
}

void PlatformPrintSettingsGetMargins(const PlatformPrintSettings* s, double margins[4]) {
    for (int i = 0; i < 4; ++i) margins[i] = s ? s->margins[i] : 0;
}

void PlatformPrintSettingsSetMargins(PlatformPrintSettings* s, const double margins[4]) {
    if (!s) return;
    std::copy(margins, margins + 4, s->margins);
    KeepMarginsInside(s);
}

double PlatformPrintSettingsScaling(const PlatformPrintSettings* s) { return s ? s->scaling : 1.0; }

void PlatformPrintSettingsSetScaling(PlatformPrintSettings* s, double factor) {
    if (s && std::isfinite(factor)) s->scaling = std::clamp(factor, 0.01, 100.0);
}

void PlatformPrintSettingsSetPagination(PlatformPrintSettings* s, bool paginate, bool center) {
    if (!s) return;
    s->paginate = paginate;
    s->center = center;
}

void PlatformPrintSettingsSetOutputFile(PlatformPrintSettings* s, const std::string& path) {
    if (s) s->output = path;
}

std::string PlatformPrintSettingsOutputFile(const PlatformPrintSettings* s) {
    return s ? s->output : std::string();
}

void PlatformPrintSettingsSetPrinter(PlatformPrintSettings* s, const std::string& name) {
    if (s) s->printer = name;
}

std::string PlatformPrintSettingsArchive(const PlatformPrintSettings* s) {
    if (!s) return {};
    std::string out = std::string(kArchiveMagic) + " 1\n";
    out += "paper=" + Number(s->paperWidth) + "x" + Number(s->paperHeight) + "\n";
    out += std::string("orientation=") + (s->landscape ? "landscape" : "portrait") + "\n";
    out += "margins=" + Number(s->margins[0]) + "," + Number(s->margins[1]) + "," +
           Number(s->margins[2]) + "," + Number(s->margins[3]) + "\n";
    out += "scaling=" + Number(s->scaling) + "\n";
    out += std::string("paginate=") + (s->paginate ? "1" : "0") + "\n";
    out += std::string("center=") + (s->center ? "1" : "0") + "\n";
    out += "printer=" + Escape(s->printer) + "\n";
    out += "output=" + Escape(s->output) + "\n";
    return out;
}

PlatformPrintSettings* PlatformPrintSettingsUnarchive(const void* bytes, size_t length) {
    if (!bytes || length == 0 || length > kArchiveLimit) return nullptr;
    std::string_view text(static_cast<const char*>(bytes), length);
    auto settings = std::make_unique<PlatformPrintSettings>(Shared());
    bool first = true;
    while (!text.empty()) {
        const size_t newline = text.find('\n');
        const std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (first) {
            if (line != std::string(kArchiveMagic) + " 1") return nullptr;
            first = false;
        } else if (!line.empty() && !ReadLine(settings.get(), line)) {
            return nullptr;
        }
    }
    if (first) return nullptr;
    // Margins are kept within the paper; a record whose margins leave nothing is malformed.
    const double height = OrientedHeight(settings.get()), width = OrientedWidth(settings.get());
    if (settings->margins[0] + settings->margins[2] >= height ||
        settings->margins[1] + settings->margins[3] >= width)
        return nullptr;
    return settings.release();
}

bool PlatformRunPageLayoutPanel(PlatformPrintSettings* settings) {
    if (!settings) return false;
    if (gPageLayoutAnswer) {
        const bool confirmed = gPageLayoutAnswer(settings, gPageLayoutRefcon);
        KeepMarginsInside(settings);
        return confirmed;
    }
    QPrinter printer(QPrinter::HighResolution);
    ApplyToPrinter(settings, &printer);
    QPageSetupDialog dialog(&printer);
    PlatformOwnByKeyWindow(&dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    ReadFromPrinter(printer, settings);
    return true;
}

int32_t PlatformRunPrintOperation(PlatformPrintSettings* settings, bool showPanel,
                                  const PlatformPrintView& view) {
    if (!settings || !view.drawRect) return -50;
    if (showPanel) {
        if (gPrintPanelAnswer) {
            if (!gPrintPanelAnswer(settings, gPrintPanelRefcon)) return -128;
            KeepMarginsInside(settings);
        } else {
            QPrinter printer(QPrinter::HighResolution);
            ApplyToPrinter(settings, &printer);
            QPrintDialog dialog(&printer);
            PlatformOwnByKeyWindow(&dialog);
            if (dialog.exec() != QDialog::Accepted) return -128;
            ReadFromPrinter(printer, settings);
        }
    }
    const bool toFile = !settings->output.empty();
    if (toFile) {
        // A folder that is missing or read-only is told before the job starts.
        const QFileInfo folder(QFileInfo(QString::fromStdString(settings->output)).absolutePath());
        if (!folder.isDir() || !folder.isWritable()) return -54;
    }
    QPrinter printer(QPrinter::HighResolution);
    ApplyToPrinter(settings, &printer);
    if (!view.title.empty()) printer.setDocName(QString::fromStdString(view.title));
    if (!toFile && !printer.isValid()) return -50;
    std::unique_ptr<DrawContext> context = DrawContextForPaintDevice(&printer);
    if (!context) return toFile ? -54 : -50;

    const int32_t count = std::max<int32_t>(1, view.pageCount ? view.pageCount(view.refcon) : 1);
    const double toDevice = printer.resolution() / 72.0;
    for (int32_t page = 1; page <= count; ++page) {
        if (page > 1 && !printer.newPage()) return toFile ? -54 : -50;
        double rect[4] = {0, 0, OrientedWidth(settings) - settings->margins[1] - settings->margins[3],
                          OrientedHeight(settings) - settings->margins[0] - settings->margins[2]};
        if (view.rectForPage) view.rectForPage(view.refcon, page, rect);
        if (!(rect[2] > 0 && rect[3] > 0)) continue;
        context->SaveState();
        context->Scale(toDevice, toDevice);
        context->Translate(settings->margins[1], settings->margins[0]);
        context->ClipToRect({0, 0, rect[2], rect[3]});
        view.drawRect(view.refcon, context.get(), rect);
        context->RestoreState();
    }
    context.reset();  // ends the painter and writes the job
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return toFile ? -54 : -50;
    return 0;
}

void TestSetPrinterInsets(const double* insets) {
    gHaveTestInsets = insets != nullptr;
    if (insets) std::copy(insets, insets + 4, gTestInsets);
}

void TestSetPageLayoutAnswer(PlatformPanelAnswer answer, void* refcon) {
    gPageLayoutAnswer = answer;
    gPageLayoutRefcon = refcon;
}

void TestSetPrintPanelAnswer(PlatformPanelAnswer answer, void* refcon) {
    gPrintPanelAnswer = answer;
    gPrintPanelRefcon = refcon;
}

void TestResetPrinting() {
    TestSetPrinterInsets(nullptr);
    TestSetPageLayoutAnswer(nullptr, nullptr);
    TestSetPrintPanelAnswer(nullptr, nullptr);
}

}  // namespace plexa
