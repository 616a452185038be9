/* A feed library for the binding's tests: every operation answers with a fixed result, and
 * GetUserIDPassword fills both buffers to their last character. Built once whole and once
 * without ORBCOMMITROW (ORBFEED_LEAVE_OUT_COMMIT); on Windows also once exporting only the
 * decorated __stdcall names (_ORBSETVALUE@20), as a Microsoft compiler would. */
#include <string.h>

#include "feedlib/orbfeed.h"

int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t h) {
    return h == 0 ? 0 : 1;
}
int32_t ORBFEED_CALL RequireUserIDPassword(void) {
    return 2;
}
int32_t ORBFEED_CALL GetUserIDPassword(char* user, char* password) {
    memset(user, 'u', ORBFEED_CREDENTIAL_CHARS);
    memcpy(user, "abc", 4); /* "abc", a NUL, then 'u' up to the 21st byte */
    memset(password, 'p', ORBFEED_CREDENTIAL_CHARS);
    return 3;
}
int32_t ORBFEED_CALL UpdatePercent(int32_t p) {
    return p;
}
int32_t ORBFEED_CALL ORBSETUPDATA(char* s, char* d, float i, int32_t n, char* c, double start) {
    (void)d, (void)i, (void)c, (void)start;
    s[0] = 'Z'; /* the library may write into a text: the caller must see it */
    return n;
}
int32_t ORBFEED_CALL ORBSETLABEL(char* s, float i, int32_t k, char* label) {
    (void)s, (void)i, (void)label;
    return k;
}
int32_t ORBFEED_CALL ORBSETVALUE(char* s, float i, int32_t k, double v) {
    (void)s, (void)i, (void)v;
    return k;
}
#ifndef ORBFEED_LEAVE_OUT_COMMIT
int32_t ORBFEED_CALL ORBCOMMITROW(char* s, float i) {
    (void)s, (void)i;
    return 7;
}
#endif
int32_t ORBFEED_CALL ORBGETNUMROWS2(char* s, float i, float i2, int32_t z1, int32_t z2) {
    (void)s, (void)i, (void)i2;
    return 40 + z1 + z2;
}
int32_t ORBFEED_CALL ORBCustomAction(void) {
    return 0;
}
