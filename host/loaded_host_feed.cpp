#include "host/loaded_host_feed.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstring>

namespace tarnwick {
namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

template <typename Fn>
void Resolve(void* handle, const std::string& path, const char* name, Fn& target) {
    ::dlerror();
    void* symbol = ::dlsym(handle, name);
    if (symbol == nullptr) {
        throw FeedLibraryError("feed library " + path + " lacks the operation " + name);
    }
    target = reinterpret_cast<Fn>(symbol);
}

}  // namespace

std::unique_ptr<LoadedHostFeed> LoadedHostFeed::Load(const std::string& programFolder,
                                                     const std::string& fileName) {
    std::unique_ptr<LoadedHostFeed> feed(new LoadedHostFeed());
    std::string local = programFolder.empty() ? fileName : programFolder + "/" + fileName;
    // The copy next to the program wins; otherwise the dynamic loader searches its usual path.
    feed->path_ = FileExists(local) ? local : fileName;
    feed->handle_ = ::dlopen(feed->path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (feed->handle_ == nullptr) {
        const char* reason = ::dlerror();
        throw FeedLibraryError("cannot load feed library " + local + ": " +
                               (reason != nullptr ? reason : "unknown error"));
    }
    void* h = feed->handle_;
    const std::string& p = feed->path_;
    Resolve(h, p, "SetDataFeedhwnd", feed->setDataFeedhwnd_);
    Resolve(h, p, "RequireUserIDPassword", feed->requireUserIDPassword_);
    Resolve(h, p, "GetUserIDPassword", feed->getUserIDPassword_);
    Resolve(h, p, "UpdatePercent", feed->updatePercent_);
    Resolve(h, p, "ORBSETUPDATA", feed->setupData_);
    Resolve(h, p, "ORBSETLABEL", feed->setLabel_);
    Resolve(h, p, "ORBSETVALUE", feed->setValue_);
    Resolve(h, p, "ORBCOMMITROW", feed->commitRow_);
    Resolve(h, p, "ORBGETNUMROWS2", feed->getNumRows2_);
    feed->direct_ = DirectCalls{feed->setValue_, feed->commitRow_, feed->getNumRows2_};
    return feed;
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
    // Each value travels in a buffer of exactly ORBFEED_CREDENTIAL_CHARS bytes plus a NUL; the
    // whole buffer comes back as the string, NULs included, as the caller expects.
    char user[ORBFEED_CREDENTIAL_CHARS + 1] = {};
    char pass[ORBFEED_CREDENTIAL_CHARS + 1] = {};
    std::memcpy(user, userId.data(), std::min<size_t>(userId.size(), ORBFEED_CREDENTIAL_CHARS));
    std::memcpy(pass, password.data(), std::min<size_t>(password.size(), ORBFEED_CREDENTIAL_CHARS));
    int32_t result = getUserIDPassword_(user, pass);
    userId.assign(user, ORBFEED_CREDENTIAL_CHARS);
    password.assign(pass, ORBFEED_CREDENTIAL_CHARS);
    return result;
}

int32_t LoadedHostFeed::UpdatePercent(int32_t percent) {
    return updatePercent_(percent);
}

// The remaining operations hand the strings' own storage to the library: it is NUL-terminated and
// mutable, so whatever the library writes there is already the string's value afterwards, and the
// hot path copies nothing.
int32_t LoadedHostFeed::ORBSETUPDATA(std::string& symbol, std::string& description, float interval,
                                     int32_t columns, std::string& category, double startDate) {
    return setupData_(symbol.data(), description.data(), interval, columns, category.data(),
                      startDate);
}

int32_t LoadedHostFeed::ORBSETLABEL(std::string& symbol, float interval, int32_t column,
                                    std::string& label) {
    return setLabel_(symbol.data(), interval, column, label.data());
}

int32_t LoadedHostFeed::ORBSETVALUE(std::string& symbol, float interval, int32_t column,
                                    double value) {
    return setValue_(symbol.data(), interval, column, value);
}

int32_t LoadedHostFeed::ORBCOMMITROW(std::string& symbol, float interval) {
    return commitRow_(symbol.data(), interval);
}

int32_t LoadedHostFeed::ORBGETNUMROWS2(std::string& symbol, float interval, float interval2,
                                       int32_t zero1, int32_t zero2) {
    return getNumRows2_(symbol.data(), interval, interval2, zero1, zero2);
}

}  // namespace tarnwick
