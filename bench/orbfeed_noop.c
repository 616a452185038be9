/* A feed library whose operations do nothing: the benchmarks load it through the program's own
 * binding, so every call they time is a real call into a shared library. It counts committed rows
 * (one increment) so the benchmarks can report rows per second. */
#include <stdint.h>

#include "feedlib/orbfeed.h"

static long long committedRows;

ORBFEED_EXPORT long long ORBFEED_noop_committed_rows(void) {
    return committedRows;
}

ORBFEED_EXPORT int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t windowHandle) {
    (void)windowHandle;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL RequireUserIDPassword(void) {
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL GetUserIDPassword(char** userId, char** password) {
    (void)userId;
    (void)password;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL UpdatePercent(int32_t percent) {
    (void)percent;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETUPDATA(char* symbol, char* description, float interval,
                                                 int32_t columns, char* category,
                                                 double startDate) {
    (void)symbol;
    (void)description;
    (void)interval;
    (void)columns;
    (void)category;
    (void)startDate;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETLABEL(char* symbol, float interval, int32_t column,
                                                char* label) {
    (void)symbol;
    (void)interval;
    (void)column;
    (void)label;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETVALUE(char* symbol, float interval, int32_t column,
                                                double value) {
    (void)symbol;
    (void)interval;
    (void)column;
    (void)value;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCOMMITROW(char* symbol, float interval) {
    (void)symbol;
    (void)interval;
    ++committedRows;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBGETNUMROWS2(char* symbol, float interval, float interval2,
                                                   int32_t zero1, int32_t zero2) {
    (void)symbol;
    (void)interval;
    (void)interval2;
    (void)zero1;
    (void)zero2;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCustomAction(void) {
    return 0;
}
