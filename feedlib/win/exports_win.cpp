// The exported operations of ORBFEED.DLL (the Windows stand-in): __stdcall, exported under their
// plain names. Each forwards to the one library instance of the process, created at the first
// call. It is never destroyed: the pump ends its process right after withdrawing the channel,
// and by then the trace has been written out.
#include "feedlib/orbfeed.h"
#include "feedlib/win/win_feed_library.h"

namespace {

orbfeed::win::WinFeedLibrary& Lib() {
    static orbfeed::win::WinFeedLibrary* lib = new orbfeed::win::WinFeedLibrary();
    return *lib;
}

}  // namespace

extern "C" {

ORBFEED_EXPORT int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t windowHandle) {
    return Lib().SetDataFeedhwnd(windowHandle);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL RequireUserIDPassword(void) {
    return Lib().RequireUserIDPassword();
}
ORBFEED_EXPORT int32_t ORBFEED_CALL GetUserIDPassword(char* userId, char* password) {
    return Lib().GetUserIDPassword(userId, password);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL UpdatePercent(int32_t percent) {
    return Lib().UpdatePercent(percent);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETUPDATA(char* symbol, char* description, float interval,
                                                 int32_t columns, char* category,
                                                 double startDate) {
    return Lib().ORBSETUPDATA(symbol, description, interval, columns, category, startDate);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETLABEL(char* symbol, float interval, int32_t column,
                                                char* label) {
    return Lib().ORBSETLABEL(symbol, interval, column, label);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETVALUE(char* symbol, float interval, int32_t column,
                                                double value) {
    return Lib().ORBSETVALUE(symbol, interval, column, value);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCOMMITROW(char* symbol, float interval) {
    return Lib().ORBCOMMITROW(symbol, interval);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBGETNUMROWS2(char* symbol, float interval, float interval2,
                                                   int32_t zero1, int32_t zero2) {
    return Lib().ORBGETNUMROWS2(symbol, interval, interval2, zero1, zero2);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCustomAction(void) {
    return Lib().ORBCustomAction();
}

}  // extern "C"
