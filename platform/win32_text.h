#pragma once
// Text helpers shared by the Win32 implementations: UTF-8 to and from UTF-16 (the W functions'
// text), and the system's message for an error code.
#include <string>
#include <string_view>

namespace tarnwick::platform::win32 {

std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);
// The message of a GetLastError() code, in UTF-8, without its trailing line break.
std::string SystemMessage(unsigned long code);

}  // namespace tarnwick::platform::win32
