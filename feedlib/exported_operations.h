#pragma once
// The exported operations of the feed library, written once for both platforms: each forwards to
// the one library instance of the process that Lib() returns. The including file (the platform's
// export file, and only it) defines Lib() in an unnamed namespace before including this header.
#include "feedlib/orbfeed.h"

extern "C" {

ORBFEED_EXPORT int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t windowHandle) {
    return Lib().SetDataFeedhwnd(windowHandle);
}
ORBFEED_EXPORT int32_t ORBFEED_CALL RequireUserIDPassword(void) {
    return Lib().RequireUserIDPassword();
}
ORBFEED_EXPORT int32_t ORBFEED_CALL GetUserIDPassword(char** userId, char** password) {
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
