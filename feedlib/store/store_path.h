#pragma once
// Where the feed library and the host tool find the table store when nothing else is said:
// $ORBFEED_DB, else $XDG_DATA_HOME/orbfeed/feed.sqlite, else ~/.local/share/orbfeed/feed.sqlite.
// Empty variables count as unset; a relative XDG_DATA_HOME is ignored, as XDG requires. Without
// HOME the account's home folder from the password database is used.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace orbfeed {

inline std::string DefaultStorePath() {
    auto env = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? std::string(v) : std::string();
    };
    if (std::string db = env("ORBFEED_DB"); !db.empty()) return db;
    // XDG says a relative XDG_DATA_HOME is invalid and must be ignored.
    if (std::string xdg = env("XDG_DATA_HOME"); !xdg.empty() && xdg.front() == '/')
        return xdg + "/orbfeed/feed.sqlite";
    std::string home = env("HOME");
    if (home.empty()) {
        const passwd* pw = ::getpwuid(::getuid());
        home = pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "/tmp";
    }
    return home + "/.local/share/orbfeed/feed.sqlite";
}

}  // namespace orbfeed
