#pragma once
// One QGuiApplication on the offscreen platform for the whole test run.
#include <QGuiApplication>

namespace tarnwick::chart::testing {

inline void EnsureGui() {
    static int argc = 3;
    static char name[] = "chart_tests", flag[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, flag, platform, nullptr};
    static QGuiApplication app(argc, argv);
}

}  // namespace tarnwick::chart::testing
