// The binding of HostFeed to a loaded feed library: resolving the operations, handing texts over
// as buffers (the credentials as string variables) in the library's code page, and taking back
// what the library left in them.
#include "host/loaded_host_feed.h"

#include <algorithm>
#include <filesystem>

#include "platform/host_string.h"
#include "platform/paths.h"

namespace tarnwick {
namespace {

// The size of an operation's arguments on the stack, which a decorated __stdcall export name
// carries (_ORBSETVALUE@20 in a 32-bit library): pointers (every text, and each variable of
// GetUserIDPassword) take the pointer width, the numbers their own size.
constexpr int Bytes(int pointers, int int32s, int floats, int doubles) {
    return static_cast<int>(sizeof(void*)) * pointers + 4 * int32s + 4 * floats + 8 * doubles;
}

template <typename Fn>
void Resolve(const platform::DynamicLibrary& library, const std::string& path, const char* name,
             int argumentBytes, Fn& target) {
    void* symbol = library.Resolve(name, argumentBytes);
    if (symbol == nullptr) {
        throw FeedLibraryError("feed library " + path + " lacks the operation " + name);
    }
    target = reinterpret_cast<Fn>(symbol);
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// One text argument on its way into the library: the string's own storage when it needs no
// conversion (the hot path copies nothing), else its bytes in the code page. TakeBack() makes
// what the library left in the buffer the string's value.
class LibraryText {
  public:
    LibraryText(std::string& text, bool convert, platform::CodePage page)
        : text_(text), page_(page), convert_(convert && !IsAscii(text)) {
        if (convert_) bytes_ = platform::ToCodePage(text, page);
    }
    char* Data() { return convert_ ? bytes_.data() : text_.data(); }
    void TakeBack() {
        if (convert_) text_ = platform::FromCodePage(bytes_, page_);
    }

  private:
    std::string& text_;
    platform::CodePage page_;
    bool convert_;
    std::string bytes_;
};

}  // namespace

std::unique_ptr<LoadedHostFeed> LoadedHostFeed::Load(
    const std::string& programFolder, const std::string& fileName, platform::CodePage codePage,
    [[maybe_unused]] const std::string& libraryFolder) {
    std::unique_ptr<LoadedHostFeed> feed(new LoadedHostFeed());
    const std::string local = programFolder.empty() && platform::PathSeparator == '/'
                                  ? fileName
                                  : platform::JoinPath(programFolder, fileName);
#ifdef _WIN32
    // Only the host's own library beside the program, by its full path, never one found on
    // the search path.
    feed->path_ = local;
#else
    // The copy next to the program wins (a build folder); then the installed copy in the
    // program's private library folder; otherwise the dynamic loader searches its usual path.
    // The program looks in its private folder itself rather than through a RUNPATH, which a
    // dlopen made from an interposing library (a sanitizer's runtime) would not consult.
    std::error_code ec;
    feed->path_ = fileName;
    if (std::filesystem::exists(local, ec)) {
        feed->path_ = local;
    } else if (!libraryFolder.empty()) {
        const std::filesystem::path base = programFolder.empty() ? "/" : programFolder;
        const std::string installed = (base / libraryFolder / fileName).lexically_normal().string();
        if (std::filesystem::exists(installed, ec)) feed->path_ = installed;
    }
#endif
    std::string reason;
    feed->library_ = platform::LoadLibraryAt(feed->path_, reason);
    if (feed->library_ == nullptr) {
        throw FeedLibraryError("cannot load feed library " + local + ": " + reason);
    }
    feed->codePage_ = codePage;
    feed->convertTexts_ = !platform::IsUtf8(codePage);
    const platform::DynamicLibrary& l = *feed->library_;
    const std::string& p = feed->path_;
    Resolve(l, p, "SetDataFeedhwnd", Bytes(0, 1, 0, 0), feed->setDataFeedhwnd_);
    Resolve(l, p, "RequireUserIDPassword", Bytes(0, 0, 0, 0), feed->requireUserIDPassword_);
    Resolve(l, p, "GetUserIDPassword", Bytes(2, 0, 0, 0), feed->getUserIDPassword_);
    Resolve(l, p, "UpdatePercent", Bytes(0, 1, 0, 0), feed->updatePercent_);
    Resolve(l, p, "ORBSETUPDATA", Bytes(3, 1, 1, 1), feed->setupData_);
    Resolve(l, p, "ORBSETLABEL", Bytes(2, 1, 1, 0), feed->setLabel_);
    Resolve(l, p, "ORBSETVALUE", Bytes(1, 1, 1, 1), feed->setValue_);
    Resolve(l, p, "ORBCOMMITROW", Bytes(1, 0, 1, 0), feed->commitRow_);
    Resolve(l, p, "ORBGETNUMROWS2", Bytes(1, 2, 2, 0), feed->getNumRows2_);
    feed->direct_ = DirectCalls{feed->setValue_, feed->commitRow_, feed->getNumRows2_};
    return feed;
}

const HostFeed::DirectCalls* LoadedHostFeed::Direct(const std::string& symbol) const {
    return convertTexts_ && !IsAscii(symbol) ? nullptr : &direct_;
}

LoadedHostFeed::~LoadedHostFeed() {
    // The library is deliberately left loaded: it may still run exit-time work (flushing its
    // trace, committing its store) that must not find its code unmapped.
}

int32_t LoadedHostFeed::SetDataFeedhwnd(int32_t windowHandle) {
    return setDataFeedhwnd_(windowHandle);
}

int32_t LoadedHostFeed::RequireUserIDPassword() {
    return requireUserIDPassword_();
}

int32_t LoadedHostFeed::GetUserIDPassword(std::string& userId, std::string& password) {
    // Each value goes by reference: the address of a string variable holding the caller's text
    // (21 zero bytes for the credentials command) as the library's kind of string. The library
    // writes into that string or replaces it; the string the variable holds afterwards, all of
    // its bytes, becomes the value, and HostString frees it.
    const auto toLibrary = [this](const std::string& text) {
        return convertTexts_ ? platform::ToCodePage(text, codePage_) : text;
    };
    platform::HostString user(toLibrary(userId));
    platform::HostString pass(toLibrary(password));
    const int32_t result = getUserIDPassword_(user.Variable(), pass.Variable());
    userId = user.Bytes();
    password = pass.Bytes();
    if (convertTexts_) {
        userId = platform::FromCodePage(userId, codePage_);
        password = platform::FromCodePage(password, codePage_);
    }
    return result;
}

int32_t LoadedHostFeed::UpdatePercent(int32_t percent) {
    return updatePercent_(percent);
}

// The remaining operations hand the strings' own storage to the library where no conversion is
// needed: it is NUL-terminated and mutable, so whatever the library writes there is already the
// string's value afterwards, and the hot path copies nothing.
int32_t LoadedHostFeed::ORBSETUPDATA(std::string& symbol, std::string& description, float interval,
                                     int32_t columns, std::string& category, double startDate) {
    LibraryText s(symbol, convertTexts_, codePage_), d(description, convertTexts_, codePage_),
        c(category, convertTexts_, codePage_);
    const int32_t result = setupData_(s.Data(), d.Data(), interval, columns, c.Data(), startDate);
    s.TakeBack(), d.TakeBack(), c.TakeBack();
    return result;
}

int32_t LoadedHostFeed::ORBSETLABEL(std::string& symbol, float interval, int32_t column,
                                    std::string& label) {
    LibraryText s(symbol, convertTexts_, codePage_), l(label, convertTexts_, codePage_);
    const int32_t result = setLabel_(s.Data(), interval, column, l.Data());
    s.TakeBack(), l.TakeBack();
    return result;
}

int32_t LoadedHostFeed::ORBSETVALUE(std::string& symbol, float interval, int32_t column,
                                    double value) {
    LibraryText s(symbol, convertTexts_, codePage_);
    const int32_t result = setValue_(s.Data(), interval, column, value);
    s.TakeBack();
    return result;
}

int32_t LoadedHostFeed::ORBCOMMITROW(std::string& symbol, float interval) {
    LibraryText s(symbol, convertTexts_, codePage_);
    const int32_t result = commitRow_(s.Data(), interval);
    s.TakeBack();
    return result;
}

int32_t LoadedHostFeed::ORBGETNUMROWS2(std::string& symbol, float interval, float interval2,
                                       int32_t zero1, int32_t zero2) {
    LibraryText s(symbol, convertTexts_, codePage_);
    const int32_t result = getNumRows2_(s.Data(), interval, interval2, zero1, zero2);
    s.TakeBack();
    return result;
}

}  // namespace tarnwick
