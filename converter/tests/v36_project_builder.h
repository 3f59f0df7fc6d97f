// Version-3.6 projects written from their stored layout (a dynamic file of type "QSPR" with its
// header block 1 and its sheet list block 3), for the conversion tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/stream.h"
#include "tests/support/foundation_testing.h"

namespace plexa::test {

// Block 1 of a version-3.6 project in this machine's order: version 864, the order flag, 20 bytes
// not used, an empty folder alias.
inline std::string ProjectHeaderBlock() {
    std::string header;
    header += char(0x60);        // version 864, little-endian
    header += char(0x03);
    header += char(0x10);        // flags: this machine's order
    header += char(0);
    header.append(20, '\0');     // not used
    header.append(4, '\0');      // the project's folder alias: none
    return header;
}

// Block 3: the sheet list (72-byte records, the name first) and an empty folder alias per sheet.
inline std::string ProjectSheetListBlock(const std::vector<std::string>& sheets) {
    DAArray array = DACreate(nullptr, 72, 0, 0);
    for (const std::string& sheet : sheets) {
        char record[72] = {};
        std::memcpy(record, sheet.data(), sheet.size());
        DAAdd(array, record);
    }
    HandleStream out;
    EXPECT_EQ(DAWrite(array, out.stream, nullptr), 0);
    for (size_t i = 0; i < sheets.size(); ++i) EXPECT_EQ(status::kNoErr, StreamWriteLong(out.stream, 0));
    DADispose(array);
    return out.bytes();
}

// A version-3.6 project file at the spec listing the sheets, in this machine's order, folder
// aliases empty.
inline void WriteV36Project(FileSpec* spec, const std::vector<std::string>& sheets) {
    EXPECT_EQ(CreateDynamicFile(spec, "QPLX", "QSPR", "QSPR", 0), 0);
    DynamicFileRecord file{};
    EXPECT_EQ(OpenDynamicFile(spec, false, &file), 0);
    const std::string header = ProjectHeaderBlock();
    uint32_t offset = 0;
    EXPECT_EQ(WriteFileBlock(&file, 1, uint32_t(header.size()), header.data(), &offset), 0);
    const std::string list = ProjectSheetListBlock(sheets);
    EXPECT_EQ(WriteFileBlock(&file, 3, uint32_t(list.size()), list.data(), &offset), 0);
    EXPECT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
}

}  // namespace plexa::test
