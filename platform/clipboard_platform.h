// Plain text on the system clipboard. Both calls need the application object; without it the
// clipboard is out of reach and they fail.
#pragma once

#include <string>
#include <string_view>

namespace plexa {

// Replaces the clipboard's contents with one string; false without an application object.
[[nodiscard]] bool PlatformClipboardSetText(std::u16string_view text);
// The clipboard's string into out; false (out emptied) when there is none or no application.
[[nodiscard]] bool PlatformClipboardGetText(std::u16string* out);

}  // namespace plexa
