#pragma once
// Small helpers for the texts the host writes into the command channel: counting the "!@#"
// separators of a command and quoting a command in a diagnostic.
#include <string>
#include <string_view>

namespace tarnwick {

// How many "!@#" separators text holds (non-overlapping, left to right).
int CountSeparators(std::string_view text);

// A command quoted in a diagnostic: one line, at most 60 characters, control bytes shown as '?'.
std::string Quoted(std::string_view text);

}  // namespace tarnwick
