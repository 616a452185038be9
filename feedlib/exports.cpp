// The exported operations of libORBFEED.so: each forwards to the one library instance of the
// process, created at the first call from the environment and taken down at normal process end
// (its destructor stops the endpoint's thread and writes the store and the trace out).
#include "feedlib/feed_library.h"

namespace {

orbfeed::FeedLibrary& Lib() {
    static orbfeed::FeedLibrary lib(orbfeed::FeedConfig::FromEnvironment());
    return lib;
}

}  // namespace

// The exported functions themselves, over Lib().
#include "feedlib/exported_operations.h"
