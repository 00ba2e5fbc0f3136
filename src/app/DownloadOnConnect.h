// The main window's download on connect: the hot-plug source feeds the arrival rules, and an arrival
// that has to wait is tried again until no exchange runs and no modal dialog is open.
#pragma once

#include "base/Texts.h"
#include "plug/ArrivalRules.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace velda {

class HotplugSource;

inline constexpr TextPair TxtDownloadOnConnect{"Загружать архив при подключении прибора",
                                               "Download the archive when the instrument is connected"};

/// Whether the main window downloads the archive when the instrument arrives; off unless turned on.
/// Kept in the user's settings.
[[nodiscard]] bool DownloadOnConnectEnabled();
void SetDownloadOnConnectEnabled(bool enabled);

/// Starts one download per stay of the instrument on the bus. While off no source exists and nothing is
/// watched; while on, the source is a child of this object. GUI thread only.
class DownloadOnConnect : public QObject {
    Q_OBJECT
public:
    /// `modalOpen` says whether a modal dialog is open; `download` starts the download as the download
    /// button does (it may run a modal loop of its own); `report` shows why the bus cannot be watched.
    DownloadOnConnect(std::function<bool()> modalOpen, std::function<void()> download,
                      std::function<void(const QString &)> report, QObject *parent = nullptr);
    ~DownloadOnConnect() override;

    /// Turns watching on (creating and starting the source; an instrument already there counts as
    /// arrived) or off (stopping and dropping it).
    void setEnabled(bool enabled);
    [[nodiscard]] bool enabled() const { return m_source != nullptr; }

private:
    void arrived();
    void left();
    /// Starts the download of this stay when nothing else runs; otherwise keeps asking.
    void tryStart();

    std::function<bool()> m_modalOpen;
    std::function<void()> m_download;
    std::function<void(const QString &)> m_report;
    std::unique_ptr<HotplugSource> m_source;
    ArrivalRules m_rules;
    QTimer m_retry;
    bool m_starting = false;
};

} // namespace velda
