#pragma once
// A string variable handed to the host's feed library by reference (GetUserIDPassword): made
// here holding the given bytes; the library may write into the string or free it and store a
// string of its own in the variable. Bytes() reads the string the variable holds then, and the
// destructor frees that string. On Windows the string is a BSTR of 8-bit text (oleaut32),
// elsewhere the length-prefixed string that feedlib/orbfeed.h describes.
#include <string>
#include <string_view>

namespace tarnwick::platform {

class HostString {
  public:
    // Throws std::bad_alloc when the string cannot be made.
    explicit HostString(std::string_view bytes);
    ~HostString();
    HostString(const HostString&) = delete;
    HostString& operator=(const HostString&) = delete;

    // The variable's address, for the library.
    char** Variable() { return &text_; }
    // Every byte of the string the variable holds (zero bytes included); empty for none.
    std::string Bytes() const;

  private:
    char* text_ = nullptr;
};

}  // namespace tarnwick::platform
