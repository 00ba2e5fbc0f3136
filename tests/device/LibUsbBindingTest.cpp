// The USB binding against missing libraries, a library without the entry points, and the simulator.
#include "device/LibUsbBinding.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <cstdlib>
#include <fstream>

using namespace velda;

namespace {

class EnvGuard {
public:
    EnvGuard(const char *name, const std::string &value) : m_name(name) {
        if (const char *old = std::getenv(name)) m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

std::string SimLibrary() {
    const char *dir = std::getenv("VELDA9_BIN_DIR");
    return std::string(dir ? dir : VELDA_BIN_DIR) + "/libvelda9-sim.so";
}

struct SimulatorGuard {
    SimulatorGuard() { LibUSB.useSimulator(true); }
    ~SimulatorGuard() { LibUSB.useSimulator(false); }
};

} // namespace

TEST(LibUsbBinding, LoadFailuresAreTellApartAndRetryable) {
    LibUsbBinding binding;
    {
        EnvGuard library("VELDA9_USB_LIBRARY", "/nonexistent/libusb-0.1.so.4");
        const auto loaded = binding.LoadDriver();
        ASSERT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.error().kind, UsbError::Kind::LibraryMissing);
        EXPECT_FALSE(binding.loaded());
        EXPECT_NE(loaded.error().detail.find("nonexistent"), std::string::npos);
    }
    {
        EnvGuard library("VELDA9_USB_LIBRARY", "libc.so.6");
        const auto loaded = binding.LoadDriver();
        ASSERT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.error().kind, UsbError::Kind::EntryPointMissing);
        EXPECT_FALSE(binding.loaded());
        const auto opened = binding.OpenDevice();
        ASSERT_FALSE(opened.ok());
        EXPECT_EQ(opened.error().kind, UsbError::Kind::NotLoaded);
    }
}

TEST(LibUsbBinding, LibraryChoice) {
    {
        EnvGuard library("VELDA9_USB_LIBRARY", "/opt/usb/libusb.so");
        EXPECT_EQ(LibUSB.libraryPath(), "/opt/usb/libusb.so");
    }
    ::unsetenv("VELDA9_USB_LIBRARY");
    EXPECT_EQ(LibUSB.libraryPath(), "libusb-0.1.so.4");
    SimulatorGuard simulate;
    {
        EnvGuard sim("VELDA9_SIM_LIBRARY", "/somewhere/libvelda9-sim.so");
        EXPECT_EQ(LibUSB.libraryPath(), "/somewhere/libvelda9-sim.so");
    }
    ::unsetenv("VELDA9_SIM_LIBRARY");
    // The test program lives beside the simulator in the build tree.
    EXPECT_EQ(LibUSB.libraryPath(), SimLibrary());
}

TEST(LibUsbBinding, SimulateSwitchBelongsToItsBinding) {
    ::unsetenv("VELDA9_USB_LIBRARY");
    ::unsetenv("VELDA9_SIM_LIBRARY");
    SimulatorGuard simulate; // the program's binding, LibUSB
    EXPECT_TRUE(LibUSB.simulatorSelected());
    EXPECT_EQ(LibUSB.libraryPath(), SimLibrary());
    LibUsbBinding other;
    EXPECT_FALSE(other.simulatorSelected());
    EXPECT_EQ(other.libraryPath(), "libusb-0.1.so.4");
    other.useSimulator(true);
    EXPECT_EQ(other.libraryPath(), SimLibrary());
    LibUSB.useSimulator(false);
    EXPECT_TRUE(other.simulatorSelected());
    EXPECT_EQ(LibUSB.libraryPath(), "libusb-0.1.so.4");
}

TEST(LibUsbBinding, SimulatedInstrumentOpenKeepAndClose) {
    QTemporaryDir dir;
    const std::string scenario = dir.filePath("plain.json").toStdString();
    std::ofstream(scenario) << R"({"firmware_date": "13.03.2018"})";
    EnvGuard env("VELDA9_SIM_SCENARIO", scenario);

    LibUsbBinding binding;
    binding.useSimulator(true);
    const auto loaded = binding.LoadDriver();
    ASSERT_TRUE(loaded.ok()) << loaded.error().detail;
    EXPECT_TRUE(binding.LoadDriver().ok());
    binding.CloseDevice();
    ASSERT_TRUE(binding.OpenDevice().ok());
    EXPECT_TRUE(binding.deviceOpen());
    // A second open without bus changes keeps the handle: a command written before still gets its reply.
    const std::uint8_t version[] = {0x01, 0xFE};
    ASSERT_EQ(binding.BulkWrite(version, 2), 2);
    ASSERT_TRUE(binding.OpenDevice().ok());
    std::uint8_t length[4] = {};
    EXPECT_EQ(binding.BulkRead(length, 4), 4);
    binding.CloseDevice();
    EXPECT_FALSE(binding.deviceOpen());
    binding.CloseDevice();
    EXPECT_LT(binding.BulkWrite(version, 2), 0);
    binding.UnloadDriver();
    EXPECT_FALSE(binding.loaded());
}

TEST(LibUsbBinding, OpenFailuresKeepTheirReason) {
    struct Case {
        const char *name;
        const char *faults;
        UsbError::Kind failure;
        int error;
    };
    const Case cases[] = {
        {"permission", R"({"open_error": "EACCES"})", UsbError::Kind::PermissionDenied, EACCES},
        {"busy", R"({"open_error": "EBUSY"})", UsbError::Kind::Busy, EBUSY},
        {"absent", R"({"absent_ms": 3600000})", UsbError::Kind::NotFound, 0},
    };
    LibUsbBinding binding;
    binding.useSimulator(true);
    QTemporaryDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string scenario = dir.filePath(QString::fromUtf8(c.name) + ".json").toStdString();
        std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "faults": )" << c.faults << "}";
        EnvGuard env("VELDA9_SIM_SCENARIO", scenario);
        ASSERT_TRUE(binding.LoadDriver().ok());
        const auto opened = binding.OpenDevice();
        ASSERT_FALSE(opened.ok());
        EXPECT_FALSE(binding.deviceOpen());
        EXPECT_EQ(opened.error().kind, c.failure);
        EXPECT_EQ(opened.error().error, c.error);
    }
}

TEST(LibUsbBinding, SystemLibraryWithoutInstrument) {
    ::unsetenv("VELDA9_USB_LIBRARY");
    LibUSB.useSimulator(false);
    LibUsbBinding binding;
    const auto loaded = binding.LoadDriver();
    if (!loaded.ok() && loaded.error().kind == UsbError::Kind::LibraryMissing)
        GTEST_SKIP() << "libusb-0.1.so.4 is not installed: " << loaded.error().detail;
    ASSERT_TRUE(loaded.ok()) << loaded.error().detail;
    // Test machines have no instrument attached (often not even a USB bus).
    const auto opened = binding.OpenDevice();
    if (opened.ok()) GTEST_SKIP() << "an instrument is attached to this machine";
    EXPECT_FALSE(binding.deviceOpen());
    EXPECT_EQ(opened.error().kind, UsbError::Kind::NotFound);
    binding.UnloadDriver();
}
