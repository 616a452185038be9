// The Win32 text conversions (UTF-8, UTF-16, the ANSI code page) and the program file's path.
#include <windows.h>

#include <climits>
#include <vector>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/win32_text.h"

namespace tarnwick::platform {
namespace win32 {

std::wstring WideFromUtf8(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX) return {};
    const int length = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), n);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    const int length = static_cast<int>(wide.size());
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string SystemMessage(unsigned long code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message;
    if (n > 0 && text != nullptr) message = Utf8FromWide(std::wstring_view(text, n));
    if (text != nullptr) ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.'))
        message.pop_back();
    if (message.empty()) message = "error " + std::to_string(code);
    return message;
}

}  // namespace win32

namespace {

UINT WindowsCodePage(CodePage page) {
    return page.id == CodePage::System ? ::GetACP() : page.id;
}

}  // namespace

bool IsUtf8(CodePage page) {
    return WindowsCodePage(page) == CP_UTF8;
}

std::string ToCodePage(std::string_view utf8, CodePage page) {
    const UINT cp = WindowsCodePage(page);
    if (cp == CP_UTF8) return std::string(utf8);
    // Plain ASCII is the same in every ANSI code page.
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);
    const std::wstring wide = win32::WideFromUtf8(utf8);
    if (wide.empty()) return {};
    const int length = static_cast<int>(wide.size());
    // Characters the code page lacks become its default character.
    const int n = ::WideCharToMultiByte(cp, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(cp, 0, wide.data(), length, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

std::string FromCodePage(std::string_view bytes, CodePage page) {
    const UINT cp = WindowsCodePage(page);
    if (cp == CP_UTF8 || bytes.empty() || bytes.size() > INT_MAX) return std::string(bytes);
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(bytes);
    const int length = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(cp, 0, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(cp, 0, bytes.data(), length, wide.data(), n);
    return win32::Utf8FromWide(wide);
}

std::string ProgramFilePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return win32::Utf8FromWide(std::wstring_view(buffer.data(), n));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace tarnwick::platform
