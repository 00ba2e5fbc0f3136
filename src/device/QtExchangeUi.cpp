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
    m_shutdown.store(true);
}

void QtExchangeUi::runBlocking(const std::function<void()> &call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    if (m_shutdown.load() || !QCoreApplication::instance()) return;
    QMetaObject::invokeMethod(
        this,
        [this, &call] {
            if (!m_shutdown.load()) call();
        },
        Qt::BlockingQueuedConnection);
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
    if (m_label) m_label->setText(text);
}

void ProcessGuiEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace velda
