// HostString on POSIX: the length-prefixed string of feedlib/orbfeed.h, on the C library's heap.
#include <cstdint>
#include <limits>
#include <new>

#include "platform/host_string.h"
#define ORBFEED_NO_PROTOTYPES
#include "feedlib/orbfeed.h"

namespace tarnwick::platform {

HostString::HostString(std::string_view bytes) {
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
    text_ = OrbfeedStringAlloc(bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (text_ == nullptr) throw std::bad_alloc();
}

HostString::~HostString() {
    OrbfeedStringFree(text_);
}

std::string HostString::Bytes() const {
    if (text_ == nullptr) return {};
    return std::string(text_, OrbfeedStringByteLen(text_));
}

}  // namespace tarnwick::platform
