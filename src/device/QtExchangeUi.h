// The windows' hand-over from the exchange thread to the GUI thread, and Qt adapters for the controls.
#pragma once

#include "device/ExchangeUi.h"

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <mutex>

class QLabel;
class QProgressBar;
class QDialog;
class QWidget;

namespace velda {

/// ExchangeUi for the windows. Construct it on the GUI thread (it lives there). runBlocking() queues the
/// call to the GUI thread and waits; called on the GUI thread itself it runs the call directly, so it can
/// never deadlock. Message boxes are built and shown on the GUI thread. After shutdown() (or once
/// QCoreApplication is gone) calls from the worker are dropped instead of hanging.
class QtExchangeUi : public QObject, public ExchangeUi {
    Q_OBJECT
public:
    explicit QtExchangeUi(QObject *parent = nullptr);
    ~QtExchangeUi() override;

    void runBlocking(const std::function<void()> &call) override;
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override;

    /// Drops every later call from the worker and releases one that waits (program exit). GUI thread.
    void shutdown();

    /// The process-wide instance for the windows (created on first use, on the GUI thread).
    static QtExchangeUi &instance();

private:
    /// Runs the call the worker left in m_pending (GUI thread, queued by runBlocking).
    Q_INVOKABLE void runPending();

    std::atomic<bool> m_shutdown{false};
    // The hand-over waits on a standard mutex and condition variable rather than a blocking queued
    // connection, so ThreadSanitizer sees its order (Qt's own wait is not instrumented). Only the posted
    // event's delivery goes through Qt, and it carries no data.
    std::mutex m_callerMutex; ///< one worker call at a time
    std::mutex m_mutex;
    std::condition_variable m_finished;
    const std::function<void()> *m_pending = nullptr;
    bool m_done = false;
};

/// Gauge over a QProgressBar (0-100); does nothing once the bar is gone.
class QtGauge : public Gauge {
public:
    explicit QtGauge(QProgressBar *bar);
    void setGaugeValue(int percent) override;
    void hideGauge() override;

private:
    QPointer<QProgressBar> m_bar;
};

/// StatusLabel over a QLabel; does nothing once the label is gone.
class QtStatusLabel : public StatusLabel {
public:
    explicit QtStatusLabel(QLabel *label);
    void setStatusText(const QString &text) override;

private:
    QPointer<QLabel> m_label;
};

/// Paints `widget` before returning when it is shown. A status text the exchange sets may be followed by
/// a pause of the GUI thread (status 5) or by the dialog's close, both before the event loop would paint it.
void PaintNow(QWidget *widget);

/// Pumps the GUI's events while waiting for the exchange (for WaitForExchange / StopExchange).
void ProcessGuiEvents();

} // namespace velda
