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
    SimulatorGuard() { UseSimulator(true); }
    ~SimulatorGuard() { UseSimulator(false); }
};

} // namespace

TEST(LibUsbBinding, LoadFailuresAreTellApartAndRetryable) {
    LibUsbBinding binding;
    {
        EnvGuard library("VELDA9_USB_LIBRARY", "/nonexistent/libusb-0.1.so.4");
        EXPECT_EQ(binding.LoadDriver(), 1);
        EXPECT_FALSE(binding.loaded());
        EXPECT_NE(binding.lastLoadError().find("nonexistent"), std::string::npos);
    }
    {
        EnvGuard library("VELDA9_USB_LIBRARY", "libc.so.6");
        EXPECT_EQ(binding.LoadDriver(), 2);
        EXPECT_FALSE(binding.loaded());
        EXPECT_EQ(binding.OpenDevice(), 1);
    }
}

TEST(LibUsbBinding, LibraryChoice) {
    {
        EnvGuard library("VELDA9_USB_LIBRARY", "/opt/usb/libusb.so");
        EXPECT_EQ(UsbLibraryPath(), "/opt/usb/libusb.so");
    }
    ::unsetenv("VELDA9_USB_LIBRARY");
    EXPECT_EQ(UsbLibraryPath(), "libusb-0.1.so.4");
    SimulatorGuard simulate;
    {
        EnvGuard sim("VELDA9_SIM_LIBRARY", "/somewhere/libvelda9-sim.so");
        EXPECT_EQ(UsbLibraryPath(), "/somewhere/libvelda9-sim.so");
    }
    ::unsetenv("VELDA9_SIM_LIBRARY");
    // The test program lives beside the simulator in the build tree.
    EXPECT_EQ(UsbLibraryPath(), SimLibrary());
}

TEST(LibUsbBinding, SimulateSwitchBelongsToItsBinding) {
    ::unsetenv("VELDA9_USB_LIBRARY");
    ::unsetenv("VELDA9_SIM_LIBRARY");
    SimulatorGuard simulate; // the program's binding, LibUSB
    EXPECT_TRUE(SimulatorSelected());
    EXPECT_EQ(UsbLibraryPath(), SimLibrary());
    LibUsbBinding other;
    EXPECT_FALSE(other.simulatorSelected());
    EXPECT_EQ(other.libraryPath(), "libusb-0.1.so.4");
    other.useSimulator(true);
    EXPECT_EQ(other.libraryPath(), SimLibrary());
    UseSimulator(false);
    EXPECT_TRUE(other.simulatorSelected());
    EXPECT_EQ(UsbLibraryPath(), "libusb-0.1.so.4");
}

TEST(LibUsbBinding, SimulatedInstrumentOpenKeepAndClose) {
    QTemporaryDir dir;
    const std::string scenario = dir.filePath("plain.json").toStdString();
    std::ofstream(scenario) << R"({"firmware_date": "13.03.2018"})";
    EnvGuard env("VELDA9_SIM_SCENARIO", scenario);

    LibUsbBinding binding;
    binding.useSimulator(true);
    ASSERT_EQ(binding.LoadDriver(), 0) << binding.lastLoadError();
    EXPECT_EQ(binding.LoadDriver(), 0);
    binding.CloseDevice();
    ASSERT_EQ(binding.OpenDevice(), 0);
    EXPECT_TRUE(binding.deviceOpen());
    EXPECT_EQ(binding.lastOpenFailure(), OpenFailure::None);
    // A second open without bus changes keeps the handle: a command written before still gets its reply.
    const std::uint8_t version[] = {0x01, 0xFE};
    ASSERT_EQ(binding.BulkWrite(version, 2), 2);
    ASSERT_EQ(binding.OpenDevice(), 0);
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
        OpenFailure failure;
        int error;
    };
    const Case cases[] = {
        {"permission", R"({"open_error": "EACCES"})", OpenFailure::PermissionDenied, EACCES},
        {"busy", R"({"open_error": "EBUSY"})", OpenFailure::Busy, EBUSY},
        {"absent", R"({"absent_ms": 3600000})", OpenFailure::NotFound, 0},
    };
    LibUsbBinding binding;
    binding.useSimulator(true);
    QTemporaryDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string scenario = dir.filePath(QString::fromUtf8(c.name) + ".json").toStdString();
        std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "faults": )" << c.faults << "}";
        EnvGuard env("VELDA9_SIM_SCENARIO", scenario);
        ASSERT_EQ(binding.LoadDriver(), 0);
        EXPECT_EQ(binding.OpenDevice(), 1);
        EXPECT_FALSE(binding.deviceOpen());
        EXPECT_EQ(binding.lastOpenFailure(), c.failure);
        EXPECT_EQ(binding.lastOpenErrno(), c.error);
    }
}

TEST(LibUsbBinding, SystemLibraryWithoutInstrument) {
    ::unsetenv("VELDA9_USB_LIBRARY");
    UseSimulator(false);
    LibUsbBinding binding;
    const int loaded = binding.LoadDriver();
    if (loaded == 1) GTEST_SKIP() << "libusb-0.1.so.4 is not installed: " << binding.lastLoadError();
    ASSERT_EQ(loaded, 0) << binding.lastLoadError();
    // Test machines have no instrument attached (often not even a USB bus).
    if (binding.OpenDevice() == 0) GTEST_SKIP() << "an instrument is attached to this machine";
    EXPECT_FALSE(binding.deviceOpen());
    EXPECT_EQ(binding.lastOpenFailure(), OpenFailure::NotFound);
    binding.UnloadDriver();
}
