// The readable text form of the UI template files and its compiler into the stored form
// (toolkit/vx_templates.h). The project's template files are written in this form under
// resources/gui/ and compiled at build time by the tool gui-compile.
//
// Text form, one statement a line; "#" starts a comment outside quotes; numbers are decimal or
// 0x hexadecimal, optionally negative; strings are in double quotes with \" \\ \n \r \t escapes.
//
//   view <id> "<name>"            begins a view (ids 0-65535, each once in a file)
//     title "<text>"              the dialog's window title
//     word <n>                    the view word (default 0)
//     flags <n>                   view flags: 0x0001 small controls, 0x4000 extended items
//                                 (default 0x4000)
//     order swapped               writes the body in the other byte order
//     item <type> <key value>...  one item; type is a number 1-18 or one of button checkbox
//                                 radio scale edit text list popup box image tabs iconbutton
//                                 disclosure progress user colorwell segmented slider.
//                                 Keys: number <n>, rect <top> <left> <bottom> <right>,
//                                 options <n>, value <n> and reserved <n> <n> (extended form),
//                                 name "<s>", title "<s>" (types 1, 2, 3, 5, 6, 9),
//                                 icon <n> (10, 12), size <n> (11, 12),
//                                 tabs "<a>" "<b>" ... (11)
//     trailer "<text>"            the view's trailing text
//   end
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/types.h"

namespace plexa {

struct UITextItem {
    uint16_t type = 0;
    uint16_t options = 0;
    int16_t top = 0, left = 0, bottom = 0, right = 0;
    int16_t number = 0;
    uint16_t reserved = 0;
    uint32_t value = 0, reserved2 = 0;
    std::string name, title;
    uint16_t icon = 0;
    uint16_t size = 0;
    std::vector<std::string> tabs;
};

struct UITextView {
    uint16_t id = 0;
    std::string name, title;
    uint16_t word = 0;
    uint16_t flags = 0x4000;
    bool swapped = false;
    std::vector<UITextItem> items;
    bool hasTrailer = false;
    std::string trailer;
};

// Parses the text form; false with a message naming the line when it is not valid.
[[nodiscard]] bool ParseUITemplateText(const std::string& text, std::vector<UITextView>* views,
                         std::string* error);
// The stored view block of one view.
std::string EncodeUIViewBlock(const UITextView& view);
// Writes a whole UI template file (one block of type 1 per view, in order), replacing the file.
OSStatus WriteUITemplateFile(const std::string& path, const std::vector<UITextView>& views);

}  // namespace plexa
