// The status display over recording controls, in both languages.
#include "device/ShowStatus.h"

#include "device/Exchange.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <optional>
#include <vector>

using namespace velda;

namespace {

struct RecordingControls : Gauge, Dialog, StatusLabel {
    std::optional<int> value;
    bool hidden = false;
    std::optional<QString> caption;
    std::optional<QString> label;
    bool closed = false;
    void setGaugeValue(int percent) override { value = percent; }
    void hideGauge() override { hidden = true; }
    void setPhaseCaption(const QString &text) override { caption = text; }
    void closeDialog() override { closed = true; }
    void setStatusText(const QString &text) override { label = text; }
};

struct LanguageGuard {
    explicit LanguageGuard(std::uint8_t language) { LanguageIndex.store(language); }
    ~LanguageGuard() { LanguageIndex.store(0); }
};

} // namespace

TEST(ShowStatus, StatusAndPhaseTable) {
    struct Case {
        const char *name;
        std::uint8_t language;
        std::uint8_t status;
        std::uint8_t state;
        std::optional<QString> caption;
        QString label;
        bool gaugeHidden;
        int pausedMs;
    };
    const Case cases[] = {
        {"connect ok", 0, StatusOk, StateConnect, QString("Подключение"), "", false, 0},
        {"no driver keeps the phase", 1, StatusNoDriver, StateConnect, QString("Connection"),
         "Driver not installed", false, 0},
        {"old firmware", 0, StatusOldFirmware, StateVersion, QString("Чтение версии"),
         "Версия прошивки устарела", false, 0},
        {"no device stops before the phase", 1, StatusNoDevice, StateConnect, std::nullopt,
         "Check Connection", false, 0},
        {"link error in state 2", 0, StatusLinkError, StateParams, std::nullopt, "Ошибка связи", false, 0},
        {"no data pauses", 1, StatusNoData, StateFinish, std::nullopt, "No Data", false, 300},
        {"params", 1, StatusOk, StateParams, QString("Parameters Read"), "", false, 0},
        {"records", 0, StatusOk, StateRecords, QString("Чтение данных"), "Чтение архива", false, 0},
        {"records english", 1, StatusOk, StateRecords, QString("Data Read"), "Data Archive", false, 0},
        {"screen", 1, StatusOk, StateScreen, std::nullopt, "Data Read", false, 0},
        {"clock shows no phase", 0, StatusOk, StateClock, std::nullopt, "", false, 0},
        {"finish", 0, StatusOk, StateFinish, std::nullopt, "Готово", true, 0},
        {"finish english", 1, StatusOk, StateFinish, std::nullopt, "Ready", true, 0},
        {"unknown status goes on to the phase", 0, 9, StateParams, QString("Чтение параметров"), "", false,
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LanguageGuard language(c.language);
        RecordingControls controls;
        int paused = 0;
        int progress = 37;
        ShowStatus(progress, c.status, c.state, &controls, &controls, &controls,
                   [&](std::chrono::milliseconds ms) { paused += static_cast<int>(ms.count()); });
        EXPECT_EQ(controls.value, 37);
        EXPECT_EQ(controls.caption, c.caption);
        EXPECT_EQ(controls.label, c.label);
        EXPECT_EQ(controls.hidden, c.gaugeHidden);
        EXPECT_EQ(paused, c.pausedMs);
        EXPECT_FALSE(controls.closed);
    }
}

TEST(ShowStatus, ProgressIsCappedAndNoControlsIsSafe) {
    RecordingControls controls;
    int progress = 150;
    ShowStatus(progress, StatusOk, StateRecords, &controls, nullptr, nullptr, {});
    EXPECT_EQ(progress, 100);
    EXPECT_EQ(controls.value, 100);

    int paused = 0;
    progress = 20;
    ShowStatus(progress, StatusNoData, StateParams, nullptr, nullptr, nullptr,
               [&](std::chrono::milliseconds ms) { paused += static_cast<int>(ms.count()); });
    EXPECT_EQ(paused, 300);
}
