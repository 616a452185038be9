// The exported operations of ORBFEED.DLL (the Windows stand-in): __stdcall, exported under their
// plain names. Each forwards to the one library instance of the process, created at the first
// call. It is never destroyed: the pump ends its process right after withdrawing the channel,
// and by then the trace has been written out.
#include "feedlib/win/win_feed_library.h"

namespace {

orbfeed::win::WinFeedLibrary& Lib() {
    static orbfeed::win::WinFeedLibrary* lib = new orbfeed::win::WinFeedLibrary();
    return *lib;
}

}  // namespace

// The exported functions themselves, over Lib().
#include "feedlib/exported_operations.h"
