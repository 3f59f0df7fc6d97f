// Stored print records (VXReadPrintRecord). The first byte says whether the stream swaps; the
// rest is the record. Whatever record the read leaves is used as printing does: its metrics and
// page size worked out, its scale updated, and it is written back and read again.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_surface.h"
#include "graphics/printrec.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::EnsureGraphics();
    fuzz::InputStream in(data + 1, size - 1);
    if (!in) return 0;
    if (data[0] & 1) EnableStreamReadByteSwap(in.get(), true);
    VXPrintRec* record = nullptr;
    const OSStatus status = VXReadPrintRecord(in.get(), &record);
    if (!record) return 0;
    if (status == 0) {
        VXValidatePrintRecord(record);
        VXPrintingMetrics metrics;
        VXGetPrintingMetrics(record, &metrics);
        _LPNT size32;
        VXGetPrinterPageSize(record, true, &size32);
        UpdateActualMargins(record);
        VXUpdatePrintScale(record);
        fuzz::RoundTrip([&](StreamRecord* out) { return VXWritePrintRecord(out, record); },
                        [](StreamRecord* in) {
                            VXPrintRec* back = nullptr;
                            const OSStatus status = VXReadPrintRecord(in, &back);
                            VXDestroyPrintRecord(back);
                            return status;
                        });
    }
    VXDestroyPrintRecord(record);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::EnsureGraphics();
    std::vector<std::string> seeds;
    for (uint32_t resolution : {0u, 144u, 300u}) {
        VXPrintRec* record = nullptr;
        if (VXCreatePrintRecordEx(&record, resolution) != 0) continue;
        VXSet72DpiPrintMargins(record, 36, 36, 18, int32_t(resolution / 10));
        fuzz::OutputStream out;
        if (out && VXWritePrintRecord(out.get(), record) == 0) seeds.push_back(std::string(1, '\0') + out.bytes());
        VXDestroyPrintRecord(record);
    }
    return seeds;
}
