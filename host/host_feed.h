#pragma once
// The program's view of the host feed library: one method per operation, with the library's own
// names. Text arguments are the caller's strings, passed as buffers: after a call they hold what
// the library left in them. Results are returned but never examined by the program.
#include <cstdint>
#include <string>

#define ORBFEED_NO_PROTOTYPES
#include "feedlib/orbfeed.h"
#undef ORBFEED_NO_PROTOTYPES

namespace tarnwick {

class HostFeed {
  public:
    virtual ~HostFeed() = default;

    virtual int32_t SetDataFeedhwnd(int32_t windowHandle) = 0;
    virtual int32_t RequireUserIDPassword() = 0;
    // Both texts go by reference (ORBFEED_CREDENTIAL_CHARS NUL characters each on entry). The
    // library writes a value into the text's bytes (a shorter one ends with a NUL) or replaces
    // the text as a whole; each comes back as the whole text the library left, NULs included.
    virtual int32_t GetUserIDPassword(std::string& userId, std::string& password) = 0;
    virtual int32_t UpdatePercent(int32_t percent) = 0;
    virtual int32_t ORBSETUPDATA(std::string& symbol, std::string& description, float interval,
                                 int32_t columns, std::string& category, double startDate) = 0;
    virtual int32_t ORBSETLABEL(std::string& symbol, float interval, int32_t column,
                                std::string& label) = 0;
    virtual int32_t ORBSETVALUE(std::string& symbol, float interval, int32_t column,
                                double value) = 0;
    virtual int32_t ORBCOMMITROW(std::string& symbol, float interval) = 0;
    virtual int32_t ORBGETNUMROWS2(std::string& symbol, float interval, float interval2,
                                   int32_t zero1, int32_t zero2) = 0;

    // The library's own entry points for the per-row operations, when this HostFeed is a loaded
    // library and `symbol` can be handed to them as it stands (no code-page conversion): a
    // history transfer then calls them directly, saving one indirection per cell. Each behaves
    // exactly as the method of the same name.
    struct DirectCalls {
        ORBSETVALUE_fn SetValue;
        ORBCOMMITROW_fn CommitRow;
        ORBGETNUMROWS2_fn GetNumRows2;
    };
    virtual const DirectCalls* Direct(const std::string& /*symbol*/) const { return nullptr; }
};

}  // namespace tarnwick
