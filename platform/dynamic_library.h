#pragma once
// Loading a library by its full path and resolving its operations by name. The POSIX build uses
// dlopen/dlsym, the Win32 build LoadLibraryExW/GetProcAddress.
#include <memory>
#include <string>

namespace tarnwick::platform {

class DynamicLibrary {
  public:
    virtual ~DynamicLibrary() = default;

    // The address of the operation `name`, or nullptr when the library lacks it. On 32-bit
    // Windows a library may export a __stdcall operation only under its decorated name; then
    // "_name@argumentBytes" (and "name@argumentBytes") are tried after the plain name.
    // argumentBytes is the size of the operation's arguments on the stack; elsewhere it is unused.
    virtual void* Resolve(const char* name, int argumentBytes) const = 0;
};

// Loads the library at `path` (a full path: no search path is consulted for it). Returns nullptr
// and puts the system's reason into `error` when it cannot be loaded. The library stays loaded
// for the rest of the process even after the object is gone: it may still run exit-time work.
std::unique_ptr<DynamicLibrary> LoadLibraryAt(const std::string& path, std::string& error);

}  // namespace tarnwick::platform
