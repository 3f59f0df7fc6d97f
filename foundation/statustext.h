// The messages of status codes: the text a person reads for a failure, from the strings tables
// (table 8000, resources/strings/Framework.strings). The toolkit's error report and alerts, the
// core's quiet reports and the command-line tools all look a status up here.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

constexpr int32_t kErrorStringTable = 8000;

// The number of the code's message in table 8000, 0 for a code without one.
int16_t ErrorStringNumber(OSStatus code);
// The code's message from the strings tables into `size` bytes of buffer, or none: for 0 and
// -128, for a code without a message, or an empty one.
char* GetStatusMessage(OSStatus code, char* buffer, uint32_t size);
// The code's message for a person: its text when it has one, else "error <n>" (n the code when
// below 1, else its low 25 bits, as the error report shows it). Never empty for a failure.
std::string DescribeStatus(OSStatus code);
// The text of an error report of a status: "Error:  " and its message (none: "Error:  #<n>", n as
// above).
std::string StatusReportText(OSStatus code, const char* message);

}  // namespace plexa
