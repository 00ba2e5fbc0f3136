// The windows' hand-over from the exchange thread to the GUI thread.
#include "device/QtExchangeUi.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QThread>

namespace velda {

QtExchangeUi::QtExchangeUi(QObject *parent) : QObject(parent) {
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &QtExchangeUi::shutdown);
}

QtExchangeUi::~QtExchangeUi() {
    shutdown();
}

void QtExchangeUi::shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_shutdown.store(true);
    }
    m_finished.notify_all();
}

void QtExchangeUi::runBlocking(const std::function<void()> &call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    if (m_shutdown.load() || !QCoreApplication::instance()) return;
    std::lock_guard caller(m_callerMutex);
    {
        std::lock_guard lock(m_mutex);
        m_pending = &call;
        m_done = false;
    }
    const bool posted = QMetaObject::invokeMethod(this, "runPending", Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    if (posted) m_finished.wait(lock, [this] { return m_done || m_shutdown.load(); });
    m_pending = nullptr;
}

void QtExchangeUi::runPending() {
    const std::function<void()> *call = nullptr;
    {
        std::lock_guard lock(m_mutex);
        call = m_pending;
    }
    if (call && !m_shutdown.load()) (*call)();
    {
        std::lock_guard lock(m_mutex);
        if (m_pending == call) m_done = true;
    }
    m_finished.notify_all();
}

void QtExchangeUi::showMessage(const QString &text, const QString &caption, MessageIcon icon) {
    runBlocking([&] {
        QMessageBox box(icon == MessageIcon::Information ? QMessageBox::Information : QMessageBox::Critical,
                        caption, text, QMessageBox::Ok);
        box.exec();
    });
}

QtExchangeUi &QtExchangeUi::instance() {
    static auto *ui = new QtExchangeUi(QCoreApplication::instance());
    return *ui;
}

QtGauge::QtGauge(QProgressBar *bar) : m_bar(bar) {}

void QtGauge::setGaugeValue(int percent) {
    if (m_bar) m_bar->setValue(percent);
}

void QtGauge::hideGauge() {
    if (m_bar) m_bar->hide();
}

QtStatusLabel::QtStatusLabel(QLabel *label) : m_label(label) {}

void QtStatusLabel::setStatusText(const QString &text) {
    if (!m_label) return;
    m_label->setText(text);
    PaintNow(m_label);
}

void PaintNow(QWidget *widget) {
    if (widget->isVisible()) widget->repaint();
}

void ProcessGuiEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace velda
