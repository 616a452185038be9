// DynamicLibrary on POSIX: dlopen with every symbol bound at load time, dlsym by plain name.
#include <dlfcn.h>

#include "platform/dynamic_library.h"

namespace tarnwick::platform {
namespace {

class PosixLibrary final : public DynamicLibrary {
  public:
    explicit PosixLibrary(void* handle) : handle_(handle) {}
    void* Resolve(const char* name, int /*argumentBytes*/) const override {
        ::dlerror();
        return ::dlsym(handle_, name);
    }

  private:
    void* handle_;  // never closed: see LoadLibraryAt
};

}  // namespace

std::unique_ptr<DynamicLibrary> LoadLibraryAt(const std::string& path, std::string& error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        error = reason != nullptr ? reason : "unknown error";
        return nullptr;
    }
    return std::make_unique<PosixLibrary>(handle);
}

}  // namespace tarnwick::platform
