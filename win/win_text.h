#pragma once
// Text between the core (UTF-8) and the Win32 API (UTF-16), and twips at the screen's DPI.
#include <windows.h>

#include <cmath>
#include <string>

namespace tarnwick::win {

inline std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

inline std::string Utf8(const wchar_t* text, size_t length) {
    if (length == 0) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

inline std::string Utf8(const std::wstring& text) {
    return Utf8(text.data(), text.size());
}

// The whole text of a window.
inline std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int n = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

// Twips (1/1440 inch) and pixels at the screen's logical DPI.
class Twips {
  public:
    explicit Twips(int dpi) : dpi_(dpi > 0 ? dpi : 96) {}
    static Twips OfScreen() {
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        return Twips(dpi);
    }
    int Px(float twips) const { return static_cast<int>(std::lround(twips * dpi_ / 1440.0f)); }
    float FromPx(int pixels) const { return static_cast<float>(pixels) * 1440.0f / dpi_; }
    int Dpi() const { return dpi_; }

  private:
    int dpi_;
};

}  // namespace tarnwick::win
