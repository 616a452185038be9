#pragma once
// HostFeed bound to the feed library loaded at run time: ORBFEED.DLL from the program's folder by
// its full path on Windows; elsewhere libORBFEED.so next to the program first, then in the
// program's private library folder (an installed program), then on the system's library path. Every
// operation is resolved when the library is loaded, so a call on the hot path is one indirect call
// through a resolved pointer. Texts cross in the system code page (platform/code_page.h): converted
// on the way in and back where that page is not UTF-8.
#include <memory>
#include <stdexcept>
#include <string>

#include "host/host_feed.h"
#include "platform/code_page.h"
#include "platform/dynamic_library.h"

namespace tarnwick {

// Thrown when the library cannot be loaded or lacks an operation; what() names the path and,
// where it applies, the missing operation.
class FeedLibraryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

#ifdef _WIN32
inline constexpr const char* FeedLibraryFileName = "ORBFEED.DLL";
#else
inline constexpr const char* FeedLibraryFileName = "libORBFEED.so";
#endif

class LoadedHostFeed final : public HostFeed {
  public:
    // programFolder: where the program file lives. codePage: the 8-bit code page of the
    // library's texts (the system's unless a test fixes one). libraryFolder (not on Windows): the
    // private library folder relative to programFolder ("../lib/tarnwick"), searched when the
    // program's own folder holds no library.
    static std::unique_ptr<LoadedHostFeed> Load(const std::string& programFolder,
                                                const std::string& fileName = FeedLibraryFileName,
                                                platform::CodePage codePage = {},
                                                const std::string& libraryFolder = {});
    ~LoadedHostFeed() override;
    LoadedHostFeed(const LoadedHostFeed&) = delete;
    LoadedHostFeed& operator=(const LoadedHostFeed&) = delete;

    const std::string& Path() const { return path_; }

    int32_t SetDataFeedhwnd(int32_t windowHandle) override;
    int32_t RequireUserIDPassword() override;
    int32_t GetUserIDPassword(std::string& userId, std::string& password) override;
    int32_t UpdatePercent(int32_t percent) override;
    int32_t ORBSETUPDATA(std::string& symbol, std::string& description, float interval,
                         int32_t columns, std::string& category, double startDate) override;
    int32_t ORBSETLABEL(std::string& symbol, float interval, int32_t column,
                        std::string& label) override;
    int32_t ORBSETVALUE(std::string& symbol, float interval, int32_t column, double value) override;
    int32_t ORBCOMMITROW(std::string& symbol, float interval) override;
    int32_t ORBGETNUMROWS2(std::string& symbol, float interval, float interval2, int32_t zero1,
                           int32_t zero2) override;
    const DirectCalls* Direct(const std::string& symbol) const override;

  private:
    LoadedHostFeed() = default;

    std::unique_ptr<platform::DynamicLibrary> library_;
    std::string path_;
    platform::CodePage codePage_{};
    bool convertTexts_ = false;  // the code page is not UTF-8
    SetDataFeedhwnd_fn setDataFeedhwnd_ = nullptr;
    RequireUserIDPassword_fn requireUserIDPassword_ = nullptr;
    GetUserIDPassword_fn getUserIDPassword_ = nullptr;
    UpdatePercent_fn updatePercent_ = nullptr;
    ORBSETUPDATA_fn setupData_ = nullptr;
    ORBSETLABEL_fn setLabel_ = nullptr;
    ORBSETVALUE_fn setValue_ = nullptr;
    ORBCOMMITROW_fn commitRow_ = nullptr;
    ORBGETNUMROWS2_fn getNumRows2_ = nullptr;
    DirectCalls direct_{};
};

}  // namespace tarnwick
