#pragma once
// The stand-in host feed library on Windows (ORBFEED.DLL): the same trace and tables as the
// Linux library, the host's credentials, and the registered command window published for the
// host tool. It keeps no database and serves no socket: the host tool reaches the pump by
// writing into the published window with WM_SETTEXT, as the host does.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "feedlib/tables.h"
#include "feedlib/trace.h"
#include "feedlib/win/channel_record.h"

namespace orbfeed::win {

class WinFeedLibrary {
  public:
    // Reads ORBFEED_TRACE, ORBFEED_USER and ORBFEED_PASSWORD.
    WinFeedLibrary();
    WinFeedLibrary(const WinFeedLibrary&) = delete;
    WinFeedLibrary& operator=(const WinFeedLibrary&) = delete;

    int32_t SetDataFeedhwnd(int32_t handle);
    int32_t RequireUserIDPassword();
    int32_t GetUserIDPassword(char* user, char* password);
    int32_t UpdatePercent(int32_t percent);
    int32_t ORBSETUPDATA(const char* symbol, const char* description, float interval,
                         int32_t columns, const char* category, double startDate);
    int32_t ORBSETLABEL(const char* symbol, float interval, int32_t column, const char* label);
    int32_t ORBSETVALUE(const char* symbol, float interval, int32_t column, double value) {
        if (trace_) {
            trace_->Add("ORBSETVALUE",
                        [&](TraceLine& l) { l.Text(symbol).F32(interval).Int(column).F64(value); });
        }
        tables_.SetValue(symbol, interval, column, value);
        return 0;
    }
    int32_t ORBCOMMITROW(const char* symbol, float interval) {
        if (trace_)
            trace_->Add("ORBCOMMITROW", [&](TraceLine& l) { l.Text(symbol).F32(interval); });
        tables_.Commit(symbol, interval);
        return 0;
    }
    int32_t ORBGETNUMROWS2(const char* symbol, float interval, float interval2, int32_t zero1,
                           int32_t zero2) {
        if (trace_) {
            trace_->Add("ORBGETNUMROWS2", [&](TraceLine& l) {
                l.Text(symbol).F32(interval).F32(interval2).Int(zero1).Int(zero2);
            });
        }
        return static_cast<int32_t>(tables_.NumRows(symbol, interval));
    }
    int32_t ORBCustomAction();

  private:
    std::unique_ptr<TraceWriter> trace_;
    TableBook tables_;
    std::unique_ptr<ChannelRecord> record_;
    uint32_t window_ = 0;
    std::optional<std::string> user_;
    std::optional<std::string> password_;
};

}  // namespace orbfeed::win
