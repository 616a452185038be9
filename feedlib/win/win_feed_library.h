#pragma once
// The stand-in host feed library on Windows (ORBFEED.DLL): the same trace and tables as the
// Linux library, the host's credentials, and the registered command window published for the
// host tool. It keeps no database and serves no socket: the host tool reaches the pump by
// writing into the published window with WM_SETTEXT, as the host does.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "feedlib/feed_core.h"
#include "feedlib/win/channel_record.h"

namespace orbfeed::win {

class WinFeedLibrary final : public FeedCore {
  public:
    // Reads ORBFEED_TRACE, ORBFEED_USER and ORBFEED_PASSWORD.
    WinFeedLibrary();

    int32_t SetDataFeedhwnd(int32_t handle);
    int32_t RequireUserIDPassword();
    int32_t GetUserIDPassword(char** user, char** password);
    int32_t UpdatePercent(int32_t percent);
    int32_t ORBSETUPDATA(const char* symbol, const char* description, float interval,
                         int32_t columns, const char* category, double startDate);

  private:
    std::unique_ptr<ChannelRecord> record_;
    uint32_t window_ = 0;
    // From the environment; otherwise the host tool's, taken from the published record.
    std::optional<std::pair<std::string, std::string>> given_;
};

}  // namespace orbfeed::win
