/* A feed library for the binding's tests: every operation answers with a fixed result, and
 * GetUserIDPassword hands the credentials over in the way FakeCredentialsMode last chose. Built
 * once whole and once without ORBCOMMITROW (ORBFEED_LEAVE_OUT_COMMIT); on Windows also once
 * exporting only the decorated __stdcall names (_ORBSETVALUE@20), as a Microsoft compiler
 * would. */
#include <string.h>

#ifdef _WIN32
#include <windows.h>
/* (after windows.h) */
#include <oleauto.h>
#endif

#include "feedlib/orbfeed.h"

/* How GetUserIDPassword answers. */
enum {
    FAKE_WRITES_INTO_THE_STRINGS = 0, /* user "abc", a NUL, then 'u'; password all 'p' */
    FAKE_REPLACES_LONGER = 1,         /* 30-character texts of its own */
    FAKE_REPLACES_SHORTER = 2,        /* "ab" and "pw" of its own */
    FAKE_LEAVES_THEM = 3              /* nothing written */
};

ORBFEED_EXPORT const char* ORBFEED_CALL FakeLastDescription(void);
ORBFEED_EXPORT void ORBFEED_CALL FakeCredentialsMode(int32_t mode);
ORBFEED_EXPORT int32_t ORBFEED_CALL FakeReceivedCredentialBytes(void);

#ifdef _WIN32
static char* NewString(const char* text, uint32_t length) {
    return (char*)SysAllocStringByteLen(text, length);
}
static uint32_t StringBytes(char* text) {
    return SysStringByteLen((BSTR)text);
}
static void FreeString(char* text) {
    SysFreeString((BSTR)text);
}
#else
static char* NewString(const char* text, uint32_t length) {
    return OrbfeedStringAlloc(text, length);
}
static uint32_t StringBytes(char* text) {
    return OrbfeedStringByteLen(text);
}
static void FreeString(char* text) {
    OrbfeedStringFree(text);
}
#endif

static int32_t credentialsMode = FAKE_WRITES_INTO_THE_STRINGS;
/* The byte length of the last user-id string received, or -1 when it held a non-zero byte. */
static int32_t receivedBytes = -2;

ORBFEED_EXPORT void ORBFEED_CALL FakeCredentialsMode(int32_t mode) {
    credentialsMode = mode;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL FakeReceivedCredentialBytes(void) {
    return receivedBytes;
}

static void Replace(char** variable, const char* text) {
    FreeString(*variable);
    *variable = NewString(text, (uint32_t)strlen(text));
}

int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t h) {
    return h == 0 ? 0 : 1;
}
int32_t ORBFEED_CALL RequireUserIDPassword(void) {
    return 2;
}
int32_t ORBFEED_CALL GetUserIDPassword(char** user, char** password) {
    const uint32_t userBytes = StringBytes(*user);
    uint32_t i;
    receivedBytes = (int32_t)userBytes;
    for (i = 0; i < userBytes; ++i) {
        if ((*user)[i] != '\0') receivedBytes = -1;
    }
    switch (credentialsMode) {
        case FAKE_WRITES_INTO_THE_STRINGS:
            memset(*user, 'u', userBytes);
            memcpy(*user, "abc", 4);
            memset(*password, 'p', StringBytes(*password));
            break;
        case FAKE_REPLACES_LONGER:
            Replace(user, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");
            Replace(password, "abcdefghijklmnopqrstuvwxyz0123");
            break;
        case FAKE_REPLACES_SHORTER:
            Replace(user, "ab");
            Replace(password, "pw");
            break;
        default:
            break;
    }
    return 3;
}
int32_t ORBFEED_CALL UpdatePercent(int32_t p) {
    return p;
}
/* The description as ORBSETUPDATA last received it, for the code-page tests. */
static char lastDescription[256];

ORBFEED_EXPORT const char* ORBFEED_CALL FakeLastDescription(void) {
    return lastDescription;
}

int32_t ORBFEED_CALL ORBSETUPDATA(char* s, char* d, float i, int32_t n, char* c, double start) {
    size_t length = strlen(d);
    (void)i, (void)c, (void)start;
    if (length < sizeof lastDescription) memcpy(lastDescription, d, length + 1);
    s[0] = 'Z'; /* the library may write into a text: the caller must see it */
    /* An 8-bit "e acute" at the end becomes "e grave", in the caller's code page. */
    if (length > 0 && (unsigned char)d[length - 1] == 0xE9) d[length - 1] = (char)0xE8;
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
