// Counting a command's separators and quoting it in a diagnostic.
#include "pump/command_text.h"

#include "host/text_rules.h"

namespace tarnwick {

int CountSeparators(std::string_view text) {
    int count = 0;
    for (auto pos = text.find(FieldSeparator); pos != std::string_view::npos;
         pos = text.find(FieldSeparator, pos + FieldSeparator.size())) {
        ++count;
    }
    return count;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < 60; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        out += (c < 0x20 || c == 0x7f) ? '?' : static_cast<char>(c);
    }
    if (text.size() > 60) out += "...";
    return out + "\"";
}

}  // namespace tarnwick
