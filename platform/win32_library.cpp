// DynamicLibrary on Win32: LoadLibraryExW by full path (the library's own dependencies are looked
// for beside it), GetProcAddress by plain name, then by the decorated __stdcall names.
#include <windows.h>

#include <string>

#include "platform/dynamic_library.h"
#include "platform/win32_text.h"

namespace tarnwick::platform {
namespace {

class Win32Library final : public DynamicLibrary {
  public:
    explicit Win32Library(HMODULE module) : module_(module) {}

    void* Resolve(const char* name, int argumentBytes) const override {
        if (void* found = Find(name)) return found;
        // The form a Microsoft compiler exports, then the form of GNU tools without --kill-at.
        const std::string suffix = "@" + std::to_string(argumentBytes);
        if (void* found = Find(("_" + std::string(name) + suffix).c_str())) return found;
        return Find((std::string(name) + suffix).c_str());
    }

  private:
    void* Find(const char* name) const {
        // GetProcAddress answers a generic function pointer; the caller casts it to the
        // operation's own type.
        return reinterpret_cast<void*>(::GetProcAddress(module_, name));
    }

    HMODULE module_;  // never freed: see LoadLibraryAt
};

}  // namespace

std::unique_ptr<DynamicLibrary> LoadLibraryAt(const std::string& path, std::string& error) {
    // No dialog box for a library that cannot be loaded; the caller reports it.
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module =
        ::LoadLibraryExW(win32::WideFromUtf8(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD code = ::GetLastError();
    ::SetErrorMode(oldMode);
    if (module == nullptr) {
        error = win32::SystemMessage(code);
        return nullptr;
    }
    return std::make_unique<Win32Library>(module);
}

}  // namespace tarnwick::platform
