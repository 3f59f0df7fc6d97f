// Print records: page setup, page metrics and the stored form (see printrec.h).
#include "graphics/printrec.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "platform/print_platform.h"

namespace plexa {
namespace {

int32_t gPrinterDepth = 0;
// Longer archives are skipped unread (the platform reads none above 64 KB).
constexpr uint32_t kPrintArchiveLimit = 64 * 1024;

struct SettingsDeleter {
    void operator()(PlatformPrintSettings* settings) const { PlatformPrintSettingsDestroy(settings); }
};

int32_t ClampToInt32(double value) {
    if (!(value == value)) return 0;
    return int32_t(std::clamp(value, double(std::numeric_limits<int32_t>::min()),
                              double(std::numeric_limits<int32_t>::max())));
}

int16_t ClampToInt16(int32_t value) {
    return int16_t(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX));
}

// Paper size minus the settings' margins, in printer points.
void PageSizePoints(const VXPrintRec* record, double* width, double* height) {
    *width = *height = 0;
    if (!record || !record->printInfo) return;
    PlatformPaperGeometry paper;
    PlatformPrintSettingsGeometry(record->printInfo, &paper);
    double margins[4];
    PlatformPrintSettingsGetMargins(record->printInfo, margins);
    *width = std::max(0.0, paper.paperWidth - margins[1] - margins[3]);
    *height = std::max(0.0, paper.paperHeight - margins[0] - margins[2]);
}

void Metrics(const VXPrintRec* record, double scale, VXPrintingMetrics* out) {
    *out = {};
    if (!record || !record->printInfo) return;
    const auto units = [scale](double points) { return ClampToInt32(std::round(points / scale)); };
    PlatformPaperGeometry paper;
    PlatformPrintSettingsGeometry(record->printInfo, &paper);
    double margins[4];
    PlatformPrintSettingsGetMargins(record->printInfo, margins);
    out->pageWidth = units(paper.paperWidth - margins[1] - margins[3]);
    out->pageHeight = units(paper.paperHeight - margins[0] - margins[2]);
    out->marginTop = units(margins[0]);
    out->marginLeft = units(margins[1]);
    out->marginBottom = units(margins[2]);
    out->marginRight = units(margins[3]);
    out->insetTop = units(paper.imageableY);
    out->insetLeft = units(paper.imageableX);
    out->insetBottom = units(paper.paperHeight - (paper.imageableY + paper.imageableHeight));
    out->insetRight = units(paper.paperWidth - (paper.imageableX + paper.imageableWidth));
}

void DropPageData(VXPrintRec* record) {
    if (record && record->pageData) {
        DADispose(record->pageData);
        record->pageData = nullptr;
    }
}

// Skips n bytes of the stream; -39 when fewer are left.
OSStatus SkipBytes(StreamRecord* stream, uint32_t n) {
    if (n > uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream))) return status::kEndOfFile;
    return OffsetStreamPosition(stream, int32_t(n));
}

}  // namespace

void VXUpdatePrintScale(VXPrintRec* record) {
    if (!record) return;
    if (record->resolution == 0) record->resolution = 72;
    record->scale = 72.0 / double(record->resolution) *
                    (record->printInfo ? PlatformPrintSettingsScaling(record->printInfo) : 1.0);
}

OSStatus VXCreatePrintRecordEx(VXPrintRec** out, uint32_t resolution) {
    if (!out) return status::kParamErr;
    *out = nullptr;
    auto* record = reinterpret_cast<VXPrintRec*>(AllocPtrClear(gGenPool, sizeof(VXPrintRec)));
    if (!record) return status::kOutOfMemory;
    record->printInfo = PlatformPrintSettingsCreate();
    record->resolution = resolution ? std::min(resolution, kPrintRecordMaxResolution) : 72;
    VXUpdatePrintScale(record);
    UpdateActualMargins(record);
    *out = record;
    return status::kNoErr;
}

void VXDestroyPrintRecord(VXPrintRec* record) {
    if (!record) return;
    PlatformPrintSettingsDestroy(record->printInfo);
    record->printInfo = nullptr;
    DropPageData(record);
    MemFreePtr(record);
}

bool VXValidatePrintRecord(VXPrintRec* record) {
    if (!record) return false;
    DropPageData(record);
    return record->printInfo != nullptr;
}

uint32_t VXSetApplicationPrintDPI(VXPrintRec* record, uint32_t resolution) {
    if (!record) return 0;
    record->resolution = resolution ? std::min(resolution, kPrintRecordMaxResolution) : 72;
    VXUpdatePrintScale(record);
    return record->resolution;
}

bool VXIsPrintLandscape(const VXPrintRec* record) {
    return record && PlatformPrintSettingsIsLandscape(record->printInfo);
}

void VXSetPrintLandscape(VXPrintRec* record, bool landscape) {
    if (!record || !record->printInfo) return;
    PlatformPrintSettingsSetLandscape(record->printInfo, landscape);
    DropPageData(record);
}

uint32_t VXSetApplicationPrintScaling(VXPrintRec* record, double factor) {
    if (!record) return 0;
    if (std::isfinite(factor) && factor > 0) {
        const double resolution = std::round(72.0 / factor);
        record->resolution =
            uint32_t(std::clamp(resolution, 1.0, double(kPrintRecordMaxResolution)));
        VXUpdatePrintScale(record);
    }
    return record->resolution;
}

void VXSet72DpiPrintMargins(VXPrintRec* record, int32_t top, int32_t left, int32_t bottom,
                            int32_t right) {
    if (!record) return;
    record->margins[0] = top;
    record->margins[1] = left;
    record->margins[2] = bottom;
    record->margins[3] = right;
    UpdateActualMargins(record);
}

void UpdateActualMargins(VXPrintRec* record) {
    if (!record || !record->printInfo) return;
    VXPrintingMetrics metrics;
    Metrics(record, 1.0, &metrics);
    const int32_t insets[4] = {metrics.insetTop, metrics.insetLeft, metrics.insetBottom,
                               metrics.insetRight};
    double margins[4];
    for (int i = 0; i < 4; ++i) margins[i] = double(std::max(record->margins[i], insets[i]));
    PlatformPrintSettingsSetMargins(record->printInfo, margins);
}

bool VXRunPageSetupDialog(VXPrintRec* record) {
    if (!record || !record->printInfo) return false;
    ++gPrinterDepth;
    const bool confirmed = PlatformRunPageLayoutPanel(record->printInfo);
    if (confirmed) {
        VXUpdatePrintScale(record);
        UpdateActualMargins(record);
    }
    gPrinterDepth = std::max(0, gPrinterDepth - 1);
    DropPageData(record);
    return confirmed;
}

bool VXGetPrintingMetrics(const VXPrintRec* record, VXPrintingMetrics* metrics) {
    if (!metrics) return false;
    Metrics(record, record && record->scale > 0 ? record->scale : 1.0, metrics);
    return record && record->printInfo;
}

Point VXGetPrinterPageSize(const VXPrintRec* record, bool scaled, _LPNT* size32) {
    double width, height;
    PageSizePoints(record, &width, &height);
    _LPNT size{};
    if (scaled) {
        const double scale = record && record->scale > 0 ? record->scale : 1.0;
        size = {ClampToInt32(std::round(height / scale)), ClampToInt32(std::round(width / scale))};
    } else {
        size = {ClampToInt32(height), ClampToInt32(width)};
    }
    if (size32) *size32 = size;
    return {ClampToInt16(size.v), ClampToInt16(size.h)};
}

OSStatus VXWritePrintRecord(StreamRecord* stream, const VXPrintRec* record) {
    if (!stream) return status::kParamErr;
    if (!record) return StreamWriteLong(stream, 0);
    return CatchSignals([&] {
        // A record without settings stores the defaults, so that what is written reads back.
        std::unique_ptr<PlatformPrintSettings, SettingsDeleter> defaults(
            record->printInfo ? nullptr : PlatformPrintSettingsCreate());
        const std::string archive =
            PlatformPrintSettingsArchive(record->printInfo ? record->printInfo : defaults.get());
        Signal(StreamWriteLong(stream, uint32_t(archive.size() + 4)));
        Signal(StreamWriteLong(stream, kPrintRecordTag));
        if (!archive.empty())
            Signal(StreamWrite(stream, archive.data(), int32_t(archive.size())));
        Signal(StreamWriteLong(stream, 20));
        Signal(StreamWriteLong(stream, record->resolution));
        for (int32_t margin : record->margins) Signal(StreamWriteLong(stream, uint32_t(margin)));
    });
}

OSStatus VXReadPrintRecord(StreamRecord* stream, VXPrintRec** out) {
    if (!out) return status::kParamErr;
    *out = nullptr;
    VXPrintRec* record = nullptr;
    const OSStatus created = VXCreatePrintRecordEx(&record, 72);
    if (created) return created;
    *out = record;
    if (!stream) return status::kParamErr;
    return CatchSignals([&] {
        uint32_t length = 0;
        Signal(StreamReadLong(stream, &length));
        if (length == 0) return;
        uint32_t tag = 0;
        Signal(StreamReadLong(stream, &tag));
        const bool oldFixed = length == kPrintRecordOldLength;
        if (!oldFixed) {
            if (tag != kPrintRecordTag && tag != kPrintRecordTagOldBPM &&
                tag != kPrintRecordTagOldCPI)
                Signal(kPrintRecordBadTag);
            if (length <= 4) Signal(kPrintRecordBadTag);
        }
        const uint32_t bodyLength = length - 4;
        if (tag != kPrintRecordTag) {
            Signal(SkipBytes(stream, bodyLength));
            Signal(kPrintRecordOldKind);
        }
        if (bodyLength > uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream)))
            Signal(status::kEndOfFile);
        // Freed by its holder whichever way the read leaves (a signal unwinds the scope).
        std::unique_ptr<PlatformPrintSettings, SettingsDeleter> settings;
        if (bodyLength > kPrintArchiveLimit) {
            Signal(SkipBytes(stream, bodyLength));  // no settings archive is that long
        } else {
            std::string body(bodyLength, '\0');
            int32_t count = int32_t(bodyLength);
            Signal(StreamRead(stream, body.data(), &count));
            settings.reset(PlatformPrintSettingsUnarchive(body.data(), body.size()));
        }
        uint32_t ownLength = 0;
        Signal(StreamReadLong(stream, &ownLength));
        if (ownLength > uint32_t(GetStreamEnd(stream) - GetStreamPosition(stream)))
            Signal(status::kEndOfFile);
        uint32_t own[5] = {record->resolution, 0, 0, 0, 0};
        const uint32_t longs = std::min<uint32_t>(ownLength, 20) / 4;
        for (uint32_t i = 0; i < longs; ++i) Signal(StreamReadLong(stream, &own[i]));
        Signal(SkipBytes(stream, ownLength - longs * 4));
        // A record whose parts cannot be used keeps the defaults; the stream is past it.
        if (!settings || own[0] > kPrintRecordMaxResolution) Signal(kPrintRecordOldKind);
        PlatformPrintSettingsDestroy(record->printInfo);
        record->printInfo = settings.release();
        record->resolution = own[0] ? own[0] : 72;
        for (int i = 0; i < 4; ++i) record->margins[i] = int32_t(own[i + 1]);
        VXUpdatePrintScale(record);
        UpdateActualMargins(record);
    });
}

OSStatus VXOpenPrinter() {
    ++gPrinterDepth;
    return status::kNoErr;
}

OSStatus VXClosePrinter() {
    if (gPrinterDepth <= 0) return kPrinterNotOpen;
    --gPrinterDepth;
    return status::kNoErr;
}

int32_t VXGetPrinterDepth() { return gPrinterDepth; }

}  // namespace plexa
