// What the hot-plug tests share: the application and the event loop run until a condition holds.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace velda::test {

// Socket notifiers and timers need the application before they are made.
inline void EnsureApplication() {
    static int argc = 1;
    static char name[] = "velda-plug-test";
    static char *argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// Until `done` holds (checked every millisecond) or `limitMs` has passed.
inline void RunUntil(const std::function<bool()> &done, int limitMs = 10000) {
    EnsureApplication();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace velda::test
