// v36-dump: prints every record of a version-3.6 sheet file as the converter reads it.
//
//   v36-dump FILE
//
// One line per record: the leader, header and settings, the sheet settings block, the labels,
// the image list, each symbol with its graphic elements, the sheet's own elements, the text
// styles, texts, parts with their sections, pin records, busses with their segments and nets
// with their nodes and wire links. Exit status: 0 read whole, 1 the file is damaged (the reader's
// status is printed), 2 not readable.
#include <cstdio>

#include "converter/v36sheet.h"
#include "foundation/stream.h"
#include "tools/tool_support.h"

using namespace plexa;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: v36-dump FILE\n");
        return 2;
    }
    if (StartCore("v36-dump") != 0) return tools::kFailed;
    StreamRecord* stream = nullptr;
    if (OSStatus st = OpenFileStream(argv[1], true, &stream)) {
        tools::Fail("v36-dump", argv[1], "the file cannot be opened", st);
        return 2;
    }
    V36Sheet* sheet = nullptr;
    const OSStatus st = ReadV36Sheet(stream, nullptr, &sheet);
    (void)CloseAndMaybeFlushFileStream(stream, false);  // read only: nothing to flush
    if (st != status::kNoErr) {
        return tools::Fail("v36-dump", argv[1], "the file is not a readable version-3.6 sheet", st);
    }
    std::fputs(FormatV36Sheet(sheet).c_str(), stdout);
    DisposeV36Sheet(sheet);
    return 0;
}
