/* The host feed library's operations as a C ABI.
 *
 * The program and the stand-in library (libORBFEED.so) both include this header, so the names,
 * argument orders and types cannot drift apart. Texts are mutable NUL-terminated 8-bit buffers:
 * the library may change their contents in place (never their length) and the caller takes back
 * what it finds there. Intervals are bar intervals in minutes as 32-bit floats; dates are 64-bit
 * day counts since 30 December 1899. Results are 32-bit integers that the program never reads.
 *
 * GetUserIDPassword alone takes its two texts by reference: each argument is the address of a
 * string variable, and the variable holds a pointer to a string of 8-bit text that knows its
 * byte length. The caller makes each string holding ORBFEED_CREDENTIAL_CHARS zero bytes. The
 * library either writes the value into the string's bytes (never past its byte length; a shorter
 * value ends with a zero byte) or frees the string and stores a new one of its own making, of
 * any length, in the variable. After the call the caller takes the string the variable then
 * holds, all of its byte length, and frees it. A variable holding NULL is the empty text.
 *   Windows: the string is a BSTR holding 8-bit text, as the host's library expects: made with
 *     SysAllocStringByteLen, its length read with SysStringByteLen, freed with SysFreeString
 *     (oleaut32). The pointer points at the text; the length sits in the four bytes before it.
 *   Elsewhere: the same shape on the C library's heap: the pointer points at the text, a
 *     uint32_t byte length sits just before it and one zero byte just after. Both sides make,
 *     measure and free such strings only with OrbfeedStringAlloc, OrbfeedStringByteLen and
 *     OrbfeedStringFree below (inline, so that they use the one heap of the process).
 *
 * Results of the stand-in library (libORBFEED.so): 0 means done; negative values are errors.
 *   SetDataFeedhwnd(handle):
 *      0  the channel is registered and the host endpoint serves tools (or: handle 0, the channel
 *         is withdrawn, the endpoint closed and the store written out)
 *     -1  (ORBFEED_E_BAD_HANDLE) the handle is not an open descriptor; nothing was registered
 *     -2  (ORBFEED_E_ENDPOINT_BUSY) another pump serves the endpoint's socket already; the
 *         channel is registered all the same, but no host tool can reach this pump
 *     -3  (ORBFEED_E_ENDPOINT_FAILED) the endpoint's socket could not be created (path too long,
 *         folder missing, a file that is not a socket in the way); the channel is registered
 *   ORBGETNUMROWS2: the table's row count (a table never seen is created empty: 0).
 *   Every other operation: 0.
 */
#ifndef ORBFEED_H
#define ORBFEED_H

#include <stdint.h>
#if !defined(_WIN32)
#include <stdlib.h>
#include <string.h>
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define ORBFEED_CALL __stdcall
#else
#define ORBFEED_CALL
#endif

#if defined(_WIN32)
#define ORBFEED_EXPORT __declspec(dllexport)
#else
#define ORBFEED_EXPORT __attribute__((visibility("default")))
#endif

#define ORBFEED_OK 0
#define ORBFEED_E_BAD_HANDLE (-1)
#define ORBFEED_E_ENDPOINT_BUSY (-2)
#define ORBFEED_E_ENDPOINT_FAILED (-3)

/* The strings handed to GetUserIDPassword hold this many zero bytes. */
#define ORBFEED_CREDENTIAL_CHARS 21

#ifdef __cplusplus
extern "C" {
#endif

/* Function-pointer types, one per operation; the program resolves each by its name. */
typedef int32_t(ORBFEED_CALL* SetDataFeedhwnd_fn)(int32_t windowHandle);
typedef int32_t(ORBFEED_CALL* RequireUserIDPassword_fn)(void);
typedef int32_t(ORBFEED_CALL* GetUserIDPassword_fn)(char** userId, char** password);
typedef int32_t(ORBFEED_CALL* UpdatePercent_fn)(int32_t percent);
typedef int32_t(ORBFEED_CALL* ORBSETUPDATA_fn)(char* symbol, char* description, float interval,
                                               int32_t columns, char* category, double startDate);
typedef int32_t(ORBFEED_CALL* ORBSETLABEL_fn)(char* symbol, float interval, int32_t column,
                                              char* label);
typedef int32_t(ORBFEED_CALL* ORBSETVALUE_fn)(char* symbol, float interval, int32_t column,
                                              double value);
typedef int32_t(ORBFEED_CALL* ORBCOMMITROW_fn)(char* symbol, float interval);
typedef int32_t(ORBFEED_CALL* ORBGETNUMROWS2_fn)(char* symbol, float interval, float interval2,
                                                 int32_t zero1, int32_t zero2);
typedef int32_t(ORBFEED_CALL* ORBCustomAction_fn)(void);

#if !defined(_WIN32)
/* A string of `length` bytes copied from `bytes` (zero bytes when bytes is NULL), followed by a
 * zero byte; NULL when memory runs out. */
static inline char* OrbfeedStringAlloc(const char* bytes, uint32_t length) {
    const size_t size = sizeof(uint32_t) + (size_t)length + 1;
    unsigned char* block;
    char* text;
    if (size <= length) return NULL; /* the size wrapped around (a 32-bit size_t) */
    block = (unsigned char*)malloc(size);
    if (block == NULL) return NULL;
    memcpy(block, &length, sizeof length);
    text = (char*)(block + sizeof(uint32_t));
    if (bytes != NULL) {
        memcpy(text, bytes, length);
    } else {
        memset(text, 0, length);
    }
    text[length] = '\0';
    return text;
}
/* The byte length of a string (0 for NULL). */
static inline uint32_t OrbfeedStringByteLen(const char* text) {
    uint32_t length = 0;
    if (text != NULL) memcpy(&length, text - sizeof(uint32_t), sizeof length);
    return length;
}
/* Frees a string (nothing for NULL). */
static inline void OrbfeedStringFree(char* text) {
    if (text != NULL) free(text - sizeof(uint32_t));
}
#endif

#ifndef ORBFEED_NO_PROTOTYPES
ORBFEED_EXPORT int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t windowHandle);
ORBFEED_EXPORT int32_t ORBFEED_CALL RequireUserIDPassword(void);
ORBFEED_EXPORT int32_t ORBFEED_CALL GetUserIDPassword(char** userId, char** password);
ORBFEED_EXPORT int32_t ORBFEED_CALL UpdatePercent(int32_t percent);
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETUPDATA(char* symbol, char* description, float interval,
                                                 int32_t columns, char* category, double startDate);
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETLABEL(char* symbol, float interval, int32_t column,
                                                char* label);
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETVALUE(char* symbol, float interval, int32_t column,
                                                double value);
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCOMMITROW(char* symbol, float interval);
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBGETNUMROWS2(char* symbol, float interval, float interval2,
                                                   int32_t zero1, int32_t zero2);
/* Declared for completeness; the program never calls it. */
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCustomAction(void);
#endif

#ifdef __cplusplus
}
#endif

#endif /* ORBFEED_H */
