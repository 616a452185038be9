// Main: the program's start. Loads the host's feed library, creates the main window (whose
// loading registers the command channel and asks for credentials) and runs its events until the
// window's unloading ends the process.
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

#include "app/data_pump_window.h"
#include "host/loaded_host_feed.h"
#include "pricedata/feed_clock.h"
#include "qtlocale/qt_date_locale.h"
#include "tickers/list_file.h"

namespace {

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

std::string ProgramFilePath(const char* argv0) {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return exe.string();
    return std::filesystem::absolute(argv0, ec).string();
}

// The program's icon, built into it in every size, so that the window has it wherever the program
// runs from (the installed desktop entry names the same picture from the icon theme).
QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/tarnwick-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace

int main(int argc, char* argv[]) {
    // SIGINT and SIGTERM are blocked before any thread exists, so every thread (Qt's, the feed
    // library's) inherits the mask, and read through a descriptor in the event loop: they close
    // the window through its normal path (list file, channel withdrawn) instead of killing it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    if (!EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY") &&
        std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::fprintf(stderr, "tarnwick: no display found, running without a window (offscreen)\n");
    }

    const std::string programFolder = tarnwick::ProgramFolderOf(ProgramFilePath(argv[0]));

    // The feed library first: without it there is no host to serve, and no window is shown.
    std::unique_ptr<tarnwick::LoadedHostFeed> feed;
    try {
        // TARNWICK_LIBRARY_FOLDER: where an installed program's private library folder lies,
        // relative to the program (set by the install rules).
        feed = tarnwick::LoadedHostFeed::Load(programFolder, tarnwick::FeedLibraryFileName, {},
                                              TARNWICK_LIBRARY_FOLDER);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick: %s\n", e.what());
        return 2;
    }

    const int signalFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) std::perror("tarnwick: signalfd");

    QApplication app(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    // Lets a desktop match the window to the installed tarnwick.desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("tarnwick"));
    tarnwick::SystemClock clock;
    std::unique_ptr<tarnwick::DataPumpWindow> window;
    try {
        window = std::make_unique<tarnwick::DataPumpWindow>(
            *feed, clock, tarnwick::DateLocaleFrom(QLocale::system()), programFolder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarnwick: %s\n", e.what());
        return 2;
    }

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (signalFd >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, window.get(),
                         [signalFd, w = window.get()] {
                             signalfd_siginfo info;
                             while (read(signalFd, &info, sizeof info) == sizeof info) {
                             }
                             w->close();
                         });
    }

    window->show();
    return app.exec();
}
