// HostString on Win32: a BSTR holding 8-bit text, as the host's library expects (oleaut32).
#include <windows.h>
// (after windows.h)
#include <oleauto.h>

#include <cstdint>
#include <limits>
#include <new>

#include "platform/host_string.h"

namespace tarnwick::platform {

HostString::HostString(std::string_view bytes) {
    if (bytes.size() >= std::numeric_limits<UINT>::max()) throw std::bad_alloc();
    text_ = reinterpret_cast<char*>(
        ::SysAllocStringByteLen(bytes.data(), static_cast<UINT>(bytes.size())));
    if (text_ == nullptr) throw std::bad_alloc();
}

HostString::~HostString() {
    ::SysFreeString(reinterpret_cast<BSTR>(text_));
}

std::string HostString::Bytes() const {
    if (text_ == nullptr) return {};
    return std::string(text_, ::SysStringByteLen(reinterpret_cast<BSTR>(text_)));
}

}  // namespace tarnwick::platform
