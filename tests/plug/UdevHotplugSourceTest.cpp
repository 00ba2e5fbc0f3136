// The udev source against the instrument emulated by umockdev: the test bed's uevents reach libudev's
// monitor in this process through the preload that ctest sets.
#include "plug/UdevHotplugSource.h"

#include "PlugTestSupport.h"
#include "UsbfsInstrument.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace velda;

// Each case starts a source on the emulated bus (the instrument there: an arrival) and sends uevents;
// the trace is the signals in order: A arrived, L left.
TEST(UdevHotplugSource, AddAndRemoveEventsAreArrivalsAndDepartures) {
    const char *preload = std::getenv("LD_PRELOAD");
    ASSERT_TRUE(preload && std::strstr(preload, "umockdev"))
        << "run under libumockdev-preload (ctest sets it)";
    test::EnsureApplication();
    sim::UsbfsInstrument bed("");
    const std::vector<std::pair<std::vector<const char *>, std::string>> cases = {
        {{}, "A"},
        {{"remove", "add"}, "ALA"}, // the kernel's PRODUCT "3eb/203/100": short hex
        {{"change", "bind", "add"}, "A"},
        {{"remove", "add", "remove", "add", "remove"}, "ALALAL"},
    };
    for (const auto &[actions, trace] : cases) {
        SCOPED_TRACE(trace);
        const auto source = MakeHotplugSource(HotplugChoice::Udev);
        ASSERT_EQ(source->kind(), "udev");
        std::string events;
        QObject::connect(source.get(), &HotplugSource::arrived, [&] { events += 'A'; });
        QObject::connect(source.get(), &HotplugSource::left, [&] { events += 'L'; });
        source->start();
        test::RunUntil([&] { return !events.empty(); }, 5000);
        for (const char *action : actions)
            bed.sendUevent(action);
        test::RunUntil([&] { return events.size() >= trace.size(); }, 5000);
        test::RunUntil([] { return false; }, 50); // any surplus signal
        EXPECT_EQ(events, trace);
        EXPECT_EQ(source->present(), events.back() == 'A');
        source->stop(); // the last case ends with the instrument away
    }
}
