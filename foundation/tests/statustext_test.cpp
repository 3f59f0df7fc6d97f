// The messages of status codes: a code with a message gives its text from the strings tables, any
// other failure a number a person can quote, and success or cancel no message at all.
#include "foundation/statustext.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/localized.h"

namespace plexa {
namespace {

TEST(StatusText, CodesGiveTheirMessageOrTheirNumber) {
    char fileNotFound[256];
    VXLoadStringEx(kErrorStringTable, 6, fileNotFound, sizeof fileNotFound);
    ASSERT_NE(fileNotFound[0], 0) << "the strings tables are not found";
    const struct {
        OSStatus code;
        int16_t number;
        std::string text;
    } cases[] = {
        {-43, 6, fileNotFound},
        {0x20002C88 + 15, 40, ""},  // the last network code
        {0x20002715, 0, "error 10005"},
        {-7, 0, "error -7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorStringNumber(c.code), c.number) << c.code;
        if (!c.text.empty()) {
            EXPECT_EQ(DescribeStatus(c.code), c.text) << c.code;
        }
    }
    EXPECT_NE(DescribeStatus(-120).find("folder"), std::string::npos);

    char buffer[8] = "x";
    EXPECT_EQ(GetStatusMessage(0, buffer, sizeof buffer), nullptr);
    EXPECT_EQ(GetStatusMessage(-128, buffer, sizeof buffer), nullptr);
    EXPECT_EQ(GetStatusMessage(-7, buffer, sizeof buffer), nullptr);
    // A short buffer takes what fits.
    ASSERT_NE(GetStatusMessage(-43, buffer, sizeof buffer), nullptr);
    EXPECT_EQ(std::string(buffer), std::string(fileNotFound).substr(0, 7));
}

}  // namespace
}  // namespace plexa
