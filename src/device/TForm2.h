// The progress dialog of an archive read: gauge, status label and Cancel.
#pragma once

#include "device/ExchangeUi.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QCloseEvent;

namespace velda {

/// Modal progress dialog. Created hidden per archive read, attached to the exchange through gauge(),
/// dialog() and statusLabel(), shown with exec(); the exchange's state 10 closes it. Cancel and the close
/// box set CancelRequested; the dialog stays open until the exchange closes it.
class TForm2 : public QDialog, public Gauge, public Dialog, public StatusLabel {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    Gauge *gauge() { return this; }
    Dialog *dialog() { return this; }
    StatusLabel *statusLabel() { return this; }
    /// The controls to attach to the exchange: gauge, dialog and status label.
    ExchangeControls controls();

    void setGaugeValue(int percent) override;
    void hideGauge() override;
    void setPhaseCaption(const QString &caption) override;
    void closeDialog() override;
    void setStatusText(const QString &text) override;

    void Button1Click();

    /// Shows the dialog modally until the exchange closes it (returns at once when it already has).
    int RunModal();
    [[nodiscard]] bool closedByExchange() const { return m_closedByExchange; }

    QProgressBar *CGauge1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    bool m_closedByExchange = false;
};

} // namespace velda
