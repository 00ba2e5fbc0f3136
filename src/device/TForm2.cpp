// The progress dialog of an archive read.
#include "device/TForm2.h"

#include "device/QtExchangeUi.h"
#include "device/ShowStatus.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace velda {

namespace {
constexpr int kClientWidth = 338;
constexpr int kClientHeight = 40;
constexpr int kGaugeWidth = 337;
constexpr int kGaugeHeight = 17;
constexpr int kButtonWidth = 69;
constexpr int kButtonHeight = 21;
} // namespace

TForm2::TForm2(QWidget *parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString());
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    CGauge1 = new QProgressBar(this);
    CGauge1->setObjectName(QStringLiteral("CGauge1"));
    CGauge1->setRange(0, 100);
    CGauge1->setValue(0);
    CGauge1->setTextVisible(true);
    CGauge1->setFormat(QStringLiteral("%p%"));
    CGauge1->setAlignment(Qt::AlignCenter);
    CGauge1->setGeometry(0, 0, kGaugeWidth, kGaugeHeight);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(4, kGaugeHeight + 1, kClientWidth - kButtonWidth - 8,
                        kClientHeight - kGaugeHeight - 1);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Button1 = new QPushButton(PickIn(TxtCancel, 0), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(kClientWidth - kButtonWidth - 1, kGaugeHeight + 1, kButtonWidth, kButtonHeight);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
}

ExchangeControls TForm2::controls() {
    return ExchangeControls{gauge(), dialog(), statusLabel()};
}

void TForm2::setGaugeValue(int percent) {
    CGauge1->setValue(percent);
}

void TForm2::hideGauge() {
    CGauge1->hide();
}

void TForm2::setPhaseCaption(const QString &caption) {
    setWindowTitle(caption);
}

void TForm2::closeDialog() {
    m_closedByExchange = true;
    done(QDialog::Accepted);
}

void TForm2::setStatusText(const QString &text) {
    Label1->setText(text);
    // The status texts fit one line; an explanation (no permission to open the instrument, and how to
    // get it) wraps, and the dialog grows to show all of it.
    const int labelWidth = kClientWidth - kButtonWidth - 8;
    const bool wraps = Label1->fontMetrics().horizontalAdvance(text) > labelWidth;
    Label1->setWordWrap(wraps);
    const int labelHeight = wraps ? Label1->heightForWidth(labelWidth) + 4 : kClientHeight - kGaugeHeight - 1;
    Label1->setGeometry(4, kGaugeHeight + 1, labelWidth, labelHeight);
    setFixedSize(kClientWidth, std::max(kClientHeight, kGaugeHeight + 1 + labelHeight));
    PaintNow(Label1);
}

void TForm2::Button1Click() {
    CancelRequested.store(true);
}

int TForm2::RunModal() {
    if (m_closedByExchange) return result();
    return exec();
}

void TForm2::closeEvent(QCloseEvent *event) {
    if (m_closedByExchange) {
        QDialog::closeEvent(event);
        return;
    }
    // The close box acts as Cancel: the dialog stays until the exchange has ended and closes it, so the
    // table fill never runs unseen behind a closed dialog.
    Button1Click();
    event->ignore();
}

void TForm2::reject() {
    if (m_closedByExchange) {
        QDialog::reject();
        return;
    }
    Button1Click();
}

} // namespace velda
