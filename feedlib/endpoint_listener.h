#pragma once
// The host endpoint's listening socket: created owner-only at a path, taking over a stale socket
// file whose pump is gone and refusing one that another pump still serves.
#include <cstdint>
#include <string>

namespace orbfeed {

// Listens on the Unix-domain socket at path and stores its descriptor in out. Returns ORBFEED_OK,
// ORBFEED_E_ENDPOINT_BUSY (another pump answers there) or ORBFEED_E_ENDPOINT_FAILED, after one
// line on standard error saying why.
int32_t OpenListener(const std::string& path, int& out);

}  // namespace orbfeed
