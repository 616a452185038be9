#pragma once
// Text in the system's 8-bit code page. The core keeps its texts in UTF-8; texts for the host's
// feed library and for the list file are converted on the way out and the library's buffers on
// the way back. On Linux the system code page is UTF-8 and both conversions leave the text as it
// is. On Windows the system code page is the ANSI code page (CP_ACP); a character that code page
// cannot hold becomes its default character ("?" in code page 1252), and bytes that are not valid
// UTF-8 become U+FFFD first. Outside Windows every code page is taken as UTF-8.
#include <string>
#include <string_view>

namespace tarnwick::platform {

// A code page by its Windows number; System is the one in force (CP_ACP on Windows, UTF-8
// elsewhere). Utf8 converts nothing.
struct CodePage {
    static constexpr unsigned System = 0;
    static constexpr unsigned Utf8 = 65001;
    unsigned id = System;
};

// True when texts in this code page are UTF-8 already, so that no conversion is needed.
bool IsUtf8(CodePage page);

std::string ToCodePage(std::string_view utf8, CodePage page);
std::string FromCodePage(std::string_view bytes, CodePage page);

}  // namespace tarnwick::platform
