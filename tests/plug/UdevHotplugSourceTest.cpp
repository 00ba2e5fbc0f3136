// The udev source against the instrument emulated by umockdev: the test bed's uevents reach libudev's
// monitor in this process through the preload that ctest sets.
#include "plug/UdevHotplugSource.h"

#include "UsbfsInstrument.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace velda;

namespace {

QCoreApplication &App() {
    static int argc = 1;
    static char name[] = "UdevHotplugSourceTest";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = new QCoreApplication(argc, argv);
    return *app;
}

// Runs the event loop until `events` holds `count` characters, then 50 ms more for any surplus signal.
void WaitForEvents(const std::string &events, std::size_t count) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (events.size() >= count) loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

TEST(UdevHotplugSource, InstrumentIdsAsUdevAndSysfsSpellThem) {
    struct Case {
        const char *vendor;
        const char *product;
        bool instrument;
    };
    const Case cases[] = {{"03eb", "0203", true},   {"3EB", "203", true},    {"03eb", "0204", false},
                          {"03ec", "0203", false},  {"", "0203", false},     {nullptr, "0203", false},
                          {"03eb", "0203x", false}, {"103eb", "0203", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.vendor ? c.vendor : "null") + ":" + c.product);
        EXPECT_EQ(IsInstrumentId(c.vendor, c.product), c.instrument);
    }
}

// Each case starts a source on the emulated bus (the instrument there: an arrival), then sends uevents;
// the trace is the signals in order: A arrived, L left.
TEST(UdevHotplugSource, AddAndRemoveEventsAreArrivalsAndDepartures) {
    const char *preload = std::getenv("LD_PRELOAD");
    ASSERT_TRUE(preload && std::strstr(preload, "umockdev"))
        << "run under libumockdev-preload (ctest sets it)";
    App();
    velda::sim::UsbfsInstrument bed("");
    struct Case {
        const char *name;
        std::vector<const char *> actions;
        const char *trace;
    };
    const std::vector<Case> cases = {
        {"present at start", {}, "A"},
        {"pulled, plugged again", {"remove", "add"}, "ALA"},
        {"other actions change nothing", {"change", "bind"}, "A"},
        {"a repeated add is one stay", {"add", "add"}, "A"},
        {"three quick stays", {"remove", "add", "remove", "add", "remove"}, "ALALAL"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto source = MakeHotplugSource(HotplugChoice::Udev);
        ASSERT_EQ(source->kind(), "udev");
        std::string events;
        QObject::connect(source.get(), &HotplugSource::arrived, [&] { events += 'A'; });
        QObject::connect(source.get(), &HotplugSource::left, [&] { events += 'L'; });
        source->start();
        WaitForEvents(events, 1);
        for (const char *action : c.actions)
            bed.sendUevent(action);
        WaitForEvents(events, std::strlen(c.trace));
        EXPECT_EQ(events, c.trace);
        EXPECT_EQ(source->present(), events.back() == 'A');
        source->stop();
        if (events.back() == 'L') bed.sendUevent("add");
    }
}
